#!/usr/bin/python3
"""Local operator web service for the launcher's demo and tests.

Two HTTP listeners on one host address:
  login port (default 2356)  POST /webclient/qzclient   login and once-a-second refresh
  web port   (default 80)    POST /charge/freeCoin      free coins (plain JSON)
                             POST /charge/cash          payment page (HTML)
                             POST /charge/cash/buy      buy a coin package (HTML)
                             GET/POST /member/regist    registration page (HTML)
                             GET  /customer             customer centre (HTML)
                             GET  /community/bList/notice  notice list (HTML)

State lives in an SQLite file (--db), created with demo data on first start.
Demo accounts (user id / password, nickname, coins):
  demo    / demo1234   "Lucky Dragon"  12500
  player2 / pass2      "Jade Tiger"     3000
  김철수  / 비밀1234   "철수"          50000

Demo versions: pokerVer 1.0.0, matgoVer 1.2.0, hongsipVer 1.0.0, majakVer 1.0.0,
launcherVer 1.0.0; --set-version KEY=VER overrides one of them for this run.

Usage:
  /usr/bin/python3 operator_service.py --host 127.0.0.1 --db /tmp/operator.db
Prints the demo accounts, then "ready" on stdout once both listeners are bound;
SIGTERM or SIGINT stops it with exit status 0. Stdlib only.
"""

import argparse
import base64
import binascii
import contextlib
import hashlib
import hmac
import html
import json
import random
import re
import signal
import sqlite3
import sys
import threading
import time
import unicodedata
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote_to_bytes, urlsplit

LOGIN_CODE_KEY = "K4T7W2N9Q1X5M8P3"
LOGIN_PATH = "/webclient/qzclient"

VERSION_KEYS = ("pokerVer", "hongsipVer", "majakVer", "matgoVer", "launcherVer")
COUNT_KEYS = ("pokerConnCnt", "hongsipConnCnt", "matgoConnCnt", "majakConnCnt")

DEMO_ACCOUNTS = (
    # user id, password, nickname, coins
    ("demo", "demo1234", "Lucky Dragon", 12500),
    ("player2", "pass2", "Jade Tiger", 3000),
    ("김철수", "비밀1234", "철수", 50000),
)
DEMO_GAMES = (
    # game, version key, version, connection-count key, base count
    ("Poker", "pokerVer", "1.0.0", "pokerConnCnt", 1234),
    ("Matgo", "matgoVer", "1.2.0", "matgoConnCnt", 2345),
    ("Hongsip", "hongsipVer", "1.0.0", "hongsipConnCnt", 456),
    ("Majong", "majakVer", "1.0.0", "majakConnCnt", 789),
    ("Launcher", "launcherVer", "1.0.0", None, 0),
)
DEMO_NOTICES = (
    ("Welcome", "Welcome to the tables! Free coins are waiting in the bottom menu."),
    ("Maintenance", "Servers rest on Sunday from 04:00 to 06:00."),
    ("Matgo 1.2.0", "Faster matching & a brand-new card set."),
    ("공지", "새해 복 많이 받으세요!"),
)

NEW_ACCOUNT_COINS = 10000
FREE_COIN_AMOUNT = 1000
COIN_PACKAGES = {"10000": 10000, "50000": 50000, "100000": 100000}

MAX_BODY = 64 * 1024
# Oversized bodies are read and thrown away up to this size so that the client
# is still listening when the 413 answer arrives; beyond it the socket is closed.
MAX_DRAIN = 8 * 1024 * 1024

# The login body is "userid=" + id + "&pass=" + 32 hex + "&is_mobile=n&code=" + 32 hex.
# The id is raw and may itself hold "&" or "=", so the fixed-length tail is matched
# from the end and everything before it is the id.
LOGIN_BODY = re.compile(
    r"userid=(.*)&pass=([0-9a-f]{32})&is_mobile=n&code=([0-9a-f]{32})", re.DOTALL
)
VERSION_TEXT = re.compile(r"[0-9]+(\.[0-9]+)*")

log_lock = threading.Lock()


