// Reader of compound files (version 3 and 4). `load` reads the header, the
// allocation tables and the directory; `readStream` then copies stream bytes
// out of the file. The file is untrusted: every table and chain is checked
// once, in `load`, against what the file can hold (sector numbers inside the
// file, chains without loops, sizes capped by the file size), so a damaged
// file fails in time and memory bounded by its size.
#pragma once

#include "wordlib/fileobject.h"

#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

struct CfbDirEntry {
    std::u16string name;
    std::uint8_t type = 0;      // 0 empty, 1 storage, 2 stream, 5 root
    std::uint8_t color = 0;
    std::uint32_t left = 0xFFFFFFFF;
    std::uint32_t right = 0xFFFFFFFF;
    std::uint32_t child = 0xFFFFFFFF;
    std::uint32_t start = 0;
    std::uint64_t size = 0;     // capped by the file size
};

class CFBParser {
public:
    CFBParser() = default;
    virtual ~CFBParser() = default;
    CFBParser(const CFBParser&) = delete;
    CFBParser& operator=(const CFBParser&) = delete;

    // The file read by `open` and `load`; borrowed.
    void setFile(FileObject* file) { file_ = file; }

    // Clears, opens `path` (UTF-8) read-only, loads and closes the file
    // again: derived readers read their streams inside `load`.
    bool open(const std::string& path);
    // Forgets the header and every table.
    virtual void clear();
    // Reads the header, the tables and the directory from the open file.
    // False for a wrong signature, a sector size other than 512 or 4096
    // bytes, a sector outside the file, a chain with a loop, or a bad
    // directory entry.
    virtual bool load();

    // The entry among the root storage's children whose name equals `name`
    // exactly, or -1; `size` receives its stream size.
    int findEntry(const std::u16string& name, std::uint64_t* size = nullptr) const;
    // Copies bytes [offset, offset + count) of stream `index`, cut to the
    // stream's size, to `buffer`; `got` receives the number copied. False
    // for an index that is not a stream or a chain that breaks before the
    // bytes are covered.
    bool readStream(int index, void* buffer, std::uint64_t offset, std::uint64_t count,
                    std::uint64_t* got = nullptr);
    // The whole stream.
    bool readStream(int index, std::vector<std::uint8_t>& out);

    const std::vector<CfbDirEntry>& entries() const { return dir_; }
    std::uint32_t sectorSize() const { return sectorSize_; }

protected:
    FileObject* file_ = nullptr;

private:
    bool readSector(std::uint32_t sector, std::uint8_t* out);
    // Follows the FAT from `start` until the end of the chain, appending at
    // most `limit` sectors; false for a sector outside the file, a free or
    // special entry inside the chain, or a loop.
    bool chain(std::uint32_t start, std::uint64_t limit, std::vector<std::uint32_t>& out) const;
    bool loadDifat(std::vector<std::uint32_t>& fatSectors);
    bool loadDirectory();

    std::uint8_t header_[512] = {};
    std::uint32_t sectorSize_ = 512;
    std::uint32_t miniSectorSize_ = 64;
    std::uint64_t fileSize_ = 0;
    std::uint32_t fileSectors_ = 0;     // whole sectors after the header
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<std::uint32_t> miniStream_;   // the root entry's sectors
    std::vector<CfbDirEntry> dir_;
};

} // namespace scrivlet
