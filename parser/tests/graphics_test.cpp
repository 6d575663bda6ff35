// Vector paths against the device calls that `mutool trace` reports, and
// the drawing order of all objects.
#include "test_support.h"

#include <cmath>
#include <map>
#include <sstream>
#include <typeinfo>

using namespace ptest;

namespace {

struct Tag {
    std::string name;
    std::map<std::string, std::string> attrs;
    bool closing = false;
    bool selfClosing = false;
};

std::vector<Tag> Tags(const std::string& xml)
{
    std::vector<Tag> tags;
    std::size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        const std::size_t close = xml.find('>', pos);
        if (close == std::string::npos)
            break;
        std::string body = xml.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        Tag t;
        if (!body.empty() && body[0] == '/') {
            t.closing = true;
            body.erase(0, 1);
        }
        if (!body.empty() && body.back() == '/') {
            t.selfClosing = true;
            body.pop_back();
        }
        const std::size_t sp = body.find(' ');
        t.name = body.substr(0, sp);
        // Attributes: name="value" pairs.
        std::size_t a = sp;
        while (a != std::string::npos && a < body.size()) {
            const std::size_t eq = body.find("=\"", a);
            if (eq == std::string::npos)
                break;
            const std::size_t nameStart = body.rfind(' ', eq) + 1;
            const std::size_t valEnd = body.find('"', eq + 2);
            if (valEnd == std::string::npos)
                break;
            t.attrs[body.substr(nameStart, eq - nameStart)] = body.substr(eq + 2, valEnd - eq - 2);
            a = valEnd + 1;
        }
        tags.push_back(t);
    }
    return tags;
}

std::vector<double> Numbers(const std::string& s)
{
    std::vector<double> v;
    std::istringstream in(s);
    double d;
    while (in >> d)
        v.push_back(d);
    return v;
}

// One drawing call of the trace at page level.
struct Call {
    std::string kind;
    std::map<std::string, std::string> attrs;
    std::vector<Tag> children;
};

std::vector<Call> TraceCalls(const std::string& pdf)
{
    const auto tags = Tags(Shell("mutool trace " + Q(pdf) + " 2>/dev/null"));
    std::vector<Call> calls;
    int depth = 0; // below <page>
    for (const Tag& t : tags) {
        if (t.name == "document" || t.name == "page")
            continue;
        if (t.closing) {
            --depth;
            continue;
        }
        if (depth == 0)
            calls.push_back(Call{t.name, t.attrs, {}});
        else if (!calls.empty())
            calls.back().children.push_back(t);
        if (!t.selfClosing)
            ++depth;
    }
    return calls;
}

// The points a path call describes, in page points (y upward), written the
// way the parser writes them: curves as three points, closed subpaths ending
// on their first point.
std::vector<std::vector<PathPoint>> ExpectedPaths(const Call& c, double pageHeight)
{
    const auto m = Numbers(c.attrs.at("transform"));
    auto pt = [&](double x, double y, unsigned type) {
        const double dx = m[0] * x + m[2] * y + m[4];
        const double dy = m[1] * x + m[3] * y + m[5];
        return PathPoint(dx, pageHeight - dy, type);
    };
    std::vector<std::vector<PathPoint>> paths;
    double fx = 0, fy = 0, lx = 0, ly = 0;
    for (const Tag& t : c.children) {
        auto num = [&](const char* k) { return std::stod(t.attrs.at(k)); };
        if (t.name == "moveto") {
            paths.emplace_back();
            fx = lx = num("x");
            fy = ly = num("y");
            paths.back().push_back(pt(lx, ly, kPointGeneral));
        } else if (t.name == "lineto") {
            lx = num("x");
            ly = num("y");
            paths.back().push_back(pt(lx, ly, kPointGeneral));
        } else if (t.name == "curveto") {
            paths.back().push_back(pt(num("x1"), num("y1"), kPointBezierStartC));
            paths.back().push_back(pt(num("x2"), num("y2"), kPointBezierCommon));
            lx = num("x3");
            ly = num("y3");
            paths.back().push_back(pt(lx, ly, kPointBezierCommon));
        } else if (t.name == "closepath") {
            if (lx != fx || ly != fy || paths.back().back().GetPointType() != kPointGeneral)
                paths.back().push_back(pt(fx, fy, kPointGeneral));
            lx = fx;
            ly = fy;
        }
    }
    return paths;
}

