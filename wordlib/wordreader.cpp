#include "wordlib/wordreader.h"

#include "wordlib/cp1252.h"
#include "wordlib/docdata.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace scrivlet {

namespace {

// Pairs of the FibRgFcLcb97 that the reader uses.
enum FibPair : std::size_t {
    kPairStshf = 1,
    kPairPlcffndRef = 2,
    kPairPlcfSed = 6,
    kPairPlcfBteChpx = 12,
    kPairPlcfBtePapx = 13,
    kPairSttbfFfn = 15,
    kPairPlcfFldMom = 16,
    kPairSttbfBkmk = 21,
    kPairPlcfBkf = 22,
    kPairPlcfBkl = 23,
    kPairDop = 31,
    kPairSttbfAssoc = 32,
    kPairClx = 33,
    kPairPlcfendRef = 46,
    kPairPlcftxbxTxt = 56,
    kPairPlcfFldTxbx = 57,
    kPairPlcfTxbxBkd = 75,
};

// Offsets in FibRgLw97 of the story lengths.
constexpr std::size_t kCcpText = 12;
constexpr std::size_t kCcpFtn = 16;
constexpr std::size_t kCcpHdd = 20;
constexpr std::size_t kCcpAtn = 28;
constexpr std::size_t kCcpEdn = 32;
constexpr std::size_t kCcpTxbx = 36;

constexpr std::uint16_t kWordMagic = 0xA5EC;
constexpr std::uint16_t kFlagEncrypted = 0x0100;
constexpr std::uint16_t kFlagTable1 = 0x0200;
// Word 97 and later; Word 6 and 95 documents have another structure.
constexpr std::uint16_t kFirstWord97Fib = 0x00C0;
// The largest FibRgFcLcb (Word 2007) and FibRgCswNew.
constexpr std::size_t kMaxFcLcbBytes = 1464;
constexpr std::size_t kMaxCswNewBytes = 10;

// Character properties.
constexpr std::uint16_t kCPicLocation = 0x6A03;
constexpr std::uint16_t kCFData = 0x0806;
constexpr std::uint16_t kCHighlight = 0x2A0C;
constexpr std::uint16_t kCIstd = 0x4A30;
constexpr std::uint16_t kCFBold = 0x0835;
constexpr std::uint16_t kCFItalic = 0x0836;
constexpr std::uint16_t kCFStrike = 0x0837;
constexpr std::uint16_t kCFVanish = 0x083C;
constexpr std::uint16_t kCKul = 0x2A3E;
constexpr std::uint16_t kCIco = 0x2A42;
constexpr std::uint16_t kCHps = 0x4A43;
constexpr std::uint16_t kCRgFtc0 = 0x4A4F;
constexpr std::uint16_t kCCv = 0x6870;
constexpr std::uint16_t kCCvUl = 0x6877;
constexpr std::uint16_t kCShd = 0xCA71;
// Paragraph properties.
constexpr std::uint16_t kPJc80 = 0x2403;
constexpr std::uint16_t kPFInTable = 0x2416;
constexpr std::uint16_t kPFTtp = 0x2417;
constexpr std::uint16_t kPJc = 0x2461;
constexpr std::uint16_t kPHugePapx = 0x6646;
constexpr std::uint16_t kPItap = 0x6649;
constexpr std::uint16_t kPTableProps = 0x646B;
// Table properties.
constexpr std::uint16_t kTTableBorders80 = 0xD605;
constexpr std::uint16_t kTDefTable = 0xD608;
constexpr std::uint16_t kTDefTableShd = 0xD612;
constexpr std::uint16_t kTTableBorders = 0xD613;
constexpr std::uint16_t kTSetBrc80 = 0xD620;
constexpr std::uint16_t kTSetBrc = 0xD62F;
constexpr std::uint16_t kTCellWidth = 0xD635;
constexpr std::uint16_t kTDefTableShdRaw = 0xD670;

constexpr char16_t kFieldBegin = 0x13;
constexpr char16_t kFieldSeparator = 0x14;
constexpr char16_t kFieldEnd = 0x15;
constexpr char16_t kPictureChar = 0x01;
constexpr char16_t kNoteMark = 0x02;
constexpr char16_t kCellMark = 0x07;

// A table has at most 63 columns; style chains are followed this deep.
constexpr std::size_t kMaxColumns = 63;
constexpr int kMaxStyleDepth = 16;
constexpr unsigned kNoStyle = 0x0FFF;

// Highlight colours by index (0x00BBGGRR); index 0 is no highlight.
constexpr std::uint32_t kHighlight[17] = {
    0xFFFFFF, 0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0x00FFFF, 0x404040,
    0x800000, 0x808000, 0x008000, 0x800080, 0x000080, 0x008080, 0x808080, 0xC0C0C0,
};
// Text colours by index of the older colour property; index 0 is automatic.
constexpr std::uint32_t kIco[17] = {
    0x000000, 0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0x00FFFF, 0xFFFFFF,
    0x800000, 0x808000, 0x008000, 0x800080, 0x000080, 0x008080, 0x808080, 0xC0C0C0,
};

const Sprm* Find(const PropertyList& list, std::uint16_t code)
{
    for (const Sprm& s : list) {
        if (s.sprm == code)
            return &s;
    }
    return nullptr;
}

// The first `n` operand bytes of a sprm as a little-endian value (fewer
// when the operand is shorter).
std::uint32_t Value(const Sprm& s, std::size_t n = 4)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n && i < s.operand.size(); ++i)
        v |= static_cast<std::uint32_t>(s.operand[i]) << (8 * i);
    return v;
}

// A colour operand (red, green, blue, then 0xFF for "automatic").
bool Colour(const std::uint8_t* p, std::uint32_t& out)
{
    if (p[3] == 0xFF)
        return false;
    out = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
          (static_cast<std::uint32_t>(p[2]) << 16);
    return true;
}

