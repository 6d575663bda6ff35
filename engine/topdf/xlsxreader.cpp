// The Excel 2007 workbook reader: each worksheet becomes one bordered table
// on a page of its own, cells showing their stored value or shared string
// with the font, fill and alignment of their cell format, merged ranges as
// wide or vertically merged cells. Formulas are not evaluated; pictures and
// charts are not read.
#include "engine/topdf/officexml.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr long long kDefaultColumnWidth = 1072;   // table units
constexpr long long kDefaultRowHeight = 81;       // table units
constexpr std::uint32_t kNoFill = 0xFFFFFF;

// The indexed colours of the format, 0x00BBGGRR.
const std::uint32_t kPalette[] = {
    0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x000000, 0xFFFFFF,
    0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x000080, 0x008000, 0x800000, 0x008080,
    0x800080, 0x808000, 0xC0C0C0, 0x808080, 0xFF9999, 0x663399, 0xCCFFFF, 0xFFFFCC, 0x660066, 0x8080FF,
    0xCC6600, 0xFFCCCC, 0x800000, 0xFF00FF, 0x00FFFF, 0xFFFF00, 0x800080, 0x000080, 0x808000, 0xFF0000,
    0xFFCC00, 0xFFFFCC, 0xCCFFCC, 0x99FFFF, 0xFFCC99, 0xCC99FF, 0xFF99CC, 0x99CCFF, 0xFF6633, 0xCCCC33,
    0x00CC99, 0x00CCFF, 0x0099FF, 0x0066FF, 0x996666, 0x969696, 0x663300, 0x669933, 0x003300, 0x003333,
    0x003399, 0x663399, 0x993333, 0x333333, 0x000000, 0x000000, 0x646464, 0xF0F0F0, 0x000000, 0xFFFFFF,
    0xA0A0A0, 0xFF9933, 0x000000, 0xC8C8C8, 0x676767, 0xFFFFFF, 0x646464, 0x000000, 0xFFFFFF, 0x000000,
    0xE1FFFF, 0x000000,
};

// The colour of a "color", "fgColor" or "bgColor" element; false when it
// names none that can be read here (a theme colour, "auto").
bool ElementColour(const XmlNode* node, std::uint32_t& colour)
{
    if (!node)
        return false;
    if (!node->attr("indexed").empty()) {
        const long long index = node->attrNumber("indexed");
        colour = index >= 0 && index < static_cast<long long>(std::size(kPalette)) ? kPalette[index] : 0xFFFFFF;
        return true;
    }
    const std::string_view rgb = node->attr("rgb");
    if (rgb.empty())
        return false;
    colour = colorFromString(rgb.size() > 6 ? rgb.substr(rgb.size() - 6) : rgb);
    return true;
}

struct CellFormat {
    std::size_t font = 0;
    std::size_t fill = 0;
    std::int32_t align = 0;
    std::int32_t anchor = 0;
    std::int32_t clipToLine = 1;
};

struct Styles {
    std::vector<CellFormat> formats;
    std::vector<std::uint32_t> fills;   // background of each fill; kNoFill for none
    std::vector<RunStyle> fonts;
};

