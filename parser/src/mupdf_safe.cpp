// Non-throwing MuPDF wrappers. Every function here is a plain frame: no
// object with a destructor, so MuPDF's longjmp stays inside it.
#include "mupdf_safe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace parser_detail {

void SafeToRgb(fz_context* ctx, fz_colorspace* cs, const float* color, fz_color_params params,
               float rgb[3])
{
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
    if (!cs || !color)
        return;
    fz_try(ctx) fz_convert_color(ctx, cs, color, fz_device_rgb(ctx), rgb, nullptr, params);
    fz_catch(ctx) rgb[0] = rgb[1] = rgb[2] = 0.0f;
    for (int i = 0; i < 3; ++i) {
        if (!(rgb[i] >= 0.0f))
            rgb[i] = 0.0f;
        if (rgb[i] > 1.0f)
            rgb[i] = 1.0f;
    }
}

fz_rect SafeBoundPath(fz_context* ctx, const fz_path* path, const fz_stroke_state* stroke,
                      fz_matrix ctm)
{
    fz_rect r = fz_empty_rect;
    fz_try(ctx) r = fz_bound_path(ctx, path, stroke, ctm);
    fz_catch(ctx) r = fz_empty_rect;
    return r;
}

fz_rect SafeBoundShade(fz_context* ctx, fz_shade* shade, fz_matrix ctm)
{
    fz_rect r = fz_empty_rect;
    fz_try(ctx) r = fz_bound_shade(ctx, shade, ctm);
    fz_catch(ctx) r = fz_empty_rect;
    return r;
}

fz_rect SafeBoundText(fz_context* ctx, const fz_text* text, fz_matrix ctm)
{
    fz_rect r = fz_empty_rect;
    fz_try(ctx) r = fz_bound_text(ctx, text, nullptr, ctm);
    fz_catch(ctx) r = fz_empty_rect;
    return r;
}

bool SafeWalkPath(fz_context* ctx, const fz_path* path, const fz_path_walker* walker, void* arg)
{
    int ok = 1;
    fz_try(ctx) fz_walk_path(ctx, path, walker, arg);
    fz_catch(ctx) ok = 0;
    return ok != 0;
}

fz_rect SafeBoundGlyph(fz_context* ctx, fz_font* font, int gid, fz_matrix trm)
{
    fz_rect r = fz_empty_rect;
    fz_try(ctx) r = fz_bound_glyph(ctx, font, gid, trm);
    fz_catch(ctx) r = fz_empty_rect;
    return r;
}

float SafeAdvance(fz_context* ctx, fz_font* font, int gid, int wmode)
{
    volatile float adv = 0.0f;
    fz_try(ctx) adv = fz_advance_glyph(ctx, font, gid, wmode);
    fz_catch(ctx) adv = 0.0f;
    float result = adv;
    if (!std::isfinite(result) || result < -10.0f || result > 10.0f)
        result = 0.0f;
    return result;
}

void SafeAscDesc(fz_context* ctx, fz_font* font, float* asc, float* desc)
{
    volatile float a = 0.8f, d = -0.2f;
    fz_try(ctx)
    {
        a = fz_font_ascender(ctx, font);
        d = fz_font_descender(ctx, font);
    }
    fz_catch(ctx)
    {
        a = 0.8f;
        d = -0.2f;
    }
    // Broken font metrics (0, absurd or inverted values) are common in
    // embedded subsets; fall back to the usual proportions.
    float av = a, dv = d;
    if (!std::isfinite(av) || av < 0.5f || av > 1.5f)
        av = 0.8f;
    if (!std::isfinite(dv) || dv > 0.0f || dv < -0.6f)
        dv = -0.2f;
    *asc = av;
    *desc = dv;
}

