// Picture regions and graphic blocks built from objects made in memory.
#include "engine/layout/tests/page_model_access.h"

#include "engine/layout/entry.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/utf8.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {

using namespace layouttest;
using A = PageTestAccess;

// Records which writer operation each block called.
class CallWriter : public IWriter {
public:
    std::vector<std::string> calls;
    void write(Book*) override {}
    void writePage(void*, Page*) override {}
    std::wstring save(const std::wstring&, const std::wstring&) override { return {}; }
    void writeText(void*, TextBlock*) override { calls.push_back("text"); }
    void writeTable(void*, TableBlock*) override { calls.push_back("table"); }
    void writeGraphic(void*, GraphicBlock*) override { calls.push_back("graphic"); }
    void writeImage(void*, ImageBlock*) override { calls.push_back("image"); }
    void writeTableR(void*, TableBlock::TableR*) override { calls.push_back("row"); }
    void writeTableCol(void*, TableBlock::TableCol*) override { calls.push_back("cell"); }
    void copyfiles(const std::string&) override {}
};

std::unique_ptr<GraphicsCollect> Box(double x, double y, double w, double h)
{
    auto g = std::make_unique<GraphicsCollect>();
    g->AddPath(RectPath(x, y, w, h));
    g->SetPaintWay(kPaintFill);
    return g;
}

struct Rect {
    double x, y, w, h;
};

void ExpectRect(const Block& b, Rect r, const char* what = "")
{
    EXPECT_DOUBLE_EQ(b.getX(), r.x) << what;
    EXPECT_DOUBLE_EQ(b.getY(), r.y) << what;
    EXPECT_DOUBLE_EQ(b.getWidth(), r.w) << what;
    EXPECT_DOUBLE_EQ(b.getHeight(), r.h) << what;
}

TEST(ImageBlocks, NumbersFollowOnAndRestartWithEachJob)
{
    ImageBlock a(nullptr);
    ImageBlock b(nullptr);
    EXPECT_EQ(b.getImageId(), a.getImageId() + 1);
    EXPECT_DOUBLE_EQ(a.getDim(), 1.0);
    EXPECT_TRUE(a.getImagePath().empty());

    // A job (even one without items) starts the numbers again, so two
    // conversions in one process name their pictures alike.
    testutil::TempDir tmp;
    std::vector<Basedata_w> none;
    convert(none, utf8::ToWide(tmp.str()), nullptr, callback_funcs{});
    EXPECT_EQ(ImageBlock(nullptr).getImageId(), 0);
    std::wstring name = L"merged";
    ImageBlock::imagecount = 40;
    mergeall(none, utf8::ToWide(tmp.str()), nullptr, callback_funcs{}, name);
    EXPECT_EQ(ImageBlock(nullptr).getImageId(), 0);
}

TEST(ImageBlocks, ContainmentUsesFactorsAndMargin)
{
    // A region 100 x 100 at (100, 100). With factors 0.05 and margin 1 it
    // reaches 0.05 further on every side, the object 1 further. Exact
    // touching is shown with factors 0.25 and margin 2 (0.5 and 2 further),
    // which binary fractions hold exactly.
    auto seed = Box(100, 100, 100, 100);
    struct Case {
        const char* what;
        Rect object;
        double k;
        double margin;
        bool contained;
    };
    const Case cases[] = {
        {"inside", {120, 120, 10, 10}, 0.05, 1.0, true},
        {"right, 0.01 apart", {201.06, 120, 10, 10}, 0.05, 1.0, false},
        {"right, overlapping by 0.04", {201.01, 120, 10, 10}, 0.05, 1.0, true},
        {"left, 0.01 apart", {88.94, 120, 10, 10}, 0.05, 1.0, false},
        {"below, overlapping by 0.04", {120, 88.99, 10, 10}, 0.05, 1.0, true},
        {"right, touching only", {202.5, 120, 10, 10}, 0.25, 2.0, false},
        {"above, touching only", {120, 202.5, 10, 10}, 0.25, 2.0, false},
        {"left, touching only", {87.5, 120, 10, 10}, 0.25, 2.0, false},
        {"right, overlapping by 0.25", {202.25, 120, 10, 10}, 0.25, 2.0, true},
        {"far away", {400, 400, 10, 10}, 0.05, 1.0, false},
        {"NaN box", {NAN, 120, 10, 10}, 0.05, 1.0, false},
    };
    for (const Case& c : cases) {
        ImageBlock region(nullptr);
        region.addElement(seed.get());
        auto obj = Box(c.object.x, c.object.y, c.object.w, c.object.h);
        EXPECT_EQ(region.isContainObject(obj.get(), c.k, c.k, c.margin), c.contained) << c.what;
    }

    // The test leaves its margin as the block's line size, also when false.
    ImageBlock region(nullptr);
    region.addElement(seed.get());
    auto far = Box(900, 900, 1, 1);
    EXPECT_FALSE(region.isContainObject(far.get(), 0.05, 0.05, 2.5));
    EXPECT_DOUBLE_EQ(region.getDim(), 2.5);

    // A graphic without any point and an object of another kind are never
    // contained, and never added.
    GraphicsCollect empty;
    LinkCollect link;
    EXPECT_FALSE(region.isContainObject(&empty, 0.05, 0.05, 1.0));
    EXPECT_FALSE(region.isContainObject(&link, 0.05, 0.05, 1.0));
    region.addElement(&empty);
    region.addElement(&link);
    EXPECT_EQ(region.getObjects().size(), 1u);
}