// A character toggle: 0 off, 1 on, 0x80 as the style says, 0x81 the
// opposite of the style; other values leave it alone.
void Toggle(std::uint8_t& value, const Sprm& s, std::uint8_t style)
{
    if (s.operand.empty())
        return;
    switch (s.operand[0]) {
    case 0:
        value = 0;
        break;
    case 1:
        value = 1;
        break;
    case 0x80:
        value = style;
        break;
    case 0x81:
        value = style ? 0 : 1;
        break;
    default:
        break;
    }
}

// Run properties as the walk sends them, and whether the run is hidden.
struct CharProps {
    RunStyle style;
    std::uint8_t vanish = 0;
};

// Applies a character property list in order; `base` holds the values of
// the style beneath, which toggles refer to.
void ApplyChpx(const PropertyList& list, const CharProps& base, const std::vector<Ffn>& fonts,
               CharProps& p)
{
    for (const Sprm& s : list) {
        const std::uint8_t* op = s.operand.data();
        const std::size_t n = s.operand.size();
        switch (s.sprm) {
        case kCFBold:
            Toggle(p.style.bold, s, base.style.bold);
            break;
        case kCFItalic:
            Toggle(p.style.italic, s, base.style.italic);
            break;
        case kCFStrike:
            Toggle(p.style.strikeOut, s, base.style.strikeOut);
            break;
        case kCFVanish:
            Toggle(p.vanish, s, base.vanish);
            break;
        case kCKul:
            if (n >= 1)
                p.style.underline = op[0] != 0;
            break;
        case kCHps:
            if (n >= 2)
                p.style.fontSize = static_cast<std::int32_t>(Load16(op) * 12 / 20);
            break;
        case kCCv:
            if (n >= 4 && !Colour(op, p.style.colour))
                p.style.colour = 0;
            break;
        case kCIco:
            if (n >= 1 && op[0] < 17)
                p.style.colour = kIco[op[0]];
            break;
        case kCCvUl:
            if (n >= 4 && !Colour(op, p.style.underlineColour))
                p.style.underlineColour = 0;
            break;
        case kCHighlight:
            if (n >= 1 && op[0] < 17)
                p.style.backColour = kHighlight[op[0]];
            break;
        case kCShd:
            // Count byte, cvFore, cvBack, ipat: the background is cvBack.
            if (n >= 11 && !Colour(op + 5, p.style.backColour))
                p.style.backColour = 0xFFFFFF;
            break;
        case kCRgFtc0: {
            // The sender's part of the record carries the font's name.
            std::memset(p.style.senderData, 0, sizeof p.style.senderData);
            const std::size_t index = n >= 2 ? Load16(op) : fonts.size();
            if (index < fonts.size()) {
                const std::u16string& name = fonts[index].name;
                const std::size_t units = std::min(name.size(), sizeof p.style.senderData / 2 - 1);
                std::memcpy(p.style.senderData, name.data(), 2 * units);
            }
            break;
        }
        default:
            break;
        }
    }
}

// The UPX of a style that holds character or paragraph properties.
const PropertyList* StyleList(const Std& std, bool character)
{
    const unsigned stk = std.stk();
    std::size_t index = 0;
    if (stk == 1)
        index = character ? 1 : 0;
    else if (stk == 2 && character)
        index = 0;
    else if (stk == 3)
        index = character ? 2 : 1;
    else if (stk == 4 && !character)
        index = 0;
    else
        return nullptr;
    return index < std.upxs.size() ? &std.upxs[index].props : nullptr;
}

unsigned StyleBase(const Std& std) { return Load16(std.base.data() + 2) >> 4; }

// Whether a border record's type names a visible line: byte `at` of each
// of `count` records of `size` bytes from `from` (0 none, 0xFF nil).
bool AnyBorder(const Sprm& s, std::size_t from, std::size_t size, std::size_t count, std::size_t at)
{
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = from + k * size + at;
        if (i < s.operand.size() && s.operand[i] != 0 && s.operand[i] != 0xFF)
            return true;
    }
    return false;
}

} // namespace

// The content walk: the text in character position order, cut wherever the
// piece, the character run or the paragraph changes, each stretch sent
// with its properties.
class WordBinaryFileParser::Walk {
public:
    explicit Walk(const WordBinaryFileParser& doc) : doc_(doc)
    {
        for (const ChpxFkp& page : doc.chpxPages_) {
            for (std::size_t r = 0; r < page.runs(); ++r) {
                const std::size_t list = r < page.runList.size() ? page.runList[r] : r;
                if (page.fcs[r] < page.fcs[r + 1] && list < page.lists.size())
                    chars_.push_back({page.fcs[r], page.fcs[r + 1], &page.lists[list]});
            }
        }
        for (const PapxFkp& page : doc.papxPages_) {
            for (std::size_t r = 0; r < page.runs(); ++r) {
                const std::size_t entry = r < page.runEntry.size() ? page.runEntry[r] : r;
                if (page.fcs[r] < page.fcs[r + 1] && entry < page.entries.size())
                    paras_.push_back({page.fcs[r], page.fcs[r + 1], &page.entries[entry]});
            }
        }
        auto byStart = [](const auto& a, const auto& b) { return a.fcFirst < b.fcFirst; };
        std::stable_sort(chars_.begin(), chars_.end(), byStart);
        std::stable_sort(paras_.begin(), paras_.end(), byStart);
        // For every paragraph, the first row end (the paragraph that holds
        // the row's table properties) at or after it.
        nextRow_.assign(paras_.size() + 1, paras_.size());
        for (std::size_t i = paras_.size(); i-- > 0;)
            nextRow_[i] = IsRowEnd(*paras_[i].entry) ? i : nextRow_[i + 1];

        // The stories in text order: main text, footnotes, headers and
        // footers, comments, endnotes, text boxes. Headers, footers and
        // comments are not shown. Lengths that do not fit the text leave
        // all of it shown.
        const std::uint64_t total = doc.text_.size();
        mainEnd_ = doc.fibLong(kCcpText);
        footnoteEnd_ = mainEnd_ + doc.fibLong(kCcpFtn);
        endnoteStart_ = footnoteEnd_ + doc.fibLong(kCcpHdd) + doc.fibLong(kCcpAtn);
        endnoteEnd_ = endnoteStart_ + doc.fibLong(kCcpEdn);
        const std::uint64_t textBoxEnd = endnoteEnd_ + doc.fibLong(kCcpTxbx);
        if (mainEnd_ == 0 || textBoxEnd > total)
            shown_ = {{0, total}};
        else
            shown_ = {{0, footnoteEnd_}, {endnoteStart_, textBoxEnd}};
    }

