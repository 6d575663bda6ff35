// The VML shapes of the Word 2007 writer besides text boxes: pictures and
// vector paths, placed in points relative to the page so that each lands
// where its block was on the PDF page.
#pragma once

#include "engine/writers/content/objectinfo.h"
#include "parser/parser.h"

#include <atomic>
#include <string>

class Section;
namespace word07 {
struct PageParts;
}

// A picture: a VML shape showing the image whose relationship it adds to
// the relationship section when written.
class Word07ImageInfo : public ImageInfo {
public:
    // Each picture takes the next number (naming its shape and relationship)
    // when it is written into a document directly (without PageParts).
    static std::atomic<int> COUNT;

    Word07ImageInfo();

    // Written as text only (writeText).
    void writeXML(Tolvik::IXMLElement*) override {}
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    // The shape run; adds the picture's relationship. With `parts` the
    // number and the relationship are left to the body writer, which also
    // defines the shape type.
    void writeText(std::string& out, word07::PageParts* parts = nullptr);
    void writeRel() {}

    void SetPosition(double px, double py) { x = px; y = py; }
    void SetImgRelSect(Section* section) { relSect = section; }
    void SetPageHeight(double h) { pageHeight = h; }
    double GetNumber() const { return number; }

private:
    double x = 0;
    double y = 0;             // lower edge, y upward as the page model gives it
    double number = 0;
    Section* relSect = nullptr;   // borrowed
    double pageHeight = 0;
};

// One path of a group of vector graphics: a VML shape whose path is the
// path's points in twentieths of a point from the path's top left corner,
// stroked (and filled) in the path's colours.
class Word07Graphic : public ObjectInfo {
public:
    static std::atomic<int> COUNT;

    // The path is borrowed, not copied: it must outlive the shape. A page's
    // shapes are made and written while the page holds its graphics, and a
    // page of drawings has thousands of paths.
    Word07Graphic(const GraphPath& path, double pageHeight, int paintWay);

    // Written as text only (writeText).
    void writeXML(Tolvik::IXMLElement*) override {}
    void writeOPF(Tolvik::IXMLElement*, int&) override {}
    // The shape run; nothing for a shading or an overlong path.
    void writeText(std::string& out) const;

    // The VML path text ("m" ... "e", with " x" for closed paint ways).
    std::string parsepath() const;

    double GetX() const { return left; }
    double GetY() const { return top; }
    double GetWidth() const { return width; }
    double GetHeigth() const { return height; }
    void SetPostion(double, double) {}
    int GetNumber() const { return number; }

private:
    // Appends the VML path text; with `commas`, the pairs of a command are
    // joined by commas instead of spaces.
    void appendPath(std::string& out, bool commas) const;

    const GraphPath& path;   // borrowed
    int paintWay = 0;
    double left = 0;
    double top = 0;      // y upward: the path's highest point
    double width = 0;
    double height = 0;
    double pageHeight = 0;
    int number = 0;
};
