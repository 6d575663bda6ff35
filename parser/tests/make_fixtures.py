#!/usr/bin/python3
"""Writes the small PDF files that the parser tests read.

Usage: make_fixtures.py OUTDIR

Uses reportlab for ordinary pages, Pillow for the scanned page, a few
hand-written PDF files for operators that reportlab does not emit, and qpdf
for the encrypted copies.
"""
import io
import os
import re
import subprocess
import sys
import zlib

from reportlab.lib.colors import Color
from reportlab.lib.pagesizes import letter
from reportlab.lib.styles import getSampleStyleSheet
from reportlab.lib.utils import ImageReader
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas
from reportlab.platypus import Frame, Paragraph, Table, TableStyle

from PIL import Image, ImageCms, ImageDraw, ImageFont

OUT = sys.argv[1]
os.makedirs(OUT, exist_ok=True)
DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def path(name):
    return os.path.join(OUT, name)


def lorem(n, seed):
    words = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda "
             "omicron sigma tau upsilon omega river stone window garden").split()
    out = []
    x = seed
    for _ in range(n):
        x = (x * 1103515245 + 12345) % 2147483648
        out.append(words[x % len(words)])
    return " ".join(out)


# ---- text: two columns, styles, rotated text, non-ASCII ----------------------
def two_column():
    c = canvas.Canvas(path("two_column.pdf"), pagesize=letter)
    styles = getSampleStyleSheet()
    c.setFont("Helvetica-Bold", 18)
    c.drawString(72, 720, "Columns Title")
    left = Frame(72, 72, 220, 620, showBoundary=0)
    right = Frame(320, 72, 220, 620, showBoundary=0)
    left.addFromList([Paragraph(lorem(150, 1), styles["Normal"])], c)
    right.addFromList([Paragraph(lorem(150, 2), styles["Normal"])], c)
    c.showPage()
    c.save()


def styles_page():
    pdfmetrics.registerFont(TTFont("DejaVuSans", DEJAVU))
    c = canvas.Canvas(path("styles.pdf"), pagesize=letter)
    c.setFont("Helvetica", 12)
    c.drawString(72, 700, "Plain words here")
    c.setFont("Helvetica-Bold", 14)
    c.drawString(72, 670, "Bold heading")
    c.setFont("Times-Italic", 11)
    c.drawString(72, 640, "Italic remark")
    c.setFont("Helvetica", 12)
    c.setFillColor(Color(1, 0, 0))
    c.drawString(72, 610, "Red words")
    c.setFillColor(Color(0, 0, 0))
    c.setFont("DejaVuSans", 12)
    c.drawString(72, 580, "Grüße aus Köln — naïve café")
    # Underlined and struck-out words: a thin line under / through the text.
    c.setFont("Helvetica", 12)
    c.drawString(72, 550, "underlined")
    w = c.stringWidth("underlined", "Helvetica", 12)
    c.setLineWidth(0.6)
    c.line(72, 548, 72 + w, 548)
    c.drawString(200, 550, "struck")
    w2 = c.stringWidth("struck", "Helvetica", 12)
    c.line(200, 554, 200 + w2, 554)
    c.drawString(300, 550, "normal")
    c.showPage()
    c.save()


def rotated_text():
    c = canvas.Canvas(path("rotated_text.pdf"), pagesize=letter)
    c.setFont("Helvetica", 12)
    c.drawString(72, 700, "Upright line")
    c.saveState()
    c.translate(300, 300)
    c.rotate(90)
    c.drawString(0, 0, "Turned ninety")
    c.restoreState()
    c.saveState()
    c.translate(100, 200)
    c.rotate(45)
    c.drawString(0, 0, "Slanted words")
    c.restoreState()
    c.showPage()
    c.save()


def rotate90():
    c = canvas.Canvas(path("rotate90.pdf"), pagesize=letter)
    c.setPageRotation(90)
    c.setFont("Helvetica", 12)
    c.drawString(72, 700, "Rotated page text")
    c.drawString(300, 100, "Lower right")
    c.rect(100, 300, 200, 100, stroke=1, fill=0)
    c.showPage()
    c.save()


def cropbox():
    c = canvas.Canvas(path("cropbox.pdf"), pagesize=letter)
    c.setCropBox((100, 150, 500, 650))
    c.setFont("Helvetica", 12)
    c.drawString(150, 600, "Inside crop box")
    c.drawString(120, 200, "Near crop corner")
    c.drawString(20, 20, "Outside crop")
    c.showPage()
    c.save()


# ---- graphics: a ruled table -------------------------------------------------
def table():
    c = canvas.Canvas(path("table.pdf"), pagesize=letter)
    data = [["Name", "Count", "Price"], ["apple", "3", "1.20"], ["pear", "5", "0.80"],
            ["plum", "12", "2.10"]]
    t = Table(data, colWidths=[120, 80, 80], rowHeights=24)
    t.setStyle(TableStyle([("GRID", (0, 0), (-1, -1), 1, Color(0, 0, 0)),
                           ("FONT", (0, 0), (-1, -1), "Helvetica", 11)]))
    t.wrapOn(c, 400, 400)
    t.drawOn(c, 100, 500)
    c.showPage()
    c.save()


# ---- CJK text -----------------------------------------------------------------------
WQY = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"


def zero_advances(ttf):
    """The TrueType font with every glyph's advance width set to 0 (hmtx)."""
    data = bytearray(ttf)
    tables = {}
    for i in range(int.from_bytes(data[4:6], "big")):
        rec = 12 + 16 * i
        tables[bytes(data[rec:rec + 4])] = int.from_bytes(data[rec + 8:rec + 12], "big")
    metrics = int.from_bytes(data[tables[b"hhea"] + 34:tables[b"hhea"] + 36], "big")
    for g in range(metrics):
        off = tables[b"hmtx"] + 4 * g
        data[off:off + 2] = b"\0\0"
    return bytes(data)


