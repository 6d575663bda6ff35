// Pictures, their files and masks, page rendering and DrawObjects.
#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <sched.h>
#include <sys/stat.h>

using namespace ptest;

namespace {

struct ListedImage {
    int page;
    std::string type; // image, smask, mask, stencil
    int width, height;
    double xppi, yppi;
};

std::vector<ListedImage> PdfimagesList(const std::string& pdf)
{
    std::vector<ListedImage> out;
    std::istringstream in(Shell("pdfimages -list " + Q(pdf) + " 2>/dev/null"));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream l(line);
        ListedImage im;
        int num;
        std::string color, comp, bpc, enc, interp, object, id, size, ratio;
        l >> im.page >> num >> im.type >> im.width >> im.height >> color >> comp >> bpc >> enc >>
            interp >> object >> id >> im.xppi >> im.yppi;
        if (l)
            out.push_back(im);
    }
    return out;
}

// Mean absolute difference of two grey pictures over their common area,
// compared in blocks of 4 x 4 pixels so that the two renderers' different
// anti-aliasing of glyph edges does not count, only what is drawn where.
double MeanDiff(const std::vector<unsigned char>& a, int aw, const std::vector<unsigned char>& b,
                int bw, int w, int h)
{
    if (a.empty() || b.empty() || w < 4 || h < 4)
        return 1e9;
    double sum = 0;
    int blocks = 0;
    for (int by = 0; by + 4 <= h; by += 4)
        for (int bx = 0; bx + 4 <= w; bx += 4) {
            int sa = 0, sb = 0;
            for (int y = by; y < by + 4; ++y)
                for (int x = bx; x < bx + 4; ++x) {
                    sa += a[static_cast<std::size_t>(y) * aw + x];
                    sb += b[static_cast<std::size_t>(y) * bw + x];
                }
            sum += std::abs(sa - sb) / 16.0;
            ++blocks;
        }
    return sum / blocks;
}

// The largest difference between the mean grey of a row of the picture
// `part` and that of the same row of `whole` where the part's top-left
// pixel lies at x, y: a row left out or drawn twice (where the bands of a
// picture drawn in bands meet) stands out, while different smoothing and
// compression even out along a row.
double WorstRowDiff(const std::vector<unsigned char>& part, int pw, int ph,
                    const std::vector<unsigned char>& whole, int ww, int wh, int x, int y)
{
    if (part.empty() || whole.empty() || x < 0 || y < 0 || x + pw > ww || y + ph > wh || pw < 1)
        return 1e9;
    double worst = 0;
    for (int r = 0; r < ph; ++r) {
        long sp = 0, sw = 0;
        for (int c = 0; c < pw; ++c) {
            sp += part[static_cast<std::size_t>(r) * pw + c];
            sw += whole[static_cast<std::size_t>(y + r) * ww + x + c];
        }
        worst = std::max(worst, std::abs(double(sp - sw)) / pw);
    }
    return worst;
}

