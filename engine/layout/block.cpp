#include "engine/layout/block.h"

#include "engine/layout/safemath.h"

#include <algorithm>

namespace {

// Creation order only breaks ties among the blocks of one page, and a page is
// analysed on one thread: a counter per thread keeps the threads of a job
// off one shared cache line.
thread_local std::uint64_t g_blockCreationOrder = 0;

} // namespace

std::uint64_t Block::NextCreationOrder()
{
    return g_blockCreationOrder++;
}

void Block::ResetCreationOrder()
{
    g_blockCreationOrder = 0;
}

bool Block::SortPredicate(const Block* a, const Block* b)
{
    if (a->rowBand != b->rowBand)
        return a->rowBand < b->rowBand;
    if (a->column != b->column)
        return a->column < b->column;
    if (a->readingLine != b->readingLine)
        return a->readingLine < b->readingLine;
    const double ax = safemath::Key(a->x);
    const double bx = safemath::Key(b->x);
    if (ax != bx)
        return ax < bx;
    return a->creationOrder < b->creationOrder;
}

void Block::SortReadingOrder(std::vector<Block*>& blocks)
{
    // Top-down order inside each band and column: lower edge from the top,
    // creation order among equals. NaN positions count as -infinity.
    std::vector<Block*> order(blocks);
    std::sort(order.begin(), order.end(), [](const Block* a, const Block* b) {
        if (a->rowBand != b->rowBand)
            return a->rowBand < b->rowBand;
        if (a->column != b->column)
            return a->column < b->column;
        const double ay = safemath::Key(a->y);
        const double by = safemath::Key(b->y);
        if (ay != by)
            return ay > by;
        return a->creationOrder < b->creationOrder;
    });

    // A block opens a new line when the first block of the current line lies
    // above it by more than its own (truncated) height; otherwise their
    // vertical extents are taken to share a strip and they read left to right.
    const Block* lineTop = nullptr;
    int line = 0;
    for (Block* b : order) {
        if (!lineTop || lineTop->rowBand != b->rowBand || lineTop->column != b->column) {
            line = 0;
            lineTop = b;
        } else if (safemath::Key(lineTop->y) - safemath::Key(b->y) >
                   safemath::TruncAbs(b->height)) {
            ++line;
            lineTop = b;
        }
        b->readingLine = line;
    }
    std::sort(blocks.begin(), blocks.end(), SortPredicate);
}

bool Block::isContain(Block* other)
{
    const Block& a = *this;
    const Block& b = *other;
    if (a.column != b.column)
        return false;
    if (b.dim < 0.1)
        return false;
    // A zero line size on this block makes the ratio infinite: no merge.
    if (a.dim == 0.0)
        return false;
    const double ratio = std::max(b.dim / a.dim, a.dim / b.dim);
    if (ratio > 3.0)
        return false;
    const double aBottom = a.y - 0.4 * a.dim;
    const double aTop = a.y + a.height + 0.4 * a.dim;
    const double bBottom = b.y - 0.4 * b.dim;
    const double bTop = b.y + b.height + 0.4 * b.dim;
    return rectsOverlap(b.x, bBottom, b.x + b.width, bTop, a.x, aBottom, a.x + a.width, aTop);
}
