#!/usr/bin/env bash
# Every picture and table the program exports, decoded by PIL and by
# ImageMagick and compared pixel by pixel with an independent reading of the
# render (tests/e2e/independent/chaos_game.py), in every format and colour
# choice; and the names and scenes that are refused before the render.
source "$(dirname "$0")/lib.sh" "$@"
/usr/bin/python3 -c 'import PIL' 2>/dev/null || skip "python3-pil missing"
command -v convert >/dev/null || skip "ImageMagick missing"

# A high-resolution fern (hit value 3, exposure 4: clipped and unclipped
# cells, a fraction of the picture's range), a plain scene, and one whose
# every point lands on one pixel, far beyond 16 bits.
mkdir -p "$work/fern" "$work/gaps" "$work/point" "$work/out"
printf '%s\r\n' "h 45 45 320 15 3 4 5 4" "a 0.01 0 0 0 0.16 0 0" "a 0.85 0.85 0.04 -0.04 0.85 0 1.6" \
  "a 0.07 0.2 -0.26 0.23 0.22 0 1.6" "a 0.07 -0.15 0.28 0.26 0.24 0 0.44" "D " "_setseed 12345" >"$work/fern/MORVA.TXT"
printf '%s\r\n' "h 200 200 100 50 7 1 40 3" "a 0.01 0.5 0 0 0.5 0 0" "a 0.01 0.5 0 0 0.5 3 0" \
  "a 0.98 0.6 -0.3 0.3 0.6 0.7 0.4" "_setseed -5" >"$work/gaps/MORVA.TXT"
printf '%s\r\n' "h 10 10 5 5 7 1 40 2" "a 0.5 0 0 0 0 0 0" "a 0.5 0.5 0 0 0.5 10 20" "_setseed 3" >"$work/point/MORVA.TXT"
# A palette unlike any ramp, so that a colour from the wrong table shows.
/usr/bin/python3 - "$work/fern/MORVA.pal" <<'PY'
import sys
lines = ["JASC-PAL", "0100", "256"] + [f"{255 - i} {i * 7 % 256} {i // 2}" for i in range(256)]
open(sys.argv[1], "w").write("\r\n".join(lines) + "\r\n")
PY

run() {  # folder, then options
  local folder=$1; shift
  "$morva" --batch --quiet --dir "$folder" "$@" 2>"$work/log" || { cat "$work/log"; fail "morva $*"; }
}
run "$work/fern" --out "$work/out" --picture "$work/green.png" --hires-picture "$work/green-hd.png" \
  --counts "$work/counts-hd.png"
[ -f "$work/out/MORVAHD.BMP" ] && [ -f "$work/out/MORVA.BMP" ] || fail "--out did not receive the count files"
[ ! -e "$work/fern/MORVA.BMP" ] || fail "with --out the count files still went to the scene's folder"
run "$work/fern" --picture="$work/palette.bmp" --hires-picture="$work/palette-hd.bmp" --colours=palette
run "$work/fern" --picture "$work/grey.png" --colours grey
run "$work/gaps" --picture "$work/gaps.bmp"
run "$work/point" --counts "$work/counts.png"

/usr/bin/python3 - "$source_dir/tests/e2e/independent" "$work" <<'PY'
import subprocess, sys
sys.path.insert(0, sys.argv[1])
from chaos_game import parse, render
from PIL import Image
work = sys.argv[2]

