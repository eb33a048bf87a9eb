#!/usr/bin/env python3
"""Draws the application icon (32 x 32, 256 colours) and writes it as
kwarino.png (window icon, in resources.qrc) and kwarino.ico (Windows).

A cardboard box with a green arrow going down into it: a folder being
packed for the installer. Standard library only; run it from any folder.
"""
import os
import struct
import zlib

SIZE = 32
HERE = os.path.dirname(os.path.abspath(__file__))

# Palette index 0 is transparent.
PALETTE = [
    (0, 0, 0),        # 0 transparent
    (92, 60, 24),     # 1 outline brown
    (214, 166, 102),  # 2 box front
    (186, 136, 74),   # 3 box side (shade)
    (238, 200, 140),  # 4 box flap (light)
    (150, 104, 52),   # 5 box inside (dark)
    (0, 96, 0),       # 6 arrow outline
    (0, 160, 0),      # 7 arrow
    (110, 210, 110),  # 8 arrow highlight
    (176, 60, 40),    # 9 tape
]


def draw():
    px = [[0] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = c

    def poly(points, c):
        # Even-odd fill of a polygon, sampled at pixel centres.
        for y in range(SIZE):
            for x in range(SIZE):
                cx, cy = x + 0.5, y + 0.5
                inside = False
                n = len(points)
                for i in range(n):
                    (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
                    if (ya > cy) != (yb > cy):
                        xi = xa + (cy - ya) * (xb - xa) / (yb - ya)
                        if cx < xi:
                            inside = not inside
                if inside:
                    px[y][x] = c

    # Box: inside (dark), front and side, flaps.
    poly([(5, 15), (21, 15), (27, 12), (11, 12)], 5)     # opening
    rect(5, 16, 21, 29, 2)                               # front
    poly([(22, 16), (27, 13), (27, 26), (22, 30)], 3)    # side
    poly([(5, 15), (11, 12), (8, 10), (2, 13)], 4)       # left flap
    poly([(21, 15), (27, 12), (30, 15), (24, 18)], 4)    # right flap
    rect(12, 16, 14, 29, 9)                              # tape
    # Outline of the front.
    for x in range(5, 22):
        px[16][x] = 1
        px[29][x] = 1
    for y in range(16, 30):
        px[y][5] = 1
        px[y][21] = 1
    for y in range(13, 27):
        px[y][27] = 1

    # Arrow: shaft and head, pointing down into the box.
    arrow = [(13, 1), (19, 1), (19, 9), (24, 9), (16, 18), (8, 9), (13, 9)]
    poly(arrow, 6)
    inner = [(14, 2), (18, 2), (18, 10), (22, 10), (16, 16.5), (10, 10), (14, 10)]
    poly(inner, 7)
    rect(15, 3, 15, 10, 8)
    return px


def png(px):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in px)
    plte = b"".join(bytes(c) for c in PALETTE)
    trns = b"\x00"  # index 0 fully transparent, the rest opaque
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", plte) + chunk(b"tRNS", trns)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(px):
    colours = PALETTE + [(0, 0, 0)] * (256 - len(PALETTE))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
    pixels = b"".join(bytes(row) for row in reversed(px))  # bottom-up, 32 bytes a row
    mask = b""
    for row in reversed(px):
        bits = 0
        for x, c in enumerate(row):
            if c == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)  # 4 bytes a row, already 32-bit aligned
    image = header + palette + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    px = draw()
    with open(os.path.join(HERE, "kwarino.png"), "wb") as f:
        f.write(png(px))
    with open(os.path.join(HERE, "kwarino.ico"), "wb") as f:
        f.write(ico(px))


if __name__ == "__main__":
    main()
