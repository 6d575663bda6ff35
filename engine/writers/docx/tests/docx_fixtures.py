#!/usr/bin/python3
"""PDF fixtures for the .docx writer's tests, made with reportlab.

usage: docx_fixtures.py OUTDIR KIND[:NAME] ...

Kinds (each written as OUTDIR/NAME.pdf, NAME defaulting to the kind):
  text      3 A4 pages of text with non-ASCII words and the characters < & >;
            page K holds the word "pagemarkK"
  columns   an A4 page set in two columns under a title across both, then
            a page of one column
  mixed     3 pages of other sizes (A4, Letter landscape, A5); page K holds
            "cornerK" near its bottom right corner
  blank     3 pages, the second one blank
  picture   one page holding a picture only
  huge      one page of 200 by 200 inches with words at two corners
  links     4 pages; page K holds "targetK"; page 1 links to page 4 and
            page 3 to page 2 (links to places in the document)
  shapes    one page with filled and stroked paths, a curve, and text
            turned by 90 degrees
"""
import io
import os
import sys

from reportlab.lib.pagesizes import A4, A5, letter, landscape
from reportlab.lib.utils import ImageReader
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

FONT = "DejaVu"
pdfmetrics.registerFont(TTFont(FONT, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"))


def text(path):
    c = canvas.Canvas(path, pagesize=A4)
    for k in range(1, 4):
        c.setFont(FONT, 14)
        c.drawString(72, 760, "pagemark%d heading" % k)
        c.setFont(FONT, 11)
        lines = [
            "Grüße aus Köln, café naïve Ωmega Æsir",
            "Markup R&D a<b x>y stays text",
            "Line three of page %d with plain words" % k,
        ]
        y = 720
        for line in lines:
            c.drawString(72, y, line)
            y -= 18
        c.showPage()
    c.save()


def columns(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 16)
    c.drawString(72, 780, "Title across both columns of the page")
    c.setFont(FONT, 10)
    for i in range(40):
        y = 740 - 16 * i
        c.drawString(72, y, "left column line %d words" % i)
        c.drawString(320, y, "right column line %d words" % i)
    c.showPage()
    c.setFont(FONT, 12)
    c.drawString(72, 760, "single column page after the columns")
    c.showPage()
    c.save()


def mixed(path):
    c = canvas.Canvas(path)
    for k, size in enumerate([A4, landscape(letter), A5], start=1):
        c.setPageSize(size)
        c.setFont(FONT, 12)
        c.drawString(40, size[1] - 60, "size page %d top" % k)
        c.drawString(size[0] - 150, 40, "corner%d end" % k)
        c.showPage()
    c.save()


def blank(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 12)
    c.drawString(72, 760, "before blank")
    c.showPage()
    c.showPage()
    c.setFont(FONT, 12)
    c.drawString(72, 760, "after blank")
    c.showPage()
    c.save()


def picture(path):
    from PIL import Image
    img = Image.new("RGB", (64, 48), (40, 120, 200))
    for x in range(64):
        img.putpixel((x, x * 48 // 64), (250, 250, 0))
    buf = io.BytesIO()
    img.save(buf, format="PNG")
    buf.seek(0)
    c = canvas.Canvas(path, pagesize=A4)
    c.drawImage(ImageReader(buf), 100, 400, width=320, height=240)
    c.showPage()
    c.save()


def huge(path):
    side = 14400
    c = canvas.Canvas(path, pagesize=(side, side))
    c.setFont(FONT, 48)
    c.drawString(100, side - 200, "hugetop corner")
    c.drawString(side - 800, 200, "hugebottom corner")
    c.showPage()
    c.save()


def links(path):
    c = canvas.Canvas(path, pagesize=A4)
    for k in range(1, 5):
        c.bookmarkPage("p%d" % k)
        c.setFont(FONT, 14)
        c.drawString(72, 760, "target%d text" % k)
        if k == 1:
            c.drawString(72, 700, "jumpfour")
            c.linkRect("", "p4", (70, 695, 160, 716), relative=0)
        if k == 3:
            c.drawString(72, 700, "backtwo")
            c.linkRect("", "p2", (70, 695, 160, 716), relative=0)
        c.showPage()
    c.save()


def shapes(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 12)
    c.drawString(72, 780, "shapes upright words")
    c.setStrokeColorRGB(1, 0, 0)
    c.setFillColorRGB(0, 0.5, 1)
    c.setLineWidth(2)
    c.rect(72, 600, 200, 100, stroke=1, fill=1)
    c.line(72, 580, 400, 580)
    p = c.beginPath()
    p.moveTo(300, 600)
    p.curveTo(350, 700, 400, 500, 450, 600)
    c.drawPath(p, stroke=1, fill=0)
    c.saveState()
    c.translate(500, 300)
    c.rotate(90)
    c.setFillColorRGB(0, 0, 0)
    c.drawString(0, 0, "turned words")
    c.restoreState()
    c.showPage()
    c.save()


KINDS = {
    "text": text,
    "columns": columns,
    "mixed": mixed,
    "blank": blank,
    "picture": picture,
    "huge": huge,
    "links": links,
    "shapes": shapes,
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for spec in sys.argv[2:]:
        kind, _, name = spec.partition(":")
        if kind not in KINDS:
            sys.exit("unknown kind " + kind)
        KINDS[kind](os.path.join(out, (name or kind) + ".pdf"))


if __name__ == "__main__":
    main()
