// Tables, picture regions, graphic blocks and links of pages parsed from
// real PDF files. Fixtures are made by layout_fixtures.py; pdfimages,
// pdftotext and qpdf are the oracles.
#include "engine/layout/tests/page_model_access.h"

#include "engine/layout/book.h"
#include "engine/layout/entry.h"
#include "engine/layout/globalenum.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/utf8.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::ReadFile;
using testutil::Run;
using A = PageTestAccess;

// The fixture PDFs, made once per test program.
const testutil::TempDir& Fixtures()
{
    static testutil::TempDir dir;
    static const bool made = [] {
        int status = -1;
        Run("/usr/bin/python3 " +
                Quote(std::string(TRANCEL_SOURCE_DIR) + "/engine/layout/tests/layout_fixtures.py") +
                " " + Quote(dir.str()) + " 2>&1",
            &status);
        return status == 0;
    }();
    EXPECT_TRUE(made) << "fixtures could not be made";
    return dir;
}

std::string FixturePath(const std::string& name)
{
    return Fixtures().str() + name;
}

// The pictures of a PDF as pdfimages -j writes them (JPEG streams as they
// are stored), in pdfimages order; masks come out as files of their own.
std::vector<std::string> PdfImages(const std::string& pdf)
{
    testutil::TempDir out;
    Run("pdfimages -j " + Quote(pdf) + " " + Quote(out.str() + "img"));
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(out.path()))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> bodies;
    for (const fs::path& f : files)
        bodies.push_back(ReadFile(f));
    return bodies;
}

// Whether two JPEG files show the same picture: same pixel size and a mean
// difference of at most 3 levels in 255 (re-encoding may change the bytes).
bool SamePixels(const std::string& a, const std::string& b)
{
    testutil::TempDir tmp;
    testutil::WriteFile(tmp.path() / "a.jpg", a);
    testutil::WriteFile(tmp.path() / "b.jpg", b);
    const std::string script =
        "import sys\n"
        "from PIL import Image, ImageChops, ImageStat\n"
        "a=Image.open(sys.argv[1]).convert('RGB')\n"
        "b=Image.open(sys.argv[2]).convert('RGB')\n"
        "ok=a.size==b.size and max(ImageStat.Stat(ImageChops.difference(a,b)).mean)<=3\n"
        "print('same' if ok else 'different')\n";
    return Run("/usr/bin/python3 -c " + Quote(script) + " " + Quote(tmp.str() + "a.jpg") + " " +
               Quote(tmp.str() + "b.jpg") + " 2>&1") == "same\n";
}

struct WordBox {
    std::string text;
    double x0, y0, x1, y1;   // y upward
};

// The words of a page as pdftotext -bbox-layout finds them.
std::vector<WordBox> PdfWords(const std::string& pdf, int page, double pageHeight)
{
    const std::string xml = Run("pdftotext -bbox-layout -f " + std::to_string(page + 1) +
                                " -l " + std::to_string(page + 1) + " " + Quote(pdf) + " -");
    static const std::regex word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    std::vector<WordBox> out;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), word); it != std::sregex_iterator();
         ++it) {
        const auto& m = *it;
        out.push_back({m[5].str(), std::stod(m[1].str()), pageHeight - std::stod(m[4].str()),
                       std::stod(m[3].str()), pageHeight - std::stod(m[2].str())});
    }
    return out;
}

struct LinkRect {
    double x0, y0, x1, y1;
};

// The rectangles of the link annotations of a PDF, read by qpdf.
std::vector<LinkRect> PdfLinkRects(const std::string& pdf)
{
    const std::string script =
        "import json,sys\n"
        "d=json.load(sys.stdin)\n"
        "for k,v in d['qpdf'][1].items():\n"
        "  val=v.get('value') if isinstance(v,dict) else None\n"
        "  if isinstance(val,dict) and val.get('/Subtype')=='/Link':\n"
        "    print(*val['/Rect'])\n";
    std::istringstream in(Run("qpdf --json " + Quote(pdf) + " | /usr/bin/python3 -c " +
                              Quote(script)));
    std::vector<LinkRect> out;
    LinkRect r;
    while (in >> r.x0 >> r.y0 >> r.x1 >> r.y1)
        out.push_back(r);
    return out;
}

