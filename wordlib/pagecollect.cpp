#include "wordlib/pagecollect.h"

#include "engine/layout/imageblock.h"
#include "engine/layout/safemath.h"
#include "engine/layout/textblock.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace scrivlet {

namespace {

// Pull upright runs inside the page, keeping this much free at the bottom
// and at the right (twips).
constexpr double kBottomKeep = 200.0;
constexpr double kRightKeep = 400.0;

std::int16_t Coord16(double v)
{
    const int t = safemath::Trunc(v);
    return static_cast<std::int16_t>(std::clamp(t, -32768, 32767));
}

std::int32_t Round32(double v)
{
    return static_cast<std::int32_t>(safemath::Trunc(v));
}

Rgb ColorOf(const double c[3])
{
    return Rgb{ColorByte(c[0]), ColorByte(c[1]), ColorByte(c[2])};
}

Rgb ColorOf(const ParserColor& c)
{
    return Rgb{ColorByte(c.r), ColorByte(c.g), ColorByte(c.b)};
}

} // namespace

std::vector<std::int32_t> DashLengths(const ParserLinePattern& pattern, double lineWidthPt)
{
    std::vector<std::int32_t> out;
    const int count = std::clamp(pattern.count, 0, 4);
    if (count <= 0)
        return out;
    std::vector<double> cycle;
    double total = 0;
    for (int i = 0; i < count; ++i) {
        const double v = std::isfinite(pattern.entries[i]) && pattern.entries[i] > 0 ? pattern.entries[i] : 0.0;
        cycle.push_back(v);
        total += v;
    }
    if (!(total > 0) || !std::isfinite(total))
        return out;
    // An odd count repeats, so that dash and gap keep alternating.
    if (cycle.size() % 2 == 1) {
        const std::size_t n = cycle.size();
        for (std::size_t i = 0; i < n; ++i)
            cycle.push_back(cycle[i]);
        total *= 2;
    }
    const double unit = std::isfinite(lineWidthPt) && lineWidthPt > 0 ? lineWidthPt : 1.0;
    double phase = std::isfinite(pattern.phase) ? std::fmod(pattern.phase, total) : 0.0;
    if (phase < 0)
        phase += total;
    std::size_t start = 0;
    while (start < cycle.size() && phase > 0 && phase >= cycle[start]) {
        phase -= cycle[start];
        ++start;
    }
    if (start >= cycle.size()) {   // rounding left the whole cycle used up
        start = 0;
        phase = 0;
    }
    if (start % 2 == 1)
        out.push_back(0);
    out.push_back(Round32((cycle[start] - phase) / unit));
    for (std::size_t k = 1; k < cycle.size(); ++k)
        out.push_back(Round32(cycle[(start + k) % cycle.size()] / unit));
    return out;
}

std::uint8_t ColorByte(double channel)
{
    if (!(channel > 0))   // NaN and negatives
        return 0;
    const double v = channel * 255.0;
    if (v >= 255.0)
        return 255;
    return static_cast<std::uint8_t>(v);
}

void PageCollector::clear()
{
    sections_.clear();
    scale_ = 1.0;
}

PageEntry* PageCollector::currentPage()
{
    if (sections_.empty() || sections_.back().pages.empty())
        return nullptr;
    return &sections_.back().pages.back();
}

void PageCollector::beginPage(double widthPt, double heightPt)
{
    double w = std::isfinite(widthPt) && widthPt > 0 ? widthPt * 20.0 : 0.0;
    double h = std::isfinite(heightPt) && heightPt > 0 ? heightPt * 20.0 : 0.0;
    scale_ = 1.0;
    const double larger = std::max(w, h);
    if (larger > kMaxPageTwips) {
        scale_ = kMaxPageTwips / larger;
        w = std::min(w * scale_, kMaxPageTwips);
        h = std::min(h * scale_, kMaxPageTwips);
    }
    if (sections_.empty() || sections_.back().width != w || sections_.back().height != h)
        sections_.push_back(SectionEntry{w, h, {}});
    sections_.back().pages.emplace_back();
}