namespace {

// True when a widget of `page` has to be given an appearance.
int WidgetsLackAppearance(fz_context* ctx, pdf_page* page, int all)
{
    for (pdf_annot* w = pdf_first_widget(ctx, page); w; w = pdf_next_widget(ctx, w))
        if (all || !pdf_dict_getp(ctx, pdf_annot_obj(ctx, w), "AP/N"))
            return 1;
    return 0;
}

// Gives the widgets of page `i` their appearances (see
// SafeMakeFormAppearances); `changed` tells whether the form was changed
// already.
void MakePageAppearances(fz_context* ctx, pdf_document* doc, pdf_obj* form, int i, int all,
                         int* changed)
{
    pdf_page* volatile page = nullptr;
    fz_try(ctx)
    {
        if (pdf_is_array(ctx, pdf_dict_get(ctx, pdf_lookup_page_obj(ctx, doc, i),
                                           PDF_NAME(Annots)))) {
            page = pdf_load_page(ctx, doc, i);
            if (WidgetsLackAppearance(ctx, page, all)) {
                if (!*changed) {
                    pdf_dict_puts_drop(ctx, form, "NeedAppearances", PDF_FALSE);
                    *changed = 1;
                }
                for (pdf_annot* w = pdf_first_widget(ctx, page); w; w = pdf_next_widget(ctx, w))
                    if (all || !pdf_dict_getp(ctx, pdf_annot_obj(ctx, w), "AP/N"))
                        pdf_annot_request_resynthesis(ctx, w);
                pdf_update_page(ctx, page);
            }
        }
    }
    fz_always(ctx) fz_drop_page(ctx, reinterpret_cast<fz_page*>(page));
    fz_catch(ctx) {}
}

} // namespace

void SafeMakeFormAppearances(fz_context* ctx, fz_document* fdoc)
{
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc)
        return;
    pdf_obj* volatile form = nullptr;
    volatile int all = 0;
    volatile int pages = 0;
    fz_try(ctx)
    {
        form = pdf_dict_getp(ctx, pdf_trailer(ctx, doc), "Root/AcroForm");
        if (pdf_array_len(ctx, pdf_dict_get(ctx, form, PDF_NAME(Fields))) > 0) {
            all = pdf_to_bool(ctx, pdf_dict_gets(ctx, form, "NeedAppearances"));
            // Every page is an object of the file: a page tree that claims
            // more pages lies, and is walked no further than that.
            pages = std::min(pdf_count_pages(ctx, doc), pdf_xref_len(ctx, doc));
        }
    }
    fz_catch(ctx) return;
    // MuPDF writes new appearances into the document only once the document
    // has been changed; clearing the form's request is that change, and true
    // once the appearances are made.
    int changed = 0;
    for (int i = 0; i < pages; ++i)
        MakePageAppearances(ctx, doc, form, i, all, &changed);
}

namespace {

// The table entry of object `num`, or null for a number outside the file's
// table (a damaged file may name one): asking MuPDF for such an entry grows
// its table in place and leaves the file's index of it behind.
pdf_xref_entry* EntryInTable(fz_context* ctx, pdf_document* doc, int num)
{
    if (num <= 0 || num >= pdf_xref_len(ctx, doc))
        return nullptr;
    return pdf_get_xref_entry_no_null(ctx, doc, num);
}

// Walks the page tree under `node` as MuPDF maps it (a node of type Pages
// holds kids, one of type Page is a page): marks the inner nodes and counts
// the pages. May throw MuPDF's error. A node met a second time (a shared or
// looping subtree) sets `again` and is not walked twice; a tree deeper than
// any real one ends the walk there and sets it too.
void WalkPageTree(fz_context* ctx, pdf_document* doc, pdf_obj* node, int depth, int* pages,
                  int* again)
{
    pdf_obj* type = pdf_dict_get(ctx, node, PDF_NAME(Type));
    if (pdf_name_eq(ctx, type, PDF_NAME(Page))) {
        ++*pages;
        return;
    }
    if (!pdf_name_eq(ctx, type, PDF_NAME(Pages)))
        return;
    if (depth > 64 || !pdf_is_indirect(ctx, node)) {
        *again = 1;
        return;
    }
    pdf_xref_entry* entry = EntryInTable(ctx, doc, pdf_to_num(ctx, node));
    if (!entry || entry->marked) {
        *again = 1;
        return;
    }
    entry->marked = 1;
    pdf_obj* kids = pdf_dict_get(ctx, node, PDF_NAME(Kids));
    const int n = pdf_array_len(ctx, kids);
    for (int i = 0; i < n; ++i)
        WalkPageTree(ctx, doc, pdf_array_get(ctx, kids, i), depth + 1, pages, again);
}

} // namespace

