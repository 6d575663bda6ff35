// Path walking: the subpaths of a MuPDF path as the page objects report
// them, in page points.
#include "path_walk.h"

#include "mupdf_safe.h"

#include <cstring>

namespace parser_detail {
namespace {

struct Walk {
    const PageFrame* frame;
    fz_matrix ctm;
    std::vector<GraphPath>* paths;
    GraphPath cur;
    bool open = false;
    fz_point first{0, 0};
    fz_point last{0, 0};
    bool failed = false;

    PathPoint Pt(float x, float y, unsigned type) const
    {
        const fz_point p = fz_transform_point_xy(x, y, ctm);
        return PathPoint(frame->X(p.x), frame->Y(p.y), type);
    }
    void Finish()
    {
        if (open && ObjectAccess::Points(cur).size() >= 2)
            paths->push_back(std::move(cur));
        cur = GraphPath();
        open = false;
    }
    void Start(float x, float y)
    {
        Finish();
        open = true;
        first = last = fz_make_point(x, y);
        ObjectAccess::Points(cur).push_back(Pt(x, y, kPointGeneral));
    }
    void EnsureOpen()
    {
        // A segment right after a close starts a new subpath at the
        // point where the closed one began.
        if (!open)
            Start(last.x, last.y);
    }
};

void WalkMove(fz_context*, void* arg, float x, float y)
{
    auto* w = static_cast<Walk*>(arg);
    try {
        w->Start(x, y);
    } catch (...) {
        w->failed = true;
    }
}

void WalkLine(fz_context*, void* arg, float x, float y)
{
    auto* w = static_cast<Walk*>(arg);
    try {
        w->EnsureOpen();
        ObjectAccess::Points(w->cur).push_back(w->Pt(x, y, kPointGeneral));
        w->last = fz_make_point(x, y);
    } catch (...) {
        w->failed = true;
    }
}

void WalkCurve(fz_context*, void* arg, float x1, float y1, float x2, float y2, float x3,
               float y3)
{
    auto* w = static_cast<Walk*>(arg);
    try {
        w->EnsureOpen();
        auto& pts = ObjectAccess::Points(w->cur);
        pts.push_back(w->Pt(x1, y1, kPointBezierStartC));
        pts.push_back(w->Pt(x2, y2, kPointBezierCommon));
        pts.push_back(w->Pt(x3, y3, kPointBezierCommon));
        w->last = fz_make_point(x3, y3);
    } catch (...) {
        w->failed = true;
    }
}

void WalkClose(fz_context*, void* arg)
{
    auto* w = static_cast<Walk*>(arg);
    try {
        if (!w->open)
            return;
        auto& pts = ObjectAccess::Points(w->cur);
        if (w->last.x != w->first.x || w->last.y != w->first.y ||
            pts.back().GetPointType() != kPointGeneral)
            pts.push_back(w->Pt(w->first.x, w->first.y, kPointGeneral));
        ObjectAccess::Closed(w->cur) = true;
        w->last = w->first;
        w->Finish();
    } catch (...) {
        w->failed = true;
    }
}

} // namespace

Box PageFrame::ToBox(fz_rect r) const
{
    if (fz_is_empty_rect(r) || fz_is_infinite_rect(r))
        return Box{};
    Box b{X(r.x0), Y(r.y1), X(r.x1), Y(r.y0)};
    return b;
}

PathWalk WalkPath(fz_context* ctx, const fz_path* path, fz_matrix ctm, const PageFrame& frame,
                  std::vector<GraphPath>& out)
{
    static const fz_path_walker walker = {WalkMove, WalkLine, WalkCurve, WalkClose,
                                          nullptr,  nullptr,  nullptr,   nullptr};
    Walk w{&frame, ctm, &out, GraphPath(), false, {0, 0}, {0, 0}, false};
    const bool ok = SafeWalkPath(ctx, path, &walker, &w);
    if (w.failed)
        return PathWalk::Failed;
    w.Finish();
    return ok && !out.empty() ? PathWalk::Paths : PathWalk::Nothing;
}

bool AllClosed(GraphicsCollect& g)
{
    for (GraphPath& p : ObjectAccess::Paths(g))
        if (!ObjectAccess::Closed(p))
            return false;
    return true;
}

bool SamePoints(GraphicsCollect& a, GraphicsCollect& b)
{
    auto& pa = ObjectAccess::Paths(a);
    auto& pb = ObjectAccess::Paths(b);
    if (pa.size() != pb.size())
        return false;
    for (std::size_t i = 0; i < pa.size(); ++i) {
        auto& xa = ObjectAccess::Points(pa[i]);
        auto& xb = ObjectAccess::Points(pb[i]);
        if (xa.size() != xb.size())
            return false;
        for (std::size_t k = 0; k < xa.size(); ++k)
            if (xa[k].x != xb[k].x || xa[k].y != xb[k].y)
                return false;
    }
    return true;
}

} // namespace parser_detail
