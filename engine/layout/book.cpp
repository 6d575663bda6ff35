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

void Book::reportPage(int k, int m) const
{
    if (!progress)
        return;
    const double step = 50.0 / m;
    progress(ctx, num, WM_PROGRESS_PERCENT,
             30 + static_cast<int>(step) + static_cast<int>(k * step));
}

bool Book::parse()
{
    const int m = parser->GetPageCount();
    pageCount = m;
    ++documents;
    std::vector<Job> jobs;
    for (int k = 0; k < m; ++k)
        jobs.push_back(Job{k, k});
    return addPages(jobs, m);
}

bool Book::parse(int first, int last)
{
    const int count = parser->GetPageCount();
    ++documents;
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
    ++documents;
    const int m = static_cast<int>(list.size());
    std::vector<Job> jobs;
    for (int k = 0; k < m; ++k) {
        const int page = list[static_cast<std::size_t>(k)];
        if (page >= 0 && page <= count - 1)
            jobs.push_back(Job{page, k});
    }
    return addPages(jobs, m);
}

int Book::threadCount() const
{
    // Recognised text lives in the job's own parser only.
    const bool recognition = parser->GetRecognitionSwitch() || !parser->GetRecognitionPages().empty();
    return recognition ? 1 : PagePipeline::DefaultThreads();
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
}

Page* Book::analysePage(Parser* with, int page, std::size_t index)
{
    // Picture files are named by the page's place in the book, so that they
    // are the same whichever thread analyses which page.
    const std::string number = std::to_string(index + 1);
    with->SetImageStem("pimg" + number + "_");
    ImageBlock::StartPage(L"p" + std::wstring(number.begin(), number.end()) + L"_");
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
    missingRun = 0;
    loaded.resize(base + jobs.size(), 1);
    for (const Job& job : jobs) {
        pages.push_back(nullptr);
        origins.push_back(PageOrigin{documents - 1, job.page});
        if (streaming)
            progressSlots.push_back(job.k);
    }
    if (streaming) {
        progressOf = m;
        return true;
    }
    if (jobs.empty())
        return true;
    try {
        PagePipeline analysis(parser, jobs.size(), threadCount(), [&](Parser* with, std::size_t k) {
            return analysePage(with, jobs[k].page, base + k);
        });
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
            reportPage(jobs[k].k, m);
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
    if (cancelledWhileWriting)
        return nullptr;
    if (!pipeline) {
        const std::vector<PageOrigin> list = origins;
        pipeline = std::make_unique<PagePipeline>(
            parser, pages.size(), threadCount(), [this, list](Parser* with, std::size_t k) {
                return analysePage(with, list[k].page, k);
            });
    }
    // The writer is past the pages before i - 1.
    for (; released + 1 < n; ++released) {
        pipeline->giveBack(released, pages[released]);
        pages[released] = nullptr;
    }
    while (analysed <= n) {
        if (cancelled()) {
            cancelledWhileWriting = true;
            pipeline.reset();
            return nullptr;
        }
        pages[analysed] = pipeline->take(analysed, [this] { return cancelled(); });
        if (pipeline->stopped()) {
            // Asked while a worker analysed the page: the walk ends as above.
            cancelledWhileWriting = true;
            pipeline.reset();
            return nullptr;
        }
        reportPage(progressSlots[analysed], progressOf);
        ++analysed;
        if (missing(loaded[analysed - 1])) {
            // The walk ends here: the writer is handed no further page.
            endAfter(analysed);
            break;
        }
    }
    return n < pages.size() ? pages[n] : nullptr;
}

std::wstring Book::write(const std::wstring& dir, const std::wstring& name)
{
    cancelledWhileWriting = false;
    writer->write(this);
    // A request to stop may have ended the last page's run part way.
    if (streaming && !cancelledWhileWriting && cancelled())
        cancelledWhileWriting = true;
    if (streaming) {
        // Whatever the writer did not walk is not analysed.
        for (std::size_t k = 0; k < pages.size(); ++k) {
            if (pipeline)
                pipeline->giveBack(k, pages[k]);
            else
                delete pages[k];
            pages[k] = nullptr;
        }
        pipeline.reset();
    }
    if (cancelledWhileWriting)
        return std::wstring();
    return writer->save(dir, name);
}

void Book::destory()
{
    pipeline.reset();
    for (Page* p : pages)
        delete p;
    pages.clear();
    origins.clear();
    delete writer;
    writer = nullptr;
    parser = nullptr;
}