bool SafeLoadPageTree(fz_context* ctx, fz_document* fdoc, bool* marked)
{
    *marked = false;
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc)
        return false;
    // The catalogue and the inner nodes of the tree are read for every page
    // (the page count, inherited attributes): they are marked to stay parsed
    // when SafeClearParsedObjects lets the rest go. The pages are counted
    // on the way: MuPDF sizes its map by the count the tree claims and
    // fills only the pages it finds, so a tree whose count lies, or that
    // shares or loops, keeps the walk.
    volatile int pages = 0, again = 0, claimed = -1, objects = 0;
    volatile int walked = 1;
    fz_try(ctx)
    {
        pdf_obj* root = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Root));
        if (pdf_xref_entry* entry = pdf_is_indirect(ctx, root)
                                        ? EntryInTable(ctx, doc, pdf_to_num(ctx, root))
                                        : nullptr)
            entry->marked = 1;
        int n = 0, twice = 0;
        WalkPageTree(ctx, doc, pdf_dict_get(ctx, root, PDF_NAME(Pages)), 0, &n, &twice);
        pages = n;
        again = twice;
        claimed = pdf_count_pages(ctx, doc);
        objects = pdf_xref_len(ctx, doc);
    }
    fz_catch(ctx) walked = 0;
    if (!walked || again || pages != claimed || pages <= 0 || pages > objects)
        return false;
    volatile int ok = 1;
    fz_try(ctx) pdf_load_page_tree(ctx, doc);
    fz_catch(ctx) ok = 0;
    *marked = ok != 0;
    return ok != 0;
}

PageTreeMap SafeCopyPageTree(fz_context* ctx, fz_document* fdoc)
{
    PageTreeMap map;
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc || !doc->fwd_page_map || !doc->rev_page_map || doc->map_page_count <= 0)
        return map;
    const int n = doc->map_page_count;
    map.pageObjects.assign(doc->fwd_page_map, doc->fwd_page_map + n);
    map.byObject.assign(doc->rev_page_map, doc->rev_page_map + n);
    // The marks of the table: the catalogue and the inner nodes of the tree.
    // Reading an entry of the table never parses or adds anything.
    const int len = pdf_xref_len(ctx, doc);
    fz_try(ctx)
    {
        for (int num = 1; num < len; ++num) {
            if (pdf_xref_entry* entry = EntryInTable(ctx, doc, num); entry && entry->marked)
                map.kept.push_back(num);
        }
    }
    fz_catch(ctx)
    {
        map.pageObjects.clear();
    }
    return map;
}

