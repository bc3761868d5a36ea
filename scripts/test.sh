#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs every test and the browser
# checks of an exported report, then gives the log fuzzer a short run (FUZZ_SECONDS, default
# 60; 0 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build=${BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# The exported pages in a real browser (headless chromium).
BUILD_DIR="$build" bash tests/browser/run.sh

seconds=${FUZZ_SECONDS:-60}
if [ "$seconds" -gt 0 ]; then
  CXX=clang++ cmake -S . -B build-fuzz -DBARVIK_FUZZ=ON -DBARVIK_BUILD_UI=OFF \
    -DBUILD_TESTING=OFF -DBARVIK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
  cmake --build build-fuzz -j"$(nproc)" --target barvik_fuzz_log >&2
  work=$(mktemp -d)
  cp fuzz/corpus/* "$work/"
  build-fuzz/barvik_fuzz_log -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$work/" "$work" 2> "$work/fuzz.log" || {
    tail -n 40 "$work/fuzz.log" >&2
    echo "fuzzer found a failure; input kept in $work" >&2
    exit 1
  }
  echo "fuzz: $(grep -c . "$work/fuzz.log") lines of output, no failure in ${seconds}s" >&2
  rm -rf "$work"
fi