// A writer that writes nothing: the tests read the page model directly.
class NullWriter : public IWriter {
public:
    void write(Book*) override {}
    void writePage(void*, Page*) override {}
    std::wstring save(const std::wstring&, const std::wstring&) override { return {}; }
    void writeText(void*, TextBlock*) override {}
    void writeTable(void*, TableBlock*) override {}
    void writeGraphic(void*, GraphicBlock*) override {}
    void writeImage(void*, ImageBlock*) override {}
    void writeTableR(void*, TableBlock::TableR*) override {}
    void writeTableCol(void*, TableBlock::TableCol*) override {}
    void copyfiles(const std::string&) override {}
};

template <class T>
std::vector<T*> BlocksOf(const std::vector<Block*>& blocks)
{
    std::vector<T*> out;
    for (Block* b : blocks) {
        if (auto* t = dynamic_cast<T*>(b))
            out.push_back(t);
    }
    return out;
}

// The texts of a block, in order, joined by spaces.
std::string Words(const TextBlock* b)
{
    std::string out;
    for (const Text* t : b->getElements()) {
        if (!out.empty())
            out += " ";
        out += t->text;
    }
    return out;
}

std::vector<std::string> Split(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

class PagePdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        GlobalEnum::tmppath = utf8::ToWide(work.str());
        fs::create_directories(work.path() / "ImageFiles");
        fs::create_directories(work.path() / "Files");
        parser.SetImageDir(utf8::ToWide(work.str() + "Files"));
    }
    void TearDown() override { GlobalEnum::tmppath = L"./"; }

    void Load(const std::string& name)
    {
        ASSERT_NO_THROW(parser.Load(utf8::ToWide(FixturePath(name)), false, ""));
    }

    struct Objects {
        std::vector<TextCollect*> texts;
        std::vector<GraphicsCollect*> graphics;
        std::vector<ImageCollect*> images;
        std::vector<LinkCollect*> links;
        TextCollect* text(const std::string& s) const
        {
            for (TextCollect* t : texts) {
                if (t->GetText() == s)
                    return t;
            }
            return nullptr;
        }
    };
    Objects Walk(int page)
    {
        Objects o;
        EXPECT_TRUE(parser.SetCurrentPage(page));
        while (CollectBase* obj = parser.GetNextObj()) {
            if (auto* t = dynamic_cast<TextCollect*>(obj))
                o.texts.push_back(t);
            else if (auto* g = dynamic_cast<GraphicsCollect*>(obj))
                o.graphics.push_back(g);
            else if (auto* i = dynamic_cast<ImageCollect*>(obj))
                o.images.push_back(i);
            else if (auto* l = dynamic_cast<LinkCollect*>(obj))
                o.links.push_back(l);
        }
        return o;
    }

    // Parses one page of the loaded PDF with the given options.
    std::unique_ptr<Page> Parse(int page, bool ignoreImages, bool ignoreTables,
                                bool keepObjectOrder, bool drawGraphics)
    {
        auto p = std::make_unique<Page>(&writer);
        p->ParserPage(&parser, page, ignoreImages, false, ignoreTables, keepObjectOrder,
                      drawGraphics);
        return p;
    }

    std::string ImageFile(const ImageBlock* b) const
    {
        const std::string name = utf8::FromWide(b->getImagePath());
        EXPECT_EQ(name.rfind("image/", 0), 0u) << name;
        return ReadFile(work.path() / "ImageFiles" / name.substr(6));
    }

    testutil::TempDir work;
    Parser parser;
    NullWriter writer;
};

// ---- text into cells ---------------------------------------------------------

