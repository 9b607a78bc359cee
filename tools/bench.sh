#!/usr/bin/env bash
# Measures what the tests must not time and prints one table of figures,
# targets and results. Installs what is missing, builds the x64 and x86
# packages (configured as tools/test.sh configures them) and the native
# benchmark programs, then measures:
#   1. a forced unattended install (SETUP.EXE -FU /Q) of the x64 package
#      under Wine against install_floor.exe, which makes the same copies as
#      durably (written beside, flushed, renamed), runs the same tool and
#      reports one event, with no installer logic: alternating runs on the
#      same prefix state, median ratio of wall-clock times. With
#      QSETUP_BENCH_BASELINE=DIR, the x64 package of an earlier build, that
#      build's SETUP.EXE runs in the same rounds, and this one's median ratio
#      may be at most 5 % above the earlier one's;
#   2. the version-stamp comparison of 100 KB and sparse 1 GB files;
#   3. the hardware-id scan on fake machines of 100, 1000 and 10000 devices;
#   4. the size of SETUP.EXE and QLN2STAT.EXE of each architecture and the
#      DLLs they import.
# Exits with 0 when every target is met, 1 when one is missed, 2 when a
# measurement could not be made. QSETUP_BENCH_PAIRS sets the number of
# install pairs (21: a Wine process start varies a lot on a busy machine).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QSETUP_BUILD_DIR:-$root/build}
jobs=${QSETUP_JOBS:-2}
pairs=${QSETUP_BENCH_PAIRS:-21}
logs="$build/bench-logs"

bash tools/setup.sh
mkdir -p "$logs"

step() { printf '=== %s\n' "$*" >&2; }
die() {
  echo "bench: $*" >&2
  exit 2
}
# Runs a build step quietly; shows its log when it fails.
quiet() {
  local log="$logs/$1.log"
  shift
  "$@" >"$log" 2>&1 || {
    cat "$log" >&2
    die "failed: $*"
  }
}

for arch in x64 x86; do
  step "Windows build ($arch)"
  quiet "configure-$arch" bash tools/windows-configure.sh "$arch" "$build/win-$arch" \
    -DQSETUP_PACKAGE_DIR="$build/package/$arch" -DQSETUP_FIXTURE_DIR="$build/fixtures/$arch"
  quiet "build-$arch" cmake --build "$build/win-$arch" -j "$jobs"
done
step "native benchmark programs"
quiet configure-bench cmake -S . -B "$build/bench" -DCMAKE_BUILD_TYPE=Release
quiet build-bench cmake --build "$build/bench" -j "$jobs" --target stamp_benchmark detect_benchmark

