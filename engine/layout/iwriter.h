// The one interface between the page model and every output format. A Book
// hands itself to its writer; the writer walks the pages, and each page and
// block calls back the operation of its own kind with a context pointer that
// belongs to the writer.
#pragma once

#include "engine/layout/tableblock.h"

#include <cstddef>
#include <string>

class Book;
class Page;
class TextBlock;
class GraphicBlock;
class ImageBlock;

class IWriter {
public:
    virtual ~IWriter() = default;

    // Walks the book's pages in order (Book::GetPage) and has every page
    // written.
    virtual void write(Book* book) = 0;
    // Has every block of the page write itself, in order, with ctx.
    virtual void writePage(void* ctx, Page* page) = 0;
    // Called on the thread that analysed page `index` of the book, right
    // after the analysis: a writer whose output of a page needs nothing of
    // the pages before it may make that output here, while write walks the
    // book, so that pages are written on the page-analysis threads. It must
    // touch nothing that write or another page's preparation uses. The
    // default does nothing.
    virtual void preparePage(Page* /*page*/, std::size_t /*index*/) {}
    // Produces the output: dir is the output folder without a trailing "/",
    // name is "/" + the base name. An existing path is never replaced: "(N)"
    // goes before the extension (FreeOutputPath). Returns the path written,
    // empty when nothing usable was written.
    virtual std::wstring save(const std::wstring& dir, const std::wstring& name) = 0;
    virtual void writeText(void* ctx, TextBlock* block) = 0;
    virtual void writeTable(void* ctx, TableBlock* block) = 0;
    virtual void writeGraphic(void* ctx, GraphicBlock* block) = 0;
    virtual void writeImage(void* ctx, ImageBlock* block) = 0;
    virtual void writeTableR(void* ctx, TableBlock::TableR* row) = 0;
    virtual void writeTableCol(void* ctx, TableBlock::TableCol* cell) = 0;
    virtual void copyfiles(const std::string& path) = 0;
};
