// Tables from ruling lines: the page's vector graphics become horizontal and
// vertical line segments, segments that touch or cross are grouped, and each
// group becomes a table of rows and cells into which the text falling inside
// it is moved.
#include "engine/layout/page.h"

#include "engine/layout/tableblock.h"
#include "parser/parser.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

double absTrunc(double v)
{
    return std::fabs(std::trunc(v));
}

bool finitePoint(const PathPoint& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

line* newLine(int kind, double x1, double y1, double x2, double y2)
{
    auto* l = new line;
    l->kind = kind;
    l->x1 = x1;
    l->y1 = y1;
    l->x2 = x2;
    l->y2 = y2;
    return l;
}

// A set of row indices as bits, with the range of words that hold any.
class Bits {
public:
    explicit Bits(std::size_t n) : words_((n + 63) / 64, 0) {}
    void set(std::size_t i)
    {
        words_[i / 64] |= std::uint64_t{1} << (i % 64);
        lo_ = std::min(lo_, i / 64);
        hi_ = std::max(hi_, i / 64 + 1);
    }
    bool test(std::size_t i) const { return (words_[i / 64] >> (i % 64)) & 1U; }
    std::uint64_t word(std::size_t w) const { return words_[w]; }
    std::size_t lo() const { return lo_; }
    std::size_t hi() const { return hi_; }

private:
    std::vector<std::uint64_t> words_;
    std::size_t lo_ = SIZE_MAX;
    std::size_t hi_ = 0;
};

// The first index i >= from, i < end, set in a, in b and (when `not` is
// given) clear in `not`; end when there is none.
std::size_t nextCommon(const Bits& a, const Bits& b, const Bits* excluded, std::size_t from,
                       std::size_t end)
{
    const std::size_t wEnd = std::min(a.hi(), b.hi());
    for (std::size_t w = std::max({from / 64, a.lo(), b.lo()}); w < wEnd; ++w) {
        std::uint64_t m = a.word(w) & b.word(w);
        if (excluded)
            m &= ~excluded->word(w);
        if (w == from / 64)
            m &= ~std::uint64_t{0} << (from % 64);
        if (m != 0) {
            const std::size_t i = w * 64 + static_cast<std::size_t>(std::countr_zero(m));
            return i < end ? i : end;
        }
    }
    return end;
}

} // namespace

void Page::createtables()
{
    for (auto it = graphics.begin(); it != graphics.end();) {
        if (convertlines(*it))
            it = graphics.erase(it);
        else
            ++it;
    }

    // Group the lines that touch or cross. A line joins the first group it
    // touches; when it also touches later groups, it ties them together and
    // they join that group too, so that the order in which a table's lines
    // were drawn (all rows first, then all columns) does not split it.
    std::vector<lineblock*> groups;
    for (line* l : rulingLines) {
        lineblock* home = nullptr;
        for (auto it = groups.begin(); it != groups.end();) {
            lineblock* g = *it;
            if (home == nullptr) {
                if (g->AddLine(l))
                    home = g;
                ++it;
                continue;
            }
            const std::vector<line*>& members = *g->GetLines();
            const bool touches = std::any_of(members.rbegin(), members.rend(),
                                             [l](const line* m) { return lineblock::isCross(m, l); });
            if (!touches) {
                ++it;
                continue;
            }
            std::vector<line*>& into = *home->GetLines();
            into.insert(into.end(), members.begin(), members.end());
            delete g;
            it = groups.erase(it);
        }
        if (home == nullptr) {
            auto* g = new lineblock;
            g->AddLine(l);
            groups.push_back(g);
        }
    }

    for (lineblock* g : groups) {
        TableBlock* table = createtable(g);
        if (table->IsValid())
            tableBlocks.push_back(table);
        else
            delete table;
        delete g;
    }
}

