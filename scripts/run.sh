#!/usr/bin/env bash
# Installs what morva needs, builds it and renders the bundled scene: in a
# window where a display exists, otherwise as a batch render that writes the
# BMP files (and a coloured picture) beside the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/morva "$@"
fi
echo "No display found: rendering in batch mode into build/bin/"
exec build/bin/morva --batch --picture build/bin/MORVA-picture.bmp "$@"