    struct Segment {
        std::uint32_t cpFirst = 0;
        std::uint32_t cpLim = 0;
        const PropertyList* chpx = nullptr;   // null: no properties of its own
        std::size_t para = SIZE_MAX;          // index into paras_, SIZE_MAX: none
    };

    // Calls `fn` for every stretch of text with one piece, one character
    // run and one paragraph, in character position order. Each call covers
    // at least one character, so the work is bounded by the text's length.
    template <class Fn>
    void forEachSegment(Fn&& fn) const
    {
        // A piece that reaches back into text already walked (a damaged
        // table) walks only what follows it.
        const Plc<Pcd>& pieces = doc_.clx_.pieces;
        std::uint64_t walked = 0;
        for (std::size_t k = 0; k < pieces.items.size(); ++k) {
            const std::uint64_t first = std::max<std::uint64_t>(pieces.cps[k], walked);
            for (const auto& [shownFirst, shownLim] : shown_) {
                const std::uint64_t cpFirst = std::max(first, shownFirst);
                const std::uint64_t cpLim = std::min<std::uint64_t>(pieces.cps[k + 1], shownLim);
                if (cpFirst < cpLim)
                    pieceSegments(k, cpFirst, cpLim, fn);
            }
            walked = std::max<std::uint64_t>(walked, pieces.cps[k + 1]);
        }
    }

    // The stretches of piece `k` within [cpFirst, cpLim).
    template <class Fn>
    void pieceSegments(std::size_t k, std::uint64_t cpFirst, std::uint64_t cpLim, Fn&& fn) const
    {
        const Plc<Pcd>& pieces = doc_.clx_.pieces;
        const std::uint32_t fc = pieces.items[k].fc;
        const bool compressed = (fc & 0x40000000) != 0;
        const std::uint64_t unit = compressed ? 1 : 2;
        const std::uint64_t fcStart = (compressed ? (fc & 0x3FFFFFFF) / 2 : (fc & 0x3FFFFFFF)) +
                                      (cpFirst - pieces.cps[k]) * unit;
        for (std::uint64_t cp = cpFirst; cp < cpLim;) {
            const std::uint64_t at = fcStart + (cp - cpFirst) * unit;
            std::uint64_t charEnd = 0;
            std::uint64_t paraEnd = 0;
            const std::size_t c = Locate(chars_, at, charEnd);
            const std::size_t p = Locate(paras_, at, paraEnd);
            // Both ends lie past `at`: the stretch holds one character at
            // least.
            const std::uint64_t span = std::min(charEnd, paraEnd) - at;
            const std::uint64_t count = std::min(span / unit + (span % unit != 0), cpLim - cp);
            Segment seg;
            seg.cpFirst = static_cast<std::uint32_t>(cp);
            seg.cpLim = static_cast<std::uint32_t>(cp + count);
            seg.chpx = c < chars_.size() ? chars_[c].props : nullptr;
            seg.para = p < paras_.size() ? p : SIZE_MAX;
            fn(seg);
            cp += count;
        }
    }

    static bool IsPictureRun(const PropertyList* chpx)
    {
        const Sprm* s = chpx ? Find(*chpx, kCPicLocation) : nullptr;
        return s && s->operand.size() == 4;
    }
    static std::uint32_t PictureOffset(const PropertyList& chpx) { return Value(*Find(chpx, kCPicLocation)); }
    // A special character that stands for a field's object (a hyperlink's
    // target) rather than a picture.
    static bool IsObjectRun(const PropertyList* chpx)
    {
        const Sprm* s = chpx ? Find(*chpx, kCFData) : nullptr;
        return s && Value(*s, 1) == 1;
    }

    void emit();

private:
    struct CharRun {
        std::uint64_t fcFirst;
        std::uint64_t fcLim;
        const PropertyList* props;
    };
    struct ParaRun {
        std::uint64_t fcFirst;
        std::uint64_t fcLim;
        const PapxEntry* entry;
    };

    // The run holding `fc` (or the runs' size when none does); `end`
    // receives where that stops holding: the run's end, or the start of
    // the next run.
    template <class Run>
    static std::size_t Locate(const std::vector<Run>& runs, std::uint64_t fc, std::uint64_t& end)
    {
        auto it = std::upper_bound(runs.begin(), runs.end(), fc,
                                   [](std::uint64_t v, const Run& r) { return v < r.fcFirst; });
        end = it == runs.end() ? UINT64_MAX : it->fcFirst;
        if (it != runs.begin() && fc < std::prev(it)->fcLim) {
            end = std::prev(it)->fcLim;
            return static_cast<std::size_t>(std::prev(it) - runs.begin());
        }
        return runs.size();
    }

    // A paragraph sprm from the paragraph's own list or its table
    // properties.
    static const Sprm* ParaSprm(const PapxEntry& e, std::uint16_t code)
    {
        const Sprm* s = Find(e.props, code);
        return s ? s : Find(e.unsaved, code);
    }
    static bool IsRowEnd(const PapxEntry& e)
    {
        const Sprm* ttp = ParaSprm(e, kPFTtp);
        return (ttp && Value(*ttp, 1) != 0) || ParaSprm(e, kTDefTable) != nullptr;
    }
    static bool InTable(const PapxEntry* e)
    {
        if (!e)
            return false;
        const Sprm* in = ParaSprm(*e, kPFInTable);
        const Sprm* depth = ParaSprm(*e, kPItap);
        return (in && Value(*in, 1) != 0) || (depth && Value(*depth) != 0);
    }

