#!/usr/bin/env python3
"""Draws the updater's icon (a white arrow into a tray on a blue tile) and
writes res/update.ico with 16, 24, 32, 48 and 256 pixel images.

Run it again after changing the drawing: python3 res/make_icon.py
"""
import os
import struct
import sys
import zlib

SAMPLES = 4  # per axis, for anti-aliased edges


def inside_rounded(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def inside_arrow(x, y):
    if 0.43 <= x <= 0.57 and 0.18 <= y <= 0.50:
        return True
    # Head: a triangle pointing down, tip at (0.5, 0.68).
    if 0.42 <= y <= 0.68:
        half = (0.68 - y) / 0.26 * 0.20
        return abs(x - 0.5) <= half
    return False


def inside_tray(x, y):
    base = 0.72 <= y <= 0.82 and 0.20 <= x <= 0.80
    sides = 0.58 <= y <= 0.82 and (0.20 <= x <= 0.29 or 0.71 <= x <= 0.80)
    return base or sides


def pixel(px, py, size):
    tile = white = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if inside_rounded(x, y, 0.04, 0.04, 0.96, 0.96, 0.18):
                tile += 1
                if inside_arrow(x, y) or inside_tray(x, y):
                    white += 1
    n = SAMPLES * SAMPLES
    if tile == 0:
        return (0, 0, 0, 0)
    # Blue tile, lighter towards the top; white shapes blended over it.
    shade = py / size
    blue = (int(40 + 30 * (1 - shade)), int(110 + 40 * (1 - shade)), 210)
    w = white / tile
    rgb = tuple(int(c * (1 - w) + 255 * w) for c in blue)
    return rgb + (int(255 * tile / n),)


def render(size):
    return [[pixel(x, y, size) for x in range(size)] for y in range(size)]


def bmp_image(rows, size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(
        bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def png_image(rows, size):
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    sizes = [16, 24, 32, 48, 256]
    images = []
    for size in sizes:
        rows = render(size)
        images.append(png_image(rows, size) if size == 256 else bmp_image(rows, size))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "update.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
