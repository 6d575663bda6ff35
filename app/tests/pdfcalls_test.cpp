// The parser library's answers on plain, protected and broken files.
#include "app/pdfcalls.h"

#include "app/tests/apptestutil.h"

#include <gtest/gtest.h>

namespace {

using apptest::Q;

TEST(PdfCalls, PasswordCheckAndPageCount)
{
    testutil::TempDir dir;
    ASSERT_TRUE(testutil::MakePdfFixtures(dir.path(), "pages3:plain notpdf:text zero:empty"));
    int status = -1;
    testutil::Run("qpdf --encrypt user owner 256 -- " + testutil::Quote((dir.path() / "plain.pdf").string()) + " " +
                      testutil::Quote((dir.path() / "locked.pdf").string()),
                  &status);
    ASSERT_EQ(status, 0);

    const struct {
        const char* file;
        PdfProtection protection;
        int pages;          // without a password
        int pagesWithUser;  // with "user"
    } cases[] = {
        {"plain.pdf", PdfProtection::Open, 3, 3},
        {"locked.pdf", PdfProtection::NeedsPassword, -1, 3},
        {"text.pdf", PdfProtection::Unreadable, -1, -1},
        {"empty.pdf", PdfProtection::Unreadable, -1, -1},
        {"missing.pdf", PdfProtection::Unreadable, -1, -1},
    };
    for (const auto& c : cases) {
        const QString path = Q(dir.path() / c.file);
        EXPECT_EQ(PdfPasswordCheck(path), c.protection) << c.file;
        EXPECT_EQ(ParserPageCount(path), c.pages) << c.file;
        EXPECT_EQ(ParserPageCount(path, "user"), c.pagesWithUser) << c.file;
    }
    EXPECT_EQ(ParserPageCount(Q(dir.path() / "locked.pdf"), "wrong"), -1);
}

} // namespace
