#!/usr/bin/env bash
# Builds and runs the native benchmarks (never part of tools/test.sh's test
# run). Extra arguments go to the benchmark program, e.g.
# --benchmark_repetitions=5.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QSETUP_BUILD_DIR:-$root/build}/bench
jobs=${QSETUP_JOBS:-2}

bash "$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs" --target stamp_benchmark
"$build/benchmarks/stamp_benchmark" "$@"
