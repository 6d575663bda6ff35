// The OfficeArt record reader on arbitrary bytes. The first byte picks what
// is read: a document's drawing data, a shape, a picture store, a picture
// entry of a "Data" stream, or a stream scanned for pictures. Whatever
// reads is written and read again until the written form settles on
// bytes that reproduce themselves.
#include "wordlib/docdata.h"
#include "wordlib/officeartcontainers.h"

#include <cstdlib>

using namespace scrivlet;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads `in` and writes what was read; false when either fails.
template <class Read, class Write>
bool ReadWrite(ByteReader in, Read& read, Write& write, Bytes& out)
{
    VectorSink sink(out);
    StreamOut o(sink, 0);
    return read(in) && write(o);
}

// A record read from a file can change when written: an empty record is
// written with recLen 0 and reads back absent, which can empty its parent
// in turn, one level of nesting per pass. Reading and writing again must
// settle on bytes that reproduce themselves.
template <class Read, class Write>
void RoundTrip(ByteReader in, Read read, Write write)
{
    Bytes last;
    if (!ReadWrite(in, read, write, last))
        return;
    for (int pass = 0; pass < 64; ++pass) {
        Bytes next;
        if (!ReadWrite(ByteReader(last), read, write, next))
            return;
        if (next == last)
            return;
        if (next.size() >= last.size())
            std::abort();   // rewriting may only drop emptied records
        last = std::move(next);
    }
    std::abort();
}

template <class Record>
void CheckRecord(ByteReader in)
{
    Record r;
    RoundTrip(
        in,
        [&r](ByteReader bytes) {
            r.reset();
            return r.read(bytes);
        },
        [&r](StreamOut& out) { return r.write(out); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t pick = data[0];
    const Bytes rest(data + 1, data + size);
    const ByteReader in(rest);
    switch (pick % 6) {
    case 0: {
        OfficeArtContent content;
        RoundTrip(
            in, [&content](ByteReader bytes) { return readOfficeArtContent(bytes, content); },
            [&content](StreamOut& out) { return writeOfficeArtContent(content, out); });
        break;
    }
    case 1:
        CheckRecord<OfficeArtSpContainer>(in);
        break;
    case 2:
        CheckRecord<OfficeArtBStoreContainer>(in);
        break;
    case 3:
        CheckRecord<OfficeArtDgContainer>(in);
        break;
    case 4: {
        PictureEntry entry;
        if (readPictureEntry(rest, 0, entry)) {
            Bytes out;
            VectorSink sink(out);
            StreamOut o(sink, 0);
            writePICFAndOfficeArtData(entry, o);
        }
        break;
    }
    case 5: {
        std::vector<std::unique_ptr<Bytes>> buffers;
        std::vector<BStoreEntry> found;
        auto read = [&rest](std::uint8_t* buffer, std::uint64_t at, std::size_t length) {
            if (at > rest.size() || length > rest.size() - at)
                return false;
            std::copy(rest.begin() + static_cast<std::ptrdiff_t>(at),
                      rest.begin() + static_cast<std::ptrdiff_t>(at + length), buffer);
            return true;
        };
        scanPictureRecords(0, rest.size(), nullptr, buffers, found, read, pick & 0x80);
        for (const BStoreEntry& e : found) {
            const std::uint8_t* bytes = nullptr;
            std::size_t n = 0;
            if (e.picture() && e.picture()->pictureBytes(bytes, n) && n)
                (void)bytes[n - 1];
        }
        break;
    }
    }
    return 0;
}
