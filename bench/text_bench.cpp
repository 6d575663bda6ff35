// Plain-text output speed: converts a long text PDF (generated, 320 pages of
// prose with two columns on every third page, or the PDF given) to text
// through convert(), and times pdftotext on the same file in the same run.
// The two run in turns; prints the best times (wall clock and processor
// time), their ratio and the median of the ratios of each turn, which is the
// steadier measure on a busy machine. Target: at most 1.0.
//
//   text_bench [--runs N] [--pages N] [FILE.pdf]

#include "bench/benchutil.h"

int main(int argc, char** argv)
{
    using namespace bench;
    Args args = ParseArgs(argc, argv, 7, 320);
    WorkDir work("text-bench");
    if (args.pdf.empty())
        args.pdf = GeneratePdf("engine/layout/tests/textfixtures.py", work.path(), args.pages);
    if (args.pdf.empty()) {
        std::fprintf(stderr, "could not generate the PDF\n");
        return 1;
    }

    Comparison cmp;
    for (int r = 0; r < args.runs; ++r) {
        const fs::path out = work.path() / ("out" + std::to_string(r));
        Basedata_w item;
        item.type = 3;
        item.source = utf8::ToWide(args.pdf);
        const Timing ours = TimeConvert(item, out, work.path() / ("tmp" + std::to_string(r)));
        const Timing theirs = TimeCommand("pdftotext " + Quote(args.pdf) + " " +
                                          Quote((out / "pdftotext.txt").string()));
        if (!ours.ok || !theirs.ok) {
            std::fprintf(stderr, "a conversion failed\n");
            return 1;
        }
        cmp.add(ours, theirs);
    }
    std::printf("file: %s\n", args.pdf.c_str());
    cmp.print("convert (type 3):", "pdftotext:", "at most 1.0");
    return 0;
}
