// Word building: the glyphs of the text drawing calls become words, one
// word object per run of glyphs of one style that follow each other on a
// baseline.
#include "collector.h"

#include "compose_table.h"
#include "mupdf_safe.h"
#include "text_chars.h"
#include "utf8.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace parser_detail {
namespace {

constexpr float kSpaceFactor = 0.15f; // gap (in em) that separates two words
constexpr float kBaselineTolerance = 0.1f;
constexpr float kBackTolerance = 0.1f;
constexpr float kNoWidth = 0.05f; // a glyph advance (in em) at most this is no width
constexpr float kAccentTolerance = 0.05f; // (in em) an accent's middle may lie beyond its letter
constexpr float kMathAxis = 0.25f; // (in em) how high TeX centres big operators and delimiters

// Appends a character of a word beyond ASCII; typographic ligatures
// (U+FB00 to U+FB06) are written as their letters, so that the text reads
// and searches as typed.
void AppendOther(std::string& s, int c)
{
    static const char* const ligatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    if (c >= 0xFB00 && c <= 0xFB06)
        s += ligatures[c - 0xFB00];
    else
        AppendUtf8(s, c);
}

// Appends a character of a word: ASCII, most of the text of most
// documents, directly.
inline void AppendText(std::string& s, int c)
{
    if (c >= 0 && c < 0x80)
        s.push_back(static_cast<char>(c));
    else
        AppendOther(s, c);
}

// Whether two rectangles are the same (false when a corner is NaN).
bool SameRect(const fz_rect& a, const fz_rect& b)
{
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

// Whether the accent glyph sits over (or under) the base glyph: the middle
// of the accent lies within the base's advance along a common baseline, at
// most an em away across it, in a size not far from the base's.
bool Over(const Glyph& accent, const Glyph& base)
{
    if (accent.dir.x * base.dir.x + accent.dir.y * base.dir.y < 0.999f)
        return false;
    if (!(accent.size > 0.5f * base.size && accent.size < 2.0f * base.size))
        return false;
    const fz_point d = base.dir;
    const float cx = 0.5f * (accent.origin.x + accent.end.x) - base.origin.x;
    const float cy = 0.5f * (accent.origin.y + accent.end.y) - base.origin.y;
    const float along = cx * d.x + cy * d.y;
    const float across = std::fabs(cx * d.y - cy * d.x);
    const float len = (base.end.x - base.origin.x) * d.x + (base.end.y - base.origin.y) * d.y;
    const float tol = kAccentTolerance * base.size;
    return len > 0.0f && along >= -tol && along <= len + tol && across <= base.size;
}

// What a glyph's text holds, for putting a word into reading order.
enum class GlyphClass { Neutral, Rtl, Ltr, Digit, Mixed };

GlyphClass ClassOf(std::string_view text)
{
    bool rtl = false, ltr = false, digit = false;
    for (wchar_t c : FromUtf8(text)) {
        const int u = static_cast<int>(c);
        rtl = rtl || IsRtlLetter(u);
        ltr = ltr || IsLtrLetter(u);
        digit = digit || IsBidiDigit(u);
    }
    if (rtl && ltr)
        return GlyphClass::Mixed;
    if (rtl)
        return GlyphClass::Rtl;
    if (ltr)
        return GlyphClass::Ltr;
    return digit ? GlyphClass::Digit : GlyphClass::Neutral;
}

// Puts the text of a word whose glyphs were drawn from left to right into
// reading order: the glyphs of right-to-left script are read from the last
// drawn to the first, each glyph's own text (a ligature, a letter with its
// marks) as it is. `glyphStarts` says where each glyph's text begins.
void ReadingOrder(std::string& text, const std::vector<std::size_t>& glyphStarts)
{
    // Text before the first glyph's (the further characters of a glyph
    // that has none of its own) goes with it.
    std::vector<std::size_t> begin(glyphStarts);
    if (begin.empty() || begin.front() != 0)
        begin.insert(begin.begin(), 0);
    const std::size_t n = begin.size();
    if (n < 2)
        return;
    begin.push_back(text.size());
    for (std::size_t i = 0; i < n; ++i)
        if (begin[i] > begin[i + 1] || begin[i + 1] > text.size())
            return;
    std::vector<GlyphClass> cls(n);
    bool ltr = false;
    for (std::size_t i = 0; i < n; ++i) {
        cls[i] = ClassOf(std::string_view(text).substr(begin[i], begin[i + 1] - begin[i]));
        // One glyph standing for text of both directions leaves nothing to
        // tell the order by: the text stays as drawn.
        if (cls[i] == GlyphClass::Mixed)
            return;
        ltr = ltr || cls[i] == GlyphClass::Ltr;
    }
    std::string out;
    out.reserve(text.size());
    const auto copy = [&](std::size_t from, std::size_t to) {
        out.append(text, begin[from], begin[to] - begin[from]);
    };
    // Glyphs [from, to) drawn right to left: their order turns, but a number
    // (digits with the separators between them) keeps its own.
    const auto turn = [&](std::size_t from, std::size_t to) {
        std::size_t end = to;
        while (end > from) {
            std::size_t start = end - 1;
            if (cls[start] == GlyphClass::Digit) {
                while (start > from && (cls[start - 1] == GlyphClass::Digit ||
                                        (cls[start - 1] == GlyphClass::Neutral && start - 1 > from &&
                                         cls[start - 2] == GlyphClass::Digit)))
                    --start;
            }
            copy(start, end);
            end = start;
        }
    };
    if (!ltr) {
        // A word of right-to-left script (with its numbers and marks).
        turn(0, n);
    } else {
        // Left-to-right letters too: only the right-to-left stretches turn.
        std::size_t i = 0;
        while (i < n) {
            if (cls[i] != GlyphClass::Rtl) {
                copy(i, i + 1);
                ++i;
                continue;
            }
            std::size_t last = i;
            for (std::size_t j = i + 1; j < n && cls[j] != GlyphClass::Ltr; ++j)
                if (cls[j] == GlyphClass::Rtl)
                    last = j;
            turn(i, last + 1);
            i = last + 1;
        }
    }
    text.swap(out);
}

} // namespace

int ComposeAccent(int base, int mark)
{
    if (mark == 0x20DD) {
        if (base == 'c' || base == 'C')
            return 0xA9;
        if (base == 'r' || base == 'R')
            return 0xAE;
        return 0;
    }
    // Marks above a dotless letter go on the letter with its dot.
    if (mark >= 0x0300 && mark <= 0x0314) {
        if (base == 0x0131)
            base = 'i';
        else if (base == 0x0237)
            base = 'j';
    }
    auto it = std::lower_bound(std::begin(kCompositions), std::end(kCompositions),
                               std::pair<int, int>(base, mark),
                               [](const Composition& c, const std::pair<int, int>& key) {
                                   return std::pair<int, int>(c.base, c.mark) < key;
                               });
    if (it == std::end(kCompositions) || it->base != base || it->mark != mark)
        return 0;
    return it->composed;
}

void Collector::Text(const fz_text* text, fz_matrix ctm, fz_colorspace* cs, const float* color,
                     fz_color_params cp, TextKind kind)
{
    if (!NumberCall())
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
        FontInfo& info = fonts_.Info(span->font);
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
        // Whether the glyph before waits as an accent: the further
        // characters of its text wait with it.
        bool lastPending = false;
        for (int i = 0; i < span->len; ++i) {
            const fz_text_item& item = span->items[i];
            if (item.gid < 0) {
                // Further characters of a ligature glyph.
                if (lastPending && !pending_.empty() && item.ucs >= 0) {
                    if (const int mark = CombiningMarkOf(item.ucs)) {
                        PendingAccent more = pending_.back();
                        more.mark = mark;
                        more.glyph.ucs = item.ucs;
                        more.glyph.piece = TextPiece{seq_, spanIndex, i, i + 1};
                        pending_.push_back(more);
                        continue;
                    }
                    EmitPendingAccent();
                }
                lastPending = false;
                if (!word_.active || item.ucs < 0 || item.ucs == 0xFFFD || IsControl(item.ucs))
                    continue;
                if (IsSpace(item.ucs)) {
                    // One glyph that stands for several words (a whole
                    // cluster of text mapped to one glyph): the glyph
                    // cannot be split, so the word keeps the space that
                    // sets its words apart.
                    if (!word_.text.empty() && word_.text.back() != ' ')
                        word_.text += ' ';
                    word_.lastUcs = -1;
                } else if (IsRtlMark(item.ucs) && word_.lastUcs >= 0) {
                    AppendUtf8(word_.text, item.ucs);
                } else {
                    word_.lastByte = word_.text.size();
                    word_.lastUcs = item.ucs;
                    word_.rtl = word_.rtl || IsRtlLetter(item.ucs);
                    AppendText(word_.text, item.ucs);
                }
                AddPiece(TextPiece{seq_, spanIndex, i, i + 1});
                continue;
            }
            lastPending = false;
            int ucs = item.ucs;
            // A glyph inside marked content with a replacement text: the
            // span's first glyph carries that text, the others none.
            const std::vector<int>* actualChars = nullptr;
            if (actual_ && !actual_->glyphs.empty()) {
                const auto mark = actual_->glyphs.find(
                    std::make_tuple(item.gid, item.x * ctm.a + item.y * ctm.c + ctm.e,
                                    item.x * ctm.b + item.y * ctm.d + ctm.f));
                if (mark != actual_->glyphs.end()) {
                    const std::vector<int>& chars = actual_->texts[mark->second.text];
                    ucs = 0xFFFD;
                    if (mark->second.first && !chars.empty()) {
                        actualChars = &chars;
                        ucs = chars.front();
                    }
                }
            }
            // A glyph the font names but the library could not give a
            // character (or gave one of the private use area, as the Adobe
            // glyph list does for delimiter pieces) takes its name's.
            bool byName = false;
            if (!info.namedChars.empty() &&
                (ucs < 0 || ucs == 0xFFFD || IsSpace(ucs) || IsControl(ucs) ||
                 (ucs >= 0xE000 && ucs <= 0xF8FF))) {
                const auto named = info.namedChars.find(item.gid);
                if (named != info.namedChars.end()) {
                    ucs = named->second;
                    byName = true;
                }
            }
            // A space glyph whose text goes on with further characters
            // begins a word of its own with them.
            const bool leadingSpace = IsSpace(ucs) && i + 1 < span->len &&
                                      span->items[i + 1].gid < 0 &&
                                      IsWordChar(span->items[i + 1].ucs);
            if (leadingSpace) {
                FlushWord();
                ucs = 0xFFFD;
            }
            const bool bar = barPending_;
            barPending_ = false;
            if ((IsSpace(ucs) || ucs < 0 || ucs == 0xFFFD) && drawable && !leadingSpace &&
                !(fonts_.Advance(info, span->font, item.gid, wmode) > kNoWidth) &&
                (GlyphNamed(ctx_, span->font, item.gid, "mapstochar") ||
                 GlyphNamed(ctx_, span->font, item.gid, "mapsto"))) {
                FlushWord();
                barPending_ = true;
                barOrigin_ = fz_make_point(item.x * ctm.a + item.y * ctm.c + ctm.e,
                                           item.x * ctm.b + item.y * ctm.d + ctm.f);
                barPiece_ = TextPiece{seq_, spanIndex, i, i + 1};
                continue;
            }
            if (!drawable || !IsWordChar(ucs)) {
                FlushWord();
                continue;
            }
            float adv = fonts_.Advance(info, span->font, item.gid, wmode);
            if (!(adv > kNoWidth) && !span->font->t3procs) {
                float step = -1.0f;
                int next = i + 1;
                while (next < span->len && span->items[next].gid < 0)
                    ++next;
                if (next < span->len && stepNorm > 0.0f)
                    step = ((span->items[next].x - item.x) * stepX +
                            (span->items[next].y - item.y) * stepY) /
                           stepNorm;
                adv = NoWidthAdvance(span->font, item.gid, step, ucs);
            }
            // The glyph's origin, as fz_concat places it.
            const fz_point origin = fz_make_point(item.x * ctm.a + item.y * ctm.c + ctm.e,
                                                  item.x * ctm.b + item.y * ctm.d + ctm.f);
            const fz_point end =
                fz_make_point(origin.x + adv * dirv.x, origin.y + adv * dirv.y);
            // Most glyphs go on the word of their own span, under its clip,
            // with nothing waiting and nothing to place or add: what
            // AddGlyph would do, without the glyph's record.
            if (!bar && !byName && !actualChars && pending_.empty() && word_.active &&
                word_.styleSerial == spanSerial_ && !CombiningMarkOf(ucs) &&
                SameRect(word_.clip, clips_.back()) && Follows(origin)) {
                ExtendWord(origin, end, ucs, TextPiece{seq_, spanIndex, i, i + 1});
                continue;
            }
            Glyph g;
            g.font = span->font;
            g.info = &info;
            g.kind = kind;
            g.wmode = wmode;
            g.size = size;
            g.em = std::min(size, dlen);
            for (int k = 0; k < 3; ++k)
                g.color[k] = rgb[k];
            g.dir = dir;
            g.origin = origin;
            g.end = end;
            g.ucs = ucs;
            g.spanSerial = spanSerial_;
            g.piece = TextPiece{seq_, spanIndex, i, i + 1};
            g.clip = clips_.back();
            if (byName)
                PlaceOnAxisByInk(g, span, item, ctm);

            if (bar && ucs == 0x2192) {
                const float dx = g.origin.x - barOrigin_.x, dy = g.origin.y - barOrigin_.y;
                const float along = dx * dir.x + dy * dir.y;
                const float across = std::fabs(dx * dir.y - dy * dir.x);
                if (along > -0.1f * size && along < 0.6f * size && across < 0.1f * size) {
                    g.ucs = 0x21A6;
                    EmitPendingAccent();
                    AddGlyph(g);
                    AddPiece(barPiece_);
                    continue;
                }
            }
            if (const int mark = CombiningMarkOf(ucs)) {
                const bool rtlMark = IsRtlMark(ucs);
                // A right-to-left mark comes before its letter in the
                // drawing order, and its ink may reach over the letter
                // drawn before: it waits for the next letter first.
                if (rtlMark)
                    PlaceMarkByInk(g, span, item, ctm);
                else if (AttachAccent(g, mark))
                    continue;
                // One Latin accent waits at a time; the marks of a
                // right-to-left letter wait together.
                if (!rtlMark)
                    EmitPendingAccent();
                pending_.push_back(PendingAccent{g, mark});
                lastPending = true;
                continue;
            }
            if (!pending_.empty()) {
                // The waiting accents that lie over this glyph combine with
                // it; the others go into the text by themselves before it.
                std::size_t over = 0;
                for (PendingAccent& p : pending_) {
                    if ((IsAccentBase(ucs) || ComposeAccent(ucs, p.mark)) && Over(p.glyph, g))
                        pending_[over++] = p;
                    else if (!IsRtlMark(p.mark) || !AttachAccent(p.glyph, p.mark))
                        AddGlyph(p.glyph);
                }
                pending_.resize(over);
                AddGlyph(g);
                for (const PendingAccent& p : pending_)
                    CombineLast(p.glyph, p.mark);
                pending_.clear();
                continue;
            }
            AddGlyph(g);
            if (actualChars && word_.active) {
                // The further characters of the replacement text belong
                // to this glyph; nothing combines with them.
                for (std::size_t k = 1; k < actualChars->size(); ++k)
                    AppendText(word_.text, (*actualChars)[k]);
                word_.lastUcs = -1;
            }
        }
    }
}

