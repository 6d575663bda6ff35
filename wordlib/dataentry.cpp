#include "wordlib/dataentry.h"

namespace scrivlet {

namespace {

constexpr std::size_t kHeaderSize = 68;

} // namespace

bool readHyperlinkData(ByteReader& in, std::uint8_t fieldType, HyperlinkDataEntry& out)
{
    out = HyperlinkDataEntry{};
    ByteReader probe = in;
    std::uint32_t lcb = 0;
    ByteReader entry;
    if (!probe.u32(lcb) || lcb < kHeaderSize || !in.take(lcb, entry))
        return false;
    entry.bytes(out.header.data(), out.header.size());
    if (fieldType != kFieldHyperlink)
        return true;
    return entry.u8(out.hfdBits) && entry.bytes(out.hfdClassId.data(), out.hfdClassId.size()) &&
           readHyperlinkObject(entry, out.object);
}

bool writeHyperlinkData(const HyperlinkDataEntry& entry, StreamOut& out)
{
    const std::uint64_t start = out.offset();
    std::array<std::uint8_t, kHeaderSize> header = entry.header;
    Store16(header.data() + 4, kHeaderSize);
    if (!out.u32(0) || !out.put(header.data() + 4, header.size() - 4) || !out.u8(entry.hfdBits) ||
        !out.put(entry.hfdClassId.data(), entry.hfdClassId.size()) || !writeHyperlinkObject(entry.object, out))
        return false;
    const std::uint64_t lcb = out.offset() - start;
    return lcb <= 0xFFFFFFFF && out.patch32(start, static_cast<std::uint32_t>(lcb));
}

} // namespace scrivlet
