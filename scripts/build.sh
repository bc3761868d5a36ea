#!/usr/bin/env bash
# Installs what is missing, then configures and builds Barvik through the "release" preset
# (warnings as errors) into ./build, or into $BUILD_DIR when that is set.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BUILD_DIR:-build}
cmake --preset release -B "$build" -DBUILD_TESTING=ON >&2
cmake --build "$build" -j"$(nproc)" >&2
