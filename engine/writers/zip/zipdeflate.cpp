// Deflating zip entries into the raw deflate streams that libzip's level 9
// makes (zipdeflate.h), on several threads.
#include "engine/writers/zip/zipdeflate.h"

#include "engine/layout/pagepipeline.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// --- deflating ahead on several threads -------------------------------------
//
// libzip deflates every entry on one thread while the archive is closed, and
// at level 9 that was most of the time of writing a package. Entries are
// deflated here ahead of that, on several threads, with libzip's own
// settings; libzip gets the raw deflate stream with its CRC-32 and sizes and
// copies it into the archive (encrypting it when the package has a
// password). A large file (the main document of a long .docx is megabytes of
// XML) is cut into pieces of a fixed size (what follows the last full piece
// into a few smaller ones), each deflated on one of several threads
// with the 32 KiB before it as the preset dictionary and ended by a flush to
// a byte boundary (the last one ends the stream): the pieces joined are one
// ordinary deflate stream, and since the cut does not depend on the number
// of threads, neither do the bytes. The pieces are small, so that the stream
// is complete soon after its last byte: what is left then is at most a few
// pieces of 64 KiB deflated side by side (a piece of 256 KiB took several
// milliseconds at the end of every .docx), for a stream a few hundred bytes
// longer per megabyte.

constexpr std::size_t kPiece = std::size_t(64) << 10;
constexpr std::size_t kWindow = 32768;
// The pieces that the bytes after the last full piece are cut into.
constexpr std::size_t kLastPieces = std::size_t(16) << 10;

// Runs `work(t)` for t in [0, threads) on that many threads, this one
// included; when no thread can be started, the threads there are do the
// rest (work is expected to share its items through `t` or an atomic).
template <class Work> void RunOnThreads(std::size_t threads, Work&& work)
{
    std::vector<std::thread> pool;
    std::size_t started = 1;
    for (; started < threads; ++started) {
        try {
            pool.emplace_back(work, started);
        } catch (...) {
            break;
        }
    }
    for (std::size_t t = started; t < threads; ++t)
        work(t);
    work(std::size_t(0));
    for (std::thread& t : pool)
        t.join();
}

std::size_t DeflateThreads()
{
    return static_cast<std::size_t>(std::max(1, PagePipeline::DefaultThreads()));
}

// An entry deflated ahead.
using Deflated = ZipDeflated;

// Deflates pieces with libzip's settings (level 9, raw stream, the largest
// memory level). One stream and one output buffer serve every piece in
// turn: a level-9 stream is about 400 KB of tables, and setting them up
// (and touching fresh pages) for each piece cost nearly as much as
// deflating a small one.
class PieceDeflater {
public:
    PieceDeflater()
    {
        ready = deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~PieceDeflater()
    {
        if (ready)
            deflateEnd(&zs);
    }
    PieceDeflater(const PieceDeflater&) = delete;
    PieceDeflater& operator=(const PieceDeflater&) = delete;

    // Deflates `len` bytes at `in`, the `dictLen` bytes before them being
    // the dictionary; `last` ends the stream, any other piece ends on a
    // byte boundary without ending it. A whole entry is one last piece.
    bool Run(const unsigned char* in, std::size_t dictLen, std::size_t len, bool last,
             std::vector<unsigned char>& out, uLong& crc)
    {
        if (!ready || len > UINT_MAX)
            return false;
        bool ok = dictLen == 0 ||
                  deflateSetDictionary(&zs, in - dictLen, static_cast<uInt>(dictLen)) == Z_OK;
        // Room for the whole stream as a rule; the buffer is not cleared
        // first (deflate writes every byte that is kept).
        grow(deflateBound(&zs, len) + 64, 0);
        zs.next_in = const_cast<Bytef*>(in);
        zs.avail_in = static_cast<uInt>(len);
        while (ok) {
            zs.next_out = buffer.get() + zs.total_out;
            zs.avail_out = static_cast<uInt>(std::min<std::size_t>(capacity - zs.total_out, UINT_MAX));
            const int result = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
            if (result == Z_STREAM_ERROR)
                ok = false;
            else if (last ? result == Z_STREAM_END : (zs.avail_in == 0 && zs.avail_out > 0))
                break;
            else
                grow(capacity * 2, zs.total_out);
        }
        if (ok)
            out.assign(buffer.get(), buffer.get() + zs.total_out);
        // The stream starts over for the next piece as deflateInit2 leaves
        // it, so every piece's bytes are those of a fresh stream.
        ready = deflateReset(&zs) == Z_OK;
        crc = crc32(0, in, static_cast<uInt>(len));
        return ok;
    }

private:
    // At least `size` bytes of buffer, keeping the first `keep`.
    void grow(std::size_t size, std::size_t keep)
    {
        if (size <= capacity)
            return;
        std::unique_ptr<unsigned char[]> bigger(new unsigned char[size]);
        if (keep)
            std::memcpy(bigger.get(), buffer.get(), keep);
        buffer = std::move(bigger);
        capacity = size;
    }

    z_stream zs{};
    bool ready = false;
    std::unique_ptr<unsigned char[]> buffer;
    std::size_t capacity = 0;
};

Deflated DeflateBytes(PieceDeflater& deflater, const std::string& bytes)
{
    Deflated out;
    out.ok = deflater.Run(reinterpret_cast<const unsigned char*>(bytes.data()), 0, bytes.size(), true,
                          out.data, out.crc);
    out.size = bytes.size();
    return out;
}

} // namespace

