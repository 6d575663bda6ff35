// Private parts of the parser library shared by its source files.
//
// MuPDF reports errors by longjmp (fz_try / fz_catch). The rules kept here:
// a function that contains fz_try or calls a throwing MuPDF function outside
// its own fz_try holds no automatic object with a destructor (so that a
// longjmp never skips one), and no C++ exception ever propagates into a
// MuPDF frame (device and path-walker callbacks catch everything and record
// the failure). MuPDF errors become C++ exceptions or false results only in
// the C++ code above these functions.
#pragma once

#include "parser/parser.h"
#include "parser/cancel_probe.h"

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <tuple>
#include <vector>

namespace parser_detail {

// Rectangle in page points, y upward.
struct Box {
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
    bool Empty() const { return !(x1 > x0) || !(y1 > y0); }
    void Unite(const Box& o)
    {
        if (o.Empty())
            return;
        if (Empty()) {
            *this = o;
            return;
        }
        x0 = std::min(x0, o.x0);
        y0 = std::min(y0, o.y0);
        x1 = std::max(x1, o.x1);
        y1 = std::max(y1, o.y1);
    }
    Box Intersect(const Box& o) const
    {
        Box r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
        return r;
    }
};

// The glyphs of one word inside one text drawing call: items
// [itemBegin, itemEnd) of span `span` (counted from the text's first span).
struct TextPiece {
    int seq = 0;
    int span = 0;
    int itemBegin = 0;
    int itemEnd = 0;
};

// Where an object was drawn: the document load it belongs to, the page, the
// drawing calls (numbered per page run) and, for text, the glyphs.
struct DrawRef {
    std::uint64_t docId = 0;
    int page = -1;
    std::vector<int> seqs;         // whole drawing calls
    std::vector<TextPiece> pieces; // parts of text drawing calls
    Box box;                       // area the object covers when drawn
    int pixelWidth = 0;            // native size of a picture, else 0
    int pixelHeight = 0;
};

// How a picture lies on the page when the page turns or mirrors it by a
// multiple of 90 degrees: the page's row and column of a pixel are the
// picture's column and row (transpose), counted from the far end where a
// flag is set. The picture files are written the way the page shows them.
struct ImageTurn {
    bool transpose = false;
    bool flipU = false; // the picture's columns run from right to left
    bool flipV = false; // its rows run from bottom to top
    bool Identity() const { return !transpose && !flipU && !flipV; }
};

// The turn of a picture drawn with `ctm` (the unit square to device space);
// false when the page turns it by another angle or skews it.
bool ImageTurnOf(fz_matrix ctm, ImageTurn& turn);

// The family name of a font (TextCollect::GetFontFamily) whose name without
// subset prefix is `name`.
std::string FontFamilyOf(fz_context* ctx, fz_font* font, const std::string& name);

// Whether the font program names glyph `gid` `name` (false when it keeps no
// glyph names).
bool GlyphNamed(fz_context* ctx, fz_font* font, int gid, const char* name);

// The characters of the font's glyphs that TeX's math fonts name (big
// operators and delimiters in their sizes, pieces of tall delimiters) and
// the Adobe glyph list does not map to a character, by glyph id; empty for
// a font without such glyphs.
std::unordered_map<int, int> NamedGlyphChars(fz_context* ctx, fz_font* font);

// The glyphs of a page that marked content with an ActualText entry stands
// for, by glyph id and device-space origin (as the run of the page draws
// them), and the characters of each such span: its first glyph stands for
// them all, the others for nothing.
struct ActualTexts {
    struct Mark {
        std::size_t text; // index into texts
        bool first;
    };
    std::map<std::tuple<int, float, float>, Mark> glyphs;
    std::vector<std::vector<int>> texts;
};

// The marked content of a page run (RunPage) as far as ActualText spans
// go: the span open at the moment, and where the spans and their glyphs
// are noted.
struct SpanWatch {
    ActualTexts* found = nullptr; // null: spans are followed, nothing noted
    // The span open (an index into found->texts; 0 when nothing is noted),
    // -1 for none; the depth of marked content it began at; whether its
    // first glyph is still to come.
    long current = -1;
    int spanDepth = 0;
    bool first = false;
    int depth = 0; // marks open
    // The run processor and its own operators, which the watched ones call.
    pdf_processor* proc = nullptr;
    void (*bmc)(fz_context*, pdf_processor*, const char*) = nullptr;
    void (*bdc)(fz_context*, pdf_processor*, const char*, pdf_obj*, pdf_obj*) = nullptr;
    void (*emc)(fz_context*, pdf_processor*) = nullptr;
    void (*et)(fz_context*, pdf_processor*) = nullptr;
};

// Runs a page on a device as fz_run_page does (MuPDF errors are thrown the
// same way). The contents of a PDF page go through an interpreter that
// watches marked content: the glyphs inside each ActualText span are drawn
// in text calls of their own, and `watch` (may be null) says which span is
// open while they are drawn. Two runs of the same page make the same calls.
void RunPage(fz_context* ctx, fz_page* page, fz_device* dev, fz_matrix ctm, fz_cookie* cookie,
             SpanWatch* watch);

// Notes the glyphs of a text drawing call of a RunPage run made while a
// span is open, with `ctm` the call's matrix.
void NoteSpanGlyphs(SpanWatch& watch, const fz_text* text, fz_matrix ctm);

// Writes a picture of a page object to JPEG when it is first asked for.
struct ImageSource {
    fz_context* ctx = nullptr; // the owning parser's context
    fz_image* image = nullptr; // kept reference
    bool stencil = false;      // an image mask painted in `color`
    float color[3] = {0, 0, 0};
    std::string imagePath; // UTF-8
    std::string maskPath;  // UTF-8, empty when none
    ImageTurn turn;        // applied to the picture and its mask when written
    bool written = false;  // Write has run
    bool ok = false;       // and left the picture (and its mask) on disk