void ReadStyles(const OfficeReaderContext& ctx, Styles& styles)
{
    OfficeXml xml;
    if (!ctx.loadPart("xl/styles.xml", xml) || !xml.top())
        return;
    const XmlNode* top = xml.top();
    if (const XmlNode* xfs = top->child("cellXfs")) {
        for (const XmlNode* xf = xfs->firstChild; xf; xf = xf->nextSibling) {
            if (!xf->is("xf"))
                continue;
            CellFormat format;
            format.font = static_cast<std::size_t>(std::max(0LL, xf->attrNumber("fontId")));
            format.fill = static_cast<std::size_t>(std::max(0LL, xf->attrNumber("fillId")));
            if (const XmlNode* alignment = xf->child("alignment")) {
                format.clipToLine = alignment->attrNumber("wrapText") == 0 ? 1 : 0;
                const std::string_view v = alignment->attr("vertical");
                format.anchor = v.empty() ? 1 : (v[0] == 'b' ? 3 : (v[0] == 'c' ? 2 : 1));
                const std::string_view h = alignment->attr("horizontal");
                format.align = h.empty() ? 1 : (h[0] == 'r' ? 3 : (h[0] == 'c' ? 2 : 1));
            }
            styles.formats.push_back(format);
        }
    }
    if (const XmlNode* fills = top->child("fills")) {
        for (const XmlNode* fill = fills->firstChild; fill; fill = fill->nextSibling) {
            if (!fill->is("fill"))
                continue;
            // A fill without a pattern or without a readable foreground
            // colour paints nothing (the format's first two fills are such).
            std::uint32_t colour = kNoFill;
            const XmlNode* pattern = fill->child("patternFill");
            const std::string_view type = pattern ? pattern->attr("patternType") : std::string_view();
            if (!type.empty() && type != "none" && !ElementColour(fill->child("fgColor", true), colour))
                colour = kNoFill;
            styles.fills.push_back(colour);
        }
    }
    if (const XmlNode* fonts = top->child("fonts")) {
        for (const XmlNode* font = fonts->firstChild; font; font = font->nextSibling) {
            if (!font->is("font"))
                continue;
            RunStyle style;
            style.bold = font->child("b") ? 1 : 0;
            style.italic = font->child("i") ? 1 : 0;
            if (const XmlNode* sz = font->child("sz"))
                style.fontSize = static_cast<std::int32_t>(std::clamp(sz->attrNumber("val"), 1LL, 400LL));
            std::uint32_t colour = 0;
            if (ElementColour(font->child("color"), colour))
                style.colour = colour;
            styles.fonts.push_back(style);
        }
    }
}

void ReadSharedStrings(const OfficeReaderContext& ctx, std::vector<std::string>& strings)
{
    OfficeXml xml;
    if (!ctx.loadPart("xl/sharedStrings.xml", xml) || !xml.top())
        return;
    for (const XmlNode* si = xml.top()->firstChild; si; si = si->nextSibling) {
        // The text of the string's last direct "t"; a rich-text string
        // (runs "r" of "t") gives its runs' texts one after another.
        std::string text;
        const XmlNode* last = nullptr;
        for (const XmlNode* c = si->firstChild; c; c = c->nextSibling) {
            if (c->is("t"))
                last = c;
        }
        if (last) {
            text = last->textView();
        } else {
            for (const XmlNode* r = si->firstChild; r; r = r->nextSibling) {
                if (const XmlNode* t = r->is("r") ? r->child("t") : nullptr)
                    text += t->textView();
            }
        }
        strings.push_back(std::move(text));
    }
}

class SheetWalker {
public:
    SheetWalker(OfficeReaderContext& c, const Styles& s, const std::vector<std::string>& strings)
        : ctx(c), styles(s), shared(strings)
    {
    }

    void run(const XmlNode* top)
    {
        if (!top)
            return;
        if (const XmlNode* merges = top->child("mergeCells")) {
            for (const XmlNode* m = merges->firstChild; m; m = m->nextSibling) {
                CellRange range;
                if (m->is("mergeCell") && ParseCellRange(m->attr("ref"), range))
                    merged.push_back(range);
            }
        }
        findUsedRange(top);
        if (const XmlNode* format = top->child("sheetFormatPr"))
            sheetFormat(format);
        WalkXml(top->parent, [&](const XmlNode* n) { enter(n); }, [&](const XmlNode* n) { leave(n); });
    }

private:
    // The cell's text: its shared string or its value.
    std::string cellText(const XmlNode* cell) const
    {
        const XmlNode* v = cell->child("v");
        std::string_view text = v ? v->textView() : std::string_view();
        if (cell->attr("t") == "s" && v) {
            // An index that is no number or lies past the table shows the
            // value itself.
            std::size_t index = 0;
            bool digits = !text.empty() && text.size() < 12;
            for (char ch : text) {
                digits = digits && ch >= '0' && ch <= '9';
                index = index * 10 + static_cast<std::size_t>(ch - '0');
            }
            if (digits && index < shared.size())
                return shared[index];
        } else if (cell->attr("t") == "inlineStr") {
            if (const XmlNode* is = cell->child("is")) {
                if (const XmlNode* t = is->child("t", true))
                    return std::string(t->textView());
            }
        }
        return std::string(text);
    }

