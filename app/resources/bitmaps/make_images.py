#!/usr/bin/env python3
"""Draws the program's bitmaps and icon as XPM files.

The XPM files are committed; run this script again only to change a picture:
    python3 app/resources/bitmaps/make_images.py
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ICONS = os.path.join(os.path.dirname(HERE), "icons")

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREY = (128, 128, 128)
LIGHT_GREY = (192, 192, 192)
TEAL = (0, 128, 128)  # the lamps' key colour
GREEN = (0, 255, 0)
DARK_GREEN = (0, 128, 0)
DARK_BLUE = (0, 0, 128)
BLUE = (0, 0, 255)
RED = (255, 0, 0)
DARK_RED = (128, 0, 0)
YELLOW = (255, 255, 0)
DARK_YELLOW = (128, 128, 0)
CYAN = (0, 255, 255)
NONE = None  # transparent, icons only


class Canvas:
    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def fill_rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame_rect(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r_out, r_in, c):
        for y in range(self.h):
            for x in range(self.w):
                d2 = (x - cx) ** 2 + (y - cy) ** 2
                if r_in * r_in < d2 <= r_out * r_out:
                    self.set(x, y, c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.set(ox + x, oy + y, other.get(x, y))


def write_xpm(canvas, path, name):
    colours = []
    for row in canvas.px:
        for c in row:
            if c not in colours:
                colours.append(c)
    chars = ".#abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+@$%&*=-;:>,<1"
    assert len(colours) <= len(chars), path
    key = {c: chars[i] for i, c in enumerate(colours)}
    with open(path, "w") as f:
        f.write("/* XPM */\n")
        f.write("static const char *%s[] = {\n" % name)
        f.write('"%d %d %d 1",\n' % (canvas.w, canvas.h, len(colours)))
        for c in colours:
            colour = "None" if c is None else "#%02X%02X%02X" % c
            f.write('"%s c %s",\n' % (key[c], colour))
        rows = ['"%s"' % "".join(key[c] for c in row) for row in canvas.px]
        f.write(",\n".join(rows))
        f.write("};\n")


# Lamps: two round lamps, 13 pixels across, on the key colour.
def lamp(bright, dark):
    c = Canvas(30, 15, TEAL)
    for cx in (7, 22):
        cy = 7
        r = 6.5
        for y in range(15):
            for x in range(30):
                d = math.hypot(x - cx, y - cy)
                if d <= r:
                    # Inside: a checkered fill; the outermost pixels form the grey rim.
                    c.set(x, y, GREY if d > r - 1.2 else (bright if (x + y) % 2 == 0 else dark))
        # The highlight: a short white glint towards the upper left.
        for (x, y) in ((cx - 3, cy - 2), (cx - 3, cy - 3), (cx - 2, cy - 3), (cx - 2, cy - 4),
                       (cx - 1, cy - 4), (cx - 2, cy - 2)):
            c.set(x, y, WHITE)
    return c


# Toolbar strip: four 16 x 16 buttons on light grey.
def button_comm_settings():
    b = Canvas(16, 16, LIGHT_GREY)
    # Links first, so the boxes sit on top of them.
    b.line(4, 6, 4, 8, BLACK)
    b.line(11, 6, 11, 8, BLACK)
    b.line(4, 8, 11, 8, BLACK)
    b.line(7, 8, 7, 10, BLACK)
    b.line(8, 8, 8, 10, BLACK)
    for (x0, y0) in ((1, 1), (8, 1), (5, 10)):
        b.fill_rect(x0, y0, x0 + 5, y0 + 4, GREEN)
        b.frame_rect(x0, y0, x0 + 5, y0 + 4, DARK_GREEN)
        b.set(x0 + 1, y0 + 1, WHITE)
    return b


def dark_blue_box(b, x0, y0, x1, y1):
    b.fill_rect(x0, y0, x1, y1, DARK_BLUE)
    b.line(x0 + 1, y0 + 1, x1 - 1, y0 + 1, BLUE)
    b.line(x0 + 1, y0 + 1, x0 + 1, y1 - 1, BLUE)
    b.frame_rect(x0, y0, x1, y1, BLACK)


def outlined(b, mask, fill, edge):
    """Fills the pixels of `mask` and draws its boundary pixels in `edge`."""
    for (x, y) in mask:
        inner = all((x + dx, y + dy) in mask for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
        b.set(x, y, fill if inner else edge)


def button_scan_start():
    b = Canvas(16, 16, LIGHT_GREY)
    dark_blue_box(b, 8, 2, 14, 13)
    # A green arrow whose point reaches into the box.
    arrow = {(x, y) for x in range(0, 6) for y in range(6, 10)}
    for i in range(6):
        arrow |= {(5 + i, y) for y in range(2 + i, 14 - i)}
    outlined(b, arrow, GREEN, BLACK)
    return b


def button_scan_stop():
    b = Canvas(16, 16, LIGHT_GREY)
    dark_blue_box(b, 10, 3, 14, 12)
    b.ring(4.5, 7.5, 4.6, 2.4, RED)
    b.set(3, 4, (255, 255, 255))
    return b


QUESTION = [
    ".#####.",
    "##...##",
    "##...##",
    ".....##",
    "....##.",
    "...##..",
    "...##..",
    ".......",
    "...##..",
    "...##..",
]


def button_about():
    b = Canvas(16, 16, LIGHT_GREY)
    ox, oy = 4, 3
    glyph = set()
    for y, row in enumerate(QUESTION):
        for x, ch in enumerate(row):
            if ch == "#":
                glyph.add((ox + x, oy + y))
    # A dark edge around the yellow glyph keeps it readable on the grey face.
    for (x, y) in glyph:
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1), (1, 1)):
            if (x + dx, y + dy) not in glyph:
                b.set(x + dx, y + dy, BLACK)
    for (x, y) in glyph:
        b.set(x, y, YELLOW)
    return b


def toolbar():
    strip = Canvas(64, 16, LIGHT_GREY)
    for i, button in enumerate((button_comm_settings(), button_scan_start(), button_scan_stop(),
                                button_about())):
        strip.blit(button, 16 * i, 0)
    return strip


# Application icon: a panel meter with its needle, and a pair of lit lamps below.
def icon(size):
    c = Canvas(size, size, NONE)
    s = size / 32.0

    def p(v):
        return int(round(v * s))

    last = size - 1
    # Case: dark blue with a lighter upper-left edge.
    c.fill_rect(0, p(1), last, last - p(1), DARK_BLUE)
    c.frame_rect(0, p(1), last, last - p(1), BLACK)
    c.line(1, p(1) + 1, last - 1, p(1) + 1, BLUE)
    c.line(1, p(1) + 1, 1, last - p(1) - 1, BLUE)
    # Dial: white face with a grey bezel.
    x0, y0, x1, y1 = p(3), p(4), last - p(3), (p(20) if size >= 32 else 9)
    c.fill_rect(x0, y0, x1, y1, WHITE)
    c.frame_rect(x0, y0, x1, y1, GREY)
    cx, cy = (x0 + x1) / 2.0, y1 - p(2)
    r = min((x1 - x0) / 2.0 - p(2), cy - y0 - p(1))
    lo, hi = math.radians(20), math.radians(160)
    red_from = math.radians(55)
    for y in range(y0 + 1, y1):
        for x in range(x0 + 1, x1):
            d = math.hypot(x - cx, y - cy)
            a = math.atan2(cy - y, x - cx)
            if lo <= a <= hi and r - max(1.0, 1.6 * s) < d <= r:
                c.set(x, y, RED if a < red_from else BLACK)
    if size >= 32:
        for k in range(5):
            a = lo + (hi - lo) * k / 4
            c.line(int(round(cx + (r - 1) * math.cos(a))), int(round(cy - (r - 1) * math.sin(a))),
                   int(round(cx + (r - 3) * math.cos(a))), int(round(cy - (r - 3) * math.sin(a))),
                   BLACK)
    # Needle, a little right of the middle, with its pivot.
    a = math.radians(62)
    tip = (int(round(cx + (r - 1.5) * math.cos(a))), int(round(cy - (r - 1.5) * math.sin(a))))
    c.line(int(round(cx)), int(round(cy)), tip[0], tip[1], DARK_RED)
    c.fill_rect(int(round(cx)) - (1 if size >= 32 else 0), int(round(cy)) - (1 if size >= 32 else 0),
                int(round(cx)), int(round(cy)), BLACK)
    # Two lamps, lit, as in the status bar.
    ly = p(25.5) if size >= 32 else 12
    lr = 2.8 * s if size >= 32 else 1.2
    for lx in (p(10), last - p(10)):
        if size < 32:
            # Too small for a round lamp: a square one reads better.
            c.frame_rect(lx - 2, ly - 2, lx + 1, ly + 1, BLACK)
            c.fill_rect(lx - 1, ly - 1, lx, ly, GREEN)
            continue
        c.disc(lx, ly, lr + 0.9, BLACK)
        c.disc(lx, ly, lr, GREEN)
        if size >= 32:
            c.set(lx - 1, ly - 1, WHITE)
    return c


if __name__ == "__main__":
    write_xpm(lamp(GREEN, DARK_GREEN), os.path.join(HERE, "lamp_lit.xpm"), "lamp_lit")
    write_xpm(lamp(LIGHT_GREY, GREY), os.path.join(HERE, "lamp_unlit.xpm"), "lamp_unlit")
    write_xpm(toolbar(), os.path.join(HERE, "toolbar.xpm"), "toolbar")
    write_xpm(icon(32), os.path.join(ICONS, "vornak_32.xpm"), "vornak_32")
    write_xpm(icon(16), os.path.join(ICONS, "vornak_16.xpm"), "vornak_16")