    ImageSource() = default;
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;
    ~ImageSource();
    // Writes the picture and its mask; false (and neither file left) when
    // either could not be made.
    bool Write();

private:
    bool WriteFiles();
};

// Access to the private state of the public object classes.
struct ObjectAccess {
    static void SetId(CollectBase& o, int id) { o.id_ = id; }
    static void SetMatrix(CollectBase& o, const ParserMatrix& m) { o.matrix_ = m; }
    static ParserMatrix& Matrix(CollectBase& o) { return o.matrix_; }
    static void SetDraw(CollectBase& o, std::shared_ptr<const DrawRef> d) { o.draw_ = std::move(d); }
    static const DrawRef* Draw(const CollectBase& o) { return o.draw_.get(); }

    static std::string& Text(TextCollect& t) { return t.text_; }
    static std::string& FontName(TextCollect& t) { return t.fontName_; }
    static std::string& FontFamily(TextCollect& t) { return t.fontFamily_; }
    static bool& FixedPitch(TextCollect& t) { return t.fixedPitch_; }
    static bool& Serif(TextCollect& t) { return t.serif_; }
    static double& FontSize(TextCollect& t) { return t.fontSize_; }
    static double& Width(TextCollect& t) { return t.width_; }
    static double& Height(TextCollect& t) { return t.height_; }
    static bool& Bold(TextCollect& t) { return t.bold_; }
    static bool& Italic(TextCollect& t) { return t.italic_; }
    static bool& Underline(TextCollect& t) { return t.underline_; }
    static bool& StrikeOut(TextCollect& t) { return t.strikeOut_; }
    static ParserColor& Color(TextCollect& t) { return t.color_; }
    // Makes t a fresh word object again, keeping the capacity of its
    // strings. Returns its drawing record when nothing else shares it (for
    // reuse), else null.
    static std::shared_ptr<DrawRef> ResetText(TextCollect& t);

