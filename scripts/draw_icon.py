#!/usr/bin/env python3
"""Draws the program's icon as PNG files, one per size, with nothing but the standard library.

The picture: a rounded square in the blue of the window's top bar, an upward arrow in white and a
downward arrow in amber, the two directions of a transfer. Every shape is a signed distance
field, so each size is drawn at its own resolution with anti-aliased edges rather than scaled.

    draw_icon.py OUTDIR SIZE...   writes OUTDIR/SIZExSIZE/oxbrook.png for each size
"""

import os
import struct
import sys
import zlib


def box(px, py, x0, y0, x1, y1):
    """Signed distance from (px, py) to the axis-aligned box; negative inside."""
    dx = max(x0 - px, px - x1)
    dy = max(y0 - py, py - y1)
    if dx <= 0 and dy <= 0:
        return max(dx, dy)
    return ((max(dx, 0) ** 2) + (max(dy, 0) ** 2)) ** 0.5


def rounded_box(px, py, cx, cy, half, radius):
    qx = abs(px - cx) - half + radius
    qy = abs(py - cy) - half + radius
    outside = (max(qx, 0) ** 2 + max(qy, 0) ** 2) ** 0.5
    return outside + min(max(qx, qy), 0) - radius


def convex(px, py, points):
    """Distance to a convex polygon: the largest signed distance to its edge lines, exact inside
    and near the edges, which is all an anti-aliased edge needs."""
    n = len(points)
    area = sum(points[i][0] * points[(i + 1) % n][1] - points[(i + 1) % n][0] * points[i][1]
               for i in range(n))
    turn = 1 if area > 0 else -1
    d = -1e9
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        length = (ex * ex + ey * ey) ** 0.5
        # The outward normal, whichever way round the points were given.
        nx, ny = turn * ey / length, -turn * ex / length
        d = max(d, (px - ax) * nx + (py - ay) * ny)
    return d


def arrow(px, py, cx, up):
    """An arrow 0.3 wide centred on x = cx, pointing up or down."""
    if up:
        head = [(cx, 0.18), (cx - 0.15, 0.42), (cx + 0.15, 0.42)]
        shaft = (cx - 0.055, 0.40, cx + 0.055, 0.80)
    else:
        head = [(cx, 0.82), (cx + 0.15, 0.58), (cx - 0.15, 0.58)]
        shaft = (cx - 0.055, 0.20, cx + 0.055, 0.60)
    return min(convex(px, py, head), box(px, py, *shaft))


def coverage(distance, pixel):
    """Share of a pixel covered by a shape whose edge is `distance` away (in icon units)."""
    return min(1.0, max(0.0, 0.5 - distance / pixel))


def over(dst, src, alpha):
    """Paints colour src with the given alpha over dst (both straight RGBA in 0..1)."""
    out_a = alpha + dst[3] * (1 - alpha)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    rgb = [(src[i] * alpha + dst[i] * dst[3] * (1 - alpha)) / out_a for i in range(3)]
    return (rgb[0], rgb[1], rgb[2], out_a)


TOP = (52 / 255, 96 / 255, 168 / 255)
BOTTOM = (18 / 255, 42 / 255, 96 / 255)
WHITE = (1.0, 1.0, 1.0)
AMBER = (245 / 255, 166 / 255, 35 / 255)


def pixel_colour(x, y, size):
    pixel = 1.0 / size
    px, py = (x + 0.5) * pixel, (y + 0.5) * pixel
    colour = (0.0, 0.0, 0.0, 0.0)
    back = coverage(rounded_box(px, py, 0.5, 0.5, 0.46, 0.12), pixel)
    if back > 0:
        t = py
        shade = tuple(TOP[i] * (1 - t) + BOTTOM[i] * t for i in range(3))
        colour = over(colour, shade + (1.0,), back)
    colour = over(colour, WHITE + (1.0,), coverage(arrow(px, py, 0.34, True), pixel))
    colour = over(colour, AMBER + (1.0,), coverage(arrow(px, py, 0.66, False), pixel))
    return bytes(round(c * 255) for c in colour)


def png(size):
    rows = bytearray()
    for y in range(size):
        rows.append(0)  # no filter
        for x in range(size):
            rows += pixel_colour(x, y, size)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    outdir = argv[1]
    for text in argv[2:]:
        size = int(text)
        folder = os.path.join(outdir, "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "oxbrook.png"), "wb") as f:
            f.write(png(size))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
