// The Office 2007 readers below the PDF typesetter: the small XML reader,
// colours, cell references and part names, and the content events that
// each reader sends for small packages held in memory.
#include "engine/topdf/officexml.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// --- XML reader ----------------------------------------------------------

TEST(OfficeXml, BuildsElementsAttributesAndTexts)
{
    OfficeXml xml;
    ASSERT_TRUE(xml.load(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- a comment -->"
        "<w:document a=\"x y = / > z\" empty=\"\" after=\"1\"><w:p><w:t>a &amp; b</w:t><w:br/>"
        "<w:t>&quot;q&quot; &lt;&gt; &copy; &#65;&#x42;</w:t></w:p></w:document>"));
    const XmlNode* doc = xml.top();
    ASSERT_NE(doc, nullptr);
    EXPECT_STREQ(doc->name, "w:document");
    // A quoted value holds blanks, "=", "/" and ">" without effect; an
    // empty value stays a value of its own attribute.
    EXPECT_EQ(doc->attr("a"), "x y = / > z");
    EXPECT_TRUE(doc->hasAttr("empty"));
    EXPECT_EQ(doc->attr("empty"), "");
    EXPECT_EQ(doc->attr("after"), "1");
    EXPECT_EQ(doc->attr("missing"), "");
    const XmlNode* p = doc->child("w:p");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(doc->nextSibling, nullptr) << "the comment made an element";
    const XmlNode* t = p->child("w:t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->textView(), "a & b");
    // A self-closing element is a leaf between its siblings.
    ASSERT_NE(t->nextSibling, nullptr);
    EXPECT_STREQ(t->nextSibling->name, "w:br");
    EXPECT_EQ(t->nextSibling->firstChild, nullptr);
    EXPECT_EQ(t->nextSibling->nextSibling->textView(), "\"q\" <> &copy; AB");
    EXPECT_EQ(doc->child("w:t", true), t);
}

TEST(OfficeXml, NoBreakSpacesBecomeBlanksAcrossWholeCharacters)
{
    struct Case {
        std::string text, expected;
    };
    // The scan steps over each character by its own length: after a
    // two-byte "é" the no-break space right behind it is still found, and
    // a token ending in a short character is never read past its end.
    const std::vector<Case> cases = {
        {"a\xC2\xA0" "b", "a  b"},
        {"\xC3\xA9\xC2\xA0x", "\xC3\xA9  x"},
        {"\xE2\x82\xAC\xC2\xA0\xF0\x9F\x98\x80\xC2\xA0", "\xE2\x82\xAC  \xF0\x9F\x98\x80  "},
        {"\xC3\xA9", "\xC3\xA9"},
        {"x&nbsp;y\ttab", "x ytab"},
    };
    for (const Case& c : cases) {
        OfficeXml xml;
        ASSERT_TRUE(xml.load("<t>" + c.text + "</t>"));
        EXPECT_EQ(xml.top()->textView(), c.expected) << c.text;
    }
}

TEST(OfficeXml, MalformedMarkupEndsTheTreeSafely)
{
    const std::vector<std::string> inputs = {
        "<a><b></a></b></c></d>", "<a x=\"unterminated>", ">>><<<", "<a/></a></a>", "<", "\"<\"", "<a =\"v\" =>",
        std::string(1000, '<') + std::string(1000, '>'),
    };
    for (const std::string& input : inputs) {
        OfficeXml xml;
        xml.load(input);
        WalkXml(xml.root(), [](const XmlNode*) {}, [](const XmlNode*) {});
    }
    // A deep document is walked and searched without recursion.
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "<d>";
    deep += "<leaf/>";
    OfficeXml xml;
    xml.load(deep);
    int count = 0;
    WalkXml(xml.root(), [&](const XmlNode*) { ++count; }, [](const XmlNode*) {});
    EXPECT_EQ(count, 200001);
    EXPECT_NE(xml.root()->child("leaf", true), nullptr);
}

TEST(OfficeColours, NamesAndDigits)
{
    const std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"red", 0x0000FF},   {"FF0000", 0x0000FF}, {"00ff80", 0x80FF00}, {"auto", 0xFFFFFF},
        {"maroon", 0x6030B0}, {"gray", 0xBEBEBE},  {"", 0},               {"#FF0000", 0x00F00F},
        {"Red", 0x00D00E},
    };
    for (const auto& [text, colour] : cases)
        EXPECT_EQ(colorFromString(text), colour) << text;
    EXPECT_EQ(colorFromString(static_cast<const char*>(nullptr)), 0u);
    // Lightness scaling: 50% of a mid grey halves it; black stays black.
    EXPECT_EQ(applyLumMod(0x808080, 50000), 0x404040u);
    EXPECT_EQ(applyLumMod(0, 50000), 0u);
    EXPECT_EQ(applyLumMod(0x0000FF, 100000), 0x0000FFu);
}

