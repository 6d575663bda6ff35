// Styles of words that the page shows by drawing rather than by font: bold
// by overprinting (a word drawn again at almost the same place), underline
// and strike-out (a thin straight rule along the word).
#pragma once

#include "internal.h"

#include <string>
#include <vector>

namespace parser_detail {

// The words kept last on a page, to find a word drawn twice.
class RecentWords {
public:
    void Add(TextCollect* word);
    // The newest recent word of that text and size (within 2 %) whose
    // matrix origin lies within 0.15 em of (x, y); null when none.
    TextCollect* Overprinted(const std::string& text, double x, double y, double size) const;

private:
    static constexpr int kCount = 8;
    TextCollect* words_[kCount] = {};
    int next_ = 0;
    int count_ = 0;
};

// A drawn word as the rule pass needs it (page points, y upward).
struct WordGeom {
    TextCollect* word;
    double x0, x1, baseline, size;
};

// A horizontal rule: its ends and its centre line.
struct LineGeom {
    double x0, x1, yc;
};

// Whether the graphic is a rule that can underline or strike out text: one
// subpath of straight segments, at least 1 pt long and at most 3 pt high.
bool AsRule(GraphicsCollect& g, LineGeom& out);

// Marks each upright word underlined or struck out by the rules that run
// along at least 60 % of it, at or below its baseline (underline) or from
// 0.15 em above it (strike-out). Sorts `rules`.
void MarkRules(std::vector<LineGeom>& rules, const std::vector<WordGeom>& words);

} // namespace parser_detail
