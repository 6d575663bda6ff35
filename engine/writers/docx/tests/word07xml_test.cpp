// The WordprocessingML and VML that the .docx content objects write, read
// back with xmllint: paths and their shapes, pictures, text boxes from
// hand-built text blocks, tables, and the page and section structure of the
// body.

#include "engine/layout/globalenum.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/tableblock.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/tests/word07testutil.h"
#include "engine/writers/docx/word07book.h"
#include "engine/writers/docx/word07content.h"
#include "engine/writers/docx/word07shapes.h"
#include "engine/writers/docx/word07writer.h"
#include "engine/writers/xml/xercesxml.h"

#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using testutil::TempDir;
using testutil::WriteFile;
using word07test::Q;
using word07test::RunText;
using word07test::XPathFile;

const std::wstring kTemplate = L"" TRANCEL_SOURCE_DIR "/resources/word07template/document.xml";

class Word07Xml : public ::testing::Test {
protected:
    void SetUp() override
    {
        RezovirorInitialize();
        ResetWord07Counters();
        savedTmp = GlobalEnum::tmppath;
        GlobalEnum::tmppath = utf8::ToWide(dir.str());
    }
    void TearDown() override
    {
        GlobalEnum::tmppath = savedTmp;
        RezovirorRelease();
    }

    // Writes the objects as text into the body of the document template,
    // as the book does, and saves the document; returns its path.
    std::string WriteBody(const std::vector<ObjectInfo*>& objects)
    {
        word07::BodyFrame frame;
        EXPECT_TRUE(word07::SplitAtBody(testutil::ReadFile(utf8::FromWide(kTemplate)), frame));
        word07::ShapeTypes::Reset();
        std::string xml = frame.head;
        for (ObjectInfo* o : objects)
            word07::WriteObject(xml, o);
        xml += frame.tail;
        const std::string path = dir.str() + "document" + std::to_string(++saved) + ".xml";
        WriteFile(path, xml);
        return path;
    }
    std::string WriteBody(ObjectInfo& object) { return WriteBody(std::vector<ObjectInfo*>{&object}); }

    TempDir dir;
    std::wstring savedTmp;
    int saved = 0;
};

// --- vector paths --------------------------------------------------------------------

struct Pt {
    double x, y;
    unsigned type;
};

struct PathCase {
    const char* name;
    std::vector<Pt> points;
    int paintWay;
    const char* path;        // the shape type's path; "" when no shape is drawn
    const char* coordsize;
    const char* marginTop;   // on a page 792 high
    const char* fill;        // attribute of v:fill: "color=#..." or "opacity=0"
};

TEST_F(Word07Xml, VectorPathsTable)
{
    const std::vector<PathCase> cases = {
        {"three plain points, stroked", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}, kPaintStroke,
         "m0,200 l0,200 200,200 200,0 e", "200,200", "782", "opacity=0"},
        {"closed stroke ends in x", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}, kPaintStrokeClosed,
         "m0,200 l0,200 200,200 200,0 e x", "200,200", "782", "opacity=0"},
        {"filled curve: one c command of three points",
         {{0, 0, 0}, {0, 10, kPointBezierStartC}, {10, 10, kPointBezierCommon}, {10, 0, kPointBezierCommon}},
         kPaintFill, "m0,200 l0,200 c0,0 200,0 200,200 e", "200,200", "782", "color=#000000"},
        {"filled and stroked, closed", {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 0, 0}},
         kPaintFillStrokeClosed, "m0,200 l0,200 200,200 200,0 0,200 e x", "200,200", "782",
         "color=#000000"},
        {"region 10.5 by 5: vertical distance truncated to points first",
         {{0, 0, 0}, {10.5, 5, 0}, {3.3, 2.7, 0}}, kPaintStroke, "m0,100 l0,100 210,0 66,40 e",
         "210,100", "787", "opacity=0"},
        {"horizontal rule keeps a coordinate space", {{100, 400, 0}, {300, 400, 0}}, kPaintStroke,
         "m0,0 l0,0 4000,0 e", "4000,1", "392", "opacity=0"},
        {"shading has no vector form", {{0, 0, 0}, {10, 10, 0}}, kPaintShading, "", "", "", ""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        GraphPath path;
        for (const Pt& p : c.points)
            path.AddPoint(PathPoint(p.x, p.y, p.type));
        Word07Graphic graphic(path, 792, c.paintWay);
        const std::string xml = WriteBody(graphic);
        if (!*c.path) {
            EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:pict") + ")"), "0");
            continue;
        }
        // One shape with its own geometry (commas between all numbers) and
        // no shape type of its own.
        EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:shapetype") + ")"), "0");
        const std::string shape = "//" + Q("v:shape");
        EXPECT_EQ(XPathFile(xml, "count(" + shape + "/@id)"), "0");
        std::string commas = c.path;
        for (std::size_t i = 1; i + 1 < commas.size(); ++i) {
            if (commas[i] == ' ' && isdigit(static_cast<unsigned char>(commas[i - 1])) &&
                isdigit(static_cast<unsigned char>(commas[i + 1])))
                commas[i] = ',';
        }
        EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@path)"), commas);
        EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@coordsize)"), c.coordsize);
        const std::string style = XPathFile(xml, "string(" + shape + "/@style)");
        EXPECT_NE(style.find(std::string("margin-top:") + c.marginTop + "pt;"), std::string::npos) << style;
        EXPECT_NE(style.find("mso-position-horizontal-relative:page;mso-position-vertical-relative:page"),
                  std::string::npos);
        const std::string fillAttr = std::string(c.fill).substr(0, std::string(c.fill).find('='));
        const std::string fillValue = std::string(c.fill).substr(fillAttr.size() + 1);
        EXPECT_EQ(XPathFile(xml, "string(" + shape + "/" + Q("v:fill") + "/@" + fillAttr + ")"), fillValue);
    }
}