    const Std* Style(unsigned istd) const
    {
        const std::vector<Std>& styles = doc_.styles_.styles;
        return istd < styles.size() && !styles[istd].empty ? &styles[istd] : nullptr;
    }
    // The style and its bases, the deepest base first.
    std::vector<const Std*> Chain(unsigned istd) const
    {
        std::vector<const Std*> chain;
        while (istd != kNoStyle && chain.size() < kMaxStyleDepth) {
            const Std* s = Style(istd);
            if (!s || std::find(chain.begin(), chain.end(), s) != chain.end())
                break;
            chain.push_back(s);
            istd = StyleBase(*s);
        }
        std::reverse(chain.begin(), chain.end());
        return chain;
    }
    void ApplyStyle(unsigned istd, CharProps& p) const
    {
        for (const Std* s : Chain(istd)) {
            if (const PropertyList* list = StyleList(*s, true)) {
                const CharProps base = p;
                ApplyChpx(*list, base, doc_.fonts_, p);
            }
        }
    }
    // Properties from the paragraph style and the run's character style,
    // computed once per pair.
    const CharProps& StyleProps(unsigned paraIstd, unsigned charIstd)
    {
        const std::uint32_t key = (paraIstd << 16) | charIstd;
        auto it = styleProps_.find(key);
        if (it != styleProps_.end())
            return it->second;
        CharProps p;
        ApplyStyle(paraIstd, p);
        if (charIstd != kNoStyle)
            ApplyStyle(charIstd, p);
        return styleProps_.emplace(key, p).first->second;
    }
    std::int32_t Alignment(const PapxEntry* e) const
    {
        if (!e)
            return 0;
        const Sprm* jc = ParaSprm(*e, kPJc);
        if (!jc)
            jc = ParaSprm(*e, kPJc80);
        // The paragraph's style first, then its bases.
        const std::vector<const Std*> chain = Chain(e->istd);
        for (auto it = chain.rbegin(); it != chain.rend() && !jc; ++it) {
            if (const PropertyList* list = StyleList(**it, false)) {
                if (const Sprm* found = Find(*list, kPJc))
                    jc = found;
                else if (const Sprm* old = Find(*list, kPJc80))
                    jc = old;
            }
        }
        const std::uint32_t v = jc ? Value(*jc, 1) : 0;
        return v == 0 ? 0 : static_cast<std::int32_t>(v + 1);
    }

    void send(unsigned code, int len = 0, std::uintptr_t arg = 0, const void* data = nullptr)
    {
        doc_.callback_(doc_.user_, data, len, code, arg);
    }
    void flush(std::u16string& text, const RunStyle& style)
    {
        if (text.empty())
            return;
        text.push_back(0);
        send(CE_TEXT_UTF16, 0, reinterpret_cast<std::uintptr_t>(&style), text.data());
        text.clear();
    }
    // The number a note mark shows: in the main text the index of its
    // footnote or endnote reference, in a note story the count of marks so
    // far; 0 elsewhere.
    std::size_t NoteNumber(std::uint32_t cp)
    {
        auto indexIn = [cp](const std::vector<std::uint32_t>& refs) -> std::size_t {
            auto it = std::lower_bound(refs.begin(), refs.end(), cp);
            return it != refs.end() && *it == cp ? static_cast<std::size_t>(it - refs.begin()) + 1 : 0;
        };
        if (cp < mainEnd_) {
            const std::size_t footnote = indexIn(doc_.footnoteRefs_);
            return footnote ? footnote : indexIn(doc_.endnoteRefs_);
        }
        if (cp < footnoteEnd_)
            return ++footnoteMarks_;
        if (cp >= endnoteStart_ && cp < endnoteEnd_)
            return ++endnoteMarks_;
        return 0;
    }
    // The pictures of the `index`-th picture character, with their kinds;
    // a character past the pictures read sends nothing.
    void sendPicture(std::size_t index)
    {
        if (index >= doc_.pictureEntries_.size())
            return;
        for (const StoredPicture& p : doc_.pictures_[doc_.pictureEntries_[index]]) {
            if (p.bytes.size() <= 0x7FFFFFFF)
                send(CE_PICTURE, static_cast<int>(p.bytes.size()), p.kind, p.bytes.data());
        }
    }
    void beginTable(std::size_t para);
    const unsigned char* RowShading(std::size_t para);
    void emitSegment(const Segment& seg);

    const WordBinaryFileParser& doc_;
    std::vector<CharRun> chars_;
    std::vector<ParaRun> paras_;
    std::vector<std::size_t> nextRow_;
    std::map<std::uint32_t, CharProps> styleProps_;
    // Per row end: its cell shading as the typesetter reads it.
    std::map<std::size_t, std::vector<std::uint8_t>> shading_;
    std::uint64_t mainEnd_ = 0;
    std::uint64_t footnoteEnd_ = 0;
    std::uint64_t endnoteStart_ = 0;
    std::uint64_t endnoteEnd_ = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> shown_;
    bool inTable_ = false;
    std::size_t picture_ = 0;
    // Note marks met in the footnote and endnote stories.
    std::size_t footnoteMarks_ = 0;
    std::size_t endnoteMarks_ = 0;
    // Open fields, innermost last: true while in the field's instruction.
    std::vector<bool> fields_;
    std::size_t instructions_ = 0;
};

