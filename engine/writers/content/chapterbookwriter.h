// What the writers of chapter books (EPUB, HTML, Word 2007) share: the book
// they build while the page model walks its pages, the page operation that
// has every block write itself into the writer's context, and saving, which
// the book does.
#pragma once

#include "engine/layout/block.h"
#include "engine/layout/iwriter.h"
#include "engine/layout/page.h"

#include <string>

// BookT is the chapter book of the format; it saves itself with
// save(dir, name), which returns the path written or an empty path.
template <class BookT>
class ChapterBookWriter : public IWriter {
public:
    ChapterBookWriter() = default;
    ~ChapterBookWriter() override { delete book; }
    ChapterBookWriter(const ChapterBookWriter&) = delete;
    ChapterBookWriter& operator=(const ChapterBookWriter&) = delete;

    // Every block of the page writes itself, in order, with ctx.
    void writePage(void* ctx, Page* page) override
    {
        if (!page)
            return;
        for (Block* block : page->GetBlock())
            block->Write(ctx);
    }

    // The path of the output written; empty when write did not run or the
    // book could not be saved.
    std::wstring save(const std::wstring& dir, const std::wstring& name) override
    {
        return book ? book->save(dir, name) : std::wstring();
    }

    // The book made by write; null before.
    BookT* getBook() const { return book; }

protected:
    // Replaces the book made by an earlier write.
    void startBook(BookT* fresh)
    {
        delete book;
        book = fresh;
    }

    BookT* book = nullptr;   // owned
};
