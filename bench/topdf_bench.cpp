// PDF from a folder of pictures: 100 JPEG photos (generated, 1600 x 1200,
// or the folder given) made into one PDF through the engine's to-PDF entry
// points, timed against img2pdf on the same files in the same run. Then
// checks that every photo is embedded byte for byte (pdfimages -j). Target:
// at most img2pdf's time.
//
//   topdf_bench [--runs N] [--pages N photos] [FOLDER]

#include "bench/benchutil.h"
#include "engine/topdf/topdfroute.h"

#include <fstream>
#include <sstream>

namespace {

using namespace bench;

bool MakePhotos(const fs::path& dir, int count)
{
    fs::create_directories(dir);
    const std::string script =
        "import sys\n"
        "from PIL import Image, ImageChops\n"
        "base = Image.open(sys.argv[1])\n"
        "for k in range(int(sys.argv[3])):\n"
        "    ImageChops.offset(base, k * 37, k * 23).save('%s/photo%03d.jpg' % (sys.argv[2], k), quality=88)\n";
    const fs::path base = dir.parent_path() / "base.jpg";
    const fs::path py = dir.parent_path() / "photos.py";
    std::ofstream(py) << script;
    return std::system(("convert -seed 1 -size 1600x1200 plasma: -blur 0x2 " + Quote(base.string())).c_str()) == 0 &&
           std::system(("/usr/bin/python3 " + Quote(py.string()) + " " + Quote(base.string()) + " " +
                        Quote(dir.string()) + " " + std::to_string(count))
                           .c_str()) == 0;
}

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

int main(int argc, char** argv)
{
    Args args = ParseArgs(argc, argv, 5, 100);
    WorkDir work("topdf-bench");
    fs::path photos = args.pdf;
    if (photos.empty()) {
        photos = work.path() / "photos";
        if (!MakePhotos(photos, args.pages)) {
            std::fprintf(stderr, "could not make the photos\n");
            return 1;
        }
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(photos))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::string list;
    for (const fs::path& f : files)
        list += " " + Quote(f.string());

    Comparison cmp;
    std::wstring last;
    for (int r = 0; r < args.runs; ++r) {
        const fs::path out = work.path() / ("out" + std::to_string(r));
        fs::create_directories(out);
        Timing ours;
        const double c0 = CpuSeconds(RUSAGE_SELF);
        const auto t0 = Clock::now();
        last = CreatePdfFromSource(utf8::ToWide(photos.string()), utf8::ToWide(out.string()),
                                   utf8::ToWide(work.path().string() + "/"));
        ours.wall = std::chrono::duration<double>(Clock::now() - t0).count();
        ours.cpu = CpuSeconds(RUSAGE_SELF) - c0;
        ours.ok = !last.empty();
        const Timing theirs = TimeCommand("img2pdf -o " + Quote((out / "img2pdf.pdf").string()) + list);
        if (!ours.ok || !theirs.ok) {
            std::fprintf(stderr, "a conversion failed\n");
            return 1;
        }
        cmp.add(ours, theirs);
    }
    std::printf("folder: %s (%zu files)\n", photos.c_str(), files.size());
    cmp.print("to-PDF (engine):", "img2pdf:", "at most 1.0");

    // The JPEG data comes back out unchanged.
    const fs::path extracted = work.path() / "extracted";
    fs::create_directories(extracted);
    if (std::system(("pdfimages -j " + Quote(utf8::FromWide(last)) + " " + Quote((extracted / "x").string())).c_str()) != 0)
        return 1;
    std::size_t same = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "x-%03zu.jpg", i);
        same += Read(extracted / name) == Read(files[i]) ? 1 : 0;
    }
    std::printf("embedded byte for byte: %zu of %zu\n", same, files.size());
    return same == files.size() ? 0 : 1;
}
