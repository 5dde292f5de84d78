#!/usr/bin/env bash
# Installs what morva and its tests need, builds everything and runs every
# test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"