TEST_F(PagePdf, CellsTakeTheRunsThatStartInsideThem)
{
    Load("cells.pdf");
    const Objects o = Walk(0);
    TextCollect* small = o.text("small");
    TextCollect* large = o.text("large");
    TextCollect* edge = o.text("edge");
    ASSERT_TRUE(small && large && edge);

    // One row of one cell from x 100 to 300, its lower edge at y 600, under
    // a top line at 700.
    auto makeTable = [](double left, double top) {
        auto t = std::make_unique<TableBlock>(nullptr);
        t->setPosition(left, top);
        auto* row = new TableBlock::TableR(nullptr);
        auto* cell = new TableBlock::TableCol(nullptr);
        cell->x = left;
        cell->right = 300;
        cell->width = 300 - left;
        cell->y = 600;
        row->appendCol(cell);
        t->appendRow(row);
        return t;
    };
    auto table = makeTable(100, 700);
    ASSERT_TRUE(table->AddText(small));
    ASSERT_TRUE(table->AddText(large));
    TextBlock* cell = table->getRows()[0]->getCols()[0]->getBlock();
    ASSERT_EQ(cell->GetEleCount(), 2);
    // The cell's block takes the size of its latest run.
    EXPECT_DOUBLE_EQ(cell->getHeight(), large->GetTextHeight());
    EXPECT_DOUBLE_EQ(cell->getDim(), large->GetTextHeight());
    EXPECT_DOUBLE_EQ(cell->getWidth(), large->GetTextWidth());
    EXPECT_GT(large->GetTextHeight(), small->GetTextHeight());
    const Text* t = cell->getElements()[1];
    EXPECT_EQ(t->text, "large");
    EXPECT_EQ(t->fontName, large->GetFontName());
    EXPECT_DOUBLE_EQ(t->fontSize, large->GetFontSize() * large->GetMatrix().d);
    EXPECT_DOUBLE_EQ(t->x, large->GetMatrix().e);
    EXPECT_DOUBLE_EQ(t->y, large->GetMatrix().f);
    EXPECT_DOUBLE_EQ(t->width, large->GetTextWidth());
    EXPECT_FALSE(t->hasLink);

    // Text turned on its side keeps its real, positive size in a cell too.
    TextCollect* turned = o.text("turned");
    ASSERT_TRUE(turned);
    ASSERT_TRUE(table->AddText(turned));
    ASSERT_EQ(cell->GetEleCount(), 3);
    EXPECT_NEAR(cell->getElements()[2]->fontSize, 12.0, 0.01);

    // A run whose x is a cell's left edge is not in that cell; at the
    // table's exact left edge and top it passes the table's own test.
    const double ex = edge->GetMatrix().e;
    const double ey = edge->GetMatrix().f;
    EXPECT_FALSE(makeTable(ex, 700)->AddText(edge));
    auto atTop = makeTable(ex - 1, ey);
    atTop->setPosition(ex, ey);
    EXPECT_TRUE(atTop->AddText(edge));
    // Above the top line, left of the table, or a table without rows.
    EXPECT_FALSE(makeTable(100, ey - 0.5)->AddText(edge));
    EXPECT_FALSE(makeTable(ex + 0.5, 700)->AddText(edge));
    TableBlock noRows(nullptr);
    noRows.setPosition(0, 800);
    EXPECT_FALSE(noRows.AddText(edge));
}

// ---- tables through the page parse ----------------------------------------

struct TableCase {
    const char* pdf;
    // Words of each cell, row by row; the row span of each cell.
    std::vector<std::vector<std::string>> cells;
    std::vector<std::vector<int>> spans;
};

void PrintTo(const TableCase& c, std::ostream* os)
{
    *os << c.pdf;
}

class Tables : public PagePdf, public ::testing::WithParamInterface<TableCase> {};

