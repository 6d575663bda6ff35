// Ruling lines and tables: the line tests, grouping, merging of segments, the
// table builder, and vector paths from damaged or hostile files.
#include "engine/layout/tests/page_model_access.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {

using namespace layouttest;
using A = PageTestAccess;

std::string Describe(const line* l)
{
    return (l->kind == 1 ? "H(" : "V(") + std::to_string(l->x1) + "," + std::to_string(l->y1) +
           "," + std::to_string(l->x2) + "," + std::to_string(l->y2) + ")";
}

std::string DH(double y, double x1, double x2)
{
    const line l{1, x1, y, x2, y};
    return Describe(&l);
}

std::string DV(double x, double top, double bottom)
{
    const line l{2, x, top, x, bottom};
    return Describe(&l);
}

// ---- line tests --------------------------------------------------------

struct CrossCase {
    const char* what;
    line a;
    line b;
    bool cross;
};

line L(int kind, double x1, double y1, double x2, double y2)
{
    line l;
    l.kind = kind;
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
    return l;
}

TEST(LineTests, IsCross)
{
    const CrossCase cases[] = {
        {"horizontal end to end, ends 2 apart, y 3 apart", L(1, 0, 100, 200, 100),
         L(1, 202, 103, 400, 103), true},
        {"horizontal end to end, y 5 apart", L(1, 0, 100, 200, 100), L(1, 202, 105, 400, 105),
         false},
        {"horizontal end to end, y 4.9 apart", L(1, 0, 100, 200, 100),
         L(1, 202, 104.9, 400, 104.9), true},
        {"horizontal, second before the first", L(1, 202, 100, 400, 100),
         L(1, 0, 101, 200.5, 101), true},
        {"horizontal, overlapping but no end meets", L(1, 0, 100, 200, 100),
         L(1, 50, 100, 150, 100), false},
        {"horizontal, ends 3 apart", L(1, 0, 100, 200, 100), L(1, 203, 100, 400, 100), false},
        {"vertical crossing horizontal at y 302.9", L(2, 50, 300, 50, 100),
         L(1, 48, 302.9, 200, 302.9), true},
        {"vertical against horizontal at y 303", L(2, 50, 300, 50, 100),
         L(1, 48, 303, 200, 303), false},
        {"horizontal crossing vertical (other order)", L(1, 48, 302.9, 200, 302.9),
         L(2, 50, 300, 50, 100), true},
        {"vertical left of the horizontal's start by 3", L(2, 45, 300, 45, 100),
         L(1, 48, 200, 200, 200), false},
        {"vertical inside the horizontal's span", L(2, 120, 300, 120, 100),
         L(1, 48, 200, 200, 200), true},
        {"verticals at x 10 and 300 with the same ends", L(2, 10, 500, 10, 100),
         L(2, 300, 500, 300, 100), true},
        {"verticals, one continues the other", L(2, 10, 500, 10, 300),
         L(2, 10, 302, 10, 100), true},
        {"verticals apart", L(2, 10, 500, 10, 400), L(2, 10, 300, 10, 100), false},
        {"NaN coordinates", L(2, NAN, 500, NAN, 400), L(1, 0, 450, 100, 450), false},
    };
    for (const CrossCase& c : cases)
        EXPECT_EQ(lineblock::isCross(&c.a, &c.b), c.cross) << c.what;
}

TEST(LineTests, SortLine)
{
    line h700a = L(1, 50, 700, 200, 700);
    line h700b = L(1, 10, 700, 200, 700);
    line h500 = L(1, 0, 500, 200, 500);
    line v20 = L(2, 20, 700, 20, 100);
    line v10low = L(2, 10, 500, 10, 100);
    line v10high = L(2, 10, 700, 10, 100);
    std::vector<const line*> lines{&v20, &h500, &v10low, &h700a, &v10high, &h700b};
    std::sort(lines.begin(), lines.end(), lineblock::sortline);
    const std::vector<const line*> expected{&h700b, &h700a, &h500, &v10high, &v10low, &v20};
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(lineblock::sortline(&h500, &h500));
    EXPECT_TRUE(lineblock::sortline(&h500, &v10high));
    EXPECT_FALSE(lineblock::sortline(&v10high, &h500));
}

