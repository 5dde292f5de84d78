#!/usr/bin/env bash
# Builds the whole project with g++ under AddressSanitizer and
# UndefinedBehaviorSanitizer (no recovery: the first fault fails its test)
# into build-asan/ and runs every test there.
#
#   scripts/sanitize.sh [extra ctest arguments...]
#
# Tests labelled "slow" are left out: they exist to measure or to soak and
# take too long under the sanitizers. SANITIZE_EXCLUDE (a ctest -E pattern)
# leaves out more, and SANITIZE_BUILD_DIR names the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-asan}
jobs=$(nproc)

CC=${CC:-gcc} CXX=${CXX:-g++} cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVA_SANITIZE=ON \
  -DMORVA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# Leaks count as failures, except the one SDL's use of libdbus leaves
# behind in every program that opens a window; UBSan reports carry a stack;
# a fault aborts.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:check_initialization_order=1:detect_stack_use_after_return=1:strict_init_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/platform/sdl_lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$jobs" -LE slow ${SANITIZE_EXCLUDE:+-E "$SANITIZE_EXCLUDE"} "$@"
