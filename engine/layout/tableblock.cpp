#include "engine/layout/tableblock.h"

#include "engine/layout/iwriter.h"

void TableBlock::Write(void* ctx)
{
    writer->writeTable(ctx, this);
}

void TableBlock::TableR::Write(void* ctx)
{
    writer->writeTableR(ctx, this);
}

void TableBlock::TableCol::Write(void* ctx)
{
    writer->writeTableCol(ctx, this);
}
