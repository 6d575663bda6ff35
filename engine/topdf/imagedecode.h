// Pictures for the PDF writer: recognising GIF, PNG, BMP and JPEG files by
// their first bytes and turning them into the samples of a PDF image. JPEG
// files are embedded as they are; the others become 8-bit samples, with a
// palette where the picture has one. PNG and GIF decoding is done by libpng
// and giflib; BMP is read here. Picture bytes are untrusted: every size is
// checked before anything is allocated, and a picture that cannot be decoded
// is refused as a whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum ImageType : int {
    IMAGE_UNKNOWN = 0,
    IMAGE_GIF = 1,
    IMAGE_PNG = 2,
    IMAGE_BMP = 3,
    IMAGE_JPEG = 4,
};

// The largest picture decoded to samples: at most this many pixels, and
// neither side longer than kMaxImageSide. Larger pictures are refused.
constexpr std::int64_t kMaxImagePixels = std::int64_t(64) << 20;
constexpr int kMaxImageSide = 65535;

// A decoded picture, owning its bytes (nothing refers to the caller's
// buffer). For JPEG, `samples` holds the file unchanged and `components`
// the colour channels of its frame (1 grey, 3 colour, 4 CMYK).
struct DecodedImage {
    ImageType type = IMAGE_UNKNOWN;
    int width = 0;
    int height = 0;
    // 1: grey, or a palette index when `palette` is not empty; 3: RGB;
    // 4: RGBA (alpha not premultiplied), blended onto the page before it is
    // written.
    int components = 0;
    // Pixel data, top row first, one byte per component, rows unpadded.
    std::vector<std::uint8_t> samples;
    // RGB triplets, 256 of them when the picture is indexed (entries the file
    // does not give are black); empty otherwise.
    std::vector<std::uint8_t> palette;
    // A CMYK JPEG that stores its inks inverted (Adobe's convention).
    bool invertedCmyk = false;

    bool indexed() const { return !palette.empty(); }
};

// The type of the picture in `bytes` and its pixel size, from the headers
// alone. IMAGE_UNKNOWN (and 0 x 0) when the bytes are none of the four types
// or their headers are cut short.
ImageType sniffImageType(std::size_t size, const std::uint8_t* bytes, int& width, int& height);

// Decodes a picture of the sniffed type into `out`. False when it cannot be
// decoded (damaged, unsupported variant, or larger than the limits above);
// `out` is then empty.
bool decodeImagePixels(ImageType type, const std::uint8_t* bytes, std::size_t size,
                       DecodedImage& out);

// The colour of pixel (x, y) of a decoded picture: RGB, palette colour or
// grey as the picture holds it; for a JPEG, whose pixels are not decoded, a
// fixed blue-grey. Coordinates outside the picture are clamped to it.
void ImagePixelColour(const DecodedImage& image, int x, int y, std::uint8_t rgb[3]);

// Per-format decoders behind decodeImagePixels.
bool DecodeBmp(const std::uint8_t* bytes, std::size_t size, DecodedImage& out);
bool DecodePng(const std::uint8_t* bytes, std::size_t size, DecodedImage& out);
bool DecodeGif(const std::uint8_t* bytes, std::size_t size, DecodedImage& out);

// Facts of a JPEG file's first frame: size and channels, and whether an
// Adobe segment marks CMYK as inverted. False when no supported frame header
// (baseline, extended sequential or progressive) comes before the scan.
struct JpegFrame {
    int width = 0;
    int height = 0;
    int components = 0;
    bool adobe = false;
};
bool ReadJpegFrame(const std::uint8_t* bytes, std::size_t size, JpegFrame& frame);

// True when a picture of that size may be decoded: both sides at least 1, at
// most kMaxImageSide, and at most kMaxImagePixels in all.
bool ImageSizeAllowed(std::int64_t width, std::int64_t height);
