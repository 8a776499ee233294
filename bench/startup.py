#!/usr/bin/env python3
"""Times how fast Pelamo starts, for one or more builds side by side: `pelamo
--list` and `pelamo --version` to their exit, and the desktop program to the
moment its main window is mapped on an X server of its own (Xvfb, no window
manager), which is when it first paints. The builds take turns, round by round.

  startup.py ROUNDS PELAMO [PELAMO...]      through scripts/bench.sh startup
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

rounds = int(sys.argv[1])
builds = [os.path.abspath(path) for path in sys.argv[2:]]
home = tempfile.mkdtemp(prefix="pelamo-startup-")
library = os.path.join(home, "library")
env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
           XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
           DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(home, "no-bus"))
env.pop("QT_QPA_PLATFORM", None)
os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
MAIN_WINDOW_WIDTH = 600


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def first_map(pelamo, display):
    """Seconds from the start of the desktop program to the mapping of a window
    at least MAIN_WINDOW_WIDTH wide, as xev sees the root window's children."""
    # xev buffers what it writes to a pipe unless told otherwise.
    watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-display", display, "-root", "-event", "substructure"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
    time.sleep(0.2)
    start = time.perf_counter()
    program = subprocess.Popen([pelamo, "--library", library], env=dict(env, DISPLAY=display),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = None
    wide = set()
    try:
        while seconds is None and time.perf_counter() - start < 20:
            # Each event is a line naming it and a line of details.
            line = watcher.stdout.readline()
            if not line:
                break
            if "ConfigureNotify" in line or "CreateNotify" in line:
                details = watcher.stdout.readline()
                if "window 0x" in details and "width" in details:
                    window = details.split("window ")[1].split(",")[0]
                    width = int(details.split("width ")[1].split(",")[0])
                    if width >= MAIN_WINDOW_WIDTH:
                        wide.add(window)
            elif "MapNotify" in line:
                details = watcher.stdout.readline()
                window = details.split("window ")[1].split(",")[0] if "window " in details else ""
                if window in wide:
                    seconds = time.perf_counter() - start
    finally:
        program.terminate()
        program.wait()
        watcher.terminate()
        watcher.wait()
    if seconds is None:
        raise RuntimeError("no main window appeared for " + pelamo)
    return seconds


xvfb = subprocess.Popen(["Xvfb", ":93", "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(1)
results = {(build, what): [] for build in builds for what in ("list", "version", "window")}
try:
    for build in builds:  # untimed: the library exists and the files are in the page cache
        timed([build, "--list", "--library", library])
        first_map(build, ":93")
    for round_index in range(rounds):
        order = builds if round_index % 2 == 0 else list(reversed(builds))
        for build in order:
            results[(build, "list")].append(timed([build, "--list", "--library", library]))
            results[(build, "version")].append(timed([build, "--version"]))
            results[(build, "window")].append(first_map(build, ":93"))
finally:
    xvfb.terminate()
    xvfb.wait()
    shutil.rmtree(home, ignore_errors=True)

print("%d rounds, builds in turn; median (min..max) in milliseconds" % rounds)
print("%-48s %22s %22s %22s" % ("build", "pelamo --list", "pelamo --version", "window mapped"))
for build in builds:
    cells = []
    for what in ("list", "version", "window"):
        values = [1000 * seconds for seconds in results[(build, what)]]
        cells.append("%6.1f (%5.1f..%6.1f)" % (statistics.median(values), min(values), max(values)))
    print("%-48s %22s %22s %22s" % (build[-48:], *cells))
