#!/usr/bin/python3
"""PDF fixtures for the Word 97-2003 writer's tests, made with reportlab.

usage: doc_fixtures.py OUTDIR KIND ...

Kinds (each written as OUTDIR/KIND.pdf):
  mixed  five pages: an A4 page set in two columns with a link to page 3, a
         link to https://example.org/word19, a JPEG picture, a dashed
         hairline and text turned by 30 and 90 degrees; an A3 landscape
         page; an A1 page ("aonetarget"); an empty A4 page; an A4 page
         ("lastpage")
  many   one A4 page of 5000 words in 3 point type
"""
import io
import os
import sys

from PIL import Image
from reportlab.lib.pagesizes import A1, A3, A4, landscape
from reportlab.lib.utils import ImageReader
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

FONT = "DejaVu"
pdfmetrics.registerFont(TTFont(FONT, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"))


def jpeg():
    img = Image.new("RGB", (64, 48), (40, 120, 200))
    for x in range(64):
        img.putpixel((x, x * 48 // 64), (250, 250, 0))
    buf = io.BytesIO()
    img.save(buf, format="JPEG", quality=90)
    buf.seek(0)
    return ImageReader(buf)


def mixed(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 11)
    for i in range(12):
        y = 760 - 16 * i
        c.drawString(60, y, "leftcolumn line %d words" % i)
        c.drawString(320, y, "rightcolumn line %d words" % i)
    c.drawString(60, 540, "jumpone")
    c.linkRect("", "p3", (58, 536, 120, 552), relative=0)
    c.drawString(320, 540, "website")
    c.linkURL("https://example.org/word19", (318, 536, 380, 552), relative=0)
    c.drawImage(jpeg(), 60, 300, width=192, height=144)
    c.setLineWidth(0)
    c.setDash(3, 2)
    c.line(60, 280, 500, 280)
    c.setDash()
    for angle, x, y, text in ((30, 320, 380, "slanted words"), (90, 520, 300, "upright words")):
        c.saveState()
        c.translate(x, y)
        c.rotate(angle)
        c.drawString(0, 0, text)
        c.restoreState()
    c.showPage()

    c.setPageSize(landscape(A3))
    c.setFont(FONT, 14)
    c.drawString(72, 760, "athree landscape page")
    c.drawString(1000, 72, "athree corner")
    c.showPage()

    c.setPageSize(A1)
    c.bookmarkPage("p3")
    c.setFont(FONT, 24)
    c.drawString(100, A1[1] - 150, "aonetarget page")
    c.drawString(A1[0] - 400, 100, "aone corner")
    c.showPage()

    c.setPageSize(A4)
    c.showPage()

    c.setFont(FONT, 11)
    c.drawString(72, 760, "lastpage after the empty one")
    c.showPage()
    c.save()


def many(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 3)
    n = 0
    for row in range(100):
        y = 820 - 8 * row
        for col in range(50):
            c.drawString(20 + 11 * col, y, "w%d" % n)
            n += 1
    c.showPage()
    c.save()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for kind in sys.argv[2:]:
        globals()[kind](os.path.join(out, kind + ".pdf"))


if __name__ == "__main__":
    main()
