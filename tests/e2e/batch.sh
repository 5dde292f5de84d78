#!/usr/bin/env bash
# Batch runs of the built program: determinism, the files it writes, the
# picture read back by an independent reader, refusals and Ctrl-C.
source "$(dirname "$0")/lib.sh" "$@"

# The bundled fern twice: byte-identical files.
for run in 1 2; do
  fern "$work/run$run"
  "$morva" --batch --dir "$work/run$run" --picture "$work/run$run/picture.bmp" 2>"$work/run$run/log" \
    || { cat "$work/run$run/log"; fail "batch run $run"; }
done
for file in MORVA.BMP MORVAHD.BMP picture.bmp; do
  cmp -s "$work/run1/$file" "$work/run2/$file" || fail "$file differs between two runs of one scene"
done
[ "$(stat -c %s "$work/run1/MORVA.BMP")" = 308278 ] || fail "MORVA.BMP size"
[ "$(stat -c %s "$work/run1/MORVAHD.BMP")" = 4916278 ] || fail "MORVAHD.BMP size"
grep -q "^morva: 100%, 16000 of 16000 groups, .* seed 12345$" "$work/run1/log" || fail "final progress line missing"
grep -q "M points/s" "$work/run1/log" || fail "speed summary missing"

# The fern stands upright: its stem (bottom rows) is near the middle column and
# the top of the picture is darker than the middle.
if /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  /usr/bin/python3 - "$work/run1" <<'PY' || fail "picture check"
import sys
from PIL import Image
folder = sys.argv[1]
small = Image.open(folder + "/MORVA.BMP")
assert small.size == (640, 480) and small.mode == "L", (small.size, small.mode)
big = Image.open(folder + "/MORVAHD.BMP")
assert big.size == (2560, 1920)
px = big.load()
def ink(rows):
    xs = [x for y in rows for x in range(0, 2560, 2) if px[x, y] > 0]
    return (min(xs), max(xs)) if xs else None
# Image rows run top-down: the leaning tip must be at the top right, the
# stem at the bottom centre (scene x = 0 is column 4 * 320).
top, bottom = ink(range(0, 100)), ink(range(1800, 1860))
assert top and top[0] > 1500, ("tip not at the top right: upside down?", top)
assert bottom and bottom[0] >= 1270 and bottom[1] <= 1300, ("stem not at the bottom centre", bottom)
# The window picture is the square-root curve of the clipped counts, shown
# through the green colour table.
green = [0,2,4,6,8,10,12,14,16,18,20,22,24,26,28,30,31,33,35,37,39,41,42,44,46,48,50,51,53,55,57,59]
picture = Image.open(folder + "/picture.bmp").convert("RGB")
counts = small.load()
pixels = picture.load()
for y in range(0, 480, 3):
    for x in range(0, 640, 3):
        c = counts[x, y]
        v = 0
        while (v + 1) * (v + 1) <= 255 * c:
            v += 1
        r, g, b = pixels[x, y]
        assert r == b == v * v // 256, (x, y, c, v, pixels[x, y])
        assert v >= 32 or g == green[v], (x, y, c, v, pixels[x, y])
assert picture.getpixel((0, 0)) == (0, 0, 0)
greens = sum(1 for x in range(0, 640, 2) for y in range(0, 480, 2) if picture.getpixel((x, y))[1] > 100)
assert greens > 500, greens
PY
fi

# Every sample scene describes and renders.
for scene in "$source_dir"/scenes/*/; do
  name=$(basename "$scene")
  mkdir -p "$work/$name"
  cp "$scene"/* "$work/$name/"
  "$morva" --describe --dir "$work/$name" >"$work/$name/describe" 2>&1 || { cat "$work/$name/describe"; fail "describe $name"; }
  grep -q "^TransformCount=" "$work/$name/describe" || fail "describe $name prints no TransformCount"
done

# The render report ends the run; --check and --fit read without writing.
grep -q "points traced: 32770048 (100%) on the picture's high-resolution window" "$work/run1/log" \
  || { cat "$work/run1/log"; fail "render report missing"; }
"$morva" --check --dir "$work/run1" >"$work/check" || { cat "$work/check"; fail "--check warns on the fern"; }
mkdir -p "$work/warn"
printf 'h 45 45 320 15 1 10 100 2\na 1 0,5 0 0 0.5 0 0\na 1 0.5 0 0 0.5 0.5 0\n_setseed 1\n' >"$work/warn/MORVA.TXT"
status=0
"$morva" --check --dir "$work/warn" >"$work/check" || status=$?
[ $status = 1 ] && grep -q 'line 2, field 2: warning' "$work/check" || { cat "$work/check"; fail "--check: $status"; }
"$morva" --fit --dir "$work/warn" | grep -q '^h [0-9]* [0-9]* -\?[0-9]* -\?[0-9]* 1 10 100 2$' || fail "--fit header"
[ ! -e "$work/warn/MORVA.BMP" ] || fail "--check or --fit wrote a file"

# A broken scene is refused with a message and a non-zero exit code.
mkdir -p "$work/broken"
printf 'h 45 45 320 15 1 ten 100 4\r\na 1 0.5 0 0 0.5 0 0\r\n' >"$work/broken/MORVA.TXT"
if "$morva" --batch --dir "$work/broken" 2>"$work/broken/log"; then fail "a broken scene rendered"; fi
grep -q "line 1" "$work/broken/log" || { cat "$work/broken/log"; fail "refusal does not name the line"; }
[ ! -e "$work/broken/MORVA.BMP" ] || fail "a refused scene wrote a file"
status=0
"$morva" --check --dir "$work/broken" >/dev/null 2>"$work/broken/log3" || status=$?
[ $status = 2 ] && grep -q "line 1, field 6" "$work/broken/log3" || fail "--check of a refused scene: $status"
if "$morva" --batch --dir "$work/nowhere" 2>"$work/broken/log2"; then fail "a missing scene rendered"; fi
grep -q "MORVA.TXT" "$work/broken/log2" || fail "missing scene message does not name the file"

# Ctrl-C stops a long render, still writes the files and exits non-zero.
fern "$work/long" 1000000
"$morva" --batch --dir "$work/long" 2>"$work/long/log" &
pid=$!
sleep 2
kill -INT $pid
status=0
wait $pid || status=$?
[ $status = 130 ] || { cat "$work/long/log"; fail "Ctrl-C exit status $status"; }
grep -q "interrupted" "$work/long/log" || fail "Ctrl-C not reported"
[ "$(stat -c %s "$work/long/MORVA.BMP")" = 308278 ] || fail "Ctrl-C did not write MORVA.BMP"

# Usage errors.
if "$morva" --frobnicate 2>/dev/null; then fail "unknown option accepted"; fi
# Into a file: grep -q would stop reading a long text before it is written.
"$morva" --help >"$work/help" || fail "--help"
grep -q -- "--batch" "$work/help" || fail "--help does not explain --batch"
echo "batch end-to-end checks passed"
