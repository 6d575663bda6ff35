// Word 2007 output through the engine's entry points: the package (parts
// well-formed, relationships that resolve, content types, names that never
// replace a file), pages and sections, links to the pages they name under
// every page selection and in merged books, pages made on several threads,
// failures, and password protection read back with msoffcrypto-tool.

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/pagepipeline.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/tests/word07testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::ReadFile;
using testutil::Run;
using testutil::TempDir;
using testutil::WriteFile;
using word07test::Q;
using word07test::RunText;
using word07test::XPathFile;
using word07test::ZipEntries;
using word07test::ZipEntry;

const std::string kProgramDir = TRANCEL_BINARY_DIR "/bin";
const std::string kDecrypt = TRANCEL_SOURCE_DIR "/engine/writers/docx/tests/office_decrypt.py";
const std::string kBody = "/" + Q("w:document") + "/" + Q("w:body");

class Word07Package : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures = new TempDir;
        ASSERT_TRUE(word07test::MakeDocxFixtures(fixtures->str(), "text links mixed blank columns gallery"));
    }
    static void TearDownTestSuite()
    {
        delete fixtures;
        fixtures = nullptr;
    }

    Basedata_w Item(const std::string& fixture, const std::string& exeDir = kProgramDir)
    {
        Basedata_w item;
        item.type = 6;
        item.source = utf8::ToWide(fixtures->str() + fixture + ".pdf");
        item.dest = utf8::ToWide(out.str());
        item.exePath = utf8::ToWide(exeDir);
        return item;
    }

    // Converts the items; returns their result paths (UTF-8).
    std::vector<std::string> Convert(std::vector<Basedata_w> items)
    {
        convert(items, utf8::ToWide(work.str()), nullptr, callback_funcs{});
        std::vector<std::string> results;
        for (const Basedata_w& item : items)
            results.push_back(utf8::FromWide(item.result));
        return results;
    }
    std::string Convert(const Basedata_w& item) { return Convert(std::vector<Basedata_w>{item}).front(); }

    // The main document of a package, saved to a file for xmllint.
    std::string Document(const std::string& docx)
    {
        const std::string path = out.str() + "document-" + std::to_string(++extracted) + ".xml";
        WriteFile(path, ZipEntry(docx, "word/document.xml"));
        return path;
    }

    // The text of each page: the runs of the paragraph after the page's
    // bookmark, by bookmark name.
    std::map<std::string, std::string> PageTexts(const std::string& xml)
    {
        std::map<std::string, std::string> pages;
        const int n = std::atoi(XPathFile(xml, "count(" + kBody + "/" + Q("w:p") + "/" + Q("w:bookmarkStart") + ")").c_str());
        for (int i = 0; i < n; ++i) {
            const std::string name = std::to_string(i);
            const std::string bookmark = kBody + "/" + Q("w:p") + "[" + Q("w:bookmarkStart") + "/@w:name='" + name + "']";
            pages[name] = RunText(xml, bookmark + "/following-sibling::" + Q("w:p") + "[1]");
        }
        return pages;
    }

    // Each hyperlink's text and the text of the page its anchor names ("" when
    // the anchor names no bookmark).
    std::vector<std::pair<std::string, std::string>> Links(const std::string& xml)
    {
        const std::map<std::string, std::string> pages = PageTexts(xml);
        std::vector<std::pair<std::string, std::string>> links;
        const std::string all = "(//" + Q("w:hyperlink") + ")";
        const int n = std::atoi(XPathFile(xml, "count" + all).c_str());
        for (int i = 1; i <= n; ++i) {
            const std::string link = all + "[" + std::to_string(i) + "]";
            const std::string anchor = XPathFile(xml, "string(" + link + "/@w:anchor)");
            auto it = pages.find(anchor);
            links.emplace_back(RunText(xml, link), it == pages.end() ? "" : it->second);
        }
        return links;
    }

    static TempDir* fixtures;
    TempDir out;
    TempDir work;
    int extracted = 0;
};

