// MuPDF contexts whose drawing can be shared out among threads. Each parser
// uses its context on one thread, and MuPDF's locks would cost every keep
// and drop of an object for nothing; the locks of a context made here stay
// off until a SharedDrawing turns them on for the time that contexts cloned
// from it draw on other threads.
#include "internal.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <new>

namespace parser_detail {
namespace {

struct ContextLocks {
    std::mutex mutex[FZ_LOCK_MAX];
    // Changed only by the context's own thread between MuPDF calls, while
    // no other thread uses the context: no lock is held when it changes.
    std::atomic<bool> on{false};
    // Bytes of pictures brought into the context's store since it was last
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

// Pictures are seldom used again once their page is done, yet, decoded or
// only read, they filled the stores of all threads to the limit. Once
// pictures of this much have come in, the store is emptied between two
// pages.
constexpr std::size_t kPictureBytesKept = kStoreLimit / 8;

ContextLocks* LocksOf(fz_context* ctx)
{
    return ctx && ctx->locks.lock == LockContext ? static_cast<ContextLocks*>(ctx->locks.user)
                                                 : nullptr;
}

} // namespace

fz_context* NewLockableContext(bool drawing)
{
    auto* locks = new (std::nothrow) ContextLocks;
    if (!locks)
        return nullptr;
    fz_locks_context calls{locks, LockContext, UnlockContext};
    fz_context* ctx = fz_new_context(nullptr, &calls, drawing ? kDrawingStoreLimit : kStoreLimit);
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

void CountPictureBytes(fz_context* ctx, std::size_t bytes)
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
