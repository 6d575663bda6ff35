// A merge whose middle item fails part way through its pages: the item
// leaves nothing in the merged file and ends failed, and the items before
// and after it are written whole, in every output type a merge writes.
// pdftotext reads the sources; antiword reads the .doc, and LibreOffice
// lays out the .docx for pdftotext.
#include "engine/layout/entry.h"

#include "engine/layout/tests/jobfixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using jobtest::Item;
using testutil::Quote;
using testutil::TempDir;

// The job's host. Its progress callback throws at the second page of the
// item `failing` (none when -1): the exception leaves the analysis of that
// item with its first page made and the others not. Records the states.
struct Host {
    int failing = -1;
    int pageReports = 0;
    std::vector<std::vector<int>> states;

    callback_funcs callbacks()
    {
        callback_funcs cb;
        cb.progress = [](void* ctx, int item, unsigned message, int value) {
            auto* h = static_cast<Host*>(ctx);
            if (message == WM_PROGRESS_STATE) {
                if (h->states.size() <= static_cast<std::size_t>(item))
                    h->states.resize(static_cast<std::size_t>(item) + 1);
                h->states[static_cast<std::size_t>(item)].push_back(value);
                return;
            }
            // Page reports run above 30; 100 ends the item.
            if (item == h->failing && value > 30 && value < 100 && ++h->pageReports == 2)
                throw std::runtime_error("page analysis failed");
        };
        cb.cancel = [](void*) { return false; };
        return cb;
    }
};

class MergeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sources = new TempDir;
        const fs::path dir = sources->path();
        ASSERT_TRUE(testutil::MakePdfFixtures(dir, "tagged3:first tagged3:second tagged2:third blank"));
        // The first document has an empty page after its first page.
        int status = -1;
        testutil::Run("qpdf --empty --pages " + Quote((dir / "first.pdf").string()) + " 1 " +
                          Quote((dir / "blank.pdf").string()) + " " +
                          Quote((dir / "first.pdf").string()) + " 2-z -- " +
                          Quote((dir / "gapped.pdf").string()),
                      &status);
        ASSERT_EQ(status, 0);
    }
    static void TearDownTestSuite()
    {
        delete sources;
        sources = nullptr;
    }

    static fs::path Src(const std::string& name) { return sources->path() / (name + ".pdf"); }

    // A file wordcoverage.py reads for the merged output: text, EPUB and
    // HTML as written, the Word documents as their readers print them.
    static fs::path Readable(const fs::path& result, int type, const fs::path& scratch)
    {
        int status = -1;
        if (type == 5) {
            const fs::path txt = scratch / "antiword.txt";
            testutil::Run("antiword " + Quote(result.string()) + " > " + Quote(txt.string()), &status);
            EXPECT_EQ(status, 0) << "antiword cannot read " << result;
            return txt;
        }
        if (type == 6) {
            // LibreOffice lays the document out (its text boxes too, which
            // its plain-text export leaves out) and pdftotext reads that.
            testutil::Run("timeout 300 soffice -env:UserInstallation=file://" +
                              (scratch / "profile").string() +
                              " --headless --norestore --convert-to pdf --outdir " +
                              Quote(scratch.string()) + " " + Quote(result.string()) +
                              " >/dev/null 2>&1",
                          &status);
            const fs::path pdf = scratch / (result.stem().string() + ".pdf");
            EXPECT_TRUE(fs::exists(pdf)) << "LibreOffice cannot read " << result;
            const fs::path txt = scratch / "libreoffice.txt";
            testutil::Run("pdftotext -raw " + Quote(pdf.string()) + " " + Quote(txt.string()),
                          &status);
            return txt;
        }
        return result;
    }

    static TempDir* sources;
    TempDir tmp;
};

TempDir* MergeTest::sources = nullptr;

TEST_F(MergeTest, AnItemThatFailsPartWayLeavesNothingAndTheOthersAreWrittenWhole)
{
    int status = -1;
    testutil::Run("command -v soffice antiword >/dev/null", &status);
    ASSERT_EQ(status, 0) << "soffice and antiword are the oracles of the Word documents";

    // Without a failure the oracle finds every word of the three items;
    // with the second item failing at its second page, none of its words.
    for (int type : {3, 1, 2, 5, 6}) {
        for (bool fails : {false, true}) {
            SCOPED_TRACE("type " + std::to_string(type) + (fails ? ", second item fails" : ""));
            const TempDir dest;
            const TempDir scratch;
            std::vector<Basedata_w> items;
            for (const char* name : {"gapped", "second", "third"}) {
                items.push_back(Item(type, Src(name).string(), dest.path().string()));
                items.back().exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
            }
            Host host;
            host.failing = fails ? 1 : -1;
            std::wstring name = L"merged";
            mergeall(items, utf8::ToWide(tmp.str()), &host, host.callbacks(), name);

            // Each item is started once and ends once.
            const std::vector<int> done{ITEM_STARTED, ITEM_DONE};
            const std::vector<int> failed{ITEM_STARTED, ITEM_FAILED};
            ASSERT_EQ(host.states.size(), 3u);
            EXPECT_EQ(host.states[0], done);
            EXPECT_EQ(host.states[1], fails ? failed : done);
            EXPECT_EQ(host.states[2], done);
            EXPECT_EQ(items[1].result.empty(), fails);
            ASSERT_FALSE(items[0].result.empty());
            EXPECT_EQ(items[2].result, items[0].result);

            const fs::path readable = Readable(utf8::Path(items[0].result), type, scratch.path());
            for (const char* source : {"gapped", "second", "third"}) {
                int found = -1, total = -1;
                std::string missing;
                ASSERT_TRUE(testutil::WordCoverage(Src(source), readable, found, total, missing))
                    << source;
                EXPECT_EQ(total, source == std::string("third") ? 60 : 90) << source;
                if (fails && source == std::string("second"))
                    EXPECT_EQ(found, 0) << source << ": words of the failed item were written";
                else
                    EXPECT_EQ(found, total) << source << " misses " << missing;
            }
        }
    }
}

// A page with nothing on it is a page like any other: converted alone (its
// pages analysed as the writer walks them), the document is written past
// its empty second page in every type.
TEST_F(MergeTest, AnEmptyPageDoesNotEndTheWalk)
{
    for (int type : {3, 1, 2, 5, 6}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const TempDir dest;
        const TempDir scratch;
        std::vector<Basedata_w> items{Item(type, Src("gapped").string(), dest.path().string())};
        items[0].exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
        Host host;
        convert(items, utf8::ToWide(tmp.str()), &host, host.callbacks());
        ASSERT_EQ(host.states.size(), 1u);
        EXPECT_EQ(host.states[0], (std::vector<int>{ITEM_STARTED, ITEM_DONE}));
        ASSERT_FALSE(items[0].result.empty());
        const fs::path readable = Readable(utf8::Path(items[0].result), type, scratch.path());
        int found = -1, total = -1;
        std::string missing;
        ASSERT_TRUE(testutil::WordCoverage(Src("gapped"), readable, found, total, missing));
        EXPECT_EQ(total, 90);
        EXPECT_EQ(found, total) << "misses " << missing;
    }
}

} // namespace
