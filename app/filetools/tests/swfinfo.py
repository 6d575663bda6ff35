#!/usr/bin/python3
"""Prints what python3-yaswfp reads in an SWF file, one fact a line:

  signature FWS|CWS
  length N          the header's file length
  frame XMIN XMAX YMIN YMAX
  tag NAME SIZE FIRST6HEX SHA1    per tag with a raw payload
  tag NAME                        per tag yaswfp decodes itself

Exits 1 when yaswfp cannot read the file.
"""
import hashlib
import sys

from yaswfp import swfparser

try:
    p = swfparser.parsefile(sys.argv[1])
except Exception as e:  # noqa: BLE001 - any parse failure is the answer
    print("error", e)
    sys.exit(1)
print("signature", p.header.Signature)
print("length", p.header.FileLength)
print("frame", *p.header.FrameSize)
for t in p.tags:
    raw = getattr(t, "raw_payload", None)
    if raw is None:
        print("tag", t.name)
    else:
        print("tag", t.name, len(raw), raw[:6].hex(), hashlib.sha1(raw).hexdigest())
