// The typesetter: turns content events and directly placed pictures into
// PDF pages. A document is a list of pages; a page holds lines of tokens
// (text pieces, pictures, filled rectangles) and tables drawn on a grid of
// column edges and row tops. Text is laid out with a fixed-width glyph model
// (characters below 128 are half the font size wide, others the full size)
// and wrapped at the line width, after the last blank where there is one.
// Pages break at the bottom margin; tables that run past it are split over
// as many pages as they need. A finished page is rendered at once into
// content streams of about 10000 bytes each.
//
// Coordinates are whole PDF points from the bottom left of the page; y goes
// down as content is added. Table geometry is kept in table units of 1/18
// point.
#pragma once

#include "engine/topdf/contentevents.h"
#include "engine/topdf/imagedecode.h"
#include "engine/topdf/pdfobject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class OPdfDocument;
class OPdfPage;

// Document kinds: what the pages are made for.
enum DocumentKind : int {
    KIND_TEXT = 0,           // word-processing text: Letter pages, text flows
    KIND_WORKBOOK = 1,       // one table per sheet; pages widen to the table
    KIND_PRESENTATION = 2,   // one page per slide; boxes at absolute places
    KIND_PICTURES = 3,       // pictures one below the other, one pixel a point
};

// A picture placed on a page: its decoded samples, the image object that
// carries them and, for palette pictures, the palette object after it.
struct OPdfImage {
    DecodedImage image;
    OPdfObject* object = nullptr;
    OPdfObject* palette = nullptr;
    int index = 0;   // its XObject name on the page is "/I" + index
    // Where it is drawn.
    int x = 0, y = 0, width = 0, height = 0;
};

// What a line holds.
class OToken {
public:
    virtual ~OToken() = default;
    // Appends the token's operators to the page's content.
    virtual void write(OPdfPage& page) = 0;

    bool positioned = false;   // moved by line alignment and anchoring
    int x = 0, y = 0, width = 0, height = 0;
};

class OStrToken : public OToken {
public:
    void write(OPdfPage& page) override;

    int size = 0;
    RunStyle style;
    std::u16string text;   // a copy of the characters
};

class OImgToken : public OToken {
public:
    void write(OPdfPage& page) override;

    OPdfImage* image = nullptr;   // owned by the page
};

class OBackToken : public OToken {
public:
    void write(OPdfPage& page) override;

    std::uint32_t colour = 0;
};

struct OPdfLine {
    int anchor = 0;   // vertical anchor of its box (last non-zero wins)
    int align = 0;    // horizontal alignment (last non-zero wins)
    int height = 0;   // largest font size or picture height laid in
    int startX = 0;
    int endX = 0;
    int width = 0;         // width available when the line began
    int firstHeight = 0;   // size of its first item, 0 while empty
    std::vector<std::unique_ptr<OToken>> tokens;
    int box = 0;           // box number current when it began
    int boxHeight = 0;     // height the box's content is anchored in
    bool aligned = false;  // alignment already applied
};

class OPdfTable {
public:
    int columns() const { return static_cast<int>(edges.size()) - 1; }
    // Width of a column in table units; 0 for a column that does not exist.
    int columnWidth(int column) const;
    // Draws cell shading and borders (at page finish).
    void draw(OPdfPage& page, int kind) const;
    // Colour and id of a cell; white and 0 for a cell never made.
    std::uint32_t cellColour(int row, int column) const;
    int cellId(int row, int column) const;
    void setCell(int row, int column, std::uint32_t colour, int id);

    std::vector<int> edges;     // column edges, table units; edges[0] is the left edge
    std::vector<int> rowTops;   // points; rowTops[0] is the table's top
    std::vector<std::vector<std::uint32_t>> colours;   // per row, per column
    std::vector<std::vector<int>> ids;
    int mergeState = 0;
    int nextId = 1;
    int cellLeft = 0;    // table units
    int cellWidth = 0;   // table units
    int borders = 0;
    int column = 0;
    int gathered = 0;    // height gathered in the current cell
    int rowHeight = 0;   // largest of the row so far
    OPdfTable* parent = nullptr;
};

class OPdfPage {
public:
    OPdfPage(OPdfDocument& doc, int mediaWidth, int mediaHeight);

    // The line being filled.
    OPdfLine& line() { return lines.back(); }
    // Ends the current line and begins a new one at the left edge.
    void endLine();
    // Begins a fresh line at the pen (reusing the current one when empty),
    // with the current box number and line width.
    void restartLine();
    void moveTo(int x, int y);
    // The area where lines go returns to the page margins.
    void resetTextArea();
    // Sets the width of the area lines fill, for the current line too.
    void setLineWidth(int width);

    void beginTable();
    void addColumn(int width);
    void setCellWidth(int width);
    void nextCell(const RunStyle& style);
    void endRow();
    // Ends the innermost table; true when the page must now be split.
    bool endTable();

