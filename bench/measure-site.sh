#!/usr/bin/env bash
# Whole runs of barvik-cli over a site of three servers, measured with /usr/bin/time -v, with
# the event cache:
#   1. a cold export of one server's generated log of LINES lines (default 1,000,000),
#   2. a cold export --site of three such servers (other seeds, shared names) against it
#      (target: at most 3.5 times),
#   3. the same again with nothing new on any server (target: at most 0.05 times the cold site),
#   4. 10,000 new lines on one server in which ACTIVE of its players play (default 24: one
#      evening), exported --incremental (target: at most 0.4 times the cold site).
#
#   nice bash bench/measure-site.sh          # BUILD_DIR=build, WORK=/tmp/barvik-site
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
work=${WORK:-/tmp/barvik-site}
lines=${LINES:-1000000}
active=${ACTIVE:-24}
cli="$build/barvik-cli"
mkdir -p "$work"
export XDG_CACHE_HOME="$work/cache"

. bench/time-figures.sh


for seed in 1 2 3; do
  [ -f "$work/gen-$seed-$lines.log" ] || "$build/barvik-genlog" "$work/gen-$seed-$lines.log" "$lines" 300 "$seed"
done
[ -f "$work/tail-$active.log" ] || "$build/barvik-genlog" "$work/tail-$active.log" 10000 300 2 --active="$active"
rm -rf "$work/cache" "$work/one" "$work/site" "$work/logs"
mkdir -p "$work/logs"
for seed in 1 2 3; do cp "$work/gen-$seed-$lines.log" "$work/logs/s$seed.log"; done
cat >"$work/site.toml" <<TOML
[site]
title = "Three servers"
[[server]]
key = "s1"
logs = ["logs/s1.log"]
[[server]]
key = "s2"
logs = ["logs/s2.log"]
[[server]]
key = "s3"
logs = ["logs/s3.log"]
league = "lan"
TOML
echo "== three servers of $lines lines each"
timed "one server, cold export" "$cli" export "$work/logs/s1.log" "$work/one/"
one=$wall
rm -rf "$work/cache"
timed "site, cold export" "$cli" export --site "$work/site.toml" "$work/site/"
cold=$wall
echo "  $(echo "$cold / $one" | bc -l | cut -c1-5) x one server's cold export (target 3.5)"
cold_cpu=$cpu
timed "site, nothing new" "$cli" export --incremental --site "$work/site.toml" "$work/site/"
echo "  $(echo "$wall / $cold" | bc -l | cut -c1-5) x the cold site (target 0.05), cpu $(echo "$cpu / $cold_cpu" | bc -l | cut -c1-5) x"
cat "$work/tail-$active.log" >>"$work/logs/s2.log"
timed "site, 10,000 lines on one server" "$cli" export --incremental --site "$work/site.toml" "$work/site/"
echo "  $(echo "$wall / $cold" | bc -l | cut -c1-5) x the cold site (target 0.4), cpu $(echo "$cpu / $cold_cpu" | bc -l | cut -c1-5) x"
