#!/usr/bin/env bash
# The files a batch run reads and writes, when their paths are careless or
# hostile: outputs that are not regular files, missing folders, a file size
# limit, inputs that are pipes, control bytes in a refused field.
# Nothing here relies on permission bits, so it proves the same as root.
source "$(dirname "$0")/lib.sh" "$@"

scene() { fern "$1" 2; }  # scene DIR: the bundled fern (high resolution), cut to 320 groups
run() {  # run ARGS...: a batch run, its stderr in $work/log and its exit code in $status
  status=0
  timeout 60 "$morva" --batch "$@" 2>"$work/log" || status=$?
}
refused_early() {  # refused_early TEXT...: exit code 1, every TEXT in the message, no group traced
  [ "$status" = 1 ] || fail "exit code $status, not 1"
  for text in "$@"; do grep -qF -- "$text" "$work/log" || fail "the message does not say: $text"; done
  if grep -q "groups traced" "$work/log"; then fail "the render ran before the refusal"; fi
}

# Outputs that exist and are not regular files are refused before the render
# and left as they are; so is a folder that does not exist. (Links, devices
# and permission bits: tests/platform/files_test.cpp.)
scene "$work/out"
mkfifo "$work/out/pipe.bmp"
run --dir "$work/out" --picture "$work/out/pipe.bmp"
refused_early "$work/out/pipe.bmp" "named pipe" "only regular files"
[ -p "$work/out/pipe.bmp" ] || fail "the pipe was replaced"
[ ! -e "$work/out/MORVA.BMP" ] || fail "a count file was written before the refusal"
mkdir "$work/out/MORVA.BMP"
run --dir "$work/out"
refused_early "$work/out/MORVA.BMP" "a folder"
[ ! -e "$work/out/MORVAHD.BMP" ] || fail "MORVAHD.BMP was written although MORVA.BMP cannot be"
rmdir "$work/out/MORVA.BMP"
run --dir "$work/out" --picture "$work/out/missing/picture.bmp"
refused_early "$work/out/missing/picture.bmp" "does not exist"
[ ! -e "$work/out/MORVA.BMP" ] || fail "a count file was written before the refusal"

# A plain run, for the earlier files below.
run --dir "$work/out"
[ "$status" = 0 ] || fail "a plain run failed: $status"

# Under a file size limit the large file fails with its name and reason, the
# earlier one stays whole, the small file is still written, and nothing is
# left behind. (ulimit -f counts 1024-byte blocks.)
cp "$work/out/MORVAHD.BMP" "$work/earlier-hd.bmp"
rm "$work/out/MORVA.BMP"
status=0
(ulimit -f 1000; exec timeout 60 "$morva" --batch --dir "$work/out" 2>"$work/log") || status=$?
[ "$status" = 1 ] || fail "size limit: exit code $status, not 1"
grep -qF "$work/out/MORVAHD.BMP" "$work/log" || fail "the failed save does not name MORVAHD.BMP"
grep -q "File too large" "$work/log" || fail "the failed save does not give the reason"
cmp -s "$work/out/MORVAHD.BMP" "$work/earlier-hd.bmp" || fail "the earlier MORVAHD.BMP was harmed"
[ "$(stat -c %s "$work/out/MORVA.BMP")" = 308278 ] || fail "MORVA.BMP was not written"
no_temporary_files "$work/out"

# Folders that take no new file whatever their permission bits say (root
# passes those in /proc and /sys) are refused before the render too.
if [ -d /sys/kernel ] && [ -d /proc/self ]; then
  run --dir "$work/out" --counts /sys/x.png
  refused_early '"/sys/x.png"' 'cannot create files in the folder "/sys"'
  for folder in /proc /sys/kernel; do
    run --dir "$work/out" --out $folder
    refused_early "\"$folder/MORVAHD.BMP\"" "cannot create files in the folder \"$folder\""
  done
fi

# Two outputs through a bind mount name one file, as the folder's device
# and inode say: refused before the render. Needs a mount namespace of its
# own (root, or a system that lends one); skipped where there is none.
mkdir -p "$work/out/a" "$work/out/b"
status=0
unshare -m sh -c 'mount --bind "$1/a" "$1/b" 2>/dev/null || exit 77
  exec timeout 60 "$2" --batch --dir "$1" --picture "$1/a/x.png" --counts "$1/b/x.png"' \
  sh "$work/out" "$morva" 2>"$work/log" || status=$?
if [ "$status" = 77 ] || ! unshare -m true 2>/dev/null; then
  echo "no mount namespace here: the bind mount check is skipped"
else
  refused_early "\"$work/out/b/x.png\"" "--picture and --counts name the same file"
fi

# A name with control bytes is quoted with escapes in every line that
# prints it, "wrote" included.
name=$'pic\e[2J\nture.png'
run --dir "$work/out" --picture "$work/out/$name"
[ "$status" = 0 ] || fail "a picture of an odd name: exit code $status"
grep -qF "morva: wrote \"$work/out/pic\x1b[2J\nture.png\"" "$work/log" || fail "the written name is not quoted"
if tr -d '\n' <"$work/log" | LC_ALL=C grep -q '[[:cntrl:]]'; then fail "a control byte reached stderr"; fi

# Without a display, the suggested batch command pastes into a POSIX shell
# as it reads: one folder name, nothing in it run.
folder="$work/\$(touch pasted) my scenes"
mkdir -p "$folder"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$morva" --dir "$folder" 2>"$work/log" || status=$?
[ "$status" = 2 ] || fail "no display: exit code $status"
hint=$(sed -n 's/^morva: to render without a display, run: //p' "$work/log")
(cd "$work" && sh -c 'expected=$2; eval "set -- $1"; [ $# = 4 ] && [ "$4" = "$expected" ]' sh "$hint" "$folder") ||
  fail "the hint does not paste as one folder name: $hint"
[ ! -e "$work/pasted" ] || fail "pasting the hint ran a command: $hint"

# Inputs that are pipes are refused by name at once, in every mode.
for input in MORVA.TXT MORVA.pal; do
  scene "$work/in-$input"
  rm "$work/in-$input/$input"
  mkfifo "$work/in-$input/$input"
  run --dir "$work/in-$input"
  [ "$status" = 1 ] || fail "$input as a pipe: exit code $status (124: it waited)"
  grep -qF "$work/in-$input/$input\": it is a named pipe" "$work/log" || fail "$input as a pipe is not named"
done
status=0
timeout 20 "$morva" --describe --dir "$work/in-MORVA.TXT" >/dev/null 2>"$work/log" || status=$?
[ "$status" = 1 ] || fail "--describe of a pipe: exit code $status"
grep -q "named pipe" "$work/log" || fail "--describe does not say why"

# A refused field shows its control bytes as escapes, on the terminal as in
# the message box.
mkdir -p "$work/control"
printf 'h 45 45 320 15 1 te\rn\033[2J 100 4\na 1 0 0 0 0 0 0\n' >"$work/control/MORVA.TXT"
run --dir "$work/control"
[ "$status" = 1 ] || fail "the broken scene: exit code $status"
grep -qF '"te\rn\x1b[2J"' "$work/log" || fail "the field is not quoted with escapes"
if tr -d '\n' <"$work/log" | LC_ALL=C grep -q '[[:cntrl:]]'; then fail "a control byte reached stderr"; fi
echo "file end-to-end checks passed"
