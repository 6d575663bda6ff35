#!/usr/bin/python3
"""PDF fixtures for the text-layout tests and the text benchmark, made with
reportlab.

usage: textfixtures.py OUTDIR KIND[:NAME] ...

Kinds:
  twocol     a full-width title over two columns; each column's words carry
             its marker (L1w.., R1w..)
  threecol   a full-width title over three columns (A.., B.., C.. words)
  prose      four pages of justified prose: one column, two columns, then
             one column again with a heading, then two columns
  intl       accented Latin, Cyrillic and CJK lines (DejaVu Sans, WenQuanYi)
  rotated    upright lines with words turned 90, 180 and 270 degrees beside
             them, and a line at font size 0
  controls   text holding control characters
  scanned    one page that is only a picture of printed text (for
             recognition); also writes NAME.png, the picture itself
  hello2     two pages, each with the two words "Hello World" on one line
  hyphens    a paragraph of lines of one length (Courier) whose words are
             broken at the line ends: "adip-" "iscing", "pla-" "cerat",
             "Jean-" "Pierre", "com-" "mittee"; one line ends in a dash set
             apart ("-" "and")
  long<N>    N pages of prose for the benchmark; every third page has two
             columns
Each file is written as OUTDIR/NAME.pdf (NAME defaults to the kind).
"""
import io
import os
import random
import sys

from reportlab.lib.enums import TA_JUSTIFY
from reportlab.lib.pagesizes import A4, letter
from reportlab.lib.styles import ParagraphStyle
from reportlab.lib.utils import ImageReader
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas
from reportlab.platypus import (BaseDocTemplate, Frame, FrameBreak, NextPageTemplate,
                                PageBreak, PageTemplate, Paragraph)

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
DEJAVU_MONO = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
WQY = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"

WORDS = ("the of and to in is was for that with as on by at from this which be "
         "are or an it not have has but had they were their one all been more "
         "when will would there can who what about into time only other some "
         "could these two may then first any like over such our after most also "
         "made many before must through back years where much your way well down "
         "should because each just those people how too little state good very make "
         "world still own see men work long get here between both life being under "
         "never day same another know while last might great old year off come "
         "since against go came right used take three river mountain garden "
         "window morning evening harbour village station letter quietly suddenly "
         "carefully number question answer reason system company program problem "
         "government country develop interest measure ordinary remember together").split()


