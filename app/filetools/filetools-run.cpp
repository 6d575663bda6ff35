// Command-line driver of the desktop program's file tools.
//
//   filetools-run --count [--source-password PW] FILE...
//   filetools-run --merge [--per-sheet 1|2|4] [--paper NAME] [--landscape]
//                 [--range TEXT] [--open-password PW] [--permission-password PW]
//                 [--allow print,edit,copy] [--source-password PW]
//                 --dest OUT.pdf FILE...
//
// --count prints one line per file, "N counter|parser FILE": the page count
// from the light page counter, or from the parser library where the counter
// cannot tell. A file that neither can count prints "-1 none FILE" and makes
// the exit status non-zero.
//
// --merge runs MergerTool over the files (PDF files and pictures) as the
// desktop program's merge does, printing every progress call as "item
// message value" (item 0 is the first file) and finally "result PATH". An
// existing OUT.pdf is never replaced: the first free "OUT(N).pdf" is written
// instead. Exits non-zero when nothing was written. Diagnostics go to
// standard error only.

#include "app/filetools/mergertool.h"
#include "app/filetools/pagecounter.h"
#include "app/filetools/pdflib.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_cancel{false};

void OnSignal(int)
{
    g_cancel = true;
}

void OnProgress(void*, int item, unsigned message, int value)
{
    std::printf("%d %u %d\n", item, message, value);
    std::fflush(stdout);
}

bool OnCancel(void*)
{
    return g_cancel.load();
}

// What --merge was given.
struct MergeOptions {
    int nup = 0;
    int paper = 100; // outside the paper table: each sheet as large as its first page
    bool landscape = false;
    std::string range = "All";
    std::string openPassword;
    std::string permissionPassword;
    bool allowPrint = false;
    bool allowEdit = false;
    bool allowCopy = false;
    std::string dest;
};

// Paper names of --paper and their codes in MergerTool's table.
int PaperCode(const std::string& name)
{
    static const char* const names[] = {"A5",    "A4",          "A3",     "Letter",
                                        "Legal", "JuniorLegal", "Ledger", "Tabloid"};
    for (int i = 0; i < 8; ++i)
        if (strcasecmp(name.c_str(), names[i]) == 0)
            return i;
    return name == "original" ? 100 : -2; // 100: outside the table
}

bool ParseAllow(const std::string& list, MergeOptions& o)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string what = list.substr(start, end - start);
        start = end + 1;
        if (what == "print")
            o.allowPrint = true;
        else if (what == "edit")
            o.allowEdit = true;
        else if (what == "copy")
            o.allowCopy = true;
        else if (!what.empty())
            return false;
    }
    return true;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: filetools-run --count [--source-password PW] FILE...\n"
                 "       filetools-run --merge [--per-sheet 1|2|4] [--paper NAME] [--landscape]\n"
                 "                     [--range TEXT] [--open-password PW]\n"
                 "                     [--permission-password PW] [--allow print,edit,copy]\n"
                 "                     [--source-password PW] --dest OUT.pdf FILE...\n"
                 "       filetools-run --help\n");
    return 2;
}

int Help()
{
    std::printf("filetools-run: the desktop program's PDF file tools from the shell\n"
                "\n"
                "  --count [--source-password PW] FILE...\n"
                "      print \"N counter|parser FILE\" for each file: its page count and\n"
                "      which reader found it; exits non-zero when a file cannot be counted\n"
                "  --merge [options] --dest OUT.pdf FILE...\n"
                "      merge PDF files and pictures (.jpg .jpeg .png .tif .tiff) into OUT.pdf\n"
                "      (OUT(N).pdf when OUT.pdf exists); prints \"item message value\" for\n"
                "      each progress call and \"result PATH\"; exits non-zero on failure\n"
                "      --per-sheet 1|2|4           pages on one sheet (default 1)\n"
                "      --paper NAME                A5 A4 A3 Letter Legal JuniorLegal Ledger\n"
                "                                  Tabloid, or original (default: each sheet\n"
                "                                  as large as its first page)\n"
                "      --landscape                 turn the sheets (horizontal layout)\n"
                "      --range TEXT                pages of every PDF: All, Odd, Even, 1-3,7\n"
                "      --open-password PW          password to open the output\n"
                "      --permission-password PW    password to change the output\n"
                "      --allow print,edit,copy     what the permission password allows\n"
                "      --source-password PW        password of encrypted sources\n"
                "  --help\n"
                "      this text\n");
    return 0;
}