    static std::vector<PathPoint>& Points(GraphPath& p) { return p.points_; }
    static ParserColor& Stroke(GraphPath& p) { return p.stroke_; }
    static ParserColor& Fill(GraphPath& p) { return p.fill_; }
    static double& LineWidth(GraphPath& p) { return p.lineWidth_; }
    static ParserLinePattern& Dash(GraphPath& p) { return p.dash_; }
    static bool& Closed(GraphPath& p) { return p.closed_; }
    static std::vector<GraphPath>& Paths(GraphicsCollect& g) { return g.paths_; }
    static int& PaintWay(GraphicsCollect& g) { return g.paintWay_; }

    static void SetImage(ImageCollect& i, std::shared_ptr<ImageSource> src, bool hasMask, int w, int h);
    static void SetImageResult(ImageCollect& i, const std::wstring& path, int w, int h);

    static void SetLink(LinkCollect& l, double x, double y, double w, double h, int type, int page,
                        std::string uri);
};

// A new MuPDF context with MuPDF's own messages silenced, made by
// NewLockableContext. Null on failure.
fz_context* NewContext();

// A new MuPDF context whose locks stay off until a SharedDrawing turns them
// on; null on failure. Dropped with DropContext.
fz_context* NewLockableContext();
// Drops a context (made by NewLockableContext or not) and its locks; not
// for clones.
void DropContext(fz_context* ctx);
// A clone of the context (fz_clone_context) with MuPDF's messages silenced,
// dropped with fz_drop_context; null on failure (a context without locks
// of its own cannot be cloned). Only while a SharedDrawing of it lives.
fz_context* CloneContext(fz_context* ctx);

// MuPDF zeroes some large tables that it fills only as it goes (the
// resource store's hash table of a new context, the buffer for long tokens
// in a new document), and their pages were resident from the start. While
// it lives, the blocks of at least 64 KB that contexts made by
// NewLockableContext (or cloned from them) allocate on this thread are
// noted; when it ends, the whole pages inside such a block that still hold
// nothing but zeros are handed back to the system. They read as zero again,
// and take memory only once written.
class ZeroPagesBack {
public:
    ZeroPagesBack();
    ~ZeroPagesBack();
    ZeroPagesBack(const ZeroPagesBack&) = delete;
    ZeroPagesBack& operator=(const ZeroPagesBack&) = delete;

    struct Blocks {
        static constexpr int kMax = 8;
        void* block[kMax] = {};
        std::size_t size[kMax] = {};
        int count = 0;
        // A block freed or moved is no longer looked at.
        void Forget(void* p);
    };

private:
    Blocks blocks_;
    Blocks* outer_;
};

// Counts `bytes` of a picture decoded on the context (or a clone of it).
void CountDecodedPicture(fz_context* ctx, std::size_t bytes);
// True, and the count starts again, when the pictures decoded on the
// context since the last time amount to more than its store keeps for them:
// the store is then best emptied before the next page.
bool TakePictureBudget(fz_context* ctx);

// While it lives, the locks of a context made by NewLockableContext are on,
// so that contexts cloned from it (fz_clone_context) may draw on other
// threads. Made and ended by the context's own thread between MuPDF calls,
// while no other thread uses the context. For any other context on() is
// false and nothing changes.
class SharedDrawing {
public:
    explicit SharedDrawing(fz_context* ctx);
    ~SharedDrawing();
    SharedDrawing(const SharedDrawing&) = delete;
    SharedDrawing& operator=(const SharedDrawing&) = delete;
    bool on() const { return locks_ != nullptr; }

private:
    void* locks_;
};

// Opens a PDF; the error text goes to err on failure (null result).
fz_document* OpenPdf(fz_context* ctx, const char* path, std::string& err);

// Everything one page run produced.
struct PageObjects {
    std::vector<std::unique_ptr<CollectBase>> objects;
    fz_rect bounds{0, 0, 0, 0}; // the page's bounds, when haveBounds
    bool haveBounds = false;
};

// What the page walk works out for a font: its name without the subset
// prefix, its style, its ascent and descent in em, and the advances of its
// glyphs as they are asked for.
struct FontInfo {
    std::string name;
    std::string family;   // see TextCollect::GetFontFamily
    bool fixedPitch = false;
    bool serif = false;
    bool bold = false;
    bool italic = false;
    float asc = 0.8f;
    float desc = -0.2f;
    std::vector<float> advance[2]; // by glyph id and writing mode; NaN = not yet asked
    std::unordered_map<int, int> namedChars; // see NamedGlyphChars
};

// The fonts met on the pages of one document, each kept (with a reference)
// with its FontInfo, so that the pages after the first find them worked
// out.
struct FontTable {
    fz_context* ctx;
    std::unordered_map<fz_font*, FontInfo> fonts;

