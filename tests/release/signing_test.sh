#!/usr/bin/env bash
# Signing the packages and the MSI packages as a release does, with a
# throw-away certificate: every program, library and MSI verifies, a file
# changed after signing does not, the rest of each file is untouched (the
# stamps compare equal as the installer compares them, the version check
# still passes, every table and stream of an MSI is the same), a checksum
# file's detached signature verifies until the file changes, and the
# signed SETUP.EXE and MSIs install under Wine exactly as the unsigned ones
# do.
#   signing_test.sh VERSIONCHECK VERSION PACKAGE_ROOT FIXTURE_ROOT WORK MSI_ROOT [TEMPLATE]
# TEMPLATE: a Wine prefix that the fresh prefixes copy (make-wine-prefix.sh
# --from) instead of booting.
set -euo pipefail
versioncheck=$1 version=$2 packages=$3 fixtures=$4 work=$5 msis=$6
prefix_options=(--keep-server)
[ -z "${7:-}" ] || prefix_options+=(--from "$7")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# The prefixes' Wine servers end with the test, however it ends.
trap 'for prefix in "$work"/prefix-*; do WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; done' EXIT

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

# An MSI is signed whole: taken off, the signature leaves every table and
# stream as it was (the container's layout may differ).
for arch in x64 x86; do
  cp "$msis/qsetup-$version-$arch.msi" "unsigned-$arch.msi"
  cp "$msis/qsetup-$version-$arch.msi" "signed-$arch.msi"
done
bash "$root/tools/sign-package.sh" cert.pfx --password-file password signed-x64.msi signed-x86.msi \
  >/dev/null
for arch in x64 x86; do
  osslsigncode verify -CAfile cert.pem -in "signed-$arch.msi" >verify.log 2>&1 ||
    { cat verify.log; fail "signed-$arch.msi does not verify"; }
  rm -rf removed.msi dump-signed dump-unsigned
  osslsigncode remove-signature -in "signed-$arch.msi" -out removed.msi >/dev/null
  mkdir dump-signed dump-unsigned
  msidump --tables --streams --directory dump-signed removed.msi >/dev/null
  msidump --tables --streams --directory dump-unsigned "unsigned-$arch.msi" >/dev/null
  diff -r dump-unsigned dump-signed >/dev/null ||
    fail "signed-$arch.msi without its signature has other tables or streams"
done
# One property changed after signing.
cp signed-x64.msi changed.msi
msibuild changed.msi -q "UPDATE \`Property\` SET \`Value\` = '0' WHERE \`Property\` = 'ARPNOMODIFY'"
if osslsigncode verify -CAfile cert.pem -in changed.msi >verify.log 2>&1; then
  fail "an MSI changed after signing verifies"
fi

