#!/usr/bin/env bash
# Cold exports of histories of many games, each export into a new folder, with /usr/bin/time
# -v: GAMES (default "10000 40000 200000") games that nobody played in (a server cycling maps
# all night) and as many short games (two of 200 players, three kills, one minute each). Prints
# each run's wall and CPU seconds, peak memory and site size, then how the time of each kind
# grows from the smallest history to the others (linear costs keep the time ratio near the
# games ratio).
#
#   bash bench/measure-games.sh              # BUILD_DIR=build, WORK=/tmp/barvik-games
#   GAMES="10000 40000" bash bench/measure-games.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
work=${WORK:-/tmp/barvik-games}
games=${GAMES:-10000 40000 200000}
cli="$build/barvik-cli"
mkdir -p "$work"

# figures FILE: "WALL CPU PEAK_KB" (the output of /usr/bin/time -v).
. bench/time-figures.sh

# history KIND GAMES: a log of GAMES one-minute games, "empty" or "short".
history() {
  awk -v kind="$1" -v games="$2" '
    function at(s) { return sprintf("%4d:%02d", int(s / 60), s % 60) }
    BEGIN {
      srand(7); players = 200
      split("mp_uo_stanjel mp_uo_carentan mp_foy mp_kursk mp_arnhem", maps, " ")
      for (g = 0; g < games; g++) {
        t = g * 60
        printf "%s InitGame: \\g_gametype\\%s\\mapname\\%s\\sv_hostname\\Busy\n", at(t),
               (g % 3 ? "tdm" : "dm"), maps[g % 5 + 1]
        if (kind == "short") {
          a = int(rand() * players); b = (a + 1 + int(rand() * (players - 1))) % players
          printf "%s J;%d;0;Player%d\n%s J;%d;1;Player%d\n", at(t), 1000 + a, a, at(t), 1000 + b, b
          for (k = 1; k <= 3; k++) {
            if (rand() < 0.5) { x = a; xs = 0; y = b; ys = 1 } else { x = b; xs = 1; y = a; ys = 0 }
            printf "%s K;%d;%d;axis;Player%d;%d;%d;allies;Player%d;kar98k_mp;100;MOD_RIFLE_BULLET;head\n",
                   at(t + 10 * k), 1000 + y, ys, y, 1000 + x, xs, x
          }
        }
        printf "%s ShutdownGame:\n", at(t + 50)
      }
    }'
}

# A fresh folder per export, the old ones removed (and given time) first: ext4 creates files
# markedly slower in the half minute after thousands were deleted.
if compgen -G "$work/report-*" >/dev/null; then
  rm -rf "$work"/report-*
  sleep 35
fi
rm -f "$work"/runs.txt
for kind in empty short; do
  for n in $games; do
    log="$work/$kind-$n.log"
    [ -f "$log" ] || history "$kind" "$n" >"$log"
    cat "$log" >/dev/null
    out="$work/report-$kind-$n/"
    /usr/bin/time -v "$cli" export --no-cache "$log" "$out" >/dev/null 2>"$work/time.txt" ||
      { tail -n 5 "$work/time.txt" >&2; exit 1; }
    size=$(du -sk "$out/site" | cut -f1)
    files=$(find "$out/site" -type f | wc -l)
    largest=$(find "$out/site" -name '*.html' -printf '%s\n' | sort -n | tail -n 1)
    echo "$kind $n $(figures "$work/time.txt") $size $files $largest" | tee -a "$work/runs.txt" |
      awk '{ printf "%-5s %7d games %7.2f s wall %6.2f s cpu %7.1f MB peak, site %8.1f MB in %d files, largest page %d KB\n",
             $1, $2, $3, $4, $5 / 1024, $6 / 1024, $7, $8 / 1024 }'
  done
done
rm -rf "$work"/report-*
# Growth against the smallest history of each kind.
awk '{ if (!($1 in w)) { n[$1] = $2; w[$1] = $3; c[$1] = $4 }
       else printf "%-5s %dx the games: %.1fx the wall time, %.1fx the cpu time\n", $1, $2 / n[$1],
                   $3 / (w[$1] > 0 ? w[$1] : 0.01), $4 / (c[$1] > 0 ? c[$1] : 0.01) }' "$work/runs.txt"
