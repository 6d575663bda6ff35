// The cancel probe: how often it asks the caller's callback, and that an
// answer of yes is kept.
#include "parser/cancel_probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

struct Caller {
    int asked = 0;
    int yesFrom = 0; // answers yes from this question on (0: never)
};

bool Ask(void* ctx)
{
    auto* c = static_cast<Caller*>(ctx);
    ++c->asked;
    return c->yesFrom > 0 && c->asked >= c->yesFrom;
}

// With no interval, every clock reading asks the callback: one reading in
// `questionsPerClock` questions. The probe says stop from the question
// whose reading got a yes, and asks no more after it.
TEST(CancelProbe, AsksOnceInItsCountOfQuestionsAndKeepsAYes)
{
    struct Case {
        const char* what;
        int questionsPerClock;
        int yesFrom;
        int questions;
        int asked;               // callback calls after all the questions
        int firstStop;           // the first question answered stop (1-based; 0: none)
    };
    const Case cases[] = {
        {"every question reads the clock", 1, 0, 10, 10, 0},
        {"one reading in four", 4, 0, 10, 2, 0},
        {"a yes at the second reading", 4, 2, 12, 2, 8},
        {"a yes at once", 1, 1, 5, 1, 1},
        {"fewer questions than a count", 32, 1, 31, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Caller caller;
        caller.yesFrom = c.yesFrom;
        CancelProbe probe(Ask, &caller, std::chrono::milliseconds(0), c.questionsPerClock);
        int firstStop = 0;
        for (int q = 1; q <= c.questions; ++q)
            if (probe.Stopped() && firstStop == 0)
                firstStop = q;
        EXPECT_EQ(caller.asked, c.asked);
        EXPECT_EQ(firstStop, c.firstStop);
    }
}

TEST(CancelProbe, WithoutACallbackNeverStops)
{
    CancelProbe probe(nullptr, nullptr, std::chrono::milliseconds(0), 2);
    for (int q = 0; q < 8; ++q)
        EXPECT_FALSE(probe.Stopped());
}

} // namespace
