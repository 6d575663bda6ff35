// Whole conversions to HTML (output type 2) through convert(): where the text
// lands on the page, checked against pdftotext's word boxes; pictures of
// whole pages; page files and names; failures.

#include "engine/layout/entry.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/jobrecords.h"

#include "htmltestutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <regex>

namespace {

using htmltest::Attr;
using htmltest::Elements;
using testutil::Quote;
using testutil::ReadFile;
using testutil::Run;

namespace fs = std::filesystem;

const std::string kForeign[] = {"Gr\xC3\xBC\xC3\x9F" "e", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1",
                                "\xD0\x9A\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0"};

// The PDFs of htmlfixtures.py and pdfgen.py, made once for the program.
const fs::path& Pdfs()
{
    static testutil::TempDir dir;
    static bool made = false;
    if (!made) {
        int status = -1;
        Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/engine/writers/html/tests/htmlfixtures.py " +
                Quote(dir.path().string()),
            &status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(testutil::MakePdfFixtures(dir.path(), "pages12:twelve"));
        made = true;
    }
    return dir.path();
}

struct Word {
    std::string text;
    double left = 0;     // points
    double top = 0;      // points
    double size = 0;     // points
    std::string style;
};

std::string Unescape(std::string s)
{
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::strlen(from), to);
    }
    return s;
}

