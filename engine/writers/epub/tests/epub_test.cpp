// The EPUB package written from hand-built chapters: validity (epubcheck),
// the zip's entries, the package documents, naming, failures and the
// temporary tree.
#include "engine/layout/globalenum.h"
#include "engine/layout/utf8.h"
#include "engine/writers/content/chapter.h"
#include "engine/writers/content/objectinfo.h"
#include "engine/writers/epub/epub.h"
#include "engine/writers/xml/xercesxml.h"
#include "epubtestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using epubtest::Entries;
using epubtest::Entry;
using epubtest::PassesEpubcheck;
using epubtest::XPath;

const std::wstring kTemplates = utf8::ToWide(TRANCEL_SOURCE_DIR "/resources");

class EpubPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        XercesXMLFactory::getSingleton().initialize();
        GlobalEnum::tmppath = utf8::ToWide(work.str());
        fs::create_directories(work.path() / "ImageFiles");
        fs::create_directories(work.path() / "Files");
    }
    void TearDown() override
    {
        XercesXMLFactory::getSingleton().release();
        GlobalEnum::tmppath = L"./";
    }

    std::wstring Dir() const { return utf8::ToWide(out.path().string()); }
    std::string OutPath(const std::string& name) const { return (out.path() / name).string(); }

    // Adds a page chapter (named and linked as the EPUB writer does).
    Section* AddPage(EPUB& book)
    {
        Chapter* c = book.createNewChapter(std::to_string(++pages));
        auto* s = new Section;
        c->AddContent(s);
        book.insertChapter(nullptr, last, c);
        last = c;
        return s;
    }

    static LineInfo* Para(std::initializer_list<const char*> runs)
    {
        auto* p = new LineInfo;
        for (const char* r : runs) {
            auto* w = new WordsInfo;
            w->setContent(r);
            p->appendContent(w);
        }
        return p;
    }

    static ImageInfo* Image(const std::wstring& path)
    {
        auto* i = new ImageInfo;
        i->setPath(path);
        return i;
    }

    // Only the engine's work folders remain in the temporary folder.
    void ExpectNoPackageFolderLeft() const
    {
        for (const auto& e : fs::directory_iterator(work.path())) {
            const std::string n = e.path().filename().string();
            EXPECT_TRUE(n == "Files" || n == "ImageFiles") << "left behind: " << n;
        }
    }

    testutil::TempDir work;
    testutil::TempDir out;
    int pages = 0;
    Chapter* last = nullptr;
};

