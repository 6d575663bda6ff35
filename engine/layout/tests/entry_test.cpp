#include "engine/layout/entry.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/pictureexport.h"
#include "engine/layout/writertable.h"

#include "engine/layout/tests/jobfixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <system_error>
#include <thread>

#include <time.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using jobtest::Call;
using jobtest::Fixtures;
using jobtest::Item;
using jobtest::Recorder;
using jobtest::Seq;
using testutil::TempDir;

constexpr unsigned P = WM_PROGRESS_PERCENT;
constexpr unsigned S = WM_PROGRESS_STATE;

class JobTest : public ::testing::Test {
protected:
    std::wstring Tmp() const { return utf8::ToWide(tmp.str()); }
    std::string Out() const { return out.path().string(); }
    std::string Src(const std::string& name) const { return Fixtures::get().path(name); }

    void Convert(std::vector<Basedata_w>& items) { convert(items, Tmp(), &rec, rec.callbacks()); }

    // The work folders are emptied (and removed) after the job.
    void ExpectWorkFoldersEmpty() const
    {
        for (const char* sub : {"Files", "ImageFiles"}) {
            const fs::path p = tmp.path() / sub;
            EXPECT_TRUE(!fs::exists(p) || fs::is_empty(p)) << sub;
        }
    }

    static std::vector<std::string> Listing(const fs::path& dir)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir tmp;
    TempDir out;
    Recorder rec;
};

TEST_F(JobTest, PagesRenderedIntoFolderWithProgress)
{
    std::vector<Basedata_w> items{Item(4, Src("two"), Out())};
    Convert(items);
    EXPECT_EQ(rec.calls, Seq(0, {{S, 1}, {P, 5}, {P, 25}, {P, 55}, {P, 80}, {P, 100}, {S, 2}}));
    EXPECT_EQ(utf8::FromWide(items[0].result), Out() + "/two");
    EXPECT_EQ(Listing(out.path() / "two"), (std::vector<std::string>{"Page1.jpg", "Page2.jpg"}));
    ExpectWorkFoldersEmpty();

    // A second run never touches the first folder.
    std::vector<Basedata_w> again{Item(4, Src("two"), Out() + "/")};
    Convert(again);
    EXPECT_EQ(utf8::FromWide(again[0].result), Out() + "/two(1)");
    EXPECT_EQ(Listing(out.path() / "two(1)").size(), 2u);
}

TEST_F(JobTest, RenderedSizesMatchPdftoppm)
{
    for (int hires : {0, 1}) {
        Basedata_w item = Item(4, Src("three"), Out());
        item.imgHighRes = hires;
        std::vector<Basedata_w> items{item};
        Convert(items);
        ASSERT_FALSE(items[0].result.empty());
        const int dpi = hires ? 192 : 96;
        const fs::path ref = out.path() / ("ref" + std::to_string(dpi));
        fs::create_directory(ref);
        int status = -1;
        testutil::Run("pdftoppm -jpeg -r " + std::to_string(dpi) + " " +
                          testutil::Quote(Src("three")) + " " + testutil::Quote((ref / "p").string()),
                      &status);
        ASSERT_EQ(status, 0);
        const std::vector<std::string> refs = Listing(ref);
        const fs::path ours = utf8::Path(items[0].result);
        ASSERT_EQ(Listing(ours).size(), refs.size());
        for (std::size_t k = 0; k < refs.size(); ++k) {
            int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
            ASSERT_TRUE(testutil::JpegSize(ours / ("Page" + std::to_string(k + 1) + ".jpg"), w1, h1));
            ASSERT_TRUE(testutil::JpegSize(ref / refs[k], w2, h2));
            EXPECT_NEAR(w1, w2, 1) << dpi;
            EXPECT_NEAR(h1, h2, 1) << dpi;
        }
    }
}

