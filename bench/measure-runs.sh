#!/usr/bin/env bash
# Whole runs of barvik-cli on generated logs, measured with /usr/bin/time -v: wall time and
# peak resident memory of `tables`, `player` (one player with a weapon) and `export`, each
# against the log's size, next to the time of the one-liner  awk -F';' '{k[$9]++}' LOG  on the
# same log. Sizes: SIZES lines (default 1M, 2M and 4M), a .gz of the largest (limits taken
# against its uncompressed size), and a log of NAMES distinct names, one join line each.
#
#   bash bench/measure-runs.sh            # BUILD_DIR=build, WORK=/tmp/barvik-runs
#   SIZES="1000000" EXPORT=0 bash bench/measure-runs.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
work=${WORK:-/tmp/barvik-runs}
sizes=${SIZES:-"1000000 2000000 4000000"}
names=${NAMES:-1000000}
export_runs=${EXPORT:-1}
cli="$build/barvik-cli"
mkdir -p "$work"

# figures FILE: "WALL CPU PEAK_KB" (the output of /usr/bin/time -v).
. bench/time-figures.sh

# run LABEL BYTES AWK_CPU COMMAND...: one line of figures. On a shared machine the CPU
# seconds (user + system) compare better than the wall time.
run() {
  local label=$1 bytes=$2 awk_cpu=$3
  shift 3
  local out="$work/time.txt"
  /usr/bin/time -v "$@" >/dev/null 2>"$out" || { tail -n 5 "$out" >&2; exit 1; }
  figures "$out" | awk -v label="$label" -v bytes="$bytes" -v awk_cpu="$awk_cpu" '{
      printf "%-12s %7.2f s wall %7.2f s cpu %8.1f MB  %5.3f x log", label, $1, $2, $3 / 1024, $3 * 1024 / bytes
      if (awk_cpu > 0) printf "  %5.2f x awk cpu", $2 / awk_cpu
      printf "\n"
    }'
}

# awk_cpu LOG: the CPU seconds of the one-liner, the best of three runs.
awk_cpu() {
  for _ in 1 2 3; do
    /usr/bin/time -v awk -F';' '{k[$9]++}' "$1" 2>"$work/awk.txt" >/dev/null
    figures "$work/awk.txt" | awk '{ print $2 }'
  done | sort -n | head -n 1
}

largest=""
for lines in $sizes; do
  log="$work/gen-$lines.log"
  [ -f "$log" ] || "$build/barvik-genlog" "$log" "$lines" 300 7
  largest=$log
  bytes=$(stat -c %s "$log")
  cat "$log" >/dev/null  # into the page cache, as for awk
  a=$(awk_cpu "$log")
  echo "== $lines lines, $((bytes / 1000000)) MB; awk ${a} s cpu"
  # A player from the middle of the list and his most used weapon.
  # (awk reads to the end: an early exit would break the pipe under pipefail.)
  player=$("$cli" tables "$log" | awk -F'\t' 'NR == 150 { print $1 }')
  weapon=$("$cli" player -- "$log" "$player" |
    awk -F'\t' '/^\[ListViewPlayerWeapon\]/ { f = 1; next } f && ++n == 3 { print $1 }')
  run "tables" "$bytes" "$a" "$cli" tables "$log"
  run "player" "$bytes" "$a" "$cli" player --weapon "$weapon" -- "$log" "$player"
  if [ "$export_runs" != 0 ]; then
    rm -rf "$work/report"
    run "export" "$bytes" "$a" "$cli" export "$log" "$work/report/"
    rm -rf "$work/report"
  fi
done

gz="$largest.gz"
[ -f "$gz" ] || gzip -k -6 "$largest"
bytes=$(stat -c %s "$largest")
echo "== $(basename "$gz") ($(($(stat -c %s "$gz") / 1000000)) MB compressed), against the plain size"
run "tables .gz" "$bytes" 0 "$cli" tables "$gz"

distinct="$work/names-$names.log"
[ -f "$distinct" ] ||
  awk -v n="$names" 'BEGIN { for (i = 0; i < n; i++) printf "%3d:%02d J;%d;0;Player%d\n", i / 60 % 1000, i % 60, i, i }' >"$distinct"
bytes=$(stat -c %s "$distinct")
echo "== $names distinct names, $((bytes / 1000000)) MB"
/usr/bin/time -v "$cli" tables "$distinct" >/dev/null 2>"$work/time.txt"
awk -v n="$names" '/Maximum resident set size/ { printf "tables: %.1f MB peak, %.0f bytes per name\n", $NF / 1024, $NF * 1024 / n }' "$work/time.txt"