TEST_F(Word07Xml, PathColoursWeightAndPosition)
{
    GraphicsCollect collect;
    GraphPath path;
    path.AddPoint(PathPoint(50.5, 700, 0));
    path.AddPoint(PathPoint(150.5, 650, 0));
    collect.AddPath(path);
    collect.SetPaintWay(kPaintFill);
    // Colours and width are the parser's (a path made here has black
    // stroke and fill and width 0).
    GraphicBlock block(&collect, nullptr);
    block.SetPageHeight(800);
    Word07Writer writer(nullptr);
    Word07Section section;
    writer.writeGraphic(&section, &block);
    const std::string xml = WriteBody(section);
    const std::string shape = "//" + Q("v:shape");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@strokecolor)"), "#000000");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@strokeweight)"), "0pt");
    // A path that is only filled draws no outline.
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@stroked)"), "f");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/" + Q("v:fill") + "/@color)"), "#000000");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@style)"),
              "position:absolute;left:0;text-align:left;margin-left:50.5pt;margin-top:100pt;"
              "width:100pt;height:50pt;z-index:-1;mso-position-horizontal-relative:page;"
              "mso-position-vertical-relative:page");
}

TEST_F(Word07Xml, OverlongPathIsNotDrawn)
{
    GraphPath path;
    for (int i = 0; i < 200; ++i)
        path.AddPoint(PathPoint(i * 3.0, (i % 7) * 11.0, 0));
    Word07Graphic graphic(path, 792, kPaintStroke);
    ASSERT_GT(graphic.parsepath().size(), 1024u);
    EXPECT_EQ(XPathFile(WriteBody(graphic), "count(//" + Q("w:r") + ")"), "0");
}

// --- pictures --------------------------------------------------------------------------