bool SafeAdoptPageTree(fz_context* ctx, fz_document* fdoc, const PageTreeMap& map)
{
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    const int n = static_cast<int>(map.pageObjects.size());
    if (!doc || doc->fwd_page_map || n <= 0 || map.byObject.size() != map.pageObjects.size())
        return false;
    volatile int ok = 1;
    int* volatile forward = nullptr;
    pdf_rev_page_map* volatile reverse = nullptr;
    fz_try(ctx)
    {
        const int len = pdf_xref_len(ctx, doc);
        if (pdf_count_pages(ctx, doc) != n)
            ok = 0;
        for (int i = 0; ok && i < n; ++i) {
            if (map.pageObjects[i] <= 0 || map.pageObjects[i] >= len)
                ok = 0;
        }
        for (std::size_t i = 0; ok && i < map.kept.size(); ++i) {
            if (!EntryInTable(ctx, doc, map.kept[i]))
                ok = 0;
        }
        if (ok) {
            forward = fz_malloc_array(ctx, n, int);
            reverse = fz_malloc_array(ctx, n, pdf_rev_page_map);
            for (int num : map.kept)
                EntryInTable(ctx, doc, num)->marked = 1;
        }
    }
    fz_catch(ctx) ok = 0;
    if (!ok) {
        fz_free(ctx, forward);
        fz_free(ctx, reverse);
        return false;
    }
    std::copy(map.pageObjects.begin(), map.pageObjects.end(), forward);
    std::copy(map.byObject.begin(), map.byObject.end(), reverse);
    // As after one pdf_load_page_tree: SafeDropPageTree's one
    // pdf_drop_page_tree frees the map.
    doc->fwd_page_map = forward;
    doc->rev_page_map = reverse;
    doc->map_page_count = n;
    doc->page_map_nesting = 1;
    return true;
}

void SafeDropPageTree(fz_context* ctx, fz_document* fdoc)
{
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc)
        return;
    fz_try(ctx)
    {
        // Look-ups made inside MuPDF (outline and link targets) keep page
        // objects too (see LoadPage). With the document about to go and no
        // page open, the table's copy of a page object holds its only real
        // reference; every copy, in each section of the table, is settled.
        if (doc->fwd_page_map) {
            for (int x = 0; x < doc->num_xref_sections; ++x) {
                for (pdf_xref_subsec* sub = doc->xref_sections[x].subsec; sub; sub = sub->next) {
                    for (int i = 0; i < doc->map_page_count; ++i) {
                        const int num = doc->fwd_page_map[i];
                        if (num < sub->start || num - sub->start >= sub->len)
                            continue;
                        pdf_obj* obj = sub->table[num - sub->start].obj;
                        while (obj && pdf_obj_refs(ctx, obj) > 1)
                            pdf_drop_obj(ctx, obj);
                    }
                }
            }
        }
        pdf_drop_page_tree(ctx, doc);
    }
    fz_catch(ctx) {}
}

fz_page* LoadPage(fz_context* ctx, fz_document* fdoc, int n)
{
    // Finding a page through the page map (MuPDF 1.21) takes a reference to
    // the page object that it never gives back, which would keep every page
    // object read in memory to the end. The page object is held here across
    // the load, and what the load added beyond the page's own reference is
    // given back. A page that was open already comes back without a look-up
    // and adds nothing.
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc || !doc->fwd_page_map || n < 0 || n >= doc->map_page_count ||
        doc->fwd_page_map[n] <= 0)
        return fz_load_page(ctx, fdoc, n);
    pdf_obj* obj = pdf_load_object(ctx, doc, doc->fwd_page_map[n]);
    if (!obj)
        return fz_load_page(ctx, fdoc, n);
    const int before = pdf_obj_refs(ctx, obj);
    fz_page* volatile page = nullptr;
    fz_try(ctx) page = fz_load_page(ctx, fdoc, n);
    fz_always(ctx)
    {
        int extra = pdf_obj_refs(ctx, obj) - before;
        if (page && extra > 0)
            --extra;   // the page's own
        while (extra-- > 0)
            pdf_drop_obj(ctx, obj);
        pdf_drop_obj(ctx, obj);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return page;
}

void SafeClearParsedObjects(fz_context* ctx, fz_document* fdoc)
{
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc)
        return;
    // A document changed in memory (form appearances made on loading)
    // holds its changes in these objects only: it keeps them all.
    fz_try(ctx)
    {
        if (!pdf_has_unsaved_changes(ctx, doc))
            pdf_clear_xref_to_mark(ctx, doc);
    }
    fz_catch(ctx) {}
}

