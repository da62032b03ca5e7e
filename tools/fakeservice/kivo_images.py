#!/usr/bin/env python3
"""Deterministic pictures for the stand-in album service.

Pure Python: PNG (zlib), GIF (own LZW), baseline JPEG (own DCT, standard Huffman
tables) and 24-bit BMP. The same description gives the same bytes on every run, so a test
can compare what the program saved with what was served.

A picture description is a dict: format (jpeg|png|gif|bmp), width, height, pattern, seed, and
optionally label (text drawn in a corner), alpha (png), quality and subsampling (jpeg).

Command line: kivo_images.py '{"format":"gif","width":100,"height":100}' out.gif
"""

import json
import math
import random
import struct
import sys
import zlib

FORMATS = {
    "jpeg": ("image/jpeg", "jpg"),
    "png": ("image/png", "png"),
    "gif": ("image/gif", "gif"),
    "bmp": ("image/bmp", "bmp"),
}
PATTERNS = ("sunset", "waves", "rings", "bubbles", "gradient", "checker", "stripes", "plain")

# 5x7 glyphs for labels and verification codes.
_GLYPHS = {
    "0": ("01110", "10001", "10011", "10101", "11001", "10001", "01110"),
    "1": ("00100", "01100", "00100", "00100", "00100", "00100", "01110"),
    "2": ("01110", "10001", "00001", "00010", "00100", "01000", "11111"),
    "3": ("11110", "00001", "00001", "01110", "00001", "00001", "11110"),
    "4": ("00010", "00110", "01010", "10010", "11111", "00010", "00010"),
    "5": ("11111", "10000", "11110", "00001", "00001", "10001", "01110"),
    "6": ("00110", "01000", "10000", "11110", "10001", "10001", "01110"),
    "7": ("11111", "00001", "00010", "00100", "01000", "01000", "01000"),
    "8": ("01110", "10001", "10001", "01110", "10001", "10001", "01110"),
    "9": ("01110", "10001", "10001", "01111", "00001", "00010", "01100"),
    "A": ("01110", "10001", "10001", "11111", "10001", "10001", "10001"),
    "B": ("11110", "10001", "10001", "11110", "10001", "10001", "11110"),
    "C": ("01110", "10001", "10000", "10000", "10000", "10001", "01110"),
    "D": ("11100", "10010", "10001", "10001", "10001", "10010", "11100"),
    "E": ("11111", "10000", "10000", "11110", "10000", "10000", "11111"),
    "F": ("11111", "10000", "10000", "11110", "10000", "10000", "10000"),
    "G": ("01110", "10001", "10000", "10111", "10001", "10001", "01111"),
    "H": ("10001", "10001", "10001", "11111", "10001", "10001", "10001"),
    "I": ("01110", "00100", "00100", "00100", "00100", "00100", "01110"),
    "J": ("00111", "00010", "00010", "00010", "00010", "10010", "01100"),
    "K": ("10001", "10010", "10100", "11000", "10100", "10010", "10001"),
    "L": ("10000", "10000", "10000", "10000", "10000", "10000", "11111"),
    "M": ("10001", "11011", "10101", "10101", "10001", "10001", "10001"),
    "N": ("10001", "10001", "11001", "10101", "10011", "10001", "10001"),
    "O": ("01110", "10001", "10001", "10001", "10001", "10001", "01110"),
    "P": ("11110", "10001", "10001", "11110", "10000", "10000", "10000"),
    "Q": ("01110", "10001", "10001", "10001", "10101", "10010", "01101"),
    "R": ("11110", "10001", "10001", "11110", "10100", "10010", "10001"),
    "S": ("01111", "10000", "10000", "01110", "00001", "00001", "11110"),
    "T": ("11111", "00100", "00100", "00100", "00100", "00100", "00100"),
    "U": ("10001", "10001", "10001", "10001", "10001", "10001", "01110"),
    "V": ("10001", "10001", "10001", "10001", "10001", "01010", "00100"),
    "W": ("10001", "10001", "10001", "10101", "10101", "10101", "01010"),
    "X": ("10001", "10001", "01010", "00100", "01010", "10001", "10001"),
    "Y": ("10001", "10001", "10001", "01010", "00100", "00100", "00100"),
    "Z": ("11111", "00001", "00010", "00100", "01000", "10000", "11111"),
    "-": ("00000", "00000", "00000", "11111", "00000", "00000", "00000"),
    ".": ("00000", "00000", "00000", "00000", "00000", "01100", "01100"),
    ":": ("00000", "01100", "01100", "00000", "01100", "01100", "00000"),
    "/": ("00001", "00010", "00010", "00100", "01000", "01000", "10000"),
    "#": ("01010", "11111", "01010", "01010", "01010", "11111", "01010"),
    " ": ("00000",) * 7,
}


