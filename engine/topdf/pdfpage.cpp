// One page of the typesetter: its lines and pen, the table operations that
// move the pen, and the rendering of the finished page into content
// streams.
#include "engine/topdf/typesetter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>

namespace {

// A content stream is closed once it holds this much; a token is never cut.
constexpr std::size_t kContentBytes = 9800;

// Table units per point.
constexpr int kUnits = 18;

std::string Format(const char* pattern, int a, int b = 0, int c = 0, int d = 0)
{
    char buf[96];
    const int n = std::snprintf(buf, sizeof buf, pattern, a, b, c, d);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// A colour component as the content writes it: 0, 1 or "0." and three
// digits of value / 255.
std::string Component(unsigned v)
{
    if (v == 0)
        return "0";
    if (v == 255)
        return "1";
    char buf[16];
    std::snprintf(buf, sizeof buf, "0.%03u", (v & 0xFF) * 1000 / 255);
    return buf;
}

// Width of a cell's text area: the cell less 4 points each side, at least 1.
int CellTextWidth(int cellWidth)
{
    const int points = cellWidth / kUnits;
    return points > 8 ? points - 8 : 1;
}

} // namespace

OPdfPage::OPdfPage(OPdfDocument& d, int width, int height)
    : doc(d), marginX(d.marginX()), marginY(d.marginY()), mediaWidth(width), mediaHeight(height)
{
    resetTextArea();
    curX = left;
    curY = top;
    pageObject = doc.newObject();
    resources = doc.newObject();
    lines.emplace_back();
    restartLine();
}

void OPdfPage::resetTextArea()
{
    left = marginX;
    top = mediaHeight - marginY;
    lineWidth = std::max(1, mediaWidth - 2 * marginX);
    textHeight = std::max(1, mediaHeight - 2 * marginY);
}

void OPdfPage::setLineWidth(int width)
{
    lineWidth = std::max(1, width);
    line().width = lineWidth;
}

void OPdfPage::restartLine()
{
    if (lines.empty() || !line().tokens.empty())
        lines.emplace_back();
    OPdfLine& l = line();
    l = OPdfLine{};
    l.startX = l.endX = curX;
    l.width = lineWidth;
    l.box = boxNumber;
}

void OPdfPage::endLine()
{
    OPdfLine& l = line();
    const int step = l.tokens.empty() ? doc.baseSize() : l.height;
    curX = left;
    curY -= step;
    if (openTable) {
        openTable->gathered += step;
        openTable->rowHeight = std::max(openTable->rowHeight, openTable->gathered);
        l.boxHeight = openTable->rowHeight;
    }
    restartLine();
}

void OPdfPage::moveTo(int x, int y)
{
    left = curX = x;
    curY = y;
    ++boxNumber;
    restartLine();
}

// --- tables ------------------------------------------------------------------

void OPdfPage::beginTable()
{
    curY -= 4;
    auto table = std::make_unique<OPdfTable>();
    table->edges.push_back(left * kUnits);
    table->rowTops.push_back(curY);
    table->parent = openTable;
    table->cellLeft = table->edges.front();
    openTable = table.get();
    tables.push_back(std::move(table));
    left = curX = openTable->cellLeft / kUnits + 4;
    restartLine();
}

void OPdfPage::addColumn(int width)
{
    OPdfTable& t = *openTable;
    // Edges stay far inside the int range whatever widths arrive.
    const int edge = static_cast<int>(std::min<long long>(
        static_cast<long long>(t.edges.back()) + std::max(1, width), INT_MAX / 4));
    t.edges.push_back(edge);
    if (doc.kind() == KIND_WORKBOOK)
        mediaWidth = std::max(mediaWidth, 2 * marginX + edge / kUnits);
    t.cellWidth = t.columnWidth(t.column);
    setLineWidth(CellTextWidth(t.cellWidth));
}

void OPdfPage::setCellWidth(int width)
{
    OPdfTable& t = *openTable;
    t.cellWidth = (width <= 0 || width <= t.cellWidth) ? t.columnWidth(t.column) : width;
    setLineWidth(CellTextWidth(t.cellWidth));
}

void OPdfPage::nextCell(const RunStyle& style)
{
    OPdfTable& t = *openTable;
    const int row = static_cast<int>(t.rowTops.size()) - 1;
    curY = t.rowTops.back();
    const int right = t.cellLeft + std::max(t.cellWidth, t.columnWidth(t.column));
    const int id = t.nextId++;
    int column = t.column;
    while (column < t.columns() && (column == t.column || t.edges[std::size_t(column)] < right)) {
        std::uint32_t colour = style.backColour;
        if (style.cellShading && column < style.cellShading[0]) {
            const unsigned char* entry = style.cellShading + 1 + 10 * column + 4;
            colour = std::uint32_t(entry[0]) | (std::uint32_t(entry[1]) << 8) |
                     (std::uint32_t(entry[2]) << 16) | (std::uint32_t(entry[3]) << 24);
        }
        if (t.mergeState == 2 && row > 0) {
            // A merged cell is one cell: it keeps the id and the shading of
            // the cell it continues, so no border or gap shows inside it.
            t.setCell(row, column, t.cellColour(row - 1, column), t.cellId(row - 1, column));
        } else {
            t.setCell(row, column, colour, id);
        }
        ++column;
    }
    t.mergeState = 0;
    ++boxNumber;
    t.column = column;
    t.rowHeight = std::max(t.rowHeight, t.gathered);
    t.gathered = 0;
    if (column < t.columns()) {
        t.cellLeft = t.edges[std::size_t(column)];
        left = curX = t.cellLeft / kUnits + 4;
        t.cellWidth = t.columnWidth(column);
        setLineWidth(CellTextWidth(t.cellWidth));
    }
    restartLine();
}

void OPdfPage::endRow()
{
    OPdfTable& t = *openTable;
    t.rowHeight = std::max(t.rowHeight, t.gathered);
    const int height = t.rowHeight > 0 ? t.rowHeight : doc.baseSize();
    const int row = static_cast<int>(t.rowTops.size()) - 1;
    curY = t.rowTops.back() - height - 4;
    t.rowTops.push_back(curY);
    for (int column = t.column; column < t.columns(); ++column)
        t.setCell(row, column, 0xFFFFFF, t.nextId++);
    t.column = 0;
    t.cellLeft = t.edges.front();
    left = curX = t.cellLeft / kUnits + 4;
    t.rowHeight = 0;
    t.gathered = 0;
    t.mergeState = 0;
    t.cellWidth = t.columnWidth(0);
    ++boxNumber;
    if (t.columns() > 0)
        setLineWidth(CellTextWidth(t.cellWidth));
    restartLine();
}

bool OPdfPage::endTable()
{
    OPdfTable* t = openTable;
    openTable = t->parent;
    if (OPdfTable* parent = openTable) {
        parent->gathered += t->rowTops.front() - t->rowTops.back();
        parent->rowHeight = std::max(parent->rowHeight, parent->gathered);
        left = parent->cellLeft / kUnits + 4;
        lineWidth = parent->columns() > 0 ? CellTextWidth(parent->cellWidth) : lineWidth;
    } else {
        resetTextArea();
    }
    curX = left;
    restartLine();
    const int kind = doc.kind();
    return (kind == KIND_TEXT || kind == KIND_WORKBOOK) && !openTable && t->columns() > 0 &&
           t->rowTops.back() < marginY;
}

// --- rendering -----------------------------------------------------------------

std::string& OPdfPage::content()
{
    if (contents.empty() || contents.back()->stream.size() > kContentBytes) {
        OPdfObject* o = doc.newObject();
        o->hasStream = true;
        o->deflate = true;
        contents.push_back(o);
    }
    return contents.back()->stream;
}

void OPdfPage::beginTextObject()
{
    if (inText)
        return;
    std::string& out = content();
    out += out.empty() ? "BT" : "\r\nBT";
    inText = true;
    matrixWritten = false;   // BT starts from the identity matrix
}

void OPdfPage::endTextObject()
{
    if (!inText)
        return;
    content() += "\r\nET";
    inText = false;
}

void OPdfPage::writeColour(std::uint32_t colour)
{
    colour &= 0xFFFFFF;
    content() += "\r\n" + Component(colour & 0xFF) + " " + Component((colour >> 8) & 0xFF) + " " +
                 Component((colour >> 16) & 0xFF) + " rg";
    lastColour = colour;
    rectSinceColour = false;
}

void OPdfPage::writeRect(std::uint32_t colour, int x, int y, int width, int height)
{
    // Path operators are not allowed inside a text object.
    endTextObject();
    writeColour(colour);
    // A rule of no thickness would paint nothing: it is one point thick.
    content() += Format("\r\n%d %d %d %d re f", x, y, std::max(width, 1), std::max(height, 1));
    rectSinceColour = true;
}

void OPdfPage::alignLines()
{
    for (OPdfLine& l : lines) {
        if (l.aligned || l.tokens.empty())
            continue;
        int shiftX = 0;
        if (l.align == 2 || l.align == 3)
            shiftX = (l.width - (l.endX - l.startX)) * (l.align - 1) / 2;
        // Every item sits on the line's lowest baseline.
        const int shiftY = l.firstHeight - l.height;
        for (auto& token : l.tokens) {
            if (!token->positioned)
                continue;
            token->x += shiftX;
            token->y += shiftY;
        }
        l.align = 0;
        l.aligned = true;
    }
}

void OPdfPage::anchorBoxes()
{
    struct Box {
        int lowest = INT_MAX;
        int highest = INT_MIN;
        int anchor = 0;
        int height = 0;
    };
    std::map<int, Box> boxes;
    for (const OPdfLine& l : lines) {
        Box& box = boxes[l.box];
        if (l.anchor)
            box.anchor = l.anchor;
        box.height = std::max(box.height, l.boxHeight);
        for (const auto& token : l.tokens) {
            if (!token->positioned)
                continue;
            box.lowest = std::min(box.lowest, token->y);
            box.highest = std::max(box.highest, token->y + token->height);
        }
    }
    for (OPdfLine& l : lines) {
        const Box& box = boxes[l.box];
        if ((box.anchor != 2 && box.anchor != 3) || box.height == 0 || box.lowest > box.highest)
            continue;
        const long long free = static_cast<long long>(box.height) + box.lowest - box.highest;
        const long long room = std::max<long long>(0, static_cast<long long>(box.lowest) - marginY - 4);
        const int shift = static_cast<int>(std::min(free * (box.anchor - 1) / 2, room));
        for (auto& token : l.tokens) {
            if (token->positioned)
                token->y -= shift;
        }
    }
}

void OPdfPage::finish()
{
    if (finished_)
        return;
    finished_ = true;
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const OPdfLine& l) { return l.tokens.empty(); }),
                lines.end());
    alignLines();
    anchorBoxes();
    for (std::size_t i = 0; i < pictures.size(); ++i)
        pictures[i]->index = static_cast<int>(i);

    inText = false;
    lastSize = -1;
    lastStyle = -1;
    lastColour = 0;   // the initial fill colour is black
    matrixWritten = false;
    rectSinceColour = false;
    for (const auto& table : tables)
        table->draw(*this, doc.kind());
    for (OPdfLine& l : lines) {
        for (auto& token : l.tokens)
            token->write(*this);
    }
    if (contents.empty())
        content() += "BT\r\nET";   // a page without content: one empty text object
    endTextObject();
    writeImages();
    for (OPdfObject* o : contents)
        DeflateObjectStream(*o);
    lines.clear();
    lines.shrink_to_fit();
    tables.clear();
    openTable = nullptr;
}

