// Rendering whole pages, and rendering chosen objects of a page (a large
// figure in bands of rows on several threads).
//
// The filtering device sits in front of MuPDF's draw device. It numbers the
// drawing calls exactly as the collecting device does (calls inside soft-mask
// definitions and tiling-pattern cells are not numbered) and passes on only
// the chosen ones; clips, masks, groups and layers always pass, so that the
// chosen objects look as they do on the page. For text it passes a new text
// object holding only the chosen glyphs. Without a selection it passes
// everything, and only asks the cancel probe on every drawing call.
// Drawing one band of a picture, it also leaves out the chosen calls that
// lie wholly outside the band: the draw device would flatten and stroke
// each path only to find that none of it falls on the band's rows.
//
// All functions here that contain fz_try are plain frames (no objects with
// destructors). The device callbacks call only MuPDF functions, the cancel
// probe (which throws nothing) and touch the selection read-only, so no C++
// exception can start inside them.
#include "internal.h"
#include "mupdf_safe.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <thread>
#include <vector>

namespace parser_detail {
namespace {

constexpr int kMaxTileDepth = 64;

// Picture regions smooth their graphics with 64 levels of coverage (8 by 8
// samples a pixel) rather than MuPDF's default 256 (17 by 15): the edges look
// the same in the JPEG, and a figure of thousands of strokes is drawn in
// about four fifths of the time. Whole pages keep the default.
constexpr int kRegionGraphicsAa = 6;

struct FilterDevice {
    fz_device super;
    fz_device* target;
    const Selection* sel; // null: every call passes
    CancelProbe* cancel;  // may be null
    fz_cookie* cookie;    // the run's; told to abort when the probe says stop
    // Shared by the bands of one picture drawn on several threads (may be
    // null): a stop that one band's probe sees ends the others too.
    std::atomic<bool>* stop;
    // Where drawing can show (device pixels grown by a pixel); calls whose
    // bounds lie outside it are left out. Null: nothing is left out.
    const fz_rect* area;
    int seq;
    int maskDepth;
    int tileDepth;
    // Whether each open tile is passed on (its content drawn).
    unsigned char tilePass[kMaxTileDepth];
};

FilterDevice* F(fz_device* dev) { return reinterpret_cast<FilterDevice*>(dev); }

// Inside an open tile: pass everything when the tile is passed on.
bool InTile(FilterDevice* f, bool* pass)
{
    if (f->tileDepth <= 0)
        return false;
    const int top = std::min(f->tileDepth, kMaxTileDepth) - 1;
    *pass = f->tilePass[top] != 0;
    return true;
}

// Decides a drawing call: numbered at the top level, passed when chosen.
// A request to stop ends the run here (a plain frame, nothing to unwind).
// The interpreter goes on after an error of one operator; the cookie's
// abort ends the run itself.
void CheckStop(fz_context* ctx, FilterDevice* f)
{
    const bool stopped = (f->stop && f->stop->load(std::memory_order_relaxed)) ||
                         (f->cancel && f->cancel->Stopped());
    if (stopped) {
        if (f->stop)
            f->stop->store(true);
        f->cookie->abort = 1;
        fz_throw(ctx, FZ_ERROR_ABORT, "cancelled");
    }
}

bool PassDrawing(fz_context* ctx, FilterDevice* f)
{
    CheckStop(ctx, f);
    bool pass = false;
    if (InTile(f, &pass))
        return pass;
    if (f->maskDepth > 0 || !f->sel)
        return true;
    ++f->seq;
    return f->sel->whole.count(f->seq) != 0;
}

// Whether a passed drawing call whose bounds (device space) `bounds()`
// gives can be left out: it lies wholly outside the area drawn. Inside
// tiles (pattern space) and soft masks every call is drawn. The bounds are
// those MuPDF's own display lists cull by, and are worked out only where a
// call may be left out: drawing without an area bounds no path.
template <class Bounds> bool Outside(FilterDevice* f, Bounds bounds)
{
    if (!f->area || f->tileDepth > 0 || f->maskDepth > 0)
        return false;
    const fz_rect r = bounds();
    if (fz_is_empty_rect(r) || fz_is_infinite_rect(r))
        return false;
    return r.x1 < f->area->x0 || r.x0 > f->area->x1 || r.y1 < f->area->y0 || r.y0 > f->area->y1;
}

// Clips, groups and the like: pass unless inside a tile that is not drawn.
bool PassStructure(FilterDevice* f)
{
    bool pass = true;
    if (InTile(f, &pass))
        return pass;
    return true;
}

void FFillPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
               fz_colorspace* cs, const float* color, float alpha, fz_color_params cp)
{
    if (PassDrawing(ctx, F(dev)) &&
        !Outside(F(dev), [&] { return fz_bound_path(ctx, path, nullptr, ctm); }))
        fz_fill_path(ctx, F(dev)->target, path, evenOdd, ctm, cs, color, alpha, cp);
}

void FStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                 const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* cs,
                 const float* color, float alpha, fz_color_params cp)
{
    if (PassDrawing(ctx, F(dev)) &&
        !Outside(F(dev), [&] { return fz_bound_path(ctx, path, stroke, ctm); }))
        fz_stroke_path(ctx, F(dev)->target, path, stroke, ctm, cs, color, alpha, cp);
}

void FClipPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
               fz_rect scissor)
{
    if (PassStructure(F(dev)))
        fz_clip_path(ctx, F(dev)->target, path, evenOdd, ctm, scissor);
}

void FClipStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                     const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    if (PassStructure(F(dev)))
        fz_clip_stroke_path(ctx, F(dev)->target, path, stroke, ctm, scissor);
}

// The chosen glyphs of a numbered text call, or null when none is chosen.
// Throws (MuPDF) on allocation failure; the caller's frame is plain.
fz_text* ChosenText(fz_context* ctx, FilterDevice* f, const fz_text* text, bool* whole)
{
    *whole = false;
    CheckStop(ctx, f);
    bool pass = false;
    if (InTile(f, &pass)) {
        *whole = pass;
        return nullptr;
    }
    if (f->maskDepth > 0 || !f->sel) {
        *whole = true;
        return nullptr;
    }
    ++f->seq;
    auto it = f->sel->text.find(f->seq);
    if (it == f->sel->text.end())
        return nullptr;
    fz_text* out = fz_new_text(ctx);
    fz_try(ctx)
    {
        for (const TextPiece& p : it->second) {
            int index = 0;
            const fz_text_span* span = text->head;
            while (span && index < p.span) {
                span = span->next;
                ++index;
            }
            if (!span)
                continue;
            const int end = std::min(p.itemEnd, span->len);
            for (int i = std::max(p.itemBegin, 0); i < end; ++i) {
                fz_matrix trm = span->trm;
                trm.e = span->items[i].x;
                trm.f = span->items[i].y;
                fz_show_glyph(ctx, out, span->font, trm, span->items[i].gid, span->items[i].ucs,
                              span->wmode, span->bidi_level,
                              static_cast<fz_bidi_direction>(span->markup_dir),
                              static_cast<fz_text_language>(span->language));
            }
        }
    }
    fz_catch(ctx)
    {
        fz_drop_text(ctx, out);
        fz_rethrow(ctx);
    }
    return out;
}

void FFillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
               fz_colorspace* cs, const float* color, float alpha, fz_color_params cp)
{
    bool whole = false;
    fz_text* part = ChosenText(ctx, F(dev), text, &whole);
    if (whole) {
        fz_fill_text(ctx, F(dev)->target, text, ctm, cs, color, alpha, cp);
    } else if (part) {
        fz_try(ctx) fz_fill_text(ctx, F(dev)->target, part, ctm, cs, color, alpha, cp);
        fz_always(ctx) fz_drop_text(ctx, part);
        fz_catch(ctx) fz_rethrow(ctx);
    }
}

void FStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                 const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* cs,
                 const float* color, float alpha, fz_color_params cp)
{
    bool whole = false;
    fz_text* part = ChosenText(ctx, F(dev), text, &whole);
    if (whole) {
        fz_stroke_text(ctx, F(dev)->target, text, stroke, ctm, cs, color, alpha, cp);
    } else if (part) {
        fz_try(ctx) fz_stroke_text(ctx, F(dev)->target, part, stroke, ctm, cs, color, alpha, cp);
        fz_always(ctx) fz_drop_text(ctx, part);
        fz_catch(ctx) fz_rethrow(ctx);
    }
}

void FIgnoreText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm)
{
    bool whole = false;
    fz_text* part = ChosenText(ctx, F(dev), text, &whole);
    if (whole)
        fz_ignore_text(ctx, F(dev)->target, text, ctm);
    fz_drop_text(ctx, part);
}

void FClipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
               fz_rect scissor)
{
    if (PassStructure(F(dev)))
        fz_clip_text(ctx, F(dev)->target, text, ctm, scissor);
}

void FClipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                     const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    if (PassStructure(F(dev)))
        fz_clip_stroke_text(ctx, F(dev)->target, text, stroke, ctm, scissor);
}

void FFillShade(fz_context* ctx, fz_device* dev, fz_shade* shade, fz_matrix ctm, float alpha,
                fz_color_params cp)
{
    if (PassDrawing(ctx, F(dev)))
        fz_fill_shade(ctx, F(dev)->target, shade, ctm, alpha, cp);
}

void FFillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float alpha,
                fz_color_params cp)
{
    if (PassDrawing(ctx, F(dev)) &&
        !Outside(F(dev), [&] { return fz_transform_rect(fz_unit_rect, ctm); }))
        fz_fill_image(ctx, F(dev)->target, image, ctm, alpha, cp);
}

void FFillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                    fz_colorspace* cs, const float* color, float alpha, fz_color_params cp)
{
    if (PassDrawing(ctx, F(dev)) &&
        !Outside(F(dev), [&] { return fz_transform_rect(fz_unit_rect, ctm); }))
        fz_fill_image_mask(ctx, F(dev)->target, image, ctm, cs, color, alpha, cp);
}

void FClipImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                    fz_rect scissor)
{
    if (PassStructure(F(dev)))
        fz_clip_image_mask(ctx, F(dev)->target, image, ctm, scissor);
}

void FPopClip(fz_context* ctx, fz_device* dev)
{
    if (PassStructure(F(dev)))
        fz_pop_clip(ctx, F(dev)->target);
}

void FBeginMask(fz_context* ctx, fz_device* dev, fz_rect area, int luminosity,
                fz_colorspace* cs, const float* bc, fz_color_params cp)
{
    FilterDevice* f = F(dev);
    const bool pass = PassStructure(f);
    ++f->maskDepth;
    if (pass)
        fz_begin_mask(ctx, f->target, area, luminosity, cs, bc, cp);
}

void FEndMask(fz_context* ctx, fz_device* dev)
{
    FilterDevice* f = F(dev);
    if (f->maskDepth > 0)
        --f->maskDepth;
    if (PassStructure(f))
        fz_end_mask(ctx, f->target);
}

void FBeginGroup(fz_context* ctx, fz_device* dev, fz_rect area, fz_colorspace* cs, int isolated,
                 int knockout, int blendmode, float alpha)
{
    if (PassStructure(F(dev)))
        fz_begin_group(ctx, F(dev)->target, area, cs, isolated, knockout, blendmode, alpha);
}

void FEndGroup(fz_context* ctx, fz_device* dev)
{
    if (PassStructure(F(dev)))
        fz_end_group(ctx, F(dev)->target);
}

int FBeginTile(fz_context* ctx, fz_device* dev, fz_rect area, fz_rect view, float xstep,
               float ystep, fz_matrix ctm, int id)
{
    FilterDevice* f = F(dev);
    bool pass = false;
    if (!InTile(f, &pass)) {
        if (f->maskDepth > 0 || !f->sel) {
            pass = true;
        } else {
            ++f->seq;
            pass = f->sel->whole.count(f->seq) != 0;
        }
    }
    int cached = 1;
    if (pass)
        cached = fz_begin_tile_id(ctx, f->target, area, view, xstep, ystep, ctm, id);
    if (f->tileDepth < kMaxTileDepth)
        f->tilePass[f->tileDepth] = pass ? 1 : 0;
    ++f->tileDepth;
    // A tile that is not drawn is reported as known, so its cell is not run.
    return cached;
}