bool SameOps(const Call& a, const Call& b)
{
    if (a.children.size() != b.children.size())
        return false;
    for (std::size_t i = 0; i < a.children.size(); ++i)
        if (a.children[i].name != b.children[i].name || a.children[i].attrs != b.children[i].attrs)
            return false;
    return true;
}

bool IsClosedEverywhere(const Call& c)
{
    bool open = false, any = false;
    for (const Tag& t : c.children) {
        if (t.name == "moveto") {
            if (open)
                return false;
            open = true;
            any = true;
        } else if (t.name == "closepath") {
            open = false;
        }
    }
    return any && !open;
}

} // namespace

TEST(Graphics, PathsMatchMutoolTrace)
{
    for (const char* file : {"paths.pdf", "table.pdf", "rotate90.pdf"}) {
        SCOPED_TRACE(file);
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        PageObjects o = Walk(p, 0);
        double H = 0;
        p.GetPageHeight(H);
        // Page height in device space before rotation comes from the trace's
        // own transform, so compare in device terms: ours y = height - device y.
        const auto calls = TraceCalls(Fixture(file));
        std::vector<const Call*> fills;
        std::size_t gi = 0;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const Call& c = calls[i];
            if (c.kind != "fill_path" && c.kind != "stroke_path")
                continue;
            const bool mergedStroke = c.kind == "stroke_path" && i > 0 &&
                                      calls[i - 1].kind == "fill_path" && SameOps(calls[i - 1], c) &&
                                      calls[i - 1].attrs.at("transform") == c.attrs.at("transform");
            if (mergedStroke)
                continue; // checked with its fill below
            ASSERT_LT(gi, o.graphics.size());
            GraphicsCollect* g = o.graphics[gi++];
            const bool fill = c.kind == "fill_path";
            const bool stroked = !fill || (i + 1 < calls.size() && calls[i + 1].kind == "stroke_path" &&
                                           SameOps(c, calls[i + 1]) &&
                                           calls[i + 1].attrs.at("transform") == c.attrs.at("transform"));
            const Call& strokeCall = fill ? (stroked ? calls[i + 1] : c) : c;
            const bool evenOdd = fill && c.attrs.at("winding") == "eofill";
            const bool closed = IsClosedEverywhere(c);
            int way;
            if (fill && stroked)
                way = evenOdd ? 5 : 4; // closed or not
            else if (fill)
                way = evenOdd ? 3 : 2;
            else
                way = closed ? 1 : 0;
            EXPECT_EQ(g->GetPaintWay(), way) << "graphic " << gi;

            const auto expected = ExpectedPaths(c, H);
            ASSERT_EQ(g->GetPathCount(), static_cast<int>(expected.size()));
            for (int k = 0; k < g->GetPathCount(); ++k) {
                const GraphPath& gp = g->GetPaintPath(k);
                ASSERT_EQ(gp.Count(), expected[k].size());
                for (unsigned j = 0; j < gp.Count(); ++j) {
                    EXPECT_NEAR(gp.GetAt(j).x, expected[k][j].x, 1e-3);
                    EXPECT_NEAR(gp.GetAt(j).y, expected[k][j].y, 1e-3);
                    EXPECT_EQ(gp.GetAt(j).GetPointType(), expected[k][j].GetPointType());
                }
                if (fill) {
                    const auto col = Numbers(c.attrs.at("color"));
                    if (col.size() == 3) {
                        EXPECT_NEAR(gp.GetNonStrokeColor().r, col[0], 0.01);
                        EXPECT_NEAR(gp.GetNonStrokeColor().g, col[1], 0.01);
                        EXPECT_NEAR(gp.GetNonStrokeColor().b, col[2], 0.01);
                    }
                }
                if (stroked) {
                    const auto col = Numbers(strokeCall.attrs.at("color"));
                    if (col.size() == 3) {
                        EXPECT_NEAR(gp.GetStrokeColor().r, col[0], 0.01);
                        EXPECT_NEAR(gp.GetStrokeColor().b, col[2], 0.01);
                    } else if (col.size() == 1) {
                        EXPECT_NEAR(gp.GetStrokeColor().g, col[0], 0.01);
                    }
                    EXPECT_NEAR(gp.getLineWidth(), std::stod(strokeCall.attrs.at("linewidth")), 1e-4);
                    const ParserLinePattern& dash = gp.GetLinePattern();
                    if (strokeCall.attrs.count("dash")) {
                        const auto d = Numbers(strokeCall.attrs.at("dash"));
                        ASSERT_EQ(dash.count, static_cast<int>(std::min<std::size_t>(
                                                  d.size() % 2 ? d.size() * 2 : d.size(), 4)));
                        for (int q = 0; q < dash.count; ++q)
                            EXPECT_NEAR(dash.entries[q], d[q % d.size()], 1e-4);
                        EXPECT_NEAR(dash.phase, std::stod(strokeCall.attrs.at("dash_phase")), 1e-4);
                    } else {
                        EXPECT_EQ(dash.count, 0);
                    }
                } else {
                    EXPECT_EQ(gp.getLineWidth(), 0.0);
                }
            }
        }
        EXPECT_EQ(gi, o.graphics.size());
    }
}

