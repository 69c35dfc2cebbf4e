#!/usr/bin/env python3
"""Draws the Kelvora program icon (32 x 32, 24 bits) and writes it as res/kelvora.ico.

The motif is the program's own plot: a light frame with a grey grid, a blue fitted curve and red
measured points, on the blue of the data-entry window.
"""
import math
import struct
import sys

SIZE = 32
BACKGROUND = (100, 100, 255)
FRAME_FILL = (250, 250, 250)
GRID = (150, 150, 150)
CURVE = (0, 0, 255)
MARKER = (180, 0, 0)


def draw():
    pixels = [[BACKGROUND] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            pixels[y][x] = colour

    for y in range(3, 29):
        for x in range(3, 29):
            edge = x in (3, 28) or y in (3, 28)
            grid = (x - 3) % 5 == 0 or (28 - y) % 5 == 0
            put(x, y, GRID if edge or grid else FRAME_FILL)

    def curve(t):  # a saturating growth curve across the frame
        return 27 - 22 * (1 - math.exp(-t / 7.0))

    for x in range(4, 28):
        y0, y1 = curve(x - 4), curve(x - 3)
        for y in range(int(min(y0, y1)), int(max(y0, y1)) + 1):
            put(x, y, CURVE)

    for px, dy in ((6, 1), (11, -2), (16, 2), (21, -1), (26, 1)):
        cy = int(curve(px - 4)) + dy
        for yy in range(cy - 1, cy + 2):
            for xx in range(px - 1, px + 2):
                put(xx, yy, MARKER)
    return pixels


def ico_bytes(pixels):
    # Rows bottom first, each pixel as B, G, R; 96 bytes a row need no padding.
    xor = b"".join(b"".join(bytes((b, g, r)) for (r, g, b) in row) for row in reversed(pixels))
    and_mask = bytes(4 * SIZE)  # fully opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 24, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "res/kelvora.ico"
    with open(target, "wb") as f:
        f.write(ico_bytes(draw()))