// --- tokens --------------------------------------------------------------------

void OStrToken::write(OPdfPage& page)
{
    const int fontStyle = (style.bold ? 1 : 0) + (style.italic ? 2 : 0);
    page.beginTextObject();
    page.stylesUsed |= 1u << fontStyle;
    page.doc.writeFont(fontStyle);
    std::string& out = page.content();
    if (!page.matrixWritten)
        out += Format("\r\n1 0 0 1 %d %d Tm", x, y);
    else
        out += Format("\r\n%d %d Td", x - page.lastTextX, y - page.lastTextY);
    page.matrixWritten = true;
    page.lastTextX = x;
    page.lastTextY = y;
    if (size != page.lastSize || fontStyle != page.lastStyle) {
        out += Format("\r\n/F%d %d Tf", fontStyle, size);
        page.lastSize = size;
        page.lastStyle = fontStyle;
    }
    if ((style.colour & 0xFFFFFF) != page.lastColour || page.rectSinceColour)
        page.writeColour(style.colour);
    static const char kHex[] = "0123456789ABCDEF";
    std::string& text = page.content();
    text += "\r\n[<";
    for (char16_t unit : this->text) {
        text += kHex[(unit >> 12) & 0xF];
        text += kHex[(unit >> 8) & 0xF];
        text += kHex[(unit >> 4) & 0xF];
        text += kHex[unit & 0xF];
    }
    text += ">]TJ";
}

