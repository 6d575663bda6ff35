#!/usr/bin/python3
"""Writes a PDF of N letter pages, each with a line of text and a 900x900
picture of its own (a colour gradient, stored Flate-compressed, so that
drawing or exporting it means decoding it).

usage: make_picture_pdf.py OUT.pdf PAGES
"""
import random
import sys

from PIL import Image
from reportlab.lib.utils import ImageReader
from reportlab.pdfgen import canvas


def picture(rng):
    ramp = Image.linear_gradient("L").resize((900, 900))
    bands = [ramp.point(lambda v, k=rng.randrange(1, 4), o=rng.randrange(256): (v * k + o) % 256)
             for _ in range(3)]
    return Image.merge("RGB", (bands[0], bands[1].rotate(90), bands[2].transpose(Image.FLIP_LEFT_RIGHT)))


def main():
    out, pages = sys.argv[1], int(sys.argv[2])
    rng = random.Random(7)
    c = canvas.Canvas(out, pagesize=(612, 792))
    for p in range(pages):
        c.drawString(72, 740, "Page %d shows a picture of its own." % (p + 1))
        c.drawImage(ImageReader(picture(rng)), 72, 200, 450, 450)
        c.showPage()
    c.save()


if __name__ == "__main__":
    main()
