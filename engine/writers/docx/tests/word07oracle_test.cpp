// Word 2007 output opened by LibreOffice: generated PDFs are converted with
// the engine, LibreOffice opens every document (in one session) and exports
// it to PDF, and pdftotext must find every word of every source page on the
// same page, with as many pages as the source. A password-protected document
// opens with its password only.

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/tests/word07testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testutil::Quote;

// Shell commands, by a name that gtest's own Test::Run does not hide.
std::string Shell(const std::string& cmd, int* status = nullptr)
{
    return testutil::Run(cmd, status);
}
using testutil::TempDir;

const std::string kProgramDir = TRANCEL_BINARY_DIR "/bin";
const std::string kScripts = TRANCEL_SOURCE_DIR "/engine/writers/docx/tests/";
const std::string kPassword = "Kennwort \xc3\xbc";
const std::wstring kWidePassword = L"Kennwort \u00fc";

const std::vector<std::string> kDocuments = {"text",    "columns", "mixed",  "blank",   "picture",
                                             "huge",    "links",   "shapes", "turned",  "pattern",
                                             "narrow",  "scripts", "tiny",   "marked"};

// A page rendered by pdftoppm at a low resolution, RGB.
struct Picture {
    int width = 0;
    int height = 0;
    std::string rgb;   // 3 bytes a pixel, rows from the top

    // Channels of the pixel at x, y (points from the page's top left).
    const unsigned char* At(double x, double y, double dpi) const
    {
        const int px = static_cast<int>(x * dpi / 72.0);
        const int py = static_cast<int>(y * dpi / 72.0);
        if (px < 0 || py < 0 || px >= width || py >= height)
            return nullptr;
        return reinterpret_cast<const unsigned char*>(rgb.data()) + (static_cast<std::size_t>(py) * width + px) * 3;
    }
};

Picture Render(const std::string& pdf, int page, int dpi)
{
    const std::string ppm = Shell("pdftoppm -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
                                  std::to_string(page) + " " + Quote(pdf) + " 2>/dev/null");
    Picture p;
    std::istringstream in(ppm);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    const std::size_t size = static_cast<std::size_t>(p.width) * p.height * 3;
    if (magic != "P6" || maxval != 255 || ppm.size() < size)
        return Picture{};
    p.rgb = ppm.substr(ppm.size() - size);
    return p;
}

