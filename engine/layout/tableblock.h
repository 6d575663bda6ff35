// Tables built from ruling lines: the line segments and their groups, and the
// table of rows and cells, each cell holding a text block.
#pragma once

#include "engine/layout/block.h"

#include <vector>

class TextBlock;
class TextCollect;

// A ruling line segment. Kept with x1 <= x2 and y1 >= y2: a horizontal line
// has y1 == y2, a vertical line x1 == x2 and runs from y1 down to y2.
struct line {
    int kind = 0;       // 1 horizontal, 2 vertical
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
};

double lineLength(const line* l);

// A group of lines that touch or cross; the lines are not owned.
class lineblock {
public:
    lineblock() = default;

    bool AddLine(line* l);
    std::vector<line*>* GetLines() { return &lines; }
    static bool isCross(const line* a, const line* b);
    static bool sortline(const line* a, const line* b);

private:
    std::vector<line*> lines;
};

class TableBlock : public Block {
public:
    class TableCol {
    public:
        explicit TableCol(IWriter* writer);
        ~TableCol();
        TableCol(const TableCol&) = default;
        TableCol& operator=(const TableCol&) = default;

        void Write(void* ctx);
        TextBlock* getBlock() const { return block; }
        void appendText(TextCollect* run);

        double x = 0;        // left edge
        double y = 0;        // lower edge
        double right = 0;    // right edge
        double width = 0;    // right - x
        int rowSpan = 0;     // 0 for a cell of one row, else the rows covered
        int colSpan = 0;
        TextBlock* block = nullptr;   // owned
        IWriter* writer = nullptr;
    };

    class TableR {
    public:
        explicit TableR(IWriter* writer) : writer(writer) {}
        ~TableR();
        TableR(const TableR&) = default;
        TableR& operator=(const TableR&) = default;

        void Write(void* ctx);
        std::vector<TableCol*> getCols() const { return cols; }
        void appendCol(TableCol* col) { cols.push_back(col); }

        double x = 0;        // left end of the line that closes the row
        double y = 0;        // y of that line
        std::vector<TableCol*> cols;   // owned, left to right
        IWriter* writer = nullptr;
    };

    explicit TableBlock(IWriter* writer) : Block(writer) {}
    ~TableBlock() override;

    void Write(void* ctx) override;
    bool EatBlock(Block*) override { return false; }

    std::vector<TableR*> getRows() const { return rows; }
    void appendRow(TableR* row) { rows.push_back(row); }
    // Puts the run into the cell it falls in; true when a cell took it.
    bool AddText(TextCollect* run);
    bool IsEmpty() const;
    bool IsValid() const;
    void deleteInvildRows();

private:
    std::vector<TableR*> rows;   // owned
};
