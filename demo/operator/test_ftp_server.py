"""Tests of ftp_server.py with real FTP clients (ftplib, and curl when present) on loopback."""

import ftplib
import io
import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from service_runner import Runner, free_port, start_ready

HOST = "127.0.0.7"
USER = "player"
PASSWORD = "play"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class FtpServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.tmp.cleanup)
        cls.root = os.path.join(cls.tmp.name, "root")
        games = os.path.join(cls.root, "BoardGame")
        # Random bytes over several blocks catch truncated or text-mode transfers.
        cls.package = os.urandom(300 * 1024 + 17) + b"\r\n\n\r"
        cls.small = b"\x00\x01\x02 data\r\n"
        write(os.path.join(games, "Poker", "Poker.zip"), cls.package)
        write(os.path.join(games, "Poker", "data", "a.bin"), cls.small)
        os.makedirs(os.path.join(games, "Matgo"))
        cls.port = free_port(HOST)
        cls.server = start_ready("ftp_server.py", [
            "--host", HOST, "--port", str(cls.port), "--root", cls.root,
            "--user", USER, "--password", PASSWORD],
            os.path.join(cls.tmp.name, "ftp.log"), "FTP server")
        cls.addClassCleanup(cls.server.stop)

    def connect(self, user=USER, password=PASSWORD):
        ftp = ftplib.FTP()
        ftp.connect(HOST, self.port, timeout=30)
        self.addCleanup(ftp.close)
        ftp.login(user, password)
        return ftp

    def test_names_only_listings(self):
        ftp = self.connect()
        cases = [
            ("/BoardGame/", {"Poker", "Matgo"}),
            ("/BoardGame/Poker/", {"Poker.zip", "data"}),
            ("/BoardGame/Poker/data/", {"a.bin"}),
            ("/BoardGame/Matgo/", set()),
        ]
        for path, names in cases:
            with self.subTest(path):
                self.assertEqual(set(ftp.nlst(path)), names)

    def test_whole_file_downloads(self):
        ftp = self.connect()
        cases = [
            ("/BoardGame/Poker/Poker.zip", self.package),
            ("/BoardGame/Poker/data/a.bin", self.small),
        ]
        for path, expected in cases:
            with self.subTest(path):
                chunks = []
                ftp.retrbinary("RETR " + path, chunks.append)
                self.assertEqual(b"".join(chunks), expected)

    def test_missing_paths(self):
        ftp = self.connect()
        for command in ("RETR /BoardGame/Poker/none.zip", "RETR /BoardGame/Hongsip/Hongsip.zip",
                        "RETR /../../etc/passwd"):
            with self.subTest(command):
                with self.assertRaises(ftplib.error_perm):
                    ftp.retrbinary(command, lambda _: None)
        with self.assertRaises(ftplib.error_perm):
            ftp.nlst("/BoardGame/Hongsip/")

    def test_wrong_login_refused(self):
        for user, password in ((USER, "wrong"), ("nobody", PASSWORD), (USER, "")):
            with self.subTest(user=user, password=password):
                ftp = ftplib.FTP()
                ftp.connect(HOST, self.port, timeout=30)
                self.addCleanup(ftp.close)
                with self.assertRaises(ftplib.error_perm) as caught:
                    ftp.login(user, password)
                self.assertTrue(str(caught.exception).startswith("530"))

    def test_tree_is_read_only(self):
        ftp = self.connect()
        actions = [
            ("upload", lambda: ftp.storbinary("STOR /BoardGame/Poker/new.zip",
                                              io.BytesIO(b"new"))),
            ("delete", lambda: ftp.delete("/BoardGame/Poker/Poker.zip")),
            ("make folder", lambda: ftp.mkd("/BoardGame/Extra")),
            ("rename", lambda: ftp.rename("/BoardGame/Poker/Poker.zip", "/BoardGame/x.zip")),
        ]
        for name, action in actions:
            with self.subTest(name):
                with self.assertRaises(ftplib.error_perm):
                    action()
        self.assertEqual(set(os.listdir(os.path.join(self.root, "BoardGame", "Poker"))),
                         {"Poker.zip", "data"})

    @unittest.skipUnless(shutil.which("curl"), "curl is not installed")
    def test_curl_list_and_download(self):
        # libcurl is the launcher's client: a names-only listing and a whole-file download.
        base = "ftp://{}:{}@{}:{}/BoardGame/Poker/".format(USER, PASSWORD, HOST, self.port)
        listing = subprocess.run(["curl", "-sS", "--list-only", base],
                                 capture_output=True, check=True, timeout=60).stdout
        self.assertEqual(set(listing.decode().split()), {"Poker.zip", "data"})
        body = subprocess.run(["curl", "-sS", base + "Poker.zip"],
                              capture_output=True, check=True, timeout=60).stdout
        self.assertEqual(body, self.package)


class FtpLifecycleTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def start(self, root):
        port = free_port(HOST)
        runner = Runner("ftp_server.py", ["--host", HOST, "--port", str(port), "--root", root],
                        os.path.join(self.tmp.name, "ftp.log"))
        self.addCleanup(runner.stop, signal.SIGKILL)
        return runner, port

    def test_empty_root_serves_empty_game_tree_and_stops_cleanly(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                root = tempfile.mkdtemp(dir=self.tmp.name)
                runner, port = self.start(root)
                self.assertTrue(runner.wait_ready(), runner.stderr_text())
                ftp = ftplib.FTP()
                ftp.connect(HOST, port, timeout=30)
                ftp.login(USER, PASSWORD)
                self.assertEqual(ftp.nlst("/BoardGame/"), [])
                ftp.quit()
                self.assertEqual(runner.stop(sig), 0)

    def test_missing_root_stops_before_ready(self):
        runner, _ = self.start(os.path.join(self.tmp.name, "absent"))
        self.assertFalse(runner.wait_ready())
        self.assertEqual(runner.stop(), 1)


if __name__ == "__main__":
    unittest.main()
