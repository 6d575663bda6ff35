// The collecting device: runs a page and hands what it draws to the
// collector (collector.h), with the glyphs that ActualText spans stand for
// noted as they are drawn, then appends the page's links. On request it
// records the same run into a display list as it goes, so that a caller
// that draws parts of the page later does not read the page a second time.
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
    SpanWatch* spans;
    // The list device the run is recorded into; null when the run is not
    // recorded or the recording failed.
    fz_device* record;
    int recordFailed;
};

CollectDevice* CD(fz_device* dev) { return reinterpret_cast<CollectDevice*>(dev); }
Collector* Col(fz_device* dev) { return CD(dev)->col; }

// Passes one call on to the recording. A call the list device cannot take
// (out of memory) ends the recording, never the run: the page is then
// recorded again when it is drawn. Plain frame around fz_try.
template <class F> void Record(fz_context* ctx, fz_device* dev, F&& call)
{
    CollectDevice* cd = CD(dev);
    if (!cd->record)
        return;
    fz_device* target = cd->record;
    fz_try(ctx) call(target);
    fz_catch(ctx)
    {
        cd->record = nullptr;
        cd->recordFailed = 1;
    }
}

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
                 fz_colorspace* cs, const float* color, float alpha, fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_fill_path(ctx, r, path, evenOdd, ctm, cs, color, alpha, cp);
    });
    Guard(ctx, dev, [&](Collector& c) { c.FillPath(path, evenOdd, ctm, cs, color, cp); });
}

void DevStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                   const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* cs,
                   const float* color, float alpha, fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_stroke_path(ctx, r, path, stroke, ctm, cs, color, alpha, cp);
    });
    Guard(ctx, dev, [&](Collector& c) { c.StrokePath(path, stroke, ctm, cs, color, cp); });
}

void DevClipPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
                 fz_rect scissor)
{
    Record(ctx, dev, [&](fz_device* r) { fz_clip_path(ctx, r, path, evenOdd, ctm, scissor); });
    const fz_rect r = fz_intersect_rect(SafeBoundPath(ctx, path, nullptr, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevClipStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                       const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_clip_stroke_path(ctx, r, path, stroke, ctm, scissor);
    });
    const fz_rect r = fz_intersect_rect(SafeBoundPath(ctx, path, stroke, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevFillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_colorspace* cs, const float* color, float alpha, fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) { fz_fill_text(ctx, r, text, ctm, cs, color, alpha, cp); });
    Guard(ctx, dev, [&](Collector& c) {
        NoteSpanGlyphs(*CD(dev)->spans, text, ctm);
        c.Text(text, ctm, cs, color, cp, TextKind::Fill);
    });
}

void DevStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                   const fz_stroke_state* stroke, fz_matrix ctm, fz_colorspace* cs,
                   const float* color, float alpha, fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_stroke_text(ctx, r, text, stroke, ctm, cs, color, alpha, cp);
    });
    Guard(ctx, dev, [&](Collector& c) {
        NoteSpanGlyphs(*CD(dev)->spans, text, ctm);
        c.Text(text, ctm, cs, color, cp, TextKind::Stroke);
    });
}

void DevClipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_rect scissor)
{
    Record(ctx, dev, [&](fz_device* r) { fz_clip_text(ctx, r, text, ctm, scissor); });
    const fz_rect r = fz_intersect_rect(SafeBoundText(ctx, text, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevClipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                       const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_clip_stroke_text(ctx, r, text, stroke, ctm, scissor);
    });
    const fz_rect r = fz_intersect_rect(SafeBoundText(ctx, text, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevIgnoreText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm)
{
    Record(ctx, dev, [&](fz_device* r) { fz_ignore_text(ctx, r, text, ctm); });
    Guard(ctx, dev, [&](Collector& c) {
        NoteSpanGlyphs(*CD(dev)->spans, text, ctm);
        c.Text(text, ctm, nullptr, nullptr, fz_default_color_params, TextKind::Invisible);
    });
}

void DevFillShade(fz_context* ctx, fz_device* dev, fz_shade* shade, fz_matrix ctm, float alpha,
                  fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) { fz_fill_shade(ctx, r, shade, ctm, alpha, cp); });
    Guard(ctx, dev, [&](Collector& c) { c.FillShade(shade, ctm); });
}

void DevFillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float alpha,
                  fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) { fz_fill_image(ctx, r, image, ctm, alpha, cp); });
    Guard(ctx, dev, [&](Collector& c) { c.Image(image, ctm, false, nullptr, nullptr, cp); });
}

void DevFillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                      fz_colorspace* cs, const float* color, float alpha, fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_fill_image_mask(ctx, r, image, ctm, cs, color, alpha, cp);
    });
    Guard(ctx, dev, [&](Collector& c) { c.Image(image, ctm, true, cs, color, cp); });
}

void DevClipImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                      fz_rect scissor)
{
    Record(ctx, dev, [&](fz_device* r) { fz_clip_image_mask(ctx, r, image, ctm, scissor); });
    const fz_rect r = fz_intersect_rect(fz_transform_rect(fz_unit_rect, ctm), scissor);
    Guard(ctx, dev, [&](Collector& c) { c.PushClip(r); });
}

void DevPopClip(fz_context* ctx, fz_device* dev)
{
    Record(ctx, dev, [&](fz_device* r) { fz_pop_clip(ctx, r); });
    Guard(ctx, dev, [&](Collector& c) { c.PopClip(); });
}

