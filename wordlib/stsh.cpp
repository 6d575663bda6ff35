#include "wordlib/stsh.h"

namespace scrivlet {

namespace {

enum class UpxKind { Papx, Chpx, Tapx };

// The UPXs a style of kind `stk` holds for `cupx`, and whether the
// revision-marked ones follow; false for an unknown kind.
bool UpxLayout(unsigned stk, unsigned cupx, std::vector<UpxKind>& kinds, bool& revision)
{
    kinds.clear();
    revision = false;
    switch (stk) {
    case 1:
        if (cupx >= 1)
            kinds.push_back(UpxKind::Papx);
        if (cupx >= 2)
            kinds.push_back(UpxKind::Chpx);
        revision = cupx == 3;
        return true;
    case 2:
        if (cupx >= 1)
            kinds.push_back(UpxKind::Chpx);
        revision = cupx == 2;
        return true;
    case 3:
        if (cupx >= 1)
            kinds.push_back(UpxKind::Tapx);
        if (cupx >= 2)
            kinds.push_back(UpxKind::Papx);
        if (cupx >= 3)
            kinds.push_back(UpxKind::Chpx);
        return true;
    case 4:
        if (cupx >= 1)
            kinds.push_back(UpxKind::Papx);
        return true;
    default:
        return false;
    }
}

// cbUpx, the istd of a UpxPapx, then sprms until cbUpx bytes are used or a
// zero byte pads the rest; a pad byte follows an odd cbUpx.
bool ReadUpx(ByteReader& in, bool papx, Upx& out)
{
    std::uint16_t cb = 0;
    ByteReader body;
    if (!in.u16(cb) || !in.take(cb, body))
        return false;
    out = Upx{};
    if (papx && !body.u16(out.istd))
        return false;
    std::uint8_t next = 0;
    while (body.peek8(next) && next != 0) {
        Sprm s;
        if (!readSprm(body, s))
            return false;
        out.props.push_back(std::move(s));
    }
    if (cb % 2)
        in.skip(1);
    return true;
}

bool WriteUpx(const Upx& upx, bool papx, StreamOut& out)
{
    const std::uint64_t at = out.offset();
    if (!out.u16(0) || (papx && !out.u16(upx.istd)) || !writePropertyList(upx.props, out))
        return false;
    const std::uint64_t cb = out.offset() - at - 2;
    if (cb > 0xFFFF || !out.patch16(at, static_cast<std::uint16_t>(cb)))
        return false;
    return cb % 2 == 0 || out.u8(0);
}

bool ReadRevision(ByteReader& in, bool paragraph, RevisionUpx& out)
{
    std::uint16_t count = 0;
    ByteReader body;
    if (!in.u16(count) || !in.take(count, body) || !body.u16(out.marker) || out.marker != 6 ||
        !body.bytes(out.data.data(), out.data.size()))
        return false;
    return (!paragraph || ReadUpx(body, true, out.papx)) && ReadUpx(body, false, out.chpx);
}

bool WriteRevision(const RevisionUpx& rev, bool paragraph, StreamOut& out)
{
    const std::uint64_t at = out.offset();
    if (rev.marker != 6 || !out.u16(0) || !out.u16(rev.marker) || !out.put(rev.data.data(), rev.data.size()))
        return false;
    if ((paragraph && !WriteUpx(rev.papx, true, out)) || !WriteUpx(rev.chpx, false, out))
        return false;
    const std::uint64_t count = out.offset() - at - 2;
    return count <= 0xFFFF && out.patch16(at, static_cast<std::uint16_t>(count));
}

} // namespace

bool readStd(ByteReader& in, unsigned baseSize, Std& out)
{
    out = Std{};
    std::uint16_t cbStd = 0;
    ByteReader body;
    if (!in.u16(cbStd) || !in.take(cbStd, body))
        return false;
    if (cbStd == 0)
        return true;
    out.empty = false;
    if (!body.bytes(out.base.data(), out.base.size()))
        return false;
    if (baseSize == 18 && !body.bytes(out.post2000.data(), out.post2000.size()))
        return false;
    std::uint16_t cch = 0;
    if (!body.u16(cch))
        return false;
    for (std::uint16_t i = 0; i < cch; ++i) {
        std::uint16_t c = 0;
        if (!body.u16(c))
            return false;
        out.name.push_back(static_cast<char16_t>(c));
    }
    std::uint16_t terminator = 0;
    if (!body.u16(terminator))
        return false;
    std::vector<UpxKind> kinds;
    if (!UpxLayout(out.stk(), out.cupx(), kinds, out.hasRevision))
        return false;
    for (UpxKind kind : kinds) {
        Upx upx;
        if (!ReadUpx(body, kind == UpxKind::Papx, upx))
            return false;
        out.upxs.push_back(std::move(upx));
    }
    return !out.hasRevision || ReadRevision(body, out.stk() == 1, out.revision);
}

bool writeStd(const Std& std, unsigned baseSize, StreamOut& out)
{
    const std::uint64_t at = out.offset();
    if (!out.u16(0))
        return false;
    if (std.empty)
        return true;
    std::vector<UpxKind> kinds;
    bool revision = false;
    if (!UpxLayout(std.stk(), std.cupx(), kinds, revision) || kinds.size() != std.upxs.size() ||
        revision != std.hasRevision || (std.stk() == 2 && std.cupx() == 0))
        return false;
    if (std.name.size() > 0xFFFF || !out.put(std.base.data(), std.base.size()) ||
        (baseSize == 18 && !out.put(std.post2000.data(), std.post2000.size())) ||
        !out.u16(static_cast<std::uint16_t>(std.name.size())))
        return false;
    for (char16_t c : std.name) {
        if (!out.u16(static_cast<std::uint16_t>(c)))
            return false;
    }
    if (!out.u16(0))
        return false;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (!WriteUpx(std.upxs[i], kinds[i] == UpxKind::Papx, out))
            return false;
    }
    if (revision && !WriteRevision(std.revision, std.stk() == 1, out))
        return false;
    const std::uint64_t cb = out.offset() - at - 2;
    return cb <= 0xFFFF && out.patch16(at, static_cast<std::uint16_t>(cb));
}

