// The .docx content tree: the kinds of content object that the Word 2007
// writer builds for one page, and the WordprocessingML they write. A page is
// a content section holding positioned shapes (text boxes, pictures, vector
// paths, see word07shapes.h); break sections carry the page size (and
// columns) of the pages before them. The objects write themselves as text
// (writeText), page by page into the body of the main document, so that no
// tree of the whole document is ever held; the picture relationships are a
// chapter written into the relationships part.
//
// What every run and paragraph would repeat (no proofing, black text, no
// space after a paragraph) is set once in the template's styles; the
// objects write only what differs from it.
//
// Lengths in the XML are twentieths of a point (twips), font sizes
// half-points; positions in shape styles are points.
#pragma once

#include "engine/writers/content/chapter.h"
#include "engine/writers/content/objectinfo.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Tolvik {
class IXMLDocument;
class IXMLElement;
}

namespace word07 {
struct PageParts;
}

// Kind tags of the .docx content objects (ObjectInfo::GetType).
enum Word07Kind : int {
    kWord07TextBox = 1,
    kWord07Line = 2,
    kWord07Words = 3,
    kWord07Image = 4,
    kWord07Graphic = 5,
    kWord07Section = 6,
};

// Numbers that name shapes in the document start afresh with every job so
// that two conversions in one process give the same output.
void ResetWord07Counters();

// A text box: an absolutely placed VML shape (points from the page's top
// left corner) holding one paragraph per text line. A box made from a
// rotated or skewed run holds that run directly and is written as a text
// path rotated by its angle.
class Word07TextBlockInfo : public ObjectInfo {
public:
    // Takes the next id from totalcount (boxes are made on several threads).
    static std::atomic<int> totalcount;

    Word07TextBlockInfo();
    Word07TextBlockInfo(const Word07TextBlockInfo&) = delete;
    Word07TextBlockInfo& operator=(const Word07TextBlockInfo&) = delete;
    ~Word07TextBlockInfo() override;

    // Written as text only (writeText), as every object of this tree.
    void writeXML(Tolvik::IXMLElement*) override {}
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    // The run holding "w:pict" with the box, appended to `out`. With
    // `parts` the shape type is left to the body writer (see PageParts).
    void writeText(std::string& out, word07::PageParts* parts = nullptr);

    void setX(double v) { x = v; }
    void setY(double v) { y = v; }
    void setWidth(double v) { width = v; }
    void setHeight(double v) { height = v; }
    double getX() const { return x; }
    double getY() const { return y; }
    double getWidth() const { return width; }
    double getHeight() const { return height; }
    void setRotation(int degrees) { rotation = degrees; }
    int getRotation() const { return rotation; }
    void setMatrix(const double (&m)[6]);
    const double* getMatrix() const { return matrix; }
    int getId() const { return id; }
    // Appends the object and takes ownership; a null pointer is ignored.
    void AddObject(ObjectInfo* object);
    const ObjectList& getObjects() const { return objects; }

private:
    void writeRotated(std::string& out);

    double x = 0;
    double y = 0;          // top edge, measured down from the page's top
    double height = 0;
    double width = 0;
    ObjectList objects;    // owned: paragraphs, or the run of a rotated box
    int id = 0;
    int rotation = 0;      // whole degrees
    double matrix[6] = {0, 0, 0, 0, 0, 0};
};

// One paragraph of a text box: an exact line height, the space above it that
// puts it where its line is, and a first-line indent.
class Word07LineInfo : public LineInfo {
public:
    Word07LineInfo();

    void writeXML(Tolvik::IXMLElement*) override {}
    // "w:p" with its runs.
    void writeText(std::string& out) const;

    void setX(double indentFromBoxLeft) { indent = indentFromBoxLeft; }
    void setY(double topFromBoxTop) { top = topFromBoxTop; }
    void setHeight(double h) { height = h; }
    double getX() const { return indent; }
    double getY() const { return top; }
    double getHeight() const { return height; }
    // Twips of space above the paragraph (the box sets it when it writes).
    void setSpaceBefore(int twips) { spaceBefore = twips; }
    // The exact line height as written: whole twips, at least one point.
    int HeightTwips() const;

private:
    double indent = 0;   // points from the box's left edge
    double top = 0;      // points from the box's top edge
    double height = 0;   // points
    int spaceBefore = 0; // twips
};