TEST_F(EpubPackage, PagesWithTextPicturesAndABlankPageMakeAValidBook)
{
    ASSERT_TRUE(epubtest::MakeJpeg(work.str() + "ImageFiles/1.jpg"));
    ASSERT_TRUE(epubtest::MakeJpeg(work.str() + "ImageFiles/2.jpg"));
    ASSERT_TRUE(epubtest::MakeJpeg(work.str() + "ImageFiles/unused.jpg"));

    EPUB book(kTemplates);
    book.setEpubInfo(new EPUBInfo);
    Section* p1 = AddPage(book);
    p1->appendObject(Para({"Caf\xC3\xA9", " <&> \"q\"", " \xE2\x82\xAC 5"}));
    p1->appendObject(Image(L"image/1.jpg"));
    p1->appendObject(Image(L"image/2.jpg"));
    AddPage(book);   // blank page
    Section* p3 = AddPage(book);
    p3->appendObject(Image(L"image/1.jpg"));   // the same picture again

    const std::wstring result = book.SaveToEPUB(Dir(), L"/My Book");
    const std::string epub = OutPath("My Book.epub");
    ASSERT_EQ(utf8::FromWide(result), epub);
    EXPECT_TRUE(PassesEpubcheck(epub));
    ExpectNoPackageFolderLeft();

    // "mimetype" first, stored, exactly the media type; then the container.
    const std::vector<std::string> entries = Entries(epub);
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], "mimetype");
    EXPECT_EQ(entries[1], "META-INF/container.xml");
    EXPECT_EQ(epubtest::Method(epub, "mimetype"), "none (stored)");
    EXPECT_EQ(Entry(epub, "mimetype"), "application/epub+zip");
    // The pictures the book shows, each once; the unused one stays out.
    std::vector<std::string> images;
    for (const std::string& e : entries) {
        if (e.rfind("OEBPS/image/", 0) == 0)
            images.push_back(e);
    }
    EXPECT_EQ(images, (std::vector<std::string>{"OEBPS/image/1.jpg", "OEBPS/image/2.jpg"}));

    const std::string opf = Entry(epub, "OEBPS/content.opf");
    // xmllint speaks XPath 1.0: read the items one by one.
    std::string ids, hrefs;
    for (int i = 1; i <= 5; ++i) {
        const std::string sel = "(//*[local-name()='item'])[" + std::to_string(i) + "]";
        ids += XPath(opf, "string(" + sel + "/@id)") + ",";
        hrefs += XPath(opf, "string(" + sel + "/@href)") + ",";
    }
    EXPECT_EQ(ids, "ncx,item1,item2,item3,item4,");
    EXPECT_EQ(hrefs, "toc.ncx,1.html,image/1.jpg,image/2.jpg,2.html,");
    EXPECT_EQ(XPath(opf, "count(//*[local-name()='item'])"), "6");
    EXPECT_EQ(XPath(opf, "string(//*[local-name()='itemref'][3]/@idref)"), "item5");
    EXPECT_EQ(XPath(opf, "string(//*[local-name()='title'])"), "My Book");
    EXPECT_EQ(XPath(opf, "string(//*[local-name()='language'])"), "en");
    const std::string uid = XPath(opf, "string(//*[local-name()='identifier'])");
    EXPECT_EQ(uid.rfind("urn:uuid:", 0), 0u) << uid;
    EXPECT_EQ(uid.size(), 45u);

    const std::string ncx = Entry(epub, "OEBPS/toc.ncx");
    EXPECT_EQ(XPath(ncx, "string(//*[local-name()='meta'][@name='dtb:uid']/@content)"), uid);
    EXPECT_EQ(XPath(ncx, "count(//*[local-name()='navPoint'])"), "3");
    EXPECT_EQ(XPath(ncx, "string(//*[local-name()='navPoint'][2]/@playOrder)"), "2");
    EXPECT_EQ(XPath(ncx, "string(//*[local-name()='navPoint'][2]//*[local-name()='text'])"), "page2");
    EXPECT_EQ(XPath(ncx, "string(//*[local-name()='navPoint'][3]/*[local-name()='content']/@src)"),
              "3.html");

    // Text reaches the chapter escaped and intact; the blank page has a body.
    const std::string page1 = Entry(epub, "OEBPS/1.html");
    EXPECT_NE(page1.find("&lt;&amp;&gt;"), std::string::npos) << page1;
    EXPECT_EQ(XPath(page1, "string(//*[local-name()='title'])"), "1");
    EXPECT_EQ(XPath(page1, "normalize-space(//*[local-name()='p'])"), "Caf\xC3\xA9 <&> \"q\" \xE2\x82\xAC 5");
    EXPECT_EQ(XPath(page1, "count(//*[local-name()='img'][@alt=''])"), "2");
    EXPECT_EQ(XPath(Entry(epub, "OEBPS/2.html"), "count(//*[local-name()='body']/*)"), "1");
}

