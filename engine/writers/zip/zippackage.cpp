#include "engine/writers/zip/zippackage.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/utf8.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// --- packing -----------------------------------------------------------------

// Folders nested deeper than this are not packed (a link that points back
// up its own folder would otherwise recurse without end).
constexpr int kMaxFolderDepth = 128;

struct Packer {
    zip_t* zip = nullptr;
    const char* password = nullptr;   // null or empty: no encryption
    zip_int64_t entries = 0;
    // Files whose deflated form is made already, by path (none when null).
    const std::map<std::string, ZipDeflater*>* ready = nullptr;
};

// Entry names are UTF-8; a file name that is not gets its bad bytes replaced
// so that the archive stays readable.
std::string EntryName(const std::string& name)
{
    return utf8::FromWide(utf8::ToWide(name));
}

// Adds the source as an entry (taking it over), deflated at level 9 or
// stored, encrypted when the packer has a password.
bool AddSource(Packer& packer, zip_source_t* source, const std::string& entryName, bool store)
{
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(packer.zip, EntryName(entryName).c_str(), source,
                                           ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    ++packer.entries;
    const auto i = static_cast<zip_uint64_t>(index);
    bool ok = zip_set_file_compression(packer.zip, i, store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                       store ? 0 : 9) == 0;
    if (ok && packer.password && *packer.password)
        ok = zip_file_set_encryption(packer.zip, i, ZIP_EM_TRAD_PKWARE, packer.password) == 0;
    if (!ok) {
        // The entry is not written half-configured.
        zip_delete(packer.zip, i);
        --packer.entries;
    }
    return ok;
}

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
constexpr std::size_t kDeflateInPiecesFrom = std::size_t(2) << 20;
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

// Deflates the file in the pieces a ZipDeflater cuts, reading it a piece at
// a time.
bool DeflateFile(const std::string& path, zip_uint64_t size, Deflated& result)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    ZipDeflater deflater;
    std::vector<char> chunk(kPiece);
    zip_uint64_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        const auto want = static_cast<std::size_t>(std::min<zip_uint64_t>(kPiece, size - done));
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

// A source of data deflated ahead: it reports the deflated form, so that
// libzip copies it as it is; the time and file attributes are those of the
// source the entry would have had.
struct DeflatedSource {
    Deflated deflated;
    zip_stat_t original;
    zip_file_attributes_t attributes;
    zip_uint64_t offset = 0;
    zip_error_t error;
};

zip_int64_t DeflatedCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    auto* s = static_cast<DeflatedSource*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        s->offset = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t left = s->deflated.data.size() - s->offset;
        const zip_uint64_t n = std::min(len, left);
        std::memcpy(data, s->deflated.data.data() + s->offset, n);
        s->offset += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_ENCRYPTION_METHOD;
        st->size = s->deflated.size;
        st->comp_size = s->deflated.data.size();
        st->comp_method = ZIP_CM_DEFLATE;
        st->encryption_method = ZIP_EM_NONE;
        st->crc = static_cast<zip_uint32_t>(s->deflated.crc);
        if (s->original.valid & ZIP_STAT_MTIME) {
            st->valid |= ZIP_STAT_MTIME;
            st->mtime = s->original.mtime;
        }
        return sizeof(*st);
    }
    case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        if (len < sizeof(zip_file_attributes_t))
            return -1;
        *static_cast<zip_file_attributes_t*>(data) = s->attributes;
        return sizeof(zip_file_attributes_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&s->error);
        delete s;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SUPPORTS,
                                              ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
    default:
        zip_error_set(&s->error, ZIP_ER_INVAL, 0);
        return -1;
    }
}

