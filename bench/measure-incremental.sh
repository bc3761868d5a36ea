#!/usr/bin/env bash
# Whole runs of barvik-cli export with the event cache, measured with /usr/bin/time -v:
#   1. a cold export of a generated history of LINES lines (default 4,000,000; empty cache),
#      then an incremental one of the unchanged log and one after three lines in its last turn,
#   2. the same log with 10,000 lines appended, exported with --incremental: once with lines in
#      which only ACTIVE of the players play (default 24: one evening's server), once with
#      lines in which all of them play,
#   3. a logrotate-style rotation (live log renamed to .1, gzipped to .1.gz, a new live log
#      with a few lines), exported again: the bytes the run read from the logs,
# each report folder compared with that of a fresh run that keeps only the event cache (footer
# time stamps aside), and the time of each incremental run against the cold one.
#
#   bash bench/measure-incremental.sh        # BUILD_DIR=build, WORK=/tmp/barvik-incremental
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
work=${WORK:-/tmp/barvik-incremental}
lines=${LINES:-4000000}
active=${ACTIVE:-24}
cli="$build/barvik-cli"
mkdir -p "$work"
export XDG_CACHE_HOME="$work/cache"

# figures FILE: "WALL CPU PEAK_KB" (the output of /usr/bin/time -v).
. bench/time-figures.sh

label_width=28

# same DIR: the folder against a fresh export of the same logs. The fresh run reads through a
# copy of the event cache alone (no kept games, ratings or memo): the cache remembers when each
# stretch of the logs was first read, which dates the games, so a run without it may date them
# otherwise (after lines in the last turn, after a rotation).
same() {
  rm -rf "$work/fresh" "$work/fresh-cache"
  mkdir -p "$work/fresh-cache/barvik"
  cp -p "$XDG_CACHE_HOME"/barvik/f-* "$work/fresh-cache/barvik/"
  XDG_CACHE_HOME="$work/fresh-cache" "$cli" export "${logs[@]}" "$work/fresh/" >/dev/null \
    2>"$work/fresh-err.txt" || { cat "$work/fresh-err.txt" >&2; exit 1; }
  python3 - "$1" "$work/fresh" <<'PY'
import os, re, sys
a, b = sys.argv[1], sys.argv[2]
stamp = re.compile(rb'(Statistics generated )[^<]*|("generated": ?")[^"]*|(Generated )[0-9/ :.-]+')
def files(root):
    return sorted(os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs)
fa, fb = files(a), files(b)
bad = [f for f in sorted(set(fa) & set(fb))
       if stamp.sub(b'#', open(os.path.join(a, f), 'rb').read()) != stamp.sub(b'#', open(os.path.join(b, f), 'rb').read())]
print("  folder vs fresh run: %d files, %d differ%s" % (len(fa), len(bad) + len(set(fa) ^ set(fb)),
      "" if not bad else " (" + ", ".join(bad[:5]) + ")"))
PY
}

history="$work/history-$lines.log"
[ -f "$history" ] || "$build/barvik-genlog" "$history" "$lines" 300 7
[ -f "$work/tail-active.log" ] || "$build/barvik-genlog" "$work/tail-active.log" 10000 300 7 --active="$active"
[ -f "$work/tail-all.log" ] || "$build/barvik-genlog" "$work/tail-all.log" 10000 300 7
rm -rf "$work/cache" "$work/report" "$work/logs"
mkdir -p "$work/logs"
live="$work/logs/games_mp.log"
cp "$history" "$live"
logs=("$live")
echo "== $lines lines, $(($(stat -c %s "$live") / 1000000)) MB"
timed "cold export" "$cli" export "$live" "$work/report/"
cold=$cpu
timed "unchanged, --incremental" "$cli" export --incremental "$live" "$work/report/"
echo "  $(echo "$cpu / $cold" | bc -l | cut -c1-5) x the cold run's cpu"
# Three kill lines inside the last turn: no new turn, so only the players in them change.
grep -m 1 ';K;\| K;' <(tail -n 2000 "$live") | sed 's/^ *[0-9]*:[0-9]* //; s/^/ 99:00 /' >"$work/kill.txt"
for _ in 1 2 3; do cat "$work/kill.txt" >>"$live"; done
timed "+3 lines in the last turn" "$cli" export --incremental "$live" "$work/report/"
echo "  $(echo "$cpu / $cold" | bc -l | cut -c1-5) x the cold run's cpu"
same "$work/report"
for tail in active all; do
  cat "$work/tail-$tail.log" >>"$live"
  timed "+10000 lines ($tail), --incremental" "$cli" export --incremental "$live" "$work/report/"
  echo "  $(echo "$cpu / $cold" | bc -l | cut -c1-5) x the cold run's cpu"
  same "$work/report"
done
# Rotation: rename, compress, a new live log with a few lines.
mv "$live" "$live.1"
gzip -6 "$live.1"
head -n 200 "$work/tail-active.log" >"$live"
logs=("$work/logs")
# The first run of watch after the rotation tells how many bytes it read from the logs.
"$cli" watch --every 1 "$work/logs" "$work/report/" 2>"$work/watch.txt" &
watcher=$!
for _ in $(seq 1 600); do
  grep -q "lines read" "$work/watch.txt" && break
  sleep 0.5
done
kill -TERM "$watcher"
wait "$watcher" || true
echo "after rotation: $(grep -m 1 "lines read" "$work/watch.txt")"
echo "  (the new live log holds $(stat -c %s "$live") bytes)"
same "$work/report"
