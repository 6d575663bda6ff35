#include "app/filetools/tiffdecode.h"

#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace filetools {

namespace {

// libtiff reads through these from a buffer in memory.
struct MemoryFile {
    std::string_view data;
    std::uint64_t pos = 0;
};

tmsize_t Read(thandle_t h, void* buf, tmsize_t size)
{
    auto* f = static_cast<MemoryFile*>(h);
    if (size <= 0 || f->pos >= f->data.size())
        return 0;
    const auto n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), f->data.size() - f->pos);
    std::memcpy(buf, f->data.data() + f->pos, n);
    f->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t Write(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t Seek(thandle_t h, toff_t off, int whence)
{
    auto* f = static_cast<MemoryFile*>(h);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = f->pos;
    else if (whence == SEEK_END)
        base = f->data.size();
    f->pos = base + off;
    return f->pos;
}

int Close(thandle_t)
{
    return 0;
}

toff_t Size(thandle_t h)
{
    return static_cast<MemoryFile*>(h)->data.size();
}

int Quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing printed
}

} // namespace

bool DecodeTiff(std::string_view bytes, int& width, int& height, std::string& rgb)
{
    rgb.clear();
    MemoryFile file{bytes};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffPixels * 4);
    TIFF* tif = TIFFClientOpenExt("picture", "rm", &file, Read, Write, Seek, Close, Size, nullptr,
                                  nullptr, options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        return false;
    std::uint32_t w = 0, h = 0;
    bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) == 1 &&
              TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) == 1 && w > 0 && h > 0 &&
              static_cast<long long>(w) * h <= kMaxTiffPixels;
    std::vector<std::uint32_t> raster;
    if (ok) {
        raster.resize(static_cast<std::size_t>(w) * h);
        ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) == 1;
    }
    TIFFClose(tif);
    if (!ok)
        return false;
    // libtiff gives premultiplied alpha: over white, each channel gains the
    // part the alpha leaves uncovered.
    rgb.resize(raster.size() * 3);
    for (std::size_t i = 0; i < raster.size(); ++i) {
        const std::uint32_t p = raster[i];
        const unsigned uncovered = 255 - TIFFGetA(p);
        rgb[3 * i] = static_cast<char>(std::min(255u, TIFFGetR(p) + uncovered));
        rgb[3 * i + 1] = static_cast<char>(std::min(255u, TIFFGetG(p) + uncovered));
        rgb[3 * i + 2] = static_cast<char>(std::min(255u, TIFFGetB(p) + uncovered));
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

} // namespace filetools
