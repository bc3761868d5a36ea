#!/usr/bin/env bash
# Exports the sample log with a few awkward names appended (names.log: "33", a name with an
# accent, "bob", "n/a", and a player who renames himself in a game) through barvik-cli and runs the browser checks on that report folder;
# then a long history of short games for the paged lists.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat samples/sample.log tests/browser/names.log > "$work/browser.log"
if ! "$build/barvik-cli" export "$work/browser.log" "$work/report" 2> "$work/export.err"; then
  cat "$work/export.err" >&2
  exit 1
fi
# A long history for the paged lists: 600 short games of two of 40 players, Player0 in half.
awk 'function at(s) { return sprintf("%4d:%02d", int(s / 60), s % 60) }
  BEGIN { srand(3); for (g = 0; g < 600; g++) { t = g * 60; a = g % 2 ? int(rand() * 40) : 0; b = (a + 1 + int(rand() * 39)) % 40
    printf "%s InitGame: \\g_gametype\\tdm\\mapname\\%s\\sv_hostname\\Long\n", at(t), g % 2 ? "mp_foy" : "mp_harbor"
    printf "%s J;%d;0;Player%d\n%s J;%d;1;Player%d\n", at(t), 100 + a, a, at(t), 100 + b, b
    printf "%s K;%d;1;axis;Player%d;%d;0;allies;Player%d;kar98k_mp;100;MOD_RIFLE_BULLET;head\n", at(t + 10), 100 + b, b, 100 + a, a
    printf "%s ShutdownGame:\n", at(t + 50) } }' > "$work/long.log"
if ! "$build/barvik-cli" export "$work/long.log" "$work/long" 2> "$work/export.err"; then
  cat "$work/export.err" >&2
  exit 1
fi
# puppeteer-core drives the system's chromium; nothing may download a browser.
export PUPPETEER_SKIP_DOWNLOAD=1
if [ ! -d node_modules/puppeteer-core ]; then
  npm ci --no-audit --no-fund --prefer-offline >&2
fi
node tests/browser/site.test.js "$work/report" "$work/long"
