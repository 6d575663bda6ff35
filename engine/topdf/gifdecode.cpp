// GIF pictures through giflib: the first image of the file (an animation
// shows its first frame), on a canvas of the logical screen's size. Without
// transparency the result keeps the palette indices; a frame with a
// transparent colour becomes RGBA so that the page shows through it.
#include "engine/topdf/imagedecode.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace {

struct Reader {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t pos;
};

int ReadBytes(GifFileType* gif, GifByteType* dst, int n)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    if (n <= 0)
        return 0;
    const std::size_t take = std::min<std::size_t>(std::size_t(n), r->size - r->pos);
    std::memcpy(dst, r->bytes + r->pos, take);
    r->pos += take;
    return static_cast<int>(take);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser()
    {
        if (gif) {
            int error = 0;
            DGifCloseFile(gif, &error);
        }
    }
};

// Skips an extension block, noting the transparent colour of a graphic
// control extension.
bool ReadExtension(GifFileType* gif, int& transparent)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK)
        return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
            transparent = gcb.TransparentColor;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK)
            return false;
    }
    return true;
}

// Reads the rows of the current image into `frame` (width x height
// indices), in interlaced order when the image is interlaced. Rows after a
// damaged one stay as they were.
void ReadFrame(GifFileType* gif, int width, int height, std::vector<std::uint8_t>& frame)
{
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    const bool interlaced = gif->Image.Interlace;
    const int passes = interlaced ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = interlaced ? kStart[pass] : 0;
        const int step = interlaced ? kStep[pass] : 1;
        for (int y = start; y < height; y += step) {
            if (DGifGetLine(gif, frame.data() + std::size_t(y) * std::size_t(width), width) != GIF_OK)
                return;
        }
    }
}

} // namespace

bool DecodeGif(const std::uint8_t* bytes, std::size_t size, DecodedImage& out)
{
    Reader reader{bytes, size, 0};
    int error = 0;
    GifCloser file{DGifOpen(&reader, ReadBytes, &error)};
    GifFileType* gif = file.gif;
    if (!gif)
        return false;

    int transparent = NO_TRANSPARENT_COLOR;
    while (true) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) != GIF_OK)
            return false;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif, transparent))
                return false;
            continue;
        }
        if (record == IMAGE_DESC_RECORD_TYPE)
            break;
        return false;   // the file ends before any image
    }
    if (DGifGetImageDesc(gif) != GIF_OK)
        return false;

    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount < 1 || map->ColorCount > 256)
        return false;
    const std::int64_t frameW = desc.Width, frameH = desc.Height;
    const std::int64_t canvasW = gif->SWidth > 0 ? gif->SWidth : frameW;
    const std::int64_t canvasH = gif->SHeight > 0 ? gif->SHeight : frameH;
    if (!ImageSizeAllowed(canvasW, canvasH) || !ImageSizeAllowed(frameW, frameH))
        return false;
    // LZW codes of at most 12 bits cannot stand for more than about 2730
    // pixels a byte: a header promising more than the rest of the file can
    // hold is refused before anything is allocated.
    if (frameW * frameH > std::int64_t(size - reader.pos) * 2730 + 4096)
        return false;

    std::vector<std::uint8_t> frame(std::size_t(frameW * frameH),
                                    static_cast<std::uint8_t>(gif->SBackGroundColor));
    ReadFrame(gif, static_cast<int>(frameW), static_cast<int>(frameH), frame);

    // Place the frame on the canvas; what it does not cover shows the
    // background colour, or nothing when the frame is transparent.
    const bool alpha = transparent >= 0 && transparent < 256;
    out.width = static_cast<int>(canvasW);
    out.height = static_cast<int>(canvasH);
    out.components = alpha ? 4 : 1;
    std::vector<std::uint8_t> rgb(256 * 3, 0);
    for (int i = 0; i < map->ColorCount; ++i) {
        rgb[std::size_t(i) * 3] = map->Colors[i].Red;
        rgb[std::size_t(i) * 3 + 1] = map->Colors[i].Green;
        rgb[std::size_t(i) * 3 + 2] = map->Colors[i].Blue;
    }
    const std::uint8_t background = alpha ? static_cast<std::uint8_t>(transparent)
                                          : static_cast<std::uint8_t>(gif->SBackGroundColor);
    std::vector<std::uint8_t> indices(std::size_t(canvasW * canvasH), background);
    for (std::int64_t y = 0; y < frameH; ++y) {
        const std::int64_t cy = desc.Top + y;
        if (cy < 0 || cy >= canvasH)
            continue;
        for (std::int64_t x = 0; x < frameW; ++x) {
            const std::int64_t cx = desc.Left + x;
            if (cx >= 0 && cx < canvasW)
                indices[std::size_t(cy * canvasW + cx)] = frame[std::size_t(y * frameW + x)];
        }
    }
    if (!alpha) {
        out.samples = std::move(indices);
        out.palette = std::move(rgb);
        return true;
    }
    out.samples.resize(indices.size() * 4);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::size_t c = std::size_t(indices[i]) * 3;
        out.samples[i * 4] = rgb[c];
        out.samples[i * 4 + 1] = rgb[c + 1];
        out.samples[i * 4 + 2] = rgb[c + 2];
        out.samples[i * 4 + 3] = indices[i] == transparent ? 0 : 255;
    }
    return true;
}
