// The collecting device: runs a page and turns what it draws into page
// objects: words of text, vector paths, pictures, areas painted by shadings
// and patterns, then the page's links.
//
// Every drawing call made outside a soft-mask definition and outside a
// tiling-pattern cell gets a number (its "call number") in the order of the
// run. The filtering device of draw_device.cpp numbers the calls of a second
// run of the same page the same way, which is how DrawObjects renders only
// chosen objects.
#include "internal.h"
#include "mupdf_safe.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace parser_detail {
namespace {

constexpr float kSpaceFactor = 0.15f; // gap (in em) that separates two words
constexpr float kBaselineTolerance = 0.1f;
constexpr float kBackTolerance = 0.1f;
constexpr float kNoWidth = 0.05f; // a glyph advance (in em) at most this is no width

bool IsSpace(int ucs)
{
    if (ucs > 0x20 && ucs < 0x7F)
        return false;
    return ucs == 0x20 || ucs == 0x09 || ucs == 0x0A || ucs == 0x0D || ucs == 0x0B ||
           ucs == 0x0C || ucs == 0xA0 || ucs == 0x1680 || (ucs >= 0x2000 && ucs <= 0x200B) ||
           ucs == 0x2028 || ucs == 0x2029 || ucs == 0x202F || ucs == 0x205F || ucs == 0x3000 ||
           ucs == 0xFEFF;
}

// Chinese, Japanese and Korean characters: ideographs, kana, hangul, their
// punctuation and the full-width forms. They are set without spaces.
bool IsCjk(int ucs)
{
    return (ucs >= 0x1100 && ucs <= 0x11FF) || (ucs >= 0x2E80 && ucs <= 0x2FFF) ||
           (ucs >= 0x3000 && ucs <= 0x9FFF) || (ucs >= 0xA960 && ucs <= 0xA97F) ||
           (ucs >= 0xAC00 && ucs <= 0xD7FF) || (ucs >= 0xF900 && ucs <= 0xFAFF) ||
           (ucs >= 0xFE30 && ucs <= 0xFE4F) || (ucs >= 0xFF00 && ucs <= 0xFFEF) ||
           (ucs >= 0x20000 && ucs <= 0x3FFFF);
}

bool IsControl(int ucs) { return (ucs >= 0 && ucs < 0x20) || (ucs >= 0x7F && ucs < 0xA0); }

// Neither a space nor a control character: the common case of a glyph that
// belongs to a word.
bool IsWordChar(int ucs)
{
    if (ucs > 0x20 && ucs < 0x7F)
        return true;
    return !IsSpace(ucs) && !IsControl(ucs);
}

void AppendUtf8(std::string& s, int c)
{
    if (c < 0)
        return;
    auto u = static_cast<unsigned>(c);
    if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))
        u = 0xFFFD;
    if (u < 0x80) {
        s.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (u >> 6)));
        s.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        s.push_back(static_cast<char>(0xE0 | (u >> 12)));
        s.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xF0 | (u >> 18)));
        s.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
}

// Appends a character of a word; typographic ligatures (U+FB00 to U+FB06)
// are written as their letters, so that the text reads and searches as
// typed.
void AppendText(std::string& s, int c)
{
    static const char* const ligatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    if (c >= 0xFB00 && c <= 0xFB06)
        s += ligatures[c - 0xFB00];
    else
        AppendUtf8(s, c);
}

