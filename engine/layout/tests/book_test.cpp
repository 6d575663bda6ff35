#include "engine/layout/book.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/page.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/tableblock.h"

#include "engine/layout/tests/jobfixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using jobtest::Call;
using jobtest::Fixtures;
using jobtest::Recorder;

// Counts what the page model asks of a writer.
class CountingWriter : public IWriter {
public:
    explicit CountingWriter(int* deletions) : deletions_(deletions) {}
    ~CountingWriter() override { ++*deletions_; }

    void write(Book* book) override
    {
        for (int i = 0; i < book->CountPages(); ++i) {
            Page* p = book->GetPage(i);
            if (!p)
                break;
            mostHeld = std::max(mostHeld, book->PagesHeld());
            p->write(nullptr);
        }
    }
    void writePage(void* ctx, Page* page) override
    {
        ++pages;
        for (Block* b : page->GetBlock())
            b->Write(ctx);
    }
    std::wstring save(const std::wstring& dir, const std::wstring& name) override
    {
        return dir + name + L".out";
    }
    void writeText(void*, TextBlock*) override { ++blocks; }
    void writeTable(void* ctx, TableBlock* t) override
    {
        ++tables;
        for (TableBlock::TableR* r : t->getRows())
            r->Write(ctx);
    }
    void writeGraphic(void*, GraphicBlock*) override { ++blocks; }
    void writeImage(void*, ImageBlock*) override { ++blocks; }
    void writeTableR(void*, TableBlock::TableR*) override { ++rows; }
    void writeTableCol(void*, TableBlock::TableCol*) override { ++cells; }
    void copyfiles(const std::string&) override {}

    int pages = 0, blocks = 0, tables = 0, rows = 0, cells = 0;
    int mostHeld = 0;   // the most pages the book held at once

private:
    int* deletions_;
};

class BookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parser.Load(utf8::ToWide(Fixtures::get().path("ten")), false, "");
        ASSERT_EQ(parser.GetPageCount(), 10);
    }

    std::unique_ptr<Book> MakeBook()
    {
        auto book = std::make_unique<Book>(true, false, true, false, 4, &rec, rec.callbacks(), false);
        book->ChangeBook(&parser);
        book->setWriter(new CountingWriter(&deletions));
        return book;
    }

    std::vector<int> Values() const
    {
        std::vector<int> v;
        for (const Call& c : rec.calls) {
            EXPECT_EQ(c.item, 4);
            EXPECT_EQ(c.message, WM_PROGRESS_PERCENT);
            v.push_back(c.value);
        }
        return v;
    }

    Parser parser;
    Recorder rec;
    int deletions = 0;
};

TEST_F(BookTest, WholeDocumentSpreadsProgressOverThirtyToEighty)
{
    Parser three;
    three.Load(utf8::ToWide(Fixtures::get().path("three")), false, "");
    Book book(true, false, true, false, 0, &rec, rec.callbacks(), false);
    book.ChangeBook(&three);
    book.setWriter(new CountingWriter(&deletions));
    ASSERT_TRUE(book.parse());
    EXPECT_EQ(book.GetPages().size(), 3u);
    EXPECT_EQ(book.getPageCount(), 3);
    EXPECT_EQ(rec.calls, jobtest::Seq(0, {{1226, 46}, {1226, 62}, {1226, 79}}));
}

TEST_F(BookTest, RangesAndListsSelectPagesAndProgress)
{
    struct Case {
        int first, last;
        std::vector<int> list;   // used when not empty
        std::size_t pages;
        std::vector<int> values;
        std::vector<double> widths;
    };
    const Case cases[] = {
        {4, 4, {}, 1, {80}, {}},
        {5, 2, {}, 3, {46, 62, 79}, {}},           // a reversed range starts at 0
        {8, 20, {}, 2, {55, 80}, {}},              // ends at the last page
        {0, 0, {0, 99, 1}, 2, {46, 79}, {}},       // 99 is skipped but keeps its slot
        {0, 0, {-1}, 0, {}, {}},                   // names no page
        {0, 0, {9, 9}, 2, {55, 80}, {}},           // duplicates are kept
    };
    for (const Case& c : cases) {
        rec.calls.clear();
        auto book = MakeBook();
        const bool done = c.list.empty() ? book->parse(c.first, c.last) : book->parse(c.list);
        EXPECT_TRUE(done);
        EXPECT_EQ(book->GetPages().size(), c.pages) << c.first << ".." << c.last;
        EXPECT_EQ(Values(), c.values) << c.first << ".." << c.last;
    }
}

