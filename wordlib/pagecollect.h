// What the Word writer keeps of the page model while the engine walks a
// book: plain records of every page's text runs, pictures and vector paths,
// converted at once from the page model's points (origin bottom left, y up)
// into twips measured from the top left corner of the page. Nothing goes to
// disk here; the document builder turns the records into the document when
// the writer saves.
//
// Page size: the Word format stores page sizes and drawing coordinates in 16
// bits and takes pages up to 31680 twips (22 inches) a side. A page whose
// larger side exceeds that is scaled down as a whole (size, positions, font
// sizes, line widths) so that it fits, keeping its proportions; smaller pages
// keep their size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TextBlock;
class ImageBlock;
class GraphicBlock;
struct Text;
struct ParserLinePattern;

namespace scrivlet {

// The largest page side the format takes, in twips.
inline constexpr double kMaxPageTwips = 31680.0;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// One text element of a text block, upright (its matrix has b = c = 0).
struct TextRun {
    std::string fontName;
    double fontSize = 0;        // half-points
    double x = 0, top = 0, width = 0, height = 0;
    Rgb color;
    bool italic = false, bold = false, underline = false, strikeOut = false;
    std::string text;           // UTF-8, as the page model holds it
    std::u16string wideText;    // the same text in UTF-16
    bool hasLink = false;
    int linkKind = 0;           // 0 a page of the document, 1 an address
    int linkPage = -1;          // target page of a kind-0 link
    std::u16string linkAddress; // target of a kind-1 link
};

// A text element turned or skewed: drawn as a shape of its own.
struct RotatedRun {
    TextRun run;                // width, height and font size of the unturned box
    double transform[6] = {1, 0, 0, 1, 0, 0};   // shear of the box
    float rotation = 0;         // degrees
    std::int32_t anchorLeft = 0, anchorTop = 0, anchorRight = 0, anchorBottom = 0;
};

struct TextGroup {
    double x = 0, top = 0, width = 0, height = 0;
    std::vector<TextRun> runs;
};

struct Picture {
    double x = 0, top = 0, width = 0, height = 0;
    std::wstring path;          // the picture file
};

// Vertex kinds of a path shape.
enum VertexKind : std::int32_t {
    kVertexFirst = 0,
    kVertexLine = 1,
    kVertexCurve = 2,     // first control point of a curve
    kVertexControl = 3,   // further points of a curve
    kVertexEnd = 4,
};

struct Vertex {
    std::int16_t x = 0, y = 0;   // twips from the page's top left
    std::int32_t kind = kVertexFirst;
    bool operator==(const Vertex&) const = default;
};

struct PathShape {
    std::vector<Vertex> vertices;
    double lineWidth = 0;        // twips; 0 is the thinnest line
    Rgb stroke, fill;
    std::vector<std::int32_t> dashes;   // dash, gap, ... in line widths; empty: solid
};

struct GraphicGroup {
    std::vector<PathShape> paths;
    bool closed = false, filled = false, stroked = false;
    std::int32_t evenOdd = 0;
};

struct PageEntry {
    std::vector<TextGroup> flow;        // one per text block
    std::vector<GraphicGroup> graphics;
    std::vector<Picture> pictures;
    std::vector<RotatedRun> rotated;
};

// A run of pages of equal size.
struct SectionEntry {
    double width = 0, height = 0;   // twips
    std::vector<PageEntry> pages;
};

// A colour channel of the page model (0 to 1) as a byte: times 255,
// truncated, clamped to 0..255 (NaN gives 0).
std::uint8_t ColorByte(double channel);

// A stroke's dash pattern (in points) as the lengths of dash, gap, dash...
// in line widths, starting at the pattern's phase; a phase that falls into
// a gap gives a leading dash of length 0. Empty for a solid line. A zero
// line width (a hairline, the thinnest line a device draws) counts as one
// point.
std::vector<std::int32_t> DashLengths(const ParserLinePattern& pattern, double lineWidthPt);

// The collected pages of one document.
class PageCollector {
public:
    // Starts a page of the given size in points: a new section when the
    // (scaled) size differs from the last section's.
    void beginPage(double widthPt, double heightPt);
    // Each appends to the page begun last; ignored before any page.
    void addText(TextBlock& block);
    // `imageFolder` is the folder (ending in a separator) where the engine
    // put the page pictures; the picture is kept only when its file exists.
    void addImage(const ImageBlock& block, const std::wstring& imageFolder);
    void addGraphic(const GraphicBlock& block);

    // The run an upright or turned text element becomes; public so that the
    // rules can be checked one element at a time. False when the element
    // is dropped.
    bool makeRun(const Text& element, TextRun& out) const;
    bool makeRotatedRun(const Text& element, RotatedRun& out) const;

    std::vector<SectionEntry>& sections() { return sections_; }
    const std::vector<SectionEntry>& sections() const { return sections_; }
    void clear();

    // The factor that takes the current page into the format's limit (1
    // for pages that fit).
    double scale() const { return scale_; }

private:
    PageEntry* currentPage();
    double twips(double points) const { return points * 20.0 * scale_; }

    std::vector<SectionEntry> sections_;
    double scale_ = 1.0;
};

} // namespace scrivlet
