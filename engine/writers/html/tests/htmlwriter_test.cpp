// The HTML writer's markup: positioned lines and pictures, run styles, the
// page's table, and what each block operation makes of hand-made blocks.

#include "engine/writers/html/htmlbook.h"
#include "engine/writers/html/htmlcontent.h"
#include "engine/writers/html/htmlwriter.h"

#include "engine/writers/content/chapter.h"

#include "engine/layout/tableblock.h"

#include "htmltestutil.h"

#include <memory>

namespace {

using htmltest::MakeImageBlock;
using htmltest::MakeTextBlock;
using htmltest::TextRun;
namespace fs = std::filesystem;

class HtmlMarkup : public htmltest::XmlTest {
protected:
    HtmlWriter writer;
    HtmlSection page{1.5};

    HtmlMarkup() { page.SetHeight(792); page.SetWidth(612); }

    void writeText(const std::vector<TextRun>& specs)
    {
        std::unique_ptr<TextBlock> block(MakeTextBlock(&writer, specs));
        block->Write(static_cast<ObjectInfo*>(&page));
    }
};

// The worked example: a bold black element of size 12 at x 72, y 700 with a
// text height of 12, on a page 792 points high.
TEST_F(HtmlMarkup, WorkedExampleGivesThePositionAndStyle)
{
    TextRun s;
    s.text = "Heading";
    s.x = 72;
    s.y = 700;
    s.height = 12;
    s.fontSize = 12;
    s.bold = true;
    writeText({s});
    EXPECT_EQ(Markup(page),
              "<table border=\"0\" height=\"1188\" width=\"918\"><tr><td>"
              "<div style=\"position:absolute;top:120;left:108;font-size:0px\">"
              "<span style=\"font-size:18;font-weight:bold;color:000000\">Heading</span>"
              "</div></td></tr></table>");
}

TEST_F(HtmlMarkup, ColourComponentsAreTruncatedAndClamped)
{
    struct Case {
        double r, g, b;
        const char* colour;
    };
    const Case cases[] = {
        {1.2, -0.1, 0.5, "ff007f"},   // above 1, below 0, 127.5 truncated
        {1, 0.5, 0, "ff7f00"},
        {0.1, 0.2, 0.3, "19334c"},
    };
    for (const Case& c : cases) {
        HtmlSection section(1.5);
        section.SetHeight(100);
        TextRun s;
        s.text = "x";
        s.pageHeight = 100;
        s.r = c.r;
        s.g = c.g;
        s.b = c.b;
        std::unique_ptr<TextBlock> block(MakeTextBlock(&writer, {s}));
        block->Write(static_cast<ObjectInfo*>(&section));
        EXPECT_NE(Markup(section).find(std::string("color:") + c.colour + "\""), std::string::npos)
            << Markup(section);
    }
}

// Every element is a line of its own: two words of one line are two boxes.
TEST_F(HtmlMarkup, EveryElementIsItsOwnLine)
{
    TextRun a, b;
    a.text = "left";
    a.x = 10;
    a.y = 100;
    b = a;
    b.text = "right";
    b.x = 60;
    b.italic = true;
    b.fontSize = 10;
    writeText({a, b});
    const std::string m = Markup(page);
    EXPECT_NE(m.find("<div style=\"position:absolute;top:1020;left:15;font-size:0px\">"
                     "<span style=\"font-size:18;color:000000\">left</span></div>"),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("<div style=\"position:absolute;top:1020;left:90;font-size:0px\">"
                     "<span style=\"font-size:15;font-style:italic;color:000000\">right</span></div>"),
              std::string::npos)
        << m;
}

TEST_F(HtmlMarkup, UnderlineAndStrikeOutAreNotCarried)
{
    TextRun s;
    s.text = "marked";
    s.underline = true;
    s.strikeOut = true;
    writeText({s});
    const std::string m = Markup(page);
    EXPECT_EQ(m.find("underline"), std::string::npos) << m;
    EXPECT_EQ(m.find("line-through"), std::string::npos) << m;
}

// An element above the top edge keeps its negative position; a picture is
// held at the top edge.
TEST_F(HtmlMarkup, AboveTheTopTextStaysAndPicturesAreClamped)
{
    TextRun s;
    s.text = "high";
    s.x = 0;
    s.y = 790;
    s.height = 12;
    writeText({s});
    std::unique_ptr<ImageBlock> image(MakeImageBlock(&writer, 20, 700, 100, 150, L"image/3.jpg"));
    image->Write(static_cast<ObjectInfo*>(&page));
    const std::string m = Markup(page);
    EXPECT_NE(m.find("top:-15;left:0;"), std::string::npos) << m;
    EXPECT_NE(m.find("<div style=\"position:absolute;top:0;left:30;font-size:0px\">"
                     "<img src=\"image/3.jpg\" width=\"150\" height=\"225\"></img></div>"),
              std::string::npos)
        << m;
}

TEST_F(HtmlMarkup, PictureSizesAreWholeAndAtLeastOne)
{
    struct Case {
        double width, height;
        const char* size;
    };
    const Case cases[] = {
        {-20, 0.4, "width=\"30\" height=\"1.5\""},     // absolute value; below 1 gives 1
        {99.9, 50.5, "width=\"148.5\" height=\"75\""}, // truncated before the scale
    };
    for (const Case& c : cases) {
        HtmlSection section(1.5);
        section.SetHeight(792);
        std::unique_ptr<ImageBlock> image(MakeImageBlock(&writer, 10, 100, c.width, c.height, L"image/1.jpg"));
        image->Write(static_cast<ObjectInfo*>(&section));
        EXPECT_NE(Markup(section).find(c.size), std::string::npos) << Markup(section);
    }
}

// Positions are stored in points: (792 - 100 - 1) * 1.5 with the height 0.4
// counted as given, not as the written size.
TEST_F(HtmlMarkup, PicturePositionUsesTheBlocksOwnHeight)
{
    std::unique_ptr<ImageBlock> image(MakeImageBlock(&writer, 10, 100, 20, 0.4, L"image/1.jpg"));
    image->Write(static_cast<ObjectInfo*>(&page));
    ASSERT_EQ(page.getContent().size(), 1u);
    auto* info = dynamic_cast<HtmlImageInfo*>(page.getContent()[0]);
    ASSERT_NE(info, nullptr);
    EXPECT_DOUBLE_EQ(info->getY(), 792 - 100 - 0.4);
    EXPECT_DOUBLE_EQ(info->getX(), 10);
}

TEST_F(HtmlMarkup, PageWithoutBlocksIsOneEmptyCell)
{
    EXPECT_EQ(Markup(page), "<table border=\"0\" height=\"1188\" width=\"918\"><tr><td></td></tr></table>");
}

TEST_F(HtmlMarkup, NonAsciiTextIsKeptAsUtf8)
{
    TextRun s;
    s.text = "Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\xE6\x96\x87";   // "Grüße 中文"
    writeText({s});
    EXPECT_NE(Markup(page).find(">Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\xE6\x96\x87</span>"),
              std::string::npos);
}

// Block operations write only into a page's section.
TEST_F(HtmlMarkup, OtherContextsAreLeftAlone)
{
    Section plain;
    LineInfo line;
    std::unique_ptr<TextBlock> text(MakeTextBlock(&writer, {TextRun{"a"}}));
    std::unique_ptr<ImageBlock> image(MakeImageBlock(&writer, 0, 0, 10, 10, L"image/1.jpg"));
    for (ObjectInfo* ctx : {static_cast<ObjectInfo*>(&plain), static_cast<ObjectInfo*>(&line)}) {
        writer.writeText(ctx, text.get());
        writer.writeImage(ctx, image.get());
    }
    writer.writeText(nullptr, text.get());
    writer.writeImage(nullptr, image.get());
    EXPECT_TRUE(plain.getContent().empty());
    EXPECT_TRUE(line.getContents().empty());
}

// A table's cells are written as positioned text into the page; no table
// markup is made for them.
TEST_F(HtmlMarkup, TableCellsBecomePositionedText)
{
    TableBlock table(&writer);
    for (int r = 0; r < 2; ++r) {
        auto* row = new TableBlock::TableR(&writer);
        for (int c = 0; c < 2; ++c) {
            auto* cell = new TableBlock::TableCol(&writer);
            TextRun s;
            s.text = "r" + std::to_string(r) + "c" + std::to_string(c);
            s.x = 100 + 100 * c;
            s.y = 500 - 20 * r;
            cell->getBlock()->addText(htmltest::MakeText(s));
            row->appendCol(cell);
        }
        table.appendRow(row);
    }
    table.Write(static_cast<ObjectInfo*>(&page));
    const std::string m = Markup(page);
    EXPECT_EQ(page.getContent().size(), 4u);
    EXPECT_NE(m.find("top:420;left:150;font-size:0px\"><span style=\"font-size:18;color:000000\">r0c0<"),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("top:450;left:300;font-size:0px\"><span style=\"font-size:18;color:000000\">r1c1<"),
              std::string::npos)
        << m;
    // Only the page's own table, row and cell.
    EXPECT_EQ(m.find("<table", 1), std::string::npos);
    EXPECT_EQ(m.find("<td", m.find("<td") + 1), std::string::npos);
}

// The page's table as the XML layer's pretty printer writes it in a page
// body, and the depth at which it stands there.
std::string PrettyTable(ObjectInfo& section, int& level)
{
    Tolvik::IXMLDocument* doc = XercesXMLFactory::getSingleton().CreateDocument("html");
    section.writeXML(doc->getRootElement()->appendChildElement("body"));
    std::string text;
    EXPECT_TRUE(SerializeXmlDocument(doc, text));
    const std::size_t at = text.find("<table");
    const std::size_t end = text.rfind("</table>");
    if (at == std::string::npos || end == std::string::npos)
        return text;
    level = static_cast<int>(at - text.rfind('\n', at) - 1) / 2;
    return text.substr(at, end + 8 - at);
}

// Pages are written as text without a document tree; what they hold is
// byte for byte what the XML layer prints for the same page, markup,
// escapes and indentation.
TEST_F(HtmlMarkup, TextPagesAreWhatTheXmlLayerPrints)
{
    struct Case {
        const char* what;
        std::vector<std::string> texts;   // one line each
        std::wstring picture;             // a picture after the lines, if any
        bool bareLine = false;            // a line without runs at the end
    };
    const Case cases[] = {
        {"plain words and a picture", {"Heading", "second line"}, L"image/p1_0.jpg"},
        {"markup characters", {"a&b", "x<y>z", "\"quoted\" 'single'", "]]>", "tab\there"}, L""},
        {"UTF-8 of every length",
         {"Gr\xC3\xBC\xC3\x9F" "e \xE4\xB8\xAD\xE6\x96\x87", "\xF0\x9D\x94\xB8",
          "no\xC2\xA0" "break", "\xEF\xBF\xBD", "del\x7F", "C1\xC2\x85", "line\xE2\x80\xA8" "sep"},
         L""},
        {"empty and blank runs", {"", " ", "  two  "}, L""},
        {"empty page", {}, L""},
        {"line without runs", {"x"}, L"", true},
        {"picture path with markup characters", {},
         L"image/a&b \"c\" <\u00e9>\U0001D538.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HtmlSection section(1.5);
        section.SetHeight(792);
        section.SetWidth(612);
        double y = 700;
        std::vector<TextRun> runs;
        for (const std::string& text : c.texts) {
            TextRun s;
            s.text = text;
            s.x = 72;
            s.y = y;
            s.bold = y < 690;
            s.italic = y < 680;
            s.r = 0.5;
            y -= 13.7;
            runs.push_back(s);
        }
        if (!runs.empty()) {
            std::unique_ptr<TextBlock> block(MakeTextBlock(&writer, runs));
            block->Write(static_cast<ObjectInfo*>(&section));
        }
        if (!c.picture.empty()) {
            std::unique_ptr<ImageBlock> image(MakeImageBlock(&writer, 100.3, 200.7, 33.2, 10, c.picture));
            image->Write(static_cast<ObjectInfo*>(&section));
        }
        if (c.bareLine) {
            auto* line = new HtmlLineInfo(1.5);
            line->setX(3);
            line->setY(4);
            section.appendObject(line);
        }
        int level = -1;
        const std::string expected = PrettyTable(section, level);
        ASSERT_GT(level, 0) << expected;
        std::string lean = "before";
        ASSERT_TRUE(section.appendMarkup(lean, level));
        EXPECT_EQ(lean, "before" + expected);
    }
}

// A text that the printer changes (line breaks become references or move
// the indentation, controls and noncharacters are dropped, malformed bytes
// replaced) is not written as text: the page goes through the XML layer, and the
// text arrives as the layer makes it.
TEST_F(HtmlMarkup, TextsThePrinterChangesGoThroughTheXmlLayer)
{
    struct Case {
        const char* what;
        std::string text;
        const char* inPage;   // what the page file holds for it
    };
    const Case cases[] = {
        {"line feed", "a\nb", ">a\nb</span>"},
        {"carriage return", "a\rb", ">a&#xD;b</span>"},
        {"control character", "a\x01" "b", ">ab</span>"},
        {"noncharacter", "a\xEF\xBF\xBF" "b", ">ab</span>"},
        {"malformed byte", "a\xFF" "b", ">a\xEF\xBF\xBD" "b</span>"},
        {"overlong form", "a\xC0\xAF" "b", ">a\xEF\xBF\xBD\xEF\xBF\xBD" "b</span>"},
        {"encoded surrogate", "a\xED\xA0\x80" "b", ">a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b</span>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HtmlSection section(1.5);
        section.SetHeight(792);
        TextRun s;
        s.text = c.text;
        std::unique_ptr<TextBlock> block(MakeTextBlock(&writer, {s}));
        block->Write(static_cast<ObjectInfo*>(&section));
        std::string lean = "kept";
        EXPECT_FALSE(section.appendMarkup(lean, 3));
        EXPECT_EQ(lean, "kept");

        // The whole page, through the book.
        HtmlBook book(1.5);
        Chapter* chapter = book.createNewChapter("1");
        auto* page = new HtmlSection(1.5);
        page->SetHeight(792);
        std::unique_ptr<TextBlock> again(MakeTextBlock(&writer, {s}));
        again->Write(static_cast<ObjectInfo*>(page));
        chapter->AddContent(page);
        book.insertChapter(nullptr, nullptr, chapter);
        const fs::path out = work.path() / ("out-" + std::to_string(&c - cases));
        fs::create_directories(out);
        ASSERT_FALSE(book.save(utf8::ToWide(out.string()), L"/b").empty());
        const std::string file = testutil::ReadFile(out / "b" / "html" / "P1.html");
        EXPECT_NE(file.find(c.inPage), std::string::npos) << file;
        Tolvik::IXMLDocument* parsed = htmltest::ReadPage(out / "b" / "html" / "P1.html");
        EXPECT_TRUE(parsed && parsed->getRootElement());
    }

    // A picture path with a code point UTF-8 cannot carry.
    HtmlSection section(1.5);
    std::unique_ptr<ImageBlock> image(
        MakeImageBlock(&writer, 0, 0, 10, 10, std::wstring(L"image/") + wchar_t(0xD800) + L".jpg"));
    image->Write(static_cast<ObjectInfo*>(&section));
    std::string lean;
    EXPECT_FALSE(section.appendMarkup(lean, 3));
    EXPECT_TRUE(lean.empty());
}

// A writer without a book (write never ran) has nothing to save.
TEST_F(HtmlMarkup, SaveWithoutWriteIsAFailure)
{
    EXPECT_TRUE(writer.save(utf8::ToWide(work.str()), L"/x").empty());
    EXPECT_FALSE(fs::exists(work.path() / "x"));
}

} // namespace
