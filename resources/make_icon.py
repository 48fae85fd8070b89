#!/usr/bin/env python3
"""Writes ringfeed.ico: an orange loop arrow running round a frame of film.

Standard library only, so the icon can be rebuilt anywhere:
    python3 make_icon.py [output.ico]      (default: ringfeed.ico beside this file)
The output is the same on every run.

Shapes are described in unit coordinates (0..1, y down) and drawn by
supersampling: every pixel takes SUB x SUB samples, each sample takes the
colour of the topmost shape that contains it, and the averaged samples give
anti-aliased edges and an alpha channel. The 16-pixel image has bolder
geometry of its own and no outlines, because at that size thin parts blur
away; the film is laid out on whole pixels at every size.
"""

import math
import os
import struct
import sys

SIZES = (16, 32, 48)
SUB = 8

# Colours as (r, g, b).
RING_LIGHT = (255, 170, 40)
RING_DARK = (226, 92, 12)
RING_EDGE = (120, 44, 6)
FILM = (38, 40, 48)
FILM_EDGE = (16, 16, 20)
HOLE = (236, 236, 228)
SKY_TOP = (70, 150, 235)
SKY_BOTTOM = (160, 215, 250)
HILL = (70, 170, 70)
SUN = (255, 230, 90)


def lerp(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def params(size):
    """Geometry per size. The ring is scaled; the film is laid out on whole
    pixels, since its straight edges and holes blur when they fall between
    pixels. The small icon gets bolder strokes."""
    p = {
        "cx": 0.5, "cy": 0.5,
        "r_out": 0.465, "r_in": 0.335,
        "edge": 1.0 / size,                 # one pixel of outline
        "sun": True,
        "arc_start": math.radians(-28),     # clockwise from +x, y down
        "arc_end": math.radians(-118),
        "head_len": 0.20, "head_half": 0.145,
        # film in pixels: left, top, width, height, band, holes, hole w, h
        "film_px": {32: (8, 10, 16, 12, 3, 4, 2, 1),
                    48: (12, 15, 24, 18, 4, 5, 2, 2)}.get(size),
    }
    if size <= 16:
        p.update({
            "r_out": 0.5, "r_in": 0.3125,
            "edge": 0.0,
            "sun": False,
            "arc_start": math.radians(-20),
            "arc_end": math.radians(-135),
            "head_len": 0.36, "head_half": 0.22,
            "film_px": (4, 5, 8, 6, 1, 3, 1, 1),
        })
    fl, ft, fw, fh, band, n, hw, hh = p["film_px"]
    u = 1.0 / size
    p["film"] = (fl * u, ft * u, (fl + fw) * u, (ft + fh) * u)
    p["strip"] = band * u
    holes = []
    for k in range(n):
        hx = fl + (2 * k + 1) * fw // (2 * n) - hw // 2
        for by in (ft, ft + fh - band):
            hy = by + (band - hh) // 2
            holes.append((hx * u, hy * u, (hx + hw) * u, (hy + hh) * u))
    p["holes"] = holes
    return p


def angle_in_arc(a, start, end):
    """True when angle a lies on the clockwise sweep from start to end."""
    span = (end - start) % (2 * math.pi)
    return (a - start) % (2 * math.pi) <= span


def in_triangle(x, y, a, b, c):
    def side(p, q, r):
        return (q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0])
    d1 = side(a, b, (x, y))
    d2 = side(b, c, (x, y))
    d3 = side(c, a, (x, y))
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def arrow_head(p, grow=0.0):
    """Triangle at the end of the arc whose tip lies on the ring's middle
    circle further on, so that the head follows the curve instead of
    leaving it along the tangent."""
    a = p["arc_end"]
    rm = (p["r_out"] + p["r_in"]) / 2
    half = p["head_half"] + grow
    back = a - grow / rm
    base1 = (p["cx"] + (rm + half) * math.cos(back), p["cy"] + (rm + half) * math.sin(back))
    base2 = (p["cx"] + (rm - half) * math.cos(back), p["cy"] + (rm - half) * math.sin(back))
    ta = a + (p["head_len"] + 1.6 * grow) / rm
    tip = (p["cx"] + rm * math.cos(ta), p["cy"] + rm * math.sin(ta))
    return base1, base2, tip


def in_ring(p, x, y, grow=0.0):
    dx, dy = x - p["cx"], y - p["cy"]
    r = math.hypot(dx, dy)
    if not (p["r_in"] - grow <= r <= p["r_out"] + grow):
        return False
    # The outline also closes the tail end of the arc.
    start = p["arc_start"] - (grow / r if r > 0 else 0)
    return angle_in_arc(math.atan2(dy, dx), start, p["arc_end"] + 0.01)


def in_rect(x, y, r):
    return r[0] <= x <= r[2] and r[1] <= y <= r[3]


def sample(p, x, y):
    """Colour of the topmost shape at (x, y), or None for transparency."""
    film = p["film"]
    l, t, r, b = film
    if in_rect(x, y, film):
        s = p["strip"]
        inner = (l + p["edge"], t + s, r - p["edge"], b - s)
        if in_rect(x, y, inner):
            # A small landscape: sky, sun and a hill, enough to read as "video".
            v = (y - inner[1]) / (inner[3] - inner[1])
            u = (x - inner[0]) / (inner[2] - inner[0])
            if v > 0.52 + 1.12 * (u - 0.35) ** 2:
                return HILL
            if p["sun"] and math.hypot(u - 0.72, v - 0.30) < 0.16:
                return SUN
            return lerp(SKY_TOP, SKY_BOTTOM, v)
        for hole in p["holes"]:
            if in_rect(x, y, hole):
                return HOLE
        return FILM
    e = p["edge"]
    if e > 0 and in_rect(x, y, (l - e, t - e, r + e, b + e)):
        return FILM_EDGE

    head = arrow_head(p)
    if in_triangle(x, y, *head) or in_ring(p, x, y):
        # Lit from the top left.
        shade = (x + y) / 2
        return lerp(RING_LIGHT, RING_DARK, (shade - 0.25) * 1.6)
    if e > 0 and (in_triangle(x, y, *arrow_head(p, e * 1.2)) or in_ring(p, x, y, e)):
        return RING_EDGE
    return None


def render(size):
    """Returns rows (top first) of (r, g, b, a) bytes."""
    p = params(size)
    rows = []
    n = SUB * SUB
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            cover = 0
            for sy in range(SUB):
                y = (py + (sy + 0.5) / SUB) / size
                for sx in range(SUB):
                    x = (px + (sx + 0.5) / SUB) / size
                    c = sample(p, x, y)
                    if c is not None:
                        cover += 1
                        for i in range(3):
                            acc[i] += c[i]
            if cover == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = [int(round(acc[i] / cover)) for i in range(3)]
                row.append((rgb[0], rgb[1], rgb[2], int(round(255 * cover / n))))
        rows.append(row)
    return rows


def dib(rows):
    """32-bit DIB as stored in an ICO: header, BGRA bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    # The mask serves systems without alpha blending; half coverage decides.
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def ico(images):
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, blob in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "ringfeed.ico")
    images = [(s, dib(render(s))) for s in SIZES]
    with open(path, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
