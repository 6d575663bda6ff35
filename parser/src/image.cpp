// Writing the pictures of page objects as JPEG files.
#include "internal.h"
#include "mupdf_safe.h"

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

} // namespace

void ImageSource::Write()
{
    written = true;
    // The caller may have emptied and removed the folder since the page was
    // read; make it again.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(imagePath).parent_path(), ec);
    fz_pixmap* pix = SafeDecodeImage(ctx, image);
    if (!pix)
        return;
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
            WriteJpeg(imagePath, rgb.data(), w, h, 3, static_cast<std::ptrdiff_t>(w) * 3, 90, 0);
            if (!maskPath.empty())
                WriteJpeg(maskPath, mask.data(), w, h, 1, w, 90, 0);
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
            WriteJpeg(imagePath, col.data(), w, h, c, static_cast<std::ptrdiff_t>(w) * c, 90, 0);
            if (!maskPath.empty() && !image->mask)
                WriteJpeg(maskPath, mask.data(), w, h, 1, w, 90, 0);
        } else if (c == 1 || c == 3) {
            WriteJpeg(imagePath, s, w, h, c, stride, 90, 0);
        }
    } catch (...) {
        fz_drop_pixmap(ctx, pix);
        throw;
    }
    fz_drop_pixmap(ctx, pix);

    if (!maskPath.empty() && image->mask) {
        fz_pixmap* m = SafeDecodeImage(ctx, image->mask);
        if (!m)
            return;
        try {
            int mw = 0, mh = 0;
            std::vector<unsigned char> gray = MaskSamples(ctx, m, mw, mh);
            WriteJpeg(maskPath, gray.data(), mw, mh, 1, mw, 90, 0);
        } catch (...) {
            fz_drop_pixmap(ctx, m);
            throw;
        }
        fz_drop_pixmap(ctx, m);
    }
}

} // namespace parser_detail
