#!/usr/bin/python3
"""Writes a .docx of PAGES pages with LINES positioned one-line text boxes
each, in one of several forms, for timing a word processor on them.

Usage: make_box_docx.py FORM PAGES LINES OUT.docx TEMPLATE.docx

TEMPLATE.docx is any .docx of trancel-run (--type 6): its parts other than
the main document are copied. Forms:
  vml             VML text box growing to fit its text, wider than the page
  vml_narrow      the same, within the page
  vml_nofit       VML text box of fixed size
  vml_wide_nofit  fixed size, wider than the page
  vml_nofit_wrap  fixed size, lines may wrap
  vml_z           fixed size, every box its own z-index
  dml             DrawingML text box (wps), fixed size
  dml_fit         DrawingML text box growing to fit its text
  frame           framed paragraph (w:framePr) per line
Then, e.g.: timeout 600 soffice -env:UserInstallation=file:///tmp/lo-boxes
  --headless --convert-to pdf OUT.docx
"""
import random, sys, zipfile
WORDS = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor incididunt ut labore et dolore magna aliqua".split()
NS = ('xmlns:o="urn:schemas-microsoft-com:office:office" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
      'xmlns:v="urn:schemas-microsoft-com:vml" '
      'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" '
      'xmlns:w10="urn:schemas-microsoft-com:office:word" '
      'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" '
      'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape" '
      'xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"')
PPR = '<w:pPr><w:spacing w:before="0" w:after="0" w:line="20" w:lineRule="exact"/></w:pPr>'

def para_text(text):
    return ('<w:p><w:pPr><w:spacing w:lineRule="exact" w:line="200"/></w:pPr><w:r><w:rPr>'
            '<w:rFonts w:ascii="Helvetica" w:hAnsi="Helvetica" w:cs="Helvetica"/><w:sz w:val="20"/></w:rPr>'
            '<w:t>%s</w:t></w:r></w:p>' % text)

def vml(n, x, y, w, h, text, fit=True, wrapnone=True, z=2):
    style = ('position:absolute;left:0;text-align:left;margin-left:%gpt;margin-top:%gpt;width:%gpt;height:%gpt;'
             'z-index:%d;%smso-position-horizontal-relative:page;mso-position-vertical-relative:page'
             % (x, y, w, h, z, 'mso-wrap-style:none;' if wrapnone else ''))
    tb = ' style="mso-fit-shape-to-text:t"' if fit else ''
    return ('<w:r><w:pict><v:shape id="tb%d" type="#_x0000_t202" stroked="f" filled="f" style="%s">'
            '<v:textbox inset="0,0,0,0"%s><w:txbxContent>%s</w:txbxContent></v:textbox></v:shape></w:pict></w:r>'
            % (n, style, tb, para_text(text)))

def emu(pt):
    return int(round(pt * 12700))

def dml(n, x, y, w, h, text, autofit=False, wrapnone=True):
    return ('<w:r><w:drawing><wp:anchor distT="0" distB="0" distL="0" distR="0" simplePos="0" relativeHeight="%d" '
            'behindDoc="0" locked="0" layoutInCell="1" allowOverlap="1">'
            '<wp:simplePos x="0" y="0"/><wp:positionH relativeFrom="page"><wp:posOffset>%d</wp:posOffset></wp:positionH>'
            '<wp:positionV relativeFrom="page"><wp:posOffset>%d</wp:posOffset></wp:positionV>'
            '<wp:extent cx="%d" cy="%d"/><wp:effectExtent l="0" t="0" r="0" b="0"/><wp:wrapNone/>'
            '<wp:docPr id="%d" name="t%d"/><wp:cNvGraphicFramePr/>'
            '<a:graphic><a:graphicData uri="http://schemas.microsoft.com/office/word/2010/wordprocessingShape">'
            '<wps:wsp><wps:cNvSpPr txBox="1"/><wps:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="%d" cy="%d"/></a:xfrm>'
            '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom><a:noFill/><a:ln><a:noFill/></a:ln></wps:spPr>'
            '<wps:txbx><w:txbxContent>%s</w:txbxContent></wps:txbx>'
            '<wps:bodyPr rot="0" vert="horz" wrap="%s" lIns="0" tIns="0" rIns="0" bIns="0" anchor="t" anchorCtr="0">%s</wps:bodyPr>'
            '</wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>'
            % (n + 1, emu(x), emu(y), emu(w), emu(h), n + 1, n, emu(w), emu(h), para_text(text),
               'none' if wrapnone else 'square', '<a:spAutoFit/>' if autofit else '<a:noAutofit/>'))

def frame(n, x, y, w, h, text):
    return ('<w:p><w:pPr><w:framePr w:w="%d" w:h="%d" w:hRule="exact" w:hSpace="0" w:wrap="none" w:vAnchor="page" '
            'w:hAnchor="page" w:x="%d" w:y="%d"/><w:spacing w:before="0" w:after="0" w:line="200" w:lineRule="exact"/></w:pPr>'
            '<w:r><w:rPr><w:rFonts w:ascii="Helvetica" w:hAnsi="Helvetica" w:cs="Helvetica"/><w:sz w:val="20"/></w:rPr>'
            '<w:t>%s</w:t></w:r></w:p>' % (int(w * 20), int(h * 20), int(x * 20), int(y * 20), text))

def main():
    form, pages, lines, out, template = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
    rng = random.Random(1)
    body = []
    n = 0
    for p in range(pages):
        body.append('<w:p>%s<w:bookmarkStart w:name="%d" w:id="%d"/><w:bookmarkEnd w:id="%d"/></w:p>' % (PPR, p, p, p))
        shapes = []
        for i in range(lines):
            text = ' '.join(rng.choice(WORDS) for _ in range(14))
            x, y, h = 78.0, 81.0 + 12 * i, 10.0
            w = {'vml': 680, 'vml_wide_nofit': 680}.get(form, 460)
            if form in ('vml', 'vml_narrow'):
                shapes.append(vml(n, x, y, w, h, text))
            elif form in ('vml_nofit', 'vml_wide_nofit'):
                shapes.append(vml(n, x, y, w, h, text, fit=False))
            elif form == 'vml_nofit_wrap':
                shapes.append(vml(n, x, y, w, h, text, fit=False, wrapnone=False))
            elif form == 'vml_z':
                shapes.append(vml(n, x, y, w, h, text, fit=False, z=n + 1))
            elif form == 'dml':
                shapes.append(dml(n, x, y, w, h, text))
            elif form == 'dml_fit':
                shapes.append(dml(n, x, y, w, h, text, autofit=True))
            elif form == 'frame':
                shapes.append(frame(n, x, y, w, h, text))
            n += 1
        if form == 'frame':
            body.extend(shapes)
            body.append('<w:p>%s<w:r><w:br w:type="page"/></w:r></w:p>' % PPR)
        else:
            body.append('<w:p>%s%s<w:r><w:br w:type="page"/></w:r></w:p>' % (PPR, ''.join(shapes)))
    body.append('<w:sectPr><w:pgSz w:w="12240" w:h="15840"/><w:pgMar w:left="0" w:gutter="0" w:footer="0" '
                'w:header="0" w:bottom="0" w:right="0" w:top="0"/><w:docGrid w:type="lines" w:linePitch="312"/></w:sectPr>')
    doc = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document %s><w:body>%s</w:body></w:document>'
           % (NS, ''.join(body)))
    with zipfile.ZipFile(template) as t, zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        for info in t.infolist():
            z.writestr(info.filename, doc if info.filename == 'word/document.xml' else t.read(info))

main()
