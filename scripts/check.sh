#!/usr/bin/env bash
# The checks beyond the tests: the whole suite once more under AddressSanitizer and
# UndefinedBehaviorSanitizer (the "asan" preset), the engine's tests under ThreadSanitizer
# (the "tsan" preset: the export's worker threads), clang-tidy with the repository's .clang-tidy
# over every source of the release build, and clang-format over every tracked C++ file.
# Any finding fails the run. Expects scripts/build.sh to have run (packages and ./build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

echo "== format" >&2
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"

echo "== clang-tidy" >&2
tidy_log=$(mktemp)
if ! run-clang-tidy -p "$build" -j"$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
  "^$(pwd)/(core|log|stats|report|app|ui|tests|bench)/" >"$tidy_log" 2>&1 ||
  grep -qE '(warning|error): ' "$tidy_log"; then
  grep -E -A3 '(warning|error): ' "$tidy_log" >&2 || tail -n 40 "$tidy_log" >&2
  echo "clang-tidy reported findings" >&2
  exit 1
fi
rm -f "$tidy_log"

echo "== sanitizers" >&2
cmake --preset asan >&2
cmake --build --preset asan -j"$(nproc)" >&2
# Qt and fontconfig keep caches alive until exit; their allocations are not ours to free.
export LSAN_OPTIONS="suppressions=$(pwd)/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --preset asan -j"$(nproc)"

# The engine's tests only: the window's tests run inside Qt, which is not built for it.
echo "== thread sanitizer" >&2
cmake --preset tsan >&2
cmake --build --preset tsan -j"$(nproc)" >&2
TSAN_OPTIONS="halt_on_error=1" build-tsan/barvik_tests --gtest_brief=1
