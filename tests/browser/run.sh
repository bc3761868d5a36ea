#!/usr/bin/env bash
# Exports the sample log with a few awkward names appended (names.log: "33", a name with an
# accent, "bob", "n/a", and a player who renames himself in a game) through barvik-cli and runs the browser checks on that report folder.
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
# puppeteer-core drives the system's chromium; nothing may download a browser.
export PUPPETEER_SKIP_DOWNLOAD=1
if [ ! -d node_modules/puppeteer-core ]; then
  npm ci --no-audit --no-fund --prefer-offline >&2
fi
node tests/browser/site.test.js "$work/report"