TEST_F(Word07Xml, PicturesArePlacedFromTheTopAndNameTheirFiles)
{
    WriteFile(dir.path() / "ImageFiles" / "7.jpg", "jpeg");
    Word07Writer writer(nullptr);
    writer.write(nullptr);   // the book whose relationship section pictures fill
    Word07Section section;
    for (double y : {100.0, 300.0}) {
        ImageBlock block(nullptr);
        block.setImagePath(L"image/7.jpg");
        block.setPosition(72, y);
        block.setWidth(120);
        block.setHeight(50);
        block.SetPageHeight(792);
        writer.writeImage(&section, &block);
    }
    // Pictures whose file is missing, or whose path names no file, are left out.
    for (const wchar_t* path : {L"image/missing.jpg", L"7.jpg", L"image/"}) {
        ImageBlock block(nullptr);
        block.setImagePath(path);
        writer.writeImage(&section, &block);
    }
    const std::string xml = WriteBody(section);
    const std::string shape = "(//" + Q("v:shape") + ")";
    EXPECT_EQ(XPathFile(xml, "count(" + shape + ")"), "2");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "[1]/@id)"), "image_0");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "[1]/@type)"), "#_x0000_t75");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "[1]/@style)"),
              "position:absolute;margin-left:72pt;margin-top:642pt;width:120pt;height:50pt;"
              "z-index:0;mso-position-horizontal-relative:page;mso-position-vertical-relative:page");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "[2]/" + Q("v:imagedata") + "/@r:id)"), "imgid1");
    // The picture shape type is defined once, before the first picture.
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:shapetype") + "[@id='_x0000_t75'])"), "1");

    // The relationships name the files under media/.
    Section* rels = writer.getBook()->GetRelDocument()->getContents().front();
    ASSERT_EQ(rels->getContent().size(), 2u);
    auto* rel = dynamic_cast<Word07ImageRel*>(rels->getContent()[1]);
    ASSERT_NE(rel, nullptr);
    EXPECT_EQ(rel->GetId(), "imgid1");
    EXPECT_EQ(rel->GetTarget(), L"media/7.jpg");
}

// --- text boxes ------------------------------------------------------------------------

struct Run {
    const char* text;
    double x, y, width, height;
};

// A block at (72, 690), 300 wide and 20 high, on a page 792 high.
std::unique_ptr<TextBlock> MakeBlock(std::initializer_list<Run> runs)
{
    auto block = std::make_unique<TextBlock>(nullptr);
    block->setPosition(72, 690);
    block->setWidth(300);
    block->setHeight(20);
    for (const Run& r : runs) {
        auto* t = new Text;
        t->text = r.text;
        t->fontName = "Helvetica";
        t->x = r.x;
        t->y = r.y;
        t->width = r.width;
        t->height = r.height;
        t->fontSize = r.height;
        t->matrix[0] = t->matrix[3] = 1;
        t->matrix[4] = r.x;
        t->matrix[5] = r.y;
        t->pageHeight = 792;
        t->runWidth = r.width;
        t->runHeight = r.height;
        block->addText(t);
    }
    return block;
}

TEST_F(Word07Xml, TextBoxPlacesLinesWithSpacesBetweenWords)
{
    auto block = MakeBlock({{"Hello", 72, 700, 30, 10.7},
                            {"wor", 106, 700.5, 15, 10.7},    // within a point: the same line
                            {"ld", 121.2, 700.5, 10, 10.7},   // touches: the same word
                            {"next", 80, 688, 20, 10}});      // the next line
    block->getElements()[0]->color[0] = 1;
    block->getElements()[0]->color[1] = 0.5;
    Word07Writer writer(nullptr);
    Word07Section section;
    writer.writeText(&section, block.get());
    const std::string xml = WriteBody(section);

    // The box refers to the predefined text box type, defined once.
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:shapetype") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "string(//" + Q("v:shapetype") + "/@path)"), "m,l,21600r21600,l21600,xe");
    const std::string shape = "//" + Q("v:shape");
    EXPECT_EQ(XPathFile(xml, "count(" + shape + "/@id)"), "0");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@type)"), "#_x0000_t202");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:shapetype") + "[@id='_x0000_t202'])"), "1");
    // The box has a fixed size (it does not grow to fit its text), so it is
    // as high as its lines say when the block says less: 214 twips, 26 of
    // space and 200 are 22 points, where the block is 20 high.
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:textbox") + "/@style)"), "0");
    EXPECT_EQ(XPathFile(xml, "string(" + shape + "/@style)"),
              "position:absolute;left:0;text-align:left;margin-left:72pt;margin-top:82pt;width:300pt;"
              "height:22pt;z-index:2;mso-wrap-style:none;mso-position-horizontal-relative:page;"
              "mso-position-vertical-relative:page");

    const std::string paragraphs = "//" + Q("w:txbxContent") + "/" + Q("w:p");
    ASSERT_EQ(XPathFile(xml, "count(" + paragraphs + ")"), "2");
    const std::string first = paragraphs + "[1]";
    EXPECT_EQ(RunText(xml, first), "Hello world");
    EXPECT_EQ(RunText(xml, paragraphs + "[2]"), "next");
    // Exact line heights in whole twips; the second line starts 12 points
    // below the top of the first, which is 10.7 high.
    EXPECT_EQ(XPathFile(xml, "string(" + first + "//" + Q("w:spacing") + "/@w:line)"), "214");
    EXPECT_EQ(XPathFile(xml, "string(" + paragraphs + "[2]//" + Q("w:spacing") + "/@w:before)"), "26");
    EXPECT_EQ(XPathFile(xml, "string(" + first + "//" + Q("w:spacing") + "/@w:lineRule)"), "exact");
    EXPECT_EQ(XPathFile(xml, "string(" + paragraphs + "[2]//" + Q("w:ind") + "/@w:firstLine)"), "160");
    const std::string rPr = first + "/" + Q("w:r") + "[1]/" + Q("w:rPr");
    EXPECT_EQ(XPathFile(xml, "string(" + rPr + "/" + Q("w:color") + "/@w:val)"), "ff7f00");
    EXPECT_EQ(XPathFile(xml, "string(" + rPr + "/" + Q("w:sz") + "/@w:val)"), "20");
    EXPECT_EQ(XPathFile(xml, "string(" + rPr + "/" + Q("w:rFonts") + "/@w:ascii)"), "Helvetica");
    // Black text and the first line's indent of 0 are the defaults: not
    // repeated. Only a text with a space at an end asks to keep its spaces.
    const std::string second = paragraphs + "[2]";
    EXPECT_EQ(XPathFile(xml, "count(" + second + "//" + Q("w:color") + ")"), "0");
    EXPECT_EQ(XPathFile(xml, "count(" + first + "//" + Q("w:ind") + ")"), "0");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:t") + "[@xml:space])"), "1");
    // Words that look alike share a run; the orange one keeps its own.
    EXPECT_EQ(XPathFile(xml, "count(" + first + "/" + Q("w:r") + ")"), "2");
    EXPECT_EQ(XPathFile(xml, "string(//" + Q("w:t") + "[@xml:space])"), " world");
}

