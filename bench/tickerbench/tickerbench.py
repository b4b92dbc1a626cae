"""CPU load of the logged-in launcher, in per cent of one core, measured from /proc over a
fixed time once the login is through: first with the service's ordinary notices, then with
a notice of 1 MB added, which every refresh reply (once a second) then carries.

    /usr/bin/python3 bench/tickerbench/tickerbench.py LAUNCHER WORKDIR SERVICE [SECONDS]

Run it on an X display with 127.0.0.1 ports 80 and 2356 free (run.sh provides both).
"""
import os
import sqlite3
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


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


def one_run(launcher, workdir, service, seconds, notice_bytes):
    with tempfile.TemporaryDirectory() as tmp:
        db = os.path.join(tmp, "operator.db")
        log_path = os.path.join(tmp, "service.log")
        with open(log_path, "w") as log:
            server = start_service(service, db, log)
            try:
                if notice_bytes:
                    with sqlite3.connect(db) as conn:
                        conn.execute("INSERT INTO notices (subject, contents) VALUES (?, ?)",
                                     ("Long", "x" * notice_bytes))
                app = subprocess.Popen([launcher], cwd=workdir, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
                try:
                    log_in()
                    time.sleep(5)  # the login and the first refreshes settle
                    start_cpu, start = cpu_seconds(app.pid), time.monotonic()
                    before = refreshes(log_path)
                    time.sleep(seconds)
                    used = cpu_seconds(app.pid) - start_cpu
                    elapsed = time.monotonic() - start
                    # Logged in: the launcher refreshes about once a second.
                    count = refreshes(log_path) - before
                    if count < seconds / 2:
                        raise RuntimeError("only %d refreshes: not logged in?" % count)
                    return 100.0 * used / elapsed, count
                finally:
                    app.kill()
                    app.wait()
            finally:
                server.terminate()
                server.wait()


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    launcher, workdir, service = sys.argv[1:4]
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 20.0
    for name, size in (("ordinary notices", 0), ("with a 1 MB notice", 1 << 20)):
        load, count = one_run(launcher, workdir, service, seconds, size)
        print("%s: %.1f %% of one core over %.0f s (%d refreshes)" % (name, load, seconds, count),
              flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