fz_rect Collector::InkOf(const fz_text_span* span, const fz_text_item& item, fz_matrix ctm) const
{
    fz_matrix trm = span->trm;
    trm.e = item.x;
    trm.f = item.y;
    const fz_rect ink = fz_transform_rect(SafeBoundGlyph(ctx_, span->font, item.gid, trm), ctm);
    return fz_is_infinite_rect(ink) ? fz_empty_rect : ink;
}

void Collector::PlaceOnAxisByInk(Glyph& g, const fz_text_span* span, const fz_text_item& item,
                                 fz_matrix ctm)
{
    const fz_rect ink = InkOf(span, item, ctm);
    if (fz_is_empty_rect(ink))
        return;
    // How far the ink's middle lies below the pen position, across the
    // baseline (device space runs downward); the axis is that far above
    // the baseline that the glyph belongs on.
    const fz_point down = fz_make_point(-g.dir.y, g.dir.x);
    const float cx = 0.5f * (ink.x0 + ink.x1) - g.origin.x;
    const float cy = 0.5f * (ink.y0 + ink.y1) - g.origin.y;
    const float shift = cx * down.x + cy * down.y + kMathAxis * g.size;
    g.origin = fz_make_point(g.origin.x + shift * down.x, g.origin.y + shift * down.y);
    g.end = fz_make_point(g.end.x + shift * down.x, g.end.y + shift * down.y);
}

