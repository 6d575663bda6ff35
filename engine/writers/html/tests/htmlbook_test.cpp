// Saving the HTML book: the folder tree, the pages, the pictures, the viewer
// script and files, the "(N)" rule, and failures that leave nothing behind.

#include "engine/writers/html/htmlbook.h"
#include "engine/writers/html/htmlcontent.h"
#include "engine/writers/html/htmlwriter.h"

#include "engine/layout/strutil.h"
#include "engine/writers/content/chapter.h"

#include "htmltestutil.h"

#include <regex>
#include <set>

namespace {

using htmltest::Attr;
using htmltest::Elements;
using htmltest::ReadPage;
using htmltest::TextRun;
using testutil::Quote;
using testutil::ReadFile;
using testutil::WriteFile;

namespace fs = std::filesystem;

const char* const kViewerFiles[] = {"bmimg.html", "bookmark.html", "navigation.html",
                                    "navimg.html", "toolbar.html", "page.js"};

class HtmlBookSave : public htmltest::XmlTest {
protected:
    HtmlWriter writer;   // the writer the hand-made blocks call back
    fs::path out;

    void SetUp() override
    {
        XmlTest::SetUp();
        out = work.path() / "out";
        fs::create_directories(out);
        fs::create_directories(work.path() / "ImageFiles");
    }

    std::wstring Dir() const { return utf8::ToWide(out.string()); }

    // Adds page n, linked after the previous one, with one line per text.
    Chapter* AddPage(HtmlBook& book, Chapter* previous, int n, const std::vector<TextRun>& texts)
    {
        Chapter* chapter = book.createNewChapter(int2str(n));
        auto* section = new HtmlSection(1.5);
        section->SetHeight(792);
        section->SetWidth(612);
        std::unique_ptr<TextBlock> block(htmltest::MakeTextBlock(&writer, texts));
        block->Write(static_cast<ObjectInfo*>(section));
        chapter->AddContent(section);
        book.insertChapter(nullptr, previous, chapter);
        return chapter;
    }

    void AddPages(HtmlBook& book, int count)
    {
        Chapter* previous = nullptr;
        for (int n = 1; n <= count; ++n) {
            TextRun s;
            s.text = "Page " + std::to_string(n);
            s.x = 72;
            s.y = 700;
            previous = AddPage(book, previous, n, {s});
        }
    }

    static std::set<std::string> Files(const fs::path& dir)
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.insert(e.path().filename().string());
        return names;
    }

