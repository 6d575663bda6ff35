// The typesetter's document: page set-up, the content-event sink, text and
// picture layout across pages, splitting pages under long tables, fonts, and
// writing the file.
#include "engine/topdf/typesetter.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// Positions, sizes and widths from senders are kept within these bounds, so
// that no sum of them leaves the int range.
constexpr int kCoordLimit = 1 << 20;
constexpr int kMaxFontSize = 1000;
constexpr int kUnits = 18;

int Clamp(long long v, int low, int high)
{
    return static_cast<int>(std::clamp<long long>(v, low, high));
}

int ArgInt(std::uintptr_t arg)
{
    return static_cast<int>(arg);   // senders pass ints, also negative ones
}

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::string Format(const char* pattern, int a, int b = 0)
{
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, pattern, a, b);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

const char* const kStyleNames[4] = {"", "Bold", "Italic", "BoldItalic"};

} // namespace

OPdfDocument::OPdfDocument() = default;
OPdfDocument::~OPdfDocument() = default;

void OPdfDocument::setupPage(int kind, double widthInch, double heightInch, int marginX,
                             int marginY, int baseSize)
{
    auto points = [](double inches) {
        const double p = inches * 72;
        return std::isfinite(p) ? Clamp(static_cast<long long>(p), 1, kCoordLimit) : 1;
    };
    pageWidth_ = points(widthInch);
    pageHeight_ = points(heightInch);
    marginX_ = Clamp(marginX, 0, kCoordLimit);
    marginY_ = Clamp(marginY, 0, kCoordLimit);
    baseSize_ = Clamp(baseSize, 0, kMaxFontSize);
    kind_ = kind;
    if (kind != KIND_WORKBOOK && kind != KIND_PRESENTATION)
        newPage();
}

OPdfPage* OPdfDocument::newPage(int mediaWidth)
{
    if (OPdfPage* page = current())
        page->finish();
    pages_.push_back(std::make_unique<OPdfPage>(*this, mediaWidth > 0 ? mediaWidth : pageWidth_,
                                                pageHeight_));
    return pages_.back().get();
}

OPdfPage& OPdfDocument::page()
{
    OPdfPage* p = current();
    return p ? *p : *newPage();
}

// --- events --------------------------------------------------------------------

void docReaderCallback(void* user, const void* data, int len, unsigned code, std::uintptr_t arg)
{
    if (user)
        static_cast<OPdfDocument*>(user)->handleEvent(data, len, code, arg);
}