TempDir* Word07Package::fixtures = nullptr;

// Every part parses (namespaces included), every relationship names a part of
// the package, every part has a content type.
void ExpectSoundPackage(const std::string& docx)
{
    SCOPED_TRACE(docx);
    const std::vector<std::string> entries = ZipEntries(docx);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), "[Content_Types].xml");
    const std::set<std::string> names(entries.begin(), entries.end());
    for (const char* part : {"_rels/.rels", "docProps/app.xml", "docProps/core.xml", "word/document.xml",
                             "word/_rels/document.xml.rels", "word/styles.xml", "word/settings.xml",
                             "word/webSettings.xml", "word/fontTable.xml", "word/theme/theme1.xml"})
        EXPECT_TRUE(names.count(part)) << part;

    TempDir dir;
    Run("cd " + Quote(dir.str()) + " && unzip -q " + Quote(docx));
    const std::string types = dir.str() + "[Content_Types].xml";
    for (const std::string& entry : entries) {
        const std::string ext = entry.substr(entry.rfind('.') + 1);
        if (ext == "xml" || ext == "rels") {
            int status = -1;
            const std::string messages =
                Run("xmllint --noout --nonet " + Quote(dir.str() + entry) + " 2>&1", &status);
            EXPECT_TRUE(status == 0 && messages.empty()) << entry << ": " << messages;
        }
        const std::string typed = XPathFile(
            types, "count(//*[local-name()='Default'][@Extension='" + ext + "'] | //*[local-name()='Override'][@PartName='/" + entry + "'])");
        EXPECT_NE(typed, "0") << entry;
    }
    // Lengths and sizes are whole numbers.
    const std::string document = dir.str() + "word/document.xml";
    EXPECT_EQ(XPathFile(document, "count(//@*[name()='w:line' or name()='w:firstLine' or name()='w:w' or "
                                  "name()='w:h' or name()='w:id' or name()='w:linePitch' or name()='w:space']"
                                  "[translate(., '-0123456789', '') != ''])"),
              "0");
    EXPECT_EQ(XPathFile(document, "count(//*[name()='w:sz' or name()='w:position' or name()='w:spacing']"
                                  "/@*[name()='w:val'][translate(., '-0123456789', '') != ''])"),
              "0");
    for (const std::string& rels : {std::string("_rels/.rels"), std::string("word/_rels/document.xml.rels")}) {
        const std::string file = dir.str() + rels;
        const std::string base = rels == "_rels/.rels" ? "" : "word/";
        const int n = std::atoi(XPathFile(file, "count(//*[local-name()='Relationship'])").c_str());
        ASSERT_GT(n, 0) << rels;
        for (int i = 1; i <= n; ++i) {
            const std::string target =
                XPathFile(file, "string((//*[local-name()='Relationship'])[" + std::to_string(i) + "]/@Target)");
            EXPECT_TRUE(names.count(base + target)) << rels << " -> " << target;
        }
    }
}

TEST_F(Word07Package, PackageIsCompleteAndWellFormed)
{
    const std::string docx = Convert(Item("text"));
    ASSERT_EQ(docx, out.str() + "text.docx");
    ExpectSoundPackage(docx);
    const std::string xml = Document(docx);
    // The text arrives, escaped where XML needs it and with its non-ASCII letters.
    const std::map<std::string, std::string> pages = PageTexts(xml);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_NE(pages.at("0").find("pagemark1"), std::string::npos);
    EXPECT_NE(pages.at("2").find("pagemark3"), std::string::npos);
    EXPECT_NE(pages.at("1").find("R&D a<b x>y"), std::string::npos) << pages.at("1");
    EXPECT_NE(pages.at("1").find("Grüße aus Köln, café naïve Ωmega"), std::string::npos) << pages.at("1");
    // No temporary folder stays behind.
    for (const auto& e : fs::directory_iterator(work.path()))
        EXPECT_NE(e.path().filename().string().rfind("docx-", 0), 0u) << e.path();
}

