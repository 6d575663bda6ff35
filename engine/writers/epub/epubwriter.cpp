#include "engine/writers/epub/epubwriter.h"

#include "engine/layout/block.h"
#include "engine/layout/book.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/content/objectinfo.h"
#include "engine/writers/epub/epub.h"

#include <cmath>

namespace {

// The block operations receive the content object they write into; anything
// else (or null) makes them do nothing.
template <class T>
T* ContextAs(void* ctx)
{
    return ctx ? dynamic_cast<T*>(static_cast<ObjectInfo*>(ctx)) : nullptr;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Runs are words: the page model reports text without the spaces between
// words. A reader needs the space back wherever two runs of one paragraph
// meet at a line break or with a visible gap between them; runs that touch
// (a change of size inside a word) stay joined.
bool NeedsSpace(const Text* prev, const Text* t, bool newLine)
{
    if (!prev || prev->text.empty() || t->text.empty() || IsSpace(prev->text.back()) ||
        IsSpace(t->text.front()))
        return false;
    if (newLine)
        return true;
    const double size = t->fontSize > 0 ? t->fontSize : t->height;
    return t->x - (prev->x + prev->width) > 0.1 * size;
}

// Adds the element's text to the paragraph. The words of one line share one
// run: a reflowed run carries no position or style, and a span per word
// would only multiply the markup (and the time it takes to write it).
void AppendText(LineInfo* paragraph, WordsInfo*& lastRun, const Text* prev, const Text* t,
                bool newLine)
{
    // A word broken by a hyphen at the end of the line is whole again.
    if (newLine && prev && lastRun) {
        const LineJoin join = JoinAtLineEnd(prev->text, t->text);
        if (join != LineJoin::Space) {
            std::string content = lastRun->getContent();
            if (join == LineJoin::DropHyphen)
                DropLineEndHyphen(content);
            lastRun->setContent(content + t->text);
            return;
        }
    }
    const std::string text = NeedsSpace(prev, t, newLine) ? " " + t->text : t->text;
    if (lastRun && prev && !newLine) {
        lastRun->setContent(lastRun->getContent() + text);
        return;
    }
    lastRun = new WordsInfo;
    lastRun->setContent(text);
    paragraph->appendContent(lastRun);
}

// |trunc(v)|, and 1 when that is less than 1.
double WholeSize(double v)
{
    const double w = std::fabs(std::trunc(v));
    return w < 1 ? 1 : w;
}

} // namespace

EpubWriter::EpubWriter(std::string narrowFolder) : folder(std::move(narrowFolder))
{
}

EpubWriter::EpubWriter(std::wstring folderOfTemplates) : templateFolder(std::move(folderOfTemplates))
{
}

void EpubWriter::write(Book* source)
{
    startBook(new EPUB(templateFolder));
    book->setEpubInfo(new EPUBInfo);
    if (!source)
        return;
    book->addPageChapters(source->CountPages(), [source](int i) { return source->GetPage(i); },
                          [](Page* page) -> Section* {
        auto* section = new Section;
        page->write(section);
        return section;
    }, [this](Chapter* chapter) { book->stageChapter(chapter); });
}

void EpubWriter::writeText(void* ctx, TextBlock* block)
{
    if (!block)
        return;
    if (auto* section = ContextAs<Section>(ctx)) {
        double lineY = 0;
        LineInfo* current = nullptr;
        WordsInfo* lastRun = nullptr;
        double prevRight = 0;
        double prevHeight = 0;
        const Text* prev = nullptr;
        auto startParagraph = [&] {
            current = new LineInfo;
            section->appendObject(current);
            lastRun = nullptr;
            prev = nullptr;
        };
        block->returnTheFirst();
        for (Text* t = block->getCurrentElement(); t; block->setNext(), t = block->getCurrentElement()) {
            const bool newLine = std::fabs(t->y - lineY) >= 1;
            if (newLine) {
                if (t->x - block->getX() > t->height)
                    startParagraph();   // indented by more than its height
                else if (t->text.size() > 3 && t->text.compare(0, 3, "   ") == 0)
                    startParagraph();   // starts with three spaces
                else if (block->getX() + block->getWidth() > prevRight + 5.0 * prevHeight)
                    startParagraph();   // the previous line ended short
                lineY = t->y;
            }
            if (!current) {
                startParagraph();
                lineY = t->y;
            }
            prevRight = t->x + t->width;
            prevHeight = t->height;
            AppendText(current, lastRun, prev, t, newLine);
            prev = t;
        }
    } else if (auto* cell = ContextAs<TableColumn>(ctx)) {
        // Every line of a cell is a paragraph of its own.
        double lineY = 0;
        LineInfo* current = nullptr;
        WordsInfo* lastRun = nullptr;
        const Text* prev = nullptr;
        block->returnTheFirst();
        for (Text* t = block->getCurrentElement(); t; block->setNext(), t = block->getCurrentElement()) {
            if (t->y != lineY || !current) {
                current = new LineInfo;
                cell->appendContent(current);
                lineY = t->y;
                lastRun = nullptr;
                prev = nullptr;
            }
            AppendText(current, lastRun, prev, t, false);
            prev = t;
        }
    }
}

void EpubWriter::writeTable(void* ctx, TableBlock* block)
{
    auto* section = ContextAs<Section>(ctx);
    if (!section || !block)
        return;
    auto* table = new TableInfo;
    for (TableBlock::TableR* row : block->getRows())
        row->Write(table);
    // XHTML has no table without rows.
    if (table->getRowCount() == 0) {
        delete table;
        return;
    }
    section->appendObject(table);
}

void EpubWriter::writeTableR(void* ctx, TableBlock::TableR* row)
{
    auto* table = ContextAs<TableInfo>(ctx);
    if (!table || !row)
        return;
    auto* tableRow = new TableRow;
    for (TableBlock::TableCol* cell : row->getCols())
        cell->Write(tableRow);
    // XHTML has no row without cells.
    if (tableRow->getColumnCount() == 0) {
        delete tableRow;
        return;
    }
    table->appendRow(tableRow);
}

void EpubWriter::writeTableCol(void* ctx, TableBlock::TableCol* cell)
{
    auto* tableRow = ContextAs<TableRow>(ctx);
    if (!tableRow || !cell)
        return;
    auto* column = new TableColumn;
    // A span below zero (left by the removal of empty rows) is no span.
    column->setRowSpan(cell->rowSpan < 0 ? 0 : cell->rowSpan);
    column->setColSpan(cell->colSpan);
    if (TextBlock* text = cell->getBlock())
        text->Write(column);
    tableRow->appendColumn(column);
}

void EpubWriter::writeImage(void* ctx, ImageBlock* block)
{
    if (!block || block->getImagePath().empty())
        return;
    auto* section = ContextAs<Section>(ctx);
    auto* cell = section ? nullptr : ContextAs<TableColumn>(ctx);
    if (!section && !cell)
        return;
    auto* image = new ImageInfo;
    image->setPath(block->getImagePath());
    image->setWidth(WholeSize(block->getWidth()));
    image->setHeight(WholeSize(block->getHeight()));
    if (section)
        section->appendObject(image);
    else
        cell->appendContent(image);
}
