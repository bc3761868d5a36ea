#!/usr/bin/env bash
# Gives every libFuzzer target a short run: FUZZ_SECONDS each (default 60; 0 skips them).
# A finding fails the run and keeps its input.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
[ "$seconds" -gt 0 ] || exit 0
targets=(barvik_fuzz_log barvik_fuzz_page barvik_fuzz_cache)
CXX=clang++ cmake -S . -B build-fuzz -DBARVIK_FUZZ=ON -DBARVIK_BUILD_UI=OFF \
  -DBUILD_TESTING=OFF -DBARVIK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >&2
for target in "${targets[@]}"; do
  work=$(mktemp -d)
  if [ "$target" != barvik_fuzz_page ]; then cp fuzz/corpus/* "$work/"; fi
  "build-fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$work/" "$work" 2> "$work/fuzz.log" || {
    tail -n 40 "$work/fuzz.log" >&2
    echo "$target found a failure; input kept in $work" >&2
    exit 1
  }
  echo "fuzz: $target, no failure in ${seconds}s" >&2
  rm -rf "$work"
done