// A source over the deflated data that takes the time and file attributes
// of the plain source (the file or the bytes as libzip would have read
// them), and the attributes libzip's own deflate at level 9 would add (the
// version needed and the "maximum compression" flag). Without `fileMode`
// the entry gets libzip's default mode rather than the file's, as the large
// files that Pack deflates always have. Null when the plain source cannot
// be asked.
zip_source_t* DeflatedSourceFor(zip_t* zip, zip_source_t* plain, Deflated deflated,
                                bool fileMode = true)
{
    if (!plain)
        return nullptr;
    auto* state = new DeflatedSource;
    state->deflated = std::move(deflated);
    zip_error_init(&state->error);
    zip_file_attributes_init(&state->attributes);
    const bool asked = zip_source_stat(plain, &state->original) == 0 &&
                       zip_source_get_file_attributes(plain, &state->attributes) == 0;
    zip_source_free(plain);
    if (!asked) {
        zip_error_fini(&state->error);
        delete state;
        return nullptr;
    }
    if (!fileMode)
        state->attributes.valid &= ~zip_uint64_t(ZIP_FILE_ATTRIBUTES_EXTERNAL_FILE_ATTRIBUTES);
    state->attributes.valid |=
        ZIP_FILE_ATTRIBUTES_VERSION_NEEDED | ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
    state->attributes.version_needed = 20;
    state->attributes.general_purpose_bit_mask = 0x0836;
    state->attributes.general_purpose_bit_flags = 0x0002;   // level 9: maximum compression
    zip_source_t* source = zip_source_function(zip, DeflatedCallback, state);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

// A file that the patterns found, to become an entry.
struct FoundFile {
    std::string path;
    std::string entryName;
    std::uint64_t size = 0;
};

bool FindFile(std::vector<FoundFile>& files, const std::string& path, const std::string& entryName)
{
    // Opened here once so that an unreadable file fails now; it is read
    // again when the archive is written.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular)
        return false;
    files.push_back(FoundFile{path, entryName, static_cast<std::uint64_t>(st.st_size)});
    return true;
}

bool FindPattern(std::vector<FoundFile>& files, const std::string& pattern, const std::string& prefix,
                 int depth)
{
    if (depth > kMaxFolderDepth)
        return false;
    const std::size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);

    bool found = false;
    const std::vector<PatternMatch> matches = FindPatternMatches(pattern, found);
    if (!found) {
        std::fputs("file not found. ", stderr);
        std::fflush(stderr);
        return false;
    }
    for (const PatternMatch& match : matches) {
        const std::string& name = match.name;
        const std::string path = folder + name;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            return false;
        if (S_ISDIR(st.st_mode)) {
            std::fputs((name + "\n").c_str(), stderr);
            if (!FindPattern(files, path + "/*", prefix + name + "/", depth + 1))
                return false;
        } else if (!FindFile(files, path, prefix + name)) {
            return false;
        }
    }
    return true;
}

