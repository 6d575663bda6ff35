// EPUB output end to end: PDFs converted through the engine's entry point
// (output type 1) and the books judged by epubcheck and read back.
#include "engine/layout/callbacks.h"
#include "engine/layout/entry.h"
#include "engine/layout/utf8.h"
#include "epubtestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using epubtest::Entries;
using epubtest::Entry;
using epubtest::PassesEpubcheck;
using epubtest::XPath;

// The PDFs, made once for the whole program.
const testutil::TempDir& Pdfs()
{
    static testutil::TempDir dir;
    static const bool made = [] {
        int status = -1;
        testutil::Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR
                      "/engine/writers/epub/tests/epubfixtures.py " +
                          testutil::Quote(dir.path().string()) +
                          " text twocolumn table pictures onepage blank special figures",
                      &status);
        return status == 0;
    }();
    EXPECT_TRUE(made);
    return dir;
}

struct States {
    std::vector<int> values;   // the item states reported, in order
};

class EpubConvert : public ::testing::Test {
protected:
    // How the pages come out: text only, pages as pictures, or text with
    // its pictures (the desktop program's default).
    enum class Mode { Text, PagePictures, TextAndPictures };

    // Converts one PDF of the fixtures; returns the item after the job.
    Basedata_w Convert(const std::string& pdf, bool pagesAsPictures = false,
                       const std::string& dest = "")
    {
        return Convert(pdf, pagesAsPictures ? Mode::PagePictures : Mode::Text, dest);
    }
    Basedata_w Convert(const std::string& pdf, Mode mode, const std::string& dest = "")
    {
        Basedata_w item;
        item.type = 1;
        item.source = utf8::ToWide((Pdfs().path() / (pdf + ".pdf")).string());
        item.dest = utf8::ToWide(dest.empty() ? out.path().string() : dest);
        item.convertKind = mode == Mode::PagePictures;
        item.epubIgnoreImg = mode == Mode::Text;
        item.exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
        std::vector<Basedata_w> items{item};
        callback_funcs cb{};
        cb.progress = [](void* ctx, int, unsigned message, int value) {
            if (message == WM_PROGRESS_STATE)
                static_cast<States*>(ctx)->values.push_back(value);
        };
        states.values.clear();
        convert(items, utf8::ToWide(work.str()), &states, cb);
        return items[0];
    }

    // The text of every chapter of the book, in spine order, whitespace
    // collapsed.
    static std::string BookText(const std::string& epub)
    {
        std::string all;
        for (const std::string& e : Entries(epub)) {
            if (e.size() > 5 && e.compare(e.size() - 5, 5, ".html") == 0)
                all += XPath(Entry(epub, e), "normalize-space(//*[local-name()='body'])") + " ";
        }
        return all;
    }

    testutil::TempDir work;
    testutil::TempDir out;
    States states;
};

TEST_F(EpubConvert, EveryKindOfPdfMakesAValidBook)
{
    struct Case {
        const char* pdf;
        bool pagesAsPictures;
        std::size_t chapters;
    } cases[] = {
        {"text", false, 3},     {"twocolumn", false, 2}, {"table", false, 1},
        {"pictures", true, 2},  {"onepage", false, 1},   {"blank", false, 1},
        {"special", false, 1},
    };
    for (const Case& c : cases) {
        const Basedata_w item = Convert(c.pdf, c.pagesAsPictures);
        const std::string epub = (out.path() / (std::string(c.pdf) + ".epub")).string();
        ASSERT_EQ(utf8::FromWide(item.result), epub) << c.pdf;
        EXPECT_EQ(states.values, (std::vector<int>{1, 2})) << c.pdf;
        EXPECT_TRUE(PassesEpubcheck(epub));

        // One chapter per page; the pictures packed are exactly those shown.
        const std::vector<std::string> entries = Entries(epub);
        std::size_t chapters = 0;
        std::set<std::string> packed, shown;
        for (const std::string& e : entries) {
            if (e.rfind("OEBPS/image/", 0) == 0)
                packed.insert(e.substr(6));
            if (e.size() > 5 && e.compare(e.size() - 5, 5, ".html") == 0) {
                ++chapters;
                const std::string page = Entry(epub, e);
                const int n = std::stoi(XPath(page, "count(//*[local-name()='img'])"));
                for (int i = 1; i <= n; ++i)
                    shown.insert(XPath(page, "string((//*[local-name()='img'])[" +
                                                 std::to_string(i) + "]/@src)"));
            }
        }
        EXPECT_EQ(chapters, c.chapters) << c.pdf;
        EXPECT_EQ(packed, shown) << c.pdf;
        // The work folders hold nothing of the book afterwards.
        for (const auto& e : fs::recursive_directory_iterator(work.path()))
            EXPECT_TRUE(e.is_directory()) << e.path();
    }
}