def cjk_text():
    # Chinese, Japanese and Korean lines with some Latin words, in a TrueType
    # CJK font that reportlab embeds. cjk_nowidth.pdf is the same file with
    # the embedded font's own advance widths all 0, as some producers embed
    # CJK fonts: the PDF's widths still place the glyphs as before.
    pdfmetrics.registerFont(TTFont("ZenHei", WQY, subfontIndex=0))
    c = canvas.Canvas(path("cjk.pdf"), pagesize=(400, 300))
    c.setFont("ZenHei", 14)
    lines = ["中文文本测试", "日本語のテキストと漢字", "한국어 텍스트 입니다", "混在 mixed 文字 text"]
    for i, line in enumerate(lines):
        c.drawString(20, 250 - 30 * i, line)
    c.showPage()
    c.save()

    qdf = path("cjk_qdf.pdf")
    subprocess.run(["qpdf", "--qdf", "--object-streams=disable", path("cjk.pdf"), qdf], check=True)
    with open(qdf, "rb") as f:
        pdf = bytearray(f.read())
    fonts = set(int(n) for n in re.findall(rb"/FontFile2 (\d+) 0 R", pdf))
    assert fonts
    for n in fonts:
        start = pdf.index(b"\n%d 0 obj" % n)
        data = pdf.index(b"stream\n", start) + len(b"stream\n")
        end = pdf.index(b"endstream", data)
        ttf = bytes(pdf[data:end]).rstrip(b"\n")
        pdf[data:data + len(ttf)] = zero_advances(ttf)
    with open(qdf, "wb") as f:
        f.write(pdf)
    subprocess.run(["qpdf", qdf, path("cjk_nowidth.pdf")], check=True)
    os.remove(qdf)


# ---- pictures -------------------------------------------------------------------
def pictures():
    # An opaque RGB picture and one with an alpha channel (soft mask).
    rgb = Image.new("RGB", (120, 80), (30, 120, 200))
    d = ImageDraw.Draw(rgb)
    d.rectangle([20, 20, 100, 60], fill=(250, 200, 40))
    rgb_path = path("pic_rgb.png")
    rgb.save(rgb_path)
    rgba = Image.new("RGBA", (100, 100), (0, 0, 0, 0))
    d = ImageDraw.Draw(rgba)
    d.ellipse([10, 10, 90, 90], fill=(200, 30, 30, 255))
    rgba_path = path("pic_alpha.png")
    rgba.save(rgba_path)
    c = canvas.Canvas(path("picture.pdf"), pagesize=letter)
    c.setFont("Helvetica", 12)
    c.drawString(72, 720, "Caption above")
    c.drawImage(ImageReader(rgb_path), 72, 500, width=180, height=120)
    c.drawString(72, 480, "Between pictures")
    c.drawImage(ImageReader(rgba_path), 300, 300, width=150, height=150, mask="auto")
    c.showPage()
    c.save()
    os.remove(rgb_path)
    # A soft-masked picture of 180 x 180 pixels at 2.5 pixels a point, its
    # corner off the pixel grid.
    big = rgba.resize((180, 180))
    big_path = path("pic_alpha180.png")
    big.save(big_path)
    c = canvas.Canvas(path("smask_offset.pdf"), pagesize=letter)
    c.drawImage(ImageReader(big_path), 100.3, 400.7, width=72, height=72, mask="auto")
    c.showPage()
    c.save()
    os.remove(big_path)
    os.remove(rgba_path)


def picture_pages():
    # Four pages, each with a 900 x 900 picture of its own (more pixels than
    # the parser's store keeps for pictures), a small picture that every
    # page shares and words in an embedded font.
    pdfmetrics.registerFont(TTFont("DejaVu", DEJAVU))
    shared = Image.new("RGB", (40, 30), (200, 60, 20))
    ImageDraw.Draw(shared).rectangle([10, 5, 30, 25], fill=(20, 60, 200))
    shared_path = path("pic_shared.png")
    shared.save(shared_path)
    c = canvas.Canvas(path("picture_pages.pdf"), pagesize=letter)
    ramp = Image.linear_gradient("L").resize((900, 900))
    for p in range(4):
        bands = [ramp.point(lambda v, k=k: (v * (p + k + 1) + 40 * k) % 256) for k in range(3)]
        own = Image.merge("RGB", (bands[0], bands[1].rotate(90), bands[2].transpose(Image.FLIP_LEFT_RIGHT)))
        c.setFont("DejaVu", 14)
        c.drawString(72, 740, "Embedded words on page %d" % (p + 1))
        c.setFont("Helvetica", 12)
        c.drawString(72, 720, "Standard words on page %d" % (p + 1))
        c.drawImage(ImageReader(own), 72, 200, 450, 450)
        c.drawImage(ImageReader(shared_path), 72, 100, 40, 30)
        c.showPage()
    c.save()
    os.remove(shared_path)


