#!/usr/bin/env bash
# Signing the packages as a release does, with a throw-away certificate:
# every program and library verifies, a file changed after signing does
# not, the rest of each file is untouched (the stamps compare equal as the
# installer compares them, the version check still passes), and the signed
# SETUP.EXE installs under Wine exactly as the unsigned one does.
#   signing_test.sh VERSIONCHECK VERSION PACKAGE_ROOT FIXTURE_ROOT WORK
set -euo pipefail
versioncheck=$1 version=$2 packages=$3 fixtures=$4 work=$5
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# A self-signed code-signing certificate with its key, in a PKCS#12 file.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Throw-away test code signing" -addext keyUsage=digitalSignature \
  -addext extendedKeyUsage=codeSigning 2>/dev/null
printf 'throw-away password\n' >password
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout file:password

for arch in x64 x86; do
  cp -r "$packages/$arch" "unsigned-$arch"
  cp -r "$packages/$arch" "signed-$arch"
done
# The password from a file for one package, from standard input for the other.
bash "$root/tools/sign-package.sh" cert.pfx --password-file password signed-x64 >/dev/null
bash "$root/tools/sign-package.sh" cert.pfx signed-x86 <password >/dev/null

pairs=()
for arch in x64 x86; do
  for signed in $(cd "signed-$arch" && find . -type f | LC_ALL=C sort); do
    signed=signed-$arch/${signed#./}
    unsigned=unsigned-${signed#signed-}
    pairs+=("$signed" "$unsigned" "$unsigned" "$signed")
    case $signed in
      *.EXE | *.DLL)
        osslsigncode verify -CAfile cert.pem -in "$signed" >verify.log 2>&1 ||
          { cat verify.log; fail "$signed does not verify"; }
        # Signing adds the signature and nothing else: taken off, it leaves
        # the unsigned bytes.
        rm -f removed
        osslsigncode remove-signature -in "$signed" -out removed >/dev/null
        cmp removed "$unsigned" || fail "$signed without its signature differs from $unsigned"
        ;;
      *) cmp "$signed" "$unsigned" || fail "$signed was changed" ;;
    esac
  done
done
"$versioncheck" --expect "$version" signed-x64 signed-x86 >/dev/null ||
  fail "the signed packages no longer carry version $version throughout"

# One byte of the code changed after signing.
cp signed-x64/TELMXSVC.EXE changed.EXE
perl -0777 -pi -e 'substr($_, 0x500, 1) ^= "\x01"' changed.EXE
if osslsigncode verify -CAfile cert.pem -in changed.EXE >verify.log 2>&1; then
  fail "a file changed after signing verifies"
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

# Forced installation of the x64 and then the x86 package, each in a fresh
# prefix of its own for the unsigned and the signed packages, from the same
# Windows path: output, exit code and the installed files.
for kind in unsigned signed; do
  export WINEPREFIX=$work/prefix-$kind
  bash "$root/tools/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
  if [ "$kind" = unsigned ]; then
    # The installer's own stamp comparison, both ways: signed and unsigned
    # files of one version are equal.
    wine "$fixtures/x64/stamp_compare.exe" "${pairs[@]}" </dev/null >compare.out
    for ((i = 0; i < ${#pairs[@]} / 2; i++)); do printf '0\r\n'; done >compare.expected
    cmp -s compare.out compare.expected ||
      fail "stamps of signed and unsigned files do not compare equal: $(tr '\r\n' ' ' <compare.out)"
  fi
  for arch in x64 x86; do
    case $arch in x64) system=system32 ;; x86) system=syswow64 ;; esac
    package=$WINEPREFIX/drive_c/qln2-$arch
    cp -r "$kind-$arch" "$package"
    set +e
    wine "C:\\qln2-$arch\\SETUP.EXE" -FU /Q </dev/null >"$kind-$arch.out" 2>"$kind-$arch.err"
    echo "exit code $?" >>"$kind-$arch.out"
    set -e
    for file in TELMXW.DLL TELMXREM.EXE TELMXSVC.EXE; do
      cmp "$package/$file" "$WINEPREFIX/drive_c/windows/$system/$file" ||
        fail "$kind $arch: $file was not installed"
    done
  done
  wineserver -k 2>/dev/null || true
done
for arch in x64 x86; do
  cmp "unsigned-$arch.out" "signed-$arch.out" ||
    { diff "unsigned-$arch.out" "signed-$arch.out"; fail "signed $arch SETUP.EXE: other output"; }
  cmp "unsigned-$arch.err" "signed-$arch.err" ||
    { diff "unsigned-$arch.err" "signed-$arch.err"; fail "signed $arch SETUP.EXE: other errors"; }
done
echo "signed packages verify, install like the unsigned ones: $(tail -n 1 signed-x64.out)"