void FEndTile(fz_context* ctx, fz_device* dev)
{
    FilterDevice* f = F(dev);
    if (f->tileDepth <= 0)
        return;
    const int top = std::min(f->tileDepth, kMaxTileDepth) - 1;
    const bool pass = f->tilePass[top] != 0;
    --f->tileDepth;
    if (pass)
        fz_end_tile(ctx, f->target);
}

void FRenderFlags(fz_context* ctx, fz_device* dev, int set, int clear)
{
    fz_render_flags(ctx, F(dev)->target, set, clear);
}

void FSetDefaultColorspaces(fz_context* ctx, fz_device* dev, fz_default_colorspaces* dcs)
{
    fz_set_default_colorspaces(ctx, F(dev)->target, dcs);
}

void FBeginLayer(fz_context* ctx, fz_device* dev, const char* name)
{
    if (PassStructure(F(dev)))
        fz_begin_layer(ctx, F(dev)->target, name);
}

void FEndLayer(fz_context* ctx, fz_device* dev)
{
    if (PassStructure(F(dev)))
        fz_end_layer(ctx, F(dev)->target);
}

fz_device* NewFilterDevice(fz_context* ctx, fz_device* target, const Selection* sel,
                           CancelProbe* cancel, fz_cookie* cookie,
                           std::atomic<bool>* stop = nullptr, const fz_rect* area = nullptr)
{
    auto* f = reinterpret_cast<FilterDevice*>(
        fz_new_device_of_size(ctx, static_cast<int>(sizeof(FilterDevice))));
    f->target = target;
    f->sel = sel;
    f->cancel = cancel;
    f->cookie = cookie;
    f->stop = stop;
    f->area = area;
    f->seq = 0;
    f->maskDepth = 0;
    f->tileDepth = 0;
    fz_device* dev = &f->super;
    dev->fill_path = FFillPath;
    dev->stroke_path = FStrokePath;
    dev->clip_path = FClipPath;
    dev->clip_stroke_path = FClipStrokePath;
    dev->fill_text = FFillText;
    dev->stroke_text = FStrokeText;
    dev->clip_text = FClipText;
    dev->clip_stroke_text = FClipStrokeText;
    dev->ignore_text = FIgnoreText;
    dev->fill_shade = FFillShade;
    dev->fill_image = FFillImage;
    dev->fill_image_mask = FFillImageMask;
    dev->clip_image_mask = FClipImageMask;
    dev->pop_clip = FPopClip;
    dev->begin_mask = FBeginMask;
    dev->end_mask = FEndMask;
    dev->begin_group = FBeginGroup;
    dev->end_group = FEndGroup;
    dev->begin_tile = FBeginTile;
    dev->end_tile = FEndTile;
    dev->render_flags = FRenderFlags;
    dev->set_default_colorspaces = FSetDefaultColorspaces;
    dev->begin_layer = FBeginLayer;
    dev->end_layer = FEndLayer;
    return dev;
}

// A pixmap for bbox, over the store's memory when it fits there, else over
// memory of its own. The store takes its whole size at once: memory taken
// anew as pictures grow would be faulted in anew each time. Throws (MuPDF).
fz_pixmap* NewPixmap(fz_context* ctx, fz_colorspace* cs, fz_irect bbox, PixelStore* store)
{
    const std::size_t bytes = std::size_t(bbox.x1 - bbox.x0) * std::size_t(bbox.y1 - bbox.y0) *
                              std::size_t(fz_colorspace_n(ctx, cs));
    if (!store || bytes > PixelStore::kSize)
        return fz_new_pixmap_with_bbox(ctx, cs, bbox, nullptr, 0);
    if (!store->data)
        store->data = static_cast<unsigned char*>(fz_malloc(ctx, PixelStore::kSize));
    return fz_new_pixmap_with_bbox_and_data(ctx, cs, bbox, nullptr, 0, store->data);
}