std::vector<unsigned char> Gray(const Jpeg& j)
{
    if (j.components == 1)
        return j.pixels;
    std::vector<unsigned char> g(static_cast<std::size_t>(j.width) * j.height);
    for (std::size_t i = 0; i < g.size(); ++i) {
        const unsigned char* p = &j.pixels[i * j.components];
        g[i] = static_cast<unsigned char>((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000);
    }
    return g;
}

// pdftoppm's grey rendering of an area of page 1 (x, y of the top-left
// corner in pixels at `dpi`, size w x h).
Jpeg OracleCrop(const std::string& pdf, int dpi, int x, int y, int w, int h)
{
    auto dir = Scratch("crop");
    const std::string out = (dir / "c").string();
    Shell("pdftoppm -q -cropbox -gray -r " + std::to_string(dpi) + " -x " + std::to_string(x) +
        " -y " + std::to_string(y) + " -W " + std::to_string(w) + " -H " + std::to_string(h) +
        " -singlefile " + Q(pdf) + " " + Q(out));
    return ReadPgm(out + ".pgm");
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The pictures (not their masks) of page 1 as pdfimages -j writes them:
// JPEG streams byte for byte as stored, anything else as PNM.
std::vector<std::string> PdfimagesFiles(const std::string& pdf, const std::filesystem::path& dir)
{
    Shell("pdfimages -f 1 -l 1 -j " + Q(pdf) + " " + Q((dir / "img").string()));
    std::vector<std::string> out;
    int num = 0;
    for (const ListedImage& l : PdfimagesList(pdf)) {
        if (l.page != 1)
            break;
        char stem[32];
        std::snprintf(stem, sizeof stem, "img-%03d", num++);
        if (l.type != "image")
            continue;
        std::string found;
        for (const char* ext : {".jpg", ".ppm", ".pgm", ".pbm"})
            if (std::filesystem::exists(dir / (stem + std::string(ext))))
                found = (dir / (stem + std::string(ext))).string();
        out.push_back(found);
    }
    return out;
}

} // namespace

TEST(Images, PicturesMatchPdfimages)
{
    auto dir = Scratch("images");
    for (const char* file : {"picture.pdf", "merge_a.pdf", "scanned.pdf"}) {
        SCOPED_TRACE(file);
        Parser p;
        p.SetImageDir(Wide(dir.string()));
        p.Load(WFixture(file), false, nullptr);
        PageObjects o = Walk(p, 0);
        std::vector<ListedImage> pictures;
        int masks = 0;
        for (const ListedImage& l : PdfimagesList(Fixture(file))) {
            if (l.type == "image" || l.type == "stencil")
                pictures.push_back(l);
            else if (l.type == "smask" || l.type == "mask")
                ++masks;
        }
        ASSERT_EQ(o.images.size(), pictures.size());
        int ourMasks = 0;
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            ImageCollect* img = o.images[i];
            const std::string path = parser_detail::ToUtf8(img->GetImagePath());
            ASSERT_EQ(std::filesystem::path(path).parent_path(), dir);
            Jpeg j = ReadJpeg(path);
            ASSERT_TRUE(j.ok) << path;
            EXPECT_EQ(j.width, pictures[i].width);
            EXPECT_EQ(j.height, pictures[i].height);
            int w = 0, h = 0;
            ASSERT_TRUE(img->GetImageSizeInPdf(w, h));
            EXPECT_NEAR(w, pictures[i].width * 72.0 / pictures[i].xppi, 1.0);
            EXPECT_NEAR(h, pictures[i].height * 72.0 / pictures[i].yppi, 1.0);
            EXPECT_EQ(img->GetMatrix().a, w);
            if (img->GetMaskPath()) {
                ++ourMasks;
                Jpeg m = ReadJpeg(parser_detail::ToUtf8(img->GetMaskPath()));
                ASSERT_TRUE(m.ok);
                EXPECT_EQ(m.components, 1);
            }
        }
        EXPECT_EQ(ourMasks, masks);
    }
}

