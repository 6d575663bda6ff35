// A rectangular piece of a page's layout: the common base of text blocks,
// tables, pictures and graphic groups. Coordinates are points, x to the right
// from the page's left edge, y upward from its bottom edge; (x, y) is the
// lower-left corner.
#pragma once

#include <cstdint>
#include <vector>

class IWriter;

// Two rectangles (left, bottom, right, top) overlap when both are non-empty
// and each reaches the other; touching edges count. Any NaN gives false.
inline bool rectsOverlap(double l1, double b1, double r1, double t1,
                         double l2, double b2, double r2, double t2)
{
    return r1 >= l1 && t1 >= b1 && r2 >= l2 && t2 >= b2 &&
           r1 >= l2 && r2 >= l1 && t1 >= b2 && t2 >= b1;
}

class Block {
public:
    Block() = default;
    explicit Block(IWriter* writer) : writer(writer) {}
    Block(const Block&) = default;
    Block& operator=(const Block&) = default;
    virtual ~Block() = default;

    // Calls the writer operation of the block's kind.
    virtual void Write(void* ctx) = 0;
    // True when this block has absorbed other's content and rectangle.
    virtual bool EatBlock(Block* other) = 0;

    double getX() const { return x; }
    double getY() const { return y; }
    double getWidth() const { return width; }
    double getHeight() const { return height; }
    double getDim() const { return dim; }
    void setPosition(double nx, double ny) { x = nx; y = ny; }
    void setWidth(double w) { width = w; }
    void setHeight(double h) { height = h; }
    void setDim(double d) { dim = d; }
    // Both set the field to the value given; they do not add.
    void addWidth(double w) { width = w; }
    void addHeight(double h) { height = h; }

    // Reading order: true when a goes before b. A strict weak ordering on
    // (row band, column, reading line, x, creation order); the reading lines
    // are numbered by SortReadingOrder, which is how a page sorts its blocks.
    static bool SortPredicate(const Block* a, const Block* b);
    // Numbers the reading lines of the blocks (per row band and column, from
    // the top; blocks whose vertical extents overlap share a line), then
    // sorts them with SortPredicate.
    static void SortReadingOrder(std::vector<Block*>& blocks);
    // Vertical proximity test by which the page merges two text blocks or two
    // picture regions; called on the earlier block with the later one.
    bool isContain(Block* other);

    int getColumn() const { return column; }
    void setColumn(int c) { column = c; }
    int getRowBand() const { return rowBand; }
    void setRowBand(int r) { rowBand = r; }
    IWriter* getWriter() const { return writer; }
    // Creation order of the block (copies share it): the last tie-break of
    // the reading order, so that sorting never depends on memory addresses.
    std::uint64_t getCreationOrder() const { return creationOrder; }
    int getReadingLine() const { return readingLine; }
    // Creation numbers start again from 0 (at the start of every job).
    static void ResetCreationOrder();

protected:
    double x = 0;
    double y = 0;
    double height = 0;
    double width = 0;
    double dim = 0;          // line size of the block's latest element
    IWriter* writer = nullptr;
    int column = 0;          // 1-based; negative: spans columns from -column; 0 unassigned
    int rowBand = 0;         // 1-based; 0 unassigned
    int readingLine = 0;     // line number within band and column, set by SortReadingOrder
    std::uint64_t creationOrder = NextCreationOrder();

private:
    static std::uint64_t NextCreationOrder();
};
