// Plain-text output: the text of every text block and table cell, with line
// breaks where the layout starts a new paragraph or block, and a numbered
// separator line after every page. Line ends are "\r\n".
#pragma once

#include "engine/layout/iwriter.h"

#include <string>

class TxtWriter : public IWriter {
public:
    TxtWriter() = default;
    ~TxtWriter() override;
    TxtWriter(const TxtWriter&) = delete;
    TxtWriter& operator=(const TxtWriter&) = delete;

    // Every page of the book, each followed by "\r\n========N========\r\n\r\n"
    // with N its position in the book from 1.
    void write(Book* book) override;
    // Every block in reading order, each followed by "\r\n".
    void writePage(void* ctx, Page* page) override;
    // Writes the collected text to dir + name + ".txt" (or "(N).txt" when
    // that exists). Returns the path, empty when the file could not be
    // written (no partial file is left then).
    std::wstring save(const std::wstring& dir, const std::wstring& name) override;
    // The block's runs, each followed by a space; "\r\n" before a run that
    // starts a new paragraph.
    void writeText(void* ctx, TextBlock* block) override;
    void writeTable(void* ctx, TableBlock* block) override;
    void writeGraphic(void*, GraphicBlock*) override {}
    void writeImage(void*, ImageBlock*) override {}
    void writeTableR(void* ctx, TableBlock::TableR* row) override;
    void writeTableCol(void* ctx, TableBlock::TableCol* cell) override;
    void copyfiles(const std::string&) override {}

    // The bytes collected and not yet set aside (see write).
    const std::string& text() const { return buffer; }

private:
    // Moves the collected bytes to the end of the set-aside file; false
    // when they could not be written there.
    bool setAside();

    // Appends a run's text without control characters.
    void appendRunText(const std::string& s);

    std::string buffer;
    // A long document's text waits in an unnamed file in the work folder
    // rather than in memory: -1 while nothing is set aside.
    int spill = -1;
    bool spillFailed = false;
};
