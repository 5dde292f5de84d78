#!/usr/bin/env bash
# Batch progress as a user sees it: on a pseudo-terminal of 80 and of 40
# columns no progress line is wider than the terminal, also after the
# terminal is made narrower during the render; a pipe gets a handful of
# lines; --quiet shows no progress at all.
source "$(dirname "$0")/lib.sh" "$@"
command -v /usr/bin/python3 >/dev/null || skip "python3 missing"

fern "$work/fern"
# Far longer than the test: ended by Ctrl-C once enough has been seen.
fern "$work/long" 1000000
fern "$work/short" 3

/usr/bin/python3 - "$morva" "$work" <<'PY'
import fcntl, os, pty, re, select, signal, struct, subprocess, sys, termios, time
morva, work = sys.argv[1], sys.argv[2]

def set_width(fd, columns):
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))

def progress_lines(data):
    """What the terminal shows as lines: split at every carriage return and line feed, the clearing
    sequence taken out; the report lines of the program start with its name."""
    text = data.decode("ascii", "replace").replace("\x1b[K", "")
    assert "\x1b" not in text, "an unexpected control sequence"
    return [s for s in re.split(r"[\r\n]", text) if s and not s.startswith("morva: ")]

def on_terminal(args, columns, narrower=None, term=None):
    """Runs morva with stderr on a pseudo-terminal; returns the bytes read before and after the
    terminal was made narrower, and the exit code."""
    master, slave = pty.openpty()
    set_width(slave, columns)
    env = dict(os.environ, TERM=term) if term else None
    child = subprocess.Popen([morva] + args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=slave,
                             env=env)
    os.close(slave)
    before, after = b"", b""
    resized = False
    deadline = time.time() + 300
    while time.time() < deadline:
        ready, _, _ = select.select([master], [], [], 0.1)
        if ready:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the program has ended and closed the terminal
                break
            if not chunk:
                break
            if resized:
                after += chunk
            else:
                before += chunk
            if narrower and not resized and len(progress_lines(before)) >= 5:
                set_width(master, narrower)
                resized = True
            if narrower and len(progress_lines(after)) >= 6:
                child.send_signal(signal.SIGINT)
                narrower = None
    os.close(master)
    return before, after, child.wait()

# 80 columns, then 40 during the render.
before, after, code = on_terminal(["--batch", "--dir", f"{work}/long"], 80, narrower=40)
assert code == 130, code
wide, narrow = progress_lines(before), progress_lines(after)
assert len(wide) >= 5 and all(len(line) <= 79 for line in wide), wide
# Lines drawn before the change may still be on their way: after the first
# two, every line is drawn at the new width.
assert len(narrow) >= 5 and all(len(line) <= 39 for line in narrow[2:]), narrow
assert "groups" in wide[-1] and "left" in narrow[-1], (wide[-1], narrow[-1])
print(f"80 then 40 columns: {len(wide)} + {len(narrow)} redraws, e.g.\n  {wide[-1]}\n  {narrow[-1]}")

# 40 columns from the start, through to the end of a whole render.
data, _, code = on_terminal(["--batch", "--dir", f"{work}/fern"], 40)
assert code == 0, code
lines = progress_lines(data)
assert lines and all(len(line) <= 39 for line in lines), lines
assert "100%" in lines[-1], lines[-1]
assert b"M points/s)" in data, data[-300:]

# A terminal without escape sequences (an editor's shell buffer) gets none;
# a render of 480 groups (no multiple of 128) still ends at 100 %.
data, _, code = on_terminal(["--batch", "--dir", f"{work}/short"], 80, term="dumb")
assert code == 0 and b"\x1b" not in data, data[-300:]
lines = progress_lines(data)
assert "100%" in lines[-1] and "480/480 groups" in lines[-1], lines[-1]

# --quiet: the report, no progress.
data, _, code = on_terminal(["--batch", "--quiet", "--dir", f"{work}/fern"], 80)
assert code == 0 and not progress_lines(data), data
assert b"M points/s)" in data

# A pipe: a handful of lines for the bundled scene: the first, then at most
# one a tenth of the render and five seconds apart (a slow build, such as a
# sanitizer's, gets more of them), and the last.
start = time.monotonic()
result = subprocess.run([morva, "--batch", "--dir", f"{work}/fern"], stdout=subprocess.DEVNULL,
                        stderr=subprocess.PIPE, check=True)
seconds = time.monotonic() - start
log = result.stderr.decode().splitlines()
progress = sum(1 for line in log if " groups, " in line and " left, seed " in line)
assert 1 <= progress <= min(2 + int(seconds // 5), 12), (seconds, log)
assert len(log) <= progress + 6, log
assert "\r" not in result.stderr.decode() and "\x1b" not in result.stderr.decode()
print("pipe:\n  " + "\n  ".join(log))
PY
echo "terminal end-to-end checks passed"
