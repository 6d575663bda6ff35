// Parser: loading, page objects, rendering, recognition.
#include "internal.h"
#include "file_stream.h"
#include "mupdf_safe.h"
#include "ocr.h"

#include "utf8.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <typeinfo>
#include <unordered_set>
#include <vector>

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

namespace parser_detail {

namespace {

void Quiet(void*, const char*) {}

std::atomic<std::uint64_t> g_docIds{0};
std::atomic<int> g_parserSerial{0};

// The folders given at start-up.
struct StaticFolders {
    std::mutex mutex;
    std::wstring program, tool, work;
};

StaticFolders& Folders()
{
    static StaticFolders f;
    return f;
}

// Plain frame: opens a PDF.
fz_document* OpenPdfPlain(fz_context* ctx, const char* path, char* err, std::size_t errSize)
{
    fz_document* volatile doc = nullptr;
    fz_stream* volatile file = nullptr;
    fz_try(ctx)
    {
        file = OpenFileStream(ctx, path);
        doc = reinterpret_cast<fz_document*>(pdf_open_document_with_stream(ctx, file));
    }
    fz_always(ctx) fz_drop_stream(ctx, file);
    fz_catch(ctx)
    {
        std::snprintf(err, errSize, "%s", fz_caught_message(ctx));
        doc = nullptr;
    }
    return doc;
}

// Plain frame: the password check and the page count. Returns the page
// count, -1 for a wrong or missing password, -2 for any other failure.
int PreparePlain(fz_context* ctx, fz_document* doc, const char* password, int checkOnly,
                 int* needsPassword, char* err, std::size_t errSize)
{
    volatile int result = -2;
    fz_try(ctx)
    {
        *needsPassword = fz_needs_password(ctx, doc);
        if (*needsPassword && checkOnly) {
            result = 0;
        } else {
            if (*needsPassword &&
                !fz_authenticate_password(ctx, doc, password ? password : "")) {
                result = -1;
            } else {
                int pages = fz_count_pages(ctx, doc);
                // Every page is an object of the file: a page tree that
                // claims more pages than the file has objects lies, and the
                // file cannot hold more pages than that.
                if (pdf_document* pdf = pdf_specifics(ctx, doc)) {
                    const int objects = pdf_xref_len(ctx, pdf);
                    if (pages > objects)
                        pages = objects;
                }
                result = pages;
            }
        }
    }
    fz_catch(ctx)
    {
        std::snprintf(err, errSize, "%s", fz_caught_message(ctx));
        result = -2;
    }
    return result;
}

// Looks at the start of the file: it must exist, be a regular file (a FIFO
// or a device would block or never end), not be empty, and carry the PDF
// header within its first kilobyte (as readers commonly require). Opened
// without blocking, so that a FIFO without a writer is refused too.
void CheckPdfFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw ParserError("cannot open the file: " + path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw ParserError("not a regular file: " + path);
    }
    char head[1024];
    std::size_t n = 0;
    while (n < sizeof head) {
        const ssize_t got = ::read(fd, head + n, sizeof head - n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        n += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (n == 0)
        throw ParserError("the file is empty: " + path);
    bool found = false;
    for (std::size_t i = 0; i + 5 <= n && !found; ++i)
        found = std::memcmp(head + i, "%PDF-", 5) == 0;
    if (!found)
        throw ParserError("not a PDF file: " + path);
}

// Hands the allocator's free memory back to the system.
void ReleaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// A file opened with a password, as it was on disk: the same path,
// password, device, inode, size and modification time mean the same file.
struct FileIdentity {
    std::string path;
    std::string password;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};

    void Set(const std::string& p, const std::string& pw, const struct stat& st)
    {
        path = p;
        password = pw;
        dev = st.st_dev;
        ino = st.st_ino;
        size = st.st_size;
        mtime = st.st_mtim;
    }
    bool Same(const std::string& p, const std::string& pw, const struct stat& st) const
    {
        return p == path && pw == password && st.st_dev == dev && st.st_ino == ino &&
               st.st_size == size && st.st_mtim.tv_sec == mtime.tv_sec &&
               st.st_mtim.tv_nsec == mtime.tv_nsec;
    }
    void Clear()
    {
        path.clear();
        password.clear();
    }
};

// The page map of the file whose page tree was walked last, kept for the
// next load of the same file unchanged: callers read a file's page count
// first and convert it after, and the second load walked the whole tree
// (every page object parsed) again before the first page.
struct LastMap {
    std::mutex mutex;
    FileIdentity file;
    std::shared_ptr<const PageTreeMap> map;
};

LastMap& LastWalked()
{
    static LastMap last;
    return last;
}

// The map kept for this file as it is now; null when none is.
std::shared_ptr<const PageTreeMap> WalkedBefore(const std::string& path,
                                                const std::string& password, const struct stat& st)
{
    LastMap& last = LastWalked();
    std::lock_guard<std::mutex> lock(last.mutex);
    return last.map && last.file.Same(path, password, st) ? last.map : nullptr;
}

void KeepWalked(const std::string& path, const std::string& password, const struct stat& st,
                std::shared_ptr<const PageTreeMap> map)
{
    LastMap& last = LastWalked();
    std::lock_guard<std::mutex> lock(last.mutex);
    last.file.Set(path, password, st);
    last.map = std::move(map);
}

std::string WithSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir.push_back('/');
    return dir;
}

} // namespace