// A JPEG stream that serves as a JPEG file as it stands is copied byte for
// byte, as pdfimages -j copies it; a stream whose picture differs from what
// a JPEG viewer would show is decoded and written again.
TEST(Images, JpegStreamsAreCopiedAsStored)
{
    auto dir = Scratch("jpegs");
    auto oracle = Scratch("jpegs_oracle");
    Parser p;
    p.SetImageDir(Wide(dir.string()));
    p.Load(WFixture("jpegs.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    const std::vector<std::string> stored = PdfimagesFiles(Fixture("jpegs.pdf"), oracle);
    const std::vector<ListedImage> listed = PdfimagesList(Fixture("jpegs.pdf"));
    struct Case {
        const char* what;
        bool copied;
    };
    const Case cases[] = {
        {"DeviceRGB", true},
        {"DeviceGray", true},
        {"JPEG under FlateDecode", true},
        {"ICC-based RGB", true},
        {"decode array inverting the colours", false},
        {"soft mask", false},
        {"size other than the JPEG's own", false},
        {"colour transform of its own", false},
        {"Exif orientation", false},
    };
    ASSERT_EQ(o.images.size(), std::size(cases));
    ASSERT_EQ(stored.size(), std::size(cases));
    std::vector<ListedImage> pictures;
    for (const ListedImage& l : listed)
        if (l.type == "image")
            pictures.push_back(l);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        const std::string ours = parser_detail::ToUtf8(o.images[i]->GetImagePath());
        const std::string bytes = ReadBytes(ours);
        ASSERT_GT(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
        const std::string raw = ReadBytes(stored[i]);
        if (cases[i].copied) {
            EXPECT_TRUE(bytes == raw) << "not the stored stream";
            continue;
        }
        EXPECT_FALSE(bytes == raw) << "copied although its picture needs decoding";
        Jpeg j = ReadJpeg(ours);
        ASSERT_TRUE(j.ok);
        EXPECT_EQ(j.width, pictures[i].width);
        EXPECT_EQ(j.height, pictures[i].height);
    }

    // The decode array [1 0 1 0 1 0] shows the stored JPEG's colours
    // inverted: so does our file.
    Jpeg inverted = ReadJpeg(parser_detail::ToUtf8(o.images[4]->GetImagePath()));
    Jpeg plain = ReadJpeg(stored[4]);
    ASSERT_TRUE(inverted.ok && plain.ok);
    ASSERT_EQ(inverted.pixels.size(), plain.pixels.size());
    double diff = 0;
    for (std::size_t k = 0; k < plain.pixels.size(); ++k)
        diff += std::abs(int(inverted.pixels[k]) + int(plain.pixels[k]) - 255);
    // (Not inverted, the mean would be some hundred levels.)
    EXPECT_LT(diff / plain.pixels.size(), 10.0);
}

// Pictures of four colour channels (CMYK) give RGB JPEG files of their own
// size that show what pdftoppm shows on the page: a red field with a cyan
// rectangle, or (the CMYK JPEG read without its decode array) a dark
// picture. A four-channel JPEG file, as the stream stores it, would show
// inverted in many viewers.
TEST(Images, FourChannelPicturesBecomeRgbFiles)
{
    auto dir = Scratch("cmyk");
    Parser p;
    p.SetImageDir(Wide(dir.string()));
    p.Load(WFixture("cmyk.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    const std::vector<ListedImage> listed = PdfimagesList(Fixture("cmyk.pdf"));
    ASSERT_EQ(listed.size(), 4u);
    ASSERT_EQ(o.images.size(), 4u);
    // Mean grey of an area of a grey picture.
    auto mean = [](const std::vector<unsigned char>& g, int stride, int x0, int y0, int x1,
                   int y1) {
        double sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                sum += g[static_cast<std::size_t>(y) * stride + x];
        return sum / ((x1 - x0) * (y1 - y0));
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(listed[i].type, "image");
        EXPECT_EQ(o.images[i]->GetMaskPath(), nullptr);
        const std::string path = parser_detail::ToUtf8(o.images[i]->GetImagePath());
        Jpeg j = ReadJpeg(path);
        ASSERT_TRUE(j.ok) << path;
        EXPECT_EQ(j.components, 3);
        ASSERT_EQ(j.width, listed[i].width);
        ASSERT_EQ(j.height, listed[i].height);
        const std::vector<unsigned char> ours = Gray(j);

        // The picture's box on the page (80 x 60 points) at 72 dpi.
        const ParserMatrix& m = o.images[i]->GetMatrix();
        const int x = static_cast<int>(std::lround(m.e));
        const int y = static_cast<int>(std::lround(300 - m.f - m.d));
        Jpeg page = OracleCrop(Fixture("cmyk.pdf"), 72, x, y, 80, 60);
        ASSERT_EQ(page.width, 80);
        ASSERT_EQ(page.height, 60);
        // The whole picture, the field left of the rectangle and the
        // rectangle, each (scaled by 80 / 64) in the page's rendering.
        const int areas[3][4] = {{0, 0, 64, 48}, {44, 4, 60, 44}, {12, 11, 36, 24}};
        double field = 0, rect = 0;
        for (int a = 0; a < 3; ++a) {
            const int* r = areas[a];
            const double o1 = mean(ours, j.width, r[0], r[1], r[2], r[3]);
            const double o2 = mean(page.pixels, page.width, r[0] * 5 / 4, r[1] * 5 / 4,
                                   r[2] * 5 / 4, r[3] * 5 / 4);
            EXPECT_NEAR(o1, o2, 48.0) << "area " << a;
            if (a == 1)
                field = o1;
            if (a == 2)
                rect = o1;
        }
        if (i != 1)
            EXPECT_GT(rect, field + 30) << "the cyan rectangle is lighter than the red field";
        else
            EXPECT_LT(mean(ours, j.width, 0, 0, 64, 48), 40.0) << "dark";
    }
}

// The pictures of a page as pdfimages writes them (none is a JPEG here),
// in grey, in the order the page draws them.
std::vector<std::vector<unsigned char>> OraclePictures(const std::string& pdf, int page,
                                                       const std::filesystem::path& dir)
{
    const std::string n = std::to_string(page + 1);
    const std::string stem = (dir / ("p" + n)).string();
    Shell("pdfimages -f " + n + " -l " + n + " " + Q(pdf) + " " + Q(stem));
    std::vector<std::vector<unsigned char>> out;
    for (int i = 0;; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "-%03d.ppm", i);
        std::ifstream in(stem + name, std::ios::binary);
        std::string magic;
        int w = 0, h = 0, maxval = 0;
        if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255)
            break;
        in.get();
        std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
        in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
        Jpeg j;
        j.width = w;
        j.height = h;
        j.components = 3;
        j.pixels = std::move(rgb);
        out.push_back(Gray(j));
    }
    return out;
}

// Each page of the fixture decodes a picture larger than what the parser
// keeps of pictures between pages, so the pictures and fonts of a page are
// read after the earlier ones were let go; visited again, out of order, a
// page must give the same words in the same fonts and pictures that match
// pdfimages' and the files written on the first visit byte for byte.
TEST(Images, PagesReadAfterLargePicturesKeepTheirFontsAndPictures)
{
    const std::string pdf = Fixture("picture_pages.pdf");
    auto dir = Scratch("picture_pages");
    auto oracle = Scratch("picture_pages_oracle");
    Parser p;
    p.SetImageDir(Wide(dir.string()));
    ASSERT_TRUE(p.Load(WFixture("picture_pages.pdf"), false, nullptr));
    std::map<int, std::vector<std::string>> firstFiles; // page -> bytes of its pictures
    for (const int page : {0, 1, 2, 3, 1, 0, 3}) {
        SCOPED_TRACE("page " + std::to_string(page + 1));
        PageObjects o = Walk(p, page);
        std::map<std::string, std::string> fontOf;
        for (TextCollect* t : o.text)
            fontOf[t->GetText().substr(0, t->GetText().find(' '))] = t->GetFontName();
        EXPECT_NE(fontOf["Embedded"].find("DejaVuSans"), std::string::npos) << fontOf["Embedded"];
        EXPECT_NE(fontOf["Standard"].find("Helvetica"), std::string::npos) << fontOf["Standard"];

        const auto expected = OraclePictures(pdf, page, oracle);
        ASSERT_EQ(expected.size(), 2u);
        ASSERT_EQ(o.images.size(), expected.size());
        std::vector<std::string> files;
        for (std::size_t i = 0; i < o.images.size(); ++i) {
            const std::string path = parser_detail::ToUtf8(o.images[i]->GetImagePath());
            const Jpeg j = ReadJpeg(path);
            ASSERT_TRUE(j.ok) << path;
            const int side = i == 0 ? 900 : 40;
            ASSERT_EQ(j.width, side);
            EXPECT_LT(MeanDiff(Gray(j), j.width, expected[i], side, j.width, j.height), 3.0);
            files.push_back(ReadBytes(path));
        }
        auto first = firstFiles.emplace(page, files);
        if (!first.second) {
            EXPECT_TRUE(first.first->second == files) << "the pictures differ from the first visit";
        }
    }
}

TEST(Images, PictureFilesAreWrittenOnlyWhenAskedFor)
{
    auto dir = Scratch("lazy");
    Parser p;
    p.SetImageDir(Wide(dir.string()));
    p.Load(WFixture("picture.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(o.images.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    const std::string path = parser_detail::ToUtf8(o.images[1]->GetImagePath());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(parser_detail::ToUtf8(o.images[1]->GetMaskPath())));
    // The folder emptied and removed between reading the page and asking
    // for the picture (the engine empties it after each item).
    std::filesystem::remove_all(dir);
    const std::string first = parser_detail::ToUtf8(o.images[0]->GetImagePath());
    EXPECT_TRUE(ReadJpeg(first).ok);
}

TEST(Images, PicturesThatCannotBeWrittenNameNoFile)
{
    // The image folder lies below a regular file: no picture can be written
    // there, and none may be reported as written.
    auto dir = Scratch("unwritable");
    const std::filesystem::path blocker = dir / "file";
    std::ofstream(blocker) << "x";
    Parser p;
    p.SetImageDir(Wide((blocker / "images").string()));
    p.Load(WFixture("picture.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(o.images.size(), 2u);
    for (ImageCollect* image : o.images) {
        EXPECT_TRUE(image->GetImagePath().empty());
        EXPECT_EQ(image->GetMaskPath(), nullptr);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(Images, DrawnPicturesKeepTheirPixelSize)
{
    // 180 x 180 pixels in a box of 72 points whose corner lies off the
    // pixel grid: drawn at the picture's own resolution it stays 180 x 180.
    auto dir = Scratch("drawnsize");
    Parser p;
    p.SetImageDir(Wide(dir.string()));
    p.Load(WFixture("smask_offset.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(o.images.size(), 1u);
    ASSERT_NE(o.images[0]->GetMaskPath(), nullptr);
    const std::string out = (dir / "drawn.jpg").string();
    ImageCollect region;
    std::vector<CollectBase*> one{o.images[0]};
    ASSERT_TRUE(p.DrawObjects(one, Wide(out), region));
    const Jpeg j = ReadJpeg(out);
    ASSERT_TRUE(j.ok);
    EXPECT_EQ(j.width, 180);
    EXPECT_EQ(j.height, 180);
}

TEST(Images, NamesAreUniqueOverLoadsAndParsers)
{
    auto dir = Scratch("unique");
    std::set<std::wstring> names;
    int total = 0;
    Parser a, b;
    for (Parser* p : {&a, &b}) {
        p->SetImageDir(Wide(dir.string()));
        for (const char* f : {"merge_a.pdf", "merge_b.pdf", "merge_a.pdf"}) {
            p->Load(WFixture(f), false, nullptr);
            for (int round = 0; round < 2; ++round)
                for (ImageCollect* img : Walk(*p, 0).images) {
                    names.insert(img->GetImagePath());
                    ++total;
                }
        }
    }
    EXPECT_EQ(total, 12);
    EXPECT_EQ(static_cast<int>(names.size()), total);
    // The names never look like the engine's numbered pictures ("<n>.jpg").
    for (const auto& n : names)
        EXPECT_EQ(std::filesystem::path(parser_detail::ToUtf8(n)).filename().string().rfind("pimg", 0),
                  0u);
}

TEST(Images, WorkFolderIsUsedWithoutImageFolder)
{
    auto dir = Scratch("work");
    Parser::InitParserStaticParam(L"", L"", Wide(dir.string()));
    {
        Parser p;
        p.Load(WFixture("merge_a.pdf"), false, nullptr);
        PageObjects o = Walk(p, 0);
        ASSERT_EQ(o.images.size(), 1u);
        const std::wstring& path = o.images[0]->GetImagePath();
        EXPECT_EQ(std::filesystem::path(parser_detail::ToUtf8(path)).parent_path(), dir);
        EXPECT_TRUE(ReadJpeg(parser_detail::ToUtf8(o.images[0]->GetImagePath())).ok);
    }
    Parser::ReleaseAllTextConvertMap();
}

TEST(Images, EngineMadePictureObjects)
{
    ImageCollect none(nullptr);
    EXPECT_TRUE(none.GetImagePath().empty());
    EXPECT_EQ(none.GetMaskPath(), nullptr);
    EXPECT_EQ(none.GetID(), 0);
    ImageCollect named(L"/some/where/x.jpg");
    EXPECT_EQ(named.GetImagePath(), L"/some/where/x.jpg");
}

TEST(Render, PageSizeMatchesPdftoppm)
{
    auto dir = Scratch("render");
    struct Case {
        const char* file;
        int dpi;
    } cases[] = {{"two_column.pdf", 96}, {"rotate90.pdf", 96}, {"cropbox.pdf", 150},
                 {"paths.pdf", 72}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string out = (dir / "page.jpg").string();
        ASSERT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture(c.file), Wide(out), 1, c.dpi, ""));
        Jpeg ours = ReadJpeg(out);
        ASSERT_TRUE(ours.ok);
        const std::string ppm = (dir / "oracle").string();
        Shell("pdftoppm -q -cropbox -gray -singlefile -r " + std::to_string(c.dpi) + " " +
            Q(Fixture(c.file)) + " " + Q(ppm));
        Jpeg oracle = ReadPgm(ppm + ".pgm");
        ASSERT_TRUE(oracle.ok);
        EXPECT_NEAR(ours.width, oracle.width, 1);
        EXPECT_NEAR(ours.height, oracle.height, 1);
        EXPECT_LT(MeanDiff(Gray(ours), ours.width, oracle.pixels, oracle.width,
                           std::min(ours.width, oracle.width), std::min(ours.height, oracle.height)),
                  4.0)
            << "rendering differs";
    }
    // The same file page after page, then another file, then the first again.
    for (int i = 1; i <= 2; ++i)
        EXPECT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture("links.pdf"),
                                                 Wide((dir / "l.jpg").string()), i, 50, ""));
}

// Each page of the fixtures draws a picture larger than what a drawing
// thread's store keeps, so the pictures of earlier pages go as later ones
// come in; in big_font_pictures.pdf an embedded font fills most of the
// store besides, and goes back into it each time the rest is let go. Drawn
// again, out of order, a page must come out as on its first drawing and as
// pdftoppm draws it, its words in their font.
TEST(Render, PagesDrawnAgainAfterTheirPicturesWentMatchTheFirstDrawing)
{
    auto dir = Scratch("render_again");
    struct Case {
        const char* file;
        int wordRows; // the rows of pixels from the top that hold the words alone
    } cases[] = {{"picture_pages.pdf", 110}, {"big_font_pictures.pdf", 60}};
    for (const Case& c : cases) {
        const char* file = c.file;
        SCOPED_TRACE(file);
        std::map<int, std::string> first; // page -> its JPEG
        for (const int page : {1, 2, 3, 4, 2, 1, 4}) {
            SCOPED_TRACE("page " + std::to_string(page));
            const std::string out = (dir / "page.jpg").string();
            ASSERT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture(file), Wide(out), page, 96, ""));
            const std::string bytes = ReadBytes(out);
            auto seen = first.emplace(page, bytes);
            if (!seen.second) {
                EXPECT_TRUE(seen.first->second == bytes) << "differs from the first drawing";
                continue;
            }
            const Jpeg ours = ReadJpeg(out);
            ASSERT_TRUE(ours.ok);
            const std::string n = std::to_string(page);
            const std::string ppm = (dir / "oracle").string();
            Shell("pdftoppm -q -cropbox -gray -singlefile -r 96 -f " + n + " -l " + n + " " +
                  Q(Fixture(file)) + " " + Q(ppm));
            const Jpeg oracle = ReadPgm(ppm + ".pgm");
            ASSERT_TRUE(oracle.ok);
            const int w = std::min(ours.width, oracle.width), h = std::min(ours.height, oracle.height);
            EXPECT_LT(MeanDiff(Gray(ours), ours.width, oracle.pixels, oracle.width, w, h), 4.0);
            // The words alone, where a font read wrong or not at all shows.
            EXPECT_LT(MeanDiff(Gray(ours), ours.width, oracle.pixels, oracle.width, w, c.wordRows),
                      4.0);
        }
    }
}

TEST(Render, FailuresLeaveNoFile)
{
    auto dir = Scratch("renderfail");
    const std::string out = (dir / "x.jpg").string();
    const std::wstring w = Wide(out);
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("links.pdf"), w, 0, 96, ""));
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("links.pdf"), w, 3, 96, ""));
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("links.pdf"), w, 1, 0, ""));
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("text_file.pdf"), w, 1, 96, ""));
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("zero.pdf"), w, 1, 96, ""));
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("aes256.pdf"), w, 1, 96, ""));
    EXPECT_FALSE(Parser::ConvertPDFPageToJpeg(WFixture("links.pdf"),
                                              Wide((dir / "no/such/dir/x.jpg").string()), 1,
                                              96, ""));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture("aes256.pdf"), w, 1, 30, "userpw"));
    EXPECT_TRUE(ReadJpeg(out).ok);
}

