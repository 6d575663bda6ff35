// Command-line driver of the engine: fills job items from its arguments and
// calls convert, or mergeall with --merge. Prints every progress call as one
// line ("item message value") and each item's result path; exits non-zero
// when any item failed.
//
//   trancel-run --type N [--range TEXT] [--password PW] [--extract] [--hires]
//               [--ocr] [--merge NAME] --dest DIR FILE...
//   trancel-run --to-pdf --dest DIR SOURCE...
//
// With --to-pdf each source (a folder of pictures) becomes a PDF in DIR.

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "engine/topdf/topdfroute.h"
#include "parser/parser.h"

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

std::atomic<bool> g_cancel{false};
std::vector<int> g_lastState;

void OnProgress(void*, int item, unsigned message, int value)
{
    std::printf("%d %u %d\n", item, message, value);
    std::fflush(stdout);
    if (message == WM_PROGRESS_STATE && item >= 0 &&
        static_cast<std::size_t>(item) < g_lastState.size())
        g_lastState[static_cast<std::size_t>(item)] = value;
}

bool OnCancel(void*)
{
    return g_cancel.load();
}

void OnSignal(int)
{
    g_cancel = true;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: trancel-run --type N [--range TEXT] [--password PW] [--extract] "
                 "[--hires] [--ocr] [--merge NAME] --dest DIR FILE...\n"
                 "       trancel-run --to-pdf --dest DIR SOURCE...\n"
                 "  N: 1 EPUB, 2 HTML, 3 text, 4 JPEG, 5 .doc, 6 .docx\n");
    return 2;
}

// The folder of this program: templates and data ship beside it.
std::wstring ProgramFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::wstring(L".") : utf8::ToWide(exe.parent_path().string());
}

int PageCount(const std::string& path, const std::string& password)
{
    try {
        Parser parser;
        parser.Load(utf8::ToWide(path), false, password.c_str());
        return parser.GetPageCount();
    } catch (...) {
        return 0;
    }
}

// Each source made into a PDF, with the progress and result lines of a
// conversion.
int ToPdf(const std::vector<std::string>& sources, const std::string& dest, const std::wstring& tmpDir)
{
    std::vector<std::wstring> results;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const int item = static_cast<int>(i);
        OnProgress(nullptr, item, WM_PROGRESS_STATE, ITEM_STARTED);
        results.push_back(CreatePdfFromSource(utf8::ToWide(sources[i]), utf8::ToWide(dest), tmpDir));
        if (!results.back().empty())
            OnProgress(nullptr, item, WM_PROGRESS_PERCENT, 100);
        OnProgress(nullptr, item, WM_PROGRESS_STATE, results.back().empty() ? ITEM_FAILED : ITEM_DONE);
    }
    bool failed = false;
    for (std::size_t i = 0; i < results.size(); ++i) {
        std::printf("result %zu %s\n", i, utf8::FromWide(results[i]).c_str());
        failed = failed || results[i].empty();
    }
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string type, range = "All", password, dest, mergeName;
    bool extract = false, hires = false, ocr = false, merge = false, toPdf = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--type") {
            if (!value(type))
                return Usage();
        } else if (arg == "--range") {
            if (!value(range))
                return Usage();
        } else if (arg == "--password") {
            if (!value(password))
                return Usage();
        } else if (arg == "--dest") {
            if (!value(dest))
                return Usage();
        } else if (arg == "--merge") {
            if (!value(mergeName))
                return Usage();
            merge = true;
        } else if (arg == "--extract") {
            extract = true;
        } else if (arg == "--hires") {
            hires = true;
        } else if (arg == "--ocr") {
            ocr = true;
        } else if (arg == "--to-pdf") {
            toPdf = true;
        } else if (arg.rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if ((type.empty() && !toPdf) || files.empty())
        return Usage();

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    if (toPdf) {
        std::string tmp = (fs::temp_directory_path() / "trancel-run-XXXXXX").string();
        if (!mkdtemp(tmp.data())) {
            std::perror("trancel-run: temporary folder");
            return 1;
        }
        const int rc = ToPdf(files, dest, utf8::ToWide(tmp) + L"/");
        std::error_code ec;
        fs::remove_all(tmp, ec);
        return rc;
    }

    std::vector<Basedata_w> items;
    for (const std::string& file : files) {
        exportdata_w in;
        in.type = type;
        in.source = utf8::ToWide(file);
        in.dest = utf8::ToWide(dest);
        in.range = utf8::ToWide(range);
        in.imgExtract = extract;
        in.imgHighRes = hires ? 1 : 0;
        in.exePath = ProgramFolder();
        in.enableOCR = ocr;
        in.password = password;
        Basedata_w item;
        item.last = PageCount(file, password);
        exportdata2basedata_w(&item, &in);
        items.push_back(item);
    }
    g_lastState.assign(items.size(), 0);

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
    if (merge) {
        std::wstring name = utf8::ToWide(mergeName);
        mergeall(items, tmpDir, nullptr, callbacks, name);
    } else {
        convert(items, tmpDir, nullptr, callbacks);
    }
    std::error_code ec;
    fs::remove_all(tmp, ec);

    bool failed = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::printf("result %zu %s\n", i, utf8::FromWide(items[i].result).c_str());
        if (g_lastState[i] != 2 || items[i].result.empty())
            failed = true;
    }
    return failed ? 1 : 0;
}
