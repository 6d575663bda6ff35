// Recognising pictures by their headers, reading JPEG frame headers, and
// handing the other types to their decoders.
#include "engine/topdf/imagedecode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

unsigned Be16(const std::uint8_t* p)
{
    return (unsigned(p[0]) << 8) | p[1];
}

unsigned Le16(const std::uint8_t* p)
{
    return unsigned(p[0]) | (unsigned(p[1]) << 8);
}

std::uint32_t Be32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
           (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// A size read from a header as an int; values that do not fit give 0.
int SideFrom(std::int64_t v)
{
    return v > 0 && v <= 0x7FFFFFFF ? static_cast<int>(v) : 0;
}

ImageType SniffPng(std::size_t size, const std::uint8_t* b, int& width, int& height)
{
    static const std::uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    if (size < 8 || std::memcmp(b, kSignature, 8) != 0)
        return IMAGE_UNKNOWN;
    std::uint64_t pos = 8;
    while (pos + 8 <= size) {
        const std::uint32_t len = Be32(b + pos);
        const std::uint8_t* type = b + pos + 4;
        if (std::memcmp(type, "IEND", 4) == 0)
            return IMAGE_UNKNOWN;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (pos + 16 > size)
                return IMAGE_UNKNOWN;
            width = SideFrom(Be32(b + pos + 8));
            height = SideFrom(Be32(b + pos + 12));
            return IMAGE_PNG;
        }
        pos += std::uint64_t(len) + 12;
    }
    return IMAGE_UNKNOWN;
}

ImageType SniffBmp(std::size_t size, const std::uint8_t* b, int& width, int& height)
{
    if (size < 26 || b[0] != 'B' || b[1] != 'M')
        return IMAGE_UNKNOWN;
    const std::uint32_t headerSize = Le32(b + 14);
    if (headerSize == 12) {   // the old OS/2 header: 16-bit sizes
        width = static_cast<int>(Le16(b + 18));
        height = static_cast<int>(Le16(b + 20));
    } else {
        const auto w = static_cast<std::int32_t>(Le32(b + 18));
        const auto h = static_cast<std::int32_t>(Le32(b + 22));
        width = SideFrom(w);
        height = SideFrom(std::llabs(static_cast<long long>(h)));   // negative: top row first
    }
    return IMAGE_BMP;
}

} // namespace

bool ImageSizeAllowed(std::int64_t width, std::int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

bool ReadJpegFrame(const std::uint8_t* b, std::size_t size, JpegFrame& frame)
{
    frame = JpegFrame{};
    if (size < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF)
        return false;
    std::uint64_t pos = 2;
    while (pos + 4 <= size) {
        if (b[pos] != 0xFF)
            return false;
        const std::uint8_t marker = b[pos + 1];
        if (marker == 0xFF) {   // fill byte before a marker
            ++pos;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;   // markers without a segment
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)   // image end or scan before any frame
            return false;
        const unsigned len = Be16(b + pos + 2);
        if (len < 2)
            return false;
        if (marker == 0xEE && len >= 12 && pos + 9 <= size && std::memcmp(b + pos + 4, "Adobe", 5) == 0)
            frame.adobe = true;
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            if (len < 8 || pos + 10 > size)
                return false;
            frame.height = static_cast<int>(Be16(b + pos + 5));
            frame.width = static_cast<int>(Be16(b + pos + 7));
            frame.components = b[pos + 9];
            return frame.width > 0 && frame.height > 0 &&
                   (frame.components == 1 || frame.components == 3 || frame.components == 4);
        }
        if (marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return false;   // lossless, hierarchical or arithmetic-coded frames
        pos += 2 + std::uint64_t(len);
    }
    return false;
}

ImageType sniffImageType(std::size_t size, const std::uint8_t* b, int& width, int& height)
{
    width = 0;
    height = 0;
    if (!b)
        return IMAGE_UNKNOWN;
    ImageType type = IMAGE_UNKNOWN;
    if (size >= 10 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F' && b[5] == 'a') {
        width = static_cast<int>(Le16(b + 6));
        height = static_cast<int>(Le16(b + 8));
        type = IMAGE_GIF;
    } else if (size >= 2 && b[0] == 'B' && b[1] == 'M') {
        type = SniffBmp(size, b, width, height);
    } else if (size >= 4 && b[0] == 137 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') {
        type = SniffPng(size, b, width, height);
    } else if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
        JpegFrame frame;
        if (ReadJpegFrame(b, size, frame)) {
            width = frame.width;
            height = frame.height;
            type = IMAGE_JPEG;
        }
    }
    if (type == IMAGE_UNKNOWN) {
        width = 0;
        height = 0;
    }
    return type;
}

bool decodeImagePixels(ImageType type, const std::uint8_t* bytes, std::size_t size,
                       DecodedImage& out)
{
    out = DecodedImage{};
    if (!bytes)
        return false;
    bool ok = false;
    switch (type) {
    case IMAGE_GIF:
        ok = DecodeGif(bytes, size, out);
        break;
    case IMAGE_PNG:
        ok = DecodePng(bytes, size, out);
        break;
    case IMAGE_BMP:
        ok = DecodeBmp(bytes, size, out);
        break;
    case IMAGE_JPEG: {
        JpegFrame frame;
        if (ReadJpegFrame(bytes, size, frame)) {
            out.width = frame.width;
            out.height = frame.height;
            out.components = frame.components;
            out.invertedCmyk = frame.components == 4 && frame.adobe;
            out.samples.assign(bytes, bytes + size);
            ok = true;
        }
        break;
    }
    default:
        break;
    }
    if (!ok) {
        out = DecodedImage{};
        return false;
    }
    out.type = type;
    return true;
}

void ImagePixelColour(const DecodedImage& image, int x, int y, std::uint8_t rgb[3])
{
    if (image.type == IMAGE_JPEG || image.width < 1 || image.height < 1 || image.components < 1) {
        // JPEG pixels are never decoded here: a neutral blue-grey stands in.
        rgb[0] = 76;
        rgb[1] = 93;
        rgb[2] = 109;
        return;
    }
    x = std::clamp(x, 0, image.width - 1);
    y = std::clamp(y, 0, image.height - 1);
    const std::size_t at = (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) *
                           std::size_t(image.components);
    if (at + std::size_t(image.components) > image.samples.size()) {
        rgb[0] = rgb[1] = rgb[2] = 255;
        return;
    }
    const std::uint8_t* p = image.samples.data() + at;
    if (image.indexed()) {
        const std::size_t entry = std::size_t(p[0]) * 3;
        for (int c = 0; c < 3; ++c)
            rgb[c] = entry + 2 < image.palette.size() ? image.palette[entry + std::size_t(c)] : 0;
    } else if (image.components < 3) {
        rgb[0] = rgb[1] = rgb[2] = p[0];
    } else {
        rgb[0] = p[0];
        rgb[1] = p[1];
        rgb[2] = p[2];
    }
}
