#include "engine/layout/page.h"

#include "engine/layout/block.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/tableblock.h"
#include "parser/parser.h"

Page::Page(IWriter* writer) : writer(writer) {}

Page::~Page()
{
    for (Block* b : blocks)
        delete b;
    for (line* l : rulingLines)
        delete l;
}

void Page::write(void* ctx)
{
    writer->writePage(ctx, this);
}

void Page::ParserPage(Parser* parser, int page, bool, bool, bool, bool, bool)
{
    parser->SetCurrentPage(page);
    parser->GetPageWidth(width, -1);
    parser->GetPageHeight(height, -1);
}

bool Page::addtext(TextCollect*) { return true; }
void Page::combineTextBlock() {}
void Page::makePagePicture(Parser*, int) {}