// The pixels of an area (fz page space) scaled by ctm. The area keeps its
// size in whole pixels: rounding both edges outward would add a pixel
// whenever its corner lies off the pixel grid (181 pixels for a picture of
// 180).
fz_irect AreaPixels(fz_rect area, fz_matrix ctm)
{
    const fz_rect t = fz_transform_rect(area, ctm);
    fz_irect bbox = fz_round_rect(t);
    if (fz_is_empty_rect(t))
        return bbox;
    const double w = std::max(1.0, std::round(double(t.x1) - t.x0));
    const double h = std::max(1.0, std::round(double(t.y1) - t.y0));
    const double x0 = std::floor(double(t.x0) + 0.5);
    const double y0 = std::floor(double(t.y0) + 0.5);
    constexpr double kLimit = 1 << 28;
    if (std::fabs(x0) < kLimit && std::fabs(y0) < kLimit && w < kLimit && h < kLimit)
        bbox = fz_irect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x0 + w),
                        static_cast<int>(y0 + h)};
    return bbox;
}

// A draw device on pix whose graphics are smoothed at `graphicsAa` (MuPDF's
// anti-aliasing level, 0-8) when it is not negative, else at the context's
// level. The device takes the level when it is made; the context keeps its
// own for everything else. Throws (MuPDF); a plain frame.
fz_device* NewDrawDevice(fz_context* ctx, fz_pixmap* pix, int graphicsAa)
{
    if (graphicsAa < 0)
        return fz_new_draw_device(ctx, fz_identity, pix);
    fz_device* draw = nullptr;
    const int level = fz_graphics_aa_level(ctx);
    fz_set_graphics_aa_level(ctx, graphicsAa);
    fz_try(ctx) draw = fz_new_draw_device(ctx, fz_identity, pix);
    fz_always(ctx) fz_set_graphics_aa_level(ctx, level);
    fz_catch(ctx) fz_rethrow(ctx);
    return draw;
}

// Plain frame shared by both renderers: draws `page` scaled by `zoom` into a
// pixmap covering `area` (fz page space), optionally through the filter,
// from the page's content or from its recording, its graphics smoothed at
// `graphicsAa` (see NewDrawDevice).
fz_pixmap* Render(fz_context* ctx, fz_document* doc, int pageIndex, float zoom, bool gray,
                  const fz_rect* area, const Selection* sel, fz_display_list* recorded = nullptr,
                  CancelProbe* cancel = nullptr, PixelStore* store = nullptr, int graphicsAa = -1)
{
    fz_page* page = nullptr;
    fz_pixmap* pix = nullptr;
    fz_device* draw = nullptr;
    fz_device* filter = nullptr;
    bool drawing = false;
    fz_cookie cookie{};
    fz_var(page);
    fz_var(pix);
    fz_var(draw);
    fz_var(filter);
    fz_var(drawing);
    fz_try(ctx)
    {
        if (!recorded || !area)
            page = LoadPage(ctx, doc, pageIndex);
        const fz_matrix ctm = fz_scale(zoom, zoom);
        const fz_irect bbox =
            area ? AreaPixels(*area, ctm)
                 : fz_round_rect(fz_transform_rect(fz_bound_page(ctx, page), ctm));
        if (bbox.x1 <= bbox.x0 || bbox.y1 <= bbox.y0)
            fz_throw(ctx, FZ_ERROR_GENERIC, "empty area");
        pix = NewPixmap(ctx, gray ? fz_device_gray(ctx) : fz_device_rgb(ctx), bbox, store);
        fz_clear_pixmap_with_value(ctx, pix, 255);
        draw = NewDrawDevice(ctx, pix, graphicsAa);
        drawing = true;
        if (sel || cancel) {
            // The filter also asks the cancel probe; without a selection it
            // passes every call.
            filter = NewFilterDevice(ctx, draw, sel, cancel, &cookie);
            // The whole recording is replayed: a call left out for lying
            // outside the area would put the numbering of the rest out of
            // step.
            if (page)
                RunPage(ctx, page, filter, ctm, &cookie, nullptr);
            else
                fz_run_display_list(ctx, recorded, filter, ctm, fz_infinite_rect, &cookie);
            fz_close_device(ctx, filter);
        } else {
            fz_run_page(ctx, page, draw, ctm, nullptr);
        }
        fz_close_device(ctx, draw);
        // A run that was stopped may have ended quietly; its picture is
        // unfinished.
        if (cookie.abort)
            fz_throw(ctx, FZ_ERROR_ABORT, "cancelled");
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, filter);
        fz_drop_device(ctx, draw);
        fz_drop_page(ctx, page);
    }
    fz_catch(ctx)
    {
        // A damaged object (a picture that cannot be decoded, a broken
        // content stream) ends the drawing where it stands: what was drawn
        // before it is kept, as the page's text and objects are. Running out
        // of memory or being stopped keeps nothing.
        const int code = fz_caught(ctx);
        if (!drawing || code == FZ_ERROR_MEMORY || code == FZ_ERROR_ABORT) {
            fz_drop_pixmap(ctx, pix);
            pix = nullptr;
        }
    }
    return pix;
}