TEST(Render, WrittenFilesAreCompleteAndAlone)
{
    // A written picture is the whole JPEG under its name, readable like any
    // new file, replaces a file of that name, and leaves no other name in
    // its folder; also for a name without a folder (the current one).
    auto dir = Scratch("renderwrite");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct Case {
        const char* name;
        bool existing;
        bool relative;
    } cases[] = {{"new.jpg", false, false}, {"old.jpg", true, false}, {"here.jpg", false, true},
                 {"here-old.jpg", true, true}};
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path target = dir / c.name;
        if (c.existing)
            std::ofstream(target) << "an older file, longer than nothing";
        const std::string given = c.relative ? std::string(c.name) : target.string();
        EXPECT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture("links.pdf"), Wide(given), 1, 40, ""));
        const Jpeg j = ReadJpeg(target.string());
        EXPECT_TRUE(j.ok);
        EXPECT_EQ(std::filesystem::status(target).permissions(),
                  static_cast<std::filesystem::perms>(0666 & ~mask));
        EXPECT_EQ(std::filesystem::hard_link_count(target), 1u);
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            names.insert(e.path().filename().string());
        EXPECT_EQ(names.count(c.name), 1u);
        std::filesystem::remove(target);
        EXPECT_TRUE(std::filesystem::is_empty(dir)) << "left beside it: " << *names.begin();
    }
    std::filesystem::current_path(before);
}

