// A writer of compound files (the structured storage that password-protected
// Office documents are packed in): storages and streams collected in memory
// and written as one version 3 file (512-byte sectors), with the mini stream
// for streams under 4096 bytes, the FAT and, for large files, the DIFAT.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CompoundFileWriter {
public:
    CompoundFileWriter();
    ~CompoundFileWriter();
    CompoundFileWriter(const CompoundFileWriter&) = delete;
    CompoundFileWriter& operator=(const CompoundFileWriter&) = delete;

    // Adds a stream. `path` names its storages and itself, separated by "/"
    // (storages are made as needed). Names are UTF-16, 1 to 31 characters,
    // without "/", "\", ":" or "!". False for a bad name, or a path that
    // is taken or passes through a stream.
    bool AddStream(const std::u16string& path, std::string data);

    // The whole file.
    std::string Serialize() const;

private:
    struct Entry;
    Entry* child(Entry* storage, const std::u16string& name, bool makeStorage);

    std::unique_ptr<Entry> root;
};