fz_context* NewContext(bool drawing)
{
    fz_context* ctx = NewLockableContext(drawing);
    if (!ctx)
        return nullptr;
    fz_set_warning_callback(ctx, Quiet, nullptr);
    fz_set_error_callback(ctx, Quiet, nullptr);
    return ctx;
}

fz_document* OpenPdf(fz_context* ctx, const char* path, std::string& err)
{
    char msg[512] = {0};
    fz_document* doc = nullptr;
    {
        // The document's buffer for long tokens (64 KB) is mostly unused.
        const ZeroPagesBack back;
        doc = OpenPdfPlain(ctx, path, msg, sizeof msg);
    }
    if (!doc)
        err = msg;
    return doc;
}

std::uint64_t NextDocId() { return ++g_docIds; }

// The fonts of the pages a context has read or drawn so far. Held, a font
// stays in the store whatever pictures come after it, and goes back into it
// when the store is emptied: read again, it would be a new font to the page
// walk, which would work its metrics out again and keep it as well, and a
// drawing would read a large embedded font anew for every page.
class HeldFonts {
public:
    HeldFonts() = default;
    HeldFonts(const HeldFonts&) = delete;
    HeldFonts& operator=(const HeldFonts&) = delete;

    // Loads and holds the fonts of `page`; `found` tells its pictures' sizes.
    void Hold(fz_context* ctx, fz_document* doc, int page, PageFonts& found)
    {
        SafeLoadPageFonts(ctx, doc, page, &found);
        refs_.reserve(refs_.size() + static_cast<std::size_t>(found.count));
        descs_.reserve(descs_.size() + static_cast<std::size_t>(found.count));
        for (int i = 0; i < found.count; ++i) {
            if (nums_.insert(pdf_to_num(ctx, found.ref[i])).second) {
                refs_.push_back(found.ref[i]);
                descs_.push_back(found.desc[i]);
                bytes_ += found.desc[i]->size;
            } else {
                pdf_drop_font(ctx, found.desc[i]);
                pdf_drop_obj(ctx, found.ref[i]);
            }
        }
    }

    // Holds the fonts of `page` alone: those of earlier pages that it does
    // not use are let go.
    void HoldOnly(fz_context* ctx, fz_document* doc, int page, PageFonts& found)
    {
        std::vector<pdf_obj*> refs;
        std::vector<pdf_font_desc*> descs;
        refs.swap(refs_);
        descs.swap(descs_);
        Drop(ctx);
        // Held until the page's fonts are, those it uses again are found in
        // the store.
        Hold(ctx, doc, page, found);
        for (pdf_font_desc* f : descs)
            pdf_drop_font(ctx, f);
        for (pdf_obj* r : refs)
            pdf_drop_obj(ctx, r);
    }

    // Empties the store of `ctx` but for the fonts held.
    void EmptyStore(fz_context* ctx) const
    {
        SafeEmptyStoreKeepingFonts(ctx, refs_.data(), descs_.data(), static_cast<int>(refs_.size()));
    }

