#!/usr/bin/python3
"""PDF fixtures for the EPUB writer's tests, made with reportlab.

usage: epubfixtures.py OUTDIR KIND[:NAME] ...

Kinds:
  text        3 pages of paragraphs wrapped over several lines
  twocolumn   2 pages set in two columns
  table       1 page: a heading, a ruled 3 x 3 table with a word per cell
  pictures    2 pages holding only pictures
  onepage     1 page, one paragraph
  blank       1 empty page
  special     1 page of non-ASCII text and the characters < & >
  figures     1 page mixing everything a book page may hold, top down: a
              heading; a picture with the label "Overprint" drawn on it; a
              line of text with a highlight laid over it afterwards; a
              drawing of curves and a slanted arrow around the label
              "Inside"; a ruled 2 x 2 table; a paragraph of 60 words in a
              frame with rounded corners; a closing line
  long<N>     N pages of wrapped paragraphs (benchmark input)
Each file is written as OUTDIR/NAME.pdf (NAME defaults to the kind).
"""
import os
import sys

from reportlab.lib.pagesizes import A4
from reportlab.pdfgen import canvas

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../../tests/support"))
from pdfgen import picture  # noqa: E402  (a small picture with a diagonal line)

WORDS = ("the quick brown fox jumps over a lazy dog while seven wizards "
         "quietly judge boxing matches near the old stone bridge").split()


def paragraph_lines(seed, count, per_line):
    out = []
    k = seed
    for _ in range(count):
        line = []
        for _ in range(per_line):
            line.append(WORDS[k % len(WORDS)])
            k += 3
        out.append(" ".join(line))
    return out


def write_paragraphs(c, x, y, paragraphs, size=11, leading=15):
    c.setFont("Helvetica", size)
    for lines in paragraphs:
        for i, line in enumerate(lines):
            # The last line of a paragraph is short, so it ends the paragraph.
            c.drawString(x, y, line)
            y -= leading
        y -= leading
    return y


def text(path, pages=3):
    c = canvas.Canvas(path, pagesize=A4)
    for p in range(1, pages + 1):
        c.setFont("Helvetica-Bold", 16)
        c.drawString(72, 780, "Chapter %d" % p)
        c.setFont("Helvetica", 11)
        c.drawString(72, 750, "Line 1 of page %d with some words in it." % p)
        paras = []
        for q in range(4):
            lines = paragraph_lines(p * 13 + q, 4, 11)
            lines[-1] = " ".join(lines[-1].split()[:4]) + "."
            paras.append(lines)
        write_paragraphs(c, 72, 720, paras)
        c.showPage()
    c.save()


def twocolumn(path):
    c = canvas.Canvas(path, pagesize=A4)
    for p in range(1, 3):
        for col, x in enumerate((60, 310)):
            c.setFont("Helvetica", 10)
            y = 780
            for q in range(3):
                lines = paragraph_lines(p * 5 + col * 3 + q, 6, 5)
                if q == 0:
                    lines[0] = "Column %d of page %d starts" % (col + 1, p)
                lines[-1] = lines[-1].split()[0] + "."
                for line in lines:
                    c.drawString(x, y, line)
                    y -= 13
                y -= 13
        c.showPage()
    c.save()


def table(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("Helvetica-Bold", 14)
    c.drawString(72, 760, "A ruled table")
    left, top, cw, rh = 72, 720, 120, 30
    rows, cols = 3, 3
    c.setLineWidth(1)
    for r in range(rows + 1):
        c.line(left, top - r * rh, left + cols * cw, top - r * rh)
    for k in range(cols + 1):
        c.line(left + k * cw, top, left + k * cw, top - rows * rh)
    c.setFont("Helvetica", 11)
    for r in range(rows):
        for k in range(cols):
            c.drawString(left + k * cw + 8, top - r * rh - 20, "cell%d%d" % (r + 1, k + 1))
    c.setFont("Helvetica", 11)
    c.drawString(72, 560, "Text below the table.")
    c.showPage()
    c.save()


def pictures(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.drawImage(picture(120, 80, (200, 30, 30)), 72, 500, width=400, height=260)
    c.showPage()
    c.drawImage(picture(60, 40, (30, 160, 30)), 100, 300, width=300, height=200)
    c.showPage()
    c.save()


def onepage(path):
    c = canvas.Canvas(path, pagesize=A4)
    write_paragraphs(c, 72, 760, [paragraph_lines(3, 3, 10)])
    c.showPage()
    c.save()


def blank(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.showPage()
    c.save()


def special(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("Helvetica", 12)
    c.drawString(72, 760, "Caf\u00e9 d\u00e9j\u00e0 vu, na\u00efve Stra\u00dfe.")
    c.drawString(72, 740, "Tom <&> Jerry.")
    c.showPage()
    c.save()


def figures(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("Helvetica-Bold", 16)
    c.drawString(72, 790, "Figures and tables")
    c.drawImage(picture(120, 80, (200, 30, 30)), 72, 640, width=180, height=120)
    c.setFont("Helvetica", 11)
    c.drawString(90, 700, "Overprint")
    c.drawString(72, 610, "A line with a highlight over it.")
    c.setFillColorRGB(1, 1, 0)
    c.roundRect(68, 606, 170, 16, 4, stroke=0, fill=1)
    c.setFillColorRGB(0, 0, 0)
    c.setLineWidth(1)
    c.circle(150, 520, 50)
    c.line(220, 470, 280, 560)
    c.drawString(130, 516, "Inside")
    left, top, cw, rh = 72, 440, 120, 24
    for r in range(3):
        c.line(left, top - r * rh, left + 2 * cw, top - r * rh)
    for k in range(3):
        c.line(left + k * cw, top, left + k * cw, top - 2 * rh)
    for r in range(2):
        for k in range(2):
            c.drawString(left + k * cw + 8, top - r * rh - 16, "cell%d%d" % (r + 1, k + 1))
    c.roundRect(66, 250, 460, 110, 10)
    y = 340
    for line in paragraph_lines(5, 5, 12):
        c.drawString(76, y, line)
        y -= 18
    c.drawString(72, 220, "The closing line.")
    c.showPage()
    c.save()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for spec in sys.argv[2:]:
        kind, _, name = spec.partition(":")
        path = os.path.join(out, (name or kind) + ".pdf")
        if kind.startswith("long"):
            text(path, int(kind[4:]))
            continue
        makers = {"text": text, "twocolumn": twocolumn, "table": table,
                  "pictures": pictures, "onepage": onepage, "blank": blank,
                  "special": special, "figures": figures}
        if kind not in makers:
            sys.exit("unknown kind " + kind)
        makers[kind](path)


if __name__ == "__main__":
    main()
