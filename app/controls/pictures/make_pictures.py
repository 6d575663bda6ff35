#!/usr/bin/env python3
"""Draws the pictures of the window controls: the state sprites of the bars
(one PNG per bitmap id, every state image at the place the bars cut it from)
and the cover picture "lv_cover.png" shown over the empty file list.

Run it from anywhere with Debian's python3 (python3-pil); it rewrites the PNGs
beside itself. The PNGs are committed, so a build never needs this script.
"""

import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(size, bold=True):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


# --- colours of the four states ---------------------------------------------

# (top of the gradient, bottom of the gradient, border, ink)
STATES = {
    "normal": ((252, 252, 253), (226, 229, 234), (178, 184, 194), (64, 72, 86)),
    "hover": ((255, 255, 255), (211, 230, 250), (122, 167, 217), (30, 80, 140)),
    "pressed": ((196, 219, 244), (229, 239, 250), (82, 131, 191), (20, 60, 120)),
    "disabled": ((84, 152, 222), (44, 108, 178), (34, 84, 140), (255, 255, 255)),
}
STATE_ORDER = ("normal", "hover", "pressed", "disabled")


def gradient(draw, box, top, bottom):
    x0, y0, x1, y1 = box
    height = max(1, y1 - y0)
    for y in range(y0, y1):
        t = (y - y0) / max(1, height - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(x0, y), (x1 - 1, y)], fill=colour)


def tile(image, box, state, radius=4):
    """A rounded button face with a gradient, filling `box` (x0, y0, x1, y1),
    right and bottom exclusive."""
    top, bottom, border, _ = STATES[state]
    x0, y0, x1, y1 = box
    face = Image.new("RGBA", (x1 - x0, y1 - y0), (0, 0, 0, 0))
    fd = ImageDraw.Draw(face)
    gradient(fd, (0, 0, x1 - x0, y1 - y0), top, bottom)
    mask = Image.new("L", face.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, face.size[0] - 1, face.size[1] - 1],
                                           radius=radius, fill=255)
    image.paste(face, (x0, y0), mask)
    ImageDraw.Draw(image).rounded_rectangle([x0, y0, x1 - 1, y1 - 1], radius=radius,
                                            outline=border)


def ink(state):
    return STATES[state][3]