    // What the fonts held take in the store.
    std::size_t Bytes() const { return bytes_; }

    void Drop(fz_context* ctx)
    {
        for (pdf_font_desc* f : descs_)
            pdf_drop_font(ctx, f);
        for (pdf_obj* r : refs_)
            pdf_drop_obj(ctx, r);
        descs_.clear();
        refs_.clear();
        nums_.clear();
        bytes_ = 0;
    }

private:
    std::vector<pdf_obj*> refs_;
    std::vector<pdf_font_desc*> descs_;
    std::unordered_set<int> nums_; // their object numbers
    std::size_t bytes_ = 0;
};

struct ParserImpl {
    fz_context* ctx = nullptr;
    fz_document* doc = nullptr;
    std::uint64_t docId = 0;
    bool pageTree = false;       // the page map of doc is made
    bool clearObjects = false;   // parsed objects are let go after each page
    bool recordPages = false;    // pages are recorded as they are collected
    bool drawWords = true;       // words keep their drawing records
    // The page map of doc, for parsers that open the same file (LoadAlike);
    // set by Load and read-only until the next.
    std::shared_ptr<const PageTreeMap> treeMap;
    std::wstring path;
    int pageCount = 0;
    int currentPage = -1;
    std::vector<std::unique_ptr<CollectBase>> objects;
    std::size_t nextObject = 0;
    std::wstring imageDir;
    std::string imageStem;
    int imageCounter = 0;
    std::map<int, fz_rect> bounds;
    std::map<int, std::vector<OcrWordPx>> ocrWords; // page -> words
    std::map<int, int> ocrDpi;                      // page -> dpi of the words
    std::unique_ptr<OcrEngine> ocr;

    ParserImpl()
    {
        ctx = NewContext();
        if (!ctx)
            throw std::bad_alloc();
        imageStem = "pimg" + std::to_string(++g_parserSerial) + "_";
    }

    ~ParserImpl()
    {
        Close();
        ocr.reset();
        fz_free(ctx, pixels.data);
        DropContext(ctx);
    }

    // Word objects of the pages read before, kept for reuse: a text page
    // makes thousands of them, and taking them back saves most of the work
    // of the memory allocator.
    std::vector<std::unique_ptr<TextCollect>> spareText;
    static constexpr std::size_t kMaxSpareText = 20000;

    void ClearObjects()
    {
        for (auto& o : objects) {
            if (spareText.size() >= kMaxSpareText)
                break;
            if (o && typeid(*o) == typeid(TextCollect))
                spareText.emplace_back(static_cast<TextCollect*>(o.release()));
        }
        objects.clear();
        nextObject = 0;
    }

    // The fonts of the loaded document, worked out once for all its pages.
    std::unique_ptr<FontTable> fonts;

    // The fonts of the pages read so far (see HeldFonts).
    HeldFonts heldFonts;
    // What the pictures of the current page take decoded, until a drawing
    // of the page counts them.
    std::size_t pagePictureBytes = 0;

    // The page last recorded, while its objects were collected (with
    // recordPages) or when its objects were first drawn: a page usually has
    // several regions to draw, and each draws from the recording.
    fz_display_list* recorded = nullptr;
    int recordedPage = -1;
    // The pixels of the regions DrawObjects draws, one after the other.
    PixelStore pixels;

    void DropRecording()
    {
        fz_drop_display_list(ctx, recorded);
        recorded = nullptr;
        recordedPage = -1;
    }

    // The recording of the page (made when another page was recorded last);
    // null when the page cannot be recorded.
    fz_display_list* Recording(int page)
    {
        if (recordedPage != page) {
            DropRecording();
            recorded = RecordPage(ctx, doc, page);
            if (recorded)
                recordedPage = page;
        }
        return recorded;
    }

    void Close()
    {
        DropRecording();
        ClearObjects();
        spareText.clear();
        fonts.reset();
        heldFonts.Drop(ctx);
        pagePictureBytes = 0;
        currentPage = -1;
        bounds.clear();
        ocrWords.clear();
        ocrDpi.clear();
        if (doc) {
            if (pageTree)
                SafeDropPageTree(ctx, doc);
            pageTree = false;
            clearObjects = false;
            treeMap.reset();
            fz_drop_document(ctx, doc);
            doc = nullptr;
        }
        pageCount = 0;
        docId = 0;
        path.clear();
    }

