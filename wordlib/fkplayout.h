// Distributing the character runs and paragraphs of a document over
// formatted disk pages (512-byte ChpxFkp and PapxFkp pages), in text order.
// A page takes entries while the page writer can lay them out: the budget
// is the writer itself, so every page the distribution makes is one the
// writer writes, however tightly it is packed. Property lists equal to one
// already on the same page are stored once and shared.
//
// FCs hold character positions, as everywhere while a document is built.
#pragma once

#include "wordlib/fkp.h"
#include "wordlib/plc.h"

#include <cstdint>
#include <vector>

namespace scrivlet {

// A stretch of text from where the previous one ended up to `cpEnd`, with
// its properties: an index into the document's property lists, where equal
// lists are stored once (a long document has millions of runs and a few
// hundred different lists). Stretches that end where the previous one ended
// are empty and left out.
struct ClosedRun {
    std::uint32_t cpEnd = 0;
    std::uint32_t props = 0;
};

struct ClosedParagraph {
    std::uint32_t cpEnd = 0;
    std::uint32_t entry = 0;   // index into the document's paragraph entries
};

// The pages and their bin table (one more CP than pages: the first page's
// start, then every page's end; page numbers 0 until the file is written).
// A run or paragraph whose properties cannot fit a page of their own fails
// the layout.
bool LayOutChpxPages(const std::vector<ClosedRun>& runs, const std::vector<PropertyList>& lists,
                     std::vector<ChpxFkp>& pages, Plc<Elem4>& bins);
bool LayOutPapxPages(const std::vector<ClosedParagraph>& paragraphs, const std::vector<PapxEntry>& entries,
                     std::vector<PapxFkp>& pages, Plc<Elem4>& bins);

} // namespace scrivlet
