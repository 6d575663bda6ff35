// The collecting device: runs a page and hands what it draws to the
// collector (collector.h), then appends the page's links.
//
// The filtering device of draw_device.cpp numbers the calls of a second run
// of the same page the way the collector does, which is how DrawObjects
// renders only chosen objects.
#include "collector.h"

#include "mupdf_safe.h"

namespace parser_detail {
namespace {

// ---- the MuPDF device around the collector --------------------------------
// Each callback runs the collector inside try/catch: no C++ exception may
// reach MuPDF. A failure stops the reporting; the run goes on to its end.

struct CollectDevice {
    fz_device super;
    Collector* col;
};

Collector* Col(fz_device* dev) { return reinterpret_cast<CollectDevice*>(dev)->col; }

// A request to stop ends the page run (MuPDF's own way of stopping a run);
// no C++ object is alive in this frame or its callers' when it is thrown.
template <class F> void Guard(fz_context* ctx, fz_device* dev, F&& f)
{
    Collector* c = Col(dev);
    if (c->Stopped())
        fz_throw(ctx, FZ_ERROR_ABORT, "cancelled");
    try {
        f(*c);
    } catch (...) {
        c->Fail();
    }
}

void DevFillPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
                 fz_colorspace* cs, const float* color, float, fz_color_params cp)
{
    Guard(ctx, dev, [&](Collector& c) { c.FillPath(path, evenOdd, ctm, cs, color, cp); });
}

void DevStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                   const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* cs,
                   const float* color, float, fz_color_params cp)
{
    Guard(ctx, dev, [&](Collector& c) { c.StrokePath(path, stroke, ctm, cs, color, cp); });
}

void DevClipPath(fz_context* ctx, fz_device* dev, const fz_path* path, int, fz_matrix ctm,
                 fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundPath(ctx, path, nullptr, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevClipStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                       const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundPath(ctx, path, stroke, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevFillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_colorspace* cs, const float* color, float, fz_color_params cp)
{
    Guard(ctx, dev, [&](Collector& c) { c.Text(text, ctm, cs, color, cp, TextKind::Fill); });
}

void DevStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state*,
                   fz_matrix ctm, fz_colorspace* cs, const float* color, float,
                   fz_color_params cp)
{
    Guard(ctx, dev, [&](Collector& c) { c.Text(text, ctm, cs, color, cp, TextKind::Stroke); });
}

void DevClipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundText(ctx, text, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevClipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                       const fz_stroke_state*, fz_matrix ctm, fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(SafeBoundText(ctx, text, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevIgnoreText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm)
{
    Guard(ctx, dev, [&](Collector& c) {
        c.Text(text, ctm, nullptr, nullptr, fz_default_color_params, TextKind::Invisible);
    });
}

void DevFillShade(fz_context* ctx, fz_device* dev, fz_shade* shade, fz_matrix ctm, float,
                  fz_color_params)
{
    Guard(ctx, dev, [&](Collector& c) { c.FillShade(shade, ctm); });
}

void DevFillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float,
                  fz_color_params cp)
{
    Guard(ctx, dev, [&](Collector& c) { c.Image(image, ctm, false, nullptr, nullptr, cp); });
}

void DevFillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                      fz_colorspace* cs, const float* color, float, fz_color_params cp)
{
    Guard(ctx, dev, [&](Collector& c) { c.Image(image, ctm, true, cs, color, cp); });
}

void DevClipImageMask(fz_context* ctx, fz_device* dev, fz_image*, fz_matrix ctm, fz_rect scissor)
{
    const fz_rect r = fz_intersect_rect(fz_transform_rect(fz_unit_rect, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevPopClip(fz_context* ctx, fz_device* dev)
{
    Guard(ctx, dev, [&](Collector& c) { c.PopClip(); });
}

void DevBeginMask(fz_context* ctx, fz_device* dev, fz_rect area, int, fz_colorspace*, const float*,
                  fz_color_params)
{
    Guard(ctx, dev, [&](Collector& c) { c.BeginMask(area); });
}

void DevEndMask(fz_context* ctx, fz_device* dev)
{
    Guard(ctx, dev, [&](Collector& c) { c.EndMask(); });
}

int DevBeginTile(fz_context* ctx, fz_device* dev, fz_rect area, fz_rect, float, float, fz_matrix ctm,
                 int)
{
    Guard(ctx, dev, [&](Collector& c) { c.BeginTile(area, ctm); });
    // The cell's content is not reported: tell the interpreter that the
    // tile is known so that it does not run it.
    return 1;
}

void DevEndTile(fz_context* ctx, fz_device* dev)
{
    Guard(ctx, dev, [&](Collector& c) { c.EndTile(); });
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

} // namespace parser_detail
