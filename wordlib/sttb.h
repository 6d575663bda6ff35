// String tables (STTB) in their 8-bit form (the font table, whose strings
// are serialized font entries) and their extended UTF-16 form (associated
// strings, bookmark names), and the font entry (FFN) itself.
#pragma once

#include "wordlib/bytes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

struct SttbEntry {
    std::string bytes;                 // the 8-bit form's string
    std::u16string text;               // the extended form's string
    std::vector<std::uint8_t> extra;   // cbExtra bytes
    bool operator==(const SttbEntry&) const = default;
};

struct Sttb {
    std::uint16_t fExtend = 0xFFFF;    // written first by the extended form
    bool cData32 = false;              // cData written as 32 bits
    std::uint32_t cData = 0;
    std::uint16_t cbExtra = 0;
    std::vector<SttbEntry> entries;
    bool operator==(const Sttb&) const = default;
};

// The 8-bit form: cData, cbExtra, then a count byte and the bytes of each
// string. The reader is the whole table.
bool readSttb(ByteReader in, Sttb& out);
bool writeSttb(const Sttb& sttb, StreamOut& out);
// The extended form: fExtend 0xFFFF, cData, cbExtra, then a 16-bit count
// and the UTF-16 units of each string.
bool readSttbW(ByteReader in, Sttb& out);
bool writeSttbW(const Sttb& sttb, StreamOut& out);

// A font entry as the font table's strings hold it (after their count
// byte): 39 bytes of font data, the name and, when ixchSzAlt is not 0, an
// alternative name, each ending in a 0 unit.
struct Ffn {
    std::array<std::uint8_t, 39> head{};   // prq/fTrueType/ff, wWeight, chs, ixchSzAlt, panose, fs
    std::u16string name;
    std::u16string altName;

    std::uint8_t ixchSzAlt() const { return head[4]; }
    bool operator==(const Ffn&) const = default;
};

bool readFfn(ByteReader in, Ffn& out);
std::vector<std::uint8_t> writeFfn(const Ffn& ffn);

} // namespace scrivlet
