// OfficeArt records: the drawing data of Word documents (drawing group,
// drawings, shapes, text boxes, the picture store and its blips), one class
// per record kind, each read from a bounded byte range and written through
// a StreamOut with its length patched in once the body is written.
//
// Every record starts with an 8-byte header: recVer (4 bits), recInstance
// (12 bits), recType (16 bits), then recLen, the body length. A record
// whose recLen is 0 counts as absent and writes nothing; builders set
// recLen to 1 to mark a record present (`markPresent`), and the real length
// is computed when the record is written.
//
// Reading is untrusted: the header is checked against the bytes the parent
// gives, the body end is computed in 64 bits, every count of elements is
// checked against the body before anything is stored, and a record that
// holds more than its class reads is skipped to its end. Reading copies no
// body bytes: a read record views the caller's buffer and is valid only as
// long as that buffer lives.
#pragma once

#include "wordlib/bytes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scrivlet {

// Record types.
enum OfficeArtType : std::uint16_t {
    kRtDggContainer = 0xF000,
    kRtBStoreContainer = 0xF001,
    kRtDgContainer = 0xF002,
    kRtSpgrContainer = 0xF003,
    kRtSpContainer = 0xF004,
    kRtSolverContainer = 0xF005,
    kRtFDGGBlock = 0xF006,
    kRtFBSE = 0xF007,
    kRtFDG = 0xF008,
    kRtFSPGR = 0xF009,
    kRtFSP = 0xF00A,
    kRtFOPT = 0xF00B,
    kRtChildAnchor = 0xF00F,
    kRtClientAnchor = 0xF010,
    kRtClientData = 0xF011,
    kRtFConnectorRule = 0xF012,
    kRtFArcRule = 0xF014,
    kRtFCalloutRule = 0xF017,
    kRtBlipFirst = 0xF018,
    kRtBlipJPEG = 0xF01D,
    kRtBlipLast = 0xF117,
    kRtFRITContainer = 0xF118,
    kRtColorMRUContainer = 0xF11A,
    kRtFPSPL = 0xF11D,
    kRtSplitMenuColorContainer = 0xF11E,
    kRtSecondaryFOPT = 0xF121,
    kRtTertiaryFOPT = 0xF122,
};

inline constexpr std::size_t kRecordHeaderSize = 8;

// The bytes of a record's body: after a read a view into the caller's
// buffer (nothing owned), or a zero-filled buffer the body allocated and
// owns. Copying a body copies the view, never the buffers.
class RecordBody {
public:
    RecordBody() = default;
    RecordBody(const RecordBody& o) : data_(o.data_), size_(o.size_) {}
    RecordBody& operator=(const RecordBody& o);
    RecordBody(RecordBody&&) noexcept = default;
    RecordBody& operator=(RecordBody&&) noexcept = default;

    const std::uint8_t* data() const { return data_; }
    std::uint32_t size() const { return size_; }
    bool owned() const { return owned_; }

    // Views `size` bytes at `data`, releasing what was held.
    void view(const std::uint8_t* data, std::uint32_t size);
    // A zero-filled buffer of `size` bytes that the body owns and views.
    std::uint8_t* allocate(std::uint32_t size);
    // Frees every owned buffer; pointer, length and flag become zero.
    void release();

private:
    const std::uint8_t* data_ = nullptr;
    std::uint32_t size_ = 0;
    bool owned_ = false;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
};

class RecordBase {
public:
    RecordBase() = default;
    virtual ~RecordBase() = default;
    // A copy views the same body bytes and owns none of them.
    RecordBase(const RecordBase&) = default;
    RecordBase& operator=(const RecordBase&) = default;
    RecordBase(RecordBase&&) noexcept = default;
    RecordBase& operator=(RecordBase&&) noexcept = default;

    std::uint32_t header = 0;   // recVer | recInstance << 4 | recType << 16
    std::uint32_t recLen = 0;   // 0: absent
    RecordBody body;

    std::uint16_t recVer() const { return header & 0xF; }
    std::uint16_t recInstance() const { return (header >> 4) & 0xFFF; }
    std::uint16_t recType() const { return static_cast<std::uint16_t>(header >> 16); }
    void setVer(unsigned ver) { header = (header & ~0xFu) | (ver & 0xF); }
    void setInstance(unsigned instance) { header = (header & ~0xFFF0u) | ((instance & 0xFFF) << 4); }
    void setRecType(std::uint16_t type) { header = (header & 0xFFFF) | (static_cast<std::uint32_t>(type) << 16); }
    bool present() const { return recLen != 0; }
    void markPresent()
    {
        if (!recLen)
            recLen = 1;
    }

