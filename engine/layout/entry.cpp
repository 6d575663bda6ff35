#include "engine/layout/entry.h"

#include "engine/layout/block.h"
#include "engine/layout/book.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/pictureexport.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "engine/layout/writertable.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/docx/word07content.h"
#include "parser/parser.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

// Reports progress and item states through the caller's callbacks.
class Reporter {
public:
    Reporter(void* ctx, const callback_funcs& cb) : ctx_(ctx), cb_(cb) {}
    void percent(int item, int value) const { send(item, WM_PROGRESS_PERCENT, value); }
    void state(int item, int value) const { send(item, WM_PROGRESS_STATE, value); }

private:
    void send(int item, unsigned message, int value) const
    {
        if (cb_.progress)
            cb_.progress(ctx_, item, message, value);
    }
    void* ctx_;
    callback_funcs cb_;
};

// Numbers that name output pieces start afresh with every job, so that two
// conversions in one process give the same output.
void ResetJobCounters()
{
    ImageBlock::imagecount = 0;
    Chapter::totalid = 0;
    Chapter::ncxtotalid = 0;
    Block::ResetCreationOrder();
    ResetTextCreationOrder();
    ResetWord07Counters();
}

void MakeFolder(const std::wstring& path)
{
    std::error_code ec;
    std::filesystem::create_directories(utf8::Path(path), ec);
}

void MakeWorkFolders()
{
    MakeFolder(GlobalEnum::tmppath + L"Files");
    MakeFolder(GlobalEnum::tmppath + L"ImageFiles");
}

void EmptyWorkFolders()
{
    for (const wchar_t* sub : {L"Files", L"ImageFiles"}) {
        if (PathExists(GlobalEnum::tmppath + sub))
            DeleteFiles(GlobalEnum::tmppath + sub + L"/*", false);
    }
}

// The source's file name without folder and extension.
std::wstring BaseName(const std::wstring& source)
{
    const std::size_t slash = source.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

std::wstring WithoutTrailingSlash(std::wstring s)
{
    if (!s.empty() && s.back() == L'/')
        s.pop_back();
    return s;
}

// Whether the item's selection names at least one page of the document.
bool SelectsAnyPage(const Basedata_w& item, int count)
{
    if (count <= 0)
        return false;
    if (item.pages.empty())
        return true;
    for (int p : item.pages) {
        if (p >= 0 && p < count)
            return true;
    }
    return false;
}

// Runs recognition where the item asks for it, then parses the selected
// pages into the book. False when cancelled.
bool ParseSelection(Book& book, Parser& parser, Basedata_w& item)
{
    if (item.pages.empty() && item.first == 0 && item.last == 0) {
        if (item.enableOCR && item.type == 3) {
            const int count = parser.GetPageCount();
            for (int p = 0; p < count; ++p)
                parser.AddRecognitionPage(p);
            parser.OcrPrecessor();
        }
        return book.parse();
    }
    if (!item.pages.empty()) {
        if (item.enableOCR) {
            parser.SetRecognitionPages(item.pages);
            parser.OcrPrecessor();
        }
        return book.parse(item.pages);
    }
    if (item.enableOCR) {
        const int count = parser.GetPageCount();
        if (item.last > count - 1)
            item.last = count - 1;
        if (item.first > item.last)
            item.first = 0;
        for (int p = item.first; p <= item.last; ++p)
            parser.AddRecognitionPage(p);
        parser.OcrPrecessor();
    }
    return book.parse(item.first, item.last);
}

// Loads the item's PDF; false when it cannot be opened.
bool LoadSource(Parser& parser, const Basedata_w& item)
{
    try {
        parser.Load(item.source, false, item.password.c_str());
        if (item.enableOCR)
            parser.ClearRecognitionPages();
    } catch (...) {
        return false;
    }
    Parser::CopyPDF(item.source);
    return true;
}

// Starts a job: its numbers afresh, its temporary folder and the parsers'
// picture folder in it.
void StartJob(const std::wstring& tmpDir)
{
    ResetJobCounters();
    GlobalEnum::tmppath = tmpDir;
    MakeFolder(GlobalEnum::tmppath + L"Files");
}

// A parser that writes its pictures into the job's folder and asks the
// job's callbacks.
std::unique_ptr<Parser> MakeParser(void* ctx, const callback_funcs& cb)
{
    auto parser = std::make_unique<Parser>();
    parser->SetImageDir(GlobalEnum::tmppath + L"Files");
    parser->SetCallbacks(cb.progress, cb.cancel, ctx);
    return parser;
}

enum class ItemEnd { Next, StopJob };

// One item of convert(): from state 1 to state 2 or 3.
ItemEnd ConvertItem(Parser& parser, Basedata_w& item, int i, void* ctx,
                    const callback_funcs& cb, const Reporter& report)
{
    MakeWorkFolders();
    report.state(i, ITEM_STARTED);
    GlobalEnum::exepath = item.exePath;
    parser.SetRecognitionSwitch(item.enableOCR && item.type == 3);
    parser.SetRecognitionOption(item.ocrMode);
    const std::wstring base = BaseName(item.source);
    report.percent(i, 5);

    auto fail = [&] {
        EmptyWorkFolders();
        report.state(i, ITEM_FAILED);
        return ItemEnd::Next;
    };
    if (WithoutTrailingSlash(item.dest).empty())
        return fail();   // no output folder: nothing may land at the root
    if (!LoadSource(parser, item))
        return fail();
    report.percent(i, 25);
    if (!SelectsAnyPage(item, parser.GetPageCount()))
        return fail();

    if (item.type == 4) {
        const float scale = item.imgHighRes == 1 ? 2.0f : 1.0f;
        const PageImageExport exported =
            exportPageImages(&parser, base, item, cb, ctx, i, scale, 0, false, {});
        if (exported.status == ExportStatus::Cancelled) {
            EmptyWorkFolders();
            report.state(i, ITEM_FAILED);
            return ItemEnd::StopJob;
        }
        if (exported.status == ExportStatus::Failed)
            return fail();
        item.result = exported.path;
        EmptyWorkFolders();
        report.percent(i, 100);
        report.state(i, ITEM_DONE);
        return ItemEnd::Next;
    }

    BookOptions options;
    std::unique_ptr<IWriter> writer = MakeWriter(item, GlobalEnum::tmppath, options);
    if (!writer)
        return fail();   // this build has no writer for the type
    Book book(options.ignoreImages, options.pageAsImage, options.ignoreTables,
              options.keepObjectOrder, i, ctx, cb, options.drawGraphics);
    book.ChangeBook(&parser);
    book.setWriter(writer.release());
    // The pages are analysed as the writer walks them, and let go once
    // written.
    book.SetStreaming(true);
    report.percent(i, 30);

    auto cancelled = [&] {
        EmptyWorkFolders();
        report.state(i, ITEM_FAILED);
        return ItemEnd::StopJob;
    };
    if (!ParseSelection(book, parser, item))
        return cancelled();
    const std::wstring result = book.write(WithoutTrailingSlash(item.dest), L"/" + base);
    if (book.WasCancelled())
        return cancelled();
    if (result.empty())
        return fail();   // the writer wrote nothing usable
    report.percent(i, 80);
    item.result = result;
    EmptyWorkFolders();
    report.percent(i, 100);
    report.state(i, ITEM_DONE);
    return ItemEnd::Next;
}

} // namespace

