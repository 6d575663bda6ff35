// One output document of a reflowable writer (one page in every writer):
// a list of Sections, written into a document decoded from the page template,
// and linked to other chapters in a tree (siblings, first child, parent).
#pragma once

#include "engine/writers/content/objectinfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Tolvik {
class IXMLDocument;
class IXMLElement;
}

class Chapter {
public:
    // Process-wide counters from which named chapters take their ids. The
    // EPUB book and the job loop set them to 0; nothing guards them, so two
    // books must not make chapters at the same time.
    static std::uint16_t totalid;
    static std::uint16_t ncxtotalid;

    // No name, no ids (0), no links, no sections.
    Chapter() = default;
    // Takes the next value of each counter as its id and NCX id.
    explicit Chapter(const std::string& name);
    Chapter(const Chapter&) = delete;
    Chapter& operator=(const Chapter&) = delete;
    // Deletes the sections; linked chapters belong to the book.
    virtual ~Chapter();

    // Fills a document decoded from the page template: the first child of
    // the root's "head" gets the name as its text, and the root's "body" (or
    // "BODY") receives the sections. The walk over the root's children stops
    // at the body, so a head after the body is left alone. False, with
    // nothing written, when the document has no tree or no body.
    virtual bool writeXml(Tolvik::IXMLDocument* doc);

    void setSibling(Chapter* c) { sibling = c; }
    Chapter* getSibling() const { return sibling; }
    void setFirstChild(Chapter* c) { firstChild = c; }
    Chapter* getFirstChild() const { return firstChild; }
    void setParent(Chapter* c) { parent = c; }
    Chapter* getParent() const { return parent; }
    // The topmost ancestor; null for a chapter without parent.
    Chapter* getUltraParent() const;

    // Appends the section and takes ownership; a null pointer is ignored.
    void AddContent(Section* section);
    // Deletes the sections, once the book has written them out.
    void DropContents();
    std::vector<Section*> getContents() const { return contents; }
    std::string getName() const { return name; }
    std::uint16_t getId() const { return id; }
    std::uint16_t getNcxId() const { return ncxId; }

    // Placeholders of the exported interface: each returns true and does
    // nothing (a pointer passed in stays the caller's).
    bool appendPicture(const std::string& path);
    bool appendPicture(PicInfo* picture);
    bool appendString(const std::string& text);
    bool appendString(WordsInfo* words);
    bool appendTable();
    bool writeCSS();

    // The chapter's package entries: a manifest "item" (id "item" + the
    // running id, href = chapter id + ".html", application/xhtml+xml), an
    // "itemref" with the same id in the first "spine" among the manifest's
    // following siblings, then the entries of its sections with the next
    // ids. False, with nothing written, when no spine follows the manifest.
    bool writeOPF(Tolvik::IXMLElement* manifest, int& id);

protected:
    // Each section writes itself into `body`; then the first child chapter
    // (and recursively its first child) writes itself into the same body.
    bool writexml(Tolvik::IXMLElement* body);

    std::string name;
    std::string second;              // set by nobody; stays empty
    Chapter* sibling = nullptr;      // not owned
    Chapter* firstChild = nullptr;   // not owned
    Chapter* parent = nullptr;       // not owned
    std::vector<Section*> contents;  // owned
    std::uint16_t id = 0;
    std::uint16_t ncxId = 0;
};