bool ContainsNoCase(const std::string& hay, const char* needle)
{
    const std::size_t n = std::strlen(needle);
    if (n == 0 || hay.size() < n)
        return false;
    for (std::size_t i = 0; i + n <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < n && std::tolower(static_cast<unsigned char>(hay[i + k])) ==
                            std::tolower(static_cast<unsigned char>(needle[k])))
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

enum class TextKind { Fill, Stroke, Invisible };

// The word being assembled from consecutive glyphs.
struct Word {
    bool active = false;
    fz_font* font = nullptr;
    const FontInfo* info = nullptr;
    TextKind kind = TextKind::Fill;
    int wmode = 0;
    float size = 0.0f;
    float color[3] = {0, 0, 0};
    fz_point dir{1, 0}; // unit vector along the baseline, device space
    fz_point start{0, 0};
    fz_point end{0, 0};
    std::string text;
    std::vector<TextPiece> pieces;
    bool thick = false; // also stroked: drawn bold
    int styleSerial = -1; // the span whose style the word is known to have
};

// A drawn word as the underline pass needs it (page points, y upward).
struct WordGeom {
    TextCollect* word;
    double x0, x1, baseline, size;
};

struct LineGeom {
    double x0, x1, yc;
};

class Collector {
public:
    Collector(fz_context* ctx, const CollectOptions& opt, fz_rect bounds,
              std::vector<std::unique_ptr<CollectBase>>& out)
        : ctx_(ctx), opt_(opt), bounds_(bounds), out_(out), ownFonts_(ctx),
          fonts_(opt.fonts ? opt.fonts->fonts : ownFonts_.fonts)
    {
        clips_.push_back(bounds);
    }

    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }
    int NextId() const { return nextId_; }

    // Calls at the top level (outside mask definitions and pattern cells)
    // are numbered; after a failure they are still numbered but no longer
    // reported.
    bool Counted() const { return maskDepth_ == 0 && tileDepth_ == 0; }

    // ---- drawing calls ----------------------------------------------------
    void FillPath(const fz_path* path, int evenOdd, fz_matrix ctm, fz_colorspace* cs,
                  const float* color, fz_color_params cp)
    {
        if (!Counted())
            return;
        ++seq_;
        if (failed_)
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
        ref->box = ToBox(SafeBoundPath(ctx_, path, nullptr, ctm));
        GraphicsCollect* raw = g.get();
        if (!Push(std::move(g), ref, raw))
            return;
        lastFillPath_ = path;
        lastFillSeq_ = seq_;
        lastFillCtm_ = ctm;
        lastFill_ = raw;
        lastFillRef_ = ref;
    }

    void StrokePath(const fz_path* path, const fz_stroke_state* stroke, fz_matrix ctm,
                    fz_colorspace* cs, const float* color, fz_color_params cp)
    {
        if (!Counted())
            return;
        ++seq_;
        if (failed_)
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
            lastFillRef_->box.Unite(ToBox(drawn));
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
        ref->box = ToBox(drawn);
        lastFill_ = nullptr;
        GraphicsCollect* raw = g.get();
        Push(std::move(g), ref, raw);
    }

    void Text(const fz_text* text, fz_matrix ctm, fz_colorspace* cs, const float* color,
              fz_color_params cp, TextKind kind)
    {
        if (!Counted())
            return;
        ++seq_;
        if (failed_)
            return;
        lastFill_ = nullptr;
        // Text painted with fill and stroke (render mode 2) arrives twice
        // with one text object; the second call only thickens the words.
        if (kind == TextKind::Stroke && text == lastText_ && lastTextSeq_ == seq_ - 1) {
            RepeatLastText();
            lastTextSeq_ = seq_;
            return;
        }
        lastText_ = text;
        lastTextSeq_ = seq_;
        lastTextWords_.clear();
        float rgb[3] = {0, 0, 0};
        if (kind != TextKind::Invisible)
            SafeToRgb(ctx_, cs, color, cp, rgb);

        int spanIndex = 0;
        for (const fz_text_span* span = text->head; span; span = span->next, ++spanIndex) {
            ++spanSerial_;
            FontInfo& info = Font(span->font);
            const int wmode = span->wmode ? 1 : 0;
            // The glyphs of a span share its matrix but for the origin: the
            // direction and size of the text are worked out once a span.
            const fz_matrix& trm = span->trm;
            const float ma = trm.a * ctm.a + trm.b * ctm.c;
            const float mb = trm.a * ctm.b + trm.b * ctm.d;
            const float mc = trm.c * ctm.a + trm.d * ctm.c;
            const float md = trm.c * ctm.b + trm.d * ctm.d;
            fz_point dirv, upv;
            if (wmode == 0) {
                dirv = fz_make_point(ma, mb);
                upv = fz_make_point(mc, md);
            } else {
                dirv = fz_make_point(-mc, -md);
                upv = fz_make_point(ma, mb);
            }
            const float dlen = std::hypot(dirv.x, dirv.y);
            bool drawable = dlen > 1e-6f && std::isfinite(dlen);
            fz_point dir{1, 0};
            float size = 0.0f;
            if (drawable) {
                dir = fz_make_point(dirv.x / dlen, dirv.y / dlen);
                size = std::fabs(dir.x * upv.y - dir.y * upv.x);
                drawable = size > 1e-4f && std::isfinite(size);
            }
            // The pen's direction in the span's text space, to measure the
            // step from one glyph to the next in em.
            const float stepX = wmode == 0 ? trm.a : -trm.c;
            const float stepY = wmode == 0 ? trm.b : -trm.d;
            const float stepNorm = stepX * stepX + stepY * stepY;
            for (int i = 0; i < span->len; ++i) {
                const fz_text_item& item = span->items[i];
                if (item.gid < 0) {
                    // Further characters of a ligature glyph.
                    if (word_.active && item.ucs >= 0 && item.ucs != 0xFFFD &&
                        !IsSpace(item.ucs) && !IsControl(item.ucs)) {
                        AppendText(word_.text, item.ucs);
                        AddPiece(spanIndex, i);
                    }
                    continue;
                }
                if (!drawable || !IsWordChar(item.ucs)) {
                    FlushWord();
                    continue;
                }
                float adv = Advance(info, span->font, item.gid, wmode);
                if (!(adv > kNoWidth) && !span->font->t3procs) {
                    float step = -1.0f;
                    int next = i + 1;
                    while (next < span->len && span->items[next].gid < 0)
                        ++next;
                    if (next < span->len && stepNorm > 0.0f)
                        step = ((span->items[next].x - item.x) * stepX +
                                (span->items[next].y - item.y) * stepY) /
                               stepNorm;
                    adv = NoWidthAdvance(span->font, item.gid, step, item.ucs);
                }
                // The glyph's origin, as fz_concat places it.
                const fz_point origin = fz_make_point(item.x * ctm.a + item.y * ctm.c + ctm.e,
                                                      item.x * ctm.b + item.y * ctm.d + ctm.f);
                const fz_point endp = fz_make_point(origin.x + adv * dirv.x,
                                                    origin.y + adv * dirv.y);
                // Within a span the style is the same from glyph to glyph:
                // once a word has the span's style, only the place counts.
                bool follows;
                if (word_.active && word_.styleSerial == spanSerial_) {
                    follows = Follows(origin);
                } else {
                    follows = Continues(span->font, kind, wmode, size, rgb, dir, origin);
                }
                if (!follows)
                    StartWord(span->font, &info, kind, wmode, size, rgb, dir, origin);
                word_.styleSerial = spanSerial_;
                // Glyphs without a known character (U+FFFD) keep their
                // place in the word but add no text.
                if (item.ucs >= 0 && item.ucs != 0xFFFD)
                    AppendText(word_.text, item.ucs);
                word_.end = endp;
                AddPiece(spanIndex, i);
            }
        }
    }

    void FillShade(fz_shade* shade, fz_matrix ctm)
    {
        if (!Counted())
            return;
        ++seq_;
        if (failed_)
            return;
        FlushWord();
        lastFill_ = nullptr;
        fz_rect r = fz_intersect_rect(SafeBoundShade(ctx_, shade, ctm), clips_.back());
        AddArea(r);
    }

    void Image(fz_image* image, fz_matrix ctm, bool stencil, fz_colorspace* cs,
               const float* color, fz_color_params cp)
    {
        if (!Counted())
            return;
        ++seq_;
        if (failed_)
            return;
        FlushWord();
        lastFill_ = nullptr;
        const fz_rect r = fz_transform_rect(fz_unit_rect, ctm);
        const Box box = ToBox(r);
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
        // shows it; one turned by another angle or skewed fills only part
        // of its box, which is told as a mask: it is drawn, not copied.
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

    // `area` is the region to fill in the pattern's space, `ctm` maps it to
    // the page.
    void BeginTile(fz_rect area, fz_matrix ctm)
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

    void EndTile()
    {
        if (tileDepth_ > 0)
            --tileDepth_;
    }

    void BeginMask(fz_rect area)
    {
        ++maskDepth_;
        maskAreas_.push_back(area);
    }

    void EndMask()
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

    void PushClip(fz_rect r) { clips_.push_back(fz_intersect_rect(r, clips_.back())); }

    void PopClip()
    {
        if (clips_.size() > 1)
            clips_.pop_back();
    }

    // ---- end of the page --------------------------------------------------
    void Finish()
    {
        FlushWord();
        MarkLines();
    }

private:
    std::shared_ptr<DrawRef> NewRef()
    {
        auto ref = std::make_shared<DrawRef>();
        ref->docId = opt_.docId;
        ref->page = opt_.page;
        return ref;
    }

    // Adds the object unless it lies wholly outside the visible page (it
    // cannot be seen there, and readers leave it out). Returns the object
    // kept, or null.
    CollectBase* Push(std::unique_ptr<CollectBase> obj, const std::shared_ptr<DrawRef>& ref,
                      GraphicsCollect* graphic = nullptr)
    {
        const Box& b = ref->box;
        const double W = bounds_.x1 - bounds_.x0, H = bounds_.y1 - bounds_.y0;
        if (b.x1 < 0.0 || b.y1 < 0.0 || b.x0 > W || b.y0 > H)
            return nullptr;
        ObjectAccess::SetId(*obj, nextId_++);
        ObjectAccess::SetDraw(*obj, ref);
        if (graphic)
            NoteLine(*graphic);
        out_.push_back(std::move(obj));
        return out_.back().get();
    }

    // Device space (y down, page box origin) to page points (y up).
    double X(double x) const { return x - bounds_.x0; }
    double Y(double y) const { return bounds_.y1 - y; }

    Box ToBox(fz_rect r) const
    {
        if (fz_is_empty_rect(r) || fz_is_infinite_rect(r))
            return Box{};
        Box b{X(r.x0), Y(r.y1), X(r.x1), Y(r.y0)};
        return b;
    }

    void AddArea(fz_rect r)
    {
        r = fz_intersect_rect(r, bounds_);
        if (fz_is_empty_rect(r))
            return;
        const Box b = ToBox(r);
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

    // ---- paths --------------------------------------------------------------
    struct Walk {
        Collector* self;
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
            return PathPoint(self->X(p.x), self->Y(p.y), type);
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

    static void WalkMove(fz_context*, void* arg, float x, float y)
    {
        auto* w = static_cast<Walk*>(arg);
        try {
            w->Start(x, y);
        } catch (...) {
            w->failed = true;
        }
    }
    static void WalkLine(fz_context*, void* arg, float x, float y)
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
    static void WalkCurve(fz_context*, void* arg, float x1, float y1, float x2, float y2,
                          float x3, float y3)
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
    static void WalkClose(fz_context*, void* arg)
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

    bool WalkInto(const fz_path* path, fz_matrix ctm, GraphicsCollect& g)
    {
        static const fz_path_walker walker = {WalkMove, WalkLine, WalkCurve, WalkClose,
                                              nullptr,  nullptr,  nullptr,   nullptr};
        Walk w{this, ctm, &ObjectAccess::Paths(g), GraphPath(), false, {0, 0}, {0, 0}, false};
        const bool ok = SafeWalkPath(ctx_, path, &walker, &w);
        if (w.failed) {
            failed_ = true;
            return false;
        }
        w.Finish();
        return ok && !ObjectAccess::Paths(g).empty();
    }

    static bool AllClosed(GraphicsCollect& g)
    {
        for (GraphPath& p : ObjectAccess::Paths(g))
            if (!ObjectAccess::Closed(p))
                return false;
        return true;
    }

    static bool SamePoints(GraphicsCollect& a, GraphicsCollect& b)
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

    // ---- text ---------------------------------------------------------------
    FontInfo& Font(fz_font* font)
    {
        auto it = fonts_.find(font);
        if (it != fonts_.end())
            return it->second;
        FontInfo info;
        const char* raw = fz_font_name(ctx_, font);
        std::string name = raw ? raw : "";
        const std::size_t plus = name.find('+');
        if (plus == 6)
            name.erase(0, 7);
        info.family = FontFamilyOf(ctx_, font, name);
        info.fixedPitch = fz_font_is_monospaced(ctx_, font);
        info.serif = fz_font_is_serif(ctx_, font);
        info.name = name;
        info.bold = fz_font_is_bold(ctx_, font) || ContainsNoCase(name, "bold") ||
                    ContainsNoCase(name, "black") || ContainsNoCase(name, "heavy") ||
                    ContainsNoCase(name, "semibold") || ContainsNoCase(name, "demi");
        info.italic = fz_font_is_italic(ctx_, font) || ContainsNoCase(name, "italic") ||
                      ContainsNoCase(name, "oblique");
        SafeAscDesc(ctx_, font, &info.asc, &info.desc);
        auto res = fonts_.emplace(fz_keep_font(ctx_, font), std::move(info));
        return res.first->second;
    }

    float Advance(FontInfo& info, fz_font* font, int gid, int wmode)
    {
        if (gid < 0 || gid > 0x10FFFF)
            return 0.0f;
        auto& cache = info.advance[wmode];
        if (static_cast<std::size_t>(gid) >= cache.size())
            cache.resize(static_cast<std::size_t>(gid) + 1, std::nanf(""));
        float& a = cache[static_cast<std::size_t>(gid)];
        if (std::isnan(a))
            a = SafeAdvance(ctx_, font, gid, wmode);
        return a;
    }

    // The advance (in em) of a glyph to which its font program gives no
    // width, as some embedded CJK fonts do, leaving the widths to the PDF
    // (MuPDF's advances come from the font program, except for Type 3
    // fonts, whose widths are the PDF's own). In order: the PDF's width of
    // the glyph where MuPDF keeps one; the distance to the next glyph of
    // the span (`step`, in em, negative when there is none) when it is
    // that of neighbouring glyphs; one em for a CJK character, which is set
    // full width; otherwise none.
    static float NoWidthAdvance(fz_font* font, int gid, float step, int ucs)
    {
        if (font->width_table && gid >= 0 && gid < font->width_count &&
            font->width_table[gid] > 0)
            return font->width_table[gid] / 1000.0f;
        if (step > 0.0f && step <= 1.2f)
            return step;
        return IsCjk(ucs) ? 1.0f : 0.0f;
    }

    bool Continues(fz_font* font, TextKind kind, int wmode, float size, const float rgb[3],
                   fz_point dir, fz_point origin) const
    {
        const Word& w = word_;
        if (!w.active || w.font != font || w.kind != kind || w.wmode != wmode)
            return false;
        if (std::fabs(size - w.size) > 0.02f * w.size)
            return false;
        for (int k = 0; k < 3; ++k)
            if (std::fabs(rgb[k] - w.color[k]) > 0.004f)
                return false;
        if (dir.x * w.dir.x + dir.y * w.dir.y < 0.999f)
            return false;
        return Follows(origin);
    }

    // Whether a glyph at `origin` follows the active word on its baseline.
    bool Follows(fz_point origin) const
    {
        const Word& w = word_;
        const float dx = origin.x - w.end.x, dy = origin.y - w.end.y;
        const float along = dx * w.dir.x + dy * w.dir.y;
        const float sx = origin.x - w.start.x, sy = origin.y - w.start.y;
        const float perp = std::fabs(sx * w.dir.y - sy * w.dir.x);
        return perp <= kBaselineTolerance * w.size && along >= -kBackTolerance * w.size &&
               along <= kSpaceFactor * w.size;
    }

    void StartWord(fz_font* font, const FontInfo* info, TextKind kind, int wmode, float size,
                   const float rgb[3], fz_point dir, fz_point origin)
    {
        FlushWord();
        word_.active = true;
        word_.font = font;
        word_.info = info;
        word_.kind = kind;
        word_.wmode = wmode;
        word_.size = size;
        for (int k = 0; k < 3; ++k)
            word_.color[k] = rgb[k];
        word_.dir = dir;
        word_.start = origin;
        word_.end = origin;
        word_.text.clear();
        word_.pieces.clear();
        word_.thick = false;
    }

    void AddPiece(int span, int item)
    {
        auto& pieces = word_.pieces;
        if (!pieces.empty() && pieces.back().seq == seq_ && pieces.back().span == span &&
            pieces.back().itemEnd == item) {
            pieces.back().itemEnd = item + 1;
            return;
        }
        pieces.push_back(TextPiece{seq_, span, item, item + 1});
    }

    void FlushWord()
    {
        if (!word_.active)
            return;
        word_.active = false;
        if (word_.text.empty())
            return;
        const Word& w = word_;
        const double S = w.size;
        // Baseline direction and start in page points, y upward.
        double c = w.dir.x, s = -w.dir.y;
        if (std::fabs(s) < 1e-5) {
            s = 0.0;
            c = c < 0 ? -1.0 : 1.0;
        } else if (std::fabs(c) < 1e-5) {
            c = 0.0;
            s = s < 0 ? -1.0 : 1.0;
        }
        const double sx = X(w.start.x), sy = Y(w.start.y);
        double len = (w.end.x - w.start.x) * w.dir.x + (w.end.y - w.start.y) * w.dir.y;
        if (!(len > 0))
            len = 0;
        // The box is one em high (the font size), set on the baseline in
        // the font's own proportion of ascent to descent; vertical text is
        // centred on its line.
        double below = w.info->desc / (w.info->asc - w.info->desc);
        if (w.wmode == 1)
            below = -0.5;
        const double ex = sx + below * S * (-s), ey = sy + below * S * c;
        const double height = S;

        // A word drawn again at (almost) the same place is one word drawn
        // bold by overprinting.
        // The last kRecentWords words kept are looked at, newest first.
        for (int k = 0; k < recentCount_; ++k) {
            TextCollect* t = recent_[(recentNext_ + kRecentWords - 1 - k) % kRecentWords];
            const ParserMatrix& m = t->GetMatrix();
            if (std::fabs(m.e - ex) < 0.15 * S && std::fabs(m.f - ey) < 0.15 * S &&
                std::fabs(t->GetFontSize() - S) < 0.02 * S && t->GetText() == w.text) {
                ObjectAccess::Bold(*t) = true;
                auto* ref = const_cast<DrawRef*>(ObjectAccess::Draw(*t));
                if (ref)
                    ref->pieces.insert(ref->pieces.end(), w.pieces.begin(), w.pieces.end());
                return;
            }
        }

        std::unique_ptr<TextCollect> t;
        std::shared_ptr<DrawRef> ref;
        if (opt_.spareText && !opt_.spareText->empty()) {
            // A word object of an earlier page, with its buffers.
            t = std::move(opt_.spareText->back());
            opt_.spareText->pop_back();
            ref = ObjectAccess::ResetText(*t);
        } else {
            t = std::make_unique<TextCollect>();
        }
        if (ref) {
            ref->docId = opt_.docId;
            ref->page = opt_.page;
            ref->seqs.clear();
            ref->pieces.clear();
            ref->box = Box{};
            ref->pixelWidth = ref->pixelHeight = 0;
        } else {
            ref = NewRef();
        }
        ObjectAccess::Text(*t) = w.text;
        ObjectAccess::FontName(*t) = w.info->name;
        ObjectAccess::FontFamily(*t) = w.info->family;
        ObjectAccess::FixedPitch(*t) = w.info->fixedPitch;
        ObjectAccess::Serif(*t) = w.info->serif;
        ObjectAccess::FontSize(*t) = S;
        ObjectAccess::Width(*t) = len;
        ObjectAccess::Height(*t) = height;
        t->runWidth = len;
        t->runHeight = height;
        ObjectAccess::Bold(*t) = w.info->bold || w.thick;
        ObjectAccess::Italic(*t) = w.info->italic;
        ObjectAccess::Color(*t) = ParserColor{w.color[0], w.color[1], w.color[2]};
        ObjectAccess::SetMatrix(*t, ParserMatrix{c, s, -s, c, ex, ey});

        ref->pieces = w.pieces;
        // Box of the four corners.
        const double ux = -s * height, uy = c * height;
        const double vx = c * len, vy = s * len;
        const double xs[4] = {ex, ex + vx, ex + ux, ex + vx + ux};
        const double ys[4] = {ey, ey + vy, ey + uy, ey + vy + uy};
        Box b{xs[0], ys[0], xs[0], ys[0]};
        for (int k = 1; k < 4; ++k) {
            b.x0 = std::min(b.x0, xs[k]);
            b.x1 = std::max(b.x1, xs[k]);
            b.y0 = std::min(b.y0, ys[k]);
            b.y1 = std::max(b.y1, ys[k]);
        }
        ref->box = b;
        TextCollect* raw = t.get();
        if (!Push(std::move(t), ref))
            return;
        recent_[recentNext_] = raw;
        recentNext_ = (recentNext_ + 1) % kRecentWords;
        recentCount_ = std::min(recentCount_ + 1, kRecentWords);
        lastTextWords_.push_back(raw);
        if (s == 0.0 && c == 1.0 && w.wmode == 0 && w.kind != TextKind::Invisible)
            words_.push_back(WordGeom{raw, sx, sx + len, sy, S});
    }

    void RepeatLastText()
    {
        auto repeat = [this](std::vector<TextPiece>& pieces) {
            const std::size_t n = pieces.size();
            for (std::size_t i = 0; i < n; ++i)
                if (pieces[i].seq == lastTextSeq_) {
                    TextPiece p = pieces[i];
                    p.seq = seq_;
                    pieces.push_back(p);
                }
        };
        for (TextCollect* t : lastTextWords_) {
            ObjectAccess::Bold(*t) = true;
            if (auto* ref = const_cast<DrawRef*>(ObjectAccess::Draw(*t)))
                repeat(ref->pieces);
        }
        if (word_.active) {
            repeat(word_.pieces);
            word_.thick = true;
        }
    }

    // ---- underline and strike-out -----------------------------------------
    void NoteLine(GraphicsCollect& g)
    {
        const int way = ObjectAccess::PaintWay(g);
        if (way == kPaintShading || ObjectAccess::Paths(g).size() != 1)
            return;
        double l, t, r, b;
        if (!g.GetRegion(l, t, r, b))
            return;
        for (const PathPoint& p : ObjectAccess::Points(ObjectAccess::Paths(g)[0]))
            if (!p.IsGeneralPoint())
                return;
        if (r - l < 1.0 || t - b > 3.0)
            return;
        lines_.push_back(LineGeom{l, r, (t + b) / 2});
    }

    void MarkLines()
    {
        if (lines_.empty() || words_.empty())
            return;
        std::sort(lines_.begin(), lines_.end(),
                  [](const LineGeom& a, const LineGeom& b) { return a.yc < b.yc; });
        for (const WordGeom& w : words_) {
            const double lo = w.baseline - 0.3 * w.size, hi = w.baseline + 0.45 * w.size;
            auto it = std::lower_bound(lines_.begin(), lines_.end(), lo,
                                       [](const LineGeom& a, double v) { return a.yc < v; });
            const double width = std::max(w.x1 - w.x0, 0.1);
            for (; it != lines_.end() && it->yc <= hi; ++it) {
                const double overlap = std::min(w.x1, it->x1) - std::max(w.x0, it->x0);
                if (overlap < 0.6 * width)
                    continue;
                const double rel = it->yc - w.baseline;
                if (rel <= 0.0)
                    ObjectAccess::Underline(*w.word) = true;
                else if (rel >= 0.15 * w.size)
                    ObjectAccess::StrikeOut(*w.word) = true;
            }
        }
    }

    fz_context* ctx_;
    const CollectOptions& opt_;
    fz_rect bounds_;
    std::vector<std::unique_ptr<CollectBase>>& out_;
    bool failed_ = false;
    int seq_ = 0;
    int nextId_ = 1;
    int maskDepth_ = 0;
    int tileDepth_ = 0;
    std::vector<fz_rect> clips_;
    std::vector<fz_rect> maskAreas_;
    FontTable ownFonts_;                               // without opt_.fonts
    std::unordered_map<fz_font*, FontInfo>& fonts_;   // the table in use
    Word word_;
    int spanSerial_ = 0; // counts the text spans of the page

    const fz_path* lastFillPath_ = nullptr;
    int lastFillSeq_ = -1;
    fz_matrix lastFillCtm_ = fz_identity;
    GraphicsCollect* lastFill_ = nullptr;
    std::shared_ptr<DrawRef> lastFillRef_;

    const fz_text* lastText_ = nullptr;
    int lastTextSeq_ = -1;
    std::vector<TextCollect*> lastTextWords_;

    // The text objects kept last, for finding words drawn twice.
    static constexpr int kRecentWords = 8;
    TextCollect* recent_[kRecentWords] = {};
    int recentNext_ = 0;
    int recentCount_ = 0;

    std::vector<WordGeom> words_;
    std::vector<LineGeom> lines_;
};

// ---- the MuPDF device around the collector --------------------------------
// Each callback runs the collector inside try/catch: no C++ exception may
// reach MuPDF. A failure stops the reporting; the run goes on to its end.

struct CollectDevice {
    fz_device super;
    Collector* col;
};

Collector* Col(fz_device* dev) { return reinterpret_cast<CollectDevice*>(dev)->col; }

template <class F> void Guard(fz_device* dev, F&& f)
{
    Collector* c = Col(dev);
    try {
        f(*c);
    } catch (...) {
        c->Fail();
    }
}

void DevFillPath(fz_context*, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
                 fz_colorspace* cs, const float* color, float, fz_color_params cp)
{
    Guard(dev, [&](Collector& c) { c.FillPath(path, evenOdd, ctm, cs, color, cp); });
}

void DevStrokePath(fz_context*, fz_device* dev, const fz_path* path,
                   const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* cs,
                   const float* color, float, fz_color_params cp)
{
    Guard(dev, [&](Collector& c) { c.StrokePath(path, stroke, ctm, cs, color, cp); });
}

void DevClipPath(fz_context* ctx, fz_device* dev, const fz_path* path, int, fz_matrix ctm,
                 fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundPath(ctx, path, nullptr, ctm), scissor);
    Guard(dev, [&](Collector& c) { c.PushClip(r); });
}

void DevClipStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                       const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundPath(ctx, path, stroke, ctm), scissor);
    Guard(dev, [&](Collector& c) { c.PushClip(r); });
}

