// The root of the page model for one job: the pages parsed from one PDF (in
// a merge from all PDFs one after the other, each with its own parser), the
// options that steer the page analysis, and the writer that turns the book
// into an output file.
#pragma once

#include "engine/layout/callbacks.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class IWriter;
class Page;
class PagePipeline;
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

    // Pages are analysed on several threads (one when the parser
    // recognises text) and handed to the writer in order either way.
    //
    // A streaming book only lists the pages when it parses; they are
    // analysed while the writer walks them (GetPage), each let go once the
    // writer is past it, so that memory stays that of a few pages whatever
    // the length of the book. Each parse call lists the pages of the parser
    // set at that time (ChangeBook), so that a merge lists its documents one
    // after the other, each from a parser of its own; every such parser must
    // keep its document until write has run. Without streaming (the
    // default), parse analyses the pages at once and the book keeps them
    // all.
    void SetStreaming(bool on) { streaming = on; }
    // A streaming book of several documents (a merge) whose walk may have to
    // start again: when the analysis of a page throws, that page's document
    // leaves the book, and when a document ends before the pages it listed
    // (a run of pages that cannot be loaded) its remaining pages leave the
    // book. The walk stops there
    // (the writer sees it as cancelled, WasCancelled), and write walks the
    // changed book again with a fresh writer from `rewrite` (none: nothing is
    // written). Without it, the exception goes on to the caller of write.
    void SetRewrite(std::function<IWriter*()> rewrite) { this->rewrite = std::move(rewrite); }
    // The documents (numbered by the parse calls) that left the book because
    // their analysis threw, in the order it happened.
    const std::vector<int>& FailedDocuments() const { return failedDocuments; }

    // Parse every page / a range of 0-based pages (clamped to the document) /
    // the listed pages in list order (entries outside the document are
    // skipped). Progress runs from 30 to 80 as the pages are analysed (in a
    // streaming book: as the writer walks them), named by the item index
    // set when the call was made; false when cancelled.
    // Without streaming, when the analysis of a page throws, the call's
    // pages leave the book (it holds what it held before) and the exception
    // goes on to the caller.
    bool parse();
    bool parse(int first, int last);
    bool parse(std::vector<int> pages);

    // Every page. A streaming book analyses at once the pages the writer
    // has not walked yet and keeps them (the pages it let go are null).
    std::vector<Page*> GetPages();
    // The pages analysed and not let go.
    int PagesHeld() const;
    // The writers' walk. The number of pages of the book, and page i, or
    // null when the job was cancelled before it. A writer asks for the
    // pages in order and may look one page ahead: in a streaming book,
    // asking for page i lets go of the pages before i - 1.
    int CountPages() const { return static_cast<int>(pages.size()); }
    Page* GetPage(int i);
    // Whether the walk ended early: the job was cancelled while the writer
    // walked the pages, or the book must be walked again (SetRewrite).
    bool WasCancelled() const { return cancelledWhileWriting || walkAgain; }
    // Has the writer write the book, then save it; returns the saved path
    // (empty when the writer failed or the job was cancelled).
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
    // One entry per page of the book, in the same order.
    std::vector<PageOrigin> GetPageOrigins() const { return origins; }

private:
    // A page to analyse: its number in the document, and the position by
    // which its progress is reported.
    struct Job {
        int page = 0;
        int k = 0;
    };
    // One parse call's document: the parser its pages are read from, the
    // item index and selection length of their progress, its pages in the
    // book (begin, count), and in a streaming book the analysis under way.
    struct Document {
        Parser* parser = nullptr;
        int num = 0;
        int progressOf = 1;
        std::size_t begin = 0;
        std::size_t count = 0;
        bool failed = false;
        std::unique_ptr<PagePipeline> pipeline;
    };
    // Lists the jobs as pages of the book, m the length of the selection;
    // without streaming analyses them at once. False when cancelled.
    bool addPages(const std::vector<Job>& jobs, int m);
    // A streaming book: analyses page `analysed` of the walk (false when
    // the walk ends there, having been cancelled or having to start again).
    bool walkOne();
    // A streaming book: lets go of page k, which the writer is past.
    void letGo(std::size_t k);
    // Lets go of every page and ends every document's analysis.
    void letGoAll();
    // Lets go of every page, then drops the pages of failed documents and
    // those beyond each document's count, for the next walk.
    void rewind();
    // The analysis of the page with the given number in the document as
    // page `index` of the book, with the given parser (any thread); notes
    // in `loaded` whether the parser could load it.
    Page* analysePage(Parser* with, int page, std::size_t index);
    // Counts a page that could not be loaded (true ends the walk: a run of
    // them means the page tree claims pages the file does not hold).
    bool missing(bool loaded);
    // Ends the book after its first `count` pages.
    void endAfter(std::size_t count);
    int missingRun = 0;
    // Per page of the book: whether it could be loaded. Each entry is
    // written by the thread that analyses the page, before it is handed over.
    std::vector<char> loaded;
    int threadCount(const Parser* with) const;
    // Whether page analysis draws the pages' picture regions.
    bool drawsRegions() const { return !ignoreImages && !pageAsImage && !drawGraphics; }
    // Pages each analysing thread may hold (see PagePipeline).
    int pagesInHand() const;
    void destory();
    // Asks the cancel callback; true means stop.
    bool cancelled() const;
    // Reports the progress value after the k-th of m parsed pages of item
    // `item`.
    void reportPage(int item, int k, int m) const;

    std::vector<Page*> pages;
    std::vector<PageOrigin> origins;   // one per page
    bool streaming = false;
    // A streaming book: the progress of each page and the pages analysed
    // so far.
    std::vector<int> progressSlots;
    std::size_t analysed = 0;
    std::size_t released = 0;   // pages before this one are let go
    bool cancelledWhileWriting = false;
    bool walkAgain = false;
    std::function<IWriter*()> rewrite;
    std::vector<int> failedDocuments;
    std::vector<Document> documents;   // one per parse call
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
