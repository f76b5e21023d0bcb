#!/usr/bin/env python3
"""Draws every picture the program carries and writes them beside this script.

    python3 resources/draw_pictures.py           draw, write, then check the files
    python3 resources/draw_pictures.py --check   only check the files already written

Standard library only. The output is the same, byte for byte, on every run: the
files are committed and the build embeds them, so the script is run by hand.

Everything is drawn with signed distance functions (negative inside a shape),
which give anti-aliased edges and one-pixel outlines at any size: a shape's
coverage of a pixel is taken from the distance at sample points inside it.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------------------
# Small helpers


def clamp(value, low=0.0, high=1.0):
    return low if value < low else high if value > high else value


def smoothstep(edge0, edge1, x):
    t = clamp((x - edge0) / (edge1 - edge0))
    return t * t * (3.0 - 2.0 * t)


def mix(c0, c1, t):
    return (c0[0] + (c1[0] - c0[0]) * t, c0[1] + (c1[1] - c0[1]) * t, c0[2] + (c1[2] - c0[2]) * t)


# ---------------------------------------------------------------------------
# Distance functions, in the units of whatever coordinates they are given.


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def box(x0, y0, x1, y1, r=0.0):
    """A rectangle from (x0, y0) to (x1, y1) with corners rounded by r."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hw, hh = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hw, abs(y - cy) - hh
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return sdf


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else clamp(((x - ax) * dx + (y - ay) * dy) / length2)
    return math.hypot(x - ax - dx * t, y - ay - dy * t)


def polyline(points, r):
    """A stroke of half-width r along the points, with round ends."""
    pairs = list(zip(points, points[1:])) or [(points[0], points[0])]

    def sdf(x, y):
        return min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in pairs) - r

    return sdf


def polygon(points):
    """Any simple polygon; the sign comes from the crossing rule."""
    n = len(points)

    def sdf(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            best = min(best, segment_distance(x, y, ax, ay, bx, by))
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -best if inside else best

    return sdf


def ellipse_ring(cx, cy, rx, ry, half_width):
    def sdf(x, y):
        px, py = x - cx, y - cy
        k0 = math.hypot(px / rx, py / ry)
        k1 = math.hypot(px / (rx * rx), py / (ry * ry))
        distance = 0.0 if k1 == 0 else k0 * (k0 - 1.0) / k1
        return abs(distance) - half_width

    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def grown(shape, amount):
    return lambda x, y: shape(x, y) - amount


def placed(shape, ox, oy, scale):
    """A shape designed in its own units, put at (ox, oy) in pixels, scale pixels per unit."""
    return lambda x, y: shape((x - ox) / scale, (y - oy) / scale) * scale


# ---------------------------------------------------------------------------
# Paints: (x, y) -> (r, g, b, alpha), colour 0..255, alpha 0..1.


def flat(colour, alpha=1.0):
    value = (colour[0], colour[1], colour[2], alpha)
    return lambda x, y: value


def lit_gradient(light, dark, x0, y0, x1, y1, alpha=1.0):
    """Light from the top left: light at (x0, y0), dark towards (x1, y1)."""
    dx, dy = (x1 - x0) * 0.35, (y1 - y0)
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = clamp(((x - x0) * dx + (y - y0) * dy) / length2)
        c = mix(light, dark, t)
        return (c[0], c[1], c[2], alpha)

    return paint


# ---------------------------------------------------------------------------
# The canvas: straight colour is blended in, premultiplied floats are kept.


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def blend(self, x, y, colour, alpha):
        """Source-over of a straight colour with the given alpha."""
        if alpha <= 0.0:
            return
        if alpha > 1.0:
            alpha = 1.0
        p = self.pixels[y * self.width + x]
        keep = 1.0 - alpha
        p[0] = colour[0] / 255.0 * alpha + p[0] * keep
        p[1] = colour[1] / 255.0 * alpha + p[1] * keep
        p[2] = colour[2] / 255.0 * alpha + p[2] * keep
        p[3] = alpha + p[3] * keep

    def fill(self, shape, paint, area=None, samples=3, inset=0.0):
        """Paints the part of the shape lying at least `inset` pixels inside its edge.

        The shape's distances are in pixels; each pixel is cut into samples x samples
        cells and each cell's coverage comes from the distance at its centre.
        """
        x0, y0, x1, y1 = area or (0, 0, self.width, self.height)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1)))
        offsets = [(i + 0.5) / samples for i in range(samples)]
        weight = 1.0 / (samples * samples)
        for y in range(y0, y1):
            for x in range(x0, x1):
                coverage = 0.0
                for oy in offsets:
                    for ox in offsets:
                        d = shape(x + ox, y + oy) + inset
                        coverage += clamp(0.5 - d * samples)
                if coverage > 0.0:
                    r, g, b, a = paint(x + 0.5, y + 0.5)
                    self.blend(x, y, (r, g, b), coverage * weight * a)

    def bytes_rgba(self):
        """Straight-alpha RGBA bytes, top row first."""
        out = bytearray()
        for r, g, b, a in self.pixels:
            alpha = int(clamp(a) * 255.0 + 0.5)
            if alpha == 0:
                # a clear pixel carries no colour: the icon mask shows the screen there
                out += b"\0\0\0\0"
                continue
            out += bytes(
                (
                    int(clamp(r / a) * 255.0 + 0.5),
                    int(clamp(g / a) * 255.0 + 0.5),
                    int(clamp(b / a) * 255.0 + 0.5),
                    alpha,
                )
            )
        return bytes(out)