TEST(OfficeCells, ReferencesPastZZ)
{
    struct Case {
        const char* ref;
        bool ok;
        int column, row;
    };
    const std::vector<Case> cases = {
        {"A1", true, 1, 1},      {"Z9", true, 26, 9},       {"AA1", true, 27, 1},  {"AZ2", true, 52, 2},
        {"ZZ3", true, 702, 3},   {"AAA4", true, 703, 4},    {"XFD1048576", true, 16384, 1048576},
        {"XFE1", false, 0, 0},   {"A1048577", false, 0, 0}, {"A", false, 0, 0},    {"12", false, 0, 0},
        {"a1", false, 0, 0},     {"A0", false, 0, 0},
    };
    for (const Case& c : cases) {
        int column = 0, row = 0;
        EXPECT_EQ(ParseCellRef(c.ref, column, row), c.ok) << c.ref;
        if (c.ok) {
            EXPECT_EQ(std::make_pair(column, row), std::make_pair(c.column, c.row)) << c.ref;
        }
    }
    CellRange range;
    ASSERT_TRUE(ParseCellRange("C3:AB2", range));
    EXPECT_EQ(range.firstColumn, 3);
    EXPECT_EQ(range.lastColumn, 28);
    EXPECT_EQ(range.firstRow, 2);
    EXPECT_EQ(range.lastRow, 3);
}

TEST(OfficeParts, TargetsStayInsideThePackage)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"word/", "media/image1.png", "word/media/image1.png"},
        {"ppt/slides/", "../media/image2.jpeg", "ppt/media/image2.jpeg"},
        {"word/", "/word/media/a.png", "word/media/a.png"},
        {"word/", "../../etc/passwd", ""},
        {"word/", "media/../../../x", ""},
        {"word/", "http://example.org/a.png", ""},
        {"word/", "C:\\x.png", ""},
        {"word/", "", ""},
    };
    for (const auto& [base, target, part] : cases)
        EXPECT_EQ(ResolvePartName(base, target), part) << target;
    EXPECT_EQ(NumberAfter("../slideLayouts/slideLayout12.xml", "../slideLayouts/slideLayout"), 12);
    EXPECT_EQ(NumberAfter("../theme/theme99999999999.xml", "../theme/theme"), 0);
}

// --- Readers on packages in memory ---------------------------------------

struct Event {
    unsigned code = 0;
    int len = 0;
    std::uintptr_t arg = 0;
    std::string text;
    RunStyle style;
};

class MemoryPackage : public OfficeReaderContext {
public:
    bool readPart(const std::string& name, std::string& bytes) const override
    {
        const auto it = parts.find(name);
        if (it == parts.end())
            return false;
        bytes = it->second;
        return true;
    }

    std::vector<Event> run(void (*reader)(OfficeReaderContext&))
    {
        std::vector<Event> events;
        callback = [](void* user, const void* data, int len, unsigned code, std::uintptr_t arg) {
            Event e;
            e.code = code;
            e.len = len;
            e.arg = arg;
            if (code == CE_TEXT_UTF8)
                e.text = static_cast<const char*>(data);
            if (code == CE_TEXT_UTF8 || code == CE_NEXT_CELL)
                e.style = *reinterpret_cast<const RunStyle*>(arg);
            static_cast<std::vector<Event>*>(user)->push_back(e);
        };
        user = &events;
        reader(*this);
        return events;
    }

    std::map<std::string, std::string> parts;
};

const Event* FindText(const std::vector<Event>& events, const std::string& text)
{
    for (const Event& e : events) {
        if (e.code == CE_TEXT_UTF8 && e.text == text)
            return &e;
    }
    return nullptr;
}

