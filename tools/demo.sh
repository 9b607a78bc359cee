#!/usr/bin/env bash
# The installer's main job, end to end: builds the x64 package, makes a
# fresh Wine prefix set up as a server with older management software (a
# legacy restart tool in the system directory and its service keys) and the
# adapter attached without a working driver, runs SETUP.EXE from the package
# directory as an administrator would (interactively when standard input is
# a terminal, unattended otherwise), shows what changed, and runs it once
# more to show a repeated installation. Extra arguments go to SETUP.EXE.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}

# timed WHAT COMMAND...: says what a long step does, runs it, and says how
# long it took.
timed() {
  local what=$1 start=$SECONDS
  shift
  echo "== $what"
  "$@"
  echo "   ($((SECONDS - start)) s)"
}

build_package() {
  bash tools/windows-configure.sh x64 "$build/win-x64" -DQSETUP_PACKAGE_DIR="$build/package/x64" \
    -DQSETUP_FIXTURE_DIR="$build/fixtures/x64" >/dev/null
  cmake --build "$build/win-x64" -j 2 >/dev/null
}

timed "checking the Debian packages that the demo needs" bash tools/setup.sh
timed "building the x64 package and the demo's helper programs (about 35 s the first time)" \
  build_package
package="$build/package/x64"
fixtures="$build/fixtures/x64"

prefix="$build/demo-prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
make_prefix() { tools/make-wine-prefix.sh "$prefix" >/dev/null; }
timed "making a fresh Wine prefix in $prefix (about 12 s)" make_prefix
sys="$prefix/drive_c/windows/system32"
services='HKLM\SYSTEM\CurrentControlSet\Services'

echo "== the server before: older software, adapter without a working driver"
cp "$fixtures/tool_standin.exe" "$sys/vanwdgsv.exe"
wine "$fixtures/service_keys.exe" create 'vanwdgsv\Parameters' vanwdgex_monitor
wine "$fixtures/device_registry.exe" add 'ROOT\QLN2_ADAPTER\0000' \
  'USB\Vid_7a5c&Pid_4001&Rev_0100' 'USB\Vid_7a5c&Pid_4001'
echo "   system directory: $(cd "$sys" && ls vanwdgsv.exe)"
echo "   service keys:     $(wine "$fixtures/service_keys.exe" exists vanwdgsv vanwdgex_monitor QLN2Svc | tr -d '\r' | tr '\n' ' ')"
echo "   device:           ROOT\\QLN2_ADAPTER\\0000, hardware id USB\\Vid_7a5c&Pid_4001&Rev_0100"

meaning() {
  case $1 in
    0) echo "installed" ;;
    1) echo "installed; older service registrations were removed: restart the machine" ;;
    2) echo "failed: a file could not be copied, or the system directory is unusable" ;;
    8) echo "no adapter found; nothing was changed" ;;
    16) echo "the adapter was found without a working USB driver; the software was installed anyway;"
        echo "   older service registrations may have been removed as well (no message says so): restart the machine" ;;
    *) echo "unexpected" ;;
  esac
}

run_setup() {
  local args=("$@")
  if [ -t 0 ]; then
    echo "== wine $package/SETUP.EXE ${args[*]:-}"
    echo
    set +e
    wine "$package/SETUP.EXE" "${args[@]}"
  else
    echo "== wine $package/SETUP.EXE /Q ${args[*]:-}   (no terminal: unattended)"
    echo
    set +e
    wine "$package/SETUP.EXE" /Q "${args[@]}" </dev/null
  fi
  rc=$?
  set -e
  echo
  echo "== exit code $rc: $(meaning "$rc")"
}

run_setup "$@"

echo "== what changed"
echo "   staged in C:\\windows\\system32\\drivers\\qln2:"
(cd "$sys/drivers/qln2" 2>/dev/null && ls -l | tail -n +2 | awk '{print "     " $5 "\t" $9}') || echo "     (nothing)"
echo "   installed in C:\\windows\\system32:"
(cd "$sys" && ls -l TELMXW.DLL TELMXREM.EXE TELMXSVC.EXE 2>/dev/null | awk '{print "     " $5 "\t" $9}') || true
echo "   the legacy tool was run as: $(tr -d '\r' < "$sys/qsetup-tools.log" 2>/dev/null | cut -d'|' -f1)"
echo "   service keys:     $(wine "$fixtures/service_keys.exe" exists vanwdgsv vanwdgex_monitor QLN2Svc | tr -d '\r' | tr '\n' ' ')"
echo "   the service that TELMXSVC.EXE registered:"
wine reg query "$services\\QLN2Svc" 2>/dev/null | tr -d '\r' | grep -E 'DisplayName|ImagePath|Start' | sed 's/^/  /'

echo
echo "== a second run on the same server: a repeated installation"
run_setup "$@"
wineserver -k 2>/dev/null || true