void DevFillText(fz_context*, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_colorspace* cs, const float* color, float, fz_color_params cp)
{
    Guard(dev, [&](Collector& c) { c.Text(text, ctm, cs, color, cp, TextKind::Fill); });
}

void DevStrokeText(fz_context*, fz_device* dev, const fz_text* text, const fz_stroke_state*,
                   fz_matrix ctm, fz_colorspace* cs, const float* color, float,
                   fz_color_params cp)
{
    Guard(dev, [&](Collector& c) { c.Text(text, ctm, cs, color, cp, TextKind::Stroke); });
}

void DevClipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundText(ctx, text, ctm), scissor);
    Guard(dev, [&](Collector& c) { c.PushClip(r); });
}

void DevClipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                       const fz_stroke_state*, fz_matrix ctm, fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundText(ctx, text, ctm), scissor);
    Guard(dev, [&](Collector& c) { c.PushClip(r); });
}

void DevIgnoreText(fz_context*, fz_device* dev, const fz_text* text, fz_matrix ctm)
{
    Guard(dev, [&](Collector& c) {
        c.Text(text, ctm, nullptr, nullptr, fz_default_color_params, TextKind::Invisible);
    });
}

void DevFillShade(fz_context*, fz_device* dev, fz_shade* shade, fz_matrix ctm, float,
                  fz_color_params)
{
    Guard(dev, [&](Collector& c) { c.FillShade(shade, ctm); });
}