// The lines that pdftotext -layout finds on a page, spaces squeezed.
std::vector<std::string> LayoutLines(const std::string& pdf, int page)
{
    std::istringstream in(Shell("pdftotext -layout -f " + std::to_string(page) + " -l " + std::to_string(page) +
                                " " + Quote(pdf) + " - 2>/dev/null"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        std::string squeezed;
        std::istringstream words(line);
        for (std::string w; words >> w;)
            squeezed += (squeezed.empty() ? "" : " ") + w;
        if (!squeezed.empty() && squeezed != "\f")
            lines.push_back(squeezed);
    }
    return lines;
}

// The words pdftotext finds on a page with the height of each one's box
// (the font's ascent and descent at its size), in points.
std::vector<std::pair<std::string, double>> WordHeights(const std::string& pdf, int page)
{
    std::istringstream in(Shell("pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) +
                                " " + Quote(pdf) + " - 2>/dev/null"));
    std::vector<std::pair<std::string, double>> words;
    for (std::string line; std::getline(in, line);) {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        const std::size_t at = line.find("<word ");
        const std::size_t text = line.find('>', at);
        const std::size_t end = line.find("</word>", text);
        if (at == std::string::npos || end == std::string::npos ||
            std::sscanf(line.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &x0, &y0,
                        &x1, &y1) != 4)
            continue;
        words.emplace_back(line.substr(text + 1, end - text - 1), y1 - y0);
    }
    return words;
}

int PageCount(const std::string& pdf)
{
    const std::string info = Shell("pdfinfo " + Quote(pdf) + " 2>/dev/null");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

std::vector<std::string> Words(const std::string& pdf, int page)
{
    std::istringstream in(Shell("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) +
                              " " + Quote(pdf) + " - 2>/dev/null"));
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

class Word07Oracle : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        const std::string d = dir->str();
        std::string kinds;
        for (const std::string& name : kDocuments)
            kinds += name + " ";
        ASSERT_TRUE(word07test::MakeDocxFixtures(d + "pdf", kinds));

        std::vector<Basedata_w> items;
        for (const std::string& name : kDocuments) {
            Basedata_w item;
            item.type = 6;
            item.source = utf8::ToWide(d + "pdf/" + name + ".pdf");
            item.dest = utf8::ToWide(d + "docx");
            item.exePath = utf8::ToWide(kProgramDir);
            items.push_back(item);
        }
        Basedata_w protectedItem = items.front();
        protectedItem.wordOp.bOpenPassword = true;
        protectedItem.wordOp.openPassword = kWidePassword.c_str();
        items.push_back(protectedItem);   // text(1).docx
        std::filesystem::create_directories(d + "docx");
        std::filesystem::create_directories(d + "work");
        convert(items, utf8::ToWide(d + "work/"), nullptr, callback_funcs{});
        for (std::size_t i = 0; i < kDocuments.size(); ++i)
            ASSERT_EQ(utf8::FromWide(items[i].result), d + "docx/" + kDocuments[i] + ".docx");
        ASSERT_EQ(utf8::FromWide(items.back().result), d + "docx/text(1).docx");
        std::filesystem::rename(d + "docx/text(1).docx", d + "protected.docx");

        // An independent reader decrypts the protected document.
        int status = -1;
        Shell("/usr/bin/python3 " + Quote(kScripts + "office_decrypt.py") + " " + Quote(d + "protected.docx") +
                " " + Quote(d + "decrypted.docx") + " " + Quote(kPassword) + " >/dev/null 2>&1",
            &status);
        decryptStatus = status;

        // One LibreOffice session opens everything.
        std::string jobs;
        for (const std::string& name : kDocuments)
            jobs += Quote(d + "docx/" + name + ".docx") + " " + Quote(d + "lo/" + name + ".pdf") + " -- ";
        jobs += Quote(d + "protected.docx") + " " + Quote(d + "lo/protected.pdf") + " " + Quote(kPassword) + " -- ";
        jobs += Quote(d + "protected.docx") + " " + Quote(d + "lo/nopassword.pdf") + " -- ";
        jobs += Quote(d + "protected.docx") + " " + Quote(d + "lo/wrongpassword.pdf") + " wrong -- ";
        jobs += Quote(d + "decrypted.docx") + " " + Quote(d + "lo/decrypted.pdf");
        std::filesystem::create_directories(d + "lo");
        report = Shell("/usr/bin/python3 " + Quote(kScripts + "lo_oracle.py") + " " + Quote(d + "profile") + " " +
                         jobs + " 2>&1",
                     &status);
        ASSERT_EQ(status, 0) << report;
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    static bool Opened(const std::string& pdfName)
    {
        return report.find("OK " + dir->str() + "lo/" + pdfName + "\n") != std::string::npos;
    }

    // Every word of each source page is on the same page of LibreOffice's
    // export, which has as many pages.
    static void ExpectSameWords(const std::string& source, const std::string& exported,
                                const std::set<std::string>& ignored = {})
    {
        const int pages = PageCount(source);
        ASSERT_GT(pages, 0);
        ASSERT_EQ(PageCount(exported), pages) << exported;
        for (int p = 1; p <= pages; ++p) {
            const std::vector<std::string> found = Words(exported, p);
            const std::multiset<std::string> have(found.begin(), found.end());
            for (const std::string& word : Words(source, p)) {
                if (!ignored.count(word)) {
                    EXPECT_TRUE(have.count(word)) << exported << " page " << p << ": " << word;
                }
            }
        }
    }

    static void PagesKeepTheirSizesAndPictures();
    static void PicturesKeepTheirTurns();
    static void PatternFillsAreFilled();
    static void LinesNeverWrap();
    static void FontsGoByTheirFamilies();
    static void OtherScriptsKeepTheirRunsLook();
    static void ProtectedDocumentOpensWithItsPasswordOnly();

    static TempDir* dir;
    static std::string report;
    static int decryptStatus;
};

TempDir* Word07Oracle::dir = nullptr;
std::string Word07Oracle::report;
int Word07Oracle::decryptStatus = -1;

// One test, so that LibreOffice starts once for all documents (ctest runs
// each test in a process of its own).
TEST_F(Word07Oracle, LibreOfficeOpensEveryDocument)
{
    SCOPED_TRACE("every document opens with its pages and words");
    for (const std::string& name : kDocuments) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Opened(name + ".pdf")) << report;
        // Text turned by 90 degrees becomes a text path, which is drawn, not text.
        const std::set<std::string> drawn = name == "shapes" ? std::set<std::string>{"turned", "words"}
                                                             : std::set<std::string>{};
        ExpectSameWords(dir->str() + "pdf/" + name + ".pdf", dir->str() + "lo/" + name + ".pdf", drawn);
    }

    PagesKeepTheirSizesAndPictures();
    PicturesKeepTheirTurns();
    PatternFillsAreFilled();
    LinesNeverWrap();
    FontsGoByTheirFamilies();
    OtherScriptsKeepTheirRunsLook();
    ProtectedDocumentOpensWithItsPasswordOnly();
}

