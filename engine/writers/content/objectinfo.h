// The output content tree that the reflowable writers build while the book
// walks its pages: paragraphs of text runs, tables of rows and cells, and
// images, gathered per page in a Section. Each object writes itself as XHTML
// (writeXML) and adds its EPUB package entries (writeOPF). The EPUB writer
// uses these classes as they are; the HTML and Word 2007 writers derive their
// own kinds from them and override the writing operations.
//
// Text is UTF-8, paths are wide. A container owns the objects in its list and
// deletes them through their virtual destructors; an object belongs to one
// container only. Containers cannot be copied (a copy would share, and then
// delete twice, the objects it owns).
#pragma once

#include <string>
#include <vector>

namespace Tolvik {
class IXMLElement;
}

class ObjectInfo {
public:
    ObjectInfo() = default;
    ObjectInfo(const ObjectInfo&) = default;
    ObjectInfo& operator=(const ObjectInfo&) = default;
    virtual ~ObjectInfo() = default;

    // Writes the object as XHTML under `parent`.
    virtual void writeXML(Tolvik::IXMLElement* parent) = 0;
    // Adds the object's package entries under `manifest` and advances the
    // running id past the ids it used.
    virtual void writeOPF(Tolvik::IXMLElement* manifest, int& id) = 0;

    // The kind tag: the base classes leave it 0 and never read it; derived
    // content classes that need to tell kinds apart set it.
    int GetType() const { return type; }

protected:
    void SetType(int kind) { type = kind; }

    int type = 0;
};

using ObjectList = std::vector<ObjectInfo*>;

// A paragraph: "p" holding its runs (and any other objects) in order.
class LineInfo : public ObjectInfo {
public:
    LineInfo() = default;
    LineInfo(const LineInfo&) = delete;
    LineInfo& operator=(const LineInfo&) = delete;
    ~LineInfo() override;

    void writeXML(Tolvik::IXMLElement* parent) override;
    // Forwards to the objects of the list (runs add nothing).
    void writeOPF(Tolvik::IXMLElement* manifest, int& id) override;

    // Appends the object and takes ownership; a null pointer is ignored.
    void appendContent(ObjectInfo* object);
    // A copy of the list; the objects stay the paragraph's.
    ObjectList getContents() const { return contents; }
    // Replaces the list and takes ownership of the new objects; objects of
    // the old list that are not in the new one are deleted.
    void setContents(const ObjectList& list);

protected:
    ObjectList contents;   // owned
};

// A run of text: "span" whose text is the content. The style is not written
// by the run itself; derived runs use it.
class WordsInfo : public ObjectInfo {
public:
    struct WordStyle {
        std::string color;      // six hexadecimal digits, no "#"; may be empty
        std::string fontName;
        std::string extra;      // carried along, read by nobody here
        double fontSize = 0;    // points
        bool bold = false;
        bool italic = false;
        bool underline = false;

        // CSS declarations: "font-size:" size*scale ";" then the bold,
        // italic and underline declarations that are set, then "color:" and
        // the colour text (without a closing ";") when there is one.
        std::string toStyle(double scale) const;
    };

    WordsInfo() = default;
    WordsInfo(const WordsInfo&) = default;
    WordsInfo& operator=(const WordsInfo&) = default;
    ~WordsInfo() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    virtual void setContent(const std::string& text) { content = text; }

    std::string getContent() const { return content; }
    void getXML() {}

protected:
    std::string content;
    WordStyle style;
};

class TableRow;
class TableColumn;

// A table: "table" (cellpadding 0, cellspacing 0, border 1) holding its rows.
class TableInfo : public ObjectInfo {
public:
    TableInfo() = default;
    TableInfo(const TableInfo&) = delete;
    TableInfo& operator=(const TableInfo&) = delete;
    ~TableInfo() override;

    void writeXML(Tolvik::IXMLElement* parent) override;
    // Forwards to the rows, so that pictures inside cells reach the package.
    void writeOPF(Tolvik::IXMLElement* manifest, int& id) override;

    // Appends the row and takes ownership; a null pointer is ignored.
    void appendRow(TableRow* row);
    std::size_t getRowCount() const { return rows.size(); }

protected:
    ObjectList rows;   // owned TableRow objects
};

// A table row: "tr" holding its cells.
class TableRow : public ObjectInfo {
public:
    TableRow() = default;
    TableRow(const TableRow&) = delete;
    TableRow& operator=(const TableRow&) = delete;
    ~TableRow() override;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement* manifest, int& id) override;

    // Appends the cell and takes ownership; a null pointer is ignored.
    void appendColumn(TableColumn* column);
    std::size_t getColumnCount() const { return columns.size(); }

protected:
    ObjectList columns;   // owned TableColumn objects
};

// A table cell: "td" with "rowspan" when the row span is not 0 and
// "colspan" when the column span is greater than 1, holding its objects.
class TableColumn : public ObjectInfo {
public:
    TableColumn() = default;
    TableColumn(const TableColumn&) = delete;
    TableColumn& operator=(const TableColumn&) = delete;
    ~TableColumn() override;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement* manifest, int& id) override;

    // Appends the object and takes ownership; a null pointer is ignored.
    void appendContent(ObjectInfo* object);
    ObjectList getContents() const { return contents; }
    void setRowSpan(int span) { rowSpan = span; }
    void setColSpan(int span) { colSpan = span; }
    int getRowSpan() const { return rowSpan; }
    int getColSpan() const { return colSpan; }

protected:
    ObjectList contents;   // owned
    int rowSpan = 0;
    int colSpan = 0;
};

// An image: "div" holding "img" whose "src" is the path (relative to the
// chapter file) and whose "alt" is empty. In the package it is one manifest
// item of type image/jpeg.
class ImageInfo : public ObjectInfo {
public:
    ImageInfo() = default;
    ImageInfo(const ImageInfo&) = default;
    ImageInfo& operator=(const ImageInfo&) = default;
    ~ImageInfo() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;
    // Adds "item" with id "item" + the running id, href = the path and
    // media-type "image/jpeg", and advances the id. An image whose path the
    // manifest already lists (the same picture on several pages) adds
    // nothing: a package names each file once.
    void writeOPF(Tolvik::IXMLElement* manifest, int& id) override;

    void setPath(const std::wstring& p) { path = p; }
    std::wstring getPath() const { return path; }
    void setWidth(double w) { width = w; }
    void setHeight(double h) { height = h; }
    double getWidth() const { return width; }
    double getHeight() const { return height; }

protected:
    std::wstring path;
    double height = 0;
    double width = 0;
};

// A picture by narrow path; no writer makes one. "div" holding an "img"
// whose only attribute is an empty "alt".
class PicInfo : public ObjectInfo {
public:
    PicInfo() = default;
    ~PicInfo() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    void getXML() {}

protected:
    std::string path;
};

// A page's content. It has no element of its own: its objects write
// themselves into the parent in order.
class Section : public ObjectInfo {
public:
    Section() = default;
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;
    ~Section() override;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement* manifest, int& id) override;

    // Appends the object and takes ownership; a null pointer is ignored.
    void appendObject(ObjectInfo* object);
    ObjectList getContent() const { return objects; }
    // Replaces the list as LineInfo::setContents does.
    void setContent(const ObjectList& list);

protected:
    ObjectList objects;   // owned
};

// The package id of the running number n: "item" + n. Manifest and spine ids
// must be XML names, which cannot begin with a digit.
std::string ManifestId(int n);
