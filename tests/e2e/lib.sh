# Sourced by every end-to-end script with the script's own arguments, the
# program and the source folder: strict mode, $morva, $source_dir, a work
# folder that is removed on exit, and the helpers below.
set -euo pipefail
morva=$1
source_dir=$2
work=$(mktemp -d)
# A test may leave read-only folders behind: writable again before removal.
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

# fail MESSAGE: the message and the log of the last run, then exit 1.
fail() { echo "FAIL: $*" >&2; cat "$work/log" >&2 2>/dev/null || true; exit 1; }
# skip REASON: exit 77, which ctest counts as a skipped test.
skip() { echo "$*: skipped"; exit 77; }
# no_temporary_files DIR: no temporary file of a save was left in DIR.
no_temporary_files() { ! ls "$1" | grep -q 'tmp-' || fail "a temporary file was left in $1"; }
# fern DIR [GROUPS]: the bundled fern and palette in DIR; with GROUPS, the
# header's groups per exposure (100) replaced by GROUPS.
fern() {
  mkdir -p "$1"
  sed "s/^h 45 45 320 15 1 10 100 4/h 45 45 320 15 1 10 ${2:-100} 4/" "$source_dir/assets/MORVA.TXT" >"$1/MORVA.TXT"
  cp "$source_dir/assets/MORVA.pal" "$1/"
}
