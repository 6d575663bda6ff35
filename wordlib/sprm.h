// Single property modifiers (sprms) and the property lists built of them:
// the character properties of a run (Chpx), the style and properties of a
// paragraph (PapxInFkp) and the properties of a section (SEPX).
//
// Readers take a bounded ByteReader and fail, without reading past its end,
// when an operand does not fit; writers go through a StreamOut. The size of
// a sprm's operand follows from its top three bits (spra); spra 6 operands
// begin with their own count byte, which the model keeps as the operand's
// first byte.
#pragma once

#include "wordlib/bytes.h"

#include <cstdint>
#include <vector>

namespace scrivlet {

struct Sprm {
    std::uint16_t sprm = 0;
    std::vector<std::uint8_t> operand;   // for spra 6: the count byte, then the bytes

    bool operator==(const Sprm&) const = default;
};

using PropertyList = std::vector<Sprm>;

// The operand size of a sprm whose spra is not 6; 0 for spra 6.
std::size_t FixedOperandSize(std::uint16_t sprm);
// The bytes the sprm takes when written (code and operand); 0 when its
// operand is shorter than its code requires.
std::size_t SprmSize(const Sprm& sprm);
// The bytes the list takes when written; false when a sprm is malformed.
bool PropertyListSize(const PropertyList& list, std::size_t& size);

bool readSprm(ByteReader& in, Sprm& out);
bool writeSprm(const Sprm& sprm, StreamOut& out);

// Sprms until the reader is at its end.
bool readPropertyList(ByteReader in, PropertyList& out);
bool writePropertyList(const PropertyList& list, StreamOut& out);

// A Chpx: a count byte and that many bytes of sprms.
bool readChpx(ByteReader& in, PropertyList& out);

// The paragraph entry of a PAPX page: style index and properties. `unsaved`
// is a second list the model may carry that never goes to the page.
struct PapxEntry {
    std::uint16_t istd = 0;
    PropertyList props;
    PropertyList unsaved;

    bool operator==(const PapxEntry& o) const { return istd == o.istd && props == o.props; }
};

// A PapxInFkp at the start of `in`, which runs to the end of its page. When
// a sprm does not fit the size the entry declares, a warning goes to the
// standard error and the sprm is read again up to the page end.
bool readPapxInFkp(ByteReader& in, PapxEntry& out);
// The entry's istd and sprms with their size prefix, as a PAPX page holds
// them: odd lengths as cb = (len + 1) / 2, even ones as 0, len / 2.
bool serializePapxInFkp(const PapxEntry& entry, std::vector<std::uint8_t>& out);

// A SEPX: a 16-bit count and that many bytes of sprms.
bool readSepx(ByteReader& in, PropertyList& out);
bool writeSepx(const PropertyList& sepx, StreamOut& out);

} // namespace scrivlet
