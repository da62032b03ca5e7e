#!/usr/bin/env python3
"""Stand-in for the Kivo album service, reached as an HTTP proxy.

    kivo_service.py --port-file FILE [--scenario FILE]... [--hosts FILE]
                    [--request-log FILE] [--port N] [--no-warm] [--verbose]

Every host the program talks to reaches this one process unchanged (absolute-form
requests through the proxy); origin-form requests work too, addressed by their Host
header. See README.md for the scenario format, the control requests and the faults.
"""

import argparse
import fnmatch
import functools
import hashlib
import html
import http.server
import json
import os
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import traceback
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import kivo_images  # noqa: E402
from kivo_scenario import (CONTROL_HOST, Scenario, ScenarioError, body_bytes, gbk,  # noqa: E402
                           load_hosts, url_key)

LOGIN_TITLE = "Kivo空间--您需要登录才可以访问Kivo空间"
HOME_TITLE = "Pavo精彩由你而来"
LOGIN_COOKIE = "kivo_login"
VERIFY_COOKIE = "verifysession"
CHUNK = 65536


# --- answers -------------------------------------------------------------------

class Body:
    """An answer body: bytes, or a stream of known length made on the fly."""

    def __init__(self, data=b"", length=None, chunks=None):
        self.data = data
        self.length = len(data) if chunks is None else length
        self._chunks = chunks

    def chunks(self):
        if self._chunks is None:
            for i in range(0, len(self.data), CHUNK):
                yield self.data[i:i + CHUNK]
        else:
            yield from self._chunks()

    def read_all(self):
        return self.data if self._chunks is None else b"".join(self.chunks())


class Reply:
    def __init__(self, status, body=b"", content_type="text/plain; charset=GBK", headers=None):
        self.status = status
        self.body = body if isinstance(body, Body) else Body(body)
        self.headers = [("Content-Type", content_type)] if content_type else []
        self.headers += list(headers or [])


def not_found(what="Not Found"):
    page = "<html><head><title>404 Not Found</title></head><body><h1>404</h1><p>%s</p></body></html>"
    return Reply(404, (page % html.escape(what)).encode("utf-8"), "text/html; charset=utf-8")


def xml_reply(text):
    return Reply(200, gbk(text, "XML answer"), "text/xml; charset=GBK")


def json_reply(value, status=200):
    return Reply(status, json.dumps(value, ensure_ascii=False, indent=1).encode("utf-8"),
                 "application/json; charset=utf-8")


# --- deterministic bytes ----------------------------------------------------------
# byte(k) = T[k mod 65521] XOR ((k >> 16) & 0xFF), where T[j] is the top byte of the
# (j+1)-th state of the LCG s = s * 1664525 + 1013904223 (mod 2^32) started at the seed.
# The prime period and the per-64-KiB XOR make every block differ, so a copy that
# repeats, skips or reorders a chunk never compares equal.

_PERIOD = 65521


@functools.lru_cache(maxsize=16)
def _byte_table(seed):
    s = seed & 0xFFFFFFFF
    t = bytearray(_PERIOD)
    for j in range(_PERIOD):
        s = (s * 1664525 + 1013904223) & 0xFFFFFFFF
        t[j] = s >> 24
    return bytes(t + t)


_XOR_TABLES = [bytes(b ^ x for b in range(256)) for x in range(256)]


def pattern_bytes(n, seed):
    table = _byte_table(seed)

    def gen():
        k = 0
        while k < n:
            size = min(CHUNK, n - k)
            off = k % _PERIOD
            yield table[off:off + size].translate(_XOR_TABLES[(k >> 16) & 0xFF])
            k += size
    return Body(length=n, chunks=gen)


# --- faults -----------------------------------------------------------------------

FAULT_ACTIONS = ("hangup", "drop", "stall", "status", "redirect", "body", "truncate",
                 "oversize", "no-length", "throttle")
_INT_KEYS = ("times", "skip", "after", "code", "size", "seed", "rate")
_FLOAT_KEYS = ("seconds",)
_BOOL_KEYS = ("reset", "length")


def _split_url(desc):
    """A rule given as "url" matches by that URL's host, path and query."""
    if desc.get("url"):
        parts = urllib.parse.urlsplit(desc["url"])
        desc.setdefault("host", parts.hostname)
        desc.setdefault("path", parts.path or "/")
        if parts.query:
            desc.setdefault("query", parts.query)


