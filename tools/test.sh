#!/usr/bin/env bash
# Builds everything and runs every test: installs what is missing, checks the
# fleet examples that the README shows, cross-builds SETUP.EXE and its MSI
# package for x64 and x86, builds the native unit tests twice (plain, and with
# AddressSanitizer and UndefinedBehaviorSanitizer), runs the unit tests and the
# end-to-end tests of both packages and both MSI packages under Wine, replays
# the fuzz targets' seed corpora, and checks that two release builds of the
# last commit are identical.
#   tools/test.sh [--unit]
# --unit is the quick path for development: the format check and the native
# unit tests only.
#
# Steps that do not need each other run side by side, each with its output in
# build/test-logs/STEP.log, which is printed when the step ends, with its
# wall-clock time and the processor time of its processes (Wine's servers,
# which outlive the programs that start them, are not counted). The builds
# compile through ccache (build/ccache), so that the release that the
# reproducibility check makes in a clone of the tree compiles nothing that
# the tree's own builds compiled.
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

# Runs step NAME, COMMAND...: its output goes to its log, its times (wall,
# user and system seconds) to NAME.time.
run_step() {
  local name=$1
  shift
  local TIMEFORMAT="%R %U %S"
  { time "$@" >"$logs/$name.log" 2>&1; } 2>"$logs/$name.time"
}

# Prints the log of step NAME that ended with STATUS and its times; a failed
# step fails the run.
report_step() {
  local name=$1 status=$2 wall=? user=? system=?
  printf '\n=== %s\n' "$name"
  cat "$logs/$name.log"
  if [ -s "$logs/$name.time" ]; then
    read -r wall user system <"$logs/$name.time"
  fi
  local cpu
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.1f", u + s }' 2>/dev/null || echo ?)
  printf -- '--- %s: %s s, processor %s s' "$name" "$wall" "$cpu"
  if [ "$status" -ne 0 ]; then
    printf ', FAILED (exit code %s)\n' "$status"
    failed+=("$name")
  else
    printf '\n'
  fi
  summary+=("$(printf '%8s s %8s s  %s' "$wall" "$cpu" "$name")")
}

failed=()
summary=()
declare -A pids=()

# A step that runs now, in the foreground.
step() {
  local name=$1 status=0
  shift
  run_step "$name" "$@" || status=$?
  report_step "$name" "$status"
}

# A step that starts now and runs beside the others; finish NAME waits for it.
start() {
  local name=$1
  shift
  run_step "$name" "$@" &
  pids[$name]=$!
}
# The same at a lower priority.
start_low() {
  local name=$1
  shift
  (
    renice -n 10 -p "$BASHPID" >/dev/null
    run_step "$name" "$@"
  ) &
  pids[$name]=$!
}
finish() {
  local name status
  for name in "$@"; do
    status=0
    wait "${pids[$name]}" || status=$?
    report_step "$name" "$status"
  done
}

# Ends the run: the table of steps and times, and the exit code.
conclude() {
  local total
  total=$(awk -v a="$run_started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }')
  printf '\n=== times (wall clock, processor)\n'
  printf '%s\n' "${summary[@]}"
  printf 'whole run: %d min %02d s\n' $((total / 60)) $((total % 60))
  if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
  fi
  exit 0
}

# Stops when a step that the next ones need has failed.
needed() {
  [ ${#failed[@]} -eq 0 ] || conclude
}

step "packages" bash tools/setup.sh
needed

export CCACHE_DIR=$build/ccache CCACHE_BASEDIR=$root CMAKE_CXX_COMPILER_LAUNCHER=ccache

step "format check" bash -c "git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror"

native_configure() {
  cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQSETUP_PACKAGE_ROOT="$build/package" -DQSETUP_FIXTURE_ROOT="$build/fixtures" \
    -DQSETUP_MSI_ROOT="$build/msi"
}

if [ "$unit_only" -eq 1 ]; then
  unit_tests() {
    native_configure
    cmake --build "$build/native" -j "$jobs" --target unit_tests
    (cd "$build/native" && ctest --output-on-failure -j "$jobs" -L unit)
  }
  step "native unit tests" unit_tests
  conclude
fi

step "fleet examples: the README's copies, the playbooks' syntax and the status table" \
  bash tools/check-examples.sh

windows_builds() {
  for arch in x64 x86; do
    echo "== $arch"
    bash tools/windows-configure.sh "$arch" "$build/win-$arch" \
      -DQSETUP_PACKAGE_DIR="$build/package/$arch" -DQSETUP_FIXTURE_DIR="$build/fixtures/$arch" \
      -DQSETUP_MSI_DIR="$build/msi" >/dev/null
    cmake --build "$build/win-$arch" -j "$jobs"
  done
}
# The end-to-end tests' programs first: their tests wait for nothing else.
native_e2e_build() {
  native_configure >/dev/null
  cmake --build "$build/native" -j "$jobs" --target e2e_tests e2e_device_tests e2e_msi_tests
}
end_to_end_tests() {
  # Each prefix runs one test at a time, and Wine's programs spend much of
  # their time waiting for each other: more tests than processors keep
  # the processors busy.
  (cd "$build/native" && ctest --output-on-failure -j $((jobs * 2)) -L packages)
}
native_unit_tests() {
  (cd "$build/native" && ctest --output-on-failure -j "$jobs" -L unit)
}
sanitizer_tests() {
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

# The builds that the end-to-end tests need come first. The other builds
# run beside the tests at a lower priority, so that the tests' programs,
# which wait for each other with time limits, keep their pace.
start "Windows builds (x64, x86)" windows_builds
start "native build of the end-to-end tests" native_e2e_build
finish "Windows builds (x64, x86)" "native build of the end-to-end tests"
needed
e2e="end-to-end tests under Wine, and the release tests"
start "$e2e" end_to_end_tests
start_low "native build" cmake --build "$build/native" -j "$jobs"
start_low "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer" sanitizer_tests
start_low "fuzz targets: seed corpora replayed under the sanitizers" bash tools/fuzz.sh --replay
reproducible="reproducible release: the last commit built twice, in two directories"
start_low "$reproducible" reproducible
finish "native build"
native_built=$((${#failed[@]} == 0))
finish "$e2e" "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
  "fuzz targets: seed corpora replayed under the sanitizers"
# After the end-to-end tests: one CTest at a time in a build directory.
if [ "$native_built" -eq 1 ]; then step "native unit tests" native_unit_tests; fi
finish "$reproducible"
conclude
