"""Tests of operator_service.py over real HTTP on loopback.

Each test class runs the service as a child process on its own loopback address with
ports the kernel found free, over a temporary database. Requests are built here from
the wire format, independently of the service's code.
"""

import base64
import contextlib
import hashlib
import html
import http.client
import json
import os
import signal
import socket
import sqlite3
import tempfile
import threading
import time
import unittest
from html.parser import HTMLParser
from urllib.parse import quote, urlencode

from service_runner import Runner, free_port, start_ready

HOST = "127.0.0.7"
CODE_KEY = "K4T7W2N9Q1X5M8P3"
QT_FORM = "application/x-www-form-urlencoded; charset=utf-8"
BROWSER_FORM = "application/x-www-form-urlencoded"


def md5_hex(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def login_plain(user_id, password, p=None, code=None):
    p = md5_hex(password) if p is None else p
    code = md5_hex(user_id + CODE_KEY + p) if code is None else code
    return "userid=" + user_id + "&pass=" + p + "&is_mobile=n&code=" + code


def wrap(plain):
    return "c=" + base64.b64encode(plain.encode("utf-8")).decode("ascii")


def pass_value(password):
    """What the launcher sends as "pass" to the payment page: Base64 of the hex digest."""
    return base64.b64encode(md5_hex(password).encode("ascii")).decode("ascii")


def qt_form(pairs):
    """A form body as the launcher's Qt code writes it: "+" and spaces stay as they are,
    "&", "=" and "%" are percent-escaped, other text is raw UTF-8."""
    def part(text):
        return text.replace("%", "%25").replace("&", "%26").replace("=", "%3D")
    return "&".join(part(k) + "=" + part(v) for k, v in pairs).encode("utf-8")


class Forms(HTMLParser):
    """Collects each form's method, action and named input values."""

    def __init__(self):
        super().__init__()
        self.forms = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "form":
            self.forms.append({"method": (attrs.get("method") or "get").lower(),
                               "action": attrs.get("action"), "fields": {}})
        elif tag == "input" and self.forms and attrs.get("name"):
            self.forms[-1]["fields"][attrs["name"]] = attrs.get("value") or ""


def parse_forms(page):
    parser = Forms()
    parser.feed(page)
    return parser.forms


class ServiceCase(unittest.TestCase):
    """Starts one service for the class; subclasses add arguments."""

    extra_args = []

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.tmp.cleanup)
        cls.db_path = os.path.join(cls.tmp.name, "operator.db")
        cls.login_port = free_port(HOST)
        cls.web_port = free_port(HOST)
        cls.service = start_ready("operator_service.py", [
            "--host", HOST, "--login-port", str(cls.login_port),
            "--web-port", str(cls.web_port), "--db", cls.db_path] + cls.extra_args,
            os.path.join(cls.tmp.name, "service.log"), "operator service")
        cls.addClassCleanup(cls.service.stop)

    # -- plain HTTP -------------------------------------------------------------

    def request(self, port, method, path, body=None, content_type=None, headers=None):
        conn = http.client.HTTPConnection(HOST, port, timeout=30)
        try:
            all_headers = dict(headers or {})
            if content_type:
                all_headers["Content-Type"] = content_type
            conn.request(method, path, body=body, headers=all_headers)
            reply = conn.getresponse()
            return reply.status, reply.getheader("Content-Type", ""), reply.read()
        finally:
            conn.close()

    def raw_request(self, port, data, shut_write=False):
        """Sends raw bytes and returns the status code of the answer."""
        with socket.create_connection((HOST, port), timeout=30) as sock:
            sock.sendall(data)
            if shut_write:
                sock.shutdown(socket.SHUT_WR)
            answer = b""
            while b"\r\n" not in answer:
                chunk = sock.recv(4096)
                if not chunk:
                    break
                answer += chunk
        return int(answer.split(b" ", 2)[1])

    # -- the service's operations --------------------------------------------------

    def post_login(self, body, content_type=QT_FORM):
        if isinstance(body, str):
            body = body.encode("utf-8")
        return self.request(self.login_port, "POST", "/webclient/qzclient", body, content_type)

    def login(self, user_id, password, **kwargs):
        """Logs in and returns the decoded reply object."""
        status, ctype, body = self.post_login(wrap(login_plain(user_id, password, **kwargs)))
        self.assertEqual(status, 200)
        self.assertIn("charset=utf-8", ctype.lower())
        return json.loads(base64.b64decode(body, validate=True).decode("utf-8"))

    def assert_login_ok(self, user_id, password):
        reply = self.login(user_id, password)
        self.assertEqual(reply.get("status"), "OK", reply)
        return reply

    def assert_login_refused(self, user_id, password, **kwargs):
        reply = self.login(user_id, password, **kwargs)
        self.assertNotEqual(reply.get("status"), "OK")
        self.assertIsInstance(reply.get("msg"), str)
        self.assertTrue(reply["msg"])
        return reply

    def coins(self, user_id, password):
        return int(self.assert_login_ok(user_id, password)["userInfo"]["coin"])

    def web(self, method, path, body=None, content_type=None):
        if isinstance(body, str):
            body = body.encode("utf-8")
        return self.request(self.web_port, method, path, body, content_type)

    def page(self, method, path, body=None, content_type=None):
        status, ctype, data = self.web(method, path, body, content_type)
        self.assertTrue(ctype.lower().startswith("text/html"), ctype)
        self.assertIn("charset=utf-8", ctype.lower())
        return status, data.decode("utf-8")

    def register(self, user_id, password, nick="", confirm=None):
        form = [("userid", user_id), ("nick", nick), ("password", password),
                ("password2", password if confirm is None else confirm)]
        return self.page("POST", "/member/regist", urlencode(form), BROWSER_FORM)

    def registered(self, user_id, password, nick=""):
        status, text = self.register(user_id, password, nick)
        self.assertEqual(status, 200, text)
        return user_id

    def free_coin(self, user_id):
        status, ctype, body = self.web("POST", "/charge/freeCoin?",
                                       qt_form([("userid", user_id), ("is_mobile", "n")]),
                                       QT_FORM)
        self.assertEqual(status, 200)
        self.assertIn("charset=utf-8", ctype.lower())
        return json.loads(body.decode("utf-8"))

    def charge_page(self, user_id, pass_text):
        return self.page("POST", "/charge/cash", qt_form(
            [("userid", user_id), ("pass", pass_text), ("is_mobile", "y")]), QT_FORM)


