// Asking a caller's cancel callback during one long call (reading, drawing
// or analysing a page), so that a request to stop is seen within a fraction
// of a second also inside a page that takes long, while a short call is not
// asked at all.
#pragma once

#include "parser/parser.h"

#include <chrono>

// Asks the callback at most once per interval, from the thread that runs the
// call (the only one that may ask it). Once the answer is yes it stays yes.
// Without a callback (a worker's parser) nothing is ever asked.
//
// A caller that asks between steps of a microsecond or less (once a word)
// lets the probe read the clock only once in `questionsPerClock` questions:
// reading it is then a noticeable share of the work, and a few dozen such
// steps still take far less than the interval.
class CancelProbe {
public:
    static constexpr std::chrono::milliseconds kDefaultInterval{50};

    CancelProbe(ParserCancelFn fn, void* ctx,
                std::chrono::milliseconds interval = kDefaultInterval, int questionsPerClock = 1)
        : fn_(fn), ctx_(ctx), interval_(interval), questionsPerClock_(questionsPerClock),
          last_(std::chrono::steady_clock::now())
    {
    }
    CancelProbe(const CancelProbe&) = delete;
    CancelProbe& operator=(const CancelProbe&) = delete;

    // True once the caller asked to stop.
    bool Stopped()
    {
        if (stopped_ || !fn_)
            return stopped_;
        if (++questions_ < questionsPerClock_)
            return false;
        questions_ = 0;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < interval_)
            return false;
        last_ = now;
        stopped_ = fn_(ctx_);
        return stopped_;
    }

private:
    ParserCancelFn fn_;
    void* ctx_;
    std::chrono::milliseconds interval_;
    int questionsPerClock_;
    int questions_ = 0;
    std::chrono::steady_clock::time_point last_;
    bool stopped_ = false;
};
