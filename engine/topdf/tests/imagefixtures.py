#!/usr/bin/python3
"""Picture fixtures for the to-PDF tests, made with ImageMagick (and PIL
where ImageMagick gives no control over a detail, such as a tRNS chunk
shorter than the palette).

usage: imagefixtures.py OUTDIR

Writes one file per kind into OUTDIR and prints their names, one a line.
"""
import os
import subprocess
import sys


def magick(*args):
    subprocess.run(["convert", *args], check=True)


def rle4(path):
    """A 7 x 3 bitmap coded in 4-bit runs (ImageMagick writes none): runs,
    an absolute run of an odd count with its padding, a move, the end of the
    bitmap before the last pixels."""
    import struct
    palette = b"".join(struct.pack("<BBBB", (i * 37) % 256, (i * 91) % 256, (i * 53) % 256, 0)
                       for i in range(16))
    data = bytes([7, 0x12, 0, 0,                           # bottom row: 1 2 1 2 1 2 1
                  0, 5, 0x34, 0x56, 0x70, 0x00, 2, 0x9A, 0, 0,   # 3 4 5 6 7, then 9 10
                  3, 0xBB, 0, 2, 2, 0, 2, 0xCC, 0, 1])     # 11 11 11, skip 2, 12 12, end
    header = struct.pack("<IiiHHIIiiII", 40, 7, 3, 1, 4, 2, len(data), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + palette + data)


def main(out):
    os.makedirs(out, exist_ok=True)
    p = lambda name: os.path.join(out, name)
    # 24-bit, odd width (3 data bytes a pixel, rows padded to 4), both the
    # old 40-byte header and the current 124-byte one.
    magick("-size", "13x7", "gradient:red-blue", "BMP3:" + p("rgb24_v3.bmp"))
    magick("-size", "13x7", "gradient:red-blue", "BMP:" + p("rgb24_v5.bmp"))
    # 8-bit palette, odd width, palette after either header; ImageMagick
    # codes them run-length unless told not to.
    for fmt, name in (("BMP3", "pal8_v3.bmp"), ("BMP", "pal8_v5.bmp")):
        magick("-seed", "3", "-size", "33x21", "plasma:", "-type", "Palette", "-colors", "200",
               "-compress", "None", fmt + ":" + p(name))
    magick("-seed", "3", "-size", "33x21", "plasma:", "-type", "Palette", "-colors", "200",
           "BMP3:" + p("pal8_rle.bmp"))
    # 4-bit palette, as it stands and run-length coded.
    magick("-size", "11x5", "gradient:red-blue", "-type", "Palette", "-colors", "8", "-compress", "None",
           "BMP3:" + p("pal4.bmp"))
    rle4(p("pal4_rle.bmp"))
    # PNG: RGB, RGBA, grey, grey with alpha, palette, interlaced.
    magick("-seed", "4", "-size", "17x9", "plasma:", "-depth", "8", "PNG24:" + p("rgb.png"))
    magick("-size", "20x10", "gradient:rgba(255,0,0,1)-rgba(0,0,255,0.2)", "-depth", "8", "PNG32:" + p("rgba.png"))
    magick("-size", "12x8", "gradient:white-black", "-depth", "8", "-type", "Grayscale", p("grey.png"))
    magick("-size", "12x8", "gradient:white-black", "-alpha", "set", "-channel", "A", "-evaluate", "set",
           "40%", "+channel", "-depth", "8", "-type", "GrayscaleAlpha", p("greyalpha.png"))
    magick("-seed", "5", "-size", "15x15", "plasma:", "-depth", "8", "-interlace", "PNG", "PNG24:" + p("interlaced.png"))
    magick("-seed", "6", "-size", "14x6", "plasma:", "-colors", "16", "PNG8:" + p("palette.png"))
    # A palette PNG whose tRNS gives alpha to its first two entries only.
    from PIL import Image
    img = Image.new("P", (10, 6))
    img.putpalette([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0, 0, 255, 255])
    for y in range(6):
        for x in range(10):
            img.putpixel((x, y), (x + y) % 5)
    img.save(p("shorttrns.png"), transparency=bytes([0, 128]))
    # GIF: an animation (its first frame counts) and an interlaced one.
    magick("-delay", "10", "-size", "9x5", "xc:red", "xc:blue", p("animated.gif"))
    magick("-seed", "7", "-size", "16x12", "plasma:", "-colors", "32", "-interlace", "GIF", p("interlaced.gif"))
    # JPEG: baseline, progressive, grey, CMYK.
    magick("-seed", "8", "-size", "30x20", "plasma:", p("baseline.jpg"))
    magick("-seed", "8", "-size", "30x20", "plasma:", "-interlace", "JPEG", p("progressive.jpg"))
    magick("-seed", "8", "-size", "30x20", "plasma:", "-colorspace", "Gray", p("grey.jpg"))
    magick("-seed", "8", "-size", "30x20", "plasma:", "-colorspace", "CMYK", p("cmyk.jpg"))
    for name in sorted(os.listdir(out)):
        print(name)


if __name__ == "__main__":
    main(sys.argv[1])
