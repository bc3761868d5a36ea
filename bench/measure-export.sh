#!/usr/bin/env bash
# The cold export against the analysis, measured in one run: RUNS times (default 3) each of
# `barvik-cli tables` (with its event cache), `barvik-cli tables --no-cache` and
# `barvik-cli export --no-cache` (each into a new folder) on a generated log of LINES lines
# and PLAYERS players (default 1,000,000 and 400), with
# /usr/bin/time -v. Prints every run's wall and CPU seconds and peak memory, then the median
# export against the median tables runs, wall and CPU.
#
#   bash bench/measure-export.sh             # BUILD_DIR=build, WORK=/tmp/barvik-export
#   LINES=4000000 PLAYERS=300 RUNS=1 bash bench/measure-export.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
work=${WORK:-/tmp/barvik-export}
lines=${LINES:-1000000}
players=${PLAYERS:-400}
runs=${RUNS:-3}
cli="$build/barvik-cli"
mkdir -p "$work"

# figures FILE: "WALL CPU PEAK_KB" (the output of /usr/bin/time -v).
. bench/time-figures.sh

log="$work/gen-$lines-$players.log"
[ -f "$log" ] || "$build/barvik-genlog" "$log" "$lines" "$players" 7
cat "$log" >/dev/null  # into the page cache before the first run
echo "== $lines lines, $players players, $(($(stat -c %s "$log") / 1000000)) MB"

# timed NAME COMMAND...: one line of figures, also appended to $work/NAME.txt.
timed() {
  local name=$1
  shift
  /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt" || { tail -n 5 "$work/time.txt" >&2; exit 1; }
  figures "$work/time.txt" | tee -a "$work/$name.txt" |
    awk -v name="$name" '{ printf "%-9s %6.2f s wall %6.2f s cpu %8.1f MB\n", name, $1, $2, $3 / 1024 }'
}

# Each export goes to a folder of its own, removed only after the last run: ext4 creates files
# markedly slower (about twice the system time here) in the half minute after thousands were
# deleted, which a real cold export does not meet.
if compgen -G "$work/report-*" >/dev/null; then
  rm -rf "$work"/report-*
  sleep 35
fi
rm -f "$work/tables.txt" "$work/tables-nc.txt" "$work/export.txt"
for ((i = 0; i < runs; i++)); do
  timed tables "$cli" tables "$log"
  timed tables-nc "$cli" tables --no-cache "$log"
  timed export "$cli" export --no-cache "$log" "$work/report-$i/"
done
rm -rf "$work"/report-*

# median FILE COLUMN: the median of one column of the figures.
median() { awk -v c="$2" '{ print $c }' "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
tw=$(median "$work/tables.txt" 1) tc=$(median "$work/tables.txt" 2)
nw=$(median "$work/tables-nc.txt" 1) nc=$(median "$work/tables-nc.txt" 2)
ew=$(median "$work/export.txt" 1) ec=$(median "$work/export.txt" 2)
awk -v tw="$tw" -v tc="$tc" -v nw="$nw" -v nc="$nc" -v ew="$ew" -v ec="$ec" 'BEGIN {
  printf "medians: tables %.2f s wall %.2f s cpu; tables --no-cache %.2f s wall %.2f s cpu;", tw, tc, nw, nc
  printf " export %.2f s wall %.2f s cpu\n", ew, ec
  printf "export / tables: %.1f x wall, %.1f x cpu\n", ew / (tw > 0 ? tw : 0.01), ec / (tc > 0 ? tc : 0.01)
  printf "export / tables --no-cache (both read the log): %.1f x wall, %.1f x cpu\n",
         ew / (nw > 0 ? nw : 0.01), ec / (nc > 0 ? nc : 0.01)
}'