    bool Bounds(int page, fz_rect& out)
    {
        if (!doc || page < 0 || page >= pageCount)
            return false;
        auto it = bounds.find(page);
        if (it != bounds.end()) {
            out = it->second;
            return true;
        }
        if (!PageBounds(ctx, doc, page, out))
            return false;
        bounds[page] = out;
        return true;
    }

    std::string ImageDirUtf8() const
    {
        std::wstring dir = imageDir;
        if (dir.empty())
            dir = Parser::GetWorkDir();
        if (dir.empty()) {
            std::error_code ec;
            return WithSlash(std::filesystem::temp_directory_path(ec).string());
        }
        return WithSlash(ToUtf8(dir));
    }
};

// ---- the per-thread renderer of ConvertPDFPageToJpeg ------------------------
// Rendering page after page of one file is the common case; the open
// document is kept for the calling thread until another file (or the same
// file changed on disk, or another password) is asked for.
namespace {

struct RenderCache {
    fz_context* ctx = nullptr;
    fz_document* doc = nullptr;
    FileIdentity file;
    int pageCount = 0;
    // The fonts of the page last drawn: a font used page after page is
    // not read again for each, while those of a document with many fonts
    // are not all kept.
    HeldFonts fonts;

    RenderCache() = default;
    RenderCache(const RenderCache&) = delete;
    RenderCache& operator=(const RenderCache&) = delete;
    ~RenderCache() { Reset(); }

    void Reset()
    {
        if (ctx) {
            fonts.Drop(ctx);
            if (doc)
                fz_drop_document(ctx, doc);
            DropContext(ctx);
        }
        ctx = nullptr;
        doc = nullptr;
        file.Clear();
    }

    bool Matches(const std::string& p, const std::string& pw, const struct stat& st) const
    {
        return doc && file.Same(p, pw, st);
    }
};

thread_local std::unique_ptr<RenderCache> t_renderCache;

} // namespace

} // namespace parser_detail

using namespace parser_detail;

// ---- Parser ------------------------------------------------------------------

Parser::Parser() : impl_(std::make_unique<ParserImpl>()) {}

Parser::~Parser() = default;

bool Parser::InitParserStaticParam(const std::wstring& programDir, const std::wstring& toolDir,
                                   const std::wstring& workDir)
{
    StaticFolders& f = Folders();
    std::lock_guard<std::mutex> lock(f.mutex);
    f.program = programDir;
    f.tool = toolDir;
    f.work = workDir;
    return true;
}

void Parser::ReleaseAllTextConvertMap()
{
    {
        StaticFolders& f = Folders();
        std::lock_guard<std::mutex> lock(f.mutex);
        f.program.clear();
        f.program.shrink_to_fit();
        f.tool.clear();
        f.tool.shrink_to_fit();
        f.work.clear();
        f.work.shrink_to_fit();
    }
    ReleaseRenderState();
}

void Parser::ReleaseRenderState()
{
    t_renderCache.reset();
}

std::wstring Parser::GetProgramDir()
{
    StaticFolders& f = Folders();
    std::lock_guard<std::mutex> lock(f.mutex);
    return f.program;
}

std::wstring Parser::GetToolDir()
{
    StaticFolders& f = Folders();
    std::lock_guard<std::mutex> lock(f.mutex);
    return f.tool;
}

std::wstring Parser::GetWorkDir()
{
    StaticFolders& f = Folders();
    std::lock_guard<std::mutex> lock(f.mutex);
    return f.work;
}

bool Parser::Load(const std::wstring& path, bool checkOnly, const char* password)
{
    return LoadWith(path, checkOnly, password, nullptr);
}

bool Parser::LoadAlike(const Parser& loaded)
{
    // What `loaded` holds is only read: its owner may use it meanwhile.
    const std::shared_ptr<const PageTreeMap> map = loaded.impl_->treeMap;
    return LoadWith(loaded.impl_->path, false, loaded.password_.c_str(), map.get());
}