class FaultRule:
    _ids = 0
    _ids_lock = threading.Lock()

    def __init__(self, desc, origin):
        base = desc.get("_base") or "."
        desc = {k: v for k, v in desc.items() if not k.startswith("_")}
        self.desc = desc
        self.origin = origin
        self.action = str(desc.get("action", ""))
        if self.action not in FAULT_ACTIONS:
            raise ValueError("unknown fault action %r (one of %s)" % (self.action, ", ".join(FAULT_ACTIONS)))
        if not any(desc.get(k) for k in ("host", "path", "url")):
            raise ValueError("a fault needs a host, path or url to match")
        try:
            for k in _INT_KEYS:
                if desc.get(k) is not None:
                    desc[k] = int(desc[k])
            for k in _FLOAT_KEYS:
                if desc.get(k) is not None:
                    desc[k] = float(desc[k])
            for k in _BOOL_KEYS:
                if isinstance(desc.get(k), str):
                    desc[k] = desc[k].lower() in ("1", "true", "yes", "on")
        except (TypeError, ValueError):
            raise ValueError("fault %r: a number is not a number" % desc)
        _split_url(desc)
        if self.action == "redirect" and not desc.get("location"):
            raise ValueError("a redirect fault needs a location")
        if self.action == "status" and not desc.get("code"):
            raise ValueError("a status fault needs a code")
        if self.action == "oversize" and desc.get("size") is None:
            raise ValueError("an oversize fault needs a size")
        if self.action == "stall" and desc.get("seconds") is None:
            raise ValueError("a stall fault needs seconds")
        if self.action == "throttle" and not (desc.get("rate") or 0) > 0:
            raise ValueError("a throttle fault needs a rate (bytes per second)")
        self.body = None
        if self.action == "body":
            if "hex" in desc:
                self.body = body_bytes({"hex": desc["hex"]})
            else:
                self.body = body_bytes(desc.get("body", ""), base, "fault body")
        elif self.action == "status" and desc.get("body") is not None:
            self.body = body_bytes(desc["body"])
        self.remaining = desc.get("times")
        self.skip = desc.get("skip") or 0
        self.hits = 0
        with FaultRule._ids_lock:
            FaultRule._ids += 1
            self.id = FaultRule._ids

    def matches(self, host, path, query):
        s = self.desc
        if s.get("host") and not fnmatch.fnmatchcase(host, str(s["host"]).lower()):
            return False
        if s.get("path") and not fnmatch.fnmatchcase(path, str(s["path"])):
            return False
        if s.get("query") and str(s["query"]) not in query:
            return False
        return True

    def describe(self):
        d = dict(self.desc)
        d.update(id=self.id, origin=self.origin, hits=self.hits, remaining=self.remaining)
        return d


# --- the service ------------------------------------------------------------------

class Request:
    def __init__(self, method, target, headers, body=b""):
        self.method = method
        self.target = target
        self.headers = headers
        self.body = body
        self.absolute = target.lower().startswith("http://")
        host_header = headers.get("Host", "") or ""
        if self.absolute:
            parts = urllib.parse.urlsplit(target)
            self.host = (parts.hostname or "").lower()
            self.path = parts.path or "/"
            self.query = parts.query
        else:
            path, _, query = target.partition("?")
            self.host = host_header.rsplit(":", 1)[0].strip().lower() if host_header else ""
            if self.host.startswith("["):
                self.host = host_header.strip().lower()
            self.path = path or "/"
            self.query = query
        self.args = dict(urllib.parse.parse_qsl(self.query, keep_blank_values=True))
        self.url = "http://%s%s%s" % (self.host, self.path, "?" + self.query if self.query else "")
        self.cookies = {}
        for part in (headers.get("Cookie") or "").split(";"):
            name, eq, value = part.strip().partition("=")
            if eq:
                self.cookies[name] = value