# ---------------------------------------------------------------------------
# The icon style: one palette, light from the top left, a one-pixel dark outline,
# a gradient body and a thin inner bevel. Every ramp is (light, dark, outline).

BLUE = ((140, 196, 246), (36, 96, 184), (20, 52, 112))
GREEN = ((150, 222, 120), (44, 148, 52), (22, 88, 34))
RED = ((248, 136, 118), (196, 36, 34), (116, 18, 22))
AMBER = ((255, 228, 140), (228, 164, 50), (138, 92, 22))
SLATE = ((222, 230, 240), (118, 134, 158), (58, 70, 90))
PAPER = ((255, 255, 255), (222, 230, 240), (58, 70, 90))
WHITE = (255, 255, 255)
SHADOW = (10, 24, 48)
LIGHT_DIRECTION = (-math.sqrt(0.5), -math.sqrt(0.5))


class Pen:
    """Where and how big an icon is drawn: design units of `unit` pixels at (ox, oy)."""

    def __init__(self, canvas, ox, oy, unit, line=1.0, samples=3):
        self.canvas, self.ox, self.oy, self.unit = canvas, ox, oy, unit
        self.line, self.samples = line, samples

    def px(self, shape):
        return placed(shape, self.ox, self.oy, self.unit)

    def area(self, x0, y0, x1, y1, margin=1.0):
        u = self.unit
        return (
            self.ox + x0 * u - margin,
            self.oy + y0 * u - margin,
            self.ox + x1 * u + margin,
            self.oy + y1 * u + margin,
        )

    def paint(self, shape, paint, bounds, inset=0.0):
        self.canvas.fill(self.px(shape), paint, self.area(*bounds), self.samples, inset)

    def gradient(self, ramp, bounds, alpha=1.0):
        x0, y0, x1, y1 = self.area(*bounds, margin=0.0)
        return lit_gradient(ramp[0], ramp[1], x0, y0, x1, y1, alpha)

    def body(self, shape, ramp, bounds):
        """Outline, gradient body and the bevel that catches the light."""
        self.paint(shape, flat(ramp[2]), bounds)
        self.paint(shape, self.gradient(ramp, bounds), bounds, inset=self.line)
        self.bevel(shape, bounds)

    def bevel(self, shape, bounds):
        line = self.line
        shape_px = self.px(shape)
        ring = lambda x, y: abs(shape_px(x, y) + line + 0.5 * line) - 0.5 * line

        def paint(x, y):
            e = 0.25
            gx = shape_px(x + e, y) - shape_px(x - e, y)
            gy = shape_px(x, y + e) - shape_px(x, y - e)
            norm = math.hypot(gx, gy) or 1.0
            facing = (gx * LIGHT_DIRECTION[0] + gy * LIGHT_DIRECTION[1]) / norm
            if facing >= 0:
                return (255, 255, 255, 0.55 * facing)
            return (0, 0, 0, -0.12 * facing)

        self.canvas.fill(ring, paint, self.area(*bounds), self.samples)

    def symbol(self, shape, bounds):
        """A white sign on a body, with a soft shadow to the bottom right."""
        shadow = lambda x, y: shape(x - 0.6, y - 0.6)
        self.paint(grown(shadow, 0.15), flat(SHADOW, 0.35), bounds)
        top, bottom = self.area(*bounds, margin=0.0)[1::2]
        fade = lambda x, y: (*mix(WHITE, (214, 228, 242), clamp((y - top) / (bottom - top))), 1.0)
        self.paint(shape, fade, bounds)

    def folder(self, back, flap, ramp, back_bounds, flap_bounds):
        """A folder: the back in the ramp's dark colour, the front flap lit."""
        self.body(back, (ramp[1], ramp[1], ramp[2]), back_bounds)
        self.body(flap, ramp, flap_bounds)


# ---------------------------------------------------------------------------
# The sixteen-pixel icons, designed on a 16-unit grid.


def draw_start(pen):
    pen.body(circle(8, 8, 7.5), GREEN, (0, 0, 16, 16))
    arrow = grown(polygon([(6.4, 4.9), (11.4, 8.0), (6.4, 11.1)]), 0.55)
    pen.symbol(arrow, (5, 4, 12, 12))


