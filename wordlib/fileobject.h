// The file abstraction through which the Word library reads and writes
// compound files: eight operations with plain results, so that the format
// code never meets the platform's error model, and a file can as well be a
// buffer in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace scrivlet {

// Flag bits of FileObject::open.
enum FileOpenFlags : unsigned {
    kFileCreate = 1,      // without kFileOpenAlways: create, truncating an existing file
    kFileRead = 2,
    kFileWrite = 4,
    kFileOpenAlways = 8,  // with kFileCreate: open an existing file, else create it
};
// Without kFileCreate the file must exist.
constexpr unsigned kFileWriteNew = kFileCreate | kFileWrite;   // the output document
constexpr unsigned kFileReadExisting = kFileRead;              // every file read

class FileObject {
public:
    virtual ~FileObject() = default;

    // Opens `path` (UTF-8) as the flags say; false when the system refuses.
    // A file that was open is closed first.
    virtual bool open(const std::string& path, unsigned flags) = 0;
    virtual void close() = 0;
    // Moves to `offset` from the start (origin 0), the current position (1)
    // or the end (2); any other origin counts as 0. Returns the new position,
    // or UINT64_MAX when the move failed.
    virtual std::uint64_t seek(std::int64_t offset, int origin) = 0;
    // True when `count` is 0 or every byte was transferred.
    virtual bool read(void* buffer, std::size_t count) = 0;
    virtual bool write(const void* buffer, std::size_t count) = 0;
    // Ends the file at `size` (and leaves the position there).
    virtual bool setSize(std::uint64_t size) = 0;
    virtual std::uint64_t size() = 0;
    virtual bool isOpen() const = 0;
};

// A file of the file system, through POSIX descriptors.
class FileObjectPosix : public FileObject {
public:
    FileObjectPosix() = default;
    ~FileObjectPosix() override;
    FileObjectPosix(const FileObjectPosix&) = delete;
    FileObjectPosix& operator=(const FileObjectPosix&) = delete;

    bool open(const std::string& path, unsigned flags) override;
    void close() override;
    std::uint64_t seek(std::int64_t offset, int origin) override;
    bool read(void* buffer, std::size_t count) override;
    bool write(const void* buffer, std::size_t count) override;
    bool setSize(std::uint64_t size) override;
    std::uint64_t size() override;
    bool isOpen() const override { return fd_ >= 0; }

    // The path of the open file; empty when closed.
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

} // namespace scrivlet
