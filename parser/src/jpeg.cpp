// JPEG files through libjpeg(-turbo). The files are written under a
// temporary name beside the target and renamed into place, so a failed write
// never leaves a partial JPEG under the final name.
#include "internal.h"

#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <jpeglib.h>
}

namespace parser_detail {
namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

extern "C" void OnJpegError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

extern "C" void OnJpegMessage(j_common_ptr, int) {}

// Plain C-style frame: libjpeg's errors arrive by longjmp, so nothing here
// has a destructor. Returns 1 on success.
int EncodeToFile(FILE* file, const unsigned char* samples, int w, int h, int n,
                 std::ptrdiff_t stride, int quality, int dpi)
{
    jpeg_compress_struct cinfo;
    JpegError err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    err.mgr.emit_message = OnJpegMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = n;
    cinfo.in_color_space = n == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (dpi > 0 && dpi < 65536) {
        cinfo.density_unit = 1;
        cinfo.X_density = static_cast<UINT16>(dpi);
        cinfo.Y_density = static_cast<UINT16>(dpi);
    }
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW rows[16];
    while (cinfo.next_scanline < cinfo.image_height) {
        JDIMENSION count = 0;
        for (; count < 16 && cinfo.next_scanline + count < cinfo.image_height; ++count)
            rows[count] = const_cast<JSAMPROW>(samples + stride * (cinfo.next_scanline + count));
        jpeg_write_scanlines(&cinfo, rows, count);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 1;
}

std::atomic<unsigned> g_tempCounter{0};

} // namespace

bool WriteJpeg(const std::string& path, const unsigned char* samples, int w, int h, int n,
               std::ptrdiff_t stride, int quality, int dpi)
{
    if (path.empty() || !samples || w <= 0 || h <= 0 || (n != 1 && n != 3) ||
        w > JPEG_MAX_DIMENSION || h > JPEG_MAX_DIMENSION)
        return false;
    const std::string temp = path + ".part" + std::to_string(::getpid()) + "_" +
                             std::to_string(g_tempCounter.fetch_add(1));
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    int ok = EncodeToFile(file, samples, w, h, n, stride, quality, dpi);
    if (std::fflush(file) != 0 || std::ferror(file))
        ok = 0;
    if (std::fclose(file) != 0)
        ok = 0;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0)
        ok = 0;
    if (!ok)
        std::remove(temp.c_str());
    return ok != 0;
}

bool WriteFileBytes(const std::string& path, const unsigned char* data, std::size_t size)
{
    if (path.empty() || (!data && size > 0))
        return false;
    const std::string temp = path + ".part" + std::to_string(::getpid()) + "_" +
                             std::to_string(g_tempCounter.fetch_add(1));
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fflush(file) != 0 || std::ferror(file))
        ok = false;
    if (std::fclose(file) != 0)
        ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok)
        std::remove(temp.c_str());
    return ok;
}

bool WritePixmapJpeg(fz_context* ctx, fz_pixmap* pix, const std::string& path, int quality, int dpi)
{
    if (!pix)
        return false;
    const int n = fz_pixmap_components(ctx, pix);
    const int alpha = fz_pixmap_alpha(ctx, pix);
    if (alpha || (n != 1 && n != 3))
        return false;
    unsigned char* s = fz_pixmap_samples(ctx, pix);
    const int w = fz_pixmap_width(ctx, pix);
    const int h = fz_pixmap_height(ctx, pix);
    const std::ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
    return WriteJpeg(path, s, w, h, n, stride, quality, dpi);
}

} // namespace parser_detail