// A run of text with font, size and colour; a run that links to a page of
// the document is wrapped in a hyperlink to that page's bookmark.
class Word07WordsInfo : public WordsInfo {
public:
    Word07WordsInfo();

    void writeXML(Tolvik::IXMLElement*) override {}
    // "w:r" (inside "w:hyperlink" for a link).
    void writeText(std::string& out) const;
    void setContent(const std::string& text) override { content = text; }
    void appendContent(const std::string& text) { content += text; }
    virtual void setStyle(const WordStyle& s) { style = s; }
    const WordStyle& getStyle() const { return style; }
    // The bookmark number of the linked page; -1 for no link.
    void setLinkPage(int page) { linkPage = page; }
    int getLinkPage() const { return linkPage; }

private:
    int linkPage = -1;
};

struct Word07Column {
    int number = 0;      // 1-based
    double width = 0;    // points
};

// One page's content (page-size flag clear): a paragraph with the page's
// bookmark, then a paragraph holding the page's shapes and ending the page.
// Or a section break (flag set): the page size and columns of the pages
// before it.
class Word07Section : public Section {
public:
    Word07Section() { SetType(kWord07Section); }
    ~Word07Section() override = default;

    void writeXML(Tolvik::IXMLElement*) override {}
    // The page's paragraphs (content section), or "w:sectPr" (a break
    // section that ends no page), appended to the body text `out`.
    void writeText(std::string& out) const;

    // A content section's text in three parts, for a body writer that has
    // the shapes made apart from the rest (on the thread that analysed the
    // page): the opening (the bookmark paragraph, and the start of the
    // paragraph of the shapes), the shapes, and the closing that ends the
    // page. `hasShapes` is what writeShapes answered.
    void writeOpening(std::string& out, bool hasShapes) const;
    // The page's shapes (text boxes, pictures, paths) in order; with `parts`
    // what depends on the pages before is left to the body writer. True
    // when the page has shapes.
    bool writeShapes(std::string& out, word07::PageParts* parts) const;
    void writeClosing(std::string& out, bool hasShapes) const;

    // The font families of the page's runs, in the order first used, with
    // their kind: the book's font table lists them.
    struct FontUse {
        std::string family;
        bool fixedPitch = false;
        bool serif = false;
    };
    void UseFont(const std::string& family, bool fixedPitch, bool serif);
    const std::vector<FontUse>& UsedFonts() const { return fonts; }

    void SetHeight(double h) { height = h; }
    void SetWidth(double w) { width = w; }
    double GetHeight() const { return height; }
    double GetWidth() const { return width; }
    void SetIfPageSize(bool flag) { pageSize = flag; }
    bool IsPageSize() const { return pageSize; }
    void AddCol(double colWidth);
    int getColsCount() const { return static_cast<int>(cols.size()); }
    const std::vector<Word07Column>& getCols() const { return cols; }
    void SetPageIndex(int index) { pageIndex = index; }
    void SetPageCount(int count) { pageCount = count; }
    int GetPageIndex() const { return pageIndex; }
    int GetPageCount() const { return pageCount; }

    // A content section whose page is the last of a section: the break
    // section's properties go into the page's last paragraph (a section
    // break that also starts the next page) instead of a page break. The
    // break section is not owned and then writes nothing of its own.
    void SetSectionEnd(Word07Section* breakSection);
    Word07Section* GetSectionEnd() const { return sectionEnd; }
    // How the section of a break section starts: "continuous" for the
    // document's first section, "nextPage" after a section break.
    void SetSectionStart(const std::string& type) { sectionStart = type; }
    // "w:sectPr" of a break section.
    void writeSectPr(std::string& out) const;

private:
    // Whether the page ends with a paragraph of its own (it has shapes, or
    // its end must be marked).
    bool endsWithParagraph(bool hasShapes) const;