class LoginTest(ServiceCase):
    extra_args = ["--set-version", "matgoVer=2.0.0", "--set-version", "launcherVer=1.1.0"]

    def test_reply_has_every_key_as_text(self):
        reply = self.assert_login_ok("demo", "demo1234")
        expected = {
            "versionInfo": {"pokerVer", "hongsipVer", "majakVer", "matgoVer", "launcherVer"},
            "connUserInfo": {"pokerConnCnt", "hongsipConnCnt", "matgoConnCnt", "majakConnCnt"},
            "userInfo": {"nick", "coin"},
        }
        for name, keys in expected.items():
            with self.subTest(object=name):
                self.assertEqual(set(reply[name]), keys)
                for key, value in reply[name].items():
                    self.assertIsInstance(value, str, key)
        for key in expected["connUserInfo"]:
            self.assertTrue(reply["connUserInfo"][key].isdigit(), key)
        self.assertEqual(reply["userInfo"], {"nick": "Lucky Dragon", "coin": "12500"})
        self.assertIsInstance(reply["notices"], list)
        self.assertTrue(reply["notices"])
        for notice in reply["notices"]:
            self.assertEqual(set(notice), {"subject", "contents"})
            self.assertIsInstance(notice["subject"], str)
            self.assertIsInstance(notice["contents"], str)

    def test_set_version_is_announced(self):
        versions = self.assert_login_ok("demo", "demo1234")["versionInfo"]
        self.assertEqual(versions, {"pokerVer": "1.0.0", "matgoVer": "2.0.0",
                                    "hongsipVer": "1.0.0", "majakVer": "1.0.0",
                                    "launcherVer": "1.1.0"})

    def test_demo_accounts(self):
        for user_id, password, nick in (("demo", "demo1234", "Lucky Dragon"),
                                        ("player2", "pass2", "Jade Tiger"),
                                        ("김철수", "비밀1234", "철수")):
            with self.subTest(user=user_id):
                self.assertEqual(self.assert_login_ok(user_id, password)["userInfo"]["nick"], nick)

    def test_ids_holding_form_delimiters(self):
        cases = ["a&b=c", "&pass=x", "k=v&is_mobile=n", "=&=&", "x&code=y", "plus+slash/"]
        for number, user_id in enumerate(cases):
            with self.subTest(user=user_id):
                nick = "Delim {}".format(number)
                self.registered(user_id, "pw{}pw".format(number), nick)
                reply = self.assert_login_ok(user_id, "pw{}pw".format(number))
                self.assertEqual(reply["userInfo"]["nick"], nick)
                self.assert_login_refused(user_id, "wrong")

    def test_non_ascii_id_and_password(self):
        self.registered("이영희", "암호★12", "영희")
        self.assertEqual(self.assert_login_ok("이영희", "암호★12")["userInfo"]["nick"], "영희")
        self.assert_login_refused("이영희", "암호★13")

    def test_refusals(self):
        good_p = md5_hex("demo1234")
        demo_code = md5_hex("demo" + CODE_KEY + good_p)
        cases = [
            ("wrong code", "demo", "demo1234", {"code": demo_code[:-1] + ("0" if demo_code[-1] != "0" else "1")}),
            ("code of another id", "player2", "pass2", {"code": md5_hex("demo" + CODE_KEY + md5_hex("pass2"))}),
            ("code without key", "demo", "demo1234", {"code": md5_hex("demo" + good_p)}),
            ("unknown user", "nobody", "demo1234", {}),
            ("bad password", "demo", "demo12345", {}),
            ("password of another user", "demo", "pass2", {}),
            ("empty id", "", "demo1234", {}),
            ("id differs in case", "Demo", "demo1234", {}),
        ]
        for name, user_id, password, kwargs in cases:
            with self.subTest(name):
                self.assert_login_refused(user_id, password, **kwargs)

    def test_malformed_requests_are_client_errors(self):
        good = wrap(login_plain("demo", "demo1234"))
        upper = login_plain("demo", "demo1234", p=md5_hex("demo1234").upper())
        no_code = "userid=demo&pass=" + md5_hex("demo1234") + "&is_mobile=n"
        b64 = lambda raw: "c=" + base64.b64encode(raw).decode("ascii")
        cases = [
            ("no c", "x=1", 400),
            ("empty body", "", 400),
            ("empty c", "c=", 400),
            ("c without value sign", "c", 400),
            ("garbage Base64", "c=!!!not*base64!!!", 400),
            ("Base64 with a space for plus", good.replace("+", " ") if "+" in good else "c=ab cd", 400),
            ("truncated Base64", good[:-3], 400),
            ("not UTF-8 inside", b64(b"userid=\xff\xfe&pass="), 400),
            ("wrong shape", b64(b"hello world"), 400),
            ("upper-case digest", wrap(upper), 400),
            ("no code", wrap(no_code), 400),
            ("mobile flag y", wrap(login_plain("demo", "demo1234").replace("is_mobile=n", "is_mobile=y")), 400),
            ("raw non-ASCII body", "c=김철수", 400),
            ("huge body", "c=" + "QUFB" * (256 * 1024), 413),
            ("JSON body", '{"userid":"demo"}', 400),
        ]
        for name, body, expected in cases:
            with self.subTest(name):
                status, _, _ = self.post_login(body)
                self.assertEqual(status, expected)
        self.assertEqual(self.post_login(good)[0], 200)

    def test_wrong_method_path_and_framing(self):
        good = wrap(login_plain("demo", "demo1234")).encode("ascii")
        length = str(len(good)).encode("ascii")
        cases = [
            ("GET on login path", b"GET /webclient/qzclient HTTP/1.1\r\nHost: x\r\n\r\n", False, 405),
            ("PUT on login path", b"PUT /webclient/qzclient HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", False, 405),
            ("unknown method", b"BREW /webclient/qzclient HTTP/1.1\r\nHost: x\r\n\r\n", False, 405),
            ("unknown path", b"POST /webclient/other HTTP/1.1\r\nHost: x\r\nContent-Length: " + length + b"\r\n\r\n" + good, False, 404),
            ("web page on login port", b"GET /customer?is_mobile=y HTTP/1.1\r\nHost: x\r\n\r\n", False, 404),
            ("no length", b"POST /webclient/qzclient HTTP/1.1\r\nHost: x\r\n\r\n" + good, True, 411),
            ("chunked", b"POST /webclient/qzclient HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nc=ab\r\n0\r\n\r\n", False, 411),
            ("bad length", b"POST /webclient/qzclient HTTP/1.1\r\nHost: x\r\nContent-Length: ten\r\n\r\n" + good, False, 400),
            ("negative length", b"POST /webclient/qzclient HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n" + good, False, 400),
            ("body ends early", b"POST /webclient/qzclient HTTP/1.1\r\nHost: x\r\nContent-Length: 500\r\n\r\n" + good, True, 400),
            ("garbage request line", b"HELLO THERE WORLD\r\n\r\n", False, 400),
            ("header without colon", b"POST /webclient/qzclient HTTP/1.1\r\nHost x\r\n\r\n", False, 411),
        ]
        for name, data, shut_write, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.raw_request(self.login_port, data, shut_write), expected)
        self.assert_login_ok("demo", "demo1234")

    def test_base64_keeps_plus_slash_and_padding(self):
        # Pick an id whose wrapped body holds "+", "/" and padding, so that a server
        # turning "+" into a space, or mishandling %3D, would refuse it.
        for number in range(100000):
            user_id = "wire{}".format(number)
            text = base64.b64encode(login_plain(user_id, "secret").encode()).decode()
            if "+" in text and "/" in text and text.endswith("="):
                break
        self.registered(user_id, "secret", "Wire")
        variants = {
            "as is": "c=" + text,
            "padding escaped as Qt writes it": "c=" + text.replace("=", "%3D"),
            "fully percent-encoded": "c=" + quote(text, safe=""),
            "after another pair": "x=1&c=" + text,
            "before another pair": "c=" + text + "&x=1",
        }
        for name, body in variants.items():
            with self.subTest(name):
                status, _, data = self.post_login(body)
                self.assertEqual(status, 200)
                reply = json.loads(base64.b64decode(data, validate=True))
                self.assertEqual(reply["status"], "OK")
                self.assertEqual(reply["userInfo"]["nick"], "Wire")

    def test_concurrent_logins(self):
        # Many launchers refresh at the same moment; none may be turned away.
        count = 48
        results = []
        start = threading.Barrier(count)

        def one():
            try:
                start.wait(30)
                _, _, data = self.post_login(wrap(login_plain("player2", "pass2")))
                results.append(json.loads(base64.b64decode(data))["status"])
            except Exception as err:  # collected and checked below
                results.append(repr(err))

        threads = [threading.Thread(target=one) for _ in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(60)
        self.assertEqual(results, ["OK"] * count)


class WebTest(ServiceCase):
    def test_free_coins(self):
        user_id = self.registered("freebie", "free1234")
        before = self.coins(user_id, "free1234")
        first = self.free_coin(user_id)
        self.assertEqual(first, {"status": "OK", "msg": "You received 1,000 free coins."})
        self.assertEqual(self.coins(user_id, "free1234"), before + 1000)
        second = self.free_coin(user_id)
        self.assertNotEqual(second["status"], "OK")
        self.assertTrue(second["msg"])
        self.assertEqual(self.coins(user_id, "free1234"), before + 1000)
        unknown = self.free_coin("nobody-here")
        self.assertNotEqual(unknown["status"], "OK")
        self.assertIsInstance(unknown["msg"], str)

    def test_free_coins_for_id_with_plus_and_delimiters(self):
        # The launcher's form keeps "+" and writes "&" and "=" escaped.
        user_id = self.registered("f+&=x", "free1234")
        self.assertEqual(self.free_coin(user_id)["status"], "OK")
        self.assertEqual(self.coins(user_id, "free1234"), 11000)

    def test_free_coin_bad_requests(self):
        cases = [
            ("no userid", "POST", "/charge/freeCoin?", b"is_mobile=n", QT_FORM, 400),
            ("GET", "GET", "/charge/freeCoin?userid=demo", None, None, 405),
            ("not a form", "POST", "/charge/freeCoin", b'{"userid":"demo"}', "application/json", 415),
            ("not UTF-8", "POST", "/charge/freeCoin", b"userid=%ff%fe&is_mobile=n", QT_FORM, 400),
        ]
        for name, method, path, body, ctype, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.web(method, path, body, ctype)[0], expected)

    def test_payment_page_and_purchase(self):
        user_id = self.registered("shopper", "shop1234", "Big Spender")
        status, page = self.charge_page(user_id, pass_value("shop1234"))
        self.assertEqual(status, 200)
        self.assertIn('<meta charset="utf-8">', page)
        self.assertIn("Big Spender", page)
        self.assertIn("10,000", page)
        buy_forms = [f for f in parse_forms(page) if f["fields"].get("package") == "50000"]
        self.assertEqual(len(buy_forms), 1)
        form = buy_forms[0]
        self.assertEqual(form["method"], "post")
        # Submit the page's own form the way a browser does.
        status, after = self.page("POST", form["action"],
                                  urlencode(form["fields"]), BROWSER_FORM)
        self.assertEqual(status, 200)
        self.assertIn("60,000", after)
        self.assertEqual(self.coins(user_id, "shop1234"), 60000)

    def test_payment_for_non_ascii_account(self):
        status, page = self.charge_page("김철수", pass_value("비밀1234"))
        self.assertEqual(status, 200)
        self.assertIn("철수", page)

    def test_payment_refused_without_matching_pass(self):
        user_id = self.registered("guarded", "guard1234", "Guard Nick")
        cases = [
            ("wrong password", user_id, pass_value("guard12345")),
            ("clear password", user_id, "guard1234"),
            ("digest not wrapped", user_id, md5_hex("guard1234")),
            ("not Base64", user_id, "%%%"),
            ("empty", user_id, ""),
            ("unknown user", "nobody-here", pass_value("guard1234")),
        ]
        for name, uid, pass_text in cases:
            with self.subTest(name):
                status, page = self.charge_page(uid, pass_text)
                self.assertEqual(status, 403)
                self.assertNotIn("Guard Nick", page)
                self.assertNotIn("10,000", page)
        for name, uid, pass_text in cases:
            with self.subTest("buy: " + name):
                body = urlencode([("userid", uid), ("pass", pass_text), ("package", "10000")])
                status, _ = self.page("POST", "/charge/cash/buy", body, BROWSER_FORM)
                self.assertEqual(status, 403)
        self.assertEqual(self.coins(user_id, "guard1234"), 10000)

    def test_payment_bad_requests(self):
        user_id = self.registered("picky", "pick1234")
        good = [("userid", user_id), ("pass", pass_value("pick1234"))]
        cases = [
            ("unknown package", "/charge/cash/buy", good + [("package", "999999")], 400),
            ("negative package", "/charge/cash/buy", good + [("package", "-10000")], 400),
            ("no package", "/charge/cash/buy", good, 400),
            ("no pass", "/charge/cash", good[:1], 400),
            ("no userid", "/charge/cash", good[1:], 400),
        ]
        for name, path, form, expected in cases:
            with self.subTest(name):
                status, _ = self.page("POST", path, urlencode(form), BROWSER_FORM)
                self.assertEqual(status, expected)
        self.assertEqual(self.web("GET", "/charge/cash")[0], 405)
        self.assertEqual(self.coins(user_id, "pick1234"), 10000)

    def test_registration(self):
        status, form_page = self.page("GET", "/member/regist")
        self.assertEqual(status, 200)
        forms = parse_forms(form_page)
        self.assertEqual(len(forms), 1)
        self.assertEqual((forms[0]["method"], forms[0]["action"]), ("post", "/member/regist"))
        self.assertLessEqual({"userid", "password"}, set(forms[0]["fields"]))

        status, _ = self.register("newbie", "new1234", "New Bie")
        self.assertEqual(status, 200)
        reply = self.assert_login_ok("newbie", "new1234")
        self.assertEqual(reply["userInfo"], {"nick": "New Bie", "coin": "10000"})

        status, page = self.register("newbie", "other1234", "Impostor")
        self.assertEqual(status, 409)
        self.assertIn("taken", page)
        self.assert_login_ok("newbie", "new1234")
        self.assert_login_refused("newbie", "other1234")

    def test_registration_rejects_bad_input(self):
        cases = [
            ("empty id", "", "pass1234", None),
            ("short password", "shorty", "abc", None),
            ("id with space", "two words", "pass1234", None),
            ("id with tab", "tab\tbed", "pass1234", None),
            ("id too long", "x" * 33, "pass1234", None),
            ("passwords differ", "differ", "pass1234", "pass12345"),
        ]
        for name, user_id, password, confirm in cases:
            with self.subTest(name):
                status, page = self.register(user_id, password, "Nick", confirm)
                self.assertEqual(status, 400)
                self.assertIn("<form", page)
                if user_id:
                    self.assert_login_refused(user_id, password)
        status, _ = self.page("POST", "/member/regist", urlencode([("userid", "nopass")]),
                              BROWSER_FORM)
        self.assertEqual(status, 400)

    def test_registration_spaces_in_browser_form(self):
        # A browser sends a space as "+": the nickname must come back with its space.
        body = "userid=spacer&nick=Two+Words%2B&password=pass+1234&password2=pass+1234"
        status, _ = self.page("POST", "/member/regist", body, BROWSER_FORM)
        self.assertEqual(status, 200)
        self.assertEqual(self.assert_login_ok("spacer", "pass 1234")["userInfo"]["nick"],
                         "Two Words+")

    def test_stored_text_is_escaped(self):
        nick = '<b id="x">Bold</b>&'
        self.registered("escaper", "esc1234", nick)
        status, page = self.charge_page("escaper", pass_value("esc1234"))
        self.assertEqual(status, 200)
        self.assertNotIn("<b id=", page)
        self.assertIn(html.escape(nick, quote=True), page)
        status, page = self.register("escaper", "esc1234", nick)
        self.assertEqual(status, 409)
        self.assertNotIn("<b id=", page)

    def test_information_pages(self):
        for path in ("/customer?is_mobile=y", "/community/bList/notice?is_mobile=y"):
            with self.subTest(path):
                status, page = self.page("GET", path)
                self.assertEqual(status, 200)
                self.assertIn('<meta charset="utf-8">', page)

    def test_notice_page_shows_stored_notices(self):
        special = ("<script>alert(1)</script>", "Tom & Jerry — 새 카드 \"세트\"")
        with sqlite3.connect(self.db_path) as db:
            db.execute("INSERT INTO notices (subject, contents) VALUES (?, ?)", special)
            notices = db.execute("SELECT subject, contents FROM notices ORDER BY id").fetchall()
        status, page = self.page("GET", "/community/bList/notice?is_mobile=y")
        self.assertEqual(status, 200)
        self.assertNotIn("<script>", page)
        for subject, contents in notices:
            with self.subTest(subject=subject):
                self.assertIn(html.escape(subject, quote=True), page)
                self.assertIn(html.escape(contents, quote=True), page)
        reply = self.assert_login_ok("demo", "demo1234")
        self.assertEqual([(n["subject"], n["contents"]) for n in reply["notices"]],
                         [tuple(n) for n in notices])

    def test_unknown_pages(self):
        cases = [("GET", "/"), ("GET", "/customerx"), ("GET", "/webclient/qzclient"),
                 ("POST", "/customer"), ("DELETE", "/member/regist"), ("GET", "/../etc/passwd")]
        for method, path in cases:
            with self.subTest(method=method, path=path):
                status, ctype, _ = self.web(method, path)
                self.assertIn(status, (404, 405))
                self.assertIn("charset=utf-8", ctype.lower())
        self.assertEqual(self.page("GET", "/customer?is_mobile=y")[0], 200)