void OPdfDocument::handleEvent(const void* data, int len, unsigned code, std::uintptr_t arg)
{
    if (written_)
        return;
    const auto* style = reinterpret_cast<const RunStyle*>(arg);
    switch (code) {
    case CE_TEXT_UTF16: {
        const auto* text = static_cast<const char16_t*>(data);
        if (!text || !style)
            return;
        std::size_t n = 0;
        while (text[n])
            ++n;
        addText(text, n, *style);
        return;
    }
    case CE_TEXT_UTF8: {
        const auto* text = static_cast<const char*>(data);
        if (!text || !*text || !style)
            return;
        const std::u16string wide = utf8::ToUtf16(text);
        addText(wide.data(), wide.size(), *style);
        return;
    }
    case CE_LINE_END:
        page().endLine();
        return;
    case CE_NEW_PAGE:
        newPage();
        return;
    case CE_MOVE_TO:
        page().moveTo(Clamp(len, -kCoordLimit, kCoordLimit), Clamp(ArgInt(arg), -kCoordLimit, kCoordLimit));
        return;
    case CE_ROW_END:
        if (page().openTable)
            page().endRow();
        return;
    case CE_NEXT_CELL:
        if (page().openTable && style)
            page().nextCell(*style);
        return;
    case CE_TABLE:
        tableEvent(len, Clamp(ArgInt(arg), -kCoordLimit * kUnits, kCoordLimit * kUnits));
        return;
    case CE_TABLE_END:
        if (!page().openTable) {
            page().resetTextArea();
        } else if (page().endTable()) {
            splitPage();
        }
        return;
    case CE_BOX_SIZE: {
        OPdfPage& p = page();
        if (len != 0)
            p.setLineWidth(Clamp(len, 1, kCoordLimit));
        if (ArgInt(arg) != 0) {
            p.textHeight = Clamp(ArgInt(arg), 1, kCoordLimit);
            p.line().boxHeight = p.textHeight;
        }
        return;
    }
    case CE_PAGE_SIZE:
        if (len > 0 && ArgInt(arg) > 0) {
            pageWidth_ = Clamp(len, 1, kCoordLimit);
            pageHeight_ = Clamp(ArgInt(arg), 1, kCoordLimit);
        }
        return;
    case CE_ADVANCE: {
        OPdfPage& p = page();
        p.curX = Clamp(static_cast<long long>(p.curX) + len, -kCoordLimit, kCoordLimit);
        p.line().startX = p.line().endX = p.curX;
        return;
    }
    case CE_FILL_RECT: {
        OPdfPage& p = page();
        const int height = len != 0 ? Clamp(len, 0, kCoordLimit) : p.textHeight;
        auto rect = std::make_unique<OBackToken>();
        rect->x = p.curX;
        rect->y = p.curY - height;
        rect->width = p.lineWidth;
        rect->height = height;
        rect->colour = static_cast<std::uint32_t>(arg);
        p.line().tokens.push_back(std::move(rect));
        return;
    }
    default:
        if (data && len > 0)
            placeImage(0, 0, static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(len));
        return;
    }
}

void OPdfDocument::tableEvent(int op, int value)
{
    OPdfPage& p = page();
    if (op == TABLE_COLUMN && value == 0) {
        p.beginTable();
        return;
    }
    OPdfTable* t = p.openTable;
    if (!t)
        return;   // table operations need an open table
    switch (op) {
    case TABLE_COLUMN:
        if (value > 0)
            p.addColumn(value);
        break;
    case TABLE_BORDERS:
        t->borders = value != 0;
        break;
    case TABLE_CELL_WIDTH:
        p.setCellWidth(value);
        break;
    case TABLE_VMERGE:
        t->mergeState = value;
        break;
    case TABLE_ROW_HEIGHT:
        t->rowHeight = std::max(t->rowHeight, value / kUnits);
        break;
    default:
        break;
    }
}

// --- text ----------------------------------------------------------------------

void OPdfDocument::addText(const char16_t* text, std::size_t count, const RunStyle& style)
{
    if (written_ || !text)
        return;
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = text[i];
        if (c != 0 && c != 7 && c != 10 && c != 11 && c != 13)
            continue;
        if (i > start)
            layRun(text + start, i - start, style);
        start = i + 1;
        if (c == 0)
            return;
        if (c == 13 && i + 1 < count && text[i + 1] == 10) {
            ++i;
            start = i + 1;
        }
        if (c == 7)
            cellMark(style);
        else
            page().endLine();
    }
    if (count > start)
        layRun(text + start, count - start, style);
}

// A cell mark: ends the cell, or in the last column the row. Outside a
// table it does nothing.
void OPdfDocument::cellMark(const RunStyle& style)
{
    OPdfPage& p = page();
    OPdfTable* t = p.openTable;
    if (!t)
        return;
    p.endLine();
    if (t->column < t->columns() - 1)
        p.nextCell(style);
    else
        p.endRow();
}

