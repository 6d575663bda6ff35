// The collector behind the collecting device: it receives the drawing calls
// of one page run and turns them into page objects (words of text, vector
// paths, pictures, areas painted by shadings and patterns), numbering every
// drawing call made outside a soft-mask definition and outside a
// tiling-pattern cell (its "call number") in the order of the run.
//
// Its work is split by concern: the drawing calls of graphics and pictures
// (collector.cpp), word building from glyphs (collect_text.cpp), with the
// helpers of font metrics (font_metrics.cpp), path walking (path_walk.h)
// and bold, underline and strike-out detection (text_style.h). The MuPDF
// device that feeds it is in collect_device.cpp.
#pragma once

#include "internal.h"
#include "path_walk.h"
#include "text_style.h"

#include <memory>
#include <string>
#include <vector>

namespace parser_detail {

enum class TextKind { Fill, Stroke, Invisible };

// One glyph of a text drawing call, placed on the page (device space).
struct Glyph {
    fz_font* font = nullptr;
    const FontInfo* info = nullptr;
    TextKind kind = TextKind::Fill;
    int wmode = 0;
    float size = 0.0f;
    // The em by which the gaps between words are measured: the size, or
    // less along a baseline that horizontal scaling (Tz) condenses, whose
    // spaces shrink with the glyphs.
    float em = 0.0f;
    float color[3] = {0, 0, 0};
    fz_point dir{1, 0};    // unit vector along the baseline
    fz_point origin{0, 0}; // where the pen stood
    fz_point end{0, 0};    // where the glyph's advance takes it
    int ucs = -1;
    int spanSerial = 0; // the span, counted over the page
    TextPiece piece;    // the drawing call, span and item it comes from
    fz_rect clip = fz_infinite_rect; // the clip in force (device space)
};

// The word being assembled from consecutive glyphs.
struct Word {
    bool active = false;
    fz_font* font = nullptr;
    const FontInfo* info = nullptr;
    TextKind kind = TextKind::Fill;
    int wmode = 0;
    float size = 0.0f;
    // The em by which the gaps between words are measured: the size, or
    // less along a baseline that horizontal scaling (Tz) condenses, whose
    // spaces shrink with the glyphs.
    float em = 0.0f;
    float color[3] = {0, 0, 0};
    fz_point dir{1, 0}; // unit vector along the baseline, device space
    fz_point start{0, 0};
    fz_point end{0, 0};
    std::string text;
    // Where the text of each glyph begins in `text`, in drawing order: the
    // glyphs of right-to-left script are drawn from left to right, and their
    // texts are put into reading order when the word ends.
    std::vector<std::size_t> glyphStarts;
    bool rtl = false; // holds a letter of a right-to-left script
    std::vector<TextPiece> pieces;
    bool thick = false; // also stroked: drawn bold
    int styleSerial = -1; // the span whose style the word is known to have
    // The last character of the text (an accent drawn over it combines with
    // it): its glyph's place, its code (-1 when there is none to combine
    // with) and the byte where it begins.
    fz_point lastOrigin{0, 0};
    fz_point lastEnd{0, 0};
    int lastUcs = -1;
    std::size_t lastByte = 0;
    fz_rect clip = fz_empty_rect; // the clips of its glyphs together
};

class Collector {
public:
    Collector(fz_context* ctx, const CollectOptions& opt, fz_rect bounds,
              std::vector<std::unique_ptr<CollectBase>>& out)
        : ctx_(ctx), opt_(opt), frame_{bounds}, out_(out), ownFonts_(ctx),
          fonts_(opt.fonts ? *opt.fonts : ownFonts_)
    {
        clips_.push_back(bounds);
    }

    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    // The page's ActualText spans, noted as the run goes (NoteSpanGlyphs);
    // they outlive the collector.
    void UseActualTexts(const ActualTexts* actual) { actual_ = actual; }

    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }
    // True once the caller asked to stop the page.
    bool Stopped() const { return opt_.cancel && opt_.cancel->Stopped(); }
    int NextId() const { return nextId_; }

    // Calls at the top level (outside mask definitions and pattern cells)
    // are numbered; after a failure they are still numbered but no longer
    // reported.
    bool Counted() const { return maskDepth_ == 0 && tileDepth_ == 0; }
    // Numbers a drawing call when it is counted; true when it is to be
    // reported.
    bool NumberCall()
    {
        if (!Counted())
            return false;
        ++seq_;
        return !failed_;
    }

    // ---- drawing calls (collector.cpp) --------------------------------------
    void FillPath(const fz_path* path, int evenOdd, fz_matrix ctm, fz_colorspace* cs,
                  const float* color, fz_color_params cp);
    void StrokePath(const fz_path* path, const fz_stroke_state* stroke, fz_matrix ctm,
                    fz_colorspace* cs, const float* color, fz_color_params cp);
    void FillShade(fz_shade* shade, fz_matrix ctm);
    void Image(fz_image* image, fz_matrix ctm, bool stencil, fz_colorspace* cs,
               const float* color, fz_color_params cp);
    // `area` is the region to fill in the pattern's space, `ctm` maps it to
    // the page.
    void BeginTile(fz_rect area, fz_matrix ctm);
    void EndTile();
    void BeginMask(fz_rect area);
    void EndMask();
    void PushClip(fz_rect r) { clips_.push_back(fz_intersect_rect(r, clips_.back())); }
    void PopClip();

    // ---- text (collect_text.cpp) ----------------------------------------------
    void Text(const fz_text* text, fz_matrix ctm, fz_colorspace* cs, const float* color,
              fz_color_params cp, TextKind kind);