// Adds a found file as an entry, with `ahead` its bytes deflated already
// when that worked.
bool AddFile(Packer& packer, const FoundFile& file, Deflated ahead)
{
    const std::string& path = file.path;
    if (file.size >= kDeflateInPiecesFrom) {
        // A large file is deflated ahead in pieces (or was, while it was
        // written); the entry keeps that data as it is (no second
        // compression).
        Deflated deflated;
        if (packer.ready) {
            const auto made = packer.ready->find(path);
            if (made != packer.ready->end() && made->second)
                deflated = made->second->Take();
        }
        if (!deflated.ok || deflated.size != file.size) {
            deflated = Deflated();
            if (!DeflateFile(path, static_cast<zip_uint64_t>(file.size), deflated))
                return false;
        }
        return AddSource(packer,
                         DeflatedSourceFor(packer.zip, zip_source_file(packer.zip, path.c_str(), 0, -1),
                                           std::move(deflated), false),
                         file.entryName, false);
    }
    // The file as read ahead, unless it changed size since it was found.
    if (ahead.ok && ahead.size == file.size) {
        if (zip_source_t* source = DeflatedSourceFor(
                packer.zip, zip_source_file(packer.zip, path.c_str(), 0, -1), std::move(ahead)))
            return AddSource(packer, source, file.entryName, false);
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_file_create(path.c_str(), 0, -1, &error);
    zip_error_fini(&error);
    return AddSource(packer, source, file.entryName, false);
}

// The end record of a zip without entries.
bool WriteEmptyZip(const std::string& path)
{
    static const unsigned char kEnd[22] = {'P', 'K', 5, 6};
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(kEnd, 1, sizeof kEnd, f) == sizeof kEnd;
    return (std::fclose(f) == 0) && ok;
}

// Has `write` make the zip under a short temporary name beside `zipPath`
// (libzip adds a temporary of its own beside the name it is given, which a
// long output name would push past the file system's limit) and renames
// whatever zip it wrote into place; `write`'s answer is the result.
template <class Write> bool WriteBeside(const std::string& zipPath, Write&& write)
{
    const std::string temp = TemporaryNameBeside(zipPath);
    const bool ok = write(temp);
    struct stat st;
    if (::lstat(temp.c_str(), &st) != 0)
        return false;   // nothing was written
    if (std::rename(temp.c_str(), zipPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return ok;
}

bool ReadFileBytes(const std::string& path, std::string& out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buf[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        else
            out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

// Deflates item i of `count` as `deflateOne(i, deflater)` says, on several
// threads, each with a deflater of its own: an archive is written at the
// end of a conversion, on its own, and deflating at level 9 was most of that
// time. An item that `deflateOne` leaves not ok is left to libzip.
template <class DeflateOne> std::vector<Deflated> DeflateAhead(std::size_t count, DeflateOne&& deflateOne)
{
    std::vector<Deflated> out(count);
    std::atomic<std::size_t> next{0};
    const std::size_t threads = std::min(DeflateThreads(), count / 4 + 1);
    RunOnThreads(threads, [&](std::size_t) {
        PieceDeflater deflater;
        for (std::size_t i = next++; i < count; i = next++)
            out[i] = deflateOne(i, deflater);
    });
    return out;
}

// The most bytes of small files that packing deflates ahead (and holds,
// deflated, until the archive is written); the files beyond are deflated
// by libzip as it writes them.
constexpr std::uint64_t kDeflateAheadBytes = std::uint64_t(16) << 20;

bool Pack(const std::string& zipPath, const char* password, const std::vector<std::string>& patterns,
          const std::map<std::string, ZipDeflater*>* ready = nullptr)
{
    int err = 0;
    Packer packer;
    packer.password = password;
    packer.ready = ready;
    packer.zip = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!packer.zip)
        return false;

    bool ok = true;
    std::vector<FoundFile> files;
    for (const std::string& pattern : patterns) {
        if (!FindPattern(files, pattern, std::string(), 0)) {
            ok = false;
            break;
        }
    }
    std::fflush(stderr);

    // Small files are deflated ahead on several threads, up to a budget;
    // large ones are deflated in pieces as they are added.
    std::vector<bool> readAhead(files.size(), false);
    std::uint64_t budget = kDeflateAheadBytes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].size < kDeflateInPiecesFrom && files[i].size <= budget) {
            readAhead[i] = true;
            budget -= files[i].size;
        }
    }
    std::vector<Deflated> ahead = DeflateAhead(files.size(), [&](std::size_t i, PieceDeflater& deflater) {
        std::string bytes;
        return readAhead[i] && ReadFileBytes(files[i].path, bytes) ? DeflateBytes(deflater, bytes)
                                                                   : Deflated();
    });
    // The files found before a pattern that failed are packed all the same.
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!AddFile(packer, files[i], std::move(ahead[i]))) {
            ok = false;
            break;
        }
    }

    // Whatever was added so far is written, also after a failure.
    if (packer.entries == 0) {
        // libzip writes no file for an archive without entries.
        zip_discard(packer.zip);
        return WriteEmptyZip(zipPath) && ok;
    }
    if (zip_close(packer.zip) != 0) {
        zip_discard(packer.zip);
        return false;
    }
    return ok;
}

// The entry's data as libzip would have read it: a source over the bytes
// or over the file.
zip_source_t* PlainSource(zip_t* zip, const ZipPackageEntry& entry)
{
    if (!entry.file.empty())
        return zip_source_file(zip, entry.file.c_str(), 0, -1);
    return zip_source_buffer(zip, entry.bytes.data(), entry.bytes.size(), 0);
}

