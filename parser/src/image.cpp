// Writing the pictures of page objects as JPEG files.
#include "internal.h"
#include "mupdf_safe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

namespace parser_detail {

ImageSource::~ImageSource()
{
    if (ctx && image)
        fz_drop_image(ctx, image);
}

namespace {

// Grey levels of a mask pixmap: its alpha when it has no colour, else its
// first colour channel (a soft mask is a grey picture of the opacity).
std::vector<unsigned char> MaskSamples(fz_context* ctx, fz_pixmap* pix, int& w, int& h)
{
    w = fz_pixmap_width(ctx, pix);
    h = fz_pixmap_height(ctx, pix);
    const int n = fz_pixmap_components(ctx, pix);
    const int c = fz_pixmap_colorants(ctx, pix);
    const int alpha = fz_pixmap_alpha(ctx, pix);
    const std::ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
    const unsigned char* s = fz_pixmap_samples(ctx, pix);
    std::vector<unsigned char> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const int channel = c > 0 ? 0 : (alpha ? n - 1 : 0);
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = s + stride * y;
        for (int x = 0; x < w; ++x)
            out[static_cast<std::size_t>(y) * w + x] = row[x * n + channel];
    }
    return out;
}

// What the frame header of a JPEG stream says.
struct JpegHeader {
    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 0;
    int orientation = 1; // of an Exif segment before the frame; 1 = as stored
};

// The orientation tag (0x0112) of the first directory of an Exif segment's
// payload (after "Exif\0\0"); 1 when there is none or it cannot be read.
int ExifOrientation(const unsigned char* t, std::size_t n)
{
    if (n < 8)
        return 1;
    const bool little = t[0] == 'I' && t[1] == 'I';
    if (!little && !(t[0] == 'M' && t[1] == 'M'))
        return 1;
    auto u16 = [&](std::size_t at) {
        return little ? unsigned(t[at]) | unsigned(t[at + 1]) << 8
                      : unsigned(t[at]) << 8 | unsigned(t[at + 1]);
    };
    auto u32 = [&](std::size_t at) {
        return little ? std::size_t(u16(at)) | std::size_t(u16(at + 2)) << 16
                      : std::size_t(u16(at)) << 16 | std::size_t(u16(at + 2));
    };
    const std::size_t ifd = u32(4);
    if (ifd > n || n - ifd < 2)
        return 1;
    const std::size_t count = u16(ifd);
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t e = ifd + 2 + 12 * k;
        if (e > n || n - e < 12)
            break;
        if (u16(e) == 0x0112)
            return static_cast<int>(u16(e + 8));
    }
    return 1;
}

// Reads the first frame header (SOFn) of a JPEG stream. False when the data
// does not start like a JPEG or ends before a frame header.
bool ReadJpegHeader(const unsigned char* d, std::size_t n, JpegHeader& out)
{
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return false;
    std::size_t i = 2;
    while (i + 4 <= n) {
        if (d[i] != 0xFF)
            return false;
        const unsigned char marker = d[i + 1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            return false;
        const std::size_t len = (std::size_t(d[i + 2]) << 8) | d[i + 3];
        if (len < 2 || i + 2 + len > n)
            return false;
        if (marker == 0xE1 && len >= 8 && std::memcmp(d + i + 4, "Exif\0\0", 6) == 0)
            out.orientation = ExifOrientation(d + i + 10, len - 8);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                           marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (len < 8)
                return false;
            const unsigned char* f = d + i + 4;
            out.precision = f[0];
            out.height = (f[1] << 8) | f[2];
            out.width = (f[3] << 8) | f[4];
            out.components = f[5];
            return true;
        }
        i += 2 + len;
    }
    return false;
}