    // Reads this record at the reader's position: true with nothing
    // consumed when `matches` is false (absent), false on malformed data.
    // On success the reader stands after the record's body.
    virtual bool read(ByteReader& in);
    // Writes the record at the running offset: true with nothing written
    // when recLen is 0; false on a sink failure (the offset then counts
    // the bytes written, and the header is not written).
    virtual bool write(StreamOut& out);
    // True when 8 bytes remain and the header there has this class's type.
    virtual bool matches(const ByteReader& in) const;
    // Stores the class's recType in the header.
    virtual void setType() {}
    // Header and recLen 0, body released, fields zeroed, lists emptied.
    virtual void reset();

protected:
    // The class's recType; 0 for classes that accept any type.
    virtual std::uint16_t classType() const { return 0; }
    // Typed fields from the body (exactly recLen bytes).
    virtual bool readBody(ByteReader& /*body*/) { return true; }
    // Body parts at the running offset.
    virtual bool writeBody(StreamOut& /*out*/) { return true; }
    // recVer and recInstance of the written header.
    virtual void finishHeader() {}
    // Field reset of the class, run by `reset`.
    virtual void resetFields() {}

    // Reads the 8-byte header and views the body; false when the header
    // or the body does not fit.
    bool readHeader(ByteReader& in, ByteReader& bodyIn);
    // Patches the header at `start` once the body ends at the offset.
    bool patchHeader(StreamOut& out, std::uint64_t start);
};

// Reads an 8-byte header without moving; false when fewer than 8 bytes.
bool PeekRecordHeader(const ByteReader& in, std::uint32_t& header, std::uint32_t& recLen);
inline std::uint16_t RecTypeOf(std::uint32_t header) { return static_cast<std::uint16_t>(header >> 16); }

class OfficeArtFDGGBlock : public RecordBase {
public:
    struct Idcl {
        std::uint32_t dgid = 0;
        std::uint32_t cspidCur = 0;
        bool operator==(const Idcl&) const = default;
    };
    std::uint32_t spidMax = 0;
    std::uint32_t cidcl = 0;
    std::uint32_t cspSaved = 0;
    std::uint32_t cdgSaved = 0;
    std::vector<Idcl> idcls;

    void setType() override { setRecType(kRtFDGGBlock); }

protected:
    std::uint16_t classType() const override { return kRtFDGGBlock; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override;
};

// A property table: 6-byte entries (opid with its complex bit, value),
// then the complex data of the entries, in entry order.
class OfficeArtFOPT : public RecordBase {
public:
    struct Entry {
        std::uint16_t opid = 0;
        std::uint32_t op = 0;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> entries;
    std::vector<std::uint8_t> complex;

    void setType() override { setRecType(classType()); }
    // Appends a simple property, or a complex one whose data goes to the
    // end of the complex bytes (op is its length).
    void add(std::uint16_t opid, std::uint32_t op) { entries.push_back({opid, op}); }
    void addComplex(std::uint16_t opid, const std::vector<std::uint8_t>& data);
    // The entry of a property id (complex bit ignored); null when absent.
    const Entry* find(std::uint16_t pid) const;

protected:
    std::uint16_t classType() const override { return kRtFOPT; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override;
};

class OfficeArtSecondaryFOPT : public OfficeArtFOPT {
protected:
    std::uint16_t classType() const override { return kRtSecondaryFOPT; }
};

class OfficeArtTertiaryFOPT : public OfficeArtFOPT {
protected:
    std::uint16_t classType() const override { return kRtTertiaryFOPT; }
};

// Records whose body is a fixed run of 32-bit values.
template <std::uint16_t Type, std::size_t N, unsigned Ver>
class FixedRecord : public RecordBase {
public:
    std::array<std::uint32_t, N> values{};

