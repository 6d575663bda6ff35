// Words, text blocks, reading order and columns, checked against the worked
// values of the layout rules, plus the orderings' soundness on hostile input
// (NaN, zero sizes, turned text, equal keys).
#include "engine/layout/block.h"
#include "engine/layout/imageblock.h"
#include "engine/layout/page.h"
#include "engine/layout/safemath.h"
#include "engine/layout/textblock.h"
#include "parser/parser.h"
#include "parser/src/internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

// The page's private steps, for the column and merge rules.
class PageTestAccess {
public:
    static std::vector<Block*>& blocks(Page& p) { return p.blocks; }
    static void setSize(Page& p, double w, double h)
    {
        p.width = w;
        p.height = h;
    }
    static void splitCol(Page& p) { p.SplitCol(); }
    static void splitRow(Page& p) { p.SplitRow(); }
    static bool testColCount(Page& p, int n) { return p.TestPageColCnt(n); }
    static void setEdges(Page& p, double minX, double maxX)
    {
        p.minX = minX;
        p.maxX = maxX;
    }
    static void setColCount(Page& p, int n) { p.colCount = n; }
    static int colCount(const Page& p) { return p.colCount; }
    static void combine(Page& p) { p.combineTextBlock(); }
    static void addtext(Page& p, TextCollect* run) { p.addtext(run); }
    static std::vector<TextBlock*>& textBlocks(Page& p) { return p.textBlocks; }
};