TEST(LineTests, AddLineTakesOnlyLinesThatCrossTheGroup)
{
    line first = L(1, 0, 100, 200, 100);
    line far = L(1, 0, 400, 200, 400);
    line crossing = L(2, 100, 150, 100, 50);
    lineblock group;
    EXPECT_TRUE(group.AddLine(&first));
    EXPECT_FALSE(group.AddLine(&far));
    EXPECT_EQ(group.GetLines()->size(), 1u);
    EXPECT_TRUE(group.AddLine(&crossing));
    // The far line now crosses the vertical? No: the vertical ends at 150.
    EXPECT_FALSE(group.AddLine(&far));
    EXPECT_EQ(group.GetLines()->size(), 2u);
    // An empty group takes any line.
    lineblock other;
    EXPECT_TRUE(other.AddLine(&far));
}

TEST(LineTests, LineLength)
{
    line l = L(1, 0, 0, 3, 4);
    EXPECT_DOUBLE_EQ(lineLength(&l), 5.0);
}

// ---- table records -------------------------------------------------------

// A table whose rows hold the given numbers of cells, each of row span
// `span`.
std::unique_ptr<TableBlock> TableOf(std::initializer_list<int> cellsPerRow, int span = 0)
{
    auto t = std::make_unique<TableBlock>(nullptr);
    for (int n : cellsPerRow) {
        auto* row = new TableBlock::TableR(nullptr);
        for (int k = 0; k < n; ++k) {
            auto* cell = new TableBlock::TableCol(nullptr);
            cell->rowSpan = span;
            row->appendCol(cell);
        }
        t->appendRow(row);
    }
    return t;
}

TEST(TableRecords, IsValid)
{
    struct Case {
        std::initializer_list<int> rows;
        bool valid;
    };
    const Case cases[] = {
        {{}, false},     {{3}, false},       {{1, 1}, false}, {{1, 2}, true},
        {{0, 2}, true},  {{0, 0, 1}, false}, {{2, 0}, true},
    };
    for (const Case& c : cases) {
        std::string what;
        for (int n : c.rows)
            what += std::to_string(n) + " ";
        EXPECT_EQ(TableOf(c.rows)->IsValid(), c.valid) << "rows with cells: " << what;
    }
}

TEST(TableRecords, DeleteInvalidRows)
{
    struct Case {
        const char* what;
        std::initializer_list<int> rows;
        int span;
        std::vector<std::size_t> cellsLeft;   // cells of each remaining row
        int firstRowSpan;
    };
    const Case cases[] = {
        {"one empty row after a row of span 2", {2, 0, 1}, 2, {2, 1}, 1},
        {"two empty rows after a row of span 3", {2, 0, 0, 1}, 3, {2, 1}, 1},
        {"empty rows at the end", {2, 1, 0, 0}, 0, {2, 1}, 0},
        // A row of single cells followed by an empty row: the spans stay
        // those of one row, never below.
        {"empty row after cells of one row", {2, 0, 2}, 0, {2, 2}, 0},
        {"two empty rows after cells of span 2", {1, 0, 0}, 2, {1}, 1},
        {"the first row is kept even when empty", {0, 0, 2}, 0, {0, 2}, 0},
        {"no rows", {}, 0, {}, 0},
    };
    for (const Case& c : cases) {
        auto t = TableOf(c.rows, c.span);
        t->deleteInvildRows();
        const auto rows = t->getRows();
        std::vector<std::size_t> cells;
        for (auto* r : rows)
            cells.push_back(r->getCols().size());
        EXPECT_EQ(cells, c.cellsLeft) << c.what;
        for (auto* r : rows) {
            for (auto* cell : r->getCols())
                EXPECT_GE(cell->rowSpan, 0) << c.what;
        }
        if (!rows.empty() && !rows[0]->getCols().empty()) {
            EXPECT_EQ(rows[0]->getCols()[0]->rowSpan, c.firstRowSpan) << c.what;
        }
    }
}

TEST(TableRecords, EmptyTableAndCellBlocks)
{
    auto t = TableOf({2, 2});
    EXPECT_TRUE(t->IsEmpty());
    auto* cell = t->getRows()[1]->getCols()[1];
    ASSERT_NE(cell->getBlock(), nullptr);
    cell->getBlock()->addText(new Text);
    EXPECT_FALSE(t->IsEmpty());
    TableBlock other(nullptr);
    EXPECT_FALSE(t->EatBlock(&other));
}

// ---- paths into ruling lines -----------------------------------------------