bool readStsh(ByteReader in, StyleSheet& out)
{
    out = StyleSheet{};
    std::uint16_t cbStshi = 0;
    ByteReader stshi;
    if (!in.u16(cbStshi) || !in.take(cbStshi, stshi) || !stshi.bytes(out.stshif.data(), out.stshif.size()))
        return false;
    if (cbStshi != 18) {
        out.hasLsd = true;
        if (!stshi.u16(out.ftcBi) || !stshi.u16(out.cbLsd))
            return false;
        for (unsigned i = 0; i < out.stiMaxWhenSaved(); ++i) {
            std::uint32_t lsd = 0;
            if (!stshi.u32(lsd))
                return false;
            out.lsds.push_back(lsd);
        }
    }
    const unsigned baseSize = out.baseSize();
    if (baseSize != 10 && baseSize != 18)
        return false;
    while (!in.atEnd()) {
        Std std;
        if (!readStd(in, baseSize, std))
            return false;
        out.styles.push_back(std::move(std));
    }
    return true;
}

bool writeStsh(const StyleSheet& stsh, StreamOut& out)
{
    const std::uint64_t at = out.offset();
    if (!out.u16(0) || !out.put(stsh.stshif.data(), stsh.stshif.size()))
        return false;
    if (stsh.hasLsd) {
        if (!out.u16(stsh.ftcBi) || !out.u16(stsh.cbLsd))
            return false;
        for (std::uint32_t lsd : stsh.lsds) {
            if (!out.u32(lsd))
                return false;
        }
    }
    const std::uint64_t cbStshi = out.offset() - at - 2;
    if (cbStshi > 0xFFFF || !out.patch16(at, static_cast<std::uint16_t>(cbStshi)))
        return false;
    const unsigned baseSize = stsh.baseSize();
    if (baseSize != 10 && baseSize != 18)
        return false;
    for (const Std& std : stsh.styles) {
        if (!writeStd(std, baseSize, out))
            return false;
    }
    return true;
}

} // namespace scrivlet