namespace {

using parser_detail::ObjectAccess;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A parser text run with the given geometry (matrix e, f = x, y).
std::unique_ptr<TextCollect> MakeRun(const std::string& text, double x, double y, double w,
                                     double h, double fontSize = 12,
                                     ParserMatrix m = ParserMatrix{})
{
    auto run = std::make_unique<TextCollect>();
    m.e = x;
    m.f = y;
    ObjectAccess::SetMatrix(*run, m);
    ObjectAccess::Text(*run) = text;
    ObjectAccess::FontSize(*run) = fontSize;
    ObjectAccess::Width(*run) = w;
    ObjectAccess::Height(*run) = h;
    run->runWidth = w;
    run->runHeight = h;
    return run;
}

// A plain block of a given rectangle, band and column.
class TestBlock : public Block {
public:
    TestBlock(double bx, double by, double w, double h, int band = 1, int col = 1, double d = 0)
    {
        x = bx;
        y = by;
        width = w;
        height = h;
        rowBand = band;
        column = col;
        dim = d;
    }
    void Write(void*) override {}
    bool EatBlock(Block*) override { return false; }
};

// Creation order is how the tests name blocks in an expected order.
std::vector<std::uint64_t> Order(const std::vector<Block*>& v)
{
    std::vector<std::uint64_t> out;
    for (const Block* b : v)
        out.push_back(b->getCreationOrder());
    return out;
}

// ---- safe truncation -----------------------------------------------------

TEST(SafeMath, TruncationsStayDefined)
{
    struct Case {
        double v;
        int expected;
    } cases[] = {
        {20.9, 20}, {-20.9, 20}, {0.0, 0}, {-0.4, 0}, {kNaN, 0},
        {std::numeric_limits<double>::infinity(), INT_MAX},
        {-std::numeric_limits<double>::infinity(), INT_MAX}, {1e300, INT_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(safemath::TruncAbs(c.v), c.expected) << c.v;
    EXPECT_EQ(safemath::Div(1.0, 0.0, 7.0), 7.0);
    EXPECT_EQ(safemath::Div(0.0, 0.0), 0.0);
    EXPECT_EQ(safemath::Div(1e308, 1e-308), 0.0);
    EXPECT_EQ(safemath::Div(6.0, 3.0), 2.0);
}

// ---- rectangles and the merge test ----------------------------------------

TEST(BlockGeometry, RectsOverlap)
{
    struct Case {
        double r[8];
        bool expected;
    } cases[] = {
        {{0, 0, 10, 10, 10, 10, 20, 20}, true},      // corners touch
        {{0, 0, 10, 10, 10.01, 0, 20, 10}, false},   // apart
        {{0, 0, 10, 10, 2, 2, 3, 3}, true},          // inside
        {{0, 0, -1, 10, 0, 0, 10, 10}, false},       // first is empty
        {{0, 0, 10, 10, 0, 5, 10, 4}, false},        // second is empty
        {{0, 0, kNaN, 10, 0, 0, 10, 10}, false},
    };
    for (const Case& c : cases) {
        const double* r = c.r;
        EXPECT_EQ(rectsOverlap(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]), c.expected);
    }
}

TEST(BlockGeometry, IsContainThresholds)
{
    struct Case {
        const char* what;
        TestBlock a;
        TestBlock b;
        bool expected;
    } cases[] = {
        {"different columns", {0, 100, 100, 10, 1, 1, 10}, {0, 100, 100, 10, 1, 2, 10}, false},
        {"B's dim under 0.1", {0, 100, 100, 10, 1, 1, 10}, {0, 100, 100, 10, 1, 1, 0.05}, false},
        {"dims 10 and 3", {0, 100, 100, 10, 1, 1, 10}, {0, 100, 100, 10, 1, 1, 3}, false},
        {"dims 3 and 10", {0, 100, 100, 10, 1, 1, 3}, {0, 100, 100, 10, 1, 1, 10}, false},
        // Ratio exactly 3. A grows down to 100 - 3.6 = 96.4; B (dim 3) grows
        // up to y + 10 + 1.2.
        {"dims 9 and 3, apart", {0, 100, 100, 10, 1, 1, 9}, {0, 85, 100, 10, 1, 1, 3}, false},
        {"dims 9 and 3, meeting", {0, 100, 100, 10, 1, 1, 9}, {0, 85.5, 100, 10, 1, 1, 3},
         true},
        {"dims 3 and 9, meeting", {0, 85.5, 100, 10, 1, 1, 3}, {0, 100, 100, 10, 1, 1, 9},
         true},
        {"3 points apart", {0, 113, 100, 10, 1, 1, 10}, {0, 100, 100, 10, 1, 1, 10}, true},
        {"9 points apart", {0, 119, 100, 10, 1, 1, 10}, {0, 100, 100, 10, 1, 1, 10}, false},
        {"side by side, x apart", {0, 100, 100, 10, 1, 1, 10}, {150, 100, 100, 10, 1, 1, 10},
         false},
        {"A's dim 0", {0, 100, 100, 10, 1, 1, 0}, {0, 100, 100, 10, 1, 1, 10}, false},
        {"NaN position", {kNaN, 100, 100, 10, 1, 1, 10}, {0, 100, 100, 10, 1, 1, 10}, false},
    };
    for (Case& c : cases)
        EXPECT_EQ(c.a.isContain(&c.b), c.expected) << c.what;
}

TEST(BlockGeometry, AddWidthSetsTheValue)
{
    TestBlock b(0, 0, 100, 10);
    b.addWidth(5);
    EXPECT_EQ(b.getWidth(), 5);
    b.addHeight(7);
    EXPECT_EQ(b.getHeight(), 7);
}

// ---- reading order ----------------------------------------------------------

TEST(ReadingOrder, WorkedValues)
{
    struct Case {
        const char* what;
        std::vector<TestBlock> blocks;   // in creation order
        std::vector<int> expected;       // indexes into blocks, in reading order
    };
    std::vector<Case> cases;
    // A.y - B.y = 20 is not more than |trunc(20.9)|: same strip, by x.
    cases.push_back({"same strip falls to x", {{100, 500, 50, 20.9}, {50, 480, 50, 20.9}}, {1, 0}});
    // 21 apart: A is above.
    cases.push_back({"A above B", {{100, 501, 50, 20.9}, {50, 480, 50, 20.9}}, {0, 1}});
    cases.push_back({"B above A", {{50, 480, 50, 20.9}, {100, 501, 50, 20.9}}, {1, 0}});
    // Band 1 before band 2 whatever columns and positions.
    cases.push_back({"band first",
                     {{0, 700, 50, 10, 2, 1}, {300, 10, 50, 10, 1, 3}, {0, 10, 50, 10, 2, 1}},
                     {1, 0, 2}});
    // Column 0 (unassigned) sorts before column 1.
    cases.push_back({"column 0 first", {{0, 700, 50, 10, 1, 1}, {300, 10, 50, 10, 1, 0}}, {1, 0}});
    // Column by column, each from the top.
    cases.push_back({"columns",
                     {{300, 700, 200, 10, 1, 2}, {0, 600, 200, 10, 1, 1}, {300, 600, 200, 10, 1, 2},
                      {0, 700, 200, 10, 1, 1}},
                     {3, 1, 0, 2}});
    // Equal keys: creation order.
    cases.push_back({"equal keys", {{10, 10, 5, 5}, {10, 10, 5, 5}, {10, 10, 5, 5}}, {0, 1, 2}});
    for (Case& c : cases) {
        std::vector<Block*> v;
        for (TestBlock& b : c.blocks)
            v.push_back(&b);
        std::vector<Block*> expected;
        for (int i : c.expected)
            expected.push_back(&c.blocks[static_cast<std::size_t>(i)]);
        // Every starting order gives the same result.
        std::sort(v.begin(), v.end());
        do {
            std::vector<Block*> w = v;
            Block::SortReadingOrder(w);
            EXPECT_EQ(w, expected) << c.what;
        } while (std::next_permutation(v.begin(), v.end()));
    }
}

// Random blocks with NaN, zero, negative and repeated values.
std::vector<std::unique_ptr<TestBlock>> HostileBlocks(unsigned seed, int n)
{
    std::mt19937 rng(seed);
    const double values[] = {0.0, -0.0, 10.0, 10.0, 20.9, -5.0, kNaN, 1e300,
                             std::numeric_limits<double>::infinity(), 499.5, 500.0};
    auto pick = [&] { return values[rng() % std::size(values)]; };
    std::vector<std::unique_ptr<TestBlock>> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(std::make_unique<TestBlock>(pick(), pick(), pick(), pick(),
                                                  1 + static_cast<int>(rng() % 2),
                                                  static_cast<int>(rng() % 3)));
    }
    return out;
}

TEST(ReadingOrder, IsAStrictWeakOrderingOnHostileInput)
{
    auto owned = HostileBlocks(1, 40);
    std::vector<Block*> v;
    for (auto& b : owned)
        v.push_back(b.get());
    Block::SortReadingOrder(v);   // numbers the lines
    const auto less = Block::SortPredicate;
    for (Block* a : v) {
        EXPECT_FALSE(less(a, a));
        for (Block* b : v) {
            if (less(a, b)) {
                EXPECT_FALSE(less(b, a));
            }
            for (Block* c : v) {
                if (less(a, b) && less(b, c)) {
                    EXPECT_TRUE(less(a, c));
                }
                const bool abEq = !less(a, b) && !less(b, a);
                const bool bcEq = !less(b, c) && !less(c, b);
                if (abEq && bcEq) {
                    EXPECT_TRUE(!less(a, c) && !less(c, a));
                }
            }
        }
    }
}

TEST(ReadingOrder, SameResultFromAnyStartingOrder)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        auto owned = HostileBlocks(seed, 60);
        std::vector<Block*> v;
        for (auto& b : owned)
            v.push_back(b.get());
        std::vector<Block*> first = v;
        Block::SortReadingOrder(first);
        std::vector<Block*> again = v;
        std::shuffle(again.begin(), again.end(), std::mt19937(seed * 7));
        Block::SortReadingOrder(again);
        EXPECT_EQ(Order(first), Order(again)) << seed;
        std::vector<Block*> reversed(v.rbegin(), v.rend());
        Block::SortReadingOrder(reversed);
        EXPECT_EQ(Order(first), Order(reversed)) << seed;
    }
}

