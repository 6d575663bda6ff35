// EPUB output speed: converts a long text PDF (generated, 200 pages of
// wrapped paragraphs, or the PDF given) to EPUB through convert() (output
// type 1), and times calibre's "ebook-convert in.pdf out.epub" on the same
// file in the same run when calibre is installed. Prints both times (best of
// the runs, wall clock and processor time) and their ratio; the target is
// ours at most one tenth of calibre's.
//
//   epub_bench [--runs N] [--pages N] [FILE.pdf]

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// Processor time (user + system) of this process, or of its finished
// children, in seconds.
double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int g_lastState = 0;

void OnProgress(void*, int, unsigned message, int value)
{
    if (message == WM_PROGRESS_STATE)
        g_lastState = value;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 3;
    int pages = 200;
    std::string pdf;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--pages" && i + 1 < argc)
            pages = std::max(1, std::atoi(argv[++i]));
        else
            pdf = a;
    }

    char tmpl[] = "/tmp/epub-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path work = tmpl;
    if (pdf.empty()) {
        const std::string cmd = "/usr/bin/python3 " +
                                Quote(std::string(TRANCEL_SOURCE_DIR) +
                                      "/engine/writers/epub/tests/epubfixtures.py") +
                                " " + Quote(work.string()) + " long" + std::to_string(pages) +
                                ":long";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "could not generate the PDF\n");
            return 1;
        }
        pdf = (work / "long.pdf").string();
    }
    const bool haveCalibre = std::system("command -v ebook-convert >/dev/null 2>&1") == 0;

    double ours = 1e30, oursCpu = 1e30;
    double theirs = 1e30, theirsCpu = 1e30;
    for (int r = 0; r < runs; ++r) {
        const fs::path out = work / ("out" + std::to_string(r));
        const fs::path tmp = work / ("tmp" + std::to_string(r));
        fs::create_directories(out);
        fs::create_directories(tmp);

        Basedata_w item;
        item.type = 1;
        item.epubIgnoreImg = true;   // text reflows: the book of a text PDF
        item.source = utf8::ToWide(pdf);
        item.dest = utf8::ToWide(out.string());
        item.exePath = utf8::ToWide(std::string(TRANCEL_SOURCE_DIR) + "/resources");
        std::vector<Basedata_w> items{item};
        callback_funcs cb{};
        cb.progress = OnProgress;
        g_lastState = 0;
        const double c0 = CpuSeconds(RUSAGE_SELF);
        const auto t0 = Clock::now();
        convert(items, utf8::ToWide(tmp.string() + "/"), nullptr, cb);
        const auto t1 = Clock::now();
        oursCpu = std::min(oursCpu, CpuSeconds(RUSAGE_SELF) - c0);
        ours = std::min(ours, Seconds(t0, t1));
        if (g_lastState != 2 || items[0].result.empty()) {
            std::fprintf(stderr, "conversion failed\n");
            return 1;
        }

        if (haveCalibre) {
            const std::string cmd = "ebook-convert " + Quote(pdf) + " " +
                                    Quote((out / "calibre.epub").string()) + " >/dev/null 2>&1";
            const double k0 = CpuSeconds(RUSAGE_CHILDREN);
            const auto t2 = Clock::now();
            const int rc = std::system(cmd.c_str());
            const auto t3 = Clock::now();
            if (rc != 0) {
                std::fprintf(stderr, "ebook-convert failed (%d)\n", rc);
                return 1;
            }
            theirsCpu = std::min(theirsCpu, CpuSeconds(RUSAGE_CHILDREN) - k0);
            theirs = std::min(theirs, Seconds(t2, t3));
        }
    }

    std::printf("EPUB of %s, best of %d runs\n", pdf.c_str(), runs);
    std::printf("  ours:    %8.3f s wall  %8.3f s cpu\n", ours, oursCpu);
    if (haveCalibre) {
        std::printf("  calibre: %8.3f s wall  %8.3f s cpu\n", theirs, theirsCpu);
        std::printf("  ours / calibre: %.3f wall, %.3f cpu (target: at most 0.1)\n", ours / theirs,
                    oursCpu / theirsCpu);
    } else {
        std::printf("  calibre: ebook-convert is not installed; no comparison\n");
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
