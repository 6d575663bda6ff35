#include "engine/layout/book.h"

#include "engine/layout/imageblock.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/page.h"
#include "engine/layout/pagepipeline.h"
#include "parser/parser.h"

#include <algorithm>
#include <memory>

Book::Book(bool ignoreImages, bool pageAsImage, bool ignoreTables, bool keepObjectOrder,
           int num, void* ctx, const callback_funcs& callbacks, bool drawGraphics)
    : ignoreImages(ignoreImages),
      pageAsImage(pageAsImage),
      ignoreTables(ignoreTables),
      keepObjectOrder(keepObjectOrder),
      drawGraphics(drawGraphics),
      progress(callbacks.progress),
      cancel(callbacks.cancel),
      num(num),
      ctx(ctx)
{
}

Book::~Book()
{
    destory();
}

void Book::ChangeBook(Parser* p)
{
    parser = p;
}

void Book::setWriter(IWriter* w)
{
    if (writer != w)
        delete writer;
    writer = w;
}

void Book::Setnum(int n)
{
    num = n;
}

bool Book::cancelled() const
{
    return cancel && cancel(ctx);
}

void Book::reportPage(int item, int k, int m) const
{
    if (!progress)
        return;
    const double step = 50.0 / m;
    progress(ctx, item, WM_PROGRESS_PERCENT,
             30 + static_cast<int>(step) + static_cast<int>(k * step));
}

bool Book::parse()
{
    const int m = parser->GetPageCount();
    pageCount = m;
    std::vector<Job> jobs;
    for (int k = 0; k < m; ++k)
        jobs.push_back(Job{k, k});
    return addPages(jobs, m);
}

bool Book::parse(int first, int last)
{
    const int count = parser->GetPageCount();
    if (last > count - 1)
        last = count - 1;
    if (first > last || first < 0)
        first = 0;
    const int m = last - first + 1;
    std::vector<Job> jobs;
    for (int page = first; page <= last; ++page)
        jobs.push_back(Job{page, page - first});
    return addPages(jobs, m);
}

bool Book::parse(std::vector<int> list)
{
    const int count = parser->GetPageCount();
    const int m = static_cast<int>(list.size());
    std::vector<Job> jobs;
    for (int k = 0; k < m; ++k) {
        const int page = list[static_cast<std::size_t>(k)];
        if (page >= 0 && page <= count - 1)
            jobs.push_back(Job{page, k});
    }
    return addPages(jobs, m);
}

int Book::threadCount(const Parser* with) const
{
    // Recognised text lives in the document's own parser only.
    const bool recognition = with->GetRecognitionSwitch() || !with->GetRecognitionPages().empty();
    return recognition ? 1 : PagePipeline::DefaultThreads();
}

int Book::pagesInHand() const
{
    return drawsRegions() ? PagePipeline::kPicturePagesInHand : PagePipeline::kPagesInHand;
}

// A page tree may claim far more pages than the file holds: this many pages
// in a row that cannot be loaded end the walk, so that the job's time and
// memory follow the pages the file really has.
constexpr int kMaxMissingRun = 16;

bool Book::missing(bool wasLoaded)
{
    missingRun = wasLoaded ? 0 : missingRun + 1;
    return missingRun >= kMaxMissingRun;
}

void Book::endAfter(std::size_t count)
{
    for (std::size_t k = count; k < pages.size(); ++k)
        delete pages[k];
    pages.resize(count);
    origins.resize(count);
    if (progressSlots.size() > count)
        progressSlots.resize(count);
    for (Document& d : documents)
        d.count = std::min(d.count, count - std::min(d.begin, count));
}