    // ---- end of the page ----------------------------------------------------
    // Ends the last word and marks the words that rules underline or strike
    // out.
    void Finish();

private:
    std::shared_ptr<DrawRef> NewRef();
    // Adds the object unless it lies wholly outside the visible page (it
    // cannot be seen there, and readers leave it out). Returns the object
    // kept, or null.
    // The object's drawn area is cut to `clip` (device space), by default
    // the clip in force.
    CollectBase* Push(std::unique_ptr<CollectBase> obj, std::shared_ptr<DrawRef> ref,
                      GraphicsCollect* graphic = nullptr, const fz_rect* clip = nullptr);
    // The same for a word without a drawing record, whose area is `box`.
    bool PushWord(std::unique_ptr<TextCollect> word, const Box& box);
    // Whether an object whose area is `b` lies at least in part on the
    // visible page.
    bool OnPage(const Box& b) const;
    // The part of a box (page points) that a clip (device space) leaves;
    // empty when it leaves nothing.
    Box ClipBox(const Box& b, fz_rect clip) const;
    // An area painted by a shading or a tiling pattern, as its rectangle.
    void AddArea(fz_rect r);
    // The subpaths of a path into the graphic; false when it has none (or
    // they could not be stored, which fails the collector).
    bool WalkInto(const fz_path* path, fz_matrix ctm, GraphicsCollect& g);

    // ---- word building ------------------------------------------------------
    bool Continues(fz_font* font, TextKind kind, int wmode, float size, const float rgb[3],
                   fz_point dir, fz_point origin) const;
    // Whether a glyph at `origin` follows the active word on its baseline.
    bool Follows(fz_point origin) const;
    void StartWord(fz_font* font, const FontInfo* info, TextKind kind, int wmode, float size,
                   float em, const float rgb[3], fz_point dir, fz_point origin);
    // Adds the glyphs of a piece to the active word; a piece that goes on
    // from the word's last one lengthens it.
    void AddPiece(const TextPiece& piece)
    {
        auto& pieces = word_.pieces;
        if (!pieces.empty() && pieces.back().seq == piece.seq &&
            pieces.back().span == piece.span && pieces.back().itemEnd == piece.itemBegin) {
            pieces.back().itemEnd = piece.itemEnd;
            return;
        }
        pieces.push_back(piece);
    }
    // Adds a glyph to the active word, or starts a word with it.
    void AddGlyph(const Glyph& g);
    // Adds a glyph already known to go on the active word: its text, its
    // place and its piece.
    void ExtendWord(fz_point origin, fz_point end, int ucs, const TextPiece& piece);
    // Accents drawn as glyphs of their own (TeX sets an accent, then moves
    // back and sets the letter under it): an accent over the word's last
    // letter combines with it; one drawn before its letter waits for the
    // next glyph, and goes into the text by itself when that glyph is not
    // under it.
    // Marks of right-to-left scripts wait the same way, several at a time
    // (a letter may carry two), and are placed by their ink.
    bool AttachAccent(const Glyph& accent, int mark);
    void CombineLast(const Glyph& accent, int mark);
    void EmitPendingAccent();
    // The ink of a glyph on the page; empty when it has none or no bounds.
    fz_rect InkOf(const fz_text_span* span, const fz_text_item& item, fz_matrix ctm) const;
    // Places a big operator or delimiter by its ink: TeX hangs these glyphs
    // below their pen position and centres them on the math axis of the
    // line they belong to.
    void PlaceOnAxisByInk(Glyph& g, const fz_text_span* span, const fz_text_item& item,
                          fz_matrix ctm);
    // Places a right-to-left mark by its ink: shaping engines set such a
    // mark on a pen position of their own, to one side of its letter.
    void PlaceMarkByInk(Glyph& g, const fz_text_span* span, const fz_text_item& item,
                        fz_matrix ctm);
    // Ends the active word (an accent still waiting goes in first): it
    // becomes a word object, or thickens the same word drawn just before at
    // the same place.
    void FlushWord();
    void FinishWord();
    // The stroke of text just filled (render mode 2) thickens its words.
    void RepeatLastText();

    fz_context* ctx_;
    const CollectOptions& opt_;
    PageFrame frame_;
    std::vector<std::unique_ptr<CollectBase>>& out_;
    bool failed_ = false;
    int seq_ = 0;
    int nextId_ = 1;
    int maskDepth_ = 0;
    int tileDepth_ = 0;
    std::vector<fz_rect> clips_;
    std::vector<fz_rect> maskAreas_;
    FontTable ownFonts_; // without opt_.fonts
    FontTable& fonts_;   // the table in use
    Word word_;
    int spanSerial_ = 0; // counts the text spans of the page
    const ActualTexts* actual_ = nullptr;
    // Accents and marks drawn before their letter, waiting for it, each with
    // its combining mark.
    struct PendingAccent {
        Glyph glyph;
        int mark = 0;
    };
    std::vector<PendingAccent> pending_;
    // TeX draws its "maps to" arrow as a bar of no width, which the font
    // names "mapstochar" (or "mapsto") and which has no character of its
    // own, then the arrow: the bar waits for the arrow.
    bool barPending_ = false;
    fz_point barOrigin_{0, 0};
    TextPiece barPiece_;

    const fz_path* lastFillPath_ = nullptr;
    int lastFillSeq_ = -1;
    fz_matrix lastFillCtm_ = fz_identity;
    GraphicsCollect* lastFill_ = nullptr;
    std::shared_ptr<DrawRef> lastFillRef_;

    const fz_text* lastText_ = nullptr;
    int lastTextSeq_ = -1;
    std::vector<TextCollect*> lastTextWords_;

    RecentWords recent_;          // for words drawn twice
    std::vector<WordGeom> words_; // upright words, for rules
    std::vector<LineGeom> lines_; // rules that may underline or strike out
};

} // namespace parser_detail