def words(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def sentences(rng, count):
    out = []
    for _ in range(count):
        s = words(rng, rng.randint(8, 18))
        out.append(s[0].upper() + s[1:] + ".")
    return " ".join(out)


def column_text(c, x, y, width, marker, lines, font="Helvetica", size=10, leading=13):
    """Lines of words tagged with the column's marker, left-aligned."""
    c.setFont(font, size)
    n = 0
    for line in range(lines):
        ws = []
        while True:
            n += 1
            w = "%sw%d" % (marker, n)
            trial = " ".join(ws + [w])
            if pdfmetrics.stringWidth(trial, font, size) > width:
                n -= 1
                break
            ws.append(w)
        c.drawString(x, y - line * leading, " ".join(ws))
    return n


def twocol(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.setFont("Helvetica-Bold", 20)
    c.drawString(72, 720, "Title Across Both Columns Of The Page")
    column_text(c, 72, 680, 220, "L", 30)
    column_text(c, 320, 680, 220, "R", 30)
    c.showPage()
    c.save()


def threecol(path):
    c = canvas.Canvas(path, pagesize=letter)
    c.setFont("Helvetica-Bold", 20)
    c.drawString(54, 730, "A Title Across All Three Columns Of This Page")
    column_text(c, 54, 690, 150, "A", 35)
    column_text(c, 230, 690, 150, "B", 35)
    column_text(c, 406, 690, 150, "C", 35)
    c.showPage()
    c.save()


def prose_doc(path, pages, rng, two_col_every):
    """Justified prose; pages whose index is a multiple of two_col_every (from
    page 1 on) have two columns."""
    style = ParagraphStyle("body", fontName="Times-Roman", fontSize=10.5, leading=13.5,
                           alignment=TA_JUSTIFY, spaceAfter=6)
    head = ParagraphStyle("head", fontName="Helvetica-Bold", fontSize=16, leading=20,
                          spaceAfter=10)
    w, h = A4
    m = 60
    one = Frame(m, m, w - 2 * m, h - 2 * m, id="one")
    gap = 20
    cw = (w - 2 * m - gap) / 2
    left = Frame(m, m, cw, h - 2 * m - 40, id="left")
    right = Frame(m + cw + gap, m, cw, h - 2 * m - 40, id="right")
    top = Frame(m, h - m - 40, w - 2 * m, 40, id="top")
    doc = BaseDocTemplate(path, pagesize=A4,
                          pageTemplates=[PageTemplate(id="One", frames=[one]),
                                         PageTemplate(id="Two", frames=[top, left, right])])
    story = []
    for p in range(pages):
        two = two_col_every and p % two_col_every == two_col_every - 1
        nxt = p + 1
        nxt_two = two_col_every and nxt % two_col_every == two_col_every - 1
        if two:
            story.append(Paragraph("Section %d %s" % (p + 1, words(rng, 3)), head))
            story.append(FrameBreak())
            # Enough text to fill both columns, not more.
            for _ in range(8):
                story.append(Paragraph(sentences(rng, 3), style))
            story.append(FrameBreak())
            for _ in range(8):
                story.append(Paragraph(sentences(rng, 3), style))
        else:
            story.append(Paragraph("Chapter %d %s" % (p + 1, words(rng, 2)), head))
            for _ in range(8):
                story.append(Paragraph(sentences(rng, 4), style))
        if nxt < pages:
            story.append(NextPageTemplate("Two" if nxt_two else "One"))
            story.append(PageBreak())
    doc.build(story)


def prose(path):
    prose_doc(path, 4, random.Random(7), 2)


def long_doc(path, n):
    prose_doc(path, n, random.Random(11), 3)


def intl(path):
    pdfmetrics.registerFont(TTFont("DejaVu", DEJAVU))
    pdfmetrics.registerFont(TTFont("WQY", WQY, subfontIndex=0))
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("DejaVu", 14)
    c.drawString(72, 760, "Café naïve façade über Ærø señor")
    c.drawString(72, 730, "Привет мир съешь ещё этих булок")
    c.setFont("WQY", 14)
    c.drawString(72, 700, "中文 文本 测试")
    c.setFont("DejaVu", 14)
    c.drawString(72, 670, "Ελληνικά κείμενο")
    c.showPage()
    c.save()


def rotated(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("Helvetica", 12)
    c.drawString(72, 760, "Upright words before the turned ones")
    for angle, (x, y) in ((90, (300, 500)), (180, (400, 400)), (270, (500, 500)),
                          (45, (200, 300))):
        c.saveState()
        c.translate(x, y)
        c.rotate(angle)
        c.drawString(0, 0, "Turned%d text here" % angle)
        c.restoreState()
    # A line set at font size 0 and one at a tiny size.
    c.setFont("Helvetica", 0)
    c.drawString(72, 200, "zero size")
    c.setFont("Helvetica", 0.5)
    c.drawString(72, 180, "tiny size words")
    c.setFont("Helvetica", 12)
    c.drawString(72, 100, "Upright words after the turned ones")
    c.showPage()
    c.save()


def controls(path):
    pdfmetrics.registerFont(TTFont("DejaVuMono", DEJAVU_MONO))
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("DejaVuMono", 12)
    c.drawString(72, 760, "Bell\x07here and\x01there escape\x1bend")
    c.showPage()
    c.save()


def scanned(path):
    from PIL import Image, ImageDraw, ImageFont
    dpi = 300
    w_pt, h_pt = 360, 220
    img = Image.new("L", (w_pt * dpi // 72, h_pt * dpi // 72), 255)
    draw = ImageDraw.Draw(img)
    font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", 16 * dpi // 72)
    lines = ["The quick brown fox jumps over",
             "the lazy dog near the river bank.",
             "Seven bright stars shine above",
             "a quiet harbour every evening."]
    y = 20 * dpi // 72
    for line in lines:
        draw.text((20 * dpi // 72, y), line, font=font, fill=0)
        y += 26 * dpi // 72
    png = os.path.splitext(path)[0] + ".png"
    img.save(png, dpi=(dpi, dpi))
    c = canvas.Canvas(path, pagesize=(w_pt, h_pt))
    c.drawImage(ImageReader(png), 0, 0, w_pt, h_pt)
    c.showPage()
    c.save()


def hello2(path):
    c = canvas.Canvas(path, pagesize=A4)
    for _ in range(2):
        c.setFont("Helvetica", 12)
        c.drawString(72, 760, "Hello World")
        c.showPage()
    c.save()


HYPHENATED = [
    "Lorem ipsum dolor sit amet, consectetuer adip-",
    "iscing elit, ut purus elit vestibulum ut pla-",
    "cerat ac, adipiscing vitae felis, wrote Jean-",
    "Pierre to the committee and to the whole com-",
    "mittee of the town, a letter with a dash set -",
    "and then a last word on the last line of it.",
]


def hyphens(path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setFont("Courier", 10)
    y = 760
    for line in HYPHENATED:
        c.drawString(72, y, line)
        y -= 13
    c.showPage()
    c.save()


KINDS = {
    "hyphens": hyphens,
    "hello2": hello2,
    "twocol": twocol,
    "threecol": threecol,
    "prose": prose,
    "intl": intl,
    "rotated": rotated,
    "controls": controls,
    "scanned": scanned,
}


def main():
    if len(sys.argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for arg in sys.argv[2:]:
        kind, _, name = arg.partition(":")
        path = os.path.join(out, (name or kind) + ".pdf")
        if kind.startswith("long"):
            long_doc(path, int(kind[4:]))
        elif kind in KINDS:
            KINDS[kind](path)
        else:
            sys.stderr.write("unknown kind %s\n" % kind)
            return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
