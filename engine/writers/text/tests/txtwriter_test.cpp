// The plain-text writer: page marks, the paragraph rule, blocks of every
// kind, tables, and saving under a free name.
#include "engine/layout/book.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "engine/writers/text/txtwriter.h"
#include "parser/parser.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

class PageTestAccess {
public:
    static std::vector<Block*>& blocks(Page& p) { return p.blocks; }
};

namespace {

using testutil::Quote;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

struct Run_ {
    std::string text;
    double x, y, w, h;
};

// A text block at x 100, 300 wide, holding the runs in the order given.
std::unique_ptr<TextBlock> Block_(const std::vector<Run_>& runs, IWriter* w)
{
    auto b = std::make_unique<TextBlock>(w);
    b->setPosition(100, 400);
    b->setWidth(300);
    for (const Run_& r : runs) {
        auto* t = new Text;
        t->text = r.text;
        t->x = r.x;
        t->y = r.y;
        t->width = r.w;
        t->height = r.h;
        b->addText(t);
    }
    return b;
}

TEST(TxtWriter, ParagraphRule)
{
    struct Case {
        const char* what;
        std::vector<Run_> runs;
        std::string expected;
    } cases[] = {
        {"0.5 lower is the same line", {{"a", 100, 500, 20, 10}, {"b", 125, 499.5, 20, 10}},
         "a b "},
        {"a full line continues", {{"first", 100, 500, 290, 10}, {"second", 100, 486, 50, 10}},
         "first second "},
        {"indented by more than its height",
         {{"first", 100, 500, 290, 10}, {"second", 110.5, 486, 50, 10}},
         "first \r\nsecond "},
        {"indented by its height", {{"first", 100, 500, 290, 10}, {"second", 110, 486, 50, 10}},
         "first second "},
        {"short line ends the paragraph",
         {{"first", 100, 500, 240, 10}, {"second", 100, 486, 50, 10}},
         "first \r\nsecond "},
        {"5 heights short exactly", {{"first", 100, 500, 250, 10}, {"second", 100, 486, 50, 10}},
         "first second "},
        {"three spaces and more", {{"first", 100, 500, 290, 10}, {"   x", 100, 486, 50, 10}},
         "first \r\n   x "},
        {"three spaces alone", {{"first", 100, 500, 290, 10}, {"   ", 100, 486, 50, 10}},
         "first     "},
        {"same line, far right", {{"a", 100, 500, 20, 10}, {"b", 300, 500.9, 20, 10}}, "a b "},
        {"one point lower is a new line",
         {{"a", 100, 500, 20, 10}, {"b", 200, 499, 20, 10}},
         "a \r\nb "},
        {"control characters dropped", {{"a\x01" "b\x1f", 100, 500, 20, 10}}, "ab "},
    };
    for (const Case& c : cases) {
        TxtWriter w;
        auto b = Block_(c.runs, &w);
        b->Write(nullptr);
        EXPECT_EQ(w.text(), c.expected) << c.what;
    }
}

TEST(TxtWriter, EmptyBlockWritesNothing)
{
    TxtWriter w;
    TextBlock b(&w);
    w.writeText(nullptr, &b);
    EXPECT_EQ(w.text(), "");
}

TEST(TxtWriter, EveryBlockEndsWithALineEnd)
{
    TxtWriter w;
    Page page(&w);
    auto text = Block_({{"words", 100, 500, 30, 10}}, &w);
    PageTestAccess::blocks(page).push_back(new ImageBlock(&w));
    PageTestAccess::blocks(page).push_back(text.release());
    page.write(nullptr);
    EXPECT_EQ(w.text(), "\r\nwords \r\n");
}

TEST(TxtWriter, TableCellsInRowOrder)
{
    TxtWriter w;
    TableBlock table(&w);
    const char* cells[2][2] = {{"a1", "a2"}, {"b1", "b2"}};
    for (auto& row : cells) {
        auto* r = new TableBlock::TableR(&w);
        for (const char* cell : row) {
            auto* c = new TableBlock::TableCol(&w);
            auto* t = new Text;
            t->text = cell;
            c->getBlock()->addText(t);
            r->appendCol(c);
        }
        table.appendRow(r);
    }
    TableBlock empty(&w);
    empty.Write(nullptr);
    EXPECT_EQ(w.text(), "");
    table.Write(nullptr);
    EXPECT_EQ(w.text(), "a1 a2 b1 b2 ");
}

TEST(TxtWriter, BookWithPageMarks)
{
    TempDir dir;
    int status = -1;
    const std::string out = testutil::Run("/usr/bin/python3 " +
                                    Quote(std::string(TRANCEL_SOURCE_DIR) +
                                          "/engine/layout/tests/textfixtures.py") +
                                    " " + Quote(dir.str()) + " hello2 2>&1",
                                &status);
    ASSERT_EQ(status, 0) << out;
    Parser parser;
    parser.Load(utf8::ToWide(dir.str() + "hello2.pdf"), false, "");
    Book book(true, false, true, false, 0, nullptr, callback_funcs{}, false);
    book.ChangeBook(&parser);
    book.setWriter(new TxtWriter);
    ASSERT_TRUE(book.parse());
    const std::wstring path = book.write(utf8::ToWide(dir.path().string()), L"/hello");
    EXPECT_EQ(utf8::FromWide(path), dir.str() + "hello.txt");
    EXPECT_EQ(ReadFile(utf8::FromWide(path)),
              "Hello World \r\n\r\n========1========\r\n\r\n"
              "Hello World \r\n\r\n========2========\r\n\r\n");
}

TEST(TxtWriter, BookWithoutPagesGivesAnEmptyFile)
{
    TempDir dir;
    Book book(true, false, true, false, 0, nullptr, callback_funcs{}, false);
    book.setWriter(new TxtWriter);
    const std::wstring path = book.write(utf8::ToWide(dir.path().string()), L"/none");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(ReadFile(utf8::FromWide(path)), "");
}

TEST(TxtWriter, SaveNeverReplacesAFile)
{
    TempDir dir;
    WriteFile(dir.path() / "doc.txt", "keep");
    WriteFile(dir.path() / "doc(1).txt", "keep 1");
    TxtWriter w;
    auto b = Block_({{"new", 100, 500, 30, 10}}, &w);
    b->Write(nullptr);
    const std::wstring path = w.save(utf8::ToWide(dir.path().string()), L"/doc");
    EXPECT_EQ(utf8::FromWide(path), dir.str() + "doc(2).txt");
    EXPECT_EQ(ReadFile(dir.path() / "doc(2).txt"), "new ");
    EXPECT_EQ(ReadFile(dir.path() / "doc.txt"), "keep");
    EXPECT_EQ(ReadFile(dir.path() / "doc(1).txt"), "keep 1");
    // Saving again writes the whole buffer to the next free name.
    EXPECT_EQ(utf8::FromWide(w.save(utf8::ToWide(dir.path().string()), L"/doc")),
              dir.str() + "doc(3).txt");
}

TEST(TxtWriter, SaveFailureGivesAnEmptyPath)
{
    TempDir dir;
    TxtWriter w;
    // A folder that does not exist, and one that cannot be written.
    EXPECT_TRUE(w.save(utf8::ToWide(dir.str() + "missing"), L"/doc").empty());
    if (geteuid() != 0) {
        const auto ro = dir.path() / "ro";
        std::filesystem::create_directory(ro);
        chmod(ro.c_str(), 0555);
        EXPECT_TRUE(w.save(utf8::ToWide(ro.string()), L"/doc").empty());
    }
}

TEST(TxtWriter, NonAsciiBytesPassUnchanged)
{
    TempDir dir;
    TxtWriter w;
    auto b = Block_({{"Привет", 100, 500, 30, 10}, {"中文", 140, 500, 30, 10}}, &w);
    b->Write(nullptr);
    const std::wstring path = w.save(utf8::ToWide(dir.path().string()), L"/утф");
    EXPECT_EQ(ReadFile(utf8::FromWide(path)), "Привет 中文 ");
}

} // namespace