bool Parser::LoadWith(const std::wstring& path, bool checkOnly, const char* password,
                      const parser_detail::PageTreeMap* map)
{
    ParserImpl& d = *impl_;
    d.Close();
    const std::string file = ToUtf8(path);
    CheckPdfFile(file);

    std::string err;
    fz_document* doc = OpenPdf(d.ctx, file.c_str(), err);
    if (!doc)
        throw ParserError("cannot read the PDF file " + file + (err.empty() ? "" : ": " + err));
    int needs = 0;
    char msg[512] = {0};
    const int pages = PreparePlain(d.ctx, doc, password, checkOnly ? 1 : 0, &needs, msg, sizeof msg);
    if (checkOnly) {
        fz_drop_document(d.ctx, doc);
        if (pages == -2)
            throw ParserError("cannot read the PDF file " + file + ": " + msg);
        if (!needs && pages == 0)
            throw ParserError("the PDF file has no pages: " + file);
        return needs != 0;
    }
    if (pages < 0) {
        fz_drop_document(d.ctx, doc);
        if (pages == -1)
            throw ParserError(password && *password
                                  ? "wrong password for the PDF file " + file
                                  : "the PDF file needs a password: " + file);
        throw ParserError("cannot read the PDF file " + file + ": " + msg);
    }
    if (pages == 0) {
        fz_drop_document(d.ctx, doc);
        throw ParserError("the PDF file has no pages (or its page tree is damaged): " + file);
    }
    SafeMakeFormAppearances(d.ctx, doc);
    const std::string pw = password ? password : "";
    struct stat st {};
    const bool known = !map && ::stat(file.c_str(), &st) == 0;
    // The map of an earlier load of the file unchanged serves as well, and
    // parsers that open the file alike take it from this one.
    const std::shared_ptr<const PageTreeMap> before = known ? WalkedBefore(file, pw, st) : nullptr;
    bool walked = false;
    if (map && SafeAdoptPageTree(d.ctx, doc, *map)) {
        d.pageTree = true;
        d.clearObjects = true;
    } else if (before && SafeAdoptPageTree(d.ctx, doc, *before)) {
        d.pageTree = true;
        d.clearObjects = true;
        d.treeMap = before;
    } else {
        walked = true;
        d.pageTree = SafeLoadPageTree(d.ctx, doc, &d.clearObjects);
        if (d.pageTree && d.clearObjects) {
            PageTreeMap made = SafeCopyPageTree(d.ctx, doc);
            if (!made.pageObjects.empty())
                d.treeMap = std::make_shared<const PageTreeMap>(std::move(made));
            if (known && d.treeMap)
                KeepWalked(file, pw, st, d.treeMap);
        }
    }
    // Mapping the tree parsed every page object: they go at once, not with
    // the first page (parsers opened together would all hold them).
    if (d.clearObjects) {
        SafeClearParsedObjects(d.ctx, doc);
        // Those objects were most of what loading allocated, and their
        // memory lies below what stays: it goes back to the system now
        // rather than staying with the process for the whole job.
        if (walked)
            ReleaseFreeMemory();
    }
    d.doc = doc;
    d.pageCount = pages;
    d.docId = NextDocId();
    d.path = path;
    password_ = password ? password : "";
    return true;
}

