// Command-line driver of the engine: fills one job item per PDF from its
// arguments, with every option the desktop program sets, and calls convert,
// or mergeall with --merge. On a terminal each file's progress is one
// updating line that ends in "done" with the written path or "failed" with
// the reason; elsewhere only those last lines are printed. --protocol prints
// instead every progress call as one line ("item message value"), why each
// failed item failed ("error item reason") and each item's result ("result
// item path"), for scripts. Exits with 1 when an item failed, with 2 on a
// usage error. The driver's lines have standard output to themselves:
// whatever else the libraries write there goes to standard error.
//
// With --to-pdf each source becomes a PDF in DIR instead, with the same
// lines: a folder of pictures, or a .docx, .xlsx, .pptx or .doc file (by
// its extension in any case); of .xls and .ppt files the pictures stored in
// them are written.

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "engine/topdf/topdfroute.h"
#include "parser/parser.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: trancel-run --type N [options] --dest DIR FILE...\n"
    "       trancel-run --to-pdf [--protocol] --dest DIR SOURCE...\n"
    "\n"
    "  --type N          output type: 1 EPUB, 2 HTML folder with a page viewer,\n"
    "                    3 plain text, 4 JPEG pages, 5 Word 97-2003 (.doc),\n"
    "                    6 Word 2007 (.docx)\n"
    "  --dest DIR        output folder\n"
    "  --range TEXT      pages: All (default), Odd, Even, or numbers and ranges\n"
    "                    such as 1-3,5\n"
    "  --password PW     open password of the PDF files\n"
    "  --merge NAME      put every file into one output called NAME\n"
    "  --page-pictures   EPUB: every page becomes one picture\n"
    "  --no-pictures     EPUB and HTML: text only, pictures left out\n"
    "  --extract         JPEG: the pictures embedded in the pages, not whole pages\n"
    "  --hires           JPEG: pages at 192 dpi instead of 96\n"
    "  --config-layout   Word: text in reading order, graphics drawn as the\n"
    "                    program folder's config.txt says (DrawGraphic: true)\n"
    "  --word-password PW             Word: open password of the document\n"
    "  --word-permission-password PW  Word: permission password\n"
    "  --ocr             run character recognition (text output, or the pages\n"
    "                    that --range lists)\n"
    "  --ocr-mode MODE   recognition: speed (default) or quality\n"
    "  --protocol        machine-readable lines: every progress call as\n"
    "                    \"item message value\", then \"error item reason\"\n"
    "                    for a failed item and \"result item path\"\n"
    "  --to-pdf          make a PDF of each source: a folder of pictures, a\n"
    "                    .docx, .xlsx, .pptx or .doc file; of .xls and .ppt\n"
    "                    files the pictures stored in them are written\n"
    "  --help            this text\n";

// What the arguments ask for.
struct Options {
    int type = 0;
    std::string range = "All";
    std::string password;
    std::string dest;
    std::string mergeName;
    bool merge = false;
    bool pagePictures = false;
    bool noPictures = false;
    bool extract = false;
    bool hires = false;
    bool configLayout = false;
    std::string wordPassword;
    bool haveWordPassword = false;
    std::string wordPermissionPassword;
    bool haveWordPermissionPassword = false;
    bool ocr = false;
    int ocrMode = 0;
    bool protocol = false;
    bool toPdf = false;
    std::vector<std::string> files;
};

// The output folder must exist: the conversions write into it and make no
// folders of their own above the output.
bool IsFolder(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

int UsageError(const std::string& what)
{
    std::fprintf(stderr, "trancel-run: %s\n%s", what.c_str(), kUsage);
    return 2;
}

// A page selection the desktop program could send: a keyword, or numbers
// joined by commas and hyphens (spaces allowed).
bool ValidRange(const std::string& r)
{
    if (r == "All" || r == "Odd" || r == "Even")
        return true;
    bool digit = false;
    for (char c : r) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != ',' && c != '-' && c != ' ')
            return false;
    }
    return digit;
}

