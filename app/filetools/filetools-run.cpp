// Command-line driver of the desktop program's file tools.
//
//   filetools-run --count [--source-password PW] FILE...
//
// --count prints one line per file, "N counter|parser FILE": the page count
// from the light page counter, or from the parser library where the counter
// cannot tell. A file that neither can count prints "-1 none FILE" and makes
// the exit status non-zero. Diagnostics go to standard error only.

#include "app/filetools/pagecounter.h"
#include "app/filetools/pdflib.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: filetools-run --count [--source-password PW] FILE...\n"
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

} // namespace

int main(int argc, char** argv)
{
    filetools::SetUpPdfLibrary();
    std::string command, sourcePassword;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help")
            return Help();
        if (arg == "--count") {
            command = arg;
        } else if (arg == "--source-password") {
            if (i + 1 >= argc)
                return Usage();
            sourcePassword = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (command == "--count" && !files.empty())
        return Count(files, sourcePassword);
    return Usage();
}
