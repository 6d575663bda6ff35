// EPUB output speed: converts a long text PDF (generated, 200 pages of
// wrapped paragraphs, or the PDF given) to EPUB through convert() (output
// type 1), and times calibre's "ebook-convert in.pdf out.epub" on the same
// file in the same run when calibre is installed. Prints the best times
// (wall clock and processor time) and their ratio; the target is ours at
// most one tenth of calibre's.
//
//   epub_bench [--runs N] [--pages N] [FILE.pdf]

#include "bench/benchutil.h"

int main(int argc, char** argv)
{
    using namespace bench;
    Args args = ParseArgs(argc, argv, 3, 200);
    WorkDir work("epub-bench");
    if (args.pdf.empty())
        args.pdf = GeneratePdf("engine/writers/epub/tests/epubfixtures.py", work.path(), args.pages);
    if (args.pdf.empty()) {
        std::fprintf(stderr, "could not generate the PDF\n");
        return 1;
    }
    const bool haveCalibre = std::system("command -v ebook-convert >/dev/null 2>&1") == 0;

    Comparison cmp;
    for (int r = 0; r < args.runs; ++r) {
        const fs::path out = work.path() / ("out" + std::to_string(r));
        Basedata_w item;
        item.type = 1;
        item.epubIgnoreImg = true;   // text reflows: the book of a text PDF
        item.source = utf8::ToWide(args.pdf);
        item.exePath = utf8::ToWide(std::string(TRANCEL_SOURCE_DIR) + "/resources");
        const Timing ours = TimeConvert(item, out, work.path() / ("tmp" + std::to_string(r)));
        if (!ours.ok) {
            std::fprintf(stderr, "conversion failed\n");
            return 1;
        }
        Timing theirs{1, 1, true};
        if (haveCalibre) {
            theirs = TimeCommand("ebook-convert " + Quote(args.pdf) + " " +
                                 Quote((out / "calibre.epub").string()) + " >/dev/null 2>&1");
            if (!theirs.ok) {
                std::fprintf(stderr, "ebook-convert failed\n");
                return 1;
            }
        }
        cmp.add(ours, theirs);
    }
    std::printf("EPUB of %s, %d runs\n", args.pdf.c_str(), args.runs);
    if (!haveCalibre) {
        std::printf("ours: %.3f s wall, %.3f s processor; calibre's ebook-convert is not "
                    "installed, no comparison\n",
                    cmp.ours.wall, cmp.ours.cpu);
        return 0;
    }
    cmp.print("ours:", "calibre:", "at most 0.1");
    return 0;
}