namespace {

// Every object of a page that draws something: all but its links.
std::vector<CollectBase*> Drawable(const PageObjects& o)
{
    std::vector<CollectBase*> drawn;
    for (CollectBase* c : o.all)
        if (!dynamic_cast<LinkCollect*>(c))
            drawn.push_back(c);
    return drawn;
}

} // namespace

TEST(Render, DrawObjectsOfWholePageMatchesPdftoppm)
{
    auto dir = Scratch("drawall");
    for (const char* file :
         {"picture.pdf", "paths.pdf", "table.pdf", "rotate90.pdf", "mesh.pdf", "stripes.pdf"}) {
        SCOPED_TRACE(file);
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        const std::vector<CollectBase*> drawn = Drawable(Walk(p, 0));
        ImageCollect region(nullptr);
        const std::string out = (dir / "all.jpg").string();
        ASSERT_TRUE(p.DrawObjects(drawn, Wide(out), region));
        EXPECT_EQ(region.GetImagePath(), Wide(out));
        const ParserMatrix& m = region.GetMatrix();
        double H = 0;
        p.GetPageHeight(H);
        Jpeg ours = ReadJpeg(out);
        ASSERT_TRUE(ours.ok);
        const double zoom = ours.width / m.a;
        EXPECT_NEAR(ours.height / m.d, zoom, 0.05);
        const int dpi = static_cast<int>(std::lround(zoom * 72));
        // The same area as pdftoppm renders it (top-left corner, y down).
        Jpeg oracle = OracleCrop(Fixture(file), dpi, static_cast<int>(std::lround(m.e * zoom)),
                                 static_cast<int>(std::lround((H - m.f - m.d) * zoom)), ours.width,
                                 ours.height);
        ASSERT_TRUE(oracle.ok);
        // pdftoppm cuts its area at the page edge; a pixel of rounding may differ.
        EXPECT_NEAR(oracle.width, ours.width, 1);
        EXPECT_NEAR(oracle.height, ours.height, 1);
        EXPECT_LT(MeanDiff(Gray(ours), ours.width, oracle.pixels, oracle.width,
                           std::min(ours.width, oracle.width), std::min(ours.height, oracle.height)),
                  4.0);
        // Row by row against the whole page as MuPDF draws it on the same
        // pixel grid: no seam (a row left white where two bands of the mesh
        // meet differs by 50 grey levels, the smoothing by 10 at most).
        const std::string page = (dir / "page.jpg").string();
        ASSERT_TRUE(Parser::ConvertPDFPageToJpeg(WFixture(file), Wide(page), 1, dpi, ""));
        const Jpeg whole = ReadJpeg(page);
        ASSERT_TRUE(whole.ok);
        EXPECT_LT(WorstRowDiff(Gray(ours), ours.width, ours.height, Gray(whole), whole.width,
                               whole.height, static_cast<int>(std::lround(m.e * zoom)),
                               static_cast<int>(std::lround((H - m.f - m.d) * zoom))),
                  20.0);
    }
}