// pdftotext's words of every page: left and top edge of each word's box.
std::vector<std::vector<Word>> OracleWords(const fs::path& pdf)
{
    const std::string out = Run("pdftotext -bbox " + Quote(pdf.string()) + " - 2>/dev/null");
    std::vector<std::vector<Word>> pages;
    const std::regex token("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
    for (std::sregex_iterator it(out.begin(), out.end(), token), end; it != end; ++it) {
        if ((*it)[0].str() == "<page ") {
            pages.emplace_back();
        } else if (!pages.empty()) {
            Word w;
            w.left = std::stod((*it)[1]);
            w.top = std::stod((*it)[2]);
            w.text = Unescape((*it)[3]);
            pages.back().push_back(w);
        }
    }
    return pages;
}

double StyleNumber(const std::string& style, const std::string& key)
{
    const std::size_t at = style.find(key + ":");
    return at == std::string::npos ? NAN : std::atof(style.c_str() + at + key.size() + 1);
}

// The positioned runs of a written page, in points.
std::vector<Word> PageWords(const fs::path& page)
{
    std::vector<Word> words;
    for (Tolvik::IXMLElement* div : Elements(htmltest::ReadPage(page), "div")) {
        const std::string box = Attr(div, "style");
        for (Tolvik::IXMLElement* span : div->getChildElementsByName("span")) {
            Word w;
            w.text = span->getStrValue();
            w.style = Attr(span, "style");
            w.left = StyleNumber(box, "left") / 1.5;
            w.top = StyleNumber(box, "top") / 1.5;
            w.size = StyleNumber(w.style, "font-size") / 1.5;
            words.push_back(w);
        }
    }
    return words;
}

class HtmlConvert : public ::testing::Test {
protected:
    testutil::TempDir work;
    fs::path dest;

    void SetUp() override
    {
        // convert() brackets every item with the XML layer itself.
        dest = work.path() / "out";
        fs::create_directories(dest);
        savedExe = GlobalEnum::exepath;
        savedTmp = GlobalEnum::tmppath;
    }
    void TearDown() override
    {
        GlobalEnum::exepath = savedExe;
        GlobalEnum::tmppath = savedTmp;
    }

    // Converts one PDF; the item after the job, and the item's last state.
    Basedata_w Convert(const fs::path& pdf, bool ignoreImages, int* state = nullptr,
                       const std::wstring& exePath = htmltest::kResources)
    {
        Basedata_w item;
        item.type = 2;
        item.source = utf8::ToWide(pdf.string());
        item.dest = utf8::ToWide(dest.string());
        item.exePath = exePath;
        item.htmlIgnoreImg = ignoreImages;
        std::vector<Basedata_w> items{item};
        fs::create_directories(work.path() / "tmp");
        lastState = 0;
        callback_funcs cb;
        cb.progress = [](void* ctx, int, unsigned message, int value) {
            if (message == WM_PROGRESS_STATE)
                *static_cast<int*>(ctx) = value;
        };
        convert(items, utf8::ToWide((work.path() / "tmp").string()) + L"/", &lastState, cb);
        if (state)
            *state = lastState;
        return items[0];
    }

    // Reads written pages with the XML layer, outside any job.
    struct Reader {
        Reader() { RezovirorInitialize(); }
        ~Reader() { RezovirorRelease(); }
    };

    int lastState = 0;

private:
    std::wstring savedExe;
    std::wstring savedTmp;
};

// Every word that pdftotext finds is written at its place: the left edge
// within a point, the top edge within a tenth of the font size (the boxes
// come from different font metrics), with the size and colour of the text.
TEST_F(HtmlConvert, TextLandsWherePdftotextSeesIt)
{
    // With pictures too: they take their places beside the text, which
    // stays where it was.
    const std::pair<const char*, bool> cases[] = {
        {"text", true}, {"large", true}, {"text", false}, {"picture", false}, {"drawing", false}};
    for (const auto& [name, ignoreImages] : cases) {
        SCOPED_TRACE(std::string(name) + (ignoreImages ? " without pictures" : " with pictures"));
        const fs::path pdf = Pdfs() / (std::string(name) + ".pdf");
        fs::remove_all(dest / name);
        int state = 0;
        const Basedata_w item = Convert(pdf, ignoreImages, &state);
        ASSERT_EQ(state, 2);
        ASSERT_EQ(utf8::Path(item.result), dest / name);

        const auto oracle = OracleWords(pdf);
        ASSERT_FALSE(oracle.empty());
        Reader reader;
        for (std::size_t p = 0; p < oracle.size(); ++p) {
            const fs::path page = dest / name / "html" / ("P" + std::to_string(p + 1) + ".html");
            const std::vector<Word> ours = PageWords(page);
            EXPECT_EQ(ours.size(), oracle[p].size()) << page;
            for (const Word& expected : oracle[p]) {
                const Word* found = nullptr;
                for (const Word& w : ours) {
                    if (w.text == expected.text && std::fabs(w.left - expected.left) <= 1.0 &&
                        (!found || std::fabs(w.top - expected.top) < std::fabs(found->top - expected.top)))
                        found = &w;
                }
                ASSERT_NE(found, nullptr) << "\"" << expected.text << "\" at " << expected.left
                                          << " on " << page;
                EXPECT_NEAR(found->top, expected.top, 0.1 * found->size + 0.5) << expected.text;
            }
        }
    }

    // Style: the heading is bold at 18 points, the remark orange.
    Reader reader;
    const std::vector<Word> first = PageWords(dest / "text" / "html" / "P1.html");
    std::map<std::string, std::string> style;
    for (const Word& w : first)
        style[w.text] = w.style;
    EXPECT_EQ(style["Quarterly"], "font-size:27;font-weight:bold;color:000000");
    EXPECT_EQ(style["Orange"], "font-size:16.5;color:ff7f00");
    for (const std::string& word : kForeign)
        EXPECT_EQ(style[word], "font-size:18;color:000000") << word;
}

// A picture on a page: where it lies, in points, measured from the page's
// top left corner.
struct Placed {
    std::string src;
    double left = 0, top = 0, width = 0, height = 0;
};

std::vector<Placed> PagePictures(const fs::path& page, double& pageWidth, double& pageHeight)
{
    Tolvik::IXMLDocument* doc = htmltest::ReadPage(page);
    const auto tables = Elements(doc, "table");
    pageWidth = tables.empty() ? 0 : std::atof(Attr(tables[0], "width").c_str()) / 1.5;
    pageHeight = tables.empty() ? 0 : std::atof(Attr(tables[0], "height").c_str()) / 1.5;
    std::vector<Placed> pictures;
    for (Tolvik::IXMLElement* div : Elements(doc, "div")) {
        for (Tolvik::IXMLElement* img : div->getChildElementsByName("img")) {
            const std::string box = Attr(div, "style");
            pictures.push_back({Attr(img, "src"), StyleNumber(box, "left") / 1.5, StyleNumber(box, "top") / 1.5,
                                std::atof(Attr(img, "width").c_str()) / 1.5,
                                std::atof(Attr(img, "height").c_str()) / 1.5});
        }
    }
    return pictures;
}

// With pictures, each picture region lies at its place on the page, inside
// the page's box, in a file of the page's folder: a picture, a drawing, a
// shaded box under a line of text, and a picture cut at the page's edge.
TEST_F(HtmlConvert, PicturesTakeTheirPlacesOnThePage)
{
    struct Expect {
        const char* pdf;
        int page;
        double left, top, width, height;   // points
    } const expected[] = {
        {"picture", 1, 100, 841.89 - 600, 300, 200},
        {"picture", 2, 72, 841.89 - 700, 200, 200},
        {"drawing", 1, 66, 841.89 - 718, 250, 22},        // the shaded box
        {"drawing", 1, 89.5, 841.89 - 620.5, 121, 121},   // the circle and its stroke
        {"drawing", 1, 480, 841.89 - 450, 115, 150},      // cut at the right edge
    };
    for (const char* name : {"picture", "drawing"}) {
        fs::remove_all(dest / name);
        ASSERT_FALSE(Convert(Pdfs() / (std::string(name) + ".pdf"), false).result.empty());
    }
    Reader reader;   // after the conversions, which bracket the XML layer themselves
    std::map<std::string, int> perPage;
    for (const Expect& e : expected)
        ++perPage[std::string(e.pdf) + std::to_string(e.page)];
    for (const Expect& e : expected) {
        SCOPED_TRACE(std::string(e.pdf) + " page " + std::to_string(e.page));
        const fs::path html = dest / e.pdf / "html";
        double pageWidth = 0, pageHeight = 0;
        const std::vector<Placed> pictures =
            PagePictures(html / ("P" + std::to_string(e.page) + ".html"), pageWidth, pageHeight);
        EXPECT_EQ(static_cast<int>(pictures.size()), perPage[std::string(e.pdf) + std::to_string(e.page)]);
        const Placed* at = nullptr;
        for (const Placed& p : pictures) {
            if (std::fabs(p.left - e.left) < 1.5 && std::fabs(p.top - e.top) < 1.5)
                at = &p;
        }
        ASSERT_NE(at, nullptr) << "no picture at " << e.left << "," << e.top;
        EXPECT_NEAR(at->width, e.width, 1.5);
        EXPECT_NEAR(at->height, e.height, 1.5);
        EXPECT_LE(at->left + at->width, pageWidth + 0.5);
        EXPECT_LE(at->top + at->height, pageHeight + 0.5);
        int w = 0, h = 0;
        ASSERT_TRUE(testutil::JpegSize(html / at->src, w, h)) << at->src;
        EXPECT_NEAR(static_cast<double>(w) / h, e.width / e.height, 0.05 * e.width / e.height);
    }
}

// Real manuals with pictures: the page files hold at least 98% of
// pdftotext's words, and every picture lies inside its page's box.
TEST_F(HtmlConvert, ManualsKeepTheirWordsAndPicturesStayOnThePage)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    for (const char* name : {"003-pdflatex-image_pdflatex-image", "004-pdflatex-4-pages_pdflatex-4-pages",
                             "006-pdflatex-outline_pdflatex-outline", "026-latex-multicolumn_multicolumn"}) {
        SCOPED_TRACE(name);
        const fs::path pdf = corpus / (std::string(name) + ".pdf");
        const Basedata_w item = Convert(pdf, false);
        Reader reader;
        ASSERT_FALSE(item.result.empty());
        const fs::path folder = utf8::Path(item.result);
        int found = 0, total = 0;
        std::string missing;
        ASSERT_TRUE(testutil::WordCoverage(pdf, folder, found, total, missing));
        EXPECT_GE(found, 0.98 * total) << found << " of " << total << "; missing: " << missing;

        int pictures = 0;
        for (int p = 1; fs::exists(folder / "html" / ("P" + std::to_string(p) + ".html")); ++p) {
            double pageWidth = 0, pageHeight = 0;
            for (const Placed& pic : PagePictures(folder / "html" / ("P" + std::to_string(p) + ".html"),
                                                  pageWidth, pageHeight)) {
                ++pictures;
                EXPECT_GE(pic.left, 0) << pic.src;
                EXPECT_GE(pic.top, 0) << pic.src;
                EXPECT_LE(pic.left + pic.width, pageWidth + 0.5) << pic.src;
                EXPECT_LE(pic.top + pic.height, pageHeight + 0.5) << pic.src;
                EXPECT_TRUE(fs::exists(folder / "html" / pic.src)) << pic.src;
            }
        }
        if (std::string(name).rfind("003", 0) == 0) {
            EXPECT_GE(pictures, 1);
        }
    }
}

