#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev
      g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
      gcc-mingw-w64-x86-64-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64
      wine wine64 wine32:i386 tmux clang libclang-rt-dev clang-format
      git zip unzip osslsigncode openssl ansible wixl msitools faketime python3 ccache)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  dpkg --add-architecture i386
  updated=0
else
  updated=1
fi

for p in "${pkgs[@]}"; do
  have_pkg "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ] || [ "$updated" -eq 0 ]; then
  if [ "${#need[@]}" -gt 0 ]; then
    echo "setup: installing ${need[*]}"
  fi
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
  if [ "${#need[@]}" -gt 0 ]; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
  fi
fi
