#!/usr/bin/env python3
"""Draws the download dialog's animation and writes it as a silent AVI clip.

Usage: make_download_clip.py OUTPUT.avi
272 x 60 pixels, 8-bit palette, every frame run-length encoded (RLE8) and a key frame,
31 frames at 15 frames per second. A sheet of paper flies in an arc from a globe on the
left to a folder on the right, so that the loop starts where it ends. The top-left pixel
is the background, which an animation control with a transparent background replaces by
its parent's colour.
"""
import math
import struct
import sys

WIDTH, HEIGHT = 272, 60
FRAMES, FPS = 31, 15

# Palette indexes; the rest of the 256 entries are black.
BACKGROUND, OUTLINE, SEA, LAND, FOLDER, FOLDER_DARK, PAPER, TEXT = range(8)
PALETTE = [
    (192, 192, 192),  # background, the classic dialog grey
    (0, 0, 0),
    (40, 100, 200),
    (60, 160, 80),
    (250, 210, 80),
    (200, 150, 40),
    (255, 255, 255),
    (120, 120, 120),
]


def new_frame():
    return [[BACKGROUND] * WIDTH for _ in range(HEIGHT)]


def draw_globe(img, cx, cy, r):
    for y in range(cy - r - 1, cy + r + 2):
        for x in range(cx - r - 1, cx + r + 2):
            d = math.hypot(x - cx, y - cy)
            if d <= r - 1:
                # Two continents made of sine bands.
                land = math.sin((x - cx) / 4.0) + math.cos((y - cy) / 3.0) > 1.1
                img[y][x] = LAND if land else SEA
            elif d <= r:
                img[y][x] = OUTLINE


def draw_folder(img, x0, y0, w, h):
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            edge = x in (x0, x0 + w - 1) or y in (y0, y0 + h - 1)
            img[y][x] = OUTLINE if edge else (FOLDER_DARK if y < y0 + 4 else FOLDER)
    # The tab on top.
    for y in range(y0 - 4, y0):
        for x in range(x0 + 2, x0 + 14):
            img[y][x] = OUTLINE if y == y0 - 4 or x in (x0 + 2, x0 + 13) else FOLDER_DARK


def draw_paper(img, cx, cy):
    w, h = 14, 18
    x0, y0 = int(cx - w / 2), int(cy - h / 2)
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            if not (0 <= x < WIDTH and 0 <= y < HEIGHT):
                continue
            edge = x in (x0, x0 + w - 1) or y in (y0, y0 + h - 1)
            line = (y - y0) % 3 == 0 and x0 + 2 < x < x0 + w - 3 and y0 < y < y0 + h - 2
            img[y][x] = OUTLINE if edge else (TEXT if line else PAPER)


def frame(n):
    img = new_frame()
    draw_globe(img, 28, 31, 22)
    draw_folder(img, 214, 18, 46, 34)
    # The sheet leaves the globe at frame 0 and has reached the folder at the last one.
    t = n / (FRAMES - 1)
    x = 50 + (210 - 50) * t
    y = 36 - 26 * math.sin(math.pi * t)
    if t < 1:
        draw_paper(img, x, y)
    return img


def rle8(img):
    """Encoded runs only: valid RLE8, bottom-up rows, end of line and end of bitmap."""
    out = bytearray()
    for row in reversed(img):
        x = 0
        while x < WIDTH:
            run = 1
            while x + run < WIDTH and run < 255 and row[x + run] == row[x]:
                run += 1
            out += bytes((run, row[x]))
            x += run
        out += b"\x00\x00"
    out[-2:] = b"\x00\x01"
    return bytes(out)


def chunk(fourcc, data):
    pad = b"\x00" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, fourcc, data):
    return kind + struct.pack("<I", len(data) + 4) + fourcc + data


def build():
    frames = [rle8(frame(n)) for n in range(FRAMES)]
    biggest = max(len(f) for f in frames)
    usec = 1000000 // FPS
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    palette += b"\x00" * (256 * 4 - len(palette))

    avih = struct.pack("<14I", usec, biggest * FPS, 0, 0x10,  # AVIF_HASINDEX
                       FRAMES, 0, 1, biggest, WIDTH, HEIGHT, 0, 0, 0, 0)
    strh = (b"vids" + b"RLE " + struct.pack("<IHHIIIIIIII", 0, 0, 0, 0, 1, FPS, 0, FRAMES,
                                              biggest, 0xFFFFFFFF, 0)
            + struct.pack("<hhhh", 0, 0, WIDTH, HEIGHT))
    strf = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 1,  # BI_RLE8
                       biggest, 0, 0, 256, 0) + palette
    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", strf))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)

    movi_data = b""
    index = b""
    for f in frames:
        # Offsets count from the "movi" fourcc.
        index += b"00dc" + struct.pack("<III", 0x10, 4 + len(movi_data), len(f))
        movi_data += chunk(b"00dc", f)
    movi = riff_list(b"LIST", b"movi", movi_data)
    return riff_list(b"RIFF", b"AVI ", hdrl + movi + chunk(b"idx1", index))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    data = build()
    with open(sys.argv[1], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