TEST_F(EpubConvert, TextTablesAndPicturesReachTheChapters)
{
    const std::string text = utf8::FromWide(Convert("text").result);
    EXPECT_NE(BookText(text).find("Line 1 of page 2 with some words in it."), std::string::npos)
        << BookText(text);

    const std::string special = utf8::FromWide(Convert("special").result);
    const std::string words = BookText(special);
    EXPECT_NE(words.find("Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu, na\xC3\xAFve Stra\xC3\x9F" "e."),
              std::string::npos)
        << words;
    EXPECT_NE(words.find("Tom <&> Jerry."), std::string::npos) << words;
    EXPECT_NE(Entry(special, "OEBPS/1.html").find("&lt;&amp;&gt;"), std::string::npos);

    const std::string table = utf8::FromWide(Convert("table").result);
    const std::string page = Entry(table, "OEBPS/1.html");
    EXPECT_EQ(XPath(page, "count(//*[local-name()='td'])"), "9") << page;
    EXPECT_NE(BookText(table).find("cell22"), std::string::npos);

    // Pages as pictures: one picture per page, each packed once.
    const std::string pictures = utf8::FromWide(Convert("pictures", true).result);
    std::vector<std::string> images;
    for (const std::string& e : Entries(pictures)) {
        if (e.rfind("OEBPS/image/", 0) == 0)
            images.push_back(e);
    }
    EXPECT_EQ(images.size(), 2u);
    for (const char* page : {"OEBPS/1.html", "OEBPS/2.html"})
        EXPECT_EQ(XPath(Entry(pictures, page), "count(//*[local-name()='img'])"), "1") << page;
}

// With pictures the page's text, tables and picture regions come in reading
// order: a picture with what was drawn on it, a drawing of curves with its
// label, a highlight laid over a line (the line stays text), a ruled table
// as a table, and a framed paragraph whose words stay text.
TEST_F(EpubConvert, PicturesTakeTheirPlacesAmongTheText)
{
    const Basedata_w item = Convert("figures", Mode::TextAndPictures);
    const std::string epub = utf8::FromWide(item.result);
    ASSERT_FALSE(epub.empty());
    EXPECT_TRUE(PassesEpubcheck(epub));
    const std::string page = Entry(epub, "OEBPS/1.html");

    // What the body holds, in order: p for a paragraph, img for a picture,
    // table for a table.
    std::string order;
    const int n = std::stoi(XPath(page, "count(//*[local-name()='body']/*)"));
    for (int i = 1; i <= n; ++i) {
        const std::string path = "(//*[local-name()='body']/*)[" + std::to_string(i) + "]";
        std::string kind = XPath(page, "local-name(" + path + ")");
        if (kind == "div")
            kind = XPath(page, "local-name(" + path + "/*)");
        order += (order.empty() ? "" : " ") + kind;
    }
    EXPECT_EQ(order, "p img img p img img table p p") << page;

    const std::string text = BookText(epub);
    for (const char* kept : {"Figures and tables", "A line with a highlight over it.", "cell22",
                             "The closing line."})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in " << text;
    // The framed paragraph's 60 words are all there.
    EXPECT_EQ(XPath(page, "count(//*[local-name()='p'][contains(., 'wizards')])"), "1");
    const std::string framed = XPath(page, "string(//*[local-name()='p'][contains(., 'wizards')])");
    std::istringstream words(framed);
    EXPECT_EQ(std::distance(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()), 60)
        << framed;
    // Labels drawn on a picture or inside a drawing are part of it.
    for (const char* drawn : {"Overprint", "Inside"})
        EXPECT_EQ(text.find(drawn), std::string::npos) << drawn;
    EXPECT_EQ(XPath(page, "count(//*[local-name()='td'])"), "4");

    // Every picture is packed, each used once.
    std::set<std::string> packed;
    for (const std::string& e : Entries(epub)) {
        if (e.rfind("OEBPS/image/", 0) == 0)
            packed.insert(e.substr(6));
    }
    std::set<std::string> shown;
    for (int i = 1; i <= 4; ++i)
        shown.insert(XPath(page, "string((//*[local-name()='img'])[" + std::to_string(i) + "]/@src)"));
    EXPECT_EQ(packed, shown);
    EXPECT_EQ(packed.size(), 4u);
}

