// Decoding of TIFF pictures for merging: the first image of the file as 8-bit
// RGB samples, transparent parts laid onto white. libtiff reads the bytes
// from memory with its messages kept out of the output and its allocations
// bounded; a picture larger than the limit or damaged is refused whole.
#pragma once

#include <string>
#include <string_view>

namespace filetools {

// Pictures with more pixels than this are refused.
constexpr long long kMaxTiffPixels = 64LL << 20;

// RGB rows, top row first, unpadded. False (and `rgb` empty) when the bytes
// are not a TIFF picture libtiff can read whole.
bool DecodeTiff(std::string_view bytes, int& width, int& height, std::string& rgb);

} // namespace filetools
