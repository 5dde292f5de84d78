#!/usr/bin/env bash
# The command line a user types: a scene of any name, a folder or standard
# input, outputs where the user names them and nowhere else, .ifs libraries,
# --save-scene, --fit --write and one-line usage errors.
source "$(dirname "$0")/lib.sh" "$@"
cd "$work"

# The bundled fern cut to a short render, under a name of its own, read
# only (nothing may be written beside it).
mkdir scenes out
sed 's/^h 45 45 320 15 1 10 100 4/h 45 45 320 15 1 10 4 4/' "$source_dir/assets/MORVA.TXT" >scenes/fern.txt
cp scenes/fern.txt scenes/MORVA.TXT
cp "$source_dir/assets/MORVA.pal" scenes/
chmod a-w scenes
listing() { ls -A scenes; }
before=$(listing)

# A scene file, its folder and standard input give the same picture.
"$morva" --batch -q -o out/file.png scenes/fern.txt 2>log || fail "a scene file of its own name"
"$morva" --batch -q -o out/folder.png scenes 2>log || fail "a folder"
"$morva" --batch -q --output=out/stdin.png - <scenes/fern.txt 2>log || fail "standard input"
cmp -s out/file.png out/folder.png && cmp -s out/file.png out/stdin.png || fail "the three pictures differ"
# With no output named: the picture here, said so; the count files only with --out.
"$morva" --batch -q scenes/fern.txt 2>log || fail "no output named"
grep -qF "the picture goes to fern.png" log && cmp -s fern.png out/file.png || fail "fern.png"
[ ! -e MORVA.BMP ] || fail "the count files were written without --out"
"$morva" --batch -q -j 2 --out out scenes/fern.txt 2>log || fail "--out"
[ -s out/MORVA.BMP ] && [ -s out/MORVAHD.BMP ] || fail "--out wrote no count files"
[ "$(listing)" = "$before" ] || fail "something was written beside the scene: $(listing)"

# A library pasted as published: comments, a map over two lines, names in
# any case, an entry without probabilities, a 3-D entry.
cat >classic.ifs <<'EOF'
; classic tables
Fern {   ; the four-map fern
  0    0     0 .16 0   0 .01
.85   .04 -.04 .85 0 1.6 .85
.2   -.26  .23 .22 0 1.6
  .07
-.15  .28  .26 .24 0 .44 .07
}
dragon {
0.824074 0.281482 -0.212346 0.864198 -1.882290 -0.110607
0.088272 0.520988 -0.463889 -0.377778 0.785360 8.095795
}
cube (3D) {
.5 0 0 0 .5 0 0 0 .5 0 0 0 1
}
EOF
"$morva" --list classic.ifs >list || fail "--list"
[ "$(cut -d' ' -f1 list | tr '\n' ' ')" = "Fern dragon cube " ] || fail "--list: $(cat list)"
"$morva" --batch -q -o out/fern-a.png classic.ifs 2>log || fail "the first entry"
"$morva" --batch -q -o out/fern-b.png --entry FERN classic.ifs 2>log || fail "--entry FERN"
cmp -s out/fern-a.png out/fern-b.png || fail "one entry, two pictures"
"$morva" --batch -q --entry Dragon -o out/dragon.png classic.ifs 2>log || fail "an entry without probabilities"
grep -qF 'the entry "dragon" gives no probabilities' log || fail "no word on the weights"
status=0
"$morva" --batch --entry cube -o out/cube.png classic.ifs 2>log || status=$?
[ $status = 1 ] && grep -qF 'classic.ifs, line 13: the entry "cube" is a 3-D system' log || fail "3-D: $status"
[ ! -e out/cube.png ] || fail "a 3-D entry rendered"

# Malformed libraries: the file, the line and what was expected; nothing rendered.
refused() {  # refused TEXT EXPECTED
  printf '%b' "$1" >bad.ifs
  status=0
  "$morva" --batch -o out/bad.png bad.ifs 2>log || status=$?
  [ $status = 1 ] && grep -qF -- "$2" log && [ ! -e out/bad.png ] || fail "bad.ifs: $status"
}
refused 'a {\n.5 0 0 .5 0 0 .5\n.5 0 0 .5 1 0\n' 'bad.ifs, line 1: the entry "a" is not closed: expected "}"'
refused 'a {\n.5 0 0 .5 0 0 .5\n.5 0 0 .5 1 0 .5x\n}\n' 'bad.ifs, line 3: expected a number or "}" in the entry "a", found ".5x"'
refused 'a {\n.5 0 0 .5 0 0 .5\n.5 0 .5 1 0 .5\n}\n' 'bad.ifs, line 4: the entry "a" holds 13 numbers, not a whole number of maps'

# --save-scene: the entry as an editable scene that renders the same bytes.
"$morva" --entry fern --save-scene fern-scene.txt classic.ifs 2>log || fail "--save-scene"
grep -q '^a 85 .85 .04 -.04 .85 0 1.6$' fern-scene.txt || fail "the saved scene: $(cat fern-scene.txt)"
"$morva" --batch -q -o out/fern-saved.png fern-scene.txt 2>log || fail "the saved scene renders"
cmp -s out/fern-a.png out/fern-saved.png || fail "the saved scene renders another picture"

# --fit --write: the header line replaced, every other byte kept.
printf '# maple\r\nh 100 100 320 240 1 1 2 4\r\na 10 0.14 0.01 0 0.51 -0.08 -1.31\r\na 35 0.43 0.52 -0.45 0.5 1.49 -0.75\r\na 35 0.45 -0.49 0.47 0.47 -1.62 -0.74\r\na 20 0.49 0 0 0.51 0.02 1.62\r\n_setseed 1988' >maple.txt
cp maple.txt maple-before.txt
"$morva" --fit --write maple.txt >fit 2>log || fail "--fit --write"
[ "$(cmp -l maple.txt maple-before.txt 2>/dev/null | wc -l)" -gt 0 ] || fail "nothing was written"
diff <(sed -n '2!p' maple.txt) <(sed -n '2!p' maple-before.txt) >/dev/null || fail "other lines changed"
[ "$(sed -n 2p maple.txt)" = "$(tail -1 fit)"$'\r' ] || fail "line 2 is not the fitted header"
"$morva" --fit --write maple.txt >fit 2>log || fail "--fit --write again"
grep -qF "has this header already" log || fail "a second --fit --write"

# A usage error is one line, exit code 2.
status=0
"$morva" --frobnicate 2>log || status=$?
[ $status = 2 ] && [ "$(cat log)" = "morva: unknown option \"--frobnicate\"; try 'morva --help'" ] || fail "usage: $status"
echo "command-line end-to-end checks passed"
