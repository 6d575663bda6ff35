// Word 2007 output as a user meets it: whole runs of the driver trancel-run,
// each a process of its own, timed (wall clock) with its peak memory (the
// child's maximum resident set), median of several runs.
//
//  1. A manual of 100+ pages (by default the 117-page LaTeX manual of the
//     corpus beside the source tree) to .docx against our own text output
//     of it. Targets: at most 2 times the text output's time, peak memory
//     at most 150 MB.
//  2. With --long N: a generated text document of N pages (make_long_pdf.py)
//     to EPUB, HTML and .docx, alone and merged three times into one output
//     (--merge). Target: peak memory at most 150 MB each.
//  3. With --libreoffice N: the .docx of a generated N-page document opened
//     by LibreOffice (headless conversion to PDF, a private profile).
//     Target for 311 pages: within 2 minutes.
//  4. With --pictures N: a generated document of N pages, each with a
//     picture of its own (make_picture_pdf.py), to EPUB, HTML, .docx and
//     JPEG pages. Peak memory should not grow with N (compare 50 and 400
//     pages): what a page decoded is not kept for the pages after it.
//
//   docx_bench [--runs N] [--long PAGES] [--libreoffice PAGES] [--pictures PAGES] [FILE.pdf]

#include "bench/benchutil.h"


namespace {

using namespace bench;

// One conversion of `pdf` to output type `type` into a fresh folder below
// `work`; with copies > 1, the file named that many times is merged into one
// output.
Measure Convert(const std::string& pdf, int type, const fs::path& work, const std::string& tag,
                int copies = 1)
{
    const fs::path out = work / ("out-" + std::to_string(type) + "-" + tag);
    fs::create_directories(out);
    std::vector<std::string> args{TRANCEL_RUN, "--type", std::to_string(type), "--dest", out.string()};
    if (copies > 1) {
        args.push_back("--merge");
        args.push_back("merged");
    }
    for (int c = 0; c < copies; ++c)
        args.push_back(pdf);
    return RunChild(args);
}

std::string LongPdf(const fs::path& work, int pages)
{
    // About six paragraphs of the script to a letter page.
    const int paragraphs = pages * 2000 / 330;
    const std::string pdf = (work / ("long" + std::to_string(pages) + ".pdf")).string();
    const std::string cmd = "/usr/bin/python3 " + Quote(std::string(TRANCEL_SOURCE_DIR) + "/bench/make_long_pdf.py") +
                            " " + Quote(pdf) + " " + std::to_string(paragraphs);
    return std::system(cmd.c_str()) == 0 ? pdf : std::string();
}

std::string PicturePdf(const fs::path& work, int pages)
{
    const std::string pdf = (work / ("pictures" + std::to_string(pages) + ".pdf")).string();
    const std::string cmd = "/usr/bin/python3 " +
                            Quote(std::string(TRANCEL_SOURCE_DIR) + "/bench/make_picture_pdf.py") + " " +
                            Quote(pdf) + " " + std::to_string(pages);
    return std::system(cmd.c_str()) == 0 ? pdf : std::string();
}

// The first file with that extension in the folder.
std::string FindOutput(const fs::path& dir, const std::string& ext)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.path().extension() == ext)
            return e.path().string();
    }
    return {};
}