class RulingLines : public ::testing::Test {
protected:
    void SetUp() override { A::setSize(page, 612, 792); }
    void TearDown() override
    {
        A::freeIntermediate(page);
        for (GraphicsCollect* g : owned)
            delete g;
    }
    GraphicsCollect* Keep(GraphicsCollect* g)
    {
        owned.push_back(g);
        return g;
    }
    std::vector<line*>& lines() { return A::rulingLines(page); }
    std::vector<std::string> described()
    {
        std::vector<std::string> out;
        for (const line* l : lines())
            out.push_back(Describe(l));
        return out;
    }

    Page page{nullptr};
    std::vector<GraphicsCollect*> owned;
};

TEST_F(RulingLines, Rectangles)
{
    struct Case {
        const char* what;
        GraphPath path;
        int way;
        bool accepted;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"thin filled rectangle 200 x 2", RectPath(100, 300, 200, 2), kPaintFill, true,
         {DH(300, 100, 300)}},
        {"same, drawn from its right end", RectPath(300, 302, -200, -2), kPaintFill, true,
         {DH(302, 100, 300)}},
        {"thin upright rectangle 2 x 150", RectPath(50, 100, 2, 150), kPaintFillEvenOdd, true,
         {DV(50, 250, 100)}},
        {"square: counts as vertical", RectPath(0, 0, 40, 40), kPaintFillStroke, true,
         {DV(0, 40, 0)}},
        {"0.5 x 0.5: no line, still converted", RectPath(10, 10, 0.5, 0.5), kPaintFill, true, {}},
        {"degenerate: all five points alike", RectPath(10, 10, 0, 0), kPaintFill, true, {}},
        {"stroked only (way 0)", RectPath(100, 300, 200, 2), kPaintStroke, false, {}},
        {"stroked only, closed (way 1)", RectPath(100, 300, 200, 2), kPaintStrokeClosed, false, {}},
        {"four points", MakePath({{0, 0}, {200, 0}, {200, 2}, {0, 2}}), kPaintFill, false, {}},
        {"last point differs from the first",
         MakePath({{0, 0}, {200, 0}, {200, 2}, {0, 2}, {0, 1}}), kPaintFill, false, {}},
        {"NaN corner", MakePath({{0, 0}, {200, 0}, {NAN, 2}, {0, 2}, {0, 0}}), kPaintFill, false,
         {}},
    };
    for (const Case& c : cases) {
        for (line* l : lines())
            delete l;
        lines().clear();
        EXPECT_EQ(A::rectangel(page, c.path, c.way), c.accepted) << c.what;
        EXPECT_EQ(described(), c.lines) << c.what;
    }
}

TEST_F(RulingLines, ConvertLines)
{
    GraphPath curve;
    curve.AddPoint(PathPoint(0, 0));
    curve.AddPoint(PathPoint(50, 100, kPointBezierStartC));
    curve.AddPoint(PathPoint(100, 100, kPointBezierCommon));
    curve.AddPoint(PathPoint(150, 0, kPointBezierCommon));

    struct Case {
        const char* what;
        std::vector<GraphPath> paths;
        int way;
        bool converted;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"stroked rectangle: four sides",
         {RectPath(100, 100, 200, 50)},
         kPaintStrokeClosed,
         true,
         {DH(100, 100, 300), DV(300, 150, 100), DH(150, 100, 300),
          DV(100, 150, 100)}},
        {"collinear points extend one line",
         {MakePath({{0, 10}, {100, 10}, {250, 10}})},
         kPaintStroke,
         true,
         {DH(10, 0, 250)}},
        {"a vertical drawn downward in steps",
         {MakePath({{5, 300}, {5, 200}, {5, 50}})},
         kPaintStroke,
         true,
         {DV(5, 300, 50)}},
        {"a vertical that turns back inside itself stays whole",
         {MakePath({{5, 300}, {5, 50}, {5, 120}})},
         kPaintStroke,
         true,
         {DV(5, 300, 50)}},
        {"a vertical drawn upward", {MakePath({{5, 50}, {5, 300}})}, kPaintStroke, true,
         {DV(5, 300, 50)}},
        {"curve: not converted", {curve}, kPaintStroke, false, {}},
        {"slanted segment: not converted",
         {MakePath({{0, 0}, {100, 0}, {150, 80}})},
         kPaintStroke,
         false,
         {}},
        {"lines of an earlier path stay when a later one has a curve",
         {MakePath({{0, 10}, {100, 10}}), curve},
         kPaintStroke,
         false,
         {DH(10, 0, 100)}},
        {"result is that of the last path", {curve, MakePath({{0, 10}, {100, 10}})}, kPaintStroke,
         false, {}},
        {"path of one point", {MakePath({{3, 3}})}, kPaintStroke, false, {}},
        {"no path", {}, kPaintStroke, false, {}},
        {"NaN point", {MakePath({{0, 10}, {100, 10}, {NAN, 10}})}, kPaintStroke, false, {}},
        {"infinite start point", {MakePath({{INFINITY, 10}, {100, 10}})}, kPaintStroke, false,
         {}},
    };
    for (const Case& c : cases) {
        for (line* l : lines())
            delete l;
        lines().clear();
        GraphicsCollect g;
        for (const GraphPath& p : c.paths)
            g.AddPath(p);
        g.SetPaintWay(c.way);
        EXPECT_EQ(A::convertlines(page, &g), c.converted) << c.what;
        EXPECT_EQ(described(), c.lines) << c.what;
    }
}