void OBackToken::write(OPdfPage& page)
{
    page.writeRect(colour, x, y, width, height);
}

namespace {

// Blends an RGBA picture onto what lies beneath it on the page: the pictures
// placed before it there (the latest first), else white.
void BlendOntoPage(OPdfImage& image, const OPdfPage& page)
{
    DecodedImage& img = image.image;
    if (img.type == IMAGE_JPEG || img.components != 4 || img.width < 1 || img.height < 1 ||
        img.samples.size() < std::size_t(img.width) * std::size_t(img.height) * 4)
        return;
    std::vector<const OPdfImage*> below;
    for (const auto& other : page.pictures) {
        if (other.get() == &image)
            break;
        if (other->x < image.x + image.width && image.x < other->x + other->width &&
            other->y < image.y + image.height && image.y < other->y + other->height &&
            other->width > 0 && other->height > 0)
            below.push_back(other.get());
    }
    std::reverse(below.begin(), below.end());

    const std::size_t pixels = std::size_t(img.width) * std::size_t(img.height);
    std::vector<std::uint8_t> rgb(pixels * 3);
    for (int py = 0; py < img.height; ++py) {
        for (int px = 0; px < img.width; ++px) {
            const std::size_t i = std::size_t(py) * std::size_t(img.width) + std::size_t(px);
            const std::uint8_t* s = img.samples.data() + i * 4;
            std::uint8_t* d = rgb.data() + i * 3;
            const unsigned alpha = s[3];
            if (alpha == 255) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                continue;
            }
            std::uint8_t back[3] = {255, 255, 255};
            if (!below.empty()) {
                // The pixel's centre on the page.
                const double pageX = image.x + (px + 0.5) * image.width / img.width;
                const double pageY = image.y + image.height - (py + 0.5) * image.height / img.height;
                for (const OPdfImage* other : below) {
                    if (pageX < other->x || pageX >= other->x + other->width || pageY < other->y ||
                        pageY >= other->y + other->height)
                        continue;
                    const int ox = static_cast<int>((pageX - other->x) * other->image.width / other->width);
                    const int oy = static_cast<int>((other->y + other->height - pageY) *
                                                    other->image.height / other->height);
                    ImagePixelColour(other->image, ox, oy, back);
                    break;
                }
            }
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<std::uint8_t>((s[c] * alpha + back[c] * (255 - alpha)) / 255);
        }
    }
    img.samples = std::move(rgb);
    img.components = 3;
}

} // namespace

