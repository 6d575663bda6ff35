// Collecting pages for the Word writer: sections, twips from the top left,
// runs pulled inside the page, turned text, page sizes beyond the format's
// 16-bit limit, hairlines and dash patterns, and the lines that the builder
// makes of a page.

#include "engine/layout/imageblock.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"
#include "tests/support/testutil.h"
#include "wordlib/lineextract.h"
#include "wordlib/pagecollect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using scrivlet::PageCollector;
using scrivlet::TextRun;

Text* Word(const std::string& text, double x, double y, double w, double h)
{
    auto* t = new Text;
    t->text = text;
    t->fontName = "Serif";
    t->x = x;
    t->y = y;
    t->width = w;
    t->height = h;
    t->fontSize = h;
    t->runWidth = w;
    t->runHeight = h;
    t->matrix[0] = 1;
    t->matrix[3] = 1;
    t->matrix[4] = x;
    t->matrix[5] = y;
    return t;
}

// Turns the run about its lower-left corner by `degrees`.
Text* Turned(Text* t, double degrees)
{
    const double r = degrees * 3.14159265358979 / 180.0;
    t->matrix[0] = std::cos(r);
    t->matrix[1] = std::sin(r);
    t->matrix[2] = -std::sin(r);
    t->matrix[3] = std::cos(r);
    return t;
}

TEST(PageCollect, PagesOfOneSizeShareASection)
{
    PageCollector c;
    const double sizes[][2] = {{595, 842}, {595, 842}, {842, 595}, {595, 842}};
    for (const auto& s : sizes)
        c.beginPage(s[0], s[1]);
    ASSERT_EQ(c.sections().size(), 3u);
    EXPECT_EQ(c.sections()[0].pages.size(), 2u);
    EXPECT_EQ(c.sections()[1].pages.size(), 1u);
    EXPECT_EQ(c.sections()[2].pages.size(), 1u);
    EXPECT_EQ(c.sections()[1].width, 842 * 20);
    EXPECT_EQ(c.sections()[1].height, 595 * 20);
}

// Pages up to 22 inches a side keep their size in twips; larger pages are
// scaled down as a whole to that limit, keeping their proportions, and
// every position and size of the page scales with them.
TEST(PageCollect, LargePagesFitTheFormatsLimit)
{
    struct Case {
        const char* name;
        double w, h;            // points
        double twipsW, twipsH;  // the section's size
    } const cases[] = {
        {"A4", 595.28, 841.89, 595.28 * 20, 841.89 * 20},
        {"A3 landscape", 1190.55, 841.89, 1190.55 * 20, 841.89 * 20},
        {"22 inches", 1584, 1000, 31680, 20000},
        {"A1", 1683.78, 2383.94, 1683.78 * 20 * 31680 / (2383.94 * 20), 31680},
        {"200 inches", 14400, 14400, 31680, 31680},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PageCollector c;
        c.beginPage(k.w, k.h);
        ASSERT_EQ(c.sections().size(), 1u);
        EXPECT_NEAR(c.sections()[0].width, k.twipsW, 0.01);
        EXPECT_NEAR(c.sections()[0].height, k.twipsH, 0.01);
        EXPECT_LE(c.sections()[0].width, scrivlet::kMaxPageTwips);
        EXPECT_LE(c.sections()[0].height, scrivlet::kMaxPageTwips);

        // A word near the bottom right corner keeps its place relative to
        // the page, and a path to that corner fits in 16 bits.
        const double s = c.scale();
        TextBlock block(nullptr);
        block.addText(Word("corner", k.w - 300, 100, 50, 10));
        c.addText(block);
        GraphicsCollect g;
        GraphPath p;
        p.AddPoint(PathPoint(0, k.h));
        p.AddPoint(PathPoint(k.w, 0));
        g.AddPath(p);
        GraphicBlock gb(&g, nullptr);
        c.addGraphic(gb);

        const scrivlet::PageEntry& page = c.sections()[0].pages[0];
        ASSERT_EQ(page.flow.size(), 1u);
        ASSERT_EQ(page.flow[0].runs.size(), 1u);
        const TextRun& run = page.flow[0].runs[0];
        EXPECT_NEAR(run.x, (k.w - 300) * 20 * s, 0.01);
        EXPECT_NEAR(run.top, (k.h - 110) * 20 * s, 0.01);
        EXPECT_NEAR(run.fontSize, 20 * s, 0.001);
        const auto& v = page.graphics[0].paths[0].vertices;
        ASSERT_EQ(v.size(), 3u);
        EXPECT_EQ(v[0].x, 0);
        EXPECT_EQ(v[0].y, 0);
        EXPECT_NEAR(v[1].x, c.sections()[0].width, 1.0);
        EXPECT_NEAR(v[1].y, c.sections()[0].height, 1.0);
        EXPECT_EQ(v[2].kind, scrivlet::kVertexEnd);
    }
}