TEST_F(JobTest, OnePageDocumentBecomesOnePicture)
{
    for (const char* expected : {"/one.jpg", "/one(1).jpg"}) {
        rec.calls.clear();
        std::vector<Basedata_w> items{Item(4, Src("one"), Out())};
        Convert(items);
        EXPECT_EQ(utf8::FromWide(items[0].result), Out() + expected);
        EXPECT_TRUE(fs::exists(Out() + expected));
        EXPECT_EQ(rec.calls, Seq(0, {{S, 1}, {P, 5}, {P, 25}, {P, 100}, {S, 2}}));
    }
}

TEST_F(JobTest, NoSourceStaysOpenAfterTheJob)
{
    // A one-page document is rendered on the job's own thread; the
    // rendering state, with the document open in it, ends with the job.
    auto openCopies = [](const std::string& path) {
        int n = 0;
        for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (fs::read_symlink(e.path(), ec) == fs::path(path))
                ++n;
        }
        return n;
    };
    for (int type : {4, 3}) {
        std::vector<Basedata_w> items{Item(type, Src("one"), Out())};
        Convert(items);
        ASSERT_FALSE(items[0].result.empty());
        EXPECT_EQ(openCopies(Src("one")), 0) << "type " << type;
    }
}

TEST_F(JobTest, PageListExportsOnlyExistingPages)
{
    std::vector<Basedata_w> items{Item(4, Src("five"), Out(), "3,10")};
    Convert(items);
    EXPECT_EQ(Listing(out.path() / "five"), (std::vector<std::string>{"Page3.jpg"}));
    // Both entries advance the progress: 25 + 30 + 0, then + 25.
    EXPECT_EQ(rec.calls, Seq(0, {{S, 1}, {P, 5}, {P, 25}, {P, 55}, {P, 80}, {P, 100}, {S, 2}}));
}

TEST_F(JobTest, SelectionsNamingNoPageFailAndWriteNothing)
{
    for (const char* range : {"Even", "7-9", "0"}) {
        rec.calls.clear();
        std::vector<Basedata_w> items{Item(4, Src("one"), Out(), range)};
        Convert(items);
        EXPECT_EQ(rec.calls, Seq(0, {{S, 1}, {P, 5}, {P, 25}, {S, 3}})) << range;
        EXPECT_TRUE(items[0].result.empty()) << range;
    }
    // A range without a list exports nothing.
    Basedata_w item = Item(4, Src("five"), Out());
    item.first = 1;
    item.last = 3;
    std::vector<Basedata_w> items{item};
    Convert(items);
    EXPECT_TRUE(items[0].result.empty());
    EXPECT_EQ(rec.calls.back(), (Call{0, S, 3}));
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST_F(JobTest, PagePicturesThatCannotBeMadeLeaveNoFolder)
{
    // Pages 2 to 5 are claimed by the page tree but not in the file: the
    // folder claimed for the pictures is taken back with the failed item.
    std::vector<Basedata_w> items{Item(4, Src("liarcount"), Out(), "2-5")};
    Convert(items);
    EXPECT_EQ(rec.calls.back(), (Call{0, S, 3}));
    EXPECT_TRUE(items[0].result.empty());
    EXPECT_TRUE(fs::is_empty(out.path())) << Listing(out.path()).front();
}

TEST_F(JobTest, ExtractedPicturesMatchPdfimages)
{
    Basedata_w item = Item(4, Src("pictures"), Out());
    item.imgExtract = true;
    std::vector<Basedata_w> items{item};
    Convert(items);
    ASSERT_FALSE(items[0].result.empty());
    EXPECT_EQ(Listing(utf8::Path(items[0].result)),
              (std::vector<std::string>{"Page1_1.jpg", "Page1_2.jpg", "Page2_1.jpg"}));
    // The oracle: pdfimages lists one picture per line after two header lines.
    const std::string list = testutil::Run("pdfimages -list " + testutil::Quote(Src("pictures")));
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n') - 2, 3);

    // A document without pictures gives an existing, empty folder.
    Basedata_w text = Item(4, Src("two"), Out());
    text.imgExtract = true;
    std::vector<Basedata_w> plain{text};
    Convert(plain);
    ASSERT_FALSE(plain[0].result.empty());
    EXPECT_TRUE(fs::is_empty(utf8::Path(plain[0].result)));
}

TEST_F(JobTest, BadSourcesFailOnlyTheirOwnItem)
{
    std::vector<Basedata_w> items{
        Item(4, Src("zero"), Out()),      Item(4, Src("notpdf"), Out()),
        Item(4, Src("truncated"), Out()), Item(4, Src("locked"), Out(), "All", "wrong"),
        Item(4, Src("missing"), Out()),   Item(4, Src("two"), Out()),
        Item(4, Src("locked"), Out(), "All", "secret"),
    };
    Convert(items);
    for (int i = 0; i < 5; ++i) {
        const std::vector<Call> calls = rec.forItem(i);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), (Call{i, S, 3})) << i;
    }
    EXPECT_EQ(rec.forItem(5).back(), (Call{5, S, 2}));
    EXPECT_EQ(rec.forItem(6).back(), (Call{6, S, 2}));
    EXPECT_EQ(Listing(out.path() / "locked").size(), 3u);
    ExpectWorkFoldersEmpty();
}

