#include "engine/layout/tableblock.h"

#include "engine/layout/iwriter.h"
#include "engine/layout/textblock.h"

#include <cmath>

double lineLength(const line* l)
{
    return std::hypot(l->x1 - l->x2, l->y1 - l->y2);
}

bool lineblock::AddLine(line*) { return false; }
bool lineblock::isCross(const line*, const line*) { return false; }
bool lineblock::sortline(const line*, const line*) { return false; }

TableBlock::TableCol::TableCol(IWriter* writer) : block(new TextBlock(writer)), writer(writer) {}

TableBlock::TableCol::~TableCol()
{
    delete block;
}

void TableBlock::TableCol::Write(void* ctx)
{
    writer->writeTableCol(ctx, this);
}

void TableBlock::TableCol::appendText(TextCollect*) {}

TableBlock::TableR::~TableR()
{
    for (TableCol* c : cols)
        delete c;
}

void TableBlock::TableR::Write(void* ctx)
{
    writer->writeTableR(ctx, this);
}

TableBlock::~TableBlock()
{
    for (TableR* r : rows)
        delete r;
}

void TableBlock::Write(void* ctx)
{
    writer->writeTable(ctx, this);
}

bool TableBlock::AddText(TextCollect*) { return false; }
bool TableBlock::IsEmpty() const { return true; }
bool TableBlock::IsValid() const { return false; }
void TableBlock::deleteInvildRows() {}
