#!/usr/bin/python3
"""Dumps every stream of a compound file with olefile, an independent reader
of the format.

usage: ole_streams.py FILE OUTDIR
Writes stream n to OUTDIR/n and prints one line per stream: n, a tab, and the
stream's path as its names in UTF-16LE hex joined by "/".
Exit 1 when olefile refuses the file.
"""
import os
import sys

import olefile


def main():
    src, out = sys.argv[1], sys.argv[2]
    with olefile.OleFileIO(src) as ole:
        for n, path in enumerate(ole.listdir(streams=True, storages=False)):
            with open(os.path.join(out, str(n)), "wb") as f:
                f.write(ole.openstream(path).read())
            print("%d\t%s" % (n, "/".join(p.encode("utf-16-le").hex() for p in path)))


if __name__ == "__main__":
    try:
        main()
    except Exception as e:  # noqa: BLE001 - any refusal fails the check
        print("error: %s: %s" % (type(e).__name__, e), file=sys.stderr)
        sys.exit(1)
