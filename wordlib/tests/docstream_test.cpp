// The Word 97-2003 writer walks the book page by page: in a book that
// analyses pages as they are walked, no page is held for long, neither by
// the book nor by the writer, and the document is the same byte for byte as
// when the book holds every page at once.

#include "engine/layout/book.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"
#include "tests/support/testutil.h"
#include "wordlib/iscrivlet.h"
#include "wordlib/writerstate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::TempDir;

// What the walk held at most, seen at each page's progress report.
struct Watch {
    Book* book = nullptr;
    IScrivlet* writer = nullptr;
    int bookHeld = 0;      // pages the book held
    int collected = 0;     // pages the writer's collector held
    int keptPages = 0;     // pages the document builder kept for shapes
    int reports = 0;
};

void OnProgress(void* ctx, int, unsigned message, int)
{
    auto* w = static_cast<Watch*>(ctx);
    if (message != WM_PROGRESS_PERCENT || !w->book)
        return;
    ++w->reports;
    w->bookHeld = std::max(w->bookHeld, w->book->PagesHeld());
    int collected = 0;
    for (const scrivlet::SectionEntry& s : w->writer->state().pages.sections())
        collected += static_cast<int>(s.pages.size());
    w->collected = std::max(w->collected, collected);
    w->keptPages = std::max(w->keptPages, static_cast<int>(w->writer->state().built.kept.size()));
}

// Writes the PDF as a .doc into `dir` through a streaming or an eager
// book; the saved path.
std::string Write(const std::string& pdf, bool streaming, const fs::path& dir, const fs::path& work,
                  Watch& watch)
{
    Parser parser;
    parser.Load(utf8::ToWide(pdf), false, "");
    callback_funcs callbacks;
    callbacks.progress = OnProgress;
    Book book(false, false, false, false, 0, &watch, callbacks, false);
    book.ChangeBook(&parser);
    auto* writer = new IScrivlet();
    writer->SetTempPath(utf8::ToWide(work.string() + "/"));
    book.setWriter(writer);
    book.SetStreaming(streaming);
    fs::create_directories(dir);
    if (!book.parse())
        return {};
    watch.book = &book;
    watch.writer = writer;
    const std::wstring saved = book.write(utf8::ToWide(dir.string() + "/"), L"out");
    watch.book = nullptr;
    return utf8::FromWide(saved);
}

TEST(DocStream, PagesAreLetGoAsTheWriterWalksThemAndTheDocumentIsTheSame)
{
    TempDir tmp;
    const std::string generated = tmp.str() + "long.pdf";
    int status = -1;
    testutil::Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/bench/make_long_pdf.py " + Quote(generated) +
                      " 240 2>&1",
                  &status);
    ASSERT_EQ(status, 0);
    struct Case {
        std::string pdf;
        int pages;          // at least this many
        bool shapes;        // whether pages carry drawn shapes or text boxes
    };
    std::vector<Case> cases{{generated, 35, false}};
    const fs::path corpus = testutil::CorpusDir();
    if (!corpus.empty())
        cases.push_back({(corpus / "009-pdflatex-geotopo_GeoTopo-komprimiert.pdf").string(), 100, true});
    PagePipeline::SetThreadLimit(4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pdf);
        const fs::path out = tmp.path() / fs::path(c.pdf).stem();
        Watch streamed, eager;
        const std::string a = Write(c.pdf, true, out / "streamed", out / "work1", streamed);
        const std::string b = Write(c.pdf, false, out / "eager", out / "work2", eager);
        ASSERT_FALSE(a.empty());
        ASSERT_FALSE(b.empty());
        EXPECT_TRUE(testutil::ReadFile(a) == testutil::ReadFile(b)) << "the documents differ";

        // One report per page analysed while the writer walks.
        EXPECT_GE(streamed.reports, c.pages);
        EXPECT_LE(streamed.bookHeld, 2);
        EXPECT_LE(streamed.collected, 1);
        if (!c.shapes) {
            EXPECT_EQ(streamed.keptPages, 0);
        }
        // The eager book analyses every page before the writer starts.
        EXPECT_EQ(eager.reports, 0);

        // antiword reads the streamed document; the generated one has every
        // section heading that pdftotext finds in the PDF.
        const std::string text = testutil::Run("antiword " + Quote(a) + " 2>/dev/null", &status);
        EXPECT_EQ(status, 0);
        if (!c.shapes) {
            const std::string pdfText = testutil::Run("pdftotext " + Quote(c.pdf) + " - 2>/dev/null");
            auto headings = [](const std::string& t) {
                std::size_t n = 0;
                for (std::size_t at = t.find("Section "); at != std::string::npos; at = t.find("Section ", at + 1))
                    ++n;
                return n;
            };
            EXPECT_GT(headings(pdfText), 5u);
            EXPECT_EQ(headings(text), headings(pdfText));
        }
    }
    PagePipeline::SetThreadLimit(0);
}

} // namespace