fz_page* SafeLoadPage(fz_context* ctx, fz_document* doc, int page)
{
    fz_page* volatile p = nullptr;
    fz_try(ctx) p = LoadPage(ctx, doc, page);
    fz_catch(ctx) p = nullptr;
    return p;
}

bool SafeBoundPage(fz_context* ctx, fz_page* page, fz_rect* out)
{
    int ok = 1;
    fz_try(ctx) * out = fz_bound_page(ctx, page);
    fz_catch(ctx) ok = 0;
    return ok != 0;
}

fz_link* SafeLoadLinks(fz_context* ctx, fz_page* page)
{
    fz_link* volatile links = nullptr;
    fz_try(ctx) links = fz_load_links(ctx, page);
    fz_catch(ctx) links = nullptr;
    return links;
}

int SafeResolveLinkPage(fz_context* ctx, fz_document* doc, const char* uri)
{
    volatile int page = -1;
    fz_try(ctx)
    {
        float x = 0, y = 0;
        fz_location loc = fz_resolve_link(ctx, doc, uri, &x, &y);
        page = loc.page < 0 ? -1 : fz_page_number_from_location(ctx, doc, loc);
    }
    fz_catch(ctx) page = -1;
    return page < 0 ? -1 : page;
}

int SafeIsExternalLink(fz_context* ctx, const char* uri)
{
    volatile int ext = 0;
    fz_try(ctx) ext = fz_is_external_link(ctx, uri);
    fz_catch(ctx) ext = 0;
    return ext;
}

fz_pixmap* SafeDecodeImage(fz_context* ctx, fz_image* image)
{
    if (!image || image->w <= 0 || image->h <= 0)
        return nullptr;
    // Above the budget only a JPEG can be decoded smaller (by 1/2, 1/4 or
    // 1/8 as it is read); any other picture would be decoded whole first,
    // however large its header says it is, and is left out.
    const double pixels = double(image->w) * double(image->h);
    int wantW = image->w;
    int wantH = image->h;
    if (pixels > kMaxDecodedPixels) {
        fz_compressed_buffer* cbuf = fz_compressed_image_buffer(ctx, image);
        if (!cbuf || cbuf->params.type != FZ_IMAGE_JPEG)
            return nullptr;
        const double f = std::sqrt(pixels / kMaxDecodedPixels);
        wantW = std::max(1, static_cast<int>(image->w / f));
        wantH = std::max(1, static_cast<int>(image->h / f));
    }
    fz_pixmap* pix = nullptr;
    fz_pixmap* conv = nullptr;
    fz_var(pix);
    fz_var(conv);
    fz_try(ctx)
    {
        pix = fz_get_pixmap_from_image(ctx, image, nullptr, nullptr, &wantW, &wantH);
        if (double(fz_pixmap_width(ctx, pix)) * fz_pixmap_height(ctx, pix) > kMaxDecodedPixels)
            fz_throw(ctx, FZ_ERROR_GENERIC, "picture beyond the pixel budget");
        fz_colorspace* cs = fz_pixmap_colorspace(ctx, pix);
        const int colorants = fz_pixmap_colorants(ctx, pix);
        if (!cs && colorants > 0 && colorants != 1 && colorants != 3) {
            // Samples of four channels without a colour space are CMYK.
            if (colorants != 4)
                fz_throw(ctx, FZ_ERROR_GENERIC, "picture of %d channels without colours",
                         colorants);
            conv = fz_new_pixmap_with_data(ctx, fz_device_cmyk(ctx), fz_pixmap_width(ctx, pix),
                                           fz_pixmap_height(ctx, pix), nullptr,
                                           fz_pixmap_alpha(ctx, pix), fz_pixmap_stride(ctx, pix),
                                           fz_pixmap_samples(ctx, pix));
            cs = fz_device_cmyk(ctx);
        }
        // Grey and RGB pictures stay as they are; every other space (CMYK,
        // Lab, indexed, separations, spot colours) becomes RGB: a JPEG file
        // of four channels is shown inverted by many viewers.
        const bool keep = !cs || (colorants == 1 && fz_colorspace_is_gray(ctx, cs)) ||
                          (colorants == 3 && fz_colorspace_is_rgb(ctx, cs) &&
                           !fz_colorspace_is_indexed(ctx, cs));
        if (!keep || fz_pixmap_spots(ctx, pix) > 0) {
            fz_pixmap* rgb = fz_convert_pixmap(ctx, conv ? conv : pix, fz_device_rgb(ctx), nullptr,
                                               nullptr, fz_default_color_params, 1);
            fz_drop_pixmap(ctx, conv);
            conv = nullptr;
            fz_drop_pixmap(ctx, pix);
            pix = rgb;
        }
    }
    fz_catch(ctx)
    {
        fz_drop_pixmap(ctx, conv);
        fz_drop_pixmap(ctx, pix);
        pix = nullptr;
    }
    return pix;
}

