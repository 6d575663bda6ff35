// The document builder: the collected pages become the text, properties and
// tables of a Word document.
//
// A page is not reproduced as free-positioned text: it is rebuilt as one
// column of left-aligned one-line paragraphs whose first-line indents, exact
// line heights and blank lines put every line at its measured place; text
// that cannot stand in that column goes into text boxes anchored on the
// page, and pictures, vector paths and turned text become drawn shapes.
// Runs that carry a link become HYPERLINK fields, links to pages of the
// document pointing at a bookmark at the start of the target page.
//
// Text layout: the main text (pages separated by page breaks, the last page
// ending with a paragraph mark, as the format requires), then the text-box
// stories, each ending with its own paragraph mark, then one further mark
// that ends the text-box text.
#pragma once

#include "wordlib/fkplayout.h"
#include "wordlib/lineextract.h"
#include "wordlib/pagecollect.h"
#include "wordlib/plc.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace scrivlet {

// What a HYPERLINK field points at: a bookmark of the document or an address.
struct HyperlinkTarget {
    bool bookmark = false;
    std::u16string target;
};

// A picture that a text box shows: its file and size in twips.
struct BoxPicture {
    std::wstring path;
    std::int32_t width = 0, height = 0;
};

// A drawn object of the document, in anchor order: the k-th request belongs
// to the k-th shape anchor, and its shape id goes into that anchor (and, for
// the boxes, into their story entry).
struct ShapeRequest {
    enum Kind { TextBox, PictureBox, Path, RotatedText } kind = TextBox;
    std::size_t anchor = 0;       // index of its anchor
    std::size_t story = 0;        // TextBox, PictureBox: index of the story entry (n of the box)
    std::size_t picture = 0;      // PictureBox: index into pictures
    const LineGroup* box = nullptr;        // TextBox: its lines
    const GraphicGroup* group = nullptr;   // Path
    const PathShape* path = nullptr;       // Path
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;   // Path: bounding box of the vertices
    const RotatedRun* rotated = nullptr;   // RotatedText
};

// A page whose shapes point into it (text boxes, paths, turned text): kept
// until the shapes are made. Pages without such shapes are let go once
// their text is written.
struct KeptPage {
    PageEntry page;
    PageLines lines;   // point into `page`
};

struct BuiltDocument {
    std::u16string text;
    std::uint32_t ccpText = 0;   // main text, ending with a paragraph mark
    std::uint32_t ccpTxbx = 0;   // text-box text, with its final mark
    std::uint32_t pageCount = 0;

    std::vector<ClosedRun> runs;
    std::vector<PropertyList> runLists;          // the runs' property lists, each once
    std::vector<ClosedParagraph> paragraphs;
    std::vector<PapxEntry> paragraphEntries;     // the paragraphs' entries, each once
    std::vector<ChpxFkp> chpxPages;
    std::vector<PapxFkp> papxPages;
    Plc<Elem4> chpxBins, papxBins;

    Plc<Sed> sections;                       // CPs: 0, then each section's end
    std::vector<PropertyList> sectionProps;  // one SEPX per section

    std::vector<std::string> fonts;          // UTF-8 names, in font-index order

    Plc<Fld> fieldsMain;                     // CPs in the main text
    Plc<Fld> fieldsTxbx;                     // CPs in the text-box text
    std::vector<HyperlinkTarget> hyperlinks; // one per HYPERLINK field, in index order

    std::vector<std::u16string> bookmarkNames;
    Plc<Elem4> bookmarkStarts;               // element: index of the bookmark's end
    std::vector<std::uint32_t> bookmarkEnds; // CPs, with the closing CP

    Plc<Fspa> anchors;                       // shape ids 0 until the shapes are made
    Plc<Ftxbxs> textBoxes;                   // CPs in the text-box text; lids 0 until made
    Plc<Tbkd> textBoxBreaks;
    std::vector<BoxPicture> pictures;
    std::vector<ShapeRequest> shapes;

    bool links = false, drawings = false, hasTextBoxes = false, hasPictures = false;

    // The pages the shape requests point into; they live as long as the
    // document.
    std::vector<std::unique_ptr<KeptPage>> kept;
};

class Builder;

// Builds a document page by page: each page's main text is written as it
// comes, and the page is let go unless shapes point into it, so that the
// pages of a long document are not all held at once. The text-box stories,
// bookmarks and formatted disk pages are made by finish.
class DocumentBuilder {
public:
    // Fills `out`, which must outlive the builder.
    explicit DocumentBuilder(BuiltDocument& out);
    ~DocumentBuilder();
    DocumentBuilder(const DocumentBuilder&) = delete;
    DocumentBuilder& operator=(const DocumentBuilder&) = delete;

    // Starts a section of pages of the given size in twips.
    void beginSection(double width, double height);
    // Writes the page into the current section (a section of size 0 when
    // none was begun).
    void addPage(PageEntry page);
    // Ends the document. False when the text grows beyond what the format
    // can address, or a run's properties cannot be laid out on a formatted
    // disk page.
    bool finish(std::string& why);

private:
    std::unique_ptr<Builder> impl_;
};

// Builds the document from the collected sections at once.
bool BuildDocument(std::vector<SectionEntry> sections, BuiltDocument& out, std::string& why);

// The instruction of a HYPERLINK field: HYPERLINK "address", or
// HYPERLINK \l "bookmark" for a place in the document; quotes and
// backslashes in the target are escaped.
std::u16string HyperlinkInstruction(const HyperlinkTarget& target);

// Sprms the builder writes.
namespace sprms {
inline constexpr std::uint16_t kCFData = 0x0806;
inline constexpr std::uint16_t kCFFldVanish = 0x0802;
inline constexpr std::uint16_t kCFBold = 0x0835;
inline constexpr std::uint16_t kCFItalic = 0x0836;
inline constexpr std::uint16_t kCFSpec = 0x0855;
inline constexpr std::uint16_t kCKul = 0x2A3E;
inline constexpr std::uint16_t kCHps = 0x4A43;
inline constexpr std::uint16_t kCRgFtc0 = 0x4A4F;
inline constexpr std::uint16_t kCRgFtc1 = 0x4A50;
inline constexpr std::uint16_t kCCv = 0x6870;
inline constexpr std::uint16_t kCCvUl = 0x6877;
inline constexpr std::uint16_t kCPicLocation = 0x6A03;
inline constexpr std::uint16_t kCDxaSpace = 0x8840;
inline constexpr std::uint16_t kCFitText = 0xCA76;
inline constexpr std::uint16_t kPJc80 = 0x2403;
inline constexpr std::uint16_t kPFWidowControl = 0x2431;
inline constexpr std::uint16_t kPJc = 0x2461;
inline constexpr std::uint16_t kPDyaLine = 0x6412;
inline constexpr std::uint16_t kPDxaLeft180 = 0x8411;
inline constexpr std::uint16_t kPDxaLeft1 = 0x8460;
inline constexpr std::uint16_t kPDyaBefore = 0xA413;
inline constexpr std::uint16_t kSDyaHdrTop = 0xB017;
inline constexpr std::uint16_t kSDyaHdrBottom = 0xB018;
inline constexpr std::uint16_t kSXaPage = 0xB01F;
inline constexpr std::uint16_t kSYaPage = 0xB020;
inline constexpr std::uint16_t kSDxaLeft = 0xB021;
inline constexpr std::uint16_t kSDxaRight = 0xB022;
inline constexpr std::uint16_t kSDyaTop = 0x9023;
inline constexpr std::uint16_t kSDyaBottom = 0x9024;
} // namespace sprms

} // namespace scrivlet
