#include "wordlib/sprm.h"

#include <cstdio>

namespace scrivlet {

std::size_t FixedOperandSize(std::uint16_t sprm)
{
    switch (sprm >> 13) {
    case 0:
    case 1:
        return 1;
    case 2:
    case 4:
    case 5:
        return 2;
    case 3:
        return 4;
    case 7:
        return 3;
    default:
        return 0;
    }
}

std::size_t SprmSize(const Sprm& sprm)
{
    std::size_t n = FixedOperandSize(sprm.sprm);
    if (n == 0) {
        if (sprm.operand.empty())
            return 0;
        n = 1 + std::size_t{sprm.operand[0]};
    }
    return sprm.operand.size() < n ? 0 : 2 + n;
}

bool PropertyListSize(const PropertyList& list, std::size_t& size)
{
    size = 0;
    for (const Sprm& s : list) {
        const std::size_t n = SprmSize(s);
        if (n == 0)
            return false;
        size += n;
    }
    return true;
}

bool readSprm(ByteReader& in, Sprm& out)
{
    ByteReader start = in;
    std::uint16_t code = 0;
    if (!in.u16(code))
        return false;
    std::size_t n = FixedOperandSize(code);
    if (n == 0) {
        std::uint8_t count = 0;
        if (!in.peek8(count)) {
            in = start;
            return false;
        }
        n = 1 + std::size_t{count};
    }
    out.sprm = code;
    out.operand.clear();
    if (!in.append(out.operand, n)) {
        in = start;
        return false;
    }
    return true;
}

bool writeSprm(const Sprm& sprm, StreamOut& out)
{
    const std::size_t size = SprmSize(sprm);
    return size != 0 && out.u16(sprm.sprm) && out.put(sprm.operand.data(), size - 2);
}

bool readPropertyList(ByteReader in, PropertyList& out)
{
    out.clear();
    while (!in.atEnd()) {
        Sprm s;
        if (!readSprm(in, s))
            return false;
        out.push_back(std::move(s));
    }
    return true;
}

bool writePropertyList(const PropertyList& list, StreamOut& out)
{
    for (const Sprm& s : list) {
        if (!writeSprm(s, out))
            return false;
    }
    return true;
}

bool readChpx(ByteReader& in, PropertyList& out)
{
    std::uint8_t cb = 0;
    ByteReader grpprl;
    return in.u8(cb) && in.take(cb, grpprl) && readPropertyList(grpprl, out);
}

bool readPapxInFkp(ByteReader& in, PapxEntry& out)
{
    std::uint8_t cb = 0;
    if (!in.u8(cb))
        return false;
    std::size_t size = 0;
    if (cb != 0) {
        size = 2 * std::size_t{cb} - 1;
    } else {
        std::uint8_t cb2 = 0;
        if (!in.u8(cb2))
            return false;
        size = 2 * std::size_t{cb2};
    }
    if (size < 2 || size > in.left())
        return false;
    const std::uint8_t* end = in.pos() + size;
    out.props.clear();
    if (!in.u16(out.istd))
        return false;
    while (in.pos() < end) {
        ByteReader declared(in.pos(), static_cast<std::size_t>(end - in.pos()));
        Sprm s;
        if (readSprm(declared, s)) {
            in.skip(static_cast<std::size_t>(declared.pos() - in.pos()));
        } else {
            // Some writers declare the size one byte short; the page end
            // is the last bound.
            if (cb == 0)
                return false;
            std::fputs("Warning: grpprlAndIstd in PapxInFkp incorrect size.\n", stderr);
            if (!readSprm(in, s))
                return false;
        }
        out.props.push_back(std::move(s));
    }
    return true;
}

bool serializePapxInFkp(const PapxEntry& entry, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> body;
    VectorSink sink(body);
    StreamOut w(sink, 0);
    if (!w.u16(entry.istd) || !writePropertyList(entry.props, w))
        return false;
    out.clear();
    const std::size_t len = body.size();
    if (len % 2) {
        if ((len + 1) / 2 > 255)
            return false;
        out.push_back(static_cast<std::uint8_t>((len + 1) / 2));
    } else {
        if (len / 2 > 255)
            return false;
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(len / 2));
    }
    out.insert(out.end(), body.begin(), body.end());
    return true;
}

bool readSepx(ByteReader& in, PropertyList& out)
{
    std::uint16_t cb = 0;
    ByteReader grpprl;
    return in.u16(cb) && in.take(cb, grpprl) && readPropertyList(grpprl, out);
}

bool writeSepx(const PropertyList& sepx, StreamOut& out)
{
    std::size_t size = 0;
    if (!PropertyListSize(sepx, size) || size > 0xFFFF)
        return false;
    return out.u16(static_cast<std::uint16_t>(size)) && writePropertyList(sepx, out);
}

} // namespace scrivlet
