#!/usr/bin/env python3
"""Draws the settings program's icon and writes it as a Windows .ico file.

The icon shows a tool path on a workpiece: a blue tile, a light plate, an
orange path of straight moves and one arc, and the red start point. It is
drawn from the same shapes at each of the nine sizes of the icon group, with
4 x 4 samples per pixel for smooth edges, so small sizes stay legible.

Sizes up to 96 pixels are stored as 32-bit bitmaps with an AND mask, the
256-pixel image as PNG, as the icon format allows since Windows Vista.

Usage: make_icon.py OUTPUT.ico   (the result is committed beside the .rc)
"""
import math
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 96, 256]
SAMPLES = 4

TILE = (0x1F, 0x4E, 0x86)
TILE_EDGE = (0x13, 0x33, 0x5A)
PLATE = (0xE8, 0xEC, 0xF0)
PATH = (0xF2, 0x8C, 0x1C)
START = (0xD3, 0x2F, 0x2F)

# The tool path in unit coordinates (0..1, y down): a zigzag pocket, then a
# move over to an arc around the plate's right part.
PATH_POINTS = [(0.24, 0.30), (0.24, 0.72), (0.36, 0.72), (0.36, 0.30),
               (0.48, 0.30), (0.48, 0.72), (0.58, 0.72)]
ARC_CENTRE = (0.66, 0.51)
ARC_RADIUS = 0.14


def arc_points():
    points = []
    for step in range(0, 271, 10):
        angle = math.radians(90 + step)
        points.append((ARC_CENTRE[0] + ARC_RADIUS * math.cos(angle),
                       ARC_CENTRE[1] + ARC_RADIUS * math.sin(angle)))
    return points


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py)


def polyline_segments(points):
    return list(zip(points[:-1], points[1:]))


SEGMENTS = polyline_segments(PATH_POINTS) + polyline_segments(
    [PATH_POINTS[-1]] + arc_points())


def colour_at(x, y, size):
    """Colour and coverage (RGBA) of one sample at unit coordinates x, y."""
    # Line widths keep at least about one pixel at the smallest sizes.
    path_half = max(0.03, 0.6 / size)
    edge = max(0.03, 1.0 / size)
    if not in_rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.16):
        return (0, 0, 0, 0)
    colour = TILE
    if not in_rounded_rect(x, y, 0.03 + edge, 0.03 + edge, 0.97 - edge, 0.97 - edge, 0.16 - edge):
        colour = TILE_EDGE
    if in_rounded_rect(x, y, 0.15, 0.17, 0.85, 0.85, 0.05):
        colour = PLATE
    if any(segment_distance(x, y, a, b) <= path_half for a, b in SEGMENTS):
        colour = PATH
    sx, sy = PATH_POINTS[0]
    if math.hypot(x - sx, y - sy) <= max(0.065, 1.1 / size):
        colour = START
    return colour + (255,)


def render(size):
    """Rows of (r, g, b, a) tuples, top row first, straight alpha."""
    rows = []
    step = 1.0 / (size * SAMPLES)
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px * SAMPLES + sx + 0.5) * step
                    y = (py * SAMPLES + sy + 0.5) * step
                    cr, cg, cb, ca = colour_at(x, y, size)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a),
                            round(a / (SAMPLES * SAMPLES))))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """BITMAPINFOHEADER, bottom-up BGRA pixels and the 1-bit AND mask."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def png_image(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) +
            chunk(b'IEND', b''))


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: make_icon.py OUTPUT.ico')
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_image(rows) if size >= 256 else bitmap_image(rows)))
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    data = b''
    for size, image in images:
        dim = 0 if size >= 256 else size
        directory += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    with open(sys.argv[1], 'wb') as out:
        out.write(directory + data)


if __name__ == '__main__':
    main()
