"""Start-up time of the launcher: from process start to its 1024 x 768 window being
mapped on the X server, measured from outside with X's MapNotify events.

    /usr/bin/python3 bench/startbench/startbench.py LAUNCHER WORKDIR [RUNS]

Run it on an X display (run.sh provides Xvfb). Prints each run and the median.
"""
import statistics
import subprocess
import sys
import time

from Xlib import X, display


def one_run(d, launcher, workdir):
    start = time.monotonic()
    process = subprocess.Popen([launcher], cwd=workdir, stdout=subprocess.DEVNULL,
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
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    launcher, workdir = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 11
    # One connection for all runs: the server resets when its last client leaves.
    d = display.Display()
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    one_run(d, launcher, workdir)  # warm the file cache
    times = []
    for i in range(runs):
        t = one_run(d, launcher, workdir)
        if t is None:
            print("run %d: no window within 20 s" % (i + 1))
            return 1
        times.append(t)
        print("run %d: %.3f s" % (i + 1, t))
    print("median start-up to first shown window: %.3f s (min %.3f, max %.3f)"
          % (statistics.median(times), min(times), max(times)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
