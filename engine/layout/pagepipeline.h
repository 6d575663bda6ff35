// Page analysis on several threads. The pages of a list are analysed ahead
// by worker threads, each with a parser of its own on the same PDF, and are
// taken by one consumer in list order. Workers run at most a window of pages
// ahead of the consumer, so that the pages held at any time stay few
// whatever the length of the document. A page that no worker has started
// when the consumer asks for it is analysed by the consumer itself with the
// job's own parser; with one thread every page is. While it waits for a page
// a worker holds, the consumer analyses a later one nobody has started.
// Each thread's pages come from its own allocator pool, which keeps the
// memory of its busiest moment: every thread, the consumer included, holds
// few pages of its own at a time, so that no pool grows for the many pages
// one thread happened to be given.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Page;
class Parser;

class PagePipeline {
public:
    // Analyses list entry k with the given parser into a new page.
    using Analyse = std::function<Page*(Parser* parser, std::size_t k)>;

    // Pages each thread may hold of its own: a worker, those it claimed that
    // are not taken yet and those handed back to it that it has not freed
    // yet; the consumer, those it analysed ahead while it waited. Two keep
    // every thread's allocator pool to about two page models besides its
    // parser, which on eight threads saves a tenth of a long text job's peak
    // memory, and keep the threads busy: with one each, threads waited to be
    // woken after every page and eight threads took a fifth longer. Every
    // page more costs a page model per thread (on eight threads four pages
    // each held 5 MB more than two).
    static constexpr int kPagesInHand = 2;
    // Where pages draw their picture regions, one page takes many times as
    // long as the next (a figure of thousands of strokes beside pages of
    // text): with two pages each, the threads stood idle behind such a page
    // until the consumer took it. Four keep them at the pages after it, and
    // left the peak memory of such jobs within a megabyte of two.
    static constexpr int kPicturePagesInHand = 4;

    // `main` is the job's parser, loaded with the PDF; workers open the
    // same file as it has it open (Parser::LoadAlike). threads <= 1: no worker.
    PagePipeline(Parser* main, std::size_t count, int threads, Analyse analyse,
                 int pagesInHand = kPagesInHand);
    // Stops the workers and frees the pages not taken.
    ~PagePipeline();
    PagePipeline(const PagePipeline&) = delete;
    PagePipeline& operator=(const PagePipeline&) = delete;

    // Page k, waiting for it if a worker analyses it. Pages are taken in
    // order, each once. An exception of its analysis is thrown here, on the
    // consumer's thread.
    // While a worker holds page k, `cancelled` (if given) is asked at most
    // every 250 ms; when it answers true the workers stop, abandoning the
    // pages in hand, and take gives nullptr (stopped() then tells).
    Page* take(std::size_t k, const std::function<bool()>& cancelled = {});
    bool stopped() const { return stopping_.load(); }
    // Hands back page k, taken and done with: it is freed by the thread
    // that made it. A page's many small blocks come from the allocator's
    // pool of that thread, and freeing them from another thread would make
    // the two wait for each other's pool.
    void giveBack(std::size_t k, Page* page);

    // On a worker's thread, frees the pages handed back to it since it
    // started the page it analyses; elsewhere does nothing. A worker frees
    // them before each page it starts, but the consumer hands a page back
    // once it has taken the next, mostly while the worker is at its next
    // page already: page analysis calls this once the parser has read the
    // page, before it makes the page's records, which then take the memory
    // of the pages freed instead of adding a third page to the worker's two.
    static void FreeReturnedPages();

    // Threads for page analysis: the processors this process may run on,
    // at most eight; SetThreadLimit overrides (0: back to that default).
    static int DefaultThreads();
    static void SetThreadLimit(int threads);

private:
    enum State : int { kWaiting, kRunning, kDone };
    struct Slot {
        std::atomic<int> state{kWaiting};
        Page* page = nullptr;
        std::exception_ptr error;
        int maker = -1;       // the worker that analysed it; -1: the consumer
        bool ahead = false;   // the consumer analysed it while waiting
    };

    void work(Parser* parser, int self);
    // Claims the next page within the window; false when there is none.
    bool claim(std::size_t& k);
    void analyse(Parser* parser, std::size_t k, int maker);
    void freeSpent(int self);
    // The workers' parsers ask this through their cancel hook, so that a
    // worker's page analysis ends when the pipeline stops.
    static bool StopAsked(void* self);
    // Waits until slot's state leaves `state`, at most `ms` milliseconds.
    static void waitState(Slot& slot, int state, int ms);

    // Workers and consumer meet through atomics, not a condition variable:
    // waking the workers after every page taken must not make the consumer
    // wait until they have been scheduled, which on a loaded machine costs
    // more than the page.
    Analyse analyse_;
    Parser* main_;
    std::size_t count_;
    std::unique_ptr<Slot[]> slots_;
    std::atomic<std::size_t> next_{0};    // the first entry nobody has started
    std::atomic<std::size_t> taken_{0};   // entries the consumer has taken
    std::atomic<unsigned> epoch_{0};      // moves on every take, and to stop
    std::atomic<bool> stopping_{false};
    int hand_;               // pages in hand per thread
    std::size_t window_ = 1;
    std::mutex spentMutex_;
    std::vector<std::vector<Page*>> spent_;   // per worker: pages to free
    // Per worker: pages it claimed that are not taken yet, and pages handed
    // back to it that it has not freed yet.
    std::unique_ptr<std::atomic<int>[]> held_;
    int ahead_ = 0;   // the consumer's pages analysed ahead, not taken yet
    std::vector<std::thread> threads_;
};