green = [0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 31, 33, 35, 37, 39, 41, 42, 44, 46, 48, 50, 51, 53,
         55, 57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79, 81, 82, 84, 86, 87, 89, 90, 92, 94, 95, 97, 98, 100,
         101, 103, 104, 106, 107, 109, 111, 112, 113, 115, 116, 118, 119, 121, 122, 124, 125, 127, 128, 129, 131, 132,
         134, 135, 136, 138, 139, 140, 142, 143, 144, 146, 147, 148, 149, 151, 152, 153, 155, 156, 157, 158, 159, 161,
         162, 163, 164, 165, 167, 168, 169, 170, 171, 172, 174, 175, 176, 177, 178, 179, 180, 181, 182, 183, 184, 185,
         186, 187, 188, 189, 191, 191, 192, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 206,
         207, 208, 209, 210, 211, 211, 212, 213, 214, 215, 215, 216, 217, 218, 219, 219, 220, 221, 221, 222, 223, 224,
         224, 225, 226, 226, 227, 228, 228, 229, 230, 230, 231, 231, 232, 233, 233, 234, 234, 235, 235, 236, 236, 237,
         237, 238, 239, 239, 239, 240, 240, 241, 241, 242, 242, 243, 243, 244, 244, 244, 245, 245, 246, 246, 246, 247,
         247, 247, 248, 248, 248, 249, 249, 249, 249, 250, 250, 250, 251, 251, 251, 251, 251, 252, 252, 252, 252, 252,
         253, 253, 253, 253, 253, 253, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254,
         255]
