#!/usr/bin/env python3
"""Draws the tray icon at 18 and 36 pixels into src/platform/resources/tray-{18,36}.png.

A monochrome mark (the four corners of a selection and a dot in the middle) in white with a
dark rim, so it reads on light and dark panels alike. Pure Python (zlib only): each pixel is
the average of 8 x 8 samples. Run it again after changing a shape.
"""
import os
import struct
import zlib

SAMPLES = 8
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "src", "platform", "resources")


def in_glyph(x, y, grow):
    # Coordinates in an 18-unit box. Corners: arms 6 long, 2 thick, inset 2.
    lo, hi, arm, thick = 2 - grow, 16 + grow, 6 + grow, 2 + 2 * grow
    for cx, sx in ((lo, 1), (hi, -1)):
        for cy, sy in ((lo, 1), (hi, -1)):
            dx, dy = (x - cx) * sx, (y - cy) * sy
            if 0 <= dx <= arm and 0 <= dy <= thick:
                return True
            if 0 <= dy <= arm and 0 <= dx <= thick:
                return True
    r = 2.2 + grow
    return (x - 9) ** 2 + (y - 9) ** 2 <= r * r


def render(size):
    unit = 18.0 / size
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            ink = rim = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * unit
                    y = (py + (sy + 0.5) / SAMPLES) * unit
                    if in_glyph(x, y, 0):
                        ink += 1
                    elif in_glyph(x, y, 0.75):
                        rim += 1
            n = SAMPLES * SAMPLES
            a_ink, a_rim = ink / n, rim / n
            alpha = a_ink + a_rim * 0.7
            level = 255 * a_ink / alpha if alpha > 0 else 0
            row += bytes([round(level)] * 3 + [round(alpha * 255)])
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


for size in (18, 36):
    with open(os.path.join(OUT, "tray-%d.png" % size), "wb") as f:
        f.write(render(size))