TEST_P(Tables, RuledTableHoldsItsWordsOnce)
{
    const TableCase& c = GetParam();
    Load(c.pdf);
    auto page = Parse(0, true, false, false, false);
    const auto blocks = page->GetBlock();
    const auto tables = BlocksOf<TableBlock>(blocks);
    ASSERT_EQ(tables.size(), 1u);

    std::vector<std::vector<std::string>> cells;
    std::vector<std::vector<int>> spans;
    std::multiset<std::string> seen;
    for (auto* row : tables[0]->getRows()) {
        cells.emplace_back();
        spans.emplace_back();
        for (auto* cell : row->getCols()) {
            cells.back().push_back(Words(cell->getBlock()));
            spans.back().push_back(cell->rowSpan);
            for (const std::string& w : Split(Words(cell->getBlock())))
                seen.insert(w);
        }
    }
    EXPECT_EQ(cells, c.cells);
    EXPECT_EQ(spans, c.spans);

    // Every word of the page (as pdftotext reads it) is either in a cell or
    // free text, never both and never twice.
    for (const TextBlock* b : BlocksOf<TextBlock>(blocks)) {
        for (const std::string& w : Split(Words(b)))
            seen.insert(w);
    }
    std::multiset<std::string> expected;
    for (const WordBox& w : PdfWords(FixturePath(c.pdf), 0, page->GetHeight()))
        expected.insert(w.text);
    EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(
    PagePdf, Tables,
    ::testing::Values(TableCase{"grid.pdf", {{"alpha", "beta"}, {"gamma", "delta"}}, {{0, 0}, {0, 0}}},
                      TableCase{"merged.pdf", {{"tall", "upper"}, {"lower"}}, {{2, 0}, {0}}},
                      TableCase{"thin.pdf", {{"north", "east"}, {"west", "south"}}, {{0, 0}, {0, 0}}}),
    [](const auto& info) { return std::string(info.param.pdf).substr(0, 4); });

TEST_F(PagePdf, CurvesStayGraphics)
{
    Load("curve.pdf");
    const std::size_t graphics = Walk(0).graphics.size();
    ASSERT_GE(graphics, 2u);
    auto page = Parse(0, true, false, false, true);
    const auto blocks = page->GetBlock();
    EXPECT_TRUE(BlocksOf<TableBlock>(blocks).empty());
    const auto drawn = BlocksOf<GraphicBlock>(blocks);
    ASSERT_EQ(drawn.size(), graphics);
    for (const GraphicBlock* g : drawn) {
        bool curved = false;
        const GraphicsCollect* e = g->getElement();
        for (int i = 0; i < e->GetPathCount(); ++i) {
            for (unsigned k = 0; k < e->GetPaintPath(i).Count(); ++k)
                curved = curved || !e->GetPaintPath(i).GetAt(k).IsGeneralPoint();
        }
        EXPECT_TRUE(curved);
        EXPECT_DOUBLE_EQ(g->GetPageHeight(), page->GetHeight());
    }
}

// ---- pictures -------------------------------------------------------------------

const ImageBlock* RegionAt(const std::vector<ImageBlock*>& regions, double x, double y)
{
    for (const ImageBlock* b : regions) {
        if (std::abs(b->getX() - x) < 1.0 && std::abs(b->getY() - y) < 1.0)
            return b;
    }
    return nullptr;
}

TEST_F(PagePdf, PicturesAreCopiedOrDrawn)
{
    Load("pictures.pdf");
    const std::vector<std::string> stored = PdfImages(FixturePath("pictures.pdf"));
    // pdfimages -j: the JPEG, the masked picture and its mask, the JPEG
    // under the caption, then page 2's JPEG.
    ASSERT_EQ(stored.size(), 5u);

    // Pictures, tables and graphics all on: the caption is drawn into its
    // picture.
    auto page = Parse(0, false, false, true, true);
    const auto blocks = page->GetBlock();
    const auto regions = BlocksOf<ImageBlock>(blocks);
    ASSERT_EQ(regions.size(), 3u);

    // Without a mask: the parser's picture file copied byte for byte under
    // its own name, in place; it is the JPEG stream the PDF stores, byte for
    // byte.
    const ImageBlock* plain = RegionAt(regions, 72, 550);
    ASSERT_NE(plain, nullptr);
    auto* source = dynamic_cast<ImageCollect*>(plain->getObjects()[0]);
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(ImageFile(plain) == ReadFile(utf8::Path(source->GetImagePath())));
    EXPECT_TRUE(ImageFile(plain) == stored[0]) << "not the stored JPEG stream";
    EXPECT_EQ(plain->getObjects().size(), 1u);
    EXPECT_DOUBLE_EQ(plain->getWidth(), 200);
    EXPECT_DOUBLE_EQ(plain->getHeight(), 150);
    EXPECT_EQ(utf8::FromWide(plain->getImagePath()).find("image/pimg"), 0u);

    // With a soft mask: drawn as it shows, under the parser's name.
    const ImageBlock* masked = RegionAt(regions, 350, 550);
    ASSERT_NE(masked, nullptr);
    const std::string drawn = ImageFile(masked);
    ASSERT_GT(drawn.size(), 2u);
    EXPECT_EQ(drawn.substr(0, 2), "\xFF\xD8");
    int w = 0, h = 0;
    ASSERT_TRUE(testutil::JpegSize(work.path() / "ImageFiles" /
                                       utf8::FromWide(masked->getImagePath()).substr(6),
                                   w, h));
    EXPECT_GE(w, 300);   // rendered at 144 dpi or more, not the 100-pixel picture
    EXPECT_NEAR(masked->getWidth(), 150, 1.0);
    EXPECT_NEAR(masked->getHeight(), 150, 1.0);
    EXPECT_EQ(utf8::FromWide(masked->getImagePath()).find("image/pimg"), 0u);
    // Drawn from the page, it needs neither the parser's file of the picture
    // nor that of its mask: neither is made.
    auto* maskedSource = dynamic_cast<ImageCollect*>(masked->getObjects()[0]);
    ASSERT_NE(maskedSource, nullptr);
    const fs::path planned = utf8::Path(maskedSource->GetPlannedImagePath());
    ASSERT_FALSE(planned.empty());
    EXPECT_FALSE(fs::exists(planned)) << planned;
    EXPECT_FALSE(fs::exists(fs::path(planned).replace_extension().concat("_mask.jpg")));

    // With text over it: one drawn region named by its number.
    const ImageBlock* captioned = RegionAt(regions, 72, 200);
    ASSERT_NE(captioned, nullptr);
    EXPECT_EQ(captioned->getObjects().size(), 2u);
    EXPECT_EQ(captioned->getImagePath(),
              L"image/" + std::to_wstring(captioned->getImageId()) + L".jpg");
    EXPECT_EQ(ImageFile(captioned).substr(0, 2), "\xFF\xD8");
    EXPECT_NEAR(captioned->getWidth(), 240, 1.0);
    EXPECT_NEAR(captioned->getHeight(), 160, 1.0);
    for (const TextBlock* b : BlocksOf<TextBlock>(blocks))
        EXPECT_EQ(Words(b).find("Caption"), std::string::npos);

    // With tables off the caption stays text and its picture is copied.
    auto word = Parse(0, false, true, true, true);
    const auto wordBlocks = word->GetBlock();
    const auto wordRegions = BlocksOf<ImageBlock>(wordBlocks);
    ASSERT_EQ(wordRegions.size(), 3u);
    const ImageBlock* under = RegionAt(wordRegions, 72, 200);
    ASSERT_NE(under, nullptr);
    EXPECT_TRUE(ImageFile(under) == stored[3]) << "not the stored JPEG stream";
    std::string text;
    for (const TextBlock* b : BlocksOf<TextBlock>(wordBlocks))
        text += Words(b);
    EXPECT_NE(text.find("Caption"), std::string::npos);
}

TEST_F(PagePdf, GraphicDrawnUnderAPictureBelongsToIt)
{
    Load("pictures.pdf");
    Page page(&writer);
    A::setSize(page, 612, 792);
    const Objects o = Walk(1);
    ASSERT_EQ(o.images.size(), 1u);
    ASSERT_EQ(o.graphics.size(), 2u);
    GraphicsCollect* background = o.graphics[0];
    GraphicsCollect* lineAfter = o.graphics[1];
    ASSERT_LT(background->GetID(), o.images[0]->GetID());
    ASSERT_GT(lineAfter->GetID(), o.images[0]->GetID());

    A::pictureObjects(page) = {o.images[0]};
    A::graphics(page) = o.graphics;
    A::creatImages(page, false);
    ASSERT_EQ(A::imageBlocks(page).size(), 1u);
    const ImageBlock* region = A::imageBlocks(page)[0];
    EXPECT_EQ(region->getObjects().size(), 3u);
    EXPECT_DOUBLE_EQ(region->getX(), 68);
    EXPECT_DOUBLE_EQ(region->getWidth(), 208);
    EXPECT_DOUBLE_EQ(region->GetPageHeight(), 792);
    // The background belongs to the picture only; the line drawn over it
    // stays a graphic as well.
    const std::vector<GraphicsCollect*> left{lineAfter};
    EXPECT_EQ(A::graphics(page), left);
    ASSERT_TRUE(A::imageBlocks(page)[0]->getImage(&parser));
    A::freeIntermediate(page);
}

TEST_F(PagePdf, PictureNeverReplacesAnotherOfTheSameName)
{
    Load("pictures.pdf");
    const Objects o = Walk(0);
    ASSERT_FALSE(o.images.empty());
    const std::wstring source = o.images[0]->GetImagePath();
    const std::wstring name = source.substr(source.rfind(L'/') + 1);
    const fs::path taken = work.path() / "ImageFiles" / utf8::FromWide(name);
    testutil::WriteFile(taken, "an earlier picture of the job");

    ImageBlock region(&writer);
    region.addElement(o.images[0]);
    ASSERT_TRUE(region.getImage(&parser));
    EXPECT_EQ(ReadFile(taken), "an earlier picture of the job");
    const std::wstring stem = name.substr(0, name.rfind(L'.'));
    EXPECT_EQ(region.getImagePath(), L"image/" + stem + L"(1).jpg");
    EXPECT_TRUE(ImageFile(&region) == ReadFile(utf8::Path(source)));
}

// ---- links --------------------------------------------------------------------

TEST_F(PagePdf, LinksLandOnTheWordsTheyCover)
{
    Load("links.pdf");
    auto page = Parse(0, true, true, false, false);
    std::map<std::string, const Text*> words;
    for (const TextBlock* b : BlocksOf<TextBlock>(page->GetBlock())) {
        for (const Text* t : b->getElements())
            words[t->text] = t;
    }
    ASSERT_EQ(words.count("example"), 1u);

    // The oracle: the upright words whose box (pdftotext) lies inside a link
    // rectangle (qpdf); "Rotated" is covered but turned.
    std::set<std::string> covered;
    for (const WordBox& w : PdfWords(FixturePath("links.pdf"), 0, page->GetHeight())) {
        for (const LinkRect& r : PdfLinkRects(FixturePath("links.pdf"))) {
            if (w.x0 >= r.x0 && w.x1 <= r.x1 && w.y0 >= r.y0 && w.y1 <= r.y1)
                covered.insert(w.text);
        }
    }
    const std::set<std::string> expectedCovered{"example", "second", "page", "Rotated", "Launch"};
    ASSERT_EQ(covered, expectedCovered);

    std::set<std::string> linked;
    for (const auto& [text, t] : words) {
        if (t->hasLink)
            linked.insert(text);
    }
    // Rotated text is never linked; a link that launches a file gives no
    // target; "Nearby" lies 20 points from its link.
    const std::set<std::string> expectedLinked{"example", "second", "page"};
    EXPECT_EQ(linked, expectedLinked);
    EXPECT_EQ(words["example"]->linkKind, 1);
    EXPECT_EQ(words["example"]->uri, "https://example.com/page");
    EXPECT_EQ(words["second"]->linkKind, 0);
    EXPECT_EQ(words["second"]->linkPage, 1);
    EXPECT_EQ(words["page"]->linkPage, 1);
}

TEST_F(PagePdf, LinkMargins)
{
    Load("links.pdf");
    const Objects o = Walk(0);
    ASSERT_GE(o.links.size(), 1u);
    LinkCollect* link = o.links[0];   // the URI link over "example"
    double rx, ry, rw, rh;
    link->GetRect(rx, ry, rw, rh);

    struct Case {
        const char* what;
        double x, y, w, h;
        bool rotated;
        bool linked;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"inside", rx + 2, ry + 3, rw - 4, rh - 6, false, true},
        {"the rectangle starts 2 above the word", rx + 2, ry - 2, 10, rh - 2, false, true},
        {"the rectangle starts 3.5 above the word", rx + 2, ry - 3.5, 10, 8, false, false},
        {"same y as the rectangle", rx + 2, ry, 10, 8, false, true},
        {"starts 2.9 left of it", rx - 2.9, ry + 2, 10, 8, false, true},
        {"reaches 3.5 beyond its right edge", rx + 10, ry + 2, rw - 6.5, 8, false, false},
        {"taller than it by more than the margin", rx + 2, ry + 1, 10, rh + 3, false, false},
        {"nearest word, but beside the rectangle", rx + rw + 10, ry + 1, 20, 8, false, false},
        {"turned word inside", rx + 2, ry + 3, 10, 8, true, false},
        {"no coordinates", nan, nan, 10, 8, false, false},
    };
    Page page(&writer);
    A::setSize(page, 612, 792);
    std::vector<Text*> texts;
    for (const Case& c : cases) {
        auto* block = new TextBlock(&writer);
        auto* t = new Text;
        t->text = c.what;
        t->x = c.x;
        t->y = c.y;
        t->width = c.w;
        t->height = c.h;
        t->matrix[0] = t->matrix[3] = c.rotated ? 0 : 1;
        t->matrix[1] = c.rotated ? 1 : 0;
        t->matrix[2] = c.rotated ? -1 : 0;
        block->addText(t);
        texts.push_back(t);
        A::blocks(page).push_back(block);
    }
    std::vector<LinkCollect*> links{link};
    A::ResolveLinks(page, links);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(texts[i]->hasLink, cases[i].linked) << cases[i].what;
}