void convert(std::vector<Basedata_w>& items, const std::wstring& tmpDir, void* ctx,
             const callback_funcs& callbacks)
{
    const Reporter report(ctx, callbacks);
    StartJob(tmpDir);
    std::unique_ptr<Parser> parser = MakeParser(ctx, callbacks);
    for (std::size_t n = 0; n < items.size(); ++n) {
        const int i = static_cast<int>(n);
        RezovirorInitialize();
        ItemEnd end = ItemEnd::Next;
        try {
            end = ConvertItem(*parser, items[n], i, ctx, callbacks, report);
        } catch (...) {
            // Anything unexpected fails this item only.
            EmptyWorkFolders();
            report.state(i, ITEM_FAILED);
        }
        RezovirorRelease();
        if (end == ItemEnd::StopJob)
            break;
    }
    // Page pictures rendered on this thread keep a MuPDF context and the
    // last document open: not beyond the job.
    Parser::ReleaseRenderState();
}

void mergeall(std::vector<Basedata_w>& items, const std::wstring& tmpDir, void* ctx,
              const callback_funcs& callbacks, std::wstring& name)
{
    const Reporter report(ctx, callbacks);
    StartJob(tmpDir);
    RezovirorInitialize();
    MakeWorkFolders();

    // Each item's document is read by a parser of its own, kept open until
    // the merged file is written: the book lists the pages of every item,
    // and they are analysed while the writer walks them and let go behind
    // it, so that the merge holds a few pages at a time like a single
    // document. The parsers are declared before the book, which reads them.
    std::vector<std::unique_ptr<Parser>> parsers;
    bool recognition = false;
    int recognitionMode = 0;
    auto makeParser = [&] {
        std::unique_ptr<Parser> parser = MakeParser(ctx, callbacks);
        parser->SetRecognitionSwitch(recognition);
        parser->SetRecognitionOption(recognitionMode);
        return parser;
    };

    // The writer and the options come from the first item.
    std::unique_ptr<Book> book;
    if (!items.empty()) {
        Basedata_w& first = items.front();
        GlobalEnum::exepath = first.exePath;
        recognition = first.enableOCR && first.type == 3;
        recognitionMode = first.ocrMode;
        if (first.type != 4) {
            BookOptions options;
            std::unique_ptr<IWriter> writer = MakeWriter(first, GlobalEnum::tmppath, options);
            if (writer) {
                book = std::make_unique<Book>(options.ignoreImages, options.pageAsImage,
                                              options.ignoreTables, options.keepObjectOrder, 0,
                                              ctx, callbacks, options.drawGraphics);
                book->setWriter(writer.release());
                book->SetStreaming(true);
                // A document that fails part way through the walk leaves
                // the book, and the others are written again from the
                // start: numbers and work files as the first walk found them.
                book->SetRewrite([&first]() -> IWriter* {
                    ResetJobCounters();
                    EmptyWorkFolders();
                    BookOptions again;
                    return MakeWriter(first, GlobalEnum::tmppath, again).release();
                });
            }
        }
    }

    std::vector<std::size_t> merged;   // items whose pages are in the book, one per document
    std::wstring pictureFolder;        // the merged picture folder, once made
    int pageOffset = 0;
    bool cancelled = false;
    for (std::size_t n = 0; n < items.size() && !cancelled; ++n) {
        const int i = static_cast<int>(n);
        Basedata_w& item = items[n];
        report.state(i, ITEM_STARTED);
        if (book)
            book->Setnum(i);
        report.percent(i, 5);
        try {
            std::unique_ptr<Parser> parser = makeParser();
            if (!LoadSource(*parser, item)) {
                report.state(i, ITEM_FAILED);
                continue;
            }
            const int count = parser->GetPageCount();
            if (!SelectsAnyPage(item, count) || WithoutTrailingSlash(item.dest).empty()) {
                report.state(i, ITEM_FAILED);
                continue;
            }
            if (item.type == 4) {
                const float scale = item.imgHighRes == 1 ? 2.0f : 1.0f;
                const PageImageExport exported = exportPageImages(
                    parser.get(), name, item, callbacks, ctx, i, scale, pageOffset, true,
                    pictureFolder);
                pageOffset += count;
                if (exported.status != ExportStatus::Done) {
                    report.state(i, ITEM_FAILED);
                    continue;
                }
                if (pictureFolder.empty())
                    pictureFolder = exported.path;
                item.result = exported.path;
                report.percent(i, 100);
                report.state(i, ITEM_DONE);
                continue;
            }
            if (!book) {
                report.state(i, ITEM_FAILED);
                continue;
            }
            report.percent(i, 30);
            book->ChangeBook(parser.get());
            const bool listed = ParseSelection(*book, *parser, item);
            if (listed) {
                merged.push_back(n);
                parsers.push_back(std::move(parser));
            }
            // The listing asks no question of its own: a request to stop
            // ends the job here, before the next item starts.
            if (!listed || (callbacks.cancel && callbacks.cancel(ctx))) {
                book.reset();
                report.state(i, ITEM_FAILED);
                if (listed)
                    merged.pop_back();
                cancelled = true;
                continue;
            }
        } catch (...) {
            // The item's parser is gone: the book must not read it.
            if (book)
                book->ChangeBook(nullptr);
            report.state(i, ITEM_FAILED);
        }
    }

    // The pages of every item that loaded are written, also when a later
    // item failed; those items end done when the file is written and
    // failed when it is not (or the job was cancelled before). An item
    // whose pages could not be analysed leaves the merged file and fails.
    std::wstring result;
    std::vector<int> failedDocuments;
    bool walked = false;   // every page was handed to the writer
    if (book && !merged.empty()) {
        const std::wstring dir = WithoutTrailingSlash(items.front().dest);
        try {
            if (!dir.empty())
                result = book->write(dir, L"/" + name);
        } catch (...) {
            result.clear();
        }
        walked = !book->WasCancelled();
        failedDocuments = book->FailedDocuments();
    }
    auto failed = [&](std::size_t document) {
        return std::find(failedDocuments.begin(), failedDocuments.end(),
                         static_cast<int>(document)) != failedDocuments.end();
    };
    // Every page walked, each item's progress ends; then the items end
    // together.
    for (std::size_t document = 0; document < merged.size() && walked; ++document) {
        if (!failed(document))
            report.percent(static_cast<int>(merged[document]), 100);
    }
    for (std::size_t document = 0; document < merged.size(); ++document) {
        const int i = static_cast<int>(merged[document]);
        const bool done = !result.empty() && !failed(document);
        if (done)
            items[merged[document]].result = result;
        report.state(i, done ? ITEM_DONE : ITEM_FAILED);
    }
    book.reset();
    parsers.clear();
    EmptyWorkFolders();
    RezovirorRelease();
    Parser::ReleaseRenderState();
}
