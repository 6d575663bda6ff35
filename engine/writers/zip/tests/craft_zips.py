"""Writes hand-made zip archives that an unpacker must survive.

Usage: craft_zips.py <folder> <absolute-name>

The records are written by hand so that names and sizes can be anything a
hostile archive may hold, which zipfile itself would refuse or fix.
"""
import struct
import sys
import zlib


def write_zip(path, entries):
    """entries: (name bytes, stored data, method, crc, declared size)."""
    body = b""
    central = b""
    for name, data, method, crc, size in entries:
        offset = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21,
                            crc, len(data), size, len(name), 0) + name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0,
                               0x21, crc, len(data), size, len(name), 0, 0, 0, 0, 0,
                               offset) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                      len(central), len(body), 0)
    with open(path, "wb") as f:
        f.write(body + central + end)


def stored(name, data):
    return (name, data, 0, zlib.crc32(data), len(data))


def deflated(name, data):
    co = zlib.compressobj(9, zlib.DEFLATED, -15)
    return (name, co.compress(data) + co.flush(), 8, zlib.crc32(data), len(data))


def zeros_deflated(megabytes):
    """A raw deflate stream of that many MiB of zeros, built by repeating one
    flushed block so that nothing that large is ever compressed."""
    chunk = b"\0" * (1 << 20)
    co = zlib.compressobj(9, zlib.DEFLATED, -15)
    first = co.compress(chunk) + co.flush(zlib.Z_FULL_FLUSH)
    block = co.compress(chunk) + co.flush(zlib.Z_FULL_FLUSH)
    return first + block * (megabytes - 1) + co.flush()


def main():
    out = sys.argv[1]
    absolute = sys.argv[2].encode()

    long_part = b"L" * 300
    long_path = b"/".join([b"d" * 100, b"e" * 100, b"f" * 100])
    write_zip(out + "/hostile.zip", [
        stored(b"../evil.txt", b"evil"),
        stored(b"a/../../evil2.txt", b"evil"),
        stored(b"..\\evil3.txt", b"evil"),
        stored(absolute, b"evil"),
        stored(b"\\evil4.txt", b"evil"),
        stored(long_part, b"long"),
        stored(long_path, b"long path"),
        stored(b"sub\\inner.txt", b"inner"),
        stored(b"./dot//ok.txt", b"ok"),
        stored(b"folder/", b""),
        deflated(b"ok.txt", b"fine " * 100),
    ])

    write_zip(out + "/empty.zip", [])

    # 30 entries of 100 MiB of zeros each: about 3 MB on disk, 3000 MiB
    # unpacked. The sizes are stated truthfully.
    bomb = zeros_deflated(100)
    crc = 0
    for _ in range(100):
        crc = zlib.crc32(b"\0" * (1 << 20), crc)
    write_zip(out + "/bomb.zip",
              [(b"zeros%02d" % i, bomb, 8, crc, 100 << 20) for i in range(30)])

    # One entry that claims 1000 bytes and inflates to 64 MiB.
    write_zip(out + "/liar.zip",
              [stored(b"first.txt", b"first"),
               (b"liar.bin", zeros_deflated(64), 8, 0, 1000)])

    # A file entry followed by an entry that needs a folder of that name.
    write_zip(out + "/clash.zip", [stored(b"x", b"file"), stored(b"x/y.txt", b"y")])

    # An entry below a folder name that the test turns into a link.
    write_zip(out + "/throughlink.zip", [stored(b"link/planted.txt", b"evil")])


main()