// ---- merging segments --------------------------------------------------------

TEST_F(RulingLines, CombineLines)
{
    struct Case {
        const char* what;
        std::vector<line*> in;
        std::vector<std::string> out;
    };
    std::vector<Case> cases = {
        {"collinear horizontals, ends 2 apart", {H(100, 0, 200), H(101, 202, 400)},
         {DH(100, 0, 400)}},
        {"collinear horizontals, ends 3 apart", {H(100, 0, 200), H(100, 203, 400)},
         {DH(100, 0, 200), DH(100, 203, 400)}},
        {"second one first in the group", {H(100, 202, 400), H(100, 0, 200)},
         {DH(100, 0, 400)}},
        {"a shorter overlapping piece does not cut the line short",
         {H(100, 0, 400), H(100, 50, 150)}, {DH(100, 0, 400)}},
        {"an overlapping piece reaching further extends it", {H(100, 0, 200), H(100, 150, 300)},
         {DH(100, 0, 300)}},
        {"horizontals 3 apart in y stay apart", {H(100, 0, 200), H(103, 200, 400)},
         {DH(100, 0, 200), DH(103, 200, 400)}},
        {"verticals continuing downward", {V(10, 500, 300), V(11, 302, 100)},
         {DV(10, 500, 100)}},
        {"verticals continuing upward", {V(10, 300, 100), V(10, 500, 301)},
         {DV(10, 500, 100)}},
        {"verticals apart", {V(10, 500, 400), V(10, 300, 100)},
         {DV(10, 500, 400), DV(10, 300, 100)}},
        {"segments of length 5 or less disappear",
         {H(100, 0, 5), V(50, 305, 300), H(200, 0, 5.5), V(60, 305.5, 300)},
         {DH(200, 0, 5.5), DV(60, 305.5, 300)}},
        {"three pieces in a row", {H(50, 0, 100), H(50, 100, 200), H(50, 200, 300)},
         {DH(50, 0, 300)}},
    };
    for (Case& c : cases) {
        lineblock group;
        for (line* l : c.in) {
            lines().push_back(l);   // owned by the page
            group.GetLines()->push_back(l);
        }
        A::combinelines(page, &group);
        std::vector<std::string> got;
        for (const line* l : *group.GetLines())
            got.push_back(Describe(l));
        EXPECT_EQ(got, c.out) << c.what;
    }
}

// ---- the table builder -------------------------------------------------------

struct CellShape {
    double x, y, right;
    int rowSpan, colSpan;
    bool operator==(const CellShape&) const = default;
};

std::ostream& operator<<(std::ostream& o, const CellShape& c)
{
    return o << "{" << c.x << "," << c.y << "," << c.right << " span " << c.rowSpan << "x"
             << c.colSpan << "}";
}

class TableBuilder : public RulingLines {
protected:
    // Builds the table of one group of lines (owned by the page).
    std::unique_ptr<TableBlock> Build(std::initializer_list<line*> group)
    {
        lineblock g;
        for (line* l : group) {
            lines().push_back(l);
            g.GetLines()->push_back(l);
        }
        return std::unique_ptr<TableBlock>(A::createtable(page, &g));
    }

    static std::vector<std::vector<CellShape>> Shape(const TableBlock& t)
    {
        std::vector<std::vector<CellShape>> out;
        for (auto* r : t.getRows()) {
            out.emplace_back();
            for (auto* c : r->getCols()) {
                out.back().push_back({c->x, c->y, c->right, c->rowSpan, c->colSpan});
                EXPECT_DOUBLE_EQ(c->width, c->right - c->x);
                EXPECT_NE(c->getBlock(), nullptr);
            }
        }
        return out;
    }
};

