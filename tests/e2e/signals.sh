#!/usr/bin/env bash
# How a batch run ends: stopped by a signal, with a reader of stderr that
# went away, before its first group; and how the program reports output it
# could not write and command lines it cannot use.
source "$(dirname "$0")/lib.sh" "$@"
complete_files() {  # complete_files DIR: both count files at their full size
  [ "$(stat -c %s "$1/MORVA.BMP")" = 308278 ] || fail "MORVA.BMP missing or short in $1"
  [ "$(stat -c %s "$1/MORVAHD.BMP")" = 4916278 ] || fail "MORVAHD.BMP missing or short in $1"
}

fern "$work/fern"
fern "$work/long" 1000000

# SIGTERM and SIGHUP stop a render as Ctrl-C does: the files from the counts
# so far, 128 + the signal. More of them during the save change nothing.
hup_ignored=$(( 0x$(awk '/^SigIgn/ {print $2}' /proc/$$/status) & 1 ))
for signal in TERM HUP; do
  if [ $signal = HUP ] && [ $hup_ignored = 1 ]; then
    echo "SIGHUP is ignored here (nohup): that check is skipped"
    continue
  fi
  rm -f "$work/long"/*.BMP
  "$morva" --batch --dir "$work/long" 2>"$work/log" &
  pid=$!
  sleep 1
  # About a second of signals, through the end of the render and the saves.
  for _ in $(seq 200); do kill -$signal $pid 2>/dev/null || break; sleep 0.005; done
  status=0
  wait $pid || status=$?
  [ $status = $(( 128 + $(kill -l $signal) )) ] || fail "SIG$signal: exit code $status"
  grep -q "interrupted by SIG$signal after [0-9]* groups; the files hold the counts so far" "$work/log" ||
    fail "SIG$signal is not reported"
  complete_files "$work/long"
  no_temporary_files "$work/long"
done

# A stop before the first group (here: SIGINT already waiting when the
# program starts) writes nothing, so good files from an earlier run stay.
if command -v python3 >/dev/null; then
  cp "$work/long/MORVA.BMP" "$work/earlier.bmp"
  status=0
  python3 -c 'import os, signal, sys
signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGINT])
os.kill(os.getpid(), signal.SIGINT)
os.execv(sys.argv[1], sys.argv[1:])' "$morva" --batch --dir "$work/long" 2>"$work/log" || status=$?
  [ $status = 130 ] || fail "early SIGINT: exit code $status"
  grep -q "SIGINT before the first group was traced; no file was written" "$work/log" || fail "early SIGINT not reported"
  cmp -s "$work/long/MORVA.BMP" "$work/earlier.bmp" || fail "an early SIGINT replaced MORVA.BMP"
else
  echo "python3 missing: the early-stop check is skipped"
fi

# A reader of stderr that goes away ends the progress text, not the render.
mkfifo "$work/stderr"
head -c 1 <"$work/stderr" >/dev/null &
status=0
"$morva" --batch --dir "$work/fern" 2>"$work/stderr" || status=$?
[ $status = 0 ] || fail "stderr closed by its reader: exit code $status (141: SIGPIPE)"
complete_files "$work/fern"

# Output that cannot be written is an error, with the reason on stderr.
if [ -c /dev/full ]; then
  status=0
  "$morva" --describe --dir "$work/fern" >/dev/full 2>"$work/log" || status=$?
  [ $status = 1 ] || fail "--describe into a full disk: exit code $status"
  grep -q "cannot write to standard output: No space left on device" "$work/log" || fail "--describe: no reason"
fi
for option in --help --version; do
  status=0
  "$morva" $option >&- 2>"$work/log" || status=$?
  [ $status = 1 ] || fail "$option with stdout closed: exit code $status"
  grep -q "cannot write to standard output" "$work/log" || fail "$option with stdout closed: no reason"
done

# Usage errors: exit code 2, a message that ends its line, control bytes
# shown as escapes. Each command line would run (exit code 0) but for the
# one fault it holds.
usage_error() {  # usage_error ARGS...
  status=0
  "$morva" "$@" >/dev/null 2>"$work/log" || status=$?
  [ $status = 2 ] || fail "$*: exit code $status"
  [ "$(tail -c 1 "$work/log" | od -An -tx1 | tr -d ' ')" = 0a ] || fail "$*: the message does not end its line"
}
usage_error --describe --dir "$work/fern" --threads 0
usage_error --describe --dir ""
usage_error --batch --quiet --dir "$work/fern" --picture ""
usage_error --describe --dir "$work/fern" --frobnicate
status=0
"$morva" --threads $'1\r' 2>"$work/log" || status=$?
grep -qF '"1\r"' "$work/log" || fail "a CR in an argument is not shown as an escape"
echo "signal and stream end-to-end checks passed"