bool Parser::CopyPDF(const std::wstring& path)
{
    FILE* f = std::fopen(ToUtf8(path).c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

void Parser::SetImageDir(const std::wstring& dir)
{
    impl_->imageDir = dir;
    if (!dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(ToUtf8(dir)), ec);
    }
}

const std::wstring& Parser::GetImageDir() const { return impl_->imageDir; }

void Parser::SetRecordPages(bool on)
{
    impl_->recordPages = on;
}

void Parser::SetDrawWords(bool on)
{
    impl_->drawWords = on;
}

void Parser::SetImageStem(const std::string& stem)
{
    impl_->imageStem = stem;
    impl_->imageCounter = 0;
}

int Parser::GetPageCount() const { return impl_->doc ? impl_->pageCount : 0; }

bool Parser::GetParsedFilePath(wchar_t* buf, int size) const
{
    if (!buf || size <= 0)
        return false;
    buf[0] = L'\0';
    const std::wstring& p = impl_->path;
    if (!impl_->doc || p.empty() || p.size() + 1 > static_cast<std::size_t>(size))
        return false;
    std::wmemcpy(buf, p.c_str(), p.size() + 1);
    return true;
}

bool Parser::SetCurrentPage(int page)
{
    ParserImpl& d = *impl_;
    d.ClearObjects();
    d.currentPage = -1;
    if (!d.doc || page < 0 || page >= d.pageCount)
        return false;
    d.currentPage = page;

    auto ocr = d.ocrWords.find(page);
    if (ocr != d.ocrWords.end()) {
        fz_rect b;
        if (!d.Bounds(page, b))
            return false;
        const double zoom = d.ocrDpi[page] / 72.0;
        const double H = b.y1 - b.y0;
        int id = 1;
        for (const OcrWordPx& w : ocr->second) {
            double base = w.baseline >= 0 ? w.baseline : w.bottom;
            double capPx = base - w.lineTop;
            if (!(capPx > 0))
                capPx = w.bottom - w.top;
            double size = std::max(capPx / 0.72 / zoom, 1.0);
            const double x = w.left / zoom;
            const double width = std::max((w.right - w.left) / zoom, 0.0);
            const double baseline = H - base / zoom;
            auto t = std::make_unique<TextCollect>();
            ObjectAccess::Text(*t) = w.text + " ";
            ObjectAccess::FontName(*t) = "Arial";
            ObjectAccess::FontFamily(*t) = "Arial";
            ObjectAccess::FontSize(*t) = size;
            ObjectAccess::Width(*t) = width;
            ObjectAccess::Height(*t) = size;
            t->runWidth = width;
            t->runHeight = size;
            ObjectAccess::SetMatrix(*t, ParserMatrix{1, 0, 0, 1, x, baseline - 0.2 * size});
            ObjectAccess::SetId(*t, id++);
            d.objects.push_back(std::move(t));
        }
        CollectLinks(d.ctx, d.doc, page, id, d.objects);
        return true;
    }

    if (TakePictureBudget(d.ctx))
        d.heldFonts.EmptyStore(d.ctx);
    PageFonts found;
    d.heldFonts.Hold(d.ctx, d.doc, page, found);
    // Reading the page loads its pictures' streams into the store, each in
    // a buffer that grows to twice the stream while its end is looked for;
    // they are decoded when written (counted then) or drawn (DrawObjects).
    CountPictureBytes(d.ctx, 2 * found.pictureStreamBytes);
    d.pagePictureBytes = found.pictureBytes;
    CollectOptions opt;
    opt.docId = d.docId;
    opt.page = page;
    opt.imageDir = d.ImageDirUtf8();
    opt.imageStem = d.imageStem;
    opt.imageCounter = &d.imageCounter;
    opt.spareText = &d.spareText;
    opt.wordRecords = d.drawWords;
    CancelProbe probe(cancel_, callbackCtx_);
    opt.cancel = &probe;
    if (!d.fonts)
        d.fonts = std::make_unique<FontTable>(d.ctx);
    opt.fonts = d.fonts.get();
    fz_display_list* recording = nullptr;
    if (d.recordPages)
        opt.recording = &recording;
    PageObjects out;
    out.objects = std::move(d.objects); // empty; keeps its capacity
    const bool ok = CollectPage(d.ctx, d.doc, opt, out);
    if (recording) {
        d.DropRecording();
        d.recorded = recording;
        d.recordedPage = page;
    }
    if (d.clearObjects)
        SafeClearParsedObjects(d.ctx, d.doc);
    if (out.haveBounds)
        d.bounds[page] = out.bounds;
    d.objects = std::move(out.objects);
    return ok;
}

int Parser::GetCurrentPage() const { return impl_->currentPage; }

CollectBase* Parser::GetNextObj()
{
    ParserImpl& d = *impl_;
    if (d.nextObject >= d.objects.size())
        return nullptr;
    return d.objects[d.nextObject++].get();
}

bool Parser::GetPageWidth(double& out, int page)
{
    out = 0.0;
    fz_rect b;
    if (!impl_->Bounds(page < 0 ? impl_->currentPage : page, b))
        return false;
    out = b.x1 - b.x0;
    return true;
}

bool Parser::GetPageHeight(double& out, int page)
{
    out = 0.0;
    fz_rect b;
    if (!impl_->Bounds(page < 0 ? impl_->currentPage : page, b))
        return false;
    out = b.y1 - b.y0;
    return true;
}

bool Parser::ConvertPDFPageToJpeg(const std::wstring& pdfPath, const std::wstring& jpegPath,
                                  int page, int dpi, const char* password, ParserCancelFn cancel,
                                  void* cancelCtx)
{
    if (page < 1 || dpi <= 0 || dpi > 2400 || jpegPath.empty())
        return false;
    const std::string file = ToUtf8(pdfPath);
    const std::string pw = password ? password : "";
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    try {
        CheckPdfFile(file);
    } catch (const ParserError&) {
        return false;
    }

    std::unique_ptr<RenderCache>& cache = t_renderCache;
    if (!cache || !cache->Matches(file, pw, st)) {
        if (!cache)
            cache = std::make_unique<RenderCache>();
        cache->Reset();
        cache->ctx = NewContext(true);
        if (!cache->ctx)
            return false;
        std::string err;
        cache->doc = OpenPdf(cache->ctx, file.c_str(), err);
        if (!cache->doc) {
            cache->Reset();
            return false;
        }
        int needs = 0;
        char msg[512] = {0};
        const int pages = PreparePlain(cache->ctx, cache->doc, pw.c_str(), 0, &needs, msg, sizeof msg);
        if (pages <= 0) {
            cache->Reset();
            return false;
        }
        SafeMakeFormAppearances(cache->ctx, cache->doc);
        cache->pageCount = pages;
        cache->file.Set(file, pw, st);
    }
    if (page > cache->pageCount)
        return false;
    // The picture's pixels are held from the budget of every thread until
    // it is written.
    fz_rect bounds;
    if (!PageBounds(cache->ctx, cache->doc, page - 1, bounds))
        return false;
    const double zoom = dpi / 72.0;
    const PixelReservation pixels(double(bounds.x1 - bounds.x0) * double(bounds.y1 - bounds.y0) *
                                  zoom * zoom);
    PageFonts found;
    cache->fonts.HoldOnly(cache->ctx, cache->doc, page - 1, found);
    CancelProbe probe(cancel, cancelCtx);
    fz_pixmap* pix = RenderPage(cache->ctx, cache->doc, page - 1, static_cast<float>(dpi) / 72.0f,
                                false, cancel ? &probe : nullptr);
    // The store lets the pictures of earlier pages go one by one as new
    // ones come in (see kDrawingStoreLimit), but it lets nothing go while
    // the fonts held leave no room for a new one: then, once the pictures
    // drawn pass the budget, all but the fonts goes.
    CountPictureBytes(cache->ctx, found.pictureBytes);
    if (TakePictureBudget(cache->ctx) && cache->fonts.Bytes() >= kDrawingStoreLimit / 2)
        cache->fonts.EmptyStore(cache->ctx);
    if (!pix)
        return false;
    bool ok = false;
    try {
        ok = WritePixmapJpeg(cache->ctx, pix, ToUtf8(jpegPath), 75, dpi);
    } catch (...) {
        fz_drop_pixmap(cache->ctx, pix);
        throw;
    }
    fz_drop_pixmap(cache->ctx, pix);
    return ok;
}

bool Parser::DrawObjects(const std::vector<CollectBase*>& objects, const std::wstring& jpegPath,
                         ImageCollect& region)
{
    ParserImpl& d = *impl_;
    if (!d.doc || jpegPath.empty())
        return false;
    int page = -1;
    Selection sel;
    Box area;
    double zoom = 2.0; // 144 dpi
    for (CollectBase* o : objects) {
        if (!o)
            continue;
        const DrawRef* ref = ObjectAccess::Draw(*o);
        if (!ref || ref->docId != d.docId)
            continue;
        if (page < 0)
            page = ref->page;
        if (ref->page != page)
            continue;
        for (int s : ref->seqs)
            sel.whole.insert(s);
        for (const TextPiece& p : ref->pieces)
            sel.text[p.seq].push_back(p);
        area.Unite(ref->box);
        if (ref->pixelWidth > 0 && ref->box.x1 > ref->box.x0) {
            const double native = ref->pixelWidth / (ref->box.x1 - ref->box.x0);
            zoom = std::max(zoom, std::min(native, 4.0));
        }
    }
    if (page < 0 || area.Empty())
        return false;
    fz_rect b;
    if (!d.Bounds(page, b))
        return false;
    const Box pageBox{0.0, 0.0, b.x1 - b.x0, b.y1 - b.y0};
    area = area.Intersect(pageBox);
    if (area.Empty())
        return false;
    // Keep the picture within a sensible size (about 40 million pixels).
    const double pixels = (area.x1 - area.x0) * (area.y1 - area.y0) * zoom * zoom;
    if (pixels > 4e7)
        zoom = std::max(0.25, zoom * std::sqrt(4e7 / pixels));

    CancelProbe probe(cancel_, callbackCtx_);
    fz_pixmap* pix = RenderSelection(d.ctx, d.doc, page, sel, area, static_cast<float>(zoom),
                                     d.Recording(page), &probe, &d.pixels);
    // The pictures decoded for drawing count towards emptying the store
    // before the next page, once for the page however many regions it has.
    if (page == d.currentPage) {
        CountPictureBytes(d.ctx, d.pagePictureBytes);
        d.pagePictureBytes = 0;
    }
    if (!pix)
        return false;
    bool ok = false;
    try {
        ok = WritePixmapJpeg(d.ctx, pix, ToUtf8(jpegPath), 90,
                             static_cast<int>(std::lround(zoom * 72.0)));
    } catch (...) {
        fz_drop_pixmap(d.ctx, pix);
        throw;
    }
    fz_drop_pixmap(d.ctx, pix);
    if (!ok)
        return false;
    const double w = area.x1 - area.x0, h = area.y1 - area.y0;
    ObjectAccess::SetImageResult(region, jpegPath, static_cast<int>(std::lround(w)),
                                 static_cast<int>(std::lround(h)));
    ObjectAccess::SetMatrix(region, ParserMatrix{w, 0.0, 0.0, h, area.x0, area.y0});
    return true;
}

bool Parser::OcrPrecessor()
{
    ParserImpl& d = *impl_;
    if (!d.doc)
        return false;
    if (!d.ocr)
        d.ocr = std::make_unique<OcrEngine>();
    std::string err;
    if (!d.ocr->Init(err))
        return false;
    const int dpi = recognitionOption_ == 1 ? 300 : 200;
    bool all = true;
    for (int page : recognitionPages_) {
        if (cancel_ && cancel_(callbackCtx_))
            return false;
        if (page < 0 || page >= d.pageCount) {
            all = false;
            continue;
        }
        if (d.ocrWords.count(page) && d.ocrDpi[page] >= dpi)
            continue;
        // The drawing and the recognition of the page ask the cancel
        // callback as they go: a page at 300 dpi takes seconds.
        CancelProbe probe(cancel_, callbackCtx_);
        CancelProbe* asked = cancel_ ? &probe : nullptr;
        fz_pixmap* pix = RenderPage(d.ctx, d.doc, page, static_cast<float>(dpi) / 72.0f, true,
                                    asked);
        if (!pix) {
            all = false;
            continue;
        }
        std::vector<OcrWordPx> words;
        bool ok = false;
        try {
            ok = d.ocr->Recognise(fz_pixmap_samples(d.ctx, pix), fz_pixmap_width(d.ctx, pix),
                                  fz_pixmap_height(d.ctx, pix),
                                  static_cast<int>(fz_pixmap_stride(d.ctx, pix)), dpi, words,
                                  asked);
        } catch (...) {
            fz_drop_pixmap(d.ctx, pix);
            throw;
        }
        fz_drop_pixmap(d.ctx, pix);
        if (!ok) {
            all = false;
            continue;
        }
        d.ocrWords[page] = std::move(words);
        d.ocrDpi[page] = dpi;
        if (page == d.currentPage) {
            // The page on show now reports its recognised words.
            d.ClearObjects();
            d.currentPage = -1;
        }
    }
    return all;
}
