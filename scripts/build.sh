#!/usr/bin/env bash
# Configures and builds morva into build/ (or the folder given as $1):
# everything, tests and benchmarks included, unless later arguments say
# otherwise. Further arguments go to CMake's configure step, except
# "--target NAME", which builds that target alone.
#
#   scripts/build.sh build
#   scripts/build.sh build -DMORVA_BUILD_TESTS=OFF -DMORVA_BUILD_BENCH=OFF --target morva
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
configure=()
target=()
while [ $# -gt 0 ]; do
  if [ "$1" = --target ]; then
    target=(--target "$2")
    shift 2
  else
    configure+=("$1")
    shift
  fi
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVA_BUILD_TESTS=ON -DMORVA_BUILD_BENCH=ON \
  "${configure[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" "${target[@]}"