    void setType() override { setRecType(Type); }

protected:
    std::uint16_t classType() const override { return Type; }
    bool readBody(ByteReader& body) override
    {
        for (std::uint32_t& v : values) {
            if (!body.u32(v))
                return false;
        }
        return true;
    }
    bool writeBody(StreamOut& out) override
    {
        for (std::uint32_t v : values) {
            if (!out.u32(v))
                return false;
        }
        return true;
    }
    void finishHeader() override
    {
        setVer(Ver);
        setInstance(0);
    }
    void resetFields() override { values = {}; }
};

// The group rectangle of a group shape: xLeft, yTop, xRight, yBottom.
class OfficeArtFSPGR : public FixedRecord<kRtFSPGR, 4, 1> {};
// The anchor of a shape inside a group: left, top, right, bottom.
class OfficeArtChildAnchor : public FixedRecord<kRtChildAnchor, 4, 0> {};
class OfficeArtFPSPL : public FixedRecord<kRtFPSPL, 1, 0> {};
// ruid, spidA, spidB, spidC, cptiA, cptiB.
class OfficeArtFConnectorRule : public FixedRecord<kRtFConnectorRule, 6, 1> {};
// ruid, spid.
class OfficeArtFArcRule : public FixedRecord<kRtFArcRule, 2, 0> {};
class OfficeArtFCalloutRule : public FixedRecord<kRtFCalloutRule, 2, 0> {};

// A shape: its id and flags; the shape type is the header's recInstance.
class OfficeArtFSP : public RecordBase {
public:
    std::uint32_t spid = 0;
    std::uint32_t flags = 0;

    void setType() override { setRecType(kRtFSP); }

protected:
    std::uint16_t classType() const override { return kRtFSP; }
    bool readBody(ByteReader& body) override { return body.u32(spid) && body.u32(flags); }
    bool writeBody(StreamOut& out) override { return out.u32(spid) && out.u32(flags); }
    void finishHeader() override { setVer(2); }
    void resetFields() override { spid = flags = 0; }
};

// A drawing: its shape count and last shape id; the drawing id is the
// header's recInstance.
class OfficeArtFDG : public RecordBase {
public:
    std::uint32_t csp = 0;
    std::uint32_t spidCur = 0;

    void setType() override { setRecType(kRtFDG); }

protected:
    std::uint16_t classType() const override { return kRtFDG; }
    bool readBody(ByteReader& body) override { return body.u32(csp) && body.u32(spidCur); }
    bool writeBody(StreamOut& out) override { return out.u32(csp) && out.u32(spidCur); }
    void finishHeader() override { setVer(0); }
    void resetFields() override { csp = spidCur = 0; }
};

// The client records of a shape take whatever records follow its anchors;
// they keep the header they were read with (the Word client anchor, data
// and text box hold one 32-bit value).
class OfficeArtClientRecord : public RecordBase {
public:
    std::uint32_t value = 0;

    bool matches(const ByteReader& in) const override { return in.left() >= kRecordHeaderSize; }

protected:
    bool readBody(ByteReader& body) override { return body.u32(value); }
    bool writeBody(StreamOut& out) override { return out.u32(value); }
    void finishHeader() override
    {
        setVer(0);
        setInstance(0);
    }
    void resetFields() override { value = 0; }
};
class OfficeArtClientAnchor : public OfficeArtClientRecord {};
class OfficeArtClientData : public OfficeArtClientRecord {};
class OfficeArtClientTextbox : public OfficeArtClientRecord {};

// A list of 32-bit values, written as their count in recInstance.
template <std::uint16_t Type>
class ValueListRecord : public RecordBase {
public:
    std::vector<std::uint32_t> values;

    void setType() override { setRecType(Type); }

protected:
    std::uint16_t classType() const override { return Type; }
    bool readBody(ByteReader& body) override
    {
        const std::uint64_t n = count();
        if (4 * n > body.left())
            return false;
        values.resize(static_cast<std::size_t>(n));
        for (std::uint32_t& v : values)
            body.u32(v);
        return true;
    }
    bool writeBody(StreamOut& out) override
    {
        for (std::uint32_t v : values) {
            if (!out.u32(v))
                return false;
        }
        return true;
    }
    void finishHeader() override
    {
        setVer(0);
        setInstance(static_cast<unsigned>(values.size()));
    }
    void resetFields() override { values.clear(); }
    virtual std::uint64_t count() const { return recInstance(); }
};

class OfficeArtFRITContainer : public ValueListRecord<kRtFRITContainer> {};
class OfficeArtColorMRUContainer : public ValueListRecord<kRtColorMRUContainer> {};
// Always four colours.
class OfficeArtSplitMenuColorContainer : public ValueListRecord<kRtSplitMenuColorContainer> {
protected:
    std::uint64_t count() const override { return 4; }
    void finishHeader() override
    {
        setVer(0);
        setInstance(4);
    }
};

class OfficeArtBlipJPEG;

// A picture of the picture store (recType 0xF018 to 0xF117). A JPEG blip
// (0xF01D) is also decoded into an OfficeArtBlipJPEG sub-record, which is
// what gets written when present; any other blip is kept and written as the
// bytes it was read with.
class OfficeArtBlip : public RecordBase {
public:
    OfficeArtBlip() = default;
    OfficeArtBlip(const OfficeArtBlip& o);
    OfficeArtBlip& operator=(const OfficeArtBlip& o);
    OfficeArtBlip(OfficeArtBlip&&) noexcept = default;
    OfficeArtBlip& operator=(OfficeArtBlip&&) noexcept = default;
    ~OfficeArtBlip() override;

