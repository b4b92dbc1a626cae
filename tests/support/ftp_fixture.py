"""A loopback FTP server for the update tests and the update benchmark.

Serves a folder tree read-only to one user on 127.0.0.1, on a free port unless one is
given. Prints "PORT <n>" on standard output once it listens. Every command it receives
is appended to the log file as "<COMMAND> <path>" (the path as the client sees it) so a
test can check which listings and downloads were asked for; passwords are never logged.

Run with Debian's interpreter: /usr/bin/python3 ftp_fixture.py --root DIR ...
"""

import argparse
import json
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

# Commands whose argument names a path; the handler has already mapped it to a local one.
PATH_COMMANDS = {"NLST", "LIST", "MLSD", "RETR", "SIZE", "MDTM", "CWD"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="u")
    parser.add_argument("--password", default="p")
    parser.add_argument("--log", required=True)
    parser.add_argument("--rate", type=int, default=0,
                        help="bytes per second on data connections, 0 for no limit")
    parser.add_argument("--extra", default="{}",
                        help='JSON object: FTP folder path -> names added to its listing')
    args = parser.parse_args()

    extra = json.loads(args.extra)
    log = open(args.log, "a", buffering=1, encoding="utf-8")

    class Fs(AbstractedFS):
        # Listings may carry names that do not exist on disk: that is how the tests make
        # a server list a missing file or a hostile name.
        def listdir(self, path):
            names = list(super().listdir(path))
            names.extend(extra.get(self.fs2ftp(path).rstrip("/") or "/", []))
            return names

    class Handler(FTPHandler):
        abstracted_fs = Fs
        auth_failed_timeout = 0.05

        def process_command(self, cmd, *cmd_args, **kwargs):
            text = cmd
            if cmd in PATH_COMMANDS and cmd_args and self.fs is not None:
                text += " " + self.fs.fs2ftp(cmd_args[0])
            log.write(text + "\n")
            super().process_command(cmd, *cmd_args, **kwargs)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    Handler.authorizer = authorizer
    if args.rate > 0:
        class Dtp(ThrottledDTPHandler):
            write_limit = args.rate
        Handler.dtp_handler = Dtp

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
