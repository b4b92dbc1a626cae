"""Idle cost of the logged-in launcher, measured from /proc over a fixed time once the login
is through: first with the service's ordinary notices, then with a notice of 1 MB added,
which every refresh reply (once a second) then carries.

In the first run the anchor (a bare frameless 1024 x 768 Qt window holding three hidden web
views) runs next to the launcher over the same time. For both the script prints the CPU load
in per cent of one core and the steady resident size: the median of VmRSS sampled once a
second while measuring (VmHWM, the peak, is printed for information). The launcher must stay
at or below CPU_LIMIT per cent of one core and at or below RSS_LIMIT times the resident size
of the anchor started with --raster, whose window, like the launcher's, is drawn by the CPU
alone; the script exits with 1 when it does not. The anchor as it is (its window loads the
GL driver, as any Qt window does by default) runs beside them too, and the launcher's
resident size is printed against it as well, for information.

    /usr/bin/python3 bench/tickerbench/tickerbench.py LAUNCHER WORKDIR SERVICE ANCHOR [SECONDS]

Run it on an X display with 127.0.0.1 ports 80 and 2356 free (run.sh provides both).
With TICKERBENCH_SMAPS=<folder> set, the first run leaves each process's /proc/PID/smaps
there (smaps.0 the launcher's, then the anchors'), to see where the resident pages are.
"""
import os
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")
CPU_LIMIT = 2.0  # per cent of one core
RSS_LIMIT = 1.25  # times the raster anchor's resident size


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def status_kib(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError("no %s for process %d" % (field, pid))


class Watched:
    """CPU time and resident size of one process over the measuring time."""

    def __init__(self, process):
        self.process = process
        self.rss = []

    def start(self):
        self.cpu = cpu_seconds(self.process.pid)

    def sample(self):
        self.rss.append(status_kib(self.process.pid, "VmRSS"))

    def stop(self, elapsed):
        self.load = 100.0 * (cpu_seconds(self.process.pid) - self.cpu) / elapsed
        self.steady_mib = statistics.median(self.rss) / 1024
        self.peak_mib = status_kib(self.process.pid, "VmHWM") / 1024


def start_service(service, db, log):
    process = subprocess.Popen(["/usr/bin/python3", service, "--host", "127.0.0.1",
                                "--db", db], stdout=subprocess.PIPE, stderr=log, text=True)
    for line in process.stdout:
        if line.strip() == "ready":
            return process
    raise RuntimeError("operator service did not start")


def xdotool(*args):
    return subprocess.run(["xdotool"] + list(args), check=True, capture_output=True,
                          text=True).stdout


def log_in():
    for _ in range(100):
        found = subprocess.run(["xdotool", "search", "--name", "Log in"], capture_output=True,
                               text=True).stdout.split()
        if found:
            break
        time.sleep(0.1)
    else:
        raise RuntimeError("no login dialog")
    geometry = dict(line.split("=") for line in
                    xdotool("getwindowgeometry", "--shell", found[0]).split())
    x, y = int(geometry["X"]), int(geometry["Y"])
    xdotool("mousemove", str(x + 265), str(y + 85), "click", "1")
    xdotool("type", "--delay", "30", "demo")
    xdotool("mousemove", str(x + 265), str(y + 130), "click", "1")
    xdotool("type", "--delay", "30", "demo1234")
    xdotool("mousemove", str(x + 475), str(y + 105), "mousedown", "1", "sleep", "0.2",
            "mouseup", "1")


def refreshes(log_path):
    with open(log_path, errors="replace") as f:
        return f.read().count("/webclient/qzclient")


def measure(watched, seconds):
    """Samples every watched process once a second for `seconds`; returns the time taken."""
    for w in watched:
        w.start()
    start = time.monotonic()
    while True:
        for w in watched:
            w.sample()
        left = start + seconds - time.monotonic()
        if left <= 0:
            break
        time.sleep(min(1.0, left))
    elapsed = time.monotonic() - start
    for w in watched:
        w.stop(elapsed)
    return elapsed


def one_run(launcher, workdir, service, anchors, seconds, notice_bytes):
    """Returns the Watched of the launcher and of each anchor command, and the refreshes."""
    with tempfile.TemporaryDirectory() as tmp:
        db = os.path.join(tmp, "operator.db")
        log_path = os.path.join(tmp, "service.log")
        with open(log_path, "w") as log:
            server = start_service(service, db, log)
            processes = []
            try:
                if notice_bytes:
                    with sqlite3.connect(db) as conn:
                        conn.execute("INSERT INTO notices (subject, contents) VALUES (?, ?)",
                                     ("Long", "x" * notice_bytes))
                # The anchor first, and mapped before the launcher starts: a window mapped
                # later would be stacked over the login dialog and take its clicks.
                for command in anchors + [[launcher]]:
                    processes.append(subprocess.Popen(command, cwd=workdir,
                                                      stdout=subprocess.DEVNULL,
                                                      stderr=subprocess.DEVNULL))
                    if command in anchors:
                        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                        str(processes[-1].pid)], check=True, timeout=30,
                                       capture_output=True)
                processes.insert(0, processes.pop())  # the launcher's figures come first
                log_in()
                time.sleep(5)  # the login and the first refreshes settle
                watched = [Watched(p) for p in processes]
                before = refreshes(log_path)
                measure(watched, seconds)
                # With TICKERBENCH_SMAPS=<folder>: where each process's resident pages are.
                folder = os.environ.get("TICKERBENCH_SMAPS")
                if folder and not notice_bytes:
                    for i, p in enumerate(processes):
                        with open("/proc/%d/smaps" % p.pid) as f, \
                                open(os.path.join(folder, "smaps.%d" % i), "w") as out:
                            out.write(f.read())
                # Logged in: the launcher refreshes about once a second.
                count = refreshes(log_path) - before
                if count < seconds / 2:
                    raise RuntimeError("only %d refreshes: not logged in?" % count)
                return watched, count
            finally:
                for p in processes:
                    p.kill()
                    p.wait()
                server.terminate()
                server.wait()