bool PageCollector::makeRun(const Text& e, TextRun& run) const
{
    if (sections_.empty())
        return false;
    const double W = sections_.back().width;
    const double H = sections_.back().height;
    run.fontName = e.fontName;
    run.text = e.text;
    run.wideText = utf8::ToUtf16(e.text);
    run.color = ColorOf(e.color);
    run.italic = e.italic;
    run.bold = e.bold;
    run.underline = e.underline;
    run.strikeOut = e.strikeOut;
    run.fontSize = 2.0 * e.fontSize * scale_;
    run.x = twips(e.x);
    run.width = twips(e.width);
    run.height = twips(e.height);
    run.top = H - run.height - twips(e.y);
    if (run.top + run.height > H - kBottomKeep)
        run.top = H - kBottomKeep - run.height;
    if (run.x + run.width > W - kRightKeep)
        run.x = W - kRightKeep - run.width;
    if (e.hasLink) {
        run.hasLink = true;
        run.linkKind = e.linkKind;
        if (e.linkKind == 0)
            run.linkPage = e.linkPage;
        else if (e.linkKind == 1)
            run.linkAddress = utf8::ToUtf16(e.uri.str());
    }
    return run.x >= 0 && run.top >= 0 && run.width > 0 && run.height > 0;
}

bool PageCollector::makeRotatedRun(const Text& e, RotatedRun& out) const
{
    if (sections_.empty())
        return false;
    const double H = sections_.back().height;
    makeRun(e, out.run);   // every field as for an upright run; the box follows
    const double a = e.matrix[0], b = e.matrix[1], c = e.matrix[2], d = e.matrix[3];
    const double r = std::hypot(a, b);
    const double det = a * d - b * c;
    // A matrix without an x axis (or with values that are no numbers) gives
    // no direction to draw the text in: the element is left out.
    if (!(r > 0) || !std::isfinite(r) || !std::isfinite(det) || !std::isfinite(c) || !std::isfinite(d))
        return false;
    const double w0 = twips(e.runWidth);
    const double h0 = twips(e.runHeight);
    const double shear = (a * c + b * d) / r;
    out.run.width = r * w0 + std::fabs(shear * h0);
    out.run.height = std::fabs(h0 * det / r);
    out.run.fontSize = std::fabs(2.0 * e.runHeight * scale_ * det / r);
    // The shear of the box relative to its height (0 for a pure rotation).
    out.transform[0] = 1.0;
    out.transform[1] = 0.0;
    out.transform[2] = safemath::Div(a * c + b * d, det);
    out.transform[3] = 1.0;
    out.transform[4] = 0.0;
    out.transform[5] = 0.0;

    const double cx = twips(e.matrix[4]) + (w0 * a + h0 * c) / 2.0;
    const double cy = H - (twips(e.matrix[5]) + (w0 * b + h0 * d) / 2.0);
    double turn = std::atan2(b, a) * 180.0 / 3.14159265358979;
    if (turn < 0)
        turn += 360.0;
    // Shapes turned by 45 to 135 or 225 to 315 degrees are anchored by
    // their box turned upright.
    const bool upright = (turn >= 45.0 && turn < 135.0) || (turn >= 225.0 && turn < 315.0);
    const double aw = upright ? out.run.height : out.run.width;
    const double ah = upright ? out.run.width : out.run.height;
    out.anchorLeft = Round32(cx - aw / 2.0);
    out.anchorTop = Round32(cy - ah / 2.0);
    out.anchorRight = Round32(cx + aw / 2.0);
    out.anchorBottom = Round32(cy + ah / 2.0);
    out.rotation = static_cast<float>(-std::atan2(b, a) * 180.0 / 3.1415927);
    return std::isfinite(out.run.width) && std::isfinite(out.run.height) && std::isfinite(cx) &&
           std::isfinite(cy);
}

