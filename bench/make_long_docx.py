#!/usr/bin/python3
"""A long Word 2007 document for the Office-to-PDF benchmark, written by
LibreOffice from a flat OpenDocument text built here: paragraphs of mixed
bold, italic and coloured words, a 4 x 6 shaded table and a picture every
few pages.

usage: make_long_docx.py OUTDIR SECTIONS

Writes OUTDIR/long.docx: SECTIONS sections of seven paragraphs, each about
three quarters of a page in LibreOffice (40 sections give 30 pages).
"""
import base64
import os
import random
import shutil
import subprocess
import sys
import tempfile

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.2"')
WORDS = ("converter document page table picture paragraph letter column shading border merged cell "
         "number value report section heading summary figure result measure reading").split()


def main(out, pages):
    rnd = random.Random(7)
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "p.png")
        subprocess.run(["convert", "-size", "160x100", "gradient:navy-orange", png], check=True)
        with open(png, "rb") as f:
            data = base64.b64encode(f.read()).decode()
        body = []
        for page in range(pages):
            for _ in range(7):
                words = []
                for _ in range(60):
                    w = rnd.choice(WORDS)
                    style = rnd.choice(("", "", "", "", "B", "I", "R"))
                    words.append(f'<text:span text:style-name="{style}">{w}</text:span>' if style else w)
                body.append("<text:p>" + " ".join(words) + ".</text:p>")
            if page % 3 == 1:
                rows = "".join(
                    "<table:table-row>" + "".join(
                        f'<table:table-cell table:style-name="{"S" if (r + c) % 5 == 0 else "C"}">'
                        f"<text:p>r{r}c{c} {rnd.choice(WORDS)}</text:p></table:table-cell>" for c in range(4)) +
                    "</table:table-row>" for r in range(6))
                body.append('<table:table table:name="T%d"><table:table-column table:number-columns-repeated="4"/>'
                            % page + rows + "</table:table>")
            if page % 5 == 2:
                body.append('<text:p><draw:frame text:anchor-type="as-char" svg:width="1.6in" svg:height="1in">'
                            f"<draw:image><office:binary-data>{data}</office:binary-data></draw:image>"
                            "</draw:frame></text:p>")
        doc = f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document {NS} office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles>
<style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
<style:style style:name="I" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>
<style:style style:name="R" style:family="text"><style:text-properties fo:color="#a00000"/></style:style>
<style:style style:name="C" style:family="table-cell"><style:table-cell-properties fo:border="0.5pt solid #000000"/></style:style>
<style:style style:name="S" style:family="table-cell"><style:table-cell-properties fo:background-color="#ccddee" fo:border="0.5pt solid #000000"/></style:style>
</office:automatic-styles>
<office:body><office:text>{"".join(body)}</office:text></office:body></office:document>'''
        src = os.path.join(tmp, "long.fodt")
        with open(src, "w") as f:
            f.write(doc)
        subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(tmp, "profile"), "--headless",
                        "--convert-to", "docx:MS Word 2007 XML", "--outdir", tmp, src],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.copy(os.path.join(tmp, "long.docx"), os.path.join(out, "long.docx"))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