// ---- several documents in one job --------------------------------------------

TEST_F(PagePdf, MergedDocumentsKeepEveryPicture)
{
    // The page model of a merge: one parser and one book for both files.
    const std::vector<std::string> a = PdfImages(FixturePath("merge_a.pdf"));
    const std::vector<std::string> b = PdfImages(FixturePath("merge_b.pdf"));
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_NE(a[0], b[0]);

    Book book(false, false, true, true, 0, nullptr, callback_funcs{}, true);
    book.ChangeBook(&parser);
    book.setWriter(new NullWriter);
    Load("merge_a.pdf");
    ASSERT_TRUE(book.parse());
    Load("merge_b.pdf");
    ASSERT_TRUE(book.parse());
    std::vector<const ImageBlock*> pictures;
    for (Page* p : book.GetPages()) {
        for (const ImageBlock* i : BlocksOf<ImageBlock>(p->GetBlock()))
            pictures.push_back(i);
    }
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_NE(pictures[0]->getImagePath(), pictures[1]->getImagePath());
    EXPECT_TRUE(SamePixels(ImageFile(pictures[0]), a[0]));
    EXPECT_TRUE(SamePixels(ImageFile(pictures[1]), b[0]));

    // The picture export of mergeall keeps both as well.
    testutil::TempDir out;
    std::vector<Basedata_w> items(2);
    for (int i = 0; i < 2; ++i) {
        items[i].type = 4;
        items[i].imgExtract = true;
        items[i].source = utf8::ToWide(FixturePath(i == 0 ? "merge_a.pdf" : "merge_b.pdf"));
        items[i].dest = utf8::ToWide(out.str());
    }
    std::wstring name = L"merged";
    testutil::TempDir jobTmp;
    mergeall(items, utf8::ToWide(jobTmp.str()), nullptr, callback_funcs{}, name);
    std::vector<std::string> exported;
    for (const auto& e : fs::recursive_directory_iterator(out.path())) {
        if (e.is_regular_file())
            exported.push_back(ReadFile(e.path()));
    }
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_TRUE((SamePixels(exported[0], a[0]) && SamePixels(exported[1], b[0])) ||
                (SamePixels(exported[0], b[0]) && SamePixels(exported[1], a[0])));
}

// ---- real-world files ------------------------------------------------------------

// Every page model step over the first pages of the corpus: no crash, no
// sanitizer report, every region's picture present.
TEST_F(PagePdf, CorpusPagesRunClean)
{
    const fs::path corpus = testutil::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "no corpus at " << TRANCEL_CORPUS_DIR;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() == ".pdf")
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        try {
            parser.Load(utf8::ToWide(f.string()), false, "");
        } catch (const ParserError&) {
            continue;   // damaged or encrypted: that item fails on its own
        }
        const int pages = std::min(parser.GetPageCount(), 2);
        for (int p = 0; p < pages; ++p) {
            for (int mode = 0; mode < 2; ++mode) {
                auto page = mode == 0 ? Parse(p, false, false, false, true)
                                      : Parse(p, true, false, false, false);
                for (const ImageBlock* i : BlocksOf<ImageBlock>(page->GetBlock())) {
                    EXPECT_FALSE(ImageFile(i).empty())
                        << f.filename() << " page " << p << " " << utf8::FromWide(i->getImagePath());
                }
            }
        }
    }
}

} // namespace