def log(line):
    with log_lock:
        sys.stderr.write(time.strftime("%H:%M:%S ") + line + "\n")
        sys.stderr.flush()


def md5_hex(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


class HttpError(Exception):
    """A request the service refuses with an HTTP error status."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status
        self.message = message


class Store:
    """The service's data in SQLite; one connection shared by all request threads under a lock."""

    def __init__(self, path, timeout=5.0):
        self.lock = threading.Lock()
        self.db = sqlite3.connect(path, timeout=timeout, check_same_thread=False,
                                  isolation_level=None)
        self.db.row_factory = sqlite3.Row
        self.version_overrides = {}
        self.last_drift = 0.0
        with self.lock:
            if self.db.execute("PRAGMA user_version").fetchone()[0] == 0:
                self._create()

    @contextlib.contextmanager
    def transaction(self):
        """BEGIN IMMEDIATE ... COMMIT with the lock held. Any failure, the COMMIT's own
        included, rolls back: nothing is half committed, and no transaction is left open
        to refuse every later BEGIN."""
        self.db.execute("BEGIN IMMEDIATE")
        try:
            yield self.db
            self.db.execute("COMMIT")
        except BaseException:
            if self.db.in_transaction:
                try:
                    self.db.execute("ROLLBACK")
                except sqlite3.Error as err:
                    log("rollback failed: {}".format(err))
            raise

    def _create(self):
        with self.transaction() as db:
            self._fill(db)

    def _fill(self, db):
        db.execute(
            "CREATE TABLE accounts (user_id TEXT PRIMARY KEY, nick TEXT NOT NULL,"
            " pass_md5 TEXT NOT NULL, coins INTEGER NOT NULL, last_free_coin REAL)"
        )
        db.execute(
            "CREATE TABLE games (name TEXT PRIMARY KEY, version_key TEXT UNIQUE NOT NULL,"
            " version TEXT NOT NULL, count_key TEXT, base_count INTEGER NOT NULL,"
            " conn_count INTEGER NOT NULL)"
        )
        db.execute(
            "CREATE TABLE notices (id INTEGER PRIMARY KEY AUTOINCREMENT,"
            " subject TEXT NOT NULL, contents TEXT NOT NULL)"
        )
        db.executemany(
            "INSERT INTO accounts (user_id, nick, pass_md5, coins) VALUES (?, ?, ?, ?)",
            [(uid, nick, md5_hex(pw), coins) for uid, pw, nick, coins in DEMO_ACCOUNTS],
        )
        db.executemany(
            "INSERT INTO games VALUES (?, ?, ?, ?, ?, ?)",
            [(g, vk, v, ck, n, n) for g, vk, v, ck, n in DEMO_GAMES],
        )
        db.executemany(
            "INSERT INTO notices (subject, contents) VALUES (?, ?)", DEMO_NOTICES
        )
        db.execute("PRAGMA user_version = 1")

    def close(self):
        with self.lock:
            self.db.close()

    def account(self, user_id):
        with self.lock:
            return self.db.execute(
                "SELECT * FROM accounts WHERE user_id = ?", (user_id,)
            ).fetchone()

    def create_account(self, user_id, nick, password):
        """Returns False when the id is taken."""
        with self.lock:
            try:
                self.db.execute(
                    "INSERT INTO accounts (user_id, nick, pass_md5, coins) VALUES (?, ?, ?, ?)",
                    (user_id, nick, md5_hex(password), NEW_ACCOUNT_COINS),
                )
            except sqlite3.IntegrityError:
                return False
            return True

    def add_coins(self, user_id, amount):
        with self.lock:
            self.db.execute(
                "UPDATE accounts SET coins = coins + ? WHERE user_id = ?", (amount, user_id)
            )

    def claim_free_coins(self, user_id, interval, now):
        """Returns (granted, seconds to wait); None when the user is unknown."""
        with self.lock, self.transaction() as db:
            row = db.execute(
                "SELECT last_free_coin FROM accounts WHERE user_id = ?", (user_id,)
            ).fetchone()
            if row is None:
                return None
            last = row["last_free_coin"]
            # A clock set back must not lock the player out for longer than one interval.
            if last is not None and last <= now < last + interval:
                return False, last + interval - now
            db.execute(
                "UPDATE accounts SET coins = coins + ?, last_free_coin = ? WHERE user_id = ?",
                (FREE_COIN_AMOUNT, now, user_id),
            )
            return True, 0.0

    def versions(self):
        with self.lock:
            rows = self.db.execute("SELECT version_key, version FROM games").fetchall()
        found = {r["version_key"]: r["version"] for r in rows}
        found.update(self.version_overrides)
        return found

    def connection_counts(self):
        """Counts drift a little, at most once a second, so the launcher's counters look alive."""
        with self.lock:
            now = time.monotonic()
            if now - self.last_drift >= 1.0:
                self.last_drift = now
                try:
                    self._drift()
                except sqlite3.Error as err:
                    # Cosmetic: the counts stay as they were this time.
                    log("connection counts not updated: {}".format(err))
            rows = self.db.execute(
                "SELECT count_key, conn_count FROM games WHERE count_key IS NOT NULL"
            ).fetchall()
        return {r["count_key"]: r["conn_count"] for r in rows}

    def _drift(self):
        with self.transaction() as db:
            for row in db.execute(
                "SELECT name, base_count, conn_count FROM games WHERE count_key IS NOT NULL"
            ).fetchall():
                base = row["base_count"]
                low, high = base * 4 // 5, base * 6 // 5 + 1
                count = min(high, max(low, row["conn_count"] + random.randint(-3, 3)))
                db.execute(
                    "UPDATE games SET conn_count = ? WHERE name = ?", (count, row["name"])
                )

    def notices(self):
        with self.lock:
            return self.db.execute(
                "SELECT id, subject, contents FROM notices ORDER BY id"
            ).fetchall()


# ---------------------------------------------------------------------------
# HTML pages

PAGE_STYLE = """
*{box-sizing:border-box}
html,body{margin:0;padding:0}
body{background:#0b2e22 linear-gradient(160deg,#114a36 0%,#0b2e22 55%,#071f17 100%);
 color:#f1ead2;font-family:"Noto Sans","Nanum Gothic","Malgun Gothic",sans-serif;
 font-size:15px;min-height:100vh}
.wrap{max-width:980px;margin:0 auto;padding:18px 24px}
h1{color:#e2b93b;font-size:24px;margin:0 0 14px;padding-bottom:8px;
 border-bottom:2px solid #a8841f;letter-spacing:.5px}
h2{color:#e2b93b;font-size:18px;margin:0 0 8px}
.card{background:rgba(4,24,17,.72);border:1px solid #a8841f;border-radius:10px;
 padding:14px 18px;margin-bottom:14px;box-shadow:0 2px 8px rgba(0,0,0,.4)}
.muted{color:#b8b29a;font-size:13px}
.gold{color:#f5cf57;font-weight:bold}
.msg{padding:10px 14px;border-radius:8px;margin-bottom:14px;font-weight:bold}
.ok{background:#1d5c3c;border:1px solid #5fcf8f}
.err{background:#5c1d1d;border:1px solid #d46a6a}
table{width:100%;border-collapse:collapse}
td,th{padding:8px 10px;border-bottom:1px solid #2e5a45;text-align:left;vertical-align:top}
th{color:#e2b93b;font-weight:normal;width:160px}
label{display:block;margin:8px 0 4px;color:#e2b93b}
input[type=text],input[type=password]{width:100%;max-width:360px;padding:8px 10px;
 border-radius:6px;border:1px solid #a8841f;background:#f7f3e3;color:#1b1b1b;font-size:15px}
button,.btn{display:inline-block;padding:9px 20px;border:1px solid #f5cf57;border-radius:8px;
 background:linear-gradient(#e8c24a,#b58a1c);color:#1d1606;font-weight:bold;font-size:15px;
 cursor:pointer;text-decoration:none}
.packs{display:flex;gap:14px;flex-wrap:wrap}
.pack{flex:1;min-width:200px;text-align:center}
.pack .amount{font-size:22px;color:#f5cf57;margin:6px 0 10px}
.notice{border-left:4px solid #e2b93b}
.notice .subject{color:#f5cf57;font-weight:bold;margin-bottom:4px}
a{color:#f5cf57}
"""


def esc(text):
    return html.escape(str(text), quote=True)


def coins_text(n):
    return "{:,}".format(n)


def render_page(title, body):
    return (
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" + esc(title) + "</title><style>" + PAGE_STYLE + "</style></head>"
        "<body><div class=\"wrap\"><h1>" + esc(title) + "</h1>" + body + "</div></body></html>\n"
    )


def message_box(text, ok):
    return '<div class="msg {}">{}</div>'.format("ok" if ok else "err", esc(text))


def notice_parts(notice, ok):
    """The opening of a page body: the message box, when there is something to say."""
    return [message_box(notice, ok)] if notice else []


def hidden(name, value):
    return '<input type="hidden" name="{}" value="{}">'.format(esc(name), esc(value))


def charge_page(account, pass_value, notice=None, ok=True):
    parts = notice_parts(notice, ok)
    parts.append(
        '<div class="card"><table>'
        "<tr><th>Player</th><td class=\"gold\">{}</td></tr>"
        "<tr><th>Account</th><td>{}</td></tr>"
        "<tr><th>Coins</th><td class=\"gold\" id=\"coins\">{}</td></tr>"
        "</table></div>".format(
            esc(account["nick"]), esc(account["user_id"]), coins_text(account["coins"])
        )
    )
    packs = []
    for key, amount in COIN_PACKAGES.items():
        packs.append(
            '<form class="card pack" method="post" action="/charge/cash/buy">'
            + hidden("userid", account["user_id"])
            + hidden("pass", pass_value)
            + hidden("package", key)
            + '<div>Coin package</div><div class="amount">{} coins</div>'
            '<button type="submit">Add to my account</button></form>'.format(coins_text(amount))
        )
    parts.append('<div class="packs">' + "".join(packs) + "</div>")
    parts.append('<p class="muted">Demo shop: no payment is taken.</p>')
    return render_page("Coin Shop", "".join(parts))


def regist_page(notice=None, ok=False, user_id="", nick=""):
    parts = notice_parts(notice, ok)
    parts.append(
        '<form class="card" method="post" action="/member/regist">'
        '<label for="userid">User id</label>'
        '<input type="text" id="userid" name="userid" maxlength="32" value="{}">'
        '<label for="nick">Nickname</label>'
        '<input type="text" id="nick" name="nick" maxlength="20" value="{}">'
        '<label for="password">Password (at least 4 characters)</label>'
        '<input type="password" id="password" name="password">'
        '<label for="password2">Password again</label>'
        '<input type="password" id="password2" name="password2">'
        '<p><button type="submit">Create account</button></p>'
        '<p class="muted">New players start with {} coins.</p>'
        "</form>".format(esc(user_id), esc(nick), coins_text(NEW_ACCOUNT_COINS))
    )
    return render_page("Join the Tables", "".join(parts))


def customer_page():
    body = (
        '<div class="card"><h2>How can we help?</h2><table>'
        "<tr><th>Free coins</th><td>Press the free-coin button in the launcher's bottom menu "
        "to receive {} coins; after a short wait you can press it again.</td></tr>"
        "<tr><th>Game updates</th><td>Choose a game: the launcher fetches a newer version "
        "before it starts the game.</td></tr>"
        "<tr><th>Forgotten password</th><td>Write to the support desk with your user id.</td></tr>"
        "</table></div>"
        '<div class="card"><h2>Support desk</h2>'
        "<p>Every day 10:00 to 22:00 · support@operator.example</p>"
        '<p><a class="btn" href="/community/bList/notice?is_mobile=y">Read the notices</a></p>'
        "</div>".format(coins_text(FREE_COIN_AMOUNT))
    )
    return render_page("Customer Centre", body)


def notice_page(notices):
    if not notices:
        body = '<div class="card muted">There are no notices.</div>'
    else:
        items = []
        for row in reversed(notices):
            items.append(
                '<div class="card notice"><div class="subject">{}</div><div>{}</div></div>'.format(
                    esc(row["subject"]), esc(row["contents"])
                )
            )
        body = "".join(items)
    return render_page("Notices", body)


# ---------------------------------------------------------------------------
# HTTP


def parse_form(body, plus_is_space):
    """Parses an urlencoded body; the first occurrence of a key wins."""
    fields = {}
    for pair in body.split(b"&"):
        if not pair:
            continue
        key, _, value = pair.partition(b"=")
        if plus_is_space:
            key, value = key.replace(b"+", b" "), value.replace(b"+", b" ")
        try:
            key = unquote_to_bytes(key).decode("utf-8")
            value = unquote_to_bytes(value).decode("utf-8")
        except UnicodeDecodeError:
            raise HttpError(400, "The form data is not UTF-8.")
        fields.setdefault(key, value)
    return fields


class ServiceHandler(BaseHTTPRequestHandler):
    """Request handler shared by both listeners; each runs on its own server thread.
    Subclasses name their routes: {path: {method: (handler name, error format)}}."""

    server_version = "OperatorService/1.0"
    # A client that stops sending must not hold a thread forever.
    timeout = 15
    routes = {}
    not_found_format = "text"

    def __getattr__(self, name):
        # Every method the routes do not know answers 405/404 instead of the stock 501.
        if name.startswith("do_"):
            return self.dispatch
        raise AttributeError(name)

    def dispatch(self):
        self.note = ""
        split = urlsplit(self.path)
        path = split.path
        if len(path) > 1 and path.endswith("/"):
            path = path[:-1]
        self.query = split.query
        methods = self.routes.get(path)
        if methods is None:
            self.fail(HttpError(404, "Not found."), self.not_found_format)
            return
        route = methods.get(self.command)
        if route is None:
            self.allow = ", ".join(sorted(methods))
            self.fail(HttpError(405, "Method not allowed."), self.not_found_format)
            return
        name, error_format = route
        try:
            getattr(self, name)()
        except HttpError as err:
            self.fail(err, error_format)
        except (ConnectionError, TimeoutError) as err:
            self.close_connection = True
            log("{} {} {} aborted: {}".format(self.client_address[0], self.command, path, err))
        except Exception as err:  # a fault in one request must not take the service down
            log("{} {} {} internal error: {!r}".format(
                self.client_address[0], self.command, path, err))
            self.fail(HttpError(500, "Internal error."), error_format)

    # -- request body --------------------------------------------------------

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            self.close_connection = True
            raise HttpError(411, "A Content-Length is required.")
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            raise HttpError(411, "A Content-Length is required.")
        try:
            length = int(length_text.strip())
        except ValueError:
            length = -1
        if length < 0 or not length_text.strip().isdigit():
            self.close_connection = True
            raise HttpError(400, "Bad Content-Length.")
        if length > MAX_BODY:
            self.close_connection = True
            if length <= MAX_DRAIN:
                remaining = length
                while remaining > 0:
                    chunk = self.rfile.read(min(remaining, 65536))
                    if not chunk:
                        break
                    remaining -= len(chunk)
            raise HttpError(413, "The request body is too large.")
        body = self.rfile.read(length)
        if len(body) != length:
            self.close_connection = True
            raise HttpError(400, "The request body ended early.")
        return body

    def read_form(self):
        content_type = self.headers.get_content_type()
        if "Content-Type" in self.headers and content_type != "application/x-www-form-urlencoded":
            raise HttpError(415, "Form data expected.")
        body = self.read_body()
        # The launcher's forms label their charset and keep "+" as a plain character;
        # HTML forms of a browser send no charset and turn spaces into "+".
        plus_is_space = self.headers.get_param("charset") is None
        return parse_form(body, plus_is_space)

    @staticmethod
    def field(form, name):
        value = form.get(name)
        if value is None:
            raise HttpError(400, "The field {} is missing.".format(name))
        return value

    # -- answers ------------------------------------------------------------

    def respond(self, status, content_type, body, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for key, value in headers:
            self.send_header(key, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def respond_html(self, status, page):
        self.respond(status, "text/html; charset=utf-8", page.encode("utf-8"))

    def respond_json(self, obj):
        body = json.dumps(obj, ensure_ascii=False, separators=(",", ":")).encode("utf-8")
        self.respond(200, "application/json; charset=utf-8", body)

    def fail(self, err, error_format):
        self.note = (self.note + " " if self.note else "") + err.message
        headers = []
        if err.status == 405:
            headers.append(("Allow", getattr(self, "allow", "")))
        if self.close_connection:
            headers.append(("Connection", "close"))
        if error_format == "html":
            page = render_page("Sorry", message_box(err.message, False))
            body, ctype = page.encode("utf-8"), "text/html; charset=utf-8"
        elif error_format == "json":
            body = json.dumps({"status": "FAIL", "msg": err.message}, ensure_ascii=False)
            body, ctype = body.encode("utf-8"), "application/json; charset=utf-8"
        else:
            body, ctype = (err.message + "\n").encode("utf-8"), "text/plain; charset=utf-8"
        try:
            self.respond(err.status, ctype, body, headers)
        except OSError:
            self.close_connection = True

    def send_error(self, code, message=None, explain=None):
        # Malformed request lines and headers end up here, before any route is chosen.
        self.note = message or ""
        self.close_connection = True
        # A garbled request line leaves the version at HTTP/0.9, which would suppress the
        # status line; every client of this service speaks HTTP/1.x.
        self.request_version = "HTTP/1.0"
        body = "{} {}\n".format(code, message or "").encode("utf-8")
        try:
            self.send_response(code, message)
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            if getattr(self, "command", None) != "HEAD" and code >= 200 and code not in (204, 304):
                self.wfile.write(body)
        except OSError:
            pass

    def log_request(self, code="-", size="-"):
        # One line per request; bodies (which carry digests and passwords) are never logged.
        path = urlsplit(getattr(self, "path", "") or "").path
        note = getattr(self, "note", "")
        code = getattr(code, "value", code)
        log("{} {} {} {}{}".format(
            self.client_address[0], getattr(self, "command", None) or "-", path or "-", code,
            " (" + note + ")" if note else ""))

    def log_error(self, format, *args):
        pass

    def log_message(self, format, *args):
        pass


class LoginHandler(ServiceHandler):
    """Login and refresh exchange on the login port."""

    routes = {LOGIN_PATH: {"POST": ("handle_login", "text")}}

    def handle_login(self):
        body = self.read_body()
        try:
            text = body.decode("ascii")
        except UnicodeDecodeError:
            raise HttpError(400, "The form data is not ASCII.")
        value = None
        for pair in text.split("&"):
            key, sep, val = pair.partition("=")
            if key == "c" and sep:
                value = val
                break
        if value is None:
            raise HttpError(400, "The field c is missing.")
        # "+" is part of the Base64 alphabet here, never a space; only percent escapes
        # (Qt writes the padding "=" as %3D) are undone.
        if "%" in value:
            value = unquote_to_bytes(value).decode("latin-1")
        try:
            raw = base64.b64decode(value.strip(), validate=True)
        except (binascii.Error, ValueError):
            raise HttpError(400, "The field c is not Base64.")
        try:
            plain = raw.decode("utf-8")
        except UnicodeDecodeError:
            raise HttpError(400, "The login body is not UTF-8.")
        match = LOGIN_BODY.fullmatch(plain)
        if match is None:
            raise HttpError(400, "The login body is malformed.")
        user_id, pass_md5, code = match.groups()
        self.note = "user " + ascii(user_id)
        expected = md5_hex(user_id + LOGIN_CODE_KEY + pass_md5)
        if not hmac.compare_digest(code, expected):
            self.refuse("The login request could not be verified.")
            return
        account = self.server.store.account(user_id)
        if account is None or not hmac.compare_digest(account["pass_md5"], pass_md5):
            self.refuse("Wrong user id or password.")
            return
        store = self.server.store
        versions = store.versions()
        counts = store.connection_counts()
        reply = {
            "status": "OK",
            "versionInfo": {key: str(versions.get(key, "0.0")) for key in VERSION_KEYS},
            "connUserInfo": {key: str(counts.get(key, 0)) for key in COUNT_KEYS},
            "userInfo": {"nick": account["nick"], "coin": str(account["coins"])},
            "notices": [
                {"subject": row["subject"], "contents": row["contents"]}
                for row in store.notices()
            ],
        }
        self.note += " OK"
        self.send_wrapped(reply)

    def refuse(self, message):
        self.note += " refused: " + message
        self.send_wrapped({"status": "FAIL", "msg": message})

    def send_wrapped(self, obj):
        text = json.dumps(obj, ensure_ascii=False, separators=(",", ":"))
        body = base64.b64encode(text.encode("utf-8"))
        self.respond(200, "text/plain; charset=utf-8", body)


class WebHandler(ServiceHandler):
    """Free coins, payment, registration and information pages on the web port."""

    routes = {
        "/charge/freeCoin": {"POST": ("handle_free_coin", "json")},
        "/charge/cash": {"POST": ("handle_charge", "html")},
        "/charge/cash/buy": {"POST": ("handle_buy", "html")},
        "/member/regist": {"GET": ("handle_regist_form", "html"),
                           "POST": ("handle_regist", "html")},
        "/customer": {"GET": ("handle_customer", "html")},
        "/community/bList/notice": {"GET": ("handle_notices", "html")},
    }
    not_found_format = "html"

    def handle_free_coin(self):
        form = self.read_form()
        user_id = self.field(form, "userid")
        self.note = "user " + ascii(user_id)
        result = self.server.store.claim_free_coins(
            user_id, self.server.free_coin_interval, time.time()
        )
        if result is None:
            answer = {"status": "FAIL", "msg": "Unknown user id."}
        elif result[0]:
            answer = {"status": "OK", "msg": "You received {} free coins.".format(
                coins_text(FREE_COIN_AMOUNT))}
        else:
            wait = max(1, int(result[1] + 0.999))
            answer = {"status": "FAIL",
                      "msg": "Free coins are available again in {} seconds.".format(wait)}
        self.note += " " + answer["status"]
        self.respond_json(answer)

    def checked_account(self, form):
        """The account named by the form's userid, if its pass (Base64 of the password
        digest) matches; otherwise the request is refused."""
        user_id = self.field(form, "userid")
        pass_value = self.field(form, "pass")
        self.note = "user " + ascii(user_id)
        try:
            digest = base64.b64decode(pass_value.strip(), validate=True).decode("ascii")
        except (binascii.Error, ValueError):
            digest = ""
        account = self.server.store.account(user_id)
        if account is None or not hmac.compare_digest(account["pass_md5"], digest):
            raise HttpError(
                403, "We could not confirm your account. Please log in again and reopen the shop."
            )
        return account, pass_value

    def handle_charge(self):
        account, pass_value = self.checked_account(self.read_form())
        self.respond_html(200, charge_page(account, pass_value))

    def handle_buy(self):
        form = self.read_form()
        account, pass_value = self.checked_account(form)
        package = self.field(form, "package")
        amount = COIN_PACKAGES.get(package)
        if amount is None:
            raise HttpError(400, "Unknown coin package.")
        self.server.store.add_coins(account["user_id"], amount)
        self.note += " bought " + package
        account = self.server.store.account(account["user_id"])
        notice = "{} coins were added to your account.".format(coins_text(amount))
        self.respond_html(200, charge_page(account, pass_value, notice))

    def handle_regist_form(self):
        self.respond_html(200, regist_page())

    def handle_regist(self):
        form = self.read_form()
        user_id = self.field(form, "userid")
        password = self.field(form, "password")
        nick = form.get("nick", "").strip() or user_id
        confirm = form.get("password2")
        self.note = "user " + ascii(user_id)

        def bad(text):
            return any(unicodedata.category(ch)[0] == "C" or ch.isspace() for ch in text)

        problem = None
        if not user_id:
            problem = "Please choose a user id."
        elif len(user_id) > 32 or bad(user_id):
            problem = "A user id has at most 32 characters and no spaces."
        elif len(nick) > 20 or any(unicodedata.category(ch)[0] == "C" for ch in nick):
            problem = "A nickname has at most 20 characters."
        elif len(password) < 4:
            problem = "The password needs at least 4 characters."
        elif len(password) > 64:
            problem = "The password can have at most 64 characters."
        elif confirm is not None and confirm != password:
            problem = "The two passwords differ."
        if problem:
            self.note += " " + problem
            self.respond_html(400, regist_page(problem, False, user_id, nick))
            return
        if not self.server.store.create_account(user_id, nick, password):
            self.note += " taken"
            self.respond_html(409, regist_page(
                "This user id is already taken. Please choose another one.", False, user_id, nick))
            return
        self.note += " created"
        body = message_box("Welcome, {}! Your account {} is ready with {} coins. "
                           "Log in from the launcher to play.".format(
                               nick, user_id, coins_text(NEW_ACCOUNT_COINS)), True)
        self.respond_html(200, render_page("Join the Tables", body))

    def handle_customer(self):
        self.respond_html(200, customer_page())

    def handle_notices(self):
        self.respond_html(200, notice_page(self.server.store.notices()))


class Server(ThreadingHTTPServer):
    daemon_threads = True
    # The stock backlog of 5 resets connections when several clients arrive at once.
    request_queue_size = 128


def version_setting(text):
    key, sep, version = text.partition("=")
    if not sep or key not in VERSION_KEYS:
        raise argparse.ArgumentTypeError(
            "expected KEY=VERSION with KEY one of " + ", ".join(VERSION_KEYS))
    if not VERSION_TEXT.fullmatch(version):
        raise argparse.ArgumentTypeError("a version is dot-separated numbers such as 1.2.3")
    return key, version


def port_number(text):
    port = int(text)
    if not 0 < port < 65536:
        raise argparse.ArgumentTypeError("port out of range")
    return port


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local operator web service.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--login-port", type=port_number, default=2356)
    parser.add_argument("--web-port", type=port_number, default=80)
    parser.add_argument("--db", required=True, help="SQLite file, created with demo data")
    parser.add_argument("--set-version", type=version_setting, action="append", default=[],
                        metavar="KEY=VER", help="announce VER for KEY (e.g. matgoVer=2.0.0)")
    parser.add_argument("--free-coin-interval", type=float, default=60.0, metavar="SECONDS",
                        help="shortest time between two free-coin gifts to one player")
    parser.add_argument("--db-timeout", type=float, default=5.0, metavar="SECONDS",
                        help="how long to wait for a database another process has locked")
    args = parser.parse_args(argv)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    try:
        store = Store(args.db, args.db_timeout)
    except sqlite3.Error as err:
        print("operator_service: cannot open {}: {}".format(args.db, err), file=sys.stderr)
        return 1
    store.version_overrides = dict(args.set_version)

    servers = []
    try:
        for port, handler in ((args.login_port, LoginHandler), (args.web_port, WebHandler)):
            server = Server((args.host, port), handler)
            server.store = store
            server.free_coin_interval = args.free_coin_interval
            servers.append(server)
    except OSError as err:
        print("operator_service: cannot listen on {}:{}: {}".format(args.host, port, err),
              file=sys.stderr)
        for server in servers:
            server.server_close()
        store.close()
        return 1

    print("Demo accounts (user id / password):")
    for user_id, password, nick, _ in DEMO_ACCOUNTS:
        print("  {} / {}  ({})".format(user_id, password, nick))
    print("Login: http://{}:{}{}".format(args.host, servers[0].server_port, LOGIN_PATH))
    print("Web:   http://{}:{}/".format(args.host, servers[1].server_port))
    print("ready", flush=True)

    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2})
               for s in servers]
    for thread in threads:
        thread.start()
    while not stop.wait(0.5):
        pass
    for server in servers:
        server.shutdown()
    for thread in threads:
        thread.join()
    for server in servers:
        server.server_close()
    store.close()
    log("stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
