// PNG pictures through libpng. libpng reports errors by longjmp: it stays
// inside DecodeRows, whose frame holds nothing that needs a destructor, and
// every failure there comes back as false. Warnings are dropped.
//
// Samples come out as 8 bits per channel: a palette picture keeps its
// indices and palette unless it has transparency, grey stays grey, and every
// picture with transparency (an alpha channel or a tRNS chunk, also a tRNS
// shorter than the palette) becomes RGBA.
#include "engine/topdf/imagedecode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

struct Reader {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t pos;
};

void ReadBytes(png_structp png, png_bytep dst, png_size_t n)
{
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (n > r->size - r->pos)
        png_error(png, "truncated");
    std::memcpy(dst, r->bytes + r->pos, n);
    r->pos += n;
}

void OnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The bytes of all IDAT chunks, counted from the chunk headers; used to
// refuse headers that promise more pixels than the data could inflate to.
std::uint64_t CompressedBytes(const std::uint8_t* b, std::size_t size)
{
    std::uint64_t total = 0;
    std::uint64_t pos = 8;
    while (pos + 8 <= size) {
        const std::uint32_t len = (std::uint32_t(b[pos]) << 24) | (std::uint32_t(b[pos + 1]) << 16) |
                                  (std::uint32_t(b[pos + 2]) << 8) | b[pos + 3];
        if (std::memcmp(b + pos + 4, "IDAT", 4) == 0)
            total += len;
        else if (std::memcmp(b + pos + 4, "IEND", 4) == 0)
            break;
        pos += std::uint64_t(len) + 12;
    }
    return total;
}

// What the decoding needs to keep across a longjmp lives here, outside the
// frame that calls setjmp.
struct PngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Reader reader{};
    std::uint64_t compressed = 0;
    std::vector<png_bytep> rows;
    DecodedImage* out = nullptr;
};

bool DecodeRows(PngJob* job)
{
    png_structp png = job->png;
    png_infop info = job->info;
    if (setjmp(png_jmpbuf(png)))
        return false;

    png_set_read_fn(png, &job->reader, ReadBytes);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, 8 << 20);   // text and profile chunks
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!ImageSizeAllowed(width, height))
        return false;
    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    // Filtered rows cannot inflate to more than about 1032 times the
    // compressed bytes.
    const std::uint64_t channels = png_get_channels(png, info);
    const std::uint64_t rawBytes = (std::uint64_t(width) * channels * std::uint64_t(depth) + 7) / 8 + 1;
    if (rawBytes * height > job->compressed * 1032 + 4096)
        return false;

    const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    int components = 0;
    bool indexed = false;
    if (depth == 16)
        png_set_strip_16(png);
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE:
        if (transparent) {
            png_set_palette_to_rgb(png);
            png_set_tRNS_to_alpha(png);
            components = 4;
        } else {
            png_set_packing(png);
            components = 1;
            indexed = true;
        }
        break;
    case PNG_COLOR_TYPE_GRAY:
        if (depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (transparent) {
            png_set_tRNS_to_alpha(png);
            png_set_gray_to_rgb(png);
            components = 4;
        } else {
            components = 1;
        }
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        components = 4;
        break;
    case PNG_COLOR_TYPE_RGB:
        if (transparent) {
            png_set_tRNS_to_alpha(png);
            components = 4;
        } else {
            components = 3;
        }
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        components = 4;
        break;
    default:
        return false;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = std::size_t(width) * std::size_t(components);
    if (png_get_rowbytes(png, info) != rowBytes)
        return false;

    DecodedImage& out = *job->out;
    if (indexed) {
        png_colorp entries = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &entries, &count) || !entries)
            return false;
        out.palette.assign(256 * 3, 0);
        for (int i = 0; i < count && i < 256; ++i) {
            out.palette[std::size_t(i) * 3] = entries[i].red;
            out.palette[std::size_t(i) * 3 + 1] = entries[i].green;
            out.palette[std::size_t(i) * 3 + 2] = entries[i].blue;
        }
    }
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.components = components;
    out.samples.assign(rowBytes * height, 0);
    job->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        job->rows[y] = out.samples.data() + rowBytes * y;
    png_read_image(png, job->rows.data());
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool DecodePng(const std::uint8_t* bytes, std::size_t size, DecodedImage& out)
{
    if (size < 8 || png_sig_cmp(bytes, 0, 8) != 0)
        return false;
    PngJob job;
    job.reader = Reader{bytes, size, 0};
    job.compressed = CompressedBytes(bytes, size);
    job.out = &out;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!job.png)
        return false;
    job.info = png_create_info_struct(job.png);
    bool ok = job.info && DecodeRows(&job);
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    if (!ok)
        out = DecodedImage{};
    return ok;
}
