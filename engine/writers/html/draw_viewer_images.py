#!/usr/bin/python3
"""Draws the pictures of the HTML viewer (toolbar buttons, side-panel tabs,
page and bookmark marks) into resources/htmltemplate/gif/.

The pictures are committed; run this again only to change them:
    /usr/bin/python3 engine/writers/html/draw_viewer_images.py
Each picture is drawn four times larger and scaled down for smooth edges, on
the background colour of the place where the viewer shows it.
"""
import os
import sys

from PIL import Image, ImageDraw

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                   "..", "..", "..", "resources", "htmltemplate", "gif")
K = 4  # drawing scale

TOOLBAR = (0xE8, 0xEC, 0xF2)
PANEL = (0xF4, 0xF6, 0xF9)
TABBAR = (0xDF, 0xE4, 0xEC)
INK = (0x2D, 0x4A, 0x78)
GREY = (0xA4, 0xAC, 0xB8)
ACCENT = (0x3F, 0x7F, 0xD0)
WHITE = (0xFF, 0xFF, 0xFF)
PRESSED = (0xC9, 0xD8, 0xEE)


def canvas(w, h, bg):
    img = Image.new("RGB", (w * K, h * K), bg)
    return img, ImageDraw.Draw(img)


def s(*v):
    return [x * K for x in v]


def save(img, name, w, h):
    small = img.resize((w, h), Image.LANCZOS)
    small.convert("P", palette=Image.ADAPTIVE, colors=64).save(os.path.join(OUT, name))


def triangle(d, x, y, w, h, colour, pointing_left):
    if pointing_left:
        d.polygon(s(x + w, y, x + w, y + h, x, y + h / 2), fill=colour)
    else:
        d.polygon(s(x, y, x, y + h, x + w, y + h / 2), fill=colour)


def arrow_button(name, kind, colour):
    img, d = canvas(24, 24, TOOLBAR)
    if kind == "first":
        d.rectangle(s(5, 6, 7, 18), fill=colour)
        triangle(d, 8, 6, 10, 12, colour, True)
    elif kind == "prev":
        triangle(d, 7, 6, 10, 12, colour, True)
    elif kind == "next":
        triangle(d, 7, 6, 10, 12, colour, False)
    elif kind == "last":
        triangle(d, 6, 6, 10, 12, colour, False)
        d.rectangle(s(17, 6, 19, 18), fill=colour)
    save(img, name, 24, 24)


def zoom_button(name, plus, colour):
    img, d = canvas(24, 24, TOOLBAR)
    d.ellipse(s(3, 3, 16, 16), outline=colour, width=2 * K)
    d.line(s(14, 14, 21, 21), fill=colour, width=3 * K)
    d.line(s(6.5, 9.5, 12.5, 9.5), fill=colour, width=2 * K)
    if plus:
        d.line(s(9.5, 6.5, 9.5, 12.5), fill=colour, width=2 * K)
    save(img, name, 24, 24)


def align_button(name, where, active):
    img, d = canvas(24, 24, TOOLBAR)
    if active:
        d.rounded_rectangle(s(1, 1, 23, 23), radius=3 * K, fill=PRESSED, outline=ACCENT,
                            width=K)
    widths = [16, 10, 16, 10]
    for i, w in enumerate(widths):
        y = 6 + i * 4
        if where == "left":
            x = 4
        elif where == "center":
            x = 12 - w / 2
        else:
            x = 20 - w
        d.rectangle(s(x, y, x + w, y + 1.6), fill=INK)
    save(img, name, 24, 24)


def panel_button(name, shown):
    img, d = canvas(24, 24, TOOLBAR)
    d.rectangle(s(3, 4, 21, 20), fill=WHITE, outline=INK, width=K)
    d.rectangle(s(3, 4, 21, 7), fill=INK)
    if shown:
        d.rectangle(s(4, 8, 9, 19), fill=ACCENT)
    else:
        d.line(s(9, 8, 9, 19), fill=GREY, width=K)
    save(img, name, 24, 24)


