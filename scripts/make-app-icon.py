#!/usr/bin/env python3
"""Draws the application icon (128 x 128 PNG) into src/app/base/resources/app-icon.png.

A green rounded square with the four corners of a selection and a pinned dot in the middle,
in the interface palette's brand and ink colours. Pure Python (zlib only): each pixel is
the average of 4 x 4 samples, so the edges are smooth. Run it again after changing a shape.
"""
import math
import os
import struct
import zlib

SIZE = 128
SAMPLES = 4
BRAND = (216, 235, 85)
BRAND_DARK = (166, 181, 61)
INK = (32, 39, 33)
WHITE = (255, 255, 255)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_bracket(x, y):
    # Four L-shaped corners of a selection, 10 units thick, arms 30 long, inset 26.
    lo, hi, arm, t = 26, 102, 30, 10
    for cx, sx in ((lo, 1), (hi, -1)):
        for cy, sy in ((lo, 1), (hi, -1)):
            dx, dy = (x - cx) * sx, (y - cy) * sy
            if 0 <= dx <= arm and 0 <= dy <= t or 0 <= dx <= t and 0 <= dy <= arm:
                return True
    return False


def colour_at(x, y):
    """The colour of one sample, or None outside the icon."""
    if not in_rounded_rect(x, y, 6, 6, 122, 122, 28):
        return None
    if not in_rounded_rect(x, y, 9, 9, 119, 119, 25):
        return BRAND_DARK
    if in_bracket(x, y):
        return INK
    d = math.hypot(x - 64, y - 64)
    if d <= 17:
        return WHITE if d <= 9 else INK
    return BRAND


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])
        for px in range(SIZE):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    if c is not None:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = SAMPLES * SAMPLES
            if a:
                row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(render(), 9)) + chunk(b"IEND", b"")
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "src", "app", "base", "resources", "app-icon.png")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