// Reads the arguments into `o`; 0 when they are sound, else the exit code
// (after printing the usage or the help).
int ParseArguments(int argc, char** argv, Options& o)
{
    std::string type, ocrMode;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        bool ok = true;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (arg == "--type") {
            ok = value(type);
        } else if (arg == "--range") {
            ok = value(o.range);
        } else if (arg == "--password") {
            ok = value(o.password);
        } else if (arg == "--dest") {
            ok = value(o.dest);
        } else if (arg == "--merge") {
            ok = value(o.mergeName);
            o.merge = true;
        } else if (arg == "--word-password") {
            ok = value(o.wordPassword);
            o.haveWordPassword = true;
        } else if (arg == "--word-permission-password") {
            ok = value(o.wordPermissionPassword);
            o.haveWordPermissionPassword = true;
        } else if (arg == "--ocr-mode") {
            ok = value(ocrMode);
        } else if (arg == "--page-pictures") {
            o.pagePictures = true;
        } else if (arg == "--no-pictures") {
            o.noPictures = true;
        } else if (arg == "--extract") {
            o.extract = true;
        } else if (arg == "--hires") {
            o.hires = true;
        } else if (arg == "--config-layout") {
            o.configLayout = true;
        } else if (arg == "--ocr") {
            o.ocr = true;
        } else if (arg == "--protocol") {
            o.protocol = true;
        } else if (arg == "--to-pdf") {
            o.toPdf = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else {
            o.files.push_back(arg);
        }
        if (!ok)
            return UsageError(arg + " needs a value");
    }

    if (o.toPdf) {
        // Making PDF files takes only the folder and the sources.
        if (!type.empty() || o.merge || o.range != "All" || !o.password.empty() || o.pagePictures ||
            o.noPictures || o.extract || o.hires || o.configLayout || o.haveWordPassword ||
            o.haveWordPermissionPassword || o.ocr || !ocrMode.empty())
            return UsageError("--to-pdf takes only --dest, --protocol and the sources");
        if (o.dest.empty())
            return UsageError("--dest is missing");
        if (!IsFolder(o.dest))
            return UsageError("--dest " + o.dest + " is no folder");
        if (o.files.empty())
            return UsageError("no source given");
        return 0;
    }
    if (type.empty())
        return UsageError("--type is missing");
    if (type.size() != 1 || type[0] < '1' || type[0] > '6')
        return UsageError("--type must be one of 1 to 6, not \"" + type + "\"");
    o.type = type[0] - '0';
    if (o.dest.empty())
        return UsageError("--dest is missing");
    if (!IsFolder(o.dest))
        return UsageError("--dest " + o.dest + " is no folder");
    if (o.files.empty())
        return UsageError("no PDF file given");
    if (!ValidRange(o.range))
        return UsageError("--range \"" + o.range + "\" names no pages");
    if (o.merge && o.mergeName.empty())
        return UsageError("--merge needs a name");
    if (ocrMode == "speed" || ocrMode == "0" || ocrMode.empty())
        o.ocrMode = 0;
    else if (ocrMode == "quality" || ocrMode == "1")
        o.ocrMode = 1;
    else
        return UsageError("--ocr-mode must be speed or quality, not \"" + ocrMode + "\"");

    // Options that the chosen output type has no use for are mistakes.
    struct ForTypes {
        bool given;
        const char* name;
        bool applies;
    } const checks[] = {
        {o.pagePictures, "--page-pictures", o.type == 1},
        {o.noPictures, "--no-pictures", o.type == 1 || o.type == 2},
        {o.extract, "--extract", o.type == 4},
        {o.hires, "--hires", o.type == 4},
        {o.configLayout, "--config-layout", o.type == 5 || o.type == 6},
        {o.haveWordPassword, "--word-password", o.type == 5 || o.type == 6},
        {o.haveWordPermissionPassword, "--word-permission-password", o.type == 5 || o.type == 6},
    };
    for (const ForTypes& c : checks) {
        if (c.given && !c.applies)
            return UsageError(std::string(c.name) + " does not apply to --type " + type);
    }
    if (o.pagePictures && o.noPictures)
        return UsageError("--page-pictures and --no-pictures exclude each other");
    return 0;
}

// The folder of this program: templates and data ship beside it.
std::wstring ProgramFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::wstring(L".") : utf8::ToWide(exe.parent_path().string());
}

// The page count of a PDF, or 0 with the reason it cannot be opened.
int PageCount(const std::string& path, const std::string& password, std::string& error)
{
    try {
        Parser parser;
        parser.Load(utf8::ToWide(path), false, password.c_str());
        return parser.GetPageCount();
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "the PDF file cannot be read";
    }
    return 0;
}

// What the job reported so far, item by item.
struct ItemView {
    std::string name;     // the file's name, as the progress line shows it
    std::string error;    // why the file cannot be opened, when known
    int state = 0;        // last item state reported
    int percent = 0;
    bool ended = false;   // its last line is printed
};

