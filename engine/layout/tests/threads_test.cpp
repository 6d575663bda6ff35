// Pages analysed on several threads give the same output as on one: every
// output type of every PDF of the corpus, converted both ways and compared
// byte for byte.
#include "engine/layout/entry.h"
#include "engine/layout/page.h"
#include "engine/layout/pagepipeline.h"

#include "engine/layout/tests/jobfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using jobtest::Item;
using testutil::Quote;
using testutil::TempDir;

// Every file below `dir` by its relative path, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file())
            files[fs::relative(e.path(), dir).string()] = testutil::ReadFile(e.path());
    }
    return files;
}

// What a conversion wrote: a folder as its files; a zip package as its
// entries, unpacked (the archive stamps the time of writing); a text file as
// it is. An EPUB names itself by a fresh random id, which is set aside.
std::map<std::string, std::string> Written(const fs::path& result, const fs::path& scratch)
{
    if (fs::is_directory(result))
        return Tree(result);
    const std::string ext = result.extension().string();
    if (ext != ".epub" && ext != ".docx")
        return {{result.filename().string(), testutil::ReadFile(result)}};
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    int status = -1;
    testutil::Run("unzip -q -o " + Quote(result.string()) + " -d " + Quote(scratch.string()),
                  &status);
    EXPECT_EQ(status, 0) << result;
    auto files = Tree(scratch);
    files["(entry order)"] = testutil::Run("unzip -Z1 " + Quote(result.string()));
    const std::regex uuid("urn:uuid:[0-9a-f-]+");
    for (auto& [name, bytes] : files)
        bytes = std::regex_replace(bytes, uuid, "urn:uuid:(id)");
    return files;
}

class PageThreads : public ::testing::Test {
protected:
    void TearDown() override { PagePipeline::SetThreadLimit(0); }

    // Converts the PDF to the type with the given number of threads into a
    // fresh folder; the files written, or a note of the failed state. With
    // `recognise` the listed pages are recognised first.
    std::map<std::string, std::string> Convert(const fs::path& pdf, int type, int threads,
                                               const std::string& recognise = {})
    {
        PagePipeline::SetThreadLimit(threads);
        const fs::path dest = out.path() / (std::to_string(type) + "-" + std::to_string(threads));
        fs::remove_all(dest);
        fs::create_directories(dest);
        std::vector<Basedata_w> items{
            Item(type, pdf.string(), dest.string(), recognise.empty() ? "All" : recognise)};
        items[0].exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
        items[0].enableOCR = !recognise.empty();
        items[0].ocrMode = 1;
        // With recognition the job's progress is slow, so that the workers
        // are up and take pages while the first is being written.
        callback_funcs callbacks;
        if (!recognise.empty()) {
            callbacks.progress = [](void*, int, unsigned message, int) {
                if (message == WM_PROGRESS_PERCENT)
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
            };
        }
        convert(items, utf8::ToWide(tmp.str()), nullptr, callbacks);
        if (items[0].result.empty())
            return {{"(failed)", ""}};
        return Written(utf8::Path(items[0].result), out.path() / "unpacked");
    }

    TempDir tmp;
    TempDir out;
};

TEST_F(PageThreads, EveryOutputTypeOfTheCorpusIsTheSameOnOneAndOnManyThreads)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus";
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() == ".pdf")
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    int compared = 0;
    for (const fs::path& pdf : files) {
        // EPUB, HTML, text, Word 97-2003, Word 2007; page pictures (type 4)
        // are rendered in parallel by their own code.
        for (int type : {1, 2, 3, 5, 6}) {
            SCOPED_TRACE(pdf.filename().string() + ", type " + std::to_string(type));
            const auto one = Convert(pdf, type, 1);
            const auto many = Convert(pdf, type, 6);
            ASSERT_EQ(one.size(), many.size());
            for (auto a = one.begin(), b = many.begin(); a != one.end(); ++a, ++b) {
                ASSERT_EQ(a->first, b->first);
                EXPECT_TRUE(a->second == b->second) << a->first << " differs";
            }
            if (!one.count("(failed)"))
                ++compared;
        }
    }
    // The encrypted and the damaged file fail in every type.
    EXPECT_GE(compared, 5 * (static_cast<int>(files.size()) - 2));
}

