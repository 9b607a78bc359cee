#!/usr/bin/env bash
# Builds everything and runs every test: installs what is missing, checks the
# fleet examples that the README shows, cross-builds SETUP.EXE and its MSI
# package for x64 and x86, builds the native unit tests twice (plain, and with
# AddressSanitizer and UndefinedBehaviorSanitizer), runs the unit tests and the
# end-to-end tests of both packages and both MSI packages under Wine, replays
# the fuzz targets' seed corpora, and checks that two release builds of the
# last commit are identical.
#   tools/test.sh [--unit]
# --unit is the quick path for development: the format and include checks
# and the native unit tests only.
#
# Steps that need nothing of each other run side by side. Each step's output
# goes to build/test-logs/STEP.log and is printed when the step ends, with
# its wall-clock time and the processor time of its processes (not counting
# Wine's servers, which outlive the programs that start them); the run ends
# with a table of them. The builds compile through ccache (build/ccache):
# the release that the reproducibility check makes in a clone of the tree
# compiles nothing that the tree's own builds compiled, and a second run
# compiles only what changed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}
jobs=${QSETUP_JOBS:-2}

case ${1:-} in
  "") unit_only=0 ;;
  --unit) unit_only=1 ;;
  *) echo "usage: test.sh [--unit]" >&2; exit 2 ;;
esac

logs=$build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
run_started=$(date +%s.%N)
failed=()
summary=()
declare -A titles=() pids=()

# Whole seconds from the time A to the time B (date +%s.%N).
seconds() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", b - a }'
}

# Processor seconds that the processes which this shell waited for have
# used, from the output of `times` in FILE.
cpu_seconds() {
  awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, "m"); s += t[1] * 60 + t[2] } }
       END { printf "%.1f", s }' "$1"
}

# Runs step ID, COMMAND...: its output goes to ID.log, its wall-clock and
# processor seconds to ID.time. The command stops at its first failure.
run_step() {
  local id=$1 status started
  shift
  started=$(date +%s.%N)
  times >"$logs/$id.cpu-before"
  set +e
  (
    set -e
    "$@"
  ) >"$logs/$id.log" 2>&1
  status=$?
  set -e
  times >"$logs/$id.cpu-after"
  echo "$(seconds "$started" "$(date +%s.%N)")" \
    "$(seconds "$(cpu_seconds "$logs/$id.cpu-before")" "$(cpu_seconds "$logs/$id.cpu-after")")" \
    >"$logs/$id.time"
  return "$status"
}

# Prints the log of step ID, which ended with STATUS, and its times; a
# failed step fails the run.
report_step() {
  local id=$1 status=$2 wall=? cpu=?
  printf '\n=== %s\n' "${titles[$id]}"
  cat "$logs/$id.log"
  [ ! -s "$logs/$id.time" ] || read -r wall cpu <"$logs/$id.time"
  printf -- '--- %s: %s s, processor %s s' "$id" "$wall" "$cpu"
  if [ "$status" -ne 0 ]; then
    printf ', FAILED (exit code %s)\n' "$status"
    failed+=("$id")
  else
    printf '\n'
  fi
  summary+=("$(printf '%6s s %6s s   %s' "$wall" "$cpu" "$id")")
}

# step ID TITLE COMMAND...: a step that runs now.
step() {
  local id=$1 status=0
  titles[$id]=$2
  shift 2
  run_step "$id" "$@" || status=$?
  report_step "$id" "$status"
}

# start ID TITLE COMMAND...: a step that starts now and runs beside the
# others; finish ID... waits for it and reports it. start_low: the same at a
# lower priority.
start() {
  local id=$1
  titles[$id]=$2
  shift 2
  run_step "$id" "$@" &
  pids[$id]=$!
}
start_low() {
  local id=$1
  titles[$id]=$2
  shift 2
  (
    renice -n 10 -p "$BASHPID" >/dev/null
    run_step "$id" "$@"
  ) &
  pids[$id]=$!
}
finish() {
  local id status
  for id in "$@"; do
    status=0
    wait "${pids[$id]}" || status=$?
    unset "pids[$id]"
    report_step "$id" "$status"
  done
}

