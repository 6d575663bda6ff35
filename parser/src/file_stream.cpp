#include "file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace parser_detail {
namespace {

struct FileState {
    int fd;
    int64_t size;      // of the file when opened
    int64_t start;     // file offset of buf[0]
    int64_t length;    // bytes in buf
    unsigned char buf[16384];
};

// Hands out the bytes from the stream's position (stm->pos, the offset of
// the end of what was handed out): from the buffer when it holds them,
// else read from there.
int Next(fz_context* ctx, fz_stream* stm, size_t)
{
    auto* s = static_cast<FileState*>(stm->state);
    const int64_t at = stm->pos;
    if (at < s->start || at >= s->start + s->length) {
        ssize_t n;
        do
            n = ::pread(s->fd, s->buf, sizeof s->buf, static_cast<off_t>(at));
        while (n < 0 && errno == EINTR);
        if (n < 0)
            fz_throw(ctx, FZ_ERROR_GENERIC, "read error: %s", std::strerror(errno));
        if (n == 0)
            return EOF;
        s->start = at;
        s->length = n;
    }
    stm->rp = s->buf + (at - s->start);
    stm->wp = s->buf + s->length;
    stm->pos = s->start + s->length;
    return *stm->rp++;
}

void Seek(fz_context* ctx, fz_stream* stm, int64_t offset, int whence)
{
    auto* s = static_cast<FileState*>(stm->state);
    // fz_seek hands SEEK_CUR over as SEEK_SET.
    const int64_t target = whence == SEEK_END ? s->size + offset : offset;
    if (target < 0)
        fz_throw(ctx, FZ_ERROR_GENERIC, "cannot seek: %s", std::strerror(EINVAL));
    if (target >= s->start && target <= s->start + s->length) {
        stm->rp = s->buf + (target - s->start);
        stm->wp = s->buf + s->length;
        stm->pos = s->start + s->length;
    } else {
        stm->rp = stm->wp = s->buf;
        stm->pos = target;
    }
}

void Drop(fz_context* ctx, void* state)
{
    auto* s = static_cast<FileState*>(state);
    ::close(s->fd);
    fz_free(ctx, s);
}

} // namespace

fz_stream* OpenFileStream(fz_context* ctx, const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fz_throw(ctx, FZ_ERROR_GENERIC, "cannot open %s: %s", path, std::strerror(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        fz_throw(ctx, FZ_ERROR_GENERIC, "cannot open %s: %s", path, std::strerror(err));
    }
    FileState* volatile state = nullptr;
    fz_try(ctx) state = static_cast<FileState*>(fz_malloc(ctx, sizeof(FileState)));
    fz_catch(ctx)
    {
        ::close(fd);
        fz_rethrow(ctx);
    }
    state->fd = fd;
    state->size = st.st_size;
    state->start = 0;
    state->length = 0;
    // On failure fz_new_stream drops the state (and so closes the file).
    fz_stream* stm = fz_new_stream(ctx, state, Next, Drop);
    stm->seek = Seek;
    return stm;
}

} // namespace parser_detail
