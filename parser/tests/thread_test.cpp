// Parser objects on several threads at once.
#include "test_support.h"

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