void Collector::PlaceMarkByInk(Glyph& g, const fz_text_span* span, const fz_text_item& item,
                               fz_matrix ctm)
{
    const fz_rect ink = InkOf(span, item, ctm);
    if (fz_is_empty_rect(ink))
        return;
    // The ink's middle and half its extent, measured along the baseline
    // from the pen position.
    const float cx = 0.5f * (ink.x0 + ink.x1) - g.origin.x;
    const float cy = 0.5f * (ink.y0 + ink.y1) - g.origin.y;
    const float mid = cx * g.dir.x + cy * g.dir.y;
    const float half = 0.5f * (std::fabs((ink.x1 - ink.x0) * g.dir.x) +
                               std::fabs((ink.y1 - ink.y0) * g.dir.y));
    const fz_point pen = g.origin;
    g.origin = fz_make_point(pen.x + (mid - half) * g.dir.x, pen.y + (mid - half) * g.dir.y);
    g.end = fz_make_point(pen.x + (mid + half) * g.dir.x, pen.y + (mid + half) * g.dir.y);
}

void Collector::AddGlyph(const Glyph& g)
{
    // Within a span the style is the same from glyph to glyph: once a word
    // has the span's style, only the place counts.
    bool follows;
    if (word_.active && word_.styleSerial == g.spanSerial)
        follows = Follows(g.origin);
    else
        follows = Continues(g.font, g.kind, g.wmode, g.size, g.color, g.dir, g.origin);
    if (!follows) {
        StartWord(g.font, g.info, g.kind, g.wmode, g.size, g.em, g.color, g.dir, g.origin);
        word_.clip = g.clip;
    } else if (!SameRect(word_.clip, g.clip)) {
        // The glyphs of a word are mostly drawn under one clip, which the
        // union leaves as it is.
        word_.clip = fz_union_rect(word_.clip, g.clip);
    }
    word_.styleSerial = g.spanSerial;
    ExtendWord(g.origin, g.end, g.ucs, g.piece);
}

