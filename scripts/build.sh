#!/usr/bin/env bash
# Installs what is missing, then configures and builds Barvik through the "release" preset
# (warnings as errors) into ./build, or into $BUILD_DIR when that is set. Arguments name the
# targets to build (default: all of them, tests and benchmarks included); building only some
# leaves the folder ready for the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BUILD_DIR:-build}
cmake --preset release -B "$build" -DBUILD_TESTING=ON >&2
targets=()
if [ $# -gt 0 ]; then targets=(--target "$@"); fi
cmake --build "$build" -j"$(nproc)" "${targets[@]}" >&2
