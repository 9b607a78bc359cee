#!/usr/bin/env bash
# The installer's main job: builds the x64 package, makes a fresh Wine prefix
# and runs SETUP.EXE from the package directory as an administrator would,
# then shows its exit code. Extra arguments go to SETUP.EXE.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}

bash tools/setup.sh
cmake -S . -B "$build/win-x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQSETUP_PACKAGE_DIR="$build/package/x64" >/dev/null
cmake --build "$build/win-x64" -j 2 >/dev/null

prefix="$build/demo-prefix"
echo "== fresh Wine prefix: $prefix"
tools/make-wine-prefix.sh "$prefix" >/dev/null

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
echo "== wine $build/package/x64/SETUP.EXE $*"
echo
set +e
if [ -t 0 ]; then
  wine "$build/package/x64/SETUP.EXE" "$@"
else
  wine "$build/package/x64/SETUP.EXE" "$@" </dev/null
fi
rc=$?
set -e
echo
echo "== exit code: $rc"
wineserver -k 2>/dev/null || true
