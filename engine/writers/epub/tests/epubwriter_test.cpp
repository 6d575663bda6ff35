// The EPUB writer's block operations on hand-built blocks: how text becomes
// paragraphs of runs, how tables and images enter the content tree, and which
// contexts each operation serves.
#include "engine/layout/imageblock.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "engine/writers/content/objectinfo.h"
#include "engine/writers/content/tests/fakexml.h"
#include "engine/writers/epub/epubwriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Paragraphs = std::vector<std::vector<std::string>>;

struct Word {
    const char* text;
    double x, y, width, height;
};

// A text block at (blockX, 100) of the given width holding the words.
TextBlock* MakeBlock(IWriter* writer, double blockX, double blockWidth, std::initializer_list<Word> words)
{
    auto* block = new TextBlock(writer);
    block->setPosition(blockX, 100);
    block->setWidth(blockWidth);
    block->setHeight(100);
    for (const Word& w : words) {
        auto* t = new Text;
        t->text = w.text;
        t->x = w.x;
        t->y = w.y;
        t->width = w.width;
        t->height = w.height;
        t->fontSize = w.height;
        block->addText(t);
    }
    return block;
}

Paragraphs Collect(const ObjectList& objects)
{
    Paragraphs out;
    for (ObjectInfo* o : objects) {
        auto* line = dynamic_cast<LineInfo*>(o);
        if (!line)
            continue;
        out.emplace_back();
        for (ObjectInfo* r : line->getContents())
            out.back().push_back(dynamic_cast<WordsInfo*>(r)->getContent());
    }
    return out;
}

Paragraphs WriteToSection(std::initializer_list<Word> words, double blockX = 72, double blockWidth = 200)
{
    EpubWriter writer(std::wstring(L"/nowhere"));
    TextBlock* block = MakeBlock(&writer, blockX, blockWidth, words);
    Section section;
    writer.writeText(&section, block);
    delete block;
    return Collect(section.getContent());
}

