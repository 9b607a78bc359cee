#!/usr/bin/env bash
# Makes a release of this checkout: builds the x64 and x86 packages in a
# fresh build directory (the build checks that every file carries the
# project version), signs their programs and libraries when asked, builds
# their MSI packages from them (signed too when asked), and writes
# dist/<name>-<version>-x64.zip and -x86.zip, each holding the package tree
# as administrators unpack it, dist/<name>-<version>-x64.msi and -x86.msi,
# and dist/SHA256SUMS; a signed release also dist/SHA256SUMS.p7s, the
# checksums' detached signature with the same certificate.
#
#   tools/release.sh [--allow-dirty] [--sign CERT.pfx [--password-file FILE] [--timestamp URL]]
#
# Name and version are the CMake project's. A tree with uncommitted changes
# or untracked files is refused unless --allow-dirty. Unsigned archives and
# MSIs are reproducible: the same commit gives the same bytes wherever it is
# built (entries in byte order, all with the commit's time or
# SOURCE_DATE_EPOCH, fixed permissions, no extra fields; the MSI's package
# code derived from its content, its summary times the commit's). The
# signing password is read from FILE or standard input, never from the
# command line (tools/sign-package.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}
jobs=${QSETUP_JOBS:-2}
dist=$root/dist

usage() {
  echo "usage: release.sh [--allow-dirty] [--sign CERT.pfx [--password-file FILE] [--timestamp URL]]" >&2
  exit 2
}

allow_dirty=0
cert=""
password_file=""
timestamp=""
while [ $# -gt 0 ]; do
  case $1 in
    --allow-dirty) allow_dirty=1; shift ;;
    --sign) [ $# -ge 2 ] || usage; cert=$(realpath "$2"); shift 2 ;;
    --password-file) [ $# -ge 2 ] || usage; password_file=$(realpath "$2"); shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    *) usage ;;
  esac
done
if [ -z "$cert" ] && [ -n "$password_file$timestamp" ]; then
  echo "release: --password-file and --timestamp go with --sign" >&2
  exit 2
fi
sign_options=()
[ -z "$password_file" ] || sign_options+=(--password-file "$password_file")
[ -z "$timestamp" ] || sign_options+=(--timestamp "$timestamp")

if [ "$allow_dirty" -eq 0 ]; then
  if ! changes=$(git status --porcelain 2>/dev/null); then
    echo "release: not a git checkout; use --allow-dirty to release it anyway" >&2
    exit 1
  fi
  if [ -n "$changes" ]; then
    echo "release: the tree has uncommitted changes (--allow-dirty releases it anyway):" >&2
    echo "$changes" >&2
    exit 1
  fi
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "release: no commit to take the time from; set SOURCE_DATE_EPOCH" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH

# Read before the build, so that nobody waits at a prompt for it.
password=""
if [ -n "$cert" ] && [ -z "$password_file" ]; then
  if [ -t 0 ]; then
    IFS= read -rs -p "Password of $cert: " password || true
    echo >&2
  else
    IFS= read -r password || true
  fi
fi

bash tools/setup.sh

release=$build/release
rm -rf "$release"
for arch in x64 x86; do
  echo "== building the $arch package"
  bash tools/windows-configure.sh "$arch" "$release/win-$arch" \
    -DQSETUP_PACKAGE_DIR="$release/package/$arch" -DQSETUP_MSI_DIR="$release/msi" >/dev/null
  cmake --build "$release/win-$arch" -j "$jobs" --target package_check msi_setup_action \
    >"$release/build-$arch.log" || { cat "$release/build-$arch.log"; exit 1; }
  grep '^versioncheck:' "$release/build-$arch.log"
done

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$release/win-x64/CMakeCache.txt"; }
name=$(cache_value CMAKE_PROJECT_NAME)
version=$(cache_value CMAKE_PROJECT_VERSION)
versioncheck=$release/win-x64/versioncheck-host/versioncheck
# The custom-action DLL that each MSI carries.
action_dlls=("$release/win-x64/msi/setup_action.dll" "$release/win-x86/msi/setup_action.dll")

sign() {
  printf '%s\n' "$password" | bash tools/sign-package.sh "$cert" "${sign_options[@]}" "$@"
}

if [ -n "$cert" ]; then
  echo "== signing"
  sign "$release/package/x64" "$release/package/x86" "${action_dlls[@]}"
  "$versioncheck" --expect "$version" "$release/package/x64" "$release/package/x86"
fi

# Before the MSIs are built: their cabinets hold the files' times.
for arch in x64 x86; do
  package=$release/package/$arch
  # The installer, its message file and the status report are each
  # release's programs.
  for program in SETUP.EXE "QLN2MSG-$version.DLL" QLN2STAT.EXE; do
    [ -f "$package/$program" ] || { echo "release: the $arch package has no $program" >&2; exit 1; }
  done
  find "$package" -type d -exec chmod 755 {} +
  find "$package" -type f -exec chmod 644 {} +
  find "$package" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
done

echo "== MSI packages"
msis=()
for arch in x64 x86; do
  cmake --build "$release/win-$arch" --target msi_packages_as_laid_out >>"$release/build-$arch.log" ||
    { cat "$release/build-$arch.log"; exit 1; }
  msis+=("$release/msi/$name-$version-$arch.msi")
done
[ -z "$cert" ] || sign "${msis[@]}"

echo "== archives and MSI packages in $dist"
mkdir -p "$dist"
files=()
for arch in x64 x86; do
  package=$release/package/$arch
  archive=$name-$version-$arch.zip
  rm -f "$dist/$archive"
  # zip writes local time: UTC makes it the same everywhere.
  (cd "$package" && find . -type f -printf '%P\n' | LC_ALL=C sort |
    TZ=UTC zip -X -D -q -@ "$dist/$archive")
  files+=("$archive")
done
for msi in "${msis[@]}"; do
  cp "$msi" "$dist/"
  touch -d "@$SOURCE_DATE_EPOCH" "$dist/$(basename "$msi")"
  files+=("$(basename "$msi")")
done
rm -f "$dist/SHA256SUMS.p7s"
(cd "$dist" && sha256sum "${files[@]}" >SHA256SUMS && cat SHA256SUMS)
# The checksums' detached signature, and the certificate's thumbprint that
# the release publishes apart from these files.
[ -z "$cert" ] || sign "$dist/SHA256SUMS"
