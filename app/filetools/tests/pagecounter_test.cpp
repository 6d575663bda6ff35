// The light page counter against qpdf's page counts, its damaged-input
// guards, PNG row un-filtering, and the shared corpus.
#include "app/filetools/pagecounter.h"
#include "engine/layout/utf8.h"
#include "fixtures.h"

#include <gtest/gtest.h>

namespace {

int Count(const std::string& name)
{
    return PdfPageCounter::GetPageCount(utf8::ToWide(fixtures::Path(name)));
}

// Each structure the counter understands gives qpdf's count.
TEST(PageCounter, AgreesWithQpdfOnEveryStructure)
{
    for (const char* name : {"classic.pdf", "prefixed.pdf", "incremental.pdf", "linearized.pdf",
                             "linearized_appended.pdf", "objstm_last.pdf", "objstm_middle.pdf",
                             "five.pdf", "annotated.pdf", "enc_r2.pdf", "enc_r6.pdf"}) {
        SCOPED_TRACE(name);
        const int expected = fixtures::QpdfPages(fixtures::Path(name), "user");
        ASSERT_GT(expected, 0);
        EXPECT_EQ(Count(name), expected);
    }
    // The update added a fourth page: the newest table wins.
    EXPECT_EQ(Count("incremental.pdf"), 4);
}

// A linearized file is counted from its linearization dictionary alone while
// its length matches /L; with bytes appended the cross-reference data is read.
TEST(PageCounter, LinearizedShortcutNeedsExactLength)
{
    std::string data = testutil::ReadFile(fixtures::Path("linearized.pdf"));
    // Break every cross-reference table: only the shortcut can still count.
    std::string noXref = data;
    for (std::size_t at = noXref.find("xref"); at != std::string::npos;
         at = noXref.find("xref", at + 4))
        noXref.replace(at, 4, "XXXX");
    EXPECT_EQ(PdfPageCounter::CountPages(noXref), 3);
    EXPECT_EQ(PdfPageCounter::CountPages(noXref + "trailing"), -1);
}

// What the counter cannot or must not read gives -1 (the caller then asks
// the parser library), without reading outside the buffer or hanging.
TEST(PageCounter, RefusesWhatItCannotRead)
{
    for (const char* name : {"catalog_in_objstm.pdf", "prev_loop.pdf", "tiny.pdf",
                             "length_past_end.pdf", "index_past_table.pdf", "missing.pdf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Count(name), -1);
    }
}

TEST(PageCounter, RefusesShortAndCutBuffers)
{
    const std::string classic = testutil::ReadFile(fixtures::Path("objstm_last.pdf"));
    ASSERT_EQ(PdfPageCounter::CountPages(classic), 4);
    // Every prefix and every suffix of a valid file: no crash, no reading
    // outside (the sanitizers watch), and never a count other than the true one.
    for (std::size_t n = 0; n < classic.size(); n += 7) {
        const int head = PdfPageCounter::CountPages(std::string_view(classic).substr(0, n));
        const int tail = PdfPageCounter::CountPages(std::string_view(classic).substr(n));
        EXPECT_TRUE(head == -1 || head == 4) << n;
        EXPECT_TRUE(tail == -1 || tail == 4) << n;
    }
    for (const char* s : {"", "%PDF-", "%PDF-1.4\n%%EOF", "%PDF-1.4 startxref 0 %%EOF"})
        EXPECT_EQ(PdfPageCounter::CountPages(s), -1) << s;
}

TEST(PageCounter, UnfiltersPngRows)
{
    struct Case {
        const char* name;
        std::string in;
        std::size_t columns;
        std::string out;
    };
    const Case cases[] = {
        {"none", std::string("\0\1\2", 3), 2, std::string("\1\2", 2)},
        {"sub", std::string("\1\1\1", 3), 2, std::string("\1\2", 2)},
        {"up", std::string("\2\1\2\2\1\1", 6), 2, std::string("\1\2\2\3", 4)},
        {"average", std::string("\0\4\4\3\2\2", 6), 2, std::string("\4\4\4\6", 4)},
        {"paeth", std::string("\0\1\5\4\1\1", 6), 2, std::string("\1\5\2\6", 4)},
        // A byte above 4 where a filter type belongs is skipped by itself.
        {"stray", std::string("\7\0\1\2", 4), 2, std::string("\1\2", 2)},
        // A short last row keeps the bytes it has.
        {"short", std::string("\0\1\2\2\1", 5), 2, std::string("\1\2\2", 3)},
    };
    for (const Case& c : cases) {
        std::string data = c.in;
        UnfilterPngRows(data, c.columns);
        EXPECT_EQ(data, c.out) << c.name;
    }
}

// Real-world files: the counter gives the true count or hands over with -1,
// never a wrong count. The true count is qpdf's, or the corpus index's for
// the files qpdf cannot open (damaged, or encrypted with an unknown password).
TEST(PageCounter, CorpusCountsAreRightOrRefused)
{
    int counted = 0;
    for (const auto& file : fixtures::Corpus()) {
        SCOPED_TRACE(file.filename().string());
        const int n = PdfPageCounter::GetPageCount(utf8::ToWide(file.string()));
        if (n != -1) {
            int expected = fixtures::QpdfPages(file.string());
            if (expected <= 0)
                expected = fixtures::CorpusIndexPages(file);
            EXPECT_EQ(n, expected);
            ++counted;
        }
    }
    if (!fixtures::Corpus().empty()) {
        EXPECT_GT(counted, 0);
    }
}

} // namespace