TEST_F(Word07Package, PicturesAreParts)
{
    TempDir pdfs;
    ASSERT_TRUE(testutil::MakePdfFixtures(pdfs.path(), "pictures"));
    Basedata_w item = Item("text");
    item.source = utf8::ToWide(pdfs.str() + "pictures.pdf");
    const std::string docx = Convert(item);
    ASSERT_FALSE(docx.empty());
    ExpectSoundPackage(docx);
    int media = 0;
    for (const std::string& e : ZipEntries(docx))
        media += e.rfind("word/media/", 0) == 0;
    EXPECT_EQ(media, 3);
    EXPECT_EQ(XPathFile(Document(docx), "count(//" + Q("v:imagedata") + ")"), "3");
}

TEST_F(Word07Package, AnExistingFileIsNeverReplaced)
{
    WriteFile(out.path() / "text.docx", "mine");
    WriteFile(out.path() / "text(1).docx", "mine too");
    EXPECT_EQ(Convert(Item("text")), out.str() + "text(2).docx");
    EXPECT_EQ(ReadFile(out.path() / "text.docx"), "mine");
    EXPECT_EQ(ReadFile(out.path() / "text(1).docx"), "mine too");
}

TEST_F(Word07Package, TwoConversionsInOneProcessWriteTheSameDocument)
{
    const std::string first = Convert(Item("links"));
    const std::string second = Convert(Item("links"));
    ASSERT_NE(first, second);
    EXPECT_EQ(ZipEntry(first, "word/document.xml"), ZipEntry(second, "word/document.xml"));
}