void DevFillImage(fz_context*, fz_device* dev, fz_image* image, fz_matrix ctm, float,
                  fz_color_params cp)
{
    Guard(dev, [&](Collector& c) { c.Image(image, ctm, false, nullptr, nullptr, cp); });
}

void DevFillImageMask(fz_context*, fz_device* dev, fz_image* image, fz_matrix ctm,
                      fz_colorspace* cs, const float* color, float, fz_color_params cp)
{
    Guard(dev, [&](Collector& c) { c.Image(image, ctm, true, cs, color, cp); });
}

void DevClipImageMask(fz_context*, fz_device* dev, fz_image*, fz_matrix ctm, fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(fz_transform_rect(fz_unit_rect, ctm), scissor);
    Guard(dev, [&](Collector& c) { c.PushClip(r); });
}

void DevPopClip(fz_context*, fz_device* dev)
{
    Guard(dev, [&](Collector& c) { c.PopClip(); });
}

void DevBeginMask(fz_context*, fz_device* dev, fz_rect area, int, fz_colorspace*, const float*,
                  fz_color_params)
{
    Guard(dev, [&](Collector& c) { c.BeginMask(area); });
}

void DevEndMask(fz_context*, fz_device* dev)
{
    Guard(dev, [&](Collector& c) { c.EndMask(); });
}

