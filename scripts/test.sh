#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs every test and the browser
# checks of an exported report, makes the Debian package and checks it unpacked, then gives each fuzzer a short run (FUZZ_SECONDS each, default
# 60; 0 skips them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build=${BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# The exported pages in a real browser (headless chromium).
BUILD_DIR="$build" bash tests/browser/run.sh
# The package from the same build, its programs run from where dpkg-deb unpacked them.
BUILD_DIR="$build" bash scripts/package.sh
bash scripts/fuzz.sh
