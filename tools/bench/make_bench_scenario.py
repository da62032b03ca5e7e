#!/usr/bin/env python3
"""Writes the program benchmark's scenario for the stand-in service, and the URL lists the
benchmark times against the program.

    make_bench_scenario.py OUT_FOLDER

OUT_FOLDER gets scenario.json and, one URL a line:
  covers.txt    the covers of the listing member's albums, in list order
  photos500.txt the full-size pictures of the 500-photo album, in list order
  photos1000.txt the same for the 1,000-photo album

Members (all with open spaces):
  700300  300 albums for the listing. Drawing a cover costs the service about 0.2 s, so 30
          distinct JPEG covers are drawn and the other albums share them through "pre".
  700500  one album of 500 photos
  701000  one album of 1,000 photos
Photos point at the fetch host's /bytes, which streams its bytes at no cost; their sizes
vary from 40 KB to 400 KB by a fixed rule, as a camera's pictures do after the service
shrinks them. The small pictures are /bytes too, so a fallback would still save a file.
"""
import json
import os
import random
import sys

LISTING_UIN = "700300"
DOWNLOAD_UINS = {"700500": 500, "701000": 1000}
ALBUMS = 300
DISTINCT_COVERS = 30
IMAGE_HOST = "photo.kivo.test"
FETCH_HOST = "fetch.kivo.test"
PATTERNS = ("sunset", "waves", "rings", "bubbles", "gradient", "checker", "stripes")


def photo_size(seed):
    # A spread that is the same in every run: 40,000 to 400,000 bytes, about 220 KB on average.
    return random.Random(seed).randint(40000, 400000)


def listing_member():
    albums = []
    for i in range(ALBUMS):
        aid = "L%03d" % i
        album = {"id": aid, "name": "基准相册%03d" % (i + 1), "total": str(10 + i % 90), "photos": []}
        if i < DISTINCT_COVERS:
            album["cover"] = {"format": "jpeg", "width": 160, "height": 120,
                              "pattern": PATTERNS[i % len(PATTERNS)], "seed": 1000 + i}
        else:
            album["cover"] = None
            album["pre"] = "http://%s/%s/L%03d/cover.jpg" % (IMAGE_HOST, LISTING_UIN, i % DISTINCT_COVERS)
        albums.append(album)
    return {"uin": LISTING_UIN, "nick": "列表基准", "space": "open", "albums": albums}


def download_member(uin, count):
    photos = []
    for n in range(1, count + 1):
        seed = count * 1000 + n
        photos.append({
            "name": "照片%04d" % n,
            "image": None,
            "small": None,
            "origin_url": "http://%s/bytes?n=%d&seed=%d" % (FETCH_HOST, photo_size(seed), seed),
            "pre": "http://%s/bytes?n=%d&seed=%d" % (FETCH_HOST, 20000, seed),
        })
    album = {"id": "D1", "name": "%d张" % count, "photos": photos,
             "cover": {"format": "jpeg", "width": 160, "height": 120, "pattern": "sunset", "seed": int(uin)}}
    return {"uin": uin, "nick": "下载基准%d" % count, "space": "open", "albums": [album]}


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_bench_scenario.py OUT_FOLDER\n")
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    members = [listing_member()] + [download_member(uin, n) for uin, n in DOWNLOAD_UINS.items()]
    scenario = {
        "description": "Program benchmark: 300 albums to list, albums of 500 and 1,000 photos to download.",
        "image_host": IMAGE_HOST,
        "fetch_host": FETCH_HOST,
        "members": members,
    }
    with open(os.path.join(out, "scenario.json"), "w", encoding="utf-8") as f:
        json.dump(scenario, f, ensure_ascii=False, indent=1)
    covers = [a.get("pre") or "http://%s/%s/%s/cover.jpg" % (IMAGE_HOST, LISTING_UIN, a["id"])
              for a in members[0]["albums"]]
    with open(os.path.join(out, "covers.txt"), "w") as f:
        f.write("".join(url + "\n" for url in covers))
    for member in members[1:]:
        photos = member["albums"][0]["photos"]
        with open(os.path.join(out, "photos%d.txt" % len(photos)), "w") as f:
            f.write("".join(p["origin_url"] + "\n" for p in photos))
    return 0


if __name__ == "__main__":
    sys.exit(main())
