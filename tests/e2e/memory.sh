#!/usr/bin/env bash
# Out of memory, under limits on the address space (ulimit -v in a child):
# every mode ends with a message and exit code 1, never an abort; an output
# whose encoding finds no memory is reported by name, and the outputs after
# it are still written.
source "$(dirname "$0")/lib.sh" "$@"

# A sanitizer's shadow memory alone takes more address space than these
# limits leave.
if ! (ulimit -v 400000 && exec "$morva" --version >/dev/null 2>&1); then
  skip "the program does not start under a limit of 400 MB (a sanitizer build?)"
fi

limited() {  # limited KB ARGS...: the program under that limit; exit code in $status
  status=0
  (ulimit -v "$1" && shift && exec timeout 60 "$morva" "$@" >/dev/null 2>"$work/log") || status=$?
  # Below some limit the system cannot even load the program's libraries,
  # or a library's own set-up gives up before the program starts.
  if [ "$status" = 127 ] && grep -q "error while loading shared libraries" "$work/log"; then status=loader; fi
  if [ "$status" = 134 ] && grep -q "^GLib.*Aborting" "$work/log"; then status=loader; fi
}
ended_cleanly() {  # ended_cleanly WHAT: exit code 0, or 1 and "out of memory"
  case $status in
    0 | loader) ;;
    1) grep -q "^morva: out of memory" "$work/log" || fail "$1: exit code 1 without saying why" ;;
    *) fail "$1: exit code $status" ;;
  esac
  if grep -q "terminate called" "$work/log"; then fail "$1: an exception escaped"; fi
}

# A high-resolution fern of 320 groups with every output, one render thread:
# from plenty down to too little for the tables, in steps small enough to
# land between the render and its outputs.
mkdir -p "$work/fern"
sed 's/^h 45 45 320 15 1 10 100 4/h 45 45 320 15 1 10 2 4/' "$source_dir/assets/MORVA.TXT" >"$work/fern/MORVA.TXT"
cp "$source_dir/assets/MORVA.pal" "$work/fern/"
next_written=0
for limit in $(seq 160000 -4000 24000); do
  rm -f "$work/fern"/*.BMP "$work/fern"/*.png
  limited "$limit" --batch --quiet --threads 1 --dir "$work/fern" --picture "$work/fern/p.png" \
    --hires-picture "$work/fern/h.png" --counts "$work/fern/c.png"
  ended_cleanly "a render under $limit KB"
  # A failed output, and the next one written.
  if grep -A1 '^morva: out of memory while writing "' "$work/log" | grep -q '^morva: wrote "'; then
    next_written=$((next_written + 1))
  fi
done
[ $next_written -gt 0 ] || fail "no limit left an output without memory and the next one written"

# A scene file of 40 MB read under limits that leave too little for it.
mkdir -p "$work/big"
{
  cat "$work/fern/MORVA.TXT"
  awk 'BEGIN { for (i = 0; i < 480000; i++) print "# a comment line that makes the scene file large, read whole first" }'
} >"$work/big/MORVA.TXT"
cp "$source_dir/assets/MORVA.pal" "$work/big/"
for mode in --describe --check --fit "--batch --threads 1"; do
  ran_out=0
  for limit in 200000 120000 60000; do
    limited "$limit" $mode --dir "$work/big"
    ended_cleanly "$mode under $limit KB"
    [ "$status" != 1 ] || ran_out=1
  done
  [ $ran_out = 1 ] || fail "$mode never ran out of memory"
done
echo "out-of-memory end-to-end checks passed ($next_written renders wrote on after an output out of memory)"
