#include "wordlib/docbuilder.h"

#include "engine/layout/safemath.h"
#include "engine/layout/utf8.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_map>

namespace scrivlet {

namespace {

constexpr char16_t kParagraphMark = 0x0D;
constexpr char16_t kPageBreak = 0x0C;
constexpr char16_t kAnchorChar = 0x08;
constexpr char16_t kObjectChar = 0x01;
constexpr char16_t kFieldBegin = 0x13;
constexpr char16_t kFieldSeparator = 0x14;
constexpr char16_t kFieldEnd = 0x15;

// Word's largest exact line height, in twips.
constexpr int kMaxLineHeight = 31679;
// Character sizes Word takes, in half-points.
constexpr int kMinHps = 2;
constexpr int kMaxHps = 3276;
// Text boxes are this much wider and higher than their lines, so that the
// lines never wrap inside them.
constexpr int kBoxExtraWidth = 400;
constexpr int kBoxExtraHeight = 72;
// A gap between two runs of a line at least this part of the run's height
// separates words.
constexpr double kWordGap = 0.1;
// Anchors: no wrapping, positioned relative to the page margins (which are
// 0, so relative to the page).
constexpr std::uint16_t kAnchorFlags = 0x0060;
// The text can address this many characters (CPs are signed 32-bit).
constexpr std::size_t kMaxText = 0x7FFFFFF0;

void Put16(std::vector<std::uint8_t>& v, std::uint16_t x)
{
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<std::uint8_t>((x >> (8 * i)) & 0xFF));
}

Sprm S8(std::uint16_t code, std::uint8_t value)
{
    return Sprm{code, {value}};
}

Sprm S16(std::uint16_t code, std::uint16_t value)
{
    Sprm s{code, {}};
    Put16(s.operand, value);
    return s;
}

Sprm S32(std::uint16_t code, std::uint32_t value)
{
    Sprm s{code, {}};
    Put32(s.operand, value);
    return s;
}

int Whole(double v)
{
    return safemath::Trunc(v);
}

std::int16_t Clamp16(int v)
{
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

// A run as the line writer sees it: relative to the box it is written into.
struct Placed {
    const TextRun* run;
    double x, top;
};

// A property list as bytes (code, operand length, operand of each sprm):
// equal lists have equal keys.
void AppendKey(std::string& key, const PropertyList& props)
{
    for (const Sprm& s : props) {
        key.push_back(static_cast<char>(s.sprm & 0xFF));
        key.push_back(static_cast<char>(s.sprm >> 8));
        const auto n = static_cast<std::uint32_t>(s.operand.size());
        key.append(reinterpret_cast<const char*>(&n), sizeof n);
        key.append(s.operand.begin(), s.operand.end());
    }
}

std::u16string Escaped(const std::u16string& s);

} // namespace

class Builder {
public:
    explicit Builder(BuiltDocument& doc) : doc_(doc) {}

    void beginSection(double width, double height);
    void addPage(PageEntry page);
    bool finish(std::string& why);

private:
    std::uint32_t cp() const { return static_cast<std::uint32_t>(doc_.text.size()); }
    void append(char16_t c) { doc_.text.push_back(c); }
    void append(const std::u16string& s) { doc_.text += s; }
    // Runs and paragraphs that end where the previous one ended are empty
    // and left out; equal property lists are stored once.
    std::uint32_t intern(const PropertyList& props)
    {
        key_.clear();
        AppendKey(key_, props);
        const auto [it, added] = runIndex_.try_emplace(key_, static_cast<std::uint32_t>(doc_.runLists.size()));
        if (added)
            doc_.runLists.push_back(props);
        return it->second;
    }
    void closeRunAt(std::uint32_t list)
    {
        if (cp() <= lastRunEnd_)
            return;
        lastRunEnd_ = cp();
        doc_.runs.push_back(ClosedRun{cp(), list});
    }
    void closeRun(const PropertyList& props = {})
    {
        if (cp() > lastRunEnd_)
            closeRunAt(intern(props));
    }
    void closeParagraph(const PropertyList& props = {})
    {
        closeRun();
        if (cp() <= lastParagraphEnd_)
            return;
        lastParagraphEnd_ = cp();
        key_.clear();
        AppendKey(key_, props);
        const auto [it, added] =
            paragraphIndex_.try_emplace(key_, static_cast<std::uint32_t>(doc_.paragraphEntries.size()));
        if (added) {
            PapxEntry entry;
            entry.props = props;
            doc_.paragraphEntries.push_back(std::move(entry));
        }
        doc_.paragraphs.push_back(ClosedParagraph{cp(), it->second});
    }

