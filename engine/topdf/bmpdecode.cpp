// Windows bitmaps (BMP): the OS/2 header and every Windows header version,
// 1, 2, 4 and 8 bits per pixel with a palette, 16, 24 and 32 bits with or
// without bit-field masks. Run-length and embedded JPEG/PNG bitmaps are
// refused. Rows that the file does not hold stay zero.
#include "engine/topdf/imagedecode.h"

#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

unsigned Le16(const std::uint8_t* p)
{
    return unsigned(p[0]) | (unsigned(p[1]) << 8);
}

// One colour channel selected by a bit mask, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m)
    {
        if (m) {
            shift = std::countr_zero(m);
            max = (std::uint64_t(1) << std::popcount(m >> shift)) - 1;
        }
    }
    std::uint8_t operator()(std::uint32_t pixel) const
    {
        if (!mask || !max)
            return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>(v * 255 / max);
    }
};

struct BmpHeader {
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;   // negative: rows stored top first
    unsigned bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colours = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    std::uint64_t paletteAt = 0;
    unsigned paletteStride = 4;
};

bool ReadHeader(const std::uint8_t* b, std::size_t size, BmpHeader& h)
{
    if (size < 18 || b[0] != 'B' || b[1] != 'M')
        return false;
    h.headerSize = Le32(b + 14);
    if (h.headerSize == 12) {
        if (size < 26)
            return false;
        h.width = Le16(b + 18);
        h.height = Le16(b + 20);
        h.bits = Le16(b + 24);
        h.paletteStride = 3;
    } else if (h.headerSize >= 40) {
        if (size < 54)
            return false;
        h.width = static_cast<std::int32_t>(Le32(b + 18));
        h.height = static_cast<std::int32_t>(Le32(b + 22));
        h.bits = Le16(b + 28);
        h.compression = Le32(b + 30);
        h.colours = Le32(b + 46);
    } else {
        return false;
    }
    // The palette follows the header the file declares, and the three or
    // four masks that a 40-byte header keeps outside itself.
    h.paletteAt = 14 + std::uint64_t(h.headerSize);
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        const std::uint64_t masksAt = 54;
        if (masksAt + 12 <= size) {
            for (int i = 0; i < 3; ++i)
                h.masks[i] = Le32(b + masksAt + 4 * std::uint64_t(i));
        }
        if (h.headerSize == 40)
            h.paletteAt += h.compression == kAlphaBitFields ? 16 : 12;
    } else if (h.bits == 16) {
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x03E0;
        h.masks[2] = 0x001F;
    } else if (h.bits == 32) {
        h.masks[0] = 0x00FF0000;
        h.masks[1] = 0x0000FF00;
        h.masks[2] = 0x000000FF;
    }
    return true;
}

// Run-length coded palette indices (8 or 4 bits), bottom row first, into
// `indices` (width x height, top row first). Pixels the data skips or does
// not reach stay 0.
void DecodeRle(const std::uint8_t* b, std::size_t size, std::uint64_t at, unsigned bits,
               std::int64_t width, std::int64_t height, std::vector<std::uint8_t>& indices)
{
    std::int64_t x = 0, row = 0;   // row 0 is the bottom row
    auto put = [&](std::uint8_t index) {
        if (x < width && row < height)
            indices[std::size_t((height - 1 - row) * width + x)] = index;
        ++x;
    };
    while (at + 2 <= size && row < height) {
        const std::uint8_t count = b[at];
        const std::uint8_t value = b[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width; ++i)
                put(bits == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
            continue;
        }
        if (value == 0) {          // end of line
            x = 0;
            ++row;
        } else if (value == 1) {   // end of bitmap
            return;
        } else if (value == 2) {   // move right and up
            if (at + 2 > size)
                return;
            x += b[at];
            row += b[at + 1];
            at += 2;
        } else {                   // `value` pixels as they stand, padded to 16 bits
            const std::uint64_t bytes = bits == 8 ? value : (value + 1u) / 2;
            if (at + bytes > size)
                return;
            for (unsigned i = 0; i < value; ++i) {
                const std::uint8_t byte = b[at + (bits == 8 ? i : i / 2)];
                put(bits == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 0x0F));
            }
            at += (bytes + 1) & ~std::uint64_t(1);
        }
    }
}

} // namespace