TEST(PageCollect, RunsArePulledInsideThePage)
{
    PageCollector c;
    c.beginPage(600, 800);   // 12000 x 16000 twips
    TextBlock block(nullptr);
    block.addText(Word("corner", 580, 0, 20, 10));    // at the bottom right corner
    block.addText(Word("wide", 0, 400, 590, 10));     // wider than the page less 400 twips
    block.addText(Word("plain", 72, 700, 30, 10));
    c.addText(block);
    const auto& runs = c.sections()[0].pages[0].flow[0].runs;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "corner");
    EXPECT_DOUBLE_EQ(runs[0].top + runs[0].height, 16000 - 200);
    EXPECT_DOUBLE_EQ(runs[0].x + runs[0].width, 12000 - 400);
    EXPECT_EQ(runs[1].text, "plain");
    EXPECT_DOUBLE_EQ(runs[1].x, 1440);
    EXPECT_DOUBLE_EQ(runs[1].top, 16000 - 200 - 20 * 700);
}

// Text turned by 180 degrees keeps b = c = 0 and stays in its block; any
// other turn makes a shape of its own. A matrix without an x axis gives no
// direction and is left out instead of dividing by its zero length.
TEST(PageCollect, TurnedTextBecomesRotatedRuns)
{
    PageCollector c;
    c.beginPage(600, 800);
    TextBlock block(nullptr);
    Text* upsideDown = Word("upside", 300, 400, 40, 10);
    upsideDown->matrix[0] = upsideDown->matrix[3] = -1;
    block.addText(upsideDown);
    block.addText(Turned(Word("up", 100, 100, 40, 10), 90));
    block.addText(Turned(Word("slant", 100, 300, 40, 10), 30));
    Text* flat = Word("flat", 100, 500, 40, 10);
    flat->matrix[0] = flat->matrix[1] = 0;
    flat->matrix[2] = 1;
    block.addText(flat);
    c.addText(block);
    const scrivlet::PageEntry& page = c.sections()[0].pages[0];
    ASSERT_EQ(page.flow[0].runs.size(), 1u);
    EXPECT_EQ(page.flow[0].runs[0].text, "upside");
    ASSERT_EQ(page.rotated.size(), 2u);

    const scrivlet::RotatedRun& up = page.rotated[0];
    EXPECT_NEAR(up.rotation, -90.0f, 1e-3);
    EXPECT_NEAR(up.run.width, 800, 1e-6);
    EXPECT_NEAR(up.run.height, 200, 1e-6);
    EXPECT_NEAR(up.run.fontSize, 20, 1e-6);
    // Turned by 90 degrees, the box stands upright: 200 wide, 800 high,
    // centred on the middle of the turned text.
    const double cx = 2000 - 100, cy = 16000 - (2000 + 400);
    EXPECT_EQ(up.anchorLeft, static_cast<int>(cx - 100));
    EXPECT_EQ(up.anchorRight, static_cast<int>(cx + 100));
    EXPECT_EQ(up.anchorTop, static_cast<int>(cy - 400));
    EXPECT_EQ(up.anchorBottom, static_cast<int>(cy + 400));

    const scrivlet::RotatedRun& slant = page.rotated[1];
    EXPECT_NEAR(slant.rotation, -30.0f, 1e-3);
    EXPECT_EQ(slant.anchorRight - slant.anchorLeft, 800);   // under 45 degrees: as wide as the text
}

