// What an IScrivlet holds while it writes one document: the collected
// pages, the document model with its writer, and whether preparing the
// document failed.
#pragma once

#include "wordlib/pagecollect.h"

#include <string>

namespace scrivlet {

struct WordWriterState {
    PageCollector pages;
    bool failed = false;
    std::string failure;   // why preparing failed

    // Empties everything and loads the document defaults (the default Word
    // data beside the program); false with the reason when they cannot be
    // had.
    bool prepare(std::string& why);
    // Builds the document model from the collected pages.
    bool build(std::string& why);
    // Writes the built document to `path` (UTF-8).
    bool writeTo(const std::string& path, std::string& why);
    // Forgets the pages and the document: ready for the next document.
    void reset();
};

} // namespace scrivlet