std::vector<Event> Of(const std::vector<Event>& events, unsigned code, int len = -1)
{
    std::vector<Event> out;
    for (const Event& e : events) {
        if (e.code == code && (len < 0 || e.len == len))
            out.push_back(e);
    }
    return out;
}

std::string Docx(const std::string& body)
{
    return "<w:document><w:body>" + body + "</w:body></w:document>";
}

TEST(DocxReader, RunPropertiesAndAutomaticColour)
{
    MemoryPackage pkg;
    pkg.parts["word/document.xml"] = Docx(
        "<w:p><w:pPr><w:jc w:val=\"center\"/><w:rPr><w:b/></w:rPr></w:pPr>"
        "<w:r><w:rPr><w:color w:val=\"auto\"/><w:sz w:val=\"24\"/></w:rPr><w:t>auto</w:t></w:r>"
        "<w:r><w:rPr><w:color w:val=\"FF0000\"/><w:highlight w:val=\"darkYellow\"/><w:i/></w:rPr><w:t>red</w:t></w:r>"
        "<w:r><w:rPr><w:highlight w:val=\"none\"/><w:b w:val=\"false\"/><w:u w:val=\"single\"/></w:rPr><w:t>plain</w:t></w:r>"
        "</w:p>");
    const std::vector<Event> events = pkg.run(readDocxToPdf);
    const Event* automatic = FindText(events, "auto");
    ASSERT_NE(automatic, nullptr);
    // The automatic colour is black, never white on the white page.
    EXPECT_EQ(automatic->style.colour, 0u);
    EXPECT_EQ(automatic->style.fontSize, 14);
    EXPECT_EQ(automatic->style.align, 2);
    EXPECT_EQ(automatic->style.bold, 0) << "the paragraph mark's bold formats no text";
    const Event* red = FindText(events, "red");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->style.colour, 0x0000FFu);
    EXPECT_EQ(red->style.backColour, 0x008080u);
    EXPECT_EQ(red->style.italic, 1);
    EXPECT_EQ(red->style.fontSize, 12) << "run properties reset after each run";
    const Event* plain = FindText(events, "plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->style.backColour, 0xFFFFFFu);
    EXPECT_EQ(plain->style.bold, 0);
    EXPECT_EQ(plain->style.underline, 1);
    EXPECT_EQ(Of(events, CE_LINE_END).size(), 1u);
}

TEST(DocxReader, TableEvents)
{
    MemoryPackage pkg;
    pkg.parts["word/document.xml"] = Docx(
        "<w:tbl><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"3001\"/></w:tblGrid>"
        "<w:tr><w:trPr><w:trHeight w:val=\"360\"/></w:trPr>"
        "<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/><w:vMerge w:val=\"restart\"/>"
        "<w:tcBorders><w:top w:val=\"single\" w:sz=\"4\"/></w:tcBorders>"
        "<w:shd w:fill=\"99CCFF\"/><w:vAlign w:val=\"center\"/></w:tcPr>"
        "<w:p><w:r><w:t>one</w:t></w:r><w:r><w:t>two</w:t></w:r></w:p></w:tc>"
        "<w:tc><w:tcPr><w:tcW w:w=\"50\" w:type=\"pct\"/></w:tcPr><w:p><w:r><w:t>right</w:t></w:r></w:p></w:tc></w:tr>"
        "<w:tr><w:tc><w:tcPr><w:vMerge/></w:tcPr><w:p/></w:tc><w:tc><w:p/></w:tc></w:tr>"
        "</w:tbl><w:p><w:r><w:t>after</w:t></w:r></w:p>");
    const std::vector<Event> events = pkg.run(readDocxToPdf);
    const std::vector<Event> table = Of(events, CE_TABLE);
    ASSERT_GE(table.size(), 3u);
    EXPECT_EQ(table[0].len, TABLE_COLUMN);
    EXPECT_EQ(table[0].arg, 0u);
    // Twips become table units of 1/18 point.
    EXPECT_EQ(table[1].arg, 1800u);
    EXPECT_EQ(table[2].arg, 2701u);
    EXPECT_EQ(Of(events, CE_TABLE, TABLE_ROW_HEIGHT).at(0).arg, 324u);
    EXPECT_EQ(Of(events, CE_TABLE, TABLE_BORDERS).at(0).arg, 4u);
    const std::vector<Event> widths = Of(events, CE_TABLE, TABLE_CELL_WIDTH);
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_EQ(widths[0].arg, 1800u);
    EXPECT_EQ(widths[1].arg, 0u) << "a percentage is no width in table units";
    // restart, then a continuation written without a value.
    const std::vector<Event> merges = Of(events, CE_TABLE, TABLE_VMERGE);
    ASSERT_EQ(merges.size(), 2u);
    EXPECT_EQ(merges[0].arg, 3u);
    EXPECT_EQ(merges[1].arg, 2u);
    // The shading lasts for every run of its cell and becomes the cell's.
    EXPECT_EQ(FindText(events, "one")->style.backColour, 0xFFCC99u);
    EXPECT_EQ(FindText(events, "two")->style.backColour, 0xFFCC99u);
    EXPECT_EQ(FindText(events, "two")->style.vAnchor, 2);
    const std::vector<Event> cells = Of(events, CE_NEXT_CELL);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[0].style.backColour, 0xFFCC99u);
    EXPECT_EQ(cells[1].style.backColour, 0xFFFFFFu);
    EXPECT_EQ(Of(events, CE_ROW_END).size(), 2u);
    EXPECT_EQ(Of(events, CE_TABLE_END).size(), 1u);
    EXPECT_EQ(FindText(events, "after")->style.backColour, 0xFFFFFFu);
}