TEST_F(JobTest, FailedLoadThenGoodItem)
{
    std::vector<Basedata_w> items{Item(4, Src("zero"), Out()), Item(4, Src("two"), Out())};
    Convert(items);
    EXPECT_EQ(rec.forItem(0), Seq(0, {{S, 1}, {P, 5}, {S, 3}}));
    EXPECT_EQ(rec.forItem(1).back(), (Call{1, S, 2}));
}

TEST_F(JobTest, CancelDuringThirdPageOfSecondItemEndsTheJob)
{
    // JPEG pages: once item 1's pages are listed, its pages are started
    // one question each; the third question refuses its third page.
    rec.cancelAfter = Call{1, P, 25};
    rec.asksAfter = 3;
    std::vector<Basedata_w> items{Item(4, Src("three"), Out()), Item(4, Src("three"), Out()),
                                  Item(4, Src("three"), Out())};
    Convert(items);
    EXPECT_EQ(rec.forItem(0).back(), (Call{0, S, 2}));
    EXPECT_EQ(rec.forItem(1), Seq(1, {{S, 1}, {P, 5}, {P, 25}, {P, 46}, {P, 62}, {S, 3}}));
    EXPECT_TRUE(rec.forItem(2).empty());
    EXPECT_TRUE(items[1].result.empty());
    ExpectWorkFoldersEmpty();
}

TEST_F(JobTest, EmptyJobsAndOutputFolders)
{
    std::vector<Basedata_w> none;
    Convert(none);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_TRUE(fs::is_directory(tmp.path() / "Files"));

    std::vector<Basedata_w> items{Item(4, Src("two"), "")};
    Convert(items);
    EXPECT_EQ(rec.calls.back(), (Call{0, S, 3}));
    EXPECT_TRUE(items[0].result.empty());
}

TEST_F(JobTest, NamesOfWorkFoldersAndBareNamesConvertNormally)
{
    std::vector<Basedata_w> items{Item(4, Src("Files"), Out()), Item(4, Src("ImageFiles"), Out())};
    Convert(items);
    EXPECT_EQ(Listing(out.path() / "Files").size(), 2u);
    EXPECT_EQ(Listing(out.path() / "ImageFiles").size(), 2u);

    // A source without folder and extension: the base name is the whole path.
    const fs::path here = fs::current_path();
    fs::copy_file(Src("two"), tmp.path() / "bare");
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    std::vector<Basedata_w> bare{Item(4, "bare", Out())};
    Convert(bare);
    ASSERT_EQ(chdir(here.c_str()), 0);
    EXPECT_EQ(utf8::FromWide(bare[0].result), Out() + "/bare");
}