namespace {

bool Listed(const int* nums, int count, int num)
{
    for (int i = 0; i < count; ++i) {
        if (nums[i] == num)
            return true;
    }
    return false;
}

bool FontListed(fz_context* ctx, const PageFonts* fonts, int num)
{
    for (int i = 0; i < fonts->count; ++i) {
        if (pdf_to_num(ctx, fonts->ref[i]) == num)
            return true;
    }
    return false;
}

// a + b, or the largest size where that does not fit: the sizes come from
// the file's dictionaries and may be anything.
std::size_t AddSizes(std::size_t a, std::size_t b)
{
    return b > SIZE_MAX - a ? SIZE_MAX : a + b;
}

// The bytes of picture `image` decoded: a component a byte, as MuPDF
// decodes it (one for a mask or grey, four for CMYK, else three), and its
// soft mask's. May throw.
std::size_t PictureBytes(fz_context* ctx, pdf_obj* image)
{
    // Each side is below 2^31, so width times height times 4 fits in 64
    // bits unsigned.
    const auto side = [&](pdf_obj* dict, pdf_obj* key) {
        return static_cast<std::uint64_t>(std::max(0, pdf_dict_get_int(ctx, dict, key)));
    };
    const std::uint64_t w = side(image, PDF_NAME(Width));
    const std::uint64_t h = side(image, PDF_NAME(Height));
    int n = 3;
    pdf_obj* cs = pdf_dict_get(ctx, image, PDF_NAME(ColorSpace));
    if (pdf_dict_get_bool(ctx, image, PDF_NAME(ImageMask)) || pdf_name_eq(ctx, cs, PDF_NAME(DeviceGray)) ||
        pdf_name_eq(ctx, cs, PDF_NAME(G)))
        n = 1;
    else if (pdf_name_eq(ctx, cs, PDF_NAME(DeviceCMYK)) || pdf_name_eq(ctx, cs, PDF_NAME(CMYK)))
        n = 4;
    std::size_t bytes = static_cast<std::size_t>(w * h * static_cast<std::uint64_t>(n));
    pdf_obj* mask = pdf_dict_get(ctx, image, PDF_NAME(SMask));
    if (pdf_is_dict(ctx, mask))
        bytes = AddSizes(bytes,
                         static_cast<std::size_t>(side(mask, PDF_NAME(Width)) * side(mask, PDF_NAME(Height))));
    return bytes;
}

// Loads the fonts of resource dictionary `res` and, `depth` levels down,
// those of the forms it names; sizes the pictures of them all. May throw.
void LoadResourceFonts(fz_context* ctx, pdf_document* doc, pdf_obj* res, int depth, PageFonts* out)
{
    pdf_obj* fonts = pdf_dict_get(ctx, res, PDF_NAME(Font));
    const int n = pdf_dict_len(ctx, fonts);
    for (int i = 0; i < n && out->count < PageFonts::kMaxFonts; ++i) {
        pdf_obj* ref = pdf_dict_get_val(ctx, fonts, i);
        // The store finds a font by the number of its object; one written
        // in place is read again wherever it is used.
        if (!pdf_is_indirect(ctx, ref) || FontListed(ctx, out, pdf_to_num(ctx, ref)) ||
            pdf_name_eq(ctx, pdf_dict_get(ctx, ref, PDF_NAME(Subtype)), PDF_NAME(Type3)))
            continue;
        pdf_font_desc* volatile desc = nullptr;
        fz_try(ctx) desc = pdf_load_font(ctx, doc, res, ref);
        fz_catch(ctx) desc = nullptr;
        if (desc) {
            out->ref[out->count] = pdf_keep_obj(ctx, ref);
            out->desc[out->count] = desc;
            ++out->count;
        }
    }
    pdf_obj* xobjects = pdf_dict_get(ctx, res, PDF_NAME(XObject));
    const int m = pdf_dict_len(ctx, xobjects);
    for (int i = 0; i < m; ++i) {
        pdf_obj* ref = pdf_dict_get_val(ctx, xobjects, i);
        pdf_obj* subtype = pdf_dict_get(ctx, ref, PDF_NAME(Subtype));
        if (pdf_name_eq(ctx, subtype, PDF_NAME(Image))) {
            out->pictureBytes = AddSizes(out->pictureBytes, PictureBytes(ctx, ref));
            out->pictureStreamBytes = AddSizes(
                out->pictureStreamBytes,
                static_cast<std::size_t>(std::max(0, pdf_dict_get_int(ctx, ref, PDF_NAME(Length)))));
            continue;
        }
        if (depth <= 0 || out->forms >= PageFonts::kMaxForms || !pdf_is_indirect(ctx, ref) ||
            Listed(out->form, out->forms, pdf_to_num(ctx, ref)) ||
            !pdf_name_eq(ctx, subtype, PDF_NAME(Form)))
            continue;
        out->form[out->forms++] = pdf_to_num(ctx, ref);
        LoadResourceFonts(ctx, doc, pdf_dict_get(ctx, ref, PDF_NAME(Resources)), depth - 1, out);
    }
}

} // namespace