void Collector::ExtendWord(fz_point origin, fz_point end, int ucs, const TextPiece& piece)
{
    // Glyphs without a known character (U+FFFD) keep their place in the
    // word but add no text.
    if (ucs >= 0 && ucs != 0xFFFD) {
        word_.glyphStarts.push_back(word_.text.size());
        word_.lastByte = word_.text.size();
        word_.lastUcs = ucs;
        word_.lastOrigin = origin;
        word_.lastEnd = end;
        word_.rtl = word_.rtl || IsRtlLetter(ucs);
        AppendText(word_.text, ucs);
    }
    word_.end = end;
    AddPiece(piece);
}

bool Collector::AttachAccent(const Glyph& accent, int mark)
{
    if (!word_.active || word_.lastUcs < 0 ||
        !(IsAccentBase(word_.lastUcs) || ComposeAccent(word_.lastUcs, mark)))
        return false;
    Glyph base;
    base.size = word_.size;
    base.dir = word_.dir;
    base.origin = word_.lastOrigin;
    base.end = word_.lastEnd;
    if (!Over(accent, base))
        return false;
    CombineLast(accent, mark);
    return true;
}

void Collector::CombineLast(const Glyph& accent, int mark)
{
    Word& w = word_;
    if (w.lastUcs < 0 || w.lastByte > w.text.size())
        return;
    const int composed = ComposeAccent(w.lastUcs, mark);
    if (!composed && IsRtlMark(mark)) {
        // The letter keeps its place as the one further marks sit on.
        AppendUtf8(w.text, mark);
        w.clip = fz_union_rect(w.clip, accent.clip);
        AddPiece(accent.piece);
        return;
    }
    w.text.resize(w.lastByte);
    if (composed) {
        AppendText(w.text, composed);
        w.lastUcs = composed;
    } else {
        AppendText(w.text, w.lastUcs);
        AppendUtf8(w.text, mark);
        w.lastUcs = -1;
    }
    // The accent is drawn with the word; the pen stays after the letter.
    w.clip = fz_union_rect(w.clip, accent.clip);
    AddPiece(accent.piece);
}