TEST(PageCollect, DashPatternsInLineWidths)
{
    struct Case {
        const char* name;
        ParserLinePattern pattern;
        double width;
        std::vector<std::int32_t> dashes;
    } const cases[] = {
        {"solid", {0, 0, {0, 0, 0, 0}}, 1, {}},
        {"dashed", {0, 2, {6, 3, 0, 0}}, 1.5, {4, 2}},
        {"hairline", {0, 2, {3, 2, 0, 0}}, 0, {3, 2}},
        {"phase in the dash", {2, 2, {6, 3, 0, 0}}, 1, {4, 3}},
        {"phase in the gap", {7, 2, {6, 3, 0, 0}}, 1, {0, 2, 6}},
        {"odd count repeats", {0, 1, {4, 0, 0, 0}}, 2, {2, 2}},
        {"all zero", {0, 2, {0, 0, 0, 0}}, 1, {}},
        {"negative entries count as 0", {0, 2, {-5, 4, 0, 0}}, 1, {0, 4}},
        {"no number", {0, 2, {NAN, 4, 0, 0}}, NAN, {0, 4}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(scrivlet::DashLengths(k.pattern, k.width), k.dashes);
    }
}

TEST(PageCollect, PaintWaysAndVertexKinds)
{
    struct Way {
        int way;
        bool closed, filled, stroked;
        int evenOdd;
    } const ways[] = {
        {0, false, false, true, 0}, {1, true, false, true, 0}, {2, false, true, false, 0},
        {3, false, true, false, 1}, {4, false, true, true, 0}, {5, false, true, true, 1},
        {6, true, true, true, 0},   {7, true, true, true, 1},  {8, false, false, false, 0},
        {-1, false, false, false, 0},
    };
    PageCollector c;
    c.beginPage(100, 100);
    for (const Way& w : ways) {
        GraphicsCollect g;
        g.SetPaintWay(w.way);
        GraphicBlock block(&g, nullptr);
        c.addGraphic(block);
        const scrivlet::GraphicGroup& got = c.sections()[0].pages[0].graphics.back();
        SCOPED_TRACE(w.way);
        EXPECT_EQ(got.closed, w.closed);
        EXPECT_EQ(got.filled, w.filled);
        EXPECT_EQ(got.stroked, w.stroked);
        EXPECT_EQ(got.evenOdd, w.evenOdd);
        EXPECT_TRUE(got.paths.empty());
    }

    // A line, then a cubic curve as the parser reports it.
    GraphicsCollect g;
    GraphPath p;
    p.AddPoint(PathPoint(0, 100, kPointGeneral));
    p.AddPoint(PathPoint(10, 100, kPointGeneral));
    p.AddPoint(PathPoint(20, 90, kPointBezierStartC));
    p.AddPoint(PathPoint(30, 80, kPointBezierCommon));
    p.AddPoint(PathPoint(40, 70, kPointBezierCommon));
    g.AddPath(p);
    GraphicBlock block(&g, nullptr);
    c.addGraphic(block);
    using V = scrivlet::Vertex;
    const std::vector<V> expected = {
        {0, 0, scrivlet::kVertexFirst},      {200, 0, scrivlet::kVertexLine},
        {400, 200, scrivlet::kVertexCurve},  {600, 400, scrivlet::kVertexControl},
        {800, 600, scrivlet::kVertexControl}, {0, 0, scrivlet::kVertexEnd},
    };
    EXPECT_EQ(c.sections()[0].pages[0].graphics.back().paths[0].vertices, expected);
}

TEST(PageCollect, PicturesAreKeptWhenTheirFileExists)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir.path() / "ImageFiles" / "img1.jpg", "jpeg");
    const std::wstring folder = utf8::ToWide(dir.str()) + L"ImageFiles/";
    PageCollector c;
    c.beginPage(100, 100);
    struct Case {
        const wchar_t* path;
        double w, h;
        bool kept;
    } const cases[] = {
        {L"image/img1.jpg", 10, 20, true},
        {L"img1.jpg", -10, -20, true},
        {L"image/img2.jpg", 10, 20, false},
        {L"image/", 10, 20, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(utf8::FromWide(k.path));
        ImageBlock block(nullptr);
        block.setImagePath(k.path);
        block.setPosition(30, 40);
        block.setWidth(k.w);
        block.setHeight(k.h);
        const std::size_t before = c.sections()[0].pages[0].pictures.size();
        c.addImage(block, folder);
        const auto& pictures = c.sections()[0].pages[0].pictures;
        ASSERT_EQ(pictures.size(), before + (k.kept ? 1 : 0));
        if (!k.kept)
            continue;
        const scrivlet::Picture& pic = pictures.back();
        EXPECT_EQ(pic.path, folder + L"img1.jpg");
        EXPECT_DOUBLE_EQ(pic.width, 20 * std::fabs(k.w));
        EXPECT_DOUBLE_EQ(pic.height, 20 * std::fabs(k.h));
        EXPECT_DOUBLE_EQ(pic.x, k.w > 0 ? 600 : 400);
        EXPECT_DOUBLE_EQ(pic.top, k.h > 0 ? 2000 - 20 * 60 : 2000 - 20 * 40);
    }
}

// Two columns: the left column's lines form the flow, the right column's
// runs overlap them and become a text box; runs of one group on one
// baseline form one line.
TEST(LineExtraction, ColumnsAndLines)
{
    PageCollector c;
    c.beginPage(600, 800);
    TextBlock left(nullptr), right(nullptr);
    left.addText(Word("Left", 72, 700, 30, 10));
    left.addText(Word("one", 110, 700, 30, 10));
    left.addText(Word("Second", 72, 680, 40, 10));
    right.addText(Word("Right", 320, 700, 30, 10));
    right.addText(Word("two", 360, 680, 30, 10));
    c.addText(left);
    c.addText(right);
    const scrivlet::PageLines lines = scrivlet::ExtractLines(c.sections()[0].pages[0]);
    ASSERT_EQ(lines.flow.size(), 1u);
    ASSERT_EQ(lines.flow[0].lines.size(), 2u);
    EXPECT_EQ(lines.flow[0].lines[0].head->text, "Left");
    ASSERT_EQ(lines.flow[0].lines[0].joined.size(), 1u);
    EXPECT_EQ(lines.flow[0].lines[0].joined[0]->text, "one");
    EXPECT_EQ(lines.flow[0].lines[1].head->text, "Second");
    ASSERT_EQ(lines.boxes.size(), 1u);
    ASSERT_EQ(lines.boxes[0].lines.size(), 2u);
    EXPECT_EQ(lines.boxes[0].lines[0].head->text, "Right");
    EXPECT_EQ(lines.boxes[0].lines[1].head->text, "two");
    EXPECT_DOUBLE_EQ(lines.boxes[0].x, 6400);
    EXPECT_DOUBLE_EQ(lines.boxes[0].width, 7800 - 6400);
}

} // namespace