// Plain frame: draws the selection of a recording into the rows `band` of
// a picture (RGB, its pixels cleared) whose row band.y0 starts at
// `samples`, leaving out the calls that lie outside `area` (the band's
// pixels grown a little). 1 when drawn, 0 when drawn up to a damaged object,
// -1 when nothing of it may be kept (out of memory, stopped).
int DrawBandOn(fz_context* ctx, fz_display_list* recorded, const Selection* sel, fz_matrix ctm,
               fz_irect band, const fz_rect* area, unsigned char* samples, int graphicsAa,
               CancelProbe* cancel, std::atomic<bool>* stop)
{
    fz_pixmap* pix = nullptr;
    fz_device* draw = nullptr;
    fz_device* filter = nullptr;
    bool drawing = false;
    int result = -1;
    fz_cookie cookie{};
    fz_var(pix);
    fz_var(draw);
    fz_var(filter);
    fz_var(drawing);
    fz_var(result);
    fz_try(ctx)
    {
        pix = fz_new_pixmap_with_bbox_and_data(ctx, fz_device_rgb(ctx), band, nullptr, 0, samples);
        draw = NewDrawDevice(ctx, pix, graphicsAa);
        drawing = true;
        filter = NewFilterDevice(ctx, draw, sel, cancel, &cookie, stop, area);
        fz_run_display_list(ctx, recorded, filter, ctm, fz_infinite_rect, &cookie);
        fz_close_device(ctx, filter);
        fz_close_device(ctx, draw);
        if (cookie.abort)
            fz_throw(ctx, FZ_ERROR_ABORT, "cancelled");
        result = 1;
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, filter);
        fz_drop_device(ctx, draw);
        fz_drop_pixmap(ctx, pix);   // the pixels are the picture's
    }
    fz_catch(ctx)
    {
        const int code = fz_caught(ctx);
        result = drawing && code != FZ_ERROR_MEMORY && code != FZ_ERROR_ABORT ? 0 : -1;
    }
    return result;
}

// The same on `base` itself or on a clone of it (-1 without a clone).
int DrawBand(fz_context* base, bool clone, fz_display_list* recorded, const Selection* sel,
             fz_matrix ctm, fz_irect band, unsigned char* samples, int graphicsAa,
             CancelProbe* cancel, std::atomic<bool>* stop)
{
    // The band's pixels grown by one on every side.
    const fz_rect area{static_cast<float>(band.x0 - 1), static_cast<float>(band.y0 - 1),
                       static_cast<float>(band.x1 + 1), static_cast<float>(band.y1 + 1)};
    if (!clone)
        return DrawBandOn(base, recorded, sel, ctm, band, &area, samples, graphicsAa, cancel, stop);
    fz_context* ctx = CloneContext(base);
    if (!ctx)
        return -1;
    const int result =
        DrawBandOn(ctx, recorded, sel, ctm, band, &area, samples, graphicsAa, cancel, stop);
    fz_drop_context(ctx);
    return result;
}