void Collector::EmitPendingAccent()
{
    if (pending_.empty())
        return;
    // AddGlyph may not see the list it walks change.
    std::vector<PendingAccent> waiting;
    waiting.swap(pending_);
    for (const PendingAccent& p : waiting)
        if (!IsRtlMark(p.mark) || !AttachAccent(p.glyph, p.mark))
            AddGlyph(p.glyph);
}
bool Collector::Continues(fz_font* font, TextKind kind, int wmode, float size,
                          const float rgb[3], fz_point dir, fz_point origin) const
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

bool Collector::Follows(fz_point origin) const
{
    const Word& w = word_;
    const float dx = origin.x - w.end.x, dy = origin.y - w.end.y;
    const float along = dx * w.dir.x + dy * w.dir.y;
    const float sx = origin.x - w.start.x, sy = origin.y - w.start.y;
    const float perp = std::fabs(sx * w.dir.y - sy * w.dir.x);
    return perp <= kBaselineTolerance * w.size && along >= -kBackTolerance * w.size &&
           along <= kSpaceFactor * w.em;
}

void Collector::StartWord(fz_font* font, const FontInfo* info, TextKind kind, int wmode,
                          float size, float em, const float rgb[3], fz_point dir, fz_point origin)
{
    FinishWord();
    word_.active = true;
    word_.font = font;
    word_.info = info;
    word_.kind = kind;
    word_.wmode = wmode;
    word_.size = size;
    word_.em = em;
    for (int k = 0; k < 3; ++k)
        word_.color[k] = rgb[k];
    word_.dir = dir;
    word_.start = origin;
    word_.end = origin;
    word_.text.clear();
    word_.glyphStarts.clear();
    word_.rtl = false;
    word_.pieces.clear();
    word_.thick = false;
    word_.lastUcs = -1;
}

