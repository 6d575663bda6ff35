// Tables from ruling lines: the page's vector graphics become horizontal and
// vertical line segments, segments that touch or cross are grouped, and each
// group becomes a table of rows and cells into which the text falling inside
// it is moved.
#include "engine/layout/page.h"

#include "engine/layout/tableblock.h"
#include "parser/parser.h"

#include <algorithm>
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

// A group of lines with the box around them, which rules out quickly the
// groups a new line cannot touch (every way lineblock::isCross can find two
// lines touching needs them within 5 points in y, and within 3 in x unless
// both are vertical).
struct LineGroup {
    lineblock* group = nullptr;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool any = false;
    bool hasVertical = false;

    void add(const line* l)
    {
        const double lx = std::min(l->x1, l->x2), hx = std::max(l->x1, l->x2);
        const double ly = std::min(l->y1, l->y2), hy = std::max(l->y1, l->y2);
        if (!any) {
            minX = lx;
            maxX = hx;
            minY = ly;
            maxY = hy;
            any = true;
        } else {
            minX = std::min(minX, lx);
            maxX = std::max(maxX, hx);
            minY = std::min(minY, ly);
            maxY = std::max(maxY, hy);
        }
        hasVertical = hasVertical || l->kind == 2;
    }
    void absorb(const LineGroup& other)
    {
        std::vector<line*>& into = *group->GetLines();
        for (line* m : *other.group->GetLines()) {
            into.push_back(m);
            add(m);
        }
    }
    bool mayTouch(const line* l) const
    {
        if (!any)
            return true;
        const double lx = std::min(l->x1, l->x2), hx = std::max(l->x1, l->x2);
        const double ly = std::min(l->y1, l->y2), hy = std::max(l->y1, l->y2);
        if (!(ly < maxY + 5 && hy > minY - 5))
            return false;
        if (l->kind == 2 && hasVertical)
            return true;
        return lx < maxX + 3 && hx > minX - 3;
    }
};

} // namespace