ZipDeflated DeflateBytes(const std::string& bytes)
{
    PieceDeflater deflater;
    return DeflateBytes(deflater, bytes);
}

bool DeflateFile(const std::string& path, std::uint64_t size, ZipDeflated& result)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    ZipDeflater deflater;
    std::vector<char> chunk(kPiece);
    std::uint64_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size - done));
        ok = std::fread(chunk.data(), 1, want, f) == want;
        if (ok)
            deflater.Append(std::string_view(chunk.data(), want));
        done += want;
    }
    // The file must not have grown or shrunk while it was read.
    ok = ok && std::fgetc(f) == EOF;
    std::fclose(f);
    ok = deflater.Finish() && ok;
    if (ok)
        result = deflater.Take();
    return ok && result.ok;
}

std::vector<ZipDeflated> DeflateAhead(std::size_t count,
                                      const std::function<const std::string*(std::size_t, std::string&)>& bytesOf)
{
    std::vector<ZipDeflated> out(count);
    std::atomic<std::size_t> next{0};
    const std::size_t threads = std::min(DeflateThreads(), count / 4 + 1);
    RunOnThreads(threads, [&](std::size_t) {
        PieceDeflater deflater;
        std::string read;
        for (std::size_t i = next++; i < count; i = next++) {
            read.clear();
            if (const std::string* bytes = bytesOf(i, read))
                out[i] = DeflateBytes(deflater, *bytes);
        }
    });
    return out;
}


// --- deflating while an entry is written ---------------------------------------

struct ZipDeflater::State {
    // One piece: its input (the dictionary, then the piece's bytes) until
    // it is deflated, then its part of the stream.
    struct Piece {
        std::string input;
        // Or, for a piece of the bytes held before cutting began, those
        // bytes (shared by their pieces) and where its input starts there.
        std::shared_ptr<const std::string> held;
        std::size_t from = 0;
        std::size_t dictLen = 0;
        bool last = false;
        std::vector<unsigned char> out;
        uLong crc = 0;
        std::size_t len = 0;
        bool ok = false;

        void deflate(PieceDeflater& deflater)
        {
            const char* start = held ? held->data() + from : input.data();
            if (!held)
                len = input.size() - dictLen;
            ok = deflater.Run(reinterpret_cast<const unsigned char*>(start) + dictLen, dictLen, len, last,
                              out, crc);
            held.reset();
        }
    };

    // Deflates the next `len` bytes of the buffer as a piece on one of the
    // workers.
    void launch(std::size_t len, bool last)
    {
        auto piece = std::make_unique<Piece>();
        piece->dictLen = dictLen;
        piece->last = last;
        const std::size_t end = dictLen + len;
        // The last bytes of this piece are the dictionary of the next one.
        const std::size_t keep = std::min(kWindow, end);
        if (end == buffer.size()) {
            piece->input = std::move(buffer);
            // A buffer that a deflated piece gave back, else a new one
            // filled without growing.
            buffer = takeSpare();
            if (!last && buffer.capacity() < kWindow + kPiece)
                buffer.reserve(kWindow + kPiece);
            buffer.assign(piece->input, end - keep, keep);
        } else {
            piece->input.assign(buffer, 0, end);
            buffer.erase(0, end - keep);
        }
        dictLen = keep;
        queuePiece(std::move(piece), true);
    }

    // An entry of at least kDeflateInPiecesFrom bytes: the bytes held so
    // far (from the entry's start, no dictionary) are cut into the pieces
    // that appending them one by one would have cut, but for the last full
    // piece or less, which more bytes may follow. The pieces read the held
    // bytes where they are, and since those are in memory already, they
    // are queued without waiting for the workers.
    void cutHeld()
    {
        const auto held = std::make_shared<const std::string>(std::move(buffer));
        std::size_t at = 0;
        while (held->size() - at > kPiece) {
            auto piece = std::make_unique<Piece>();
            piece->held = held;
            piece->dictLen = std::min(kWindow, at);
            piece->from = at - piece->dictLen;
            piece->len = kPiece;
            queuePiece(std::move(piece), false);
            at += kPiece;
        }
        dictLen = std::min(kWindow, at);
        buffer = std::string();
        buffer.reserve(kWindow + kPiece);
        buffer.assign(*held, at - dictLen, std::string::npos);
    }