Page* Book::analysePage(Parser* with, int page, std::size_t index)
{
    // Picture files are named by the page's place in the book, so that they
    // are the same whichever thread analyses which page.
    const std::string number = std::to_string(index + 1);
    with->SetImageStem("pimg" + number + "_");
    ImageBlock::StartPage(L"p" + std::wstring(number.begin(), number.end()) + L"_");
    // Pages whose drawings and pictures become pictures are recorded as
    // they are read, so that drawing their picture regions does not read
    // them again. Where the writer draws the graphics itself, few pages
    // have a region to draw.
    with->SetRecordPages(drawsRegions());
    // Only picture regions draw words; without pictures the words keep no
    // drawing records.
    with->SetDrawWords(!ignoreImages);
    auto p = std::make_unique<Page>(writer);
    loaded[index] = p->ParserPage(with, page, ignoreImages, pageAsImage, ignoreTables,
                                  keepObjectOrder, drawGraphics);
    if (writer)
        writer->preparePage(p.get(), index);
    return p.release();
}

bool Book::addPages(const std::vector<Job>& jobs, int m)
{
    const std::size_t base = pages.size();
    const int document = static_cast<int>(documents.size());
    Document& d = documents.emplace_back();
    d.parser = parser;
    d.num = num;
    d.progressOf = m;
    d.begin = base;
    d.count = jobs.size();
    missingRun = 0;
    loaded.resize(base + jobs.size(), 1);
    for (const Job& job : jobs) {
        pages.push_back(nullptr);
        origins.push_back(PageOrigin{document, job.page});
        if (streaming)
            progressSlots.push_back(job.k);
    }
    if (streaming || jobs.empty())
        return true;
    try {
        PagePipeline analysis(parser, jobs.size(), threadCount(parser), [&](Parser* with, std::size_t k) {
            return analysePage(with, jobs[k].page, base + k);
        }, pagesInHand());
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            if (cancelled()) {
                // The pages not analysed leave the book.
                endAfter(base + k);
                return false;
            }
            pages[base + k] = analysis.take(k, [this] { return cancelled(); });
            if (analysis.stopped()) {
                endAfter(base + k);
                return false;
            }
            reportPage(num, jobs[k].k, m);
            if (missing(loaded[base + k])) {
                endAfter(base + k + 1);
                break;
            }
        }
    } catch (...) {
        // A document whose analysis failed part way leaves nothing in the
        // book: neither the pages made so far nor empty places for the
        // others, so that a merged book goes on with the next document.
        endAfter(base);
        loaded.resize(base);
        throw;
    }
    // A request to stop may have ended the last page's run part way.
    return !cancelled();
}

std::vector<Page*> Book::GetPages()
{
    if (streaming && !pages.empty() && analysed < pages.size() && !cancelledWhileWriting) {
        // Asking for the last page analyses every page before it; none is
        // let go, as that happens only as the walk moves on.
        const std::size_t keep = released;
        released = pages.size();
        GetPage(static_cast<int>(pages.size()) - 1);
        released = keep;
    }
    return pages;
}

int Book::PagesHeld() const
{
    return static_cast<int>(std::count_if(pages.begin(), pages.end(), [](Page* p) { return p; }));
}

Page* Book::GetPage(int i)
{
    if (i < 0 || static_cast<std::size_t>(i) >= pages.size())
        return nullptr;
    const auto n = static_cast<std::size_t>(i);
    if (!streaming || n < analysed)
        return pages[n];
    if (WasCancelled())
        return nullptr;
    // The writer is past the pages before i - 1.
    for (; released + 1 < n; ++released)
        letGo(released);
    while (analysed <= n && analysed < pages.size()) {
        if (!walkOne())
            return nullptr;
    }
    return n < pages.size() ? pages[n] : nullptr;
}