    // The property lists of the runs of one style (font, size, flags,
    // colour), made once: the list itself, and by gap the lists of a run
    // widened by a narrow gap and of the spaces fitted to a wide one.
    static constexpr std::uint32_t kNoList = 0xFFFFFFFF;
    struct StyleLists {
        PropertyList props;
        std::uint32_t plain = kNoList;
        std::unordered_map<int, std::uint32_t> widened, fitted;
    };
    StyleLists& styleOf(const TextRun& run);
    std::uint32_t plainList(StyleLists& style);

    void collectFontsAndBookmarks(const PageLines& page);
    int fontIndex(const std::string& name) const;
    // Ends the page written last: a page break, or for the document's last
    // page its closing paragraph mark.
    void endPage(bool last);
    void endSection(bool last);
    void writePage(const PageEntry& page, const PageLines& lines, int limit);
    void writeLine(const Line& line, double originX, double originTop, int& prevBottom, int limit);
    void writeRun(const TextRun& run, int gap);
    void writeText(const TextRun& run, int gap, StyleLists& style);
    void beginField(const TextRun& run);
    void endField(const PropertyList& props);
    PropertyList runProperties(const TextRun& run) const;
    Plc<Fld>& fields() { return pastMain_ ? doc_.fieldsTxbx : doc_.fieldsMain; }
    std::uint32_t fieldCp() const { return pastMain_ ? cp() - doc_.ccpText : cp(); }
    void writeStories();
    void addStoryEntry(std::size_t first, ShapeRequest& request);

