// The output content tree: the XHTML each kind writes, its package entries,
// the chapter ids and template filling, and ownership of the tree.
#include "engine/writers/content/chapter.h"
#include "engine/writers/content/chapterbook.h"
#include "engine/writers/content/objectinfo.h"
#include "fakexml.h"

#include <gtest/gtest.h>

namespace {

using fakexml::Element;

WordsInfo* Run(const std::string& text)
{
    auto* w = new WordsInfo;
    w->setContent(text);
    return w;
}

LineInfo* Para(std::initializer_list<const char*> runs)
{
    auto* p = new LineInfo;
    for (const char* r : runs)
        p->appendContent(Run(r));
    return p;
}

ImageInfo* Image(const std::wstring& path)
{
    auto* img = new ImageInfo;
    img->setPath(path);
    return img;
}

// Counts its destructions, to check who deletes what.
struct Probe : ObjectInfo {
    explicit Probe(int* deaths) : deaths(deaths) {}
    ~Probe() override { ++*deaths; }
    void writeXML(Tolvik::IXMLElement*) override {}
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    int* deaths;
};

TEST(WordStyle, ToStyle)
{
    struct Case {
        double size;
        bool bold, italic, underline;
        const char* color;
        double scale;
        const char* expected;
    } cases[] = {
        {12, false, false, false, "", 1.0, "font-size:12;"},
        {12, true, false, false, "ff0000", 1.5, "font-size:18;font-weight:bold;color:ff0000"},
        {10, true, true, true, "000000", 1.0,
         "font-size:10;font-weight:bold;font-style:italic;text-decoration:underline;color:000000"},
        {10.5, false, true, false, "", 1.0, "font-size:10.5;font-style:italic;"},
        {9, false, false, true, "", 2.0, "font-size:18;text-decoration:underline;"},
    };
    for (const Case& c : cases) {
        WordsInfo::WordStyle s;
        s.fontSize = c.size;
        s.bold = c.bold;
        s.italic = c.italic;
        s.underline = c.underline;
        s.color = c.color;
        EXPECT_EQ(s.toStyle(c.scale), c.expected);
    }
}

TEST(ContentXhtml, ParagraphOfRunsKeepsTextAsGiven)
{
    Element body("body");
    LineInfo* p = Para({"Hello", "", "<&> \xC3\xA9t\xC3\xA9"});
    p->writeXML(&body);
    EXPECT_EQ(body.inner(), "<p><span>Hello</span><span></span><span><&> \xC3\xA9t\xC3\xA9</span></p>");
    delete p;
}

TEST(ContentXhtml, TableRowsAndCellSpans)
{
    struct Span {
        int row, col;
        const char* td;
    } spans[] = {
        {0, 1, "<td>"}, {1, 0, "<td rowspan=\"1\">"}, {0, 2, "<td colspan=\"2\">"},
        {2, 3, "<td rowspan=\"2\" colspan=\"3\">"}, {0, -1, "<td>"}, {-1, 1, "<td rowspan=\"-1\">"},
    };
    for (const Span& s : spans) {
        TableInfo table;
        auto* row = new TableRow;
        auto* cell = new TableColumn;
        cell->setRowSpan(s.row);
        cell->setColSpan(s.col);
        cell->appendContent(Para({"x"}));
        row->appendColumn(cell);
        table.appendRow(row);
        Element body("body");
        table.writeXML(&body);
        EXPECT_EQ(body.inner(), std::string("<table cellpadding=\"0\" cellspacing=\"0\" border=\"1\"><tr>") +
                                    s.td + "<p><span>x</span></p></td></tr></table>")
            << s.row << "," << s.col;
    }
}

TEST(ContentXhtml, ImageAndSectionWriteIntoTheParent)
{
    Section section;
    section.appendObject(Para({"a"}));
    section.appendObject(Image(L"image/7.jpg"));
    section.appendObject(nullptr);   // ignored
    PicInfo pic;
    Element body("body");
    section.writeXML(&body);
    pic.writeXML(&body);
    EXPECT_EQ(body.inner(), "<p><span>a</span></p><div><img src=\"image/7.jpg\" alt=\"\"></img></div>"
                            "<div><img alt=\"\"></img></div>");
    EXPECT_EQ(section.getContent().size(), 2u);

    Section empty;
    Element body2("body");
    empty.writeXML(&body2);
    EXPECT_EQ(body2.inner(), "");
}

TEST(ContentPackage, ImagesAddOneItemPerFileWithXmlNameIds)
{
    // Page content with an image at the top level, one in a table cell and
    // the first one again: two items, ids item5 and item6.
    Section section;
    section.appendObject(Image(L"image/1.jpg"));
    auto* table = new TableInfo;
    auto* row = new TableRow;
    auto* cell = new TableColumn;
    cell->appendContent(Image(L"image/2.jpg"));
    row->appendColumn(cell);
    table->appendRow(row);
    section.appendObject(table);
    section.appendObject(Para({"text"}));
    section.appendObject(Image(L"image/1.jpg"));

    Element manifest("manifest");
    int id = 5;
    section.writeOPF(&manifest, id);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(manifest.inner(),
              "<item id=\"item5\" href=\"image/1.jpg\" media-type=\"image/jpeg\"></item>"
              "<item id=\"item6\" href=\"image/2.jpg\" media-type=\"image/jpeg\"></item>");
}

TEST(Chapter, IdsComeFromTheCountersOnlyForNamedChapters)
{
    Chapter::totalid = 0;
    Chapter::ncxtotalid = 0;
    Chapter a("1"), b("2"), c("3");
    Chapter unnamed;
    EXPECT_EQ(a.getId(), 1);
    EXPECT_EQ(b.getId(), 2);
    EXPECT_EQ(c.getId(), 3);
    EXPECT_EQ(c.getNcxId(), 3);
    EXPECT_EQ(unnamed.getId(), 0);
    EXPECT_EQ(unnamed.getNcxId(), 0);
    EXPECT_EQ(unnamed.getName(), "");
    EXPECT_EQ(Chapter::totalid, 3);
    Chapter::totalid = 65535;
    Chapter wrap("w");
    EXPECT_EQ(wrap.getId(), 0);   // 16-bit counter
}

TEST(Chapter, LinksAndUltraParent)
{
    Chapter root("r"), mid("m"), leaf("l");
    EXPECT_EQ(root.getUltraParent(), nullptr);
    mid.setParent(&root);
    leaf.setParent(&mid);
    EXPECT_EQ(leaf.getUltraParent(), &root);
    EXPECT_EQ(mid.getUltraParent(), &root);
}

// html/head/title + body, built as a decoded template.
std::unique_ptr<fakexml::Document> Template(bool headFirst, const std::string& bodyName = "body")
{
    auto doc = std::make_unique<fakexml::Document>("html");
    Element* root = doc->root.get();
    auto addHead = [&] { fakexml::Parsed(fakexml::Parsed(root, "head"), "title")->text = "old"; };
    if (headFirst)
        addHead();
    fakexml::Parsed(root, bodyName);
    if (!headFirst)
        addHead();
    return doc;
}

TEST(Chapter, WriteXmlFillsTitleAndBody)
{
    Chapter chapter("12");
    auto* section = new Section;
    section->appendObject(Para({"one", "two"}));
    chapter.AddContent(section);

    auto doc = Template(true);
    ASSERT_TRUE(chapter.writeXml(doc.get()));
    EXPECT_EQ(doc->enCode(), "<html><head><title>12</title></head>"
                             "<body><p><span>one</span><span>two</span></p></body></html>");

    // A head after the body keeps its title; upper-case BODY is found.
    auto late = Template(false, "BODY");
    ASSERT_TRUE(chapter.writeXml(late.get()));
    EXPECT_EQ(late->enCode(), "<html><BODY><p><span>one</span><span>two</span></p></BODY>"
                              "<head><title>old</title></head></html>");

    // Without a body nothing is written; without a tree likewise.
    auto noBody = Template(true, "div");
    EXPECT_FALSE(chapter.writeXml(noBody.get()));
    EXPECT_EQ(noBody->enCode(), "<html><head><title>old</title></head><div></div></html>");
    fakexml::Document empty;
    EXPECT_FALSE(chapter.writeXml(&empty));
    EXPECT_FALSE(chapter.writeXml(nullptr));
}

TEST(Chapter, FirstChildrenShareTheBodySiblingsDoNot)
{
    Chapter top("t"), child("c"), grandchild("g"), sibling("s");
    auto put = [](Chapter& c, const char* text) {
        auto* s = new Section;
        s->appendObject(Para({text}));
        c.AddContent(s);
    };
    put(top, "T");
    put(child, "C");
    put(grandchild, "G");
    put(sibling, "S");
    top.setFirstChild(&child);
    child.setFirstChild(&grandchild);
    child.setSibling(&sibling);
    auto doc = Template(true);
    ASSERT_TRUE(top.writeXml(doc.get()));
    EXPECT_EQ(doc->root->children[1]->inner(),
              "<p><span>T</span></p><p><span>C</span></p><p><span>G</span></p>");
}

TEST(Chapter, ManifestAndSpineEntries)
{
    Chapter::totalid = 0;
    Chapter::ncxtotalid = 0;
    Chapter page1("1"), page2("2");
    auto* s1 = new Section;
    s1->appendObject(Image(L"image/a.jpg"));
    s1->appendObject(Image(L"image/b.jpg"));
    page1.AddContent(s1);
    page2.AddContent(new Section);

    Element package("package");
    Element* metadata = fakexml::Parsed(&package, "metadata");
    Element* manifest = fakexml::Parsed(&package, "manifest");
    fakexml::Parsed(&package, "guide");
    Element* spine = fakexml::Parsed(&package, "spine");
    (void)metadata;

    int id = 1;
    ASSERT_TRUE(page1.writeOPF(manifest, id));
    ASSERT_TRUE(page2.writeOPF(manifest, id));
    EXPECT_EQ(id, 5);
    EXPECT_EQ(manifest->inner(),
              "<item id=\"item1\" href=\"1.html\" media-type=\"application/xhtml+xml\"></item>"
              "<item id=\"item2\" href=\"image/a.jpg\" media-type=\"image/jpeg\"></item>"
              "<item id=\"item3\" href=\"image/b.jpg\" media-type=\"image/jpeg\"></item>"
              "<item id=\"item4\" href=\"2.html\" media-type=\"application/xhtml+xml\"></item>");
    EXPECT_EQ(spine->inner(), "<itemref idref=\"item1\" linear=\"yes\"></itemref>"
                              "<itemref idref=\"item4\" linear=\"yes\"></itemref>");

    // A manifest with no spine after it takes nothing.
    Element lonely("manifest");
    int other = 1;
    EXPECT_FALSE(page1.writeOPF(&lonely, other));
    EXPECT_EQ(other, 1);
    EXPECT_EQ(lonely.inner(), "");
}

TEST(ChapterBook, InsertRemoveAndDeleteKeepTheChainsWhole)
{
    ChapterBook book;
    Chapter* a = book.createNewChapter("a");
    Chapter* b = book.createNewChapter("b");
    Chapter* c = book.createNewChapter("c");
    Chapter* child = book.createNewChapter("child");
    ASSERT_TRUE(book.insertChapter(nullptr, nullptr, a));
    ASSERT_TRUE(book.insertChapter(nullptr, a, c));
    ASSERT_TRUE(book.insertChapter(nullptr, a, b));   // between a and c
    ASSERT_TRUE(book.insertChapter(b, nullptr, child));
    EXPECT_FALSE(book.insertChapter(nullptr, nullptr, nullptr));

    auto chain = [&] {
        std::string names;
        for (Chapter* ch = book.getFirstChapter(); ch; ch = ch->getSibling())
            names += ch->getName();
        return names;
    };
    EXPECT_EQ(chain(), "abc");
    EXPECT_EQ(b->getFirstChild(), child);
    EXPECT_EQ(child->getParent(), b);

    ASSERT_TRUE(book.removeChapter(nullptr, a, b));
    EXPECT_EQ(chain(), "ac");
    EXPECT_EQ(b->getSibling(), nullptr);
    ASSERT_TRUE(book.deleteChapter(nullptr, nullptr, a));
    EXPECT_EQ(chain(), "c");
    EXPECT_EQ(book.getChapters().size(), 3u);   // b stays owned though unlinked
}

TEST(ContentOwnership, ContainersDeleteWhatTheyHoldOnce)
{
    int deaths = 0;
    {
        Chapter chapter("1");
        auto* section = new Section;
        auto* table = new TableInfo;
        auto* row = new TableRow;
        auto* cell = new TableColumn;
        auto* para = new LineInfo;
        para->appendContent(new Probe(&deaths));
        cell->appendContent(para);
        cell->appendContent(new Probe(&deaths));
        row->appendColumn(cell);
        table->appendRow(row);
        section->appendObject(table);
        section->appendObject(new Probe(&deaths));
        chapter.AddContent(section);
    }
    EXPECT_EQ(deaths, 3);

    // Replacing a list keeps the objects that stay and deletes the others.
    deaths = 0;
    LineInfo line;
    auto* keep = new Probe(&deaths);
    auto* drop = new Probe(&deaths);
    line.appendContent(keep);
    line.appendContent(drop);
    ObjectList next = line.getContents();
    next.erase(next.begin() + 1);
    next.push_back(new Probe(&deaths));
    next.push_back(keep);   // a repeat is held once
    line.setContents(next);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(line.getContents().size(), 2u);

    Section section;
    section.appendObject(new Probe(&deaths));
    section.setContent({});
    EXPECT_EQ(deaths, 2);
}

} // namespace
