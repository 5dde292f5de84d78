#!/usr/bin/env bash
# Builds the engine and session tests with g++ under ThreadSanitizer into
# build-tsan/ and runs them: every hand-off between the render threads must
# be ordered, not merely work on this machine's memory model.
#
#   scripts/tsan.sh [extra ctest arguments...]
#
# The random-scene comparison renders fewer scenes here (MORVA_RANDOM_SCENES),
# since every memory access is checked; TSAN_BUILD_DIR names the folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TSAN_BUILD_DIR:-build-tsan}

CC=${CC:-gcc} CXX=${CXX:-g++} cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
  -DMORVA_BUILD_BENCH=OFF -DMORVA_BUILD_SDL=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target morva_engine_tests morva_session_tests

export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
export MORVA_RANDOM_SCENES=${MORVA_RANDOM_SCENES:-16}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L 'engine|session' "$@"