// A figure drawn in bands comes out byte for byte the same whether the
// drawing thread may run on one processor or on all of them.
TEST(Render, DrawnFigureIsTheSameOnOneProcessorAsOnAll)
{
    auto dir = Scratch("drawcores");
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    if (CPU_COUNT(&all) < 2)
        GTEST_SKIP() << "one processor only";
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c) {
        if (CPU_ISSET(c, &all)) {
            CPU_SET(c, &one);
            break;
        }
    }
    auto draw = [&](const char* file, const cpu_set_t& cores, const char* name) {
        EXPECT_EQ(sched_setaffinity(0, sizeof cores, &cores), 0);
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        const std::vector<CollectBase*> drawn = Drawable(Walk(p, 0));
        ImageCollect region(nullptr);
        const std::string out = (dir / name).string();
        const bool ok = p.DrawObjects(drawn, Wide(out), region);
        EXPECT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
        EXPECT_TRUE(ok);
        std::ifstream in(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const char* file : {"mesh.pdf", "paths.pdf"}) {
        SCOPED_TRACE(file);
        const std::string many = draw(file, all, "many.jpg");
        const std::string single = draw(file, one, "one.jpg");
        ASSERT_FALSE(many.empty());
        EXPECT_TRUE(many == single) << "the picture depends on the processors";
    }
}

