// IScrivlet, the class that the Word library exports.
//
// As a writer it is the engine's IWriter for Word 97-2003 documents: the
// engine's Book drives it page by page, it keeps what the pages offer (text
// runs, pictures, vector paths), and `save` builds the Word document from
// them and writes it. Everything runs on the caller's thread.
//
// Its readers turn Word 97-2003 files into content events for the engine's
// PDF typesetter; they keep no state in the object and run on the caller's
// thread, calling back before they return.
#pragma once

#include "engine/layout/iwriter.h"
#include "engine/topdf/contentevents.h"

#include <memory>
#include <string>

namespace scrivlet {
struct WordWriterState;
}

class IScrivlet : public IWriter {
public:
    IScrivlet();
    ~IScrivlet() override;
    // One object owns one document being collected: copies are not made.
    IScrivlet(const IScrivlet&) = delete;
    IScrivlet& operator=(const IScrivlet&) = delete;

    // Prepares an empty document (the default Word data from the "Data"
    // folder beside the program) and has every page of the book written.
    // When the preparation fails nothing is collected and `save` fails.
    void write(Book* book) override;
    // Starts a page (a new section when its size differs from the last
    // one's) and has each of its blocks write itself.
    void writePage(void* ctx, Page* page) override;
    // Writes the document to dir + name with ".doc" appended unless the
    // name ends in ".doc"; an existing file is never replaced ("(N)" goes
    // before ".doc"). Returns the path written, or empty when nothing could
    // be written: the reason goes to the log (standard error, after
    // "Save File Failed") and no partial file is left. Afterwards the object
    // holds nothing and can write another document.
    std::wstring save(const std::wstring& dir, const std::wstring& name) override;
    void writeText(void* ctx, TextBlock* block) override;
    // Tables add nothing: their cells' text reaches the document only when
    // the page hands it over as ordinary blocks.
    void writeTable(void* ctx, TableBlock* block) override;
    void writeGraphic(void* ctx, GraphicBlock* block) override;
    // Keeps the picture when its file lies in the temporary folder's
    // "ImageFiles".
    void writeImage(void* ctx, ImageBlock* block) override;
    void writeTableR(void* ctx, TableBlock::TableR* row) override;
    void writeTableCol(void* ctx, TableBlock::TableCol* cell) override;
    void copyfiles(const std::string& path) override;

    // Sets the engine's temporary folder (GlobalEnum::tmppath), under which
    // the page pictures are found.
    void SetTempPath(const std::wstring& path);

    // Sends the text, tables and pictures of the Word 97-2003 document
    // `source` to `callback` with `user`. A file that cannot be opened or
    // is not a Word document sends nothing; a damaged one sends what could
    // be read. `destination` is not read.
    static void readword03(const wchar_t* source, const wchar_t* destination, ContentEventCallback callback,
                           void* user);
    // Sends each picture stored in the Excel 97-2003 workbook (or the
    // PowerPoint 97-2003 presentation) `source` to `callback` with `user`
    // as a picture event whose `arg` is its kind (0 JPEG, 2 PNG).
    // A file that is no such document sends nothing. `second` is not read.
    static void readexcel03(const wchar_t* source, const wchar_t* second, ContentEventCallback callback,
                            void* user);
    static void readppt03(const wchar_t* source, const wchar_t* second, ContentEventCallback callback,
                          void* user);

    // The collected state, for the document builder and for tests.
    scrivlet::WordWriterState& state() { return *state_; }

private:
    std::unique_ptr<scrivlet::WordWriterState> state_;
};
