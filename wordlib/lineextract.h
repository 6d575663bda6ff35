// Lines of a page for the Word writer. The document rebuilds a page as one
// column of one-line paragraphs; this step decides which runs form that
// column and which must go into text boxes.
//
// The runs of all text groups of a page are sorted by top. Runs whose
// vertical extents overlap compete for the column: the leftmost wins and
// becomes a line head, the others are overlapped. An overlapped run of the
// head's own group that lies on the head's band (top and bottom within a
// tenth of the head's height) joins the head's line. The heads, with their
// joined runs, make the first pass: the flow of the page. The runs left
// over (overlapped, not joined) go through the same steps again, and every
// further pass makes text boxes.
#pragma once

#include "wordlib/pagecollect.h"

#include <vector>

namespace scrivlet {

struct Line {
    const TextRun* head = nullptr;
    std::vector<const TextRun*> joined;   // left to right
};

// Lines of one group of the page, with their bounding box in whole twips.
struct LineGroup {
    double x = 0, top = 0, width = 0, height = 0;
    std::vector<Line> lines;
};

struct PageLines {
    std::vector<LineGroup> flow;
    std::vector<LineGroup> boxes;
};

// The runs are those of `page`, which must outlive the result.
PageLines ExtractLines(const PageEntry& page);

} // namespace scrivlet