def _hsv(h, s, v):
    h = (h % 1.0) * 6.0
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = ((v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q))[i % 6]
    return (r * 255.0, g * 255.0, b * 255.0)


def _mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def _clamp(x):
    return 0 if x < 0 else 255 if x > 255 else int(x + 0.5)


# Each pattern returns a function (u, v) -> (r, g, b) floats, u and v in [0, 1).
def _pattern(name, seed):
    rnd = random.Random(seed)
    hue = rnd.random()
    if name == "sunset":
        top, horizon = _hsv(hue * 0.2 + 0.62, 0.75, 0.45), _hsv(0.06 + hue * 0.05, 0.85, 1.0)
        sun_u, sun_r = 0.3 + rnd.random() * 0.4, 0.10 + rnd.random() * 0.05
        ph1, ph2 = rnd.random() * 6.28, rnd.random() * 6.28
        far, near = _hsv(hue * 0.2 + 0.7, 0.5, 0.35), _hsv(hue * 0.2 + 0.72, 0.6, 0.15)

        def f(u, v):
            if v > 0.72 + 0.06 * math.sin(u * 9 + ph2) + 0.03 * math.sin(u * 23 + ph1):
                return _mix(near, (0, 0, 0), (v - 0.7) * 0.8)
            if v > 0.6 + 0.07 * math.sin(u * 5 + ph1) + 0.03 * math.sin(u * 13 + ph2):
                return far
            c = _mix(top, horizon, min(1.0, v / 0.68))
            d = math.hypot(u - sun_u, (v - 0.52) * 0.75)
            if d < sun_r:
                return _mix((255.0, 240.0, 170.0), c, (d / sun_r) ** 6)
            if d < sun_r * 2.5:
                return _mix(c, (255.0, 210.0, 120.0), 0.35 * (1 - (d - sun_r) / (sun_r * 1.5)))
            return c
        return f
    if name == "waves":
        p1, p2, p3 = (rnd.random() * 6.28 for _ in range(3))

        def f(u, v):
            w = (math.sin(u * 9 + p1) + math.sin(v * 7 + p2) + math.sin((u + v) * 6 + p3)
                 + math.sin(math.hypot(u - 0.5, v - 0.5) * 16))
            return _hsv(hue + w * 0.06, 0.55 + 0.1 * math.sin(w), 0.75 + 0.06 * w)
        return f
    if name == "rings":
        cu, cv = 0.35 + rnd.random() * 0.3, 0.35 + rnd.random() * 0.3
        a, b = _hsv(hue, 0.7, 0.95), _hsv(hue + 0.45, 0.6, 0.55)

        def f(u, v):
            d = math.hypot(u - cu, v - cv) * 11
            return _mix(a, b, 0.5 + 0.5 * math.cos(d * math.pi))
        return f
    if name == "bubbles":
        bg1, bg2 = _hsv(hue, 0.35, 0.98), _hsv(hue + 0.1, 0.6, 0.6)
        dots = [(rnd.random(), rnd.random(), 0.05 + rnd.random() * 0.14,
                 _hsv(hue + 0.3 + rnd.random() * 0.4, 0.7, 0.95)) for _ in range(9)]

        def f(u, v):
            c = _mix(bg1, bg2, v)
            for du, dv, r, col in dots:
                d = math.hypot(u - du, v - dv)
                if d < r:
                    c = _mix(c, col, 0.55 + 0.35 * (1 - d / r))
            return c
        return f
    if name == "checker":
        a, b = _hsv(hue, 0.5, 0.95), _hsv(hue + 0.5, 0.5, 0.45)

        def f(u, v):
            on = (int(u * 8) + int(v * 8)) & 1
            return _mix(a if on else b, (255.0, 255.0, 255.0), (u + v) * 0.25)
        return f
    if name == "stripes":
        def f(u, v):
            t = (u + v * 0.6) * 7
            return _hsv(hue + int(t) * 0.11, 0.6, 0.7 + 0.25 * (t - int(t)))
        return f
    if name == "plain":
        c = _hsv(hue, 0.08, 0.85)
        return lambda u, v: c
    corners = [_hsv(hue + k * 0.23, 0.65, 0.95 - k * 0.12) for k in range(4)]

    def f(u, v):
        return _mix(_mix(corners[0], corners[1], u), _mix(corners[2], corners[3], u), v)
    return f


