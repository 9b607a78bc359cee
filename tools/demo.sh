#!/usr/bin/env bash
# The installer's main job, end to end: builds the x64 package, makes a
# fresh Wine prefix set up as a server with older management software (a
# legacy restart tool in the system directory and its service keys) and the
# adapter attached without a working driver, shows the server through
# QLN2STAT.EXE's report, runs SETUP.EXE from the package directory as an
# administrator would (interactively when standard input is a terminal,
# unattended otherwise), shows the report again with what it leaves out
# (the legacy tool's run, the service keys by name), and runs SETUP.EXE once
# more to show a repeated installation, and the report after it. After each
# run of SETUP.EXE it shows the run's event as the Application log renders
# it and the report's lastRun, and after the report what its least obvious
# lines mean. Extra arguments go to SETUP.EXE.
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
# One Wine server for the whole demo, as one start of Windows: the volatile
# key in which SETUP.EXE records that a restart is owed lives as long as it.
make_prefix() { tools/make-wine-prefix.sh "$prefix" --keep-server >/dev/null; }
timed "making a fresh Wine prefix in $prefix (about 12 s)" make_prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
sys="$prefix/drive_c/windows/system32"

# The service keys by name: the report counts the legacy ones.
service_keys() {
  echo "   service keys: $(wine "$fixtures/service_keys.exe" exists vanwdgsv vanwdgex_monitor QLN2Svc | tr -d '\r' | tr '\n' ' ')"
}

status_meaning() {
  case $1 in
    0) echo "the software is current, and no restart is owed" ;;
    1) echo "the software is current, and a restart is owed" ;;
    3) echo "the software is not installed, older or incomplete" ;;
    *) echo "no report" ;;
  esac
}

# status: QLN2STAT.EXE's report of the server, as it runs from the package
# directory; it changes nothing.
status() {
  echo
  echo "== wine $package/QLN2STAT.EXE"
  echo
  set +e
  wine "$package/QLN2STAT.EXE" </dev/null
  local rc=$?
  set -e
  echo
  echo "== QLN2STAT.EXE exit code $rc: $(status_meaning "$rc")"
}

echo "== the server before: older software (vanwdgsv.exe in the system directory and its"
echo "   service keys), and the adapter as ROOT\\QLN2_ADAPTER\\0000 (hardware id"
echo "   USB\\Vid_7a5c&Pid_4001&Rev_0100) without a working driver"
cp "$fixtures/tool_standin.exe" "$sys/vanwdgsv.exe"
wine "$fixtures/service_keys.exe" create 'vanwdgsv\Parameters' vanwdgex_monitor
wine "$fixtures/device_registry.exe" add 'ROOT\QLN2_ADAPTER\0000' \
  'USB\Vid_7a5c&Pid_4001&Rev_0100' 'USB\Vid_7a5c&Pid_4001'
status
echo "== what the report does not show"
service_keys

setup_meaning() {
  case $1 in
    0) echo "installed" ;;
    1) echo "installed; older service registrations were removed: restart the machine" ;;
    2) echo "failed: a file could not be copied, or the system directory is unusable" ;;
    8) echo "no adapter found; nothing was changed" ;;
    16) echo "the adapter was found without a working USB driver; the software was installed anyway;"
        echo "   older service registrations may have been removed as well (SETUP.EXE does not say so," \
          "the report does): restart the machine" ;;
    *) echo "unexpected" ;;
  esac
}

# Wine's event log keeps no events: it writes each one (its id, then its
# insertion strings) on these debug channels, from which the demo takes the
# run's event.
event_trace="-all,+eventlog,fixme+advapi"
events="$build/demo-events.log"

# The run's event as the Application log renders it: by the message file
# that the event source's registration names, in the system's language.
show_event() {
  echo "== the run's event, as the Application log shows it (its source's message file:"
  echo "   $(wine "$fixtures/event_message.exe" source | tr -d '\r' | sed -n 's/^EventMessageFile=\(REG_[A-Z_]* \)\{0,1\}//p'))"
  local -a event=()
  mapfile -t event < <(python3 - "$events" <<'PY'
import re, sys
lines = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()
event = []
for line in lines:
    m = re.match(r"^[0-9a-f]+:fixme:advapi:ReportEventW \([^,]*,0x[0-9a-f]+,0x[0-9a-f]+,0x([0-9a-f]+),", line)
    if m:
        event = [str(int(m.group(1), 16))]
        continue
    m = re.match(r'^[0-9a-f]+:(?:trace|warn|err):eventlog:ReportEventW L"(.*)"$', line)
    if m and event:
        event.append(re.sub(r"\\([0-9a-f]{4}|.)", lambda x: chr(int(x.group(1), 16))
                            if len(x.group(1)) == 4 else {"n": "\n", "r": "\r", "t": "\t"}.get(
                                x.group(1), x.group(1)), m.group(1)))
print("\n".join(event))
PY
  )
  if [ ${#event[@]} -eq 0 ]; then
    echo "   (no event was written)"
    return
  fi
  echo "   event ${event[0]}:"
  wine "$fixtures/event_message.exe" render "${event[@]}" | tr -d '\r' | sed 's/^/   /'
}

# lastRun of the report: what fleets that do not collect the event log see.
show_last_run() {
  echo "== lastRun of QLN2STAT.EXE /JSON"
  wine "$package/QLN2STAT.EXE" /JSON </dev/null | python3 -c \
    'import json, sys; print("   " + json.dumps(json.load(sys.stdin)["lastRun"]))' || true
}

run_setup() {
  local args=("$@")
  echo
  if [ -t 0 ]; then
    echo "== wine $package/SETUP.EXE ${args[*]:-}"
    echo
    set +e
    WINEDEBUG=$event_trace wine "$package/SETUP.EXE" "${args[@]}" 2>"$events"
  else
    echo "== wine $package/SETUP.EXE /Q ${args[*]:-}   (no terminal: unattended)"
    echo
    set +e
    WINEDEBUG=$event_trace wine "$package/SETUP.EXE" /Q "${args[@]}" </dev/null 2>"$events"
  fi
  rc=$?
  set -e
  echo
  echo "== SETUP.EXE exit code $rc: $(setup_meaning "$rc")"
  echo "   (the dots: one for each 5 seconds that a tool of the older or the new software ran)"
  show_event
  show_last_run
}

# What the report's lines that puzzle most mean.
explain_report() {
  echo "   (\"legacy tool present\": the older software's vanwdgsv.exe is still in the system"
  echo "   directory; SETUP.EXE runs it to remove that software and leaves the file. The service's"
  echo "   state is the service control manager's: \"stopped\" until Windows or an administrator"
  echo "   starts it.)"
}

run_setup "$@"
status
explain_report
echo "== what the report does not show"
echo "   the legacy tool was run as: $(tr -d '\r' < "$sys/qsetup-tools.log" 2>/dev/null | cut -d'|' -f1)"
service_keys

echo
echo "== a second run on the same server: a repeated installation"
run_setup "$@"
status
