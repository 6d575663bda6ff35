// The style sheet (STSH) of a Word document: its header (Stshi) and one
// style (STD) per style index, each with the property lists (UPXs) that its
// kind carries.
#pragma once

#include "wordlib/sprm.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

// One UPX: a UpxPapx has a style index, a UpxChpx or UpxTapx does not.
struct Upx {
    std::uint16_t istd = 0;
    PropertyList props;
    bool operator==(const Upx&) const = default;
};

// The revision-marked UPXs of a style: a marker that must be 6, six bytes
// of revision data, then a UpxPapx and a UpxChpx (paragraph styles) or a
// UpxChpx alone (character styles).
struct RevisionUpx {
    std::uint16_t marker = 6;
    std::array<std::uint8_t, 6> data{};
    Upx papx;
    Upx chpx;
    bool operator==(const RevisionUpx&) const = default;
};

struct Std {
    bool empty = true;                      // a slot of cbStd 0
    std::array<std::uint8_t, 10> base{};    // Stdf base: sti, stk, istdBase, cupx, ...
    std::array<std::uint8_t, 8> post2000{}; // written when the base in the file is 18 bytes
    std::u16string name;
    std::vector<Upx> upxs;                  // in file order, as stk and cupx give them
    bool hasRevision = false;
    RevisionUpx revision;

    // 1 paragraph, 2 character, 3 table, 4 numbering.
    unsigned stk() const { return Load16(base.data() + 2) & 0xF; }
    unsigned cupx() const { return Load16(base.data() + 4) & 0xF; }
    bool operator==(const Std&) const = default;
};

struct StyleSheet {
    std::array<std::uint8_t, 18> stshif{};  // cstd, cbSTDBaseInFile, flags, stiMaxWhenSaved, ...
    bool hasLsd = false;                    // the Stshi goes on past the 18 bytes
    std::uint16_t ftcBi = 0;
    std::uint16_t cbLsd = 4;
    std::vector<std::uint32_t> lsds;        // stiMaxWhenSaved of them
    std::vector<Std> styles;

    unsigned baseSize() const { return Load16(stshif.data() + 2); }
    unsigned stiMaxWhenSaved() const { return Load16(stshif.data() + 6); }
    bool operator==(const StyleSheet&) const = default;
};

// The reader is the whole style sheet (lcbStshf bytes).
bool readStsh(ByteReader in, StyleSheet& out);
bool writeStsh(const StyleSheet& stsh, StreamOut& out);
// One style within its cbStd bytes, for a base of `baseSize` (10 or 18).
bool readStd(ByteReader& in, unsigned baseSize, Std& out);
bool writeStd(const Std& std, unsigned baseSize, StreamOut& out);

} // namespace scrivlet
