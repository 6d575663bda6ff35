// The book behind the EPUB writer: it owns the chapters of the output content
// tree and the metadata record, and saves them as an EPUB 2 package made from
// the templates "toc.ncx", "content.opf" and "html.html" of the template
// folder (the program folder).
#pragma once

#include "engine/writers/content/chapterbook.h"

#include <map>
#include <string>
#include <vector>

class Chapter;

namespace Tolvik {
class IXMLDocument;
class IXMLElement;
}

// The package metadata. Empty texts are written as they are, except that
// saving fills an empty title (the output's base name), identifier (a fresh
// "urn:uuid:") and language ("en"), which every EPUB must have.
struct EPUBInfo {
    std::string title;
    std::string identifier;
    std::string creator;
    std::string publisher;
    std::string date;
    std::string subject;
    std::string source;
    std::string rights;
    std::string language;
    std::string contributor;
    std::string description;
    std::string type;
    std::string format;
    std::string relation;
    std::string coverage;
    std::string generator;
    std::string reserved;   // read by nobody
};

class EPUB : public ChapterBook {
public:
    // Both set the chapter id counters to 0, so that the chapters of this
    // book have ids 1, 2, 3, ... in order of creation.
    explicit EPUB(std::wstring folder);
    explicit EPUB(std::string folder);
    ~EPUB();
    EPUB(const EPUB&) = delete;
    EPUB& operator=(const EPUB&) = delete;

    // Keeps the record; the book owns it from then on.
    void setEpubInfo(EPUBInfo* info);
    EPUBInfo* getEpubInfo() const { return info; }

    // Writes the package dir + name + ".epub" ("(N)" before ".epub" when that
    // file exists; name starts with "/"). Returns its path, or an empty path
    // when any part could not be made, in which case no file is left behind.
    // A book without chapters makes no package (a valid EPUB has at least one
    // document in its spine).
    std::wstring SaveToEPUB(std::wstring dir, std::wstring name);
    // The same with UTF-8 paths; a taken name gets "[N]" instead of "(N)".
    std::string SaveToEPUB(std::string dir, std::string name);
    // SaveToEPUB under the name by which every chapter book saves itself.
    std::wstring save(const std::wstring& dir, const std::wstring& name)
    {
        return SaveToEPUB(dir, name);
    }

    // The package's documents, each filled and saved to a file of its own
    // (SaveToEPUB fills the same documents and packs them from memory). Each
    // returns false when its document lacks an element the step needs or
    // could not be saved.
    bool writeNCX(Tolvik::IXMLDocument* ncx, std::wstring path);
    bool writeNCX(Tolvik::IXMLDocument* ncx, std::string path);
    // One navigation point per top-level chapter ("page" + NCX id), with the
    // chapters below it nested inside.
    void writeChapter(Tolvik::IXMLElement* navMap);
    // Navigation points for `chapter` and its following siblings, labelled
    // "chapter" + NCX id, each with its own children nested inside.
    void writechapter(Tolvik::IXMLElement* parent, Chapter* chapter);
    bool writeOPF(Tolvik::IXMLDocument* opf, std::wstring path);
    bool writeOPF(Tolvik::IXMLDocument* opf, std::string path);
    bool writeMimetype(std::wstring path);
    bool writeMimetype(std::string path);
    bool writeEPUBContainer(std::wstring path);
    bool writeEPUBContainer(std::string path);

    // Prints the chapter's page document at once, while the pages after it
    // are still being analysed, so that saving only packs it. The printed
    // page stands for the chapter as long as the chapter keeps the sections
    // it had and gets no chapter below it; otherwise saving prints it anew.
    void stageChapter(Chapter* chapter);

    // The package paths (relative to OEBPS) of the pictures that the last
    // writeOPF listed in the manifest.
    const std::vector<std::wstring>& getPackagedImages() const { return packagedImages; }

private:
    // Writes the package into `out`, a file the caller claimed.
    std::wstring pack(const std::wstring& out, const std::wstring& name);
    // writeNCX and writeOPF without the saving.
    bool fillNCX(Tolvik::IXMLDocument* ncx);
    bool fillOPF(Tolvik::IXMLDocument* opf);
    bool writeNavPoint(Tolvik::IXMLElement* parent, Chapter* chapter, const char* label);
    // The chapter's page document as the package holds it.
    bool printPage(Chapter* chapter, std::string& bytes);

    EPUBInfo* info = nullptr;         // owned
    std::string narrowFolder;
    std::wstring folder;
    int playOrder = 1;
    std::vector<std::wstring> packagedImages;
    struct StagedPage {
        std::string bytes;
        std::size_t sections = 0;   // the chapter's sections when printed
    };
    std::map<const Chapter*, StagedPage> staged;
};

// Writes the package's "META-INF/container.xml" pointing at
// "OEBPS/content.opf".
class IContainer {
public:
    explicit IContainer(std::wstring path);
    explicit IContainer(std::string path);
    // Whether the document was written.
    bool written() const { return ok; }

private:
    bool ok = false;
};
