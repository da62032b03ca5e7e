"""Scenario data of the stand-in album service: loading, defaults and answer bodies.

Scenario files are UTF-8 JSON (format in README.md). Everything the service sends as
text is encoded to GBK here, so a scenario text that GBK cannot hold fails at load
time rather than in the middle of a test.
"""

import base64
import binascii
import copy
import json
import os
import urllib.parse
import zlib

import kivo_images

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIO_DIR = os.path.join(HERE, "scenarios")

DEFAULT_HOSTS = {
    "member_card_host": "card.kivo.test",
    "route_host": "route.kivo.test",
    "login_host": "login.kivo.test",
    "album_view_host": "view.kivo.test",
    "space_domain": "space.kivo.test",
    "update_url": "http://blog.kivo.test/article/kivoalbum-update.html",
}
CONTROL_HOST = "control.kivo.test"
PHOTO_PATTERNS = ("sunset", "waves", "rings", "bubbles", "gradient", "checker", "stripes")


class ScenarioError(Exception):
    pass


def gbk(text, what="text"):
    try:
        return str(text).encode("gbk")
    except UnicodeEncodeError as e:
        raise ScenarioError("%s cannot be written in GBK: %r (%s)" % (what, text, e))


def body_bytes(value, base_dir=HERE, what="body"):
    """A raw answer body from scenario data.

    A string is sent as GBK. An object picks another source: {"text": s, "charset": c},
    {"hex": "..."}, {"base64": "..."}, {"file": path} (relative to the scenario file)
    or {"image": picture description}.
    """
    if value is None:
        return None
    if isinstance(value, str):
        return gbk(value, what)
    if not isinstance(value, dict):
        raise ScenarioError("%s: expected a string or an object, got %r" % (what, value))
    try:
        if "text" in value:
            charset = value.get("charset", "gbk")
            return str(value["text"]).encode(charset)
        if "hex" in value:
            return binascii.unhexlify("".join(str(value["hex"]).split()))
        if "base64" in value:
            return base64.b64decode(value["base64"])
        if "file" in value:
            with open(os.path.join(base_dir, value["file"]), "rb") as f:
                return f.read()
        if "image" in value:
            return kivo_images.make_image(value["image"])[0]
    except (OSError, ValueError, LookupError, binascii.Error) as e:
        raise ScenarioError("%s: %s" % (what, e))
    raise ScenarioError("%s: no text, hex, base64, file or image in %r" % (what, value))


def url_key(url):
    """The key under which a picture URL is looked up: host, path and query as sent."""
    parts = urllib.parse.urlsplit(url)
    key = (parts.hostname or "").lower() + (parts.path or "/")
    return key + ("?" + parts.query if parts.query else "")


def resolve_scenario_path(name):
    if os.path.exists(name):
        return name
    candidate = os.path.join(SCENARIO_DIR, name if name.endswith(".json") else name + ".json")
    if os.path.exists(candidate):
        return candidate
    raise ScenarioError("no scenario file %s (nor %s)" % (name, candidate))


def load_hosts(path):
    hosts = dict(DEFAULT_HOSTS)
    if path:
        with open(path, encoding="utf-8") as f:
            given = json.load(f)
        for key, value in given.items():
            k = key.lower()
            if k.startswith("kivo_"):
                k = k[5:]
            if k not in hosts:
                raise ScenarioError("hosts file %s: unknown key %s" % (path, key))
            hosts[k] = str(value).strip()
    for k in hosts:
        if k != "update_url":
            hosts[k] = hosts[k].lower()
    return hosts


def merge(docs):
    """Later files add members (same uin: replaced), faults and resources, and override
    the other top-level values."""
    out = {"members": [], "faults": [], "resources": []}
    for doc, base_dir in docs:
        for key, value in doc.items():
            if key == "members":
                for m in value:
                    m = dict(m, _base=base_dir)
                    out["members"] = [x for x in out["members"] if str(x.get("uin")) != str(m.get("uin"))]
                    out["members"].append(m)
            elif key in ("faults", "resources"):
                out[key].extend(dict(v, _base=base_dir) for v in value)
            elif isinstance(value, dict) and isinstance(out.get(key), dict):
                out[key] = dict(out[key], **value)
            else:
                out[key] = value
        out.setdefault("_base", base_dir)
    return out


def _common_domain(hosts):
    names = [hosts[k] for k in ("member_card_host", "route_host", "login_host",
                                "album_view_host", "space_domain")]
    names.append((urllib.parse.urlsplit(hosts["update_url"]).hostname or "").lower())
    labels = [n.split(".") for n in names if n]
    common = []
    for parts in zip(*[list(reversed(l)) for l in labels]):
        if len(set(parts)) != 1:
            break
        common.append(parts[0])
    return ".".join(reversed(common)) if len(common) >= 2 else None


