#!/usr/bin/env bash
# Installs what is missing, then configures and builds Barvik into ./build (or $BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBARVIK_WERROR=ON -DBUILD_TESTING=ON >&2
cmake --build "$build" -j"$(nproc)" >&2
