#!/usr/bin/env python3
"""Draws Duomira's two icons and writes them as .ico files.

  res/duomira.ico      the program's icon: a grey spanner on a yellow rounded square
  res/path_dialog.ico  the tool path dialog's icon: a grey spanner on a pale tile

Each file holds one 32 x 32 image with 256 colours: an 8-bit palettised DIB and
its 1-bit AND mask. The shapes are described by signed distance functions and
rendered with 8 x 8 samples per pixel; the averaged colours are then reduced to
a palette (median cut), and pixels that are less than half covered become
transparent. Standard library only, so it runs anywhere Python 3 does.

Usage: python3 tools/draw_icons.py [output directory]   (default: res/ beside this tool)
"""

import math
import os
import struct
import sys

SIZE = 32
SAMPLES = 8  # per pixel and axis


# --- signed distance functions (negative inside, in pixels) -------------------

def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_capsule(px, py, ax, ay, bx, by, r):
    """A segment a-b thickened by r, with round ends."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - r


def sd_round_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


# --- the spanner ---------------------------------------------------------------

class Spanner:
    """A spanner lying along a straight axis through the tile's centre.

    `angle` is the direction (degrees, y downwards) from the tail to the open
    head. The head is a disc with a jaw cut into it, tilted by `jaw_tilt`
    degrees against the handle as on a real open-ended spanner. The tail is a
    ring (`tail="ring"`) or a second, smaller open jaw (`tail="jaw"`).
    """

    def __init__(self, centre, angle, length, handle, head, jaw, tail, jaw_tilt=15.0):
        self.cx, self.cy = centre
        a = math.radians(angle)
        self.ux, self.uy = math.cos(a), math.sin(a)
        self.length = length  # distance between the two end centres
        self.handle = handle  # half width of the handle
        self.head = head      # radius of the head
        self.jaw = jaw        # half width of the jaw opening
        self.tail = tail
        self.tilt = math.radians(jaw_tilt)

    def _frame(self, px, py):
        dx, dy = px - self.cx, py - self.cy
        u = dx * self.ux + dy * self.uy        # along the handle, towards the head
        v = -dx * self.uy + dy * self.ux       # across it
        return u, v

    def _open_end(self, u, v, centre_u, radius, jaw, tilt):
        disc = sd_circle(u, v, centre_u, 0.0, radius)
        # The jaw: a slot with a round bottom slightly past the disc's centre,
        # running out through the rim.
        cu, su = math.cos(tilt), math.sin(tilt)
        bottom = centre_u + 0.15 * radius
        slot = sd_capsule(u, v, bottom, 0.0, bottom + 3 * radius * cu, 3 * radius * su, jaw)
        return max(disc, -slot)

    def distance(self, px, py):
        u, v = self._frame(px, py)
        half = self.length / 2
        d = sd_capsule(u, v, -half, 0.0, half, 0.0, self.handle)
        d = min(d, self._open_end(u, v, half, self.head, self.jaw, self.tilt))
        if self.tail == "ring":
            ring_r = self.head * 0.78
            ring = sd_circle(u, v, -half, 0.0, ring_r)
            hole = sd_circle(u, v, -half, 0.0, ring_r * 0.48)
            d = min(d, max(ring, -hole))
        else:
            # A smaller jaw facing the other way, tilted to the other side.
            tail = self._open_end(-u, v, half, self.head * 0.88, self.jaw * 0.85, -self.tilt)
            d = min(d, tail)
        return d

    def normal(self, px, py):
        e = 0.05
        gx = self.distance(px + e, py) - self.distance(px - e, py)
        gy = self.distance(px, py + e) - self.distance(px, py - e)
        n = math.hypot(gx, gy) or 1.0
        return gx / n, gy / n


# --- colours -------------------------------------------------------------------

def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


STEEL_OUTLINE = (58, 62, 70)
STEEL_DARK = (112, 118, 128)
STEEL = (168, 174, 184)
STEEL_LIGHT = (236, 240, 245)
LIGHT_DIR = (-math.sqrt(0.5), -math.sqrt(0.5))  # towards the light, upper left


def steel_colour(spanner, px, py, d):
    """Metal: dark outline, a bevel lit from the upper left, a flat face."""
    if d > -0.85:
        return STEEL_OUTLINE
    if d > -2.0:
        nx, ny = spanner.normal(px, py)
        lit = nx * LIGHT_DIR[0] + ny * LIGHT_DIR[1]  # > 0: the edge faces the light
        if lit >= 0:
            return mix(STEEL, STEEL_LIGHT, lit)
        return mix(STEEL, STEEL_DARK, -lit)
    return STEEL


class Tile:
    """The rounded square behind the spanner."""

    def __init__(self, radius, border, top, bottom, highlight, shadow, inset=0.5):
        self.radius = radius
        self.border = border
        self.top = top
        self.bottom = bottom
        self.highlight = highlight
        self.shadow = shadow  # colour of the spanner's cast shadow, blended in
        self.inset = inset

    def distance(self, px, py):
        lo, hi = self.inset, SIZE - self.inset
        return sd_round_rect(px, py, lo, lo, hi, hi, self.radius)

    def colour(self, px, py, d):
        if d > -1.0:
            return self.border
        face = mix(self.top, self.bottom, (py - 1.0) / (SIZE - 2.0))
        if d > -2.0 and px + py < SIZE:  # inner rim catching the light, upper left half
            return mix(face, self.highlight, 0.7)
        return face


# --- rendering -------------------------------------------------------------------

def render(tile, spanner, shadow_offset=(1.1, 1.3), shadow_strength=0.45):
    """Returns rows of (r, g, b, coverage) with r, g, b in 0..255 floats."""
    pixels = []
    step = 1.0 / SAMPLES
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SAMPLES):
                py = y + (sy + 0.5) * step
                for sx in range(SAMPLES):
                    px = x + (sx + 0.5) * step
                    td = tile.distance(px, py)
                    if td > 0:
                        continue
                    covered += 1
                    sd = spanner.distance(px, py)
                    if sd <= 0:
                        c = steel_colour(spanner, px, py, sd)
                    else:
                        c = tile.colour(px, py, td)
                        if td <= -1.0 and spanner.distance(px - shadow_offset[0],
                                                           py - shadow_offset[1]) <= 0:
                            c = mix(c, tile.shadow, shadow_strength)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            if covered:
                row.append((acc[0] / covered, acc[1] / covered, acc[2] / covered,
                            covered / (SAMPLES * SAMPLES)))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        pixels.append(row)
    return pixels


# --- palette ---------------------------------------------------------------------

def median_cut(colours, count):
    """Reduces a list of (r, g, b) to at most `count` representative colours."""
    boxes = [list(colours)]
    while len(boxes) < count:
        # Split the box with the widest channel range (that can be split at all).
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            for ch in range(3):
                values = [c[ch] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: (c[best_channel], c))
        mid = len(box) // 2
        # Keep equal colours together so both halves are non-empty and distinct.
        while mid < len(box) and box[mid] == box[mid - 1]:
            mid += 1
        if mid == len(box):
            mid = len(box) // 2
            while mid > 0 and box[mid] == box[mid - 1]:
                mid -= 1
        boxes += [box[:mid], box[mid:]]
    palette = []
    for box in boxes:
        n = len(box)
        palette.append(tuple(round(sum(c[ch] for c in box) / n) for ch in range(3)))
    return palette


def quantise(pixels):
    """Returns (palette of 256 (r, g, b), rows of indices, rows of opaque flags).

    Index 0 is black and serves the transparent pixels: with their AND mask bit
    set and a black XOR colour they leave the screen untouched."""
    opaque = [[p[3] >= 0.5 for p in row] for row in pixels]
    colours = [tuple(round(c) for c in p[:3])
               for row, flags in zip(pixels, opaque) for p, o in zip(row, flags) if o]
    distinct = sorted(set(colours))
    palette = distinct if len(distinct) <= 255 else median_cut(colours, 255)
    palette = [(0, 0, 0)] + sorted(set(palette))
    lookup = {}

    def nearest(c):
        if c not in lookup:
            lookup[c] = min(range(1, len(palette)),
                            key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], c)))
        return lookup[c]

    indices = [[nearest(tuple(round(v) for v in p[:3])) if o else 0
                for p, o in zip(row, flags)]
               for row, flags in zip(pixels, opaque)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette, indices, opaque


# --- the .ico file -----------------------------------------------------------------

def ico_bytes(palette, indices, opaque):
    """One 32 x 32 image: BITMAPINFOHEADER, 256-entry palette, XOR rows and
    AND mask rows, both bottom-up and padded to whole 32-bit words."""
    xor_stride = (SIZE + 3) // 4 * 4
    and_stride = (SIZE + 31) // 32 * 4
    xor_rows = b"".join(bytes(indices[y]) + b"\0" * (xor_stride - SIZE)
                        for y in reversed(range(SIZE)))
    and_rows = b""
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if not opaque[y][x]:
                bits |= 1 << (and_stride * 8 - 1 - x)
        and_rows += bits.to_bytes(and_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0,
                         len(xor_rows) + len(and_rows), 0, 0, 0, 0)
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    image = header + colour_table + xor_rows + and_rows
    directory = struct.pack("<HHH", 0, 1, 1)
    # Width, height, colour count (0: 256 or more), reserved, planes, bits, size, offset.
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


# --- the two pictures ---------------------------------------------------------------

def main_icon():
    tile = Tile(radius=6.5, border=(186, 128, 8), top=(255, 238, 120), bottom=(250, 192, 24),
                highlight=(255, 250, 210), shadow=(150, 96, 0))
    spanner = Spanner(centre=(15.7, 16.3), angle=-45.0, length=17.5, handle=2.5, head=6.7,
                      jaw=2.5, tail="ring")
    return tile, spanner


def path_dialog_icon():
    tile = Tile(radius=3.0, border=(128, 146, 170), top=(246, 249, 253), bottom=(216, 226, 240),
                highlight=(255, 255, 255), shadow=(120, 134, 156))
    spanner = Spanner(centre=(16.3, 16.3), angle=-135.0, length=17.0, handle=2.4, head=6.4,
                      jaw=2.3, tail="jaw")
    return tile, spanner


def write_icon(path, tile, spanner):
    palette, indices, opaque = quantise(render(tile, spanner))
    with open(path, "wb") as f:
        f.write(ico_bytes(palette, indices, opaque))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, os.pardir, "res")
    write_icon(os.path.join(out, "duomira.ico"), *main_icon())
    write_icon(os.path.join(out, "path_dialog.ico"), *path_dialog_icon())


if __name__ == "__main__":
    main()
