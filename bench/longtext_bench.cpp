// Plain-text output of a long manual as a user meets it: whole runs of the
// driver trancel-run against `pdftotext -raw` on the same file, in turns,
// on every processor, on two (the processes pinned to cores 0 and 1, as
// taskset -c 0,1 does) and on one (the work of a single thread). Prints the
// medians of wall time, processor time and peak memory, and their ratios.
// Targets: at most 0.2 of pdftotext's time on eight cores and 0.5 on two;
// peak memory at most 1.5 times pdftotext's.
//
// The file is a generated manual of about 2400 pages (make_long_pdf.py)
// unless one is given.
//
//   longtext_bench [--runs N] [--pages N] [FILE.pdf]

#include "bench/benchutil.h"

#include <thread>

namespace {

using namespace bench;

std::string MakeManual(const fs::path& work, int pages)
{
    // About six paragraphs of the script to a letter page.
    const int paragraphs = pages * 2000 / 330;
    const std::string pdf = (work / "manual.pdf").string();
    const std::string cmd = "/usr/bin/python3 " + Quote(std::string(TRANCEL_SOURCE_DIR) + "/bench/make_long_pdf.py") +
                            " " + Quote(pdf) + " " + std::to_string(paragraphs);
    return std::system(cmd.c_str()) == 0 ? pdf : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    Args args = ParseArgs(argc, argv, 5, 2415);
    WorkDir work("longtext-bench");
    if (args.pdf.empty())
        args.pdf = MakeManual(work.path(), args.pages);
    if (args.pdf.empty() || !fs::exists(args.pdf)) {
        std::fprintf(stderr, "no PDF to convert\n");
        return 1;
    }
    const int all = static_cast<int>(std::thread::hardware_concurrency());
    std::printf("file: %s, median of %d runs, whole processes\n", args.pdf.c_str(), args.runs);
    std::printf("                          wall       processor  peak memory\n");
    for (const int cores : {all, 2, 1}) {
        std::vector<Measure> ours, theirs;
        for (int r = 0; r < args.runs; ++r) {
            const fs::path out = work.path() / ("out-" + std::to_string(cores) + "-" + std::to_string(r));
            fs::create_directories(out);
            ours.push_back(RunChild({TRANCEL_RUN, "--type", "3", "--dest", out.string(), args.pdf}, cores));
            theirs.push_back(RunChild({"pdftotext", "-raw", args.pdf, (out / "pdftotext.txt").string()}, cores));
            if (!ours.back().ok || !theirs.back().ok) {
                std::fprintf(stderr, "a conversion failed\n");
                return 1;
            }
        }
        const Measure a = Median(args.runs, [&](int r) { return ours[static_cast<std::size_t>(r)]; });
        const Measure b = Median(args.runs, [&](int r) { return theirs[static_cast<std::size_t>(r)]; });
        std::printf("%d cores: trancel-run     %6.3f s   %6.3f s   %6.1f MB\n", cores, a.wall, a.cpu, a.peakMb);
        std::printf("%d cores: pdftotext -raw  %6.3f s   %6.3f s   %6.1f MB\n", cores, b.wall, b.cpu, b.peakMb);
        const char* target = cores == 1 ? "none" : cores == 2 ? "at most 0.5" : "at most 0.2";
        std::printf("%d cores: ratio %.2f wall (target: %s), %.2f processor, %.2f peak memory "
                    "(target: at most 1.5)\n",
                    cores, a.wall / b.wall, target, a.cpu / b.cpu, a.peakMb / b.peakMb);
    }
    return 0;
}
