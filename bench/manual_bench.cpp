// Text and pictures of a long manual: converts one PDF (by default the
// 117-page LaTeX manual of the corpus beside the source tree) to EPUB and to
// HTML with their pictures, the desktop program's defaults, and to plain
// text, and times calibre's "ebook-convert in.pdf out.epub" on the same
// file when calibre is installed. The conversions run in turns; prints the
// best times (wall clock and processor time) and, per target, the ratio of
// the best times and the median of the ratios of each turn, the steadier
// measure on a busy machine. Targets: EPUB with pictures at most 0.1 of
// calibre's time, HTML with pictures at most 2 times our text output's.
//
//   manual_bench [--runs N] [FILE.pdf]

#include "bench/benchutil.h"

namespace {

using namespace bench;

Timing Ours(const std::string& pdf, int type, const fs::path& work, int run)
{
    Basedata_w item;
    item.type = type;
    item.source = utf8::ToWide(pdf);
    item.exePath = utf8::ToWide(std::string(TRANCEL_SOURCE_DIR) + "/resources");
    const std::string name = std::to_string(type) + "-" + std::to_string(run);
    return TimeConvert(item, work / ("out" + name), work / ("tmp" + name));
}

} // namespace

int main(int argc, char** argv)
{
    Args args = ParseArgs(argc, argv, 3, 0);
    args.pdf = PdfOrManual(args.pdf);
    if (args.pdf.empty())
        return 1;
    WorkDir work("manual-bench");
    const bool haveCalibre = std::system("command -v ebook-convert >/dev/null 2>&1") == 0;

    Comparison epub, html;
    for (int r = 0; r < args.runs; ++r) {
        const Timing text = Ours(args.pdf, 3, work.path(), r);
        const Timing htmlPictures = Ours(args.pdf, 2, work.path(), r);
        const Timing epubPictures = Ours(args.pdf, 1, work.path(), r);
        if (!text.ok || !htmlPictures.ok || !epubPictures.ok) {
            std::fprintf(stderr, "a conversion failed\n");
            return 1;
        }
        html.add(htmlPictures, text);
        if (haveCalibre) {
            const Timing calibre = TimeCommand("ebook-convert " + Quote(args.pdf) + " " +
                                               Quote((work.path() / ("calibre" + std::to_string(r) + ".epub")).string()) +
                                               " >/dev/null 2>&1");
            if (!calibre.ok) {
                std::fprintf(stderr, "ebook-convert failed\n");
                return 1;
            }
            epub.add(epubPictures, calibre);
        } else {
            epub.add(epubPictures, Timing{1, 1, true});
        }
    }
    std::printf("file: %s, %d runs\n\nHTML with pictures against our text output\n", args.pdf.c_str(),
                args.runs);
    html.print("HTML (type 2):", "text (type 3):", "at most 2.0");
    std::printf("\nEPUB with pictures against calibre's ebook-convert\n");
    if (haveCalibre)
        epub.print("EPUB (type 1):", "ebook-convert:", "at most 0.1");
    else
        std::printf("ours: %.3f s wall, %.3f s processor; calibre is not installed, no comparison\n",
                    epub.ours.wall, epub.ours.cpu);
    return 0;
}