void OPdfDocument::layRun(const char16_t* text, std::size_t count, const RunStyle& given)
{
    RunStyle style = given;
    style.fontSize = Clamp(style.fontSize, 0, kMaxFontSize);
    const long long size = style.fontSize;

    // Widths in half font sizes: characters below 128 are one half wide,
    // the others two; a surrogate pair counts as one character.
    std::vector<long long> halves(count + 1, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = text[i];
        halves[i + 1] = halves[i] + (c < 128 ? 1 : IsLowSurrogate(c) ? 0 : 2);
    }
    auto width = [&](std::size_t from, std::size_t to) { return (halves[to] - halves[from]) * size / 2; };

    std::size_t pos = 0;
    bool wrapped = false;
    while (pos < count) {
        OPdfPage* p = &page();
        if (wrapped) {
            // A wrapped line does not begin with the blank it was broken at.
            while (pos < count && text[pos] == u' ')
                ++pos;
            if (pos == count)
                break;
        }
        if (kind_ != KIND_PRESENTATION && !p->openTable && p->curY < p->top &&
            p->curY - (p->top - p->textHeight) < size) {
            p = newPage(p->mediaWidth);
            continue;
        }
        const long long room = static_cast<long long>(p->lineWidth) + p->left - p->curX;
        const bool lineStart = p->curX <= p->line().startX;
        std::size_t take = count - pos;
        if (width(pos, count) > room) {
            // The longest prefix that fits; fewer than two characters never do.
            std::size_t lo = 0, hi = count - pos;
            while (lo < hi) {
                const std::size_t mid = (lo + hi + 1) / 2;
                if (width(pos, pos + mid) <= room)
                    lo = mid;
                else
                    hi = mid - 1;
            }
            take = lo >= 2 ? lo : 0;
            if (take > 0) {
                // Break after the last blank of the prefix; a word that does
                // not fit goes to the next line whole unless it has a line
                // of its own already.
                std::size_t blank = take;
                while (blank > 0 && text[pos + blank - 1] != u' ')
                    --blank;
                if (blank > 0)
                    take = blank;
                else if (!lineStart)
                    take = 0;
            }
            if (take == 0) {
                if (!lineStart) {
                    p->endLine();
                    continue;
                }
                take = 1;
            }
            // A surrogate pair stays together.
            if (pos + take < count && IsHighSurrogate(text[pos + take - 1]))
                take += take == 1 ? 1 : -1;
        }
        emitPiece(*p, text + pos, take, style, width(pos, pos + take));
        pos += take;
        if (style.clipToLine)
            break;
        if (pos < count) {
            p->endLine();
            wrapped = true;
        }
    }
}

void OPdfDocument::emitPiece(OPdfPage& p, const char16_t* text, std::size_t count,
                             const RunStyle& style, long long pieceWidth)
{
    const int size = style.fontSize;
    const int width = Clamp(pieceWidth, 0, kCoordLimit);
    OPdfLine& line = p.line();
    if (style.align)
        line.align = style.align;
    if (style.vAnchor)
        line.anchor = style.vAnchor;
    if (line.firstHeight == 0)
        line.firstHeight = size;
    const int baseline = p.curY - line.firstHeight;
    auto decoration = [&](int y, int height, std::uint32_t colour) {
        auto rect = std::make_unique<OBackToken>();
        rect->positioned = true;
        rect->x = p.curX;
        rect->y = y;
        rect->width = width;
        rect->height = height;
        rect->colour = colour;
        line.tokens.push_back(std::move(rect));
    };
    if ((style.backColour & 0xFFFFFF) != 0xFFFFFF && !p.openTable)
        decoration(baseline - 3, size + 1, style.backColour);
    if (style.underline)
        decoration(baseline - 2, 0, style.underlineColour);
    if (style.strikeOut)
        decoration(baseline + size / 2 - 2, 0, 0);

    auto token = std::make_unique<OStrToken>();
    token->positioned = true;
    token->x = p.curX;
    token->y = baseline;
    token->width = width;
    token->height = size;
    token->size = size;
    token->style = style;
    token->text.assign(text, count);
    line.tokens.push_back(std::move(token));
    line.height = std::max(line.height, size);
    p.curX = Clamp(static_cast<long long>(p.curX) + width, -kCoordLimit, 2 * kCoordLimit);
    line.endX = p.curX;
}

// --- pictures ------------------------------------------------------------------

