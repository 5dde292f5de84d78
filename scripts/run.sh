#!/usr/bin/env bash
# Installs what building and running morva needs (no test tools), builds
# the program alone and renders the bundled scene: in a window where a
# display exists, otherwise as a batch render that writes the BMP files and
# a coloured PNG picture beside the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
scripts/build.sh build -DMORVA_BUILD_TESTS=OFF -DMORVA_BUILD_BENCH=OFF --target morva
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/morva "$@"
fi
echo "No display found: rendering in batch mode into build/bin/"
exec build/bin/morva --batch --picture build/bin/MORVA-picture.png "$@"