int PageCount(const std::string& pdf)
{
    const std::string cmd = "pdfinfo " + Quote(pdf) + " 2>/dev/null | awk '/^Pages:/{print $2}'";
    FILE* p = popen(cmd.c_str(), "r");
    int n = 0;
    if (p) {
        if (std::fscanf(p, "%d", &n) != 1)
            n = 0;
        pclose(p);
    }
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    int longPages = 0;
    int loPages = 0;
    int picturePages = 0;
    const Args args = ParseArgs(argc, argv, 5, 0,
                                {{"--long", &longPages}, {"--libreoffice", &loPages}, {"--pictures", &picturePages}});
    const int runs = args.runs;
    const std::string pdf = PdfOrManual(args.pdf);
    if (pdf.empty())
        return 1;
    WorkDir work("docx-bench");

    // 1. The manual to .docx and to text, in turns.
    auto tag = [](int r) { return std::to_string(r); };
    const Measure d = Median(runs, [&](int r) { return Convert(pdf, 6, work.path(), "m" + tag(r)); });
    const Measure t = Median(runs, [&](int r) { return Convert(pdf, 3, work.path(), "m" + tag(r)); });
    if (!d.ok || !t.ok) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    std::printf("file: %s (%d pages), median of %d runs, whole process\n", pdf.c_str(), PageCount(pdf), runs);
    std::printf("                  wall       processor  peak memory\n");
    std::printf(".docx (type 6)    %6.3f s   %6.3f s   %6.1f MB\n", d.wall, d.cpu, d.peakMb);
    std::printf("text (type 3)     %6.3f s   %6.3f s   %6.1f MB\n", t.wall, t.cpu, t.peakMb);
    std::printf(".docx / text: %.2fx time (target: at most 2.0; processor time %.2fx), peak memory %.0f MB "
                "(target: at most 150)\n",
                d.wall / t.wall, d.cpu / t.cpu, d.peakMb);
    const std::string made = FindOutput(work.path() / "out-6-m0", ".docx");
    if (!made.empty()) {
        const std::string cmd = "unzip -l " + Quote(made) + " word/document.xml | awk 'NR==4{print $1}'";
        FILE* p = popen(cmd.c_str(), "r");
        long bytes = 0;
        if (p) {
            if (std::fscanf(p, "%ld", &bytes) != 1)
                bytes = 0;
            pclose(p);
        }
        std::printf("document.xml: %.1f MB, package %.1f MB\n", bytes / 1048576.0,
                    static_cast<double>(fs::file_size(made)) / 1048576.0);
    }

    // 2. Peak memory of the chapter-book outputs of a long document.
    if (longPages > 0) {
        const std::string longPdf = LongPdf(work.path(), longPages);
        if (longPdf.empty()) {
            std::fprintf(stderr, "could not make the long PDF\n");
            return 1;
        }
        std::printf("\n%d-page generated document (%d pages), median of %d runs\n", longPages,
                    PageCount(longPdf), runs);
        // Merged, the three documents' pages go into one output: memory
        // should stay that of one document, not of three.
        for (const int copies : {1, 3}) {
            if (copies > 1)
                std::printf("merged %d times into one output (--merge)\n", copies);
            for (const auto& [type, name] : {std::pair<int, const char*>{1, "EPUB (type 1)"},
                                             {2, "HTML (type 2)"}, {6, ".docx (type 6)"}, {3, "text (type 3)"}}) {
                const Measure m = Median(runs, [&](int r) {
                    return Convert(longPdf, type, work.path(), "l" + std::to_string(copies) + "-" + tag(r), copies);
                });
                if (!m.ok) {
                    std::fprintf(stderr, "%s failed\n", name);
                    return 1;
                }
                std::printf("%-17s %6.3f s   %6.1f MB%s\n", name, m.wall, m.peakMb,
                            type == 3 ? "" : " (target: at most 150 MB)");
            }
        }
    }

    // 3. LibreOffice opening the .docx of a long document.
    if (loPages > 0) {
        const std::string longPdf = LongPdf(work.path(), loPages);
        const Measure conv = longPdf.empty() ? Measure{} : Convert(longPdf, 6, work.path(), "lo");
        const std::string made = FindOutput(work.path() / "out-6-lo", ".docx");
        if (!conv.ok || made.empty()) {
            std::fprintf(stderr, "could not make the .docx for LibreOffice\n");
            return 1;
        }
        const fs::path profile = work.path() / "lo-profile";
        // A run that does not end within 15 minutes is cut off (and FAILED).
        const Measure lo =
            RunChild({"/usr/bin/timeout", "900", "/usr/bin/soffice", "-env:UserInstallation=file://" + profile.string(),
                      "--headless", "--convert-to", "pdf", "--outdir", (work.path() / "lo-out").string(), made});
        const std::string back = FindOutput(work.path() / "lo-out", ".pdf");
        std::printf("\nLibreOffice opening the .docx of a %d-page document (%d pages): %s in %.1f s "
                    "(processor %.1f s; target: within 120 s), its PDF has %d pages\n",
                    loPages, PageCount(longPdf), lo.ok && !back.empty() ? "converted" : "FAILED", lo.wall,
                    lo.cpu, back.empty() ? 0 : PageCount(back));
    }

    // 4. Peak memory of a document whose every page has a picture of its
    // own: pictures decoded for one page must not stay for the next ones.
    if (picturePages > 0) {
        const std::string picPdf = PicturePdf(work.path(), picturePages);
        if (picPdf.empty()) {
            std::fprintf(stderr, "could not make the picture PDF\n");
            return 1;
        }
        std::printf("\n%d pages with a picture each, median of %d runs\n", PageCount(picPdf), runs);
        for (const auto& [type, name] : {std::pair<int, const char*>{1, "EPUB (type 1)"}, {2, "HTML (type 2)"},
                                         {6, ".docx (type 6)"}, {4, "JPEG (type 4)"}}) {
            const Measure m = Median(runs, [&](int r) { return Convert(picPdf, type, work.path(), "p" + tag(r)); });
            if (!m.ok) {
                std::fprintf(stderr, "%s failed\n", name);
                return 1;
            }
            std::printf("%-17s %6.3f s   %6.1f MB\n", name, m.wall, m.peakMb);
        }
    }
    return 0;
}