bool Page::convertlines(GraphicsCollect* graphic)
{
    bool result = false;
    const int paintWay = graphic->GetPaintWay();
    for (int i = 0; i < graphic->GetPathCount(); ++i) {
        const GraphPath path = graphic->GetPaintPath(i);
        if (rectangel(path, paintWay)) {
            result = true;
            continue;
        }

        std::vector<line*> lines;
        auto abandon = [&lines]() {
            for (line* l : lines)
                delete l;
            return false;
        };
        const unsigned count = path.Count();
        if (count > 0 && !finitePoint(path.GetAt(0)))
            return abandon();
        PathPoint prev = count > 0 ? path.GetAt(0) : PathPoint();
        line* building = nullptr;
        for (unsigned k = 1; k < count; ++k) {
            const PathPoint& p = path.GetAt(k);
            // Curves, and points a broken file left without coordinates,
            // make no ruling line: the graphic stays a graphic.
            if (!p.IsGeneralPoint() || !finitePoint(p))
                return abandon();
            if (building && building->kind == 1 && p.y == building->y1 && p.x > building->x2) {
                building->x2 = p.x;
            } else if (building && building->kind == 2 && p.x == building->x1 &&
                       p.y < building->y1) {
                // Only ever downward: a point that turns back inside the
                // line leaves it whole.
                building->y2 = std::min(building->y2, p.y);
            } else if (p.x == prev.x) {
                building = newLine(2, p.x, std::max(p.y, prev.y), p.x, std::min(p.y, prev.y));
                lines.push_back(building);
            } else if (p.y == prev.y) {
                building = newLine(1, std::min(p.x, prev.x), p.y, std::max(p.x, prev.x), p.y);
                lines.push_back(building);
            } else {
                // A slanted segment: ruling lines are upright, so a path that
                // has one is a drawing, not a table's frame.
                return abandon();
            }
            prev = p;
        }

        for (line* l : lines) {
            if (l->x2 < l->x1)
                std::swap(l->x1, l->x2);
            else if (l->y2 > l->y1)
                std::swap(l->y1, l->y2);
        }
        rulingLines.insert(rulingLines.end(), lines.begin(), lines.end());
        result = !lines.empty();
    }
    return result;
}

bool Page::rectangel(const GraphPath& path, int paintWay)
{
    if (path.Count() != 5 || paintWay == 0 || paintWay == 1)
        return false;
    for (unsigned k = 0; k < 5; ++k) {
        if (!finitePoint(path.GetAt(k)))
            return false;
    }
    const PathPoint& p0 = path.GetAt(0);
    const PathPoint& p2 = path.GetAt(2);
    const PathPoint& p4 = path.GetAt(4);
    if (p4.x != p0.x || p4.y != p0.y)
        return false;

    const double dx = absTrunc(p2.x - p0.x);
    const double dy = absTrunc(p2.y - p0.y);
    line* l = dx > dy
        ? newLine(1, std::min(p0.x, p2.x), p0.y, std::max(p0.x, p2.x), p0.y)
        : newLine(2, p0.x, std::max(p0.y, p2.y), p0.x, std::min(p0.y, p2.y));
    if (lineLength(l) >= 1.0)
        rulingLines.push_back(l);
    else
        delete l;
    return true;
}

void Page::combinelines(lineblock* group)
{
    std::vector<line*>& lines = *group->GetLines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        line* a = lines[i];
        std::size_t k = i + 1;
        while (k < lines.size()) {
            const line* b = lines[k];
            bool merged = false;
            if (absTrunc(a->x1 - b->x1) < 3 && absTrunc(a->x2 - b->x2) < 3 && a->kind == 2 &&
                b->kind == 2) {
                // As for horizontal lines below: pieces that continue or
                // overlap one another become one line (a border shared by
                // two cells is often drawn twice; kept twice it would make
                // a column of no width).
                if (absTrunc(a->y2 - b->y1) < 3 || (a->y2 <= b->y1 && b->y1 <= a->y1)) {
                    a->y2 = std::min(a->y2, b->y2);
                    merged = true;
                } else if (absTrunc(a->y1 - b->y2) < 3 || (a->y2 <= b->y2 && b->y2 <= a->y1)) {
                    a->y1 = std::max(a->y1, b->y1);
                    merged = true;
                }
            } else if (absTrunc(a->y1 - b->y1) < 3 && absTrunc(a->y2 - b->y2) < 3 &&
                       a->kind == 1 && b->kind == 1) {
                // Segments that continue or overlap one another become one;
                // the merged line covers both, so a shorter piece lying on a
                // longer line never cuts it short.
                if (absTrunc(a->x2 - b->x1) < 3 || (a->x1 <= b->x1 && b->x1 <= a->x2)) {
                    a->x2 = std::max(a->x2, b->x2);
                    merged = true;
                } else if (absTrunc(a->x1 - b->x2) < 3 || (a->x1 <= b->x2 && b->x2 <= a->x2)) {
                    a->x1 = std::min(a->x1, b->x1);
                    merged = true;
                }
            }
            if (merged)
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k));
            else
                ++k;
        }
    }
    std::erase_if(lines, [](const line* l) {
        return (l->kind == 1 && l->x2 - l->x1 <= 5.0) || (l->kind == 2 && l->y1 - l->y2 <= 5.0);
    });
}

