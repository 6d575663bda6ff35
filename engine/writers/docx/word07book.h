// The book behind the Word 2007 writer: the .docx content tree (one chapter
// for the document body, one for the picture relationships) and its saving
// as a WordprocessingML package made from the template folder
// "word07template" beside the program.
#pragma once

#include "engine/writers/content/chapterbook.h"

#include <set>
#include <string>
#include <vector>

class Chapter;
class Word07Chapter;
class Word07RelDocument;
struct wordOp;

class Word07Book : public ChapterBook {
public:
    // Keeps the options (borrowed from the job item) and makes the picture
    // relationship document "imagerel" with one empty section, to which
    // every picture adds its relationship.
    explicit Word07Book(wordOp* options);
    ~Word07Book();
    Word07Book(const Word07Book&) = delete;
    Word07Book& operator=(const Word07Book&) = delete;

    // A new chapter of that name, kept (owned) but not linked.
    Word07Chapter* createNewChapter(const std::string& name);
    bool getChapter(const std::string&) { return true; }
    Word07RelDocument* GetRelDocument() const { return relDocument; }

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
    std::wstring build(const std::wstring& out);
    // The template's font table with every used font that it does not name.
    bool writeFontTable(const std::wstring& templ, const std::wstring& part) const;

    struct UsedFont {
        std::string family;
        bool fixedPitch = false;
        bool serif = false;
    };

    Word07RelDocument* relDocument = nullptr;   // owned
    std::string name;                          // stays empty
    wordOp* options = nullptr;                 // borrowed
    int pageCount = 0;
    std::vector<UsedFont> fonts;       // in the order first used
    std::set<std::string> fontNames;   // the families in `fonts`
};