    void findUsedRange(const XmlNode* top)
    {
        const XmlNode* data = top->child("sheetData");
        if (!data)
            return;
        int rowNumber = 0;
        for (const XmlNode* row = data->firstChild; row; row = row->nextSibling) {
            if (!row->is("row"))
                continue;
            rowNumber = RowNumber(row, rowNumber);
            int column = 0;
            for (const XmlNode* cell = row->firstChild; cell; cell = cell->nextSibling) {
                if (!cell->is("c"))
                    continue;
                int row2 = rowNumber;
                column = CellColumn(cell, column, row2);
                if (!cellText(cell).empty()) {
                    lastColumn = std::max(lastColumn, column);
                    lastRow = std::max(lastRow, row2);
                }
            }
        }
    }

    // The row's number: its "r", or the one after the previous row.
    static int RowNumber(const XmlNode* row, int previous)
    {
        const long long r = row->attrNumber("r");
        return r > 0 && r <= 1048576 ? static_cast<int>(r) : previous + 1;
    }

    // The cell's column from its "r", or the one after the previous cell.
    static int CellColumn(const XmlNode* cell, int previous, int& row)
    {
        int column = 0;
        int r = 0;
        if (ParseCellRef(cell->attr("r"), column, r)) {
            row = r;
            return column;
        }
        return previous + 1;
    }

    const CellRange* mergedAt(int column, int row) const
    {
        for (const CellRange& range : merged) {
            if (column >= range.firstColumn && column <= range.lastColumn && row >= range.firstRow &&
                row <= range.lastRow)
                return &range;
        }
        return nullptr;
    }

    long long columnWidth(int column) const
    {
        return column >= 1 && static_cast<std::size_t>(column) <= widths.size() ? widths[std::size_t(column - 1)]
                                                                                 : defaultWidth;
    }

    // Sends what a cell at (column, row) needs before its text: a merged
    // range's width and vertical continuation. False when the cell lies
    // inside a range but not in its first column: it is covered already.
    bool cellGeometry(int column, int row)
    {
        const CellRange* range = mergedAt(column, row);
        if (!range)
            return true;
        if (column != range->firstColumn)
            return false;
        long long width = 0;
        for (int c = range->firstColumn; c <= range->lastColumn && c <= lastColumn; ++c)
            width += columnWidth(c);
        ctx.sendTable(TABLE_CELL_WIDTH, width);
        if (row > range->firstRow)
            ctx.sendTable(TABLE_VMERGE, 2);
        return true;
    }

    // Empty cells up to (not including) `column`.
    void fillTo(int column)
    {
        for (; nextColumn < column; ++nextColumn) {
            if (!cellGeometry(nextColumn, currentRow))
                continue;
            ctx.resetRun(true);
            ctx.sendNextCell();
        }
    }

    void sheetFormat(const XmlNode* node)
    {
        if (node->hasAttr("defaultColWidth"))
            defaultWidth = std::clamp(ScaledNumber(node->attr("defaultColWidth"), 128), 1LL, 1LL << 24);
        if (node->hasAttr("defaultRowHeight"))
            defaultHeight = std::clamp(ScaledNumber(node->attr("defaultRowHeight"), 6), 0LL, 1LL << 24);
    }

    // A decimal number ("8.43") times `scale`, truncated.
    static long long ScaledNumber(std::string_view text, int scale)
    {
        const std::string copy(text.substr(0, 32));
        const double value = std::atof(copy.c_str());
        if (!(value > 0) || value > 1e7)
            return 0;
        return static_cast<long long>(value * scale);
    }

    void enter(const XmlNode* node)
    {
        if (node->is("worksheet") && !begun) {
            begun = true;
            ctx.inTable = true;
            ctx.sendTable(TABLE_COLUMN, 0);
            ctx.sendTable(TABLE_BORDERS, 1);
            const XmlNode* cols = node->child("cols");
            for (int column = 1; column <= lastColumn; ++column) {
                long long width = defaultWidth;
                for (const XmlNode* col = cols ? cols->firstChild : nullptr; col; col = col->nextSibling) {
                    if (col->is("col") && column >= col->attrNumber("min") && column <= col->attrNumber("max")) {
                        width = std::clamp(ScaledNumber(col->attr("width"), 128), 1LL, 1LL << 24);
                        break;
                    }
                }
                widths.push_back(width);
                ctx.sendTable(TABLE_COLUMN, width);
            }
        } else if (node->is("row") && ParentIs(node, "sheetData")) {
            currentRow = RowNumber(node, currentRow);
            if (currentRow > lastRow)
                return;
            nextColumn = 1;
            long long height = defaultHeight;
            if (node->hasAttr("ht"))
                height = std::clamp(ScaledNumber(node->attr("ht"), 6), 0LL, 1LL << 24);
            ctx.sendTable(TABLE_ROW_HEIGHT, height);
        }
    }

