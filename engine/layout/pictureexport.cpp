#include "engine/layout/pictureexport.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::atomic<RenderThreadStarter> g_starter{nullptr};

bool MakeFolder(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::create_directories(utf8::Path(path), ec);
    return std::filesystem::is_directory(utf8::Path(path), ec);
}

std::wstring WithoutTrailingSlash(std::wstring s)
{
    if (!s.empty() && s.back() == L'/')
        s.pop_back();
    return s;
}

std::wstring LoadedPdfPath(Parser* parser)
{
    std::vector<wchar_t> buf(1024);
    if (!parser->GetParsedFilePath(buf.data(), static_cast<int>(buf.size())))
        return {};
    return buf.data();
}

// A request to stop that reaches the rendering threads. Only the job's own
// thread may ask the caller's cancel callback: it raises the flag, which the
// rendering threads read while they draw.
class StopSignal {
public:
    StopSignal(const callback_funcs& callbacks, void* ctx)
        : callbacks_(callbacks), ctx_(ctx), owner_(std::this_thread::get_id())
    {
    }
    // True once a stop was asked for; on the job's thread the callback is
    // asked first.
    bool Asked()
    {
        if (raised_.load())
            return true;
        if (std::this_thread::get_id() == owner_ && callbacks_.cancel && callbacks_.cancel(ctx_))
            raised_.store(true);
        return raised_.load();
    }
    // True once a stop was asked for, without asking again.
    bool Raised() const { return raised_.load(); }
    // For the renderer's cancel parameter.
    static bool Ask(void* signal) { return static_cast<StopSignal*>(signal)->Asked(); }

private:
    const callback_funcs& callbacks_;
    void* ctx_;
    std::thread::id owner_;
    std::atomic<bool> raised_{false};
};

// Renders page p of the PDF whole; true when the renderer wrote the picture.
// A stop asked for while the page is drawn ends it with no picture.
bool RenderPage(const std::wstring& pdf, int p, int n, float scale, const std::string& password,
                StopSignal& stop)
{
    const std::wstring picture = GlobalEnum::tmppath + L"ImageFiles/Page" + int2wstr(n) + L".jpg";
    return !pdf.empty() &&
           Parser::ConvertPDFPageToJpeg(pdf, picture, p + 1, static_cast<int>(scale) * 96, password,
                                        &StopSignal::Ask, &stop);
}

// Takes every picture of page p out of the PDF; a page without pictures
// counts as done.
bool ExtractPictures(Parser* parser, int p, int n)
{
    if (!parser->SetCurrentPage(p))
        return false;
    int k = 1;
    while (CollectBase* obj = parser->GetNextObj()) {
        auto* image = dynamic_cast<ImageCollect*>(obj);
        if (!image)
            continue;
        const std::wstring path = GlobalEnum::tmppath + L"ImageFiles/Page" + int2wstr(n) + L"_" +
                                  int2wstr(k) + L".jpg";
        // A picture that could not be made is left out; the next one takes
        // its number.
        bool made = false;
        if (image->GetImagePath().empty()) {
            made = false;
        } else if (!image->GetMaskPath()) {
            made = CopyFile(image->GetImagePath(), path, false);
        } else {
            // A masked picture is drawn as it shows on the page.
            ImageCollect region;
            std::vector<CollectBase*> one{image};
            made = parser->DrawObjects(one, path, region);
        }
        if (made)
            ++k;
    }
    return true;
}

void Report(const callback_funcs& cb, void* ctx, int index, int value)
{
    if (cb.progress)
        cb.progress(ctx, index, WM_PROGRESS_PERCENT, value);
}

// Runs numbered jobs on a few threads; results are collected in job order by
// the caller, which alone talks to the callbacks.
class JobPool {
public:
    // Starts up to `threads` threads; one that cannot be started leaves the
    // pool with those already running (size() says how many, maybe none).
    JobPool(int threads, std::function<bool(int)> work, int jobs)
        : work_(std::move(work)), state_(static_cast<std::size_t>(jobs), kWaiting)
    {
        threads_.reserve(static_cast<std::size_t>(threads));
        const RenderThreadStarter start = g_starter.load();
        for (int t = 0; t < threads; ++t) {
            try {
                threads_.push_back(start ? start([this] { run(); })
                                         : std::thread([this] { run(); }));
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    int size() const { return static_cast<int>(threads_.size()); }
    ~JobPool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    void submit(int job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(job);
        }
        wake_.notify_one();
    }
    // Blocks until the job has run; its result. `idle` is called (without
    // the lock) every `interval` the job is still running.
    bool wait(int job, std::chrono::milliseconds interval, const std::function<void()>& idle)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto ran = [&] { return state_[static_cast<std::size_t>(job)] != kWaiting; };
        while (!done_.wait_for(lock, interval, ran)) {
            lock.unlock();
            idle();
            lock.lock();
        }
        return state_[static_cast<std::size_t>(job)] == kSucceeded;
    }

private:
    enum State : char { kWaiting, kSucceeded, kFailed };

    void run()
    {
        for (;;) {
            int job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stopping_ || next_ < queue_.size(); });
                if (next_ >= queue_.size())
                    return;
                job = queue_[next_++];
            }
            bool ok = false;
            try {
                ok = work_(job);
            } catch (...) {
                ok = false;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                state_[static_cast<std::size_t>(job)] = ok ? kSucceeded : kFailed;
            }
            done_.notify_all();
        }
    }

    std::function<bool(int)> work_;
    std::vector<State> state_;
    std::vector<int> queue_;
    std::size_t next_ = 0;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
};

