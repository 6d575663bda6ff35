// A rectangular piece of a page's layout: the common base of text blocks,
// tables, pictures and graphic groups. Coordinates are points, x to the right
// from the page's left edge, y upward from its bottom edge; (x, y) is the
// lower-left corner.
#pragma once

class IWriter;

// Two rectangles (left, bottom, right, top) overlap when both are non-empty
// and each reaches the other; touching edges count.
bool rectsOverlap(double l1, double b1, double r1, double t1,
                  double l2, double b2, double r2, double t2);

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

    // Reading order: true when a goes before b.
    static bool SortPredicate(const Block* a, const Block* b);
    // Vertical proximity test by which the page merges two text blocks or two
    // picture regions; called on the earlier block with the later one.
    bool isContain(Block* other);

    int getColumn() const { return column; }
    void setColumn(int c) { column = c; }
    int getRowBand() const { return rowBand; }
    void setRowBand(int r) { rowBand = r; }
    IWriter* getWriter() const { return writer; }

protected:
    double x = 0;
    double y = 0;
    double height = 0;
    double width = 0;
    double dim = 0;          // line size of the block's latest element
    IWriter* writer = nullptr;
    int column = 0;          // 1-based; negative: spans columns from -column; 0 unassigned
    int rowBand = 0;         // 1-based; 0 unassigned
};
