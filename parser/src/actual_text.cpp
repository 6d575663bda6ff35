// Page runs that see marked content. A PDF may wrap glyphs in a span whose
// ActualText entry gives the characters they stand for: a flag drawn as one
// picture glyph that its font's ToUnicode maps into the private use area,
// for instance. A drawing device never sees marked content, so a PDF page's
// contents run here through MuPDF's interpreter with its marked-content
// operators watched; the device that draws the glyphs notes those drawn
// inside a span by glyph id and place (NoteSpanGlyphs), so that each page's
// contents are read and interpreted once.
#include "internal.h"

namespace parser_detail {

namespace {

// The interpreter's operators receive the processor, not the watch: a page
// runs on one thread, and the watch of the run in progress on that thread
// is the one its processor reports to.
thread_local SpanWatch* tWatch = nullptr;

// The run processor gathers the glyphs of a text object and draws them at
// its end (or when the graphics state changes). When a span begins or ends,
// the glyphs shown so far are drawn through the processor's own end of
// text, so that the glyphs of a span are those drawn while it is open. Text
// objects without spans are drawn as the plain run draws them.
void DrawShownGlyphs(fz_context* ctx, SpanWatch* w)
{
    if (w->et)
        w->et(ctx, w->proc);
}

// The characters of an ActualText entry, as a new span's text; false when
// they cannot be kept (the span then draws its glyphs, not noted).
bool KeepSpanText(fz_context* ctx, SpanWatch* w, pdf_obj* actual)
{
    if (!w->found)
        return true;
    try {
        std::vector<int> chars;
        for (const char* s = pdf_to_text_string(ctx, actual); *s;) {
            int c = 0;
            s += fz_chartorune(&c, s);
            chars.push_back(c);
        }
        w->found->texts.push_back(std::move(chars));
        return true;
    } catch (...) {
        return false;
    }
}

void BeginMark(fz_context* ctx, SpanWatch* w, pdf_obj* props)
{
    ++w->depth;
    // An inner span stands inside the text that the outer one replaces.
    if (w->current >= 0)
        return;
    pdf_obj* actual = props ? pdf_dict_get(ctx, props, PDF_NAME(ActualText)) : nullptr;
    if (!pdf_is_string(ctx, actual))
        return;
    DrawShownGlyphs(ctx, w);
    if (!KeepSpanText(ctx, w, actual))
        return;
    w->current = w->found ? static_cast<long>(w->found->texts.size()) - 1 : 0;
    w->spanDepth = w->depth;
    w->first = true;
}

void EndMark(fz_context* ctx, SpanWatch* w)
{
    if (w->depth == 0)
        return;
    if (w->depth == w->spanDepth) {
        DrawShownGlyphs(ctx, w);
        w->current = -1;
        w->spanDepth = 0;
    }
    --w->depth;
}

void OpBmc(fz_context* ctx, pdf_processor* proc, const char* tag)
{
    SpanWatch* w = tWatch;
    BeginMark(ctx, w, nullptr);
    if (w->bmc)
        w->bmc(ctx, proc, tag);
}

void OpBdc(fz_context* ctx, pdf_processor* proc, const char* tag, pdf_obj* raw, pdf_obj* cooked)
{
    SpanWatch* w = tWatch;
    BeginMark(ctx, w, cooked ? cooked : raw);
    if (w->bdc)
        w->bdc(ctx, proc, tag, raw, cooked);
}

void OpEmc(fz_context* ctx, pdf_processor* proc)
{
    SpanWatch* w = tWatch;
    EndMark(ctx, w);
    if (w->emc)
        w->emc(ctx, proc);
}

// Plain frame: the contents of a PDF page on `dev`, as MuPDF's own page
// run draws them (the page's default colour spaces, its transparency group),
// through a run processor whose marked-content operators report to `w`.
void RunContents(fz_context* ctx, pdf_page* page, fz_device* dev, fz_matrix ctm,
                 fz_cookie* cookie, SpanWatch* w)
{
    pdf_processor* proc = nullptr;
    fz_default_colorspaces* defaultCs = nullptr;
    fz_colorspace* groupCs = nullptr;
    SpanWatch* outer = tWatch;
    fz_var(proc);
    fz_var(defaultCs);
    fz_var(groupCs);
    fz_try(ctx)
    {
        defaultCs = pdf_load_default_colorspaces(ctx, page->doc, page);
        if (defaultCs)
            fz_set_default_colorspaces(ctx, dev, defaultCs);
        fz_rect mediabox;
        fz_matrix pageCtm;
        pdf_page_transform(ctx, page, &mediabox, &pageCtm);
        ctm = fz_concat(pageCtm, ctm);
        mediabox = fz_transform_rect(mediabox, ctm);
        if (page->transparency) {
            pdf_obj* group = pdf_page_group(ctx, page);
            if (group) {
                pdf_obj* cs = pdf_dict_get(ctx, group, PDF_NAME(CS));
                if (cs) {
                    fz_try(ctx) groupCs = pdf_load_colorspace(ctx, cs);
                    fz_catch(ctx) groupCs = nullptr;
                    if (groupCs && !fz_is_valid_blend_colorspace(ctx, groupCs)) {
                        fz_drop_colorspace(ctx, groupCs);
                        groupCs = nullptr;
                    }
                }
            } else {
                groupCs = fz_keep_colorspace(ctx, fz_default_output_intent(ctx, defaultCs));
            }
            fz_begin_group(ctx, dev, mediabox, groupCs, 1, 0, 0, 1);
        }
        proc = pdf_new_run_processor(ctx, dev, ctm, "View", nullptr, defaultCs, cookie);
        w->proc = proc;
        w->bmc = proc->op_BMC;
        w->bdc = proc->op_BDC;
        w->emc = proc->op_EMC;
        w->et = proc->op_ET;
        proc->op_BMC = OpBmc;
        proc->op_BDC = OpBdc;
        proc->op_EMC = OpEmc;
        tWatch = w;
        pdf_process_contents(ctx, proc, page->doc, pdf_page_resources(ctx, page),
                             pdf_page_contents(ctx, page), cookie);
        pdf_close_processor(ctx, proc);
        if (page->transparency)
            fz_end_group(ctx, dev);
    }
    fz_always(ctx)
    {
        tWatch = outer;
        // A span left open at the end of the contents ends with them.
        w->current = -1;
        w->spanDepth = 0;
        w->depth = 0;
        w->proc = nullptr;
        w->et = nullptr;
        pdf_drop_processor(ctx, proc);
        fz_drop_colorspace(ctx, groupCs);
        fz_drop_default_colorspaces(ctx, defaultCs);
    }
    fz_catch(ctx)
    {
        // A stop (MuPDF's abort) ends the contents quietly, as in MuPDF's
        // own page run; the annotations and widgets follow.
        dev->close_device = nullptr;
        if (fz_caught(ctx) != FZ_ERROR_ABORT)
            fz_rethrow(ctx);
    }
}

} // namespace

void RunPage(fz_context* ctx, fz_page* page, fz_device* dev, fz_matrix ctm, fz_cookie* cookie,
             SpanWatch* watch)
{
    pdf_page* pdfPage = pdf_page_from_fz_page(ctx, page);
    if (!pdfPage) {
        fz_run_page(ctx, page, dev, ctm, cookie);
        return;
    }
    SpanWatch own;
    RunContents(ctx, pdfPage, dev, ctm, cookie, watch ? watch : &own);
    fz_run_page_annots(ctx, page, dev, ctm, cookie);
    fz_run_page_widgets(ctx, page, dev, ctm, cookie);
}

void NoteSpanGlyphs(SpanWatch& w, const fz_text* text, fz_matrix ctm)
{
    if (w.current < 0 || !w.found)
        return;
    for (const fz_text_span* span = text->head; span; span = span->next) {
        for (int i = 0; i < span->len; ++i) {
            const fz_text_item& item = span->items[i];
            if (item.gid < 0)
                continue;
            const float x = item.x * ctm.a + item.y * ctm.c + ctm.e;
            const float y = item.x * ctm.b + item.y * ctm.d + ctm.f;
            w.found->glyphs.emplace(std::make_tuple(item.gid, x, y),
                                    ActualTexts::Mark{static_cast<std::size_t>(w.current),
                                                      w.first});
            w.first = false;
        }
    }
}

} // namespace parser_detail