class Scenario:
    """The resolved scenario: members with their albums and photos, picture index."""

    def __init__(self, files, hosts):
        docs = []
        for name in files:
            path = resolve_scenario_path(name)
            try:
                with open(path, encoding="utf-8") as f:
                    docs.append((json.load(f), os.path.dirname(os.path.abspath(path))))
            except ValueError as e:
                raise ScenarioError("scenario %s: %s" % (path, e))
        self.files = [os.path.abspath(resolve_scenario_path(n)) for n in files]
        raw = merge(docs)
        self.raw = raw
        self.hosts = hosts
        self.fetch_host = str(raw.get("fetch_host", "fetch.kivo.test")).lower()
        self.image_host = str(raw.get("image_host", "photo.kivo.test")).lower()
        self.cookie_domain = raw.get("cookie_domain", _common_domain(hosts))
        decoys = raw.get("route_decoys", {"1": {"p": "a1.kivo.test", "s": "p1.kivo.test"}})
        self.route_decoys = [(str(g), str(v["p"]).lower(), str(v["s"]).lower())
                             for g, v in decoys.items()]
        self.images = {}
        self.members = {}
        for m in raw["members"]:
            member = self._member(m)
            self.members[member["uin"]] = member
        self.update = self._update(raw.get("update", {}), raw["_base"])
        verify = raw.get("verify", {})
        self.verify = {
            "codes": [str(c) for c in verify.get("codes", ["K7RW", "3MXP", "H4TY"])],
            "format": verify.get("format", "jpeg"),
            "require_cookie": bool(verify.get("require_cookie", True)),
            "require_code": bool(verify.get("require_code", True)),
        }
        if not self.verify["codes"]:
            raise ScenarioError("verify.codes must not be empty")
        self.faults = [dict(f) for f in raw["faults"]]
        self.resources = [dict(r) for r in raw["resources"]]

    # --- members ------------------------------------------------------------

    def _member(self, m):
        base = m.get("_base", HERE)
        uin = str(m.get("uin", "")).strip()
        if not uin:
            raise ScenarioError("a member has no uin")
        what = "member %s" % uin
        nick = str(m.get("nick", ""))
        gbk(nick, what + " nick")
        member = {
            "uin": uin,
            "nick": nick,
            "sign": str(m.get("sign", "")),
            "face": str(m.get("face", "http://%s/face/%s.jpg" % (self.image_host, uin))),
            "route_group": str(m.get("route_group", "4")),
            "album_host": str(m.get("album_host", "a4.kivo.test")).lower(),
            "photo_host": str(m.get("photo_host", "p4.kivo.test")).lower(),
            "space": m.get("space", "open"),
            "cdata": bool(m.get("cdata", False)),
            "card_body": body_bytes(m.get("card_body"), base, what + " card_body"),
            "route_body": body_bytes(m.get("route_body"), base, what + " route_body"),
            "album_list_body": body_bytes(m.get("album_list_body"), base, what + " album_list_body"),
            "albums": [],
        }
        if member["space"] not in ("open", "login", "none"):
            raise ScenarioError("%s: space must be open, login or none" % what)
        gbk(member["sign"], what + " sign")
        image_host = str(m.get("image_host", self.image_host)).lower()
        seen = set()
        for ai, a in enumerate(m.get("albums", [])):
            album = self._album(member, a, ai, image_host, base)
            if album["id"] in seen:
                raise ScenarioError("%s: album id %s twice" % (what, album["id"]))
            seen.add(album["id"])
            member["albums"].append(album)
        return member

    def _album(self, member, a, ai, image_host, base):
        uin = member["uin"]
        aid = str(a.get("id", ai + 1))
        what = "member %s album %s" % (uin, aid)
        folder = "http://%s/%s/%s/" % (image_host, uin, aid)
        album = {
            "id": aid,
            "name": str(a.get("name", "相册%d" % (ai + 1))),
            "createtime": str(a.get("createtime", "2009-%02d-%02d 10:%02d:00" % (ai % 12 + 1, ai + 3, ai))),
            "modifytime": str(a.get("modifytime", "2009-%02d-%02d 18:%02d:30" % (ai % 12 + 1, ai + 9, ai))),
            "lastuploadtime": str(a.get("lastuploadtime", "2009-%02d-%02d 18:%02d:30" % (ai % 12 + 1, ai + 9, ai))),
            "question": str(a.get("question", "")),
            "answer": str(a.get("answer", "")),
            "photo_list_body": body_bytes(a.get("photo_list_body"), base, what + " photo_list_body"),
            "view_bodies": [body_bytes(v, base, what + " view_bodies") for v in a.get("view_bodies", [])],
            "photos": [],
        }
        album["priv"] = str(a.get("priv", 5 if album["question"].strip() else 1))
        for key in ("name", "question", "answer", "createtime", "modifytime", "lastuploadtime"):
            gbk(album[key], "%s %s" % (what, key))
        seed0 = zlib.crc32(("%s/%s" % (uin, aid)).encode())
        for pi, p in enumerate(a.get("photos", [])):
            n = pi + 1
            base_desc = {"format": "jpeg", "width": 480, "height": 360,
                         "pattern": PHOTO_PATTERNS[(ai + pi) % len(PHOTO_PATTERNS)],
                         "seed": (seed0 + n) & 0x7FFFFFFF, "label": "%s-%d" % (aid, n)}
            photo = {"name": str(p.get("name", "照片%d" % n))}
            gbk(photo["name"], "%s photo %d name" % (what, n))
            image = self._desc(p.get("image", {}), base_desc)
            small = self._desc(p.get("small", {}), dict(base_desc, width=160, height=120))
            photo["origin_url"] = str(p.get("origin_url") or folder + "%d.%s" % (n, _ext(image)))
            photo["pre"] = str(p.get("pre") or folder + "small/%d.%s" % (n, _ext(small)))
            self._add_image(photo["origin_url"], image, what)
            self._add_image(photo["pre"], small, what)
            album["photos"].append(photo)
        first = album["photos"][0] if album["photos"] else None
        cover_base = {"format": "jpeg", "width": 160, "height": 120,
                      "pattern": PHOTO_PATTERNS[ai % len(PHOTO_PATTERNS)] if first else "plain",
                      "seed": seed0 & 0x7FFFFFFF}
        cover = self._desc(a.get("cover", {}), cover_base)
        album["pre"] = str(a.get("pre") or folder + "cover.%s" % _ext(cover))
        self._add_image(album["pre"], cover, what)
        album["total"] = str(a.get("total", len(album["photos"])))
        return album

    @staticmethod
    def _desc(given, default):
        if given is None:
            return None
        desc = dict(default)
        desc.update(given)
        fmt = str(desc.get("format", "jpeg")).lower()
        desc["format"] = "jpeg" if fmt == "jpg" else fmt
        if desc["format"] not in kivo_images.FORMATS:
            raise ScenarioError("unknown picture format %s" % fmt)
        if desc.get("pattern") not in kivo_images.PATTERNS:
            raise ScenarioError("unknown picture pattern %s" % desc.get("pattern"))
        return desc

    def _add_image(self, url, desc, what):
        if desc is None:
            return
        key = url_key(url)
        if key in self.images and self.images[key] != desc:
            raise ScenarioError("%s: two different pictures at %s" % (what, url))
        self.images[key] = desc

    # --- update page ---------------------------------------------------------

    @staticmethod
    def _update(u, base):
        entries = u.get("entries", [{
            "name": "KivoAlbum", "version": "1.5",
            "downurl": "http://download.kivo.test/KivoAlbum1.6.exe", "compressed": 0}])
        return {"entries": [dict(e) for e in entries],
                "page": body_bytes(u.get("page"), base, "update page")}

    # --- lookups ---------------------------------------------------------------

    def member(self, uin):
        return self.members.get(str(uin))

    def album(self, uin, album_id):
        m = self.member(uin)
        if not m:
            return None, None
        for a in m["albums"]:
            if a["id"] == str(album_id):
                return m, a
        return m, None

    def summary(self):
        """What tests need to know about the scenario (JSON-ready)."""
        members = []
        for m in self.members.values():
            members.append({
                "uin": m["uin"], "nick": m["nick"], "route_group": m["route_group"],
                "album_host": m["album_host"], "photo_host": m["photo_host"], "space": m["space"],
                "albums": [{
                    "id": a["id"], "name": a["name"], "total": a["total"], "pre": a["pre"],
                    "question": a["question"], "answer": a["answer"],
                    "protected": bool(a["question"].strip()),
                    "photos": [dict(p) for p in a["photos"]],
                } for a in m["albums"]],
            })
        return {"files": self.files, "hosts": self.hosts, "fetch_host": self.fetch_host,
                "control_host": CONTROL_HOST, "cookie_domain": self.cookie_domain,
                "route_decoys": [{"group": g, "p": p, "s": s} for g, p, s in self.route_decoys],
                "members": members, "update": copy.deepcopy(self.update["entries"]),
                "verify_codes": list(self.verify["codes"])}


def _ext(desc):
    return kivo_images.FORMATS[desc["format"]][1] if desc else "jpg"
