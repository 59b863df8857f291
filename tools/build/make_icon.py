#!/usr/bin/env python3
"""Draws the installer's icon: a green rounded tile with a white "V" mark and a soft inner
highlight, at the nine sizes Windows asks for, into one .ico file. Pure Python so that the
icon is rebuilt bit for bit from this source on any machine.

    make_icon.py <output.ico>
"""
import math
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 128, 256)
TILE = (0x17, 0x6E, 0x50)        # the product green
TILE_DARK = (0x10, 0x4F, 0x39)   # its pressed shade, for the lower edge
MARK = (0xFF, 0xFF, 0xFF)
# Every image is PNG: Windows 7 and later read compressed images at any size, and uncompressed
# ones would add over 100 KB to the download.


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def rounded_box_distance(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    outer = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outer + min(max(qx, qy), 0.0) - r


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def render(size):
    """Premultiplied BGRA rows, top-down."""
    s = float(size)
    margin = s * 0.06
    half = s / 2 - margin
    radius = s * 0.22
    stroke = max(s * 0.085, 1.1)
    # The "V": two strokes meeting low in the middle.
    left, apex, right = (s * 0.29, s * 0.31), (s * 0.5, s * 0.70), (s * 0.71, s * 0.31)
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            tile = clamp01(0.5 - rounded_box_distance(px, py, s / 2, s / 2, half, half, radius))
            # Darken towards the bottom for depth.
            k = clamp01((py - margin) / (s - 2 * margin))
            base = [TILE[i] * (1 - 0.45 * k) + TILE_DARK[i] * 0.45 * k for i in range(3)]
            mark_d = min(segment_distance(px, py, *left, *apex), segment_distance(px, py, *apex, *right))
            mark = clamp01(stroke / 2 + 0.5 - mark_d) * tile
            colour = [base[i] * (1 - mark) + MARK[i] * mark for i in range(3)]
            a = tile
            b, g, r = (int(colour[2] * a + 0.5), int(colour[1] * a + 0.5), int(colour[0] * a + 0.5))
            row += bytes((b, g, r, int(a * 255 + 0.5)))
        rows.append(bytes(row))
    return rows


def straight(rows):
    """Icons store straight (not premultiplied) alpha."""
    out = []
    for row in rows:
        o = bytearray()
        for i in range(0, len(row), 4):
            b, g, r, a = row[i:i + 4]
            if a:
                b, g, r = (min(255, (c * 255 + a // 2) // a) for c in (b, g, r))
            o += bytes((b, g, r, a))
        out.append(bytes(o))
    return out


def png_image(size, rows):
    lines = []
    for row in rows:
        rgba = bytearray()
        for i in range(0, len(row), 4):
            b, g, r, a = row[i:i + 4]
            rgba += bytes((r, g, b, a))
        lines.append(b"\x00" + bytes(rgba))
    raw = b"".join(lines)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    images = [png_image(size, straight(render(size))) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
