#!/usr/bin/env python3
"""Draws the question dialog's bitmaps and writes them as .bmp files.

Usage: make_bitmaps.py OUTPUT_DIR CONVERT FONT

  question_face.bmp   449 x 335, 16 bits per pixel: the whole face of the question dialog
  button_normal.bmp   40 x 20, 8 bits: grey button face
  button_hover.bmp    40 x 20, 8 bits: blue button face
  close_normal.bmp    32 x 18, 8 bits: white cross on mid blue
  close_hover.bmp     32 x 18, 8 bits: blue cross on light blue

CONVERT is ImageMagick's convert and FONT a font file with Chinese glyphs: they draw the
labels' text, which this script lays onto the face. Everything else is drawn here.
"""
import os
import struct
import subprocess
import sys

FACE_W, FACE_H = 449, 335


def dlu(x, y):
    """Dialog units of the 8-point template font at 96 dpi (base units 6 x 13) to pixels."""
    return (x * 6 + 2) // 4, (y * 13 + 4) // 8


class Canvas:
    def __init__(self, width, height, colour):
        self.w, self.h = width, height
        self.px = [[colour] * width for _ in range(height)]

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(y0, 0), min(y1, self.h)):
            row = self.px[y]
            for x in range(max(x0, 0), min(x1, self.w)):
                row[x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y0 + 1, colour)
        self.fill(x0, y1 - 1, x1, y1, colour)
        self.fill(x0, y0, x0 + 1, y1, colour)
        self.fill(x1 - 1, y0, x1, y1, colour)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        n = max(y1 - y0 - 1, 1)
        for y in range(y0, y1):
            t = (y - y0) / n
            self.fill(x0, y, x1, y + 1, mix(top, bottom, t))

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.w and 0 <= y < self.h and alpha > 0:
            self.px[y][x] = mix(self.px[y][x], colour, alpha)

    def text(self, glyphs, x, y, colour):
        """glyphs: (width, height, coverage rows 0..255) laid with its top-left at x, y."""
        gw, gh, rows = glyphs
        for j in range(gh):
            for i in range(gw):
                self.blend(x + i, y + j, colour, rows[j][i] / 255.0)


def mix(a, b, t):
    return tuple(int(round(a[k] + (b[k] - a[k]) * t)) for k in range(3))


class TextRenderer:
    def __init__(self, convert, font):
        self.convert, self.font = convert, font

    def render(self, text, size):
        """Coverage of text at size pixels, trimmed to its ink box with the line's height kept."""
        out = subprocess.run(
            [self.convert, "-density", "72", "-background", "black", "-fill", "white",
             "-font", self.font, "-pointsize", str(size), "label:" + text, "-depth", "8", "pgm:-"],
            check=True, stdout=subprocess.PIPE).stdout
        return parse_pgm(out)


def parse_pgm(data):
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P5":
        raise ValueError("not a binary PGM")
    w, h, maxval = int(fields[1]), int(fields[2]), int(fields[3])
    if maxval != 255:
        raise ValueError("unexpected PGM depth %d" % maxval)
    rows = [list(data[pos + y * w:pos + (y + 1) * w]) for y in range(h)]
    return w, h, rows


def text_width(glyphs):
    return glyphs[0]