TEST_F(BookTest, CancelBeforeThirdPageKeepsTwoPages)
{
    rec.cancelAt = 3;
    auto book = MakeBook();
    EXPECT_FALSE(book->parse(0, 9));
    EXPECT_EQ(book->GetPages().size(), 2u);
    EXPECT_EQ(Values(), (std::vector<int>{35, 40}));
}

TEST_F(BookTest, WriterIsOwnedAndDeletedOnce)
{
    {
        auto book = MakeBook();
        book->setWriter(new CountingWriter(&deletions));
        EXPECT_EQ(deletions, 1) << "a second writer replaces and deletes the first";
    }
    EXPECT_EQ(deletions, 2) << "a book never written still deletes its writer once";
}

TEST_F(BookTest, WriteVisitsEveryPageAndSaves)
{
    auto book = MakeBook();
    auto* writer = new CountingWriter(&deletions);
    book->setWriter(writer);
    ASSERT_TRUE(book->parse(std::vector<int>{2, 3, 4}));
    EXPECT_EQ(book->write(L"/out", L"/name"), L"/out/name.out");
    EXPECT_EQ(writer->pages, 3);

    // A table without rows reaches writeTable only.
    TableBlock table(writer);
    table.Write(nullptr);
    EXPECT_EQ(writer->tables, 1);
    EXPECT_EQ(writer->rows, 0);
    EXPECT_EQ(writer->cells, 0);
}

TEST_F(BookTest, StreamingBookAnalysesPagesWhileTheWriterWalksThemAndLetsThemGo)
{
    // The same progress as a book that analyses at once, on one thread and
    // on several; at most the page written and the one before are held; a
    // cancel stops the walk and nothing is saved.
    struct Case {
        int threads;
        int cancelAt;
        int pagesWritten;
        std::vector<int> values;
    };
    const Case cases[] = {
        {1, 0, 7, {37, 44, 51, 58, 65, 72, 79}},
        {4, 0, 7, {37, 44, 51, 58, 65, 72, 79}},
        {4, 3, 2, {37, 44}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.threads) + " threads, cancel at " + std::to_string(c.cancelAt));
        PagePipeline::SetThreadLimit(c.threads);
        rec.calls.clear();
        rec.cancelAsks = 0;
        rec.cancelAt = c.cancelAt;
        auto book = MakeBook();
        auto* writer = new CountingWriter(&deletions);
        book->setWriter(writer);
        book->SetStreaming(true);
        ASSERT_TRUE(book->parse(2, 8));
        EXPECT_TRUE(Values().empty()) << "nothing is analysed before the writer asks";
        EXPECT_EQ(book->CountPages(), 7);
        const std::wstring saved = book->write(L"/out", L"/name");
        EXPECT_EQ(saved, c.cancelAt ? L"" : L"/out/name.out");
        EXPECT_EQ(book->WasCancelled(), c.cancelAt != 0);
        EXPECT_EQ(writer->pages, c.pagesWritten);
        EXPECT_LE(writer->mostHeld, 2);
        EXPECT_EQ(Values(), c.values);
        EXPECT_EQ(book->PagesHeld(), 0) << "every page let go";
    }

    // A writer that asks for every page at once gets them all.
    rec.calls.clear();
    rec.cancelAt = 0;
    auto book = MakeBook();
    book->SetStreaming(true);
    ASSERT_TRUE(book->parse(2, 8));
    const auto all = book->GetPages();
    EXPECT_EQ(std::count(all.begin(), all.end(), nullptr), 0);
    EXPECT_EQ(book->PagesHeld(), 7);
    EXPECT_EQ(Values(), (std::vector<int>{37, 44, 51, 58, 65, 72, 79}));
    PagePipeline::SetThreadLimit(0);
}

} // namespace