def page_icon(draw, x, y, w, h, band, label, state):
    """A document page with a folded corner and a coloured band holding
    `label`."""
    fold = max(4, w // 4)
    paper = (255, 255, 255)
    edge = (120, 128, 140) if state != "disabled" else (230, 236, 245)
    draw.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)],
                 fill=paper, outline=edge)
    draw.polygon([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)],
                 fill=(220, 224, 230), outline=edge)
    for i in range(3):
        ly = y + fold + 3 + i * 4
        if ly < y + h - h // 3 - 2:
            draw.line([(x + 4, ly), (x + w - 5, ly)], fill=(190, 196, 204))
    if label:
        bh = max(8, h // 3)
        by = y + h - bh - 3
        draw.rectangle([x - 3, by, x + w - 4, by + bh], fill=band)
        f = font(max(7, bh - 3))
        tw = draw.textlength(label, font=f)
        draw.text((x - 3 + (w - 1 - tw) / 2, by + 1), label, font=f, fill=(255, 255, 255))


def plus_badge(draw, cx, cy, r, colour=(46, 160, 67)):
    draw.ellipse([cx - r, cy - r, cx + r, cy + r], fill=colour, outline=(255, 255, 255))
    draw.line([(cx - r + 3, cy), (cx + r - 3, cy)], fill=(255, 255, 255), width=2)
    draw.line([(cx, cy - r + 3), (cx, cy + r - 3)], fill=(255, 255, 255), width=2)


def save(image, name):
    image.save(os.path.join(HERE, name), optimize=True)


# --- output format bar (bitmap 143) -------------------------------------------

FORMATS = [  # x, width, label, band colour
    (0, 127, "EPUB", (96, 160, 48)),
    (128, 125, "TXT", (110, 116, 128)),
    (253, 125, "JPG", (226, 140, 30)),
    (378, 125, "HTML", (220, 90, 40)),
    (503, 125, "SWF", (190, 40, 60)),
    (628, 125, "PDF", (200, 30, 30)),
    (753, 127, "DOC", (40, 90, 180)),
]


def format_bar():
    image = Image.new("RGB", (880, 315), (236, 238, 241))
    draw = ImageDraw.Draw(image)
    for state, y0 in zip(STATE_ORDER, (0, 79, 160, 240)):
        gradient(draw, (0, y0, 880, y0 + 75), (244, 245, 247), (226, 229, 233))
        for x, w, label, band in FORMATS:
            tile(image, (x + 1, y0 + 1, x + w - 1, y0 + 73), state, radius=6)
            page_icon(draw, x + w // 2 - 17, y0 + 8, 34, 44, band, label, state)
            f = font(11)
            name = {"TXT": "Text", "JPG": "Images", "DOC": "Word"}.get(label, label)
            tw = draw.textlength(name, font=f)
            draw.text((x + (w - tw) / 2, y0 + 56), name, font=f, fill=ink(state))
    save(image, "143.png")


# --- window caption buttons (bitmap 146) --------------------------------------

def caption_bar():
    image = Image.new("RGB", (91, 101), (233, 233, 233))
    draw = ImageDraw.Draw(image)
    for state, y0 in zip(STATE_ORDER, (0, 26, 52, 78)):
        draw.rectangle([0, y0, 90, y0 + 22], fill=(233, 233, 233))
        for x, w, kind in ((0, 27, "menu"), (28, 28, "min"), (56, 34, "close")):
            box = (x, y0, x + w, y0 + 22)
            if state == "hover":
                fill = (224, 67, 67) if kind == "close" else (214, 226, 240)
                draw.rectangle([box[0], box[1], box[2] - 1, box[3] - 1], fill=fill)
            elif state == "pressed":
                fill = (180, 40, 40) if kind == "close" else (180, 198, 222)
                draw.rectangle([box[0], box[1], box[2] - 1, box[3] - 1], fill=fill)
            colour = (90, 90, 90)
            if state == "disabled":
                colour = (170, 170, 170)
            elif kind == "close" and state in ("hover", "pressed"):
                colour = (255, 255, 255)
            cx, cy = x + w // 2, y0 + 11
            if kind == "menu":
                for dy in (-4, 0, 4):
                    draw.line([(cx - 6, cy + dy), (cx + 6, cy + dy)], fill=colour, width=2)
            elif kind == "min":
                draw.line([(cx - 6, cy + 5), (cx + 6, cy + 5)], fill=colour, width=2)
            else:
                draw.line([(cx - 5, cy - 5), (cx + 5, cy + 5)], fill=colour, width=2)
                draw.line([(cx - 5, cy + 5), (cx + 5, cy - 5)], fill=colour, width=2)
    save(image, "146.png")


# --- side panel switch (bitmap 1063) ------------------------------------------

def panel_switch():
    image = Image.new("RGB", (192, 76), (233, 233, 233))
    draw = ImageDraw.Draw(image)
    looks = {
        "normal": ((236, 237, 240), (214, 217, 222), (170, 175, 184)),
        "hover": ((250, 252, 255), (222, 234, 248), (122, 167, 217)),
        "pressed": ((206, 222, 240), (226, 236, 248), (82, 131, 191)),
        "disabled": ((255, 255, 255), (255, 255, 255), (150, 156, 166)),  # the open panel
    }
    for state, y0 in zip(STATE_ORDER, (0, 19, 38, 57)):
        top, bottom, border = looks[state]
        for x in (0, 96):
            gradient(draw, (x, y0, x + 96, y0 + 19), top, bottom)
            draw.rectangle([x, y0, x + 95, y0 + 18], outline=border)
            if state == "disabled":
                draw.line([(x + 1, y0 + 18), (x + 94, y0 + 18)], fill=(255, 255, 255))
    save(image, "1063.png")


# --- tool bar buttons -----------------------------------------------------------

# The main window's background, behind the tool bars' rounded corners.
WINDOW = (233, 233, 233)


def stacked(width, height, ys, painter, name):
    """One image column holding the four states at `ys` (normal, hover,
    pressed, disabled); states that share a position are drawn once. The
    picture is flattened onto the window's background: the bars copy it as
    it is."""
    image = Image.new("RGBA", (width, max(ys) + height), WINDOW + (255,))
    drawn = set()
    for state, y0 in zip(STATE_ORDER, ys):
        if y0 in drawn:
            continue
        drawn.add(y0)
        layer = Image.new("RGBA", image.size, (0, 0, 0, 0))
        painter(layer, y0, state)
        image.alpha_composite(layer)
    save(image.convert("RGB"), name)


def big_button(icon):
    def paint(image, y0, state):
        w, h = image.size[0], 34
        tile(image, (0, y0, w, y0 + h), state if state != "disabled" else "normal", radius=5)
        draw = ImageDraw.Draw(image)
        icon(draw, y0, "normal" if state == "disabled" else state)
        if state == "disabled":
            veil = Image.new("RGBA", (w, h), (240, 240, 240, 150))
            image.alpha_composite(veil, (0, y0))
    return paint


def add_pdf_icon(draw, y0, state):
    page_icon(draw, 12, y0 + 4, 22, 26, (200, 30, 30), "PDF", state)
    plus_badge(draw, 36, y0 + 24, 7)


def add_folder_icon(draw, y0, state):
    draw.rounded_rectangle([8, y0 + 9, 40, y0 + 29], radius=2, fill=(240, 190, 70),
                           outline=(190, 140, 30))
    draw.rectangle([8, y0 + 6, 20, y0 + 10], fill=(240, 190, 70), outline=(190, 140, 30))
    plus_badge(draw, 38, y0 + 24, 7)


def create_pdf_icon(draw, y0, state):
    page_icon(draw, 12, y0 + 4, 22, 26, (200, 30, 30), "PDF", state)
    # a pencil across the page's corner
    draw.line([(30, y0 + 30), (44, y0 + 12)], fill=(60, 60, 60), width=5)
    draw.line([(30, y0 + 30), (44, y0 + 12)], fill=(250, 200, 60), width=3)
    draw.polygon([(28, y0 + 33), (29, y0 + 28), (32, y0 + 31)], fill=(60, 60, 60))


def convert_button(icon):
    def paint(image, y0, state):
        w, h = 103, 66
        face = "normal" if state == "disabled" else state
        top, bottom, border, _ = STATES[face]
        tile(image, (0, y0, w, y0 + h), face, radius=8)
        draw = ImageDraw.Draw(image)
        icon(draw, y0, face)
        if state == "disabled":
            veil = Image.new("RGBA", (w, h), (240, 240, 240, 160))
            image.alpha_composite(veil, (0, y0))
    return paint


def convert_icon(draw, y0, state):
    cx, cy = 38, y0 + 33
    draw.ellipse([cx - 25, cy - 25, cx + 25, cy + 25], fill=(46, 140, 220), outline=(30, 100, 170))
    draw.polygon([(cx - 9, cy - 14), (cx + 15, cy), (cx - 9, cy + 14)], fill=(255, 255, 255))


def merge_icon(draw, y0, state):
    cx, cy = 38, y0 + 33
    draw.ellipse([cx - 25, cy - 25, cx + 25, cy + 25], fill=(46, 160, 90), outline=(30, 120, 60))
    for dx in (-11, -3):
        draw.rectangle([cx + dx, cy - 12 + (dx + 11) // 2, cx + dx + 12, cy + 8 + (dx + 11) // 2],
                       fill=(255, 255, 255), outline=(30, 120, 60))
    draw.polygon([(cx + 12, cy - 6), (cx + 20, cy), (cx + 12, cy + 6)], fill=(255, 255, 255))


def small_button(icon):
    def paint(image, y0, state):
        w, h = image.size[0], 19
        tile(image, (0, y0, w, y0 + h), state if state != "disabled" else "normal", radius=3)
        icon(ImageDraw.Draw(image), y0, state)
    return paint


def toggle_icon(on):
    def paint(draw, y0, state):
        track = (60, 170, 90) if on else (170, 174, 182)
        draw.rounded_rectangle([4, y0 + 4, 33, y0 + 14], radius=5, fill=track)
        knob = 24 if on else 5
        if state == "pressed":
            knob += -2 if on else 2
        draw.ellipse([knob, y0 + 2, knob + 13, y0 + 16], fill=(255, 255, 255),
                     outline=(120, 126, 136))
    return paint


def arrow_icon(up):
    def paint(draw, y0, state):
        cx, cy = 9, y0 + 9
        colour = (40, 90, 160) if state != "pressed" else (20, 60, 120)
        if up:
            draw.polygon([(cx - 5, cy + 3), (cx, cy - 4), (cx + 5, cy + 3)], fill=colour)
        else:
            draw.polygon([(cx - 5, cy - 3), (cx, cy + 4), (cx + 5, cy - 3)], fill=colour)
    return paint


def gear_icon(draw, y0, state):
    cx, cy = 9, y0 + 9
    colour = (90, 96, 110)
    for i in range(8):
        import math
        a = i * math.pi / 4
        x, y = cx + 6 * math.cos(a), cy + 6 * math.sin(a)
        draw.ellipse([x - 1.6, y - 1.6, x + 1.6, y + 1.6], fill=colour)
    draw.ellipse([cx - 5, cy - 5, cx + 5, cy + 5], fill=colour)
    draw.ellipse([cx - 2, cy - 2, cx + 2, cy + 2], fill=(240, 240, 240))


def tool_buttons():
    for name, icon in (("138", add_pdf_icon), ("191", add_folder_icon), ("1119", create_pdf_icon)):
        stacked(72, 34, (0, 37, 74, 111), big_button(icon), name + ".png")
    stacked(103, 66, (0, 69, 138, 207), convert_button(convert_icon), "141.png")
    stacked(103, 66, (0, 69, 138, 207), convert_button(merge_icon), "196.png")
    stacked(39, 19, (0, 0, 19, 19), small_button(toggle_icon(False)), "189.png")
    stacked(39, 19, (0, 0, 19, 19), small_button(toggle_icon(True)), "190.png")
    stacked(20, 19, (0, 0, 19, 0), small_button(arrow_icon(True)), "176.png")
    stacked(20, 19, (0, 0, 19, 19), small_button(arrow_icon(False)), "174.png")
    stacked(20, 19, (0, 0, 19, 0), small_button(gear_icon), "144.png")


# --- cover over the empty file list ------------------------------------------

def cover():
    w, h = 877, 404
    image = Image.new("RGB", (w, h), (233, 233, 233))
    draw = ImageDraw.Draw(image)
    gradient(draw, (1, 1, w - 1, h - 1), (246, 247, 249), (233, 235, 238))

    # Step 1, the add-files area (the control's hot rectangle 81,122 - 203,253).
    draw.rounded_rectangle([81, 122, 202, 252], radius=12, fill=(255, 255, 255),
                           outline=(150, 180, 215), width=2)
    for x in range(89, 196, 8):
        draw.line([(x, 130), (x + 3, 130)], fill=(150, 180, 215))
        draw.line([(x, 244), (x + 3, 244)], fill=(150, 180, 215))
    page_icon(draw, 118, 140, 46, 58, (200, 30, 30), "PDF", "normal")
    plus_badge(draw, 168, 206, 16)

    # Step 2, format and folder.
    for i, (label, band) in enumerate((("EPUB", (96, 160, 48)), ("DOC", (40, 90, 180)),
                                       ("HTML", (220, 90, 40)))):
        page_icon(draw, 392 + i * 40, 146 + i * 4, 34, 44, band, label, "normal")
    draw.rounded_rectangle([414, 205, 496, 250], radius=4, fill=(240, 190, 70),
                           outline=(190, 140, 30))
    draw.rectangle([414, 198, 442, 206], fill=(240, 190, 70), outline=(190, 140, 30))

    # Step 3, convert.
    cx, cy = 740, 190
    draw.ellipse([cx - 45, cy - 45, cx + 45, cy + 45], fill=(46, 140, 220), outline=(30, 100, 170),
                 width=2)
    draw.polygon([(cx - 16, cy - 26), (cx + 28, cy), (cx - 16, cy + 26)], fill=(255, 255, 255))

    # Numbers and the arrows between the steps.
    for n, x in ((1, 145), (2, 455), (3, 740)):
        draw.ellipse([x - 17, 62, x + 17, 96], fill=(70, 110, 160))
        f = font(20)
        tw = draw.textlength(str(n), font=f)
        draw.text((x - tw / 2, 66), str(n), font=f, fill=(255, 255, 255))
    for x0, x1 in ((240, 350), (540, 660)):
        draw.line([(x0, 190), (x1, 190)], fill=(170, 180, 195), width=4)
        draw.polygon([(x1, 180), (x1 + 16, 190), (x1, 200)], fill=(170, 180, 195))
    save(image, "lv_cover.png")


def main():
    format_bar()
    caption_bar()
    panel_switch()
    tool_buttons()
    cover()


if __name__ == "__main__":
    main()
