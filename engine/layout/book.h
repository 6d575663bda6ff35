// The root of the page model for one job: the pages parsed from one parser
// object (one PDF, or in a merge all PDFs one after the other), the options
// that steer the page analysis, and the writer that turns the book into an
// output file.
#pragma once

#include "engine/layout/callbacks.h"

#include <string>
#include <vector>

class IWriter;
class Page;
class Parser;

class Book {
public:
    Book(bool ignoreImages, bool pageAsImage, bool ignoreTables, bool keepObjectOrder,
         int num, void* ctx, const callback_funcs& callbacks, bool drawGraphics);
    ~Book();
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    void ChangeBook(Parser* parser);
    // Deletes the current writer, if any, and keeps this one (owned).
    void setWriter(IWriter* writer);
    // Item index named in later progress messages.
    void Setnum(int num);

    // Parse every page / a range of 0-based pages (clamped to the document) /
    // the listed pages in list order (entries outside the document are
    // skipped). Progress runs from 30 to 80; false when cancelled.
    bool parse();
    bool parse(int first, int last);
    bool parse(std::vector<int> pages);

    std::vector<Page*> GetPages();
    // Has the writer write the book, then save it; returns the saved path
    // (empty when the writer failed).
    std::wstring write(const std::wstring& dir, const std::wstring& name);

    IWriter* getWriter() const { return writer; }
    int getPageCount() const { return pageCount; }

    // Where a page of the list came from: its page number in its document
    // (from 0) and the document, numbered by the parse calls (a merged book
    // parses each of its documents with one call). Writers use it to point
    // a link at the page it names.
    struct PageOrigin {
        int document = 0;
        int page = 0;
    };
    // One entry per page of GetPages, in the same order.
    std::vector<PageOrigin> GetPageOrigins() const { return origins; }

private:
    // Reads the page into the book; false when the parser cannot load it.
    bool readcurrentpage(int page);
    // Counts a page that could not be loaded (true ends the walk: a run of
    // them means the page tree claims pages the file does not hold).
    bool missing(bool loaded);
    int missingRun = 0;
    void destory();
    // Asks the cancel callback; true means stop.
    bool cancelled() const;
    // Reports the progress value after the k-th of m parsed pages.
    void reportPage(int k, int m) const;

    std::vector<Page*> pages;
    std::vector<PageOrigin> origins;   // one per page
    int documents = 0;                 // parse calls so far
    Parser* parser = nullptr;
    IWriter* writer = nullptr;
    int pageCount = 0;
    bool ignoreImages;
    bool pageAsImage;
    bool ignoreTables;
    bool keepObjectOrder;
    bool drawGraphics;
    ProgressFunc progress;
    CancelFunc cancel;
    int num;
    void* ctx;
};