// Pages printed while the book is being made are packed as printed; a
// chapter that changed since (a section more, a chapter below it) is
// printed anew, so the package always holds what the chapters hold.
TEST_F(EpubPackage, PagesPrintedAheadFollowLaterChanges)
{
    EPUB book(kTemplates);
    book.setEpubInfo(new EPUBInfo);
    Section* p1 = AddPage(book);
    p1->appendObject(Para({"first page"}));
    book.stageChapter(last);
    Chapter* second = nullptr;
    {
        Section* p2 = AddPage(book);
        p2->appendObject(Para({"second page"}));
        second = last;
        book.stageChapter(second);
        auto* more = new Section;
        more->appendObject(Para({"added after printing"}));
        second->AddContent(more);
    }
    Section* p3 = AddPage(book);
    p3->appendObject(Para({"third page"}));
    Chapter* third = last;
    book.stageChapter(third);
    Chapter* below = book.createNewChapter("below");
    below->AddContent(new Section);
    below->getContents()[0]->appendObject(Para({"a chapter below"}));
    book.insertChapter(third, nullptr, below);

    ASSERT_FALSE(book.SaveToEPUB(Dir(), L"/staged").empty());
    const std::string epub = OutPath("staged.epub");
    const auto text = [&](const char* entry) {
        return XPath(Entry(epub, entry), "normalize-space(//*[local-name()='body'])");
    };
    EXPECT_EQ(text("OEBPS/1.html"), "first page");
    EXPECT_EQ(text("OEBPS/2.html"), "second page added after printing");
    EXPECT_EQ(text("OEBPS/3.html"), "third page a chapter below");
}

TEST_F(EpubPackage, TakenNamesGetTheNextNumber)
{
    testutil::WriteFile(out.path() / "a.epub", "first");
    testutil::WriteFile(out.path() / "a(1).epub", "second");
    EPUB book(kTemplates);
    AddPage(book)->appendObject(Para({"x"}));
    EXPECT_EQ(utf8::FromWide(book.SaveToEPUB(Dir(), L"/a")), OutPath("a(2).epub"));
    EXPECT_EQ(testutil::ReadFile(out.path() / "a.epub"), "first");
    EXPECT_EQ(testutil::ReadFile(out.path() / "a(1).epub"), "second");
    EXPECT_TRUE(PassesEpubcheck(OutPath("a(2).epub")));
    EXPECT_EQ(book.SaveToEPUB(std::string(out.path().string()), std::string("/a")), OutPath("a[1].epub"));
}

TEST_F(EpubPackage, FailuresGiveNoPathAndLeaveNothing)
{
    testutil::WriteFile(out.path() / "plainfile", "x");
    struct Case {
        const char* what;
        std::wstring dir;
        std::wstring templates;
        bool picture;       // the page shows a picture that is missing
        bool noChapters;
    } cases[] = {
        {"missing output folder", Dir() + L"/missing", kTemplates, false, false},
        {"output folder is a file", Dir() + L"/plainfile", kTemplates, false, false},
        {"missing templates", Dir(), Dir() + L"/none", false, false},
        {"missing picture", Dir(), kTemplates, true, false},
        {"no chapters", Dir(), kTemplates, false, true},
    };
    for (const Case& c : cases) {
        EPUB book(c.templates);
        if (!c.noChapters) {
            Section* s = AddPage(book);
            s->appendObject(Para({"x"}));
            if (c.picture)
                s->appendObject(Image(L"image/gone.jpg"));
        }
        last = nullptr;
        pages = 0;
        EXPECT_EQ(book.SaveToEPUB(c.dir, L"/b"), L"") << c.what;
        EXPECT_FALSE(fs::exists(out.path() / "b.epub")) << c.what;
        ExpectNoPackageFolderLeft();
    }
}

TEST_F(EpubPackage, SourceNamesNeverReachTheWorkFolders)
{
    ASSERT_TRUE(epubtest::MakeJpeg(work.str() + "ImageFiles/7.jpg"));
    testutil::WriteFile(work.path() / "Files" / "keep.bin", "k");
    for (const wchar_t* name : {L"/ImageFiles", L"/Files", L"/"}) {
        EPUB book(kTemplates);
        last = nullptr;
        pages = 0;
        Section* s = AddPage(book);
        s->appendObject(Image(L"image/7.jpg"));
        const std::wstring result = book.SaveToEPUB(Dir(), name);
        ASSERT_FALSE(result.empty()) << utf8::FromWide(name);
        const std::vector<std::string> entries = Entries(utf8::FromWide(result));
        EXPECT_NE(std::find(entries.begin(), entries.end(), "OEBPS/image/7.jpg"), entries.end());
        if (std::wstring(name) == L"/Files") {
            EXPECT_TRUE(PassesEpubcheck(utf8::FromWide(result)));
        }
        EXPECT_TRUE(fs::exists(work.path() / "ImageFiles" / "7.jpg"));
        EXPECT_EQ(testutil::ReadFile(work.path() / "Files" / "keep.bin"), "k");
        ExpectNoPackageFolderLeft();
    }
}

