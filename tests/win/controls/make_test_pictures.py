#!/usr/bin/env python3
"""Writes the pictures the Wine tests of CImage and CThumbnailList decode.

Usage: make_test_pictures.py KIVO_IMAGES_DIR OUT_DIR

The encoders are the stand-in service's own (pure Python), so the files are made without the
system codecs under test. Pixel values are chosen so that a test can tell where every pixel came
from: a "grid" picture has red = x, green = y, blue = 200 (never black).
"""

import os
import struct
import sys
import zlib


def grid(w, h):
    return [bytearray(b for x in range(w) for b in (x & 0xFF, y & 0xFF, 200)) for y in range(h)]


def solid(w, h, colour):
    return [bytearray(bytes(colour) * w) for _ in range(h)]


def huge_png(w, h):
    """A small file that declares a picture of w x h red pixels (about 1 KB per 1000 rows)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    packer = zlib.compressobj(9)
    row = b"\0" + b"\xff\x00\x00" * w
    body = bytearray()
    for _ in range(h):
        body += packer.compress(row)
    body += packer.flush()
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", bytes(body)) + chunk(b"IEND", b""))


def main(argv):
    sys.path.insert(0, argv[1])
    import kivo_images as ki
    out = argv[2]
    os.makedirs(out, exist_ok=True)

    def write(name, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    # Covers of the centring cases, in lossless formats.
    write("grid_100x100.png", ki.encode_png(100, 100, grid(100, 100)))
    write("grid_160x120.bmp", ki.encode_bmp(160, 120, grid(160, 120)))
    write("grid_75x75.png", ki.encode_png(75, 75, grid(75, 75)))
    write("grid_101x100.bmp", ki.encode_bmp(101, 100, grid(101, 100)))
    write("grid_103x100.png", ki.encode_png(103, 100, grid(103, 100)))
    write("grid_40x20.bmp", ki.encode_bmp(40, 20, grid(40, 20)))
    write("grid_300x200.png", ki.encode_png(300, 200, grid(300, 200)))

    # Left half pure black (the mask colour), right half RGB(1, 1, 1).
    mask = [bytearray(b"\0\0\0" * 50 + b"\1\1\1" * 50) for _ in range(100)]
    write("mask_100x100.bmp", ki.encode_bmp(100, 100, mask))

    # Four bands of 25 rows: opaque red, clear red, half-clear orange, quarter-opaque green.
    bands = ((255, 0, 0, 255), (255, 0, 0, 0), (200, 100, 0, 128), (0, 255, 0, 64))
    rows, alpha = [], []
    for r, g, b, a in bands:
        for _ in range(25):
            rows.append(bytearray(bytes((r, g, b)) * 100))
            alpha.append(bytearray([a] * 100))
    write("alpha_100x100.png", ki.encode_png(100, 100, rows, alpha))

    # The service's own 8-bit GIF (its fixed 256-colour palette) and a plain JPEG.
    write("palette_64x48.gif", ki.encode_gif(64, 48, grid(64, 48)))
    write("solid_64x48.jpg", ki.encode_jpeg(64, 48, solid(64, 48, (30, 120, 220)), 95, "444"))
    write("solid_64x48.png", ki.encode_png(64, 48, solid(64, 48, (30, 120, 220))))

    # Not pictures.
    write("broken.jpg", b"\xff\xd8\xff\xe0" + bytes(range(256)) * 4)
    write("html.jpg", b"<html><body>404 Not Found</body></html>")
    write("empty.png", b"")

    write("huge_20000x20000.png", huge_png(20000, 20000))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
