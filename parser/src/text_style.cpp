// Bold by overprinting, underline and strike-out.
#include "text_style.h"

#include <algorithm>
#include <cmath>

namespace parser_detail {

void RecentWords::Add(TextCollect* word)
{
    words_[next_] = word;
    next_ = (next_ + 1) % kCount;
    count_ = std::min(count_ + 1, kCount);
}

TextCollect* RecentWords::Overprinted(const std::string& text, double x, double y,
                                      double size) const
{
    for (int k = 0; k < count_; ++k) {
        TextCollect* t = words_[(next_ + kCount - 1 - k) % kCount];
        const ParserMatrix& m = t->GetMatrix();
        if (std::fabs(m.e - x) < 0.15 * size && std::fabs(m.f - y) < 0.15 * size &&
            std::fabs(t->GetFontSize() - size) < 0.02 * size && t->GetText() == text)
            return t;
    }
    return nullptr;
}

bool AsRule(GraphicsCollect& g, LineGeom& out)
{
    const int way = ObjectAccess::PaintWay(g);
    if (way == kPaintShading || ObjectAccess::Paths(g).size() != 1)
        return false;
    double l, t, r, b;
    if (!g.GetRegion(l, t, r, b))
        return false;
    for (const PathPoint& p : ObjectAccess::Points(ObjectAccess::Paths(g)[0]))
        if (!p.IsGeneralPoint())
            return false;
    if (r - l < 1.0 || t - b > 3.0)
        return false;
    out = LineGeom{l, r, (t + b) / 2};
    return true;
}

void MarkRules(std::vector<LineGeom>& rules, const std::vector<WordGeom>& words)
{
    if (rules.empty() || words.empty())
        return;
    std::sort(rules.begin(), rules.end(),
              [](const LineGeom& a, const LineGeom& b) { return a.yc < b.yc; });
    for (const WordGeom& w : words) {
        const double lo = w.baseline - 0.3 * w.size, hi = w.baseline + 0.45 * w.size;
        auto it = std::lower_bound(rules.begin(), rules.end(), lo,
                                   [](const LineGeom& a, double v) { return a.yc < v; });
        const double width = std::max(w.x1 - w.x0, 0.1);
        for (; it != rules.end() && it->yc <= hi; ++it) {
            const double overlap = std::min(w.x1, it->x1) - std::max(w.x0, it->x0);
            if (overlap < 0.6 * width)
                continue;
            const double rel = it->yc - w.baseline;
            if (rel <= 0.0)
                ObjectAccess::Underline(*w.word) = true;
            else if (rel >= 0.15 * w.size)
                ObjectAccess::StrikeOut(*w.word) = true;
        }
    }
}

} // namespace parser_detail