// The parser library's page count, -1 when it cannot load the file.
int ParserPageCount(const std::string& path, const std::string& password)
{
    try {
        Parser parser;
        parser.Load(utf8::ToWide(path), false, password.c_str());
        return parser.GetPageCount();
    } catch (...) {
        return -1;
    }
}

int Count(const std::vector<std::string>& files, const std::string& password)
{
    int status = 0;
    for (const std::string& file : files) {
        int n = PdfPageCounter::GetPageCount(utf8::ToWide(file));
        const char* how = "counter";
        if (n < 0) {
            n = ParserPageCount(file, password);
            how = n < 0 ? "none" : "parser";
        }
        if (n < 0) {
            std::fprintf(stderr, "filetools-run: cannot count the pages of %s\n", file.c_str());
            status = 1;
        }
        std::printf("%d %s %s\n", n, how, file.c_str());
    }
    return status;
}

int Merge(const MergeOptions& o, const std::vector<std::string>& files,
          const std::string& sourcePassword)
{
    if (o.dest.empty())
        return Usage();
    // The output's name: OUT.pdf, or OUT(N).pdf when that exists.
    std::wstring stem = utf8::ToWide(o.dest);
    std::wstring ext;
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, L".pdf") == 0) {
        ext = L".pdf";
        stem.resize(stem.size() - 4);
    }
    const std::wstring dest = ClaimOutputFile(stem, ext);
    if (dest.empty()) {
        std::fprintf(stderr, "filetools-run: cannot create %s\n", o.dest.c_str());
        return 1;
    }

    MergerTool tool;
    tool.SetCallBack(&g_cancel, OnProgress, OnCancel);
    tool.SetOpenPwd(o.openPassword.c_str());
    if (!o.openPassword.empty() || !o.permissionPassword.empty())
        tool.SetPemissionPwd(o.permissionPassword.c_str(), o.allowEdit, o.allowCopy, o.allowPrint);
    tool.SetLayout(o.paper, o.nup, o.landscape ? 2 : 0);
    tool.SetOutPDFPath(dest.c_str());
    const char* range = o.range == "All" ? nullptr : o.range.c_str();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring path = utf8::ToWide(files[i]);
        tool.AppendMergeSrc(static_cast<int>(i) + 1, path.c_str(),
                            PdfPageCounter::GetPageCount(path), range, sourcePassword.c_str());
    }
    if (!tool.StartMerge(-1)) {
        DeleteFile(dest); // the empty file that held the name
        std::fprintf(stderr, "filetools-run: merge failed, nothing written\n");
        return 1;
    }
    std::printf("result %s\n", utf8::FromWide(dest).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    filetools::SetUpPdfLibrary();
    std::string command, sourcePassword;
    MergeOptions merge;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help")
            return Help();
        if (arg == "--count" || arg == "--merge") {
            command = arg;
        } else if (arg == "--source-password") {
            if (!value(sourcePassword))
                return Usage();
        } else if (arg == "--per-sheet") {
            if (!value(v) || (v != "1" && v != "2" && v != "4"))
                return Usage();
            merge.nup = v == "1" ? 0 : v == "2" ? 1 : 2;
        } else if (arg == "--paper") {
            if (!value(v) || (merge.paper = PaperCode(v)) == -2)
                return Usage();
        } else if (arg == "--landscape") {
            merge.landscape = true;
        } else if (arg == "--range") {
            if (!value(merge.range))
                return Usage();
        } else if (arg == "--open-password") {
            if (!value(merge.openPassword))
                return Usage();
        } else if (arg == "--permission-password") {
            if (!value(merge.permissionPassword))
                return Usage();
        } else if (arg == "--allow") {
            if (!value(v) || !ParseAllow(v, merge))
                return Usage();
        } else if (arg == "--dest") {
            if (!value(merge.dest))
                return Usage();
        } else if (arg.rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty())
        return Usage();
    if (command == "--count")
        return Count(files, sourcePassword);
    if (command == "--merge") {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        return Merge(merge, files, sourcePassword);
    }
    return Usage();
}