void WordBinaryFileParser::Walk::beginTable(std::size_t para)
{
    send(CE_LINE_END);
    send(CE_TABLE, TABLE_COLUMN, 0);
    const std::size_t row = para < paras_.size() ? nextRow_[para] : paras_.size();
    std::vector<std::int32_t> widths;
    bool borders = false;
    if (row < paras_.size()) {
        const PapxEntry& e = *paras_[row].entry;
        for (const PropertyList* list : {&e.props, &e.unsaved}) {
            for (const Sprm& s : *list) {
                const std::size_t n = s.operand.size();
                switch (s.sprm) {
                case kTDefTable:
                    // cb (16-bit), the column count, the column edges (one
                    // more than columns), then 20 bytes of cell properties
                    // per column whose four borders' types sit at 5, 9, 13
                    // and 17.
                    if (widths.empty() && n >= 3) {
                        const std::size_t columns = std::min<std::size_t>(s.operand[2], kMaxColumns);
                        const std::size_t edges = 3;
                        for (std::size_t c = 0; c < columns && edges + 2 * c + 4 <= n; ++c) {
                            const auto left = static_cast<std::int16_t>(Load16(s.operand.data() + edges + 2 * c));
                            const auto right =
                                static_cast<std::int16_t>(Load16(s.operand.data() + edges + 2 * c + 2));
                            widths.push_back(right - left);
                        }
                        const std::size_t cells = edges + 2 * (columns + 1);
                        for (std::size_t at : {5, 9, 13, 17})
                            borders = borders || AnyBorder(s, cells, 20, columns, at);
                    }
                    break;
                case kTTableBorders80:
                    borders = borders || AnyBorder(s, 1, 4, 6, 1);
                    break;
                case kTTableBorders:
                    borders = borders || AnyBorder(s, 1, 8, 6, 5);
                    break;
                case kTSetBrc80:
                    borders = borders || AnyBorder(s, 4, 4, 1, 1);
                    break;
                case kTSetBrc:
                    borders = borders || AnyBorder(s, 4, 8, 1, 5);
                    break;
                default:
                    break;
                }
            }
        }
        // Without column edges, the cell widths the row states one by one.
        if (widths.empty()) {
            for (const PropertyList* list : {&e.props, &e.unsaved}) {
                for (const Sprm& s : *list) {
                    if (s.sprm == kTCellWidth && s.operand.size() >= 6 && widths.size() < kMaxColumns)
                        widths.push_back(static_cast<std::int16_t>(Load16(s.operand.data() + 4)));
                }
            }
        }
    }
    send(CE_TABLE, TABLE_BORDERS, borders ? 1 : 0);
    for (std::int32_t w : widths)
        send(CE_TABLE, TABLE_COLUMN, static_cast<std::uintptr_t>(std::max(1, w)));
    inTable_ = true;
}

const unsigned char* WordBinaryFileParser::Walk::RowShading(std::size_t para)
{
    const std::size_t row = para < paras_.size() ? nextRow_[para] : paras_.size();
    if (row >= paras_.size())
        return nullptr;
    auto it = shading_.find(row);
    if (it == shading_.end()) {
        // The operand starts with its length in bytes; the typesetter reads
        // a count of 10-byte column records there instead.
        std::vector<std::uint8_t> rec;
        const Sprm* s = ParaSprm(*paras_[row].entry, kTDefTableShdRaw);
        if (!s)
            s = ParaSprm(*paras_[row].entry, kTDefTableShd);
        if (s && !s->operand.empty()) {
            const std::size_t columns = std::min<std::size_t>((s->operand.size() - 1) / 10, s->operand[0] / 10);
            rec.push_back(static_cast<std::uint8_t>(columns));
            rec.insert(rec.end(), s->operand.begin() + 1, s->operand.begin() + 1 + 10 * columns);
        }
        it = shading_.emplace(row, std::move(rec)).first;
    }
    return it->second.empty() ? nullptr : it->second.data();
}

void WordBinaryFileParser::Walk::emitSegment(const Segment& seg)
{
    const PapxEntry* para = seg.para < paras_.size() ? paras_[seg.para].entry : nullptr;
    const bool inTable = InTable(para);
    if (inTable && !inTable_) {
        beginTable(seg.para);
    } else if (!inTable && inTable_) {
        send(CE_TABLE_END);
        inTable_ = false;
    }

    const Sprm* charStyle = seg.chpx ? Find(*seg.chpx, kCIstd) : nullptr;
    CharProps props = StyleProps(para ? para->istd : 0, charStyle ? Value(*charStyle, 2) : kNoStyle);
    if (seg.chpx) {
        const CharProps base = props;
        ApplyChpx(*seg.chpx, base, doc_.fonts_, props);
    }
    RunStyle& style = props.style;
    style.align = Alignment(para);
    style.cellShading = inTable ? RowShading(seg.para) : nullptr;
    const bool rowEnd = para && IsRowEnd(*para);
    const bool pictures = IsPictureRun(seg.chpx) && !IsObjectRun(seg.chpx);

    std::u16string text;
    for (std::uint32_t cp = seg.cpFirst; cp < seg.cpLim; ++cp) {
        char16_t c = doc_.text_[cp];
        // Field marks: the instruction between begin and separator is not
        // shown, the result after the separator is.
        if (c == kFieldBegin) {
            fields_.push_back(true);
            ++instructions_;
            continue;
        }
        if (c == kFieldSeparator) {
            if (!fields_.empty() && fields_.back()) {
                fields_.back() = false;
                --instructions_;
            }
            continue;
        }
        if (c == kFieldEnd) {
            if (!fields_.empty()) {
                instructions_ -= fields_.back() ? 1 : 0;
                fields_.pop_back();
            }
            continue;
        }
        const bool picture = c == kPictureChar && pictures;
        const std::size_t index = picture ? picture_++ : 0;
        if (instructions_ > 0 || props.vanish)
            continue;
        if (picture) {
            flush(text, style);
            sendPicture(index);
            continue;
        }
        switch (c) {
        case kCellMark:
            flush(text, style);
            if (inTable_)
                send(rowEnd ? CE_ROW_END : CE_NEXT_CELL, 0, reinterpret_cast<std::uintptr_t>(&style));
            continue;
        case 0x09:
            c = u' ';
            break;
        case 0x0C:   // page or section break
            c = 0x0D;
            break;
        case 0x1E:   // non-breaking hyphen
            c = u'-';
            break;
        case kNoteMark:
            // A footnote or endnote reference shows the note's number.
            if (const std::size_t number = NoteNumber(cp)) {
                for (char ch : std::to_string(number))
                    text.push_back(static_cast<char16_t>(ch));
            }
            continue;
        case 0x0A:
        case 0x0B:
        case 0x0D:
            break;
        default:
            // Other control characters mark anchors, notes and optional
            // hyphens: nothing to show.
            if (c < 0x20)
                continue;
            break;
        }
        text.push_back(c);
    }
    flush(text, style);
}

