"""A loopback FTP server for the update tests and the update benchmark.

Serves a folder tree read-only to one user on 127.0.0.1, on a free port unless one is
given. Prints "PORT <n>" on standard output once it listens. Every command it receives
is appended to the log file as "<COMMAND> <path>" (the path as the client sees it) so a
test can check which listings and downloads were asked for; passwords are never logged.

Names go out and come in as bytes of one code page (--encoding, UTF-8 unless set; bytes
that are not valid in it pass through unchanged), so a test can play a server whose names
are in the Korean Windows code page. --cut-after N drops the first download's data
connection after N bytes, as a broken link would; --refuse-rest answers REST with 502;
--names-only answers MLSD with 500, as a server that lists names alone. An MLSD listing
gives each name's kind, size and time; names added with --extra have no facts there, and
an added name "mlsd:<line>" is sent as that raw MLSD line (and left out of NLST).
Each finished or dropped data transfer
is logged as "SENT <command> <bytes>".

Run with Debian's interpreter: /usr/bin/python3 ftp_fixture.py --root DIR ...
"""

import argparse
import json
import logging
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
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
    parser.add_argument("--extra-file", help="the same JSON object, read from a file")
    parser.add_argument("--encoding", default="utf8")
    parser.add_argument("--cut-after", type=int, default=0)
    parser.add_argument("--refuse-rest", action="store_true")
    parser.add_argument("--names-only", action="store_true")
    parser.add_argument("--connections-per-address", type=int, default=0,
                        help="control connections from one address, 0 for no limit")
    args = parser.parse_args()

    extra = json.loads(args.extra)
    if args.extra_file:
        with open(args.extra_file, encoding="utf-8") as f:
            extra = json.load(f)
    encoding = args.encoding
    cut = {"left": args.cut_after}
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

        def decode(self, data):
            return data.decode(encoding, "surrogateescape")

        def ftp_REST(self, line):
            if args.refuse_rest:
                self.respond("502 Command not implemented.")
            else:
                super().ftp_REST(line)

        def ftp_NLST(self, path):
            try:
                if self.fs.isdir(path):
                    listing = sorted(self.run_as_current_user(self.fs.listdir, path))
                else:
                    self.fs.lstat(path)
                    listing = [os.path.basename(path)]
            except OSError as err:
                self.respond("550 %s." % err.strerror)
                return None
            data = "".join(name + "\r\n" for name in listing if not name.startswith("mlsd:"))
            self.push_dtp_data(data.encode(encoding, "surrogateescape"), cmd="NLST")
            return path

        def ftp_MLSD(self, path):
            if args.names_only:
                self.respond('500 Command "MLSD" not understood.')
                return None
            try:
                if not self.fs.isdir(path):
                    self.respond("501 No such directory.")
                    return None
                listing = sorted(self.run_as_current_user(self.fs.listdir, path))
            except OSError as err:
                self.respond("550 %s." % err.strerror)
                return None
            lines = []
            for name in listing:
                if name.startswith("mlsd:"):
                    lines.append(name[5:])
                    continue
                try:
                    st = os.stat(os.path.join(path, name))
                except OSError:
                    lines.append(" " + name)  # listed, but nothing is known of it
                    continue
                if os.path.isdir(os.path.join(path, name)):
                    facts = "type=dir;"
                else:
                    facts = "type=file;size=%d;modify=%s;" % (
                        st.st_size, time.strftime("%Y%m%d%H%M%S", time.gmtime(st.st_mtime)))
                lines.append(facts + " " + name)
            data = "".join(line + "\r\n" for line in lines)
            self.push_dtp_data(data.encode(encoding, "surrogateescape"), cmd="MLSD")
            return path

        def process_command(self, cmd, *cmd_args, **kwargs):
            text = cmd
            if cmd in PATH_COMMANDS and cmd_args and self.fs is not None:
                ftp_path = self.fs.fs2ftp(cmd_args[0])
                text += " " + ftp_path.encode("utf8", "surrogateescape").decode("utf8", "replace")
            elif cmd == "REST" and cmd_args:
                text += " " + str(cmd_args[0])
            log.write(text + "\n")
            super().process_command(cmd, *cmd_args, **kwargs)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    Handler.authorizer = authorizer
    # The throttled handler sends through send(), where a cut can happen; the plain one
    # may use sendfile and is the fastest server for the benchmarks.
    base = ThrottledDTPHandler if args.rate > 0 or args.cut_after > 0 else DTPHandler

    # One steady rate for all data connections together: pyftpdlib's own throttle lets
    # each new connection burst a second's worth first, so its rate is not the one set.
    pace = {"start": None, "sent": 0}

    class Dtp(base):
        write_limit = args.rate

        def _throttle_bandwidth(self, len_chunk, max_speed):
            now = time.monotonic()
            if pace["start"] is None or now - pace["start"] > pace["sent"] / max_speed + 1:
                pace["start"], pace["sent"] = now, 0  # idle for a while: start afresh
            pace["sent"] += len_chunk
            ahead = pace["start"] + pace["sent"] / max_speed - now
            if ahead > 0.002:
                def unsleep():
                    self.add_channel(events=self.ioloop.READ if self.receive
                                     else self.ioloop.WRITE)
                self.del_channel()
                self._cancel_throttler()
                self._throttler = self.ioloop.call_later(ahead, unsleep,
                                                         _errback=self.handle_error)

        def send(self, data):
            # file_obj is set before the first send; cmd only after it.
            if cut["left"] > 0 and getattr(self, "file_obj", None) is not None:
                if self.tot_bytes_sent + len(data) >= cut["left"]:
                    data = data[:cut["left"] - self.tot_bytes_sent]
                    if data:
                        super().send(data)
                    cut["left"] = 0
                    self.close()  # the link breaks: no end of transfer is sent
                    return 0
            return super().send(data)

        def close(self):
            if not self._closed:
                cmd = "RETR" if getattr(self, "file_obj", None) is not None else self.cmd
                log.write("SENT %s %d\n" % (cmd, self.tot_bytes_sent))
            super().close()

    Handler.dtp_handler = Dtp

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    server.max_cons_per_ip = args.connections_per_address
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