// Readers take the face of East Asian text and the size of complex-script
// text from properties of their own: a run names them when it holds such
// text, and only then.
TEST_F(Word07Xml, RunsNameFaceAndSizeForTheScriptsTheyHold)
{
    struct Case {
        const char* text;
        const char* eastAsia;   // the w:eastAsia face, or empty
        const char* sizeCs;     // w:szCs in half-points, or empty
    } cases[] = {
        {"Plain words", "", ""},
        {"Gr\xc3\xbc\xc3\x9f \xce\xa9mega \xd0\x96 \xe2\x80\x93 \xe2\x88\xa5x\xe2\x88\xa5", "", ""},
        {"\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7", "", "24"},                  // Arabic
        {"\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", "", "24"},                              // Hebrew
        {"\xe0\xb8\xaa\xe0\xb8\xa7\xe0\xb8\xb1\xe0\xb8\xaa", "", "24"},              // Thai
        {"\xe4\xb8\xad\xe6\x96\x87", "Helvetica", ""},                                // Chinese
        {"\xea\xb0\x80 \xe3\x81\x82", "Helvetica", ""},                               // Korean, Japanese
        {"abc \xe4\xb8\xad \xd9\x85", "Helvetica", "24"},                              // all of them
    };
    for (const Case& c : cases) {
        auto block = MakeBlock({{c.text, 72, 700, 30, 12}});
        Word07Writer writer(nullptr);
        Word07Section section;
        writer.writeText(&section, block.get());
        const std::string xml = WriteBody(section);
        const std::string rPr = "//" + Q("w:r") + "/" + Q("w:rPr");
        EXPECT_EQ(XPathFile(xml, "string(" + rPr + "/" + Q("w:rFonts") + "/@w:eastAsia)"), c.eastAsia) << c.text;
        EXPECT_EQ(XPathFile(xml, "string(" + rPr + "/" + Q("w:szCs") + "/@w:val)"), c.sizeCs) << c.text;
        EXPECT_EQ(XPathFile(xml, "string(" + rPr + "/" + Q("w:sz") + "/@w:val)"), "24") << c.text;
    }
}

