#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need.
# Idempotent: when everything is present it only checks and returns.
#   setup.sh [--native]
# --native: only what the native builds and their tests need (the unit
# tests, the sanitizers, the fuzz targets), so that they can start while the
# rest is installed.
set -euo pipefail

native_pkgs=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
             clang-format git python3 ccache)
other_pkgs=(g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
            gcc-mingw-w64-x86-64-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64
            wine wine64 wine32:i386 tmux zip unzip osslsigncode openssl ansible wixl msitools
            faketime locales)

case ${1:-} in
  "") pkgs=("${native_pkgs[@]}" "${other_pkgs[@]}") ;;
  --native) pkgs=("${native_pkgs[@]}") ;;
  *) echo "usage: setup.sh [--native]" >&2; exit 2 ;;
esac

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

updated=1
if [ "${1:-}" != --native ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
  updated=0
fi

for p in "${pkgs[@]}"; do
  have_pkg "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ] || [ "$updated" -eq 0 ]; then
  if [ "${#need[@]}" -gt 0 ]; then
    echo "setup: installing ${need[*]}"
  fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
  if [ "${#need[@]}" -gt 0 ]; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
  fi
fi