// ---- text blocks: taking runs ---------------------------------------------

TEST(TextBlockAdd, FirstRunIsAlwaysTaken)
{
    TextBlock b(nullptr);
    auto run = MakeRun("a", 10, 20, 0.4, 0.5);
    EXPECT_TRUE(b.addElement(run.get(), 800));
    EXPECT_EQ(b.getHeight(), 1);
    EXPECT_EQ(b.getWidth(), 1);
    EXPECT_EQ(b.getDim(), 0.5);
    EXPECT_EQ(b.getX(), 10);
    EXPECT_EQ(b.getY(), 20);
}

TEST(TextBlockAdd, Thresholds)
{
    // A block made of one run at x 100, y 500, 50 wide, text height 10
    // (right edge 150); then one more run.
    struct Case {
        const char* what;
        double x, y, w, h;
        bool taken;
        double width, height, dim;   // after the call (when taken)
    } cases[] = {
        {"text height 0.05", 160, 500, 20, 0.05, false, 0, 0, 0},
        {"width 0.05", 160, 500, 0.05, 10, false, 0, 0, 0},
        {"height 31 over dim 10", 160, 500, 20, 31, false, 0, 0, 0},
        {"height 30 over dim 10", 155, 500, 20, 30, true, 75, 30, 30},
        {"9 points right", 159, 500, 20, 10, true, 79, 10, 10},
        {"11 points right", 161, 500, 20, 10, false, 0, 0, 0},
        {"height 11.7 gives dim 11", 155, 500, 20, 11.7, true, 75, 11, 11},
        {"width 100.6 becomes 100", 150.6, 500, 50, 10, true, 100, 10, 10},
        {"just above", 100, 510.15, 50, 10, true, 50, 20, 10},
        {"too far above", 100, 510.3, 50, 10, false, 0, 0, 0},
        {"NaN position", kNaN, 500, 20, 10, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TextBlock b(nullptr);
        auto first = MakeRun("first", 100, 500, 50, 10);
        ASSERT_TRUE(b.addElement(first.get(), 800));
        auto run = MakeRun("second", c.x, c.y, c.w, c.h);
        EXPECT_EQ(b.addElement(run.get(), 800), c.taken) << c.what;
        if (!c.taken) {
            EXPECT_EQ(b.GetEleCount(), 1) << c.what;
            continue;
        }
        EXPECT_EQ(b.GetEleCount(), 2) << c.what;
        EXPECT_EQ(b.getWidth(), c.width) << c.what;
        EXPECT_EQ(b.getHeight(), c.height) << c.what;
        EXPECT_EQ(b.getDim(), c.dim) << c.what;
    }
}

TEST(TextBlockAdd, TinyGrownWidthBecomesOne)
{
    TextBlock b(nullptr);
    auto first = MakeRun("a", 10, 10, 0.2, 10);
    auto second = MakeRun("b", 10.2, 10, 0.2, 10);
    ASSERT_TRUE(b.addElement(first.get(), 800));
    ASSERT_TRUE(b.addElement(second.get(), 800));
    EXPECT_EQ(b.getWidth(), 1);   // 10 .. 10.4 is 0.4 wide
}

TEST(TextBlockAdd, RunRecordCarriesTheRun)
{
    TextBlock b(nullptr);
    auto run = MakeRun("Wort", 72, 700, 30, 12, 11);
    ObjectAccess::FontName(*run) = "Helvetica";
    ObjectAccess::Bold(*run) = true;
    ObjectAccess::Color(*run) = ParserColor{0.5, 0.25, 1.0};
    ASSERT_TRUE(b.addElement(run.get(), 842));
    b.returnTheFirst();
    const Text* t = b.getCurrentElement();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->text, "Wort");
    EXPECT_EQ(t->fontName, "Helvetica");
    EXPECT_EQ(t->fontSize, 11);
    EXPECT_TRUE(t->bold);
    EXPECT_EQ(t->color[1], 0.25);
    EXPECT_EQ(t->x, 72);
    EXPECT_EQ(t->y, 700);
    EXPECT_EQ(t->pageHeight, 842);
    EXPECT_EQ(t->runWidth, 30);
    EXPECT_FALSE(t->hasLink);
}

TEST(TextBlockAdd, ControlCharactersAreDropped)
{
    TextBlock b(nullptr);
    auto run = MakeRun(std::string("a\x01") + "b\tc\x1f\x7f\r\n\xc3\xa9", 0, 0, 10, 10);
    ASSERT_TRUE(b.addElement(run.get(), 800));
    b.returnTheFirst();
    EXPECT_EQ(b.getCurrentElement()->text, "ab\tc\x7f\r\n\xc3\xa9");
}

TEST(TextBlockAdd, TurnedTextKeepsAPositiveFontSize)
{
    const double c90 = std::cos(std::numbers::pi / 2);
    struct Case {
        ParserMatrix m;
    } cases[] = {
        {{1, 0, 0, 1, 0, 0}},        // upright
        {{c90, 1, -1, c90, 0, 0}},   // 90 degrees
        {{-1, 0, 0, -1, 0, 0}},      // 180 degrees
        {{c90, -1, 1, c90, 0, 0}},   // 270 degrees
    };
    for (const Case& c : cases) {
        TextBlock b(nullptr);
        auto run = MakeRun("x", 100, 100, 10, 10, 12, c.m);
        ASSERT_TRUE(b.addElement(run.get(), 800));
        b.returnTheFirst();
        EXPECT_NEAR(b.getCurrentElement()->fontSize, 12.0, 1e-9);
    }
}