// Sizes and places from a damaged file: scaled to half-points and twips
// they must not overflow, and what is written stays within what Word reads.
TEST_F(Word07Xml, HugeSizesAndPlacesAreClampedBeforeTheyAreScaled)
{
    const double huge = 1e300;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double y, height;
        const char* size;   // w:sz in half-points
    } cases[] = {
        {"font size 200000000", 700, 200000000, "3276"},
        {"font size INT_MAX", 700, 2147483647.0, "3276"},
        {"font size -INT_MIN", 700, -2147483648.0, "3276"},
        {"font size beyond double's int", 700, huge, "3276"},
        {"far below the page", -huge, 10, "20"},
        {"far above the page", huge, 10, "20"},
        {"no number", nan, nan, "2"},
    };
    for (const Case& c : cases) {
        auto block = MakeBlock({{"a", 72, 700, 10, 10}, {"b", 72, c.y, 10, c.height}});
        Word07Writer writer(nullptr);
        Word07Section section;
        writer.writeText(&section, block.get());
        const std::string xml = WriteBody(section);
        const std::string sizes = XPathFile(xml, "string((//" + Q("w:sz") + ")[last()]/@w:val)");
        EXPECT_EQ(sizes, c.size) << c.name;
        // Every number of the paragraphs' spacing fits Word's own range.
        const std::string spacing = "//" + Q("w:spacing");
        for (const char* attr : {"@w:line", "@w:before"}) {
            const std::string most =
                XPathFile(xml, "string(count(" + spacing + "[" + attr + " > 2000000000 or " + attr +
                                   " < -2000000000]))");
            EXPECT_EQ(most, "0") << c.name << " " << attr;
        }
    }
}

TEST_F(Word07Xml, SpaceAboveALineTakesItToItsPlace)
{
    auto block = MakeBlock({{"top", 72, 700, 20, 10.53}, {"lower", 72, 640, 20, 10.53}});
    block->setPosition(72, 630);
    block->setHeight(80);
    Word07Writer writer(nullptr);
    Word07Section section;
    writer.writeText(&section, block.get());
    const std::string xml = WriteBody(section);
    // The second line's top lies 59.47 points (1189 twips) below the box's
    // top, the first line ends 211 twips below it.
    const std::string paragraphs = "(//" + Q("w:txbxContent") + "/" + Q("w:p") + ")";
    ASSERT_EQ(XPathFile(xml, "count" + paragraphs), "2");
    // No space above the first line: nothing written, the styles' default.
    EXPECT_EQ(XPathFile(xml, "count(" + paragraphs + "[1]//" + Q("w:spacing") + "/@w:before)"), "0");
    EXPECT_EQ(XPathFile(xml, "string(" + paragraphs + "[2]//" + Q("w:spacing") + "/@w:line)"), "211");
    EXPECT_EQ(XPathFile(xml, "string(" + paragraphs + "[2]//" + Q("w:spacing") + "/@w:before)"), "978");
    EXPECT_EQ(RunText(xml, paragraphs + "[2]"), "lower");
}

TEST_F(Word07Xml, LineStartingAboveTheEndOfTheLineBeforeGetsABoxOfItsOwn)
{
    // A subscript 3 points below its line: stacked under that line it would
    // land 8 points too low.
    auto block = MakeBlock({{"x", 72, 700, 8, 11}, {"i", 80, 697, 4, 7}, {"next", 72, 686, 20, 11}});
    Word07Writer writer(nullptr);
    Word07Section section;
    writer.writeText(&section, block.get());
    const std::string xml = WriteBody(section);
    const std::string shape = "(//" + Q("v:shape") + ")";
    ASSERT_EQ(XPathFile(xml, "count" + shape), "2");
    EXPECT_EQ(RunText(xml, shape + "[1]"), "x");
    // The subscript's box stands at its own top (792 - 697 - 7 = 88), and
    // the line after it follows it in that box.
    EXPECT_NE(XPathFile(xml, "string(" + shape + "[2]/@style)").find("margin-top:88pt;"), std::string::npos);
    EXPECT_EQ(RunText(xml, shape + "[2]"), "inext");
}

TEST_F(Word07Xml, BoxesHaveNoOutlineAndRoomForTheirLongestLine)
{
    // The page model's block is as wide as its one word, in whole points;
    // the box reaches to the page's right edge, or 1.5 times the line
    // beyond it.
    struct Case {
        double x;
        const char* width;
    };
    for (const Case& c : {Case{72, ";width:540pt;"}, Case{560, ";width:98pt;"}}) {
        auto block = MakeBlock({{"jumpfour", c.x, 700, 63.4, 14}});
        block->setPosition(c.x, 690);
        block->setWidth(63);
        Word07Writer writer(nullptr);
        Word07Section section;
        section.SetWidth(612);
        writer.writeText(&section, block.get());
        const std::string xml = WriteBody(section);
        const std::string style = XPathFile(xml, "string(//" + Q("v:shape") + "/@style)");
        EXPECT_NE(style.find(c.width), std::string::npos) << style;
        EXPECT_EQ(XPathFile(xml, "string(//" + Q("v:shape") + "/@stroked)"), "f");
        EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:shape") + "/@strokecolor)"), "0");
    }
}