TEST_F(JobTest, MergedPicturesAreNumberedAcrossItems)
{
    // A folder of the merged name already exists: the merge takes name(1)
    // and every item's pictures land there.
    fs::create_directory(out.path() / "all");
    std::vector<Basedata_w> items{Item(4, Src("two"), Out()), Item(4, Src("zero"), Out()),
                                  Item(4, Src("three"), Out()), Item(4, Src("one"), Out())};
    std::wstring name = L"all";
    mergeall(items, Tmp(), &rec, rec.callbacks(), name);
    EXPECT_EQ(Listing(out.path() / "all(1)"),
              (std::vector<std::string>{"Page1.jpg", "Page2.jpg", "Page3.jpg", "Page4.jpg",
                                        "Page5.jpg", "Page6.jpg"}));
    EXPECT_TRUE(fs::is_empty(out.path() / "all"));
    EXPECT_EQ(rec.forItem(1).back(), (Call{1, S, 3}));
    EXPECT_EQ(rec.forItem(3).back(), (Call{3, S, 2}));
    ExpectWorkFoldersEmpty();
}

TEST_F(JobTest, TextItemFollowsTheProgressProtocol)
{
    std::vector<Basedata_w> items{Item(3, Src("three"), Out())};
    Convert(items);
    EXPECT_EQ(rec.calls, Seq(0, {{S, 1}, {P, 5}, {P, 25}, {P, 30}, {P, 46}, {P, 62}, {P, 79},
                                 {P, 80}, {P, 100}, {S, 2}}));
    EXPECT_EQ(utf8::FromWide(items[0].result), Out() + "/three.txt");
    EXPECT_NE(testutil::ReadFile(utf8::Path(items[0].result)).find("Page 2 of 3"),
              std::string::npos);
    ExpectWorkFoldersEmpty();

    // A page list and a range send the values of their own length.
    rec.calls.clear();
    std::vector<Basedata_w> some{Item(3, Src("ten"), Out(), "2,4"), Item(3, Src("ten"), Out(), "3-5")};
    Convert(some);
    EXPECT_EQ(rec.forItem(0), Seq(0, {{S, 1}, {P, 5}, {P, 25}, {P, 30}, {P, 55}, {P, 80}, {P, 80},
                                      {P, 100}, {S, 2}}));
    EXPECT_EQ(rec.forItem(1), Seq(1, {{S, 1}, {P, 5}, {P, 25}, {P, 30}, {P, 46}, {P, 62}, {P, 79},
                                      {P, 80}, {P, 100}, {S, 2}}));
}

TEST_F(JobTest, WriterThatSavesNothingFailsTheItem)
{
    // The output folder is a file: the text writer cannot save.
    testutil::WriteFile(out.path() / "file", "x");
    std::vector<Basedata_w> items{Item(3, Src("two"), Out() + "/file")};
    Convert(items);
    EXPECT_EQ(rec.calls.back(), (Call{0, S, 3}));
    EXPECT_TRUE(items[0].result.empty());
    ExpectWorkFoldersEmpty();
}

TEST_F(JobTest, MergedTextKeepsItemsLoadedBeforeAFailedLastItem)
{
    std::vector<Basedata_w> items{Item(3, Src("two"), Out()), Item(3, Src("three"), Out()),
                                  Item(3, Src("zero"), Out())};
    std::wstring name = L"merged";
    mergeall(items, Tmp(), &rec, rec.callbacks(), name);
    EXPECT_EQ(rec.forItem(0), Seq(0, {{S, 1}, {P, 5}, {P, 30}, {P, 55}, {P, 80}, {P, 100}, {S, 2}}));
    EXPECT_EQ(rec.forItem(1),
              Seq(1, {{S, 1}, {P, 5}, {P, 30}, {P, 46}, {P, 62}, {P, 79}, {P, 100}, {S, 2}}));
    EXPECT_EQ(rec.forItem(2), Seq(2, {{S, 1}, {P, 5}, {S, 3}}));
    EXPECT_EQ(Listing(out.path()), std::vector<std::string>{"merged.txt"});
    const std::string text = testutil::ReadFile(out.path() / "merged.txt");
    EXPECT_NE(text.find("Page 2 of 2"), std::string::npos);
    EXPECT_NE(text.find("Page 3 of 3"), std::string::npos);
    EXPECT_EQ(utf8::FromWide(items[0].result), Out() + "/merged.txt");
    ExpectWorkFoldersEmpty();
}

