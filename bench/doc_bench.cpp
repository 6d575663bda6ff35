// Word 97-2003 output as a user meets it: whole runs of the driver
// trancel-run, each a process of its own, timed (wall clock and processor
// time) with its peak memory (the child's maximum resident set), median of
// several runs, side by side with our own text output of the same file.
//
//  1. A manual of 100+ pages (by default the 117-page LaTeX manual of the
//     corpus beside the source tree) to .doc and to text.
//  2. With --long N: a generated text document of N pages (make_long_pdf.py)
//     to .doc and to text, alone and merged twice into one output. Target
//     for the single document: peak memory at most 150 MB.
//
//   doc_bench [--runs N] [--long PAGES] [FILE.pdf]

#include "bench/benchutil.h"

namespace {

using namespace bench;

// One conversion of the files to output type `type` into a fresh folder
// below `work`; with `merge` into one output.
Measure Convert(const std::vector<std::string>& pdfs, int type, const fs::path& work, const std::string& tag,
                bool merge = false)
{
    const fs::path out = work / ("out-" + std::to_string(type) + "-" + tag);
    fs::create_directories(out);
    std::vector<std::string> args{TRANCEL_RUN, "--type", std::to_string(type), "--dest", out.string()};
    if (merge) {
        args.push_back("--merge");
        args.push_back("merged");
    }
    args.insert(args.end(), pdfs.begin(), pdfs.end());
    return RunChild(args);
}

void Print(const char* what, const Measure& m)
{
    std::printf("%-26s %7.3f s  %7.3f s cpu  %7.1f MB\n", what, m.wall, m.cpu, m.peakMb);
}

} // namespace

int main(int argc, char** argv)
{
    int longPages = 0;
    const Args args = ParseArgs(argc, argv, 5, 0, {{"--long", &longPages}});
    const int runs = args.runs;
    const std::string pdf = PdfOrManual(args.pdf);
    if (pdf.empty())
        return 1;
    WorkDir work("doc-bench");
    auto tag = [](const char* k, int r) { return k + std::to_string(r); };

    const Measure d = Median(runs, [&](int r) { return Convert({pdf}, 5, work.path(), tag("m", r)); });
    const Measure t = Median(runs, [&](int r) { return Convert({pdf}, 3, work.path(), tag("m", r)); });
    if (!d.ok || !t.ok) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    std::printf("file: %s, median of %d runs, whole process\n", pdf.c_str(), runs);
    std::printf("                              wall        processor     peak memory\n");
    Print(".doc (type 5)", d);
    Print("text (type 3)", t);
    std::printf(".doc / text: %.2fx wall, %.2fx processor\n", d.wall / t.wall, d.cpu / t.cpu);

    if (longPages > 0) {
        const int paragraphs = longPages * 2000 / 330;
        const std::string longPdf = (work.path() / ("long" + std::to_string(longPages) + ".pdf")).string();
        const std::string cmd = "/usr/bin/python3 " + Quote(std::string(TRANCEL_SOURCE_DIR) + "/bench/make_long_pdf.py") +
                                " " + Quote(longPdf) + " " + std::to_string(paragraphs);
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "could not make the long PDF\n");
            return 1;
        }
        std::printf("\ngenerated document of about %d pages, median of %d runs\n", longPages, runs);
        for (int type : {5, 3}) {
            const Measure one = Median(runs, [&](int r) { return Convert({longPdf}, type, work.path(), tag("l", r)); });
            const Measure two = Median(
                runs, [&](int r) { return Convert({longPdf, longPdf}, type, work.path(), tag("g", r), true); });
            if (!one.ok || !two.ok) {
                std::fprintf(stderr, "a conversion of the long document failed\n");
                return 1;
            }
            Print(type == 5 ? ".doc (type 5)" : "text (type 3)", one);
            Print(type == 5 ? ".doc, merged twice" : "text, merged twice", two);
        }
        std::printf("target: .doc of the single document at most 150 MB\n");
    }
    return 0;
}