TEST_F(Word07Xml, PageLinksBecomeHyperlinksAddressLinksDoNot)
{
    auto block = MakeBlock({{"page", 72, 700, 20, 10}, {"web", 100, 700, 20, 10}, {"lost", 130, 700, 20, 10}});
    Text* toPage = block->getElements()[0];
    toPage->hasLink = true;
    toPage->linkKind = 0;
    toPage->linkPage = 3;
    Text* toAddress = block->getElements()[1];
    toAddress->hasLink = true;
    toAddress->linkKind = 1;
    toAddress->uri = "https://example.org/";
    Text* unresolved = block->getElements()[2];
    unresolved->hasLink = true;
    unresolved->linkKind = 0;
    unresolved->linkPage = -1;
    Word07Writer writer(nullptr);
    Word07Section section;
    writer.writeText(&section, block.get());
    const std::string xml = WriteBody(section);
    const std::string link = "//" + Q("w:hyperlink");
    EXPECT_EQ(XPathFile(xml, "count(" + link + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "string(" + link + "/@w:anchor)"), "3");
    EXPECT_EQ(RunText(xml, link), "page");
    // A link keeps its black and no underline whatever a reader's link style says.
    EXPECT_EQ(XPathFile(xml, "string(" + link + "//" + Q("w:color") + "/@w:val)"), "000000");
    EXPECT_EQ(XPathFile(xml, "string(" + link + "//" + Q("w:u") + "/@w:val)"), "none");
}

TEST_F(Word07Xml, RotatedRunBecomesTextPathAfterTheBlocksBox)
{
    auto block = MakeBlock({{"Up", 300, 400, 40, 12}});
    Text* t = block->getElements()[0];
    // Turned a quarter to the left: a = d = 0, b = 1, c = -1.
    t->matrix[0] = 0;
    t->matrix[1] = 1;
    t->matrix[2] = -1;
    t->matrix[3] = 0;
    t->color[2] = 1;
    Word07Writer writer(nullptr);
    Word07Section section;
    writer.writeText(&section, block.get());
    ASSERT_EQ(section.getContent().size(), 2u);
    const std::string xml = WriteBody(section);

    // The block's own box stays, empty but with the paragraph every box needs.
    const std::string shapes = "(//" + Q("v:shape") + ")";
    EXPECT_EQ(XPathFile(xml, "count(" + shapes + "/@id)"), "0");
    EXPECT_EQ(XPathFile(xml, "count(" + shapes + "[1]//" + Q("w:txbxContent") + "/" + Q("w:p") + ")"), "1");

    const std::string rotated = shapes + "[2]";
    EXPECT_EQ(XPathFile(xml, "string(" + rotated + "/@type)"), "#_x0000_t136");
    EXPECT_EQ(XPathFile(xml, "string(" + rotated + "/@fillcolor)"), "#0000ff");
    const std::string style = XPathFile(xml, "string(" + rotated + "/@style)");
    EXPECT_NE(style.find(";rotation:-90;z-index:0;"), std::string::npos) << style;
    EXPECT_EQ(XPathFile(xml, "string(" + rotated + "/" + Q("v:textpath") + "/@string)"), "Up");
    EXPECT_EQ(XPathFile(xml, "string(" + rotated + "/" + Q("v:textpath") + "/@style)"),
              "font-family:\"Helvetica\";font-size:12pt;v-text-kern:t");
    // Its shape type is defined in the document.
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("v:shapetype") + "[@id='_x0000_t136'])"), "1");
}