bool DecodeBmp(const std::uint8_t* b, std::size_t size, DecodedImage& out)
{
    BmpHeader h;
    if (!ReadHeader(b, size, h))
        return false;
    const bool topDown = h.height < 0;
    const std::int64_t width = h.width;
    const std::int64_t height = topDown ? -h.height : h.height;
    if (!ImageSizeAllowed(width, height))
        return false;
    const bool indexed = h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8;
    const bool masked = h.bits == 16 || h.bits == 32;
    if (!indexed && !masked && h.bits != 24)
        return false;
    const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    const bool rle = (h.compression == kRle8 && h.bits == 8) || (h.compression == kRle4 && h.bits == 4);
    if (h.compression != kRgb && !(fields && masked) && !rle)
        return false;   // embedded JPEG/PNG, or a coding that does not fit the depth
    if (rle && topDown)
        return false;   // run-length bitmaps are stored bottom row first

    const std::uint64_t stride = ((std::uint64_t(width) * h.bits + 31) / 32) * 4;
    // Missing rows are zero-filled, but a header that claims far more than
    // the file could ever hold is refused before anything is allocated (a
    // run-length pair stands for at most 255 pixels).
    const std::uint64_t most = rle ? std::uint64_t(size) * 128 : std::uint64_t(size) * 4;
    if (stride * std::uint64_t(height) > most + (std::uint64_t(1) << 20))
        return false;

    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.components = indexed ? 1 : 3;
    const std::size_t rowOut = std::size_t(width) * std::size_t(out.components);
    out.samples.assign(rowOut * std::size_t(height), 0);

    if (indexed) {
        const std::uint32_t most = 1u << h.bits;
        const std::uint32_t count = h.colours > 0 && h.colours < most ? h.colours : most;
        out.palette.assign(256 * 3, 0);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t at = h.paletteAt + std::uint64_t(i) * h.paletteStride;
            if (at + 3 > size)
                break;
            out.palette[i * 3] = b[at + 2];   // stored blue, green, red
            out.palette[i * 3 + 1] = b[at + 1];
            out.palette[i * 3 + 2] = b[at];
        }
    }

    const std::uint64_t dataAt = Le32(b + 10);
    if (rle) {
        DecodeRle(b, size, dataAt, h.bits, width, height, out.samples);
        return true;
    }
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    for (std::int64_t row = 0; row < height; ++row) {
        const std::uint64_t rowAt = dataAt + std::uint64_t(row) * stride;
        if (rowAt + stride > size)
            break;   // this row and the rows after it stay zero
        const std::uint8_t* in = b + rowAt;
        const std::int64_t y = topDown ? row : height - 1 - row;
        std::uint8_t* dst = out.samples.data() + std::size_t(y) * rowOut;
        for (std::int64_t x = 0; x < width; ++x) {
            const std::uint64_t bit = std::uint64_t(x) * h.bits;
            const std::uint8_t* p = in + bit / 8;
            if (indexed) {
                const unsigned shift = 8 - h.bits - unsigned(bit % 8);
                dst[x] = static_cast<std::uint8_t>((*p >> shift) & ((1u << h.bits) - 1));
            } else if (h.bits == 24) {
                dst[x * 3] = p[2];
                dst[x * 3 + 1] = p[1];
                dst[x * 3 + 2] = p[0];
            } else {
                const std::uint32_t pixel = h.bits == 16 ? Le16(p) : Le32(p);
                dst[x * 3] = red(pixel);
                dst[x * 3 + 1] = green(pixel);
                dst[x * 3 + 2] = blue(pixel);
            }
        }
    }
    return true;
}
