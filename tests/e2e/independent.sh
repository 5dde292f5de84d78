#!/usr/bin/env bash
# The program's count files against a second, independent reading of the
# render in Python, byte for byte, on small scenes of every kind.
source "$(dirname "$0")/lib.sh" "$@"
command -v /usr/bin/python3 >/dev/null || skip "python3 missing"

scene() {  # name, then the lines of the scene
  local name=$1; shift
  mkdir -p "$work/$name/program" "$work/$name/python"
  printf '%s\r\n' "$@" >"$work/$name/program/MORVA.TXT"
}
# Fern: high-resolution mode with its screen echo, exposure division.
scene fern "h 45 45 320 15 3 4 5 4" "a 0.01 0 0 0 0.16 0 0" "a 0.85 0.85 0.04 -0.04 0.85 0 1.6" \
  "a 0.07 0.2 -0.26 0.23 0.22 0 1.6" "a 0.07 -0.15 0.28 0.26 0.24 0 0.44" "D " "_setseed 12345"
# Band gaps (0.01/0.01/0.98), a map that throws points off the picture.
scene gaps "h 200 200 100 50 7 1 40 3" "a 0.01 0.5 0 0 0.5 0 0" "a 0.01 0.5 0 0 0.5 3 0" \
  "a 0.98 0.6 -0.3 0.3 0.6 0.7 0.4" "_setseed -5"
# Projective maps, one with a denominator that reaches zero.
scene projective "h 300 300 170 90 2 2 20 2" "p 0.5 0.6 0.1 0 0.2 0.1 1 0 0.7 0 0.1 0.3 1" \
  "p 0.5 0.5 -0.2 0.4 0.3 0 1 0.1 0.5 0.2 0 0.4 0" "_setseed 777"
# The chaotic quadratic map.
scene henon "h 240 600 320 240 1 1 60 1" "s 1 -1.4 0 0 0 1 1 0 0 0 0.3 0 0" "_setseed 99"

for dir in "$work"/*/; do
  name=$(basename "$dir")
  for threads in 1 2; do
    "$morva" --batch --threads $threads --dir "$dir/program" 2>"$dir/log" || { cat "$dir/log"; fail "$name: the program failed"; }
    cp "$dir/program/MORVA.BMP" "$dir/program-$threads.BMP"
  done
  /usr/bin/python3 "$source_dir/tests/e2e/independent/chaos_game.py" "$dir/program" "$dir/python"
  for threads in 1 2; do
    cmp "$dir/program-$threads.BMP" "$dir/python/MORVA.BMP" || fail "$name: MORVA.BMP differs from the independent reading ($threads threads)"
  done
  if [ -f "$dir/python/MORVAHD.BMP" ]; then
    cmp "$dir/program/MORVAHD.BMP" "$dir/python/MORVAHD.BMP" || fail "$name: MORVAHD.BMP differs"
  fi
  "$morva" --batch --reference --dir "$dir/program" 2>/dev/null
  cmp "$dir/program/MORVA.BMP" "$dir/python/MORVA.BMP" || fail "$name: the reference loop differs from the independent reading"
  echo "$name: identical"
done
