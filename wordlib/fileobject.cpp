#include "wordlib/fileobject.h"

#include "engine/layout/fileutil.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scrivlet {

FileObjectPosix::~FileObjectPosix()
{
    close();
}

bool FileObjectPosix::open(const std::string& path, unsigned flags)
{
    close();
    int mode = 0;
    const bool rd = flags & kFileRead;
    const bool wr = flags & kFileWrite;
    if (rd && wr)
        mode = O_RDWR;
    else if (wr)
        mode = O_WRONLY;
    else
        mode = O_RDONLY;
    if (flags & kFileCreate)
        mode |= (flags & kFileOpenAlways) ? O_CREAT : (O_CREAT | O_TRUNC);
    // Folders and other special files are not documents.
    const int fd = ::open(path.c_str(), mode | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void FileObjectPosix::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}

std::uint64_t FileObjectPosix::seek(std::int64_t offset, int origin)
{
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    const off_t at = lseek(fd_, static_cast<off_t>(offset), whence);
    return at < 0 ? UINT64_MAX : static_cast<std::uint64_t>(at);
}

bool FileObjectPosix::read(void* buffer, std::size_t count)
{
    auto* p = static_cast<unsigned char*>(buffer);
    while (count) {
        const ssize_t n = ::read(fd_, p, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FileObjectPosix::write(const void* buffer, std::size_t count)
{
    return count == 0 || WriteAll(fd_, buffer, count);
}

bool FileObjectPosix::setSize(std::uint64_t size)
{
    if (size > static_cast<std::uint64_t>(INT64_MAX) || seek(static_cast<std::int64_t>(size), 0) != size)
        return false;
    return ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

std::uint64_t FileObjectPosix::size()
{
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

} // namespace scrivlet