def ratio_line(name, ours, theirs, unit, limit):
    text = "%s: launcher %.1f %s, anchor %.1f %s" % (name, ours, unit, theirs, unit)
    if theirs > 0:
        text += ", ratio %.2f" % (ours / theirs)
    return text + " (limit %s)" % limit


def main():
    if len(sys.argv) < 5:
        print(__doc__)
        return 2
    launcher, workdir, service, anchor = sys.argv[1:5]
    seconds = float(sys.argv[5]) if len(sys.argv) > 5 else 20.0
    (ours, theirs, raster), count = one_run(launcher, workdir, service,
                                            [[anchor], [anchor, "--raster"]], seconds, 0)
    print("ordinary notices, %.0f s (%d refreshes):" % (seconds, count))
    print(ratio_line("CPU", ours.load, theirs.load, "% of one core",
                     "%.1f %% of one core" % CPU_LIMIT))
    print(ratio_line("resident size, steady, raster anchor", ours.steady_mib, raster.steady_mib,
                     "MiB", "%.2fx the raster anchor" % RSS_LIMIT))
    print(ratio_line("resident size, peak, raster anchor", ours.peak_mib, raster.peak_mib,
                     "MiB", "none"))
    print(ratio_line("resident size, steady, anchor with the GL driver", ours.steady_mib,
                     theirs.steady_mib, "MiB", "none: information"), flush=True)
    failed = []
    if ours.load > CPU_LIMIT:
        failed.append("CPU load above %.1f %% of one core" % CPU_LIMIT)
    if ours.steady_mib > RSS_LIMIT * raster.steady_mib:
        failed.append("resident size above %.2fx the raster anchor's" % RSS_LIMIT)

    (ours,), count = one_run(launcher, workdir, service, [], seconds, 1 << 20)
    print("with a 1 MB notice: CPU %.1f %% of one core over %.0f s (%d refreshes), "
          "resident size %.1f MiB" % (ours.load, seconds, count, ours.steady_mib))
    for reason in failed:
        print("FAIL: " + reason)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
