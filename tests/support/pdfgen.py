#!/usr/bin/python3
"""Small PDF fixtures for the engine's tests, made with reportlab.

usage: pdfgen.py OUTDIR KIND[:NAME] ...

Kinds:
  pages<N>    N pages, each with the line "Page K of N" and a paragraph
  pictures    2 pages; page 1 holds two pictures with a line of text between
              them, page 2 one picture
  blank       one empty page
  zero        a zero-byte file
  notpdf      a text file
  truncated   the first half of a 3-page PDF
Each file is written as OUTDIR/NAME.pdf (NAME defaults to the kind).
"""
import io
import os
import sys

from reportlab.lib.pagesizes import A4
from reportlab.lib.utils import ImageReader
from reportlab.pdfgen import canvas


def pages(path, n):
    c = canvas.Canvas(path, pagesize=A4)
    for k in range(1, n + 1):
        c.setFont("Helvetica", 14)
        c.drawString(72, 760, "Page %d of %d" % (k, n))
        c.setFont("Helvetica", 11)
        y = 720
        for line in range(8):
            c.drawString(72, y, "Line %d of page %d with some words in it." % (line + 1, k))
            y -= 16
        c.showPage()
    c.save()


def picture(w, h, colour):
    from PIL import Image
    img = Image.new("RGB", (w, h), colour)
    for x in range(w):
        img.putpixel((x, x * h // w), (0, 0, 0))
    buf = io.BytesIO()
    img.save(buf, format="PNG")
    buf.seek(0)
    return ImageReader(buf)


def pictures(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.drawImage(picture(120, 80, (200, 30, 30)), 72, 600, width=240, height=160)
    c.setFont("Helvetica", 12)
    c.drawString(72, 560, "A line of text between two pictures.")
    c.drawImage(picture(90, 90, (30, 30, 200)), 72, 380, width=150, height=150)
    c.showPage()
    c.drawImage(picture(60, 40, (30, 160, 30)), 100, 500, width=300, height=200)
    c.showPage()
    c.save()


def blank(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.showPage()
    c.save()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for spec in sys.argv[2:]:
        kind, _, name = spec.partition(":")
        path = os.path.join(out, (name or kind) + ".pdf")
        if kind.startswith("pages"):
            pages(path, int(kind[5:]))
        elif kind == "pictures":
            pictures(path)
        elif kind == "blank":
            blank(path)
        elif kind == "zero":
            open(path, "wb").close()
        elif kind == "notpdf":
            with open(path, "w") as f:
                f.write("This is plain text, not a PDF.\n" * 20)
        elif kind == "truncated":
            buf = io.BytesIO()
            pages_to(buf, 3)
            data = buf.getvalue()
            with open(path, "wb") as f:
                f.write(data[: len(data) // 2])
        else:
            sys.exit("unknown kind " + kind)


def pages_to(stream, n):
    c = canvas.Canvas(stream, pagesize=A4)
    for k in range(1, n + 1):
        c.drawString(72, 760, "Page %d" % k)
        c.showPage()
    c.save()


if __name__ == "__main__":
    main()