// ---- text blocks: words ------------------------------------------------------

// A block holding runs P and Q, joined into words.
std::vector<std::string> JoinTwo(const std::string& p, double px, double py, double pw, double ph,
                                 const std::string& q, double qx, double qy, double qw, double qh,
                                 double fontSize = 12)
{
    TextBlock b(nullptr);
    auto r1 = MakeRun(p, px, py, pw, ph, fontSize);
    auto r2 = MakeRun(q, qx, qy, qw, qh, fontSize);
    EXPECT_TRUE(b.addElement(r1.get(), 800));
    // Runs are placed through addElement when the block takes them, else
    // appended directly: the join does not depend on how a run came in.
    if (!b.addElement(r2.get(), 800)) {
        TextBlock tmp(nullptr);
        tmp.addElement(r2.get(), 800);
        b.EatBlock(&tmp);
    }
    b.parserLatinWords();
    std::vector<std::string> out;
    b.returnTheFirst();
    while (const Text* t = b.getCurrentElement()) {
        out.push_back(t->text);
        b.setNext();
    }
    return out;
}

TEST(Words, JoinRules)
{
    using V = std::vector<std::string>;
    struct Case {
        const char* what;
        std::string p;
        double px, py, pw, ph;
        std::string q;
        double qx, qy, qw, qh;
        V expected;
    } cases[] = {
        {"gap 1", "Wor", 100, 500, 20, 10, "ds", 121, 500, 10, 10, V{"Words"}},
        {"gap 3", "Wor", 100, 500, 20, 10, "ds", 123, 500, 10, 10, V{"Wor", "ds"}},
        {"gap just under 2.4", "ab", 100, 500, 20, 10, "cd", 122.39, 500, 10, 10, V{"abcd"}},
        {"gap 2.4", "ab", 100, 500, 20, 10, "cd", 122.4, 500, 10, 10, V{"ab", "cd"}},
        {"overlapping runs", "ab", 100, 500, 20, 10, "cd", 115, 500, 10, 10, V{"abcd"}},
        {"Q begins with a space", "ab", 100, 500, 20, 10, " cd", 120, 500, 10, 10,
         V{"ab", " cd"}},
        {"P begins with a space", " ab", 100, 500, 20, 10, "cd", 120, 500, 10, 10,
         V{" ab", "cd"}},
        {"heights 19 and 10", "ab", 100, 500, 20, 19, "cd", 120, 500, 10, 10, V{"abcd"}},
        {"heights 20 and 10", "ab", 100, 500, 20, 20, "cd", 120, 500, 10, 10, V{"ab", "cd"}},
        {"heights 10 and 20", "ab", 100, 500, 20, 10, "cd", 120, 500, 10, 20, V{"abcd"}},
        // 9 points lower with font size 12: one line for the sort (by x) and
        // for the join (9 <= 10.2).
        {"9 points lower", "ab", 100, 500, 20, 10, "cd", 120, 491, 10, 10, V{"abcd"}},
        {"11 points lower", "ab", 100, 500, 20, 10, "cd", 120, 489, 10, 10, V{"ab", "cd"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinTwo(c.p, c.px, c.py, c.pw, c.ph, c.q, c.qx, c.qy, c.qw, c.qh), c.expected)
            << c.what;
    }
}

// A word broken by a hyphen at a line end, in reflowed text: joined without
// a space; the hyphen goes before lower case and stays before anything else.
TEST(Words, LineEndHyphens)
{
    struct Case {
        const char* end;
        const char* next;
        LineJoin join;
        const char* endAfter;   // the end's text once the join is made
    } const cases[] = {
        {"adip-", "iscing", LineJoin::DropHyphen, "adip"},
        {"Jean-", "Pierre", LineJoin::KeepHyphen, "Jean-"},
        {"Gro\xC3\x9F-", "st\xC3\xA4" "dte", LineJoin::DropHyphen, "Gro\xC3\x9F"},          // German
        {"\xD0\xBF\xD1\x80\xD0\xB8-", "\xD0\xBC\xD0\xB5\xD1\x80", LineJoin::DropHyphen,
         "\xD0\xBF\xD1\x80\xD0\xB8"},                                                      // Cyrillic
        {"\xC3\xA9t\xC3\xA9-", "\xC3\x89t\xC3\xA9", LineJoin::KeepHyphen, "\xC3\xA9t\xC3\xA9-"}, // capital after
        {"co\xE2\x80\x90", "operate", LineJoin::DropHyphen, "co"},                             // U+2010
        {"Ver\xC2\xAD", "Sion", LineJoin::DropHyphen, "Ver"},                                   // soft hyphen
        {"sto\xC5\x82-", "\xC5\x82y", LineJoin::DropHyphen, "sto\xC5\x82"},                  // l with stroke
        {"x-", "2", LineJoin::Space, "x-"},        // a number after the hyphen
        {"-", "iscing", LineJoin::Space, "-"},     // a dash, no word before it
        {"1990-", "iscing", LineJoin::Space, "1990-"},
        {"word", "next", LineJoin::Space, "word"},
        {"en\xE2\x80\x93", "dash", LineJoin::Space, "en\xE2\x80\x93"},                      // en dash
        {"", "", LineJoin::Space, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinAtLineEnd(c.end, c.next), c.join) << c.end << " " << c.next;
        if (c.join == LineJoin::DropHyphen) {
            std::string text = c.end;
            DropLineEndHyphen(text);
            EXPECT_EQ(text, c.endAfter) << c.end;
        }
    }
}

TEST(Words, JoinedRunTakesTheSpan)
{
    TextBlock b(nullptr);
    auto r1 = MakeRun("Wor", 100, 500, 20, 10);
    auto r2 = MakeRun("ds", 121, 500, 10, 10);
    ASSERT_TRUE(b.addElement(r1.get(), 800));
    ASSERT_TRUE(b.addElement(r2.get(), 800));
    b.parserLatinWords();
    ASSERT_EQ(b.GetEleCount(), 1);
    b.returnTheFirst();
    EXPECT_EQ(b.getCurrentElement()->width, 31);
}

TEST(Words, SortGoesByLineThenX)
{
    // Runs 9 points apart with font size 12 share a line: the lower one,
    // further left, comes first. A run 20 points lower does not.
    TextBlock b(nullptr);
    auto r1 = MakeRun("right", 100, 500, 20, 10);
    auto r2 = MakeRun("left", 10, 491, 20, 10);
    auto r3 = MakeRun("below", 0, 480, 20, 10);
    ASSERT_TRUE(b.addElement(r1.get(), 800));
    for (auto* r : {r3.get(), r2.get()}) {
        TextBlock other(nullptr);
        ASSERT_TRUE(other.addElement(r, 800));
        ASSERT_TRUE(b.EatBlock(&other));
    }
    std::vector<std::string> got;
    for (b.returnTheFirst(); b.getCurrentElement(); b.setNext())
        got.push_back(b.getCurrentElement()->text);
    EXPECT_EQ(got, (std::vector<std::string>{"left", "right", "below"}));
}

TEST(Words, TurnedRunsAreNotJoined)
{
    // Words of a line turned 180 degrees overlap along x as measured by the
    // upright rule; they stay separate words.
    const ParserMatrix turned{-1, 0, 0, -1, 0, 0};
    TextBlock b(nullptr);
    auto r1 = MakeRun("here", 300, 400, 25, 12, 12, turned);
    auto r2 = MakeRun("text", 320, 400, 25, 12, 12, turned);
    ASSERT_TRUE(b.addElement(r1.get(), 800));
    ASSERT_TRUE(b.addElement(r2.get(), 800));
    b.parserLatinWords();
    EXPECT_EQ(b.GetEleCount(), 2);
}

TEST(Words, CombineElementsKeepsListOrder)
{
    // Three one-letter runs at x 10, 20 and 40, each 5 wide.
    TextBlock b(nullptr);
    for (auto [text, x] : {std::pair{"a", 10.0}, std::pair{"b", 20.0}, std::pair{"c", 40.0}}) {
        auto* t = new Text;
        t->text = text;
        t->x = x;
        t->width = 5;
        b.addText(t);
    }
    b.CombineElements();
    ASSERT_EQ(b.GetEleCount(), 1);
    b.returnTheFirst();
    EXPECT_EQ(b.getCurrentElement()->text, "abc");
    EXPECT_EQ(b.getCurrentElement()->width, 35);

    TextBlock one(nullptr);
    auto r = MakeRun("a", 10, 0, 5, 10);
    one.addElement(r.get(), 800);
    one.CombineElements();
    EXPECT_EQ(one.GetEleCount(), 1);
    one.returnTheFirst();
    EXPECT_EQ(one.getCurrentElement()->text, "a");
}

TEST(Words, EmptyBlockCursor)
{
    TextBlock b(nullptr);
    EXPECT_EQ(b.GetEleCount(), 0);
    EXPECT_EQ(b.getCurrentElement(), nullptr);
    b.returnTheFirst();
    EXPECT_EQ(b.getCurrentElement(), nullptr);
    b.setNext();
    EXPECT_EQ(b.getCurrentElement(), nullptr);
}

TEST(Words, EatBlockUnitesRectangles)
{
    TextBlock a(nullptr);
    TextBlock o(nullptr);
    auto r1 = MakeRun("a", 100, 500, 50, 10);
    auto r2 = MakeRun("b", 80, 470, 200, 10);
    a.addElement(r1.get(), 800);
    o.addElement(r2.get(), 800);
    ASSERT_TRUE(a.EatBlock(&o));
    EXPECT_EQ(a.getX(), 80);
    EXPECT_EQ(a.getWidth(), 200);
    EXPECT_EQ(a.getY(), 470);
    EXPECT_EQ(a.getHeight(), 40);
    EXPECT_EQ(a.getDim(), 10);
    EXPECT_EQ(a.GetEleCount(), 2);
    EXPECT_EQ(o.GetEleCount(), 0);

    TestBlock notText(0, 0, 1, 1);
    EXPECT_FALSE(a.EatBlock(&notText));
}

TEST(Words, MoveShiftsRunsNotTheBlock)
{
    TextBlock b(nullptr);
    auto r = MakeRun("a", 100, 500, 50, 10);
    b.addElement(r.get(), 800);
    b.moveX(5);
    b.moveY(-7);
    b.returnTheFirst();
    EXPECT_EQ(b.getCurrentElement()->x, 105);
    EXPECT_EQ(b.getCurrentElement()->y, 493);
    EXPECT_EQ(b.getX(), 100);
}

// Runs with NaN, zero and negative sizes and positions, on few distinct
// values so that many keys tie.
std::vector<Text*> HostileTexts(unsigned seed, int n)
{
    std::mt19937 rng(seed);
    const double values[] = {0.0, -0.0, 12.0, 12.0, -12.0, 9.0, kNaN, 100.0, 100.0, 1e300};
    auto pick = [&] { return values[rng() % std::size(values)]; };
    std::vector<Text*> out;
    for (int i = 0; i < n; ++i) {
        auto* t = new Text;
        t->x = pick();
        t->y = pick();
        t->fontSize = pick();
        t->height = pick();
        t->width = pick();
        t->text = std::string(1, static_cast<char>('a' + i % 26));
        out.push_back(t);
    }
    return out;
}

TEST(Words, TextOrderIsAStrictWeakOrderingOnHostileInput)
{
    std::vector<Text*> v = HostileTexts(3, 40);
    SortTexts(v);
    for (Text* a : v) {
        EXPECT_FALSE(TextSortPredicate(a, a));
        for (Text* b : v) {
            if (TextSortPredicate(a, b)) {
                EXPECT_FALSE(TextSortPredicate(b, a));
            }
            for (Text* c : v) {
                if (TextSortPredicate(a, b) && TextSortPredicate(b, c)) {
                    EXPECT_TRUE(TextSortPredicate(a, c));
                }
            }
        }
    }
    for (Text* t : v)
        delete t;
}

TEST(Words, JoiningHostileRunsIsRepeatable)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::string results[2];
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<Text*> v = HostileTexts(seed, 50);
            if (pass == 1)
                std::reverse(v.begin(), v.end());
            TextBlock b(nullptr);
            for (Text* t : v) {
                t->matrix[0] = t->matrix[3] = 1;   // upright, so that words may join
                b.addText(t);
            }
            b.parserLatinWords();
            for (b.returnTheFirst(); b.getCurrentElement(); b.setNext())
                results[pass] += b.getCurrentElement()->text + "|";
        }
        // Both passes made their runs in the same order; the order in which
        // the block received them does not matter.
        EXPECT_FALSE(results[0].empty());
        EXPECT_EQ(results[0], results[1]) << seed;
    }
}