TEST_F(Word07Package, PagesEndWithBreaksAndBlankPagesKeepTheirPage)
{
    const std::string xml = Document(Convert(Item("blank")));
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:bookmarkStart") + ")"), "3");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:br") + "[@w:type='page'])"), "2");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:sectPr") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "name(" + kBody + "/*[last()])"), "w:sectPr");
}

TEST_F(Word07Package, PagesMadeOnManyThreadsShareShapeTypesAndNumberPicturesInDocumentOrder)
{
    // Each page's shapes are made on the thread that analysed it: what
    // depends on the pages before (a shape type defined once, before its
    // first shape; pictures numbered in document order) must come out as
    // if the pages were written one after the other.
    for (int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        PagePipeline::SetThreadLimit(threads);
        const std::string docx = Convert(Item("gallery"));
        PagePipeline::SetThreadLimit(0);
        ASSERT_FALSE(docx.empty());
        ExpectSoundPackage(docx);
        const std::string xml = Document(docx);
        const std::map<std::string, std::string> pages = PageTexts(xml);
        ASSERT_EQ(pages.size(), 8u);
        for (int k = 0; k < 8; ++k)
            EXPECT_NE(pages.at(std::to_string(k)).find("gallery" + std::to_string(k + 1)), std::string::npos) << k;

        // Pictures (75), text boxes (202), turned words (136).
        for (const char* type : {"_x0000_t75", "_x0000_t202", "_x0000_t136"}) {
            const std::string defined = Q("v:shapetype") + "[@id='" + type + "']";
            EXPECT_EQ(XPathFile(xml, "count(//" + defined + ")"), "1") << type;
            EXPECT_EQ(XPathFile(xml, "count((//" + Q("v:shape") + "[@type='#" + type + "'])[1]/preceding::" + defined + ")"),
                      "1")
                << type;
        }

        // One picture a page: the k-th in the document is number k, and its
        // relationship names a part of its own.
        const std::string pictures = "(//" + Q("v:shape") + "[" + Q("v:imagedata") + "])";
        ASSERT_EQ(XPathFile(xml, "count" + pictures), "8");
        TempDir parts;
        WriteFile(parts.path() / "rels.xml", ZipEntry(docx, "word/_rels/document.xml.rels"));
        const std::string rels = parts.str() + "rels.xml";
        std::set<std::string> targets;
        for (int k = 0; k < 8; ++k) {
            const std::string shape = pictures + "[" + std::to_string(k + 1) + "]";
            const std::string n = std::to_string(k);
            EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@id)"), "image_" + n);
            EXPECT_EQ(XPathFile(xml, "string(" + shape + "/" + Q("v:imagedata") + "/@r:id)"), "imgid" + n);
            EXPECT_EQ(XPathFile(xml, "count(" + shape + "/preceding::" + Q("w:bookmarkStart") + ")"),
                      std::to_string(k + 1));
            targets.insert(XPathFile(rels, "string(//*[local-name()='Relationship'][@Id='imgid" + n + "']/@Target)"));
        }
        EXPECT_EQ(targets.size(), 8u);
        EXPECT_EQ(targets.count(""), 0u);
    }
}

TEST_F(Word07Package, EveryPageSizeHasItsSection)
{
    const std::string xml = Document(Convert(Item("mixed")));
    const std::string sections = "(//" + Q("w:sectPr") + ")";
    ASSERT_EQ(XPathFile(xml, "count" + sections), "3");
    const std::vector<std::pair<std::string, std::string>> sizes = {
        {"11900", "16820"}, {"15840", "12240"}, {"8380", "11900"}};
    for (int i = 0; i < 3; ++i) {
        const std::string s = sections + "[" + std::to_string(i + 1) + "]";
        EXPECT_EQ(XPathFile(xml, "string(" + s + "/" + Q("w:pgSz") + "/@w:w)"), sizes[i].first) << i;
        EXPECT_EQ(XPathFile(xml, "string(" + s + "/" + Q("w:pgSz") + "/@w:h)"), sizes[i].second) << i;
        EXPECT_EQ(XPathFile(xml, "string(" + s + "/" + Q("w:type") + "/@w:val)"), i == 0 ? "continuous" : "nextPage");
    }
    // The section breaks start the pages: no page break is left, and the
    // body's own section properties come last.
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:br") + ")"), "0");
    EXPECT_EQ(XPathFile(xml, "name(" + kBody + "/*[last()])"), "w:sectPr");
}

TEST_F(Word07Package, ColumnPageEndsItsSectionOnlyWhenColumnsAreLookedFor)
{
    // Objects in page order (the default): no column analysis, one column.
    std::string xml = Document(Convert(Item("columns")));
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:sectPr") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:br") + ")"), "1");

    // Reading order with graphics drawn ("config.txt"): the column page ends
    // a section of its own, without column records.
    TempDir exe;
    fs::copy(kProgramDir + "/word07template", exe.path() / "word07template", fs::copy_options::recursive);
    WriteFile(exe.path() / "config.txt", "DrawGraphic: true\n");
    Basedata_w item = Item("columns", exe.path().string());
    item.convertKind = true;
    xml = Document(Convert(item));
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:sectPr") + ")"), "2");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:pPr") + "/" + Q("w:sectPr") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:cols") + ")"), "0");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:br") + ")"), "0");
    EXPECT_NE(PageTexts(xml).at("0").find("right column line 39 words"), std::string::npos);
}

TEST_F(Word07Package, LinksPointAtThePagesTheyName)
{
    using LinkList = std::vector<std::pair<std::string, std::string>>;
    // The whole document.
    EXPECT_EQ(Links(Document(Convert(Item("links")))),
              (LinkList{{"jumpfour", "target4 text"}, {"backtwo", "target2 text"}}));

    // Pages 3 and 4: the link to page 2 has no page to point at.
    Basedata_w range = Item("links");
    range.first = 2;
    range.last = 3;
    EXPECT_EQ(Links(Document(Convert(range))), LinkList{});
    EXPECT_EQ(XPathFile(Document(Convert(range)), "count(//" + Q("w:t") + "[.='backtwo'])"), "1");

    // Pages 4, 1 and 2 in that order (a list, as odd and even pages are).
    Basedata_w list = Item("links");
    list.pages = {3, 0, 1};
    EXPECT_EQ(Links(Document(Convert(list))), (LinkList{{"jumpfour", "target4 text"}}));

    // Two documents merged: each links into its own pages.
    std::vector<Basedata_w> items = {Item("links"), Item("links")};
    items[1].pages = {2, 1};
    std::wstring name = L"merged";
    mergeall(items, utf8::ToWide(work.str()), nullptr, callback_funcs{}, name);
    const std::string merged = Document(out.str() + "merged.docx");
    EXPECT_EQ(Links(merged), (LinkList{{"jumpfour", "target4 text"}, {"backtwo", "target2 text"},
                                    {"backtwo", "target2 text"}}));
    const std::string anchors = "(//" + Q("w:hyperlink") + ")";
    EXPECT_EQ(XPathFile(merged, "string(" + anchors + "[3]/@w:anchor)"), "5");
}

TEST_F(Word07Package, WithoutTemplatesTheItemFailsAndLeavesNothing)
{
    // The program folder's template folder lacks a file: none at all, or
    // one of the parts copied as they are while the pages are made.
    const char* const missing[] = {"", "theme1.xml", "[Content_Types].xml"};
    for (const char* file : missing) {
        SCOPED_TRACE(*file ? file : "no template folder");
        TempDir exe;
        if (*file) {
            fs::copy(kProgramDir + "/word07template", exe.path() / "word07template",
                     fs::copy_options::recursive);
            fs::remove(exe.path() / "word07template" / file);
        }
        fs::remove_all(work.path());
        fs::create_directories(work.path());
        std::vector<Basedata_w> items = {Item("text", exe.path().string())};
        std::vector<int> states;
        callback_funcs cb;
        cb.progress = [](void* ctx, int, unsigned message, int value) {
            if (message == WM_PROGRESS_STATE)
                static_cast<std::vector<int>*>(ctx)->push_back(value);
        };
        convert(items, utf8::ToWide(work.str()), &states, cb);
        EXPECT_TRUE(items[0].result.empty());
        EXPECT_EQ(states, (std::vector<int>{ITEM_STARTED, ITEM_FAILED}));
        EXPECT_TRUE(fs::is_empty(out.path()));
        for (const auto& e : fs::directory_iterator(work.path()))
            EXPECT_NE(e.path().filename().string().rfind("docx-", 0), 0u) << e.path();
    }
}

TEST_F(Word07Package, OpenPasswordEncryptsThePackage)
{
    const std::wstring password = L"geheim \u20ac";
    Basedata_w item = Item("text");
    item.wordOp.bOpenPassword = true;
    item.wordOp.openPassword = password.c_str();
    const std::string docx = Convert(item);
    ASSERT_FALSE(docx.empty());
    const std::string bytes = ReadFile(docx);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));

    int status = -1;
    const std::string plain = out.str() + "decrypted.docx";
    const std::string log = testutil::Run("/usr/bin/python3 " + Quote(kDecrypt) + " " + Quote(docx) + " " +
                                    Quote(plain) + " " + Quote("geheim \xe2\x82\xac") + " 2>&1",
                                &status);
    ASSERT_EQ(status, 0) << log;
    ExpectSoundPackage(plain);
    EXPECT_NE(PageTexts(Document(plain)).at("0").find("pagemark1"), std::string::npos);

    // The flag with no password, or an empty one, protects nothing.
    for (const wchar_t* none : {static_cast<const wchar_t*>(nullptr), L""}) {
        Basedata_w open = Item("text");
        open.wordOp.bOpenPassword = true;
        open.wordOp.openPassword = none;
        const std::string path = Convert(open);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(ReadFile(path).substr(0, 2), "PK");
    }
}

} // namespace
