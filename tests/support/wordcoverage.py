#!/usr/bin/python3
"""How many of pdftotext's words a conversion kept.

usage: wordcoverage.py PDF OUTPUT

OUTPUT is a .txt file, an .epub book (its chapters) or an HTML output folder
(its page files html/P*.html). The words of `pdftotext -raw` and of the
output are compared as multisets after the same normalisation on both sides:
Unicode NFC and punctuation around words dropped. A word broken by a hyphen
at a line end is joined again in pdftotext's lines, and in the positioned
words of HTML pages, which keep the lines of the PDF; text and EPUB output
must have joined it themselves. Prints "FOUND TOTAL", then the missing
words, most frequent first.
"""
import collections
import glob
import html
import os
import re
import subprocess
import sys
import unicodedata
import zipfile

STRIP = ".,;:!?()[]{}\"'\u00ab\u00bb\u201e\u201c\u201d\u2018\u2019`*"


def joined(lines):
    """Lines with a word hyphenated at a line end joined to the next line."""
    out = []
    for line in lines:
        if out and re.search(r"\w-$", out[-1]) and line[:1].isalnum():
            # "adip-" + "iscing": the hyphen goes where the word goes on in
            # lower case, as readers print it.
            out[-1] = (out[-1][:-1] if line[:1].islower() else out[-1]) + line
        else:
            out.append(line)
    return out


def words(text):
    text = unicodedata.normalize("NFC", text)
    return [w for w in (w.strip(STRIP) for w in text.split()) if w]


def markup_text(data):
    data = re.sub(r"<head>.*?</head>", " ", data, flags=re.S)
    return html.unescape(re.sub(r"<[^>]+>", " ", data))


def number(name):
    return int(re.findall(r"\d+", os.path.basename(name))[0])


def output_text(path):
    if path.endswith(".txt"):
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    if path.endswith(".epub"):
        book = zipfile.ZipFile(path)
        chapters = [n for n in book.namelist() if re.match(r"OEBPS/\d+\.html$", n)]
        return " ".join(markup_text(book.read(n).decode("utf-8")) for n in sorted(chapters, key=number))
    pages = glob.glob(os.path.join(path, "html", "P*.html"))
    runs = []
    for page in sorted(pages, key=number):
        with open(page, encoding="utf-8") as f:
            runs += [html.unescape(r) for r in re.findall(r"<span[^>]*>([^<]*)</span>", f.read())]
    return "\n".join(joined([r.strip() for r in runs if r.strip()]))


def main():
    pdf, output = sys.argv[1], sys.argv[2]
    raw = subprocess.run(["pdftotext", "-raw", "-enc", "UTF-8", pdf, "-"], capture_output=True,
                         check=True).stdout.decode("utf-8", "replace")
    expected = collections.Counter(words("\n".join(joined([l.strip() for l in raw.split("\n") if l.strip()]))))
    ours = collections.Counter(words(output_text(output)))
    found = sum(min(n, ours[w]) for w, n in expected.items())
    print(found, sum(expected.values()))
    missing = collections.Counter({w: n - ours[w] for w, n in expected.items() if ours[w] < n})
    print(" ".join("%s(%d)" % (w, n) for w, n in missing.most_common(40)))


if __name__ == "__main__":
    main()
