"""Starts the operator tools as child processes for the tests and waits until they listen."""

import os
import queue
import signal
import socket
import subprocess
import threading

PYTHON = "/usr/bin/python3"
HERE = os.path.dirname(os.path.abspath(__file__))
START_TIMEOUT = 20.0


def free_port(host):
    """A port that was free on host a moment ago (the kernel's choice)."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as sock:
        sock.bind((host, 0))
        return sock.getsockname()[1]


class Runner:
    """One child process running a tool script; stdout lines are collected on a thread,
    stderr goes to a log file so a busy log can never block the child."""

    def __init__(self, script, args, log_path):
        self.log_path = log_path
        self.log = open(log_path, "wb")
        self.lines = queue.Queue()
        self.output = []
        self.proc = subprocess.Popen(
            [PYTHON, os.path.join(HERE, script)] + list(args),
            stdout=subprocess.PIPE, stderr=self.log, stdin=subprocess.DEVNULL)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            self.output.append(line)
            self.lines.put(line)
        self.lines.put(None)

    def wait_ready(self, timeout=START_TIMEOUT):
        """True once the child printed "ready"; False when it ended or took too long."""
        while True:
            try:
                line = self.lines.get(timeout=timeout)
            except queue.Empty:
                return False
            if line is None:
                return False
            if line == "ready":
                return True

    def stop(self, sig=signal.SIGTERM, timeout=20.0):
        """Sends sig and returns the exit status (None if the child had to be killed)."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            status = None
        self.reader.join(5)
        self.proc.stdout.close()
        self.log.close()
        return status

    def stderr_text(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")


def start_ready(script, args, log_path, name):
    """Starts a tool and waits until it listens; when it does not, stops it and raises
    RuntimeError with what it logged."""
    runner = Runner(script, args, log_path)
    if not runner.wait_ready():
        log = runner.stderr_text()
        runner.stop()
        raise RuntimeError(name + " did not start:\n" + log)
    return runner
