#!/usr/bin/env python3
"""Stops Tolvane2Audit with SIGINT and with SIGTERM while its outputs are
being prepared beside their names: the temporaries go with it and no output
appears. The audit is held at a known point without any timing: its standard
output is a pipe nobody reads, and its account of a storage of thousands of
location-days is larger than a pipe holds, so it waits there, after its
outputs were opened and before they are renamed.

Argument: the Tolvane2Audit executable."""
import os
import signal
import subprocess
import sys
import tempfile
import time

AUDIT = sys.argv[1]
LOCATIONS = 3000  # about 100 bytes of account each: several times a pipe's 64 KiB
failures = []


def temporaries(folder):
    return [name for name in os.listdir(folder) if ".tmp-" in name]


with tempfile.TemporaryDirectory() as temp:
    storage = os.path.join(temp, "storage")
    for location in range(LOCATIONS):
        os.makedirs(os.path.join(storage, "2012-03-03", str(location)))
    out = os.path.join(temp, "out")
    os.mkdir(out)
    for stop in (signal.SIGINT, signal.SIGTERM):
        audit = subprocess.Popen([AUDIT, "-p", storage, "--html", os.path.join(out, "page.html"),
                                  "--json", os.path.join(out, "audit.json")],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        # The outputs are opened before anything is read; wait for both.
        while len(temporaries(out)) < 2 and audit.poll() is None:
            time.sleep(0.01)
        if audit.poll() is not None:
            failures.append("%s: the audit ended before it was stopped" % stop.name)
            continue
        audit.send_signal(stop)
        audit.wait()
        audit.stdout.close()
        if audit.returncode != -stop:
            failures.append("%s: exit %d, not stopped by the signal" % (stop.name, audit.returncode))
        if os.listdir(out):
            failures.append("%s: left %s" % (stop.name, os.listdir(out)))

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