    explicit FontTable(fz_context* c) : ctx(c) {}
    FontTable(const FontTable&) = delete;
    FontTable& operator=(const FontTable&) = delete;
    ~FontTable()
    {
        for (auto& f : fonts)
            fz_drop_font(ctx, f.first);
    }

    // The font's FontInfo, worked out when the font is first met: its name
    // without the subset prefix, bold and italic from its flags or its
    // name, its ascent and descent.
    FontInfo& Info(fz_font* font);
    // The advance of a glyph in em as the font program gives it (0 for a
    // glyph id out of range), asked of MuPDF once per glyph.
    float Advance(FontInfo& info, fz_font* font, int gid, int wmode)
    {
        // Every glyph of a page asks: one already known is looked up here.
        const std::vector<float>& cache = info.advance[wmode];
        if (gid >= 0 && static_cast<std::size_t>(gid) < cache.size()) {
            const float a = cache[static_cast<std::size_t>(gid)];
            if (!std::isnan(a))
                return a;
        }
        return MeasureAdvance(info, font, gid, wmode);
    }

private:
    // Asks MuPDF for the advance and keeps it.
    float MeasureAdvance(FontInfo& info, fz_font* font, int gid, int wmode);
};


// The advance (in em) of a glyph to which its font program gives no
// width, as some embedded CJK fonts do, leaving the widths to the PDF
// (MuPDF's advances come from the font program, except for Type 3 fonts,
// whose widths are the PDF's own). In order: the PDF's width of the glyph
// where MuPDF keeps one; the distance to the next glyph of the span
// (`step`, in em, negative when there is none) when it is that of
// neighbouring glyphs; one em for a CJK character, which is set full width;
// otherwise none.
float NoWidthAdvance(fz_font* font, int gid, float step, int ucs);

struct CollectOptions {
    std::uint64_t docId = 0;
    int page = 0;
    // Folder (UTF-8, with trailing '/') and name stem for picture files.
    std::string imageDir;
    std::string imageStem; // e.g. "pimg3_"
    int* imageCounter = nullptr;
    // The document's fonts worked out on earlier pages (may be null).
    FontTable* fonts = nullptr;
    // Word objects of earlier pages to reuse (may be null).
    std::vector<std::unique_ptr<TextCollect>>* spareText = nullptr;
    // Asked during the page run; a request to stop ends the run (may be
    // null).
    CancelProbe* cancel = nullptr;
    // False: the words keep no drawing record (DrawObjects leaves them out).
    bool wordRecords = true;
    // When set, receives the page recorded during the same run, in the
    // order RecordPage records it; null when the page did not run whole.
    fz_display_list** recording = nullptr;
};

// Runs the page through the collecting device and appends its objects
// (drawing order, links last), and records it when opt.recording is set. False when the page could not be loaded; the
// objects read before a failure in the middle of the page are kept.
bool CollectPage(fz_context* ctx, fz_document* doc, const CollectOptions& opt, PageObjects& out);

// Appends the page's links, numbering them from firstId.
void CollectLinks(fz_context* ctx, fz_document* doc, int page, int firstId,
                  std::vector<std::unique_ptr<CollectBase>>& out);
// The same for a page already loaded, whose bounds are `bounds`.
void AppendLinks(fz_context* ctx, fz_document* doc, fz_page* page, fz_rect bounds, int firstId,
                 std::vector<std::unique_ptr<CollectBase>>& out);

// Bounds of a page as displayed (fz page space). False when it cannot be read.
bool PageBounds(fz_context* ctx, fz_document* doc, int page, fz_rect& out);

// The most pixels a whole-page picture has (RenderPage draws a larger page
// at a lower resolution), and the most that the page pictures being drawn
// at once by every thread of the process have together.
constexpr double kRenderPixelBudget = 1e8;

// A share of kRenderPixelBudget held while a page picture exists: made, it
// waits until the pictures of other threads leave room for `pixels` (a
// share as large as the budget waits until nothing else is held).
class PixelReservation {
public:
    explicit PixelReservation(double pixels);
    ~PixelReservation();
    PixelReservation(const PixelReservation&) = delete;
    PixelReservation& operator=(const PixelReservation&) = delete;

private:
    double pixels_;
};

// Renders a page (fz page space scaled by zoom) to a new pixmap: RGB or
// grey, no alpha, white background. Null on failure. A request to stop
// through `cancel` (may be null) ends the drawing with no picture.
fz_pixmap* RenderPage(fz_context* ctx, fz_document* doc, int page, float zoom, bool gray,
                      CancelProbe* cancel = nullptr);

// Memory for the pixels of the pictures one parser draws, one after the
// other: a picture of at most kSize bytes is drawn into it instead of into
// memory of its own, which the system would hand out and fault in afresh
// for every picture. Plain data: its owner frees `data` (null or kSize
// bytes) with fz_free of the context that drew into it.
struct PixelStore {
    static constexpr std::size_t kSize = std::size_t(4) << 20;
    unsigned char* data = nullptr;
};

// The drawing calls of one page run that DrawObjects renders.
struct Selection {
    std::unordered_set<int> whole;                           // call numbers
    std::unordered_map<int, std::vector<TextPiece>> text;    // call number -> glyphs
};

// Renders only the selected objects of one page over the area `region`
// (page points, y upward) at `zoom`, over white. `recorded`, when not null,
// is the page recorded by RecordPage: drawing it again spares reading the
// page's content, and a large figure is then drawn in bands of rows on
// several threads (of a context from NewContext; of another one after the
// other). A picture drawn so differs from one drawn whole only by rounding
// along the bands' edges.
// Null on failure.
// A request to stop through `cancel` (may be null) ends the drawing with
// no picture. With `store`, a picture that fits it is drawn into its
// memory: the pixmap is then valid until the store draws the next one.
fz_pixmap* RenderSelection(fz_context* ctx, fz_document* doc, int page, const Selection& sel,
                           const Box& region, float zoom, fz_display_list* recorded = nullptr,
                           CancelProbe* cancel = nullptr, PixelStore* store = nullptr);

// Every drawing call of a page, recorded in the order of a page run (the
// order in which the collecting device numbers them). Null on failure.
fz_display_list* RecordPage(fz_context* ctx, fz_document* doc, int page);

// JPEG writing (libjpeg). Writes to a temporary file beside `path` and
// renames it into place. n is 1 (grey) or 3 (RGB). False on failure.
bool WriteJpeg(const std::string& path, const unsigned char* samples, int w, int h, int n,
               std::ptrdiff_t stride, int quality, int dpi);
bool WritePixmapJpeg(fz_context* ctx, fz_pixmap* pix, const std::string& path, int quality, int dpi);
// Writes bytes as they are, through a temporary file renamed into place.
bool WriteFileBytes(const std::string& path, const unsigned char* data, std::size_t size);

// Unique number of a document load, over all parsers of the process.
std::uint64_t NextDocId();

} // namespace parser_detail