    // Renders the page into its content streams and frees its lines.
    void finish();
    bool finished() const { return finished_; }

    // Content output, used by the tokens and tables while finishing.
    std::string& content();
    void writeColour(std::uint32_t colour);
    void writeRect(std::uint32_t colour, int x, int y, int width, int height);
    void endTextObject();
    void beginTextObject();

    OPdfDocument& doc;
    int left = 0, top = 0, lineWidth = 0, textHeight = 0;
    int marginX = 0, marginY = 0, mediaWidth = 0, mediaHeight = 0;
    int curX = 0, curY = 0;
    int boxNumber = 0;

    // Content state while finishing.
    int lastTextX = 0, lastTextY = 0, lastSize = -1, lastStyle = -1;
    std::uint32_t lastColour = 0xFFFFFFFFu;
    bool matrixWritten = false;
    bool rectSinceColour = false;
    bool inText = false;
    unsigned stylesUsed = 0;   // bit per font style

    OPdfObject* pageObject = nullptr;
    OPdfObject* resources = nullptr;
    std::vector<OPdfObject*> contents;
    std::vector<std::unique_ptr<OPdfImage>> pictures;
    std::vector<OPdfLine> lines;
    std::vector<std::unique_ptr<OPdfTable>> tables;
    OPdfTable* openTable = nullptr;

    // Moves every line's items by its alignment and onto its lowest
    // baseline; each line once.
    void alignLines();

private:
    void anchorBoxes();
    void writeImages();

    bool finished_ = false;
};

class OPdfDocument {
public:
    OPdfDocument();
    ~OPdfDocument();
    OPdfDocument(const OPdfDocument&) = delete;
    OPdfDocument& operator=(const OPdfDocument&) = delete;

    // Where writeFile writes (UTF-8 path).
    void setOutputPath(const std::string& path) { outputPath_ = path; }

    // Page size in inches, margins in points, the advance of an empty line
    // and default row height; begins the first page for text and pictures.
    void setupPage(int kind, double widthInch, double heightInch, int marginX, int marginY,
                   int baseSize);
    // Finishes the current page and begins one of the document's page size
    // (`mediaWidth` wide when not 0).
    OPdfPage* newPage(int mediaWidth = 0);
    OPdfPage* current() { return pages_.empty() ? nullptr : pages_.back().get(); }
    // The current page, begun when there is none yet.
    OPdfPage& page();

    // One content event.
    void handleEvent(const void* data, int len, unsigned code, std::uintptr_t arg);
    // Lays out text with the style; the control characters 13, 10, 11 end
    // lines, 7 ends a table cell, NUL ends the text.
    void addText(const char16_t* text, std::size_t count, const RunStyle& style);
    // Places a picture at the pen (display size 0 x 0: one pixel a point);
    // false when the bytes are no picture that can be decoded.
    bool placeImage(int displayWidth, int displayHeight, const std::uint8_t* bytes,
                    std::size_t size);

    // Makes the font pair of a style (0 regular, 1 bold, 2 italic, 3 both).
    void writeFont(int style);
    OPdfObject* font(int style) const { return fonts_[style & 3]; }
    OPdfObject* newObject() { return objects_.create(); }

    // Writes the PDF file and returns its size; 0 when the document has no
    // page or the file cannot be written (no file is left then). The
    // document's objects are used up: write once.
    unsigned writeFile();

    int kind() const { return kind_; }
    int baseSize() const { return baseSize_; }
    int marginX() const { return marginX_; }
    int marginY() const { return marginY_; }
    int pageCount() const { return static_cast<int>(pages_.size()); }
    int pictureCount() const { return pictures_; }

private:
    void tableEvent(int op, int value);
    void layRun(const char16_t* text, std::size_t count, const RunStyle& style);
    void emitPiece(OPdfPage& page, const char16_t* text, std::size_t count, const RunStyle& style,
                   long long width);
    void cellMark(const RunStyle& style);
    // Moves what lies below the bottom margin (as far as tables run past
    // it) to new pages.
    void splitPage();
    static void movePicture(OPdfPage& from, OPdfPage& to, OPdfImage* image, int shift);
    void writePageDict(OPdfPage& page);

    std::string outputPath_;
    PdfObjectTable objects_;
    std::vector<std::unique_ptr<OPdfPage>> pages_;
    OPdfObject* fonts_[4] = {nullptr, nullptr, nullptr, nullptr};
    int pageWidth_ = 612;
    int pageHeight_ = 792;
    int kind_ = KIND_TEXT;
    int baseSize_ = 12;
    int marginX_ = 0;
    int marginY_ = 0;
    int pictures_ = 0;
    bool written_ = false;
};

// The content-event callback of the typesetter: `user` is the OPdfDocument.
void docReaderCallback(void* user, const void* data, int len, unsigned code, std::uintptr_t arg);
