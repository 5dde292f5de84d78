#!/usr/bin/env bash
# The portable engine: builds the project with the SSE2 kernels and the
# 128-bit multiply switched off (-DMORVA_SIMD=OFF, the path a target without
# them takes) into build-portable/, runs the engine tests there, and checks
# that it writes the same count files, byte for byte, as the default build
# for every sample scene.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PORTABLE_BUILD_DIR:-build-portable}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVA_SIMD=OFF -DMORVA_BUILD_BENCH=OFF \
  -DMORVA_BUILD_SDL=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target morva morva_engine_tests
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L engine

scripts/build.sh build >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for scene in scenes/*/; do
  name=$(basename "$scene")
  for variant in build "$build"; do
    dir="$work/$name-$(basename "$variant")"
    mkdir -p "$dir"
    cp "$scene/MORVA.TXT" assets/MORVA.pal "$dir/"
    "$variant/bin/morva" --batch --dir "$dir" 2>/dev/null
  done
  for file in MORVA.BMP MORVAHD.BMP; do
    [ -f "$work/$name-build/$file" ] || continue
    if cmp -s "$work/$name-build/$file" "$work/$name-$(basename "$build")/$file"; then
      echo "ci-portable: $name/$file: same bytes"
    else
      echo "ci-portable: $name/$file differs between the SIMD and the portable build" >&2
      status=1
    fi
  done
done
exit $status
