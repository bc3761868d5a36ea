#!/usr/bin/env bash
# The main job on the bundled sample log: builds the programs (not the tests and benchmarks,
# which scripts/test.sh builds in the same folder), runs Barvik in batch mode (no window where
# there is no display) and writes the HTML report into ./html/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh barvik barvik-cli barvik-export barvik_templates
build=${BUILD_DIR:-build}
"$build/barvik" samples/sample.log ./html/
echo "Report written: $(realpath html/index.html)"
