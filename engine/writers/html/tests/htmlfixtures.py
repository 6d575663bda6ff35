#!/usr/bin/python3
"""PDF fixtures for the HTML output's tests, made with reportlab.

usage: htmlfixtures.py OUTDIR

  text.pdf      3 pages of text: page 1 a bold heading, body lines, an
                orange line and a line of Greek, Cyrillic and German text
                (DejaVu Sans, embedded); pages 2 and 3 a heading and lines
  picture.pdf   page 1 holds only a picture; page 2 a picture and a line
  large.pdf     one page 14400 points square (the largest a PDF page may
                be) with words near two far corners
  drawing.pdf   one page: a line of text on a shaded box, a circle with the
                label "Inside", and a picture that reaches beyond the page's
                right edge
"""
import os
import sys

from reportlab.lib.pagesizes import A4
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../../tests/support"))
from pdfgen import picture as image  # noqa: E402  (a small picture with a diagonal line)

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FOREIGN = "Gr\u00fc\u00dfe \u0395\u03bb\u03bb\u03ac\u03b4\u03b1 \u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430"


def text(path):
    pdfmetrics.registerFont(TTFont("DejaVu", DEJAVU))
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("Helvetica-Bold", 18)
    c.drawString(72, 770, "Quarterly summary")
    c.setFont("Helvetica", 11)
    y = 730
    for n in range(1, 6):
        c.drawString(72, y, "Body line %d of the first page." % n)
        y -= 18
    c.setFillColorRGB(1, 0.5, 0)
    c.drawString(72, 600, "Orange remark")
    c.setFillColorRGB(0, 0, 0)
    c.setFont("DejaVu", 12)
    c.drawString(72, 560, FOREIGN)
    c.showPage()
    for page in (2, 3):
        c.setFont("Helvetica-Bold", 16)
        c.drawString(90, 760, "Section %d" % page)
        c.setFont("Helvetica", 11)
        c.drawString(90, 720, "Text of page %d." % page)
        c.showPage()
    c.save()


def picture(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.drawImage(image(120, 80, (200, 30, 30)), 100, 400, width=300, height=200)
    c.showPage()
    c.drawImage(image(60, 60, (30, 30, 200)), 72, 500, width=200, height=200)
    c.setFont("Helvetica", 12)
    c.drawString(72, 450, "Caption under the picture.")
    c.showPage()
    c.save()


def large(path):
    c = canvas.Canvas(path, pagesize=(14400, 14400))
    c.setFont("Helvetica", 40)
    c.drawString(100, 14250, "Northwest")
    c.drawString(13800, 120, "Southeast")
    c.showPage()
    c.save()


def drawing(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFillColorRGB(0.85, 0.85, 0.95)
    c.rect(66, 696, 250, 22, stroke=0, fill=1)
    c.setFillColorRGB(0, 0, 0)
    c.setFont("Helvetica", 12)
    c.drawString(72, 702, "Shaded line of text")
    c.circle(150, 560, 60)
    c.drawString(130, 556, "Inside")
    c.drawImage(image(80, 60, (30, 160, 30)), 480, 300, width=200, height=150)
    c.showPage()
    c.save()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    text(os.path.join(out, "text.pdf"))
    picture(os.path.join(out, "picture.pdf"))
    large(os.path.join(out, "large.pdf"))
    drawing(os.path.join(out, "drawing.pdf"))


if __name__ == "__main__":
    main()
