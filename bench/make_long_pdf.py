#!/usr/bin/python3
"""Writes a long text PDF for the parser benchmark.

Usage: make_long_pdf.py OUT.pdf [PARAGRAPHS]

Paragraphs of pseudo-random words set in the standard Helvetica face,
about six paragraphs a page; 2000 paragraphs give some 330 letter pages.
"""
import random
import sys

from reportlab.lib.pagesizes import letter
from reportlab.lib.styles import getSampleStyleSheet
from reportlab.platypus import Paragraph, SimpleDocTemplate, Spacer

WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua enim ad minim veniam quis nostrud "
         "exercitation ullamco laboris nisi aliquip ex ea commodo consequat").split()

out = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
rng = random.Random(1)
styles = getSampleStyleSheet()
story = []
for i in range(count):
    if i % 40 == 0:
        story.append(Paragraph("Section %d" % (i // 40 + 1), styles["Heading2"]))
    story.append(Paragraph(" ".join(rng.choice(WORDS) for _ in range(120)), styles["Normal"]))
    story.append(Spacer(1, 6))
SimpleDocTemplate(out, pagesize=letter).build(story)