bool WritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries)
{
    int err = 0;
    Packer packer;
    packer.zip = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!packer.zip)
        return false;
    std::vector<Deflated> deflated = DeflateAhead(entries.size(), [&](std::size_t i, PieceDeflater& deflater) {
        const ZipPackageEntry& entry = entries[i];
        if (entry.store)
            return Deflated();
        if (entry.file.empty())
            return DeflateBytes(deflater, entry.bytes);
        std::string bytes;
        return ReadFileBytes(entry.file, bytes) ? DeflateBytes(deflater, bytes) : Deflated();
    });
    bool ok = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipPackageEntry& entry = entries[i];
        zip_source_t* ahead = deflated[i].ok
                                  ? DeflatedSourceFor(packer.zip, PlainSource(packer.zip, entry), std::move(deflated[i]))
                                  : nullptr;
        if (ahead) {
            ok = AddSource(packer, ahead, entry.name, false);
        } else if (!entry.file.empty()) {
            std::vector<FoundFile> file;
            ok = FindFile(file, entry.file, entry.name) && AddFile(packer, file.front(), Deflated());
        } else {
            zip_error_t error;
            zip_error_init(&error);
            zip_source_t* source =
                zip_source_buffer_create(entry.bytes.data(), entry.bytes.size(), 0, &error);
            zip_error_fini(&error);
            ok = AddSource(packer, source, entry.name, entry.store);
        }
        if (!ok)
            break;
    }
    ok = ok && packer.entries > 0 && zip_close(packer.zip) == 0;
    if (!ok)
        zip_discard(packer.zip);
    return ok;
}

} // namespace

// --- deflating while an entry is written ---------------------------------------

struct ZipDeflater::State {
    // One piece: its input (the dictionary, then the piece's bytes) until
    // it is deflated, then its part of the stream.
    struct Piece {
        std::string input;
        std::size_t dictLen = 0;
        bool last = false;
        std::vector<unsigned char> out;
        uLong crc = 0;
        std::size_t len = 0;
        bool ok = false;

        void deflate(PieceDeflater& deflater)
        {
            len = input.size() - dictLen;
            ok = deflater.Run(reinterpret_cast<const unsigned char*>(input.data()) + dictLen, dictLen, len,
                              last, out, crc);
        }
    };

    // Deflates the next `len` bytes of the buffer as a piece on one of the
    // workers; at most as many pieces wait or run at once as packing a
    // file would use threads, so the writer waits when deflating falls
    // behind rather than holding more of the entry.
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
        Piece* raw = piece.get();
        pieces.push_back(std::move(piece));

