// Replacement texts of marked content. A PDF may wrap glyphs in a span whose
// ActualText entry gives the characters they stand for: a flag drawn as one
// picture glyph that its font's ToUnicode maps into the private use area,
// for instance. The drawing device never sees marked content, so the page's
// contents run a second time, through MuPDF's interpreter with its
// marked-content operators watched, on the pages whose contents name
// ActualText at all; the glyphs drawn inside each span are noted by glyph
// id and place, as the collecting run will meet them.
#include "internal.h"

#include <cstring>

namespace parser_detail {

namespace {

struct Watch;

struct WatchDevice {
    fz_device super;
    Watch* watch;
};

// The interpreter's state as far as spans go. The run processor gathers
// the glyphs of a text object and draws them at its end (or when the
// graphics state changes), so each marked-content operator first has the
// glyphs shown so far drawn, through the processor's own end of text: the
// glyphs of a span are then those drawn while it is open.
struct Watch {
    ActualTexts* out = nullptr;
    pdf_processor* proc = nullptr;
    void (*bmc)(fz_context*, pdf_processor*, const char*) = nullptr;
    void (*bdc)(fz_context*, pdf_processor*, const char*, pdf_obj*, pdf_obj*) = nullptr;
    void (*emc)(fz_context*, pdf_processor*) = nullptr;
    void (*et)(fz_context*, pdf_processor*) = nullptr;
    // For each open mark, the span in force inside it (-1 for none).
    std::vector<long> open;
    long current = -1;
    bool first = false; // the span's first glyph is still to come
};

// The run processor's operators receive the processor, not the watch: the
// page's second run happens on one thread and watches one processor.
thread_local Watch* tWatch = nullptr;

void DrawShownGlyphs(fz_context* ctx, Watch* w)
{
    if (w->et)
        w->et(ctx, w->proc);
}

void BeginMark(fz_context* ctx, Watch* w, pdf_obj* props)
{
    DrawShownGlyphs(ctx, w);
    pdf_obj* actual = props ? pdf_dict_get(ctx, props, PDF_NAME(ActualText)) : nullptr;
    // An inner span stands inside the text that the outer one replaces.
    if (w->current < 0 && pdf_is_string(ctx, actual)) {
        std::vector<int> chars;
        for (const char* s = pdf_to_text_string(ctx, actual); *s;) {
            int c = 0;
            s += fz_chartorune(&c, s);
            chars.push_back(c);
        }
        w->out->texts.push_back(std::move(chars));
        w->current = static_cast<long>(w->out->texts.size()) - 1;
        w->first = true;
    }
    w->open.push_back(w->current);
}

void OpBmc(fz_context* ctx, pdf_processor* proc, const char* tag)
{
    Watch* w = tWatch;
    BeginMark(ctx, w, nullptr);
    if (w->bmc)
        w->bmc(ctx, proc, tag);
}

void OpBdc(fz_context* ctx, pdf_processor* proc, const char* tag, pdf_obj* raw, pdf_obj* cooked)
{
    Watch* w = tWatch;
    BeginMark(ctx, w, cooked ? cooked : raw);
    if (w->bdc)
        w->bdc(ctx, proc, tag, raw, cooked);
}

void OpEmc(fz_context* ctx, pdf_processor* proc)
{
    Watch* w = tWatch;
    DrawShownGlyphs(ctx, w);
    if (!w->open.empty()) {
        w->open.pop_back();
        w->current = w->open.empty() ? -1 : w->open.back();
    }
    if (w->emc)
        w->emc(ctx, proc);
}

void NoteGlyphs(fz_context*, fz_device* dev, const fz_text* text, fz_matrix ctm)
{
    Watch* w = reinterpret_cast<WatchDevice*>(dev)->watch;
    if (w->current < 0)
        return;
    for (const fz_text_span* span = text->head; span; span = span->next) {
        for (int i = 0; i < span->len; ++i) {
            const fz_text_item& item = span->items[i];
            if (item.gid < 0)
                continue;
            const float x = item.x * ctm.a + item.y * ctm.c + ctm.e;
            const float y = item.x * ctm.b + item.y * ctm.d + ctm.f;
            w->out->glyphs.emplace(std::make_tuple(item.gid, x, y),
                                   ActualTexts::Mark{static_cast<std::size_t>(w->current),
                                                     w->first});
            w->first = false;
        }
    }
}

void DevFillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
                 fz_colorspace*, const float*, float, fz_color_params)
{
    NoteGlyphs(ctx, dev, text, ctm);
}

void DevStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state*,
                   fz_matrix ctm, fz_colorspace*, const float*, float, fz_color_params)
{
    NoteGlyphs(ctx, dev, text, ctm);
}

void DevClipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_rect)
{
    NoteGlyphs(ctx, dev, text, ctm);
}

void DevClipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                       const fz_stroke_state*, fz_matrix ctm, fz_rect)
{
    NoteGlyphs(ctx, dev, text, ctm);
}

void DevIgnoreText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm)
{
    NoteGlyphs(ctx, dev, text, ctm);
}

bool StreamNames(fz_context* ctx, pdf_obj* stream, const char* name)
{
    fz_buffer* buf = pdf_load_stream(ctx, stream);
    unsigned char* data = nullptr;
    const std::size_t len = fz_buffer_storage(ctx, buf, &data);
    const std::size_t n = std::strlen(name);
    bool found = false;
    for (std::size_t i = 0; !found && i + n <= len; ++i)
        found = data[i] == name[0] && std::memcmp(data + i, name, n) == 0;
    fz_drop_buffer(ctx, buf);
    return found;
}

// Whether the page's contents or its named marked-content properties hold
// an ActualText entry.
bool NamesActualText(fz_context* ctx, pdf_page* page)
{
    pdf_obj* contents = pdf_page_contents(ctx, page);
    if (pdf_is_array(ctx, contents)) {
        for (int i = 0, n = pdf_array_len(ctx, contents); i < n; ++i)
            if (StreamNames(ctx, pdf_array_get(ctx, contents, i), "ActualText"))
                return true;
    } else if (pdf_is_stream(ctx, contents) && StreamNames(ctx, contents, "ActualText")) {
        return true;
    }
    pdf_obj* props = pdf_dict_get(ctx, pdf_page_resources(ctx, page), PDF_NAME(Properties));
    for (int i = 0, n = pdf_dict_len(ctx, props); i < n; ++i)
        if (pdf_dict_get(ctx, pdf_dict_get_val(ctx, props, i), PDF_NAME(ActualText)))
            return true;
    return false;
}

} // namespace

ActualTexts FindActualTexts(fz_context* ctx, fz_page* page)
{
    ActualTexts found;
    pdf_page* pdfPage = pdf_page_from_fz_page(ctx, page);
    if (!pdfPage)
        return found;
    Watch watch;
    watch.out = &found;
    fz_device* dev = nullptr;
    pdf_processor* proc = nullptr;
    fz_var(dev);
    fz_var(proc);
    fz_try(ctx)
    {
        if (NamesActualText(ctx, pdfPage)) {
            auto* wd = reinterpret_cast<WatchDevice*>(
                fz_new_device_of_size(ctx, static_cast<int>(sizeof(WatchDevice))));
            dev = &wd->super;
            wd->watch = &watch;
            dev->fill_text = DevFillText;
            dev->stroke_text = DevStrokeText;
            dev->clip_text = DevClipText;
            dev->clip_stroke_text = DevClipStrokeText;
            dev->ignore_text = DevIgnoreText;
            // The same transform as the collecting run's.
            fz_rect mediabox;
            fz_matrix pageCtm;
            pdf_page_transform(ctx, pdfPage, &mediabox, &pageCtm);
            proc = pdf_new_run_processor(ctx, dev, pageCtm, "View", nullptr, nullptr, nullptr);
            watch.proc = proc;
            watch.bmc = proc->op_BMC;
            watch.bdc = proc->op_BDC;
            watch.emc = proc->op_EMC;
            watch.et = proc->op_ET;
            proc->op_BMC = OpBmc;
            proc->op_BDC = OpBdc;
            proc->op_EMC = OpEmc;
            tWatch = &watch;
            pdf_process_contents(ctx, proc, pdfPage->doc, pdf_page_resources(ctx, pdfPage),
                                 pdf_page_contents(ctx, pdfPage), nullptr);
            pdf_close_processor(ctx, proc);
            fz_close_device(ctx, dev);
        }
    }
    fz_always(ctx)
    {
        tWatch = nullptr;
        pdf_drop_processor(ctx, proc);
        fz_drop_device(ctx, dev);
    }
    fz_catch(ctx)
    {
        // A page whose contents cannot be run a second time keeps the
        // characters its fonts give.
        found = ActualTexts();
    }
    return found;
}

} // namespace parser_detail
