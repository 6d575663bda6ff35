// Entries of a Word document's "Data" stream that fields and pictures point
// to. A hyperlink data entry is a header (whose first four bytes give the
// entry's length and next two the header's, 68) followed, for a HYPERLINK
// field, by the hyperlink field data: a bits byte, a class id and the
// hyperlink object.
#pragma once

#include "wordlib/hyperlink.h"

#include <array>
#include <cstdint>

namespace scrivlet {

inline constexpr std::uint8_t kFieldHyperlink = 0x58;

struct HyperlinkDataEntry {
    std::array<std::uint8_t, 68> header{};   // lcb and cbHeader are set on writing
    std::uint8_t hfdBits = 0;
    ClassId hfdClassId{};
    HyperlinkObject object;
};

// Reads an entry of the field kind `fieldType` and moves past it; only a
// HYPERLINK field (0x58) has its field data parsed.
bool readHyperlinkData(ByteReader& in, std::uint8_t fieldType, HyperlinkDataEntry& out);
bool writeHyperlinkData(const HyperlinkDataEntry& entry, StreamOut& out);

} // namespace scrivlet
