#!/usr/bin/env bash
# The real window under Xvfb, driven by synthetic key events: F11 during a
# render writes the files and the render goes on, Escape held ends the
# program, the close button and SIGTERM end it, and a finished render shows
# the fern.
# Waits are generous: a busy or sanitized build may be many times slower,
# and a passing run never waits for them.
source "$(dirname "$0")/lib.sh" "$@"
for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || skip "$tool not installed: window checks"
done
/usr/bin/python3 -c 'import Xlib, PIL' 2>/dev/null || skip "python3-xlib or python3-pil missing"

xvfb_pids=()
cleanup() {
  [ -n "${morva_pid:-}" ] && kill "$morva_pid" 2>/dev/null || true
  for pid in "${xvfb_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

start_display() {  # a virtual screen of geometry $1 becomes DISPLAY
  rm -f "$work/display"
  exec 5>"$work/display"
  Xvfb -displayfd 5 -screen 0 "$1" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pids+=($!)
  for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  exec 5>&-
  export DISPLAY=:$(cat "$work/display")
}
start_display 1024x768x24

start() {  # start morva on scene folder $1 (further options after it), wait for its window
  "$morva" --dir "$@" >"$work/log" 2>&1 &
  morva_pid=$!
  # Bound to this process: a window of the previous run may outlive it
  # for a moment on a busy server.
  wid=$(timeout 60 xdotool search --sync --pid "$morva_pid" --name '^MORVA 1\.1$' | head -1) ||
    fail "no window appeared"
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
}
close_window() {  # what the window manager sends for the close button
  # sync, not flush: the request must reach the server before this client
  # goes away, or a busy server may drop it.
  /usr/bin/python3 - "$wid" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object("window", int(sys.argv[1]))
event = protocol.event.ClientMessage(window=w, client_type=d.intern_atom("WM_PROTOCOLS"),
                                     data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
w.send_event(event, event_mask=X.NoEventMask)
d.sync()
PY
}
wait_exit() {  # waits up to $1 seconds for morva to end; sets status
  status=timeout
  for _ in $(seq $(( $1 * 10 ))); do
    if ! kill -0 "$morva_pid" 2>/dev/null; then
      status=0
      wait "$morva_pid" || status=$?
      return
    fi
    sleep 0.1
  done
}

# A render far longer than the test: it is ended by the keys.
fern "$work/long" 10000000

start "$work/long"
sleep 1
xdotool key --clearmodifiers F11
for _ in $(seq 600); do [ -f "$work/long/MORVA.BMP" ] && break; sleep 0.1; done
[ -f "$work/long/MORVAHD.BMP" ] || fail "F11 wrote no MORVAHD.BMP"
[ "$(stat -c %s "$work/long/MORVA.BMP")" = 308278 ] || fail "F11 wrote no complete MORVA.BMP"
kill -0 "$morva_pid" || fail "the render did not go on after F11"
import -window root "$work/running.png"
xdotool keydown Escape
wait_exit 60
xdotool keyup Escape
[ "$status" = 0 ] || fail "Escape held: exit status $status"

# The close button (the window manager's delete request) ends a render.
start "$work/long"
sleep 0.5
close_window
wait_exit 60
[ "$status" = 0 ] || fail "close button: exit status $status"

# SIGTERM ends the window as the close button does, and says so; the
# window system must not have taken the signal over.
start "$work/long"
sleep 0.5
kill -TERM "$morva_pid"
wait_exit 60
[ "$status" = 143 ] || fail "SIGTERM: exit status $status"
grep -q "ended by SIGTERM" "$work/log" || fail "SIGTERM is not reported"

# A finished render shows the fern above the dark red strip with its label.
fern "$work/fern"
start "$work/fern"
# The program says when the render has finished.
for _ in $(seq 3000); do grep -q "M points/s" "$work/log" && break; sleep 0.1; done
grep -q "M points/s" "$work/log" || fail "the render did not finish within five minutes"
sleep 0.5
import -window "$wid" "$work/finished.png"
/usr/bin/python3 - "$work/finished.png" <<'PY' || fail "the finished window does not look right"
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
assert im.size == (640, 511), im.size
assert im.getpixel((636, 509)) == (96, 0, 0), im.getpixel((636, 509))      # the strip
red_text = sum(1 for x in range(640) for y in range(481, 511) if im.getpixel((x, y))[0] > 200 and im.getpixel((x, y))[1] < 80)
assert red_text > 100, red_text                                              # the two-line label
green = sum(1 for x in range(0, 640, 2) for y in range(0, 480, 2) if im.getpixel((x, y))[1] > 100)
assert green > 500, green                                                    # the fern
assert im.getpixel((320, 470 - 15 + 10)) != (96, 0, 0)
PY
xdotool key --clearmodifiers F11
for _ in $(seq 300); do [ -f "$work/fern/MORVA.BMP" ] && break; sleep 0.1; done
[ -f "$work/fern/MORVA.BMP" ] || fail "F11 after the render wrote nothing"
xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
kill -0 "$morva_pid" || fail "Escape after the render must not end the program"
cp "$work/finished.png" "${MORVA_SCREENSHOT:-/dev/null}" 2>/dev/null || true
close_window
wait_exit 60
[ "$status" = 0 ] || fail "closing the finished window: exit status $status"

# A screen 3840 pixels wide gets the window at twice the size, every pixel
# of the picture as 2 x 2 screen pixels of its exact colour.
start_display 3840x2160x24
start "$work/fern" --picture "$work/fern/picture.bmp"
for _ in $(seq 3000); do grep -q "picture.bmp" "$work/log" && break; sleep 0.1; done
grep -q "picture.bmp" "$work/log" || fail "the zoomed render did not finish within five minutes"
sleep 0.5
import -window "$wid" "$work/zoomed.png"
/usr/bin/python3 - "$work/zoomed.png" "$work/fern/picture.bmp" <<'PY' || fail "the zoomed window does not look right"
import sys
from PIL import Image
screen = Image.open(sys.argv[1]).convert("RGB")
picture = Image.open(sys.argv[2]).convert("RGB")
assert screen.size == (1280, 1022), screen.size
# The brightest pixel of the fern, and a few of its neighbours.
x, y = max(((x, y) for x in range(640) for y in range(480)), key=lambda p: sum(picture.getpixel(p)))
colour = picture.getpixel((x, y))
assert sum(colour) > 300, colour
for px, py in [(x, y), (x - 1, y), (x, y + 1), (320, 470)]:
    want = picture.getpixel((px, py))
    for dx in (0, 1):
        for dy in (0, 1):
            got = screen.getpixel((2 * px + dx, 2 * py + dy))
            assert got == want, ((px, py), (dx, dy), got, want)
assert screen.getpixel((1270, 1018)) == (96, 0, 0), screen.getpixel((1270, 1018))  # the strip
red_text = sum(1 for x in range(0, 1280, 2) for y in range(962, 1022) if screen.getpixel((x, y))[0] > 200)
assert red_text > 200, red_text
print("zoomed window:", screen.size, "pixel", (x, y), colour)
PY
cp "$work/zoomed.png" "${MORVA_SCREENSHOT_ZOOMED:-/dev/null}" 2>/dev/null || true
close_window
wait_exit 60
[ "$status" = 0 ] || fail "closing the zoomed window: exit status $status"
echo "window end-to-end checks passed"
