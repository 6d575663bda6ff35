// Zip packing and unpacking over libzip, in the formats module: the
// engine's zip functions (zippackage.h) forward to these through the
// module's table. Entries are deflated by the engine (zipdeflate.h) and
// copied into the archive by libzip as they are.
#include "engine/writers/formatsparts.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"
#include "engine/writers/zip/zipdeflate.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// --- packing -----------------------------------------------------------------

// An entry deflated ahead.
using Deflated = ZipDeflated;

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

// The stream of the packer's finished deflater for the file, when it has
// one for exactly the file's bytes; not ok otherwise.
Deflated TakeReady(Packer& packer, const FoundFile& file)
{
    Deflated deflated;
    if (packer.ready) {
        const auto made = packer.ready->find(file.path);
        if (made != packer.ready->end() && made->second)
            deflated = made->second->Take();
    }
    if (deflated.size != file.size)
        deflated = Deflated();
    return deflated;
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
        Deflated deflated = TakeReady(packer, file);
        if (!deflated.ok) {
            deflated = Deflated();
            if (!DeflateFile(path, file.size, deflated))
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

    // Small files are deflated ahead on several threads, up to a budget,
    // unless a deflater made their stream while they were written; large
    // ones are deflated in pieces as they are added.
    std::vector<Deflated> made(files.size());
    std::vector<bool> readAhead(files.size(), false);
    std::uint64_t budget = kDeflateAheadBytes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].size >= kDeflateInPiecesFrom)
            continue;
        made[i] = TakeReady(packer, files[i]);
        if (!made[i].ok && files[i].size <= budget) {
            readAhead[i] = true;
            budget -= files[i].size;
        }
    }
    std::vector<Deflated> ahead = DeflateAhead(files.size(), [&](std::size_t i, std::string& bytes) -> const std::string* {
        return readAhead[i] && ReadFileBytes(files[i].path, bytes) ? &bytes : nullptr;
    });
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (made[i].ok)
            ahead[i] = std::move(made[i]);
    }
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
    std::vector<Deflated> deflated = DeflateAhead(entries.size(), [&](std::size_t i, std::string& bytes) -> const std::string* {
        const ZipPackageEntry& entry = entries[i];
        if (entry.store)
            return nullptr;
        if (entry.file.empty())
            return &entry.bytes;
        return ReadFileBytes(entry.file, bytes) ? &bytes : nullptr;
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

bool ModuleZipPack(const std::string& zipPath, const char* password, const std::vector<std::string>& patterns,
                   const std::map<std::string, ZipDeflater*>* ready)
{
    return WriteBeside(zipPath, [&](const std::string& temp) { return Pack(temp, password, patterns, ready); });
}

bool ModuleZipWritePackage(const std::string& zipPath, const std::vector<ZipPackageEntry>& entries)
{
    return WriteBeside(zipPath, [&](const std::string& temp) { return WritePackage(temp, entries); });
}

bool ModuleUnzipPackage(char* destDir, const char* zipPath)
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