TEST(DocxReader, PicturesOnlyOfKnownKindsFromInsideThePackage)
{
    MemoryPackage pkg;
    pkg.parts["word/_rels/document.xml.rels"] =
        "<Relationships><Relationship Id=\"rId1\" Target=\"media/a.png\"/>"
        "<Relationship Id=\"rId2\" Target=\"media/b.tif\"/>"
        "<Relationship Id=\"rId3\" Target=\"media/missing.png\"/>"
        "<Relationship Id=\"rId4\" Target=\"../../outside.png\"/>"
        "<Relationship Id=\"rId5\" Target=\"media/c.jpeg\"/></Relationships>";
    pkg.parts["word/media/a.png"] = std::string("\x89PNG\r\n\x1a\n", 8);
    pkg.parts["word/media/b.tif"] = "II*\0";
    pkg.parts["word/media/c.jpeg"] = "\xFF\xD8\xFF";
    pkg.parts["outside.png"] = std::string("\x89PNG", 4);
    std::string body;
    for (int i = 1; i <= 6; ++i)
        body += "<w:p><w:r><w:drawing><a:blip r:embed=\"rId" + std::to_string(i) + "\"/></w:drawing></w:r></w:p>";
    pkg.parts["word/document.xml"] = Docx(body);
    const std::vector<Event> pictures = Of(pkg.run(readDocxToPdf), CE_PICTURE);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].arg, 2u);   // PNG
    EXPECT_EQ(pictures[1].arg, 0u);   // JPEG
    // Without relationships the text still comes.
    pkg.parts.erase("word/_rels/document.xml.rels");
    pkg.parts["word/document.xml"] = Docx(body + "<w:p><w:r><w:t>text</w:t></w:r></w:p>");
    const std::vector<Event> events = pkg.run(readDocxToPdf);
    EXPECT_TRUE(Of(events, CE_PICTURE).empty());
    EXPECT_NE(FindText(events, "text"), nullptr);
}

std::string Sheet(const std::string& rows, const std::string& extra = std::string())
{
    return "<worksheet><sheetData>" + rows + "</sheetData>" + extra + "</worksheet>";
}