// A paragraph whose words are broken at the line ends reads as one text.
TEST_F(EpubConvert, HyphenatedWordsAreJoinedAcrossLines)
{
    int status = -1;
    testutil::Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/engine/layout/tests/textfixtures.py " +
                      testutil::Quote(Pdfs().path().string()) + " hyphens",
                  &status);
    ASSERT_EQ(status, 0);
    const std::string text = BookText(utf8::FromWide(Convert("hyphens").result));
    EXPECT_NE(text.find("Lorem ipsum dolor sit amet, consectetuer adipiscing elit, ut purus elit "
                        "vestibulum ut placerat ac, adipiscing vitae felis, wrote Jean-Pierre to the "
                        "committee and to the whole committee of the town, a letter with a dash set - "
                        "and then a last word on the last line of it."),
              std::string::npos)
        << text;
}

TEST_F(EpubConvert, TwoRunsGiveTheSameChaptersAndTakenNamesAreKept)
{
    testutil::WriteFile(out.path() / "onepage(1).epub", "not ours");
    const std::string first = utf8::FromWide(Convert("onepage").result);
    const std::string second = utf8::FromWide(Convert("onepage").result);
    EXPECT_EQ(first, (out.path() / "onepage.epub").string());
    EXPECT_EQ(second, (out.path() / "onepage(2).epub").string());
    EXPECT_EQ(testutil::ReadFile(out.path() / "onepage(1).epub"), "not ours");
    EXPECT_EQ(Entries(first), Entries(second));
    EXPECT_EQ(Entry(first, "OEBPS/1.html"), Entry(second, "OEBPS/1.html"));
}

TEST_F(EpubConvert, AnOutputFolderThatCannotTakeTheBookFailsTheItem)
{
    testutil::WriteFile(out.path() / "file", "x");
    for (const std::string& dest : {(out.path() / "file").string(), std::string("/proc"),
                                    (out.path() / "missing").string()}) {
        const Basedata_w item = Convert("onepage", false, dest);
        EXPECT_TRUE(item.result.empty()) << dest;
        EXPECT_EQ(states.values, (std::vector<int>{1, 3})) << dest;
    }
    EXPECT_EQ(testutil::ReadFile(out.path() / "file"), "x");
}

} // namespace

