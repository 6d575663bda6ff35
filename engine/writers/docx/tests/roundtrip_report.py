#!/usr/bin/python3
"""Compares PDF files with LibreOffice's PDF export of their .docx, page by
page, as a reader sees them: not a test (LibreOffice takes minutes on long
documents), a report for judging the Word 2007 output.

usage: roundtrip_report.py SOURCE.pdf BACK.pdf [-v]

Prints the page counts, the words of pdftotext's output of the source that
the export lacks, and per page the number of lines that pdftotext -layout
finds on both (with -v, every page whose count differs by more than 2 %).
"""
import re
import subprocess
import sys


def page_count(pdf):
    out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    m = re.search(r"Pages:\s+(\d+)", out)
    return int(m.group(1)) if m else -1


def text(pdf, layout=False, page=None):
    args = ["pdftotext"] + (["-layout"] if layout else [])
    if page:
        args += ["-f", str(page), "-l", str(page)]
    return subprocess.run(args + [pdf, "-"], capture_output=True, text=True,
                          errors="replace").stdout


def lines(pdf, page):
    return [l for l in text(pdf, True, page).split("\n") if l.strip() and l.strip() != "\f"]


def main():
    source, back = sys.argv[1], sys.argv[2]
    verbose = "-v" in sys.argv[3:]
    n, m = page_count(source), page_count(back)
    words = text(source).split()
    have = set(text(back).split())
    missing = [w for w in words if w not in have]
    print("pages %d %d" % (n, m))
    print("words %d missing %d %s" % (len(words), len(missing), " ".join(missing[:20])))
    off = 0
    total_source = total_back = 0
    for p in range(1, n + 1):
        a = len(lines(source, p))
        b = len(lines(back, p)) if p <= m else 0
        total_source += a
        total_back += b
        if abs(a - b) > 0.02 * a:
            off += 1
            if verbose:
                print("  page %d lines %d %d" % (p, a, b))
    print("layout lines %d %d, pages off by more than 2%%: %d of %d" %
          (total_source, total_back, off, n))


if __name__ == "__main__":
    main()