TEST_F(JobTest, MergedItemsEndOnceAfterTheMergedFileIsWritten)
{
    // The output folder is a file: the merged text cannot be saved, and no
    // item may have been reported done on the way.
    testutil::WriteFile(out.path() / "file", "x");
    std::vector<Basedata_w> items{Item(3, Src("two"), Out() + "/file"),
                                  Item(3, Src("three"), Out() + "/file")};
    std::wstring name = L"merged";
    mergeall(items, Tmp(), &rec, rec.callbacks(), name);
    for (int i = 0; i < 2; ++i) {
        std::vector<int> states;
        for (const Call& c : rec.forItem(i)) {
            if (c.message == S)
                states.push_back(c.value);
        }
        EXPECT_EQ(states, (std::vector<int>{1, 3})) << i;
        EXPECT_TRUE(items[static_cast<std::size_t>(i)].result.empty());
    }
    // Written, the items end done after the last item started.
    rec.calls.clear();
    items = {Item(3, Src("two"), Out()), Item(3, Src("three"), Out())};
    mergeall(items, Tmp(), &rec, rec.callbacks(), name);
    ASSERT_GE(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[rec.calls.size() - 2], (Call{0, S, 2}));
    EXPECT_EQ(rec.calls.back(), (Call{1, S, 2}));
    EXPECT_EQ(utf8::FromWide(items[1].result), Out() + "/merged.txt");
    ExpectWorkFoldersEmpty();
}

