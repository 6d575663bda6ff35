// Plain-text output speed: converts a long text PDF (generated, 320 pages of
// prose with two columns on every third page, or the PDF given) to text
// through convert(), and times pdftotext on the same file in the same run.
// The two run in turns; prints both times (best of the runs, wall clock and
// processor time), the ratio of the best times and the median of the ratios
// of each turn, which is the steadier measure on a busy machine.
//
//   text_bench [--runs N] [--pages N] [FILE.pdf]

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
    int runs = 7;
    int pages = 320;
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

    char tmpl[] = "/tmp/text-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path work = tmpl;
    if (pdf.empty()) {
        const std::string cmd = "/usr/bin/python3 " +
                                Quote(std::string(TRANCEL_SOURCE_DIR) +
                                      "/engine/layout/tests/textfixtures.py") +
                                " " + Quote(work.string()) + " long" + std::to_string(pages) +
                                ":long";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "could not generate the PDF\n");
            return 1;
        }
        pdf = (work / "long.pdf").string();
    }

    double ours = 1e30;
    double theirs = 1e30;
    double oursCpu = 1e30;
    double theirsCpu = 1e30;
    std::vector<double> turnRatios;
    for (int r = 0; r < runs; ++r) {
        const fs::path out = work / ("out" + std::to_string(r));
        const fs::path tmp = work / ("tmp" + std::to_string(r));
        fs::create_directories(out);
        fs::create_directories(tmp);

        Basedata_w item;
        item.type = 3;
        item.source = utf8::ToWide(pdf);
        item.dest = utf8::ToWide(out.string());
        std::vector<Basedata_w> items{item};
        callback_funcs cb;
        cb.progress = OnProgress;
        g_lastState = 0;
        const double c0 = CpuSeconds(RUSAGE_SELF);
        const auto t0 = Clock::now();
        convert(items, utf8::ToWide(tmp.string() + "/"), nullptr, cb);
        const auto t1 = Clock::now();
        oursCpu = std::min(oursCpu, CpuSeconds(RUSAGE_SELF) - c0);
        if (g_lastState != ITEM_DONE) {
            std::fprintf(stderr, "conversion failed (state %d)\n", g_lastState);
            return 1;
        }
        ours = std::min(ours, Seconds(t0, t1));
        const double oursTurn = Seconds(t0, t1);

        const std::string cmd = "pdftotext " + Quote(pdf) + " " +
                                Quote((out / "pdftotext.txt").string());
        const double c2 = CpuSeconds(RUSAGE_CHILDREN);
        const auto t2 = Clock::now();
        const int rc = std::system(cmd.c_str());
        const auto t3 = Clock::now();
        theirsCpu = std::min(theirsCpu, CpuSeconds(RUSAGE_CHILDREN) - c2);
        if (rc != 0) {
            std::fprintf(stderr, "pdftotext failed\n");
            return 1;
        }
        theirs = std::min(theirs, Seconds(t2, t3));
        turnRatios.push_back(oursTurn / Seconds(t2, t3));
    }

    std::printf("file: %s\n", pdf.c_str());
    std::printf("                  wall      processor\n");
    std::printf("convert (type 3): %.3f s   %.3f s\n", ours, oursCpu);
    std::printf("pdftotext:        %.3f s   %.3f s\n", theirs, theirsCpu);
    std::printf("ratio:            %.2fx     %.2fx\n", ours / theirs, oursCpu / theirsCpu);
    std::sort(turnRatios.begin(), turnRatios.end());
    std::printf("median ratio of %zu turns (wall): %.2fx\n", turnRatios.size(),
                turnRatios[turnRatios.size() / 2]);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