int DevBeginTile(fz_context*, fz_device* dev, fz_rect area, fz_rect, float, float, fz_matrix ctm,
                 int)
{
    Guard(dev, [&](Collector& c) { c.BeginTile(area, ctm); });
    // The cell's content is not reported: tell the interpreter that the
    // tile is known so that it does not run it.
    return 1;
}

void DevEndTile(fz_context*, fz_device* dev)
{
    Guard(dev, [&](Collector& c) { c.EndTile(); });
}

// Plain frame: runs the page with the collecting device. Returns 1 when the
// whole page ran, 0 when MuPDF stopped in the middle.
int RunCollect(fz_context* ctx, fz_page* page, Collector* col)
{
    fz_device* dev = nullptr;
    int ok = 1;
    fz_var(dev);
    fz_try(ctx)
    {
        auto* cd = reinterpret_cast<CollectDevice*>(
            fz_new_device_of_size(ctx, static_cast<int>(sizeof(CollectDevice))));
        dev = &cd->super;
        cd->col = col;
        dev->fill_path = DevFillPath;
        dev->stroke_path = DevStrokePath;
        dev->clip_path = DevClipPath;
        dev->clip_stroke_path = DevClipStrokePath;
        dev->fill_text = DevFillText;
        dev->stroke_text = DevStrokeText;
        dev->clip_text = DevClipText;
        dev->clip_stroke_text = DevClipStrokeText;
        dev->ignore_text = DevIgnoreText;
        dev->fill_shade = DevFillShade;
        dev->fill_image = DevFillImage;
        dev->fill_image_mask = DevFillImageMask;
        dev->clip_image_mask = DevClipImageMask;
        dev->pop_clip = DevPopClip;
        dev->begin_mask = DevBeginMask;
        dev->end_mask = DevEndMask;
        dev->begin_tile = DevBeginTile;
        dev->end_tile = DevEndTile;
        fz_run_page(ctx, page, dev, fz_identity, nullptr);
        fz_close_device(ctx, dev);
    }
    fz_always(ctx) fz_drop_device(ctx, dev);
    fz_catch(ctx) ok = 0;
    return ok;
}

} // namespace