# The checksums' detached signature: made with the same certificate, which
# it carries and which sign-package.sh names by its thumbprint; it verifies,
# and no longer does once a checksum changes.
sha256sum signed-x64.msi signed-x86.msi >SHA256SUMS
printed=$(bash "$root/tools/sign-package.sh" cert.pfx --password-file password SHA256SUMS)
thumbprint=$(openssl x509 -in cert.pem -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
[ "${printed##* }" = "$thumbprint" ] || fail "sign-package.sh names another thumbprint: $printed"
openssl cms -verify -binary -inform DER -in SHA256SUMS.p7s -content SHA256SUMS -CAfile cert.pem \
  -purpose any -certsout signer.pem -out /dev/null 2>verify.log ||
  { cat verify.log; fail "SHA256SUMS.p7s does not verify"; }
cmp -s <(openssl x509 -in signer.pem -outform DER) <(openssl x509 -in cert.pem -outform DER) ||
  fail "SHA256SUMS.p7s carries another certificate"
printf '%064d  other.zip\n' 0 >>SHA256SUMS
if openssl cms -verify -binary -inform DER -in SHA256SUMS.p7s -content SHA256SUMS -CAfile cert.pem \
  -purpose any -out /dev/null 2>/dev/null; then
  fail "SHA256SUMS changed after signing verifies"
fi

# One byte of the code changed after signing.
cp signed-x64/TELMXSVC.EXE changed.EXE
perl -0777 -pi -e 'substr($_, 0x500, 1) ^= "\x01"' changed.EXE
if osslsigncode verify -CAfile cert.pem -in changed.EXE >verify.log 2>&1; then
  fail "a file changed after signing verifies"
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

# Every Windows program of this test has two minutes: one that hangs fails
# the test by name instead of holding it until CTest gives up.
bounded() {
  local step=$1
  shift
  set +e
  timeout -k 5 120 "$@"
  local status=$?
  set -e
  [ "$status" -ne 124 ] && [ "$status" -ne 137 ] || fail "$step did not end within two minutes"
  return "$status"
}

# Forced installation of the x64 and then the x86 package, each in a fresh
# prefix of its own for the unsigned and the signed packages, from the same
# Windows path: output, exit code and the installed files.
for kind in unsigned signed; do
  export WINEPREFIX=$work/prefix-$kind
  # One Wine server with its services for all the programs, as in the other
  # end-to-end tests, instead of one started and stopped around each.
  bash "$root/tools/make-wine-prefix.sh" "$WINEPREFIX" "${prefix_options[@]}" >/dev/null
  if [ "$kind" = unsigned ]; then
    # The installer's own stamp comparison, both ways: signed and unsigned
    # files of one version are equal.
    bounded "stamp_compare" wine "$fixtures/x64/stamp_compare.exe" "${pairs[@]}" </dev/null \
      >compare.out
    for ((i = 0; i < ${#pairs[@]} / 2; i++)); do printf '0\r\n'; done >compare.expected
    cmp -s compare.out compare.expected ||
      fail "stamps of signed and unsigned files do not compare equal: $(tr '\r\n' ' ' <compare.out)"
  fi
  for arch in x64 x86; do
    case $arch in x64) system=system32 ;; x86) system=syswow64 ;; esac
    package=$WINEPREFIX/drive_c/qln2-$arch
    cp -r "$kind-$arch" "$package"
    status=0
    bounded "$kind $arch SETUP.EXE" wine "C:\\qln2-$arch\\SETUP.EXE" -FU /Q </dev/null \
      >"$kind-$arch.out" 2>"$kind-$arch.err" || status=$?
    echo "exit code $status" >>"$kind-$arch.out"
    for file in TELMXW.DLL TELMXREM.EXE TELMXSVC.EXE; do
      cmp "$package/$file" "$WINEPREFIX/drive_c/windows/$system/$file" ||
        fail "$kind $arch: $file was not installed"
    done
  done
  # Each MSI installed and uninstalled in turn (one product of the upgrade
  # code at a time): what msiexec returns and the log's lines of SETUP.EXE's
  # run.
  for arch in x64 x86; do
    cp "$kind-$arch.msi" "$WINEPREFIX/drive_c/qln2-$arch.msi"
    for step in i x; do
      log="C:\\qln2-$arch-$step.log"
      bounded "$kind $arch msiexec /$step" wine "$fixtures/$arch/exit_code.exe" \
        "msiexec /$step C:\\qln2-$arch.msi SETUPSWITCHES=\"/Q -FU\" /qn /norestart /l*v $log" \
        </dev/null >>"$kind-$arch-msi.out" 2>/dev/null
    done
    # How many progress dots a tool run prints is up to the machine.
    grep -a -E '^(Running|SETUP\.EXE)' "$WINEPREFIX/drive_c/qln2-$arch-i.log" |
      grep -a -v -E '^SETUP\.EXE: \.+$' >>"$kind-$arch-msi.out" || true
  done
  wineserver -k 2>/dev/null || true
done
for arch in x64 x86; do
  cmp "unsigned-$arch.out" "signed-$arch.out" ||
    { diff "unsigned-$arch.out" "signed-$arch.out"; fail "signed $arch SETUP.EXE: other output"; }
  cmp "unsigned-$arch.err" "signed-$arch.err" ||
    { diff "unsigned-$arch.err" "signed-$arch.err"; fail "signed $arch SETUP.EXE: other errors"; }
  cmp "unsigned-$arch-msi.out" "signed-$arch-msi.out" ||
    { diff "unsigned-$arch-msi.out" "signed-$arch-msi.out"; fail "signed $arch MSI: other results"; }
  grep -qx "exit code 0" <(head -n 1 "signed-$arch-msi.out" | tr -d '\r') ||
    fail "signed $arch MSI: $(head -n 1 "signed-$arch-msi.out")"
done
echo "signed packages verify, install like the unsigned ones: $(tail -n 1 signed-x64.out)"