struct Job {
    Options options;
    std::vector<Basedata_w> items;
    std::vector<ItemView> views;
    std::wstring wordPassword, wordPermissionPassword;   // kept alive for wordOp
    bool terminal = false;
    int shown = -1;       // the item whose line is open on the terminal
};

std::atomic<bool> g_cancel{false};

// Where the driver's own lines go: the standard output the driver was
// started with, once TakeStandardOutput has run.
FILE* g_out = stdout;

// Keeps the standard output for the driver's lines: they go through a copy
// of it, and anything else written to standard output (a library's
// diagnostics) goes to standard error, so that scripts can read every line.
void TakeStandardOutput()
{
    std::fflush(g_out);
    const int own = ::dup(STDOUT_FILENO);
    if (own < 0)
        return;
    FILE* out = ::fdopen(own, "w");
    if (!out) {
        ::close(own);
        return;
    }
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::fclose(out);
        return;
    }
    g_out = out;
}

void OnSignal(int)
{
    g_cancel = true;
}

bool OnCancel(void*)
{
    return g_cancel.load();
}

// Ends the open progress line so that the next output starts on a line of
// its own.
void CloseOpenLine(Job& job)
{
    if (job.shown >= 0) {
        std::fputs("\n", g_out);
        job.shown = -1;
    }
}

void ShowProgress(Job& job, int i)
{
    if (!job.terminal)
        return;
    if (job.shown != i)
        CloseOpenLine(job);
    const ItemView& v = job.views[static_cast<std::size_t>(i)];
    std::fprintf(g_out, "\r\x1b[K%s  %d%%", v.name.c_str(), v.percent);
    std::fflush(g_out);
    job.shown = i;
}