void WordBinaryFileParser::Walk::emit()
{
    if (doc_.chpxPages_.empty() || !doc_.callback_)
        return;
    forEachSegment([this](const Segment& seg) { emitSegment(seg); });
    if (inTable_)
        send(CE_TABLE_END);
}

// --- loading -------------------------------------------------------------------

void WordBinaryFileParser::clear()
{
    CFBParser::clear();
    fibBase_.fill(0);
    fibRgLw_.fill(0);
    fibRgFcLcb_.clear();
    cswNew_ = 0;
    fibRgCswNew_.fill(0);
    wordStream_.clear();
    tableStream_.clear();
    dataStream_.clear();
    clx_ = Clx{};
    bteChpx_ = {};
    btePapx_ = {};
    chpxPages_.clear();
    papxPages_.clear();
    dop_.fill(0);
    styles_ = StyleSheet{};
    assoc_ = Sttb{};
    fontTable_ = Sttb{};
    fonts_.clear();
    sed_ = {};
    sections_.clear();
    fieldsMain_ = {};
    fieldsTextBox_ = {};
    bookmarkStarts_ = {};
    bookmarkEnds_.clear();
    bookmarkNames_ = Sttb{};
    footnoteRefs_.clear();
    endnoteRefs_.clear();
    textBoxes_ = {};
    textBoxBreaks_ = {};
    text_.clear();
    objects_.clear();
    pictureOffsets_.clear();
    pictureEntries_.clear();
    pictures_.clear();
}

bool WordBinaryFileParser::fcLcb(std::size_t index, std::uint32_t& fc, std::uint32_t& lcb) const
{
    if (8 * index + 8 > fibRgFcLcb_.size())
        return false;
    fc = Load32(fibRgFcLcb_.data() + 8 * index);
    lcb = Load32(fibRgFcLcb_.data() + 8 * index + 4);
    return true;
}

bool WordBinaryFileParser::tableBytes(std::size_t index, ByteReader& out) const
{
    std::uint32_t fc = 0;
    std::uint32_t lcb = 0;
    if (!fcLcb(index, fc, lcb) || fc > tableStream_.size() || lcb > tableStream_.size() - fc)
        return false;
    out = ByteReader(tableStream_.data() + fc, lcb);
    return true;
}

std::uint32_t WordBinaryFileParser::fibLong(std::size_t offset) const
{
    return Load32(fibRgLw_.data() + offset);
}

bool WordBinaryFileParser::loadFib()
{
    const int word = findEntry(u"WordDocument");
    if (word < 0 || !readStream(word, wordStream_))
        return false;
    ByteReader in(wordStream_);
    std::uint16_t csw = 0;
    std::uint16_t cslw = 0;
    std::uint16_t cbRgFcLcb = 0;
    if (!in.bytes(fibBase_.data(), fibBase_.size()) || Load16(fibBase_.data()) != kWordMagic)
        return false;
    const std::uint16_t nFib = Load16(fibBase_.data() + 2);
    const std::uint16_t flags = Load16(fibBase_.data() + 10);
    if (nFib < kFirstWord97Fib || (flags & kFlagEncrypted))
        return false;
    // csw words of FibRgW97, cslw longs of FibRgLw97 (the story lengths),
    // then the fc/lcb pairs.
    if (!in.u16(csw) || !in.skip(2 * std::size_t{csw}) || !in.u16(cslw))
        return false;
    ByteReader lw;
    if (!in.take(4 * std::size_t{cslw}, lw))
        return false;
    lw.bytes(fibRgLw_.data(), std::min(lw.left(), fibRgLw_.size()));
    if (!in.u16(cbRgFcLcb))
        return false;
    const std::size_t pairs = std::min<std::size_t>(8 * std::size_t{cbRgFcLcb}, kMaxFcLcbBytes);
    if (!in.append(fibRgFcLcb_, pairs))
        return false;
    if (in.u16(cswNew_) && cswNew_ != 0)
        in.bytes(fibRgCswNew_.data(), std::min<std::size_t>(2 * std::size_t{cswNew_}, kMaxCswNewBytes));

    const int table = findEntry((flags & kFlagTable1) ? u"1Table" : u"0Table");
    if (table < 0 || !readStream(table, tableStream_))
        return false;
    // The "Data" stream holds pictures and field objects; a document
    // without them has none.
    const int data = findEntry(u"Data");
    if (data >= 0)
        readStream(data, dataStream_);
    return true;
}

bool WordBinaryFileParser::loadPieceTable()
{
    ByteReader in;
    return tableBytes(kPairClx, in) && readClx(in, clx_);
}

bool WordBinaryFileParser::loadPages()
{
    ByteReader papx;
    ByteReader chpx;
    bool ok = tableBytes(kPairPlcfBtePapx, papx) && readPlc4(papx, btePapx_);
    ok = tableBytes(kPairPlcfBteChpx, chpx) && readPlc4(chpx, bteChpx_) && ok;
    // A page that lies outside the stream or cannot be read is left out:
    // its text keeps the properties of its styles.
    auto page = [this](std::uint32_t pn) -> const std::uint8_t* {
        const std::uint64_t at = std::uint64_t{pn & 0x3FFFFF} * kFkpSize;
        return at + kFkpSize <= wordStream_.size() ? wordStream_.data() + at : nullptr;
    };
    for (const Elem4& pn : btePapx_.items) {
        PapxFkp fkp;
        const std::uint8_t* p = page(pn.value);
        if (p && readPapxFkp(p, fkp))
            papxPages_.push_back(std::move(fkp));
        else
            ok = false;
    }
    for (const Elem4& pn : bteChpx_.items) {
        ChpxFkp fkp;
        const std::uint8_t* p = page(pn.value);
        if (p && readChpxFkp(p, fkp))
            chpxPages_.push_back(std::move(fkp));
        else
            ok = false;
    }
    return ok;
}

