// Column analysis and row bands of a page: how many text columns the page
// has, which column each block belongs to, and where blocks that span
// several columns cut the page into horizontal bands.
#include "engine/layout/page.h"

#include "engine/layout/block.h"
#include "engine/layout/safemath.h"
#include "engine/layout/textblock.h"

#include <algorithm>
#include <cmath>

namespace {

void AllInOneColumn(const std::vector<Block*>& blocks)
{
    for (Block* b : blocks) {
        b->setColumn(1);
        b->setRowBand(1);
    }
}

} // namespace

void Page::SplitCol()
{
    colsAssigned = false;
    if (!splitColumns || (fixedColCount && maxCols == 1)) {
        colCount = 1;
        AllInOneColumn(blocks);
        colsAssigned = true;
        return;
    }
    minX = width;
    colCount = 1;
    maxX = 0;
    for (Block* b : blocks) {
        if (!dynamic_cast<TextBlock*>(b))
            continue;
        const double x = b->getX();
        if (x < minX && x > -0.01)
            minX = x;
        const double right = x + b->getWidth();
        if (right > maxX && right < width)
            maxX = right;
    }
    for (int n = maxCols; n >= 2; --n) {
        if (TestPageColCnt(n))
            break;
    }
    if (!colsAssigned) {
        AllInOneColumn(blocks);
        colsAssigned = true;
    }
}

bool Page::TestPageColCnt(int n)
{
    const double span = maxX - minX;
    if (span < -0.001) {
        colCount = 1;
        return true;
    }
    const double colW = span / n;
    // Text that spans no width cannot stand in columns (and would divide by
    // zero below).
    if (!(colW > 0) || !std::isfinite(colW))
        return false;

    std::vector<double> acc(static_cast<std::size_t>(n) + 1, 0.0);
    for (Block* b : blocks) {
        const double rx = b->getX() - minX;
        const double rr = rx + b->getWidth();
        int s = n;
        for (int k = 1; k <= n - 1; ++k) {
            if (rx <= k * colW - 0.05 * colW) {
                s = k;
                break;
            }
        }
        int e = n;
        if (s < n) {
            for (int k = s; k <= n - 1; ++k) {
                if (rr <= k * colW + 0.03 * colW) {
                    e = k;
                    break;
                }
            }
        }
        const double w = safemath::TruncAbs(b->getWidth());
        const double h = safemath::TruncAbs(b->getHeight());
        b->setRowBand(1);
        if (s < e) {
            b->setColumn(-s);
            if (s != 1)
                acc[0] += w / colW * h;
        } else {
            b->setColumn(s);
            acc[static_cast<std::size_t>(s)] += h * w / colW;
        }
    }

    double m = 0;
    for (int k = 1; k <= n; ++k) {
        if (acc[static_cast<std::size_t>(k)] < acc[0])
            return false;
        m = std::max(m, acc[static_cast<std::size_t>(k)]);
    }
    if (m < std::max(0.05 * height, 30.0))
        return false;
    for (int k = 1; k <= n; ++k) {
        if (acc[static_cast<std::size_t>(k)] < 0.5 * m)
            return false;
    }
    colsAssigned = true;
    colCount = n;
    return true;
}

void Page::SplitRow()
{
    if (colCount <= 1)
        return;
    const double colW = (maxX - minX) / colCount;
    std::vector<double> cuts;
    for (Block* b : blocks) {
        // A block without a position cuts nothing (and NaN cannot be sorted).
        if (b->getColumn() < 0 && b->getWidth() > 0.9 * colW && !std::isnan(b->getY()))
            cuts.push_back(b->getY() + safemath::TruncAbs(0.3 * b->getHeight()));
    }
    if (cuts.empty())
        return;
    std::sort(cuts.begin(), cuts.end());
    for (Block* b : blocks) {
        // Cuts strictly above the block's lower edge.
        const auto above = cuts.end() - std::upper_bound(cuts.begin(), cuts.end(), b->getY());
        b->setRowBand(1 + static_cast<int>(above));
    }
}

void Page::SetBlocksCol()
{
    if (colsAssigned)
        return;
    AllInOneColumn(blocks);
    colsAssigned = true;
}

void Page::SetBlockOverColTo1()
{
    for (Block* b : blocks) {
        if (b->getColumn() < 0)
            b->setColumn(-b->getColumn());
    }
}

void Page::computColWidth()
{
    // One box per column: its left edge is the leftmost text block of the
    // column, its width reaches the next column's left edge (the last one the
    // page's right edge). Nothing in the page parse calls this, so parsed
    // pages keep an empty column list.
    for (PageCol* c : cols)
        delete c;
    cols.clear();
    const int n = std::max(colCount, 1);
    for (int k = 0; k < n; ++k) {
        auto* c = new PageCol;
        c->index = k;
        c->left = width;
        cols.push_back(c);
    }
    for (Block* b : blocks) {
        if (!dynamic_cast<TextBlock*>(b))
            continue;
        const int col = std::abs(b->getColumn());
        if (col < 1 || col > n)
            continue;
        PageCol* c = cols[static_cast<std::size_t>(col - 1)];
        c->left = std::min(c->left, b->getX());
    }
    for (int k = 0; k < n; ++k) {
        const double next = k + 1 < n ? cols[static_cast<std::size_t>(k + 1)]->left : width;
        cols[static_cast<std::size_t>(k)]->width = next - cols[static_cast<std::size_t>(k)]->left;
    }
}
