#include "engine/layout/book.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/page.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/tableblock.h"

#include "engine/layout/tests/jobfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

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
    rec.cancelAfter = Call{4, WM_PROGRESS_PERCENT, 40};
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
        int cancelAfter;   // the progress value after which stop is asked; 0: never
        int pagesWritten;
        std::vector<int> values;
    };
    const Case cases[] = {
        {1, 0, 7, {37, 44, 51, 58, 65, 72, 79}},
        {4, 0, 7, {37, 44, 51, 58, 65, 72, 79}},
        {4, 44, 2, {37, 44}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.threads) + " threads, cancel after " + std::to_string(c.cancelAfter));
        PagePipeline::SetThreadLimit(c.threads);
        rec = Recorder();
        if (c.cancelAfter != 0)
            rec.cancelAfter = Call{4, WM_PROGRESS_PERCENT, c.cancelAfter};
        auto book = MakeBook();
        auto* writer = new CountingWriter(&deletions);
        book->setWriter(writer);
        book->SetStreaming(true);
        ASSERT_TRUE(book->parse(2, 8));
        EXPECT_TRUE(Values().empty()) << "nothing is analysed before the writer asks";
        EXPECT_EQ(book->CountPages(), 7);
        const std::wstring saved = book->write(L"/out", L"/name");
        EXPECT_EQ(saved, c.cancelAfter ? L"" : L"/out/name.out");
        EXPECT_EQ(book->WasCancelled(), c.cancelAfter != 0);
        EXPECT_EQ(writer->pages, c.pagesWritten);
        EXPECT_LE(writer->mostHeld, 2);
        EXPECT_EQ(Values(), c.values);
        EXPECT_EQ(book->PagesHeld(), 0) << "every page let go";
    }

    // A writer that asks for every page at once gets them all.
    rec = Recorder();
    auto book = MakeBook();
    book->SetStreaming(true);
    ASSERT_TRUE(book->parse(2, 8));
    const auto all = book->GetPages();
    EXPECT_EQ(std::count(all.begin(), all.end(), nullptr), 0);
    EXPECT_EQ(book->PagesHeld(), 7);
    EXPECT_EQ(Values(), (std::vector<int>{37, 44, 51, 58, 65, 72, 79}));
    PagePipeline::SetThreadLimit(0);
}

TEST_F(BookTest, StreamingBookWalksSeveralDocumentsEachFromItsOwnParser)
{
    // Three parse calls, each with its item index and its parser: the walk
    // reads each document's pages from its own parser, names each item in
    // its page progress, and holds at most two pages also where one
    // document gives way to the next.
    Parser three, five;
    three.Load(utf8::ToWide(Fixtures::get().path("three")), false, "");
    five.Load(utf8::ToWide(Fixtures::get().path("five")), false, "");
    for (int threads : {1, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        PagePipeline::SetThreadLimit(threads);
        rec.calls.clear();
        auto book = MakeBook();
        auto* writer = new CountingWriter(&deletions);
        book->setWriter(writer);
        book->SetStreaming(true);
        book->Setnum(0);
        ASSERT_TRUE(book->parse(2, 4));
        book->Setnum(1);
        book->ChangeBook(&three);
        ASSERT_TRUE(book->parse());
        book->Setnum(2);
        book->ChangeBook(&five);
        ASSERT_TRUE(book->parse(std::vector<int>{4, 0}));
        EXPECT_TRUE(rec.calls.empty()) << "nothing is analysed before the writer asks";

        EXPECT_EQ(book->write(L"/out", L"/name"), L"/out/name.out");
        EXPECT_EQ(writer->pages, 8);
        EXPECT_LE(writer->mostHeld, 2);
        EXPECT_EQ(book->PagesHeld(), 0);
        const std::vector<Book::PageOrigin> origins = book->GetPageOrigins();
        std::vector<std::pair<int, int>> got;
        for (const Book::PageOrigin& o : origins)
            got.emplace_back(o.document, o.page);
        EXPECT_EQ(got, (std::vector<std::pair<int, int>>{
                           {0, 2}, {0, 3}, {0, 4}, {1, 0}, {1, 1}, {1, 2}, {2, 4}, {2, 0}}));
        std::vector<Call> expected = jobtest::Seq(0, {{1226, 46}, {1226, 62}, {1226, 79}});
        for (const Call& c : jobtest::Seq(1, {{1226, 46}, {1226, 62}, {1226, 79}}))
            expected.push_back(c);
        for (const Call& c : jobtest::Seq(2, {{1226, 55}, {1226, 80}}))
            expected.push_back(c);
        EXPECT_EQ(rec.calls, expected);
    }
    PagePipeline::SetThreadLimit(0);
}

TEST_F(BookTest, DocumentWhoseAnalysisThrowsLeavesAStreamingBookThatIsWalkedAgain)
{
    // The progress of item 1's second page throws (once). With a writer to
    // start again with, the book is walked again without document 1 and
    // saved; without one, the exception leaves write.
    struct Thrower {
        bool armed = true;
        int pagesOfItem1 = 0;
    };
    Parser three;
    three.Load(utf8::ToWide(Fixtures::get().path("three")), false, "");
    for (bool rewrite : {true, false}) {
        for (int threads : {1, 4}) {
            SCOPED_TRACE(std::string(rewrite ? "rewrite, " : "no rewrite, ") +
                         std::to_string(threads) + " threads");
            PagePipeline::SetThreadLimit(threads);
            Thrower thrower;
            callback_funcs cb;
            cb.progress = [](void* ctx, int item, unsigned, int) {
                auto* t = static_cast<Thrower*>(ctx);
                if (item == 1 && t->armed && ++t->pagesOfItem1 == 2) {
                    t->armed = false;
                    throw std::runtime_error("analysis failed");
                }
            };
            Book book(true, false, true, false, 0, &thrower, cb, false);
            book.setWriter(new CountingWriter(&deletions));
            book.SetStreaming(true);
            CountingWriter* last = nullptr;
            int writers = 0;
            if (rewrite) {
                book.SetRewrite([&]() -> IWriter* {
                    ++writers;
                    last = new CountingWriter(&deletions);
                    return last;
                });
            }
            for (int item = 0; item < 3; ++item) {
                book.Setnum(item);
                book.ChangeBook(item == 1 ? &three : &parser);
                ASSERT_TRUE(book.parse(0, 1));
            }
            if (!rewrite) {
                EXPECT_THROW(book.write(L"/out", L"/name"), std::runtime_error);
                continue;
            }
            EXPECT_EQ(book.write(L"/out", L"/name"), L"/out/name.out");
            EXPECT_EQ(writers, 1);
            ASSERT_NE(last, nullptr);
            EXPECT_EQ(last->pages, 4);
            EXPECT_EQ(book.FailedDocuments(), std::vector<int>{1});
            std::vector<int> documents;
            for (const Book::PageOrigin& o : book.GetPageOrigins())
                documents.push_back(o.document);
            EXPECT_EQ(documents, (std::vector<int>{0, 0, 2, 2}));
            EXPECT_EQ(book.PagesHeld(), 0);
        }
    }
    PagePipeline::SetThreadLimit(0);
}

} // namespace
