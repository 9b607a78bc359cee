#!/usr/bin/env bash
# Makes a fresh Wine prefix at $1 for the end-to-end tests: 64-bit with the
# 32-bit subsystem, no display, no Mono or Gecko.
set -euo pipefail
prefix=${1:?usage: make-wine-prefix.sh DIR [--keep-server]}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
wineboot -i >/dev/null 2>&1
wineserver -w
test -d "$prefix/drive_c/windows/system32"
test -d "$prefix/drive_c/windows/syswow64"
# Windows has a driver directory beside each system directory; Wine makes
# none for 32-bit programs, whose system32\drivers is redirected there.
mkdir -p "$prefix/drive_c/windows/syswow64/drivers"
if [ "${2:-}" = "--keep-server" ]; then
  # One server for all the programs of a test run, instead of one started
  # and stopped around each; "wineserver -k" ends it.
  wineserver -p </dev/null >/dev/null 2>&1
  # Start the prefix's services (device enumeration among them) now, so that
  # the first test does not wait for them.
  wineboot </dev/null >/dev/null 2>&1
fi
echo "wine prefix ready: $prefix"