bool OPdfDocument::placeImage(int displayWidth, int displayHeight, const std::uint8_t* bytes,
                              std::size_t size)
{
    if (written_ || !bytes)
        return false;
    int sniffedWidth = 0, sniffedHeight = 0;
    const ImageType type = sniffImageType(size, bytes, sniffedWidth, sniffedHeight);
    if (type == IMAGE_UNKNOWN || (sniffedWidth == 0 && sniffedHeight == 0))
        return false;
    auto record = std::make_unique<OPdfImage>();
    if (!decodeImagePixels(type, bytes, size, record->image))
        return false;

    long long w = displayWidth, h = displayHeight;
    if (w <= 0 && h <= 0) {
        w = record->image.width;
        h = record->image.height;
    }
    w = std::clamp<long long>(w, 1, kCoordLimit);
    h = std::clamp<long long>(h, 1, kCoordLimit);
    OPdfPage* p = &page();
    if (kind_ == KIND_PRESENTATION && (w > p->lineWidth + 30 || h > p->textHeight + 30)) {
        w = p->lineWidth;
        h = p->textHeight;
    } else if ((kind_ == KIND_TEXT || kind_ == KIND_WORKBOOK) && (w > p->lineWidth || h > p->textHeight)) {
        // A picture larger than the area it goes into is shown whole, at the
        // largest size that fits, in its own proportions.
        const double scale = std::min(double(p->lineWidth) / double(w), double(p->textHeight) / double(h));
        w = std::max<long long>(1, static_cast<long long>(w * scale));
        h = std::max<long long>(1, static_cast<long long>(h * scale));
    }

    int gap = 0;
    while (true) {
        p = &page();
        const bool atTop = p->curY >= p->top;
        gap = static_cast<int>(h) + (atTop ? 0 : 5);
        if (atTop) {
            if (kind_ == KIND_PICTURES && h > p->mediaHeight)
                p->mediaHeight = p->top = p->curY = static_cast<int>(h);
            break;
        }
        if (kind_ != KIND_PRESENTATION && !p->openTable && p->curY - gap < p->marginY) {
            newPage(p->mediaWidth);
            continue;
        }
        break;
    }
    if (kind_ == KIND_PICTURES && p->curX + w + p->marginX > p->mediaWidth)
        p->mediaWidth = Clamp(p->curX + w + p->marginX, 1, 2 * kCoordLimit);

    record->object = newObject();
    if (record->image.indexed())
        record->palette = newObject();
    // The picture stands on the line's baseline: the baseline of what the
    // line holds already, or, when it is the first item, the bottom of the
    // room it takes (its height and the gap above it).
    OPdfLine& line = p->line();
    if (line.firstHeight == 0)
        line.firstHeight = gap;
    record->x = p->curX;
    record->y = p->curY - line.firstHeight;
    record->width = static_cast<int>(w);
    record->height = static_cast<int>(h);

    auto token = std::make_unique<OImgToken>();
    token->positioned = true;
    token->x = record->x;
    token->y = record->y;
    token->width = record->width;
    token->height = record->height;
    token->image = record.get();
    p->pictures.push_back(std::move(record));

    line.tokens.push_back(std::move(token));
    p->curX = Clamp(static_cast<long long>(p->curX) + w, -kCoordLimit, 2 * kCoordLimit);
    line.endX = p->curX;
    // The line goes down by the room the picture takes, the gap above it
    // included, so that the next line begins below the picture.
    line.height = std::max(line.height, gap);
    ++pictures_;
    return true;
}

// --- splitting -------------------------------------------------------------------

