// The book behind the Word 2007 writer: the main document's body, written
// page by page as text into a package folder below the engine's temporary
// folder, the picture relationships, and the saving of all of it as a
// WordprocessingML package made from the template folder "word07template"
// beside the program.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class Word07RelDocument;
class ZipDeflater;
struct wordOp;

class Word07Book {
public:
    // Keeps the options (borrowed from the job item) and makes the picture
    // relationship document "imagerel" with one empty section, to which
    // every picture adds its relationship.
    explicit Word07Book(wordOp* options);
    // Removes the package folder.
    ~Word07Book();
    Word07Book(const Word07Book&) = delete;
    Word07Book& operator=(const Word07Book&) = delete;

    Word07RelDocument* GetRelDocument() const { return relDocument; }

    // The body of the main document, written as it is made: BeginBody makes
    // the package folder and writes the template's main document up to its
    // body; AppendBody adds the WordprocessingML of the next page; EndBody
    // writes the rest of the template. The main document is deflated for
    // the package as it is written. A failure of any of them (no template,
    // a full disk) makes the book write no package.
    bool BeginBody();
    void AppendBody(std::string_view xml);
    void EndBody();

    // The number of pages the document holds (set by the writer); a book
    // without pages makes no package.
    void SetPageCount(int count) { pageCount = count; }

    // A font family that runs of the document use, with its kind: the font
    // table lists each one (in the order first used), so that a word
    // processor without the font picks a substitute of the same kind.
    void UseFont(const std::string& family, bool fixedPitch, bool serif);

    // Writes the package dir + name + ".docx" ("(N)" before ".docx" when the
    // file exists; name starts with "/"). With the options' open password
    // set (and not empty) the package is stored encrypted with it. Returns
    // the path written, or an empty path when the package could not be made
    // completely, in which case no file is left behind.
    std::wstring save(const std::wstring& dir, const std::wstring& name);
    // The narrow form writes nothing and returns an empty text.
    std::string save(const std::string& dir, const std::string& name);

private:
    bool flushBody();
    // Writes the bytes to the main document's file and to its deflater.
    bool writeBody(std::string_view bytes);
    // Puts the parts that do not depend on the document in place on a
    // thread of its own; finishPreparing waits for it.
    void startPreparing();
    void finishPreparing();
    std::wstring build(const std::wstring& out);
    // The template's font table with every used font that it does not name.
    bool writeFontTable(const std::wstring& templ, const std::wstring& part) const;

    struct UsedFont {
        std::string family;
        bool fixedPitch = false;
        bool serif = false;
    };

    Word07RelDocument* relDocument = nullptr;   // owned
    wordOp* options = nullptr;                 // borrowed
    int pageCount = 0;
    std::wstring folder;      // the package folder; empty before BeginBody
    int bodyFd = -1;          // word/document.xml while the body is written
    std::string bodyBuffer;   // written out in large pieces
    std::unique_ptr<ZipDeflater> bodyDeflated;   // what was written, deflated
    std::string bodyTail;     // the template after the body
    bool bodyDone = false;    // EndBody wrote the whole main document
    std::thread preparing;    // while startPreparing's work runs
    bool fixedPartsCopied = false;   // by that work
    std::vector<UsedFont> fonts;       // in the order first used
    std::set<std::string> fontNames;   // the families in `fonts`
};
