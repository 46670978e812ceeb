#!/usr/bin/env python3
"""Draws the application icon and writes it as NetSetup.ico.

The picture is a monitor whose screen carries a check mark: the PC is set
up for the network. Two images, 32x32 and 16x16, 4 bits per pixel over the
standard 16-colour palette, each with a 1-bit transparency mask, so the
icon looks the same on every system the tool runs on.

Usage: python3 make_icon.py [output]   (default: NetSetup.ico beside this script)
The output depends only on this script: running it again gives the same bytes.
"""
import os
import struct
import sys

# The standard 16-colour palette in its usual order, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREEN, DARK_BLUE, LIGHT_GREY, DARK_GREY = 0, 2, 4, 7, 8
GREEN, BLUE, WHITE = 10, 12, 15
CLEAR = None  # transparent pixel

# Geometry per size, in pixels: (left, top, right, bottom) inclusive.
# The 16x16 image is laid out by hand rather than scaled, so it stays crisp.
LAYOUT = {
    32: dict(case=(1, 2, 30, 23), screen=(4, 5, 27, 20), neck=(13, 24, 18, 26),
             foot=(8, 27, 23, 29), check=[(8.5, 12.5), (13.5, 17.0), (23.0, 7.5)],
             pen=1.6),
    16: dict(case=(0, 1, 15, 11), screen=(2, 3, 13, 9), neck=(6, 12, 9, 12),
             foot=(3, 13, 12, 14), check=[(3.5, 5.5), (6.0, 8.0), (12.0, 3.5)],
             pen=0.72),
}


def rect(img, box, colour):
    left, top, right, bottom = box
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            img[y][x] = colour


def bevel(img, box, light, dark):
    """Raised edge: light along the top and left, dark along the bottom and right."""
    left, top, right, bottom = box
    for x in range(left, right + 1):
        img[top][x] = light
        img[bottom][x] = dark
    for y in range(top, bottom + 1):
        img[y][left] = light
        img[y][right] = dark


def distance_to_segment(px, py, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return ((px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2) ** 0.5


def stroke(img, points, pen, colour, offset=(0, 0)):
    """Paints every pixel whose centre lies within pen of the polyline."""
    size = len(img)
    pts = [(x + offset[0], y + offset[1]) for x, y in points]
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            if any(distance_to_segment(cx, cy, pts[i], pts[i + 1]) <= pen
                   for i in range(len(pts) - 1)):
                img[y][x] = colour


def draw(size):
    g = LAYOUT[size]
    img = [[CLEAR] * size for _ in range(size)]
    # Stand first, so the case overlaps it.
    rect(img, g["neck"], DARK_GREY)
    rect(img, g["foot"], LIGHT_GREY)
    bevel(img, g["foot"], WHITE, DARK_GREY)
    rect(img, g["case"], LIGHT_GREY)
    bevel(img, g["case"], WHITE, DARK_GREY)
    # Screen with a brighter band across its top.
    rect(img, g["screen"], DARK_BLUE)
    left, top, right, bottom = g["screen"]
    rect(img, (left, top, right, top + (bottom - top) // 3), BLUE)
    big = size >= 32  # the 16x16 image has no room for edges and shadows
    if big:
        # Sunken edge around the screen.
        for x in range(left - 1, right + 2):
            img[top - 1][x] = DARK_GREY
            img[bottom + 1][x] = WHITE
        for y in range(top - 1, bottom + 2):
            img[y][left - 1] = DARK_GREY
            img[y][right + 1] = WHITE
        # Shadow of the check mark, one pixel down and to the right.
        stroke(img, g["check"], g["pen"], DARK_GREEN, offset=(1, 1))
    stroke(img, g["check"], g["pen"], GREEN)
    if big:
        # Black outline, so the case reads on light backgrounds too.
        left, top, right, bottom = g["case"]
        for x in range(left, right + 1):
            img[top - 1][x] = BLACK
            if img[bottom + 1][x] is CLEAR:
                img[bottom + 1][x] = BLACK
        for y in range(top, bottom + 1):
            img[y][left - 1] = BLACK
            img[y][right + 1] = BLACK
    return img


def row_bytes(bits_per_row):
    """Bitmap rows are padded to a multiple of four bytes."""
    return (bits_per_row + 31) // 32 * 4


def encode_image(img):
    """One icon image: BITMAPINFOHEADER, palette, XOR bits, AND mask (rows bottom-up)."""
    size = len(img)
    xor_stride, and_stride = row_bytes(size * 4), row_bytes(size)
    xor_bits, and_bits = bytearray(), bytearray()
    for row in reversed(img):
        xor_row, and_row = bytearray(xor_stride), bytearray(and_stride)
        for x, colour in enumerate(row):
            if colour is CLEAR:
                and_row[x // 8] |= 0x80 >> (x % 8)  # screen shows through; XOR stays 0
            else:
                xor_row[x // 2] |= colour << (4 if x % 2 == 0 else 0)
        xor_bits += xor_row
        and_bits += and_row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor_bits) + len(and_bits), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor_bits) + bytes(and_bits)


def encode_ico(images):
    count = len(images)
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "NetSetup.ico")
    images = [(size, encode_image(draw(size))) for size in (32, 16)]
    with open(path, "wb") as f:
        f.write(encode_ico(images))


if __name__ == "__main__":
    main()
