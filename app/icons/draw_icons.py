#!/usr/bin/env python3
"""Draws the program's images and writes them as PNG files beside this script.

The four 16x16 menu images are pixel drawings with hard edges: every pixel is either
opaque or fully transparent. The program icon is drawn from shapes at each size it ships
in, with 4x4 supersampling. Only the standard library is needed; the PNG files are
committed, so the build never runs this script.

Usage: app/icons/draw_icons.py
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

BLACK = (0, 0, 0)
NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
CYAN = (0, 255, 255)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)
WHITE = (255, 255, 255)
GREEN = (0, 192, 0)
OLIVE = (128, 128, 0)
YELLOW = (255, 255, 0)


def write_png(path, width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgba_rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


class Canvas:
    """A 16x16 grid of colours; None is outside the mask."""

    def __init__(self):
        self.pixels = [[None] * 16 for _ in range(16)]

    def put(self, x, y, colour):
        if 0 <= x < 16 and 0 <= y < 16:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def hline(self, x0, x1, y, colour):
        self.fill(x0, y, x1, y, colour)

    def vline(self, x, y0, y1, colour):
        self.fill(x, y0, x, y1, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.hline(x0, x1, y0, colour)
        self.hline(x0, x1, y1, colour)
        self.vline(x0, y0, y1, colour)
        self.vline(x1, y0, y1, colour)

    def sheet(self, x0, y0, x1, y1, outline, fold=3):
        """A white sheet with its top right corner folded over and black text lines."""
        self.fill(x0, y0, x1, y1, WHITE)
        self.frame(x0, y0, x1, y1, outline)
        for i in range(fold + 1):
            for x in range(x1 - fold + i + 1, x1 + 1):
                self.pixels[y0 + i][x] = None
            self.put(x1 - fold + i, y0 + i, outline)
        self.vline(x1 - fold, y0, y0 + fold, outline)
        self.hline(x1 - fold, x1, y0 + fold, outline)
        for y in range(y0 + 2, y1 - 1, 2):
            right = x1 - 2 if y > y0 + fold else x1 - fold - 2
            self.hline(x0 + 2, right, y, BLACK)

    def write(self, name):
        rows = []
        for line in self.pixels:
            row = []
            for colour in line:
                row.extend((0, 0, 0, 0) if colour is None else (*colour, 255))
            rows.append(row)
        write_png(os.path.join(HERE, name), 16, 16, rows)


def door():
    c = Canvas()
    # Exit sign above the door.
    c.frame(5, 0, 10, 2, BLACK)
    c.hline(6, 9, 1, GREEN)
    # Door frame with the light of the open doorway.
    c.fill(2, 3, 10, 14, WHITE)
    c.frame(2, 3, 10, 14, NAVY)
    c.vline(3, 3, 14, NAVY)
    # The leaf, swung open towards the viewer, with chequered panes.
    top = [4, 5, 6, 7]
    for i, x in enumerate(range(11, 15)):
        c.vline(x, top[i], 14 - i, NAVY)
    for x in range(12, 14):
        for y in range(top[x - 11] + 1, 14 - (x - 11)):
            c.put(x, y, BLUE if (x + y) % 2 else CYAN)
    # Floor.
    c.hline(0, 15, 15, GREY)
    c.hline(0, 1, 14, GREY)
    c.hline(15, 15, 14, GREY)
    c.write("exit.png")


def copy():
    c = Canvas()
    c.sheet(0, 0, 9, 11, BLACK)
    c.sheet(5, 4, 14, 15, NAVY)
    c.write("copy.png")


def clipboard():
    c = Canvas()
    # Board: olive with a grey rim.
    c.fill(1, 1, 12, 15, OLIVE)
    c.frame(1, 1, 12, 15, BLACK)
    c.frame(2, 2, 11, 14, GREY)
    # Clip at the top edge.
    c.fill(4, 0, 9, 2, YELLOW)
    c.frame(4, 0, 9, 2, BLACK)
    c.hline(6, 7, 1, BLACK)
    # Sheet over the lower right corner.
    c.sheet(6, 6, 15, 15, NAVY, fold=2)
    c.write("clipboard.png")


def floppy():
    c = Canvas()
    c.fill(0, 0, 15, 15, OLIVE)
    c.frame(0, 0, 15, 15, BLACK)
    # Label area with two writing lines.
    c.fill(3, 1, 12, 7, SILVER)
    c.hline(4, 11, 3, GREY)
    c.hline(4, 11, 5, GREY)
    # Metal shutter with its slot.
    c.fill(7, 10, 13, 15, SILVER)
    c.frame(7, 10, 13, 15, BLACK)
    c.vline(11, 11, 14, BLACK)
    c.vline(10, 11, 14, GREY)
    c.write("floppy.png")


# The program icon: an envelope with a blue badge that carries a white "@".

PAPER = (246, 242, 226)
INK = (31, 58, 122)
BADGE = (21, 101, 192)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def icon_colour(x, y):
    """The colour at point (x, y) of the unit square, or None outside the icon."""
    cx, cy, r = 0.68, 0.66, 0.30
    d = math.hypot(x - cx, y - cy)
    if d <= r:
        if d > r - 0.035:
            return WHITE
        # The "@": an inner ring, its stem, and an outer ring open at the lower right.
        angle = math.degrees(math.atan2(y - cy, x - cx))
        if abs(d - 0.065) <= 0.03:
            return WHITE
        if abs(x - (cx + 0.095)) <= 0.03 and cy - 0.09 <= y <= cy + 0.06:
            return WHITE
        if abs(d - 0.175) <= 0.03 and not 17 <= angle <= 55:
            return WHITE
        if y >= cy + 0.05 and abs(math.hypot(x - (cx + 0.135), y - (cy + 0.05)) - 0.04) <= 0.03:
            return WHITE
        return BADGE
    left, top, right, bottom = 0.05, 0.20, 0.95, 0.82
    if left <= x <= right and top <= y <= bottom:
        edge = 0.035
        if x - left < edge or right - x < edge or y - top < edge or bottom - y < edge:
            return INK
        if (segment_distance(x, y, left, top, 0.5, 0.56) < edge / 1.5
                or segment_distance(x, y, right, top, 0.5, 0.56) < edge / 1.5):
            return INK
        return PAPER
    return None


def main_icon(size):
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    colour = icon_colour((px + (sx + 0.5) / samples) / size,
                                         (py + (sy + 0.5) / samples) / size)
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            if acc[3]:
                row.extend((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3],
                            255 * acc[3] // (samples * samples)))
            else:
                row.extend((0, 0, 0, 0))
        rows.append(row)
    write_png(os.path.join(HERE, "adrelio-%d.png" % size), size, size, rows)


if __name__ == "__main__":
    door()
    copy()
    clipboard()
    floppy()
    for size in (16, 32, 48, 64, 128, 256):
        main_icon(size)