void OImgToken::write(OPdfPage& page)
{
    page.endTextObject();
    BlendOntoPage(*image, page);
    page.content() += Format("\r\nq\r\n%d 0 0 %d %d %d cm", width, height, x, y) +
                      Format("\r\n/I%d Do\r\nQ", image->index);
}

void OPdfPage::writeImages()
{
    for (auto& picture : pictures) {
        BlendOntoPage(*picture, *this);   // only pictures whose token was lost
        DecodedImage& img = picture->image;
        OPdfObject& o = *picture->object;
        o.hasStream = true;
        std::string dict = "/Type/XObject/Subtype/Image";
        if (img.type == IMAGE_JPEG) {
            dict += "/Filter/DCTDecode/BitsPerComponent 8/ColorSpace";
            dict += img.components == 1 ? "/DeviceGray" : img.components == 4 ? "/DeviceCMYK" : "/DeviceRGB";
            if (img.invertedCmyk)
                dict += "/Decode[1 0 1 0 1 0 1 0]";
            o.deflate = false;
        } else if (img.indexed() && picture->palette) {
            dict += Format("/BitsPerComponent 8/ColorSpace [/Indexed /DeviceRGB 255 %d 0 R]",
                           picture->palette->number);
            OPdfObject& palette = *picture->palette;
            palette.hasStream = true;
            palette.deflate = true;
            palette.stream.assign(img.palette.begin(), img.palette.end());
            DeflateObjectStream(palette);
            o.deflate = true;
        } else {
            dict += img.components == 1 ? "/BitsPerComponent 8/ColorSpace/DeviceGray"
                                        : "/BitsPerComponent 8/ColorSpace/DeviceRGB";
            o.deflate = true;
        }
        dict += Format("/Width %d/Height %d", img.width, img.height);
        o.dict = std::move(dict);
        o.stream.assign(img.samples.begin(), img.samples.end());
        img.samples = {};
        img.palette = {};
        DeflateObjectStream(o);
    }
}