bool Book::walkOne()
{
    auto stop = [this] {
        cancelledWhileWriting = true;
        for (Document& d : documents)
            d.pipeline.reset();
        return false;
    };
    if (cancelled())
        return stop();
    const int document = origins[analysed].document;
    Document& d = documents[static_cast<std::size_t>(document)];
    const std::size_t k = analysed - d.begin;
    try {
        if (!d.pipeline) {
            // The document's first page: its pages are analysed from its
            // own parser, and a run of missing pages is counted afresh.
            missingRun = 0;
            const std::size_t begin = d.begin;
            const auto first = origins.begin() + static_cast<std::ptrdiff_t>(begin);
            const std::vector<PageOrigin> list(first, first + static_cast<std::ptrdiff_t>(d.count));
            d.pipeline = std::make_unique<PagePipeline>(
                d.parser, d.count, threadCount(d.parser),
                [this, list, begin](Parser* with, std::size_t j) {
                    return analysePage(with, list[j].page, begin + j);
                },
                pagesInHand());
        }
        pages[analysed] = d.pipeline->take(k, [this] { return cancelled(); });
        if (d.pipeline->stopped())
            return stop();   // asked while a worker analysed the page
        reportPage(d.num, progressSlots[analysed], d.progressOf);
    } catch (...) {
        if (!rewrite)
            throw;
        // The document leaves the book; the next walk goes without it.
        d.failed = true;
        failedDocuments.push_back(document);
        walkAgain = true;
        return false;
    }
    ++analysed;
    if (missing(loaded[analysed - 1]) && analysed < d.begin + d.count) {
        // The document ends here. At the end of the book the walk ends
        // too: the writer is handed no further page. Before another
        // document, whose pages must follow on at once, the book is walked
        // again without the rest of this one.
        const bool later = d.begin + d.count < pages.size();
        d.count = analysed - d.begin;
        if (rewrite && later) {
            walkAgain = true;
            return false;
        }
        endAfter(analysed);
    }
    return true;
}

void Book::letGo(std::size_t k)
{
    Document& d = documents[static_cast<std::size_t>(origins[k].document)];
    if (d.pipeline)
        d.pipeline->giveBack(k - d.begin, pages[k]);
    else
        delete pages[k];
    pages[k] = nullptr;
    // Past the document's last page its analysis (and the workers' copies
    // of its file) ends.
    if (k + 1 >= d.begin + d.count)
        d.pipeline.reset();
}

void Book::letGoAll()
{
    for (std::size_t k = 0; k < pages.size(); ++k)
        letGo(k);
    for (Document& d : documents)
        d.pipeline.reset();
}

void Book::rewind()
{
    letGoAll();
    std::vector<Page*> keptPages;
    std::vector<PageOrigin> keptOrigins;
    std::vector<char> keptLoaded;
    std::vector<int> keptSlots;
    for (Document& d : documents) {
        const std::size_t begin = keptOrigins.size();
        if (!d.failed) {
            for (std::size_t k = d.begin; k < d.begin + d.count; ++k) {
                keptPages.push_back(nullptr);
                keptOrigins.push_back(origins[k]);
                keptLoaded.push_back(1);
                keptSlots.push_back(progressSlots[k]);
            }
        }
        d.begin = begin;
        d.count = keptOrigins.size() - begin;
    }
    pages = std::move(keptPages);
    origins = std::move(keptOrigins);
    loaded = std::move(keptLoaded);
    progressSlots = std::move(keptSlots);
    analysed = 0;
    released = 0;
    missingRun = 0;
}

std::wstring Book::write(const std::wstring& dir, const std::wstring& name)
{
    for (;;) {
        cancelledWhileWriting = false;
        walkAgain = false;
        writer->write(this);
        if (!streaming)
            break;
        // A request to stop may have ended the last page's run part way.
        if (!WasCancelled() && cancelled())
            cancelledWhileWriting = true;
        // Whatever the writer did not walk is not analysed.
        if (!walkAgain || cancelledWhileWriting) {
            letGoAll();
            break;
        }
        rewind();
        // A document left the book, or ended early, during the walk: the
        // writer has written pages the book no longer holds where they were.
        IWriter* fresh = rewrite();
        if (!fresh)
            return std::wstring();
        setWriter(fresh);
    }
    if (cancelledWhileWriting)
        return std::wstring();
    return writer->save(dir, name);
}

void Book::destory()
{
    for (Document& d : documents)
        d.pipeline.reset();
    for (Page* p : pages)
        delete p;
    pages.clear();
    origins.clear();
    delete writer;
    writer = nullptr;
    parser = nullptr;
}
