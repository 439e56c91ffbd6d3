#!/usr/bin/env python3
"""Draws the program's 19 icons as 16 x 16 RGBA PNG files, and the program's
own icon (the first) once more at each size a desktop shows it.

Usage: make_icons.py OUT_DIR   (the project keeps them in src/app/resources/icons)

OUT_DIR gets icon01.png to icon19.png, ambrel-16.png to ambrel-256.png and
the tray's icons 11 and 12 at 22, 32 and 48 pixels (icon11-22.png, ...):
the shapes are drawn at each size, not scaled from 16 pixels.

Every icon is a list of shapes painted in order with 4 x 4 supersampling over
a transparent ground, so the edges carry soft alpha. The output is the same
for every run: the files in the repository are exactly what this script makes.
"""
import math
import os
import struct
import sys
import zlib

SIZE = 16              # the drawing's own units: every shape is laid out on 16 x 16
SAMPLES = 4
PROGRAM_ICON_SIZES = (16, 32, 48, 128, 256)
# The tray's two pictures (icons 11 and 12) again for hosts that show larger icons.
TRAY_ICONS = (11, 12)
TRAY_ICON_SIZES = (22, 32, 48)


# --- shapes: each answers whether a point (in pixel units) lies inside -----

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) <= width / 2


def polygon(*points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def line(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
    return inside


def polyline(points, width):
    parts = [line(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def arc(cx, cy, r, width, start, end):
    """Degrees counted clockwise from the positive x axis (y grows downwards)."""
    def inside(x, y):
        if abs(math.hypot(x - cx, y - cy) - r) > width / 2:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return (angle - start) % 360 <= (end - start) % 360
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


# --- painting ------------------------------------------------------------

def paint(layers, size=SIZE):
    """layers: (shape, (r, g, b[, a])) in painting order, drawn on size x size
    pixels. Returns RGBA rows."""
    unit = SIZE / size
    # Large pictures have enough pixels for soft edges with fewer samples.
    samples = SAMPLES if size <= 48 else 2
    pixels = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]
    for shape, colour in layers:
        r, g, b = (c / 255 for c in colour[:3])
        alpha = colour[3] / 255 if len(colour) > 3 else 1.0
        for py in range(size):
            for px in range(size):
                hits = sum(shape((px + (sx + 0.5) / samples) * unit, (py + (sy + 0.5) / samples) * unit)
                           for sy in range(samples) for sx in range(samples))
                if hits == 0:
                    continue
                a = alpha * hits / (samples * samples)
                dr, dg, db, da = pixels[py][px]
                out = a + da * (1 - a)
                pixels[py][px] = ((r * a + dr * da * (1 - a)) / out, (g * a + dg * da * (1 - a)) / out,
                                  (b * a + db * da * (1 - a)) / out, out)
    return [[tuple(int(round(c * 255)) for c in p) for p in row] for row in pixels]


def write_png(path, rows):
    size = len(rows)
    raw = b''.join(b'\x00' + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    data = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)


# --- colours ---------------------------------------------------------------

GREEN, DARK_GREEN = (60, 180, 60), (20, 110, 30)
ORANGE, DARK_ORANGE = (250, 150, 30), (180, 90, 10)
RED, DARK_RED = (225, 40, 40), (140, 15, 15)
YELLOW, DARK_YELLOW = (250, 210, 70), (190, 140, 20)
BLUE, DARK_BLUE = (60, 120, 215), (25, 60, 140)
WHITE, GREY, DARK_GREY = (255, 255, 255), (150, 150, 150), (80, 80, 80)


# --- the pictures, in resource order ----------------------------------------

def arrows():
    right = polygon((1, 3.5), (9, 3.5), (9, 1), (14.5, 5.5), (9, 10), (9, 7.5), (1, 7.5))
    left = polygon((15, 8.5), (7, 8.5), (7, 6), (1.5, 10.5), (7, 15), (7, 12.5), (15, 12.5))
    return [(grown(right), DARK_GREEN), (right, GREEN), (grown(left), DARK_ORANGE), (left, ORANGE)]


def grown(shape, by=0.8):
    """The shape with an outline band of `by` pixels around it."""
    offsets = [(by * math.cos(a), by * math.sin(a)) for a in (i * math.pi / 4 for i in range(8))]
    return lambda x, y: shape(x, y) or any(shape(x + dx, y + dy) for dx, dy in offsets)


def folder():
    back = union(polygon((1, 3), (6, 3), (7, 5), (13, 5), (13, 13), (1, 13)))
    front = polygon((3.5, 7), (15.5, 7), (13, 14), (1, 14))
    return [(grown(back, 0.7), DARK_YELLOW), (back, (230, 180, 50)),
            (grown(front, 0.7), DARK_YELLOW), (front, YELLOW)]


def tick(colour=GREEN, dark=DARK_GREEN, points=((2, 8.5), (6, 12.5), (14, 3.5)), width=3.0):
    return [(polyline(points, width + 1.4), dark), (polyline(points, width), colour)]


def cross():
    shape = union(line(3, 3, 13, 13, 3.2), line(13, 3, 3, 13, 3.2))
    return [(grown(shape, 0.7), DARK_RED), (shape, RED)]


def window(title=BLUE):
    return [(rect(1, 2, 15, 14), DARK_BLUE), (rect(2, 3, 14, 5), title), (rect(2, 5, 14, 13), WHITE)]


def page(x0=2.5, x1=12.5):
    outline = polygon((x0, 1), (x1 - 3, 1), (x1, 4), (x1, 15), (x0, 15))
    inner = polygon((x0 + 1, 2), (x1 - 3.4, 2), (x1 - 1, 4.4), (x1 - 1, 14), (x0 + 1, 14))
    fold = polygon((x1 - 3.5, 1), (x1 - 3.5, 4.5), (x1, 4.5))
    return [(outline, DARK_GREY), (inner, WHITE), (fold, (200, 200, 200))]


def page_with_pencil():
    lines = [(rect(4.5, y, 10, y + 1), (170, 170, 170)) for y in (5, 7.5, 10)]
    body = line(14.5, 3.5, 7.5, 10.5, 2.6)
    tip = polygon((6.6, 9.6), (8.4, 11.4), (5.5, 12.5))
    return page() + lines + [(grown(body, 0.6), DARK_GREY), (body, (245, 190, 40)),
                             (line(14.5, 3.5, 13.2, 4.8, 2.6), (230, 110, 110)), (tip, (60, 60, 60))]


def cube(x, y, colour):
    light = tuple(min(255, c + 70) for c in colour)
    dark = tuple(c * 3 // 5 for c in colour)
    top = polygon((x, y + 1.5), (x + 3, y), (x + 6, y + 1.5), (x + 3, y + 3))
    left = polygon((x, y + 1.5), (x + 3, y + 3), (x + 3, y + 7), (x, y + 5.5))
    right = polygon((x + 3, y + 3), (x + 6, y + 1.5), (x + 6, y + 5.5), (x + 3, y + 7))
    return [(top, light), (left, colour), (right, dark)]


def cubes():
    return cube(1, 8, (220, 50, 50)) + cube(9, 8, (50, 110, 220)) + cube(5, 1.5, (50, 180, 60))


def question():
    hook = union(arc(8, 5.5, 3.4, 2.6, 180, 90), line(11.2, 6.6, 8, 9.5, 2.6), line(8, 9.5, 8, 10.5, 2.6))
    dot = circle(8, 13.6, 1.5)
    shape = union(hook, dot)
    return [(grown(shape, 0.9), DARK_YELLOW), (shape, YELLOW)]


def page_with_tick():
    return page() + tick(points=((4.5, 9), (7.5, 12.5), (14, 5)), width=2.6)


def gear_with_cross():
    teeth = union(*[line(7, 7, 7 + 6.4 * math.cos(a), 7 + 6.4 * math.sin(a), 2.4)
                    for a in (i * math.pi / 4 for i in range(8))])
    gear = minus(union(circle(7, 7, 4.6), teeth), circle(7, 7, 1.8))
    mark = union(line(10, 10, 14.5, 14.5, 2.2), line(14.5, 10, 10, 14.5, 2.2))
    return [(grown(gear, 0.6), DARK_GREY), (gear, (175, 175, 185)),
            (grown(mark, 0.6), WHITE), (mark, RED)]


def diamond(colour, dark):
    outer = polygon((8, 0.5), (15.5, 8), (8, 15.5), (0.5, 8))
    inner = polygon((8, 2), (14, 8), (8, 14), (2, 8))
    shine = polygon((8, 3), (11, 6), (8, 7), (5, 6))
    light = tuple(min(255, c + 90) for c in colour)
    return [(outer, dark), (inner, colour), (shine, light)]


def window_with_tick():
    return window() + tick(points=((4.5, 8.5), (7.5, 11.5), (13, 5.5)), width=2.4)


def globe():
    land = union(polygon((4, 4), (8, 3), (9, 6), (6, 8), (6.5, 11), (4, 9), (3, 6)),
                 polygon((10, 8), (13, 7.5), (12.5, 12), (10.5, 12.5)))
    sphere = circle(8, 8, 6.6)
    grid = union(ring(8, 8, 6.6, 0.6), lambda x, y: abs(y - 8) < 0.3 and sphere(x, y),
                 lambda x, y: abs((x - 8) ** 2 / 9 + (y - 8) ** 2 / 43.6 - 1) < 0.12)
    return [(circle(8, 8, 7.3), DARK_BLUE), (sphere, (90, 160, 235)),
            (lambda x, y: land(x, y) and sphere(x, y), (60, 170, 70)), (grid, (200, 225, 250))]


def monitor(x, y, w, h, screen=(90, 150, 225)):
    return [(rect(x, y, x + w, y + h), DARK_GREY), (rect(x + 1, y + 1, x + w - 1, y + h - 1), screen),
            (rect(x + w / 2 - 1, y + h, x + w / 2 + 1, y + h + 1.5), DARK_GREY),
            (rect(x + w / 2 - 3, y + h + 1.5, x + w / 2 + 3, y + h + 2.5), DARK_GREY)]


def two_screens():
    return monitor(0.5, 1, 10, 7, (120, 170, 230)) + monitor(5.5, 6, 10, 7)


def computer():
    tower = [(rect(11, 2, 15.5, 15), DARK_GREY), (rect(12, 3, 14.5, 14), (200, 200, 205)),
             (rect(12.5, 4.5, 14, 5.5), DARK_GREY), (circle(13.25, 11.5, 0.8), GREEN)]
    return monitor(0.5, 2, 10, 8.5) + [(rect(1, 14, 10, 15.5), DARK_GREY)] + tower


def dollar():
    s = union(arc(8, 5.5, 2.8, 2.2, 120, 0), arc(8, 10.5, 2.8, 2.2, 300, 180),
              line(6.2, 7.2, 9.8, 8.8, 2.2))
    bar = line(8, 1, 8, 15, 1.6)
    shape = union(s, bar)
    return [(grown(shape, 0.7), DARK_GREEN), (shape, (40, 170, 60))]


def envelope():
    body = rect(0.5, 3, 13.5, 12)
    flap = polyline(((1, 3.5), (7, 8.5), (13, 3.5)), 1.1)
    arrow = polygon((9, 11), (12, 11), (12, 9), (15.8, 12.5), (12, 16), (12, 14), (9, 14))
    return [(body, DARK_GREY), (rect(1.5, 4, 12.5, 11), (250, 245, 225)), (flap, DARK_GREY),
            (grown(arrow, 0.7), DARK_BLUE), (arrow, BLUE)]


def exclamation():
    bar = polygon((6, 1), (10, 1), (9, 10.5), (7, 10.5))
    dot = circle(8, 13.5, 1.8)
    shape = union(bar, dot)
    return [(grown(shape, 0.8), DARK_RED), (shape, RED)]


ICONS = [arrows, folder, tick, cross, window, page_with_pencil, cubes, question, page_with_tick,
         gear_with_cross, lambda: diamond((50, 190, 60), DARK_GREEN), lambda: diamond(RED, DARK_RED),
         window_with_tick, globe, two_screens, computer, dollar, envelope, exclamation]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for number, draw in enumerate(ICONS, start=1):
        write_png(os.path.join(out, f'icon{number:02d}.png'), paint(draw()))
    for size in PROGRAM_ICON_SIZES:
        write_png(os.path.join(out, f'ambrel-{size}.png'), paint(ICONS[0](), size))
    for number in TRAY_ICONS:
        for size in TRAY_ICON_SIZES:
            write_png(os.path.join(out, f'icon{number:02d}-{size}.png'), paint(ICONS[number - 1](), size))


if __name__ == '__main__':
    main()
