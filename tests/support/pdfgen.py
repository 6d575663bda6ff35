#!/usr/bin/python3
"""Small PDF fixtures for the engine's tests, made with reportlab.

usage: pdfgen.py OUTDIR KIND[:NAME] ...

Kinds:
  pages<N>    N pages, each with the line "Page K of N" and a paragraph
  tagged<N>   N pages of words that name the file, page, line and place
              ("NAMEp2l3w4"): no word is shared with another file
  pictures    2 pages; page 1 holds two pictures with a line of text between
              them, page 2 one picture
  blank       one empty page
  zero        a zero-byte file
  notpdf      a text file
  truncated   the first half of a 3-page PDF
  badpicture  one page: a line, a picture whose JPEG 2000 data is damaged,
              another line
  liarcount   one real page under a page tree whose /Count says 10^9
  liarform    the same with a form (AcroForm with a field)
  outsidekids one real page; the page tree also lists objects 99 and 4000,
              which the file's table does not hold
  hugejpeg    one page with a JPEG whose header claims 65535 x 65535 pixels
  manywords   one page of 1500 x 1500 points holding 60,000 short words
              strewn over it: seconds of page analysis
  manywords<N> N such pages
  slowpages<N> N pages of 1500 x 1500 points, each filled 4,000 times with
              page-wide curved shapes: seconds to draw at 96 dpi
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


def tagged(path, n):
    name = os.path.splitext(os.path.basename(path))[0]
    c = canvas.Canvas(path, pagesize=A4)
    for k in range(1, n + 1):
        c.setFont("Helvetica", 11)
        for line in range(1, 7):
            c.drawString(72, 780 - 18 * line,
                         " ".join("%sp%dl%dw%d" % (name, k, line, w) for w in range(1, 6)))
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


def write_objects(path, objs):
    """Writes `objs` (dictionary and stream bodies) as objects 1, 2, ... of a
    PDF with a cross-reference table; object 1 is the catalog."""
    out = b"%PDF-1.4\n"
    offsets = []
    for i, o in enumerate(objs):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % (i + 1) + o + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    for o in offsets:
        out += b"%010d 00000 n \n" % o
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


def raw_pdf(path, content, xobject=None, count=1, form=False, kids=b""):
    """A one-page PDF written by hand: the page draws `content` with
    Helvetica as /F1 and `xobject` (dictionary entries, stream data) as
    /Im1; the page tree claims `count` pages and lists `kids` after the
    page."""
    objs = [b"<< /Type /Catalog /Pages 2 0 R %s>>" % (b"/AcroForm << /Fields [5 0 R] >> " if form else b""),
            b"<< /Type /Pages /Kids [3 0 R%s] /Count %d >>" % (kids, count),
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
            b"/Resources << /Font << /F1 5 0 R >> /XObject << /Im1 6 0 R >> >> >>",
            b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
            b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    entries, data = xobject or (b"/Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8",
                                b"\x80")
    objs.append(b"<< /Type /XObject /Subtype /Image " + entries +
                b" /Length %d >>\nstream\n" % len(data) + data + b"\nendstream")
    write_objects(path, objs)


LINES = (b"BT /F1 20 Tf 72 700 Td (A line above the picture.) Tj ET "
         b"q 200 0 0 150 72 450 cm /Im1 Do Q "
         b"BT /F1 20 Tf 72 300 Td (A line below the picture.) Tj ET")


def badpicture(path):
    raw_pdf(path, LINES, (b"/Width 64 /Height 64 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                          b"/Filter /JPXDecode", b"\x00\x00\x00\x0cjP  " + b"\x01" * 50))


def liarcount(path):
    raw_pdf(path, LINES, None, count=10 ** 9)


def outsidekids(path):
    raw_pdf(path, LINES, None, count=3, kids=b" 99 0 R 4000 0 R")


def liarform(path):
    raw_pdf(path, LINES, None, count=2 ** 31 - 1, form=True)


def hugejpeg(path):
    # A baseline JPEG header (quantisation and Huffman tables of one grey
    # component) whose frame claims 65535 x 65535 pixels, then a short scan.
    from PIL import Image
    buf = io.BytesIO()
    Image.new("L", (8, 8), 128).save(buf, format="JPEG")
    jpeg = bytearray(buf.getvalue())
    sof = jpeg.find(b"\xff\xc0")
    jpeg[sof + 5:sof + 9] = b"\xff\xff\xff\xff"
    raw_pdf(path, LINES, (b"/Width 65535 /Height 65535 /ColorSpace /DeviceGray "
                          b"/BitsPerComponent 8 /Filter /DCTDecode", bytes(jpeg)))


def manywords(path, n=1):
    import random
    rnd = random.Random(5)
    words = []
    for k in range(60000):
        words.append(b"BT /F1 %d Tf %.1f %.1f Td (w%d) Tj ET" %
                     (rnd.choice((4, 5, 6, 8)), rnd.uniform(0, 1450), rnd.uniform(0, 1450), k % 97))
    write_pdf(path, [b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1500 1500] /Contents %d 0 R "
                     b"/Resources << /Font << /F1 %d 0 R >> >> >>" % (3 + n, 4 + n)] * n,
              b"\n".join(words), [b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"])


def write_pdf(path, pages, content, extra=()):
    """Catalog (1), page tree (2), the pages (3...), then one content stream
    that every page draws, then `extra` objects; the pages name the stream
    and the extra objects by those numbers."""
    n = len(pages)
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [%s] /Count %d >>" %
            (b" ".join(b"%d 0 R" % (3 + k) for k in range(n)), n)]
    objs += pages
    objs.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    objs += list(extra)
    write_objects(path, objs)


def slowpages(path, n):
    # Every shape covers most of the page and has curved edges, so that each
    # fill is a real scan conversion of millions of pixels.
    shapes = []
    for k in range(4000):
        g = (k % 10) / 10.0
        shapes.append(b"%.1f g 0 0 m 1500 %d 1500 1500 0 1500 c 750 %d l f" % (g, k % 700, k % 900))
    write_pdf(path, [b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1500 1500] /Contents %d 0 R >>"
                     % (3 + n)] * n, b"\n".join(shapes))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for spec in sys.argv[2:]:
        kind, _, name = spec.partition(":")
        path = os.path.join(out, (name or kind) + ".pdf")
        if kind.startswith("slowpages"):
            slowpages(path, int(kind[9:]))
        elif kind.startswith("manywords") and kind != "manywords":
            manywords(path, int(kind[9:]))
        elif kind.startswith("pages"):
            pages(path, int(kind[5:]))
        elif kind.startswith("tagged"):
            tagged(path, int(kind[6:]))
        elif kind == "pictures":
            pictures(path)
        elif kind == "blank":
            blank(path)
        elif kind in ("badpicture", "liarcount", "liarform", "outsidekids", "hugejpeg",
                      "manywords"):
            globals()[kind](path)
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