TEST_F(Word07Xml, TableCellsBecomeTextBoxesWithoutTableStructure)
{
    Word07Writer writer(nullptr);
    TableBlock table(&writer);
    for (int r = 0; r < 2; ++r) {
        auto* row = new TableBlock::TableR(&writer);
        for (int c = 0; c < 2; ++c) {
            auto* cell = new TableBlock::TableCol(&writer);
            auto* t = new Text;
            t->text = "cell" + std::to_string(2 * r + c);
            t->x = 100 + 100 * c;
            t->y = 600 - 20 * r;
            t->height = 10;
            t->pageHeight = 792;
            cell->getBlock()->addText(t);
            row->appendCol(cell);
        }
        table.appendRow(row);
    }
    Word07Section section;
    table.Write(&section);
    const std::string xml = WriteBody(section);
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:txbxContent") + ")"), "4");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:tbl") + ")"), "0");
    EXPECT_EQ(RunText(xml, "(//" + Q("w:txbxContent") + ")[4]"), "cell3");
}

TEST_F(Word07Xml, OperationsIgnoreContextsThatAreNoSection)
{
    auto block = MakeBlock({{"x", 72, 700, 10, 10}});
    Word07Writer writer(nullptr);
    Word07ImageRel notASection;
    writer.writeText(&notASection, block.get());
    writer.writeText(nullptr, block.get());
    Word07Section section;
    writer.writeText(&section, block.get());
    // Only the call with a section made a box (and took an id).
    auto* box = dynamic_cast<Word07TextBlockInfo*>(section.getContent().front());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->getId(), 0);
}

// --- pages and sections ----------------------------------------------------------------

Word07Section* ContentSection(int index, int count, bool withShape)
{
    auto* s = new Word07Section;
    s->SetPageIndex(index);
    s->SetPageCount(count);
    if (withShape) {
        // A shape borrows its path, as from the page that it is made for.
        static const GraphPath path = [] {
            GraphPath p;
            p.AddPoint(PathPoint(10, 10, 0));
            p.AddPoint(PathPoint(20, 20, 0));
            return p;
        }();
        s->appendObject(new Word07Graphic(path, 842, kPaintStroke));
    }
    return s;
}

Word07Section* BreakSection(double width, double height, const char* start = "continuous")
{
    auto* s = new Word07Section;
    s->SetIfPageSize(true);
    s->SetWidth(width);
    s->SetHeight(height);
    s->SetSectionStart(start);
    return s;
}

TEST_F(Word07Xml, ThreePagesBreakAfterPagesOneAndTwoAndEndWithTheSectionProperties)
{
    std::vector<std::unique_ptr<Word07Section>> sections;
    sections.emplace_back(ContentSection(0, 3, true));
    sections.emplace_back(ContentSection(1, 3, false));   // a blank page keeps its page
    sections.emplace_back(ContentSection(2, 3, true));
    sections.emplace_back(BreakSection(595.3, 841.9));
    const std::string xml = WriteBody({sections[0].get(), sections[1].get(), sections[2].get(),
                                       sections[3].get()});

    const std::string body = "/" + Q("w:document") + "/" + Q("w:body");
    // Per page: the bookmark paragraph, then the paragraph that ends the page.
    EXPECT_EQ(XPathFile(xml, "count(" + body + "/" + Q("w:p") + ")"), "6");
    for (int page = 0; page < 3; ++page) {
        const std::string bookmark = body + "/" + Q("w:p") + "[" + std::to_string(2 * page + 1) + "]/" +
                                     Q("w:bookmarkStart");
        EXPECT_EQ(XPathFile(xml, "string(" + bookmark + "/@w:name)"), std::to_string(page));
    }
    const std::string breaks = "//" + Q("w:br") + "[@w:type='page']";
    EXPECT_EQ(XPathFile(xml, "count(" + breaks + ")"), "2");
    EXPECT_EQ(XPathFile(xml, "count(" + body + "/" + Q("w:p") + "[2]/" + Q("w:r") + "/" + Q("w:br") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "count(" + body + "/" + Q("w:p") + "[4]/" + Q("w:r") + "/" + Q("w:br") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "count(" + body + "/" + Q("w:p") + "[6]//" + Q("w:br") + ")"), "0");

    // The section properties are the body's last element: A4 in whole points.
    const std::string sect = body + "/*[last()]";
    EXPECT_EQ(XPathFile(xml, "name(" + sect + ")"), "w:sectPr");
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:sectPr") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "string(" + sect + "/" + Q("w:type") + "/@w:val)"), "continuous");
    EXPECT_EQ(XPathFile(xml, "string(" + sect + "/" + Q("w:pgSz") + "/@w:w)"), "11900");
    EXPECT_EQ(XPathFile(xml, "string(" + sect + "/" + Q("w:pgSz") + "/@w:h)"), "16820");
    for (const char* side : {"left", "gutter", "footer", "header", "bottom", "right", "top"})
        EXPECT_EQ(XPathFile(xml, "string(" + sect + "/" + Q("w:pgMar") + "/@w:" + side + ")"), "0") << side;
    EXPECT_EQ(XPathFile(xml, "count(" + sect + "/" + Q("w:cols") + ")"), "0");
    EXPECT_EQ(XPathFile(xml, "string(" + sect + "/" + Q("w:docGrid") + "/@w:linePitch)"), "312");
    EXPECT_EQ(XPathFile(xml, "string(" + sect + "/" + Q("w:docGrid") + "/@w:type)"), "lines");
}

