#include "wordlib/plc.h"

namespace scrivlet {

namespace {

std::int16_t LoadS16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(Load16(p));
}

std::int32_t LoadS32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(Load32(p));
}

void StoreS16(std::uint8_t* p, std::int16_t v)
{
    Store16(p, static_cast<std::uint16_t>(v));
}

void StoreS32(std::uint8_t* p, std::int32_t v)
{
    Store32(p, static_cast<std::uint32_t>(v));
}

} // namespace

void Pcd::load(const std::uint8_t* p)
{
    bits = Load16(p);
    fc = Load32(p + 2);
    prm = Load16(p + 6);
}

void Pcd::store(std::uint8_t* p) const
{
    Store16(p, bits);
    Store32(p + 2, fc);
    Store16(p + 6, prm);
}

void Sed::load(const std::uint8_t* p)
{
    fn = Load16(p);
    fcSepx = Load32(p + 2);
    fnMpr = Load16(p + 6);
    fcMpr = Load32(p + 8);
}

void Sed::store(std::uint8_t* p) const
{
    Store16(p, fn);
    Store32(p + 2, fcSepx);
    Store16(p + 6, fnMpr);
    Store32(p + 8, fcMpr);
}

void Ftxbxs::load(const std::uint8_t* p)
{
    cTxbx = LoadS32(p);
    cReusable = LoadS32(p + 4);
    fReusable = LoadS16(p + 8);
    reserved = Load32(p + 10);
    lid = LoadS32(p + 14);
    txidUndo = LoadS32(p + 18);
}

void Ftxbxs::store(std::uint8_t* p) const
{
    StoreS32(p, cTxbx);
    StoreS32(p + 4, cReusable);
    StoreS16(p + 8, fReusable);
    Store32(p + 10, reserved);
    StoreS32(p + 14, lid);
    StoreS32(p + 18, txidUndo);
}

void Tbkd::load(const std::uint8_t* p)
{
    itxbxs = LoadS16(p);
    dcpDepend = LoadS16(p + 2);
    flags = Load16(p + 4);
}

void Tbkd::store(std::uint8_t* p) const
{
    StoreS16(p, itxbxs);
    StoreS16(p + 2, dcpDepend);
    Store16(p + 4, flags);
}

void Fspa::load(const std::uint8_t* p)
{
    spid = LoadS32(p);
    xaLeft = LoadS32(p + 4);
    yaTop = LoadS32(p + 8);
    xaRight = LoadS32(p + 12);
    yaBottom = LoadS32(p + 16);
    flags = Load16(p + 20);
    cTxbx = LoadS32(p + 22);
}

void Fspa::store(std::uint8_t* p) const
{
    StoreS32(p, spid);
    StoreS32(p + 4, xaLeft);
    StoreS32(p + 8, yaTop);
    StoreS32(p + 12, xaRight);
    StoreS32(p + 16, yaBottom);
    Store16(p + 20, flags);
    StoreS32(p + 22, cTxbx);
}

void Fld::load(const std::uint8_t* p)
{
    ch = p[0];
    flt = p[1];
}

void Fld::store(std::uint8_t* p) const
{
    p[0] = ch;
    p[1] = flt;
}

void Elem4::load(const std::uint8_t* p)
{
    value = Load32(p);
}

void Elem4::store(std::uint8_t* p) const
{
    Store32(p, value);
}

bool readClx(ByteReader& in, Clx& out)
{
    out = Clx{};
    std::uint8_t clxt = 0;
    while (in.peek8(clxt) && clxt == 1) {
        std::uint16_t cb = 0;
        ByteReader grpprl;
        PropertyList list;
        if (!in.skip(1) || !in.u16(cb) || !in.take(cb, grpprl) || !readPropertyList(grpprl, list))
            return false;
        out.prcs.push_back(std::move(list));
    }
    std::uint32_t lcb = 0;
    ByteReader plc;
    if (!in.u8(out.pcdtClxt) || out.pcdtClxt != 2 || !in.u32(lcb) || !in.take(lcb, plc))
        return false;
    return readPlc(plc, out.pieces);
}

bool writeClx(const Clx& clx, StreamOut& out)
{
    for (const PropertyList& prc : clx.prcs) {
        std::size_t size = 0;
        if (!PropertyListSize(prc, size) || size > kMaxPrcGrpprl)
            return false;
        if (!out.u8(1) || !out.u16(static_cast<std::uint16_t>(size)) || !writePropertyList(prc, out))
            return false;
    }
    if (clx.pcdtClxt != 2)
        return false;
    return out.u8(2) && out.u32(static_cast<std::uint32_t>(PlcSize(clx.pieces))) && writePlc(clx.pieces, out);
}

} // namespace scrivlet
