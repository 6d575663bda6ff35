// MuPDF contexts whose drawing can be shared out among threads. Each parser
// uses its context on one thread, and MuPDF's locks would cost every keep
// and drop of an object for nothing; the locks of a context made here stay
// off until a SharedDrawing turns them on for the time that contexts cloned
// from it draw on other threads.
#include "internal.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace parser_detail {
namespace {

struct ContextLocks {
    std::mutex mutex[FZ_LOCK_MAX];
    // Changed only by the context's own thread between MuPDF calls, while
    // no other thread uses the context: no lock is held when it changes.
    std::atomic<bool> on{false};
    // Bytes of pictures decoded on the context since its store was last
    // emptied.
    std::atomic<std::size_t> pictureBytes{0};
};

void LockContext(void* user, int lock)
{
    auto* locks = static_cast<ContextLocks*>(user);
    if (locks->on.load(std::memory_order_relaxed))
        locks->mutex[lock].lock();
}

void UnlockContext(void* user, int lock)
{
    auto* locks = static_cast<ContextLocks*>(user);
    if (locks->on.load(std::memory_order_relaxed))
        locks->mutex[lock].unlock();
}

void Silent(void*, const char*) {}

// MuPDF keeps decoded pictures, fonts and other resources of a document in
// its context's store for reuse, by default up to 256 MB. Every analysis or
// drawing thread has a context of its own, and a document whose pages each
// show pictures of their own filled every store to that size: memory grew
// with the document, up to 256 MB per thread. A store of 16 MB still keeps a
// page's fonts and the pictures it shares with its neighbours; what is older
// is decoded again when a later page needs it.
constexpr std::size_t kStoreLimit = std::size_t{16} << 20;

// Decoded pictures are seldom used again once their page is done, yet they
// filled the stores of all threads to the limit. Once pictures of this much
// have been decoded, the store is emptied between two pages.
constexpr std::size_t kPictureBytesKept = kStoreLimit / 8;

// The blocks of at least this size allocated while a ZeroPagesBack lives
// (see there).
constexpr std::size_t kLargeBlock = std::size_t{64} << 10;

// The large blocks noted on this thread; null while none are noted.
thread_local ZeroPagesBack::Blocks* t_newBlocks = nullptr;

void* ContextMalloc(void*, std::size_t size)
{
    void* p = std::malloc(size);
    ZeroPagesBack::Blocks* noted = t_newBlocks;
    if (p && noted && size >= kLargeBlock && noted->count < ZeroPagesBack::Blocks::kMax) {
        noted->block[noted->count] = p;
        noted->size[noted->count] = size;
        ++noted->count;
    }
    return p;
}

void* ContextRealloc(void*, void* old, std::size_t size)
{
    if (ZeroPagesBack::Blocks* noted = t_newBlocks)
        noted->Forget(old);
    return std::realloc(old, size);
}

void ContextFree(void*, void* p)
{
    if (ZeroPagesBack::Blocks* noted = t_newBlocks)
        noted->Forget(p);
    std::free(p);
}

bool AllZero(const unsigned char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] != 0)
            return false;
    }
    return true;
}

} // namespace

void ZeroPagesBack::Blocks::Forget(void* p)
{
    for (int i = 0; i < count; ++i) {
        if (block[i] == p)
            block[i] = nullptr;
    }
}

ZeroPagesBack::ZeroPagesBack() : outer_(t_newBlocks)
{
    t_newBlocks = &blocks_;
}

ZeroPagesBack::~ZeroPagesBack()
{
    t_newBlocks = outer_;
    const Blocks& noted = blocks_;
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0)
        return;
    const auto step = static_cast<std::uintptr_t>(page);
    for (int i = 0; i < noted.count; ++i) {
        if (!noted.block[i])
            continue;
        const auto begin = reinterpret_cast<std::uintptr_t>(noted.block[i]);
        const std::uintptr_t first = (begin + step - 1) / step * step;
        const std::uintptr_t last = (begin + noted.size[i]) / step * step;
        if (last <= first)
            continue;
        // Each run of pages that hold nothing but zeros goes back at once.
        std::uintptr_t run = first;
        for (std::uintptr_t at = first; at <= last; at += step) {
            const bool zero = at < last && AllZero(reinterpret_cast<const unsigned char*>(at), step);
            if (zero)
                continue;
            if (at > run)
                ::madvise(reinterpret_cast<void*>(run), at - run, MADV_DONTNEED);
            run = at + step;
        }
    }
}

namespace {

ContextLocks* LocksOf(fz_context* ctx)
{
    return ctx && ctx->locks.lock == LockContext ? static_cast<ContextLocks*>(ctx->locks.user)
                                                 : nullptr;
}

} // namespace

fz_context* NewLockableContext()
{
    auto* locks = new (std::nothrow) ContextLocks;
    if (!locks)
        return nullptr;
    fz_locks_context calls{locks, LockContext, UnlockContext};
    const fz_alloc_context alloc{nullptr, ContextMalloc, ContextRealloc, ContextFree};
    // The resource store's hash table alone is about 230 KB, of which a
    // plain-text job writes a few entries; every analysing thread has a
    // context of its own.
    const ZeroPagesBack back;
    fz_context* ctx = fz_new_context(&alloc, &calls, kStoreLimit);
    if (!ctx)
        delete locks;
    return ctx;
}

fz_context* CloneContext(fz_context* ctx)
{
    fz_context* clone = fz_clone_context(ctx);
    if (clone) {
        fz_set_warning_callback(clone, Silent, nullptr);
        fz_set_error_callback(clone, Silent, nullptr);
    }
    return clone;
}

void DropContext(fz_context* ctx)
{
    ContextLocks* locks = LocksOf(ctx);
    fz_drop_context(ctx);
    delete locks;
}

void CountDecodedPicture(fz_context* ctx, std::size_t bytes)
{
    if (ContextLocks* locks = LocksOf(ctx))
        locks->pictureBytes.fetch_add(bytes, std::memory_order_relaxed);
}

bool TakePictureBudget(fz_context* ctx)
{
    ContextLocks* locks = LocksOf(ctx);
    if (!locks || locks->pictureBytes.load(std::memory_order_relaxed) < kPictureBytesKept)
        return false;
    locks->pictureBytes.store(0, std::memory_order_relaxed);
    return true;
}

SharedDrawing::SharedDrawing(fz_context* ctx) : locks_(LocksOf(ctx))
{
    if (locks_)
        static_cast<ContextLocks*>(locks_)->on.store(true);
}

SharedDrawing::~SharedDrawing()
{
    if (locks_)
        static_cast<ContextLocks*>(locks_)->on.store(false);
}

} // namespace parser_detail
