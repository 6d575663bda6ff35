// The writer of output type 1, EPUB. While the book walks its pages it turns
// each page into one chapter of the output content tree: paragraphs of text
// runs formed from the geometry of the text, tables of rows and cells, and
// images. Saving hands the chapters to the EPUB book, which writes the
// package. Text reflows: runs carry no position, size or style.
#pragma once

#include "engine/writers/content/chapterbookwriter.h"
#include "engine/writers/epub/epub.h"

#include <string>

class EpubWriter : public ChapterBookWriter<EPUB> {
public:
    // The folder that nobody reads; the template folder stays empty.
    explicit EpubWriter(std::string folder);
    // The template folder holding "toc.ncx", "content.opf" and "html.html"
    // (the program folder).
    explicit EpubWriter(std::wstring templateFolder);

    // Makes the EPUB book with one chapter holding one section per page.
    void write(Book* book) override;
    // Paragraphs of runs, into a Section or a TableColumn.
    void writeText(void* ctx, TextBlock* block) override;
    // A table, into a Section.
    void writeTable(void* ctx, TableBlock* block) override;
    // Vector graphics are not written.
    void writeGraphic(void*, GraphicBlock*) override {}
    // An image, into a Section or a TableColumn.
    void writeImage(void* ctx, ImageBlock* block) override;
    // A row, into a TableInfo.
    void writeTableR(void* ctx, TableBlock::TableR* row) override;
    // A cell, into a TableRow.
    void writeTableCol(void* ctx, TableBlock::TableCol* cell) override;
    void copyfiles(const std::string&) override {}

    // The book made by write; null before.
    EPUB* getEpub() const { return book; }

private:
    std::string folder;            // read by nobody
    std::wstring templateFolder;
};