// Twelve pages give P1.html to P12.html, in page order, and a viewer that
// counts twelve; a name already taken twice gives the folder "(2)".
TEST_F(HtmlConvert, PagesAreNumberedAndNamesNeverReused)
{
    fs::create_directories(dest / "twelve");
    fs::create_directories(dest / "twelve(1)");
    const Basedata_w item = Convert(Pdfs() / "twelve.pdf", true);
    ASSERT_EQ(utf8::Path(item.result), dest / "twelve(2)");
    EXPECT_TRUE(fs::is_empty(dest / "twelve"));
    EXPECT_TRUE(fs::is_empty(dest / "twelve(1)"));

    const fs::path html = dest / "twelve(2)" / "html";
    Reader reader;
    for (int p = 1; p <= 12; ++p) {
        const std::vector<Word> words = PageWords(html / ("P" + std::to_string(p) + ".html"));
        ASSERT_GE(words.size(), 4u) << p;
        // "Page K of 12" heads every page.
        EXPECT_EQ(words[0].text + words[1].text + words[2].text + words[3].text,
                  "Page" + std::to_string(p) + "of12");
    }
    EXPECT_FALSE(fs::exists(html / "P13.html"));
    EXPECT_NE(ReadFile(html / "index.js").find("var lastpage = 12;\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(dest / "twelve(2)" / "twelve(2).html"));
}

// Every file of the corpus converts, in both modes, into a folder whose pages
// are all there (as many as pdfinfo counts), well-formed and pointing at
// pictures that exist; or its item fails and leaves nothing.
TEST_F(HtmlConvert, CorpusConvertsOrFailsCleanly)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() == ".pdf")
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (bool ignoreImages : {true, false}) {
        int converted = 0;
        for (const fs::path& pdf : files) {
            SCOPED_TRACE(pdf.filename().string() + (ignoreImages ? " (text)" : " (pictures)"));
            int state = 0;
            const Basedata_w item = Convert(pdf, ignoreImages, &state);
            if (state == 3) {
                EXPECT_TRUE(item.result.empty());
                EXPECT_TRUE(fs::is_empty(dest));
                continue;
            }
            ASSERT_EQ(state, 2);
            ASSERT_FALSE(item.result.empty());
            ++converted;
            const fs::path html = utf8::Path(item.result) / "html";
            const std::string info = testutil::Run("pdfinfo " + Quote(pdf.string()) + " 2>/dev/null");
            std::smatch m;
            ASSERT_TRUE(std::regex_search(info, m, std::regex("Pages:\\s+([0-9]+)")));
            const int pages = std::stoi(m[1]);
            EXPECT_NE(ReadFile(html / "index.js").find("var lastpage = " + std::to_string(pages) + ";"),
                      std::string::npos);
            Reader reader;
            for (int p = 1; p <= pages; ++p) {
                const fs::path page = html / ("P" + std::to_string(p) + ".html");
                Tolvik::IXMLDocument* doc = htmltest::ReadPage(page);
                ASSERT_TRUE(doc && doc->getRootElement()) << page;
                for (Tolvik::IXMLElement* img : Elements(doc, "img"))
                    EXPECT_TRUE(fs::exists(html / Attr(img, "src"))) << Attr(img, "src");
            }
            EXPECT_FALSE(fs::exists(html / ("P" + std::to_string(pages + 1) + ".html")));
            fs::remove_all(utf8::Path(item.result));
        }
        // The encrypted and the damaged file fail; the others convert.
        EXPECT_GE(converted, static_cast<int>(files.size()) - 2);
    }
}

// Without the templates beside the program the item fails, and nothing is
// left in the output folder or the work folder.
TEST_F(HtmlConvert, MissingTemplatesFailTheItem)
{
    const fs::path empty = work.path() / "noprogram";
    fs::create_directories(empty);
    int state = 0;
    const Basedata_w item = Convert(Pdfs() / "text.pdf", true, &state, utf8::ToWide(empty.string()));
    EXPECT_EQ(state, 3);
    EXPECT_TRUE(item.result.empty());
    EXPECT_TRUE(fs::is_empty(dest));
    const fs::path images = work.path() / "tmp" / "ImageFiles";
    EXPECT_TRUE(!fs::exists(images) || fs::is_empty(images));
}

} // namespace