void Word07Oracle::PicturesKeepTheirTurns()
{
    SCOPED_TRACE("pictures keep the turn the page gives them");
    // The source page and LibreOffice's page, side by side: the eight
    // pictures of 3 by 2 coloured squares (the upper 330 points of the page)
    // agree pixel by pixel but for a few pixels on the squares' edges.
    const int dpi = 36;
    const Picture source = Render(dir->str() + "pdf/turned.pdf", 1, dpi);
    const Picture back = Render(dir->str() + "lo/turned.pdf", 1, dpi);
    ASSERT_GT(source.width, 0);
    ASSERT_EQ(back.width, source.width);
    ASSERT_EQ(back.height, source.height);
    int coloured = 0, differing = 0;
    for (double y = 0; y < 330; y += 72.0 / dpi) {
        for (double x = 0; x < 595; x += 72.0 / dpi) {
            const unsigned char* a = source.At(x, y, dpi);
            const unsigned char* b = back.At(x, y, dpi);
            if (!a || !b)
                continue;
            if (a[0] < 250 || a[1] < 250 || a[2] < 250)
                ++coloured;
            int diff = 0;
            for (int k = 0; k < 3; ++k)
                diff = std::max(diff, std::abs(a[k] - b[k]));
            if (diff > 80)
                ++differing;
        }
    }
    ASSERT_GT(coloured, 1000);
    EXPECT_LT(differing, coloured / 10) << differing << " of " << coloured << " pixels differ";
}

void Word07Oracle::PatternFillsAreFilled()
{
    SCOPED_TRACE("a path filled with a pattern is filled");
    // The circle of stripes (centre 200, 342 from the top, radius 100): as
    // many of its pixels are dark as on the source page, give or take.
    const int dpi = 36;
    auto dark = [dpi](const Picture& p) {
        int n = 0;
        for (double y = 262; y < 422; y += 2)
            for (double x = 120; x < 280; x += 2)
                if (const unsigned char* c = p.At(x, y, dpi))
                    n += c[2] > 100 && c[0] < 150 ? 1 : 0;
        return n;
    };
    const int source = dark(Render(dir->str() + "pdf/pattern.pdf", 1, dpi));
    const int back = dark(Render(dir->str() + "lo/pattern.pdf", 1, dpi));
    ASSERT_GT(source, 1000);
    EXPECT_GT(back, source / 2);
    EXPECT_LT(back, source * 2);
}

void Word07Oracle::LinesNeverWrap()
{
    SCOPED_TRACE("a line set in a narrow font stays one line");
    // LibreOffice sets the condensed face in a wider one; every line of the
    // page (and every number of the table) stays whole.
    const std::vector<std::string> source = LayoutLines(dir->str() + "pdf/narrow.pdf", 1);
    const std::vector<std::string> back = LayoutLines(dir->str() + "lo/narrow.pdf", 1);
    ASSERT_EQ(source.size(), 5u);
    EXPECT_EQ(back, source);
}

void Word07Oracle::FontsGoByTheirFamilies()
{
    SCOPED_TRACE("runs name fonts by their families, listed in the font table");
    const std::string docx = dir->str() + "docx/narrow.docx";
    const std::string fonts = word07test::ZipEntry(docx, "word/fontTable.xml");
    const std::string document = word07test::ZipEntry(docx, "word/document.xml");
    // The embedded "AAAAAA+QejaVuSansCondensed" is of the family
    // "QejaVu Sans" (its name table says so).
    EXPECT_NE(document.find("w:ascii=\"QejaVu Sans\""), std::string::npos);
    EXPECT_EQ(document.find("QejaVuSansCondensed"), std::string::npos);
    EXPECT_NE(fonts.find("w:name=\"QejaVu Sans\""), std::string::npos) << fonts;
}