bool CollectPage(fz_context* ctx, fz_document* doc, const CollectOptions& opt, PageObjects& out)
{
    fz_page* page = SafeLoadPage(ctx, doc, opt.page);
    if (!page)
        return false;
    fz_rect bounds;
    if (!SafeBoundPage(ctx, page, &bounds)) {
        fz_drop_page(ctx, page);
        return false;
    }
    out.bounds = bounds;
    out.haveBounds = true;
    try {
        int nextId = 1;
        {
            Collector col(ctx, opt, bounds, out.objects);
            RunCollect(ctx, page, &col);
            col.Finish();
            nextId = col.NextId();
        }
        AppendLinks(ctx, doc, page, bounds, nextId, out.objects);
    } catch (...) {
        fz_drop_page(ctx, page);
        throw;
    }
    fz_drop_page(ctx, page);
    return true;
}

void CollectLinks(fz_context* ctx, fz_document* doc, int pageIndex, int firstId,
                  std::vector<std::unique_ptr<CollectBase>>& out)
{
    fz_page* page = SafeLoadPage(ctx, doc, pageIndex);
    if (!page)
        return;
    fz_rect bounds;
    if (!SafeBoundPage(ctx, page, &bounds)) {
        fz_drop_page(ctx, page);
        return;
    }
    try {
        AppendLinks(ctx, doc, page, bounds, firstId, out);
    } catch (...) {
        fz_drop_page(ctx, page);
        throw;
    }
    fz_drop_page(ctx, page);
}