// A merge reads every item's pages while the writer walks them, one item's
// document after the other: the merged text is each item's text converted
// alone, one after the other, with the page separators numbered on.
TEST_F(JobTest, MergedTextIsTheItemsConvertedAloneOneAfterTheOther)
{
    const std::vector<std::pair<std::string, std::string>> sources{
        {"two", "All"}, {"ten", "3-5"}, {"three", "All"}, {"ten", "9,2"}};
    for (int threads : {1, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        PagePipeline::SetThreadLimit(threads);
        const TempDir alone, together;
        std::string expected;
        int page = 0;
        for (const auto& [name, range] : sources) {
            std::vector<Basedata_w> one{Item(3, Src(name), alone.path().string(), range)};
            Convert(one);
            ASSERT_FALSE(one[0].result.empty());
            std::string text = testutil::ReadFile(utf8::Path(one[0].result));
            fs::remove(utf8::Path(one[0].result));
            // Renumber the separators "========N========" of this item.
            for (int n = 1;; ++n) {
                const std::string mark = "========" + std::to_string(n) + "========";
                const std::size_t at = text.find(mark);
                if (at == std::string::npos)
                    break;
                text.replace(at, mark.size(), "#SEP" + std::to_string(++page) + "#");
            }
            expected += text;
        }
        for (int n = 1; n <= page; ++n) {
            const std::string mark = "#SEP" + std::to_string(n) + "#";
            expected.replace(expected.find(mark), mark.size(),
                             "========" + std::to_string(n) + "========");
        }
        EXPECT_EQ(page, 2 + 3 + 3 + 2);

        std::vector<Basedata_w> items;
        for (const auto& [name, range] : sources)
            items.push_back(Item(3, Src(name), together.path().string(), range));
        std::wstring merged = L"merged";
        mergeall(items, Tmp(), &rec, rec.callbacks(), merged);
        ASSERT_EQ(Listing(together.path()), std::vector<std::string>{"merged.txt"});
        EXPECT_EQ(testutil::ReadFile(together.path() / "merged.txt"), expected);
        ExpectWorkFoldersEmpty();
    }
    PagePipeline::SetThreadLimit(0);
}

// A cancel ends a merge wherever it comes: while the items are listed (the
// job asks once after each item's pages are listed) or while the writer
// walks the pages (asked before each page). Nothing is written, every item
// that started ends failed, and items after a cancel while listing get no
// message at all.
TEST_F(JobTest, CancelledMergeWritesNothing)
{
    struct Case {
        Call cancelAfter;
        std::vector<Call> item0, item1, item2;
    };
    const Case cases[] = {
        // Asked after item 1's pages are listed.
        {{1, P, 30}, Seq(0, {{S, 1}, {P, 5}, {P, 30}, {S, 3}}), Seq(1, {{S, 1}, {P, 5}, {P, 30}, {S, 3}}), {}},
        // Asked before or during the second page of item 1, once every
        // item is listed and item 0's pages and item 1's first are written.
        {{1, P, 46},
         Seq(0, {{S, 1}, {P, 5}, {P, 30}, {P, 46}, {P, 62}, {P, 79}, {S, 3}}),
         Seq(1, {{S, 1}, {P, 5}, {P, 30}, {P, 46}, {S, 3}}),
         Seq(2, {{S, 1}, {P, 5}, {P, 30}, {S, 3}})},
    };
    PagePipeline::SetThreadLimit(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.cancelAfter));
        rec = Recorder();
        rec.cancelAfter = c.cancelAfter;
        const TempDir dest;
        std::vector<Basedata_w> items{Item(3, Src("three"), dest.path().string()),
                                      Item(3, Src("three"), dest.path().string()),
                                      Item(3, Src("three"), dest.path().string())};
        std::wstring name = L"merged";
        mergeall(items, Tmp(), &rec, rec.callbacks(), name);
        EXPECT_EQ(rec.forItem(0), c.item0);
        EXPECT_EQ(rec.forItem(1), c.item1);
        EXPECT_EQ(rec.forItem(2), c.item2);
        EXPECT_TRUE(fs::is_empty(dest.path()));
        for (const Basedata_w& item : items)
            EXPECT_TRUE(item.result.empty());
        ExpectWorkFoldersEmpty();
    }
    PagePipeline::SetThreadLimit(0);
}

// Damaged files convert as far as they can, in every output type: a page
// tree that claims 10^9 pages over one real page (also in a file with a
// form, whose fields get their appearances page by page), a page tree that
// lists objects the file does not hold, a picture that cannot be decoded, a
// picture whose header claims 65535 x 65535 pixels.
TEST_F(JobTest, DamagedFilesConvertWhatTheyHoldInEveryType)
{
    for (const char* pdf : {"liarcount", "liarform", "outsidekids", "badpicture", "hugejpeg"}) {
        for (int type : {1, 2, 3, 4, 6}) {
            SCOPED_TRACE(std::string(pdf) + " type " + std::to_string(type));
            const TempDir dest;
            rec.calls.clear();
            Basedata_w item = Item(type, Src(pdf), dest.path().string());
            item.exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
            EXPECT_LE(item.last, 10);   // the pages the file can hold
            std::vector<Basedata_w> items{item};
            Convert(items);
            EXPECT_EQ(rec.calls.back(), (Call{0, S, 2}));
            ASSERT_FALSE(items[0].result.empty());
            EXPECT_TRUE(fs::exists(utf8::Path(items[0].result)));
            ExpectWorkFoldersEmpty();
        }
    }
}