void PageCollector::addText(TextBlock& block)
{
    PageEntry* page = currentPage();
    if (!page)
        return;
    const double H = sections_.back().height;
    TextGroup group;
    group.x = twips(block.getX());
    group.top = H - twips(block.getY() + block.getHeight());
    group.width = twips(block.getWidth());
    group.height = twips(block.getHeight());

    block.returnTheFirst();
    int handled = 0;
    while (block.GetEleCount() > 0) {
        const Text* e = block.getCurrentElement();
        if (!e)
            break;
        if (e->matrix[1] == 0.0 && e->matrix[2] == 0.0) {
            TextRun run;
            if (makeRun(*e, run))
                group.runs.push_back(std::move(run));
        } else {
            RotatedRun rotated;
            if (makeRotatedRun(*e, rotated))
                page->rotated.push_back(std::move(rotated));
        }
        block.setNext();
        if (++handled >= block.GetEleCount())
            break;
    }
    page->flow.push_back(std::move(group));
}

void PageCollector::addImage(const ImageBlock& block, const std::wstring& imageFolder)
{
    PageEntry* page = currentPage();
    if (!page)
        return;
    const double H = sections_.back().height;
    Picture pic;
    pic.x = twips(block.getX());
    pic.top = H - twips(block.getY() + block.getHeight());
    pic.width = twips(block.getWidth());
    pic.height = twips(block.getHeight());
    if (pic.width < 0) {
        pic.x += pic.width;
        pic.width = -pic.width;
    }
    if (pic.height < 0) {
        pic.top += pic.height;
        pic.height = -pic.height;
    }
    const std::wstring& path = block.getImagePath();
    const std::size_t slash = path.rfind(L'/');
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return;
    pic.path = imageFolder + name;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(utf8::Path(pic.path), ec))
        return;
    page->pictures.push_back(std::move(pic));
}

void PageCollector::addGraphic(const GraphicBlock& block)
{
    PageEntry* page = currentPage();
    if (!page)
        return;
    const double H = sections_.back().height;
    GraphicGroup group;
    const GraphicsCollect* g = block.getElement();
    if (!g) {
        page->graphics.push_back(std::move(group));
        return;
    }
    struct Flags {
        bool closed, filled, stroked;
        int evenOdd;
    };
    static const Flags kWays[8] = {
        {false, false, true, 0}, {true, false, true, 0}, {false, true, false, 0}, {false, true, false, 1},
        {false, true, true, 0},  {false, true, true, 1}, {true, true, true, 0},   {true, true, true, 1},
    };
    const int way = g->GetPaintWay();
    if (way >= 0 && way < 8) {
        group.closed = kWays[way].closed;
        group.filled = kWays[way].filled;
        group.stroked = kWays[way].stroked;
        group.evenOdd = kWays[way].evenOdd;
    }
    for (int i = 0; i < g->GetPathCount(); ++i) {
        const GraphPath& p = g->GetPaintPath(i);
        PathShape shape;
        shape.stroke = ColorOf(p.GetStrokeColor());
        shape.fill = ColorOf(p.GetNonStrokeColor());
        const double lw = std::isfinite(p.getLineWidth()) && p.getLineWidth() > 0 ? p.getLineWidth() : 0.0;
        shape.lineWidth = twips(lw);
        shape.dashes = DashLengths(p.GetLinePattern(), lw);
        const unsigned n = p.Count();
        for (unsigned j = 0; j < n; ++j) {
            const PathPoint& pt = p.GetAt(j);
            const Vertex v{Coord16(twips(pt.x)), Coord16(H - twips(pt.y)), 0};
            const unsigned type = pt.GetPointType();
            Vertex first = v;
            if (j == 0)
                first.kind = kVertexFirst;
            else if (type == 0)
                first.kind = kVertexLine;
            else if (type >= 1 && type <= 3)
                first.kind = kVertexCurve;
            else
                first.kind = kVertexControl;
            shape.vertices.push_back(first);
            if (j == 0)
                continue;
            if (type == 2) {
                shape.vertices.push_back(Vertex{v.x, v.y, kVertexControl});
            } else if (type == 3 && j + 1 < n) {
                const PathPoint& next = p.GetAt(j + 1);
                const Vertex w{Coord16(twips(next.x)), Coord16(H - twips(next.y)), kVertexControl};
                shape.vertices.push_back(w);
                shape.vertices.push_back(w);
                ++j;
            }
        }
        shape.vertices.push_back(Vertex{0, 0, kVertexEnd});
        group.paths.push_back(std::move(shape));
    }
    page->graphics.push_back(std::move(group));
}

} // namespace scrivlet
