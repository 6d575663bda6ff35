// Writer of the compound files that hold Word documents: one root storage
// holding streams, version 3 (512-byte sectors). Streams are created under
// the root, selected and written at any position; `finish` writes the whole
// file through the file object. The file layout itself (FAT, DIFAT,
// directory tree) is the engine's one compound-file writer; this class adds
// what Word documents need of it: streams written piecewise at offsets the
// document writer tracks, every stream recorded at least 4096 bytes long
// (the mini stream cutoff, so that no stream goes into the mini stream; the
// bytes past what was written are zeros), and the root's class id naming a
// Word document.
#pragma once

#include "wordlib/bytes.h"
#include "wordlib/fileobject.h"

#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

class CFBWriter {
public:
    CFBWriter();
    virtual ~CFBWriter() = default;
    CFBWriter(const CFBWriter&) = delete;
    CFBWriter& operator=(const CFBWriter&) = delete;

    // The output file, borrowed; set before `save` or `finish`.
    void setFile(FileObject* file) { file_ = file; }
    FileObject* file() const { return file_; }

    // Forgets every stream and leaves the root entry alone.
    bool initialize();
    // Adds an empty stream named `name` (1 to 31 UTF-16 units) under the
    // root (`parent` 0) and gives its index. False for another parent, a bad
    // name, or a name that equals a sibling's ignoring ASCII case.
    bool createStream(const std::u16string& name, int parent, int& index);
    // Makes stream `index` the current one, at position 0.
    bool selectStream(int index);
    int selectedStream() const { return current_; }
    void setPosition(std::uint64_t position) { position_ = position; }
    std::uint64_t position() const { return position_; }
    // Writes at the current position of the selected stream and moves past
    // the bytes. Streams stay below 4 GiB.
    bool writeStream(const void* bytes, std::size_t count);
    // Writes `count` bytes at `offset` of stream `index`.
    bool writeAt(int index, std::uint64_t offset, const void* bytes, std::size_t count);

    // Writes the file as it stands through the file object; the document
    // writer overrides it with the whole document write.
    virtual bool commit();
    // Writes the complete file (tables, header, streams) through the file
    // object and ends the file there.
    virtual bool finish();
    // Opens `path` (UTF-8) for writing, truncating it, initializes, runs
    // `commit` and closes the file; `commit`'s result.
    bool save(const std::string& path);

    // The whole file as `finish` writes it; empty when it cannot be built.
    std::string serialize() const;

    // The recorded size of stream `index` (0 for a bad index).
    std::uint64_t streamSize(int index) const;

    // A sink that writes into one stream at the offsets it is given.
    class StreamSink : public ByteSink {
    public:
        StreamSink(CFBWriter& writer, int index) : writer_(writer), index_(index) {}
        bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
        {
            return writer_.writeAt(index_, offset, data, size);
        }

    private:
        CFBWriter& writer_;
        int index_;
    };

private:
    struct Stream {
        std::u16string name;
        std::vector<std::uint8_t> data;   // recorded size: data.size()
    };

    FileObject* file_ = nullptr;
    std::vector<Stream> streams_;   // index 0 stands for the root
    int current_ = -1;
    std::uint64_t position_ = 0;
};

} // namespace scrivlet