    double height = 0;
    double width = 0;
    bool pageSize = false;
    std::vector<Word07Column> cols;
    int pageIndex = 0;
    int pageCount = 0;
    Word07Section* sectionEnd = nullptr;   // content sections; not owned
    bool endsPage = false;                 // break sections owned by a page
    std::string sectionStart = "continuous";
    std::vector<FontUse> fonts;
};

// The picture relationships of the main document, appended directly under
// the root of the relationships part.
class Word07RelDocument : public Chapter {
public:
    explicit Word07RelDocument(const std::string& name) : Chapter(name) {}

    bool writeXml(Tolvik::IXMLDocument* doc) override;
};

// One picture relationship: "Relationship" with "Id", "Target", "Type".
class Word07ImageRel : public ObjectInfo {
public:
    static const char* const TYPENAME;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement*, int&) override {}

    void SetTarget(const std::wstring& t) { target = t; }
    void SetId(const std::string& i) { id = i; }
    const std::wstring& GetTarget() const { return target; }
    const std::string& GetId() const { return id; }

private:
    std::wstring target;
    std::string id;
};

// Helpers shared by the .docx content classes.
namespace word07 {

// Appends ` name="value"`, the value escaped.
void Attr(std::string& out, const char* name, std::string_view value);
void Attr(std::string& out, const char* name, int value);
// What a page's shapes leave to the body writer, which has the pages in
// order: where a shape needs a shape type defined before it in the document
// (written once, before the first shape of its type), and where a picture's
// number in the document goes (pictures are numbered in document order; the
// number names the shape and its relationship). The page's pictures are
// numbered from 0 in `pictures`, which holds their files. Made with the
// shapes' text, so that a page's shapes can be written on any thread.
struct PageParts {
    enum Kind : int { kPictureType, kTextBoxType, kTextPathType, kPictureNumber };
    struct Place {
        std::size_t at = 0;   // offset in the shapes' text
        Kind kind = kPictureType;
        int picture = 0;      // kPictureNumber: the picture of the page
    };
    std::vector<Place> places;           // in text order
    std::vector<std::wstring> pictures;  // the path of each picture of the page

    // Records a shape type the text at `at` needs; once per page and type.
    void NeedType(std::size_t at, Kind kind);
};

// The relationship of the picture with that number in the document, whose
// file is `path` (its name becomes the part "media/<name>").
Word07ImageRel* NewPictureRelationship(int number, const std::wstring& path);

// Appends any .docx content object of this tree (by its kind) as text; with
// `parts` as PageParts says.
void WriteObject(std::string& out, const ObjectInfo* object, PageParts* parts = nullptr);

// The main document of the template split around its body: `head` ends with
// the start tag "<w:body>", `tail` starts with "</w:body>". A self-closing
// empty body is opened; what an open body holds is dropped. False when the
// root has no "w:body" element.
struct BodyFrame {
    std::string head;
    std::string tail;
};
bool SplitAtBody(const std::string& document, BodyFrame& frame);
// A number of twips (or half-points) as written: the value truncated toward
// zero; NaN and values beyond the int range give 0 or the range's end.
int WholeNumber(double value);
// A length or position in points as whole twips, within what a page can
// hold whatever a damaged file says; 0 for NaN.
int Twips(double points);
// Predefined VML shape types are defined once per document, before the
// first shape that refers to them; the body writer resets these marks.
struct ShapeTypes {
    static bool picture;    // _x0000_t75
    static bool textPath;   // _x0000_t136
    static bool textBox;    // _x0000_t202
    static void Reset();
};
void WritePictureShapeType(std::string& out);
void WriteTextBoxShapeType(std::string& out);
void WriteTextPathShapeType(std::string& out);
// Every shape stands in "w:pict" inside a run of its own.
constexpr const char* kShapeRunStart = "<w:r><w:pict>";
constexpr const char* kShapeRunEnd = "</w:pict></w:r>";

} // namespace word07