// Whether the output folder can take new files.
// Whether a file can be made in the output folder, tried with a hidden
// file removed at once (permission bits do not tell for every user and
// file system).
bool WritableFolder(const std::string& dir)
{
    std::string probe = (fs::path(dir) / ".trancel-run-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

// Why item i failed: what the parser said of its file, else what the
// driver can see of the job.
std::string FailureReason(const Job& job, std::size_t i)
{
    const ItemView& v = job.views[i];
    if (!v.error.empty())
        return v.error;
    if (g_cancel)
        return "cancelled";
    if (!WritableFolder(job.options.dest))
        return "cannot write the output into " + job.options.dest;
    return "the conversion did not complete";
}

bool Succeeded(const Job& job, std::size_t i)
{
    return job.views[i].state == ITEM_DONE && !job.items[i].result.empty();
}

// Prints the item's last line: done with the written path, or failed with
// the reason.
void ShowEnd(Job& job, std::size_t i)
{
    ItemView& v = job.views[i];
    if (v.ended)
        return;
    v.ended = true;
    const std::string result = utf8::FromWide(job.items[i].result);
    std::string line;
    if (Succeeded(job, i))
        line = v.name + "  done  " + result;
    else
        line = v.name + "  failed: " + FailureReason(job, i);
    if (job.terminal && job.shown == static_cast<int>(i)) {
        std::fprintf(g_out, "\r\x1b[K%s\n", line.c_str());
        job.shown = -1;
    } else {
        CloseOpenLine(job);
        std::fprintf(g_out, "%s\n", line.c_str());
    }
    std::fflush(g_out);
}

void OnProgress(void* ctx, int item, unsigned message, int value)
{
    Job& job = *static_cast<Job*>(ctx);
    if (job.options.protocol) {
        std::fprintf(g_out, "%d %u %d\n", item, message, value);
        std::fflush(g_out);
    }
    if (item < 0 || static_cast<std::size_t>(item) >= job.views.size())
        return;
    ItemView& v = job.views[static_cast<std::size_t>(item)];
    if (message == WM_PROGRESS_STATE)
        v.state = value;
    else if (message == WM_PROGRESS_PERCENT)
        v.percent = value;
    if (job.options.protocol)
        return;
    // A merged item's output is written after the last item: its line ends
    // when the job does.
    const bool ends = message == WM_PROGRESS_STATE &&
                      (value == ITEM_FAILED || (value == ITEM_DONE && !job.options.merge));
    if (ends)
        ShowEnd(job, static_cast<std::size_t>(item));
    else
        ShowProgress(job, item);
}

void FillItems(Job& job)
{
    const Options& o = job.options;
    job.wordPassword = utf8::ToWide(o.wordPassword);
    job.wordPermissionPassword = utf8::ToWide(o.wordPermissionPassword);
    const std::wstring programFolder = ProgramFolder();
    for (const std::string& file : o.files) {
        ItemView view;
        view.name = fs::path(file).filename().string();

        exportdata_w in;
        in.type = std::to_string(o.type);
        in.source = utf8::ToWide(file);
        in.dest = utf8::ToWide(o.dest);
        in.range = utf8::ToWide(o.range);
        in.epubIgnoreImg = o.type == 1 && o.noPictures;
        in.htmlIgnoreImg = o.type == 2 && o.noPictures;
        in.convertKind = (o.type == 1 && o.pagePictures) ||
                         ((o.type == 5 || o.type == 6) && o.configLayout);
        in.imgExtract = o.extract;
        in.imgHighRes = o.hires ? 1 : 0;
        in.exePath = programFolder;
        in.wordOp.bOpenPassword = o.haveWordPassword;
        in.wordOp.openPassword = o.haveWordPassword ? job.wordPassword.c_str() : nullptr;
        in.wordOp.bPermissionPassword = o.haveWordPermissionPassword;
        in.wordOp.permissionPassword =
            o.haveWordPermissionPassword ? job.wordPermissionPassword.c_str() : nullptr;
        in.enableOCR = o.ocr;
        in.ocrMode = o.ocrMode;
        in.password = o.password;
        Basedata_w item;
        item.last = PageCount(file, o.password, view.error);
        exportdata2basedata_w(&item, &in);
        job.items.push_back(item);
        job.views.push_back(view);
    }
}

// Each source made into a PDF, with the progress and end lines of a
// conversion; the written files become the items' results.
void ToPdf(Job& job, const std::wstring& tmpDir)
{
    const Options& o = job.options;
    for (const std::string& source : o.files) {
        ItemView view;
        view.name = fs::path(source).filename().string();
        job.views.push_back(view);
        job.items.emplace_back();
    }
    for (std::size_t i = 0; i < o.files.size() && !g_cancel; ++i) {
        const int item = static_cast<int>(i);
        OnProgress(&job, item, WM_PROGRESS_STATE, ITEM_STARTED);
        job.items[i].result = CreatePdfFromSource(utf8::ToWide(o.files[i]), utf8::ToWide(o.dest), tmpDir);
        if (job.items[i].result.empty()) {
            job.views[i].error = "nothing could be made of it (no folder with pictures, no readable document)";
        } else {
            OnProgress(&job, item, WM_PROGRESS_PERCENT, 100);
        }
        OnProgress(&job, item, WM_PROGRESS_STATE, job.items[i].result.empty() ? ITEM_FAILED : ITEM_DONE);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Job job;
    if (const int code = ParseArguments(argc, argv, job.options))
        return code < 0 ? 0 : code;
    job.terminal = !job.options.protocol && isatty(STDOUT_FILENO);
    TakeStandardOutput();

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!job.options.toPdf)
        FillItems(job);

    // A private temporary folder for the job, removed afterwards.
    std::string tmp = (fs::temp_directory_path() / "trancel-run-XXXXXX").string();
    if (!mkdtemp(tmp.data())) {
        std::perror("trancel-run: temporary folder");
        return 1;
    }
    const std::wstring tmpDir = utf8::ToWide(tmp) + L"/";

    callback_funcs callbacks;
    callbacks.progress = OnProgress;
    callbacks.cancel = OnCancel;
    if (job.options.toPdf) {
        ToPdf(job, tmpDir);
    } else if (job.options.merge) {
        std::wstring name = utf8::ToWide(job.options.mergeName);
        mergeall(job.items, tmpDir, &job, callbacks, name);
    } else {
        convert(job.items, tmpDir, &job, callbacks);
    }
    std::error_code ec;
    fs::remove_all(tmp, ec);

    bool failed = false;
    for (std::size_t i = 0; i < job.items.size(); ++i) {
        if (!Succeeded(job, i))
            failed = true;
        if (job.options.protocol) {
            // A reason is one line, whatever the file's name holds.
            std::string reason = Succeeded(job, i) ? std::string() : FailureReason(job, i);
            for (char& c : reason) {
                if (c == '\n' || c == '\r')
                    c = ' ';
            }
            if (!reason.empty())
                std::fprintf(g_out, "error %zu %s\n", i, reason.c_str());
            std::fprintf(g_out, "result %zu %s\n", i, utf8::FromWide(job.items[i].result).c_str());
        } else {
            ShowEnd(job, i);
        }
    }
    CloseOpenLine(job);
    std::fflush(g_out);
    return failed ? 1 : 0;
}