// The picture's stream when it is a JPEG file as it stands: stored with
// DCTDecode as its last filter (MuPDF has undone any filter before it), in
// grey or RGB (device or ICC-based), eight bits, no mask, no colour key, no
// decode array, no colour transform of the stream's own, no Exif
// orientation that turns it, and the JPEG's own size and channels those of
// the picture. Such a stream shows the same picture in any viewer and is
// copied unchanged; anything else is decoded and encoded again.
fz_buffer* StoredJpeg(fz_context* ctx, fz_image* image)
{
    if (!image || image->imagemask || image->mask || image->use_colorkey || image->use_decode ||
        image->bpc != 8 || image->orientation > 1 || (image->n != 1 && image->n != 3))
        return nullptr;
    fz_compressed_buffer* cbuf = fz_compressed_image_buffer(ctx, image);
    if (!cbuf || !cbuf->buffer || cbuf->params.type != FZ_IMAGE_JPEG ||
        cbuf->params.u.jpeg.color_transform != -1)
        return nullptr;
    fz_colorspace* cs = image->colorspace;
    if (!cs)
        return nullptr;
    const enum fz_colorspace_type type = fz_colorspace_type(ctx, cs);
    if (!(type == FZ_COLORSPACE_GRAY && image->n == 1) &&
        !(type == FZ_COLORSPACE_RGB && image->n == 3))
        return nullptr;
    unsigned char* data = nullptr;
    const std::size_t len = fz_buffer_storage(ctx, cbuf->buffer, &data);
    JpegHeader h;
    if (!data || !ReadJpegHeader(data, len, h))
        return nullptr;
    // A JPEG viewer turns a picture by its Exif orientation; the page does
    // not.
    if (h.width != image->w || h.height != image->h || h.components != image->n ||
        h.precision != 8 || h.orientation != 1)
        return nullptr;
    return cbuf->buffer;
}

// Writes samples as a JPEG the way `turn` lays them on the page.
bool WriteTurnedJpeg(const std::string& path, const unsigned char* samples, int w, int h, int n,
                     std::ptrdiff_t stride, const ImageTurn& turn)
{
    if (turn.Identity())
        return WriteJpeg(path, samples, w, h, n, stride, 90, 0);
    const int ow = turn.transpose ? h : w;
    const int oh = turn.transpose ? w : h;
    std::vector<unsigned char> out(static_cast<std::size_t>(ow) * static_cast<std::size_t>(oh) *
                                   static_cast<std::size_t>(n));
    unsigned char* o = out.data();
    for (int oy = 0; oy < oh; ++oy) {
        for (int ox = 0; ox < ow; ++ox) {
            int u = turn.transpose ? oy : ox;
            int v = turn.transpose ? ox : oy;
            if (turn.flipU)
                u = w - 1 - u;
            if (turn.flipV)
                v = h - 1 - v;
            const unsigned char* px = samples + stride * v + static_cast<std::ptrdiff_t>(u) * n;
            for (int k = 0; k < n; ++k)
                *o++ = px[k];
        }
    }
    return WriteJpeg(path, out.data(), ow, oh, n, static_cast<std::ptrdiff_t>(ow) * n, 90, 0);
}

} // namespace

bool ImageTurnOf(fz_matrix ctm, ImageTurn& turn)
{
    // The unit square's u axis runs along (a, b), its v axis (top row
    // first) along (c, d); device y grows downward, as picture rows do.
    const float big = std::max(std::max(std::fabs(ctm.a), std::fabs(ctm.b)),
                               std::max(std::fabs(ctm.c), std::fabs(ctm.d)));
    const float tiny = big * 1e-4f;
    turn = ImageTurn{};
    if (std::fabs(ctm.b) <= tiny && std::fabs(ctm.c) <= tiny && std::fabs(ctm.a) > tiny &&
        std::fabs(ctm.d) > tiny) {
        turn.flipU = ctm.a < 0;
        turn.flipV = ctm.d < 0;
        return true;
    }
    if (std::fabs(ctm.a) <= tiny && std::fabs(ctm.d) <= tiny && std::fabs(ctm.b) > tiny &&
        std::fabs(ctm.c) > tiny) {
        // u runs down the page, v across it.
        turn.transpose = true;
        turn.flipU = ctm.b < 0;
        turn.flipV = ctm.c < 0;
        return true;
    }
    return false;
}

bool ImageSource::Write()
{
    written = true;
    ok = WriteFiles();
    if (!ok) {
        // A picture file without its mask, or a mask without its picture,
        // shows something the page does not: neither stays.
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(imagePath), ec);
        if (!maskPath.empty())
            std::filesystem::remove(std::filesystem::path(maskPath), ec);
    }
    return ok;
}