TEST(Graphics, RectanglesHaveFivePointsAndRegionsAreYUp)
{
    Parser p;
    p.Load(WFixture("paths.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_FALSE(o.graphics.empty());
    // The first drawing is "20 200 60 40 re f": a filled rectangle.
    GraphicsCollect* r = o.graphics[0];
    EXPECT_EQ(r->GetPaintWay(), kPaintFill);
    ASSERT_EQ(r->GetPathCount(), 1);
    const GraphPath& gp = r->GetPaintPath(0);
    ASSERT_EQ(gp.Count(), 5u);
    EXPECT_EQ(gp.GetAt(4).x, gp.GetAt(0).x);
    EXPECT_EQ(gp.GetAt(4).y, gp.GetAt(0).y);
    EXPECT_TRUE(gp.IsClosed());
    double l, t, rr, b;
    ASSERT_TRUE(r->GetRegion(l, t, rr, b));
    EXPECT_DOUBLE_EQ(l, 20);
    EXPECT_DOUBLE_EQ(b, 200);
    EXPECT_DOUBLE_EQ(rr, 80);
    EXPECT_DOUBLE_EQ(t, 240);
    // Copies stay usable on their own.
    GraphicsCollect copy = *r;
    EXPECT_EQ(copy.GetPaintPath(0).Count(), 5u);
    EXPECT_EQ(copy.GetPaintPath(7).Count(), 0u) << "out of range gives an empty path";
    EXPECT_EQ(gp.GetAt(99).x, 0.0);
}

// IDs follow the order in which the page draws, over all kinds; links come last.
TEST(Graphics, IdsFollowDrawingOrder)
{
    for (const char* file : {"paths.pdf", "picture.pdf", "links.pdf"}) {
        SCOPED_TRACE(file);
        Parser p;
        p.Load(WFixture(file), false, nullptr);
        PageObjects o = Walk(p, 0);
        // The kinds in trace order, with fill+stroke pairs and repeated
        // text calls of one text object counted once.
        std::string expected;
        const auto calls = TraceCalls(Fixture(file));
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const Call& c = calls[i];
            char k = 0;
            if (c.kind == "fill_path" || c.kind == "stroke_path")
                k = 'G';
            else if (c.kind == "fill_image" || c.kind == "fill_image_mask")
                k = 'I';
            else if (c.kind == "fill_text" || c.kind == "stroke_text" || c.kind == "ignore_text")
                k = 'T';
            if (c.kind == "stroke_path" && i > 0 && calls[i - 1].kind == "fill_path" &&
                SameOps(calls[i - 1], c))
                continue;
            if (c.kind == "stroke_text" && i > 0 && calls[i - 1].kind == "fill_text")
                continue;
            if (k && (expected.empty() || expected.back() != k || k != 'T'))
                expected += k;
        }
        std::string ours;
        int last = 0;
        bool seenLink = false;
        for (CollectBase* c : o.all) {
            EXPECT_GT(c->GetID(), last);
            last = c->GetID();
            char k = dynamic_cast<TextCollect*>(c)       ? 'T'
                     : dynamic_cast<GraphicsCollect*>(c) ? 'G'
                     : dynamic_cast<ImageCollect*>(c)    ? 'I'
                                                         : 'L';
            if (k == 'L') {
                seenLink = true;
                continue;
            }
            EXPECT_FALSE(seenLink) << "a drawn object after a link";
            if (ours.empty() || ours.back() != k || k != 'T')
                ours += k;
        }
        EXPECT_EQ(ours, expected);
    }
}

// A shading and a tiling pattern are each one object: the painted area as a
// rectangle (paint way 8), drawn as they are by DrawObjects.
TEST(Graphics, ShadingsAndPatternsAreAreas)
{
    const auto calls = TraceCalls(Fixture("shading.pdf"));
    int painted = 0;
    for (const Call& c : calls)
        painted += c.kind == "fill_shade" || c.kind == "tile";
    Parser p;
    p.Load(WFixture("shading.pdf"), false, nullptr);
    PageObjects o = Walk(p, 0);
    ASSERT_EQ(static_cast<int>(o.graphics.size()), painted);
    ASSERT_EQ(o.graphics.size(), 2u);
    // Each area is the clip it is painted in.
    const double expect[2][4] = {{20, 80, 120, 20}, {200, 80, 300, 20}};
    auto dir = Scratch("shading");
    for (int i = 0; i < 2; ++i) {
        GraphicsCollect* g = o.graphics[i];
        EXPECT_EQ(g->GetPaintWay(), kPaintShading);
        double l, t, r, b;
        ASSERT_TRUE(g->GetRegion(l, t, r, b));
        EXPECT_NEAR(l, expect[i][0], 0.5);
        EXPECT_NEAR(t, expect[i][1], 0.5);
        EXPECT_NEAR(r, expect[i][2], 0.5);
        EXPECT_NEAR(b, expect[i][3], 0.5);
        EXPECT_EQ(g->GetPaintPath(0).Count(), 5u);
        ImageCollect region(nullptr);
        const std::string out = (dir / ("area" + std::to_string(i) + ".jpg")).string();
        ASSERT_TRUE(p.DrawObjects({g}, Wide(out), region));
        Jpeg j = ReadJpeg(out);
        ASSERT_TRUE(j.ok);
        ASSERT_EQ(j.components, 3);
        auto px = [&](double fx, double fy) {
            return &j.pixels[(static_cast<std::size_t>(fy * (j.height - 1)) * j.width +
                              static_cast<std::size_t>(fx * (j.width - 1))) * 3];
        };
        if (i == 0) {
            // Red on the left, blue on the right.
            EXPECT_GT(px(0.02, 0.5)[0], 200);
            EXPECT_LT(px(0.02, 0.5)[2], 60);
            EXPECT_GT(px(0.98, 0.5)[2], 200);
            EXPECT_LT(px(0.98, 0.5)[0], 60);
        } else {
            // Blue squares on white.
            int blue = 0, white = 0;
            for (std::size_t k = 0; k < j.pixels.size(); k += 3) {
                blue += j.pixels[k + 2] > 200 && j.pixels[k] < 60;
                white += j.pixels[k] > 230 && j.pixels[k + 1] > 230 && j.pixels[k + 2] > 230;
            }
            EXPECT_GT(blue, static_cast<int>(j.pixels.size() / 3 / 8));
            EXPECT_GT(white, static_cast<int>(j.pixels.size() / 3 / 3));
        }
    }
}

// A parser that records its pages while it reads them draws every object as
// one that records a page only when it draws it: the same objects, the same
// pictures. Tile cells (nested ones too) run for the recording and add no
// objects; groups, clips, masks and text reach the recording; text with
// ActualText spans inside one text object reaches both drawings in the
// same calls.
TEST(Graphics, PagesRecordedWhileReadDrawAlike)
{
    struct Case {
        const char* fixture;
        std::vector<int> pages;   // in the order they are read
    };
    const Case cases[] = {
        {"patterns_groups.pdf", {0, 1, 0}},
        {"shading.pdf", {0}},
        {"clipped.pdf", {0}},
        {"picture.pdf", {0}},
        {"smask_offset.pdf", {0}},
        {"jpegs.pdf", {0}},
        {"two_column.pdf", {0}},
        {"actual_text.pdf", {0}},
    };
    const auto dir = Scratch("recorded");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Parser plain, recording;
        recording.SetRecordPages(true);
        ASSERT_TRUE(plain.Load(WFixture(c.fixture), false, nullptr));
        ASSERT_TRUE(recording.Load(WFixture(c.fixture), false, nullptr));
        for (int page : c.pages) {
            SCOPED_TRACE("page " + std::to_string(page));
            const PageObjects a = Walk(plain, page);
            const PageObjects b = Walk(recording, page);
            ASSERT_EQ(a.all.size(), b.all.size());
            ASSERT_EQ(a.graphics.size(), b.graphics.size());
            ASSERT_EQ(a.text.size(), b.text.size());
            ASSERT_EQ(a.images.size(), b.images.size());
            // Each drawn object alone, then all of them together.
            std::vector<std::pair<std::vector<CollectBase*>, std::vector<CollectBase*>>> draws;
            std::vector<CollectBase*> allA, allB;
            for (std::size_t i = 0; i < a.all.size(); ++i) {
                if (dynamic_cast<LinkCollect*>(a.all[i]))
                    continue;
                draws.push_back({{a.all[i]}, {b.all[i]}});
                allA.push_back(a.all[i]);
                allB.push_back(b.all[i]);
            }
            draws.push_back({allA, allB});
            for (std::size_t k = 0; k < draws.size(); ++k) {
                SCOPED_TRACE("drawing " + std::to_string(k));
                const std::string pa = (dir / "a.jpg").string(), pb = (dir / "b.jpg").string();
                std::filesystem::remove(pa);
                std::filesystem::remove(pb);
                ImageCollect ra(nullptr), rb(nullptr);
                const bool drawnA = plain.DrawObjects(draws[k].first, Wide(pa), ra);
                ASSERT_EQ(recording.DrawObjects(draws[k].second, Wide(pb), rb), drawnA);
                if (!drawnA)
                    continue;
                const Jpeg ja = ReadJpeg(pa), jb = ReadJpeg(pb);
                ASSERT_TRUE(ja.ok && jb.ok);
                EXPECT_EQ(ja.width, jb.width);
                EXPECT_EQ(ja.height, jb.height);
                EXPECT_TRUE(ja.pixels == jb.pixels);
                const ParserMatrix& ma = ra.GetMatrix();
                const ParserMatrix& mb = rb.GetMatrix();
                EXPECT_DOUBLE_EQ(ma.e, mb.e);
                EXPECT_DOUBLE_EQ(ma.f, mb.f);
            }
        }
    }
}