def big_font_pictures():
    # Four pages, each with words in one embedded TrueType font that takes
    # 3 MB (DejaVu Sans followed by zeros, which compress to little) and a
    # 900 x 900 picture of its own: the font fills most of a drawing
    # thread's store.
    face = TTFont("DejaVuBig", DEJAVU).face
    widths = " ".join(str(int(face.getCharWidth(c))) for c in range(32, 127))
    with open(DEJAVU, "rb") as f:
        ttf = f.read()
    ttf += bytes(3 * 1024 * 1024 - len(ttf))
    font_data = zlib.compress(ttf, 9)
    ramp = Image.linear_gradient("L").resize((900, 900))
    pages, pictures = [], []
    for p in range(4):
        bands = [ramp.point(lambda v, k=k: (v * (p + k + 2) + 50 * k) % 256) for k in range(3)]
        own = Image.merge("RGB", (bands[0], bands[1].rotate(90), bands[2].transpose(Image.FLIP_LEFT_RIGHT)))
        pictures.append(image_object("/Width 900 /Height 900 /ColorSpace /DeviceRGB "
                                     "/BitsPerComponent 8 /Filter /FlateDecode",
                                     zlib.compress(own.tobytes(), 6)))
        content = (b"BT /F2 16 Tf 20 272 Td (Embedded words on page %d) Tj ET "
                   b"q 300 0 0 230 50 20 cm /Im1 Do Q" % (p + 1))
        pages.append((content, "/XObject << /Im1 %d 0 R >>" % (15 + p)))
    raw_pdf("big_font_pictures.pdf", pages, fonts="/F2 12 0 R", extra_objects=[
        ("<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 /LastChar 126 "
         "/Widths [%s] /FontDescriptor 13 0 R /Encoding /WinAnsiEncoding >>" % widths).encode(),
        b"<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox [-1021 -463 1793 1232] "
        b"/ItalicAngle 0 /Ascent 928 /Descent -236 /CapHeight 729 /StemV 80 /FontFile2 14 0 R >>",
        b"<< /Length %d /Length1 %d /Filter /FlateDecode >>\nstream\n" % (len(font_data), len(ttf)) +
        font_data + b"\nendstream"] + pictures)


def picture_of_text(name, dpi, w_in, h_in, font_size, left, top, step, lines):
    """Writes NAME, a page of w_in x h_in inches that is only a grey picture
    at `dpi` of `lines`, drawn in DejaVu Sans from (left, top) pixels down,
    `step` pixels apart."""
    img = Image.new("L", (int(w_in * dpi), int(h_in * dpi)), 255)
    d = ImageDraw.Draw(img)
    font = ImageFont.truetype(DEJAVU, font_size)
    y = top
    for line in lines:
        d.text((left, y), line, fill=0, font=font)
        y += step
    img_path = path(os.path.splitext(name)[0] + ".png")
    img.save(img_path)
    c = canvas.Canvas(path(name), pagesize=(w_in * 72, h_in * 72))
    c.drawImage(ImageReader(img_path), 0, 0, width=w_in * 72, height=h_in * 72)
    c.showPage()
    c.save()
    os.remove(img_path)


def scanned():
    # A page that is only a picture of text, at 200 dpi.
    picture_of_text("scanned.pdf", 200, 6.0, 3.0, 44, 60, 60, 150,
                    ["The quick brown fox jumps", "over the lazy dog near", "the river bank today."])


def scanned_page_full():
    # A letter-size page that is only a picture of 80 lines of small text at
    # 300 dpi: seconds of recognition.
    picture_of_text("scanned_full.pdf", 300, 8.5, 11.0, 28, 100, 100, 38,
                    [lorem(18, k + 7) for k in range(80)])


# ---- links -------------------------------------------------------------------------
def links():
    c = canvas.Canvas(path("links.pdf"), pagesize=letter)
    c.setFont("Helvetica", 12)
    c.drawString(72, 700, "Visit website")
    c.linkURL("https://example.com/page", (72, 695, 160, 712), relative=0)
    c.drawString(72, 650, "Go to second")
    c.bookmarkPage("first")
    c.linkAbsolute("second", "second", Rect=(72, 645, 150, 662))
    c.showPage()
    c.bookmarkPage("second")
    c.setFont("Helvetica", 12)
    c.drawString(72, 700, "Second page")
    c.linkAbsolute("first", "first", Rect=(72, 695, 150, 712))
    c.showPage()
    c.save()
    # A link on a page shown turned by 90 degrees.
    c = canvas.Canvas(path("links_rotated.pdf"), pagesize=letter)
    c.setPageRotation(90)
    c.setFont("Helvetica", 12)
    c.drawString(300, 100, "Linked")
    c.linkURL("https://example.com/r", (298, 95, 345, 112), relative=0)
    c.showPage()
    c.save()


# ---- hand-written PDF files ------------------------------------------------------------
def raw_pdf(name, pages, extra_objects=None, page_extra="", catalog_extra="", fonts=""):
    """pages: list of (content bytes, resources string). Builds a PDF with a
    correct cross-reference table. Objects are numbered: 1 catalog, 2 page
    tree, 3 font, then content stream and page of each page, then the extra
    objects."""
    objs = []  # index = object number - 1

    def add(body):
        objs.append(body)
        return len(objs)

    catalog = add(None)
    pages_obj = add(None)
    font = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    kids = []
    for content, res in pages:
        data = zlib.compress(content)
        cs = add(b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(data) + data + b"\nendstream")
        resources = ("<< /Font << /F1 %d 0 R %s >> %s >>" % (font, fonts, res)).encode()
        pg = add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 400 300] /Resources " % pages_obj +
                 resources + b" /Contents %d 0 R %s >>" % (cs, page_extra.encode()))
        kids.append(pg)
    for body in (extra_objects or []):
        add(body)
    objs[catalog - 1] = b"<< /Type /Catalog /Pages %d 0 R %s >>" % (pages_obj, catalog_extra.encode())
    objs[pages_obj - 1] = (b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % k for k in kids) +
                           b"] /Count %d >>" % len(kids))
    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, body in enumerate(objs):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % (i + 1) + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, catalog, xref)
    with open(path(name), "wb") as f:
        f.write(out)


