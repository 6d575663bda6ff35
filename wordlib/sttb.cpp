#include "wordlib/sttb.h"

namespace scrivlet {

namespace {

bool ReadEntries(ByteReader& in, bool extended, Sttb& out)
{
    for (std::uint32_t i = 0; i < out.cData; ++i) {
        SttbEntry e;
        if (extended) {
            std::uint16_t cch = 0;
            if (!in.u16(cch) || in.left() / 2 < cch)
                return false;
            for (std::uint16_t k = 0; k < cch; ++k) {
                std::uint16_t c = 0;
                in.u16(c);
                e.text.push_back(static_cast<char16_t>(c));
            }
        } else {
            std::uint8_t cch = 0;
            if (!in.u8(cch) || in.left() < cch)
                return false;
            e.bytes.assign(reinterpret_cast<const char*>(in.pos()), cch);
            in.skip(cch);
        }
        if (!in.append(e.extra, out.cbExtra))
            return false;
        out.entries.push_back(std::move(e));
    }
    return true;
}

bool WriteTable(const Sttb& sttb, bool extended, StreamOut& out)
{
    if (sttb.cData != sttb.entries.size() || (!sttb.cData32 && sttb.cData > 0xFFFF))
        return false;
    if (extended && !out.u16(sttb.fExtend))
        return false;
    if (!(sttb.cData32 ? out.u32(sttb.cData) : out.u16(static_cast<std::uint16_t>(sttb.cData))) ||
        !out.u16(sttb.cbExtra))
        return false;
    for (const SttbEntry& e : sttb.entries) {
        if (extended) {
            if (e.text.size() > 0xFFFF || !out.u16(static_cast<std::uint16_t>(e.text.size())))
                return false;
            for (char16_t c : e.text) {
                if (!out.u16(static_cast<std::uint16_t>(c)))
                    return false;
            }
        } else if (e.bytes.size() > 0xFF || !out.u8(static_cast<std::uint8_t>(e.bytes.size())) ||
                   !out.put(e.bytes.data(), e.bytes.size())) {
            return false;
        }
        if (sttb.cbExtra != 0 && (e.extra.size() != sttb.cbExtra || !out.put(e.extra)))
            return false;
    }
    return true;
}

// UTF-16 units up to and including a 0 unit, which must come before the end.
bool ReadTerminated(ByteReader& in, std::u16string& out)
{
    out.clear();
    for (;;) {
        std::uint16_t c = 0;
        if (!in.u16(c))
            return false;
        if (c == 0)
            return true;
        out.push_back(static_cast<char16_t>(c));
    }
}

void PutTerminated(std::vector<std::uint8_t>& out, std::size_t at, const std::u16string& s)
{
    for (char16_t c : s) {
        Store16(out.data() + at, static_cast<std::uint16_t>(c));
        at += 2;
    }
}

} // namespace

bool readSttb(ByteReader in, Sttb& out)
{
    out = Sttb{};
    out.fExtend = 0;
    std::uint16_t cData = 0;
    if (!in.u16(cData) || !in.u16(out.cbExtra))
        return false;
    out.cData = cData;
    return ReadEntries(in, false, out);
}

bool writeSttb(const Sttb& sttb, StreamOut& out)
{
    return WriteTable(sttb, false, out);
}

bool readSttbW(ByteReader in, Sttb& out)
{
    out = Sttb{};
    std::uint16_t cData = 0;
    if (!in.u16(out.fExtend) || out.fExtend != 0xFFFF || !in.u16(cData) || !in.u16(out.cbExtra))
        return false;
    out.cData = cData;
    return ReadEntries(in, true, out);
}

bool writeSttbW(const Sttb& sttb, StreamOut& out)
{
    return WriteTable(sttb, true, out);
}

bool readFfn(ByteReader in, Ffn& out)
{
    out = Ffn{};
    return in.bytes(out.head.data(), out.head.size()) && ReadTerminated(in, out.name) &&
           (out.ixchSzAlt() == 0 || ReadTerminated(in, out.altName));
}

std::vector<std::uint8_t> writeFfn(const Ffn& ffn)
{
    const bool alt = ffn.ixchSzAlt() != 0;
    std::vector<std::uint8_t> out(ffn.head.size() + 2 * (ffn.name.size() + 1) +
                                      (alt ? 2 * (ffn.altName.size() + 1) : 0),
                                  0);
    std::copy(ffn.head.begin(), ffn.head.end(), out.begin());
    PutTerminated(out, ffn.head.size(), ffn.name);
    if (alt)
        PutTerminated(out, ffn.head.size() + 2 * (ffn.name.size() + 1), ffn.altName);
    return out;
}

} // namespace scrivlet