void AppendLinks(fz_context* ctx, fz_document* doc, fz_page* page, fz_rect bounds, int firstId,
                 std::vector<std::unique_ptr<CollectBase>>& out)
{
    fz_link* links = SafeLoadLinks(ctx, page);
    int id = firstId;
    try {
        for (fz_link* l = links; l; l = l->next) {
            if (!l->uri)
                continue;
            const fz_rect r = l->rect;
            if (fz_is_empty_rect(r) || fz_is_infinite_rect(r))
                continue;
            const double x = r.x0 - bounds.x0, y = bounds.y1 - r.y1;
            const double w = r.x1 - r.x0, h = r.y1 - r.y0;
            std::string uri = l->uri;
            int type = kLinkOther;
            int target = -1;
            if (uri.rfind("file:", 0) == 0) {
                type = kLinkOther;
            } else if (SafeIsExternalLink(ctx, l->uri)) {
                type = kLinkUri;
            } else {
                type = kLinkPage;
                target = SafeResolveLinkPage(ctx, doc, l->uri);
            }
            auto link = std::make_unique<LinkCollect>();
            ObjectAccess::SetLink(*link, x, y, w, h, type, target, std::move(uri));
            ObjectAccess::SetId(*link, id++);
            out.push_back(std::move(link));
        }
    } catch (...) {
        fz_drop_link(ctx, links);
        throw;
    }
    fz_drop_link(ctx, links);
}

} // namespace parser_detail
