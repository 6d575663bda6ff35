// Picture decoding of the PDF writer: sniffing, decoding to samples and
// reading pixels back, on any bytes.
#include "engine/topdf/imagedecode.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int width = 0, height = 0;
    const ImageType type = sniffImageType(size, data, width, height);
    // Pictures the decoder accepts may hold tens of millions of pixels; under
    // the sanitizers a few of those in a row pass the fuzzer's memory limit
    // without showing a fault. The size checks themselves are fuzzed with
    // every header; only pictures above 4 million pixels are not decoded.
    if (std::uint64_t(width > 0 ? width : 0) * std::uint64_t(height > 0 ? height : 0) > (1u << 22))
        return 0;
    DecodedImage image;
    if (!decodeImagePixels(type, data, size, image))
        return 0;
    // Every pixel of a decoded picture can be read.
    std::uint8_t rgb[3];
    for (int y = 0; y < image.height; y += 1 + image.height / 16)
        for (int x = 0; x < image.width; x += 1 + image.width / 16)
            ImagePixelColour(image, x, y, rgb);
    const std::size_t expected = image.type == IMAGE_JPEG
                                     ? size
                                     : std::size_t(image.width) * std::size_t(image.height) *
                                           std::size_t(image.components);
    if (image.samples.size() != expected)
        __builtin_trap();
    return 0;
}
