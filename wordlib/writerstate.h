// What an IScrivlet holds while it writes one document: the collected
// pages, the Word writer with its document model, and whether preparing
// the document failed.
#pragma once

#include "wordlib/docbuilder.h"
#include "wordlib/pagecollect.h"
#include "wordlib/wordwriter.h"

#include <memory>
#include <string>

namespace scrivlet {

struct WordWriterState {
    PageCollector pages;
    WordBinaryFileWriter writer;
    BuiltDocument built;
    // Takes each page from the collector once it is complete.
    std::unique_ptr<DocumentBuilder> builder;
    std::size_t sectionsSeen = 0;
    bool failed = false;
    std::string failure;      // why preparing failed
    // Where the default Word data is read from; empty: the "Data" folder
    // beside the library.
    std::string dataFolder;

    // Empties everything and loads the document defaults; false with the
    // reason when they cannot be had.
    bool prepare(std::string& why);
    // Hands the page collected last to the document builder, which writes
    // its text and lets it go.
    void pageDone();
    // Ends the document and makes its model (the defaults are loaded again
    // first).
    bool build(std::string& why);
    // Writes the built document to `path` (UTF-8).
    bool writeTo(const std::string& path, std::string& why);
    // Forgets the pages and the document: ready for the next document.
    void reset();
};

} // namespace scrivlet
