#!/usr/bin/env bash
# Configures a mingw-w64 cross build of the Windows programs:
#   windows-configure.sh x64|x86 BUILD-DIR [CMAKE-ARGUMENT...]
# Release type and the toolchain of the architecture; the caller adds where
# the package and the fixtures go.
set -euo pipefail
arch=${1:?usage: windows-configure.sh x64|x86 BUILD-DIR [CMAKE-ARGUMENT...]}
dir=${2:?usage: windows-configure.sh x64|x86 BUILD-DIR [CMAKE-ARGUMENT...]}
shift 2
case $arch in
  x64) triple=x86_64 ;;
  x86) triple=i686 ;;
  *) echo "windows-configure.sh: unknown architecture: $arch" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exec cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple.cmake" \
  -DCMAKE_BUILD_TYPE=Release "$@"