TEST(XlsxReader, CellsColumnsAndMergedRanges)
{
    MemoryPackage pkg;
    pkg.parts["xl/sharedStrings.xml"] = "<sst><si><t>first</t></si><si><r><t>ri</t></r><r><t>ch</t></r></si></sst>";
    pkg.parts["xl/worksheets/sheet1.xml"] = Sheet(
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\"><v>3</v></c><c r=\"D1\" t=\"s\"><v>9</v></c></row>"
        "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>1</v></c><c r=\"C2\"><v>hidden</v></c></row>"
        "<row r=\"3\"><c r=\"B3\"/><c r=\"D3\"><v>x</v></c></row>",
        "<mergeCells><mergeCell ref=\"B2:C3\"/></mergeCells>");
    const std::vector<Event> events = pkg.run(readXlsxToPdf);
    EXPECT_EQ(Of(events, CE_NEW_PAGE).size(), 1u);
    EXPECT_EQ(Of(events, CE_TABLE, TABLE_BORDERS).at(0).arg, 1u);
    // Four columns of the default width, then the cells.
    std::vector<Event> columns = Of(events, CE_TABLE, TABLE_COLUMN);
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[4].arg, 1072u);
    // Row 1: A, the empty B, C, D (an index past the table shows itself).
    EXPECT_NE(FindText(events, "first"), nullptr);
    EXPECT_NE(FindText(events, "9"), nullptr);
    EXPECT_NE(FindText(events, "rich"), nullptr);
    EXPECT_EQ(FindText(events, "hidden"), nullptr) << "a merged range shows its first cell only";
    const std::vector<Event> widths = Of(events, CE_TABLE, TABLE_CELL_WIDTH);
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_EQ(widths[0].arg, 2144u);
    const std::vector<Event> merges = Of(events, CE_TABLE, TABLE_VMERGE);
    ASSERT_EQ(merges.size(), 1u);
    EXPECT_EQ(merges[0].arg, 2u);
    // Per row: the columns not covered by a wide cell end in a next-cell.
    EXPECT_EQ(Of(events, CE_NEXT_CELL).size(), 4u + 3u + 3u);
    EXPECT_EQ(Of(events, CE_ROW_END).size(), 3u);
    EXPECT_EQ(Of(events, CE_TABLE_END).size(), 1u);
}

// Sheets come in the workbook's order; a listed sheet that is missing is
// left out and the ones after it still come.
TEST(XlsxReader, SheetsInWorkbookOrder)
{
    MemoryPackage pkg;
    pkg.parts["xl/workbook.xml"] = "<workbook><sheets><sheet name=\"c\" r:id=\"rId3\"/><sheet name=\"b\" "
                                   "r:id=\"rId2\"/><sheet name=\"a\" r:id=\"rId1\"/></sheets></workbook>";
    pkg.parts["xl/_rels/workbook.xml.rels"] =
        "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Target=\"worksheets/sheet2.xml\"/>"
        "<Relationship Id=\"rId3\" Target=\"/xl/worksheets/sheet3.xml\"/></Relationships>";
    pkg.parts["xl/worksheets/sheet1.xml"] = Sheet("<row r=\"1\"><c r=\"A1\"><v>first</v></c></row>");
    pkg.parts["xl/worksheets/sheet3.xml"] = Sheet("<row r=\"1\"><c r=\"A1\"><v>third</v></c></row>");
    const std::vector<Event> events = pkg.run(readXlsxToPdf);
    EXPECT_EQ(Of(events, CE_NEW_PAGE).size(), 2u);
    std::vector<std::string> texts;
    for (const Event& e : Of(events, CE_TEXT_UTF8))
        texts.push_back(e.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"third", "first"}));
}

TEST(XlsxReader, StyleIndexesAreChecked)
{
    MemoryPackage pkg;
    pkg.parts["xl/worksheets/sheet1.xml"] =
        Sheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>a</v></c><c r=\"B1\" s=\"7\"><v>b</v></c>"
              "<c r=\"C1\" s=\"2\"><v>c</v></c><c r=\"AAA1\" s=\"99999999999\"><v>far</v></c></row>");
    // No styles at all: every cell converts with the reset style.
    std::vector<Event> events = pkg.run(readXlsxToPdf);
    ASSERT_NE(FindText(events, "far"), nullptr);
    EXPECT_EQ(Of(events, CE_TABLE, TABLE_COLUMN).size(), 1u + 703u);
    EXPECT_EQ(FindText(events, "b")->style.backColour, 0xFFFFFFu);

    pkg.parts["xl/styles.xml"] =
        "<styleSheet><fonts><font><sz val=\"10\"/></font><font><b/><sz val=\"14\"/><color rgb=\"FFFF0000\"/></font></fonts>"
        "<fills><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>"
        "<fill><patternFill patternType=\"solid\"><fgColor indexed=\"5\"/></patternFill></fill></fills>"
        "<cellXfs><xf fontId=\"0\" fillId=\"0\"/><xf fontId=\"1\" fillId=\"2\"><alignment horizontal=\"right\" "
        "vertical=\"center\"/></xf><xf fontId=\"9\" fillId=\"1\"><alignment wrapText=\"1\"/></xf></cellXfs></styleSheet>";
    events = pkg.run(readXlsxToPdf);
    const Event* a = FindText(events, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->style.bold, 1);
    EXPECT_EQ(a->style.fontSize, 14);
    EXPECT_EQ(a->style.colour, 0x0000FFu);
    EXPECT_EQ(a->style.backColour, 0x00FFFFu);
    EXPECT_EQ(a->style.align, 3);
    EXPECT_EQ(a->style.vAnchor, 2);
    EXPECT_EQ(a->style.clipToLine, 1) << "wrap text off keeps one line";
    const Event* c = FindText(events, "c");
    ASSERT_NE(c, nullptr);
    // A font index past the table keeps the reset font; a pattern fill
    // without a colour paints nothing (no black cells).
    EXPECT_EQ(c->style.bold, 0);
    EXPECT_EQ(c->style.backColour, 0xFFFFFFu);
    EXPECT_EQ(c->style.clipToLine, 0);
    EXPECT_EQ(FindText(events, "b")->style.backColour, 0xFFFFFFu);
}