// How often the job's thread asks the cancel callback while it waits for a
// page that the pool draws; the drawing itself sees the stop within a
// fraction of a second.
constexpr std::chrono::milliseconds kStopPoll{250};

// Threads that render pages at once: rendering a page is independent of the
// others, so whole-page pictures use every core (at most four).
int RenderThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 4u));
}

} // namespace

void SetRenderThreadStarter(RenderThreadStarter starter)
{
    g_starter.store(starter);
}

PageImageExport exportPageImages(Parser* parser, const std::wstring& name,
                                 const Basedata_w& item, const callback_funcs& callbacks,
                                 void* ctx, int index, float scale, int pageOffset,
                                 bool merge, const std::wstring& mergeFolder)
{
    PageImageExport result;
    const int count = parser->GetPageCount();
    const bool extract = item.imgExtract;
    const std::wstring out = WithoutTrailingSlash(item.dest);
    const std::wstring base = out + L"/" + name;
    const std::wstring pdf = LoadedPdfPath(parser);
    // A one-page document rendered whole becomes one picture beside the other
    // outputs, under a name no existing file has.
    if (!extract && count == 1 && !merge) {
        if (!MakeFolder(out))
            return result;
        // The name is claimed before the page is drawn into it; a page that
        // cannot be drawn gives the name back.
        const std::wstring target = ClaimOutputFile(base, L".jpg");
        if (target.empty())
            return result;
        StopSignal stop(callbacks, ctx);
        if (pdf.empty() || !Parser::ConvertPDFPageToJpeg(pdf, target, 1,
                                                         static_cast<int>(scale) * 96,
                                                         item.password, &StopSignal::Ask,
                                                         &stop)) {
            DeleteFile(target);
            if (stop.Raised())
                result.status = ExportStatus::Cancelled;
            return result;
        }
        result.status = ExportStatus::Done;
        result.path = target;
        return result;
    }

    std::vector<int> chosen;
    if (item.pages.empty() && item.first == 0 && item.last == 0) {
        for (int p = 0; p < count; ++p)
            chosen.push_back(p);
    } else if (!item.pages.empty()) {
        chosen = item.pages;
    }
    if (chosen.empty() || count <= 0)
        return result;

    // A folder of its own, claimed by making it; taken back when nothing of
    // the item lands in it.
    const bool ownFolder = mergeFolder.empty();
    const std::wstring folder = ownFolder ? ClaimOutputFolder(base) : mergeFolder;
    if (folder.empty() || !MakeFolder(folder))
        return result;
    auto giveBack = [&] {
        DeleteFiles(GlobalEnum::tmppath + L"Files/*", false);
        if (ownFolder) {
            std::error_code ec;
            std::filesystem::remove_all(utf8::Path(folder), ec);
        }
    };

    const int m = static_cast<int>(chosen.size());
    const double step = 50.0 / m;
    const int basePercent = static_cast<int>(step) + 30;
    StopSignal stop(callbacks, ctx);
    auto exportPage = [&](int j) {
        const int p = chosen[static_cast<std::size_t>(j)];
        if (p < 0 || p >= count || stop.Raised())
            return false;
        const int n = pageOffset + p + 1;
        return extract ? ExtractPictures(parser, p, n)
                       : RenderPage(pdf, p, n, scale, item.password, stop);
    };

    // Pictures are taken out through the parser object, which serves one
    // thread; whole pages are rendered by the pool. The cancel callback is
    // asked before each page is started, while a page is awaited (and, on
    // this thread, while it is drawn), and the progress of each page is
    // reported in page order, all on this thread.
    const int threads = extract ? 1 : std::min(RenderThreads(), m);
    std::unique_ptr<JobPool> pool;
    if (threads > 1) {
        pool = std::make_unique<JobPool>(threads, exportPage, m);
        if (pool->size() == 0)
            pool.reset();   // no thread could be started: this one renders
    }
    const int window = pool ? 2 * pool->size() : 1;
    // A page tree may claim far more pages than the file holds: a run of
    // pages that cannot be made ends the export.
    constexpr int kMaxMissingRun = 16;
    int missingRun = 0;
    int done = 0;
    int started = 0;
    bool cancelled = false;
    for (int j = 0; j < m && missingRun < kMaxMissingRun; ++j) {
        while (!cancelled && started < m && started - j < window) {
            if (stop.Asked()) {
                cancelled = true;
                break;
            }
            if (pool)
                pool->submit(started);
            ++started;
        }
        if (j >= started)
            break;   // cancelled before this page was started
        const bool made = pool ? pool->wait(j, kStopPoll, [&] { stop.Asked(); }) : exportPage(j);
        if (!cancelled && stop.Raised()) {
            cancelled = true;   // asked while the page was drawn: it is unfinished
            break;
        }
        if (made) {
            ++done;
            missingRun = 0;
        } else {
            ++missingRun;
        }
        Report(callbacks, ctx, index, static_cast<int>(j * step) + basePercent);
    }
    pool.reset();
    if (cancelled) {
        giveBack();
        result.status = ExportStatus::Cancelled;
        return result;
    }

    if (done == 0) {
        giveBack();
        return result;
    }
    // An empty ImageFiles (pages without pictures) is no failure.
    CopyFiles(GlobalEnum::tmppath + L"ImageFiles/*", folder + L"/", true);
    result.status = ExportStatus::Done;
    result.path = folder;
    return result;
}