// Plain frame: a picture of the pixels `bbox`, cleared to white (see
// NewPixmap); null on failure.
fz_pixmap* NewWhitePixmap(fz_context* ctx, fz_irect bbox, PixelStore* store)
{
    fz_pixmap* pix = nullptr;
    fz_var(pix);
    fz_try(ctx)
    {
        pix = NewPixmap(ctx, fz_device_rgb(ctx), bbox, store);
        fz_clear_pixmap_with_value(ctx, pix, 255);
    }
    fz_catch(ctx)
    {
        fz_drop_pixmap(ctx, pix);
        pix = nullptr;
    }
    return pix;
}

// A large figure (many drawing calls over many rows) is drawn in bands of
// rows, shared out among threads, from the page's recording: each band
// replays the whole recording, but only its own rows are rasterised, and
// rasterising is most of the time of a figure of strokes. The bands of a
// page's figure would otherwise be drawn one after the other while the
// page's analysis holds up the pages after it. A band's edge rounds the
// drawing a little differently from a picture drawn whole, so the bands
// depend on the figure alone: the picture comes out the same on any number
// of processors.
constexpr std::size_t kBandMinCalls = 100;
constexpr int kBandMinRows = 128;
constexpr int kMaxBands = 4;

int BandCount(const Selection& sel, fz_irect bbox)
{
    if (sel.whole.size() + sel.text.size() < kBandMinCalls)
        return 1;
    return std::clamp((bbox.y1 - bbox.y0) / kBandMinRows, 1, kMaxBands);
}

// The processors the calling thread may run on.
int UsableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Draws the selection of the recording into the pixels `bbox` in `bands`
// bands (see above) on no more threads than there are processors: this
// thread draws its share with the cancel probe, the others draw theirs with
// clones of the context. The share of a thread that cannot be started is
// drawn here. Null when any band keeps nothing.
fz_pixmap* RenderInBands(fz_context* ctx, fz_display_list* recorded, const Selection& sel,
                         fz_matrix ctm, fz_irect bbox, int bands, CancelProbe* cancel,
                         PixelStore* store, int graphicsAa)
{
    fz_pixmap* pix = NewWhitePixmap(ctx, bbox, store);
    if (!pix)
        return nullptr;
    unsigned char* samples = fz_pixmap_samples(ctx, pix);
    const std::ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
    const int rows = bbox.y1 - bbox.y0;
    auto band = [&](int i) {
        return fz_irect{bbox.x0, bbox.y0 + rows * i / bands, bbox.x1,
                        bbox.y0 + rows * (i + 1) / bands};
    };
    std::atomic<bool> stop{false};
    std::vector<int> results(static_cast<std::size_t>(bands), -1);
    {
        const SharedDrawing shared(ctx);
        auto draw = [&](int i, bool clone) {
            const fz_irect b = band(i);
            results[static_cast<std::size_t>(i)] =
                DrawBand(ctx, clone, recorded, &sel, ctm, b, samples + stride * (b.y0 - bbox.y0),
                         graphicsAa, clone ? nullptr : cancel, &stop);
        };
        // Thread w draws bands w, w + workers, ...; this thread is worker 0.
        const int workers = shared.on() ? std::min(bands, UsableCores()) : 1;
        auto share = [&](int w, bool clone) {
            for (int i = w; i < bands; i += workers)
                draw(i, clone);
        };
        std::vector<std::thread> threads;
        std::vector<int> here{0};
        threads.reserve(static_cast<std::size_t>(workers));
        here.reserve(static_cast<std::size_t>(workers));
        for (int w = 1; w < workers; ++w) {
            try {
                threads.emplace_back([&share, w] { share(w, true); });
            } catch (...) {
                here.push_back(w);
            }
        }
        for (int w : here)
            share(w, false);
        for (std::thread& t : threads)
            t.join();
    }
    if (std::any_of(results.begin(), results.end(), [](int r) { return r < 0; })) {
        fz_drop_pixmap(ctx, pix);
        return nullptr;
    }
    return pix;
}

} // namespace

