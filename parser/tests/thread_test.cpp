// Parser objects on several threads at once.
#include "test_support.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

using namespace ptest;

TEST(Threads, ParsersOnSeveralThreadsGiveTheSameObjects)
{
    auto count = [](const char* file) {
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        std::size_t n = 0;
        for (int i = 0; i < p.GetPageCount(); ++i)
            n += Walk(p, i).all.size();
        return n;
    };
    const char* files[] = {"two_column.pdf", "table.pdf", "links.pdf", "styles.pdf"};
    std::size_t expected[4];
    for (int i = 0; i < 4; ++i)
        expected[i] = count(files[i]);
    auto dir = Scratch("threads");
    std::size_t got[4] = {0, 0, 0, 0};
    bool rendered[4] = {false, false, false, false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round)
                got[i] = count(files[i]);
            const std::string out =
                (dir / std::string("t").append(std::to_string(i)).append(".jpg")).string();
            rendered[i] = Parser::ConvertPDFPageToJpeg(WFixture(files[i]), Wide(out), 1, 40, "");
        });
    // Meanwhile, on this thread, the page count of a file as the desktop
    // program asks for it.
    for (int round = 0; round < 5; ++round) {
        Parser p;
        EXPECT_FALSE(p.Load(WFixture("picture.pdf"), true, nullptr));
        p.Load(WFixture("picture.pdf"), false, nullptr);
        EXPECT_EQ(p.GetPageCount(), 1);
    }
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i], expected[i]) << files[i];
        EXPECT_TRUE(rendered[i]) << files[i];
    }
}

// Page pictures drawn at once by several threads share one budget of 100
// million pixels. Each page here is drawn at 60 million pixels, so no two
// may be drawn at the same time. The cancel callback is asked only while a
// page is being drawn (it never says stop): the times each thread was
// asked must not overlap another thread's.
TEST(Threads, PagePicturesDrawnAtOnceShareOnePixelBudget)
{
    using Clock = std::chrono::steady_clock;
    struct Asked {
        std::mutex mutex;
        std::map<int, std::pair<Clock::time_point, Clock::time_point>> spans; // thread -> first, last
    } asked;
    struct Ask {
        Asked* asked;
        int thread;
    };
    auto dir = Scratch("budget");
    constexpr int kThreads = 3;
    bool rendered[kThreads] = {false, false, false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            Ask ask{&asked, i};
            const std::string out = (dir / ("p" + std::to_string(i) + ".jpg")).string();
            rendered[i] = Parser::ConvertPDFPageToJpeg(
                WFixture("big_fills.pdf"), Wide(out), 1, 1600, "",
                [](void* ctx) {
                    auto* a = static_cast<Ask*>(ctx);
                    const auto now = Clock::now();
                    std::lock_guard<std::mutex> lock(a->asked->mutex);
                    auto it = a->asked->spans.find(a->thread);
                    if (it == a->asked->spans.end())
                        a->asked->spans[a->thread] = {now, now};
                    else
                        it->second.second = now;
                    return false;
                },
                &ask);
        });
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_TRUE(rendered[i]) << i;
    ASSERT_EQ(asked.spans.size(), static_cast<std::size_t>(kThreads))
        << "every drawing takes long enough to be asked";
    std::vector<std::pair<Clock::time_point, Clock::time_point>> spans;
    for (const auto& [thread, span] : asked.spans)
        spans.push_back(span);
    std::sort(spans.begin(), spans.end());
    for (std::size_t k = 1; k < spans.size(); ++k)
        EXPECT_GT(spans[k].first, spans[k - 1].second) << "two pages were drawn at once";
}
