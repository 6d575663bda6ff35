// Merging real PDF files one page to a sheet with MergerTool, against qpdf
// putting the same pages side by side (qpdf --empty --pages FILE... -- OUT).
// Target: at most twice qpdf's time.
//
//   merge_bench [--runs N] [FILE.pdf...]
//
// Without files it takes the first 20 files of the shared corpus that open
// without a password, in name order.

#include "app/filetools/mergertool.h"
#include "bench/benchutil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace bench;

// Corpus files that qpdf opens without a password, in name order.
std::vector<std::string> CorpusFiles(std::size_t count)
{
    std::vector<std::string> files;
    const fs::path dir = fs::path(TRANCEL_SOURCE_DIR).parent_path() / "shared/corpus/pdf";
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().extension() == ".pdf")
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    std::vector<std::string> usable;
    for (const std::string& f : files) {
        if (usable.size() == count)
            break;
        if (std::system(("qpdf --requires-password " + Quote(f) + " >/dev/null 2>&1").c_str()) != 0 &&
            MergerTool::GetPdfInfo(utf8::ToWide(f).c_str()) > 0)
            usable.push_back(f);
    }
    return usable;
}

Timing TimeMerge(const std::vector<std::string>& files, const fs::path& out)
{
    MergerTool tool;
    tool.SetLayout(100, 0, 0); // one page to a sheet, each sheet its page's size
    const std::wstring dest = utf8::ToWide(out.string());
    tool.SetOutPDFPath(dest.c_str());
    for (std::size_t i = 0; i < files.size(); ++i)
        tool.AppendMergeSrc(static_cast<int>(i) + 1, utf8::ToWide(files[i]).c_str(), 0, nullptr,
                            nullptr);
    Timing t;
    const double c0 = CpuSeconds(RUSAGE_SELF);
    const auto t0 = Clock::now();
    t.ok = tool.StartMerge(-1);
    t.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    t.cpu = CpuSeconds(RUSAGE_SELF) - c0;
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            files.push_back(a);
    }
    if (files.empty())
        files = CorpusFiles(20);
    if (files.empty()) {
        std::fprintf(stderr, "merge_bench: no input files\n");
        return 1;
    }
    WorkDir work("merge-bench");
    std::string qpdf = "qpdf --empty --pages";
    for (const std::string& f : files)
        qpdf += " " + Quote(f);
    qpdf += " -- " + Quote((work.path() / "qpdf.pdf").string()) + " 2>/dev/null";

    std::printf("merging %zu files, %d turns\n", files.size(), runs);
    Comparison cmp;
    for (int r = 0; r < runs; ++r) {
        const fs::path ours = work.path() / ("ours" + std::to_string(r) + ".pdf");
        const Timing a = TimeMerge(files, ours);
        const Timing b = TimeCommand(qpdf);
        if (!a.ok || !b.ok) {
            std::fprintf(stderr, "merge_bench: a merge failed (ours %d, qpdf %d)\n", a.ok, b.ok);
            return 1;
        }
        if (r == 0)
            std::printf("pages: ours %d, qpdf %d\n",
                        MergerTool::GetPdfInfo(utf8::ToWide(ours.string()).c_str()),
                        MergerTool::GetPdfInfo(utf8::ToWide((work.path() / "qpdf.pdf").string()).c_str()));
        cmp.add(a, b);
        fs::remove(ours);
    }
    cmp.print("MergerTool", "qpdf --pages", "at most 2x");
    return 0;
}
