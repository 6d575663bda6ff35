// Table cells and the drawing of a table's shading and borders.
#include "engine/topdf/typesetter.h"

namespace {

constexpr int kUnits = 18;

} // namespace

int OPdfTable::columnWidth(int column) const
{
    if (column < 0 || column + 1 >= static_cast<int>(edges.size()))
        return 0;
    return edges[std::size_t(column) + 1] - edges[std::size_t(column)];
}

std::uint32_t OPdfTable::cellColour(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(colours.size()) || column < 0 ||
        column >= static_cast<int>(colours[std::size_t(row)].size()))
        return 0xFFFFFF;
    return colours[std::size_t(row)][std::size_t(column)];
}

int OPdfTable::cellId(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(ids.size()) || column < 0 ||
        column >= static_cast<int>(ids[std::size_t(row)].size()))
        return 0;
    return ids[std::size_t(row)][std::size_t(column)];
}

void OPdfTable::setCell(int row, int column, std::uint32_t colour, int id)
{
    if (row < 0 || column < 0)
        return;
    if (colours.size() <= std::size_t(row)) {
        colours.resize(std::size_t(row) + 1);
        ids.resize(std::size_t(row) + 1);
    }
    auto& rowColours = colours[std::size_t(row)];
    auto& rowIds = ids[std::size_t(row)];
    if (rowColours.size() <= std::size_t(column)) {
        rowColours.resize(std::size_t(column) + 1, 0xFFFFFF);
        rowIds.resize(std::size_t(column) + 1, 0);
    }
    rowColours[std::size_t(column)] = colour;
    rowIds[std::size_t(column)] = id;
}

void OPdfTable::draw(OPdfPage& page, int kind) const
{
    const int cols = columns();
    const int rows = static_cast<int>(rowTops.size()) - 1;
    if (cols < 1 || rows < 1)
        return;
    auto edgeX = [&](int e) { return edges[std::size_t(e)] / kUnits; };
    auto top = [&](int r) { return rowTops[std::size_t(r)]; };

    // Shading: each cell from its left edge to the next, row top to row top,
    // so that neighbouring cells meet without a gap.
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const std::uint32_t colour = cellColour(r, c) & 0xFFFFFF;
            if (colour == 0 || colour == 0xFFFFFF)
                continue;
            page.writeRect(colour, edgeX(c), top(r + 1), edgeX(c + 1) - edgeX(c), top(r) - top(r + 1));
        }
    }
    if (!borders)
        return;
    // Rules are hairlines in workbooks, one point elsewhere.
    const int rule = kind == KIND_WORKBOOK ? 0 : 1;
    // Vertical rules: along each column edge, wherever the cells on its two
    // sides are different cells.
    for (int e = 0; e <= cols; ++e) {
        int r = 0;
        while (r < rows) {
            auto differs = [&](int row) {
                return e == 0 || e == cols || cellId(row, e - 1) != cellId(row, e);
            };
            if (!differs(r)) {
                ++r;
                continue;
            }
            const int first = r;
            while (r < rows && differs(r))
                ++r;
            page.writeRect(0, edgeX(e), top(r), rule, top(first) - top(r) + 1);
        }
    }
    // Horizontal rules: along each row top, wherever the cells above and
    // below are different cells.
    for (int t = 0; t <= rows; ++t) {
        int c = 0;
        while (c < cols) {
            auto differs = [&](int column) {
                return t == 0 || t == rows || cellId(t - 1, column) != cellId(t, column);
            };
            if (!differs(c)) {
                ++c;
                continue;
            }
            const int first = c;
            while (c < cols && differs(c))
                ++c;
            page.writeRect(0, edgeX(first), top(t), edgeX(c) - edgeX(first) + 1, rule);
        }
    }
}