# Ends the run with the table of the steps' times and the exit code.
conclude() {
  local total
  total=$(seconds "$run_started" "$(date +%s.%N)")
  printf '\n=== times: wall clock, processor, step\n'
  printf '%s\n' "${summary[@]}"
  printf 'whole run: %d min %02d s\n' $((total / 60)) $((total % 60))
  if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
  fi
  exit 0
}

# Ends the run, once the steps that run have ended, when a step that the
# next ones need has failed.
needed() {
  [ ${#failed[@]} -gt 0 ] || return 0
  finish "${!pids[@]}"
  conclude
}

step packages-native "packages of the native builds" bash tools/setup.sh --native
needed

export CCACHE_DIR=$build/ccache CCACHE_BASEDIR=$root CMAKE_CXX_COMPILER_LAUNCHER=ccache

step format "format check" bash -c "git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror"
step includes "include check" bash tools/check-includes.sh

native_configure() {
  cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQSETUP_PACKAGE_ROOT="$build/package" -DQSETUP_FIXTURE_ROOT="$build/fixtures" \
    -DQSETUP_MSI_ROOT="$build/msi" >/dev/null
}
native_unit_tests() {
  (cd "$build/native" && ctest --output-on-failure -j "$jobs" -L unit)
}

if [ "$unit_only" -eq 1 ]; then
  unit_build() {
    native_configure
    cmake --build "$build/native" -j "$jobs" --target unit_tests
  }
  step native-unit-build "native build of the unit tests" unit_build
  needed
  step native-unit "native unit tests" native_unit_tests
  conclude
fi

windows_builds() {
  for arch in x64 x86; do
    echo "== $arch"
    bash tools/windows-configure.sh "$arch" "$build/win-$arch" \
      -DQSETUP_PACKAGE_DIR="$build/package/$arch" -DQSETUP_FIXTURE_DIR="$build/fixtures/$arch" \
      -DQSETUP_MSI_DIR="$build/msi" >/dev/null
    cmake --build "$build/win-$arch" -j "$jobs"
  done
}
# The programs of the end-to-end and release tests, which wait for nothing
# else.
native_test_programs() {
  native_configure
  cmake --build "$build/native" -j "$jobs" \
    --target e2e_tests e2e_device_tests e2e_msi_tests versioncheck
}
package_tests() {
  # Each prefix runs one test at a time; two tests at once, each in a prefix
  # of its own. Wine under more programs at once than that, beside the
  # builds, now and then fails to start one.
  (cd "$build/native" && ctest --output-on-failure -j "$jobs" -L packages)
}
sanitizer_unit_tests() {
  cmake -S . -B "$build/asan" -DCMAKE_BUILD_TYPE=Debug -DQSETUP_SANITIZE=ON >/dev/null
  cmake --build "$build/asan" -j "$jobs" --target unit_tests
  (cd "$build/asan" && ctest --output-on-failure -j "$jobs" -L unit)
}
reproducible() {
  if [ -n "$(git status --porcelain)" ]; then
    echo "(uncommitted changes are not part of this check)"
  fi
  bash tools/check-reproducible.sh
}

# The rest of the packages are installed while the native programs build;
# then what the end-to-end tests need comes first. The other builds run
# beside those tests at a lower priority, so that the tests' programs, which
# wait for each other within time limits, keep their pace.
start packages "packages of the Windows builds and of Wine" bash tools/setup.sh
start native-e2e-build "native build of the end-to-end and release tests" native_test_programs
start_low asan "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
  sanitizer_unit_tests
start_low fuzz "fuzz targets: seed corpora replayed under the sanitizers" \
  bash tools/fuzz.sh --replay
finish packages
needed
step examples "fleet examples: the README's copies and the playbooks' syntax" \
  bash tools/check-examples.sh
start windows "Windows builds (x64, x86)" windows_builds
finish windows native-e2e-build
needed
start e2e "end-to-end tests under Wine, and the release tests" package_tests
start_low native-build "native build: the unit tests and the benchmarks" \
  cmake --build "$build/native" -j "$jobs"
start_low reproducible "reproducible release: the last commit built twice, in two directories" \
  reproducible
finish native-build e2e
# One CTest at a time in a build directory: the unit tests after the others.
if ! printf '%s\n' "${failed[@]}" | grep -qx native-build; then
  step native-unit "native unit tests" native_unit_tests
fi
finish asan fuzz reproducible
conclude
