// Non-throwing wrappers of the MuPDF calls that the C++ code makes. Each one
// catches MuPDF's error inside its own frame, which holds no object with a
// destructor, and reports it through its result.
#pragma once

#include <cstddef>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <vector>

namespace parser_detail {

// Colour in sRGB, each channel 0..1; black when the conversion fails.
void SafeToRgb(fz_context* ctx, fz_colorspace* cs, const float* color, fz_color_params params,
               float rgb[3]);

// Bounds of a path as drawn (stroke may be null); fz_empty_rect on failure.
fz_rect SafeBoundPath(fz_context* ctx, const fz_path* path, const fz_stroke_state* stroke,
                      fz_matrix ctm);

fz_rect SafeBoundShade(fz_context* ctx, fz_shade* shade, fz_matrix ctm);

fz_rect SafeBoundText(fz_context* ctx, const fz_text* text, fz_matrix ctm);

// Walks a path; false when MuPDF failed (the walker's own errors are the
// walker's business).
bool SafeWalkPath(fz_context* ctx, const fz_path* path, const fz_path_walker* walker, void* arg);

// The ink of a glyph drawn with the text matrix `trm` (glyph space to
// user space); fz_empty_rect on failure.
fz_rect SafeBoundGlyph(fz_context* ctx, fz_font* font, int gid, fz_matrix trm);

// Advance of a glyph in em; 0 on failure.
float SafeAdvance(fz_context* ctx, fz_font* font, int gid, int wmode);

// Font ascender and descender in em (descender negative), sanitised.
void SafeAscDesc(fz_context* ctx, fz_font* font, float* asc, float* desc);

// Makes the appearances that the form fields of a document lack, so that
// their values are walked and drawn with the page: every field when the form
// asks readers to make them (NeedAppearances), otherwise the fields without
// a normal appearance. The appearances are kept in the open document only.
// Failures leave the fields as they are.
void SafeMakeFormAppearances(fz_context* ctx, fz_document* doc);

// Builds the document's map from page numbers to page objects, so that
// loading page n does not walk the page tree from its start (which, on a
// flat tree, reads every page object before n). A tree whose page count
// lies, or that shares or loops, is left to the walk. Returns whether the
// map was made; a made map is dropped with SafeDropPageTree before the
// document. `marked` tells whether the objects read for every page
// (catalogue, inner nodes of the tree) were marked to stay parsed: only
// then may SafeClearParsedObjects be used, else each page would parse them
// again.
bool SafeLoadPageTree(fz_context* ctx, fz_document* doc, bool* marked);
void SafeDropPageTree(fz_context* ctx, fz_document* doc);

// A page map made by SafeLoadPageTree: the page objects in page order, the
// same pairs (page, object) sorted by object as MuPDF keeps them, and the
// objects marked to stay parsed. Parsers that open one file on several
// threads take it from the first instead of walking the tree again, which
// reads every page object of the file.
struct PageTreeMap {
    std::vector<int> pageObjects;
    std::vector<pdf_rev_page_map> byObject;
    std::vector<int> kept;
};
// The map of a document whose map SafeLoadPageTree made (with `marked`
// true); empty when it cannot be read.
PageTreeMap SafeCopyPageTree(fz_context* ctx, fz_document* doc);
// Gives a document just opened the map of another opening of the same file,
// as SafeLoadPageTree with `marked` true would have made it. False, with
// the document as it was, when the map does not fit the document's table or
// page count.
bool SafeAdoptPageTree(fz_context* ctx, fz_document* doc, const PageTreeMap& map);

// fz_load_page for a document that may have the page map: every page of
// the parser is loaded through it (see the function). Throws as
// fz_load_page does.
fz_page* LoadPage(fz_context* ctx, fz_document* doc, int page);

// Lets go of the objects of the file that MuPDF keeps parsed and that
// nothing uses any more (the dictionaries and streams of the pages read
// before): without this a long document's objects pile up page by page.
// Called with no page open.
void SafeClearParsedObjects(fz_context* ctx, fz_document* doc);

// Loads a page; null on failure.
fz_page* SafeLoadPage(fz_context* ctx, fz_document* doc, int page);

// Bounds of a page; false on failure.
bool SafeBoundPage(fz_context* ctx, fz_page* page, fz_rect* out);

// The links of a page (caller drops with fz_drop_link); null when none or on failure.
fz_link* SafeLoadLinks(fz_context* ctx, fz_page* page);

// Resolves an internal link to a page index from 0; -1 when it cannot.
int SafeResolveLinkPage(fz_context* ctx, fz_document* doc, const char* uri);

int SafeIsExternalLink(fz_context* ctx, const char* uri);

// The most pixels a picture is decoded to (8192 x 8192): a header that
// claims more must not make the process take gigabytes.
constexpr double kMaxDecodedPixels = 8192.0 * 8192.0;

// Decodes a picture for writing: its pixels in grey or RGB, with alpha when
// the picture has transparency of its own (colour key, alpha channel) or is a
// stencil (alpha only). A picture above kMaxDecodedPixels comes scaled down
// within it where its format allows, else not at all. Null on failure.
fz_pixmap* SafeDecodeImage(fz_context* ctx, fz_image* image);

// The fonts a page names in its resources and in those of the forms it
// draws (two levels down), loaded: each entry holds a reference to the font
// and to the object the store finds it by. The pictures named there are
// sized from their dictionaries alone, so that what a page brings into the
// store is known without decoding anything.
struct PageFonts {
    static constexpr int kMaxFonts = 64;
    static constexpr int kMaxForms = 32;
    pdf_obj* ref[kMaxFonts];
    pdf_font_desc* desc[kMaxFonts];
    int count;
    int form[kMaxForms]; // object numbers of the forms walked
    int forms;
    std::size_t pictureBytes; // the pictures decoded, 8 bits a component
    std::size_t pictureStreamBytes; // their streams as stored in the file
};

// Fills `out` with the fonts of page `page` (Type3 fonts aside: their glyphs
// are pages of their own, read again as the page asks) and the sizes of its
// pictures; out->count is 0 for a document other than PDF.
void SafeLoadPageFonts(fz_context* ctx, fz_document* doc, int page, PageFonts* out);

// Empties the context's store and puts back the `count` fonts given (keyed
// by their objects), which the caller holds.
void SafeEmptyStoreKeepingFonts(fz_context* ctx, pdf_obj* const* refs, pdf_font_desc* const* descs,
                                int count);

} // namespace parser_detail
