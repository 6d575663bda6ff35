// The OfficeArt record reader on arbitrary bytes. The first byte picks what
// is read: a document's drawing data, a shape, a picture store, a picture
// entry of a "Data" stream, or a stream scanned for pictures. Whatever
// reads is written; when the written bytes read again, writing them once
// more must give the same bytes.
#include "wordlib/docdata.h"
#include "wordlib/officeartcontainers.h"

#include <cstdlib>

using namespace scrivlet;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class Read, class Write>
void RoundTrip(ByteReader in, Read read, Write write)
{
    Bytes once;
    {
        VectorSink sink(once);
        StreamOut out(sink, 0);
        if (!read(in) || !write(out))
            return;
    }
    Bytes twice;
    VectorSink sink(twice);
    StreamOut out(sink, 0);
    if (!read(ByteReader(once)))
        return;
    if (!write(out) || twice != once)
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