class DatabaseErrorTest(ServiceCase):
    """Another process holds the database: requests that need it fail, nothing is half
    committed, and once it lets go the service answers as before."""

    extra_args = ["--db-timeout", "0.2"]

    def stored_coins(self, user_id):
        with contextlib.closing(sqlite3.connect(self.db_path)) as db:
            return db.execute("SELECT coins FROM accounts WHERE user_id = ?",
                              (user_id,)).fetchone()[0]

    def free_coin_status(self, user_id):
        return self.web("POST", "/charge/freeCoin?",
                        qt_form([("userid", user_id), ("is_mobile", "n")]), QT_FORM)[0]

    def test_locked_database(self):
        # RESERVED: others may read but not write; EXCLUSIVE: neither.
        for lock, login_works in (("IMMEDIATE", True), ("EXCLUSIVE", False)):
            with self.subTest(lock=lock):
                user_id = self.registered("locked-" + lock.lower(), "lock1234")
                before = self.coins(user_id, "lock1234")
                locker = sqlite3.connect(self.db_path, isolation_level=None)
                try:
                    locker.execute("BEGIN " + lock)
                    time.sleep(1.1)  # the connection counts are due to change
                    status = self.post_login(wrap(login_plain(user_id, "lock1234")))[0]
                    self.assertEqual(status, 200 if login_works else 500)
                    self.assertEqual(self.free_coin_status(user_id), 500)
                finally:
                    locker.execute("ROLLBACK")
                    locker.close()
                time.sleep(1.1)
                counts = self.assert_login_ok(user_id, "lock1234")["connUserInfo"]
                self.assertTrue(all(value.isdigit() for value in counts.values()), counts)
                self.assertEqual(self.coins(user_id, "lock1234"), before)
                self.assertEqual(self.free_coin(user_id)["status"], "OK")
                # Committed, as another process sees it.
                self.assertEqual(self.stored_coins(user_id), before + 1000)


class LifecycleTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.db_path = os.path.join(self.tmp.name, "operator.db")

    def start(self, *extra, host=HOST, ports=None):
        login_port, web_port = ports or (free_port(host), free_port(host))
        runner = Runner("operator_service.py", [
            "--host", host, "--login-port", str(login_port), "--web-port", str(web_port),
            "--db", self.db_path] + list(extra), os.path.join(self.tmp.name, "service.log"))
        self.addCleanup(runner.stop, signal.SIGKILL)
        return runner, login_port, web_port

    def login(self, host, port, user_id, password):
        conn = http.client.HTTPConnection(host, port, timeout=30)
        try:
            conn.request("POST", "/webclient/qzclient",
                         wrap(login_plain(user_id, password)).encode(), {"Content-Type": QT_FORM})
            return json.loads(base64.b64decode(conn.getresponse().read()))
        finally:
            conn.close()

    def test_stops_cleanly_on_signal(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                runner, login_port, _ = self.start()
                self.assertTrue(runner.wait_ready(), runner.stderr_text())
                self.assertEqual(self.login(HOST, login_port, "demo", "demo1234")["status"], "OK")
                self.assertEqual(runner.stop(sig), 0)
                with self.assertRaises(OSError):
                    socket.create_connection((HOST, login_port), timeout=5).close()

    def test_state_survives_restart(self):
        runner, login_port, web_port = self.start()
        self.assertTrue(runner.wait_ready(), runner.stderr_text())
        conn = http.client.HTTPConnection(HOST, web_port, timeout=30)
        conn.request("POST", "/member/regist",
                     urlencode([("userid", "keeper"), ("nick", "Keeper"), ("password", "keep1234")]),
                     {"Content-Type": BROWSER_FORM})
        self.assertEqual(conn.getresponse().status, 200)
        conn.close()
        self.assertEqual(runner.stop(), 0)

        runner, login_port, _ = self.start()
        self.assertTrue(runner.wait_ready(), runner.stderr_text())
        self.assertEqual(self.login(HOST, login_port, "keeper", "keep1234")["status"], "OK")
        self.assertEqual(self.login(HOST, login_port, "demo", "demo1234")["userInfo"]["coin"], "12500")
        self.assertEqual(runner.stop(), 0)

    def test_bad_arguments_stop_before_ready(self):
        cases = [
            ("unknown version key", ["--set-version", "chessVer=1.0"]),
            ("version not numeric", ["--set-version", "matgoVer=1.x"]),
            ("no equals sign", ["--set-version", "matgoVer"]),
            ("empty version", ["--set-version", "pokerVer="]),
        ]
        for name, extra in cases:
            with self.subTest(name):
                runner, _, _ = self.start(*extra)
                self.assertFalse(runner.wait_ready())
                self.assertNotEqual(runner.stop(), 0)

    def test_busy_port_stops_before_ready(self):
        with socket.socket() as busy:
            busy.bind((HOST, 0))
            busy.listen()
            runner, _, _ = self.start(ports=(free_port(HOST), busy.getsockname()[1]))
            self.assertFalse(runner.wait_ready())
            self.assertEqual(runner.stop(), 1)
            self.assertNotIn("ready", runner.output)

    def test_not_a_database(self):
        with open(self.db_path, "wb") as f:
            f.write(b"this is not sqlite" * 100)
        runner, _, _ = self.start()
        self.assertFalse(runner.wait_ready())
        self.assertEqual(runner.stop(), 1)

    @unittest.skipUnless(os.geteuid() == 0, "binding port 80 needs root")
    def test_default_ports(self):
        host = "127.0.23.56"
        runner = Runner("operator_service.py", ["--host", host, "--db", self.db_path],
                        os.path.join(self.tmp.name, "default.log"))
        self.addCleanup(runner.stop, signal.SIGKILL)
        self.assertTrue(runner.wait_ready(), runner.stderr_text())
        self.assertEqual(self.login(host, 2356, "demo", "demo1234")["status"], "OK")
        conn = http.client.HTTPConnection(host, 80, timeout=30)
        conn.request("GET", "/community/bList/notice?is_mobile=y")
        self.assertEqual(conn.getresponse().status, 200)
        conn.close()
        self.assertEqual(runner.stop(), 0)


if __name__ == "__main__":
    unittest.main()