namespace {

// Real manuals as books with pictures: the chapters hold at least 98% of
// pdftotext's words, every picture of a page is in its chapter (each use a
// picture of its own), and epubcheck finds no error.
TEST_F(EpubConvert, ManualsKeepTheirWordsAndPictures)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    for (const char* name : {"003-pdflatex-image_pdflatex-image", "004-pdflatex-4-pages_pdflatex-4-pages",
                             "006-pdflatex-outline_pdflatex-outline", "026-latex-multicolumn_multicolumn"}) {
        SCOPED_TRACE(name);
        const fs::path pdf = corpus / (std::string(name) + ".pdf");
        Basedata_w item;
        item.type = 1;
        item.source = utf8::ToWide(pdf.string());
        item.dest = utf8::ToWide(out.path().string());
        item.exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
        std::vector<Basedata_w> items{item};
        convert(items, utf8::ToWide(work.str()), nullptr, callback_funcs{});
        const std::string epub = utf8::FromWide(items[0].result);
        ASSERT_FALSE(epub.empty());
        EXPECT_TRUE(PassesEpubcheck(epub));

        int found = 0, total = 0;
        std::string missing;
        ASSERT_TRUE(testutil::WordCoverage(pdf, epub, found, total, missing));
        EXPECT_GE(found, 0.98 * total) << found << " of " << total << "; missing: " << missing;

        // pdfimages lists each use of a picture: "page num type ...".
        std::map<int, int> uses;
        std::istringstream list(testutil::Run("pdfimages -list " + testutil::Quote(pdf.string())));
        std::string line;
        while (std::getline(list, line)) {
            std::istringstream fields(line);
            int page = 0, num = 0;
            std::string type;
            if (fields >> page >> num >> type && type == "image")
                ++uses[page];
        }
        std::set<std::string> sources;
        int pictures = 0;
        for (const std::string& e : Entries(epub)) {
            if (!std::regex_match(e, std::regex("OEBPS/[0-9]+\\.html")))
                continue;
            const std::string chapter = Entry(epub, e);
            const int n = std::stoi(XPath(chapter, "count(//*[local-name()='img'])"));
            const int page = std::stoi(e.substr(6));
            EXPECT_GE(n, uses[page]) << "page " << page;
            for (int i = 1; i <= n; ++i)
                sources.insert(XPath(chapter, "string((//*[local-name()='img'])[" + std::to_string(i) + "]/@src)"));
            pictures += n;
        }
        EXPECT_EQ(sources.size(), static_cast<std::size_t>(pictures));
    }
}

// Every file of the corpus converts, with pictures and as text, into a book
// whose parts are well-formed and whose package starts right, or fails its
// item cleanly (state 3, no file). A few books of different kinds go through
// epubcheck as well.
TEST_F(EpubConvert, CorpusConvertsOrFailsCleanly)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    const std::set<std::string> checked = {"015-arabic_habibi.pdf", "026-latex-multicolumn_multicolumn.pdf",
                                           "007-imagemagick-images_imagemagick-CCITTFaxDecode.pdf"};
    int books = 0;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() != ".pdf")
            continue;
        for (const bool asText : {false, true}) {
            const std::string name = e.path().filename().string();
            const fs::path dest = out.path() / (asText ? "text" : "pictures");
            fs::create_directories(dest);
            Basedata_w item;
            item.type = 1;
            item.source = utf8::ToWide(e.path().string());
            item.dest = utf8::ToWide(dest.string());
            item.epubIgnoreImg = asText;
            item.exePath = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");
            std::vector<Basedata_w> items{item};
            callback_funcs cb{};
            cb.progress = [](void* ctx, int, unsigned message, int value) {
                if (message == WM_PROGRESS_STATE)
                    static_cast<States*>(ctx)->values.push_back(value);
            };
            states.values.clear();
            convert(items, utf8::ToWide(work.str()), &states, cb);
            const std::string epub = utf8::FromWide(items[0].result);
            if (epub.empty()) {
                EXPECT_EQ(states.values, (std::vector<int>{1, 3})) << name;
                EXPECT_FALSE(fs::exists(dest / (e.path().stem().string() + ".epub"))) << name;
                continue;
            }
            ++books;
            EXPECT_EQ(states.values, (std::vector<int>{1, 2})) << name;
            const std::vector<std::string> entries = Entries(epub);
            ASSERT_GE(entries.size(), 5u) << name;
            EXPECT_EQ(entries[0], "mimetype") << name;
            const testutil::TempDir unpacked;
            int status = -1;
            testutil::Run("unzip -q " + testutil::Quote(epub) + " -d " +
                              testutil::Quote(unpacked.path().string()) +
                              " && cd " + testutil::Quote(unpacked.path().string()) +
                              " && xmllint --nonet --noout META-INF/container.xml OEBPS/*.ncx OEBPS/*.opf "
                              "OEBPS/*.html 2>&1",
                          &status);
            EXPECT_EQ(status, 0) << name;
            if (checked.count(name)) {
                EXPECT_TRUE(PassesEpubcheck(epub));
            }
        }
    }
    EXPECT_GT(books, 0);
}

} // namespace
