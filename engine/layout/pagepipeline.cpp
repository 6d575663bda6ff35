#include "engine/layout/pagepipeline.h"

#include "engine/layout/page.h"
#include "parser/parser.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>
#include <string>

namespace {

std::atomic<int> g_threadLimit{0};

// The worker that runs on this thread (none: null), for FreeReturnedPages.
struct Worker {
    PagePipeline* pipeline = nullptr;
    int self = -1;
};
thread_local Worker t_worker;

// What a worker needs besides the job's parser, read on the consumer's
// thread before the workers start.
struct Source {
    std::wstring imageDir;
    bool recognition = false;
    int recognitionOption = 0;
};

} // namespace

int PagePipeline::DefaultThreads()
{
    if (const int limit = g_threadLimit.load(); limit > 0)
        return limit;
    // The processors this process may run on (a process pinned to two
    // cores gets two threads), at most eight.
    cpu_set_t set;
    CPU_ZERO(&set);
    int cores = 1;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        cores = CPU_COUNT(&set);
    else if (const unsigned n = std::thread::hardware_concurrency(); n > 0)
        cores = static_cast<int>(n);
    return std::clamp(cores, 1, 8);
}

void PagePipeline::SetThreadLimit(int threads)
{
    g_threadLimit.store(std::max(threads, 0));
}

PagePipeline::PagePipeline(Parser* main, std::size_t count, int threads, Analyse analyse,
                           int pagesInHand)
    : analyse_(std::move(analyse)),
      main_(main),
      count_(count),
      slots_(new Slot[count]),
      hand_(std::max(pagesInHand, 1))
{
    const int workers = std::min<int>(threads, static_cast<int>(count)) - 1;
    if (workers < 1 || !main)
        return;
    // The pages in hand per thread keep the threads busy while the consumer
    // writes, and while a thread that holds the next page waits for a
    // processor on a busy machine.
    window_ = static_cast<std::size_t>(hand_) * static_cast<std::size_t>(workers + 1);
    held_.reset(new std::atomic<int>[static_cast<std::size_t>(workers)]);
    for (int t = 0; t < workers; ++t)
        held_[t] = 0;
    if (main->GetPageCount() <= 0)
        return;
    auto source = std::make_shared<Source>();
    source->imageDir = main->GetImageDir();
    source->recognition = main->GetRecognitionSwitch();
    source->recognitionOption = main->GetRecognitionOption();
    spent_.resize(static_cast<std::size_t>(workers));
    for (int t = 0; t < workers; ++t) {
        threads_.emplace_back([this, source, t] {
            // A worker whose parser cannot open the file leaves its pages to
            // the others and to the consumer.
            std::unique_ptr<Parser> parser;
            try {
                parser = std::make_unique<Parser>();
                parser->SetImageDir(source->imageDir);
                parser->SetRecognitionSwitch(source->recognition);
                parser->SetRecognitionOption(source->recognitionOption);
                parser->SetCallbacks(nullptr, &PagePipeline::StopAsked, this);
                // The file as the job's parser opened it, without walking its
                // page tree again.
                if (!parser->LoadAlike(*main_))
                    return;
            } catch (...) {
                return;
            }
            t_worker = Worker{this, t};
            work(parser.get(), t);
            t_worker = Worker{};
        });
    }
}

PagePipeline::~PagePipeline()
{
    stopping_ = true;
    ++epoch_;
    epoch_.notify_all();
    for (std::thread& t : threads_)
        t.join();
    for (std::size_t k = taken_; k < count_; ++k)
        delete slots_[k].page;
    for (std::vector<Page*>& pages : spent_) {
        for (Page* p : pages)
            delete p;
    }
}

bool PagePipeline::StopAsked(void* self)
{
    return static_cast<PagePipeline*>(self)->stopping_.load(std::memory_order_relaxed);
}

void PagePipeline::waitState(Slot& slot, int state, int ms)
{
    // A futex wait on the slot's state with a time limit: the maker wakes
    // it with one futex call (no condition variable, no lock), and the
    // consumer still gets back in time to ask for a cancel.
    static_assert(sizeof(std::atomic<int>) == sizeof(int), "futex word");
    timespec limit{ms / 1000, (ms % 1000) * 1000000L};
    syscall(SYS_futex, reinterpret_cast<int*>(&slot.state), FUTEX_WAIT_PRIVATE, state, &limit,
            nullptr, 0);
}