void SafeLoadPageFonts(fz_context* ctx, fz_document* fdoc, int page, PageFonts* out)
{
    out->count = 0;
    out->forms = 0;
    out->pictureBytes = 0;
    out->pictureStreamBytes = 0;
    pdf_document* doc = pdf_document_from_fz_document(ctx, fdoc);
    if (!doc)
        return;
    // Through the page map, a look-up of the page object would keep a
    // reference it never gives back (see LoadPage); the object is loaded and
    // let go here instead.
    const bool mapped = doc->fwd_page_map && page >= 0 && page < doc->map_page_count &&
                        doc->fwd_page_map[page] > 0;
    pdf_obj* volatile obj = nullptr;
    fz_try(ctx)
    {
        obj = mapped ? pdf_load_object(ctx, doc, doc->fwd_page_map[page])
                     : pdf_lookup_page_obj(ctx, doc, page);
        LoadResourceFonts(ctx, doc, pdf_dict_get_inheritable(ctx, obj, PDF_NAME(Resources)), 2, out);
    }
    fz_always(ctx)
    {
        if (mapped)
            pdf_drop_obj(ctx, obj);
    }
    fz_catch(ctx) {} // the fonts found so far are loaded
}

void SafeEmptyStoreKeepingFonts(fz_context* ctx, pdf_obj* const* refs, pdf_font_desc* const* descs,
                                int count)
{
    fz_empty_store(ctx);
    // Stored again under the same object, a font is found as if it had
    // never left; the store takes references of its own.
    for (int i = 0; i < count; ++i)
        pdf_store_item(ctx, refs[i], descs[i], descs[i]->size);
}

} // namespace parser_detail
