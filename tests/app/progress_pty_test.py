#!/usr/bin/env python3
"""Runs Tolvane2 on a small generated storage three times: with standard
error on a pseudo-terminal, with both outputs on one, and with both
redirected. The status line shows up only on the terminal, is erased before
every other line and at the end, and leaves the redirected output as it was.

Arguments: the Tolvane2 executable, the make_recording executable. Run from the
build folder, where the template database is."""
import os
import pty
import shutil
import re
import subprocess
import sys
import tempfile
import time
import tty

TOOL, MAKE_RECORDING = sys.argv[1], sys.argv[2]
DRAW = re.compile(rb"\r([^\r\n\x1b]+)\x1b\[K")
ERASE = b"\r\x1b[K"
ELAPSED = re.compile(rb"elapsed time: [0-9.e+-]+ s")
COLOUR = re.compile(rb"\x1b\[[0-9]+m")
HOSTILE = "h\x1b[2K\rb"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def storage(path):
    """The same storage at the same path for every run, as paths are printed.
    Each location-day: a readable recording, then one whose name holds no
    time (reported on standard output without the facade), then placeholders
    the facade cannot open (reported on standard error too). So a line on
    each output follows a status line drawn as the first location starts."""
    shutil.rmtree(path, ignore_errors=True)
    # The third location's name would erase the status line and return the
    # cursor if it were drawn as it stands.
    for location in ("1", "2", HOSTILE):
        for day in ("2012-03-03", "2012-03-04"):
            folder = os.path.join(path, location, day)
            os.makedirs(folder)
            subprocess.run([MAKE_RECORDING, "-o", os.path.join(folder, "00000001_%s_100000.3gp" % day),
                            "--start", day + " 10:00:00"], check=True, stdout=subprocess.DEVNULL)
            with open(os.path.join(folder, "2_x.3gp"), "w") as file:
                file.write("no time in the name")
            for serial in range(3, 21):
                name = "%08d_%s_10%02d00.3gp" % (serial, day, serial)
                with open(os.path.join(folder, name), "w") as file:
                    file.write("placeholder recording")
    # Written by the recorder long ago: the tool leaves fresh writes to it.
    an_hour_ago = time.time() - 3600
    for folder, _, names in os.walk(path):
        for name in names:
            os.utime(os.path.join(folder, name), (an_hour_ago, an_hour_ago))
    return path


def read_all(fd):
    data = b""
    while True:
        try:
            chunk = os.read(fd, 65536)
        except OSError:  # the terminal's other end closed
            return data
        if not chunk:
            return data
        data += chunk


def run(path, stdout_on_terminal):
    """Standard error on a raw pseudo-terminal (no line-end translation);
    standard output there too, or on a pipe. Returns (stdout, terminal)."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    process = subprocess.Popen([TOOL, "-p", path], stdin=subprocess.DEVNULL,
                               stdout=slave if stdout_on_terminal else subprocess.PIPE, stderr=slave)
    os.close(slave)
    terminal = read_all(master)
    stdout = b"" if stdout_on_terminal else process.stdout.read()
    process.wait()
    os.close(master)
    return stdout, terminal


def shown_is_always_erased(terminal):
    """After a status line, only another status line or its erasure may come,
    and the output ends with none shown."""
    shown = False
    position = 0
    while position < len(terminal):
        if terminal.startswith(ERASE, position):
            shown = False
            position += len(ERASE)
            continue
        draw = DRAW.match(terminal, position)
        if draw:
            shown = True
            position = draw.end()
            continue
        if shown:
            return False
        position += 1
    return not shown


with tempfile.TemporaryDirectory() as parent:
    path = os.path.join(parent, "storage")
    redirected = subprocess.run([TOOL, "-p", storage(path)], stdin=subprocess.DEVNULL, capture_output=True)
    out, err = run(storage(path), stdout_on_terminal=False)
    _, both = run(storage(path), stdout_on_terminal=True)

    check(b"\x1b" not in redirected.stdout + redirected.stderr and b"\r" not in redirected.stderr,
          "redirected output holds terminal sequences")
    check(len(redirected.stderr) > 0, "the run wrote nothing on standard error: no interleaving exercised")
    check(ELAPSED.sub(b"", out) == ELAPSED.sub(b"", redirected.stdout),
          "standard output changed while standard error is a terminal")
    statuses = DRAW.findall(err)
    check(any(re.match(rb"2012-03-0[34], location [^:]+: \d+/20 recordings", s) for s in statuses),
          "no status line on the terminal: %r" % err[:400])
    check(shown_is_always_erased(err), "a status line was left standing on standard error")
    check(HOSTILE.encode() not in err + both, "a name's control characters reached the terminal")
    check(any(s.startswith(b"2012-03-0") and b"location h?[2K?b:" in s for s in statuses),
          "no status line shows the hostile name safely: %r" % statuses[:6])
    check(DRAW.sub(b"", err).replace(ERASE, b"") == redirected.stderr,
          "standard error's own lines changed")
    check(DRAW.search(both) is not None, "no status line when both outputs are on the terminal")
    check(shown_is_always_erased(COLOUR.sub(b"", both)), "a line was written over a standing status line")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