void Page::createtables()
{
    // The graphics that are no ruling lines move forward in place: erasing
    // one at a time took quadratic time on a page of many drawings.
    std::size_t kept = 0;
    for (GraphicsCollect* g : graphics) {
        if (!convertlines(g))
            graphics[kept++] = g;
    }
    graphics.resize(kept);

    // Group the lines that touch or cross. A line joins the first group it
    // touches; when it also touches later groups, it ties them together and
    // they join that group too, so that the order in which a table's lines
    // were drawn (all rows first, then all columns) does not split it.
    std::vector<LineGroup> groups;
    for (line* l : rulingLines) {
        LineGroup* home = nullptr;
        for (auto it = groups.begin(); it != groups.end();) {
            if (!it->mayTouch(l)) {
                ++it;
                continue;
            }
            if (home == nullptr) {
                if (it->group->AddLine(l)) {
                    it->add(l);
                    home = &*it;
                }
                ++it;
                continue;
            }
            const std::vector<line*>& members = *it->group->GetLines();
            const bool touches = std::any_of(members.rbegin(), members.rend(),
                                             [l](const line* m) { return lineblock::isCross(m, l); });
            if (!touches) {
                ++it;
                continue;
            }
            home->absorb(*it);
            delete it->group;
            const std::ptrdiff_t at = home - groups.data();
            it = groups.erase(it);
            home = groups.data() + at;   // erasing a later group keeps `home` in place
        }
        if (home == nullptr) {
            LineGroup g;
            g.group = new lineblock;
            g.group->AddLine(l);
            g.add(l);
            groups.push_back(g);
        }
    }

    for (LineGroup& g : groups) {
        TableBlock* table = createtable(g.group);
        if (table->IsValid())
            tableBlocks.push_back(table);
        else
            delete table;
        delete g.group;
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

bool Page::IsRulingGraphic(const GraphicsCollect* graphic)
{
    const int paintWay = graphic->GetPaintWay();
    for (int i = 0; i < graphic->GetPathCount(); ++i) {
        const GraphPath path = graphic->GetPaintPath(i);
        const unsigned count = path.Count();
        // A closed path of five points that rectangel takes as one line.
        if (count == 5 && paintWay != 0 && paintWay != 1 && finitePoint(path.GetAt(0)) &&
            path.GetAt(4).x == path.GetAt(0).x && path.GetAt(4).y == path.GetAt(0).y)
            continue;
        for (unsigned k = 0; k < count; ++k) {
            const PathPoint& p = path.GetAt(k);
            if (!p.IsGeneralPoint() || !finitePoint(p))
                return false;
            if (k > 0 && p.x != path.GetAt(k - 1).x && p.y != path.GetAt(k - 1).y)
                return false;   // a slanted segment
        }
    }
    return true;
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
    const std::size_t n = lines.size();
    // Two lines can only merge when they are of one kind and lie within 3
    // points across their length (a vertical's x, a horizontal's y), which
    // merging never changes. Each line is compared, in group order, with the
    // later lines of that band only.
    auto across = [](const line* l) { return l->kind == 2 ? l->x1 : l->y1; };
    std::vector<std::pair<double, std::size_t>> byKind[2];
    for (std::size_t i = 0; i < n; ++i) {
        if (lines[i]->kind == 1 || lines[i]->kind == 2)
            byKind[lines[i]->kind - 1].emplace_back(across(lines[i]), i);
    }
    for (auto& v : byKind)
        std::sort(v.begin(), v.end());

    std::vector<bool> gone(n, false);
    std::vector<std::size_t> band;
    for (std::size_t i = 0; i < n; ++i) {
        line* a = lines[i];
        if (gone[i] || (a->kind != 1 && a->kind != 2))
            continue;
        const auto& sorted = byKind[a->kind - 1];
        const double c = across(a);
        auto lo = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(c - 3, std::size_t{0}));
        band.clear();
        for (auto it = lo; it != sorted.end() && it->first < c + 3; ++it) {
            if (it->second > i && !gone[it->second])
                band.push_back(it->second);
        }
        std::sort(band.begin(), band.end());
        for (std::size_t k : band) {
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
                gone[k] = true;
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!gone[i])
            lines[kept++] = lines[i];
    }
    lines.resize(kept);
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
    std::size_t kept = 0;
    for (line* l : lines) {
        if (l->kind == 1) {
            H.push_back(l);
            if (H.size() > 1) {
                auto* row = new TableBlock::TableR(writer);
                row->x = l->x1;
                row->y = l->y1;
                table->appendRow(row);
                continue;   // leaves the group
            }
            table->setPosition(l->x1, l->y1);
        }
        lines[kept++] = l;
    }
    lines.resize(kept);

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
        // Which lines of H each vertical line crosses (ascending), and which
        // verticals cross each line of H. H runs from the top down, and a
        // crossing line lies within 3 points of the vertical's extent, so
        // only that stretch of H is tested.
        std::vector<std::vector<std::size_t>> crosses(verticals.size());
        std::vector<std::vector<std::size_t>> crossing(h);
        for (std::size_t a = 0; a < verticals.size(); ++a) {
            const line* v = lines[verticals[a]];
            auto first = std::partition_point(H.begin(), H.end(),
                                              [v](const line* l) { return !(l->y1 < v->y1 + 3); });
            for (auto it = first; it != H.end() && (*it)->y1 > v->y2 - 3; ++it) {
                if (lineblock::isCross(v, *it)) {
                    const auto r = static_cast<std::size_t>(it - H.begin());
                    crosses[a].push_back(r);
                    crossing[r].push_back(a);
                }
            }
        }

        // Rows of the current vertical that a cell already covers.
        std::vector<char> taken(h, 0);
        std::vector<std::size_t> takenList;
        // The first line index r >= from, r < end, that both verticals
        // cross (and, with `open`, whose row no cell covers yet); end if none.
        auto nextBoth = [&](const std::vector<std::size_t>& x, const std::vector<std::size_t>& y,
                            std::size_t from, std::size_t end, bool open) {
            auto i = std::lower_bound(x.begin(), x.end(), from);
            auto j = std::lower_bound(y.begin(), y.end(), from);
            while (i != x.end() && j != y.end() && *i < end && *j < end) {
                if (*i < *j) {
                    i = std::lower_bound(i, x.end(), *j);
                } else if (*j < *i) {
                    j = std::lower_bound(j, y.end(), *i);
                } else {
                    if (!open || !taken[*i])
                        return *i;
                    ++i;
                    ++j;
                }
            }
            return end;
        };

        std::vector<std::size_t> seenBy(verticals.size(), SIZE_MAX);
        std::vector<std::size_t> partners;
        for (std::size_t a = 0; a < verticals.size(); ++a) {
            const line* V = lines[verticals[a]];
            const std::vector<std::size_t>& rv = crosses[a];
            for (std::size_t k : takenList)
                taken[k] = 0;
            takenList.clear();
            // Only a later vertical that crosses a row line V crosses can
            // close a cell with V; it counts as the (b - a)-th column after V.
            // Rows V can still open a cell in: none left ends the search.
            std::size_t open = 0;
            partners.clear();
            for (std::size_t r : rv) {
                if (r >= rowCount)
                    break;
                ++open;
                for (std::size_t b : crossing[r]) {
                    if (b > a && seenBy[b] != a) {
                        seenBy[b] = a;
                        partners.push_back(b);
                    }
                }
            }
            std::sort(partners.begin(), partners.end());
            for (std::size_t b : partners) {
                if (open == 0)
                    break;
                const int c = static_cast<int>(b - a);
                const line* W = lines[verticals[b]];
                const std::vector<std::size_t>& rw = crosses[b];
                std::size_t r = nextBoth(rv, rw, 0, rowCount, true);
                while (r < rowCount) {
                    // The nearest horizontal line below row r that both
                    // verticals reach closes the cell.
                    const std::size_t end = nextBoth(rv, rw, r + 1, h, false);
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
                            if (!taken[k]) {
                                taken[k] = 1;
                                takenList.push_back(k);
                                if (std::binary_search(rv.begin(), rv.end(), k))
                                    --open;
                            }
                        }
                    }
                    r = nextBoth(rv, rw, r + 1, rowCount, true);
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