tables = {
    "green": [(i * i // 256, green[i], i * i // 256) for i in range(256)],
    "grey": [(i, i, i) for i in range(256)],
    "palette": [(255 - i, i * 7 % 256, i // 2) for i in range(256)],
}

def isqrt(n):
    r = 0
    while (r + 1) * (r + 1) <= n:
        r += 1
    return r
curve = [isqrt(255 * v) for v in range(256)]

def top_down(cells, width, height):
    """The grid's cells (bottom row first) in the order of an image's pixels."""
    return [c for y in range(height - 1, -1, -1) for c in cells[y * width:(y + 1) * width]]

def picture(cells, width, height, exposure, colours):
    """The expected RGB bytes, top row first."""
    colour = [bytes(tables[colours][curve[v]]) for v in range(256)]
    return b"".join(colour[min(c // exposure, 255)] for c in top_down(cells, width, height))

def magick(path, fmt, depth):
    """The pixels as ImageMagick decodes them: RGB bytes, or 16-bit samples most significant byte first."""
    return subprocess.run(["convert", path, "-depth", str(depth), "-endian", "MSB", fmt + ":-"],
                          check=True, capture_output=True).stdout

def check_picture(name, cells, width, height, exposure, colours, mode):
    path = f"{work}/{name}"
    image = Image.open(path)
    assert image.size == (width, height), (name, image.size)
    assert image.mode == mode, (name, image.mode)
    expected = picture(cells, width, height, exposure, colours)
    assert image.convert("RGB").tobytes() == expected, f"{name}: PIL pixels differ"
    assert magick(path, "rgb", 8) == expected, f"{name}: ImageMagick pixels differ"
    print(f"{name}: {width} x {height} {image.format} {mode}, pixels as expected")

def check_counts(name, cells, width, height):
    path = f"{work}/{name}"
    image = Image.open(path)
    assert image.size == (width, height) and image.format == "PNG", (name, image.size, image.format)
    assert image.mode in ("I;16", "I;16B", "I"), (name, image.mode)
    depth = subprocess.run(["identify", "-format", "%w %h %z", path], check=True, capture_output=True,
                           text=True).stdout
    assert depth.split() == [str(width), str(height), "16"], depth
    expected = [min(c, 65535) for c in top_down(cells, width, height)]
    assert max(expected) > 255, "the test scene must need more than 8 bits"
    clipped = sum(1 for c in cells if c > 65535)
    assert list(image.getdata()) == expected, f"{name}: PIL values differ"
    assert magick(path, "gray", 16) == b"".join(v.to_bytes(2, "big") for v in expected), \
        f"{name}: ImageMagick values differ"
    print(f"{name}: {width} x {height} 16-bit grey, values as expected ({clipped} clipped)")

fern = parse(open(f"{work}/fern/MORVA.TXT", encoding="latin-1").read())
hits, big = render(fern)
e = fern["exposure"]
check_picture("green.png", hits, 640, 480, e, "green", "P")
check_picture("green-hd.png", big, 2560, 1920, e, "green", "P")
check_picture("palette.bmp", hits, 640, 480, e, "palette", "P")
check_picture("palette-hd.bmp", big, 2560, 1920, e, "palette", "P")
check_picture("grey.png", hits, 640, 480, e, "grey", "P")
check_counts("counts-hd.png", big, 2560, 1920)
gaps = parse(open(f"{work}/gaps/MORVA.TXT", encoding="latin-1").read())
hits, _ = render(gaps)
check_picture("gaps.bmp", hits, 640, 480, gaps["exposure"], "green", "P")
point = parse(open(f"{work}/point/MORVA.TXT", encoding="latin-1").read())
hits, _ = render(point)
assert max(hits) > 65535
check_counts("counts.png", hits, 640, 480)
PY

# Refused before the render: no file is written, and the exit code says why.
refused() {  # expected exit code, folder, then options
  local code=$1 folder=$2; shift 2
  rm -f "$folder/MORVA.BMP"
  status=0
  "$morva" --batch --dir "$folder" "$@" 2>"$work/log" || status=$?
  [ "$status" = "$code" ] || { cat "$work/log"; fail "$* gave exit code $status, not $code"; }
  [ ! -e "$folder/MORVA.BMP" ] || fail "$* rendered and wrote MORVA.BMP"
}
refused 2 "$work/gaps" --picture "$work/picture.jpg"
grep -q "picture.jpg" "$work/log" || fail "the refusal does not name the file"
refused 2 "$work/gaps" --counts "$work/counts.bmp"
refused 1 "$work/gaps" --hires-picture "$work/hd.png"
grep -q "high-resolution" "$work/log" || fail "the refusal of --hires-picture does not say why"
refused 1 "$work/gaps" --picture "$work/p.png" --colours palette
grep -q "palette" "$work/log" || fail "the refusal of an empty palette does not say why"
refused 1 "$work/gaps" --picture "$work/huge.png" --size 16384x16384 --supersample 4 --colour-by map
grep -q "needs .* GB of memory" "$work/log" || fail "the refusal of a huge picture does not say what it needs"
refused 2 "$work/gaps" --picture "$work/p.png" --size 16385x100
refused 1 "$work/gaps" --picture "$work/p.bmp" --colour-by map
refused 1 "$work/fern" --hires-picture "$work/hd.bmp" --colour-by map
refused 1 "$work/fern" --picture "$work/p.png" --hires-picture "$work/hd.png" --tone log
# A styled picture with every option on: the same bytes on 1, 2 and 3 threads.
for j in 1 2 3; do
  run "$work/fern" --picture "$work/styled$j.png" --size 301x217 --supersample 3 --tone log --gamma 2.2 \
    --exposure auto --colour-by map --map-colours ff0000,00ff00,0000ff,ffffff -j $j
done
cmp "$work/styled1.png" "$work/styled2.png" && cmp "$work/styled1.png" "$work/styled3.png" ||
  fail "the styled picture differs between thread counts"
# The styled high-resolution picture is the same view at 4x: the picture of
# --size 2560x1920, on 1, 2 and 3 threads.
hires_style=(--supersample 2 --tone log --gamma 2.2 --exposure auto --colour-by map --palette magma)
for j in 1 2 3; do
  run "$work/fern" --hires-picture "$work/styled-hd$j.png" "${hires_style[@]}" -j $j
done
run "$work/fern" --picture "$work/styled-2560.png" --size 2560x1920 "${hires_style[@]}"
cmp "$work/styled-hd1.png" "$work/styled-hd2.png" && cmp "$work/styled-hd1.png" "$work/styled-hd3.png" ||
  fail "the styled high-resolution picture differs between thread counts"
cmp "$work/styled-hd1.png" "$work/styled-2560.png" || fail "--hires-picture is not the picture of --size 2560x1920"
cmp -s "$work/styled-hd1.png" "$work/green-hd.png" && fail "--hires-picture ignored the picture options"
[ ! -e "$work/picture.jpg" ] && [ ! -e "$work/hd.png" ] && [ ! -e "$work/p.png" ] && [ ! -e "$work/huge.png" ] &&
  [ ! -e "$work/hd.bmp" ] || fail "a refused picture was written"
echo "picture end-to-end checks passed"