void PagePipeline::analyse(Parser* parser, std::size_t k, int maker)
{
    Slot& slot = slots_[k];
    try {
        slot.page = analyse_(parser, k);
    } catch (...) {
        slot.error = std::current_exception();
    }
    slot.maker = maker;
    slot.state.store(kDone);
    syscall(SYS_futex, reinterpret_cast<int*>(&slot.state), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
            nullptr, 0);
}

bool PagePipeline::claim(std::size_t& k)
{
    std::size_t n = next_.load();
    for (;;) {
        if (n >= count_ || n >= taken_.load() + window_)
            return false;
        if (next_.compare_exchange_weak(n, n + 1)) {
            k = n;
            slots_[k].state.store(kRunning);
            return true;
        }
    }
}

void PagePipeline::FreeReturnedPages()
{
    if (t_worker.pipeline)
        t_worker.pipeline->freeSpent(t_worker.self);
}

void PagePipeline::freeSpent(int self)
{
    std::vector<Page*> spent;
    {
        std::lock_guard<std::mutex> lock(spentMutex_);
        spent.swap(spent_[static_cast<std::size_t>(self)]);
    }
    for (Page* p : spent)
        delete p;
    held_[self] -= static_cast<int>(spent.size());
}

void PagePipeline::work(Parser* parser, int self)
{
    // With every page claimed a worker stays to free what it made.
    for (;;) {
        freeSpent(self);
        if (stopping_)
            return;
        const unsigned seen = epoch_.load();
        std::size_t k = 0;
        if (held_[self].load() < hand_ && claim(k)) {
            ++held_[self];
            analyse(parser, k, self);
            continue;
        }
        epoch_.wait(seen);
    }
}

void PagePipeline::giveBack(std::size_t k, Page* page)
{
    if (!page)
        return;
    const int maker = k < count_ ? slots_[k].maker : -1;
    if (maker < 0) {
        delete page;   // made on this thread
        return;
    }
    std::lock_guard<std::mutex> lock(spentMutex_);
    ++held_[maker];
    spent_[static_cast<std::size_t>(maker)].push_back(page);
}

Page* PagePipeline::take(std::size_t k, const std::function<bool()>& cancelled)
{
    if (k >= count_)
        return nullptr;
    Slot& slot = slots_[k];
    std::size_t expected = k;
    if (next_.compare_exchange_strong(expected, k + 1)) {
        // Nobody has started it: the consumer analyses it itself.
        slot.state.store(kRunning);
        analyse(main_, k, -1);
    }
    // The first question comes a quarter second into the wait: pages that
    // are ready soon are taken without asking.
    auto lastAsk = std::chrono::steady_clock::now();
    for (int state = slot.state.load(); state != kDone; state = slot.state.load()) {
        // While a worker has page k, the consumer analyses a later page that
        // nobody has started instead of waiting idle: on two processors the
        // consumer is half of the work force.
        std::size_t later = 0;
        if (ahead_ < hand_ && claim(later)) {
            ++ahead_;
            slots_[later].ahead = true;
            analyse(main_, later, -1);
            continue;
        }
        if (!cancelled) {
            waitState(slot, state, 1000);
            continue;
        }
        if (state != slot.state.load())
            continue;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastAsk >= std::chrono::milliseconds(250)) {
            lastAsk = now;
            if (cancelled()) {
                stopping_ = true;
                ++epoch_;
                epoch_.notify_all();
                return nullptr;
            }
        }
        waitState(slot, state, 250);
    }
    taken_ = k + 1;
    if (slot.maker >= 0)
        --held_[slot.maker];
    else if (slot.ahead)
        --ahead_;
    ++epoch_;
    epoch_.notify_all();
    Page* page = slot.page;
    slot.page = nullptr;
    std::exception_ptr error = slot.error;
    slot.error = nullptr;
    if (error)
        std::rethrow_exception(error);
    return page;
}