bool ImageSource::WriteFiles()
{
    // The caller may have emptied and removed the folder since the page was
    // read; make it again.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(imagePath).parent_path(), ec);
    if (!stencil && turn.Identity()) {
        if (fz_buffer* jpeg = StoredJpeg(ctx, image)) {
            unsigned char* data = nullptr;
            const std::size_t len = fz_buffer_storage(ctx, jpeg, &data);
            if (WriteFileBytes(imagePath, data, len))
                return true;
        }
    }
    fz_pixmap* pix = SafeDecodeImage(ctx, image);
    if (!pix)
        return false;
    CountPictureBytes(ctx, static_cast<std::size_t>(fz_pixmap_stride(ctx, pix)) *
                                 static_cast<std::size_t>(fz_pixmap_height(ctx, pix)));
    bool done = false;
    try {
        const int w = fz_pixmap_width(ctx, pix);
        const int h = fz_pixmap_height(ctx, pix);
        const int n = fz_pixmap_components(ctx, pix);
        const int c = fz_pixmap_colorants(ctx, pix);
        const int alpha = fz_pixmap_alpha(ctx, pix);
        const std::ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
        const unsigned char* s = fz_pixmap_samples(ctx, pix);

        if (c == 0 || stencil) {
            // A stencil: its colour on white where it paints.
            std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
            std::vector<unsigned char> mask(static_cast<std::size_t>(w) * h);
            for (int y = 0; y < h; ++y) {
                const unsigned char* row = s + stride * y;
                for (int x = 0; x < w; ++x) {
                    const int a = alpha ? row[x * n + n - 1] : row[x * n];
                    mask[static_cast<std::size_t>(y) * w + x] = static_cast<unsigned char>(a);
                    for (int k = 0; k < 3; ++k) {
                        const double v = 255.0 * (1.0 - a / 255.0) + color[k] * a;
                        rgb[(static_cast<std::size_t>(y) * w + x) * 3 + k] =
                            static_cast<unsigned char>(std::clamp(v + 0.5, 0.0, 255.0));
                    }
                }
            }
            done = WriteTurnedJpeg(imagePath, rgb.data(), w, h, 3,
                                   static_cast<std::ptrdiff_t>(w) * 3, turn) &&
                   (maskPath.empty() || WriteTurnedJpeg(maskPath, mask.data(), w, h, 1, w, turn));
        } else if (alpha) {
            // Own transparency: the picture over white, its alpha as the mask.
            std::vector<unsigned char> col(static_cast<std::size_t>(w) * h * c);
            std::vector<unsigned char> mask(static_cast<std::size_t>(w) * h);
            for (int y = 0; y < h; ++y) {
                const unsigned char* row = s + stride * y;
                for (int x = 0; x < w; ++x) {
                    const int a = row[x * n + n - 1];
                    mask[static_cast<std::size_t>(y) * w + x] = static_cast<unsigned char>(a);
                    for (int k = 0; k < c; ++k) {
                        const int v = row[x * n + k] + (255 - a); // premultiplied
                        col[(static_cast<std::size_t>(y) * w + x) * c + k] =
                            static_cast<unsigned char>(std::min(v, 255));
                    }
                }
            }
            done = WriteTurnedJpeg(imagePath, col.data(), w, h, c,
                                   static_cast<std::ptrdiff_t>(w) * c, turn) &&
                   (maskPath.empty() || image->mask ||
                    WriteTurnedJpeg(maskPath, mask.data(), w, h, 1, w, turn));
        } else if (c == 1 || c == 3) {
            done = WriteTurnedJpeg(imagePath, s, w, h, c, stride, turn);
        }
    } catch (...) {
        fz_drop_pixmap(ctx, pix);
        throw;
    }
    fz_drop_pixmap(ctx, pix);
    if (!done)
        return false;

    if (!maskPath.empty() && image->mask) {
        fz_pixmap* m = SafeDecodeImage(ctx, image->mask);
        if (!m)
            return false;
        try {
            int mw = 0, mh = 0;
            std::vector<unsigned char> gray = MaskSamples(ctx, m, mw, mh);
            done = WriteTurnedJpeg(maskPath, gray.data(), mw, mh, 1, mw, turn);
        } catch (...) {
            fz_drop_pixmap(ctx, m);
            throw;
        }
        fz_drop_pixmap(ctx, m);
    }
    return done;
}

} // namespace parser_detail
