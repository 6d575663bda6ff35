// PLCs (a sorted array of character positions followed by one fixed-size
// element per interval) and the piece table (Clx) of a Word document.
#pragma once

#include "wordlib/sprm.h"

#include <cstdint>
#include <vector>

namespace scrivlet {

// Elements: each has its size in the file and converts from and to it.

struct Pcd {   // a piece of text
    static constexpr std::size_t kSize = 8;
    std::uint16_t bits = 0;
    std::uint32_t fc = 0;       // with 0x40000000: 8-bit text at fc / 2
    std::uint16_t prm = 0;
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Pcd&) const = default;
};

struct Sed {   // a section descriptor
    static constexpr std::size_t kSize = 12;
    std::uint16_t fn = 0;
    std::uint32_t fcSepx = 0;
    std::uint16_t fnMpr = 0;
    std::uint32_t fcMpr = 0;
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Sed&) const = default;
};

struct Ftxbxs {   // a text-box story
    static constexpr std::size_t kSize = 22;
    std::int32_t cTxbx = 0;     // or iNextReuse
    std::int32_t cReusable = 0;
    std::int16_t fReusable = 0;
    std::uint32_t reserved = 0;
    std::int32_t lid = 0;
    std::int32_t txidUndo = 0;
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Ftxbxs&) const = default;
};

struct Tbkd {   // a text-box break
    static constexpr std::size_t kSize = 6;
    std::int16_t itxbxs = 0;
    std::int16_t dcpDepend = 0;
    std::uint16_t flags = 0;
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Tbkd&) const = default;
};

struct Fspa {   // a shape anchor
    static constexpr std::size_t kSize = 26;
    std::int32_t spid = 0;
    std::int32_t xaLeft = 0;
    std::int32_t yaTop = 0;
    std::int32_t xaRight = 0;
    std::int32_t yaBottom = 0;
    std::uint16_t flags = 0;
    std::int32_t cTxbx = 0;
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Fspa&) const = default;
};

struct Fld {   // a field character
    static constexpr std::size_t kSize = 2;
    std::uint8_t ch = 0;        // 0x13 begin, 0x14 separator, 0x15 end
    std::uint8_t flt = 0;       // field type, or flags on the end
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Fld&) const = default;
};

struct Elem4 {   // bookmark starts, bin-table page numbers
    static constexpr std::size_t kSize = 4;
    std::uint32_t value = 0;
    void load(const std::uint8_t* p);
    void store(std::uint8_t* p) const;
    bool operator==(const Elem4&) const = default;
};

template <class E>
struct Plc {
    std::vector<std::uint32_t> cps;
    std::vector<E> items;
    bool operator==(const Plc&) const = default;
};

// The whole reader is the PLC (its size is the lcb): n = (lcb - 4) / (4 +
// element size) elements after n + 1 CPs.
template <class E>
bool readPlc(ByteReader in, Plc<E>& out)
{
    out = Plc<E>{};
    if (in.left() < 4)
        return false;
    const std::size_t n = (in.left() - 4) / (4 + E::kSize);
    for (std::size_t i = 0; i <= n; ++i) {
        std::uint32_t cp = 0;
        if (!in.u32(cp))
            return false;
        out.cps.push_back(cp);
    }
    std::uint8_t buf[E::kSize];
    for (std::size_t i = 0; i < n; ++i) {
        if (!in.bytes(buf, sizeof buf))
            return false;
        E e;
        e.load(buf);
        out.items.push_back(e);
    }
    return out.cps.size() == out.items.size() + 1;
}

// All CPs, then all elements; false unless there is one more CP than
// elements.
template <class E>
bool writePlc(const Plc<E>& plc, StreamOut& out)
{
    if (plc.cps.size() != plc.items.size() + 1)
        return false;
    for (std::uint32_t cp : plc.cps) {
        if (!out.u32(cp))
            return false;
    }
    std::uint8_t buf[E::kSize];
    for (const E& e : plc.items) {
        e.store(buf);
        if (!out.put(buf, sizeof buf))
            return false;
    }
    return true;
}

template <class E>
std::size_t PlcSize(const Plc<E>& plc)
{
    return 4 * plc.cps.size() + E::kSize * plc.items.size();
}

inline bool readPlcfSed(ByteReader in, Plc<Sed>& out) { return readPlc(in, out); }
inline bool writePlcfSed(const Plc<Sed>& plc, StreamOut& out) { return writePlc(plc, out); }
inline bool readPlcftxbxTxt(ByteReader in, Plc<Ftxbxs>& out) { return readPlc(in, out); }
inline bool writePlcftxbxTxt(const Plc<Ftxbxs>& plc, StreamOut& out) { return writePlc(plc, out); }
inline bool readPlcfTxbxBkd(ByteReader in, Plc<Tbkd>& out) { return readPlc(in, out); }
inline bool writePlcfTxbxBkd(const Plc<Tbkd>& plc, StreamOut& out) { return writePlc(plc, out); }
inline bool readPlcSpa(ByteReader in, Plc<Fspa>& out) { return readPlc(in, out); }
inline bool writePlcSpa(const Plc<Fspa>& plc, StreamOut& out) { return writePlc(plc, out); }
inline bool readPlcFld(ByteReader in, Plc<Fld>& out) { return readPlc(in, out); }
inline bool writePlcFld(const Plc<Fld>& plc, StreamOut& out) { return writePlc(plc, out); }
inline bool readPlc4(ByteReader in, Plc<Elem4>& out) { return readPlc(in, out); }
inline bool writePlc4(const Plc<Elem4>& plc, StreamOut& out) { return writePlc(plc, out); }

// The piece table: property lists that pieces may refer to (Prc), then the
// pieces themselves (Pcdt).
struct Clx {
    std::vector<PropertyList> prcs;
    std::uint8_t pcdtClxt = 2;
    Plc<Pcd> pieces;
};

// The largest grpprl of a Prc.
inline constexpr std::size_t kMaxPrcGrpprl = 0x3FA2;

bool readClx(ByteReader& in, Clx& out);
bool writeClx(const Clx& clx, StreamOut& out);

} // namespace scrivlet
