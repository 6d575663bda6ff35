// The writer of output type 2, HTML. Every page of the book becomes one HTML
// page on which each text element and each picture is an absolutely
// positioned element, all positions and sizes multiplied by the writer's
// scale. The pages are gathered in an HtmlBook (one chapter with one
// HtmlSection per page), which saves them as a folder with a page viewer.
#pragma once

#include "engine/writers/content/chapterbookwriter.h"
#include "engine/writers/html/htmlbook.h"

#include <string>

class HtmlWriter : public ChapterBookWriter<HtmlBook> {
public:
    explicit HtmlWriter(double scale = 1.5);

    // Makes the HTML book: one chapter named "1", "2", ... per page, each
    // holding one section of the page's size that the page's blocks fill.
    void write(Book* book) override;
    // One positioned line holding one styled run per text element.
    void writeText(void* ctx, TextBlock* block) override;
    // The cells' blocks are written into the page as positioned text.
    void writeTable(void* ctx, TableBlock* block) override;
    // Vector graphics are not written.
    void writeGraphic(void*, GraphicBlock*) override {}
    // One positioned picture.
    void writeImage(void* ctx, ImageBlock* block) override;
    void writeTableR(void* ctx, TableBlock::TableR* row) override;
    void writeTableCol(void* ctx, TableBlock::TableCol* cell) override;
    void copyfiles(const std::string&) override {}

    double getScale() const { return scale; }

private:
    double scale;
};
