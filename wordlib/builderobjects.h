// The drawn objects and field objects of a built document, filled with the
// fixed property sets the document uses: text boxes (also those that hold a
// picture, which lie behind the text), freeform paths, turned text as
// geometric text, picture entries of the "Data" stream with a JPEG blip,
// and the hyperlink objects of HYPERLINK fields. Then the whole built
// document goes into the document model that the Word writer writes.
#pragma once

#include "wordlib/docbuilder.h"
#include "wordlib/docdata.h"

#include <cstdint>

namespace scrivlet {

// A value as 16.16 fixed point: the integer part floor(x) in the high 16
// bits, the fraction times 65536, truncated, in the low 16 bits. Values
// beyond the 16-bit range are clamped to it; NaN gives 0.
std::uint32_t FixedPoint16(double x);

// Lengths in EMU (twips times 635, truncated, at least 0).
std::uint32_t TwipsToEmu(double twips);

// Fill one shape container for the shape id `spid`.
void FillTextBoxShape(OfficeArtSpContainer& shape, std::uint32_t spid, std::size_t story, bool behind);
void FillPathShape(OfficeArtSpContainer& shape, std::uint32_t spid, const ShapeRequest& request);
void FillRotatedTextShape(OfficeArtSpContainer& shape, std::uint32_t spid, const RotatedRun& run);

// The picture entry of a picture shown at its size: PICF, picture frame,
// and a JPEG blip read from the picture's file when it is written.
PictureEntry MakePictureEntry(const BoxPicture& picture);
// The Data stream object of a HYPERLINK field.
ObjectEntry MakeHyperlinkEntry(const HyperlinkTarget& target);

// Puts the built document into the model: text, fonts, formatted disk
// pages, sections, fields, bookmarks, shape anchors, text-box stories,
// shapes, pictures and hyperlink objects. The model holds its defaults
// (loaded before). Moves out of `doc` what it can.
void FillModel(BuiltDocument& doc, DocData& model);

} // namespace scrivlet
