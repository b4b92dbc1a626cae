"""Start-up time of the launcher against its anchor (a bare frameless 1024 x 768 Qt window
holding three hidden web views): from process start to the 1024 x 768 window being mapped
on the X server, measured from outside with X's MapNotify events. The programs run in
turn, so all see the same machine.

The limit applies to the anchor started with --raster: it asks for a CPU-drawn window, as
the launcher does, and loads no GL driver, so its ratio is the launcher's own share. The
anchor as it is (its window loads the GL driver, as any Qt window does by default) runs in
turn too, and its ratio is printed for information.

    /usr/bin/python3 bench/startbench/startbench.py LAUNCHER WORKDIR ANCHOR [RUNS]

Run it on an X display (run.sh provides Xvfb). Prints each run, the medians and both
ratios; exits with 1 when the ratio to the raster anchor is above LIMIT.
"""
import os
import statistics
import subprocess
import sys
import time

LIMIT = 1.4  # times the raster anchor's median

from Xlib import X, display


def one_run(d, command, workdir):
    start = time.monotonic()
    process = subprocess.Popen(command, cwd=workdir, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    elapsed = None
    try:
        deadline = start + 20
        while time.monotonic() < deadline:
            event = d.next_event()
            if event.type != X.MapNotify:
                continue
            try:
                geometry = event.window.get_geometry()
            except Exception:
                continue
            if geometry.width == 1024 and geometry.height == 768:
                elapsed = time.monotonic() - start
                break
    finally:
        process.kill()
        process.wait()
    return elapsed


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    launcher, workdir, anchor = (os.path.abspath(a) for a in sys.argv[1:4])
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 11
    programs = [("launcher", [launcher]), ("anchor", [anchor]),
                ("raster anchor", [anchor, "--raster"])]
    # One connection for all runs: the server resets when its last client leaves.
    d = display.Display()
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    for _, program in programs:
        one_run(d, program, workdir)  # warm the file cache
    times = {name: [] for name, _ in programs}
    for i in range(runs):
        line = []
        for name, program in programs:
            t = one_run(d, program, workdir)
            if t is None:
                print("run %d: %s showed no window within 20 s" % (i + 1, name))
                return 1
            times[name].append(t)
            line.append("%s %.3f s" % (name, t))
        print("run %d: %s" % (i + 1, ", ".join(line)))
    medians = {name: statistics.median(times[name]) for name, _ in programs}
    for name, _ in programs:
        print("%-14s median start-up: %.3f s (min %.3f, max %.3f)"
              % (name, medians[name], min(times[name]), max(times[name])))
    print("ratio to the anchor with the GL driver: %.2f (information)"
          % (medians["launcher"] / medians["anchor"]))
    ratio = medians["launcher"] / medians["raster anchor"]
    print("ratio to the raster anchor: %.2f (limit %.2f)" % (ratio, LIMIT))
    if ratio > LIMIT:
        print("FAIL: start-up slower than %.2fx the raster anchor" % LIMIT)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