// Words in one font, made into records on several threads at once, share
// one name equal to the font's; a record's copy keeps its own link address.
TEST(TextRecord, NamesSharedAcrossThreadsAddressesCopied)
{
    const std::string fonts[] = {"Helvetica", "Times-Roman", "", "ABCDEF+A-Font-Name-Longer-Than-Sixteen"};
    std::vector<std::vector<SharedName>> made(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < made.size(); ++t) {
        threads.emplace_back([&fonts, &made, t] {
            for (int round = 0; round < 100; ++round) {
                for (const std::string& f : fonts)
                    made[t].emplace_back(f);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const std::vector<SharedName>& names : made) {
        ASSERT_EQ(names.size(), made[0].size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(names[i], made[0][i]) << i;
            EXPECT_EQ(names[i], fonts[i % 4]) << i;
        }
    }
    EXPECT_TRUE(SharedName().empty());

    Text a;
    a.uri = "https://example.org/a";
    const Text b = a;
    a.uri = "https://example.org/changed";
    EXPECT_EQ(b.uri, "https://example.org/a");
    a.uri = "";
    EXPECT_TRUE(a.uri.empty());
    EXPECT_EQ(b.uri, "https://example.org/a");
}

// ---- scaleText --------------------------------------------------------------

TEST(ScaleText, UprightRun)
{
    Text src;
    const double m[6] = {1, 0, 0, 1, 100, 700};
    std::copy(std::begin(m), std::end(m), src.matrix);
    src.runWidth = 50;
    src.runHeight = 12;
    src.text = "run";
    src.color[0] = 1.0;
    src.color[1] = 0.5;
    src.color[2] = 1.5;
    src.hasLink = true;
    src.uri = "http://example.org";
    std::unique_ptr<Text> t(scaleText(&src, 1.0, 2.0, 792));
    EXPECT_EQ(t->width, 50);
    EXPECT_EQ(t->height, 12);
    EXPECT_EQ(t->x, 100);
    EXPECT_EQ(t->y, 80);
    EXPECT_EQ(t->fontSize, 24);
    EXPECT_EQ(t->angle, 0);
    const double expected[6] = {1, 0, 0, 1, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(t->matrix[i], expected[i]) << i;   // -0 == 0
    EXPECT_EQ(t->text, "run");
    EXPECT_EQ(t->color[0], 255);
    EXPECT_EQ(t->color[1], 127);
    EXPECT_EQ(t->color[2], 255);
    EXPECT_FALSE(t->hasLink);
    EXPECT_TRUE(t->uri.empty());
}

TEST(ScaleText, TurnedAndDegenerateRunsStayFinite)
{
    struct Case {
        double m[6];
    } cases[] = {
        {{0, 1, -1, 0, 100, 100}},    // 90 degrees
        {{-1, 0, 0, -1, 100, 100}},   // 180 degrees
        {{0, 0, 0, 0, 100, 100}},     // degenerate
        {{1, 0, 0, 1, 100, 100}},     // upright, zero-sized run below
    };
    for (const Case& c : cases) {
        Text src;
        std::copy(std::begin(c.m), std::end(c.m), src.matrix);
        src.runWidth = c.m[0] == 1 ? 0 : 40;
        src.runHeight = c.m[0] == 1 ? 0 : 10;
        std::unique_ptr<Text> t(scaleText(&src, 1.0, 2.0, 792));
        for (double v : {t->x, t->y, t->width, t->height, t->fontSize, t->angle})
            EXPECT_TRUE(std::isfinite(v));
        for (double v : t->matrix)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_GE(t->fontSize, 0);
    }
    Text turned;
    const double m90[6] = {0, 1, -1, 0, 100, 100};
    std::copy(std::begin(m90), std::end(m90), turned.matrix);
    turned.runHeight = 10;
    std::unique_ptr<Text> t(scaleText(&turned, 1.0, 2.0, 792));
    EXPECT_NEAR(t->angle, -90, 1e-4);
    EXPECT_NEAR(t->fontSize, 20, 1e-4);
}

// ---- columns and row bands ----------------------------------------------------

class Columns : public ::testing::Test {
protected:
    Page page{nullptr};
    // Text blocks made from one run each, then resized.
    TextBlock* addText(double x, double y, double w, double h)
    {
        auto* b = new TextBlock(nullptr);
        auto run = MakeRun("w", x, y, 1, 1);
        b->addElement(run.get(), 792);
        b->setWidth(w);
        b->setHeight(h);
        PageTestAccess::blocks(page).push_back(b);
        return b;
    }
    std::vector<int> columns()
    {
        std::vector<int> out;
        for (Block* b : PageTestAccess::blocks(page))
            out.push_back(b->getColumn());
        return out;
    }
    std::vector<int> bands()
    {
        std::vector<int> out;
        for (Block* b : PageTestAccess::blocks(page))
            out.push_back(b->getRowBand());
        return out;
    }
};

TEST_F(Columns, NoTextBlockIsOneColumn)
{
    PageTestAccess::setSize(page, 612, 792);
    auto* img = new ImageBlock(nullptr);
    PageTestAccess::blocks(page).push_back(img);
    PageTestAccess::splitCol(page);
    EXPECT_EQ(PageTestAccess::colCount(page), 1);
    EXPECT_EQ(columns(), std::vector<int>{1});
    EXPECT_EQ(bands(), std::vector<int>{1});
    EXPECT_FALSE(page.isMultiCol());
}

TEST_F(Columns, EdgesOfAColumn)
{
    // minX 0, maxX 200, two columns of 100: a block starting at
    // 1 x 100 - 5 = 95 starts in column 1; one ending at 100 + 3 ends there.
    PageTestAccess::setSize(page, 612, 792);
    struct Case {
        double x, w;
        int column;
    } cases[] = {
        {95, 5, 1}, {95.01, 5, 2}, {0, 103, 1}, {0, 103.5, -1}, {150, 50, 2}, {95, 105, -1},
    };
    for (const Case& c : cases) {
        Page p(nullptr);
        PageTestAccess::setSize(p, 612, 792);
        auto* b = new TextBlock(nullptr);
        b->setPosition(c.x, 100);
        b->setWidth(c.w);
        b->setHeight(10);
        PageTestAccess::blocks(p).push_back(b);
        PageTestAccess::setEdges(p, 0, 200);
        PageTestAccess::testColCount(p, 2);
        EXPECT_EQ(b->getColumn(), c.column) << c.x << " " << c.w;
    }
}

TEST_F(Columns, TwoEqualColumns)
{
    PageTestAccess::setSize(page, 612, 792);
    addText(72, 100, 220, 600);
    addText(320, 100, 220, 600);
    PageTestAccess::splitCol(page);
    EXPECT_EQ(PageTestAccess::colCount(page), 2);
    EXPECT_EQ(columns(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(page.isMultiCol());
}

TEST_F(Columns, MeasureRules)
{
    // Two columns whose areas (height in column widths) are compared: the
    // smaller under half of the larger, or the larger under the minimum of
    // max(30, 5% of the page height), give one column.
    struct Case {
        const char* what;
        double h1, h2, pageHeight;
        int expected;
    } cases[] = {
        {"equal", 600, 600, 792, 2},
        {"one under half", 600, 290, 792, 1},
        {"half exactly", 600, 300, 792, 2},
        {"both short", 29, 29, 100, 1},
        {"at 30", 30, 30, 100, 2},
        {"at 5% of a tall page", 50, 50, 1000, 2},
        {"under 5% of a tall page", 40, 40, 1000, 1},
    };
    for (const Case& c : cases) {
        Page p(nullptr);
        PageTestAccess::setSize(p, 612, c.pageHeight);
        // Columns 72..306 and 306..540, each one column width (234) wide, so
        // that a column's measure is its height.
        for (auto [x, h] : {std::pair{72.0, c.h1}, std::pair{306.0, c.h2}}) {
            auto* b = new TextBlock(nullptr);
            b->setPosition(x, 10);
            b->setWidth(234);
            b->setHeight(h);
            PageTestAccess::blocks(p).push_back(b);
        }
        PageTestAccess::splitCol(p);
        EXPECT_EQ(PageTestAccess::colCount(p), c.expected) << c.what;
    }
}

TEST_F(Columns, ThreeColumnsAreTriedFirst)
{
    PageTestAccess::setSize(page, 612, 792);
    addText(54, 100, 150, 550);
    addText(230, 100, 150, 550);
    addText(406, 100, 150, 550);
    PageTestAccess::splitCol(page);
    EXPECT_EQ(PageTestAccess::colCount(page), 3);
    EXPECT_EQ(columns(), (std::vector<int>{1, 2, 3}));
}

TEST_F(Columns, FullWidthTitleCutsABand)
{
    PageTestAccess::setSize(page, 612, 792);
    TextBlock* title = addText(72, 700, 468, 20);
    addText(72, 100, 220, 580);
    addText(320, 100, 220, 580);
    TextBlock* footer = addText(72, 720.5, 100, 10);   // above the cut 700 + 6
    PageTestAccess::splitCol(page);
    ASSERT_EQ(PageTestAccess::colCount(page), 2);
    EXPECT_EQ(title->getColumn(), -1);
    PageTestAccess::splitRow(page);
    EXPECT_EQ(bands(), (std::vector<int>{2, 2, 2, 1}));
    EXPECT_EQ(footer->getRowBand(), 1);
}

TEST_F(Columns, OneColumnKeepsBands)
{
    PageTestAccess::setSize(page, 612, 792);
    addText(72, 100, 468, 600);
    addText(72, 50, 468, 20);
    PageTestAccess::splitCol(page);
    PageTestAccess::splitRow(page);
    EXPECT_EQ(PageTestAccess::colCount(page), 1);
    EXPECT_EQ(bands(), (std::vector<int>{1, 1}));
}

TEST_F(Columns, ZeroWidthTextIsOneColumn)
{
    PageTestAccess::setSize(page, 612, 792);
    addText(100, 100, 0, 600);
    addText(100, 50, 0, 600);
    PageTestAccess::splitCol(page);
    EXPECT_EQ(PageTestAccess::colCount(page), 1);
    EXPECT_EQ(columns(), (std::vector<int>{1, 1}));
}

TEST_F(Columns, HostilePageSortsTheSameEveryTime)
{
    // Blocks with NaN, zero and huge positions and sizes go through the whole
    // column analysis, merging and sort twice, the second time at other
    // memory addresses: the same order comes out.
    std::vector<std::uint64_t> results[2];
    std::vector<std::unique_ptr<std::string>> padding;
    for (int pass = 0; pass < 2; ++pass) {
        Page p(nullptr);
        PageTestAccess::setSize(p, 612, 792);
        std::mt19937 rng(5);
        const double values[] = {0.0, 10.0, 72.0, 300.0, 500.0, kNaN, 1e300, -5.0, 250.0};
        std::vector<Block*> made;
        for (int i = 0; i < 40; ++i) {
            auto* b = new TextBlock(nullptr);
            auto run = MakeRun("w", values[rng() % std::size(values)],
                               values[rng() % std::size(values)], 10, 10);
            b->addElement(run.get(), 792);
            b->setWidth(values[rng() % std::size(values)]);
            b->setHeight(values[rng() % std::size(values)]);
            b->setDim(values[rng() % std::size(values)]);
            made.push_back(b);
            if (pass == 1)
                padding.push_back(std::make_unique<std::string>(64 + 8 * i, 'x'));
        }
        const std::uint64_t base = made.front()->getCreationOrder();
        PageTestAccess::blocks(p) = made;
        PageTestAccess::splitCol(p);
        PageTestAccess::combine(p);
        PageTestAccess::splitRow(p);
        for (Block* b : PageTestAccess::blocks(p)) {
            if (b->getColumn() < 0)
                b->setColumn(-b->getColumn());
        }
        Block::SortReadingOrder(PageTestAccess::blocks(p));
        for (Block* b : PageTestAccess::blocks(p))
            results[pass].push_back(b->getCreationOrder() - base);
    }
    EXPECT_FALSE(results[0].empty());
    EXPECT_EQ(results[0], results[1]);
}

TEST(PlacingRuns, SameBlocksAsTryingEveryBlockInOrder)
{
    // The page finds the block for a run through an index of the blocks'
    // lower edges; the result must be that of trying every block in order.
    const double values[] = {0.0, 0.05, 5.0, 10.0, 10.0, 11.7, 12.0, 30.0, 31.0, kNaN, 1e300};
    for (unsigned seed = 1; seed <= 30; ++seed) {
        std::mt19937 rng(seed);
        std::vector<std::unique_ptr<TextCollect>> runs;
        for (int i = 0; i < 300; ++i) {
            // Lines of words top-down, bottom-up or scattered, with odd sizes.
            const int line = seed % 3 == 0   ? i / 8
                             : seed % 3 == 1 ? 40 - i / 8
                                             : static_cast<int>(rng() % 40);
            double x = 50.0 + (i % 8) * 40.0 + static_cast<double>(rng() % 30);
            double y = 700.0 - line * 13.0 + static_cast<double>(rng() % 5);
            double h = 10.0;
            double w = 30.0;
            if (rng() % 10 == 0)
                h = values[rng() % std::size(values)];
            if (rng() % 10 == 0)
                w = values[rng() % std::size(values)];
            if (rng() % 20 == 0)
                x = values[rng() % std::size(values)];
            if (rng() % 20 == 0)
                y = values[rng() % std::size(values)];
            runs.push_back(MakeRun("r" + std::to_string(i), x, y, w, h));
        }
        Page page(nullptr);
        PageTestAccess::setSize(page, 612, 792);
        for (auto& r : runs)
            PageTestAccess::addtext(page, r.get());
        std::vector<std::unique_ptr<TextBlock>> reference;
        for (auto& r : runs) {
            bool taken = false;
            for (auto& b : reference) {
                if ((taken = b->addElement(r.get(), 792)))
                    break;
            }
            if (!taken) {
                reference.push_back(std::make_unique<TextBlock>(nullptr));
                reference.back()->addElement(r.get(), 792);
            }
        }
        const auto contents = [](TextBlock* b) {
            std::string out;
            for (const Text* t : b->getElements())
                out += t->text + " ";
            return out;
        };
        auto& got = PageTestAccess::textBlocks(page);
        ASSERT_EQ(got.size(), reference.size()) << seed;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(contents(got[i]), contents(reference[i].get())) << seed << " block " << i;
    }
}

TEST_F(Columns, MergingNeighboursInAColumn)
{
    PageTestAccess::setSize(page, 612, 792);
    TextBlock* a = addText(72, 500, 200, 10);
    addText(72, 487, 200, 10);   // 3 points below a
    addText(72, 300, 200, 10);   // far below
    for (Block* b : PageTestAccess::blocks(page)) {
        b->setColumn(1);
        b->setDim(10);
    }
    PageTestAccess::combine(page);
    ASSERT_EQ(PageTestAccess::blocks(page).size(), 2u);
    EXPECT_EQ(PageTestAccess::blocks(page)[0], a);
    EXPECT_EQ(a->GetEleCount(), 2);
    EXPECT_EQ(a->getY(), 487);
    EXPECT_EQ(a->getHeight(), 23);
}

} // namespace