void OPdfDocument::splitPage()
{
    // Each round moves what lies below the cut to a new page; it repeats
    // while a table still ends below the bottom margin of the new page.
    while (true) {
        OPdfPage* old = current();
        bool below = false;
        for (const auto& t : old->tables)
            below = below || (t->columns() > 0 && t->rowTops.back() < old->marginY);
        if (!below)
            return;

        old->alignLines();
        struct Extent {
            int low = INT_MAX;
            int high = INT_MIN;
        };
        std::vector<Extent> extents(old->lines.size());
        for (std::size_t i = 0; i < old->lines.size(); ++i) {
            for (const auto& token : old->lines[i].tokens) {
                extents[i].low = std::min(extents[i].low, token->y);
                extents[i].high = std::max(extents[i].high, token->y + token->height);
            }
        }
        // The cut rises from the bottom margin to the top of any line that
        // straddles it, but never above the first line's lowest point, so
        // that each round keeps something on the old page.
        // A table row that would keep less than 12 points above the cut is
        // not drawn on the old page, so the cut rises to its top and its
        // content moves with it.
        int firstLow = INT_MAX;
        for (std::size_t i = 0; i < extents.size() && firstLow == INT_MAX; ++i) {
            if (!old->lines[i].tokens.empty())
                firstLow = extents[i].low;
        }
        int cut = std::min(old->marginY, firstLow);
        for (bool rose = true; rose;) {
            rose = false;
            auto raise = [&](int to) {
                to = std::min(to, firstLow);
                if (to > cut) {
                    cut = to;
                    rose = true;
                }
            };
            for (std::size_t i = 0; i < extents.size(); ++i) {
                if (!old->lines[i].tokens.empty() && extents[i].low < cut && extents[i].high > cut)
                    raise(extents[i].high);
            }
            for (const auto& t : old->tables) {
                if (t->columns() < 1 || t->rowTops.back() >= cut)
                    continue;
                std::size_t k = 0;
                while (t->rowTops[k] >= cut)
                    ++k;
                if (k > 0 && t->rowTops[k - 1] - cut <= 12)
                    raise(t->rowTops[k - 1]);
            }
        }
        const int shift = old->top - cut;
        if (shift <= 0)
            return;

        auto fresh = std::make_unique<OPdfPage>(*this, old->mediaWidth, pageHeight_);
        OPdfPage& next = *fresh;
        std::vector<OPdfLine> moved;
        for (std::size_t i = 0; i < old->lines.size(); ++i) {
            OPdfLine& l = old->lines[i];
            if (l.tokens.empty() || extents[i].low >= cut)
                continue;
            for (auto& token : l.tokens) {
                token->y += shift;
                if (auto* picture = dynamic_cast<OImgToken*>(token.get()))
                    movePicture(*old, next, picture->image, shift);
            }
            OPdfLine line = std::move(l);
            l.tokens.clear();
            line.anchor = 0;
            line.box = 0;
            moved.push_back(std::move(line));
        }
        next.lines.insert(next.lines.begin(), std::make_move_iterator(moved.begin()),
                          std::make_move_iterator(moved.end()));

        for (auto& t : old->tables) {
            if (t->columns() < 1 || t->rowTops.back() >= cut)
                continue;
            std::size_t k = 0;
            while (k < t->rowTops.size() && t->rowTops[k] >= cut)
                ++k;
            auto part = std::make_unique<OPdfTable>();
            part->edges = t->edges;
            part->borders = t->borders;
            const std::size_t firstRow = k > 0 ? k - 1 : 0;
            if (k > 0)
                part->rowTops.push_back(next.top);
            for (std::size_t i = k; i < t->rowTops.size(); ++i)
                part->rowTops.push_back(t->rowTops[i] + shift);
            for (std::size_t r = firstRow; r < t->colours.size(); ++r) {
                part->colours.push_back(t->colours[r]);
                part->ids.push_back(t->ids[r]);
            }
            if (k == 0) {
                t->edges.resize(1);   // nothing of it stays on the old page
            } else {
                const bool keepPart = t->rowTops[k - 1] - cut > 12;
                t->rowTops.resize(k);
                if (keepPart)
                    t->rowTops.push_back(old->marginY);
                const std::size_t rows = t->rowTops.size() - 1;
                if (t->colours.size() > rows) {
                    t->colours.resize(rows);
                    t->ids.resize(rows);
                }
            }
            next.tables.push_back(std::move(part));
        }
        next.curX = next.left;
        next.curY = static_cast<int>(std::clamp<long long>(static_cast<long long>(old->curY) + shift,
                                                           -kCoordLimit, kCoordLimit));
        next.restartLine();
        old->finish();
        pages_.push_back(std::move(fresh));
    }
}

