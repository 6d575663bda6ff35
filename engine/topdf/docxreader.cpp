// The Word 2007 document reader: paragraphs and runs with their character
// properties, paragraph alignment, tables (column and cell widths, row
// heights, vertical merges, shading, borders) and embedded pictures of
// "word/document.xml", sent as content events. Styles, numbering, headers,
// footers and sections are not read.
#include "engine/topdf/officexml.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kDocumentPart = "word/document.xml";
constexpr const char* kDocumentRels = "word/_rels/document.xml.rels";
constexpr const char* kDocumentFolder = "word/";

// Highlight names of the format; "none" is no highlight.
struct Highlight {
    const char* name;
    std::uint32_t colour;   // 0x00BBGGRR
};
const Highlight kHighlights[] = {
    {"black", 0x000000},     {"blue", 0xFF0000},        {"cyan", 0xFFFF00},       {"green", 0x00FF00},
    {"magenta", 0xFF00FF},   {"red", 0x0000FF},         {"yellow", 0x00FFFF},     {"white", 0xFFFFFF},
    {"darkBlue", 0x800000},  {"darkCyan", 0x808000},    {"darkGreen", 0x008000},  {"darkMagenta", 0x800080},
    {"darkRed", 0x000080},   {"darkYellow", 0x008080},  {"darkGray", 0x808080},   {"lightGray", 0xC0C0C0},
};

std::uint32_t HighlightColour(std::string_view value)
{
    if (value.empty() || value == "none")
        return 0xFFFFFF;
    for (const Highlight& h : kHighlights) {
        if (value == h.name)
            return h.colour;
    }
    return colorFromString(value);
}

// A background given as a fill ("auto" and absent mean none).
std::uint32_t FillColour(std::string_view value)
{
    if (value.empty() || value == "auto")
        return 0xFFFFFF;
    return colorFromString(value);
}

bool ParentIs(const XmlNode* node, const char* name)
{
    return node->parent && node->parent->is(name);
}

// The run properties of a paragraph mark ("w:pPr/w:rPr") format the mark,
// not the text that follows.
bool InParagraphMarkProperties(const XmlNode* node)
{
    return ParentIs(node, "w:rPr") && node->parent->parent && node->parent->parent->is("w:pPr");
}

// Lengths of the document are in twips (1/20 point); the typesetter's
// table units are 1/18 point. Column widths round up and cell widths down,
// so that a cell as wide as the columns it spans never reaches into the
// next one.
long long TableUnits(long long twips)
{
    return twips * 18 / 20;
}

long long ColumnUnits(long long twips)
{
    return (twips * 18 + 19) / 20;
}

// The table units of a width; widths that are no length (a percentage,
// "auto") count as 0.
long long WidthOf(const XmlNode* node, const char* attrName)
{
    const std::string_view type = node->attr("w:type");
    if (!type.empty() && type != "dxa")
        return 0;
    return TableUnits(node->attrNumber(attrName));
}

class DocxWalker {
public:
    explicit DocxWalker(OfficeReaderContext& c) : ctx(c) {}

    void enter(const XmlNode* node)
    {
        if (node->is("w:tbl")) {
            ctx.inTable = true;
            ctx.sendTable(TABLE_COLUMN, 0);
            ++tableDepth;
        }
    }

