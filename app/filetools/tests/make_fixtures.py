#!/usr/bin/python3
"""Writes the PDF files that the file tools' tests read.

usage: make_fixtures.py OUTDIR

The files are built byte by byte so that each one has exactly the structure a
test names (classic or stream cross-reference data, object streams, PNG
predictors, incremental updates, odd page boxes, annotations); qpdf makes the
linearized and encrypted copies. Every page shows the text "Page K" so that
page order can be read back with pdftotext.
"""
import os
import subprocess
import sys
import zlib

OUT = sys.argv[1]
os.makedirs(OUT, exist_ok=True)


def path(name):
    return os.path.join(OUT, name)


def content(label, box=(0, 0, 612, 792)):
    x0, y0 = box[0], box[1]
    return ("BT /F1 24 Tf %d %d Td (%s) Tj ET\n"
            "0 0 1 RG 4 w %d %d %d %d re S\n"
            % (x0 + 60, y0 + box[3] - 100, label, x0 + 10, y0 + 10, box[2] - 20, box[3] - 20)
            ).encode()


class Doc:
    """Objects of one PDF revision: number -> bytes (dictionary text) or
    (dictionary text, stream bytes)."""

    def __init__(self):
        self.objs = {}

    def add(self, num, body, stream=None):
        self.objs[num] = (body, stream)


def obj_bytes(num, body, stream):
    if stream is None:
        return b"%d 0 obj\n%s\nendobj\n" % (num, body)
    return b"%d 0 obj\n%s\nstream\n%s\nendstream\nendobj\n" % (num, body, stream)


