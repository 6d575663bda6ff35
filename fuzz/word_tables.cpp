// The Word library's structure readers on arbitrary bytes. The first byte
// picks the structure; whatever reads is written, read and written again,
// and the two writes must agree.
#include "wordlib/dataentry.h"
#include "wordlib/fkp.h"
#include "wordlib/plc.h"
#include "wordlib/stsh.h"
#include "wordlib/sttb.h"

#include <cstdlib>
#include <cstring>
#include <functional>

using namespace scrivlet;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class Model>
void Check(ByteReader in, const std::function<bool(ByteReader&, Model&)>& read,
           const std::function<bool(const Model&, StreamOut&)>& write)
{
    Model first;
    if (!read(in, first))
        return;
    Bytes once;
    VectorSink sink(once);
    StreamOut out(sink, 0);
    if (!write(first, out))
        return;
    Model second;
    ByteReader again(once);
    if (!read(again, second))
        std::abort();
    Bytes twice;
    VectorSink sink2(twice);
    StreamOut out2(sink2, 0);
    if (!write(second, out2) || once != twice)
        std::abort();
}

template <class E>
void CheckPlc(ByteReader in)
{
    Check<Plc<E>>(in, [](ByteReader& r, Plc<E>& m) { return readPlc(r, m); },
                  [](const Plc<E>& m, StreamOut& w) { return writePlc(m, w); });
}

template <class Fkp>
void CheckFkp(ByteReader in, bool (*read)(const std::uint8_t*, Fkp&), bool (*write)(const Fkp&, std::uint8_t*))
{
    std::uint8_t page[kFkpSize] = {};
    in.bytes(page, std::min(in.left(), kFkpSize));
    Fkp first;
    std::uint8_t once[kFkpSize];
    if (!read(page, first) || !write(first, once))
        return;
    Fkp second;
    std::uint8_t twice[kFkpSize];
    if (!read(once, second) || !write(second, twice) || std::memcmp(once, twice, kFkpSize) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const ByteReader in(data + 1, size - 1);
    switch (data[0] % 12) {
    case 0:
        Check<Clx>(in, readClx, writeClx);
        break;
    case 1:
        Check<StyleSheet>(in, [](ByteReader& r, StyleSheet& m) { return readStsh(r, m); }, writeStsh);
        break;
    case 2:
        Check<Sttb>(in, [](ByteReader& r, Sttb& m) { return readSttb(r, m); }, writeSttb);
        break;
    case 3:
        Check<Sttb>(in, [](ByteReader& r, Sttb& m) { return readSttbW(r, m); }, writeSttbW);
        break;
    case 4:
        Check<Ffn>(in, [](ByteReader& r, Ffn& m) { return readFfn(r, m); },
                   [](const Ffn& m, StreamOut& w) { return w.put(writeFfn(m)); });
        break;
    case 5:
        Check<HyperlinkDataEntry>(in,
                                  [](ByteReader& r, HyperlinkDataEntry& m) {
                                      return readHyperlinkData(r, kFieldHyperlink, m);
                                  },
                                  writeHyperlinkData);
        break;
    case 6:
        Check<PropertyList>(in, readSepx, writeSepx);
        break;
    case 7:
        CheckFkp<ChpxFkp>(in, readChpxFkp, writeChpxFkp);
        break;
    case 8:
        CheckFkp<PapxFkp>(in, readPapxFkp, writePapxFkp);
        break;
    case 9:
        CheckPlc<Fspa>(in);
        break;
    case 10:
        CheckPlc<Sed>(in);
        break;
    default:
        CheckPlc<Ftxbxs>(in);
        break;
    }
    return 0;
}