void OPdfDocument::movePicture(OPdfPage& from, OPdfPage& to, OPdfImage* image, int shift)
{
    for (auto it = from.pictures.begin(); it != from.pictures.end(); ++it) {
        if (it->get() != image)
            continue;
        (*it)->y += shift;
        to.pictures.push_back(std::move(*it));
        from.pictures.erase(it);
        return;
    }
}

// --- fonts and file ----------------------------------------------------------------

void OPdfDocument::writeFont(int style)
{
    style &= 3;
    if (fonts_[style])
        return;
    OPdfObject* type0 = newObject();
    OPdfObject* cid = newObject();
    const std::string name = kStyleNames[style];
    type0->dict = Format("/DescendantFonts[%d 0 R]/Subtype/Type0/BaseFont/", cid->number) + name +
                  Format("/Name/F%d/Encoding/UniGB-UCS2-H/Type/Font", style);
    type0->closing = 1;
    std::string widths = "/W[1[500";
    for (int i = 0; i < 94; ++i)
        widths += " 500";
    widths += "]22353[462 462 1000 1000 500]]";
    cid->dict = "/BaseFont/" + name +
                "/CIDSystemInfo<</Ordering(GB1)/Registry(Adobe)/Supplement 2>>/FontDescriptor<</FontName/" +
                name + "/Type/FontDescriptor/Flags 16389/FontBBox[-100 -141 1100 1000]>>" +
                "/Subtype/CIDFontType2/Type/Font" + widths;
    cid->closing = 1;
    fonts_[style] = type0;
}

void OPdfDocument::writePageDict(OPdfPage& p)
{
    std::string dict = Format("/Type/Page/Parent 1 0 R/MediaBox[0 0 %d %d]", p.mediaWidth, p.mediaHeight) +
                       Format("/Resources %d 0 R/Contents [", p.resources->number);
    for (const OPdfObject* o : p.contents)
        dict += Format("%d 0 R ", o->number);
    if (dict.back() == ' ')
        dict.back() = ']';
    else
        dict += ']';
    p.pageObject->dict = std::move(dict);
    p.pageObject->closing = 1;

    std::string res;
    if (p.stylesUsed) {
        res += "/Font<<";
        for (int style = 0; style < 4; ++style) {
            if ((p.stylesUsed & (1u << style)) && fonts_[style])
                res += Format("/F%d %d 0 R", style, fonts_[style]->number);
        }
        res += ">>";
    }
    res += "/ProcSet[/PDF/ImageC]/XObject<<";
    for (const auto& picture : p.pictures)
        res += Format("/I%d %d 0 R", picture->index, picture->object->number);
    p.resources->dict = std::move(res);
    p.resources->closing = 2;
}

unsigned OPdfDocument::writeFile()
{
    if (written_)
        return 0;
    written_ = true;
    // A PDF without pages is no document: nothing is written.
    if (pages_.empty() || outputPath_.empty())
        return 0;
    current()->finish();
    for (auto& p : pages_)
        writePageDict(*p);
    OPdfObject* catalog = newObject();
    catalog->dict = "/Type/Catalog/Pages 1 0 R>>";
    OPdfObject* tree = objects_.createAt(1);
    std::string kids = "/Type /Pages /Kids [";
    for (const auto& p : pages_)
        kids += Format("%d 0 R ", p->pageObject->number);
    kids.back() = ']';
    kids += Format(" /Count %d>>", pageCount());
    tree->dict = std::move(kids);

    const std::string file = objects_.layOut(catalog->number);
    pages_.clear();
    if (file.empty() || !WriteFileReplacing(outputPath_, file.data(), file.size()))
        return 0;
    return file.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(file.size());
}