    void leave(const XmlNode* node)
    {
        const char* name = node->name;
        if (!name || name[0] == '\0')
            return;
        if (ParentIs(node, "w:tcBorders") && tableDepth > 0) {
            const std::string_view val = node->attr("w:val");
            const bool drawn = val != "nil" && val != "none";
            ctx.sendTable(TABLE_BORDERS, drawn ? node->attrNumber("w:sz") : 0);
        }
        RunStyle& s = ctx.style;
        if (node->is("w:t")) {
            ctx.sendText(node->text);
        } else if (node->is("w:p") || node->is("w:br")) {
            ctx.send(CE_LINE_END);
        } else if (node->is("w:r")) {
            ctx.resetRun();
        } else if (InParagraphMarkProperties(node)) {
            return;
        } else if (node->is("w:sz")) {
            s.fontSize = static_cast<std::int32_t>(std::clamp<long long>(node->attrNumber("w:val"), 2, 3276) * 12 / 20);
        } else if (node->is("w:jc")) {
            const std::string_view v = node->attr("w:val");
            if (v == "left" || v == "start")
                s.align = 1;
            else if (v == "center")
                s.align = 2;
            else if (v == "right" || v == "end")
                s.align = 3;
        } else if (node->is("w:color")) {
            // "auto" is the automatic text colour: black on the white page.
            const std::string_view v = node->attr("w:val");
            s.colour = v == "auto" ? 0 : colorFromString(v);
        } else if (node->is("w:highlight")) {
            s.backColour = HighlightColour(node->attr("w:val"));
        } else if (node->is("w:shd")) {
            s.backColour = FillColour(node->attr("w:fill"));
        } else if (node->is("w:b") || node->is("w:i") || node->is("w:strike")) {
            // <w:b w:val="false"/> (or "0") turns the property off.
            const std::string_view v = node->attr("w:val");
            const std::uint8_t on = (v == "false" || v == "0" || v == "off") ? 0 : 1;
            if (node->is("w:b"))
                s.bold = on;
            else if (node->is("w:i"))
                s.italic = on;
            else
                s.strikeOut = on;
        } else if (node->is("w:u")) {
            const std::string_view v = node->attr("w:val");
            s.underline = v == "none" ? 0 : 1;
            const std::string_view c = node->attr("w:color");
            s.underlineColour = c == "auto" ? s.colour : colorFromString(c);
        } else if (node->is("a:blip")) {
            picture(node);
        } else if (tableDepth > 0) {
            leaveTableElement(node);
        }
    }

private:
    void leaveTableElement(const XmlNode* node)
    {
        if (node->is("w:tr")) {
            ctx.send(CE_ROW_END);
        } else if (node->is("w:tc")) {
            ctx.sendNextCell();
            ctx.resetRun(true);
        } else if (node->is("w:gridCol")) {
            ctx.sendTable(TABLE_COLUMN, std::max(1LL, ColumnUnits(node->attrNumber("w:w"))));
        } else if (node->is("w:tcW")) {
            ctx.sendTable(TABLE_CELL_WIDTH, WidthOf(node, "w:w"));
        } else if (node->is("w:trHeight")) {
            ctx.sendTable(TABLE_ROW_HEIGHT, TableUnits(node->attrNumber("w:val")));
        } else if (node->is("w:vMerge")) {
            // Without a value the cell continues the one above.
            const std::string_view v = node->attr("w:val");
            ctx.sendTable(TABLE_VMERGE, v.empty() || v[0] == 'c' ? 2 : (v[0] == 'r' ? 3 : 1));
        } else if (node->is("w:vAlign")) {
            const std::string_view v = node->attr("w:val");
            if (!v.empty())
                ctx.style.vAnchor = v[0] == 'b' ? 3 : (v[0] == 'c' ? 2 : 1);
        } else if (node->is("w:tbl")) {
            --tableDepth;
            ctx.inTable = tableDepth > 0;
            ctx.resetRun(true);
            ctx.send(CE_TABLE_END);
        }
    }

    void picture(const XmlNode* node)
    {
        const auto it = ctx.rels.find(std::string(node->attr("r:embed")));
        if (it == ctx.rels.end())
            return;
        const std::string part = ResolvePartName(kDocumentFolder, it->second);
        if (!part.empty())
            ctx.sendPicture(part);
    }

    OfficeReaderContext& ctx;
    int tableDepth = 0;
};

} // namespace

void readDocxToPdf(OfficeReaderContext& ctx)
{
    ctx.inTable = false;
    ctx.rels.clear();
    ctx.readRelationships(kDocumentRels, ctx.rels);
    OfficeXml xml;
    if (ctx.loadPart(kDocumentPart, xml)) {
        ctx.resetRun(true);
        DocxWalker walker(ctx);
        WalkXml(xml.root(), [&](const XmlNode* n) { walker.enter(n); },
                [&](const XmlNode* n) { walker.leave(n); });
    }
    ctx.rels.clear();
}