bool WordBinaryFileParser::loadDop()
{
    std::size_t size = 500;
    if (cswNew_ != 0) {
        switch (Load16(fibRgCswNew_.data())) {
        case 0x00D9:
            size = 544;
            break;
        case 0x0101:
            size = 594;
            break;
        case 0x010C:
            size = 616;
            break;
        case 0x0112:
            size = 674;
            break;
        default:
            size = 0;
            break;
        }
    }
    ByteReader in;
    if (!tableBytes(kPairDop, in))
        return false;
    in.bytes(dop_.data(), std::min(in.left(), size));
    return true;
}

bool WordBinaryFileParser::loadStyles()
{
    ByteReader stsh;
    ByteReader assoc;
    bool ok = tableBytes(kPairStshf, stsh) && stsh.left() != 0 && readStsh(stsh, styles_);
    if (!ok)
        styles_ = StyleSheet{};
    return tableBytes(kPairSttbfAssoc, assoc) && readSttbW(assoc, assoc_) && ok;
}

bool WordBinaryFileParser::loadFonts()
{
    ByteReader in;
    if (!tableBytes(kPairSttbfFfn, in))
        return false;
    if (in.left() == 0)
        return true;
    if (!readSttb(in, fontTable_))
        return false;
    // Every entry keeps its index; one that does not read has no name.
    for (const SttbEntry& e : fontTable_.entries) {
        Ffn ffn;
        if (!readFfn(ByteReader(reinterpret_cast<const std::uint8_t*>(e.bytes.data()), e.bytes.size()), ffn))
            ffn = Ffn{};
        fonts_.push_back(std::move(ffn));
    }
    return true;
}

bool WordBinaryFileParser::loadSections()
{
    ByteReader in;
    if (!tableBytes(kPairPlcfSed, in))
        return false;
    if (in.left() == 0)
        return true;
    if (!readPlcfSed(in, sed_))
        return false;
    bool ok = true;
    for (const Sed& sed : sed_.items) {
        // 0xFFFFFFFF: a section with the default properties.
        PropertyList sepx;
        if (sed.fcSepx != 0xFFFFFFFF) {
            ByteReader whole(wordStream_);
            if (!whole.skip(sed.fcSepx) || !readSepx(whole, sepx))
                ok = false;
        }
        sections_.push_back(std::move(sepx));
    }
    return ok;
}

bool WordBinaryFileParser::loadFieldsAndBookmarks()
{
    bool ok = true;
    auto optional = [&](std::size_t pair, auto&& read) {
        ByteReader in;
        if (!tableBytes(pair, in))
            ok = false;
        else if (in.left() != 0 && !read(in))
            ok = false;
    };
    optional(kPairPlcfFldMom, [&](ByteReader& in) { return readPlcFld(in, fieldsMain_); });
    optional(kPairPlcfFldTxbx, [&](ByteReader& in) { return readPlcFld(in, fieldsTextBox_); });
    optional(kPairPlcfBkf, [&](ByteReader& in) { return readPlc4(in, bookmarkStarts_); });
    optional(kPairPlcfBkl, [&](ByteReader& in) {
        std::uint32_t cp = 0;
        while (in.u32(cp))
            bookmarkEnds_.push_back(cp);
        return true;
    });
    optional(kPairSttbfBkmk, [&](ByteReader& in) { return readSttbW(in, bookmarkNames_); });
    // Note references: CPs followed by 2-byte elements; only the CPs count.
    auto refs = [](std::vector<std::uint32_t>& out) {
        return [&out](ByteReader& in) {
            if (in.left() < 4)
                return false;
            const std::size_t n = (in.left() - 4) / 6;
            std::uint32_t cp = 0;
            for (std::size_t i = 0; i < n && in.u32(cp); ++i)
                out.push_back(cp);
            std::sort(out.begin(), out.end());
            return true;
        };
    };
    optional(kPairPlcffndRef, refs(footnoteRefs_));
    optional(kPairPlcfendRef, refs(endnoteRefs_));
    return ok;
}

bool WordBinaryFileParser::loadTextBoxes()
{
    bool ok = true;
    ByteReader in;
    if (!tableBytes(kPairPlcftxbxTxt, in) || (in.left() != 0 && !readPlcftxbxTxt(in, textBoxes_)))
        ok = false;
    if (!tableBytes(kPairPlcfTxbxBkd, in) || (in.left() != 0 && !readPlcfTxbxBkd(in, textBoxBreaks_)))
        ok = false;
    return ok;
}

bool WordBinaryFileParser::loadText()
{
    // Every character takes at least one byte of the stream: more
    // characters than that mean a damaged piece table.
    const std::uint64_t limit = wordStream_.size();
    const Plc<Pcd>& pieces = clx_.pieces;
    for (std::size_t k = 0; k < pieces.items.size(); ++k) {
        // Pieces follow each other from position 0; where they do not, the
        // text ends.
        const std::uint64_t cpFirst = pieces.cps[k];
        const std::uint64_t cpLim = pieces.cps[k + 1];
        if (cpFirst != text_.size() || cpLim < cpFirst || cpLim > limit)
            return false;
        const std::uint32_t fc = pieces.items[k].fc;
        const std::uint64_t count = cpLim - cpFirst;
        if (fc & 0x40000000) {
            // 8-bit text: one byte of code page 1252 per character.
            const std::uint64_t at = (fc & 0x3FFFFFFF) / 2;
            for (std::uint64_t i = 0; i < count; ++i)
                text_.push_back(at + i < wordStream_.size() ? Cp1252ToUtf16(wordStream_[at + i]) : u'\0');
        } else {
            const std::uint64_t at = fc & 0x3FFFFFFF;
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint64_t b = at + 2 * i;
                text_.push_back(b + 2 <= wordStream_.size() ? static_cast<char16_t>(Load16(wordStream_.data() + b))
                                                            : u'\0');
            }
        }
    }
    return true;
}