    static bool ParentIs(const XmlNode* node, const char* name) { return node->parent && node->parent->is(name); }

    void leave(const XmlNode* node)
    {
        if (node->is("c") && ParentIs(node, "row")) {
            int row = currentRow;
            const int column = CellColumn(node, nextColumn - 1, row);
            if (row != currentRow || currentRow > lastRow || column > lastColumn || column < nextColumn)
                return;
            fillTo(column);
            nextColumn = column + 1;
            if (!cellGeometry(column, row))
                return;
            ctx.resetRun(true);
            const long long s = node->attrNumber("s");
            // Format, font and fill indexes are checked like shared-string
            // ones: an index past its table leaves the reset style.
            if (s > 0 && static_cast<std::size_t>(s) < styles.formats.size()) {
                const CellFormat& format = styles.formats[std::size_t(s)];
                if (format.font < styles.fonts.size())
                    ctx.style = styles.fonts[format.font];
                if (format.fill < styles.fills.size())
                    ctx.style.backColour = styles.fills[format.fill];
                ctx.style.vAnchor = format.anchor;
                ctx.style.align = format.align;
                ctx.style.clipToLine = format.clipToLine;
            }
            const std::string text = cellText(node);
            ctx.sendText(text.c_str());
            ctx.send(CE_LINE_END);
            ctx.sendNextCell();
        } else if (node->is("row") && ParentIs(node, "sheetData")) {
            if (currentRow > lastRow)
                return;
            fillTo(lastColumn + 1);
            ctx.send(CE_ROW_END);
        } else if (node->is("worksheet")) {
            ctx.inTable = false;
            ctx.resetRun(true);
            ctx.send(CE_TABLE_END);
        }
    }

    OfficeReaderContext& ctx;
    const Styles& styles;
    const std::vector<std::string>& shared;
    std::vector<CellRange> merged;
    std::vector<long long> widths;
    long long defaultWidth = kDefaultColumnWidth;
    long long defaultHeight = kDefaultRowHeight;
    int lastColumn = 0;
    int lastRow = 0;
    int currentRow = 0;
    int nextColumn = 1;
    bool begun = false;
};

} // namespace

namespace {

// The worksheets in workbook order, from the workbook's list and its
// relationships; without a list, sheet1, sheet2, ... while they exist.
std::vector<std::string> SheetParts(const OfficeReaderContext& ctx)
{
    std::vector<std::string> parts;
    OfficeXml workbook;
    std::map<std::string, std::string> rels;
    if (ctx.loadPart("xl/workbook.xml", workbook) && workbook.top() &&
        ctx.readRelationships("xl/_rels/workbook.xml.rels", rels)) {
        if (const XmlNode* sheets = workbook.top()->child("sheets")) {
            for (const XmlNode* sheet = sheets->firstChild; sheet; sheet = sheet->nextSibling) {
                const auto it = sheet->is("sheet") ? rels.find(std::string(sheet->attr("r:id"))) : rels.end();
                if (it == rels.end())
                    continue;
                const std::string part = ResolvePartName("xl/", it->second);
                if (!part.empty())
                    parts.push_back(part);
            }
        }
    }
    if (!parts.empty())
        return parts;
    std::string bytes;
    for (int n = 1; n <= 100000; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "xl/worksheets/sheet%d.xml", n);
        if (!ctx.readPart(name, bytes))
            break;
        parts.emplace_back(name);
    }
    return parts;
}

} // namespace

void readXlsxToPdf(OfficeReaderContext& ctx)
{
    Styles styles;
    std::vector<std::string> shared;
    ReadSharedStrings(ctx, shared);
    ReadStyles(ctx, styles);
    const int baseSize = 20;
    for (const std::string& part : SheetParts(ctx)) {
        OfficeXml xml;
        // A listed sheet that is missing is left out.
        if (!ctx.loadPart(part, xml))
            continue;
        ctx.resetRun(true);
        ctx.style.fontSize = baseSize;
        ctx.send(CE_NEW_PAGE);
        SheetWalker walker(ctx, styles, shared);
        const XmlNode* top = xml.top();
        if (top && top->is("worksheet"))
            walker.run(top);
    }
    ctx.inTable = false;
}