TEST_F(PageThreads, RecognisedPagesKeepTheirWordsOnManyThreads)
{
    // Recognised words live in the job's own parser: pages recognised for an
    // EPUB are analysed there, also when several threads are allowed.
    int status = -1;
    testutil::Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/engine/layout/tests/textfixtures.py " +
                      Quote(tmp.str()) + " scanned 2>&1",
                  &status);
    ASSERT_EQ(status, 0);
    const std::string scanned = tmp.str() + "scanned.pdf";
    const std::string three = tmp.str() + "three-scans.pdf";
    testutil::Run("qpdf --empty --pages " + Quote(scanned) + " " + Quote(scanned) + " " +
                      Quote(scanned) + " -- " + Quote(three),
                  &status);
    ASSERT_EQ(status, 0);
    const auto one = Convert(three, 1, 1, "1-3");
    const auto many = Convert(three, 1, 6, "1-3");
    ASSERT_EQ(one.count("OEBPS/3.html"), 1u);
    for (const char* page : {"OEBPS/1.html", "OEBPS/2.html", "OEBPS/3.html"}) {
        SCOPED_TRACE(page);
        EXPECT_NE(one.at(page).find("brown"), std::string::npos);
        EXPECT_TRUE(many.count(page) && many.at(page) == one.at(page));
    }
}

TEST(PagePipelineTest, NoThreadRunsAheadOfTheConsumerWithMorePagesThanItsHand)
{
    // With a slow consumer, workers that ran ahead would each hold many
    // pages at once; with slow pages, so would a consumer that analyses
    // later pages while it waits. Every page arrives in its place, and a
    // thread starts a page only while fewer pages it made than it may hold
    // wait for the consumer to ask for them. With a slow consumer every
    // thread fills its hand: a job given more pages in hand uses them.
    Parser parser;
    parser.Load(utf8::ToWide(jobtest::Fixtures::get().path("ten")), false, "");
    ASSERT_EQ(parser.GetPageCount(), 10);
    constexpr std::size_t kCount = 48;
    struct Case {
        int threads;
        int hand;                                // pages in hand per thread
        std::chrono::microseconds page, write;   // time to analyse, to write
    };
    using us = std::chrono::microseconds;
    constexpr int kText = PagePipeline::kPagesInHand;
    constexpr int kPictures = PagePipeline::kPicturePagesInHand;
    const Case cases[] = {
        {2, kText, us(200), us(2000)},
        {8, kText, us(200), us(2000)},
        {4, kText, us(3000), us(100)},
        {8, kText, us(3000), us(100)},
        {2, kPictures, us(200), us(2000)},
        {8, kPictures, us(200), us(2000)},
        {8, kPictures, us(3000), us(100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.threads) + " threads holding " + std::to_string(c.hand) +
                     " pages, pages of " + std::to_string(c.page.count()) + " us");
        std::mutex mutex;
        std::size_t asked = 0;   // the page the consumer asks for or has
        std::map<std::thread::id, std::vector<std::size_t>> made;
        std::vector<std::string> early;
        long mostWaiting = 0;   // a thread's pages waiting when it started one
        {
            PagePipeline pipeline(&parser, kCount, c.threads, [&](Parser*, std::size_t k) {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    std::vector<std::size_t>& mine = made[std::this_thread::get_id()];
                    const auto waiting = std::count_if(mine.begin(), mine.end(),
                                                       [&](std::size_t j) { return j > asked; });
                    mostWaiting = std::max<long>(mostWaiting, waiting);
                    if (waiting >= c.hand)
                        early.push_back(std::to_string(k) + " while " + std::to_string(mine.back()));
                    mine.push_back(k);
                }
                std::this_thread::sleep_for(c.page);
                auto* page = new Page(nullptr);
                page->SetWidth(static_cast<double>(k));
                return page;
            }, c.hand);
            Page* previous = nullptr;
            for (std::size_t k = 0; k < kCount; ++k) {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    asked = k;
                }
                Page* page = pipeline.take(k);
                ASSERT_NE(page, nullptr);
                EXPECT_EQ(page->GetWidth(), static_cast<double>(k));
                std::this_thread::sleep_for(c.write);
                // As a writer does: the page before is let go once the
                // next is in hand.
                if (k > 0)
                    pipeline.giveBack(k - 1, previous);
                previous = page;
            }
            pipeline.giveBack(kCount - 1, previous);
        }
        EXPECT_TRUE(early.empty()) << early.size() << " pages started early, first: " << early.front();
        if (c.write > c.page) {
            EXPECT_EQ(mostWaiting, c.hand - 1);
        }
        std::size_t pages = 0;
        for (const auto& [thread, list] : made)
            pages += list.size();
        EXPECT_EQ(pages, kCount);
    }
}

} // namespace