void Word07Oracle::OtherScriptsKeepTheirRunsLook()
{
    SCOPED_TRACE("Arabic, Hebrew and Chinese words keep the size and face of their run");
    // Every line of the page is set at 24 points: LibreOffice draws the
    // Arabic and the Hebrew word as high as the Latin ones, not at the
    // styles' default size (11 points, less than half as high).
    const std::string back = dir->str() + "lo/scripts.pdf";
    double latin = 0;
    std::vector<std::pair<std::string, double>> rightToLeft;
    for (const auto& [text, height] : WordHeights(back, 1)) {
        const unsigned char lead = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
        if (text == "Latin")
            latin = height;
        else if (lead >= 0xd6 && lead <= 0xdb)   // U+0580 to U+06FF: Hebrew and Arabic
            rightToLeft.emplace_back(text, height);
    }
    ASSERT_GT(latin, 20.0);
    ASSERT_EQ(rightToLeft.size(), 2u);
    for (const auto& [text, height] : rightToLeft) {
        EXPECT_GT(height, latin * 0.85) << text;
        EXPECT_LT(height, latin * 1.15) << text;
    }
    // The Chinese words keep their face, not the reader's default face for
    // East Asian text (WenQuanYi Zen Hei, the only other one installed).
    const std::string fonts = Shell("pdffonts " + Quote(back) + " 2>/dev/null");
    EXPECT_NE(fonts.find("WenQuanYiZenHeiMono"), std::string::npos) << fonts;
    EXPECT_EQ(fonts.find("WenQuanYiZenHei "), std::string::npos) << fonts;
}

void Word07Oracle::PagesKeepTheirSizesAndPictures()
{
    SCOPED_TRACE("pages keep their sizes and pictures");
    // Each page has the size of its source page, in whole points.
    const std::vector<std::pair<double, double>> sizes = {{595, 841}, {792, 612}, {419, 595}, {14400, 14400}};
    const std::vector<std::pair<std::string, int>> pages = {
        {"mixed", 1}, {"mixed", 2}, {"mixed", 3}, {"huge", 1}};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string page = std::to_string(pages[i].second);
        const std::string info = Shell("pdfinfo -f " + page + " -l " + page + " " +
                                     Quote(dir->str() + "lo/" + pages[i].first + ".pdf"));
        const std::size_t at = info.find("size:");
        ASSERT_NE(at, std::string::npos) << info;
        double w = 0, h = 0;
        ASSERT_EQ(std::sscanf(info.c_str() + at, "size: %lf x %lf", &w, &h), 2) << info;
        EXPECT_NEAR(w, sizes[i].first, 1.0) << pages[i].first << " " << page;
        EXPECT_NEAR(h, sizes[i].second, 1.0) << pages[i].first << " " << page;
    }
    const std::string images = Shell("pdfimages -list " + Quote(dir->str() + "lo/picture.pdf"));
    EXPECT_NE(images.find("\n   1 "), std::string::npos) << images;
}

void Word07Oracle::ProtectedDocumentOpensWithItsPasswordOnly()
{
    SCOPED_TRACE("a protected document opens with its password only");
    EXPECT_TRUE(Opened("protected.pdf")) << report;
    ExpectSameWords(dir->str() + "pdf/text.pdf", dir->str() + "lo/protected.pdf");
    EXPECT_FALSE(Opened("nopassword.pdf")) << report;
    EXPECT_FALSE(Opened("wrongpassword.pdf")) << report;
    EXPECT_FALSE(std::filesystem::exists(dir->str() + "lo/nopassword.pdf"));

    // msoffcrypto-tool decrypts it, and the decrypted package opens too.
    ASSERT_EQ(decryptStatus, 0);
    EXPECT_TRUE(Opened("decrypted.pdf")) << report;
    ExpectSameWords(dir->str() + "pdf/text.pdf", dir->str() + "lo/decrypted.pdf");
}

} // namespace