    std::unique_ptr<OfficeArtBlip> jpeg;   // an OfficeArtBlipJPEG

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) override;
    bool matches(const ByteReader& in) const override;
    virtual std::unique_ptr<OfficeArtBlip> clone() const;

    // The picture's own bytes (the body after its UID and tag prefix) of a
    // JPEG or PNG blip; false for a picture type this library does not
    // extract (metafiles, DIBs, PICT), which callers skip.
    bool pictureBytes(const std::uint8_t*& data, std::size_t& size) const;
    // The decoded JPEG sub-record, or null.
    OfficeArtBlipJPEG* asJpeg() const;

protected:
    void resetFields() override;
};

class OfficeArtBlipJPEG : public OfficeArtBlip {
public:
    std::array<std::uint8_t, 16> rgbUid1{};
    std::array<std::uint8_t, 16> rgbUid2{};
    std::uint8_t tag = 0xFF;
    const std::uint8_t* picture = nullptr;   // view of the picture bytes
    std::size_t pictureSize = 0;
    std::string picturePath;                 // UTF-8; read when written

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) override;
    bool matches(const ByteReader& in) const override;
    void setType() override { setRecType(kRtBlipJPEG); }
    std::unique_ptr<OfficeArtBlip> clone() const override;

    // 17 for instances 0x46A and 0x6E2, 33 for 0x46B and 0x6E3, else 0.
    static std::size_t PrefixSize(unsigned instance);

protected:
    void resetFields() override;
};

// A picture-store entry: 36 bytes of fixed data, a name, and the blip it
// holds when the blip is not kept elsewhere (delayed).
class OfficeArtFBSE : public RecordBase {
public:
    std::array<std::uint8_t, 36> fixed{};   // btWin32, btMacOS, rgbUid, tag, size, cRef, foDelay, ...
    std::u16string name;
    OfficeArtBlip blip;

    std::uint8_t btWin32() const { return fixed[0]; }
    std::uint32_t size() const { return Load32(fixed.data() + 20); }
    std::uint32_t foDelay() const { return Load32(fixed.data() + 28); }
    std::uint8_t cbName() const { return fixed[33]; }

    void setType() override { setRecType(kRtFBSE); }
    bool write(StreamOut& out) override;

protected:
    std::uint16_t classType() const override { return kRtFBSE; }
    bool readBody(ByteReader& body) override;
    void resetFields() override;
};

// Writers of IMsoArray property data into a caller's buffer: nElems,
// nElemsAlloc and cbElem (16-bit each), then the elements. With cbElem
// 0xFFF0 an element takes 4 bytes (a 16-bit value and 0, a point as two
// 16-bit coordinates); otherwise cbElem bytes. False when the array would
// not fit in `size` bytes.
struct MsoPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
bool writeMsoArray16(std::uint8_t* buffer, std::size_t size, const std::vector<std::uint16_t>& elems,
                     std::uint16_t cbElem);
bool writeMsoArrayPoints(std::uint8_t* buffer, std::size_t size, const std::vector<MsoPoint>& elems,
                         std::uint16_t cbElem);
bool writeMsoArray32(std::uint8_t* buffer, std::size_t size, const std::vector<std::uint32_t>& elems,
                     std::uint16_t cbElem);
// The bytes such an array takes.
std::size_t MsoArraySize(std::size_t count, std::uint16_t cbElem);

} // namespace scrivlet