def pages_doc(n, box=(0, 0, 612, 792), rotate=None, annots=False, inherit_box=False):
    """Catalog 1, Pages 2, font 3, page k at 4+2k, its content at 5+2k."""
    d = Doc()
    d.add(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    kids = b" ".join(b"%d 0 R" % (4 + 2 * k) for k in range(n))
    box_text = b"[%d %d %d %d]" % (box[0], box[1], box[0] + box[2], box[1] + box[3])
    parent_box = b" /MediaBox " + box_text if inherit_box else b""
    d.add(2, b"<< /Type /Pages /Kids [%s] /Count %d%s >>" % (kids, n, parent_box))
    d.add(3, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    for k in range(n):
        extra = b""
        if not inherit_box:
            extra += b" /MediaBox " + box_text
        if rotate:
            extra += b" /Rotate %d" % rotate
        if annots:
            extra += (b" /Annots [<< /Type /Annot /Subtype /Text /Rect [100 100 120 120]"
                      b" /Contents (note %d) >>]" % (k + 1))
        d.add(4 + 2 * k, b"<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 3 0 R >> >>"
              b" /Contents %d 0 R%s >>" % (5 + 2 * k, extra))
        data = content("Page %d" % (k + 1), box)
        d.add(5 + 2 * k, b"<< /Length %d >>" % len(data), data)
    return d


def write_classic(doc, prefix=b"", start=b"", prev=None, size=None, trailer_extra=b""):
    """A classic file (or, with `start`, an update appended to it). Offsets
    are counted from the header, as PDF readers do."""
    out = bytearray(start) if start else bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num in sorted(doc.objs):
        offsets[num] = len(out)
        out += obj_bytes(num, *doc.objs[num])
    xref = len(out)
    out += b"xref\n"
    nums = sorted(offsets)
    if not start:
        out += b"0 %d\n0000000000 65535 f \n" % (max(nums) + 1)
        for n in range(1, max(nums) + 1):
            out += b"%010d 00000 n \n" % offsets[n]
    else:
        for n in nums:
            out += b"%d 1\n%010d 00000 n \n" % (n, offsets[n])
    size = size or max(nums) + 1
    out += b"trailer\n<< /Size %d /Root 1 0 R" % size
    if prev is not None:
        out += b" /Prev %d" % prev
    out += trailer_extra + b" >>\nstartxref\n%d\n%%%%EOF\n" % xref
    return prefix + bytes(out), xref


def png_up(rows, columns):
    """PNG "Up" filtering (type 2) of equal rows, as /Predictor 12 expects."""
    out = bytearray()
    prev = bytes(columns)
    for r in rows:
        out.append(2)
        out += bytes((r[i] - prev[i]) & 0xFF for i in range(columns))
        prev = r
    return bytes(out)


def write_xref_stream(doc, in_stream, last=True):
    """Objects listed in `in_stream` go into one object stream (object 90);
    the cross-reference stream (object 91) has /W [1 2 1], /Predictor 12 and
    /Columns 4. With `last` false an extra object follows the listed ones in
    the object stream."""
    out = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    members = list(in_stream)
    if not last:
        doc.add(80, b"<< /Filler true >>")
        members.append(80)
    for num in sorted(doc.objs):
        if num in members:
            continue
        offsets[num] = len(out)
        out += obj_bytes(num, *doc.objs[num])
    header = b""
    body = b""
    for num in members:
        header += b"%d %d " % (num, len(body))
        body += doc.objs[num][0] + b"\n"
    data = zlib.compress(header + body)
    offsets[90] = len(out)
    out += obj_bytes(90, b"<< /Type /ObjStm /N %d /First %d /Filter /FlateDecode /Length %d >>"
                     % (len(members), len(header), len(data)), data)
    xref = len(out)
    size = 92
    rows = []
    for n in range(size):
        if n in offsets:
            rows.append(bytes([1, offsets[n] >> 8, offsets[n] & 0xFF, 0]))
        elif n in members:
            rows.append(bytes([2, 0, 90, members.index(n)]))
        elif n == 91:
            rows.append(bytes([1, xref >> 8, xref & 0xFF, 0]))
        else:
            rows.append(bytes([0, 0, 0, 0]))
    packed = zlib.compress(png_up(rows, 4))
    out += obj_bytes(91, b"<< /Type /XRef /Size %d /W [1 2 1] /Root 1 0 R /Filter /FlateDecode"
                     b" /DecodeParms << /Columns 4 /Predictor 12 >> /Length %d >>"
                     % (size, len(packed)), packed)
    out += b"startxref\n%d\n%%%%EOF\n" % xref
    return bytes(out)


def save(name, data):
    with open(path(name), "wb") as f:
        f.write(data)


def qpdf(*args):
    subprocess.run(["qpdf"] + list(args), check=True)


# ---- structures of the page counter ------------------------------------------
classic, _ = write_classic(pages_doc(3))
save("classic.pdf", classic)
save("prefixed.pdf", write_classic(pages_doc(2), prefix=b"JUNK" * 40 + b"\n")[0])

base, base_xref = write_classic(pages_doc(3))
update = Doc()
update.add(2, b"<< /Type /Pages /Kids [4 0 R 6 0 R 8 0 R 10 0 R] /Count 4 >>")
update.add(10, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]"
           b" /Resources << /Font << /F1 3 0 R >> >> /Contents 11 0 R >>")
data = content("Page 4")
update.add(11, b"<< /Length %d >>" % len(data), data)
save("incremental.pdf", write_classic(update, start=base, prev=base_xref, size=12)[0])

save("objstm_last.pdf", write_xref_stream(pages_doc(4), [3, 2]))
save("objstm_middle.pdf", write_xref_stream(pages_doc(5), [2], last=False))
save("catalog_in_objstm.pdf", write_xref_stream(pages_doc(2), [1, 2]))

qpdf("--linearize", path("classic.pdf"), path("linearized.pdf"))
with open(path("linearized.pdf"), "rb") as f:
    save("linearized_appended.pdf", f.read() + b"\n% bytes appended after the end\n" * 4)

# Damaged structures: each must give -1 without reading outside the file.
looped = classic.replace(b"/Root 1 0 R", b"/Root 1 0 R /Prev %d" % classic.rindex(b"xref"))
save("prev_loop.pdf", looped)
save("tiny.pdf", b"%PDF-1.4\n%%EOF")
stream_doc = write_xref_stream(pages_doc(2), [2])
save("length_past_end.pdf",
     stream_doc.replace(b"/Predictor 12 >> /Length ", b"/Predictor 12 >> /Length 9999"))
save("index_past_table.pdf",
     write_xref_stream(pages_doc(2), [2]).replace(b"/N 1 /First", b"/N 0 /First"))

# ---- pages for the sheet layout ---------------------------------------------
save("five.pdf", write_classic(pages_doc(5))[0])
save("offset_box.pdf", write_classic(pages_doc(2, box=(200, 300, 612, 792)))[0])
save("landscape.pdf", write_classic(pages_doc(2, box=(0, 0, 792, 612)))[0])
save("rotated90.pdf", write_classic(pages_doc(2, rotate=90))[0])
save("annotated.pdf", write_classic(pages_doc(3, annots=True))[0])
save("inherited_box.pdf", write_classic(pages_doc(2, inherit_box=True))[0])

# ---- encrypted copies: revisions 2 to 6 --------------------------------------
for name, args in (("r2", ["40"]), ("r3", ["128", "--use-aes=n"]),
                   ("r4", ["128", "--use-aes=y"]), ("r5", ["256", "--force-R5"]),
                   ("r6", ["256"])):
    qpdf("--allow-weak-crypto", "--encrypt", "user", "owner", *args, "--",
         path("classic.pdf"), path("enc_%s.pdf" % name))

# ---- SWF viewer templates ----------------------------------------------------
def swf_rect(xmax, ymax, nbits=15):
    bits = format(nbits, "05b") + "".join(format(v & ((1 << nbits) - 1), "0%db" % nbits)
                                          for v in (0, xmax, 0, ymax))
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def swf_tag(code, payload, long_header=False):
    if long_header or len(payload) >= 63:
        return (code << 6 | 63).to_bytes(2, "little") + len(payload).to_bytes(4, "little") + payload
    return (code << 6 | len(payload)).to_bytes(2, "little") + payload


def swf(signature):
    """A 550 x 400 pixel stage at 24 frames per second with: a background
    colour, a DefineBits tag of 10 bytes written with a short header, a
    DefineBinaryData with id 48, the one with id 47 (short header), a frame
    and the End tag."""
    body = swf_rect(550 * 20, 400 * 20) + bytes([0, 24]) + (1).to_bytes(2, "little")
    body += swf_tag(9, bytes([255, 255, 255]))
    body += swf_tag(6, bytes(range(10)))
    body += swf_tag(87, (48).to_bytes(2, "little") + bytes(4) + b"other")
    body += swf_tag(87, (47).to_bytes(2, "little") + bytes(4) + b"tiny")
    body += swf_tag(1, b"") + swf_tag(0, b"")
    length = (8 + len(body)).to_bytes(4, "little")
    if signature == "CWS":
        return b"CWS" + bytes([10]) + length + zlib.compress(body)
    return b"FWS" + bytes([10]) + length + body


save("template_fws.swf", swf("FWS"))
save("template_cws.swf", swf("CWS"))

# ---- pictures ---------------------------------------------------------------
from PIL import Image  # noqa: E402 - only the picture fixtures need Pillow

picture = Image.new("RGB", (300, 200), (200, 40, 40))
for x in range(300):
    picture.putpixel((x, x * 2 // 3), (0, 0, 0))
picture.save(path("photo.JPG"), "JPEG")
picture.save(path("photo.jpeg"), "JPEG")
picture.rotate(90, expand=True).save(path("tall.png"), "PNG")
picture.save(path("scan.tiff"), "TIFF")
picture.save(path("photo.bmp"), "BMP")
picture.save(path("photo.gif"), "GIF")
with open(path("photo.JPG"), "rb") as f:
    save("damaged.jpg", f.read()[:300])
save("notpicture.png", b"This is text with a picture's name.\n" * 4)