void DevBeginMask(fz_context* ctx, fz_device* dev, fz_rect area, int luminosity,
                  fz_colorspace* cs, const float* bc, fz_color_params cp)
{
    Record(ctx, dev, [&](fz_device* r) { fz_begin_mask(ctx, r, area, luminosity, cs, bc, cp); });
    Guard(ctx, dev, [&](Collector& c) { c.BeginMask(area); });
}

void DevEndMask(fz_context* ctx, fz_device* dev)
{
    Record(ctx, dev, [&](fz_device* r) { fz_end_mask(ctx, r); });
    Guard(ctx, dev, [&](Collector& c) { c.EndMask(); });
}

int DevBeginTile(fz_context* ctx, fz_device* dev, fz_rect area, fz_rect view, float xstep,
                 float ystep, fz_matrix ctm, int id)
{
    Guard(ctx, dev, [&](Collector& c) { c.BeginTile(area, ctm); });
    // The collector reports nothing of a tile's cell. Without a recording
    // the interpreter is told that the tile is known, so that it does not
    // run the cell; a recording needs the cell, which then runs.
    int known = 1;
    Record(ctx, dev, [&](fz_device* r) {
        known = fz_begin_tile_id(ctx, r, area, view, xstep, ystep, ctm, id);
    });
    return known;
}

void DevEndTile(fz_context* ctx, fz_device* dev)
{
    Record(ctx, dev, [&](fz_device* r) { fz_end_tile(ctx, r); });
    Guard(ctx, dev, [&](Collector& c) { c.EndTile(); });
}

// Calls the collector has no use for, passed on to the recording only.
void DevBeginGroup(fz_context* ctx, fz_device* dev, fz_rect area, fz_colorspace* cs, int isolated,
                   int knockout, int blendmode, float alpha)
{
    Record(ctx, dev, [&](fz_device* r) {
        fz_begin_group(ctx, r, area, cs, isolated, knockout, blendmode, alpha);
    });
}

void DevEndGroup(fz_context* ctx, fz_device* dev)
{
    Record(ctx, dev, [&](fz_device* r) { fz_end_group(ctx, r); });
}

void DevRenderFlags(fz_context* ctx, fz_device* dev, int set, int clear)
{
    Record(ctx, dev, [&](fz_device* r) { fz_render_flags(ctx, r, set, clear); });
}

void DevSetDefaultColorspaces(fz_context* ctx, fz_device* dev, fz_default_colorspaces* dcs)
{
    Record(ctx, dev, [&](fz_device* r) { fz_set_default_colorspaces(ctx, r, dcs); });
}

void DevBeginLayer(fz_context* ctx, fz_device* dev, const char* name)
{
    Record(ctx, dev, [&](fz_device* r) { fz_begin_layer(ctx, r, name); });
}

void DevEndLayer(fz_context* ctx, fz_device* dev)
{
    Record(ctx, dev, [&](fz_device* r) { fz_end_layer(ctx, r); });
}

// Plain frame: runs the page with the collecting device, and into `list`
// when it is not null. Returns 1 when the whole page ran (and, with a list,
// was recorded whole), 0 when MuPDF stopped in the middle.
int RunCollect(fz_context* ctx, fz_page* page, Collector* col, SpanWatch* spans,
               fz_display_list* list)
{
    fz_device* dev = nullptr;
    fz_device* record = nullptr;
    CollectDevice* cd = nullptr;
    int ok = 1;
    fz_var(dev);
    fz_var(record);
    fz_var(cd);
    fz_var(ok);
    fz_try(ctx)
    {
        if (list)
            record = fz_new_list_device(ctx, list);
        cd = reinterpret_cast<CollectDevice*>(
            fz_new_device_of_size(ctx, static_cast<int>(sizeof(CollectDevice))));
        dev = &cd->super;
        cd->col = col;
        cd->spans = spans;
        cd->record = record;
        cd->recordFailed = 0;
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
        dev->begin_group = DevBeginGroup;
        dev->end_group = DevEndGroup;
        dev->render_flags = DevRenderFlags;
        dev->set_default_colorspaces = DevSetDefaultColorspaces;
        dev->begin_layer = DevBeginLayer;
        dev->end_layer = DevEndLayer;
        RunPage(ctx, page, dev, fz_identity, nullptr, spans);
        fz_close_device(ctx, dev);
        if (record)
            fz_close_device(ctx, record);
        if (cd->recordFailed)
            ok = 0;
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, dev);
        fz_drop_device(ctx, record);
    }
    fz_catch(ctx) ok = 0;
    return ok;
}

// A new empty display list for the page; null when none can be made.
fz_display_list* NewPageList(fz_context* ctx, fz_rect bounds)
{
    fz_display_list* list = nullptr;
    fz_var(list);
    fz_try(ctx) list = fz_new_display_list(ctx, bounds);
    fz_catch(ctx) list = nullptr;
    return list;
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
    fz_display_list* list = opt.recording ? NewPageList(ctx, bounds) : nullptr;
    try {
        int nextId = 1;
        {
            ActualTexts actual;
            SpanWatch spans;
            spans.found = &actual;
            Collector col(ctx, opt, bounds, out.objects);
            col.UseActualTexts(&actual);
            if (!RunCollect(ctx, page, &col, &spans, list)) {
                // Only a page that ran whole is recorded: one that stopped
                // part way is recorded again when it is drawn.
                fz_drop_display_list(ctx, list);
                list = nullptr;
            }
            col.Finish();
            nextId = col.NextId();
        }
        AppendLinks(ctx, doc, page, bounds, nextId, out.objects);
    } catch (...) {
        fz_drop_display_list(ctx, list);
        fz_drop_page(ctx, page);
        throw;
    }
    fz_drop_page(ctx, page);
    if (opt.recording)
        *opt.recording = list;
    return true;
}

} // namespace parser_detail
