// A table built from ruling lines: rows of cells, each cell holding a text
// block.
#pragma once

#include "engine/layout/block.h"

#include <vector>

class TextBlock;

class TableBlock : public Block {
public:
    class TableCol {
    public:
        explicit TableCol(IWriter* writer) : writer(writer) {}
        void Write(void* ctx);
        TextBlock* getBlock() const { return block; }

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
        void Write(void* ctx);
        std::vector<TableCol*>& getCols() { return cols; }

        double x = 0;        // left end of the line that closes the row
        double y = 0;        // y of that line
        std::vector<TableCol*> cols;   // owned, left to right
        IWriter* writer = nullptr;
    };

    explicit TableBlock(IWriter* writer) : Block(writer) {}

    void Write(void* ctx) override;
    bool EatBlock(Block*) override { return false; }
    std::vector<TableR*>& getRows() { return rows; }

protected:
    std::vector<TableR*> rows;   // owned
};
