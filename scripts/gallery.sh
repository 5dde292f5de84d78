#!/usr/bin/env bash
# Renders the gallery of the README, docs/gallery/*.png, from the sample
# scenes: every picture at 400 x 300 with 2 x 2 samples and an automatic
# exposure, most with the log curve, some coloured by map. The README shows each with
# the command that made it; this script is those commands.
#
#   scripts/gallery.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
morva=${1:-build}/bin/morva
[ -x "$morva" ] || scripts/build.sh "${1:-build}" -DMORVA_BUILD_TESTS=OFF -DMORVA_BUILD_BENCH=OFF --target morva
out=docs/gallery
mkdir -p "$out"
common=(--batch --quiet --size 400x300 --supersample 2 --exposure auto)
render() {  # scene, picture name, options
  local scene=$1 name=$2
  shift 2
  echo "morva ${common[*]} $* scenes/$scene -o $out/$name.png"
  "$morva" "${common[@]}" "$@" "scenes/$scene" -o "$out/$name.png" 2>/dev/null
}
render fern fern-by-map --tone log --gamma 1.6 --colour-by map
render dragon dragon --palette magma
render sierpinski sierpinski-by-map --tone log --colour-by map --palette turbo
render maple maple-by-map --tone log --gamma 1.6 --colour-by map --palette inferno
render henon henon --tone log --gamma 2.2 --palette inferno
render levy levy-by-map --tone log --colour-by map --map-colours ff6040,40a0ff
