// The writer of output type 1, EPUB. While the book walks its pages it turns
// each page into one chapter of the output content tree: paragraphs of text
// runs formed from the geometry of the text, tables of rows and cells, and
// images. Saving hands the chapters to the EPUB book, which writes the
// package. Text reflows: runs carry no position, size or style.
#pragma once

#include "engine/layout/iwriter.h"

#include <string>

class EPUB;

class EpubWriter : public IWriter {
public:
    // The folder that nobody reads; the template folder stays empty.
    explicit EpubWriter(std::string folder);
    // The template folder holding "toc.ncx", "content.opf" and "html.html"
    // (the program folder).
    explicit EpubWriter(std::wstring templateFolder);
    ~EpubWriter() override;
    EpubWriter(const EpubWriter&) = delete;
    EpubWriter& operator=(const EpubWriter&) = delete;

    // Makes the EPUB book with one chapter holding one section per page.
    void write(Book* book) override;
    // Every block of the page writes itself, in order, with ctx.
    void writePage(void* ctx, Page* page) override;
    // The path of the .epub written; empty when write did not run or the
    // package could not be made.
    std::wstring save(const std::wstring& dir, const std::wstring& name) override;
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
    EPUB* book = nullptr;          // owned
    std::string folder;            // read by nobody
    std::wstring templateFolder;
};