def _draw_text(rgb, w, h, text, x0, y0, scale, colour, shadow=(0, 0, 0)):
    for pass_colour, off in ((shadow, max(1, scale // 2)), (colour, 0)):
        if pass_colour is None:
            continue
        x = x0
        for ch in text.upper():
            glyph = _GLYPHS.get(ch, _GLYPHS["#"])
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit != "1":
                        continue
                    for yy in range(y0 + gy * scale + off, y0 + (gy + 1) * scale + off):
                        if not 0 <= yy < h:
                            continue
                        row = rgb[yy]
                        for xx in range(x + gx * scale + off, x + (gx + 1) * scale + off):
                            if 0 <= xx < w:
                                row[xx * 3:xx * 3 + 3] = bytes(pass_colour)
            x += 6 * scale


def render(desc):
    """Returns (width, height, rows, alpha_rows or None); rows are bytearrays of RGB."""
    w, h = int(desc.get("width", 160)), int(desc.get("height", 120))
    if not (1 <= w <= 4096 and 1 <= h <= 4096):
        raise ValueError("picture size out of range: %dx%d" % (w, h))
    f = _pattern(desc.get("pattern", "gradient"), int(desc.get("seed", 1)))
    rows = []
    for y in range(h):
        v = (y + 0.5) / h
        row = bytearray(w * 3)
        for x in range(w):
            r, g, b = f((x + 0.5) / w, v)
            row[x * 3] = _clamp(r)
            row[x * 3 + 1] = _clamp(g)
            row[x * 3 + 2] = _clamp(b)
        rows.append(row)
    label = desc.get("label")
    if label:
        scale = max(1, min(w, h) // 60)
        _draw_text(rows, w, h, str(label), 3 * scale, h - 10 * scale, scale, (255, 255, 255))
    alpha = None
    if desc.get("alpha"):
        # Round badge: opaque centre, soft transparent rim and fully clear corners.
        alpha = []
        for y in range(h):
            v = (y + 0.5) / h - 0.5
            a = bytearray(w)
            for x in range(w):
                d = math.hypot((x + 0.5) / w - 0.5, v)
                a[x] = _clamp(255 * min(1.0, max(0.0, (0.5 - d) / 0.08)))
            alpha.append(a)
    return w, h, rows, alpha


# --- PNG ---------------------------------------------------------------------

def _png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def encode_png(w, h, rows, alpha=None):
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        if alpha is None:
            raw += rows[y]
        else:
            line = bytearray(w * 4)
            line[0::4], line[1::4], line[2::4] = rows[y][0::3], rows[y][1::3], rows[y][2::3]
            line[3::4] = alpha[y]
            raw += line
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha is not None else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _png_chunk(b"IHDR", ihdr)
            + _png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _png_chunk(b"IEND", b""))


def encode_huge_png(w, h):
    """A white 1-bit PNG of up to 65535 x 65535 pixels in a few kilobytes: a picture that
    decodes to far more memory than its file suggests."""
    if not (1 <= w <= 65535 and 1 <= h <= 65535):
        raise ValueError("picture size out of range: %dx%d" % (w, h))
    row = b"\x00" + b"\xff" * ((w + 7) // 8)
    z = zlib.compressobj(9)
    idat = bytearray()
    for _ in range(h):
        idat += z.compress(row)
    idat += z.flush()
    ihdr = struct.pack(">IIBBBBB", w, h, 1, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _png_chunk(b"IHDR", ihdr)
            + _png_chunk(b"IDAT", bytes(idat)) + _png_chunk(b"IEND", b""))


# --- GIF ---------------------------------------------------------------------

_BAYER = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5)


def _gif_palette():
    pal = bytearray()
    for r in range(6):
        for g in range(7):
            for b in range(6):
                pal += bytes((r * 51, g * 255 // 6, b * 51))
    for k in (64, 128, 192, 255):
        pal += bytes((k, k, k))
    return bytes(pal)


def lzw_encode(indices, min_bits=8):
    clear, eoi = 1 << min_bits, (1 << min_bits) + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    width, nxt, table = min_bits + 1, eoi + 1, {}
    emit(clear, width)
    it = iter(indices)
    prefix = next(it, None)
    if prefix is not None:
        for c in it:
            key = (prefix << 8) | c
            code = table.get(key)
            if code is not None:
                prefix = code
                continue
            emit(prefix, width)
            if nxt < 4096:
                table[key] = nxt
                nxt += 1
                # The decoder adds this entry one code later, so it widens only once
                # the entry just made no longer fits the current width.
                if nxt > (1 << width) and width < 12:
                    width += 1
            else:
                emit(clear, width)
                width, nxt, table = min_bits + 1, eoi + 1, {}
            prefix = c
        emit(prefix, width)
    emit(eoi, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_indices(w, h, rows):
    """Palette indices of the picture: ordered dither onto a 6x7x6 colour cube."""
    idx = bytearray(w * h)
    lv = (5, 6, 5)
    for y in range(h):
        row = rows[y]
        for x in range(w):
            t = (_BAYER[(y & 3) * 4 + (x & 3)] + 0.5) / 16.0
            r = min(5, int(row[x * 3] * lv[0] / 255.0 + t))
            g = min(6, int(row[x * 3 + 1] * lv[1] / 255.0 + t))
            b = min(5, int(row[x * 3 + 2] * lv[2] / 255.0 + t))
            idx[y * w + x] = r * 42 + g * 6 + b
    return idx


def encode_gif(w, h, rows):
    data = lzw_encode(gif_indices(w, h, rows))
    blocks = bytearray()
    for i in range(0, len(data), 255):
        piece = data[i:i + 255]
        blocks.append(len(piece))
        blocks += piece
    return (b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF7, 0, 0) + _gif_palette()
            + b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0) + b"\x08" + bytes(blocks)
            + b"\x00\x3b")


# --- BMP ---------------------------------------------------------------------

def encode_bmp(w, h, rows):
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray(rows[y])
        line[0::3], line[2::3] = rows[y][2::3], rows[y][0::3]
        pixels += line + b"\0" * (stride - w * 3)
    return (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
            + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
            + bytes(pixels))


# --- JPEG (baseline, Huffman tables of the standard's annex K) ---------------

_ZIGZAG = (0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
           41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22,
           15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55,
           62, 63)
_QLUM = (16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40,
         57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35,
         55, 64, 81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112,
         100, 103, 99)
_QCHR = (17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99,
         99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99) + (99,) * 32
_DC_LUM = ((0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0), tuple(range(12)))
_DC_CHR = ((0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0), tuple(range(12)))
_AC_LUM = ((0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D), bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718"
    "191a25262728292a3435363738393a434445464748494a535455565758595a636465666768696a737475"
    "767778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3"
    "c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa"))
_AC_CHR = ((0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77), bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0156272d10a162434e1"
    "25f11718191a262728292a35363738393a434445464748494a535455565758595a636465666768696a73"
    "7475767778797a82838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9"
    "bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa"))
_DCT = [[(math.sqrt(0.125) if u == 0 else 0.5) * math.cos((2 * x + 1) * u * math.pi / 16)
         for x in range(8)] for u in range(8)]


def _huff_codes(table):
    bits, vals = table
    assert sum(bits) == len(vals) and len(set(vals)) == len(vals)
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def _scaled_quant(base, quality):
    q = max(1, min(100, int(quality)))
    scale = 5000 // q if q < 50 else 200 - 2 * q
    return [max(1, min(255, (b * scale + 50) // 100)) for b in base]


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | code
        self.n += length
        while self.n >= 8:
            self.n -= 8
            byte = (self.acc >> self.n) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.n) - 1

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def _encode_block(block, quant, prev_dc, dc_codes, ac_codes, bw):
    """block: 64 level-shifted samples, row-major. Returns the block's DC value."""
    dct = _DCT
    rows = []
    for y in range(0, 64, 8):
        r = block[y:y + 8]
        rows.append([sum(map(float.__mul__, cu, r)) for cu in dct])
    coef = [0] * 64
    for u in range(8):
        col = [rows[y][u] for y in range(8)]
        for v in range(8):
            coef[v * 8 + u] = sum(map(float.__mul__, dct[v], col))
    zz = [int(round(coef[i] / quant[i])) for i in _ZIGZAG]
    dc = zz[0]
    diff = dc - prev_dc
    size = abs(diff).bit_length()
    bw.put(*dc_codes[size])
    if size:
        bw.put(diff if diff > 0 else diff + (1 << size) - 1, size)
    run = 0
    for k in range(1, 64):
        a = zz[k]
        if a == 0:
            run += 1
            continue
        while run > 15:
            bw.put(*ac_codes[0xF0])
            run -= 16
        size = abs(a).bit_length()
        bw.put(*ac_codes[(run << 4) | size])
        bw.put(a if a > 0 else a + (1 << size) - 1, size)
        run = 0
    if run:
        bw.put(*ac_codes[0x00])
    return dc


def encode_jpeg(w, h, rows, quality=85, subsampling="420"):
    sub = 2 if str(subsampling) == "420" else 1
    mcu = 8 * sub
    pw, ph = (w + mcu - 1) // mcu * mcu, (h + mcu - 1) // mcu * mcu
    Y, Cb, Cr = [], [], []
    for y in range(ph):
        row = rows[min(y, h - 1)]
        ly, lb, lr = [0.0] * pw, [0.0] * pw, [0.0] * pw
        for x in range(pw):
            i = min(x, w - 1) * 3
            r, g, b = row[i], row[i + 1], row[i + 2]
            ly[x] = 0.299 * r + 0.587 * g + 0.114 * b - 128.0
            lb[x] = -0.168736 * r - 0.331264 * g + 0.5 * b
            lr[x] = 0.5 * r - 0.418688 * g - 0.081312 * b
        Y.append(ly)
        Cb.append(lb)
        Cr.append(lr)
    if sub == 2:
        def half(plane):
            out = []
            for y in range(0, ph, 2):
                a, b = plane[y], plane[y + 1]
                out.append([(a[x] + a[x + 1] + b[x] + b[x + 1]) * 0.25 for x in range(0, pw, 2)])
            return out
        Cb, Cr = half(Cb), half(Cr)
    ql, qc = _scaled_quant(_QLUM, quality), _scaled_quant(_QCHR, quality)
    qlz, qcz = [ql[i] for i in _ZIGZAG], [qc[i] for i in _ZIGZAG]
    dcl, dcc = _huff_codes(_DC_LUM), _huff_codes(_DC_CHR)
    acl, acc = _huff_codes(_AC_LUM), _huff_codes(_AC_CHR)
    bw = _BitWriter()

    def block_of(plane, bx, by):
        out = []
        for y in range(by, by + 8):
            out.extend(plane[y][bx:bx + 8])
        return out

    pdy = pdb = pdr = 0
    for my in range(0, ph, mcu):
        for mx in range(0, pw, mcu):
            for sy in range(sub):
                for sx in range(sub):
                    pdy = _encode_block(block_of(Y, mx + sx * 8, my + sy * 8), ql, pdy, dcl, acl, bw)
            cx, cy = mx // sub, my // sub
            pdb = _encode_block(block_of(Cb, cx, cy), qc, pdb, dcc, acc, bw)
            pdr = _encode_block(block_of(Cr, cx, cy), qc, pdr, dcc, acc, bw)
    bw.flush()

    def seg(marker, data):
        return b"\xff" + bytes((marker,)) + struct.pack(">H", len(data) + 2) + data

    def dht(cls, ident, table):
        return seg(0xC4, bytes((cls << 4 | ident,)) + bytes(table[0]) + bytes(table[1]))

    samp = 0x22 if sub == 2 else 0x11
    return (b"\xff\xd8"
            + seg(0xE0, b"JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00")
            + seg(0xDB, b"\x00" + bytes(qlz) + b"\x01" + bytes(qcz))
            + seg(0xC0, struct.pack(">BHHB", 8, h, w, 3) + bytes((1, samp, 0, 2, 0x11, 1, 3, 0x11, 1)))
            + dht(0, 0, _DC_LUM) + dht(1, 0, _AC_LUM) + dht(0, 1, _DC_CHR) + dht(1, 1, _AC_CHR)
            + seg(0xDA, bytes((3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0)))
            + bytes(bw.out) + b"\xff\xd9")


def make_image(desc):
    """Returns (bytes, content type, file extension) for a picture description."""
    fmt = str(desc.get("format", "jpeg")).lower()
    if fmt == "jpg":
        fmt = "jpeg"
    if fmt not in FORMATS:
        raise ValueError("unknown picture format: %s" % fmt)
    if desc.get("huge"):
        if fmt != "png":
            raise ValueError("only a PNG can be huge")
        return encode_huge_png(int(desc.get("width", 20000)), int(desc.get("height", 20000))), FORMATS[fmt][0], FORMATS[fmt][1]
    w, h, rows, alpha = render(desc)
    if fmt == "png":
        data = encode_png(w, h, rows, alpha)
    elif fmt == "gif":
        data = encode_gif(w, h, rows)
    elif fmt == "bmp":
        data = encode_bmp(w, h, rows)
    else:
        data = encode_jpeg(w, h, rows, desc.get("quality", 85), desc.get("subsampling", "420"))
    return data, FORMATS[fmt][0], FORMATS[fmt][1]


def verify_picture(code, fmt="jpeg", seed=7):
    """The login server's verification picture: the code's characters on a noisy field."""
    w, h = 130, 53
    rnd = random.Random(seed)
    _, _, rows, _ = render({"width": w, "height": h, "pattern": "plain", "seed": seed})
    for _ in range(6):
        x0, y0, x1, y1 = (rnd.randrange(w), rnd.randrange(h), rnd.randrange(w), rnd.randrange(h))
        col = bytes(_clamp(c) for c in _hsv(rnd.random(), 0.5, 0.6))
        for s in range(200):
            x, y = x0 + (x1 - x0) * s // 200, y0 + (y1 - y0) * s // 200
            rows[y][x * 3:x * 3 + 3] = col
    x = 8
    for ch in code:
        col = tuple(_clamp(c) for c in _hsv(rnd.random(), 0.8, 0.55))
        _draw_text(rows, w, h, ch, x, 8 + rnd.randrange(10), 4, col, shadow=None)
        x += 29
    fmt = "jpeg" if fmt == "jpg" else fmt
    if fmt == "png":
        return encode_png(w, h, rows), "image/png"
    if fmt == "gif":
        return encode_gif(w, h, rows), "image/gif"
    if fmt == "bmp":
        return encode_bmp(w, h, rows), "image/bmp"
    return encode_jpeg(w, h, rows, 90), "image/jpeg"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    data, _, _ = make_image(json.loads(argv[1]))
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