bool WordBinaryFileParser::loadObjectsAndPictures()
{
    const std::uint32_t ccpText = fibLong(kCcpText);
    const std::uint64_t txbxStart = std::uint64_t{ccpText} + fibLong(kCcpFtn) + fibLong(kCcpHdd) +
                                    fibLong(kCcpAtn) + fibLong(kCcpEdn);
    const std::uint64_t txbxEnd = txbxStart + fibLong(kCcpTxbx);
    // The kind of the field that holds a character: the nearest field
    // begin at or before it in the fields of its story.
    auto fieldKind = [&](std::uint32_t cp) -> std::uint8_t {
        const Plc<Fld>* plc = nullptr;
        std::uint64_t rel = cp;
        if (cp < ccpText) {
            plc = &fieldsMain_;
        } else if (cp >= txbxStart && cp < txbxEnd) {
            plc = &fieldsTextBox_;
            rel = cp - txbxStart;
        }
        if (!plc || plc->items.empty())
            return 255;
        auto it = std::upper_bound(plc->cps.begin(), plc->cps.end() - 1, rel);
        if (it == plc->cps.begin())
            return 255;
        for (std::size_t i = static_cast<std::size_t>(it - plc->cps.begin()); i-- > 0;) {
            if (plc->items[i].ch == kFieldBegin)
                return plc->items[i].flt;
        }
        return 255;
    };

    Walk walk(*this);
    walk.forEachSegment([&](const Walk::Segment& seg) {
        if (!Walk::IsPictureRun(seg.chpx))
            return;
        const bool object = Walk::IsObjectRun(seg.chpx);
        const std::uint32_t offset = Walk::PictureOffset(*seg.chpx);
        for (std::uint32_t cp = seg.cpFirst; cp < seg.cpLim; ++cp) {
            if (text_[cp] != kPictureChar)
                continue;
            if (!object) {
                pictureOffsets_.push_back(offset);
                continue;
            }
            WordObjectEntry e;
            e.fieldKind = fieldKind(cp);
            e.offset = offset;
            if (e.fieldKind != 255)
                objects_.push_back(std::move(e));
        }
    });
    bool ok = true;
    // Each picture entry is read once, however many characters point to it.
    // Entries of a sound file do not overlap, so together they are no
    // longer than the "Data" stream: entries past that length (nested in
    // each other, say) are not read, which bounds the work and the memory.
    std::map<std::uint32_t, std::uint32_t> read;
    std::uint64_t budget = dataStream_.size();
    for (const std::uint32_t offset : pictureOffsets_) {
        auto [it, added] = read.emplace(offset, static_cast<std::uint32_t>(pictures_.size()));
        pictureEntries_.push_back(it->second);
        if (!added)
            continue;
        // An entry that does not read keeps its place (empty, or with the
        // blips read before the damage), so later pictures stay with their
        // characters.
        std::vector<StoredPicture> found;
        const std::uint32_t lcb =
            std::uint64_t{offset} + 4 <= dataStream_.size() ? Load32(dataStream_.data() + offset) : 0;
        PictureEntry entry;
        if (lcb > budget || !readPictureEntry(dataStream_, offset, entry))
            ok = false;
        budget -= std::min<std::uint64_t>(lcb, budget);
        for (const BStoreEntry& blip : entry.blips) {
            StoredPicture p;
            if (StoredPictureOf(blip, p))
                found.push_back(std::move(p));
        }
        pictures_.push_back(std::move(found));
    }
    for (WordObjectEntry& e : objects_) {
        ByteReader in(dataStream_);
        if (!in.skip(e.offset) || !readHyperlinkData(in, e.fieldKind, e.data))
            ok = false;
    }
    return ok;
}

bool WordBinaryFileParser::loadTableProperties()
{
    // Properties kept in the "Data" stream (a 16-bit length, then sprms)
    // join the paragraph's table-properties list.
    bool ok = true;
    for (PapxFkp& page : papxPages_) {
        for (PapxEntry& e : page.entries) {
            for (const Sprm& s : e.props) {
                if ((s.sprm != kPTableProps && s.sprm != kPHugePapx) || s.operand.size() != 4)
                    continue;
                ByteReader in(dataStream_);
                std::uint16_t cb = 0;
                ByteReader list;
                PropertyList props;
                if (!in.skip(Value(s)) || !in.u16(cb) || !in.take(cb, list) || !readPropertyList(list, props))
                    ok = false;
                e.unsaved.insert(e.unsaved.end(), props.begin(), props.end());
            }
        }
    }
    return ok;
}

bool WordBinaryFileParser::load()
{
    if (!CFBParser::load() || !loadFib())
        return false;
    // Each table that fails loses what it holds; the text is read in any
    // case.
    bool ok = loadPieceTable();
    ok = loadPages() && ok;
    ok = loadDop() && ok;
    ok = loadStyles() && ok;
    ok = loadFonts() && ok;
    ok = loadSections() && ok;
    ok = loadFieldsAndBookmarks() && ok;
    ok = loadTextBoxes() && ok;
    ok = loadText() && ok;
    ok = loadObjectsAndPictures() && ok;
    ok = loadTableProperties() && ok;
    return ok;
}

void WordBinaryFileParser::emitWordContent()
{
    Walk walk(*this);
    walk.emit();
}

} // namespace scrivlet
