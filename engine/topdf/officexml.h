// The small XML reader of the Word, Excel and PowerPoint 2007 readers, and
// the state and helpers they share. A part of an unpacked package is loaded
// whole and cut into element nodes with their attributes and their text;
// names keep their namespace prefixes ("w:p", "a:rPr"), so elements are
// found by their full prefixed names. Names, values and texts point into
// the part's own bytes, which live as long as the OfficeXml does.
//
// Every package is untrusted: the tree is walked without recursion, and a
// relationship target is turned into a part name only when it stays inside
// the package.
#pragma once

#include "engine/topdf/contentevents.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct XmlNode {
    const char* name = nullptr;   // null for the root
    const char* text = nullptr;   // the last text met directly inside, or null
    XmlNode* firstChild = nullptr;
    XmlNode* lastChild = nullptr;
    XmlNode* nextSibling = nullptr;
    XmlNode* parent = nullptr;
    std::vector<std::pair<const char*, const char*>> attributes;   // in document order

    bool is(const char* other) const;
    // The value of an attribute; empty when it is absent.
    std::string_view attr(const char* attrName) const;
    bool hasAttr(const char* attrName) const;
    // The value read as a decimal integer (its leading digits, an optional
    // minus sign first); 0 when absent or not a number.
    long long attrNumber(const char* attrName) const;
    // The first child of that name; with `deep`, the first element of that
    // name below this one in document order.
    const XmlNode* child(const char* childName, bool deep = false) const;
    std::string_view textView() const { return text ? std::string_view(text) : std::string_view(); }
};

class OfficeXml {
public:
    // Builds the tree of `bytes`. True when the markup closed every element
    // it opened; malformed markup ends the tree early (what was built stays).
    bool load(std::string bytes);
    const XmlNode* root() const { return nodes_.empty() ? nullptr : &nodes_.front(); }
    // The first top-level element, or null.
    const XmlNode* top() const { return root() ? root()->firstChild : nullptr; }

private:
    std::string bytes_;
    std::deque<XmlNode> nodes_;
};

// Visits every element below `top` in document order without recursion:
// `enter` before an element's children, `leave` after them.
template <class Enter, class Leave>
void WalkXml(const XmlNode* top, Enter&& enter, Leave&& leave)
{
    if (!top)
        return;
    const XmlNode* node = top->firstChild;
    while (node) {
        enter(node);
        if (node->firstChild) {
            node = node->firstChild;
            continue;
        }
        while (node) {
            leave(node);
            if (node->nextSibling) {
                node = node->nextSibling;
                break;
            }
            node = node->parent;
            if (node == top)
                node = nullptr;
        }
    }
}

// A colour given as text: one of the colour names ("auto", then the X11
// names, exact lower case), or six hexadecimal digits RRGGBB. Returns
// 0x00BBGGRR; null, empty or unreadable digits count as 0.
std::uint32_t colorFromString(const char* text);
std::uint32_t colorFromString(std::string_view text);
// The colour with its lightness scaled by `factor` / 100000.
std::uint32_t applyLumMod(std::uint32_t colour, long long factor);

// A cell reference such as "B7" or "AAB12": column from 1 ("A"), row from
// 1. False for a reference without letters or digits, or past the largest
// sheet (column XFD, row 1048576).
bool ParseCellRef(std::string_view ref, int& column, int& row, std::size_t* used = nullptr);
// A range "A1:C3" (or one cell "B2", which is a range of one).
struct CellRange {
    int firstColumn = 0, firstRow = 0, lastColumn = 0, lastRow = 0;
};
bool ParseCellRange(std::string_view ref, CellRange& range);

// The part that a relationship target names, relative to the folder of the
// part that holds the relationship ("word/" for "word/document.xml"): a
// package path with "/" between folders. Empty when the target is external
// or leaves the package.
std::string ResolvePartName(const std::string& baseFolder, std::string_view target);

// The number written right after `prefix` at the start of `text`
// ("../slideLayouts/slideLayout" in "../slideLayouts/slideLayout3.xml"
// gives 3); 0 when there is none or it is implausibly large.
int NumberAfter(std::string_view text, std::string_view prefix);

// The state that the three readers share for one conversion.
class OfficeReaderContext {
public:
    // Parts are read from the unpacked package below `folder`.
    explicit OfficeReaderContext(std::string folder = std::string());
    virtual ~OfficeReaderContext() = default;

    // The bytes of the package part `name` ("word/document.xml"); false when
    // it is missing or no regular file.
    virtual bool readPart(const std::string& name, std::string& bytes) const;
    // Loads and builds a part; false when it is missing.
    bool loadPart(const std::string& name, OfficeXml& xml) const;
    // The relationships of a part ("word/_rels/document.xml.rels"): id to
    // target. False when the part is missing.
    bool readRelationships(const std::string& name, std::map<std::string, std::string>& rels) const;
    // Sends the picture in part `name` when it is a JPEG, GIF, PNG or BMP
    // file; false when it is missing or of another kind.
    bool sendPicture(const std::string& name) const;

    // The run properties back to their reset values; inside a table the
    // background and the anchor stay unless `full`.
    void resetRun(bool full = false);

    void send(unsigned code, int len = 0, std::uintptr_t arg = 0) const;
    void sendText(const char* utf8) const;
    void sendNextCell() const;
    void sendTable(int op, long long value) const;

    ContentEventCallback callback = nullptr;
    void* user = nullptr;
    std::string folder;   // ends with "/" unless empty
    RunStyle style;
    bool inTable = false;
    std::map<std::string, std::string> rels;   // of the main part
};

// The readers: each sends the content of its kind of package to the
// context's callback and user. Missing parts give less content, never a
// failure; nothing is reported.
void readDocxToPdf(OfficeReaderContext& context);
void readXlsxToPdf(OfficeReaderContext& context);
void readPptxToPdf(OfficeReaderContext& context);