def paths_page():
    # Drawing order: filled rect, text, stroked closed rect, fill+stroke
    # path (B), even-odd fill, dashed line, curves (c, v, y), shading.
    content = b"""
1 0 0 rg 20 200 60 40 re f
BT /F1 12 Tf 100 250 Td (First) Tj ET
0 0 1 RG 2 w 20 120 60 40 re S
0 1 0 rg 0 0 0 RG 1 w 100 120 m 160 120 l 160 160 l 100 160 l h B
0 0 0 rg 200 120 m 260 120 l 260 180 l 200 180 l h 215 135 m 245 135 l 245 165 l 215 165 l h f*
[6 3] 0 d 0.5 w 20 80 m 200 80 l S [] 0 d
1 w 220 20 m 240 60 260 60 280 20 c S
300 20 m 320 60 340 20 v S
300 100 m 320 140 340 100 y S
BT /F1 10 Tf 0 1 0 rg 2 Tr 0 0 0 RG 100 40 Td (Thick) Tj 0 Tr ET
BT /F1 10 Tf 0 0 0 rg 3 Tr 20 280 Td (Hidden) Tj 0 Tr ET
"""
    raw_pdf("paths.pdf", [(content, "")])


def mesh_page():
    # A figure of thin strokes as plotting packages draw them: a grid of
    # curved lines 0.6 point wide in grey, a thicker black outline and a
    # filled, stroked band, each line a path of its own; over a hundred
    # drawing calls on 240 points of height, a figure that is drawn in
    # bands of rows.
    rows = [b"0.6 w 0.5 G"]
    for k in range(54):
        y = 40 + 4 * k
        rows.append(b"40 %d m 150 %d 250 %d 360 %d c S" % (y, y + 30, y - 30, y))
    for k in range(60):
        x = 42 + 5.3 * k
        rows.append(b"%.1f 30 m %.1f 120 %.1f 180 %.1f 270 c S" % (x, x + 15, x - 15, x))
    rows.append(b"1.5 w 0 G 40 30 m 360 30 l 360 270 l 40 270 l h S")
    rows.append(b"0.9 0.4 0.1 rg 0.8 w 0 G 60 200 m 200 260 340 140 340 200 c 200 120 60 240 v b")
    raw_pdf("mesh.pdf", [(b"\n".join(rows), "")])


def stripes_page():
    # Touching stripes 8 points wide, black and grey by turns, each stroked
    # as four pieces of a horizontal line (120 drawing calls on 240 points
    # of height: a figure drawn in bands of rows). Wherever a band's edge
    # falls, a stripe reaches across it from the band its middle lies in: a
    # band that left out the strokes whose line lies outside it would show a
    # white strip there.
    rows = [b"8 w 0 J"]
    for k in range(30):
        y = 34 + 8 * k
        grey = b"0" if k % 2 == 0 else b"0.55"
        for piece in range(4):
            x0 = 40 + 80 * piece
            rows.append(b"%s G %d %d m %d %d l S" % (grey, x0, y, x0 + 80, y))
    raw_pdf("stripes.pdf", [(b"\n".join(rows), "")])


def horizontal_scaling():
    # Words set apart only by TJ offsets (no space characters) under
    # horizontal scaling (Tz): the gaps shrink and grow with the glyphs.
    content = b"""BT /F1 20 Tf 50 Tz 40 250 Td [(Narrow) -250 (words) -250 (apart)] TJ ET
BT /F1 20 Tf 50 Tz 40 200 Td [(Nar) -30 (row) -250 (kept)] TJ ET
BT /F1 20 Tf 100 Tz 40 150 Td [(Plain) -250 (words)] TJ ET
BT /F1 20 Tf 200 Tz 40 100 Td [(Wide) -120 (pair)] TJ ET"""
    raw_pdf("hscale.pdf", [(content, "")])


