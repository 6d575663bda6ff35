// Asking the caller's cancel callback during one long parser call (reading
// or drawing a page), so that a request to stop is seen within a fraction
// of a second also inside a page that takes long.
#pragma once

#include "parser/parser.h"

#include <chrono>

namespace parser_detail {

// Asks the callback at most every kInterval, from the thread that runs the
// call (the only one that may ask it). Once the answer is yes it stays yes;
// the devices that run a page then end the run with FZ_ERROR_ABORT.
class CancelProbe {
public:
    static constexpr std::chrono::milliseconds kInterval{50};

    CancelProbe(ParserCancelFn fn, void* ctx)
        : fn_(fn), ctx_(ctx), last_(std::chrono::steady_clock::now())
    {
    }
    CancelProbe(const CancelProbe&) = delete;
    CancelProbe& operator=(const CancelProbe&) = delete;

    // True once the caller asked to stop.
    bool Stopped()
    {
        if (stopped_ || !fn_)
            return stopped_;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < kInterval)
            return false;
        last_ = now;
        stopped_ = fn_(ctx_);
        return stopped_;
    }

private:
    ParserCancelFn fn_;
    void* ctx_;
    std::chrono::steady_clock::time_point last_;
    bool stopped_ = false;
};

} // namespace parser_detail
