// The collector's drawing calls of graphics and pictures, and what every
// kind of object shares: numbering, keeping objects on the visible page.
#include "collector.h"

#include "mupdf_safe.h"

#include <cmath>
#include <cstring>

namespace parser_detail {

void Collector::FillPath(const fz_path* path, int evenOdd, fz_matrix ctm, fz_colorspace* cs,
                         const float* color, fz_color_params cp)
{
    if (!NumberCall())
        return;
    FlushWord();
    float rgb[3];
    SafeToRgb(ctx_, cs, color, cp, rgb);
    auto g = std::make_unique<GraphicsCollect>();
    if (!WalkInto(path, ctm, *g))
        return;
    for (GraphPath& p : ObjectAccess::Paths(*g)) {
        ObjectAccess::Fill(p) = ParserColor{rgb[0], rgb[1], rgb[2]};
        ObjectAccess::LineWidth(p) = 0.0;
    }
    ObjectAccess::PaintWay(*g) = evenOdd ? kPaintFillEvenOdd : kPaintFill;
    auto ref = NewRef();
    ref->seqs.push_back(seq_);
    ref->box = frame_.ToBox(SafeBoundPath(ctx_, path, nullptr, ctm));
    GraphicsCollect* raw = g.get();
    if (!Push(std::move(g), ref, raw))
        return;
    lastFillPath_ = path;
    lastFillSeq_ = seq_;
    lastFillCtm_ = ctm;
    lastFill_ = raw;
    lastFillRef_ = ref;
}

void Collector::StrokePath(const fz_path* path, const fz_stroke_state* stroke, fz_matrix ctm,
                           fz_colorspace* cs, const float* color, fz_color_params cp)
{
    if (!NumberCall())
        return;
    FlushWord();
    float rgb[3];
    SafeToRgb(ctx_, cs, color, cp, rgb);
    const double expansion = std::sqrt(std::fabs(ctm.a * ctm.d - ctm.b * ctm.c));
    const double width = stroke ? stroke->linewidth * expansion : 1.0;
    ParserLinePattern dash;
    if (stroke && stroke->dash_len > 0) {
        const int len = std::min(stroke->dash_len, 32);
        // An odd-length pattern repeats with dash and gap swapped: write
        // it out twice so that entries alternate dash and gap.
        const int full = (len % 2) ? len * 2 : len;
        dash.count = std::min(full, 4);
        for (int i = 0; i < dash.count; ++i)
            dash.entries[i] = stroke->dash_list[i % len] * expansion;
        dash.phase = stroke->dash_phase * expansion;
    }
    auto g = std::make_unique<GraphicsCollect>();
    if (!WalkInto(path, ctm, *g))
        return;
    const fz_rect drawn = SafeBoundPath(ctx_, path, stroke, ctm);

    // Fill and stroke of the same path (PDF "B", "b") arrive as two calls
    // with one path object: they become one graphic painted both ways.
    if (lastFill_ && lastFillSeq_ == seq_ - 1 && lastFillPath_ == path &&
        std::memcmp(&lastFillCtm_, &ctm, sizeof ctm) == 0 && SamePoints(*lastFill_, *g)) {
        // Reported as 4 or 5 also when every subpath is closed: a closed
        // subpath already ends on its first point, and the writers fill
        // only the ways 2 to 5.
        int& way = ObjectAccess::PaintWay(*lastFill_);
        way = way == kPaintFillEvenOdd ? kPaintFillStrokeEvenOdd : kPaintFillStroke;
        for (GraphPath& p : ObjectAccess::Paths(*lastFill_)) {
            ObjectAccess::Stroke(p) = ParserColor{rgb[0], rgb[1], rgb[2]};
            ObjectAccess::LineWidth(p) = width;
            ObjectAccess::Dash(p) = dash;
        }
        lastFillRef_->seqs.push_back(seq_);
        lastFillRef_->box.Unite(ClipBox(frame_.ToBox(drawn), clips_.back()));
        lastFill_ = nullptr;
        return;
    }
    for (GraphPath& p : ObjectAccess::Paths(*g)) {
        ObjectAccess::Stroke(p) = ParserColor{rgb[0], rgb[1], rgb[2]};
        ObjectAccess::LineWidth(p) = width;
        ObjectAccess::Dash(p) = dash;
    }
    ObjectAccess::PaintWay(*g) = AllClosed(*g) ? kPaintStrokeClosed : kPaintStroke;
    auto ref = NewRef();
    ref->seqs.push_back(seq_);
    ref->box = frame_.ToBox(drawn);
    lastFill_ = nullptr;
    GraphicsCollect* raw = g.get();
    Push(std::move(g), ref, raw);
}

void Collector::FillShade(fz_shade* shade, fz_matrix ctm)
{
    if (!NumberCall())
        return;
    FlushWord();
    lastFill_ = nullptr;
    fz_rect r = fz_intersect_rect(SafeBoundShade(ctx_, shade, ctm), clips_.back());
    AddArea(r);
}

void Collector::Image(fz_image* image, fz_matrix ctm, bool stencil, fz_colorspace* cs,
                      const float* color, fz_color_params cp)
{
    if (!NumberCall())
        return;
    FlushWord();
    lastFill_ = nullptr;
    const fz_rect r = fz_transform_rect(fz_unit_rect, ctm);
    const Box box = frame_.ToBox(r);
    auto src = std::make_shared<ImageSource>();
    src->ctx = ctx_;
    src->image = fz_keep_image(ctx_, image);
    src->stencil = stencil;
    if (stencil)
        SafeToRgb(ctx_, cs, color, cp, src->color);
    const int n = ++*opt_.imageCounter;
    const std::string stem = opt_.imageDir + opt_.imageStem + std::to_string(n);
    src->imagePath = stem + ".jpg";
    // A picture turned by a multiple of 90 degrees is written as the page
    // shows it; one turned by another angle or skewed fills only part of
    // its box, which is told as a mask: it is drawn, not copied.
    const bool square = ImageTurnOf(ctm, src->turn);
    const bool hasMask = stencil || image->mask != nullptr || image->use_colorkey || !square;
    if (hasMask)
        src->maskPath = stem + "_mask.jpg";
    auto obj = std::make_unique<ImageCollect>();
    const double w = box.x1 - box.x0, h = box.y1 - box.y0;
    ObjectAccess::SetImage(*obj, src, hasMask, static_cast<int>(std::lround(w)),
                           static_cast<int>(std::lround(h)));
    ObjectAccess::SetMatrix(*obj, ParserMatrix{w, 0.0, 0.0, h, box.x0, box.y0});
    auto ref = NewRef();
    ref->seqs.push_back(seq_);
    ref->box = box;
    ref->pixelWidth = src->turn.transpose ? image->h : image->w;
    ref->pixelHeight = src->turn.transpose ? image->w : image->h;
    Push(std::move(obj), ref);
}

void Collector::BeginTile(fz_rect area, fz_matrix ctm)
{
    const bool counted = Counted();
    ++tileDepth_;
    if (counted) {
        ++seq_;
        if (!failed_) {
            FlushWord();
            lastFill_ = nullptr;
            AddArea(fz_intersect_rect(fz_transform_rect(area, ctm), clips_.back()));
        }
    }
}

void Collector::EndTile()
{
    if (tileDepth_ > 0)
        --tileDepth_;
}

void Collector::BeginMask(fz_rect area)
{
    ++maskDepth_;
    maskAreas_.push_back(area);
}

void Collector::EndMask()
{
    if (maskDepth_ > 0)
        --maskDepth_;
    fz_rect area = fz_infinite_rect;
    if (!maskAreas_.empty()) {
        area = maskAreas_.back();
        maskAreas_.pop_back();
    }
    PushClip(area);
}

void Collector::PopClip()
{
    if (clips_.size() > 1)
        clips_.pop_back();
}

void Collector::Finish()
{
    FlushWord();
    MarkRules(lines_, words_);
}

std::shared_ptr<DrawRef> Collector::NewRef()
{
    auto ref = std::make_shared<DrawRef>();
    ref->docId = opt_.docId;
    ref->page = opt_.page;
    return ref;
}

CollectBase* Collector::Push(std::unique_ptr<CollectBase> obj, std::shared_ptr<DrawRef> ref,
                             GraphicsCollect* graphic, const fz_rect* clip)
{
    const Box& b = ref->box;
    if (!OnPage(b))
        return nullptr;
    // What the clip leaves of the object is what is drawn of it; a picture
    // keeps its pixels per point.
    const Box cut = ClipBox(b, clip ? *clip : clips_.back());
    if (ref->pixelWidth > 0 && !cut.Empty() && !b.Empty()) {
        ref->pixelWidth = std::max(1, static_cast<int>(std::lround(
                                          ref->pixelWidth * (cut.x1 - cut.x0) / (b.x1 - b.x0))));
        ref->pixelHeight = std::max(1, static_cast<int>(std::lround(
                                           ref->pixelHeight * (cut.y1 - cut.y0) / (b.y1 - b.y0))));
    }
    ref->box = cut;
    ObjectAccess::SetId(*obj, nextId_++);
    ObjectAccess::SetDraw(*obj, std::move(ref));
    LineGeom rule;
    if (graphic && AsRule(*graphic, rule))
        lines_.push_back(rule);
    out_.push_back(std::move(obj));
    return out_.back().get();
}

bool Collector::OnPage(const Box& b) const
{
    const fz_rect& bounds = frame_.bounds;
    const double W = bounds.x1 - bounds.x0, H = bounds.y1 - bounds.y0;
    return !(b.x1 < 0.0 || b.y1 < 0.0 || b.x0 > W || b.y0 > H);
}

bool Collector::PushWord(std::unique_ptr<TextCollect> word, const Box& box)
{
    if (!OnPage(box))
        return false;
    ObjectAccess::SetId(*word, nextId_++);
    out_.push_back(std::move(word));
    return true;
}

Box Collector::ClipBox(const Box& b, fz_rect clip) const
{
    const Box cut = b.Intersect(frame_.ToBox(clip));
    return cut.Empty() ? Box{} : cut;
}

void Collector::AddArea(fz_rect r)
{
    r = fz_intersect_rect(r, frame_.bounds);
    if (fz_is_empty_rect(r))
        return;
    const Box b = frame_.ToBox(r);
    auto g = std::make_unique<GraphicsCollect>();
    GraphPath p;
    auto& pts = ObjectAccess::Points(p);
    pts = {PathPoint(b.x0, b.y0), PathPoint(b.x1, b.y0), PathPoint(b.x1, b.y1),
           PathPoint(b.x0, b.y1), PathPoint(b.x0, b.y0)};
    ObjectAccess::Closed(p) = true;
    ObjectAccess::Fill(p) = ParserColor{0.5, 0.5, 0.5};
    ObjectAccess::Paths(*g).push_back(std::move(p));
    ObjectAccess::PaintWay(*g) = kPaintShading;
    auto ref = NewRef();
    ref->seqs.push_back(seq_);
    ref->box = b;
    GraphicsCollect* raw = g.get();
    Push(std::move(g), ref, raw);
}

bool Collector::WalkInto(const fz_path* path, fz_matrix ctm, GraphicsCollect& g)
{
    const PathWalk walk = WalkPath(ctx_, path, ctm, frame_, ObjectAccess::Paths(g));
    if (walk == PathWalk::Failed)
        failed_ = true;
    return walk == PathWalk::Paths;
}

} // namespace parser_detail