TEST_F(TableBuilder, GridOfThreeByThreeLines)
{
    // Given in scrambled order: the builder sorts.
    auto t = Build({V(250, 700, 600), H(600, 100, 400), V(100, 700, 600), H(700, 100, 400),
                    V(400, 700, 600), H(650, 100, 400)});
    EXPECT_DOUBLE_EQ(t->getX(), 100);
    EXPECT_DOUBLE_EQ(t->getY(), 700);
    ASSERT_EQ(t->getRows().size(), 2u);
    EXPECT_DOUBLE_EQ(t->getRows()[0]->y, 650);
    EXPECT_DOUBLE_EQ(t->getRows()[1]->y, 600);
    const std::vector<std::vector<CellShape>> expected{
        {{100, 650, 250, 0, 1}, {250, 650, 400, 0, 1}},
        {{100, 600, 250, 0, 1}, {250, 600, 400, 0, 1}},
    };
    EXPECT_EQ(Shape(*t), expected);
    EXPECT_TRUE(t->IsValid());
}

TEST_F(TableBuilder, CellSpanningTwoRows)
{
    // The middle horizontal line covers only the right column.
    auto t = Build({H(700, 100, 400), H(650, 250, 400), H(600, 100, 400), V(100, 700, 600),
                    V(250, 700, 600), V(400, 700, 600)});
    const std::vector<std::vector<CellShape>> expected{
        {{100, 600, 250, 2, 1}, {250, 650, 400, 0, 1}},
        {{250, 600, 400, 0, 1}},
    };
    EXPECT_EQ(Shape(*t), expected);
}

TEST_F(TableBuilder, CellSpanningTwoColumns)
{
    // The middle vertical line stops at the middle horizontal line, so the
    // lower row has one cell across both columns.
    auto t = Build({H(700, 100, 400), H(650, 100, 400), H(600, 100, 400), V(100, 700, 600),
                    V(250, 700, 650), V(400, 700, 600)});
    const std::vector<std::vector<CellShape>> expected{
        {{100, 650, 250, 0, 1}, {250, 650, 400, 0, 1}},
        {{100, 600, 400, 0, 2}},
    };
    EXPECT_EQ(Shape(*t), expected);
}

TEST_F(TableBuilder, SegmentsAreJoinedBeforeTheCellsAreFound)
{
    // Each cell drawn as its own stroked rectangle: shared borders come
    // twice and every border is cut at the cell edges.
    auto t = Build({H(700, 100, 250), H(650, 100, 250), V(100, 700, 650), V(250, 700, 650),
                    H(700, 250, 400), H(650, 250, 400), V(250.5, 700, 650), V(400, 700, 650),
                    H(650, 100, 250), H(600, 100, 250), V(100, 650, 600), V(250, 650, 600),
                    H(650, 250, 400), H(600, 250, 400), V(250, 650, 600), V(400, 650, 600)});
    ASSERT_EQ(t->getRows().size(), 2u);
    for (auto* r : t->getRows())
        EXPECT_EQ(r->getCols().size(), 2u);
}

TEST_F(TableBuilder, FewerThanTwoHorizontalLinesMakeNoTable)
{
    // Verticals only, and verticals with one horizontal line: no row can
    // hold a cell.
    auto none = Build({V(100, 700, 600), V(250, 700, 600), V(400, 700, 600)});
    EXPECT_TRUE(none->getRows().empty());
    EXPECT_FALSE(none->IsValid());
    auto one = Build({H(700, 100, 400), V(100, 700, 600), V(250, 700, 600)});
    EXPECT_TRUE(one->getRows().empty());
    EXPECT_FALSE(one->IsValid());
    auto empty = Build({});
    EXPECT_FALSE(empty->IsValid());
}

TEST_F(TableBuilder, HorizontalLinesOnlyGiveRowsWithoutCells)
{
    auto t = Build({H(700, 100, 400), H(650, 100, 400), H(600, 100, 400)});
    // Rows without cells after the first are removed.
    EXPECT_EQ(t->getRows().size(), 1u);
    EXPECT_FALSE(t->IsValid());
}

// ---- tables from graphics ---------------------------------------------------