// A cancel that comes while a page is being drawn ends the drawing, not
// only the pages after it. Each page of the fixtures takes seconds to draw
// (17 to 20 s, release or sanitizer build alike: the drawing is MuPDF's);
// the cancel callback says yes from 0.3 s after the start. Drawn to the
// end, the page would keep the job far past the bound below.
TEST_F(JobTest, ACancelEndsThePageBeingDrawn)
{
    using Clock = std::chrono::steady_clock;
    struct Asker {
        Clock::time_point stopFrom;
        int lastState = 0;
    };
    struct Case {
        const char* what;
        int type;
        bool pagePictures;
        const char* pdf;
    };
    const Case cases[] = {
        {"one page, drawn on the job's thread", 4, false, "slowone"},
        {"two pages, drawn by the rendering threads", 4, false, "slowtwo"},
        {"EPUB whose pages are pictures", 1, true, "slowone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TempDir dest;
        Basedata_w item = Item(c.type, Src(c.pdf), dest.path().string());
        item.exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
        item.convertKind = c.pagePictures;
        std::vector<Basedata_w> items{item};
        callback_funcs cb;
        cb.progress = [](void* ctx, int, unsigned message, int value) {
            if (message == WM_PROGRESS_STATE)
                static_cast<Asker*>(ctx)->lastState = value;
        };
        cb.cancel = [](void* ctx) { return Clock::now() >= static_cast<Asker*>(ctx)->stopFrom; };
        Asker asker{Clock::now() + std::chrono::milliseconds(300)};
        convert(items, Tmp(), &asker, cb);
        const auto late = Clock::now() - asker.stopFrom;
        EXPECT_LT(late, std::chrono::seconds(2))
            << std::chrono::duration_cast<std::chrono::milliseconds>(late).count() << " ms";
        EXPECT_EQ(asker.lastState, 3);
        EXPECT_TRUE(items[0].result.empty());
        EXPECT_TRUE(fs::is_empty(dest.path())) << Listing(dest.path()).front();
        ExpectWorkFoldersEmpty();
    }
}

// Processor time of the calling thread, or of the whole process (when
// pages are analysed on other threads too): unlike the time on the wall,
// it does not grow with the load of a shared machine.
std::chrono::nanoseconds CpuTime(clockid_t clock)
{
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// A page of 60,000 words takes seconds of analysis after the parser has
// read it. A cancel that comes half way through ends the analysis of that
// page, not only the pages after it: on the job's own thread (one page),
// and on the page-analysis threads (two such pages, four threads: the job's
// thread waits for a page another thread analyses). Both runs of a case are
// measured in processor time, so that the bound holds whatever the
// machine's load.
TEST_F(JobTest, ACancelEndsTheAnalysisOfALongPage)
{
    struct Case {
        const char* what;
        const char* pdf;
        int threads;
        clockid_t clock;
    };
    const Case cases[] = {
        {"one page on the job's thread", "manywords", 1, CLOCK_THREAD_CPUTIME_ID},
        {"two pages on four threads", "manywords2", 4, CLOCK_PROCESS_CPUTIME_ID},
    };
    struct Asker {
        clockid_t clock;
        std::chrono::nanoseconds stopFrom = std::chrono::nanoseconds::max();
        int lastState = 0;
    };
    callback_funcs cb;
    cb.progress = [](void* ctx, int, unsigned message, int value) {
        if (message == WM_PROGRESS_STATE)
            static_cast<Asker*>(ctx)->lastState = value;
    };
    cb.cancel = [](void* ctx) {
        auto* asker = static_cast<Asker*>(ctx);
        return CpuTime(asker->clock) >= asker->stopFrom;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PagePipeline::SetThreadLimit(c.threads);
        auto run = [&](Asker& asker, const fs::path& dest) {
            std::vector<Basedata_w> items{Item(3, Src(c.pdf), dest.string())};
            const auto start = CpuTime(c.clock);
            if (asker.stopFrom != std::chrono::nanoseconds::max())
                asker.stopFrom += start;
            convert(items, Tmp(), &asker, cb);
            return std::make_pair(CpuTime(c.clock) - start, items[0].result);
        };
        const TempDir whole;
        Asker never{c.clock};
        const auto [full, written] = run(never, whole.path());
        ASSERT_EQ(never.lastState, 2);
        ASSERT_FALSE(written.empty());

        const TempDir dest;
        Asker half{c.clock};
        half.stopFrom = full / 2;
        const auto [part, result] = run(half, dest.path());
        // Two pages on two threads: left alone, the page the job's thread
        // does not hold would run on to three quarters of the whole.
        EXPECT_LT(part, c.threads > 1 ? full * 13 / 20 : full * 3 / 4)
            << std::chrono::duration_cast<std::chrono::milliseconds>(part).count() << " ms of "
            << std::chrono::duration_cast<std::chrono::milliseconds>(full).count() << " ms";
        EXPECT_EQ(half.lastState, 3);
        EXPECT_TRUE(result.empty());
        EXPECT_TRUE(fs::is_empty(dest.path())) << Listing(dest.path()).front();
        ExpectWorkFoldersEmpty();
    }
    PagePipeline::SetThreadLimit(0);
}

// Rendering threads that cannot be started: the export goes on with the
// threads it has (or on the job's thread when it has none), joins them, and
// makes the same pictures as with every thread.
std::atomic<int> g_threadStarts{0};
int g_failingStart = 0;

std::thread StartFailingAtOne(std::function<void()> body)
{
    if (++g_threadStarts == g_failingStart)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(std::move(body));
}

TEST_F(JobTest, RenderingThreadsThatCannotBeStartedLeaveTheOthersToFinish)
{
    auto pictures = [](const std::wstring& folder) {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::directory_iterator(utf8::Path(folder)))
            files[e.path().filename().string()] = testutil::ReadFile(e.path());
        return files;
    };
    std::vector<Basedata_w> all{Item(4, Src("five"), Out())};
    Convert(all);
    ASSERT_EQ(rec.calls.back(), (Call{0, S, 2}));
    const auto expected = pictures(all[0].result);
    ASSERT_EQ(expected.size(), 5u);

    struct Restore {
        ~Restore() { SetRenderThreadStarter(nullptr); }
    } restore;
    SetRenderThreadStarter(&StartFailingAtOne);
    for (int failing : {1, 2, 4}) {
        SCOPED_TRACE("start " + std::to_string(failing) + " fails");
        g_threadStarts = 0;
        g_failingStart = failing;
        const TempDir dest;
        std::vector<Basedata_w> items{Item(4, Src("five"), dest.path().string())};
        rec.calls.clear();
        Convert(items);
        EXPECT_GE(g_threadStarts.load(), failing);
        EXPECT_EQ(rec.calls.back(), (Call{0, S, 2}));
        ASSERT_FALSE(items[0].result.empty());
        EXPECT_EQ(pictures(items[0].result), expected);
        ExpectWorkFoldersEmpty();
    }
}

TEST_F(JobTest, RecognitionClampsTheItemsOwnRange)
{
    Basedata_w item = Item(3, Src("three"), Out());
    item.enableOCR = true;
    item.first = 1;
    item.last = 99;
    std::vector<Basedata_w> items{item};
    Convert(items);
    EXPECT_EQ(items[0].first, 1);
    EXPECT_EQ(items[0].last, 2);
    EXPECT_EQ(rec.calls.back(), (Call{0, S, 2}));
}

TEST(ConfigSwitch, DrawGraphicPairs)
{
    struct Case { const char* content; bool on; };
    const Case cases[] = {
        {"DrawGraphic: true\n", true},
        {"DrawGraphic: false\nDrawGraphic: true\n", true},
        {"Other: x DrawGraphic: true", true},
        {"DrawGraphic: True\n", false},
        {"drawgraphic: true\n", false},
        {"DrawGraphic:true\n", false},
        {"", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        testutil::WriteFile(dir.path() / "config.txt", c.content);
        EXPECT_EQ(ReadDrawGraphicSwitch(utf8::ToWide(dir.str())), c.on) << c.content;
        EXPECT_EQ(ReadDrawGraphicSwitch(utf8::ToWide(dir.path().string())), c.on) << c.content;
    }
    TempDir empty;
    EXPECT_FALSE(ReadDrawGraphicSwitch(utf8::ToWide(empty.str())));
}

} // namespace
