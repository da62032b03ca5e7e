#!/usr/bin/env python3
"""Draws the program's icon (a photo on a blue tile) and writes it as a .ico file.

Usage: make_icon.py OUTPUT.ico
Sizes 16, 32 and 48, 32-bit colour with alpha and the 1-bit mask older systems read.
"""
import struct
import sys


def draw(size):
    """Returns rows top to bottom of (r, g, b, a) pixels."""
    s = size / 32.0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = (x + 0.5) / s, (y + 0.5) / s  # in 32-pixel units
            # Rounded tile: outside the corners is transparent.
            r = 5.0
            cx = min(max(fx, r), 32 - r)
            cy = min(max(fy, r), 32 - r)
            if (fx - cx) ** 2 + (fy - cy) ** 2 > r * r:
                row.append((0, 0, 0, 0))
                continue
            t = fy / 32.0
            pixel = (int(40 + 30 * t), int(110 + 40 * t), int(200 + 30 * t), 255)
            # The photo: white frame, sky, a sun and a hill.
            if 6 <= fx < 26 and 8 <= fy < 24:
                if fx < 7.5 or fx >= 24.5 or fy < 9.5 or fy >= 22.5:
                    pixel = (255, 255, 255, 255)
                else:
                    pixel = (150, 200, 245, 255)
                    if (fx - 20) ** 2 + (fy - 13) ** 2 < 5:
                        pixel = (255, 210, 60, 255)
                    if fy > 22.5 - 7 * (1 - abs(fx - 13) / 8.0):
                        pixel = (60, 160, 80, 255)
            row.append(pixel)
        rows.append(row)
    return rows


def dib(size):
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def main():
    sizes = (16, 32, 48)
    images = [dib(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