TEST_F(Word07Xml, SectionEndingWithAPageGoesIntoThatPagesLastParagraph)
{
    std::unique_ptr<Word07Section> first(ContentSection(0, 2, true));
    std::unique_ptr<Word07Section> firstEnd(BreakSection(612, 792));
    firstEnd->AddCol(100.5);
    firstEnd->AddCol(200);
    first->SetSectionEnd(firstEnd.get());
    std::unique_ptr<Word07Section> second(ContentSection(1, 2, true));
    std::unique_ptr<Word07Section> last(BreakSection(842, 595, "nextPage"));
    // The break section that ends a page writes nothing of its own.
    const std::string xml = WriteBody({first.get(), firstEnd.get(), second.get(), last.get()});

    const std::string body = "/" + Q("w:document") + "/" + Q("w:body");
    // No page break: the section break starts the next page.
    EXPECT_EQ(XPathFile(xml, "count(//" + Q("w:br") + ")"), "0");
    const std::string inner = body + "/" + Q("w:p") + "[2]/" + Q("w:pPr") + "/" + Q("w:sectPr");
    EXPECT_EQ(XPathFile(xml, "name(" + body + "/" + Q("w:p") + "[2]/*[1])"), "w:pPr");
    EXPECT_EQ(XPathFile(xml, "string(" + inner + "/" + Q("w:pgSz") + "/@w:w)"), "12240");
    EXPECT_EQ(XPathFile(xml, "string(" + inner + "/" + Q("w:cols") + "/" + Q("w:col") + "[1]/@w:w)"), "2000");
    EXPECT_EQ(XPathFile(xml, "string(" + inner + "/" + Q("w:cols") + "/" + Q("w:col") + "[2]/@w:w)"), "4000");
    EXPECT_EQ(XPathFile(xml, "count(" + body + "/" + Q("w:sectPr") + ")"), "1");
    EXPECT_EQ(XPathFile(xml, "name(" + body + "/*[last()])"), "w:sectPr");
    EXPECT_EQ(XPathFile(xml, "string(" + body + "/" + Q("w:sectPr") + "/" + Q("w:type") + "/@w:val)"), "nextPage");
    EXPECT_EQ(XPathFile(xml, "string(" + body + "/" + Q("w:sectPr") + "/" + Q("w:pgSz") + "/@w:h)"), "11900");
}

TEST(Word07Body, TemplateIsSplitAroundItsBody)
{
    struct Case {
        const char* document;
        bool ok;
        const char* head;
        const char* tail;
    };
    const Case cases[] = {
        {"<w:document a=\"1\">\n  <w:body/>\n</w:document>", true, "<w:document a=\"1\">\n  <w:body>",
         "</w:body>\n</w:document>"},
        {"<w:document><w:body><w:p/></w:body><x/></w:document>", true, "<w:document><w:body>",
         "</w:body><x/></w:document>"},
        // A longer name that starts the same is not the body.
        {"<w:document><w:bodyPr/><w:body ></w:body></w:document>", true,
         "<w:document><w:bodyPr/><w:body>", "</w:body></w:document>"},
        {"<w:document><w:other/></w:document>", false, "", ""},
        {"<w:document><w:body><w:p/></w:document>", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        word07::BodyFrame frame;
        ASSERT_EQ(word07::SplitAtBody(c.document, frame), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(frame.head, c.head);
        EXPECT_EQ(frame.tail, c.tail);
    }
}

} // namespace