def draw_face(renderer):
    white = (255, 255, 255)
    ink = (51, 51, 51)
    face = Canvas(FACE_W, FACE_H, white)

    # Title strip.
    face.vgradient(0, 0, FACE_W, 29, (139, 180, 213), (139, 164, 197))
    title = renderer.render("请回答问题", 13)
    face.text(title, 10, (29 - title[1]) // 2, white)

    # Intro line.
    intro = renderer.render("访问此相册需要回答下面的问题：", 12)
    face.text(intro, 30, 50, ink)

    # Labels right-aligned before the controls of their rows.
    label_right = dlu(98, 0)[0] - 8

    def label(text, row_top, row_height):
        glyphs = renderer.render(text, 12)
        face.text(glyphs, label_right - text_width(glyphs), row_top + (row_height - glyphs[1]) // 2, ink)

    qx, qy = dlu(99, 56)
    label("主人提问：", qy, dlu(0, 8)[1])
    edit_frame = (127, 157, 185)
    for y_units in (71, 90):
        x, y = dlu(98, y_units)
        w, h = dlu(131, 14)
        face.frame(x - 1, y - 1, x + w + 1, y + h + 1, edit_frame)
        label("您的回答：" if y_units == 71 else "验证码：", y, h)

    # Hint above the picture.
    hint = renderer.render("请输入下图中的字符，不区分大小写", 12)
    px, py = dlu(98, 125)
    ex, ey = dlu(98, 90)
    hint_top = ey + dlu(0, 14)[1] + (py - ey - dlu(0, 14)[1] - hint[1]) // 2
    face.text(hint, px, hint_top, (102, 102, 102))
    # A light frame round the 130 x 53 picture.
    face.frame(px - 1, py - 1, px + 131, py + 54, (210, 210, 210))

    # Grey line and bottom strip.
    face.fill(0, 292, FACE_W, 293, (222, 222, 222))
    face.fill(0, 293, FACE_W, FACE_H, (246, 246, 246))
    return face


def draw_button(top, bottom):
    face = Canvas(40, 20, top)
    face.vgradient(0, 0, 40, 20, top, bottom)
    return face


def draw_cross(face, colour, x0, y0, size, thickness):
    """An anti-aliased X in the square x0, y0, size."""
    for y in range(y0 - 1, y0 + size + 1):
        for x in range(x0 - 1, x0 + size + 1):
            cx, cy = x + 0.5 - x0, y + 0.5 - y0
            if not (-0.5 <= cx <= size + 0.5 and -0.5 <= cy <= size + 0.5):
                continue
            d = min(abs(cx - cy), abs(cx + cy - size)) / 1.41421356
            cover = max(0.0, min(1.0, thickness / 2.0 + 0.5 - d))
            face.blend(x, y, colour, cover)


def draw_close(hover):
    w, h = 32, 18
    if hover:
        face = Canvas(w, h, (186, 212, 238))
        face.vgradient(0, 0, w, h, (186, 212, 238), (177, 206, 235))
        draw_cross(face, (85, 135, 184), 11, 4, 10, 2.0)
    else:
        face = Canvas(w, h, (141, 177, 212))
        face.fill(0, 0, 1, h, (178, 204, 229))          # lighter left edge
        face.fill(w - 1, 0, w, h, (104, 139, 175))      # darker right edge
        face.fill(0, h - 1, w, h, (104, 139, 175))      # darker bottom edge
        draw_cross(face, (255, 255, 255), 11, 4, 10, 2.0)
    return face


def bmp_16(canvas):
    """BI_RGB 16 bits per pixel (5-5-5), bottom-up."""
    stride = (canvas.w * 2 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.px):
        line = bytearray()
        for r, g, b in row:
            line += struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
        line += b"\0" * (stride - len(line))
        pixels += line
    return bmp_file(canvas, 16, b"", pixels)


def bmp_8(canvas):
    """8 bits per pixel with a 256-entry colour table, bottom-up."""
    colours = sorted({c for row in canvas.px for c in row})
    if len(colours) > 256:
        raise ValueError("more than 256 colours")
    index = {c: i for i, c in enumerate(colours)}
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours) + b"\0" * 4 * (256 - len(colours))
    stride = (canvas.w + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.px):
        line = bytes(index[c] for c in row)
        pixels += line + b"\0" * (stride - len(line))
    return bmp_file(canvas, 8, table, pixels, 256)


def bmp_file(canvas, bits, table, pixels, used=0):
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, bits, 0, len(pixels),
                       3780, 3780, used, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + table + pixels


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    out, convert, font = sys.argv[1:]
    os.makedirs(out, exist_ok=True)
    renderer = TextRenderer(convert, font)
    write(os.path.join(out, "question_face.bmp"), bmp_16(draw_face(renderer)))
    write(os.path.join(out, "button_normal.bmp"), bmp_8(draw_button((252, 253, 253), (229, 230, 232))))
    write(os.path.join(out, "button_hover.bmp"), bmp_8(draw_button((233, 242, 251), (203, 221, 240))))
    write(os.path.join(out, "close_normal.bmp"), bmp_8(draw_close(False)))
    write(os.path.join(out, "close_hover.bmp"), bmp_8(draw_close(True)))


if __name__ == "__main__":
    main()