def draw_cancel(pen):
    pen.body(circle(8, 8, 7.5), RED, (0, 0, 16, 16))
    cross = union(polyline([(5.3, 5.3), (10.7, 10.7)], 1.15),
                  polyline([(10.7, 5.3), (5.3, 10.7)], 1.15))
    pen.symbol(cross, (4, 4, 12, 12))


def draw_help(pen):
    pen.body(circle(8, 8, 7.5), BLUE, (0, 0, 16, 16))
    hook = []
    for i in range(13):
        angle = math.radians(200 + i * 17.5)
        hook.append((8 + 2.35 * math.cos(angle), 6.0 + 2.2 * math.sin(angle)))
    hook += [(8.0, 8.9), (8.0, 9.5)]
    sign = union(polyline(hook, 1.0), circle(8.0, 12.0, 1.1))
    pen.symbol(sign, (4, 2, 12, 14))


def gear(cx, cy, teeth, root, tip, hole):
    """A toothed wheel: the radius steps from root to tip on each tooth, with short flanks.

    The distance is measured along the radius, close enough to a true distance for
    teeth this short."""

    def sdf(x, y):
        dx, dy = x - cx, y - cy
        r = math.hypot(dx, dy)
        phase = (math.atan2(dy, dx) * teeth / (2 * math.pi)) % 1.0
        flank = clamp((abs(phase - 0.5) - 0.2) / 0.12)
        return max(r - (tip + (root - tip) * flank), hole - r)

    return sdf


def draw_settings(pen):
    pen.body(gear(8, 8, 8, 5.8, 7.6, 2.6), SLATE, (0, 0, 16, 16))


def draw_folder(pen):
    back = union(box(0.5, 2.5, 15.5, 14.5, 1.0), box(0.5, 1.5, 7.0, 5.0, 1.0))
    pen.folder(back, box(0.5, 5.5, 15.5, 14.5, 1.0), AMBER, (0, 1, 16, 15), (0, 5, 16, 15))


def draw_web(pen):
    pen.body(circle(8, 8, 7.5), BLUE, (0, 0, 16, 16))
    inner = circle(8, 8, 6.5)
    lines = union(
        ellipse_ring(8, 8, 3.1, 6.5, 0.42),
        box(7.58, 1.5, 8.42, 14.5),
        box(1.5, 7.58, 14.5, 8.42),
        intersect(ellipse_ring(8, 16.5, 11.0, 7.0, 0.38), inner),
        intersect(ellipse_ring(8, -0.5, 11.0, 7.0, 0.38), inner),
    )
    pen.paint(intersect(lines, inner), flat(WHITE, 0.72), (1, 1, 15, 15))


def draw_journal(pen):
    pen.body(box(2.5, 0.5, 14.5, 15.5, 1.0), PAPER, (2, 0, 15, 16))
    pen.body(box(2.5, 0.5, 6.0, 15.5, 1.0), BLUE, (2, 0, 7, 16))
    for y in (4.5, 7.5, 10.5):
        pen.paint(box(7.5, y - 0.5, 12.5, y + 0.5), flat((106, 150, 206)), (7, y - 1, 13, y + 1))
    pen.paint(box(7.5, 13.0, 10.5, 14.0), flat((106, 150, 206)), (7, 12, 11, 15))
    for y in (3.5, 8.0, 12.5):
        pen.paint(circle(4.25, y, 0.75), flat(WHITE, 0.9), (3, y - 1, 6, y + 1))


def draw_close_tip(pen):
    cross = union(polyline([(4.0, 4.0), (12.0, 12.0)], 2.4),
                  polyline([(12.0, 4.0), (4.0, 12.0)], 2.4))
    pen.body(cross, RED, (0, 0, 16, 16))


def floppy_shape():
    return grown(polygon([(2.0, 2.0), (11.5, 2.0), (14.0, 4.5), (14.0, 14.0), (2.0, 14.0)]), 1.0)


def draw_save_tip(pen):
    pen.body(floppy_shape(), BLUE, (0, 0, 16, 16))
    pen.paint(box(4.0, 2.0, 11.0, 6.0, 0.3), pen.gradient(SLATE, (4, 2, 11, 6)), (4, 2, 11, 6))
    pen.paint(box(8.0, 3.0, 10.0, 5.0), flat(SLATE[2]), (8, 3, 10, 5))
    pen.paint(box(4.0, 8.0, 12.0, 14.0, 0.5), pen.gradient(PAPER, (4, 8, 12, 14)), (4, 8, 12, 14))
    for y in (10.0, 12.0):
        pen.paint(box(5.0, y - 0.5, 11.0, y + 0.5), flat((130, 170, 220)), (5, y - 1, 11, y + 1))