    // Queues the piece for the workers. With `wait`, at most as many pieces
    // wait or run at once as packing a file would use threads, so the
    // writer waits when deflating falls behind rather than holding more of
    // the entry.
    void queuePiece(std::unique_ptr<Piece> piece, bool wait)
    {
        Piece* raw = piece.get();
        pieces.push_back(std::move(piece));

        std::unique_lock<std::mutex> hold(lock);
        if (wait)
            idle.wait(hold, [this] { return unfinished < threads; });
        if (workers.size() < threads && workers.size() <= unfinished) {
            try {
                workers.emplace_back([this] { work(); });
            } catch (...) {
            }
        }
        if (workers.empty()) {
            // No thread to be had: the piece is deflated here.
            hold.unlock();
            if (!here)
                here = std::make_unique<PieceDeflater>();
            raw->deflate(*here);
            return;
        }
        ++unfinished;
        queue.push_back(raw);
        hold.unlock();
        wake.notify_one();
    }

    std::string takeSpare()
    {
        std::lock_guard<std::mutex> hold(lock);
        if (spare.empty())
            return std::string();
        std::string taken = std::move(spare.back());
        spare.pop_back();
        return taken;
    }

    // A worker: deflates the queued pieces with a deflater it keeps, until
    // the deflater is closed.
    void work()
    {
        PieceDeflater deflater;
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;
            Piece* piece = queue.front();
            queue.pop_front();
            hold.unlock();
            piece->deflate(deflater);
            std::string input = std::move(piece->input);
            input.clear();
            hold.lock();
            if (spare.size() < 2 && input.capacity() >= kWindow + kPiece)
                spare.push_back(std::move(input));
            --unfinished;
            idle.notify_all();
        }
    }

    // Waits for every piece, then ends the workers.
    void joinAll()
    {
        {
            std::unique_lock<std::mutex> hold(lock);
            idle.wait(hold, [this] { return unfinished == 0; });
            closing = true;
        }
        wake.notify_all();
        for (std::thread& t : workers)
            t.join();
        workers.clear();
    }

    std::size_t threads = DeflateThreads();
    std::string buffer;           // the dictionary, then the bytes of the piece being filled
    std::size_t dictLen = 0;      // the dictionary's length at the start of `buffer`
    // Whether the entry is cut into pieces: only once it holds at least
    // kDeflateInPiecesFrom bytes. Until then its bytes are held, and an
    // entry that ends smaller is deflated whole, once, as packing its file
    // would deflate it.
    bool cutting = false;
    std::uint64_t total = 0;
    std::vector<std::unique_ptr<Piece>> pieces;
    bool finished = false;
    Deflated result;

    std::mutex lock;                  // guards what follows
    std::condition_variable wake;     // a piece queued, or closing
    std::condition_variable idle;     // a piece done
    std::deque<Piece*> queue;         // pieces waiting for a worker
    std::size_t unfinished = 0;       // queued or being deflated
    bool closing = false;
    std::vector<std::string> spare;   // emptied input buffers to fill again
    std::vector<std::thread> workers;
    std::unique_ptr<PieceDeflater> here;   // when no worker can be started
};

ZipDeflater::ZipDeflater() : state(std::make_unique<State>())
{
}

ZipDeflater::~ZipDeflater()
{
    state->joinAll();
}

void ZipDeflater::Append(std::string_view bytes)
{
    State& s = *state;
    if (s.finished)
        return;
    s.total += bytes.size();
    if (!s.cutting) {
        // Room for all the bytes held, so that they are not copied as they
        // grow; pages of it that are not written cost nothing.
        if (s.buffer.capacity() < kDeflateInPiecesFrom)
            s.buffer.reserve(kDeflateInPiecesFrom);
        s.buffer.append(bytes.data(), bytes.size());
        if (s.buffer.size() < kDeflateInPiecesFrom)
            return;
        s.cutting = true;
        s.cutHeld();
        return;
    }
    while (!bytes.empty()) {
        // A full piece followed by more bytes is not the last one.
        if (s.buffer.size() - s.dictLen == kPiece)
            s.launch(kPiece, false);
        const std::size_t take = std::min(kPiece - (s.buffer.size() - s.dictLen), bytes.size());
        s.buffer.append(bytes.data(), take);
        bytes.remove_prefix(take);
    }
}

bool ZipDeflater::Finish()
{
    State& s = *state;
    if (s.finished)
        return s.result.ok;
    s.finished = true;
    // The bytes after the last full piece are deflated in smaller pieces
    // side by side, so that the stream is ready soon after the last byte;
    // a small entry is one piece.
    while (s.cutting && s.buffer.size() - s.dictLen > kLastPieces)
        s.launch(kLastPieces, false);
    s.launch(s.buffer.size() - s.dictLen, true);
    s.joinAll();
    std::string().swap(s.buffer);
    s.spare.clear();
    bool ok = true;
    std::size_t bytes = 0;
    for (const auto& p : s.pieces)
        bytes += p->out.size();
    s.result.data.reserve(bytes);
    for (const auto& p : s.pieces) {
        ok = ok && p->ok;
        s.result.crc = crc32_combine(s.result.crc, p->crc, static_cast<z_off_t>(p->len));
        s.result.data.insert(s.result.data.end(), p->out.begin(), p->out.end());
    }
    s.pieces.clear();
    s.result.size = s.total;
    s.result.ok = ok;
    if (!ok)
        s.result.data.clear();
    return ok;
}

ZipDeflated ZipDeflater::Take()
{
    ZipDeflated out;
    if (state->finished)
        std::swap(out, state->result);
    return out;
}
