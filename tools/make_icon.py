#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the Kelvora program icon: the resource icon (32 x 32, 24 bits, res/kelvora.ico) and the
desktop icons (PNG at any size, SVG).

The motif is the program's own plot: a light frame with a grey grid, a blue fitted curve and red
measured points, on the blue of the data-entry window. It is laid out on a 32-unit square; at 32 pixels
one unit is one pixel and the drawing is exact pixel art (the resource icon). Larger sizes are drawn
four times over and averaged down, with the grid lines snapped to whole pixels so they stay sharp.

    make_icon.py [FILE.ico]          the resource icon (default res/kelvora.ico)
    make_icon.py --hicolor DIR       DIR/<n>x<n>/apps/kelvora.png for each size, DIR/scalable/apps/kelvora.svg
    make_icon.py --png SIZE FILE     one PNG of SIZE x SIZE pixels (the web page's icons)
"""
import math
import os
import struct
import sys
import zlib

DESIGN = 32
PNG_SIZES = (32, 48, 128, 256)
BACKGROUND = (100, 100, 255)
FRAME_FILL = (250, 250, 250)
GRID = (150, 150, 150)
CURVE = (0, 0, 255)
MARKER = (180, 0, 0)

FRAME = (3, 29)                     # the frame's outer edges, in units
GRID_STEP = 5
MARKERS = ((6, 1), (11, -2), (16, 2), (21, -1), (26, 1))  # (unit column, offset from the curve's cell)
MARKER_RADIUS = 1.5                 # a 3 x 3 square at 32 pixels, a round dot above


def curve(t):
    """A saturating growth curve across the frame: the unit row at t units from the frame's left."""
    return 27 - 22 * (1 - math.exp(-t / 7.0))


def grid_line_width(size):
    return max(1, math.floor(size / 128 + 0.5))


def curve_width(size):
    return max(1, math.floor(size / 40 + 0.5))


def grid_line_centres():
    """Centres of the vertical and of the horizontal grid lines, in units, frame edges included."""
    count = (FRAME[1] - FRAME[0]) // GRID_STEP + 1
    columns = [FRAME[0] + 0.5 + GRID_STEP * i for i in range(count)]
    rows = [FRAME[1] - 0.5 - GRID_STEP * i for i in range(count)]
    return columns, rows


def marker_centres():
    return [(px + 0.5, int(curve(px - 4)) + dy + 0.5) for px, dy in MARKERS]


def line_starts(centres, scale, width, low, high, snap):
    """Where lines of the given width start, for lines at the given unit centres: the first and the
    last lie on the frame's border [low, high), the others centred (snapped to whole pixels when
    drawing pixels)."""
    starts = []
    for i, c in enumerate(centres):
        start = snap(c * scale - width / 2)
        if i == 0 or i == len(centres) - 1:
            start = low if abs(start - low) < abs(start - (high - width)) else high - width
        starts.append(start)
    return starts


def snapped_lines(centres, scale, width, low, high):
    """Pixel spans [start, end) of the grid lines."""
    starts = line_starts(centres, scale, width, low, high, lambda v: math.floor(v + 0.5))
    return [(start, start + width) for start in starts]


def draw_fine(size, supersample):
    """The icon at size * supersample pixels a side (before averaging down)."""
    scale = size / DESIGN
    k = scale * supersample                      # fine pixels per unit
    fine = size * supersample
    low = math.floor(FRAME[0] * scale + 0.5)
    high = math.floor(FRAME[1] * scale + 0.5)
    line = grid_line_width(size)
    columns, rows = grid_line_centres()
    on_column = [False] * size
    on_row = [False] * size
    for start, end in snapped_lines(columns, scale, line, low, high):
        on_column[start:end] = [True] * (end - start)
    for start, end in snapped_lines(rows, scale, line, low, high):
        on_row[start:end] = [True] * (end - start)

    def fine_row(y):
        row = [BACKGROUND] * fine
        if low <= y < high:
            for x in range(low, high):
                colour = GRID if on_row[y] or on_column[x] else FRAME_FILL
                row[x * supersample:(x + 1) * supersample] = [colour] * supersample
        return row

    pixels = []
    for y in range(size):
        row = fine_row(y)
        pixels.extend(list(row) for _ in range(supersample))

    def stamp(cx, cy, radius, colour):
        """Every fine pixel whose centre lies within radius of (cx, cy)."""
        for y in range(math.floor(cy - radius), math.ceil(cy + radius) + 1):
            for x in range(math.floor(cx - radius), math.ceil(cx + radius) + 1):
                if 0 <= x < fine and 0 <= y < fine and (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius ** 2:
                    pixels[y][x] = colour

    # The curve, column by column: each column covers the cells the curve passes through across it.
    pen = curve_width(size) * supersample / 2
    for x in range(round(4 * k), round(28 * k)):
        y0, y1 = curve(x / k - 4) * k, curve((x + 1) / k - 4) * k
        for y in range(int(min(y0, y1)), int(max(y0, y1)) + 1):
            stamp(x + 0.5, y + 0.5, pen, CURVE)
    for ux, uy in marker_centres():
        stamp(ux * k, uy * k, MARKER_RADIUS * k, MARKER)
    return pixels


def draw(size=DESIGN):
    """Rows of (r, g, b) tuples, size x size."""
    supersample = 1 if size == DESIGN else 4
    fine = draw_fine(size, supersample)
    if supersample == 1:
        return fine
    area = supersample * supersample
    pixels = []
    for y in range(size):
        block_rows = fine[y * supersample:(y + 1) * supersample]
        row = []
        for x in range(size):
            sums = [0, 0, 0]
            for block_row in block_rows:
                for r, g, b in block_row[x * supersample:(x + 1) * supersample]:
                    sums[0] += r
                    sums[1] += g
                    sums[2] += b
            row.append(tuple((s + area // 2) // area for s in sums))
        pixels.append(row)
    return pixels


def ico_bytes(pixels):
    # Rows bottom first, each pixel as B, G, R; 96 bytes a row need no padding.
    size = len(pixels)
    xor = b"".join(b"".join(bytes((b, g, r)) for (r, g, b) in row) for row in reversed(pixels))
    and_mask = bytes(4 * size)  # fully opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 24, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def png_bytes(pixels):
    """An 8-bit RGB PNG, every row unfiltered."""
    height, width = len(pixels), len(pixels[0])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel) for row in pixels)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def svg_text():
    """The same layout in units, with the line widths of the largest PNG."""
    size = PNG_SIZES[-1]
    unit = DESIGN / size
    line = grid_line_width(size) * unit

    def colour(rgb):
        return "#%02x%02x%02x" % rgb

    columns, rows = grid_line_centres()
    span = FRAME[1] - FRAME[0]
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
             % (size, size, DESIGN, DESIGN),
             '<rect width="%d" height="%d" fill="%s"/>' % (DESIGN, DESIGN, colour(BACKGROUND)),
             '<rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>'
             % (FRAME[0], FRAME[0], span, span, colour(FRAME_FILL))]
    for x in line_starts(columns, 1, line, FRAME[0], FRAME[1], lambda v: v):
        parts.append('<rect x="%g" y="%d" width="%g" height="%d" fill="%s"/>'
                     % (x, FRAME[0], line, span, colour(GRID)))
    for y in line_starts(rows, 1, line, FRAME[0], FRAME[1], lambda v: v):
        parts.append('<rect x="%d" y="%g" width="%d" height="%g" fill="%s"/>'
                     % (FRAME[0], y, span, line, colour(GRID)))
    points = " ".join("%g,%.3f" % (4 + t / 4, curve(t / 4) + 0.5) for t in range(0, 24 * 4 + 1))
    parts.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="%g" stroke-linejoin="round" '
                 'stroke-linecap="round"/>' % (points, colour(CURVE), curve_width(size) * unit))
    for cx, cy in marker_centres():
        parts.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx, cy, MARKER_RADIUS, colour(MARKER)))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_hicolor(root):
    for size in PNG_SIZES:
        write(os.path.join(root, "%dx%d" % (size, size), "apps", "kelvora.png"), png_bytes(draw(size)))
    write(os.path.join(root, "scalable", "apps", "kelvora.svg"), svg_text().encode("ascii"))


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--hicolor":
        write_hicolor(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "--png" and sys.argv[2].isdigit() and 16 <= int(sys.argv[2]) <= 1024:
        write(sys.argv[3], png_bytes(draw(int(sys.argv[2]))))
    elif len(sys.argv) <= 2 and not sys.argv[-1].startswith("--"):
        write(sys.argv[1] if len(sys.argv) == 2 else "res/kelvora.ico", ico_bytes(draw()))
    else:
        sys.exit("usage: make_icon.py [FILE.ico] | --hicolor DIR | --png SIZE FILE")