ICONS = [
    ("start.ico", draw_start),
    ("cancel.ico", draw_cancel),
    ("settings.ico", draw_settings),
    ("folder.ico", draw_folder),
    ("web.ico", draw_web),
    ("journal.ico", draw_journal),
    ("help.ico", draw_help),
    ("close_tip.ico", draw_close_tip),
    ("save_tip.ico", draw_save_tip),
]

# ---------------------------------------------------------------------------
# A hand-made proportional pixel font: caps 8 rows high, lower case 6, two rows of
# descender. Row 7 sits on the baseline. Each glyph is a list of 10 rows.

GLYPHS = {
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#....", "#...."],
    "O": [".####.", "#....#", "#....#", "#....#", "#....#", "#....#", "#....#", ".####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "a": ["", "", ".###.", "....#", ".####", "#...#", "#...#", ".####"],
    "e": ["", "", ".###.", "#...#", "#####", "#....", "#...#", ".###."],
    "g": ["", "", ".####", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "i": ["#", ".", "#", "#", "#", "#", "#", "#"],
    "k": ["#...", "#...", "#..#", "#.#.", "##..", "##..", "#.#.", "#..#"],
    "m": ["", "", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    "n": ["", "", "#.##.", "##..#", "#...#", "#...#", "#...#", "#...#"],
    "r": ["", "", "#.##", "##..", "#...", "#...", "#...", "#..."],
    "s": ["", "", ".###", "#...", ".##.", "...#", "...#", "###."],
    "t": ["", ".#..", "####", ".#..", ".#..", ".#..", ".#..", "..##"],
    "u": ["", "", "#...#", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "v": ["", "", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    " ": ["..."],
}
GLYPH_CAP_HEIGHT = 8


def glyph_width(char):
    return max(len(row) for row in GLYPHS[char])


def text_width(text, spacing=1):
    return sum(glyph_width(c) for c in text) + spacing * (len(text) - 1)


def text_shape(text, spacing=1, weight=0.5):
    """The text as strokes through the centres of the inked cells, in cell units,
    top of the capitals at y 0. Diagonal steps are joined where no square
    neighbour already joins them, which turns the pixel stairs into smooth lines."""
    pairs = []
    left = 0
    for char in text:
        rows = GLYPHS[char]
        inked = {(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c == "#"}
        for x, y in sorted(inked):
            joined = False
            for dx, dy in ((1, 0), (0, 1)):
                if (x + dx, y + dy) in inked:
                    pairs.append((left + x + 0.5, y + 0.5, left + x + dx + 0.5, y + dy + 0.5))
                    joined = True
            for dx in (1, -1):
                below = (x + dx, y + 1)
                if below in inked and (x + dx, y) not in inked and (x, y + 1) not in inked:
                    pairs.append((left + x + 0.5, y + 0.5, left + x + dx + 0.5, y + 1.5))
                    joined = True
            if not joined:
                pairs.append((left + x + 0.5, y + 0.5, left + x + 0.5, y + 0.5))
        left += glyph_width(char) + spacing

    def sdf(x, y):
        best = 9.0
        for ax, ay, bx, by in pairs:
            if abs(x - ax) < 2.0 or abs(x - bx) < 2.0:
                d = segment_distance(x, y, ax, ay, bx, by)
                if d < best:
                    best = d
        return best - weight

    return sdf


def draw_text(canvas, text, x, y, scale, paint, samples=3, weight=0.5):
    """Draws text with the top of its capitals at (x, y), one glyph cell = scale pixels."""
    shape = placed(text_shape(text, weight=weight), x, y, scale)
    width = text_width(text) * scale
    canvas.fill(shape, paint, (x - 1, y - 1, x + width + 1, y + 10 * scale + 1), samples)


# ---------------------------------------------------------------------------
# The two picture buttons of the preferences window: icon at the left, word beside.

BUTTON_TEXT = (28, 46, 74)


def draw_button(draw_icon, word, scale=1.0):
    canvas = Canvas(scaled(100, scale), scaled(20, scale))
    gap = 7
    left = int((canvas.width - (16 + gap + text_width(word)) * scale) // 2)
    draw_icon(Pen(canvas, left, 2 * scale, scale))
    draw_text(canvas, word, left + (16 + gap) * scale, 6 * scale, scale, flat(BUTTON_TEXT))
    return canvas


# ---------------------------------------------------------------------------
# The program icon: a folder copied into another, designed on a 32-unit grid.


PALE_BLUE = ((190, 222, 250), (96, 156, 222), BLUE[2])
DEEP_BLUE = ((120, 182, 244), (30, 86, 172), BLUE[2])
ARROW = ((255, 255, 255), (214, 230, 246), BLUE[2])


def draw_program_icon(size):
    canvas = Canvas(size, size)
    if size <= 16:
        draw_small_program_icon(Pen(canvas, 0, 0, size / 16.0))
        return canvas
    unit = size / 32.0
    line = max(1.0, size / 96.0)
    pen = Pen(canvas, 0, 0, unit, line=line, samples=3 if size <= 48 else 1)

    # the source folder, behind at the top left
    source_back = union(box(1.0, 3.0, 21.0, 19.0, 1.5), box(1.0, 1.5, 10.0, 6.0, 1.5))
    source_flap = box(1.0, 7.0, 21.0, 19.0, 1.5)
    pen.folder(source_back, source_flap, PALE_BLUE, (0, 1, 22, 20), (0, 6, 22, 20))

    # the copy, in front at the bottom right, lifted by a soft shadow
    shadow = grown(box(10.0, 13.5, 32.0, 31.5, 2.0), 0.5)
    pen.paint(shadow, flat(SHADOW, 0.18), (9, 12, 32, 32))
    copy_back = union(box(9.0, 12.0, 31.0, 30.0, 1.5), box(9.0, 10.5, 18.5, 15.0, 1.5))
    copy_flap = box(9.0, 16.0, 31.0, 30.0, 1.5)
    pen.folder(copy_back, copy_flap, DEEP_BLUE, (8, 10, 32, 31), (8, 15, 32, 31))

    # the arrow from one to the other
    arrow = polygon([(12.5, 20.0), (19.0, 20.0), (19.0, 17.0), (25.5, 22.5), (19.0, 28.0),
                     (19.0, 25.0), (12.5, 25.0)])
    pen.body(grown(arrow, 0.4), ARROW, (11, 16, 27, 29))
    return canvas


def draw_small_program_icon(pen):
    """The same picture redrawn on the pixel grid, where the large one turns to mush."""
    source_back = union(box(0.0, 2.0, 11.0, 11.0, 1.0), box(0.0, 1.0, 5.0, 4.0, 1.0))
    source_flap = box(0.0, 4.0, 11.0, 11.0, 1.0)
    pen.folder(source_back, source_flap, PALE_BLUE, (0, 0, 12, 12), (0, 3, 12, 12))
    copy_back = union(box(4.0, 7.0, 16.0, 16.0, 1.0), box(4.0, 6.0, 9.0, 9.0, 1.0))
    pen.folder(copy_back, box(4.0, 9.0, 16.0, 16.0, 1.0), DEEP_BLUE, (3, 5, 16, 16), (3, 8, 16, 16))
    arrow = polygon([(6.5, 11.5), (9.5, 11.5), (9.5, 10.0), (12.5, 12.5), (9.5, 15.0),
                     (9.5, 13.5), (6.5, 13.5)])
    pen.symbol(arrow, (6, 9, 13, 16))


# ---------------------------------------------------------------------------
# The background behind the upper part of the main window.

BACKGROUND_SIZE = (600, 342)
# Vertical colour stops: light behind the labels and fields, deeper blue lower down.
SKY = [
    (0, (248, 251, 255)),
    (125, (226, 237, 250)),
    (200, (168, 201, 238)),
    (342, (62, 114, 188)),
]
STATUS_PANEL = (4, 274, 496, 306)  # behind the status line at (10, 280), 480 x 20
NAME = "Ostrevak Tessune"


def sky_colour(y):
    for (y0, c0), (y1, c1) in zip(SKY, SKY[1:]):
        if y <= y1:
            t = (y - y0) / (y1 - y0)
            return mix(c0, c1, 0.5 - 0.5 * math.cos(math.pi * t))
    return SKY[-1][1]


def ribbon_path(x, base, amplitude, wavelength, phase, wobble):
    return (
        base
        + amplitude * math.sin(2 * math.pi * x / wavelength + phase)
        + wobble * math.sin(2 * math.pi * x / (wavelength * 0.47) + 1.7 * phase)
    )


# Translucent white ribbons: base line, amplitude, wavelength, phase, wobble,
# half-thickness at both ends, opacity.
RIBBONS = [
    (232, 22, 900, 2.4, 4, (3, 18), 0.16),
    (250, 18, 760, 0.9, 5, (12, 4), 0.13),
    (286, 26, 1100, 3.6, 3, (2, 26), 0.12),
    (310, 14, 680, 5.0, 3, (8, 14), 0.10),
]


def scaled(value, scale):
    """A 96-dpi length at a scale, rounded as the program rounds (halves up)."""
    return int(math.floor(value * scale + 0.5))


def draw_ribbons(canvas, scale=1.0):
    width, height = canvas.width, canvas.height
    design_width = BACKGROUND_SIZE[0]
    for base, amplitude, wavelength, phase, wobble, (h0, h1), opacity in RIBBONS:
        for x in range(width):
            cx = (x + 0.5) / scale
            centre = ribbon_path(cx, base, amplitude, wavelength, phase, wobble) * scale
            half_step = 0.5 / scale
            slope = (ribbon_path(cx + half_step, base, amplitude, wavelength, phase, wobble) -
                     ribbon_path(cx - half_step, base, amplitude, wavelength, phase, wobble)) * scale
            stretch = math.sqrt(1.0 + slope * slope)
            t = cx / design_width
            half = (h0 + (h1 - h0) * (0.5 - 0.5 * math.cos(math.pi * t))) * scale
            top, bottom = centre - half, centre + half
            for y in range(max(0, int(top) - 2), min(height, int(bottom) + 3)):
                cy = y + 0.5
                inside = clamp((min(cy - top, bottom - cy)) / stretch + 0.5)
                if inside > 0.0:
                    across = clamp((cy - top) / (bottom - top))
                    canvas.blend(x, y, WHITE, opacity * inside * (1.0 - 0.6 * across))
                edge = clamp(1.0 - abs(cy - top) / stretch)
                if edge > 0.0:
                    canvas.blend(x, y, WHITE, 0.28 * edge * (0.35 + 0.65 * math.sin(math.pi * t)))


def draw_background(scale=1.0):
    """The background at a display scale (1.0 = 100 %): the same design, every
    length multiplied, outlines and highlights kept one pixel wide."""
    design_width, design_height = BACKGROUND_SIZE
    width, height = scaled(design_width, scale), scaled(design_height, scale)
    canvas = Canvas(width, height)
    for y in range(height):
        colour = sky_colour((y + 0.5) / scale)
        row = [c / 255.0 for c in colour]
        for x in range(width):
            p = canvas.pixels[y * width + x]
            p[0], p[1], p[2], p[3] = row[0], row[1], row[2], 1.0

    for y in range(0, scaled(200, scale)):
        for x in range(scaled(250, scale), width):
            ux, uy = (x + 0.5) / scale - 0.5, (y + 0.5) / scale - 0.5
            d2 = ((ux - 560) / 330.0) ** 2 + ((uy + 40) / 190.0) ** 2
            if d2 < 4.0:
                canvas.blend(x, y, WHITE, 0.45 * math.exp(-2.2 * d2))

    draw_ribbons(canvas, scale)

    letter = 3.0 * scale
    name_left = width - 12 * scale - text_width(NAME) * letter
    name_top = 243 * scale
    engraved = placed(text_shape(NAME, weight=0.55), name_left + scale, name_top + scale, letter)
    canvas.fill(engraved, flat(SHADOW, 0.10), (name_left, name_top, width, name_top + 32 * scale), 2)
    draw_text(canvas, NAME, name_left, name_top, letter, flat(WHITE, 0.38), samples=2, weight=0.55)

    x0, y0, x1, y1 = (scaled(v, scale) for v in STATUS_PANEL)
    radius = 8.0 * scale
    panel = box(x0, y0, x1, y1, radius)
    for y in range(y0, y1 + scaled(10, scale)):
        for x in range(x0 - scaled(6, scale), x1 + scaled(8, scale)):
            # the panel moved 1 right and 3 down
            d = panel(x + 0.5 - 1.0 * scale, y + 0.5 - 3.0 * scale)
            if d < radius:
                canvas.blend(x, y, SHADOW, 0.16 * math.exp(-max(d, 0.0) / (2.5 * scale)))
    face = lambda x, y: (*mix((250, 252, 255), (238, 244, 251), clamp((y - y0) / (y1 - y0))), 0.97)
    canvas.fill(panel, face, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), 2)
    rim = lambda x, y: abs(panel(x, y) + 0.5) - 0.5
    rim_colour = lambda x, y: (255, 255, 255, 0.9) if y < (y0 + y1) / 2 else (120, 160, 210, 0.5)
    canvas.fill(rim, rim_colour, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), 2)
    return canvas


# ---------------------------------------------------------------------------
# File formats.


def png_bytes(width, height, rgba):
    """An 8-bit RGBA PNG. Each row takes whichever of the None, Sub and Up filters
    leaves the smallest sum of bytes, which keeps the gradients small."""
    stride = width * 4
    raw = bytearray()
    previous = bytes(stride)
    for y in range(height):
        row = rgba[y * stride:(y + 1) * stride]
        sub = bytes((row[i] - (row[i - 4] if i >= 4 else 0)) & 0xFF for i in range(stride))
        up = bytes((row[i] - previous[i]) & 0xFF for i in range(stride))
        candidates = [(0, row), (1, sub), (2, up)]
        cost = lambda data: sum(v if v < 128 else 256 - v for v in data)
        kind, data = min(candidates, key=lambda c: (cost(c[1]), c[0]))
        raw.append(kind)
        raw += data
        previous = row

    def chunk(tag, payload):
        return struct.pack(">I", len(payload)) + tag + payload + \
            struct.pack(">I", zlib.crc32(tag + payload) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + \
        chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def icon_bitmap(width, height, rgba):
    """A 32-bit icon image: BITMAPINFOHEADER (height counts colour and mask rows),
    BGRA rows bottom-up, then the 1-bit mask, set where the pixel is fully clear."""
    mask_stride = ((width + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for y in range(height - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = rgba[(y * width + x) * 4:(y * width + x) * 4 + 4]
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(images):
    """An icon file from (width, height, image bytes) entries; 256 is written as 0."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return out


def single_icon(canvas):
    return ico_bytes([(canvas.width, canvas.height,
                       icon_bitmap(canvas.width, canvas.height, canvas.bytes_rgba()))])


# The display scales the program carries pictures for: the background at each,
# every icon (and picture button) at 16, 20, 24 and 32 pixels, 175 % taking the
# 32-pixel image scaled down.
BACKGROUND_SCALES = (125, 150, 175, 200)
ICON_SCALES = (100, 125, 150, 200)


def background_name(percent):
    return "background.png" if percent == 100 else "background-%d.png" % percent


def multi_icon(canvases):
    return ico_bytes([(c.width, c.height, icon_bitmap(c.width, c.height, c.bytes_rgba()))
                      for c in canvases])


def draw_icon_at(draw, size):
    canvas = Canvas(size, size)
    draw(Pen(canvas, 0, 0, size / 16.0))
    return canvas


def draw_all():
    """Every output file name with its bytes."""
    files = []
    for percent in (100,) + BACKGROUND_SCALES:
        background = draw_background(percent / 100.0)
        files.append((background_name(percent), png_bytes(background.width, background.height,
                                                          background.bytes_rgba())))
    for name, draw in ICONS:
        files.append((name, multi_icon([draw_icon_at(draw, scaled(16, p / 100.0))
                                        for p in ICON_SCALES])))
    for name, draw, word in (("save_button.ico", draw_save_tip, "Enregistrer"),
                             ("close_button.ico", draw_close_tip, "Fermer")):
        files.append((name, multi_icon([draw_button(draw, word, p / 100.0)
                                        for p in ICON_SCALES])))
    program = []
    for size in (16, 32, 48):
        canvas = draw_program_icon(size)
        program.append((size, size, icon_bitmap(size, size, canvas.bytes_rgba())))
    big = draw_program_icon(256)
    program.append((256, 256, png_bytes(256, 256, big.bytes_rgba())))
    files.append(("ravelund.ico", ico_bytes(program)))
    return files


# ---------------------------------------------------------------------------
# Checks of the written files, read back with their own small decoders, so that a
# change to the drawing that breaks a file or makes the window's texts unreadable
# is caught when the script is run.


def read_png(data):
    """(width, height, colour type, RGBA bytes) of an 8-bit RGBA, non-interlaced PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    position, idat, header = 8, b"", None
    while position < len(data):
        length, tag = struct.unpack(">I4s", data[position:position + 8])
        payload = data[position + 8:position + 8 + length]
        crc = struct.unpack(">I", data[position + 8 + length:position + 12 + length])[0]
        if zlib.crc32(tag + payload) & 0xFFFFFFFF != crc:
            raise ValueError("bad CRC in " + tag.decode())
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", payload)
        elif tag == b"IDAT":
            idat += payload
        position += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type != 6 or interlace != 0:
        raise ValueError("not 8-bit RGBA")
    raw = zlib.decompress(idat)
    stride = width * 4
    out = bytearray()
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = previous[i]
            c = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                line[i] = (line[i] + pred) & 0xFF
            elif kind != 0:
                raise ValueError("unknown PNG filter")
        out += line
        previous = line
    return width, height, colour_type, bytes(out)


def read_ico(data):
    """[(width, height, RGBA bytes)] of every image in an icon file."""
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1 or count == 0:
        raise ValueError("not an icon file")
    images = []
    for i in range(count):
        entry = data[6 + 16 * i:22 + 16 * i]
        w, h, _, _, planes, bits, size, offset = struct.unpack("<BBBBHHII", entry)
        w, h = w or 256, h or 256
        if planes != 1 or bits != 32 or offset + size > len(data):
            raise ValueError("entry %d is not a 32-bit image inside the file" % i)
        image = data[offset:offset + size]
        if image[:8] == b"\x89PNG\r\n\x1a\n":
            pw, ph, _, rgba = read_png(image)
            if (pw, ph) != (w, h):
                raise ValueError("PNG entry size differs from its directory entry")
            images.append((w, h, rgba))
            continue
        (head, bw, bh, _, bpp, compression, image_size) = struct.unpack("<IiiHHII", image[:24])
        mask_stride = ((bw + 31) // 32) * 4
        if head != 40 or (bw, bh) != (w, 2 * h) or bpp != 32 or compression != 0:
            raise ValueError("entry %d has a wrong bitmap header" % i)
        if image_size != w * h * 4 + mask_stride * h or len(image) != 40 + image_size:
            raise ValueError("entry %d has a wrong size" % i)
        rgba = bytearray(w * h * 4)
        for row in range(h):
            source = image[40 + (h - 1 - row) * w * 4:40 + (h - row) * w * 4]
            mask_row = image[40 + w * h * 4 + (h - 1 - row) * mask_stride:][:mask_stride]
            for x in range(w):
                b, g, r, a = source[4 * x:4 * x + 4]
                rgba[(row * w + x) * 4:(row * w + x) * 4 + 4] = bytes((r, g, b, a))
                if bool(mask_row[x // 8] & (0x80 >> (x % 8))) != (a == 0):
                    raise ValueError("entry %d: mask disagrees with alpha at %d,%d" % (i, x, row))
                if a == 0 and (r, g, b) != (0, 0, 0):
                    raise ValueError("entry %d: a clear pixel has a colour at %d,%d" % (i, x, row))
        images.append((w, h, bytes(rgba)))
    return images


def luminance(rgb):
    def linear(c):
        c /= 255.0
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4

    r, g, b = rgb
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b)


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


LABEL_COLOUR = (79, 81, 82)
STATUS_COLOUR = (32, 32, 160)
# Where the window writes over the background: (x0, y0, x1, y1, text colour).
TEXT_AREAS = [
    (10, 8, 300, 25, LABEL_COLOUR),
    (10, 98, 300, 115, LABEL_COLOUR),
    (10, 280, 490, 300, STATUS_COLOUR),
]
MINIMUM_CONTRAST = 4.5  # what body text needs to read comfortably


def check_files(folder):
    """Problems found in the written files, as sentences; empty when all is well."""
    problems = []

    def load(name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    width, height, colour_type, rgba = read_png(load("background.png"))
    if (width, height) != BACKGROUND_SIZE or colour_type != 6:
        problems.append("background.png is %dx%d, colour type %d" % (width, height, colour_type))
    else:
        if any(rgba[i] != 255 for i in range(3, len(rgba), 4)):
            problems.append("background.png is not fully opaque")
        pixel = lambda x, y: tuple(rgba[(y * width + x) * 4:(y * width + x) * 4 + 3])
        for x0, y0, x1, y1, ink in TEXT_AREAS:
            worst = min(contrast(pixel(x, y), ink) for y in range(y0, y1) for x in range(x0, x1))
            if worst < MINIMUM_CONTRAST:
                problems.append("text at (%d, %d) has contrast %.2f only" % (x0, y0, worst))
        band = [luminance(pixel(x, y)) for y in range(280, 300) for x in range(10, 490)]
        if max(band) - min(band) > 0.08:
            problems.append("the status band is uneven: luminance %.3f..%.3f"
                            % (min(band), max(band)))

    for percent in BACKGROUND_SCALES:
        name = background_name(percent)
        size = tuple(scaled(v, percent / 100.0) for v in BACKGROUND_SIZE)
        try:
            w, h, colour_type, rgba = read_png(load(name))
        except (OSError, ValueError) as error:
            problems.append("%s: %s" % (name, error))
            continue
        if (w, h) != size or colour_type != 6:
            problems.append("%s is %dx%d, colour type %d" % (name, w, h, colour_type))
        elif any(rgba[i] != 255 for i in range(3, len(rgba), 4)):
            problems.append("%s is not fully opaque" % name)

    icon_sizes = [(scaled(16, p / 100.0),) * 2 for p in ICON_SCALES]
    button_sizes = [(scaled(100, p / 100.0), scaled(20, p / 100.0)) for p in ICON_SCALES]
    expected = [(name, icon_sizes) for name, _ in ICONS]
    expected += [("save_button.ico", button_sizes), ("close_button.ico", button_sizes)]
    expected += [("ravelund.ico", [(16, 16), (32, 32), (48, 48), (256, 256)])]
    for name, sizes in expected:
        try:
            images = read_ico(load(name))
        except (ValueError, struct.error) as error:
            problems.append("%s: %s" % (name, error))
            continue
        if [(w, h) for w, h, _ in images] != sizes:
            problems.append("%s holds %s" % (name, [(w, h) for w, h, _ in images]))
            continue
        for w, h, image in images:
            alphas = image[3::4]
            if not any(0 < a < 255 for a in alphas):
                problems.append("%s %dx%d has no soft edges" % (name, w, h))
            # an icon drawn over an opaque square instead of a clear ground
            if sum(1 for a in alphas if a == 0) < w * h // 10:
                problems.append("%s %dx%d has almost no clear ground" % (name, w, h))
            if sum(1 for a in alphas if a > 128) < min(w, h) * 4:
                problems.append("%s %dx%d is nearly empty" % (name, w, h))
    return problems


def main(arguments):
    if "--check" not in arguments:
        for name, data in draw_all():
            with open(os.path.join(HERE, name), "wb") as f:
                f.write(data)
    problems = check_files(HERE)
    for problem in problems:
        print("problem: " + problem)
    print("%d problem(s)" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