    // Whether node parses the script; the message on failure.
    static ::testing::AssertionResult ScriptParses(const fs::path& script)
    {
        int status = -1;
        const std::string msg = testutil::Run("node --check " + Quote(script.string()) + " 2>&1", &status);
        if (status == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "node --check " << script << " (" << status << "): " << msg;
    }
};

TEST_F(HtmlBookSave, TwelvePagesWriteTheFolderPagesAndViewer)
{
    HtmlBook book(1.5);
    AddPages(book, 12);
    const std::wstring result = book.save(Dir(), L"/report");
    ASSERT_EQ(result, Dir() + L"/report");

    const fs::path f = out / "report";
    EXPECT_EQ(Files(f), (std::set<std::string>{"html", "report.html"}));
    std::set<std::string> expected{"image", "gif", "index.js"};
    for (int n = 1; n <= 12; ++n)
        expected.insert("P" + std::to_string(n) + ".html");
    for (const char* file : kViewerFiles)
        expected.insert(file);
    EXPECT_EQ(Files(f / "html"), expected);

    // Each page is titled with its number and holds its own text.
    for (int n : {1, 7, 12}) {
        Tolvik::IXMLDocument* page = ReadPage(f / "html" / ("P" + std::to_string(n) + ".html"));
        auto titles = Elements(page, "title");
        ASSERT_EQ(titles.size(), 1u);
        EXPECT_EQ(titles[0]->getStrValue(), std::to_string(n));
        auto spans = Elements(page, "span");
        ASSERT_EQ(spans.size(), 1u);
        EXPECT_EQ(spans[0]->getStrValue(), "Page " + std::to_string(n));
    }

    // The script: the page count on its second line, CR LF line ends, ASCII
    // only, and a text that a JavaScript engine accepts.
    const std::string script = ReadFile(f / "html" / "index.js");
    EXPECT_EQ(script.rfind("var firstpage = 1;\r\nvar lastpage = 12;\r\n", 0), 0u);
    EXPECT_EQ(std::regex_search(script, std::regex("[^\r]\n")), false);
    EXPECT_TRUE(std::all_of(script.begin(), script.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_NE(script.find("\"P\" + pageno + \".html\""), std::string::npos);
    EXPECT_TRUE(ScriptParses(f / "html" / "index.js"));
}

// Every picture that the script or a viewer file names is in the "gif"
// folder, and every frame of the index page names a file of "html".
TEST_F(HtmlBookSave, ViewerNamesOnlyFilesThatExist)
{
    HtmlBook book(1.5);
    AddPages(book, 2);
    ASSERT_FALSE(book.save(Dir(), L"/v").empty());
    const fs::path html = out / "v" / "html";

    std::set<std::string> named;
    const std::regex gif("gif/([A-Za-z0-9_]+\\.gif)");
    for (const char* file : {"index.js", "toolbar.html", "navigation.html", "bookmark.html",
                             "navimg.html", "bmimg.html"}) {
        const std::string text = ReadFile(html / file);
        for (std::sregex_iterator it(text.begin(), text.end(), gif), end; it != end; ++it)
            named.insert((*it)[1]);
    }
    EXPECT_GE(named.size(), 20u);
    for (const std::string& name : named)
        EXPECT_TRUE(fs::exists(html / "gif" / name)) << name;

    Tolvik::IXMLDocument* index = ReadPage(out / "v" / "v.html");
    auto bases = Elements(index, "base");
    ASSERT_EQ(bases.size(), 1u);
    EXPECT_EQ(Attr(bases[0], "href"), "html/");
    std::set<std::string> frames;
    for (Tolvik::IXMLElement* frame : Elements(index, "frame")) {
        frames.insert(Attr(frame, "name"));
        const std::string src = Attr(frame, "src");
        if (src != "about:blank") {
            EXPECT_TRUE(fs::exists(html / src)) << src;
        }
    }
    EXPECT_EQ(frames, (std::set<std::string>{"toolbarWin", "navorbm", "navorbmimg", "content"}));
    bool mainframe = false;
    for (Tolvik::IXMLElement* set : Elements(index, "frameset"))
        mainframe = mainframe || (Attr(set, "id") == "mainframe" && Attr(set, "cols") == "134,*");
    EXPECT_TRUE(mainframe);
}

// The pages declare their character set, load their script with a closing
// tag, and never carry an empty-element tag that an HTML parser would leave
// open.
TEST_F(HtmlBookSave, PagesDeclareTheirCharsetAndScript)
{
    HtmlBook book(1.5);
    TextRun s;
    s.text = "Gr\xC3\xBC\xC3\x9F" "e \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xE4\xB8\xAD\xE6\x96\x87";
    s.y = 600;
    AddPage(book, nullptr, 1, {s});
    ASSERT_FALSE(book.save(Dir(), L"/u").empty());
    const std::string page = ReadFile(out / "u" / "html" / "P1.html");
    EXPECT_TRUE(std::regex_search(page, std::regex("<meta[^>]*charset=utf-8", std::regex::icase)))
        << page;
    EXPECT_TRUE(std::regex_search(page, std::regex("<script[^>]*src=\"page.js\"[^>]*[^/]>[^<]+</script>")))
        << page;
    EXPECT_NE(page.find(s.text), std::string::npos);
    for (const char* tag : {"<title/>", "<span/>", "<script/>", "<div/>"})
        EXPECT_EQ(page.find(tag), std::string::npos) << tag;
}

TEST_F(HtmlBookSave, TakenNamesGetTheNextNumber)
{
    fs::create_directories(out / "report");
    fs::create_directories(out / "report(1)");
    WriteFile(out / "report" / "keep.txt", "mine");
    HtmlBook book(1.5);
    AddPages(book, 1);
    EXPECT_EQ(book.save(Dir(), L"/report"), Dir() + L"/report(2)");

    EXPECT_EQ(Files(out / "report"), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(ReadFile(out / "report" / "keep.txt"), "mine");
    EXPECT_TRUE(fs::is_empty(out / "report(1)"));
    const fs::path index = out / "report(2)" / "report(2).html";
    ASSERT_TRUE(fs::exists(index));
    auto titles = Elements(ReadPage(index), "title");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0]->getStrValue(), "/report(2)");
    EXPECT_TRUE(fs::exists(out / "report(2)" / "html" / "P1.html"));

    // A file of the name counts as taken too.
    WriteFile(out / "report(2)x", "");
    WriteFile(out / "solo", "a file");
    HtmlBook other(1.5);
    EXPECT_EQ(other.save(Dir(), L"/solo"), Dir() + L"/solo(1)");
}

TEST_F(HtmlBookSave, BookWithoutPagesStillHasAWorkingViewer)
{
    HtmlBook book(1.5);
    ASSERT_EQ(book.save(Dir(), L"/empty"), Dir() + L"/empty");
    const fs::path html = out / "empty" / "html";
    EXPECT_TRUE(fs::exists(out / "empty" / "empty.html"));
    EXPECT_TRUE(fs::is_directory(html / "image"));
    for (const char* file : kViewerFiles)
        EXPECT_TRUE(fs::exists(html / file)) << file;
    for (const auto& e : fs::directory_iterator(html))
        EXPECT_FALSE(std::regex_match(e.path().filename().string(), std::regex("P[0-9]+\\.html")));
    const std::string script = ReadFile(html / "index.js");
    EXPECT_EQ(script.rfind("var firstpage = 1;\r\nvar lastpage = 0;\r\n", 0), 0u);
    EXPECT_TRUE(ScriptParses(html / "index.js"));
}

// The pictures the engine rendered are copied beside the pages, where the
// pages' "img" elements find them.
TEST_F(HtmlBookSave, PicturesAreCopiedWhereThePagesFindThem)
{
    WriteFile(work.path() / "ImageFiles" / "7.jpg", "jpeg bytes");
    WriteFile(work.path() / "ImageFiles" / "8.jpg", "more bytes");
    HtmlBook book(1.5);
    Chapter* chapter = book.createNewChapter("1");
    auto* section = new HtmlSection(1.5);
    section->SetHeight(792);
    std::unique_ptr<ImageBlock> image(htmltest::MakeImageBlock(&writer, 0, 0, 612, 792, L"image/7.jpg"));
    image->Write(static_cast<ObjectInfo*>(section));
    chapter->AddContent(section);
    book.insertChapter(nullptr, nullptr, chapter);
    ASSERT_FALSE(book.save(Dir(), L"/pics").empty());

    const fs::path html = out / "pics" / "html";
    EXPECT_EQ(Files(html / "image"), (std::set<std::string>{"7.jpg", "8.jpg"}));
    EXPECT_EQ(ReadFile(html / "image" / "8.jpg"), "more bytes");
    auto imgs = Elements(ReadPage(html / "P1.html"), "img");
    ASSERT_EQ(imgs.size(), 1u);
    EXPECT_EQ(Attr(imgs[0], "src"), "image/7.jpg");
    EXPECT_TRUE(fs::exists(html / Attr(imgs[0], "src")));
    EXPECT_EQ(Attr(imgs[0], "width"), "918");
    EXPECT_EQ(Attr(imgs[0], "height"), "1188");
}

// A save that cannot write every piece returns an empty path and leaves no
// folder behind.
TEST_F(HtmlBookSave, FailuresReturnNothingAndLeaveNothing)
{
    const fs::path resources = TRANCEL_SOURCE_DIR "/resources";
    const fs::path partial = work.path() / "partial";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;   // program folder content
        bool copyViewer;
        bool missingDest;
    };
    const std::string bodyless = "<html><head><title></title></head></html>";
    const std::string brokenIndex = "<html><head><title></title></head><frameset>";
    const Case cases[] = {
        {"no page template", {}, true, false},
        {"page template without body", {{"html.html", bodyless}}, true, false},
        {"no viewer templates", {{"html.html", ReadFile(resources / "html.html")}}, false, false},
        {"broken index template",
         {{"html.html", ReadFile(resources / "html.html")}, {"htmltemplate/index.html", brokenIndex}},
         false, false},
        {"no output folder", {{"html.html", ReadFile(resources / "html.html")}}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(partial);
        fs::create_directories(partial);
        for (const auto& [name, text] : c.files)
            WriteFile(partial / name, text);
        if (c.copyViewer)
            fs::copy(resources / "htmltemplate", partial / "htmltemplate", fs::copy_options::recursive);
        GlobalEnum::exepath = utf8::ToWide(partial.string());

        HtmlBook book(1.5);
        AddPages(book, 2);
        const std::wstring dir = c.missingDest ? Dir() + L"/missing" : Dir();
        EXPECT_TRUE(book.save(dir, L"/failed").empty());
        EXPECT_TRUE(fs::is_empty(out)) << "left behind: " << fs::directory_iterator(out)->path();
    }
}

// Pages are written in the order of the chain, and each chapter's file is
// named after it.
TEST_F(HtmlBookSave, ChainOrderAndUnlinking)
{
    HtmlBook book(1.5);
    Chapter* a = book.createNewChapter("1");
    Chapter* b = book.createNewChapter("2");
    Chapter* c = book.createNewChapter("3");
    book.insertChapter(nullptr, nullptr, c);   // 3
    book.insertChapter(nullptr, nullptr, a);   // 1 3
    book.insertChapter(nullptr, a, b);         // 1 2 3
    EXPECT_EQ(book.getFirstChapter(), a);
    EXPECT_EQ(a->getSibling(), b);
    EXPECT_EQ(b->getSibling(), c);

    book.removeChapter(nullptr, a, b);         // 1 3
    EXPECT_EQ(a->getSibling(), c);
    EXPECT_EQ(b->getSibling(), nullptr);
    book.deleteChapter(nullptr, nullptr, a);   // 3
    EXPECT_EQ(book.getFirstChapter(), c);
    EXPECT_EQ(book.getChapters().size(), 2u);

    ASSERT_FALSE(book.save(Dir(), L"/chain").empty());
    EXPECT_TRUE(fs::exists(out / "chain" / "html" / "P3.html"));
    EXPECT_FALSE(fs::exists(out / "chain" / "html" / "P2.html"));
}

} // namespace