std::string Presentation(const std::string& size, const std::string& slides)
{
    return "<p:presentation><p:sldIdLst>" + slides + "</p:sldIdLst>" + size + "</p:presentation>";
}

TEST(PptxReader, SlideSizeAndPlacesInPoints)
{
    struct Case {
        std::string size;
        int width, height;
    };
    const std::vector<Case> cases = {
        {"<p:sldSz cx=\"10080000\" cy=\"5670000\"/>", 792, 445},
        {"<p:sldSz cx=\"9144000\" cy=\"6858000\"/>", 792, 594},
        {"<p:sldSz cx=\"0\" cy=\"0\"/>", 792, 612},
        {"<p:sldSz cx=\"500\" cy=\"700\"/>", 792, 612},
        {"<p:sldSz cx=\"9144000\" cy=\"-5\"/>", 792, 612},
        {"", 792, 612},
    };
    for (const Case& c : cases) {
        MemoryPackage pkg;
        pkg.parts["ppt/presentation.xml"] = Presentation(c.size, "");
        pkg.parts["ppt/slides/slide1.xml"] =
            "<p:sld><p:cSld><p:spTree><p:sp><p:spPr><a:xfrm><a:off x=\"1000000\" y=\"1000000\"/>"
            "<a:ext cx=\"2000000\" cy=\"500000\"/></a:xfrm></p:spPr><p:txBody><a:p><a:r><a:rPr sz=\"3200\" b=\"1\"/>"
            "<a:t>Title</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>";
        const std::vector<Event> events = pkg.run(readPptxToPdf);
        const std::vector<Event> size = Of(events, CE_PAGE_SIZE);
        ASSERT_EQ(size.size(), 1u) << c.size;
        EXPECT_EQ(size[0].len, c.width) << c.size;
        EXPECT_EQ(static_cast<int>(size[0].arg), c.height) << c.size;
        EXPECT_EQ(Of(events, CE_NEW_PAGE).size(), 1u);
        const Event* title = FindText(events, "Title");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->style.fontSize, 32);
        EXPECT_EQ(title->style.bold, 1);
        const std::vector<Event> moves = Of(events, CE_MOVE_TO);
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_GT(moves[0].len, 0);
        EXPECT_LT(static_cast<int>(moves[0].arg), c.height);
    }
}

