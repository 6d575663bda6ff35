// The content objects of the HTML pages. They extend the output content tree
// with positions and sizes: every text element and every picture of a page
// becomes an absolutely positioned element. Positions and sizes are kept in
// points as the page model gives them (y measured down from the page's top
// edge); the scale is applied only when the markup is written, and the numbers
// are written without a unit.
#pragma once

#include "engine/writers/content/objectinfo.h"

#include <string>
#include <string_view>

// Appends the text escaped as the XML layer's pretty printer writes it:
// character data (`attribute` false: "&", "<" and ">" escaped) or an
// attribute value between double quotes ("&", "<", '"' and tab escaped).
// False at a character the printer would write otherwise than as it
// stands, or leave out (line breaks and the other controls below U+0020,
// U+FFFE, U+FFFF, malformed UTF-8); `out` then holds a part of the text.
bool AppendEscaped(std::string& out, std::string_view text, bool attribute);

// A page: "table" (border 0, the page's height and width) holding one row with
// one cell, into which every object of the page writes itself.
class HtmlSection : public Section {
public:
    explicit HtmlSection(double scale);
    ~HtmlSection() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;

    // Appends the page's "table" as the XML layer's pretty printer writes
    // it at `level` (two spaces of indentation per level, one element per
    // line, attributes by name), without building a document tree. False,
    // with `out` as it was, when the page holds an object of another kind or
    // a text that the printer would not write as it stands (line breaks,
    // control characters, malformed UTF-8): such a page goes through
    // writeXML.
    bool appendMarkup(std::string& out, int level) const;

    double GetHeight() const { return height; }
    double GetWidth() const { return width; }
    void SetHeight(double h) { height = h; }
    void SetWidth(double w) { width = w; }
    double GetScale() const { return scale; }

private:
    double height = 0;   // points
    double width = 0;    // points
    double scale;
};

// A positioned line: "div" at (x, y) holding its runs.
class HtmlLineInfo : public LineInfo {
public:
    explicit HtmlLineInfo(double scale);
    ~HtmlLineInfo() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    // The "div" as HtmlSection::appendMarkup writes it at `level`.
    bool appendMarkup(std::string& out, int level) const;

    void setX(double nx) { x = nx; }
    void setY(double ny) { y = ny; }
    double getX() const { return x; }
    double getY() const { return y; }

private:
    double x = 0;   // points from the page's left edge
    double y = 0;   // points from the page's top edge
    double scale;
};

// A styled run: "span" whose style is the run's style at the writer's scale.
class HtmlWordsInfo : public WordsInfo {
public:
    explicit HtmlWordsInfo(double scale);
    HtmlWordsInfo(const HtmlWordsInfo&) = default;
    HtmlWordsInfo& operator=(const HtmlWordsInfo&) = default;
    ~HtmlWordsInfo() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    // The "span" on one line, as HtmlSection::appendMarkup writes it.
    bool appendMarkup(std::string& out) const;
    // Replaces the whole stored style.
    virtual void setStyle(WordsInfo::WordStyle newStyle) { style = std::move(newStyle); }

    const WordsInfo::WordStyle& getStyle() const { return style; }

private:
    double scale;
};

// A positioned picture: "div" at (x, y) holding "img" with the picture's path
// and size.
class HtmlImageInfo : public ImageInfo {
public:
    explicit HtmlImageInfo(double scale);
    HtmlImageInfo(const HtmlImageInfo&) = default;
    HtmlImageInfo& operator=(const HtmlImageInfo&) = default;
    ~HtmlImageInfo() override = default;

    void writeXML(Tolvik::IXMLElement* parent) override;
    // The "div" with its "img", as HtmlSection::appendMarkup writes it at
    // `level`.
    bool appendMarkup(std::string& out, int level) const;

    // Stores x as given and y clamped below at 0, so that a picture reaching
    // above the page starts at its top edge.
    void SetPosition(double nx, double ny);
    double getX() const { return x; }
    double getY() const { return y; }

private:
    double x = 0;   // points from the page's left edge
    double y = 0;   // points from the page's top edge
    double scale;
};
