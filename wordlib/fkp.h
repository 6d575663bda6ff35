// Formatted disk pages: the 512-byte pages that give the character runs
// (ChpxFkp) and the paragraphs (PapxFkp) of a stretch of text their
// properties. A page holds its run limits (FCs) from the front, one offset
// per run after them, the property lists wherever the offsets point, and
// its run count in its last byte.
//
// While a document is built, FCs hold character positions; the document
// writer turns them into stream offsets. A page read from a file keeps its
// offsets, so that writing it again puts every list back where it was.
#pragma once

#include "wordlib/sprm.h"

#include <array>
#include <cstdint>
#include <vector>

namespace scrivlet {

inline constexpr std::size_t kFkpSize = 512;
inline constexpr std::size_t kMaxChpxRuns = 101;
inline constexpr std::size_t kMaxPapxRuns = 29;

struct ChpxFkp {
    std::vector<std::uint32_t> fcs;       // one more than runs
    std::vector<PropertyList> lists;      // one per run, or the distinct lists
    std::vector<std::uint32_t> runList;   // run -> list when lists are shared
    std::vector<std::uint8_t> offsets;    // per run, as read from a page

    std::size_t runs() const { return fcs.empty() ? 0 : fcs.size() - 1; }
};

struct BxPap {
    std::uint8_t offset = 0;
    std::array<std::uint8_t, 12> phe{};

    bool operator==(const BxPap&) const = default;
};

struct PapxFkp {
    std::vector<std::uint32_t> fcs;        // one more than runs
    std::vector<BxPap> bx;                 // one per run
    std::vector<PapxEntry> entries;        // one per run, or the distinct entries
    std::vector<std::uint32_t> runEntry;   // run -> entry when entries are shared
    bool storedOffsets = false;            // read from a page: entries stay at bx offsets

    std::size_t runs() const { return fcs.empty() ? 0 : fcs.size() - 1; }
};

// `page` is 512 bytes. Runs: 1 to 101 (ChpxFkp), 1 to 29 (PapxFkp).
bool readChpxFkp(const std::uint8_t* page, ChpxFkp& out);
bool readPapxFkp(const std::uint8_t* page, PapxFkp& out);
// Fills `page` (512 bytes, zeroed first); false when the model's counts
// disagree or the page would overflow.
bool writeChpxFkp(const ChpxFkp& fkp, std::uint8_t* page);
bool writePapxFkp(const PapxFkp& fkp, std::uint8_t* page);

} // namespace scrivlet