void Collector::FlushWord()
{
    EmitPendingAccent();
    FinishWord();
}

void Collector::FinishWord()
{
    if (!word_.active)
        return;
    word_.active = false;
    // A space that one glyph's text ends with sets nothing apart.
    while (!word_.text.empty() && word_.text.back() == ' ')
        word_.text.pop_back();
    if (word_.text.empty())
        return;
    if (word_.rtl)
        ReadingOrder(word_.text, word_.glyphStarts);
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
    const double sx = frame_.X(w.start.x), sy = frame_.Y(w.start.y);
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
    if (TextCollect* t = recent_.Overprinted(w.text, ex, ey, S)) {
        ObjectAccess::Bold(*t) = true;
        auto* ref = const_cast<DrawRef*>(ObjectAccess::Draw(*t));
        if (ref)
            ref->pieces.insert(ref->pieces.end(), w.pieces.begin(), w.pieces.end());
        return;
    }

    std::unique_ptr<TextCollect> t;
    std::shared_ptr<DrawRef> ref;
    if (opt_.spareText && !opt_.spareText->empty()) {
        // A word object of an earlier page, with its buffers.
        auto& spare = *opt_.spareText;
        t = std::move(spare.back());
        spare.pop_back();
        ref = ObjectAccess::ResetText(*t);
        // The spare objects were last touched a page ago: the next word's
        // object, and the drawing record of the one after it, are fetched
        // while this word and the next are made.
        const std::size_t n = spare.size();
        if (n >= 1)
            __builtin_prefetch(ObjectAccess::Draw(*spare[n - 1]));
        if (n >= 2)
            __builtin_prefetch(spare[n - 2].get());
    } else {
        t = std::make_unique<TextCollect>();
    }
    if (!opt_.wordRecords) {
        ref.reset();
    } else if (ref) {
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
    TextCollect* raw = t.get();
    if (ref) {
        ref->pieces = w.pieces;
        ref->box = b;
        if (!Push(std::move(t), std::move(ref), nullptr, &w.clip))
            return;
    } else if (!PushWord(std::move(t), b)) {
        return;
    }
    recent_.Add(raw);
    lastTextWords_.push_back(raw);
    if (s == 0.0 && c == 1.0 && w.wmode == 0 && w.kind != TextKind::Invisible)
        words_.push_back(WordGeom{raw, sx, sx + len, sy, S});
}

void Collector::RepeatLastText()
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

} // namespace parser_detail
