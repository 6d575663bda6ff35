// Benchmark of the parser library on a long text PDF.
//
//   parser_bench [file.pdf]
//
// Without a file, a text PDF of some 330 pages is made with
// bench/make_long_pdf.py. Two comparisons, each measured in this one run:
//   1. walking every object of every page, against `mutool draw -F stext`
//      on the same file (target: at most 1.5 times its time);
//   2. rendering every page to JPEG at 96 dpi, against
//      `pdftoppm -jpeg -r 96` (target: at most half its time).
// Each side runs three times, alternating with the other, and the fastest
// run of each counts, so that a moment of load on a shared machine does not
// decide the result. Prints both ratios; exits 1 when a target is missed.
#include "parser/parser.h"
#include "engine/layout/utf8.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

std::string Q(const std::string& s)
{
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

double TimeCommand(const std::string& cmd)
{
    const auto t0 = Clock::now();
    const int rc = std::system(cmd.c_str());
    const auto t1 = Clock::now();
    if (rc != 0) {
        std::fprintf(stderr, "command failed: %s\n", cmd.c_str());
        std::exit(2);
    }
    return Seconds(t0, t1);
}

// Loads the file and reads every object of every page.
double TimeWalk(const std::string& pdf, const std::string& imageDir, long& objects, int& pages)
{
    const auto t0 = Clock::now();
    Parser p;
    p.SetImageDir(utf8::ToWide(imageDir));
    p.Load(utf8::ToWide(pdf), false, nullptr);
    pages = p.GetPageCount();
    objects = 0;
    for (int i = 0; i < pages; ++i) {
        p.SetCurrentPage(i);
        while (p.GetNextObj())
            ++objects;
    }
    return Seconds(t0, Clock::now());
}

// Renders every page as the engine does: one call per page.
double TimeRender(const std::string& pdf, int pages, const std::string& outDir)
{
    const std::wstring wpdf = utf8::ToWide(pdf);
    const auto t0 = Clock::now();
    for (int i = 1; i <= pages; ++i) {
        const std::string out = outDir + "/Page" + std::to_string(i) + ".jpg";
        if (!Parser::ConvertPDFPageToJpeg(wpdf, utf8::ToWide(out), i, 96, "")) {
            std::fprintf(stderr, "rendering page %d failed\n", i);
            std::exit(2);
        }
    }
    const double t = Seconds(t0, Clock::now());
    Parser::ReleaseAllTextConvertMap();
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    char tmpl[] = "/tmp/parser_bench_XXXXXX";
    const char* tmp = ::mkdtemp(tmpl);
    if (!tmp) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string dir = tmp;
    std::string pdf;
    if (argc > 1) {
        pdf = argv[1];
    } else {
        pdf = dir + "/long.pdf";
        const std::string script = std::string(TRANCEL_SOURCE_DIR) + "/bench/make_long_pdf.py";
        TimeCommand("/usr/bin/python3 " + Q(script) + " " + Q(pdf));
    }
    const std::string ours = dir + "/ours", theirs = dir + "/theirs", images = dir + "/images";
    std::filesystem::create_directories(ours);
    std::filesystem::create_directories(theirs);
    std::filesystem::create_directories(images);

    double walk = 1e9, stext = 1e9, render = 1e9, pdftoppm = 1e9;
    long objects = 0;
    int pages = 0;
    for (int round = 0; round < 3; ++round) {
        walk = std::min(walk, TimeWalk(pdf, images, objects, pages));
        stext = std::min(stext, TimeCommand("mutool draw -q -F stext -o /dev/null " + Q(pdf) +
                                            " 2>/dev/null"));
        render = std::min(render, TimeRender(pdf, pages, ours));
        pdftoppm = std::min(pdftoppm, TimeCommand("pdftoppm -jpeg -r 96 " + Q(pdf) + " " +
                                                  Q(theirs + "/p") + " 2>/dev/null"));
    }
    std::filesystem::remove_all(dir);

    const double walkRatio = walk / stext;
    const double renderRatio = render / pdftoppm;
    std::printf("file: %s, %d pages, %ld objects\n", argc > 1 ? pdf.c_str() : "generated", pages,
                objects);
    std::printf("walk all objects:  %.3f s   mutool draw -F stext: %.3f s   ratio %.2f (target <= 1.50) %s\n",
                walk, stext, walkRatio, walkRatio <= 1.5 ? "ok" : "MISSED");
    std::printf("pages to JPEG 96:  %.3f s   pdftoppm -jpeg -r 96: %.3f s   ratio %.2f (target <= 0.50) %s\n",
                render, pdftoppm, renderRatio, renderRatio <= 0.5 ? "ok" : "MISSED");
    return walkRatio <= 1.5 && renderRatio <= 0.5 ? 0 : 1;
}
