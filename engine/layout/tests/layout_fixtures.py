#!/usr/bin/python3
"""PDF fixtures for the page-model tests (tables, pictures, graphics, links),
made with reportlab.

usage: layout_fixtures.py OUTDIR

Writes into OUTDIR:
  grid.pdf      a table ruled with 3 horizontal and 3 vertical stroked lines,
                one word in each of its 4 cells, and a line of free text below
  merged.pdf    the same frame whose middle horizontal line covers only the
                right column, so the left cell spans both rows
  thin.pdf      a 3 x 3 frame drawn with thin filled rectangles, a word per cell
  curve.pdf     a stroked Bezier curve and a filled circle, nothing else
  pictures.pdf  2 pages: a JPEG without mask, a picture with a soft mask, and
                a JPEG with a word written over it; then a JPEG drawn over a
                grey background, with a line drawn over it afterwards
  links.pdf     2 pages; page 1 holds a URI link over one word, a page link
                over two words, a word just outside a link, a rotated word
                under a link and a word under a link that launches a file;
                page 2 is the link target
  merge_a.pdf,  one picture each, built alike (same object layout), with
  merge_b.pdf   different picture contents
  cells.pdf     a word of 10-point and a word of 12-point text, and one word
                at x = 100 (for cell-boundary tests)
  pictures.jpg  the JPEG of pictures.pdf's first picture, as embedded
"""
import io
import math
import os
import sys

from PIL import Image
from reportlab.lib.pagesizes import letter
from reportlab.lib.utils import ImageReader
from reportlab.pdfbase.pdfdoc import PDFArray, PDFDictionary, PDFName, PDFString
from reportlab.pdfbase.pdfmetrics import stringWidth
from reportlab.pdfgen import canvas


def jpeg_bytes(w, h, colour, seed):
    img = Image.new("RGB", (w, h), colour)
    for x in range(w):
        img.putpixel((x, (x * seed) % h), (0, 0, 0))
    buf = io.BytesIO()
    img.save(buf, format="JPEG", quality=90)
    return buf.getvalue()


def rgba_png(w, h):
    img = Image.new("RGBA", (w, h), (20, 120, 220, 255))
    for x in range(w):
        for y in range(h):
            if (x - w / 2) ** 2 + (y - h / 2) ** 2 > (min(w, h) / 2) ** 2:
                img.putpixel((x, y), (0, 0, 0, 0))
    buf = io.BytesIO()
    img.save(buf, format="PNG")
    buf.seek(0)
    return ImageReader(buf)


def cell_words(c, words):
    c.setFont("Helvetica", 12)
    for (x, y, word) in words:
        c.drawString(x, y, word)