        std::unique_lock<std::mutex> hold(lock);
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
    // side by side, so that the stream is ready soon after the last byte.
    while (s.buffer.size() - s.dictLen > kLastPieces)
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

namespace {

// --- unpacking -----------------------------------------------------------------

// The most that one archive may unpack to.
constexpr std::uint64_t kMaxUnpackedBytes = std::uint64_t(2) << 30;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

struct ZipFileCloser {
    zip_file_t* file;
    ~ZipFileCloser()
    {
        if (file)
            zip_fclose(file);
    }
};

enum class NameKind { Safe, Unsafe };

// Splits an entry name at "/" and "\" into its parts, leaving out empty
// parts and ".". Absolute names, ".." parts and parts too long for a file
// name are unsafe.
NameKind SplitEntryName(const std::string& name, std::vector<std::string>& parts, bool& isFolder)
{
    parts.clear();
    isFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return NameKind::Unsafe;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part == "..")
            return NameKind::Unsafe;
        if (part.size() > NAME_MAX)
            return NameKind::Unsafe;
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return NameKind::Safe;
}

// Copies the entry into `name` inside the folder `dirFd`. `total` counts
// the bytes unpacked from the archive so far.
bool UnpackFile(zip_t* zip, zip_uint64_t index, const zip_stat_t& st, int dirFd,
                const std::string& name, std::uint64_t& total)
{
    ZipFileCloser entry{zip_fopen_index(zip, index, 0)};
    if (!entry.file)
        return false;
    Fd out(::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.get() < 0)
        return false;
    const std::uint64_t declared = (st.valid & ZIP_STAT_SIZE) ? st.size : kMaxUnpackedBytes;
    std::uint64_t written = 0;
    bool ok = true;
    char buf[4096];
    while (true) {
        const zip_int64_t n = zip_fread(entry.file, buf, sizeof buf);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        written += static_cast<std::uint64_t>(n);
        total += static_cast<std::uint64_t>(n);
        if (written > declared || total > kMaxUnpackedBytes ||
            !WriteAll(out.get(), buf, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    const int closed = zip_fclose(entry.file);   // reports a CRC mismatch
    entry.file = nullptr;
    ok = ok && closed == 0;
    if (::close(out.release()) != 0)   // a late write error shows here
        ok = false;
    if (!ok)
        ::unlinkat(dirFd, name.c_str(), 0);
    return ok;
}

bool UnpackEntry(zip_t* zip, zip_uint64_t index, int destFd, std::uint64_t& total)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
        return false;
    const std::string name = st.name;

    std::vector<std::string> parts;
    bool isFolder = false;
    if (SplitEntryName(name, parts, isFolder) == NameKind::Unsafe) {
        std::fprintf(stderr, "skipped entry with unsafe name: %s\n", name.c_str());
        return true;
    }
    if (parts.empty())
        return true;

    // Walk down from the destination one folder at a time, never through a
    // link, creating the folders as needed.
    Fd dir(::dup(destFd));
    if (dir.get() < 0)
        return false;
    const std::size_t folders = isFolder ? parts.size() : parts.size() - 1;
    for (std::size_t i = 0; i < folders; ++i) {
        if (::mkdirat(dir.get(), parts[i].c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        const int next = ::openat(dir.get(), parts[i].c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            return false;
        dir.reset(next);
    }
    if (isFolder)
        return true;
    return UnpackFile(zip, index, st, dir.get(), parts.back(), total);
}

struct ZipCloser {
    zip_t* zip;
    ~ZipCloser()
    {
        if (zip)
            zip_discard(zip);
    }
};

} // namespace

bool ZipCompress(const wchar_t* zipPath, const char* password, const wchar_t* pattern, ...)
{
    if (!zipPath)
        return false;
    std::vector<std::string> patterns;
    patterns.push_back(utf8::FromWide(pattern ? pattern : L""));
    va_list args;
    va_start(args, pattern);
    while (const wchar_t* next = va_arg(args, const wchar_t*)) {
        if (std::wcscmp(next, L"-1") == 0)
            break;
        patterns.push_back(utf8::FromWide(next));
    }
    va_end(args);
    return WriteBeside(utf8::FromWide(zipPath),
                       [&](const std::string& temp) { return Pack(temp, password, patterns); });
}

bool ZipCompress(const char* zipPath, const char* password, const char* pattern, ...)
{
    if (!zipPath)
        return false;
    std::vector<std::string> patterns;
    patterns.push_back(pattern ? pattern : "");
    va_list args;
    va_start(args, pattern);
    while (const char* next = va_arg(args, const char*)) {
        if (std::strcmp(next, "-1") == 0)
            break;
        patterns.push_back(next);
    }
    va_end(args);
    return WriteBeside(zipPath,
                       [&](const std::string& temp) { return Pack(temp, password, patterns); });
}

bool ZipCompressWith(const std::string& zipPath, const std::vector<std::string>& patterns,
                     const std::map<std::string, ZipDeflater*>& ready)
{
    return WriteBeside(zipPath, [&](const std::string& temp) { return Pack(temp, nullptr, patterns, &ready); });
}

bool ZipWritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries)
{
    return WriteBeside(zipPath,
                       [&](const std::string& temp) { return WritePackage(temp, entries); });
}

bool unzipPackage(char* destDir, const char* zipPath)
{
    // An empty destination would become "/".
    if (!destDir || !*destDir || !zipPath)
        return false;
    int err = 0;
    ZipCloser zip{zip_open(zipPath, ZIP_RDONLY, &err)};
    if (!zip.zip)
        return false;
    const zip_int64_t count = zip_get_num_entries(zip.zip, 0);
    if (count < 0)
        return false;

    if (::mkdir(destDir, 0777) != 0 && errno != EEXIST)
        return false;
    const std::size_t len = std::strlen(destDir);
    if (destDir[len - 1] != '/') {
        destDir[len] = '/';
        destDir[len + 1] = '\0';
    }
    if (count == 0)
        return true;

    // What the archive declares is checked before anything is written.
    std::uint64_t declared = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip.zip, static_cast<zip_uint64_t>(i), 0, &st) != 0)
            return false;
        if (!(st.valid & ZIP_STAT_SIZE))
            continue;
        if (st.size > kMaxUnpackedBytes - declared)
            return false;
        declared += st.size;
    }

    Fd dest(::open(destDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dest.get() < 0)
        return false;
    std::uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (!UnpackEntry(zip.zip, static_cast<zip_uint64_t>(i), dest.get(), total))
            return false;
    }
    return true;
}