TEST_F(EpubPackage, DocumentStepsSavedOnTheirOwn)
{
    const std::string dir = out.str();
    EPUB book(kTemplates);
    auto* info = new EPUBInfo;
    info->title = "T";
    book.setEpubInfo(info);
    AddPage(book);

    ASSERT_TRUE(book.writeMimetype(dir + "mimetype"));
    EXPECT_EQ(testutil::ReadFile(out.path() / "mimetype"), "application/epub+zip");
    ASSERT_TRUE(book.writeEPUBContainer(utf8::ToWide(dir + "container.xml")));
    EXPECT_EQ(XPath(testutil::ReadFile(out.path() / "container.xml"),
                    "string(//*[local-name()='rootfile']/@full-path)"),
              "OEBPS/content.opf");

    // Metadata elements of the template take the record's texts, empty ones
    // included; a template whose manifest has no spine after it is refused.
    testutil::WriteFile(out.path() / "t.opf",
                        "<package><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                        "<dc:title>old</dc:title><dc:creator>old</dc:creator>"
                        "</metadata><manifest/><spine/></package>");
    auto& factory = XercesXMLFactory::getSingleton();
    ASSERT_TRUE(book.writeOPF(factory.DecodeDocumentFromFile(dir + "t.opf"), dir + "o.opf"));
    const std::string opf = testutil::ReadFile(out.path() / "o.opf");
    EXPECT_EQ(XPath(opf, "string(//*[local-name()='title'])"), "T");
    EXPECT_EQ(XPath(opf, "string(//*[local-name()='creator'])"), "");
    EXPECT_EQ(XPath(opf, "string(//*[local-name()='itemref']/@idref)"), "item1");
    testutil::WriteFile(out.path() / "bad.opf", "<package><metadata/><manifest/></package>");
    EXPECT_FALSE(book.writeOPF(factory.DecodeDocumentFromFile(dir + "bad.opf"), dir + "b.opf"));
    EXPECT_FALSE(fs::exists(out.path() / "b.opf"));
    testutil::WriteFile(out.path() / "bad.ncx", "<ncx><head/><docTitle><text/></docTitle></ncx>");
    EXPECT_FALSE(book.writeNCX(factory.DecodeDocumentFromFile(dir + "bad.ncx"), dir + "b.ncx"));
}

TEST_F(EpubPackage, ChaptersLinkAndUnlink)
{
    EPUB book(kTemplates);
    Chapter* a = book.createNewChapter("1");
    Chapter* b = book.createNewChapter("2");
    Chapter* c = book.createNewChapter("3");
    EXPECT_EQ(a->getId(), 1);
    EXPECT_EQ(c->getNcxId(), 3);
    book.insertChapter(nullptr, nullptr, a);
    book.insertChapter(nullptr, a, c);
    book.insertChapter(nullptr, a, b);   // a, b, c
    EXPECT_EQ(book.getFirstChapter(), a);
    EXPECT_EQ(a->getSibling(), b);
    EXPECT_EQ(b->getSibling(), c);
    book.removeChapter(nullptr, a, b);   // a, c
    EXPECT_EQ(a->getSibling(), c);
    EXPECT_EQ(b->getSibling(), nullptr);
    book.deleteChapter(nullptr, nullptr, a);   // c
    EXPECT_EQ(book.getFirstChapter(), c);
    // A nested chapter: under c.
    book.insertChapter(c, nullptr, b);
    EXPECT_EQ(c->getFirstChild(), b);
    EXPECT_EQ(b->getParent(), c);
}

} // namespace