TableBlock* Page::createtable(lineblock* group)
{
    auto* table = new TableBlock(writer);
    combinelines(group);
    std::vector<line*>& lines = *group->GetLines();
    std::sort(lines.begin(), lines.end(), lineblock::sortline);

    // Horizontal lines: the first is the table's top, each later one closes
    // a row. Row r lies between H[r] and H[r + 1].
    std::vector<line*> H;
    for (auto it = lines.begin(); it != lines.end();) {
        line* l = *it;
        if (l->kind != 1) {
            ++it;
            continue;
        }
        H.push_back(l);
        if (H.size() == 1) {
            table->setPosition(l->x1, l->y1);
            ++it;
            continue;
        }
        auto* row = new TableBlock::TableR(writer);
        row->x = l->x1;
        row->y = l->y1;
        table->appendRow(row);
        it = lines.erase(it);
    }

    // Cells need a line above and a line below: with fewer than two
    // horizontal lines there is no row to hold one.
    const std::size_t h = H.size();
    if (h >= 2) {
        const std::vector<TableBlock::TableR*> rows = table->getRows();
        const std::size_t rowCount = h - 1;

        std::vector<std::size_t> verticals;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i]->kind == 2)
                verticals.push_back(i);
        }
        // Which horizontal lines each vertical line crosses.
        std::vector<Bits> crosses;
        crosses.reserve(verticals.size());
        for (std::size_t vi : verticals) {
            Bits b(h);
            for (std::size_t r = 0; r < h; ++r) {
                if (lineblock::isCross(lines[vi], H[r]))
                    b.set(r);
            }
            crosses.push_back(std::move(b));
        }

        for (std::size_t a = 0; a < verticals.size(); ++a) {
            const line* V = lines[verticals[a]];
            const Bits& bv = crosses[a];
            Bits taken(h);
            // Rows V can still open a cell in; none left ends the search.
            std::size_t open = 0;
            for (std::size_t r = 0; r < rowCount; ++r)
                open += bv.test(r) ? 1 : 0;
            int c = 1;
            for (std::size_t b = a + 1; b < verticals.size() && open > 0; ++b, ++c) {
                const line* W = lines[verticals[b]];
                const Bits& bw = crosses[b];
                std::size_t r = nextCommon(bv, bw, &taken, 0, rowCount);
                while (r < rowCount) {
                    // The nearest horizontal line below row r that both
                    // verticals reach closes the cell.
                    const std::size_t end = nextCommon(bv, bw, nullptr, r + 1, h);
                    if (end < h) {
                        const std::size_t span = end - r;
                        auto* cell = new TableBlock::TableCol(writer);
                        cell->x = V->x1;
                        cell->y = H[end]->y1;
                        cell->right = W->x1;
                        cell->width = W->x1 - V->x1;
                        cell->rowSpan = span == 1 ? 0 : static_cast<int>(span);
                        cell->colSpan = c;
                        rows[r]->appendCol(cell);
                        for (std::size_t k = r; k < end; ++k) {
                            if (!taken.test(k)) {
                                taken.set(k);
                                if (bv.test(k))
                                    --open;
                            }
                        }
                    }
                    r = nextCommon(bv, bw, &taken, r + 1, rowCount);
                }
            }
        }
    }

    table->deleteInvildRows();
    return table;
}

void Page::puttextintable()
{
    for (TableBlock* table : tableBlocks) {
        for (auto it = textObjects.begin(); it != textObjects.end();) {
            if (table->AddText(*it))
                it = textObjects.erase(it);
            else
                ++it;
        }
    }
}
