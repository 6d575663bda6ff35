#!/usr/bin/python3
"""Compares a picture file with what pdfimages extracted of it.

usage: imagecompare.py SOURCE EXTRACTED

The source is decoded with PIL (the first frame of an animation); pixels
with transparency are blended over white as (value x alpha + 255 x (255 -
alpha)) / 255 with integer division, as the PDF writer does. Exit 0 when
every pixel is equal, 1 (with the first difference) otherwise.
"""
import sys

from PIL import Image


def expected(path):
    img = Image.open(path)
    img.seek(0)
    img = img.convert("RGBA")
    out = Image.new("RGB", img.size)
    px = img.load()
    dst = out.load()
    for y in range(img.size[1]):
        for x in range(img.size[0]):
            r, g, b, a = px[x, y]
            dst[x, y] = tuple((v * a + 255 * (255 - a)) // 255 for v in (r, g, b))
    return out


def main(src, got):
    want = expected(src)
    have = Image.open(got).convert("RGB")
    if want.size != have.size:
        print("size %s, expected %s" % (have.size, want.size))
        return 1
    a, b = want.load(), have.load()
    for y in range(want.size[1]):
        for x in range(want.size[0]):
            if a[x, y] != b[x, y]:
                print("pixel %d,%d: %s, expected %s" % (x, y, b[x, y], a[x, y]))
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
