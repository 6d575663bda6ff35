#!/usr/bin/python3
"""Compares a picture file with what pdfimages extracted of it.

usage: imagecompare.py SOURCE EXTRACTED

The source is decoded by ImageMagick (its first frame); pixels with
transparency are blended over white as (value x alpha + 255 x (255 -
alpha)) / 255 with integer division, as the PDF writer does. The extracted
PNG is read with PIL. Exit 0 when every pixel is equal, 1 (with the first
difference) otherwise.
"""
import subprocess
import sys

from PIL import Image


def expected(path):
    pam = subprocess.run(["convert", path + "[0]", "-alpha", "on", "-type", "TrueColorAlpha", "-depth", "8",
                          "PAM:-"],
                         check=True, capture_output=True).stdout
    end = pam.index(b"ENDHDR\n") + 7
    header = dict(line.split(b" ", 1) for line in pam[:end].split(b"\n")[1:-2])
    width, height = int(header[b"WIDTH"]), int(header[b"HEIGHT"])
    rgba = pam[end:]
    pixels = []
    for i in range(width * height):
        r, g, b, a = rgba[4 * i:4 * i + 4]
        pixels.append(tuple((v * a + 255 * (255 - a)) // 255 for v in (r, g, b)))
    return (width, height), pixels


def main(src, got):
    size, want = expected(src)
    have = Image.open(got).convert("RGB")
    if have.size != size:
        print("size %s, expected %s" % (have.size, size))
        return 1
    px = have.load()
    for y in range(size[1]):
        for x in range(size[0]):
            if px[x, y] != want[y * size[0] + x]:
                print("pixel %d,%d: %s, expected %s" % (x, y, px[x, y], want[y * size[0] + x]))
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