TEST(PptxReader, MissingSlidesAndSelfReferringDrawings)
{
    MemoryPackage pkg;
    pkg.parts["ppt/presentation.xml"] =
        Presentation("", "<p:sldId r:id=\"rId1\"/><p:sldId r:id=\"rId2\"/><p:sldId r:id=\"rId3\"/>");
    pkg.parts["ppt/_rels/presentation.xml.rels"] =
        "<Relationships><Relationship Id=\"rId1\" Target=\"slides/slide1.xml\"/>"
        "<Relationship Id=\"rId2\" Target=\"slides/slide2.xml\"/>"
        "<Relationship Id=\"rId3\" Target=\"slides/slide3.xml\"/></Relationships>";
    pkg.parts["ppt/slides/slide1.xml"] = "<p:sld><a:p><a:r><a:t>one</a:t></a:r></a:p><dgm:relIds/></p:sld>";
    pkg.parts["ppt/slides/_rels/slide1.xml.rels"] =
        "<Relationships><Relationship Id=\"rId5\" Target=\"../diagrams/drawing1.xml\"/></Relationships>";
    // The drawing names a diagram itself: it is walked once.
    pkg.parts["ppt/diagrams/drawing1.xml"] = "<dsp:drawing><a:t>inside</a:t><dgm:relIds/></dsp:drawing>";
    pkg.parts["ppt/slides/slide3.xml"] = "<p:sld><a:p><a:r><a:t>three</a:t></a:r></a:p></p:sld>";
    const std::vector<Event> events = pkg.run(readPptxToPdf);
    EXPECT_EQ(Of(events, CE_NEW_PAGE).size(), 2u) << "the missing middle slide is left out, the last one kept";
    EXPECT_NE(FindText(events, "three"), nullptr);
    int inside = 0;
    for (const Event& e : events)
        inside += e.code == CE_TEXT_UTF8 && e.text == "inside";
    EXPECT_EQ(inside, 1);
}

TEST(PptxReader, PlaceholdersInheritFromLayoutAndMaster)
{
    MemoryPackage pkg;
    pkg.parts["ppt/presentation.xml"] = Presentation("<p:sldSz cx=\"7920000\" cy=\"6120000\"/>", "");
    pkg.parts["ppt/slides/slide1.xml"] =
        "<p:sld><p:cSld><p:spTree><p:sp><p:nvSpPr><p:nvPr><p:ph type=\"title\"/></p:nvPr></p:nvSpPr>"
        "<p:txBody><a:p><a:r><a:t>Heading</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>";
    pkg.parts["ppt/slides/_rels/slide1.xml.rels"] =
        "<Relationships><Relationship Id=\"rId1\" Target=\"../slideLayouts/slideLayout2.xml\"/></Relationships>";
    pkg.parts["ppt/slideLayouts/_rels/slideLayout2.xml.rels"] =
        "<Relationships><Relationship Id=\"rId1\" Target=\"../slideMasters/slideMaster1.xml\"/></Relationships>";
    pkg.parts["ppt/slideLayouts/slideLayout2.xml"] =
        "<p:sldLayout><p:cSld><p:spTree><p:sp><p:nvSpPr><p:nvPr><p:ph type=\"title\"/></p:nvPr></p:nvSpPr>"
        "<p:spPr><a:xfrm><a:off x=\"100000\" y=\"200000\"/><a:ext cx=\"5000000\" cy=\"1000000\"/></a:xfrm></p:spPr>"
        "</p:sp></p:spTree></p:cSld></p:sldLayout>";
    pkg.parts["ppt/slideMasters/_rels/slideMaster1.xml.rels"] =
        "<Relationships><Relationship Id=\"rId9\" Target=\"../theme/theme3.xml\"/></Relationships>";
    pkg.parts["ppt/slideMasters/slideMaster1.xml"] =
        "<p:sldMaster><p:clrMap tx1=\"dk1\"/><p:txStyles><p:titleStyle><a:lvl1pPr algn=\"ctr\"><a:defRPr sz=\"4400\" "
        "b=\"1\"><a:solidFill><a:schemeClr val=\"tx1\"/></a:solidFill></a:defRPr></a:lvl1pPr></p:titleStyle>"
        "</p:txStyles></p:sldMaster>";
    pkg.parts["ppt/theme/theme3.xml"] =
        "<a:theme><a:themeElements><a:clrScheme><a:dk1><a:srgbClr val=\"112233\"/></a:dk1></a:clrScheme>"
        "</a:themeElements></a:theme>";
    const std::vector<Event> events = pkg.run(readPptxToPdf);
    const Event* heading = FindText(events, "Heading");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->style.fontSize, 44);
    EXPECT_EQ(heading->style.bold, 1);
    EXPECT_EQ(heading->style.align, 2);
    EXPECT_EQ(heading->style.colour, 0x332211u);
    const std::vector<Event> moves = Of(events, CE_MOVE_TO);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].len, 10);
    EXPECT_EQ(static_cast<int>(moves[0].arg), 612 - 20);
    const std::vector<Event> boxes = Of(events, CE_BOX_SIZE);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].len, 500);
    EXPECT_EQ(boxes[0].arg, 100u);
}

} // namespace
