#include "wordlib/hyperlink.h"

namespace scrivlet {

const ClassId kUrlMonikerId = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                               0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
const ClassId kFileMonikerId = {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const ClassId kItemMonikerId = {0x04, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const ClassId kAntiMonikerId = {0x05, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const ClassId kCompositeMonikerId = {0x09, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

namespace {

// 8-bit characters up to a 0 or the end of `in`; UTF-16 units likewise.
void ReadAnsi(ByteReader& in, std::string& out)
{
    out.clear();
    std::uint8_t c = 0;
    while (in.u8(c) && c != 0)
        out.push_back(static_cast<char>(c));
}

void ReadWide(ByteReader& in, std::u16string& out)
{
    out.clear();
    std::uint16_t c = 0;
    while (in.u16(c) && c != 0)
        out.push_back(static_cast<char16_t>(c));
}

bool PutWide(const std::u16string& s, StreamOut& out)
{
    for (char16_t c : s) {
        if (!out.u16(static_cast<std::uint16_t>(c)))
            return false;
    }
    return true;
}

bool PutAnsiTerminated(const std::string& s, StreamOut& out)
{
    return out.put(s.data(), s.size()) && out.u8(0);
}

// A length field followed by that many bytes: an ANSI string with its 0 and,
// when bytes remain, a wide one with its 0.
bool ReadItemPart(ByteReader& in, std::string& ansi, bool& hasWide, std::u16string& wide)
{
    std::uint32_t length = 0;
    ByteReader body;
    if (!in.u32(length) || !in.take(length, body))
        return false;
    ReadAnsi(body, ansi);
    hasWide = !body.atEnd();
    wide.clear();
    if (hasWide)
        ReadWide(body, wide);
    return true;
}

bool WriteItemPart(const std::string& ansi, bool hasWide, const std::u16string& wide, StreamOut& out)
{
    std::uint64_t length = ansi.size() + 1;
    if (hasWide)
        length += 2 * std::uint64_t{wide.size()} + 2;
    if (length > 0xFFFFFFFF || !out.u32(static_cast<std::uint32_t>(length)) || !PutAnsiTerminated(ansi, out))
        return false;
    return !hasWide || (PutWide(wide, out) && out.u16(0));
}

std::unique_ptr<MonikerBase> MakeMoniker(const ClassId& id, int depth)
{
    if (id == kUrlMonikerId)
        return std::make_unique<URLMoniker>();
    if (id == kFileMonikerId)
        return std::make_unique<FileMoniker>();
    if (id == kItemMonikerId)
        return std::make_unique<ItemMoniker>();
    if (id == kAntiMonikerId)
        return std::make_unique<AntiMoniker>();
    if (id == kCompositeMonikerId) {
        auto composite = std::make_unique<CompositeMoniker>();
        composite->depth = depth + 1;
        return composite;
    }
    return nullptr;
}

bool ReadMonikerAtDepth(HyperlinkMoniker& out, ByteReader& in, int depth)
{
    out.moniker.reset();
    if (!in.bytes(out.clsid.data(), out.clsid.size()))
        return false;
    if (out.clsid == kCompositeMonikerId && depth >= CompositeMoniker::kMaxDepth)
        return false;
    out.moniker = MakeMoniker(out.clsid, depth);
    return !out.moniker || out.moniker->read(in);
}

} // namespace

bool readHyperlinkString(ByteReader& in, std::u16string& out)
{
    std::uint32_t count = 0;
    if (!in.u32(count) || in.left() / 2 < count)
        return false;
    ByteReader chars;
    in.take(2 * std::size_t{count}, chars);
    ReadWide(chars, out);
    return true;
}

bool writeHyperlinkString(const std::u16string& s, StreamOut& out)
{
    return s.size() < 0xFFFFFFFF && out.u32(static_cast<std::uint32_t>(s.size() + 1)) && PutWide(s, out) &&
           out.u16(0);
}

bool readHyperlinkMoniker(HyperlinkMoniker& out, ByteReader& in)
{
    return ReadMonikerAtDepth(out, in, 0);
}

bool writeHyperlinkMoniker(const HyperlinkMoniker& moniker, StreamOut& out)
{
    return out.put(moniker.clsid.data(), moniker.clsid.size()) && (!moniker.moniker || moniker.moniker->write(out));
}

bool URLMoniker::read(ByteReader& in)
{
    ByteReader body;
    if (!in.u32(length) || !in.take(length, body))
        return false;
    ReadWide(body, url);
    trailing.fill(0);
    body.bytes(trailing.data(), std::min(trailing.size(), body.left()));
    trailingFields = 0;
    return true;
}

bool URLMoniker::write(StreamOut& out) const
{
    static const std::size_t kTrailingBytes[4] = {0, 16, 20, 24};
    if (trailingFields > 3)
        return false;
    const std::uint64_t at = out.offset();
    if (!out.u32(0) || !PutWide(url, out) || !out.u16(0) ||
        !out.put(trailing.data(), kTrailingBytes[trailingFields]))
        return false;
    const std::uint64_t written = out.offset() - at - 4;
    return written <= 0xFFFFFFFF && out.patch32(at, static_cast<std::uint32_t>(written));
}

bool FileMoniker::read(ByteReader& in)
{
    std::uint32_t ansiLength = 0;
    ByteReader ansi;
    if (!in.u16(cAnti) || !in.u32(ansiLength) || !in.take(ansiLength, ansi))
        return false;
    ReadAnsi(ansi, ansiPath);
    std::uint32_t cbUnicodePathSize = 0;
    if (!in.bytes(middle.data(), middle.size()) || !in.u32(cbUnicodePathSize))
        return false;
    unicodePath.clear();
    if (cbUnicodePathSize == 0)
        return true;
    ByteReader unicode;
    std::uint32_t cbUnicodePathBytes = 0;
    if (!in.take(cbUnicodePathSize, unicode) || !unicode.u32(cbUnicodePathBytes) || !unicode.u16(usKeyValue))
        return false;
    for (std::uint32_t i = 0; i < cbUnicodePathBytes / 2; ++i) {
        std::uint16_t c = 0;
        if (!unicode.u16(c))
            return false;
        unicodePath.push_back(static_cast<char16_t>(c));
    }
    return true;
}

bool FileMoniker::write(StreamOut& out) const
{
    const std::uint64_t cbBytes = 2 * std::uint64_t{unicodePath.size()};
    const std::uint64_t cbSize = unicodePath.empty() ? 0 : cbBytes + 6;
    if (ansiPath.size() >= 0xFFFFFFFF || cbSize > 0xFFFFFFFF)
        return false;
    if (!out.u16(cAnti) || !out.u32(static_cast<std::uint32_t>(ansiPath.size() + 1)) ||
        !PutAnsiTerminated(ansiPath, out) || !out.put(middle.data(), middle.size()) ||
        !out.u32(static_cast<std::uint32_t>(cbSize)))
        return false;
    return cbSize == 0 ||
           (out.u32(static_cast<std::uint32_t>(cbBytes)) && out.u16(usKeyValue) && PutWide(unicodePath, out));
}

bool ItemMoniker::read(ByteReader& in)
{
    return ReadItemPart(in, delimiter, hasWideDelimiter, wideDelimiter) &&
           ReadItemPart(in, item, hasWideItem, wideItem);
}

bool ItemMoniker::write(StreamOut& out) const
{
    return WriteItemPart(delimiter, hasWideDelimiter, wideDelimiter, out) &&
           WriteItemPart(item, hasWideItem, wideItem, out);
}

bool AntiMoniker::read(ByteReader& in)
{
    return in.u32(count);
}

bool AntiMoniker::write(StreamOut& out) const
{
    return out.u32(count);
}

bool CompositeMoniker::read(ByteReader& in)
{
    parts.clear();
    std::uint32_t count = 0;
    if (!in.u32(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        HyperlinkMoniker part;
        // Every part takes at least its class id: a count beyond the bytes
        // left fails here, before anything large is built.
        if (in.left() < part.clsid.size() || !ReadMonikerAtDepth(part, in, depth))
            return false;
        parts.push_back(std::move(part));
    }
    return true;
}

bool CompositeMoniker::write(StreamOut& out) const
{
    if (parts.size() > 0xFFFFFFFF || !out.u32(static_cast<std::uint32_t>(parts.size())))
        return false;
    for (const HyperlinkMoniker& part : parts) {
        if (!writeHyperlinkMoniker(part, out))
            return false;
    }
    return true;
}

bool readHyperlinkObject(ByteReader& in, HyperlinkObject& out)
{
    out = HyperlinkObject{};
    if (!in.u32(out.streamVersion) || !in.u32(out.flags))
        return false;
    if ((out.flags & kHlHasDisplayName) && !readHyperlinkString(in, out.displayName))
        return false;
    if ((out.flags & kHlHasFrameName) && !readHyperlinkString(in, out.targetFrameName))
        return false;
    if (out.flags & kHlHasMoniker) {
        const bool ok = (out.flags & kHlMonikerSavedAsString) ? readHyperlinkString(in, out.monikerString)
                                                              : readHyperlinkMoniker(out.moniker, in);
        if (!ok)
            return false;
    }
    if ((out.flags & kHlHasLocation) && !readHyperlinkString(in, out.location))
        return false;
    if ((out.flags & kHlHasGuid) && !in.bytes(out.guid.data(), out.guid.size()))
        return false;
    return !(out.flags & kHlHasCreationTime) || in.bytes(out.creationTime.data(), out.creationTime.size());
}

bool writeHyperlinkObject(const HyperlinkObject& object, StreamOut& out)
{
    if (!out.u32(object.streamVersion) || !out.u32(object.flags))
        return false;
    if ((object.flags & kHlHasDisplayName) && !writeHyperlinkString(object.displayName, out))
        return false;
    if ((object.flags & kHlHasFrameName) && !writeHyperlinkString(object.targetFrameName, out))
        return false;
    if (object.flags & kHlHasMoniker) {
        const bool ok = (object.flags & kHlMonikerSavedAsString) ? writeHyperlinkString(object.monikerString, out)
                                                                 : writeHyperlinkMoniker(object.moniker, out);
        if (!ok)
            return false;
    }
    if ((object.flags & kHlHasLocation) && !writeHyperlinkString(object.location, out))
        return false;
    if ((object.flags & kHlHasGuid) && !out.put(object.guid.data(), object.guid.size()))
        return false;
    return !(object.flags & kHlHasCreationTime) || out.put(object.creationTime.data(), object.creationTime.size());
}

} // namespace scrivlet
