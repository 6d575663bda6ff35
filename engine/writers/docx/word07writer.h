// The writer of output type 6, Word 2007 (.docx). Text is not flowed: each
// page of the page model becomes one page of the document, on which every
// text block is an absolutely placed text box (one paragraph per text line,
// exact line heights, runs with font, size and colour), every picture a
// placed picture and every vector path a VML shape, all in points from the
// page's top left corner. The shapes of a page are made and written as text
// on the thread that analysed the page (preparePage); the walk over the
// pages puts each page's text into the book's body in page order, with what
// depends on the pages before it (shape types defined once, pictures
// numbered in document order, the fonts in the order first used), and lets
// the page go before the next; saving writes the package (word07book.h).
#pragma once

#include "engine/writers/content/chapterbookwriter.h"
#include "engine/writers/docx/word07book.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class Word07Section;
struct wordOp;

class Word07Writer : public ChapterBookWriter<Word07Book> {
public:
    // The Word options of the job item (borrowed): the open password
    // protects the package.
    explicit Word07Writer(wordOp* options);
    ~Word07Writer() override;

    // Makes the book and writes its body: per page a content section and,
    // where the page's section ends (another column layout or another page
    // size follows), a break section; then the final break section.
    void write(Book* book) override;
    // Makes the page's shapes as text while write walks the book.
    void preparePage(Page* page, std::size_t index) override;
    // A text box, and a rotated text box for each rotated or skewed run.
    void writeText(void* ctx, TextBlock* block) override;
    // Each row, then each cell: every cell's text becomes a text box.
    void writeTable(void* ctx, TableBlock* block) override;
    // One VML shape per path of the block.
    void writeGraphic(void* ctx, GraphicBlock* block) override;
    // A placed picture (when its file exists in the work folder).
    void writeImage(void* ctx, ImageBlock* block) override;
    void writeTableR(void* ctx, TableBlock::TableR* row) override;
    void writeTableCol(void* ctx, TableBlock::TableCol* cell) override;
    void copyfiles(const std::string&) override {}

private:
    struct PageShapes;
    // The shapes of page `index` as text, with what they leave to the walk.
    std::unique_ptr<PageShapes> makeShapes(Page* page, std::size_t index) const;
    // Appends the page's shapes to the body, filling in what they left.
    void appendShapes(const PageShapes& shapes);
    // A text for a page's shapes: one that a page before used when there
    // is one, so that the text does not grow from nothing on every page.
    std::string takeSpareText() const;
    void keepSpareText(std::string&& text) const;

    // The bookmark (page index) that a link from the section's page to page
    // `page` of its document points at; -1 when that page is not in the
    // document. Without a book the page number is taken as it is.
    int bookmarkFor(const Word07Section* section, int page) const;

    wordOp* options = nullptr;    // borrowed
    std::vector<int> documentOfPage;                 // per page index
    std::map<std::pair<int, int>, int> pageIndexOf;  // (document, page) -> first index
    // While write walks the book: the shapes made by preparePage, per page
    // index (each entry written by the thread that analysed its page before
    // it hands the page over), and the pictures numbered so far.
    std::atomic<bool> walking{false};
    std::vector<std::unique_ptr<PageShapes>> prepared;
    int pictures = 0;
    // The texts of pages written into the body, emptied, for the next pages
    // (taken on the threads that analyse pages).
    mutable std::mutex spareLock;
    mutable std::vector<std::string> spareTexts;
};