def many_paths_page():
    # 200,000 separate small filled squares: a page that takes long to read.
    rows = []
    for k in range(200000):
        x, y = (k % 400), (k // 400) % 300
        rows.append(b"%d %d 0.5 0.5 re f" % (x, y))
    raw_pdf("many_paths.pdf", [(b"\n".join(rows), "")])


def big_fills_page():
    # Ten page-wide shapes with curved edges: drawn at 1600 dpi (60 million
    # pixels) each takes a noticeable time.
    rows = []
    for k in range(10):
        rows.append(b"%.1f g 0 0 m 400 %d 400 300 0 300 c 200 %d l f" % (k / 10.0, 20 * k, 30 * k))
    raw_pdf("big_fills.pdf", [(b"\n".join(rows), "")])


def wide_fills_page():
    # 3,000 page-wide shapes with curved edges: drawing the page, or all of
    # its objects, takes well over a tenth of a second at any resolution.
    rows = []
    for k in range(3000):
        rows.append(b"%.1f g 0 0 m 400 %d 400 300 0 300 c 200 %d l f" % ((k % 10) / 10.0, k % 250, k % 290))
    raw_pdf("wide_fills.pdf", [(b"\n".join(rows), "")])


def clipped_page():
    # A blue rectangle and a stroked line that reach beyond a clip of
    # 100..300 x 100..200, and a line outside any clip (miter limit 1: the
    # bounds of a stroke are its width around the line).
    content = b"""
1 M
q 100 100 200 100 re W n
0 0 1 rg 20 20 360 260 re f
1 0 0 RG 4 w 0 150 m 400 150 l S
Q
0 0 0 RG 2 w 20 40 m 380 40 l S
"""
    raw_pdf("clipped.pdf", [(content, "")])


def shading_page():
    # A clipped axial shading and a rectangle filled with a tiling pattern.
    # Objects 1-5 are the catalog, page tree, font, content and page; the
    # pattern is object 6.
    content = b"""
q 20 20 100 60 re W n /Sh1 sh Q
/Pattern cs /P1 scn 200 20 100 60 re f
"""
    shading = ("/Shading << /Sh1 << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [20 0 120 0] "
               "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> "
               "/Extend [true true] >> >> /Pattern << /P1 6 0 R >>")
    cell = b"0 0 1 rg 0 0 5 5 re f"
    pattern = (b"<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 "
               b"/YStep 10 /Resources << >> /Length %d >>\nstream\n" % len(cell) + cell +
               b"\nendstream")
    raw_pdf("shading.pdf", [(content, shading)], extra_objects=[pattern])


def patterns_and_groups_page():
    # Two pages. The first: a rectangle filled with a tiling pattern whose
    # cell is filled with another tiling pattern, a transparency group of
    # two overlapping rectangles drawn at half opacity as a whole, then text
    # (painted with the pattern) and a line. The second: a plain rectangle and
    # text. Objects 1-7 are the catalog, page tree, font and the two pages'
    # contents and pages; the patterns are objects 8 and 9, the group 10.
    first = b"""
/Pattern cs /P1 scn 20 20 160 100 re f
q /A gs /G1 Do Q
BT /F1 14 Tf 20 200 Td (After the patterns) Tj ET
0 0 1 RG 2 w 200 150 m 380 280 l S
"""
    second = b"""
0.8 0.2 0.2 rg 50 50 120 80 re f
BT /F1 12 Tf 50 200 Td (Second page) Tj ET
"""
    resources = ("/Pattern << /P1 8 0 R >> /XObject << /G1 10 0 R >> "
                 "/ExtGState << /A << /ca 0.5 >> >>")

    def stream(dictionary, data):
        return dictionary + b" /Length %d >>\nstream\n" % len(data) + data + b"\nendstream"

    outer = stream(b"<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 20 "
                   b"/YStep 20 /Resources << /Pattern << /P2 9 0 R >> >>",
                   b"/Pattern cs /P2 scn 0 0 20 20 re f 1 0 0 rg 2 2 4 4 re f")
    inner = stream(b"<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 6 6] /XStep 6 "
                   b"/YStep 6 /Resources << >>", b"0 0.6 0 rg 0 0 3 3 re f")
    group = stream(b"<< /Type /XObject /Subtype /Form /BBox [0 0 400 300] "
                   b"/Group << /S /Transparency >> /Resources << >>",
                   b"1 0.5 0 rg 220 30 150 80 re f 0.2 0.2 0.9 rg 260 50 60 40 re f")
    raw_pdf("patterns_groups.pdf", [(first, resources), (second, "")],
            extra_objects=[outer, inner, group])


def jpeg_bytes(img, **kw):
    buf = io.BytesIO()
    img.save(buf, "JPEG", **kw)
    return buf.getvalue()


def image_object(entries, data):
    return (b"<< /Type /XObject /Subtype /Image " + entries.encode() + b" /Length %d >>\nstream\n"
            % len(data) + data + b"\nendstream")


def jpeg_pictures():
    # One page of pictures stored as JPEG (DCT) streams, drawn left to right
    # in rows of five. Those whose stream can serve as a JPEG file as it is
    # come first; the others need decoding. Objects 1-5 are the catalog,
    # page tree, font, content and page; the pictures are objects 6 on.
    rgb = Image.new("RGB", (64, 48), (30, 120, 200))
    d = ImageDraw.Draw(rgb)
    d.rectangle([10, 10, 40, 30], fill=(250, 200, 40))
    d.line([0, 47, 63, 0], fill=(200, 20, 20), width=3)
    rgb_jpg = jpeg_bytes(rgb, quality=90)
    exif = Image.Exif()
    exif[0x0112] = 6  # shown turned a quarter by JPEG viewers, not by PDF readers
    turned_jpg = jpeg_bytes(rgb, quality=90, exif=exif.tobytes())
    gray_jpg = jpeg_bytes(rgb.convert("L").resize((40, 30)), quality=90)
    smask = zlib.compress(bytes((x * 4) % 256 for y in range(48) for x in range(64)))
    icc = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes()
    pictures = [
        # As they are: DeviceRGB, DeviceGray, an inflated JPEG, ICC-based RGB.
        ("/Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
         rgb_jpg),
        ("/Width 40 /Height 30 /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /DCTDecode",
         gray_jpg),
        ("/Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
         "/Filter [/FlateDecode /DCTDecode]", zlib.compress(rgb_jpg)),
        ("/Width 64 /Height 48 /ColorSpace [/ICCBased %d 0 R] /BitsPerComponent 8 "
         "/Filter /DCTDecode", rgb_jpg),
        # Decoded: colours inverted by a decode array, a soft mask, a size
        # that is not the JPEG's own, a colour transform of the stream's own,
        # an Exif orientation.
        ("/Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode "
         "/Decode [1 0 1 0 1 0]", rgb_jpg),
        ("/Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode "
         "/SMask %d 0 R", rgb_jpg),
        ("/Width 32 /Height 24 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
         rgb_jpg),
        ("/Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode "
         "/DecodeParms << /ColorTransform 0 >>", rgb_jpg),
        ("/Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
         turned_jpg),
    ]
    first = 6
    icc_obj = first + len(pictures)
    smask_obj = icc_obj + 1
    objects = []
    names = []
    content = b""
    for i, (entries, data) in enumerate(pictures):
        if "%d" in entries:
            entries = entries % (icc_obj if "ICC" in entries else smask_obj)
        objects.append(image_object(entries, data))
        names.append("/Im%d %d 0 R" % (i, first + i))
        x, y = 8 + (i % 5) * 78, 200 - (i // 5) * 110
        content += b"q 70 0 0 52 %d %d cm /Im%d Do Q\n" % (x, y, i)
    objects.append(b"<< /N 3 /Alternate /DeviceRGB /Length %d >>\nstream\n" % len(icc) + icc +
                   b"\nendstream")
    objects.append(image_object("/Width 64 /Height 48 /ColorSpace /DeviceGray "
                                "/BitsPerComponent 8 /Filter /FlateDecode", smask))
    raw_pdf("jpegs.pdf", [(content, "/XObject << %s >>" % " ".join(names))],
            extra_objects=objects)


def cmyk_pictures():
    # Pictures of four colour channels, which a JPEG file cannot carry as
    # most viewers show it: a CMYK JPEG as reportlab embeds it (Adobe's
    # inverted channels undone by a decode array), the same JPEG without
    # the decode array, raw DeviceCMYK samples, and raw samples in an
    # ICC-based space of four channels. Each is a red field (no cyan) with a
    # cyan rectangle (no magenta, no yellow).
    cmyk = Image.new("CMYK", (64, 48), (0, 220, 220, 0))
    ImageDraw.Draw(cmyk).rectangle([8, 8, 39, 27], fill=(220, 0, 0, 0))
    jpg = jpeg_bytes(cmyk, quality=95)
    raw = zlib.compress(cmyk.tobytes())
    common = "/Width 64 /Height 48 /BitsPerComponent 8 "
    pictures = [
        (common + "/ColorSpace /DeviceCMYK /Filter /DCTDecode /Decode [1 0 1 0 1 0 1 0]", jpg),
        (common + "/ColorSpace /DeviceCMYK /Filter /DCTDecode", jpg),
        (common + "/ColorSpace /DeviceCMYK /Filter /FlateDecode", raw),
        (common + "/ColorSpace [/ICCBased 10 0 R] /Filter /FlateDecode", raw),
    ]
    objects = []
    names = []
    content = b""
    for i, (entries, data) in enumerate(pictures):
        objects.append(image_object(entries, data))
        names.append("/Im%d %d 0 R" % (i, 6 + i))
        content += b"q 80 0 0 60 %d 120 cm /Im%d Do Q\n" % (10 + i * 95, i)
    objects.append(b"<< /N 4 /Alternate /DeviceCMYK /Length 0 >>\nstream\n\nendstream")
    raw_pdf("cmyk.pdf", [(content, "/XObject << %s >>" % " ".join(names))], extra_objects=objects)


def forms():
    """Filled text fields whose values the file does not draw: one without
    an appearance stream (form_no_ap.pdf), one whose appearance is empty in
    a form that asks readers to make them (form_need_ap.pdf). Objects 6 and
    7 are the fields; the page is object 5."""
    content = b"BT /F1 12 Tf 50 250 Td (Name:) Tj ET\n"
    font_dr = "/DR << /Font << /Helv 3 0 R >> >> /DA (/Helv 12 Tf 0 g)"
    field = ("<< /Type /Annot /Subtype /Widget /FT /Tx /T (%s) /V (%s) /F 4 /P 5 0 R "
             "/Rect [%d 200 %d 230] /DA (/Helv 12 Tf 0 g) %s >>")
    empty_ap = b"<< /Type /XObject /Subtype /Form /BBox [0 0 150 30] /Length 12 >>\nstream\n/Tx BMC EMC\nendstream"
    raw_pdf("form_no_ap.pdf", [(content, "")],
            extra_objects=[(field % ("first", "Alice", 50, 200, "")).encode(),
                           (field % ("last", "Cooper", 220, 370, "")).encode()],
            page_extra="/Annots [6 0 R 7 0 R]",
            catalog_extra="/AcroForm << /Fields [6 0 R 7 0 R] %s >>" % font_dr)
    raw_pdf("form_need_ap.pdf", [(content, "")],
            extra_objects=[(field % ("first", "Bob", 50, 200, "/AP << /N 8 0 R >>")).encode(),
                           (field % ("last", "Dylan", 220, 370, "/AP << /N 8 0 R >>")).encode(),
                           empty_ap],
            page_extra="/Annots [6 0 R 7 0 R]",
            catalog_extra="/AcroForm << /Fields [6 0 R 7 0 R] /NeedAppearances true %s >>" % font_dr)


def accents():
    """Accents drawn as glyphs of their own, as TeX sets them: the accent,
    then a move back, then the letter ("Jérôme", "Moiré", "naïve" on a
    dotless i); an accent raised over a capital ("Éric"); an accent drawn
    after its letter ("Café"); a circle with a c in it (font F2 maps its "O"
    to U+20DD, as TeX fonts map their big circle). F3 is Helvetica with
    the dotless i at code 128. "it´s" and "a^b" keep
    their accents, which stand beside the letters. Helvetica widths: J 500,
    e 556, o 556, i 222, acute, circumflex and dieresis 333, O 778, c 500."""
    content = b"""BT /F3 12 Tf 50 250 Td
[(J) -111 (\264) 444 (er) -111 (\210) 444 (ome) -278 (Moir) -111 (\264) 444 (e) -278 (na) 55 (\250) 278 (\200ve)] TJ
ET
BT /F1 12 Tf 50 220 Td
2.5 Ts [-111 (\264) 444] TJ 0 Ts [(Eric)] TJ
ET
BT /F2 12 Tf 50 190 Td (O) Tj /F1 12 Tf [639 (c) -139 ( 2024 Caf) (e) 444 (\264) -112 ( it\264s a^b)] TJ
ET
"""
    to_unicode = (b"/CIDInit /ProcSet findresource begin 12 dict begin begincmap "
                  b"/CMapName /Circle def 1 begincodespacerange <00> <FF> endcodespacerange "
                  b"1 beginbfchar <4F> <20DD> endbfchar endcmap "
                  b"CMapName currentdict /CMap defineresource pop end end")
    raw_pdf("accents.pdf", [(content, "")], fonts="/F3 6 0 R /F2 7 0 R",
            extra_objects=[b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding "
                           b"<< /Type /Encoding /BaseEncoding /WinAnsiEncoding "
                           b"/Differences [128 /dotlessi] >> >>",
                           b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                           b"/Encoding /WinAnsiEncoding /ToUnicode 8 0 R >>",
                           b"<< /Length %d >>\nstream\n" % len(to_unicode) + to_unicode +
                           b"\nendstream"])


def cluster_glyphs():
    """Glyphs that stand for several characters with spaces among them, as
    a cluster mapped to one glyph gives: F2 maps A to "x y", B to " z"
    (a space first) and C to "w " (a space last); "ABC" is drawn without
    gaps, then "Q" (plain) further on."""
    content = b"""BT /F2 12 Tf 50 250 Td (ABC) Tj 100 0 Td (Q) Tj ET
"""
    to_unicode = (b"/CIDInit /ProcSet findresource begin 12 dict begin begincmap "
                  b"/CMapName /Clusters def 1 begincodespacerange <00> <FF> endcodespacerange "
                  b"3 beginbfchar <41> <0078002000790020> <42> <0020007A> <43> <00770020> "
                  b"endbfchar endcmap "
                  b"CMapName currentdict /CMap defineresource pop end end")
    raw_pdf("cluster_glyphs.pdf", [(content, "")], fonts="/F2 6 0 R",
            extra_objects=[b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                           b"/Encoding /WinAnsiEncoding /ToUnicode 7 0 R >>",
                           b"<< /Length %d >>\nstream\n" % len(to_unicode) + to_unicode +
                           b"\nendstream"])


def type1_font(name, glyphs):
    """A Type 1 font program (cleartext, eexec part, empty trailer) whose
    glyphs are boxes of width 600, named by glyphs at codes 65 (A) on,
    as TeX's math fonts name theirs: an encoding of the program's own."""
    def encrypt(data, r):
        out = bytearray()
        for b in data:
            c = b ^ (r >> 8)
            r = ((c + r) * 52845 + 22719) & 0xFFFF
            out.append(c)
        return bytes(out)

    def num(v):
        if -107 <= v <= 107:
            return bytes([v + 139])
        if 108 <= v <= 1131:
            return bytes([((v - 108) >> 8) + 247, (v - 108) & 0xFF])
        return bytes([((-v - 108) >> 8) + 251, (-v - 108) & 0xFF])

    # hsbw, a closed box from 100 to 900 units below the pen (TeX's big
    # operators and delimiters hang below their pen position), endchar.
    square = (num(0) + num(600) + b"\x0d" + num(100) + num(-900) + b"\x15" + num(400) + num(0) +
              b"\x05" + num(0) + num(800) + b"\x05" + num(-400) + num(0) + b"\x05" + b"\x09\x0e")
    charstring = encrypt(b"\0\0\0\0" + square, 4330)
    clear = (b"%%!PS-AdobeFont-1.0: %s 001\n12 dict begin\n/FontName /%s def\n/PaintType 0 def\n"
             b"/FontType 1 def\n/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n"
             b"/FontBBox {0 -900 600 0} readonly def\n/Encoding 256 array\n"
             b"0 1 255 {1 index exch /.notdef put} for\n" % (name.encode(), name.encode()))
    for i, g in enumerate(glyphs):
        clear += b"dup %d /%s put\n" % (65 + i, g.encode())
    clear += b"readonly def\ncurrentdict end\ncurrentfile eexec\n"
    private = (b"dup /Private 8 dict dup begin\n/RD {string currentfile exch readstring pop} "
               b"executeonly def\n/ND {noaccess def} executeonly def\n/NP {noaccess put} "
               b"executeonly def\n/lenIV 4 def\n/BlueValues [] def\n/MinFeature {16 16} def\n"
               b"/password 5839 def\n2 index /CharStrings %d dict dup begin\n" % (len(glyphs) + 1))
    for g in [".notdef"] + glyphs:
        private += b"/%s %d RD " % (g.encode(), len(charstring)) + charstring + b" ND\n"
    private += (b"end\nend\nreadonly put\nnoaccess put\ndup /FontName get exch definefont pop\n"
                b"mark currentfile closefile\n")
    return clear, encrypt(b"\0\0\0\0" + private, 55665)


def tex_extension_glyphs():
    """Glyphs of a font built like TeX's math extension font: its own
    encoding, glyph names that the Adobe glyph list lacks (display sizes of
    the big operators and delimiters, pieces of tall delimiters), no
    ToUnicode. They are drawn as TeX draws them, centred on the math axis
    of the line (a quarter em above its baseline) that "x" in Helvetica
    ends: their pen 9 points above that baseline."""
    glyphs = ["summationdisplay", "producttext", "integraldisplay", "uniondisplay",
              "parenleftbigg", "parenrightBig", "braceleftbig", "bracketrightBigg",
              "angbracketleftbig", "radicalbig", "bracelefttp", "braceex", "braceleftmid",
              "braceleftbt", "parenlefttp", "parenleftex", "parenleftbt", "vextendsingle"]
    clear, secret = type1_font("TestExtension", glyphs)
    program = clear + secret
    codes = "".join(chr(65 + i) for i in range(len(glyphs)))
    content = ("BT /F2 12 Tf 20 259 Td [%s] TJ ET BT /F1 12 Tf 240 250 Td (x) Tj ET\n" %
               " ".join("(%s) -400" % c for c in codes)).encode()
    raw_pdf("tex_extension.pdf", [(content, "")], fonts="/F2 6 0 R",
            extra_objects=[b"<< /Type /Font /Subtype /Type1 /BaseFont /TestExtension "
                           b"/FirstChar 65 /LastChar %d /Widths [%s] /FontDescriptor 7 0 R >>" %
                           (64 + len(glyphs), b" ".join([b"600"] * len(glyphs))),
                           b"<< /Type /FontDescriptor /FontName /TestExtension /Flags 4 "
                           b"/FontBBox [0 -900 600 0] /ItalicAngle 0 /Ascent 0 /Descent -900 "
                           b"/CapHeight 700 /StemV 80 /FontFile 8 0 R >>",
                           b"<< /Length %d /Length1 %d /Length2 %d /Length3 0 >>\nstream\n" %
                           (len(program), len(clear), len(secret)) + program + b"\nendstream"])


def actual_text():
    """Glyphs that marked content replaces by its ActualText: F2 is
    Helvetica whose ToUnicode maps "A" into the private use area, as some
    producers map a flag drawn as one picture glyph. A flag (UTF-16 with a
    byte order mark) for one glyph; "fi" for two glyphs, with text of F1
    after the span in the same text object; a span named in the page's
    Properties; glyphs outside any span keep their own characters."""
    content = b"""BT /F1 12 Tf 20 250 Td (Flag) Tj ET
BT /Span << /ActualText <FEFFD83CDDE9D83CDDEA> >> BDC /F2 12 Tf 60 250 Td (A) Tj EMC ET
BT /F1 12 Tf 20 220 Td (one) Tj /Span << /ActualText (fi) >> BDC /F2 12 Tf 30 0 Td (AA) Tj EMC
/F1 12 Tf 40 0 Td (two) Tj ET
BT /Span /P1 BDC /F2 12 Tf 20 190 Td (A) Tj EMC /F2 12 Tf 30 0 Td (A) Tj ET
"""
    to_unicode = (b"/CIDInit /ProcSet findresource begin 12 dict begin begincmap "
                  b"/CMapName /Private def 1 begincodespacerange <00> <FF> endcodespacerange "
                  b"1 beginbfchar <41> <E000> endbfchar endcmap "
                  b"CMapName currentdict /CMap defineresource pop end end")
    raw_pdf("actual_text.pdf", [(content, "/Properties << /P1 << /ActualText (x2) >> >>")],
            fonts="/F2 6 0 R",
            extra_objects=[b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                           b"/Encoding /WinAnsiEncoding /ToUnicode 7 0 R >>",
                           b"<< /Length %d >>\nstream\n" % len(to_unicode) + to_unicode +
                           b"\nendstream"])


def empty_and_broken():
    # No pages at all.
    body = (b"%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
            b"2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n")
    xref = len(body)
    body += (b"xref\n0 3\n0000000000 65535 f \n%010d 00000 n \n%010d 00000 n \n"
             % (9, body.index(b"2 0 obj")))
    body += b"trailer\n<< /Size 3 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % xref
    with open(path("no_pages.pdf"), "wb") as f:
        f.write(body)
    open(path("zero.pdf"), "wb").close()
    with open(path("text_file.pdf"), "w") as f:
        f.write("This is a plain text file, not a PDF.\n" * 20)
    with open(path("two_column.pdf"), "rb") as f:
        data = f.read()
    with open(path("truncated.pdf"), "wb") as f:
        f.write(data[: len(data) // 3])
    with open(path("garbage.pdf"), "wb") as f:
        f.write(b"%PDF-1.4\n" + bytes((i * 37 + 11) % 256 for i in range(4000)))
    # A page that names pictures claiming the largest sizes a dictionary can
    # hold (objects 6 and 7), and draws only text.
    raw_pdf("huge_picture_sizes.pdf", [(b"BT /F1 14 Tf 40 200 Td (Huge pictures named) Tj ET",
                                        "/XObject << /Im1 6 0 R >>")], extra_objects=[
        b"<< /Type /XObject /Subtype /Image /Width 2147483647 /Height 2147483647 "
        b"/ColorSpace /DeviceCMYK /BitsPerComponent 8 /SMask 7 0 R /Length 2147483647 >>\n"
        b"stream\nx\nendstream",
        b"<< /Type /XObject /Subtype /Image /Width 2147483647 /Height 2147483647 "
        b"/ColorSpace /DeviceGray /BitsPerComponent 8 /Length 1 >>\nstream\nx\nendstream"])


def encrypted():
    src = path("styles.pdf")
    runs = [
        ("aes256.pdf", ["256", "--"]),
        ("aes256_r5.pdf", ["256", "--force-R5", "--"]),
        ("rc4_128.pdf", ["128", "--use-aes=n", "--"]),
        ("rc4_40.pdf", ["40", "--"]),
    ]
    for name, args in runs:
        subprocess.run(["qpdf", "--allow-weak-crypto", "--encrypt", "userpw", "ownerpw"] + args +
                       [src, path(name)], check=True)
    # Encrypted with an empty user password: opens without asking.
    subprocess.run(["qpdf", "--encrypt", "", "ownerpw", "256", "--", src, path("owner_only.pdf")],
                   check=True)


def merge_pair():
    for i, name in enumerate(["merge_a.pdf", "merge_b.pdf"]):
        c = canvas.Canvas(path(name), pagesize=letter)
        img = Image.new("RGB", (40, 40), (10 + 100 * i, 80, 160))
        p = path("m%d.png" % i)
        img.save(p)
        c.drawImage(ImageReader(p), 72, 600, width=80, height=80)
        c.drawString(72, 560, "Document %d" % (i + 1))
        c.showPage()
        c.save()
        os.remove(p)


two_column()
styles_page()
rotated_text()
rotate90()
cropbox()
table()
cjk_text()
pictures()
picture_pages()
big_font_pictures()
scanned()
scanned_page_full()
links()
paths_page()
mesh_page()
stripes_page()
horizontal_scaling()
many_paths_page()
big_fills_page()
wide_fills_page()
clipped_page()
shading_page()
patterns_and_groups_page()
jpeg_pictures()
cmyk_pictures()
forms()
accents()
cluster_glyphs()
tex_extension_glyphs()
actual_text()
empty_and_broken()
encrypted()
merge_pair()