TEST_F(TableBuilder, CreateTablesFromGraphics)
{
    auto& graphics = A::graphics(page);
    // A frame of thin filled rectangles, one graphic per rectangle.
    for (double y : {700.0, 650.0, 600.0})
        graphics.push_back(Keep(MakeGraphic({RectPath(100, y - 0.75, 300, 1.5)}, kPaintFill)));
    for (double x : {100.0, 250.0, 400.0})
        graphics.push_back(Keep(MakeGraphic({RectPath(x - 0.75, 600, 1.5, 100)}, kPaintFill)));
    GraphPath curve;
    curve.AddPoint(PathPoint(0, 0));
    curve.AddPoint(PathPoint(50, 100, kPointBezierStartC));
    curve.AddPoint(PathPoint(100, 100, kPointBezierCommon));
    curve.AddPoint(PathPoint(150, 0, kPointBezierCommon));
    GraphicsCollect* curved = Keep(MakeGraphic({curve}, kPaintStroke));
    graphics.push_back(curved);
    // A lone short rule elsewhere: lines, but no table.
    graphics.push_back(Keep(MakeGraphic({MakePath({{100, 300}, {400, 300}})}, kPaintStroke)));

    A::createtables(page);
    ASSERT_EQ(A::tableBlocks(page).size(), 1u);
    TableBlock* t = A::tableBlocks(page)[0];
    ASSERT_EQ(t->getRows().size(), 2u);
    EXPECT_EQ(t->getRows()[0]->getCols().size(), 2u);
    EXPECT_EQ(t->getRows()[1]->getCols().size(), 2u);
    EXPECT_DOUBLE_EQ(t->getRows()[0]->getCols()[0]->x, 99.25);
    // The curve stays a graphic; everything else became ruling lines.
    ASSERT_EQ(graphics.size(), 1u);
    EXPECT_EQ(graphics[0], curved);
    EXPECT_EQ(lines().size(), 7u);
}

// ---- damaged and hostile paths ------------------------------------------------

TEST_F(TableBuilder, HostilePathsRunClean)
{
    auto& graphics = A::graphics(page);
    // A staircase of 6000 points: 6000 connected ruling lines in one group.
    GraphPath stairs;
    for (int k = 0; k < 3000; ++k) {
        stairs.AddPoint(PathPoint(10.0 * k, 10.0 * k));
        stairs.AddPoint(PathPoint(10.0 * (k + 1), 10.0 * k));
    }
    graphics.push_back(Keep(MakeGraphic({stairs}, kPaintStroke)));
    // A dense grid of 201 x 201 lines in one graphic, away from the stairs
    // (vertical lines whose ends meet group whatever their x).
    auto* dense = Keep(MakeGraphic({}, kPaintStroke));
    for (int k = 0; k <= 200; ++k) {
        const double c = 10.0 + k * 7.0;
        dense->AddPath(MakePath({{-2000, c + 50000}, {-600, c + 50000}}));
        dense->AddPath(MakePath({{c - 2010, 51410}, {c - 2010, 50010}}));
    }
    graphics.push_back(dense);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double huge = std::numeric_limits<double>::max();
    graphics.push_back(Keep(MakeGraphic({RectPath(nan, nan, 10, 10)}, kPaintFill)));
    graphics.push_back(Keep(MakeGraphic({RectPath(0, 0, inf, 2)}, kPaintFill)));
    graphics.push_back(Keep(MakeGraphic({RectPath(-huge, 0, huge, 2)}, kPaintFill)));
    graphics.push_back(Keep(MakeGraphic({MakePath({{-huge, 5}, {huge, 5}, {huge, -huge}})},
                                        kPaintStroke)));
    graphics.push_back(Keep(MakeGraphic({RectPath(5, 5, 0, 0), RectPath(5, 5, 0, 0)}, kPaintFill)));
    graphics.push_back(Keep(MakeGraphic({GraphPath(), MakePath({{1, 1}})}, kPaintFill)));
    graphics.push_back(Keep(MakeGraphic({}, kPaintShading)));
    graphics.push_back(
        Keep(MakeGraphic({MakePath({{nan, 1}, {2, nan}, {nan, nan}, {1, 1}})}, kPaintStroke)));

    A::createtables(page);
    for (const line* l : lines()) {
        EXPECT_TRUE(std::isfinite(l->x1) && std::isfinite(l->y1) && std::isfinite(l->x2) &&
                    std::isfinite(l->y2))
            << Describe(l);
    }
    // The grid is one table of 200 x 200 cells.
    bool grid = false;
    for (TableBlock* t : A::tableBlocks(page)) {
        if (t->getRows().size() == 200 && t->getRows()[0]->getCols().size() == 200)
            grid = true;
    }
    EXPECT_TRUE(grid);
}

} // namespace