// Words read without drawing records are the words read with them: the
// same objects in the same order with the same numbers, texts, places and
// styles (underline and strike-out come from rules, bold from text that is
// also stroked). Only the words lose their drawing; the page's other objects
// draw as before. A parser switched between the two ways from page to page
// takes word objects of the other way back for its next page.
TEST(Graphics, WordsWithoutDrawingRecordsAreTheSameWords)
{
    const char* fixtures[] = {"styles.pdf", "paths.pdf",      "picture.pdf",
                              "clipped.pdf", "two_column.pdf", "actual_text.pdf"};
    const auto dir = Scratch("wordrecords");
    const std::string pa = (dir / "a.jpg").string(), pb = (dir / "b.jpg").string();
    auto draws = [](Parser& p, const std::vector<CollectBase*>& objects, const std::string& out) {
        std::filesystem::remove(out);
        ImageCollect region(nullptr);
        return p.DrawObjects(objects, Wide(out), region);
    };
    for (const char* fixture : fixtures) {
        SCOPED_TRACE(fixture);
        Parser plain, lean, switched;
        lean.SetDrawWords(false);
        ASSERT_TRUE(plain.Load(WFixture(fixture), false, nullptr));
        ASSERT_TRUE(lean.Load(WFixture(fixture), false, nullptr));
        ASSERT_TRUE(switched.Load(WFixture(fixture), false, nullptr));
        // Every page twice over, so that each page after the first takes
        // back the word objects of the one before.
        const int pages = plain.GetPageCount();
        for (int k = 0; k < 2 * pages; ++k) {
            const int page = k % pages;
            const bool switchedDraws = k % 2 == 0;
            switched.SetDrawWords(switchedDraws);
            SCOPED_TRACE("read " + std::to_string(k));
            const PageObjects a = Walk(plain, page);
            const PageObjects b = Walk(lean, page);
            const PageObjects c = Walk(switched, page);
            ASSERT_EQ(a.all.size(), b.all.size());
            ASSERT_EQ(a.all.size(), c.all.size());
            ASSERT_EQ(a.text.size(), b.text.size());
            for (std::size_t i = 0; i < a.all.size(); ++i) {
                for (CollectBase* other : {b.all[i], c.all[i]}) {
                    ASSERT_EQ(typeid(*a.all[i]), typeid(*other));
                    EXPECT_EQ(a.all[i]->GetID(), other->GetID());
                    const ParserMatrix& ma = a.all[i]->GetMatrix();
                    const ParserMatrix& mo = other->GetMatrix();
                    EXPECT_TRUE(ma.a == mo.a && ma.b == mo.b && ma.c == mo.c && ma.d == mo.d &&
                                ma.e == mo.e && ma.f == mo.f);
                }
            }
            for (std::size_t i = 0; i < a.text.size(); ++i) {
                const TextCollect& ta = *a.text[i];
                for (const TextCollect* tb : {b.text[i], c.text[i]}) {
                    EXPECT_EQ(ta.GetText(), tb->GetText());
                    EXPECT_EQ(ta.GetFontName(), tb->GetFontName());
                    EXPECT_EQ(ta.GetTextWidth(), tb->GetTextWidth());
                    EXPECT_EQ(ta.IsBold(), tb->IsBold());
                    EXPECT_EQ(ta.IsUnderline(), tb->IsUnderline());
                    EXPECT_EQ(ta.IsStrickOut(), tb->IsStrickOut());
                }
            }
            if (!a.text.empty()) {
                const std::vector<CollectBase*> wa(a.text.begin(), a.text.end());
                const std::vector<CollectBase*> wb(b.text.begin(), b.text.end());
                const std::vector<CollectBase*> wc(c.text.begin(), c.text.end());
                EXPECT_TRUE(draws(plain, wa, pa));
                EXPECT_FALSE(draws(lean, wb, pb));
                EXPECT_EQ(draws(switched, wc, pb), switchedDraws);
            }
            // Drawings and pictures, one at a time, come out alike.
            for (std::size_t i = 0; i < a.all.size(); ++i) {
                if (dynamic_cast<TextCollect*>(a.all[i]))
                    continue;
                const bool drawn = draws(plain, {a.all[i]}, pa);
                ASSERT_EQ(draws(lean, {b.all[i]}, pb), drawn);
                if (!drawn)
                    continue;
                const Jpeg ja = ReadJpeg(pa), jb = ReadJpeg(pb);
                ASSERT_TRUE(ja.ok && jb.ok);
                EXPECT_TRUE(ja.width == jb.width && ja.height == jb.height && ja.pixels == jb.pixels);
            }
        }
    }
}