TEST(ImageBlocks, RegionsGrowToTheUnionOfTheirObjects)
{
    auto a = Box(100, 100, 100, 100);
    auto b = Box(50, 150, 30, 100);
    auto c = Box(300, 20, 10, 10);
    ImageBlock region(nullptr);
    region.addElement(a.get());
    ExpectRect(region, {100, 100, 100, 100}, "first object");
    region.addElement(b.get());
    ExpectRect(region, {50, 100, 150, 150}, "second object");

    ImageBlock other(nullptr);
    other.addElement(c.get());
    ASSERT_TRUE(region.EatBlock(&other));
    ExpectRect(region, {50, 20, 260, 230}, "eaten region");
    const std::vector<CollectBase*> expected{a.get(), b.get(), c.get()};
    EXPECT_EQ(region.getObjects(), expected);
    EXPECT_EQ(other.getObjects().size(), 1u);   // the eaten block keeps its list

    GraphicBlock graphic(a.get(), nullptr);
    EXPECT_FALSE(region.EatBlock(&graphic));
    EXPECT_EQ(region.getObjects().size(), 3u);
}

TEST(ImageBlocks, RegionWithoutObjectsMakesNoPicture)
{
    testutil::TempDir tmp;
    GlobalEnum::tmppath = utf8::ToWide(tmp.str());
    std::filesystem::create_directories(tmp.path() / "ImageFiles");
    Parser parser;
    ImageBlock region(nullptr);
    EXPECT_FALSE(region.getImage(&parser));
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path() / "ImageFiles"));
    GlobalEnum::tmppath = L"./";
}

TEST(GraphicBlocks, KeepTheirOwnCopy)
{
    auto g = Box(10, 10, 50, 5);
    GraphicBlock block(g.get(), nullptr);
    g.reset();   // the parser frees its objects with the next page
    ASSERT_NE(block.getElement(), nullptr);
    EXPECT_EQ(block.getElement()->GetPathCount(), 1);
    EXPECT_EQ(block.getElement()->GetPaintWay(), kPaintFill);
    TextBlock text(nullptr);
    EXPECT_FALSE(block.EatBlock(&text));
    EXPECT_FALSE(block.EatBlock(&block));
}

TEST(Blocks, WriteCallsTheWriterOfTheirKind)
{
    CallWriter w;
    auto g = Box(0, 0, 1, 1);
    TableBlock table(&w);
    auto* row = new TableBlock::TableR(&w);
    row->appendCol(new TableBlock::TableCol(&w));
    table.appendRow(row);
    ImageBlock image(&w);
    GraphicBlock graphic(g.get(), &w);
    table.Write(nullptr);
    row->Write(nullptr);
    row->getCols()[0]->Write(nullptr);
    image.Write(nullptr);
    graphic.Write(nullptr);
    const std::vector<std::string> expected{"table", "row", "cell", "image", "graphic"};
    EXPECT_EQ(w.calls, expected);
}

// Picture regions of objects that a broken file may give: no crash, and
// nothing without coordinates reaches the page's graphics.
TEST(PictureRegions, DamagedGraphicsRunClean)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double huge = std::numeric_limits<double>::max();
    Page page(nullptr);
    A::setSize(page, 612, 792);
    auto bad = Box(nan, nan, 10, 10);
    auto wide = Box(-huge, 0, huge, huge);
    auto ok = Box(100, 100, 50, 50);
    GraphicsCollect empty;
    A::pictureObjects(page) = {bad.get(), &empty, wide.get(), ok.get()};
    A::graphics(page) = {bad.get(), ok.get(), &empty};
    A::creatImages(page, false);
    // The graphic without a point makes no region.
    for (ImageBlock* b : A::imageBlocks(page))
        EXPECT_FALSE(b->getObjects().empty());
    Parser parser;   // nothing loaded: no region can be drawn
    for (ImageBlock* b : A::imageBlocks(page))
        EXPECT_FALSE(b->getImage(&parser));
    A::freeIntermediate(page);
}

} // namespace
