// JPEG files through libjpeg(-turbo), and the one way the parser writes a
// file: complete before it gets its final name (an unnamed file linked in,
// or a temporary name beside the target renamed into place), so that a
// failed write never leaves a partial file under the final name.
#include "internal.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
// has a destructor. Returns 1 on success; the encoded bytes are in *out
// (malloc'ed, also on failure when not null; the caller frees them).
int EncodeToMemory(unsigned char** out, unsigned long* outSize, const unsigned char* samples,
                   int w, int h, int n, std::ptrdiff_t stride, int quality, int dpi)
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
    jpeg_mem_dest(&cinfo, out, outSize);
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

// A temporary name in the folder of `path`: short whatever the file is
// called, so that a name near the file system's limit still has room for
// its temporary, and hidden.
std::string TemporaryNameBeside(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + ".tmp" + std::to_string(::getpid()) + "_p" + std::to_string(g_tempCounter++);
}

bool WriteAllBytes(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `data` into an unnamed file (O_TMPFILE) in the folder of `path`
// and links it in under that name, or under a temporary name renamed over
// a file already there. False, leaving nothing, when the file system has no
// unnamed files, /proc is missing or a step fails: the caller then writes
// the file the ordinary way.
bool WriteUnnamedThenLink(const std::string& path, const unsigned char* data, std::size_t size)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0             ? std::string("/")
                                                        : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAllBytes(fd, data, size);
    if (ok) {
        // An unnamed file is named through its descriptor's link in /proc
        // (linkat with AT_EMPTY_PATH would need a privilege).
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        ok = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (!ok && errno == EEXIST) {
            // Replacing a file: linked in beside it, then renamed over it.
            for (int attempt = 0; !ok && attempt < 100; ++attempt) {
                const std::string temp = TemporaryNameBeside(path);
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                    if (errno == EEXIST)
                        continue;
                    break;
                }
                ok = std::rename(temp.c_str(), path.c_str()) == 0;
                if (!ok) {
                    ::unlink(temp.c_str());
                    break;
                }
            }
        }
    }
    ::close(fd);
    return ok;
}

} // namespace

bool WriteJpeg(const std::string& path, const unsigned char* samples, int w, int h, int n,
               std::ptrdiff_t stride, int quality, int dpi)
{
    if (path.empty() || !samples || w <= 0 || h <= 0 || (n != 1 && n != 3) ||
        w > JPEG_MAX_DIMENSION || h > JPEG_MAX_DIMENSION)
        return false;
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    const int encoded = EncodeToMemory(&bytes, &size, samples, w, h, n, stride, quality, dpi);
    bool ok = false;
    try {
        ok = encoded && bytes && WriteFileBytes(path, bytes, size);
    } catch (...) {
        std::free(bytes);
        throw;
    }
    std::free(bytes);
    return ok;
}

bool WriteFileBytes(const std::string& path, const unsigned char* data, std::size_t size)
{
    if (path.empty() || path.back() == '/' || (!data && size > 0))
        return false;
    // First as an unnamed file in the target's folder, given its name once
    // it is complete. Making a named file holds the folder's lock while the
    // file system finds a free inode, which on a busy ext4 takes long
    // enough that threads writing pictures into one folder queue up behind
    // each other; an unnamed file is made without that lock, and naming it
    // takes the lock only briefly.
    if (WriteUnnamedThenLink(path, data, size))
        return true;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = TemporaryNameBeside(path);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = WriteAllBytes(fd, data, size);
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
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
