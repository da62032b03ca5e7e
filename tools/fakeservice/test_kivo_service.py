#!/usr/bin/env python3
"""Self-test of the stand-in album service: it is started on a free port and reached as
the program reaches it, as an HTTP proxy (plus origin-form and raw-socket requests).

    test_kivo_service.py [--hosts FILE] [unittest options]

--hosts: a hosts file of the build; the service must then play exactly those hosts.
"""

import hashlib
import http.client
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "kivo_service.py")
CTL = os.path.join(HERE, "service-ctl")
IDENTIFY = "/usr/bin/identify"

BUILD_HOSTS = None
for _k in ("no_proxy", "NO_PROXY", "http_proxy", "HTTP_PROXY"):
    os.environ.pop(_k, None)

# A small member whose pictures cover every format, and raw answers given verbatim.
FIXTURE = {
    "members": [
        {"uin": "555001", "nick": "测试号", "cdata": True, "route_group": "9",
         "album_host": "a9.kivo.test", "photo_host": "p9.kivo.test",
         "albums": [{
             "id": "f1", "name": "格式 <全>",
             "cover": {"format": "png", "width": 40, "height": 30, "pattern": "rings", "seed": 1, "alpha": True},
             "photos": [
                 {"name": "jpeg", "image": {"format": "jpeg", "width": 64, "height": 48, "subsampling": "444"},
                  "small": {"width": 16, "height": 12}},
                 {"name": "gif", "image": {"format": "gif", "width": 50, "height": 40},
                  "small": {"width": 16, "height": 12}},
                 {"name": "bmp", "image": {"format": "bmp", "width": 30, "height": 20},
                  "small": {"width": 16, "height": 12}},
                 {"name": "dead", "origin_url": "http://dead.kivo.test/1.jpg", "image": None,
                  "small": {"width": 16, "height": 12}}]}]},
        {"uin": "555002", "nick": "unused",
         "card_body": "_Callback({\"nick\":\"原样\",\r\n});",
         "route_body": {"hex": "7b7d"},
         "albums": []},
    ],
    "faults": [{"host": "dead.kivo.test", "action": "hangup"}],
    "resources": [{"url": "http://download.kivo.test/KivoAlbum1.6.exe", "body": {"hex": "4d5a900003"},
                   "content_type": "application/octet-stream"}],
}


def start_service(tmp, *args):
    port_file = os.path.join(tmp, "port-%d" % time.monotonic_ns())
    proc = subprocess.Popen([sys.executable, SERVICE, "--port-file", port_file, "--no-warm"] + list(args),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    deadline = time.time() + 10
    while time.time() < deadline:
        if os.path.exists(port_file):
            with open(port_file) as f:
                port = int(f.read())
            line = proc.stdout.readline().decode()
            assert line.strip() == "kivo-service listening on 127.0.0.1:%d" % port, line
            return proc, port
        if proc.poll() is not None:
            raise AssertionError("service exited: %s" % proc.stderr.read().decode())
        time.sleep(0.02)
    proc.kill()
    raise AssertionError("service did not start")


def stop_service(proc):
    proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(timeout=10)
    finally:
        proc.stdout.close()
        proc.stderr.close()


def get(port, url, headers=None, method="GET", body=None):
    """One request through the proxy port, absolute form; returns (status, headers, body)."""
    host = urllib.parse.urlsplit(url).netloc
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=20)
    try:
        conn.request(method, url, body=body, headers=dict({"Host": host}, **(headers or {})))
        resp = conn.getresponse()
        return resp.status, resp.headers, resp.read()
    finally:
        conn.close()


def control(port, name, direct=False, **query):
    q = urllib.parse.urlencode(query)
    path = "/__control/%s%s" % (name, "?" + q if q else "")
    if direct:
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=20)
        conn.request("GET", path)
        resp = conn.getresponse()
        status, data = resp.status, resp.read()
        conn.close()
    else:
        status, _, data = get(port, "http://control.kivo.test" + path)
    assert status == 200, (status, data)
    return json.loads(data)


def gbk(s):
    return s.encode("gbk")


def strip_crlf(b):
    return b.replace(b"\r", b"").replace(b"\n", b"")


