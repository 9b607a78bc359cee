#!/usr/bin/env bash
# Makes a fresh Wine prefix at DIR for the end-to-end tests: 64-bit with the
# 32-bit subsystem, no display, no Mono or Gecko.
#   make-wine-prefix.sh DIR [--keep-server] [--from TEMPLATE]
# --from copies TEMPLATE, a prefix that this script made and whose server has
# ended, instead of booting a new one: the copy is in the same state and
# runs a server of its own.
set -euo pipefail
usage() {
  echo "usage: make-wine-prefix.sh DIR [--keep-server] [--from TEMPLATE]" >&2
  exit 2
}
prefix=${1:-}
[ -n "$prefix" ] || usage
shift
keep_server=0
template=""
while [ $# -gt 0 ]; do
  case $1 in
    --keep-server) keep_server=1; shift ;;
    --from) [ $# -ge 2 ] || usage; template=$2; shift 2 ;;
    *) usage ;;
  esac
done
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
if [ -n "$template" ]; then
  test -f "$template/system.reg"
  mkdir "$prefix"
  # Wine's own programs and libraries, most of a prefix's 1.3 GB, are hard
  # links to the template's: nothing writes into them (a program writes new
  # files, and Wine saves its registry into new files that it renames). The
  # rest is copied; the file "wineserver" names the server of its prefix,
  # and the copy gets one of its own.
  shared=(drive_c/windows/system32 drive_c/windows/syswow64)
  tar -C "$template" --exclude=./wineserver "${shared[@]/#/--exclude=./}" -cf - . |
    tar -C "$prefix" -xf -
  for dir in "${shared[@]}"; do
    cp -al "$template/$dir" "$prefix/$dir"
  done
else
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Windows has a driver directory beside each system directory; Wine makes
  # none for 32-bit programs, whose system32\drivers is redirected there.
  mkdir -p "$prefix/drive_c/windows/syswow64/drivers"
fi
test -d "$prefix/drive_c/windows/system32"
test -d "$prefix/drive_c/windows/syswow64/drivers"
if [ "$keep_server" -eq 1 ]; then
  # One server for all the programs of a test run, instead of one started
  # and stopped around each; "wineserver -k" ends it.
  wineserver -p </dev/null >/dev/null 2>&1
  # Start the prefix's services (device enumeration among them) now, so that
  # the first test does not wait for them.
  wineboot </dev/null >/dev/null 2>&1
fi
echo "wine prefix ready: $prefix"
