#!/usr/bin/env bash
# Remakes the README's pictures of the site (docs/site-*.png) from the bundled sample log:
# builds the programs if needed, exports samples/sample.log into a temporary folder and takes
# the pictures in headless chromium. Nothing downloads a browser.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/barvik-cli" ] || [ ! -x "$build/barvik-export" ]; then
  bash scripts/build.sh barvik-cli barvik-export barvik_templates
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/barvik-cli" export --no-cache samples/sample.log "$work/report"
export PUPPETEER_SKIP_DOWNLOAD=1
if [ ! -d node_modules/puppeteer-core ]; then
  npm ci --no-audit --no-fund --prefer-offline >&2
fi
node tests/browser/screenshots.js "$work/report" docs