TEST(Render, DrawObjectsRendersOnlyTheListedObjects)
{
    auto dir = Scratch("drawsome");
    Parser p;
    p.Load(WFixture("picture.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(o.images.size(), 2u);
    // The masked picture alone: a red disc whose corners stay white.
    ImageCollect region(nullptr);
    const std::string out = (dir / "disc.jpg").string();
    ASSERT_TRUE(p.DrawObjects({o.images[1]}, Wide(out), region));
    const ParserMatrix& m = region.GetMatrix();
    EXPECT_NEAR(m.e, 300, 0.5);
    EXPECT_NEAR(m.f, 300, 0.5);
    EXPECT_NEAR(m.a, 150, 0.5);
    EXPECT_NEAR(m.d, 150, 0.5);
    int w = 0, h = 0;
    region.GetImageSizeInPdf(w, h);
    EXPECT_EQ(w, 150);
    Jpeg disc = ReadJpeg(out);
    ASSERT_TRUE(disc.ok);
    ASSERT_EQ(disc.components, 3);
    auto px = [&](int x, int y) { return &disc.pixels[(static_cast<std::size_t>(y) * disc.width + x) * 3]; };
    EXPECT_GT(px(2, 2)[1], 240) << "corner is not white";
    EXPECT_GT(px(disc.width / 2, disc.height / 2)[0], 150);
    EXPECT_LT(px(disc.width / 2, disc.height / 2)[1], 80);

    // Text and the first picture together: the second picture stays out even
    // inside the area they cover.
    std::vector<CollectBase*> some = {o.text[0], o.images[0], o.text.back()};
    ImageCollect r2(nullptr);
    ASSERT_TRUE(p.DrawObjects(some, Wide((dir / "some.jpg").string()), r2));
    const ParserMatrix& m2 = r2.GetMatrix();
    EXPECT_NEAR(m2.e, 72, 1.0);
    EXPECT_LT(m2.f, 480.0);
    EXPECT_GT(m2.f + m2.d, 720.0);

    // Nothing drawable, or another document's objects.
    ImageCollect r3(nullptr);
    EXPECT_FALSE(p.DrawObjects({}, Wide((dir / "none.jpg").string()), r3));
    EXPECT_FALSE(p.DrawObjects({o.links.empty() ? nullptr : o.links[0]},
                               Wide((dir / "none.jpg").string()), r3));
    ImageCollect foreign(L"/x.jpg");
    EXPECT_FALSE(p.DrawObjects({&foreign}, Wide((dir / "none.jpg").string()), r3));
    Parser other;
    other.Load(WFixture("picture.pdf"), false, nullptr);
    EXPECT_FALSE(other.DrawObjects(some, Wide((dir / "none.jpg").string()), r3));
    EXPECT_FALSE(std::filesystem::exists(dir / "none.jpg"));
}

// A drawing that reaches beyond its clip is pictured as far as it is seen:
// the region is what the clip leaves of it, and the picture of everything
// there matches pdftoppm.
TEST(Render, DrawObjectsKeepToTheClip)
{
    auto dir = Scratch("drawclip");
    Parser p;
    p.Load(WFixture("clipped.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(o.graphics.size(), 3u);
    struct Case {
        const char* what;
        std::vector<CollectBase*> objects;
        double x0, y0, x1, y1; // page points, y up
    } const cases[] = {
        {"rectangle", {o.graphics[0]}, 100, 100, 300, 200},
        {"line", {o.graphics[1]}, 100, 146, 300, 154}, // MuPDF bounds a stroke by its width
        {"both", {o.graphics[0], o.graphics[1]}, 100, 100, 300, 200},
        {"line without clip", {o.graphics[2]}, 19, 39, 381, 41},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageCollect region(nullptr);
        const std::string out = (dir / "clip.jpg").string();
        ASSERT_TRUE(p.DrawObjects(c.objects, Wide(out), region));
        const ParserMatrix& m = region.GetMatrix();
        EXPECT_NEAR(m.e, c.x0, 1.5);
        EXPECT_NEAR(m.f, c.y0, 1.5);
        EXPECT_NEAR(m.e + m.a, c.x1, 1.5);
        EXPECT_NEAR(m.f + m.d, c.y1, 1.5);
        if (c.objects.size() < 2)
            continue;
        Jpeg ours = ReadJpeg(out);
        ASSERT_TRUE(ours.ok);
        const int dpi = static_cast<int>(std::lround(ours.width / m.a * 72));
        const double zoom = dpi / 72.0;
        Jpeg oracle = OracleCrop(Fixture("clipped.pdf"), dpi, static_cast<int>(std::lround(m.e * zoom)),
                                 static_cast<int>(std::lround((300 - m.f - m.d) * zoom)), ours.width,
                                 ours.height);
        ASSERT_TRUE(oracle.ok);
        EXPECT_LT(MeanDiff(Gray(ours), ours.width, oracle.pixels, oracle.width,
                           std::min(ours.width, oracle.width), std::min(ours.height, oracle.height)),
                  4.0);
    }
}

TEST(Images, CorpusPictureCountsMatchPdfimages)
{
    if (CorpusMissing())
        GTEST_SKIP() << "no corpus at " << Corpus();
    auto dir = Scratch("corpusimages");
    for (const auto& e : std::filesystem::directory_iterator(Corpus())) {
        if (e.path().extension() != ".pdf")
            continue;
        SCOPED_TRACE(e.path().string());
        Parser p;
        p.SetImageDir(Wide(dir.string()));
        try {
            p.Load(Wide(e.path().string()), false, nullptr);
        } catch (const ParserError&) {
            continue;
        }
        int pictures = 0, masks = 0;
        for (const ListedImage& l : PdfimagesList(e.path().string())) {
            pictures += l.type == "image" || l.type == "stencil";
            masks += l.type == "smask" || l.type == "mask";
        }
        int ours = 0, ourMasks = 0;
        for (int i = 0; i < p.GetPageCount(); ++i)
            for (ImageCollect* img : Walk(p, i).images) {
                ++ours;
                ourMasks += img->GetMaskPath() != nullptr;
                EXPECT_TRUE(ReadJpeg(parser_detail::ToUtf8(img->GetImagePath())).ok);
            }
        EXPECT_EQ(ours, pictures);
        EXPECT_EQ(ourMasks, masks);
    }
}