rows=()
missed=0
# row MEASUREMENT FIGURE TARGET RESULT
row() {
  rows+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4")
  [ "$4" != fail ] || missed=1
}
# verdict CONDITION (an awk expression): pass or fail.
verdict() { awk "BEGIN { exit !($1) }" && echo pass || echo fail; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# --- 1. installer against the floor -----------------------------------------
step "install under Wine: SETUP.EXE -FU /Q against install_floor.exe, $pairs pairs"
package="$build/package/x64"
floor="$build/fixtures/x64/install_floor.exe"
prefix="$build/bench-prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
quiet prefix tools/make-wine-prefix.sh "$prefix" --keep-server
trap 'wineserver -k 2>/dev/null || true' EXIT
sys="$prefix/drive_c/windows/system32"
service='HKLM\SYSTEM\CurrentControlSet\Services\QLN2Svc'
package_win="Z:${package//\//\\}"

# The prefix as it was made: no installed files, no staging directory, no
# service.
restore() {
  wine "$package/TELMXSVC.EXE" -remove </dev/null >/dev/null 2>&1 || true
  find "$sys" -maxdepth 1 \( -iname telmxw.dll -o -iname telmxrem.exe -o -iname telmxsvc.exe \) \
    -delete
  rm -rf "$sys/drivers/qln2"
  if wine reg query "$service" </dev/null >/dev/null 2>&1; then die "the QLN2Svc service stayed"; fi
}
# The installation that either program leaves: the files and the service.
check_installed() {
  local file
  for file in TELMXW.DLL TELMXREM.EXE TELMXSVC.EXE; do
    cmp -s "$package/$file" "$sys/drivers/qln2/$file" || die "$1: $file not staged"
    [ -n "$(find "$sys" -maxdepth 1 -iname "$file")" ] || die "$1: $file not installed"
  done
  wine reg query "$service" </dev/null >/dev/null 2>&1 || die "$1: QLN2Svc not registered"
}
# Runs one program under Wine from the package directory; prints its
# wall-clock time in milliseconds.
timed() {
  local name=$1 start end rc
  shift
  start=$(date +%s%N)
  set +e
  (cd "$package" && wine "$@" </dev/null >/dev/null 2>&1)
  rc=$?
  set -e
  end=$(date +%s%N)
  [ "$rc" -eq 0 ] || die "$name exited with $rc"
  echo $(((end - start) / 1000000))
}
baseline=${QSETUP_BENCH_BASELINE:-}
if [ -n "$baseline" ]; then
  baseline=$(cd "$baseline" && pwd)
  [ -f "$baseline/SETUP.EXE" ] || die "no SETUP.EXE in $baseline"
fi
run_setup() { timed SETUP.EXE "$package/SETUP.EXE" -FU /Q; }
run_floor() { timed install_floor.exe "$floor" "$package_win"; }
run_baseline() { (package=$baseline && timed "the earlier SETUP.EXE" "$package/SETUP.EXE" -FU /Q); }

# One round first, untimed, to bring every program into the page cache.
restore
run_setup >/dev/null
check_installed SETUP.EXE
restore
run_floor >/dev/null
check_installed install_floor.exe
if [ -n "$baseline" ]; then
  restore
  run_baseline >/dev/null
  check_installed "the earlier SETUP.EXE"
fi
programs=(setup floor)
[ -z "$baseline" ] || programs+=(baseline)
setup_ms=()
floor_ms=()
ratios=()
baseline_ratios=()
for ((i = 0; i < pairs; i++)); do
  # Rotate which program goes first, so none always follows another.
  for ((k = 0; k < ${#programs[@]}; k++)); do
    who=${programs[$(((i + k) % ${#programs[@]}))]}
    restore
    case $who in
      setup) s=$(run_setup) ;;
      floor) f=$(run_floor) ;;
      baseline) b=$(run_baseline) ;;
    esac
  done
  setup_ms+=("$s")
  floor_ms+=("$f")
  ratios+=("$(awk -v s="$s" -v f="$f" 'BEGIN { printf "%.3f", s / f }')")
  line=$(printf 'round %2d: SETUP.EXE %5d ms, floor %5d ms, ratio %s' $((i + 1)) "$s" "$f" \
    "${ratios[-1]}")
  if [ -n "$baseline" ]; then
    baseline_ratios+=("$(awk -v b="$b" -v f="$f" 'BEGIN { printf "%.3f", b / f }')")
    line+=$(printf '; earlier %5d ms, ratio %s' "$b" "${baseline_ratios[-1]}")
  fi
  printf '    %s\n' "$line" >&2
done
check_installed "the last run"
restore
wineserver -k 2>/dev/null || true
trap - EXIT

setup_median=$(printf '%s\n' "${setup_ms[@]}" | median)
floor_median=$(printf '%s\n' "${floor_ms[@]}" | median)
ratio_median=$(printf '%s\n' "${ratios[@]}" | median)
row "install x64 under Wine: SETUP.EXE -FU /Q (median)" "$setup_median ms" "" ""
row "install x64 under Wine: durable floor program (median)" "$floor_median ms" "" ""
row "install x64: median ratio SETUP.EXE / floor ($pairs rounds)" \
  "$(printf '%.2f' "$ratio_median")" "<= 1.20" "$(verdict "$ratio_median <= 1.2")"
if [ -n "$baseline" ]; then
  baseline_median=$(printf '%s\n' "${baseline_ratios[@]}" | median)
  row "install x64: median ratio of the earlier SETUP.EXE / floor, same rounds" \
    "$(printf '%.2f' "$baseline_median")" "" ""
  row "install x64: this ratio against the earlier one" \
    "$(awk -v a="$ratio_median" -v b="$baseline_median" 'BEGIN { printf "%.2f", a / b }')" \
    "<= 1.05" "$(verdict "$ratio_median <= 1.05 * $baseline_median")"
fi

# --- 2. version-stamp comparison --------------------------------------------
step "version-stamp comparison"
# Google Benchmark's CSV: name, iterations, real_time, cpu_time, time_unit,
# ..., label, error_occurred, error_message, then the counters.
"$build/bench/benchmarks/stamp_benchmark" --benchmark_format=csv \
  >"$logs/stamp.csv" 2>"$logs/stamp.err" || die "stamp_benchmark failed"
stamp_cpu() {
  awk -F, -v name="\"CompareFiles/$1\"" '$1 == name {
    if ($9 != "") { print "error"; exit }
    print $4 }' "$logs/stamp.csv"
}
small=$(stamp_cpu 102400)
large=$(stamp_cpu 1073741824)
case "$small$large" in *error* | "") die "stamp_benchmark reported an error" ;; esac
stamp_ratio=$(awk -v s="$small" -v l="$large" 'BEGIN { printf "%.2f", l / s }')
row "stamp comparison, two 100 KB files (CPU time)" "$(printf '%.1f us' "$small")" "" ""
row "stamp comparison, two sparse 1 GB files (CPU time)" "$(printf '%.1f us' "$large")" "" ""
row "stamp comparison: ratio 1 GB / 100 KB" "$stamp_ratio" "<= 1.50" \
  "$(verdict "$stamp_ratio <= 1.5")"

# --- 3. hardware-id scan ----------------------------------------------------
step "hardware-id scan"
"$build/bench/benchmarks/detect_benchmark" --benchmark_format=csv \
  >"$logs/detect.csv" 2>"$logs/detect.err" || die "detect_benchmark failed"
declare -A per_device
for n in 100 1000 10000; do
  line=$(awk -F, -v name="\"ScanDevices/$n\"" '$1 == name {
    if ($9 != "") { print "error"; exit }
    printf "%s %s", $4, $4 * 1000 / $11 }' "$logs/detect.csv")
  case $line in error | "") die "detect_benchmark reported an error for $n devices" ;; esac
  read -r call per <<<"$line"
  per_device[$n]=$per
  row "hardware-id scan, $n devices: per call / per device" \
    "$(printf '%.1f us / %.1f ns' "$call" "$per")" "" ""
done
growth=$(awk -v a="${per_device[100]}" -v b="${per_device[10000]}" 'BEGIN { printf "%.2f", b / a }')
row "hardware-id scan: per-device time, 10000 / 100 devices" "$growth" "<= 1.50 (linear)" \
  "$(verdict "$growth <= 1.5")"

# --- 4. size and imports ----------------------------------------------------
step "SETUP.EXE and QLN2STAT.EXE size and imports"
# Libraries that every Windows installation has in its system directory.
system_dlls=" kernel32.dll msvcrt.dll ntdll.dll advapi32.dll user32.dll "
# PROGRAM:LIMIT, the largest image in bytes.
for program in SETUP.EXE:114688 QLN2STAT.EXE:65536; do
  name=${program%%:*}
  limit=${program##*:}
  for arch in x64 x86; do
    case $arch in x64) triple=x86_64 ;; x86) triple=i686 ;; esac
    exe="$build/package/$arch/$name"
    size=$(stat -c %s "$exe")
    kb=$(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1024 }')
    row "$name size, $arch" "$size bytes ($kb KB)" "<= $limit bytes" \
      "$(verdict "$size <= $limit")"
    imports=$("$triple-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }')
    [ -n "$imports" ] || die "no imports read from $exe"
    result=pass
    for dll in $imports; do
      [[ $system_dlls == *" $dll "* ]] || result=fail
    done
    row "$name imports, $arch" "$(echo $imports | tr ' ' ',')" "system DLLs only" "$result"
  done
done

# --- the table ----------------------------------------------------------------
echo
{
  printf 'Measurement\tFigure\tTarget\tResult\n'
  printf '%s\n' "${rows[@]}"
} | awk -F'\t' '
  { for (i = 1; i <= 4; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
  END {
    format = sprintf("%%-%ds  %%-%ds  %%-%ds  %%s\n", w[1], w[2], w[3])
    rule = ""
    for (i = 0; i < w[1] + w[2] + w[3] + w[4] + 6; i++) rule = rule "-"
    for (r = 1; r <= NR; r++) {
      printf format, cell[r, 1], cell[r, 2], cell[r, 3], cell[r, 4]
      if (r == 1) print rule
    }
  }'
exit "$missed"
