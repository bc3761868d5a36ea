#!/usr/bin/env bash
# The main job on the bundled sample log: builds Barvik, runs it in batch mode (no window
# where there is no display) and writes the HTML report into ./html/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build=${BUILD_DIR:-build}
"$build/barvik" samples/sample.log ./html/
echo "Report written: $(realpath html/index.html)"