class Service:
    def __init__(self, scenario_files, hosts, request_log=None, verbose=False):
        self.hosts = hosts
        self.scenario_files = scenario_files
        self.scenario = Scenario(scenario_files, hosts)
        self.lock = threading.Lock()
        self.log = []
        self.seq = 0
        self.log_file = open(request_log, "a", encoding="utf-8") if request_log else None
        self.verbose = verbose
        self.image_cache = {}
        self.image_locks = {}
        self.port = None
        self.reset()
        update_parts = urllib.parse.urlsplit(hosts["update_url"])
        self.update_host = (update_parts.hostname or "").lower()
        self.update_path = update_parts.path or "/"
        self.handlers = {
            "card": {"/fcg-bin/cgi_personalcard.fcg": self.member_card},
            "route": {"/GetRoute": self.route},
            "album-list": {"/fcgi-bin/fcg_list_album": self.album_list},
            "photo-list": {"/fcgi-bin/fcg_list_photo": self.photo_list},
            "view": {"/cgi-bin/common/cgi_view_album": self.album_view},
            "login": {"/getimage": self.verify_picture, "/login": self.login},
            "update": {self.update_path: self.update_page},
            "fetch": {"/body": self.fetch_body, "/empty": self.fetch_empty,
                      "/status": self.fetch_status, "/redirect": self.fetch_redirect,
                      "/bytes": self.fetch_bytes, "/set-cookie": self.fetch_set_cookie,
                      "/echo": self.fetch_echo},
        }

    # --- state ------------------------------------------------------------------

    def reset(self, keep_faults=False):
        with self.lock:
            self.log = []
            if not keep_faults:
                self.faults = [FaultRule(f, "scenario") for f in self.scenario.faults]
            self.resources = [self._resource(r, "scenario") for r in self.scenario.resources]
            self.update_entries = [dict(e) for e in self.scenario.update["entries"]]
            self.update_raw_page = self.scenario.update["page"]
            self.verify_sessions = {}
            self.verify_issued = []
            self.view_counts = {}

    def roles(self, host):
        s, h = self.scenario, self.hosts
        roles = []
        if host == h["member_card_host"]:
            roles.append("card")
        if host == h["route_host"]:
            roles.append("route")
        if host == h["login_host"]:
            roles.append("login")
        if host == h["album_view_host"]:
            roles.append("view")
        if host == self.update_host:
            roles.append("update")
        if host == s.fetch_host:
            roles.append("fetch")
        album_hosts = {m["album_host"] for m in s.members.values()} | {p for _, p, _ in s.route_decoys}
        photo_hosts = {m["photo_host"] for m in s.members.values()} | {p for _, _, p in s.route_decoys}
        if host in album_hosts:
            roles.append("album-list")
        if host in photo_hosts:
            roles.append("photo-list")
        return roles

    # --- dispatch -----------------------------------------------------------------

    def respond(self, req):
        """The answer the scenario gives to a request, before any fault."""
        with self.lock:
            resources = list(self.resources)
        for rule, make in resources:
            if rule.matches(req.host, req.path, req.query):
                return make()
        desc = self.scenario.images.get(url_key(req.url))
        if desc is not None:
            data, ctype, _ = self.image(desc)
            return Reply(200, data, ctype)
        for role in self.roles(req.host):
            handler = self.handlers[role].get(req.path)
            if handler:
                reply = handler(req)
                if reply is not None:
                    return reply
        domain = self.hosts["space_domain"]
        if req.host == domain or req.host.endswith("." + domain):
            return self.space(req)
        return not_found("no such host or page: %s" % req.url)

    def take_fault(self, req):
        with self.lock:
            for rule in self.faults:
                if rule.remaining == 0 or not rule.matches(req.host, req.path, req.query):
                    continue
                if rule.skip > 0:
                    rule.skip -= 1
                    continue
                rule.hits += 1
                if rule.remaining is not None:
                    rule.remaining -= 1
                return rule
        return None

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            self.log.append(entry)
        return entry

    def finish_record(self, entry):
        if self.log_file:
            with self.lock:
                self.log_file.write(json.dumps(entry, ensure_ascii=False) + "\n")
                self.log_file.flush()
        if self.verbose:
            sys.stderr.write("%s %s -> %s%s\n" % (entry["method"], entry["url"], entry.get("status"),
                                                 " [%s]" % entry["fault"] if entry.get("fault") else ""))

    def image(self, desc):
        key = json.dumps(desc, sort_keys=True)
        with self.lock:
            done = self.image_cache.get(key)
            if done:
                return done
            lock = self.image_locks.setdefault(key, threading.Lock())
        with lock:
            with self.lock:
                done = self.image_cache.get(key)
            if not done:
                done = kivo_images.make_image(desc)
                with self.lock:
                    self.image_cache[key] = done
        return done

    def warm_up(self):
        """Makes every scenario picture ahead of its first request, covers first."""
        descs = sorted(self.scenario.images.values(), key=lambda s: s["width"] * s["height"])
        for desc in descs:
            try:
                self.image(desc)
            except Exception:
                traceback.print_exc()

    def _resource(self, desc, origin):
        """A fixed answer at a URL (or host/path): a scenario resource or a control one."""
        desc = dict(desc)
        base = desc.get("_base") or "."
        _split_url(desc)
        rule = FaultRule(dict(desc, action="body", body=""), origin)
        status = int(desc.get("status", 200))
        headers = [tuple(h) for h in desc.get("headers", [])]
        if "location" in desc:
            headers.append(("Location", desc["location"]))
        ctype = desc.get("content_type")
        if "bytes" in desc:
            n, seed = int(desc["bytes"].get("n", 0)), int(desc["bytes"].get("seed", 0))

            def make():
                return Reply(status, pattern_bytes(n, seed), ctype or "application/octet-stream", headers)
            return rule, make
        if "file" in desc and "body" not in desc:
            path = os.path.join(base, desc["file"])
            if not os.path.isfile(path):
                raise ValueError("resource file %s does not exist" % path)

            def make():
                with open(path, "rb") as f:
                    return Reply(status, f.read(), ctype or "application/octet-stream", headers)
            return rule, make
        if "hex" in desc and "body" not in desc:
            desc["body"] = {"hex": desc["hex"]}
        data = body_bytes(desc.get("body", ""), base, "resource %s" % desc.get("url", desc.get("path")))
        if ctype is None:
            ctype = "text/html; charset=GBK"
        return rule, lambda: Reply(status, data, ctype, headers)

    # --- album service ---------------------------------------------------------------

    def member_card(self, req):
        uin = req.args.get("uin", "")
        m = self.scenario.member(uin)
        if m and m["card_body"] is not None:
            return Reply(200, m["card_body"], "text/html; charset=GBK")
        if not m:
            text = '_Callback(\r\n{"uin":"%s","ret":-1,"msg":"用户不存在"}\r\n);' % _js(uin)
            return Reply(200, text.encode("gbk", "replace"), "text/html; charset=GBK")
        else:
            text = ('_Callback(\r\n{"uin":"%s","sign":"%s",\r\n"nick":"%s","face":"%s",'
                    '"qzone":"1","ret":0}\r\n);' % (_js(uin), _js(m["sign"]), _js(m["nick"]), _js(m["face"])))
        return Reply(200, gbk(text, "member card"), "text/html; charset=GBK")

    def route(self, req):
        uin = req.args.get("UIN", "")
        m = self.scenario.member(uin)
        if m and m["route_body"] is not None:
            return Reply(200, m["route_body"], "text/plain; charset=GBK")
        groups = [(g, p, s) for g, p, s in self.scenario.route_decoys if not m or g != m["route_group"]]
        if m:
            default = m["route_group"]
            groups.append((default, m["album_host"], m["photo_host"]))
        else:
            default = groups[0][0] if groups else "1"
        parts = ['"default":"%s"' % _js(default)]
        parts += ['"%s":{"p":"%s","s":"%s"}' % (_js(g), _js(p), _js(s)) for g, p, s in groups]
        return Reply(200, gbk("{" + ",".join(parts) + "}", "route"), "text/plain; charset=GBK")

    def _host_for(self, uin, role):
        m = self.scenario.member(uin)
        if m:
            return m["album_host" if role == "album" else "photo_host"], m
        decoys = self.scenario.route_decoys
        if not decoys:
            return None, None
        return (decoys[0][1] if role == "album" else decoys[0][2]), None

    def album_list(self, req):
        uin = req.args.get("uin", "")
        host, m = self._host_for(uin, "album")
        if req.host != host:
            return not_found("%s does not serve the albums of %s" % (req.host, uin))
        if not m:
            return xml_reply(_XML_HEAD + "<data>\n<ret>-4</ret>\n<msg>没有找到该用户</msg>\n</data>\n")
        if self._needs_login(m, req):
            return self._login_required()
        if m["album_list_body"] is not None:
            return Reply(200, m["album_list_body"], "text/xml; charset=GBK")
        out = [_XML_HEAD, "<data>\n<ret>0</ret>\n"]
        for a in m["albums"]:
            out.append("<album>\n")
            for key in ("createtime", "modifytime", "lastuploadtime", "id", "name", "pre",
                        "priv", "question", "total"):
                out.append("<%s>%s</%s>\n" % (key, _xml_text(a[key], m["cdata"] and key in ("name", "question")), key))
            out.append("<classid>100</classid>\n</album>\n")
        out.append("</data>\n")
        return xml_reply("".join(out))

    @staticmethod
    def _needs_login(m, req):
        # A member whose space asks for a login shows his lists only to a logged-in visitor.
        return m["space"] == "login" and LOGIN_COOKIE not in req.cookies

    @staticmethod
    def _login_required():
        return xml_reply(_XML_HEAD + "<data>\n<ret>-3</ret>\n<msg>请先登录</msg>\n</data>\n")

    def _pics_xml(self, m, a, ret="0", msg=None):
        out = [_XML_HEAD, "<data>\n<ret>%s</ret>\n" % ret]
        if msg:
            out.append("<msg>%s</msg>\n" % _xml_text(msg))
        out.append("<albumname>%s</albumname>\n" % _xml_text(a["name"], m["cdata"]))
        for p in a["photos"]:
            out.append("<pic>\n<name>%s</name>\n<origin_url>%s</origin_url>\n<pre>%s</pre>\n</pic>\n"
                       % (_xml_text(p["name"], m["cdata"]), _xml_text(p["origin_url"]), _xml_text(p["pre"])))
        out.append("</data>\n")
        return xml_reply("".join(out))

    def photo_list(self, req):
        uin = req.args.get("uin", "")
        host, m = self._host_for(uin, "photo")
        if req.host != host:
            return not_found("%s does not serve the photos of %s" % (req.host, uin))
        m, a = self.scenario.album(uin, req.args.get("albumid", ""))
        if not a:
            return xml_reply(_XML_HEAD + "<data>\n<ret>-4</ret>\n<msg>相册不存在</msg>\n</data>\n")
        if self._needs_login(m, req):
            return self._login_required()
        if a["photo_list_body"] is not None:
            return Reply(200, a["photo_list_body"], "text/xml; charset=GBK")
        if a["question"].strip():
            return xml_reply(_XML_HEAD + "<data>\n<ret>-10</ret>\n<msg>该相册需要回答问题才能访问</msg>\n</data>\n")
        return self._pics_xml(m, a)

    def album_view(self, req):
        uin, aid = req.args.get("uin", ""), req.args.get("albumid", "")
        m, a = self.scenario.album(uin, aid)
        if not a:
            return xml_reply(_XML_HEAD + "<data>\n<ret>-4</ret>\n<msg>相册不存在</msg>\n</data>\n")
        with self.lock:
            n = self.view_counts.get((uin, aid), 0)
            self.view_counts[(uin, aid)] = n + 1
            code = self.verify_sessions.get(req.cookies.get(VERIFY_COOKIE, ""))
        if a["view_bodies"]:
            return Reply(200, a["view_bodies"][min(n, len(a["view_bodies"]) - 1)], "text/xml; charset=GBK")
        if self.scenario.verify["require_cookie"] and code is None:
            return self._view_refused("-906", "验证码已失效，请刷新后重试")
        if "verifycode" not in req.args and self.scenario.verify["require_code"]:
            return self._view_refused("-907", "请输入验证码")
        if "verifycode" in req.args and req.args["verifycode"].upper() != (code or "").upper():
            return self._view_refused("-907", "验证码错误")
        question = urllib.parse.unquote_to_bytes(req.args.get("question", "")).decode("utf-8", "replace")
        if a["question"].strip() and question != a["question"].strip():
            return self._view_refused("-901", "问题与相册不符")
        expected = hashlib.md5(gbk(a["answer"])).hexdigest().upper()
        if a["question"].strip() and req.args.get("answer", "") != expected:
            return self._view_refused("-900", "答案错误")
        return self._pics_xml(m, a)

    @staticmethod
    def _view_refused(ret, msg):
        return xml_reply(_XML_HEAD + "<data>\n<ret>%s</ret>\n<msg>%s</msg>\n</data>\n" % (ret, msg))

    def verify_picture(self, req):
        codes = self.scenario.verify["codes"]
        with self.lock:
            k = len(self.verify_issued)
            code = codes[k % len(codes)]
            token = hashlib.sha1(("verify-%d" % k).encode()).hexdigest()[:20]
            self.verify_sessions[token] = code
            self.verify_issued.append({"cookie": token, "code": code})
        data, ctype = kivo_images.verify_picture(code, self.scenario.verify["format"], seed=k + 7)
        return Reply(200, data, ctype, [("Set-Cookie", self._cookie(VERIFY_COOKIE, token))])

    def _cookie(self, name, value):
        domain = self.scenario.cookie_domain
        return "%s=%s; path=/%s" % (name, value, "; domain=." + domain if domain else "")

    def login(self, req):
        uin = req.args.get("uin", "")
        target = req.args.get("next", "")
        headers = [("Set-Cookie", self._cookie(LOGIN_COOKIE, uin or "1"))]
        if target.startswith("http://"):
            headers.append(("Location", target))
            return Reply(302, b"", "text/html; charset=GBK", headers)
        return Reply(200, gbk(_page("登录成功", "<p>登录成功</p>")), "text/html; charset=GBK", headers)

    def space(self, req):
        domain = self.hosts["space_domain"]
        if req.host == domain:
            return Reply(200, gbk(_page(HOME_TITLE, "<p>欢迎来到 Pavo</p>")), "text/html; charset=GBK")
        uin = req.host[:-len(domain) - 1]
        m = self.scenario.member(uin)
        if not m or m["space"] == "none":
            return Reply(302, b"", "text/html; charset=GBK", [("Location", "http://%s/" % domain)])
        space_url = "http://%s.%s/" % (uin, domain)
        if m["space"] == "login" and LOGIN_COOKIE not in req.cookies:
            link = "http://%s/login?uin=%s&next=%s" % (self.hosts["login_host"], uin,
                                                      urllib.parse.quote(space_url, safe=""))
            body = '<p>请先登录</p><p><a href="%s">登录</a></p>' % html.escape(link)
            return Reply(200, gbk(_page(LOGIN_TITLE, body)), "text/html; charset=GBK")
        title = "%s的空间 [%s]" % (m["nick"], space_url)
        body = "<h1>%s</h1><p>相册 %d 个</p>" % (html.escape(m["nick"]), len(m["albums"]))
        return Reply(200, gbk(_page(title, body), "space page"), "text/html; charset=GBK")

    def update_page(self, req):
        with self.lock:
            raw, entries = self.update_raw_page, list(self.update_entries)
        if raw is not None:
            return Reply(200, raw, "text/html; charset=GBK")
        doc = ['<?xml version="1.0" encoding="GBK"?>', "<update>"]
        for e in entries:
            doc.append("<soft>")
            for key in ("name", "version", "downurl", "compressed"):
                if e.get(key) is not None:
                    doc.append("<%s>%s</%s>" % (key, _xml_text(str(e[key])), key))
            doc.append("</soft>")
        doc.append("</update>")
        escaped = "<br>".join(line.replace("<", "&lt;").replace(">", "&gt;") for line in doc)
        body = ('<div class="blog_title">KivoAlbum 更新</div>\n'
                '<div class="blog_text">%s</div>\n<div class="blog_foot">评论 (0)</div>' % escaped)
        return Reply(200, gbk(_page("KivoAlbum 更新信息", body), "update page"), "text/html; charset=GBK")

    # --- fetch-test host --------------------------------------------------------------

    def fetch_body(self, req):
        try:
            data = bytes.fromhex(req.args.get("hex", ""))
        except ValueError:
            return Reply(400, b"bad hex")
        return Reply(200, data, req.args.get("type", "application/octet-stream"))

    def fetch_empty(self, req):
        return Reply(200, b"", "text/plain")

    def fetch_status(self, req):
        try:
            code = int(req.args.get("code", "200"))
        except ValueError:
            return Reply(400, b"bad code")
        if not 100 <= code <= 999:
            return Reply(400, b"bad code")
        return Reply(code, b"" if code in (204, 304) else ("status %d\n" % code).encode())

    def fetch_redirect(self, req):
        try:
            code = int(req.args.get("code", "302") or 302)
        except ValueError:
            return Reply(400, b"bad code")
        to = req.args.get("to", "")
        return Reply(code, ("redirect to %s\n" % to).encode("utf-8"), "text/plain", [("Location", to)])

    def fetch_bytes(self, req):
        try:
            n, seed = int(req.args.get("n", "0")), int(req.args.get("seed", "0"))
        except ValueError:
            return Reply(400, b"bad n or seed")
        if n < 0:
            return Reply(400, b"bad n")
        return Reply(200, pattern_bytes(n, seed), "application/octet-stream")

    def fetch_set_cookie(self, req):
        name, value = req.args.get("name", ""), req.args.get("value", "")
        if not name or any(c in name + value for c in ";\r\n"):
            return Reply(400, b"bad cookie")
        cookie = "%s=%s; path=/" % (name, value)
        if req.args.get("attrs"):
            cookie += "; " + req.args["attrs"]
        return Reply(200, b"cookie set\n", "text/plain", [("Set-Cookie", cookie)])

    def fetch_echo(self, req):
        lines = ["%s %s" % (req.method, req.target)]
        lines += ["%s: %s" % (k, v) for k, v in req.headers.items()]
        return Reply(200, ("\r\n".join(lines) + "\r\n").encode("latin-1", "replace"), "text/plain")

    # --- control ----------------------------------------------------------------------

    def control(self, req):
        name = req.path[len("/__control/"):]
        args = req.args
        post = None
        if req.method == "POST" and req.body:
            try:
                post = json.loads(req.body.decode("utf-8"))
            except ValueError as e:
                return json_reply({"error": "body is not JSON: %s" % e}, 400)
        try:
            if name in ("health", ""):
                return json_reply({"ok": True, "port": self.port})
            if name == "requests":
                with self.lock:
                    entries = list(self.log)
                if args.get("host"):
                    entries = [e for e in entries if e["target_host"] == args["host"].lower()]
                if args.get("path"):
                    entries = [e for e in entries if e["path"] == args["path"]]
                return json_reply(entries)
            if name == "clear":
                with self.lock:
                    self.log = []
                    self.faults = []
                    self.verify_sessions, self.verify_issued, self.view_counts = {}, [], {}
                return json_reply({"cleared": True})
            if name == "reset":
                self.reset()
                return json_reply({"reset": True})
            if name == "fault":
                descs = post if post is not None else [dict(args)]
                if isinstance(descs, dict):
                    descs = [descs]
                rules = [FaultRule(s, "control") for s in descs]
                with self.lock:
                    self.faults.extend(rules)
                return json_reply({"installed": [r.describe() for r in rules]})
            if name == "faults":
                with self.lock:
                    return json_reply([r.describe() for r in self.faults])
            if name == "resource":
                descs = post if post is not None else [dict(args)]
                if isinstance(descs, dict):
                    descs = [descs]
                made = [self._resource(s, "control") for s in descs]
                with self.lock:
                    self.resources = made + self.resources
                return json_reply({"installed": [r.describe() for r, _ in made]})
            if name == "content":
                url = args.get("url", "")
                if not url.lower().startswith("http://"):
                    return json_reply({"error": "url must be an http:// URL"}, 400)
                inner = Request("GET", url, {"Host": urllib.parse.urlsplit(url).netloc})
                reply = self.respond(inner)
                reply.headers.append(("X-Kivo-Status", str(reply.status)))
                return reply
            if name == "bytes":
                return self.fetch_bytes(req)
            if name == "scenario":
                return json_reply(self.scenario.summary())
            if name == "verify":
                with self.lock:
                    return json_reply(list(self.verify_issued))
            if name == "update":
                desc = post if post is not None else dict(args)
                with self.lock:
                    if "page" in desc:
                        self.update_raw_page = body_bytes(desc["page"])
                    elif "entries" in desc:
                        self.update_entries = [dict(e) for e in desc["entries"]]
                        self.update_raw_page = None
                    else:
                        entry = {"name": "KivoAlbum", "version": "1.5"}
                        entry.update(desc)
                        self.update_entries = [entry]
                        self.update_raw_page = None
                return json_reply({"entries": self.update_entries})
        except (ValueError, TypeError, KeyError, ScenarioError) as e:
            return json_reply({"error": str(e)}, 400)
        return json_reply({"error": "no control request %s" % name}, 404)

    def is_control(self, req):
        if not req.path.startswith("/__control/"):
            return False
        if req.host == CONTROL_HOST:
            return True
        # Direct (origin-form) requests on the port itself.
        return not req.absolute and req.host in ("", "127.0.0.1", "localhost", "[::1]")


