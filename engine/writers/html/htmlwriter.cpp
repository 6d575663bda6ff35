#include "engine/writers/html/htmlwriter.h"

#include "engine/layout/block.h"
#include "engine/layout/book.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/strutil.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/html/htmlbook.h"
#include "engine/writers/html/htmlcontent.h"

#include <cmath>

namespace {

// The block operations write into the page's section; any other context (or
// none) makes them do nothing.
HtmlSection* SectionOf(void* ctx)
{
    return ctx ? dynamic_cast<HtmlSection*>(static_cast<ObjectInfo*>(ctx)) : nullptr;
}

// |trunc(v)|, and 1 when that is less than 1 (also for a size that is not a
// number).
double WholeSize(double v)
{
    const double w = std::fabs(std::trunc(v));
    return w >= 1 ? w : 1;
}

} // namespace

HtmlWriter::HtmlWriter(double s) : scale(s)
{
}

void HtmlWriter::write(Book* source)
{
    startBook(new HtmlBook(scale));
    if (!source)
        return;
    book->prepareFrame();
    book->addPageChapters(source->CountPages(), [source](int i) { return source->GetPage(i); },
                          [this](Page* page) {
        auto* section = new HtmlSection(scale);
        section->SetHeight(page->GetHeight());
        section->SetWidth(page->GetWidth());
        page->write(static_cast<ObjectInfo*>(section));
        return static_cast<Section*>(section);
    }, [this](Chapter* chapter) { book->stageChapter(chapter); });
}

void HtmlWriter::writeText(void* ctx, TextBlock* block)
{
    HtmlSection* section = SectionOf(ctx);
    if (!section || !block)
        return;
    block->returnTheFirst();
    for (Text* t = block->getCurrentElement(); t; block->setNext(), t = block->getCurrentElement()) {
        auto* line = new HtmlLineInfo(scale);
        line->setX(t->x);
        // Measured down from the top edge of the page the element lies on.
        line->setY(t->pageHeight - t->y - t->height);
        section->appendObject(line);

        auto* run = new HtmlWordsInfo(scale);
        run->setContent(t->text);
        WordsInfo::WordStyle style;
        style.color = double2rgbstring(t->color);
        style.fontName = t->fontName;
        style.fontSize = t->fontSize;
        style.bold = t->bold;
        style.italic = t->italic;
        style.underline = false;   // underline and strike-out are not carried
        run->setStyle(style);
        line->appendContent(run);
    }
}

void HtmlWriter::writeTable(void* ctx, TableBlock* block)
{
    if (!SectionOf(ctx) || !block)
        return;
    for (TableBlock::TableR* row : block->getRows()) {
        if (row)
            row->Write(ctx);
    }
}

void HtmlWriter::writeTableR(void* ctx, TableBlock::TableR* row)
{
    if (!SectionOf(ctx) || !row)
        return;
    for (TableBlock::TableCol* cell : row->getCols()) {
        if (cell)
            cell->Write(ctx);
    }
}

void HtmlWriter::writeTableCol(void* ctx, TableBlock::TableCol* cell)
{
    if (!SectionOf(ctx) || !cell || !cell->getBlock())
        return;
    cell->getBlock()->Write(ctx);
}

void HtmlWriter::writeImage(void* ctx, ImageBlock* block)
{
    HtmlSection* section = SectionOf(ctx);
    if (!section || !block)
        return;
    auto* image = new HtmlImageInfo(scale);
    image->setPath(block->getImagePath());
    image->SetPosition(block->getX(),
                       section->GetHeight() - block->getY() - block->getHeight());
    image->setHeight(WholeSize(block->getHeight()));
    image->setWidth(WholeSize(block->getWidth()));
    section->appendObject(image);
}
