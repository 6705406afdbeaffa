#!/usr/bin/env python3
"""Draws kowaki's icon: a speech bubble with sound waves on a round badge.

Writes one 32 x 32, 256-colour (8 bits per pixel) image as an .ico file.
    make_icon.py OUT.ico
"""
import math
import struct
import sys

SIZE = 32
SUPER = 4  # samples per pixel side, for smooth edges


def badge(x, y):
    """RGBA of the picture at (x, y) in pixel units, or None outside."""
    cx = cy = SIZE / 2
    r = math.hypot(x - cx, y - cy)
    if r > 15.5:
        return None
    # Indigo badge, lighter towards the top left.
    t = max(0.0, min(1.0, (x + y) / (2 * SIZE)))
    colour = (int(70 + 40 * (1 - t)), int(60 + 50 * (1 - t)), int(150 + 80 * (1 - t)))
    # Speech bubble: an ellipse with a tail at the bottom left.
    ex, ey = (x - 13.5) / 8.5, (y - 13.5) / 7.0
    tail = 6.5 <= x <= 11 and 18 <= y <= 25 and (x - 6.5) >= (y - 18) * 0.35 and y <= 25 - (x - 6.5) * 1.2
    if ex * ex + ey * ey <= 1.0 or tail:
        colour = (250, 250, 245)
        # Three bars of a voice level inside the bubble.
        for bx, h in ((10, 3.0), (13.5, 5.0), (17, 2.2)):
            if abs(x - bx) <= 1.0 and abs(y - 13.5) <= h:
                colour = (230, 90, 110)
    # Sound waves to the right of the bubble.
    for radius in (10.5, 13.5):
        d = math.hypot(x - 15, y - 14)
        if abs(d - radius) <= 0.8 and x > 23 and abs(y - 14) < radius * 0.6:
            colour = (255, 210, 90)
    return colour


def render():
    pixels = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            inside = 0
            for sy in range(SUPER):
                for sx in range(SUPER):
                    c = badge(px + (sx + 0.5) / SUPER, py + (sy + 0.5) / SUPER)
                    if c is not None:
                        inside += 1
                        for i in range(3):
                            acc[i] += c[i]
            if inside * 2 < SUPER * SUPER:
                row.append(None)
            else:
                row.append(tuple(int(round(a / inside)) for a in acc))
        pixels.append(row)
    return pixels


def palette(pixels):
    """The image's own colours, most frequent first, at most 256 of them."""
    counts = {}
    for row in pixels:
        for p in row:
            if p is not None:
                counts[p] = counts.get(p, 0) + 1
    entries = sorted(counts, key=lambda c: (-counts[c], c))[:256]
    return entries + [(0, 0, 0)] * (256 - len(entries))


def nearest(colours, rgb):
    return min(range(len(colours)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colours[i], rgb)))


def ico(pixels):
    colours = palette(pixels)
    cache = {}
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up rows
        bits = 0
        for x, p in enumerate(row):
            if p is None:
                xor.append(0)
                bits |= 1 << (31 - x)
            else:
                if p not in cache:
                    cache[p] = nearest(colours, p)
                xor.append(cache[p])
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    image = header + pal + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(ico(render()))
