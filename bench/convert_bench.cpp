// Converts a set of PDFs with every output type the engine writes and prints
// pages per second per type. For page pictures it also times
// `pdftoppm -jpeg` at 96 dpi (and 192 dpi for high resolution) on the same
// files and prints our time as a fraction of pdftoppm's.
//
//   convert_bench [FILE.pdf ...]
// Without files it converts a generated 120-page text PDF.

#include "bench/benchutil.h"
#include "parser/parser.h"

#include <unistd.h>

namespace {

using bench::Clock;
using bench::Quote;
namespace fs = std::filesystem;

int PageCount(const std::string& file)
{
    try {
        Parser p;
        p.Load(utf8::ToWide(file), false, "");
        return p.GetPageCount();
    } catch (...) {
        return 0;
    }
}

struct Run {
    double seconds = 0;
    int failed = 0;
};

int g_failed = 0;

Run Convert(const std::vector<std::string>& files, int type, bool hires, const fs::path& work)
{
    const fs::path out = work / ("out" + std::to_string(type) + (hires ? "h" : ""));
    fs::remove_all(out);
    fs::create_directories(out);
    const fs::path tmp = work / "tmp";
    fs::create_directories(tmp);
    std::vector<Basedata_w> items;
    for (const std::string& f : files) {
        Basedata_w item;
        item.type = type;
        item.source = utf8::ToWide(f);
        item.dest = utf8::ToWide(out.string());
        item.imgHighRes = hires ? 1 : 0;
        item.exePath = utf8::ToWide(fs::read_symlink("/proc/self/exe").parent_path().string());
        items.push_back(item);
    }
    callback_funcs cb;
    cb.progress = [](void*, int, unsigned message, int value) {
        if (message == WM_PROGRESS_STATE && value == 3)
            ++g_failed;
    };
    g_failed = 0;
    const auto start = Clock::now();
    convert(items, utf8::ToWide(tmp.string() + "/"), nullptr, cb);
    Run r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.failed = g_failed;
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path work = fs::temp_directory_path() / ("convert-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    std::vector<std::string> files(argv + 1, argv + argc);
    if (files.empty()) {
        const std::string cmd = "/usr/bin/python3 " TRANCEL_SOURCE_DIR "/tests/support/pdfgen.py " +
                                Quote(work.string()) + " pages120:long";
        if (std::system(cmd.c_str()) != 0)
            return 1;
        files.push_back((work / "long.pdf").string());
    }
    int pages = 0;
    for (const std::string& f : files)
        pages += PageCount(f);
    std::printf("%zu file(s), %d page(s)\n", files.size(), pages);

    const char* names[] = {"", "EPUB", "HTML", "text", "JPEG", ".doc", ".docx"};
    for (int type = 1; type <= 6; ++type) {
        const Run r = Convert(files, type, false, work);
        if (r.failed == static_cast<int>(files.size())) {
            std::printf("type %d %-6s: every item failed (no writer in this build?)\n", type,
                        names[type]);
            continue;
        }
        std::printf("type %d %-6s: %.3f s, %.1f pages/s, %d failed item(s)\n", type, names[type],
                    r.seconds, pages / r.seconds, r.failed);
    }

    for (int dpi : {96, 192}) {
        const Run ours = Convert(files, 4, dpi == 192, work);
        const fs::path ref = work / ("pdftoppm" + std::to_string(dpi));
        fs::create_directories(ref);
        std::string cmd;
        for (std::size_t i = 0; i < files.size(); ++i) {
            cmd += "pdftoppm -jpeg -r " + std::to_string(dpi) + " " + Quote(files[i]) + " " +
                   Quote((ref / std::to_string(i)).string()) + "; ";
        }
        const double theirs = bench::TimeCommand(cmd).wall;
        std::printf("JPEG %d dpi: ours %.3f s, pdftoppm %.3f s, ratio %.2f (target <= 0.50)\n", dpi,
                    ours.seconds, theirs, ours.seconds / theirs);
    }
    fs::remove_all(work);
    return 0;
}
