// The book behind the HTML writer: one chapter per page, saved as a folder
// that a web browser opens. The folder holds one positioned HTML page per
// chapter (made from the page template "html.html" beside the program), the
// pictures the engine rendered for the pages, the generated viewer script
// "index.js", the index page (from "htmltemplate/index.html") and the
// viewer's fixed files copied from the template folder "htmltemplate".
//
//   F/                      the output folder (dir + name, "(N)" on a clash)
//   F/<name>.html           the index page: the viewer's frameset
//   F/html/P1.html ...      the pages
//   F/html/image/           the pictures
//   F/html/index.js         the viewer script
//   F/html/gif/             the toolbar and panel images
//   F/html/*.html, page.js  the viewer's frames and the pages' script
#pragma once

#include "engine/writers/content/chapterbook.h"

#include <future>
#include <map>
#include <string>
#include <vector>

class Chapter;

namespace Tolvik {
class IXMLDocument;
}

class HtmlBook : public ChapterBook {
public:
    explicit HtmlBook(double scale);
    ~HtmlBook();
    HtmlBook(const HtmlBook&) = delete;
    HtmlBook& operator=(const HtmlBook&) = delete;

    bool getChapter(const std::string&) { return true; }

    double getScale() const { return scale; }

    // Writes the folder dir + name (name starts with "/"; "(N)" is added to
    // the name until no file or folder of that path exists) and returns its
    // path. Returns an empty path, and leaves no folder behind, when any
    // piece could not be written: a folder, a page, a picture, the script,
    // the index page or a viewer file.
    std::wstring save(std::wstring dir, std::wstring name);
    // The same with UTF-8 texts.
    std::string save(std::string dir, std::string name);

    // Writes the viewer into the folder dir + name: the script, the index
    // page dir + name + name + ".html" titled `name`, and the viewer files.
    // False when any of them could not be written.
    bool BuildIndex(const std::wstring& dir, const std::wstring& name);
    bool BuildIndex(const std::string& dir, const std::string& name);

    // Starts making the page frame on a thread of its own: reading the page
    // template loads the XML layer, which then overlaps the analysis of the
    // first pages instead of holding up the first page written. Whatever
    // of the book uses the XML layer (staging or saving a page, the index)
    // waits for it first; nothing outside the book may use the layer while
    // the frame is made.
    void prepareFrame();

    // Writes the chapter's page into the job's work folder at once and lets
    // go of its content, so that a long book holds one page's content at a
    // time; save moves the page into place. A chapter that cannot be staged
    // keeps its content and is written by save.
    void stageChapter(Chapter* chapter);

    // The text of "index.js" for a book of `pageCount` pages (ASCII, lines
    // ended by "\n"; the file gets CR LF line ends).
    static std::string ViewerScript(int pageCount);

private:
    // Fills the page template with the chapter and writes it to `path`.
    bool writePage(Chapter* chapter, const std::wstring& path);
    // The page file of a chapter made as text, from the frame: false when
    // the chapter holds something only the XML layer writes right.
    bool leanPage(const Chapter* chapter, std::string& page);
    // Makes the frame once: the page template filled as every page is, with
    // marks where the title and the page's table go.
    bool makeFrame();
    // Waits for the frame that prepareFrame started, if any.
    void awaitFrame();
    bool writePages(const std::wstring& folder);
    bool copyPictures(const std::wstring& folder);

    double scale;                      // kept for the writer; not used here
    int frameState = 0;                // 0 not made yet, 1 usable, -1 not usable
    std::string frame;                 // the filled template with its marks
    int frameLevel = 0;                // the depth of the table mark
    std::map<const Chapter*, std::wstring> staged;   // pages written ahead
    std::future<void> frameMaking;     // the frame being made by prepareFrame
};