def print_button(name):
    img, d = canvas(24, 24, TOOLBAR)
    d.rectangle(s(7, 3, 17, 9), fill=WHITE, outline=INK, width=K)
    d.rounded_rectangle(s(3, 9, 21, 17), radius=2 * K, fill=INK)
    d.rectangle(s(7, 14, 17, 21), fill=WHITE, outline=INK, width=K)
    d.line(s(9, 17, 15, 17), fill=GREY, width=K)
    d.ellipse(s(17, 11, 19, 13), fill=(0x8F, 0xE0, 0x8F))
    save(img, name, 24, 24)


def page_mark(name, marked):
    w, h = 48, 64
    img, d = canvas(w, h, PANEL)
    if marked:
        d.rectangle(s(1, 1, 47, 63), outline=ACCENT, width=2 * K)
    d.polygon(s(8, 5, 33, 5, 41, 13, 41, 59, 8, 59), fill=WHITE,
              outline=ACCENT if marked else GREY)
    d.line(s(33, 5, 33, 13, 41, 13), fill=ACCENT if marked else GREY, width=K)
    for i in range(9):
        y = 19 + i * 4.4
        d.line(s(13, y, 36 if i % 3 != 2 else 27, y), fill=(0xC5, 0xCC, 0xD6), width=K)
    save(img, name, w, h)


def bookmark(name, marked, bg=PANEL, w=24, h=24, x0=0):
    img, d = canvas(w, h, bg)
    colour = ACCENT if marked else GREY
    x = x0
    d.polygon(s(x + 7, 3, x + 17, 3, x + 17, 21, x + 12, 16, x + 7, 21), fill=colour)
    save(img, name, w, h)


def tab(name, active, draw_icon):
    w, h = 40, 24
    img, d = canvas(w, h, TABBAR)
    fill = WHITE if active else (0xC8, 0xD0, 0xDC)
    d.rounded_rectangle(s(0.5, 1, 39.5, 28), radius=4 * K, fill=fill,
                        outline=(0xA9, 0xB3, 0xC2), width=K)
    draw_icon(d, ACCENT if active else INK)
    save(img, name, w, h)


def pages_icon(d, colour):
    for dx in (0, 6):
        x = 12 + dx
        d.polygon(s(x, 5 + dx / 2, x + 10, 5 + dx / 2, x + 10, 19 + dx / 2, x, 19 + dx / 2),
                  fill=WHITE, outline=colour)
        d.line(s(x + 2, 9 + dx / 2, x + 8, 9 + dx / 2), fill=colour, width=K)
        d.line(s(x + 2, 12 + dx / 2, x + 8, 12 + dx / 2), fill=colour, width=K)


def bm_icon(d, colour):
    d.polygon(s(15, 4, 25, 4, 25, 21, 20, 16, 15, 21), fill=colour)


def main():
    os.makedirs(OUT, exist_ok=True)
    for kind in ("first", "prev", "next", "last"):
        arrow_button(kind + ".gif", kind, INK)
        arrow_button(kind + "1.gif", kind, GREY)
    zoom_button("zoomin.gif", True, INK)
    zoom_button("zoomin1.gif", True, GREY)
    zoom_button("zoomout.gif", False, INK)
    zoom_button("zoomout1.gif", False, GREY)
    for where in ("left", "center", "right"):
        align_button(where + ".gif", where, False)
        align_button(where + "1.gif", where, True)
    panel_button("open.gif", True)
    panel_button("close.gif", False)
    print_button("print.gif")
    page_mark("page.gif", False)
    page_mark("page1.gif", True)
    bookmark("bm.gif", False)
    bookmark("bm1.gif", True)
    tab("tabpages.gif", False, pages_icon)
    tab("tabpages1.gif", True, pages_icon)
    tab("tabbm.gif", False, bm_icon)
    tab("tabbm1.gif", True, bm_icon)
    return 0


if __name__ == "__main__":
    sys.exit(main())