namespace {

struct PixelPool {
    std::mutex mutex;
    std::condition_variable freed;
    double held = 0;
};

PixelPool& Pixels()
{
    static PixelPool pool;
    return pool;
}

} // namespace

PixelReservation::PixelReservation(double pixels)
    : pixels_(std::clamp(std::isfinite(pixels) ? pixels : kRenderPixelBudget, 0.0,
                         kRenderPixelBudget))
{
    PixelPool& pool = Pixels();
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.freed.wait(lock, [&] { return pool.held + pixels_ <= kRenderPixelBudget; });
    pool.held += pixels_;
}

PixelReservation::~PixelReservation()
{
    PixelPool& pool = Pixels();
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.held -= pixels_;
        if (pool.held < 0.5)
            pool.held = 0;
    }
    pool.freed.notify_all();
}

fz_pixmap* RenderPage(fz_context* ctx, fz_document* doc, int page, float zoom, bool gray,
                      CancelProbe* cancel)
{
    // A huge page (posters, maps) is drawn at a lower resolution so that
    // the picture stays within 100 million pixels.
    fz_rect bounds;
    if (!PageBounds(ctx, doc, page, bounds))
        return nullptr;
    const double area = double(bounds.x1 - bounds.x0) * double(bounds.y1 - bounds.y0);
    const double limit = kRenderPixelBudget;
    if (area > 0 && area * zoom * zoom > limit)
        zoom = static_cast<float>(std::sqrt(limit / area));
    return Render(ctx, doc, page, zoom, gray, nullptr, nullptr, nullptr, cancel);
}

fz_pixmap* RenderSelection(fz_context* ctx, fz_document* doc, int page, const Selection& sel,
                           const Box& region, float zoom, fz_display_list* recorded,
                           CancelProbe* cancel, PixelStore* store)
{
    fz_rect bounds;
    if (recorded)
        bounds = fz_bound_display_list(ctx, recorded);
    else if (!PageBounds(ctx, doc, page, bounds))
        return nullptr;
    // Page points (y up) back to fz page space.
    const fz_rect area{static_cast<float>(region.x0 + bounds.x0),
                       static_cast<float>(bounds.y1 - region.y1),
                       static_cast<float>(region.x1 + bounds.x0),
                       static_cast<float>(bounds.y1 - region.y0)};
    if (recorded) {
        const fz_matrix ctm = fz_scale(zoom, zoom);
        const fz_irect bbox = AreaPixels(area, ctm);
        const int bands = BandCount(sel, bbox);
        if (bands > 1 && bbox.x1 > bbox.x0)
            return RenderInBands(ctx, recorded, sel, ctm, bbox, bands, cancel, store,
                                 kRegionGraphicsAa);
    }
    return Render(ctx, doc, page, zoom, false, &area, &sel, recorded, cancel, store,
                  kRegionGraphicsAa);
}

fz_display_list* RecordPage(fz_context* ctx, fz_document* doc, int pageIndex)
{
    fz_page* page = nullptr;
    fz_display_list* list = nullptr;
    fz_device* dev = nullptr;
    fz_var(page);
    fz_var(list);
    fz_var(dev);
    fz_try(ctx)
    {
        // Recorded by the same run as the collecting one, so that the calls
        // are numbered alike.
        page = LoadPage(ctx, doc, pageIndex);
        list = fz_new_display_list(ctx, fz_bound_page(ctx, page));
        dev = fz_new_list_device(ctx, list);
        RunPage(ctx, page, dev, fz_identity, nullptr, nullptr);
        fz_close_device(ctx, dev);
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, dev);
        fz_drop_page(ctx, page);
    }
    fz_catch(ctx)
    {
        fz_drop_display_list(ctx, list);
        list = nullptr;
    }
    return list;
}

bool PageBounds(fz_context* ctx, fz_document* doc, int pageIndex, fz_rect& out)
{
    fz_page* page = SafeLoadPage(ctx, doc, pageIndex);
    if (!page)
        return false;
    const bool ok = SafeBoundPage(ctx, page, &out);
    fz_drop_page(ctx, page);
    return ok;
}

} // namespace parser_detail