_XML_HEAD = '<?xml version="1.0" encoding="GBK"?>\n'


def _js(text):
    return str(text).replace("\\", "\\\\").replace('"', '\\"')


def _xml_text(text, cdata=False):
    text = str(text)
    if cdata and text and "]]>" not in text:
        return "<![CDATA[%s]]>" % text
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def _page(title, body):
    return ('<html>\n<head>\n<meta http-equiv="Content-Type" content="text/html; charset=gbk">\n'
            "<title>%s</title>\n</head>\n<body>\n%s\n</body>\n</html>\n" % (html.escape(title, False), body))


# --- HTTP -------------------------------------------------------------------------

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KivoService/1.0"
    timeout = 300  # idle keep-alive connections

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self.serve()

    def do_POST(self):
        self.serve()

    def do_HEAD(self):
        self.serve(head=True)

    def serve(self, head=False):
        service = self.server.service
        try:
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            length = 0
        body = self.rfile.read(length) if length > 0 else b""
        self.keep_alive = self._wants_keep_alive()
        req = Request(self.command, self.path, self.headers, body)
        if service.is_control(req):
            try:
                reply = service.control(req)
            except Exception:
                traceback.print_exc()
                reply = Reply(500, traceback.format_exc(limit=3).encode("utf-8", "replace"))
            try:
                self.send(reply, head)
            except OSError:
                self.close_connection = True
            return
        entry = service.record({
            "time": time.time(),
            "method": self.command, "url": self.path, "absolute_form": req.absolute,
            "absolute_url": req.url, "target_host": req.host, "path": req.path, "query": req.query,
            "host": self.headers.get("Host"), "user_agent": self.headers.get("User-Agent"),
            "cookie": self.headers.get("Cookie"), "http_version": self.request_version,
            "status": None, "fault": None, "body_bytes": 0,
            "client_port": self.client_address[1],  # same port: a reused connection
        })
        try:
            fault = service.take_fault(req)
            if fault:
                entry["fault"] = fault.action
                entry["fault_id"] = fault.id
            self.apply(service, req, fault, entry, head)
        except (ConnectionError, socket.timeout, BrokenPipeError):
            entry["client_gone"] = True
            self.close_connection = True
        except Exception:
            traceback.print_exc()
            entry["error"] = traceback.format_exc(limit=3)
            self.close_connection = True
            if entry["status"] is None:
                self._headers_buffer = []
                try:
                    self.send(Reply(500, b"internal error of the stand-in service\n"), head, entry)
                except OSError:
                    pass
        finally:
            service.finish_record(entry)

    def _wants_keep_alive(self):
        conn = (self.headers.get("Connection") or self.headers.get("Proxy-Connection") or "").lower()
        if self.request_version == "HTTP/1.0":
            return conn == "keep-alive"
        return conn != "close"

    def apply(self, service, req, fault, entry, head):
        action = fault.action if fault else None
        desc = fault.desc if fault else {}
        if action == "hangup":
            entry["status"] = "hangup"
            self.close_connection = True
            return
        if action == "stall" and desc.get("after") is None:
            time.sleep(desc["seconds"])
        if action == "status":
            reply = Reply(desc["code"], fault.body if fault.body is not None else ("status %d\n" % desc["code"]).encode())
        elif action == "redirect":
            code = desc.get("code") or 302
            reply = Reply(code, b"", "text/html", [("Location", desc["location"])])
        elif action == "body":
            reply = Reply(int(desc.get("status") or 200), fault.body,
                          desc.get("content_type", "text/xml; charset=GBK"))
        elif action == "oversize":
            reply = Reply(200, pattern_bytes(desc["size"], desc.get("seed") or 0),
                          desc.get("content_type", "text/xml; charset=GBK"))
        else:
            reply = service.respond(req)
        if action == "truncate":
            data = reply.body.read_all()[:max(0, desc.get("after") or 0)]
            reply.body = Body(data)
        opts = {}
        if action == "drop":
            length = reply.body.length or 0
            opts["drop_after"] = desc.get("after", length // 2)
            opts["reset"] = bool(desc.get("reset"))
        if action == "stall" and desc.get("after") is not None:
            opts["stall_after"] = (desc["after"], desc["seconds"])
        if action == "no-length" or (action in ("oversize", "throttle") and desc.get("length") is False):
            opts["no_length"] = True
        if action == "throttle":
            opts["rate"] = desc["rate"]
        self.send(reply, head, entry, **opts)

    @staticmethod
    def _paced(chunks, rate):
        """The body in tenth-of-a-second pieces at about rate bytes per second."""
        piece = max(1, rate // 10)
        start, sent = time.monotonic(), 0
        for chunk in chunks:
            for at in range(0, len(chunk), piece):
                delay = start + sent / rate - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                part = chunk[at:at + piece]
                sent += len(part)
                yield part

    def send(self, reply, head, entry=None, drop_after=None, reset=False, stall_after=None, no_length=False,
             rate=None):
        body = reply.body
        no_body = head or reply.status in (204, 304) or 100 <= reply.status < 200
        self.send_response(reply.status)
        for k, v in reply.headers:
            # Values come from queries and scenario data: never let them split the header.
            self.send_header(k, str(v).replace("\r", " ").replace("\n", " "))
        keep = self.keep_alive and not no_length and drop_after is None
        if not (reply.status in (204, 304) or 100 <= reply.status < 200) and not no_length:
            self.send_header("Content-Length", str(body.length))
        self.send_header("Connection", "keep-alive" if keep else "close")
        if self.headers.get("Proxy-Connection"):
            self.send_header("Proxy-Connection", "keep-alive" if keep else "close")
        self.end_headers()
        if entry is not None:
            entry["status"] = reply.status
        if not keep:
            self.close_connection = True
        if no_body:
            return
        sent = 0
        chunks = body.chunks() if rate is None else self._paced(body.chunks(), rate)
        for chunk in chunks:
            if stall_after is not None and sent <= stall_after[0] < sent + len(chunk):
                cut = stall_after[0] - sent
                self.wfile.write(chunk[:cut])
                sent += cut
                chunk = chunk[cut:]
                time.sleep(stall_after[1])
                stall_after = None
            if drop_after is not None and sent + len(chunk) >= drop_after:
                self.wfile.write(chunk[:max(0, drop_after - sent)])
                sent = max(sent, drop_after)
                if entry is not None:
                    entry["body_bytes"] = sent
                self._drop(reset)
                return
            self.wfile.write(chunk)
            sent += len(chunk)
            if entry is not None:
                entry["body_bytes"] = sent
        if stall_after is not None:
            time.sleep(stall_after[1])
        if drop_after is not None:
            self._drop(reset)

    def _drop(self, reset):
        self.close_connection = True
        if reset:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    block_on_close = False
    request_queue_size = 64

    def server_bind(self):
        # HTTPServer would look up the machine's name here; a broken resolver must not
        # delay the start.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if not isinstance(exc, (ConnectionError, socket.timeout)):
            traceback.print_exc()


def main(argv=None):
    ap = argparse.ArgumentParser(description="Stand-in Kivo album service (an HTTP proxy).")
    ap.add_argument("--port-file", required=True, help="written with the port once listening")
    ap.add_argument("--scenario", action="append", default=[],
                    help="scenario file or name under scenarios/ (repeatable; default: demo)")
    ap.add_argument("--hosts", help="JSON file with the build's configured hosts")
    ap.add_argument("--request-log", help="append every request as a JSON line")
    ap.add_argument("--port", type=int, default=0, help="port to listen on (default: a free one)")
    ap.add_argument("--no-warm", action="store_true", help="make pictures only when asked for")
    ap.add_argument("--verbose", action="store_true", help="print every request on stderr")
    opts = ap.parse_args(argv)
    try:
        service = Service(opts.scenario or ["demo"], load_hosts(opts.hosts), opts.request_log, opts.verbose)
    except (ScenarioError, OSError, ValueError) as e:
        sys.stderr.write("kivo-service: %s\n" % e)
        return 2

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    server = Server(("127.0.0.1", opts.port), Handler)
    server.service = service
    port = server.server_address[1]
    service.port = port
    tmp = opts.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, opts.port_file)
    print("kivo-service listening on 127.0.0.1:%d" % port, flush=True)

    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
    if not opts.no_warm:
        threading.Thread(target=service.warm_up, daemon=True).start()
    while not stop.wait(0.5):
        pass
    server.shutdown()
    server.server_close()
    if service.log_file:
        service.log_file.close()
    sys.stdout.flush()
    sys.stderr.flush()
    # Handler threads may still sleep in a stall; they must not hold up the exit.
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