def cut_between(text, key, end):
    """The program's way of reading a value: from after key to the next end."""
    k = text.find(key)
    if k < 0:
        return None
    t = text.find(end, k + len(key))
    return None if t < 0 else text[k + len(key):t]


def parse_gbk_xml(body):
    head = b'<?xml version="1.0" encoding="GBK"?>'
    assert body.startswith(head), body[:60]
    return ET.fromstring(body[len(head):].decode("gbk"))


def picture_size(data):
    """(format, width, height) from the picture's own header."""
    if data.startswith(b"\x89PNG\r\n\x1a\n"):
        w, h, depth, ctype = struct.unpack(">IIBB", data[16:26])
        return "png", w, h
    if data[:6] in (b"GIF87a", b"GIF89a"):
        return ("gif",) + struct.unpack("<HH", data[6:10])
    if data.startswith(b"BM"):
        w, h = struct.unpack("<ii", data[18:26])
        return "bmp", w, h
    if data.startswith(b"\xff\xd8"):
        i = 2
        while i < len(data):
            marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
            if marker == 0xC0:
                h, w = struct.unpack(">HH", data[i + 5:i + 9])
                return "jpeg", w, h
            i += 2 + length
    return None, 0, 0


def expected_pattern_byte(k, seed):
    s = seed & 0xFFFFFFFF
    for _ in range(k % 65521 + 1):
        s = (s * 1664525 + 1013904223) & 0xFFFFFFFF
    return (s >> 24) ^ ((k >> 16) & 0xFF)


class AlbumServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kivo-selftest-")
        fixture = os.path.join(cls.tmp, "fixture.json")
        with open(fixture, "w", encoding="utf-8") as f:
            json.dump(FIXTURE, f, ensure_ascii=False)
        cls.log_path = os.path.join(cls.tmp, "requests.jsonl")
        cls.proc, cls.port = start_service(cls.tmp, "--scenario", "demo", "--scenario", fixture,
                                           "--request-log", cls.log_path)
        cls.scenario = control(cls.port, "scenario")
        cls.members = {m["uin"]: m for m in cls.scenario["members"]}

    @classmethod
    def tearDownClass(cls):
        rc = stop_service(cls.proc)
        shutil.rmtree(cls.tmp, ignore_errors=True)
        assert rc == 0, rc

    def setUp(self):
        control(self.port, "reset")

    def card(self, uin):
        return get(self.port, "http://card.kivo.test/fcg-bin/cgi_personalcard.fcg?uin=%s&p=1&_=1240389711757" % uin)

    # --- album service answers ---------------------------------------------------

    def test_member_card_through_urllib_proxy(self):
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({"http": "http://127.0.0.1:%d" % self.port}))
        with opener.open("http://card.kivo.test/fcg-bin/cgi_personalcard.fcg?uin=480215937&p=1&_=1240389711757") as r:
            body = r.read()
        self.assertIn(b"\r\n", body)
        self.assertIn(b'"nick":"' + gbk("小明") + b'",', body)
        text = strip_crlf(body)
        # A string member before the nick already holds '",'; the nick is still what the
        # program cuts out after its key.
        self.assertLess(text.find(b'",'), text.find(b'"nick":"'))
        self.assertEqual(cut_between(text, b'"nick":"', b'",'), gbk("小明"))

        status, _, body = self.card("999999")
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b"_Callback("))
        self.assertNotIn(b'"nick"', body)
        self.assertIn(b'"ret":-1', body)

        status, _, body = self.card("555002")
        self.assertEqual(body, gbk('_Callback({"nick":"原样",\r\n});'))

    def test_route_names_the_members_hosts(self):
        cases = [("480215937", "a4.kivo.test", "p4.kivo.test"),
                 ("100001", "a7.kivo.test", "p7.kivo.test"),
                 ("999999", "a1.kivo.test", "p1.kivo.test")]
        for uin, album_host, photo_host in cases:
            with self.subTest(uin=uin):
                status, _, body = get(self.port, "http://route.kivo.test/GetRoute?UIN=%s&type=json&version=2" % uin)
                route = json.loads(body)
                self.assertEqual(route[route["default"]], {"p": album_host, "s": photo_host})
                # The program's reading: the first p and s after the default group's name.
                text = body.decode()
                default = cut_between(text, '"default":"', '"')
                g = text.find(default, text.find('"default":"') + 11 + len(default) + 1)
                self.assertEqual(cut_between(text[g:], '"p":"', '"'), album_host)
                self.assertEqual(cut_between(text[g:], '"s":"', '"'), photo_host)
        self.assertEqual(get(self.port, "http://route.kivo.test/GetRoute?UIN=555002&type=json&version=2")[2], b"{}")

    def test_album_list_only_on_named_host_and_totals_match_photo_lists(self):
        uin = "480215937"
        list_path = "/fcgi-bin/fcg_list_album?uin=%s&outstyle=1&t=0.5981097097731758" % uin
        for wrong in ("p4.kivo.test", "a1.kivo.test", "a7.kivo.test"):
            self.assertEqual(get(self.port, "http://%s%s" % (wrong, list_path))[0], 404, wrong)
        status, headers, body = get(self.port, "http://a4.kivo.test" + list_path)
        self.assertEqual(status, 200)
        self.assertIn(gbk("<name>家里的猫 &amp; 狗</name>"), body)
        albums = parse_gbk_xml(body).findall("album")
        self.assertEqual([a.findtext("name") for a in albums],
                         ["西湖春游", "毕业照", "家里的猫 & 狗", "2009 北京之旅", "空相册"])
        for a in albums:
            self.assertEqual([c.tag for c in a][:9], ["createtime", "modifytime", "lastuploadtime", "id",
                                                       "name", "pre", "priv", "question", "total"])
        totals = {}
        cover_formats = set()
        for a in albums:
            photo_path = "/fcgi-bin/fcg_list_photo?uin=%s&albumid=%s&outstyle=1" % (uin, a.findtext("id"))
            self.assertEqual(get(self.port, "http://a4.kivo.test" + photo_path)[0], 404)
            status, _, body = get(self.port, "http://p4.kivo.test" + photo_path)
            pics = parse_gbk_xml(body).findall("pic")
            self.assertEqual(int(a.findtext("total")), len(pics), a.findtext("name"))
            totals[a.findtext("name")] = len(pics)
            for p in pics:
                self.assertTrue(p.findtext("name") and p.findtext("origin_url") and p.findtext("pre"))
            status, _, cover = get(self.port, a.findtext("pre"))
            self.assertEqual(status, 200)
            cover_formats.add(picture_size(cover)[0])
        self.assertEqual(sorted(totals.values()), [0, 2, 3, 4, 5])
        self.assertGreaterEqual(len(cover_formats - {None}), 3)

        # CDATA names of the fixture member come out as plain text.
        status, _, body = get(self.port, "http://a9.kivo.test/fcgi-bin/fcg_list_album?uin=555001&outstyle=1&t=0.5981097097731758")
        self.assertIn(gbk("<name><![CDATA[格式 <全>]]></name>"), body)
        self.assertEqual(parse_gbk_xml(body).find("album").findtext("name"), "格式 <全>")

    def test_lists_of_a_member_whose_space_asks_for_a_login_need_the_login_cookie(self):
        album_url = "http://a7.kivo.test/fcgi-bin/fcg_list_album?uin=100001&outstyle=1&t=0.5981097097731758"
        photo_url = "http://p7.kivo.test/fcgi-bin/fcg_list_photo?uin=100001&albumid=21&outstyle=1"
        for url, tag in ((album_url, "album"), (photo_url, "pic")):
            with self.subTest(url=url):
                root = parse_gbk_xml(get(self.port, url)[2])
                self.assertEqual((root.findtext("ret"), root.find(tag)), ("-3", None))
                root = parse_gbk_xml(get(self.port, url, {"Cookie": "kivo_login=100001"})[2])
                self.assertEqual(root.findtext("ret"), "0")
                self.assertIsNotNone(root.find(tag))

    def test_protected_album_needs_picture_cookie_question_and_answer(self):
        member = self.members["100001"]
        album = next(a for a in member["albums"] if a["protected"])
        status, _, body = get(self.port, "http://p7.kivo.test/fcgi-bin/fcg_list_photo?uin=100001&albumid=%s&outstyle=1" % album["id"])
        root = parse_gbk_xml(body)
        self.assertEqual((root.find("pic"), root.find("ret") is not None, root.find("msg") is not None), (None, True, True))

        def view(question, answer, cookie=None, code=None):
            q = "".join("%%%02X" % b for b in question.encode("utf-8"))
            a = hashlib.md5(gbk(answer)).hexdigest().upper()
            url = ("http://view.kivo.test/cgi-bin/common/cgi_view_album?uin=100001&albumid=%s&t=0.02748987557173027"
                   % album["id"])
            if code is not None:
                url += "&verifycode=" + code
            url += "&question=%s&answer=%s&output_type=1&refer=pavo" % (q, a)
            root = parse_gbk_xml(get(self.port, url, {"Cookie": cookie} if cookie else None)[2])
            return root.findtext("ret"), root

        self.assertEqual(view(album["question"], album["answer"])[0], "-906")
        status, headers, picture = get(self.port, "http://login.kivo.test/getimage?aid=15000501&0.7421052063500946")
        self.assertEqual(picture_size(picture), ("jpeg", 130, 53))
        cookie = headers["Set-Cookie"].split(";")[0]
        self.assertIn("domain=.kivo.test", headers["Set-Cookie"])
        issued = control(self.port, "verify")
        self.assertEqual(cookie, "verifysession=" + issued[-1]["cookie"])

        code = issued[-1]["code"]
        cases = [(album["question"], "错的", code, "-900"),
                 ("别的问题", album["answer"], code, "-901"),
                 (album["question"], album["answer"], "XXXX", "-907"),
                 (album["question"], album["answer"], issued[-1]["code"].lower(), "0"),
                 (album["question"], album["answer"], None, "-907")]
        for question, answer, code, ret in cases:
            with self.subTest(answer=answer, code=code):
                got, root = view(question, answer, cookie, code)
                self.assertEqual(got, ret)
                if ret == "0":
                    self.assertEqual([p.findtext("name") for p in root.findall("pic")],
                                     [p["name"] for p in album["photos"]])
                else:
                    self.assertTrue(root.findtext("msg"))

    def test_pictures_are_real_files_and_the_same_on_every_run(self):
        fixture_album = FIXTURE["members"][0]["albums"][0]
        album = self.members["555001"]["albums"][0]
        urls = [(album["pre"], fixture_album["cover"])]
        for given, served in zip(fixture_album["photos"], album["photos"]):
            if "origin_url" not in given:
                urls.append((served["origin_url"], given["image"]))
        self.assertEqual(len(urls), 4)
        served = {}
        for url, desc in urls:
            with self.subTest(url=url):
                status, headers, data = get(self.port, url)
                self.assertEqual(status, 200)
                fmt, w, h = picture_size(data)
                self.assertEqual((fmt, w, h), (desc["format"], desc["width"], desc["height"]))
                self.assertEqual(headers["Content-Type"], "image/" + fmt)
                self.assertEqual(data, get(self.port, "http://control.kivo.test/__control/content?url="
                                           + urllib.parse.quote(url, safe=""))[2])
                served[url] = data
                if fmt == "png":
                    self.assertEqual(data[25], 6)  # RGBA
                    self.assertEqual(zlib.crc32(data[12:29]), struct.unpack(">I", data[29:33])[0])
                if os.path.exists(IDENTIFY):
                    path = os.path.join(self.tmp, "picture." + fmt)
                    with open(path, "wb") as f:
                        f.write(data)
                    out = subprocess.run([IDENTIFY, "-regard-warnings", "-format", "%m %w %h", path],
                                         capture_output=True, text=True)
                    self.assertEqual(out.returncode, 0, out.stderr)
                    self.assertEqual(out.stdout.split(), [{"jpeg": "JPEG", "png": "PNG", "gif": "GIF", "bmp": "BMP3"}[fmt],
                                                          str(w), str(h)])
        # Another run of the same scenario (another process, other hash seeds) serves the same bytes.
        proc, port = start_service(self.tmp, "--scenario", os.path.join(self.tmp, "fixture.json"))
        try:
            for url, data in served.items():
                self.assertEqual(get(port, url)[2], data, url)
        finally:
            self.assertEqual(stop_service(proc), 0)

    def test_space_pages_and_update_page(self):
        domain = self.scenario["hosts"]["space_domain"]
        login_title = "Kivo空间--您需要登录才可以访问Kivo空间"

        def title_of(uin, cookie=None):
            url = "http://%s.%s/" % (uin, domain)
            for _ in range(3):
                status, headers, body = get(self.port, url, {"Cookie": cookie} if cookie else None)
                if status != 302:
                    return body.decode("gbk").split("<title>")[1].split("</title>")[0]
                url = headers["Location"]
            self.fail("redirect loop")

        self.assertIn(domain, title_of("480215937"))
        self.assertEqual(title_of("100001"), login_title)
        self.assertIn(domain, title_of("100001", "kivo_login=100001"))
        self.assertEqual(title_of("271828"), "Pavo精彩由你而来")
        self.assertEqual(title_of("999999"), "Pavo精彩由你而来")

        control(self.port, "update", version="1.6", downurl="http://download.kivo.test/get?a=1&b=2")
        status, _, page = get(self.port, self.scenario["hosts"]["update_url"])
        text = page.decode("gbk")
        self.assertIn("a=1&amp;b=2", text)
        start = text.find(">", text.find("blog_text"))
        doc = text[start + 1:text.find("</div>", start)]
        doc = doc.replace("<br>", "\n").replace("&lt;", "<").replace("&gt;", ">")
        soft = ET.fromstring(doc.split("?>", 1)[1]).find("soft")
        self.assertEqual((soft.findtext("name"), soft.findtext("version"), soft.findtext("downurl")),
                         ("KivoAlbum", "1.6", "http://download.kivo.test/get?a=1&b=2"))
        self.assertEqual(get(self.port, "http://download.kivo.test/KivoAlbum1.6.exe")[2], bytes.fromhex("4d5a900003"))

    # --- fetch-test host ------------------------------------------------------------

    def test_fetch_host_endpoints(self):
        f = "http://fetch.kivo.test"
        status, _, body = get(self.port, f + "/body?hex=610d0a620a0a63")
        self.assertEqual((status, body), (200, b"a\r\nb\n\nc"))
        status, headers, body = get(self.port, f + "/empty")
        self.assertEqual((status, headers["Content-Length"], body), (200, "0", b""))
        for code in (404, 500):
            self.assertEqual(get(self.port, f + "/status?code=%d" % code)[0], code)
        target = "http://fetch.kivo.test/body?hex=4f4b"
        status, headers, _ = get(self.port, f + "/redirect?code=301&to=" + urllib.parse.quote(target, safe=""))
        self.assertEqual((status, headers["Location"]), (301, target))
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({"http": "http://127.0.0.1:%d" % self.port}))
        with opener.open(f + "/redirect?to=" + urllib.parse.quote(target, safe="")) as r:
            self.assertEqual(r.read(), b"OK")
        status, headers, _ = get(self.port, f + "/set-cookie?name=sid&value=42")
        self.assertEqual(headers["Set-Cookie"], "sid=42; path=/")
        status, _, body = get(self.port, f + "/echo", {"Cookie": "sid=42", "User-Agent": "KivoAlbum"})
        self.assertIn(b"GET http://fetch.kivo.test/echo\r\n", body)
        self.assertIn(b"\r\nCookie: sid=42\r\n", body)
        self.assertIn(b"\r\nUser-Agent: KivoAlbum\r\n", body)
        # Header injection through a query stays inside one header.
        status, headers, _ = get(self.port, f + "/redirect?to=http://x/%0d%0aSet-Cookie:%20evil=1")
        self.assertIsNone(headers["Set-Cookie"])

        n = 3000000
        status, headers, data = get(self.port, f + "/bytes?n=%d&seed=7" % n)
        self.assertEqual((headers["Content-Length"], len(data)), (str(n), n))
        self.assertEqual(data, get(self.port, "http://control.kivo.test/__control/bytes?n=%d&seed=7" % n)[2])
        for k in list(range(0, 5)) + [65520, 65521, 65535, 65536, 1048575, 1048576, n - 1]:
            self.assertEqual(data[k], expected_pattern_byte(k, 7), k)
        self.assertNotEqual(data[:65536], data[65536:131072])
        self.assertNotEqual(data, get(self.port, f + "/bytes?n=%d&seed=8" % n)[2])

    # --- faults -------------------------------------------------------------------

    def test_fault_kinds(self):
        nick_url = "http://card.kivo.test/fcg-bin/cgi_personalcard.fcg?uin=480215937&p=1&_=1240389711757"
        normal = get(self.port, nick_url)[2]
        photo = self.members["480215937"]["albums"][0]["photos"][0]["pre"]
        photo_bytes = get(self.port, photo)[2]
        nick_at = normal.find(gbk("小明"))

        def install(**rule):
            control(self.port, "fault", **dict(rule, host="card.kivo.test", times=1))

        def read(url=nick_url):
            t0 = time.monotonic()
            conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20)
            try:
                conn.request("GET", url, headers={"Host": urllib.parse.urlsplit(url).netloc})
                resp = conn.getresponse()
                try:
                    body = resp.read()
                    return resp.status, resp.headers, body, None, time.monotonic() - t0
                except http.client.IncompleteRead as e:
                    return resp.status, resp.headers, e.partial, "incomplete", time.monotonic() - t0
            except (http.client.RemoteDisconnected, ConnectionError) as e:
                return None, None, b"", type(e).__name__, time.monotonic() - t0
            finally:
                conn.close()

        install(action="hangup")
        self.assertEqual(read()[:3], (None, None, b""))

        install(action="drop", after=40)
        status, headers, body, err, _ = read()
        self.assertEqual((status, headers["Content-Length"], body, err), (200, str(len(normal)), normal[:40], "incomplete"))

        control(self.port, "fault", host="photo.kivo.test", action="drop", after=1000, reset=1, times=1)
        status, _, body, err, _ = read(photo)
        self.assertIsNotNone(err)
        self.assertLessEqual(len(body), 1000)

        install(action="stall", seconds=0.4)
        status, _, body, err, took = read()
        self.assertEqual((status, body, err), (200, normal, None))
        self.assertGreaterEqual(took, 0.4)

        control(self.port, "fault", host="photo.kivo.test", action="stall", seconds=0.4, after=100, times=1)
        status, _, body, err, took = read(photo)
        self.assertEqual((body, err), (photo_bytes, None))
        self.assertGreaterEqual(took, 0.4)

        install(action="status", code=503)
        self.assertEqual(read()[0], 503)

        install(action="redirect", code=301, location="http://fetch.kivo.test/empty")
        status, headers, _, _, _ = read()
        self.assertEqual((status, headers["Location"]), (301, "http://fetch.kivo.test/empty"))

        install(action="body", hex="3c646174613e00ff")
        self.assertEqual(read()[2], b"<data>\x00\xff")

        install(action="truncate", after=nick_at + 1)  # ends inside the nick's first character
        status, headers, body, err, _ = read()
        self.assertEqual((body, headers["Content-Length"], err), (normal[:nick_at + 1], str(nick_at + 1), None))

        install(action="no-length")
        status, headers, body, err, _ = read()
        self.assertEqual((headers["Content-Length"], headers["Connection"], body, err), (None, "close", normal, None))

        install(action="oversize", size=50000000)
        status, headers, body, err, _ = read()
        self.assertEqual((headers["Content-Length"], len(body), err), ("50000000", 50000000, None))
        install(action="oversize", size=2000000, length=0)
        status, headers, body, err, _ = read()
        self.assertEqual((headers["Content-Length"], len(body)), (None, 2000000))

        control(self.port, "fault", host="photo.kivo.test", action="throttle", rate=len(photo_bytes) * 2, times=1)
        status, headers, body, err, took = read(photo)
        self.assertEqual((headers["Content-Length"], body, err), (str(len(photo_bytes)), photo_bytes, None))
        self.assertGreaterEqual(took, 0.4)

        # Each rule above applied once; the server is unharmed and answers normally.
        self.assertEqual(read()[2], normal)
        self.assertTrue(all(r["remaining"] == 0 for r in control(self.port, "faults") if r["origin"] == "control"))

    def test_fault_matching_skip_post_and_scenario_rules(self):
        base = "http://p4.kivo.test/fcgi-bin/fcg_list_photo?uin=480215937&outstyle=1&albumid="
        status, _, body = get(self.port, "http://control.kivo.test/__control/fault", method="POST",
                              body=json.dumps({"host": "p4.kivo.test", "path": "/fcgi-bin/fcg_list_photo",
                                               "query": "albumid=2", "skip": 1, "times": 1,
                                               "action": "status", "code": 500}).encode())
        self.assertEqual(status, 200, body)
        self.assertEqual([get(self.port, base + a)[0] for a in ("1", "2", "1", "2", "2")], [200, 200, 200, 500, 200])

        # The scenario's own rule: a host that always hangs up, until a clear.
        self.assertRaises(http.client.RemoteDisconnected, get, self.port, "http://dead.kivo.test/1.jpg")
        control(self.port, "clear", direct=True)
        self.assertEqual(get(self.port, "http://dead.kivo.test/1.jpg")[0], 404)

        status, _, body = get(self.port, "http://control.kivo.test/__control/fault?action=explode&host=x")
        self.assertEqual(status, 400)
        self.assertIn("unknown fault action", json.loads(body)["error"])

    # --- log, control, connections -------------------------------------------------

    def test_request_log_and_both_control_forms(self):
        control(self.port, "clear")
        control(self.port, "fault", direct=True, host="photo.kivo.test", action="status", code=502, times=1)
        url = "http://card.kivo.test/fcg-bin/cgi_personalcard.fcg?uin=480215937&p=1&_=1240389711757"
        get(self.port, url, {"User-Agent": "KivoAlbum", "Cookie": "verifysession=abc"})
        get(self.port, "http://photo.kivo.test/none.jpg")
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request("GET", "/GetRoute?UIN=1&type=json&version=2", headers={"Host": "route.kivo.test"})
        self.assertIn(b'"default"', conn.getresponse().read())
        conn.close()

        for direct in (False, True):
            log = control(self.port, "requests", direct=direct)
            self.assertEqual([e["url"] for e in log], [url, "http://photo.kivo.test/none.jpg",
                                                       "/GetRoute?UIN=1&type=json&version=2"])
        first, second, third = log
        self.assertEqual((first["host"], first["user_agent"], first["cookie"], first["status"], first["fault"]),
                         ("card.kivo.test", "KivoAlbum", "verifysession=abc", 200, None))
        self.assertEqual((second["status"], second["fault"]), (502, "status"))
        self.assertEqual((third["absolute_form"], third["absolute_url"]),
                         (False, "http://route.kivo.test/GetRoute?UIN=1&type=json&version=2"))
        self.assertEqual(len(control(self.port, "requests", host="photo.kivo.test")), 1)
        with open(self.log_path, encoding="utf-8") as f:
            lines = [json.loads(line) for line in f]
        self.assertEqual([e["url"] for e in lines[-3:]], [e["url"] for e in log])
        control(self.port, "clear", direct=True)
        self.assertEqual(control(self.port, "requests"), [])

    def test_keep_alive_http10_and_origin_form(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        local_ports = set()
        for uin in ("480215937", "100001", "999999", "480215937"):
            conn.request("GET", "http://card.kivo.test/fcg-bin/cgi_personalcard.fcg?uin=%s&p=1&_=1240389711757" % uin,
                         headers={"Host": "card.kivo.test", "Proxy-Connection": "Keep-Alive"})
            resp = conn.getresponse()
            self.assertEqual(resp.status, 200)
            resp.read()
            self.assertIsNotNone(conn.sock, "the service closed a keep-alive connection")
            local_ports.add(conn.sock.getsockname()[1])
        self.assertEqual(len(local_ports), 1)
        conn.close()

        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(b"GET http://fetch.kivo.test/body?hex=6869 HTTP/1.0\r\nHost: fetch.kivo.test\r\n\r\n")
            data = b""
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                data += piece
        head, _, body = data.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 200"))
        self.assertIn(b"Connection: close", head)
        self.assertEqual(body, b"hi")

        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request("GET", "/fcg-bin/cgi_personalcard.fcg?uin=480215937&p=1&_=1240389711757",
                     headers={"Host": "card.kivo.test"})
        self.assertIn(gbk("小明"), conn.getresponse().read())
        conn.close()


class HostsAndLifecycleTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kivo-selftest-")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def test_plays_exactly_the_hosts_of_the_hosts_file(self):
        custom = {"member_card_host": "card.example.test", "route_host": "route.example.test",
                  "login_host": "login.example.test", "album_view_host": "view.example.test",
                  "space_domain": "home.example.test", "update_url": "http://news.example.test/up.html"}
        files = [custom]
        if BUILD_HOSTS:
            with open(BUILD_HOSTS, encoding="utf-8") as f:
                files.append(json.load(f))
        for hosts in files:
            with self.subTest(hosts=hosts["member_card_host"]):
                path = os.path.join(self.tmp, "hosts.json")
                with open(path, "w") as f:
                    json.dump(hosts, f)
                proc, port = start_service(self.tmp, "--hosts", path)
                try:
                    q = "/fcg-bin/cgi_personalcard.fcg?uin=480215937&p=1&_=1240389711757"
                    self.assertIn(gbk("小明"), get(port, "http://%s%s" % (hosts["member_card_host"], q))[2])
                    if hosts["member_card_host"] != "card.kivo.test":
                        self.assertEqual(get(port, "http://card.kivo.test" + q)[0], 404)
                    status, _, page = get(port, hosts["update_url"])
                    self.assertIn(b"blog_text", page)
                    status, _, page = get(port, "http://480215937.%s/" % hosts["space_domain"])
                    self.assertIn(hosts["space_domain"].encode(), page)
                finally:
                    self.assertEqual(stop_service(proc), 0)

    def test_stops_promptly_while_a_request_stalls(self):
        proc, port = start_service(self.tmp)
        control(port, "fault", host="fetch.kivo.test", action="stall", seconds=60)
        errors = []
        t = threading.Thread(target=lambda: errors.append(self._swallow(get, port, "http://fetch.kivo.test/empty")),
                             daemon=True)
        t.start()
        time.sleep(0.3)
        t0 = time.monotonic()
        self.assertEqual(stop_service(proc), 0)
        self.assertLess(time.monotonic() - t0, 3)
        t.join(5)
        self.assertEqual(len(errors), 1)
        self.assertIsInstance(errors[0], (http.client.RemoteDisconnected, ConnectionError))

    @staticmethod
    def _swallow(fn, *args):
        try:
            fn(*args)
        except Exception as e:  # the point is that it fails rather than hangs
            return e
        return None

    def test_service_ctl_from_another_directory(self):
        state = os.path.join(self.tmp, "state")

        def ctl(*args):
            return subprocess.run([sys.executable, CTL] + list(args), cwd="/", capture_output=True, text=True,
                                  timeout=30)

        started = ctl("start", state, "--no-warm", "--scenario", "demo")
        self.assertEqual(started.returncode, 0, started.stderr)
        port = int(started.stdout)
        self.assertEqual(int(ctl("port", state).stdout), port)
        self.assertEqual(control(port, "health", direct=True)["port"], port)
        with open(os.path.join(state, "pid")) as f:
            pid = int(f.read())
        self.assertEqual(ctl("stop", state).returncode, 0)
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                self.assertNotIn(b"kivo_service", f.read())
        except FileNotFoundError:
            pass
        self.assertEqual(ctl("stop", state).returncode, 0)
        self.assertNotEqual(ctl("port", state).returncode, 0)

    def test_scenario_text_outside_gbk_fails_at_start(self):
        path = os.path.join(self.tmp, "bad.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump({"members": [{"uin": "1", "nick": "smile \U0001F600"}]}, f)
        port_file = os.path.join(self.tmp, "port")
        out = subprocess.run([sys.executable, SERVICE, "--port-file", port_file, "--scenario", path],
                             capture_output=True, text=True, timeout=30)
        self.assertEqual(out.returncode, 2)
        self.assertIn("GBK", out.stderr)
        self.assertFalse(os.path.exists(port_file))


if __name__ == "__main__":
    argv = list(sys.argv)
    if "--hosts" in argv:
        i = argv.index("--hosts")
        BUILD_HOSTS = argv[i + 1]
        del argv[i:i + 2]
    unittest.main(argv=argv)