def grid(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.setLineWidth(1)
    for y in (700, 650, 600):
        c.line(100, y, 400, y)
    for x in (100, 250, 400):
        c.line(x, 700, x, 600)
    cell_words(c, [(110, 670, "alpha"), (260, 670, "beta"),
                   (110, 620, "gamma"), (260, 620, "delta")])
    c.drawString(100, 500, "Outside the table")
    c.showPage()
    c.save()


def merged(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.line(100, 700, 400, 700)
    c.line(250, 650, 400, 650)
    c.line(100, 600, 400, 600)
    for x in (100, 250, 400):
        c.line(x, 700, x, 600)
    cell_words(c, [(110, 645, "tall"), (260, 670, "upper"), (260, 620, "lower")])
    c.showPage()
    c.save()


def thin(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.setFillColorRGB(0, 0, 0)
    for y in (700, 650, 600):
        c.rect(100, y - 0.75, 300, 1.5, stroke=0, fill=1)
    for x in (100, 250, 400):
        c.rect(x - 0.75, 600, 1.5, 100, stroke=0, fill=1)
    cell_words(c, [(110, 670, "north"), (260, 670, "east"),
                   (110, 620, "west"), (260, 620, "south")])
    c.showPage()
    c.save()


def curve(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.setLineWidth(2)
    c.bezier(100, 500, 200, 700, 300, 300, 400, 500)
    c.circle(300, 200, 50, stroke=0, fill=1)
    c.showPage()
    c.save()


def pictures(path, jpg_path):
    data = jpeg_bytes(160, 120, (200, 40, 40), 3)
    with open(jpg_path, "wb") as f:
        f.write(data)
    c = canvas.Canvas(path, pagesize=letter)
    c.drawImage(jpg_path, 72, 550, width=200, height=150)
    c.drawImage(rgba_png(100, 100), 350, 550, width=150, height=150, mask="auto")
    over = jpeg_bytes(120, 80, (40, 160, 40), 5)
    c.drawImage(ImageReader(io.BytesIO(over)), 72, 200, width=240, height=160)
    c.setFont("Helvetica-Bold", 20)
    c.drawString(100, 270, "Caption")
    c.showPage()
    # Page 2: a background drawn before a picture, a line drawn after it.
    c.setFillColorRGB(0.8, 0.8, 0.8)
    c.rect(68, 546, 208, 158, stroke=0, fill=1)
    c.drawImage(jpg_path, 72, 550, width=200, height=150)
    c.setStrokeColorRGB(1, 0, 0)
    c.line(80, 560, 260, 690)
    c.showPage()
    c.save()


def links(path):
    c = canvas.Canvas(path, pagesize=letter)
    size = 12
    c.setFont("Helvetica", size)

    def words_at(x, y, words):
        boxes = []
        for w in words:
            width = stringWidth(w, "Helvetica", size)
            c.drawString(x, y, w)
            boxes.append((x, y, width))
            x += width + stringWidth(" ", "Helvetica", size) + 4
        return boxes

    # A URI link over the second word only.
    b = words_at(72, 700, ["Visit", "example", "today"])
    x, y, w = b[1]
    c.linkURL("https://example.com/page", (x - 1, y - 4, x + w + 1, y + size), relative=0)

    # A page link over two words.
    b = words_at(72, 640, ["Go", "to", "second", "page"])
    x0 = b[2][0]
    x1 = b[3][0] + b[3][2]
    c.linkRect("", "target", (x0 - 1, 640 - 4, x1 + 1, 640 + size), relative=0)

    # A word 20 points right of a link rectangle: not covered.
    b = words_at(72, 580, ["Nearby"])
    x, y, w = b[0]
    c.linkURL("https://example.com/near", (x + w + 20, y - 4, x + w + 60, y + size),
              relative=0)

    # A rotated word under a link.
    c.saveState()
    c.translate(400, 400)
    c.rotate(90)
    c.drawString(0, 0, "Rotated")
    c.restoreState()
    c.linkURL("https://example.com/rot", (380, 395, 420, 470), relative=0)

    # A link that launches a file: no target a reader can follow here.
    b = words_at(72, 520, ["Launch"])
    x, y, w = b[0]
    ann = PDFDictionary()
    ann["Type"] = PDFName("Annot")
    ann["Subtype"] = PDFName("Link")
    ann["Rect"] = PDFArray([x - 1, y - 4, x + w + 1, y + size])
    ann["Border"] = PDFArray([0, 0, 0])
    action = PDFDictionary()
    action["S"] = PDFName("Launch")
    action["F"] = PDFString("other.pdf")
    ann["A"] = action
    c._addAnnotation(ann)

    c.showPage()
    c.bookmarkPage("target")
    c.setFont("Helvetica", size)
    c.drawString(72, 700, "Target page")
    c.showPage()
    c.save()


def merge_pdf(path, colour, tmp_jpg):
    with open(tmp_jpg, "wb") as f:
        f.write(jpeg_bytes(90, 60, colour, 7))
    c = canvas.Canvas(path, pagesize=letter)
    c.drawImage(tmp_jpg, 100, 400, width=180, height=120)
    c.showPage()
    c.save()


def cells(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.setFont("Helvetica", 10)
    c.drawString(120, 680, "small")
    c.setFont("Helvetica", 12)
    c.drawString(180, 680, "large")
    c.drawString(100, 640, "edge")
    # A word turned on its side, inside the cell of the test table.
    c.saveState()
    c.translate(250, 620)
    c.rotate(90)
    c.drawString(0, 0, "turned")
    c.restoreState()
    c.showPage()
    c.save()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    p = lambda name: os.path.join(out, name)
    grid(p("grid.pdf"))
    merged(p("merged.pdf"))
    thin(p("thin.pdf"))
    curve(p("curve.pdf"))
    pictures(p("pictures.pdf"), p("pictures.jpg"))
    links(p("links.pdf"))
    merge_pdf(p("merge_a.pdf"), (220, 30, 30), p("merge_a.jpg"))
    merge_pdf(p("merge_b.pdf"), (30, 30, 220), p("merge_b.jpg"))
    cells(p("cells.pdf"))


if __name__ == "__main__":
    main()
