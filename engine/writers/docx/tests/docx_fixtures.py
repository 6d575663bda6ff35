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
  turned    one page holding a picture of 3 by 2 coloured squares eight
            times, under each matrix that turns or mirrors it by a
            multiple of 90 degrees
  pattern   one page with a circle filled with a tiling pattern of
            stripes
  narrow    one page of lines set in a condensed face under a family name
            no reader has, which readers set in a wider face ("session."
            ends a line, "1967" fills a table cell just as wide as it)
  scripts   one page of lines at 24 points: Latin words, then Arabic and
            Hebrew words (scripts that readers size by a property of their
            own), then Chinese words in WenQuanYi Zen Hei Mono (a face
            readers pick for East Asian text by a name of its own)
  tiny      4 pages of a few points each: two of 4 by 4 points holding a
            picture only, one of 24 by 18 points holding a picture, and
            one of 40 by 20 points holding the word "wee"
  marked    one page whose line "Flag X Germany" draws its "X" inside
            marked content whose ActualText is the flag of Germany
  gallery   8 A4 pages; page K holds "galleryK", a picture (with a soft
            mask on even pages) and, on pages 3 and 6, words turned by 90
            degrees
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


# The picture of turned: 3 columns by 2 rows of distinct colours.
SQUARES = [[(220, 30, 30), (30, 180, 30), (30, 30, 220)],
           [(240, 200, 20), (200, 30, 200), (20, 200, 200)]]
# (a, b, c, d) of the 8 matrices that turn or mirror a picture by a multiple
# of 90 degrees; each picture is drawn into a 90 by 90 point square.
TURNS = [(1, 0, 0, 1), (0, 1, -1, 0), (-1, 0, 0, -1), (0, -1, 1, 0),
         (-1, 0, 0, 1), (1, 0, 0, -1), (0, 1, 1, 0), (0, -1, -1, 0)]


def turned(path):
    from PIL import Image
    img = Image.new("RGB", (60, 40))
    for y in range(40):
        for x in range(60):
            img.putpixel((x, y), SQUARES[y // 20][x // 20])
    buf = io.BytesIO()
    img.save(buf, format="PNG")
    buf.seek(0)
    reader = ImageReader(buf)
    c = canvas.Canvas(path, pagesize=A4)
    for k, (a, b, cc, d) in enumerate(TURNS):
        # Square k: column k % 4, row k // 4; its centre is (cx, cy).
        cx = 100 + 130 * (k % 4)
        cy = 650 - 200 * (k // 4)
        c.saveState()
        c.transform(a, b, cc, d, cx, cy)
        c.drawImage(reader, -45, -30, width=90, height=60)
        c.restoreState()
    c.setFont(FONT, 12)
    c.drawString(72, 300, "eight turned pictures")
    c.showPage()
    c.save()


def pattern(path):
    # reportlab has no tiling patterns: the page is written by hand.
    cell = b"0 0 1 rg 0 0 4 10 re f"
    content = (b"q /Pattern cs /P1 scn 300 500 m 300 555.2 255.2 600 200 600 c "
               b"144.8 600 100 555.2 100 500 c 100 444.8 144.8 400 200 400 c "
               b"255.2 400 300 444.8 300 500 c f Q "
               b"BT /F1 12 Tf 72 300 Td (circle filled with stripes) Tj ET")
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        b"/Resources << /Pattern << /P1 5 0 R >> /Font << /F1 6 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
        b"<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 8 10] /XStep 8 /YStep 10 "
        b"/Resources << >> /Length %d >>\nstream\n" % len(cell) + cell + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    out = b"%PDF-1.4\n"
    offsets = []
    for i, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for o in offsets:
        out += b"%010d 00000 n \n" % o
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


def narrow(path):
    # DejaVu Sans Condensed under a family name that no reader has: readers
    # set its text in their default font, which runs some 15 % wider. The
    # names are changed in the font's bytes (same lengths, both encodings).
    data = open("/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf", "rb").read()
    for old, new in (("DejaVu", "QejaVu"), ("DejaVuSans", "QejaVuSans")):
        data = data.replace(old.encode("ascii"), new.encode("ascii"))
        data = data.replace(old.encode("utf-16-be"), new.encode("utf-16-be"))
    pdfmetrics.registerFont(TTFont("NarrowFace", io.BytesIO(data)))
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("NarrowFace", 11)
    lines = [
        "The committee closed the first meeting of the spring session.",
        "Every member of the board signed the minutes of that session.",
        "Narrow words fill this line from its left edge to its right end.",
    ]
    y = 760
    for line in lines:
        c.drawString(72, y, line)
        y -= 16
    # A table of narrow cells, each just as wide as its number.
    for row, years in enumerate([("1967", "1968", "1969"), ("1970", "1971", "1972")]):
        for col, year in enumerate(years):
            c.drawString(72 + 30 * col, 680 - 16 * row, year)
    c.showPage()
    c.save()


def scripts(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 24)
    for y, line in ((760, "Latin words"), (720, "\u0645\u0631\u062d\u0628\u0627"),
                    (680, "\u05e9\u05dc\u05d5\u05dd")):
        c.drawString(72, y, line)
    pdfmetrics.registerFont(TTFont("ZenHeiMono", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
                                   subfontIndex=1))
    c.setFont("ZenHeiMono", 24)
    c.drawString(72, 640, "\u4e2d\u6587\u5b57\u4f53")
    c.showPage()
    c.save()


def marked(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont(FONT, 24)
    c.drawString(72, 760, "Flag")
    c.addLiteral("/Span << /ActualText <FEFFD83CDDE9D83CDDEA> >> BDC")
    c.drawString(150, 760, "X")
    c.addLiteral("EMC")
    c.drawString(200, 760, "Germany")
    c.showPage()
    c.save()


def gallery(path):
    from PIL import Image
    c = canvas.Canvas(path, pagesize=A4)
    for k in range(1, 9):
        img = Image.new("RGBA", (40, 30), (20 * k, 100, 250 - 20 * k, 255))
        if k % 2 == 0:
            for x in range(40):
                for y in range(15):
                    img.putpixel((x, y), (200, 40, 40, 6 * x))
        buf = io.BytesIO()
        img.save(buf, format="PNG")
        buf.seek(0)
        c.setFont(FONT, 14)
        c.drawString(72, 760, "gallery%d heading" % k)
        c.drawImage(ImageReader(buf), 100, 400, width=200, height=150,
                    mask="auto" if k % 2 == 0 else None)
        if k in (3, 6):
            c.saveState()
            c.translate(500, 300)
            c.rotate(90)
            c.drawString(0, 0, "turned words %d" % k)
            c.restoreState()
        c.showPage()
    c.save()


def tiny(path):
    from PIL import Image
    buf = io.BytesIO()
    Image.new("RGB", (4, 4), (200, 40, 40)).save(buf, format="PNG")
    buf.seek(0)
    dot = ImageReader(buf)
    c = canvas.Canvas(path, pagesize=(4, 4))
    for _ in range(2):
        c.drawImage(dot, 0, 0, width=4, height=4)
        c.showPage()
    c.setPageSize((24, 18))
    c.drawImage(dot, 2, 2, width=20, height=14)
    c.showPage()
    c.setPageSize((40, 20))
    c.setFont(FONT, 8)
    c.drawString(2, 6, "wee")
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
    "turned": turned,
    "pattern": pattern,
    "narrow": narrow,
    "scripts": scripts,
    "marked": marked,
    "tiny": tiny,
    "gallery": gallery,
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
