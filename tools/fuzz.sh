#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with ASan and UBSan) and either
# replays their seed corpora once (--replay, as the test command does) or
# fuzzes each target for SECONDS (default 60), growing a working corpus in
# build/fuzz-corpus/<target>. Usage: tools/fuzz.sh [--replay | SECONDS [TARGET...]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}

bash tools/setup.sh
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
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/$t"
  if [ "$mode" = "--replay" ]; then
    echo "replaying $t: $(ls "$seeds" | wc -l) inputs"
    "$build/fuzz/fuzz/$t" -runs=0 "$seeds"/* >/dev/null 2>"$build/fuzz/$t.log" ||
      { cat "$build/fuzz/$t.log"; exit 1; }
  else
    work="$build/fuzz-corpus/$t"
    mkdir -p "$work"
    echo "fuzzing $t for ${mode}s"
    "$build/fuzz/fuzz/$t" -dict="fuzz/$t.dict" -max_total_time="$mode" -print_final_stats=1 \
      "$work" "$seeds" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
  fi
done