    BuiltDocument& doc_;
    std::map<int, std::u16string> bookmarkOfPage_;
    std::vector<std::uint32_t> pageStarts_;   // CP at the start of each page
    int pageCounter_ = 0;
    bool pastMain_ = false;
    std::size_t storyCount_ = 0;
    bool sectionOpen_ = false;
    int sectionPages_ = 0;
    int limit_ = 0;   // the section's page height in twips
    std::uint32_t lastRunEnd_ = 0, lastParagraphEnd_ = 0;
    std::string key_;
    std::unordered_map<std::string, std::uint32_t> runIndex_, paragraphIndex_;
    std::unordered_map<std::string, int> fontIndex_;
    std::unordered_map<std::uint64_t, StyleLists> styles_;
};

int Builder::fontIndex(const std::string& name) const
{
    const auto it = fontIndex_.find(name);
    return it == fontIndex_.end() ? 0 : it->second;
}

// Gives every font of the page's runs its index in the font table, in the
// order of first use, and every page that a link of the page points to its
// bookmark, in the same order.
void Builder::collectFontsAndBookmarks(const PageLines& page)
{
    auto visit = [&](const TextRun* r) {
        if (fontIndex_.try_emplace(r->fontName, static_cast<int>(doc_.fonts.size())).second)
            doc_.fonts.push_back(r->fontName);
        if (!r->hasLink)
            return;
        doc_.links = true;
        if (r->linkKind == 0 && r->linkPage >= 0 && !bookmarkOfPage_.count(r->linkPage)) {
            const std::string name = "bm" + std::to_string(bookmarkOfPage_.size());
            bookmarkOfPage_[r->linkPage] = utf8::ToUtf16(name);
        }
    };
    for (const auto* groups : {&page.flow, &page.boxes}) {
        for (const LineGroup& g : *groups) {
            for (const Line& l : g.lines) {
                visit(l.head);
                for (const TextRun* r : l.joined)
                    visit(r);
            }
        }
    }
}

PropertyList Builder::runProperties(const TextRun& run) const
{
    const auto font = static_cast<std::uint16_t>(fontIndex(run.fontName));
    PropertyList p;
    p.push_back(S16(sprms::kCRgFtc0, font));
    p.push_back(S16(sprms::kCRgFtc1, font));
    p.push_back(S16(sprms::kCHps, static_cast<std::uint16_t>(std::clamp(Whole(run.fontSize), kMinHps, kMaxHps))));
    if (run.bold)
        p.push_back(S8(sprms::kCFBold, 1));
    if (run.italic)
        p.push_back(S8(sprms::kCFItalic, 1));
    if (run.underline)
        p.push_back(S8(sprms::kCKul, 1));
    const std::uint32_t cv = run.color.r | (run.color.g << 8) | (run.color.b << 16);
    p.push_back(S32(sprms::kCCv, cv));
    if (run.underline)
        p.push_back(S32(sprms::kCCvUl, cv));
    return p;
}

namespace {

std::u16string Escaped(const std::u16string& s)
{
    std::u16string out;
    for (char16_t c : s) {
        if (c == u'"' || c == u'\\')
            out.push_back(u'\\');
        out.push_back(c);
    }
    return out;
}

} // namespace

void Builder::beginField(const TextRun& run)
{
    HyperlinkTarget target;
    if (run.linkKind == 0) {
        target.bookmark = true;
        const auto it = bookmarkOfPage_.find(run.linkPage);
        if (it != bookmarkOfPage_.end())
            target.target = it->second;
    } else {
        target.target = run.linkAddress;
    }
    const auto index = static_cast<std::uint32_t>(doc_.hyperlinks.size());
    doc_.hyperlinks.push_back(target);

    fields().cps.push_back(fieldCp());
    append(kFieldBegin);
    closeRun({S8(sprms::kCFSpec, 1)});
    append(HyperlinkInstruction(target));
    closeRun();
    append(kObjectChar);
    closeRun({S32(sprms::kCPicLocation, index), S8(sprms::kCFData, 1), S8(sprms::kCFSpec, 1),
              S8(sprms::kCFFldVanish, 1)});
    fields().cps.push_back(fieldCp());
    append(kFieldSeparator);
    closeRun({S8(sprms::kCFSpec, 1)});
    fields().items.push_back(Fld{0x13, 0x58});
    fields().items.push_back(Fld{0x14, 0xFF});
    fields().items.push_back(Fld{0x15, 0x80});
}

void Builder::endField(const PropertyList& props)
{
    fields().cps.push_back(fieldCp());
    append(kFieldEnd);
    PropertyList p = props;
    p.push_back(S8(sprms::kCFSpec, 1));
    closeRun(p);
}

Builder::StyleLists& Builder::styleOf(const TextRun& run)
{
    // Everything runProperties reads, packed: colour 24 bits, three flags,
    // size 12 bits (at most kMaxHps), the font index above.
    const auto hps = static_cast<std::uint64_t>(std::clamp(Whole(run.fontSize), kMinHps, kMaxHps));
    const std::uint64_t cv = run.color.r | (run.color.g << 8) | (run.color.b << 16);
    const std::uint64_t flags = (run.bold ? 1u : 0u) | (run.italic ? 2u : 0u) | (run.underline ? 4u : 0u);
    const auto font = static_cast<std::uint64_t>(static_cast<std::uint16_t>(fontIndex(run.fontName)));
    const std::uint64_t key = (font << 39) | (hps << 27) | (flags << 24) | cv;
    StyleLists& style = styles_[key];
    if (style.props.empty())
        style.props = runProperties(run);
    return style;
}

std::uint32_t Builder::plainList(StyleLists& style)
{
    if (style.plain == kNoList)
        style.plain = intern(style.props);
    return style.plain;
}

void Builder::writeText(const TextRun& run, int gap, StyleLists& style)
{
    const std::u16string& text = run.wideText;
    if (gap <= 0 || text.empty()) {
        append(text);
        closeRunAt(plainList(style));
        return;
    }
    // A gap narrower than a tenth of the run's height joins two runs of
    // one word (a change of style inside it): the last character is
    // widened by it. A wider gap separates words: it becomes spaces, one
    // for every 100 twips (at least one), fitted to the gap's width, so
    // that the text keeps its words apart.
    if (gap < std::max(1, Whole(run.height * kWordGap))) {
        if (text.size() > 1) {
            doc_.text.append(text, 0, text.size() - 1);
            closeRunAt(plainList(style));
        }
        append(text.back());
        const auto [it, added] = style.widened.try_emplace(gap, kNoList);
        if (added) {
            PropertyList last = style.props;
            last.push_back(S16(sprms::kCDxaSpace, static_cast<std::uint16_t>(Clamp16(gap / 2))));
            it->second = intern(last);
        }
        closeRunAt(it->second);
        return;
    }
    append(text);
    closeRunAt(plainList(style));
    const int spaces = std::max(1, gap / 100);
    doc_.text.append(static_cast<std::size_t>(spaces), u' ');
    const auto [it, added] = style.fitted.try_emplace(gap, kNoList);
    if (added) {
        PropertyList fitted;
        for (const Sprm& s : style.props) {
            if (s.sprm != sprms::kCKul && s.sprm != sprms::kCCvUl)
                fitted.push_back(s);
        }
        Sprm fit{sprms::kCFitText, {8}};
        Put32(fit.operand, static_cast<std::uint32_t>(gap));
        Put32(fit.operand, 0);
        fitted.push_back(fit);
        it->second = intern(fitted);
    }
    closeRunAt(it->second);
}

void Builder::writeRun(const TextRun& run, int gap)
{
    StyleLists& style = styleOf(run);
    if (run.hasLink)
        beginField(run);
    writeText(run, gap, style);
    if (run.hasLink)
        endField(style.props);
}

void Builder::writeLine(const Line& line, double originX, double originTop, int& prevBottom, int limit)
{
    const TextRun& head = *line.head;
    const int top = Whole(head.top - originTop);
    const int bottom = Whole(head.top - originTop + head.height);
    const int gap = top - prevBottom;
    // Lines that overlap the line before, or reach the page's end, are left
    // out of the column.
    if (gap < 0 || (limit >= 0 && bottom >= limit))
        return;
    prevBottom = bottom;

    int h = Whole(head.height);
    if (h <= 0)
        h = 1;
    h = std::min(h, kMaxLineHeight);
    const int blanks = h < gap ? gap / h : 0;
    const int rest = h < gap ? gap % h : gap;

    // The line starts at its own indent (a first-line indent, never added
    // to a left indent).
    const int x = Whole(head.x - originX);
    const std::uint16_t indent = static_cast<std::uint16_t>(x > 0 ? Clamp16(x) : 0);
    PropertyList para;
    para.push_back(S8(sprms::kPJc, 0));
    para.push_back(S8(sprms::kPJc80, 0));
    para.push_back(S16(sprms::kPDxaLeft180, indent));
    para.push_back(S16(sprms::kPDxaLeft1, indent));
    // An exact line height is stored as its negative.
    Sprm line16{sprms::kPDyaLine, {}};
    Put16(line16.operand, static_cast<std::uint16_t>(0x10000 - h));
    Put16(line16.operand, 0);
    para.push_back(line16);
    if (rest > 0)
        para.push_back(S16(sprms::kPDyaBefore, static_cast<std::uint16_t>(Clamp16(rest))));
    para.push_back(S8(sprms::kPFWidowControl, 1));

    // The blank lines are paragraphs of their own, exactly h high and
    // without the space before: only the line itself gets the rest of the
    // gap, so the gap is blanks x h + rest, whatever the number of blanks.
    if (blanks > 0) {
        append(std::u16string(static_cast<std::size_t>(blanks), kParagraphMark));
        PropertyList blank;
        blank.push_back(line16);
        closeParagraph(blank);
    }
    auto right = [](const TextRun* r) { return r->x + r->width; };
    if (line.joined.empty()) {
        writeRun(head, 0);
    } else {
        writeRun(head, Whole(line.joined.front()->x - right(&head)));
        for (std::size_t i = 0; i < line.joined.size(); ++i) {
            const TextRun* r = line.joined[i];
            const int g = i + 1 < line.joined.size() ? Whole(line.joined[i + 1]->x - right(r)) : 0;
            writeRun(*r, g);
        }
    }
    append(kParagraphMark);
    closeParagraph(para);
}

void Builder::writePage(const PageEntry& page, const PageLines& lines, int limit)
{
    // A link may point at a page before its own: the bookmarks are made
    // at the end from the pages' starts.
    pageStarts_.push_back(cp());

    bool anchors = false;
    auto anchor = [&](int left, int top, int right, int bottom, ShapeRequest request) {
        doc_.anchors.cps.push_back(cp());
        append(kAnchorChar);
        Fspa f;
        f.xaLeft = left;
        f.yaTop = top;
        f.xaRight = right;
        f.yaBottom = bottom;
        f.flags = kAnchorFlags;
        request.anchor = doc_.anchors.items.size();
        doc_.anchors.items.push_back(f);
        doc_.shapes.push_back(request);
        doc_.drawings = true;
        anchors = true;
    };
    for (const LineGroup& box : lines.boxes) {
        ShapeRequest r;
        r.kind = ShapeRequest::TextBox;
        r.box = &box;
        anchor(Whole(box.x), Whole(box.top), Whole(box.x + box.width) + kBoxExtraWidth,
               Whole(box.top + box.height) + kBoxExtraHeight, r);
        doc_.hasTextBoxes = true;
    }
    for (const Picture& pic : page.pictures) {
        ShapeRequest r;
        r.kind = ShapeRequest::PictureBox;
        r.picture = doc_.pictures.size();
        doc_.pictures.push_back(BoxPicture{pic.path, Whole(pic.width), Whole(pic.height)});
        anchor(Whole(pic.x), Whole(pic.top), Whole(pic.x + pic.width), Whole(pic.top + pic.height), r);
        doc_.hasTextBoxes = true;
        doc_.hasPictures = true;
    }
    for (const GraphicGroup& g : page.graphics) {
        for (const PathShape& path : g.paths) {
            int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
            for (const Vertex& v : path.vertices) {
                if (v.kind == kVertexEnd)
                    continue;
                left = std::min(left, int{v.x});
                top = std::min(top, int{v.y});
                right = std::max(right, int{v.x});
                bottom = std::max(bottom, int{v.y});
            }
            if (left > right)
                continue;   // a path without points draws nothing
            // A level or upright line has an empty box; the shape keeps a
            // size of at least one twip, so that nothing scales by zero.
            right = std::max(right, left + 1);
            bottom = std::max(bottom, top + 1);
            ShapeRequest r;
            r.kind = ShapeRequest::Path;
            r.group = &g;
            r.path = &path;
            r.left = left;
            r.top = top;
            r.right = right;
            r.bottom = bottom;
            anchor(left, top, right, bottom, r);
        }
    }
    for (const RotatedRun& rr : page.rotated) {
        ShapeRequest r;
        r.kind = ShapeRequest::RotatedText;
        r.rotated = &rr;
        anchor(rr.anchorLeft, rr.anchorTop, rr.anchorRight, rr.anchorBottom, r);
    }
    if (anchors)
        closeRun({S8(sprms::kCFSpec, 1)});

    int prevBottom = 0;
    for (const LineGroup& g : lines.flow) {
        for (const Line& l : g.lines)
            writeLine(l, 0, 0, prevBottom, limit);
    }
    if (lines.flow.empty()) {
        append(kParagraphMark);
        closeParagraph();
    }
    ++pageCounter_;
}

void Builder::endPage(bool last)
{
    // Pages are separated by page breaks; the last page of the document
    // ends with its paragraph mark, so no empty page follows it.
    if (!last) {
        append(kPageBreak);
        closeParagraph();
    } else if (doc_.text.empty() || doc_.text.back() != kParagraphMark) {
        append(kParagraphMark);
        closeParagraph();
    }
}

void Builder::beginSection(double width, double height)
{
    if (sectionOpen_)
        endSection(false);
    if (doc_.sections.cps.empty())
        doc_.sections.cps.push_back(0);
    PropertyList sep;
    for (std::uint16_t code : {sprms::kSDxaLeft, sprms::kSDyaTop, sprms::kSDxaRight, sprms::kSDyaBottom,
                               sprms::kSDyaHdrTop, sprms::kSDyaHdrBottom})
        sep.push_back(S16(code, 0));
    sep.push_back(S16(sprms::kSXaPage, static_cast<std::uint16_t>(std::clamp(Whole(width), 0, 0xFFFF))));
    sep.push_back(S16(sprms::kSYaPage, static_cast<std::uint16_t>(std::clamp(Whole(height), 0, 0xFFFF))));
    doc_.sectionProps.push_back(std::move(sep));
    limit_ = std::max(0, Whole(height));
    sectionOpen_ = true;
    sectionPages_ = 0;
}

void Builder::endSection(bool last)
{
    if (sectionPages_ == 0) {
        append(last ? kParagraphMark : kPageBreak);
        closeParagraph();
    } else {
        endPage(last);
    }
    doc_.sections.cps.push_back(cp());
    doc_.sections.items.push_back(Sed{});
    sectionOpen_ = false;
}

void Builder::addPage(PageEntry page)
{
    if (!sectionOpen_)
        beginSection(0, 0);
    if (sectionPages_ > 0)
        endPage(false);
    auto kept = std::make_unique<KeptPage>();
    kept->page = std::move(page);
    kept->lines = ExtractLines(kept->page);
    collectFontsAndBookmarks(kept->lines);
    writePage(kept->page, kept->lines, limit_);
    ++sectionPages_;
    if (!kept->lines.boxes.empty() || !kept->page.graphics.empty() || !kept->page.rotated.empty())
        doc_.kept.push_back(std::move(kept));
}

void Builder::addStoryEntry(std::size_t first, ShapeRequest& request)
{
    const auto at = static_cast<std::uint32_t>(first - doc_.ccpText);
    doc_.textBoxes.cps.push_back(at);
    Ftxbxs f;
    f.cTxbx = 1;
    doc_.textBoxes.items.push_back(f);
    doc_.textBoxBreaks.cps.push_back(at);
    doc_.textBoxBreaks.items.push_back(Tbkd{static_cast<std::int16_t>(storyCount_), 0, 0});
    request.story = storyCount_++;
}

void Builder::writeStories()
{
    // Text boxes and pictures get their stories in the order of their
    // anchors.
    for (ShapeRequest& shape : doc_.shapes) {
        const std::size_t first = cp();
        if (shape.kind == ShapeRequest::TextBox) {
            int prevBottom = 0;
            for (const Line& l : shape.box->lines)
                writeLine(l, shape.box->x, shape.box->top, prevBottom, -1);
            append(kParagraphMark);
            closeParagraph();
        } else if (shape.kind == ShapeRequest::PictureBox) {
            append(kObjectChar);
            closeRun({S32(sprms::kCPicLocation, static_cast<std::uint32_t>(shape.picture)), S8(sprms::kCFSpec, 1)});
            append(kParagraphMark);
            closeParagraph();
        } else {
            continue;
        }
        addStoryEntry(first, shape);
    }
    // The last range of the text-box text belongs to no box: one paragraph
    // mark ends the text-box text.
    const auto last = static_cast<std::uint32_t>(cp() - doc_.ccpText);
    append(kParagraphMark);
    closeParagraph();
    doc_.textBoxes.cps.push_back(last);
    doc_.textBoxes.items.push_back(Ftxbxs{});
    doc_.textBoxBreaks.cps.push_back(last);
    doc_.textBoxBreaks.items.push_back(Tbkd{static_cast<std::int16_t>(storyCount_), 0, 0});
    doc_.ccpTxbx = cp() - doc_.ccpText;
    doc_.textBoxes.cps.push_back(doc_.ccpTxbx);
    doc_.textBoxBreaks.cps.push_back(doc_.ccpTxbx);
}

bool Builder::finish(std::string& why)
{
    if (sectionOpen_)
        endSection(true);
    if (doc_.fonts.empty())
        doc_.fonts.push_back("Times New Roman");
    for (const auto& [page, name] : bookmarkOfPage_) {
        if (page < 0 || static_cast<std::size_t>(page) >= pageStarts_.size())
            continue;
        const std::uint32_t at = pageStarts_[static_cast<std::size_t>(page)];
        doc_.bookmarkNames.push_back(name);
        doc_.bookmarkStarts.cps.push_back(at);
        doc_.bookmarkStarts.items.push_back(Elem4{static_cast<std::uint32_t>(doc_.bookmarkEnds.size())});
        doc_.bookmarkEnds.push_back(at);
    }
    doc_.pageCount = static_cast<std::uint32_t>(pageCounter_);

    if (doc_.text.empty()) {
        if (doc_.sections.cps.empty())
            doc_.sections.cps.push_back(0);
        append(kParagraphMark);
        closeParagraph();
        doc_.sections.cps.push_back(cp());
        doc_.sections.items.push_back(Sed{});
        PropertyList sep;
        doc_.sectionProps.push_back(sep);
    }
    doc_.ccpText = cp();
    pastMain_ = true;

    if (doc_.links) {
        if (!doc_.fieldsMain.cps.empty())
            doc_.fieldsMain.cps.push_back(doc_.ccpText);
        if (!doc_.bookmarkStarts.cps.empty()) {
            doc_.bookmarkStarts.cps.push_back(doc_.ccpText);
            doc_.bookmarkEnds.push_back(doc_.ccpText);
        }
    }
    if (doc_.hasTextBoxes) {
        writeStories();
        if (!doc_.fieldsTxbx.cps.empty())
            doc_.fieldsTxbx.cps.push_back(doc_.ccpTxbx);
    }
    if (doc_.drawings)
        doc_.anchors.cps.push_back(doc_.ccpText);
    closeRun();

    if (doc_.text.size() > kMaxText) {
        why = "the document's text is too long for the Word format";
        return false;
    }
    if (!LayOutChpxPages(doc_.runs, doc_.runLists, doc_.chpxPages, doc_.chpxBins) ||
        !LayOutPapxPages(doc_.paragraphs, doc_.paragraphEntries, doc_.papxPages, doc_.papxBins)) {
        why = "a run's properties do not fit a formatted disk page";
        return false;
    }
    return true;
}

std::u16string HyperlinkInstruction(const HyperlinkTarget& target)
{
    std::u16string s = u" HYPERLINK ";
    if (target.bookmark)
        s += u"\\l ";
    s += u"\"" + Escaped(target.target) + u"\" ";
    return s;
}

DocumentBuilder::DocumentBuilder(BuiltDocument& out) : impl_(std::make_unique<Builder>(out)) {}

DocumentBuilder::~DocumentBuilder() = default;

void DocumentBuilder::beginSection(double width, double height)
{
    impl_->beginSection(width, height);
}

void DocumentBuilder::addPage(PageEntry page)
{
    impl_->addPage(std::move(page));
}

bool DocumentBuilder::finish(std::string& why)
{
    return impl_->finish(why);
}

bool BuildDocument(std::vector<SectionEntry> sections, BuiltDocument& out, std::string& why)
{
    out = BuiltDocument{};
    DocumentBuilder b(out);
    for (SectionEntry& s : sections) {
        b.beginSection(s.width, s.height);
        for (PageEntry& p : s.pages)
            b.addPage(std::move(p));
    }
    return b.finish(why);
}

} // namespace scrivlet
