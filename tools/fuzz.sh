#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with ASan and UBSan) and either
# replays their seed corpora once (--replay, as the test command does) or
# fuzzes each target for SECONDS (default 60), growing a working corpus in
# build/fuzz-corpus/<target>. A target that finds a crash leaves the input in
# build/fuzz-crashes/<target>/ and the run ends with exit code 1, after the
# other targets. Usage: tools/fuzz.sh [--replay | SECONDS [TARGET...]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}

bash tools/setup.sh --native
CC=clang CXX=clang++ cmake -S . -B "$build/fuzz" -DQSETUP_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/fuzz" -j 2 >/dev/null

mode=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
failed=()
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/$t"
  log="$build/fuzz/$t.log"
  if [ "$mode" = "--replay" ]; then
    echo "replaying $t: $(ls "$seeds" | wc -l) inputs"
    "$build/fuzz/fuzz/$t" -runs=0 "$seeds"/* >/dev/null 2>"$log" || { cat "$log"; exit 1; }
  else
    work="$build/fuzz-corpus/$t"
    crashes="$build/fuzz-crashes/$t"
    mkdir -p "$work" "$crashes"
    started="$build/fuzz/$t.started"
    touch "$started"
    echo "fuzzing $t for ${mode}s"
    if "$build/fuzz/fuzz/$t" -dict="fuzz/$t.dict" -max_total_time="$mode" -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$work" "$seeds" >"$log" 2>&1; then
      grep -E 'stat::number_of_executed_units' "$log"
    else
      sed -n -E '/ERROR|SUMMARY/p' "$log"
      crash=$(find "$crashes" -type f -newer "$started" | head -n 1)
      if [ -n "$crash" ]; then
        echo "fuzz: $t found a crash; the input is $crash"
      else
        echo "fuzz: $t failed; see $log"
      fi
      failed+=("$t")
    fi
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: ${failed[*]} failed"
  exit 1
fi
