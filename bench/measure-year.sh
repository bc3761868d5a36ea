#!/usr/bin/env bash
# A year of a busy server: a generated history of LINES lines (default 50,000,000, about 16,000
# games of 3,000 lines) by PLAYERS players (default 300), made once in WORK and never
# committed, then one cold export with /usr/bin/time -v. Prints the wall and CPU time, the
# peak memory against the log's size, the site's size and files, its bytes per game, and the
# largest pages. Then, unless INCREMENTAL=0, the run a watch makes after 10,000 new lines: the
# year's log taken as the rotated history of a live log that is empty at first, exported once
# with the event cache (a cold run that fills it), then 10,000 lines by 24 of the players
# appended to the live log and exported with --incremental. Long (the log alone is a few GB):
# run it niced, by hand, never in CI.
#
#   nice bash bench/measure-year.sh          # BUILD_DIR=build, WORK=/tmp/barvik-year
#   LINES=1000000 PLAYERS=400 bash bench/measure-year.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
work=${WORK:-/tmp/barvik-year}
lines=${LINES:-50000000}
players=${PLAYERS:-300}
mkdir -p "$work"

# figures FILE: "WALL CPU PEAK_KB" (the output of /usr/bin/time -v).
. bench/time-figures.sh

log="$work/year-$lines-$players.log"
[ -f "$log" ] || "$build/barvik-genlog" "$log" "$lines" "$players" 11
log_kb=$(($(stat -c %s "$log") / 1024))
out="$work/report/"
rm -rf "$out"
/usr/bin/time -v "$build/barvik-cli" export --no-cache "$log" "$out" >/dev/null 2>"$work/time.txt" ||
  { tail -n 5 "$work/time.txt" >&2; exit 1; }
read -r wall cpu peak_kb < <(figures "$work/time.txt")
games=$(find "$out/site/games" -name '*.html' | wc -l)
site_kb=$(du -sk "$out/site" | cut -f1)
echo "== $lines lines, $players players, $((log_kb / 1024)) MB of log, $games game pages"
awk -v w="$wall" -v c="$cpu" -v p="$peak_kb" -v l="$log_kb" -v s="$site_kb" -v g="$games" \
    -v f="$(find "$out/site" -type f | wc -l)" -v r="$(du -sk "$out" | cut -f1)" 'BEGIN {
  printf "cold export: %.1f s wall, %.1f s cpu, peak %.0f MB (%.2f of the log)\n", w, c, p / 1024, p / l
  printf "site: %.1f MB in %d files (%.0f bytes per game); whole report %.1f MB\n",
         s / 1024, f, (g > 0 ? s * 1024 / g : 0), r / 1024
}'
echo "largest pages of the site (bytes):"
find "$out/site" -name '*.html' -printf '%s %P\n' | sort -n | tail -n 8
echo "largest JSON files (bytes):"
find "$out/site" -name '*.json' -printf '%s %P\n' | sort -n

[ "${INCREMENTAL:-1}" = 0 ] && exit 0
label_width=36
live="$work/live.log"
tail_log="$work/tail-10000-$players.log"
[ -f "$tail_log" ] || "$build/barvik-genlog" "$tail_log" 10000 "$players" 11 --active=24
rm -rf "$work/cache"
: >"$live"
export XDG_CACHE_HOME="$work/cache"
timed "cold export filling the event cache" "$build/barvik-cli" export "$log" "$live" "$out"
cat "$tail_log" >>"$live"
timed "+10,000 lines, --incremental" "$build/barvik-cli" export --incremental "$log" "$live" "$out"
rm -rf "$work/cache" "$live"