// Block from x 72 to 272; lines 12 high, 14 apart. A "full" line reaches
// 262 (more than 5 heights short of 272 would be before 212).
TEST(EpubWriterText, ParagraphRules)
{
    struct Case {
        const char* what;
        std::initializer_list<Word> words;
        Paragraphs expected;
    } cases[] = {
        {"same line (y within 1) is one paragraph and one run; the gap gives a space",
         {{"Hello", 72, 500, 30, 12}, {"world", 106, 500.6, 30, 12}},
         {{"Hello world"}}},
        {"touching runs stay one word",
         {{"foot", 72, 500, 24, 12}, {"note", 96, 500, 24, 12}},
         {{"footnote"}}},
        {"a full line continues into the next",
         {{"full", 72, 500, 190, 12}, {"next", 72, 486, 30, 12}},
         {{"full", " next"}}},
        {"a short line ends the paragraph",
         {{"short", 72, 500, 100, 12}, {"next", 72, 486, 30, 12}},
         {{"short"}, {"next"}}},
        {"a line difference of exactly 1 is a new line",
         {{"short", 72, 500, 100, 12}, {"next", 72, 499, 30, 12}},
         {{"short"}, {"next"}}},
        {"three spaces and more text start a paragraph after a full line",
         {{"full", 72, 500, 190, 12}, {"   Indent", 72, 486, 50, 12}},
         {{"full"}, {"   Indent"}}},
        {"exactly three spaces do not",
         {{"full", 72, 500, 190, 12}, {"   ", 72, 486, 10, 12}},
         {{"full", "   "}}},
        {"indented by exactly its height continues",
         {{"full", 72, 500, 190, 12}, {"in", 84, 486, 20, 12}},
         {{"full", " in"}}},
        {"indented by more than its height starts a paragraph",
         {{"full", 72, 500, 190, 12}, {"in", 84.5, 486, 20, 12}},
         {{"full"}, {"in"}}},
        {"a run that brings its own space gets none added",
         {{"a", 72, 500, 10, 12}, {" b", 90, 500, 10, 12}},
         {{"a b"}}},
        {"each line of a paragraph is one run",
         {{"a", 72, 500, 10, 12}, {"b", 90, 500, 180, 12}, {"c", 72, 486, 10, 12}, {"d", 90, 486, 10, 12}},
         {{"a b", " c d"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WriteToSection(c.words), c.expected) << c.what;
}

TEST(EpubWriterText, FirstElementAlwaysStartsAParagraph)
{
    // The first line sits at y 0.5 (less than 1 from the start value 0) and
    // is indented: still one paragraph, begun by the first element.
    EXPECT_EQ(WriteToSection({{"a", 200, 0.5, 10, 12}, {"b", 212, 0.5, 10, 12}}),
              (Paragraphs{{"a b"}}));
    EXPECT_TRUE(WriteToSection({}).empty());
}

TEST(EpubWriterText, EveryLineOfACellIsAParagraph)
{
    EpubWriter writer(std::wstring(L"/nowhere"));
    TextBlock* block = MakeBlock(&writer, 0, 100,
                                 {{"a", 10, 50, 10, 12}, {"b", 30, 50, 10, 12}, {"c", 10, 49.9, 10, 12}});
    TableColumn cell;
    writer.writeText(&cell, block);
    EXPECT_EQ(Collect(cell.getContents()), (Paragraphs{{"a b"}, {"c"}}));

    // Other contexts take nothing.
    TableInfo table;
    TableRow row;
    writer.writeText(&table, block);
    writer.writeText(&row, block);
    writer.writeText(nullptr, block);
    EXPECT_EQ(table.getRowCount(), 0u);
    EXPECT_EQ(row.getColumnCount(), 0u);
    delete block;
}

TEST(EpubWriterImage, SizesAreWholePointsOfAtLeastOne)
{
    struct Case {
        double width, height, expectedWidth, expectedHeight;
    } cases[] = {{0.4, 30.9, 1, 30}, {-12.7, -0.2, 12, 1}, {100, 1, 100, 1}};
    EpubWriter writer(std::wstring(L"/nowhere"));
    for (const Case& c : cases) {
        ImageBlock block(&writer);
        block.setImagePath(L"image/3.jpg");
        block.setWidth(c.width);
        block.setHeight(c.height);
        Section section;
        TableColumn cell;
        writer.writeImage(&section, &block);
        writer.writeImage(&cell, &block);
        ASSERT_EQ(section.getContent().size(), 1u);
        ASSERT_EQ(cell.getContents().size(), 1u);
        auto* image = dynamic_cast<ImageInfo*>(section.getContent()[0]);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->getPath(), L"image/3.jpg");
        EXPECT_EQ(image->getWidth(), c.expectedWidth);
        EXPECT_EQ(image->getHeight(), c.expectedHeight);
    }
    // A block without a picture file is left out; so is any other context.
    ImageBlock noFile(&writer);
    Section section;
    writer.writeImage(&section, &noFile);
    TableRow row;
    ImageBlock block(&writer);
    block.setImagePath(L"image/4.jpg");
    writer.writeImage(&row, &block);
    EXPECT_TRUE(section.getContent().empty());
    EXPECT_EQ(row.getColumnCount(), 0u);
}

TableBlock::TableCol* Cell(IWriter* writer, const char* text, int rowSpan, int colSpan)
{
    auto* cell = new TableBlock::TableCol(writer);
    cell->rowSpan = rowSpan;
    cell->colSpan = colSpan;
    if (text) {
        auto* t = new Text;
        t->text = text;
        t->y = 10;
        t->fontSize = 10;
        cell->getBlock()->addText(t);
    }
    return cell;
}

TEST(EpubWriterTable, RowsAndCellsWithSpans)
{
    EpubWriter writer(std::wstring(L"/nowhere"));
    TableBlock table(&writer);
    auto* r1 = new TableBlock::TableR(&writer);
    r1->appendCol(Cell(&writer, "a", 2, 0));
    r1->appendCol(Cell(&writer, "b", -1, 2));
    auto* empty = new TableBlock::TableR(&writer);   // no cells: left out
    auto* r2 = new TableBlock::TableR(&writer);
    r2->appendCol(Cell(&writer, nullptr, 0, 1));
    table.appendRow(r1);
    table.appendRow(empty);
    table.appendRow(r2);

    Section section;
    writer.writeTable(&section, &table);
    ASSERT_EQ(section.getContent().size(), 1u);
    fakexml::Element body("body");
    section.writeXML(&body);
    // A negative row span becomes none.
    EXPECT_EQ(body.inner(), "<table cellpadding=\"0\" cellspacing=\"0\" border=\"1\">"
                            "<tr><td rowspan=\"2\"><p><span>a</span></p></td>"
                            "<td colspan=\"2\"><p><span>b</span></p></td></tr>"
                            "<tr><td></td></tr></table>");

    // A table inside a cell, or one without rows, writes nothing.
    TableColumn cell;
    writer.writeTable(&cell, &table);
    EXPECT_TRUE(cell.getContents().empty());
    TableBlock noRows(&writer);
    Section other;
    writer.writeTable(&other, &noRows);
    EXPECT_TRUE(other.getContent().empty());

    // A cell goes only into a row.
    std::unique_ptr<TableBlock::TableCol> lone(Cell(&writer, "x", 0, 0));
    writer.writeTableCol(&other, lone.get());
    TableInfo tableInfo;
    writer.writeTableCol(&tableInfo, lone.get());
    EXPECT_TRUE(other.getContent().empty());
    EXPECT_EQ(tableInfo.getRowCount(), 0u);
}

} // namespace
