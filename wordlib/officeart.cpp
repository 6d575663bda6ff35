#include "wordlib/officeart.h"

#include "wordlib/fileobject.h"

#include <new>

namespace scrivlet {

namespace {

// JPEG and PNG blips: instances with one UID (17-byte prefix with the tag)
// or two (33 bytes).
constexpr unsigned kJpegOneUid = 0x46A;
constexpr unsigned kJpegTwoUids = 0x46B;
constexpr unsigned kJpegCmykOneUid = 0x6E2;
constexpr unsigned kJpegCmykTwoUids = 0x6E3;
constexpr unsigned kPngOneUid = 0x6E0;
constexpr unsigned kPngTwoUids = 0x6E1;

constexpr std::uint64_t kMaxRecLen = 0xFFFFFFFF;

} // namespace

RecordBody& RecordBody::operator=(const RecordBody& o)
{
    if (this != &o) {
        release();
        data_ = o.data_;
        size_ = o.size_;
    }
    return *this;
}

void RecordBody::view(const std::uint8_t* data, std::uint32_t size)
{
    release();
    data_ = data;
    size_ = size;
}

std::uint8_t* RecordBody::allocate(std::uint32_t size)
{
    release();
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size ? size : 1]());
    if (!buffer)
        return nullptr;
    std::uint8_t* p = buffer.get();
    buffers_.push_back(std::move(buffer));
    data_ = p;
    size_ = size;
    owned_ = true;
    return p;
}

void RecordBody::release()
{
    buffers_.clear();
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
}

bool PeekRecordHeader(const ByteReader& in, std::uint32_t& header, std::uint32_t& recLen)
{
    ByteReader probe = in;
    return probe.u32(header) && probe.u32(recLen);
}

bool RecordBase::matches(const ByteReader& in) const
{
    const std::uint16_t type = classType();
    std::uint32_t h = 0;
    std::uint32_t len = 0;
    return type != 0 && PeekRecordHeader(in, h, len) && RecTypeOf(h) == type;
}

bool RecordBase::readHeader(ByteReader& in, ByteReader& bodyIn)
{
    std::uint32_t h = 0;
    std::uint32_t len = 0;
    if (!PeekRecordHeader(in, h, len)) {
        body.release();
        return false;
    }
    // 8 + recLen in 64 bits, against what the parent gives.
    if (kRecordHeaderSize + static_cast<std::uint64_t>(len) > in.left())
        return false;
    header = h;
    recLen = len;
    in.skip(kRecordHeaderSize);
    in.take(len, bodyIn);
    body.view(bodyIn.pos(), len);
    return true;
}

bool RecordBase::read(ByteReader& in)
{
    if (!matches(in))
        return true;
    ByteReader bodyIn;
    if (!readHeader(in, bodyIn))
        return false;
    // The reader already stands at the body end: whatever the class leaves
    // unread is skipped.
    return readBody(bodyIn);
}

bool RecordBase::patchHeader(StreamOut& out, std::uint64_t start)
{
    const std::uint64_t len = out.offset() - start - kRecordHeaderSize;
    if (len > kMaxRecLen)
        return false;
    recLen = static_cast<std::uint32_t>(len);
    finishHeader();
    return out.patch32(start, header) && out.patch32(start + 4, recLen);
}

bool RecordBase::write(StreamOut& out)
{
    if (!recLen)
        return true;
    setType();
    const std::uint64_t start = out.offset();
    out.seek(start + kRecordHeaderSize);
    if (!writeBody(out))
        return false;
    return patchHeader(out, start);
}

void RecordBase::reset()
{
    header = 0;
    recLen = 0;
    body.release();
    resetFields();
}

// OfficeArtFDGGBlock

bool OfficeArtFDGGBlock::readBody(ByteReader& in)
{
    idcls.clear();
    if (!in.u32(spidMax) || !in.u32(cidcl) || !in.u32(cspSaved) || !in.u32(cdgSaved))
        return false;
    const std::uint64_t n = cidcl < 2 ? 0 : static_cast<std::uint64_t>(cidcl) - 1;
    if (n * 8 > in.left())
        return false;
    idcls.resize(static_cast<std::size_t>(n));
    for (Idcl& p : idcls) {
        in.u32(p.dgid);
        in.u32(p.cspidCur);
    }
    return true;
}

bool OfficeArtFDGGBlock::writeBody(StreamOut& out)
{
    if (!out.u32(spidMax) || !out.u32(cidcl) || !out.u32(cspSaved) || !out.u32(cdgSaved))
        return false;
    for (const Idcl& p : idcls) {
        if (!out.u32(p.dgid) || !out.u32(p.cspidCur))
            return false;
    }
    return true;
}

void OfficeArtFDGGBlock::finishHeader()
{
    setVer(0);
    setInstance(0);
}

void OfficeArtFDGGBlock::resetFields()
{
    spidMax = cidcl = cspSaved = cdgSaved = 0;
    idcls.clear();
}

// OfficeArtFOPT

void OfficeArtFOPT::addComplex(std::uint16_t opid, const std::vector<std::uint8_t>& data)
{
    entries.push_back({static_cast<std::uint16_t>(opid | 0x8000), static_cast<std::uint32_t>(data.size())});
    complex.insert(complex.end(), data.begin(), data.end());
}

const OfficeArtFOPT::Entry* OfficeArtFOPT::find(std::uint16_t pid) const
{
    for (const Entry& e : entries) {
        if ((e.opid & 0x3FFF) == (pid & 0x3FFF))
            return &e;
    }
    return nullptr;
}

bool OfficeArtFOPT::readBody(ByteReader& in)
{
    entries.clear();
    complex.clear();
    const std::uint64_t n = recInstance();
    if (n * 6 > in.left())
        return false;
    entries.resize(static_cast<std::size_t>(n));
    for (Entry& e : entries) {
        in.u16(e.opid);
        in.u32(e.op);
    }
    return in.append(complex, in.left());
}

bool OfficeArtFOPT::writeBody(StreamOut& out)
{
    for (const Entry& e : entries) {
        if (!out.u16(e.opid) || !out.u32(e.op))
            return false;
    }
    return out.put(complex);
}

void OfficeArtFOPT::finishHeader()
{
    setVer(3);
    setInstance(static_cast<unsigned>(entries.size()));
}

void OfficeArtFOPT::resetFields()
{
    entries.clear();
    complex.clear();
}

// OfficeArtBlip

OfficeArtBlip::OfficeArtBlip(const OfficeArtBlip& o) : RecordBase(o), jpeg(o.jpeg ? o.jpeg->clone() : nullptr) {}

OfficeArtBlip& OfficeArtBlip::operator=(const OfficeArtBlip& o)
{
    if (this != &o) {
        RecordBase::operator=(o);
        jpeg = o.jpeg ? o.jpeg->clone() : nullptr;
    }
    return *this;
}

OfficeArtBlip::~OfficeArtBlip() = default;

std::unique_ptr<OfficeArtBlip> OfficeArtBlip::clone() const
{
    return std::make_unique<OfficeArtBlip>(*this);
}

OfficeArtBlipJPEG* OfficeArtBlip::asJpeg() const
{
    return static_cast<OfficeArtBlipJPEG*>(jpeg.get());
}

bool OfficeArtBlip::matches(const ByteReader& in) const
{
    std::uint32_t h = 0;
    std::uint32_t len = 0;
    if (!PeekRecordHeader(in, h, len))
        return false;
    const std::uint16_t type = RecTypeOf(h);
    return type >= kRtBlipFirst && type <= kRtBlipLast;
}

bool OfficeArtBlip::read(ByteReader& in)
{
    if (!matches(in))
        return true;
    jpeg.reset();
    const ByteReader start = in;
    ByteReader bodyIn;
    if (!readHeader(in, bodyIn))
        return false;
    if (recType() != kRtBlipJPEG)
        return true;
    auto sub = std::make_unique<OfficeArtBlipJPEG>();
    ByteReader again = start;
    if (!sub->read(again))
        return false;
    jpeg = std::move(sub);
    return true;
}

bool OfficeArtBlip::write(StreamOut& out)
{
    if (jpeg)
        return jpeg->write(out);
    if (!recLen)
        return true;
    // A blip this library does not decode is written as it was read: its
    // header and its body bytes.
    if (body.size() != recLen)
        return false;
    const std::uint64_t start = out.offset();
    out.seek(start + kRecordHeaderSize);
    if (!out.put(body.data(), body.size()))
        return false;
    return out.patch32(start, header) && out.patch32(start + 4, recLen);
}

bool OfficeArtBlip::pictureBytes(const std::uint8_t*& data, std::size_t& size) const
{
    if (const OfficeArtBlipJPEG* j = asJpeg()) {
        data = j->picture;
        size = j->pictureSize;
        return data != nullptr;
    }
    std::size_t prefix = 0;
    switch (recInstance()) {
    case kJpegOneUid:
    case kJpegCmykOneUid:
    case kPngOneUid:
        prefix = 17;
        break;
    case kJpegTwoUids:
    case kJpegCmykTwoUids:
    case kPngTwoUids:
        prefix = 33;
        break;
    default:
        // Metafiles, DIBs and PICT carry other headers: not extracted.
        return false;
    }
    if (!body.data() || body.size() < prefix)
        return false;
    data = body.data() + prefix;
    size = body.size() - prefix;
    return true;
}

void OfficeArtBlip::resetFields()
{
    jpeg.reset();
}

// OfficeArtBlipJPEG

std::size_t OfficeArtBlipJPEG::PrefixSize(unsigned instance)
{
    switch (instance) {
    case kJpegOneUid:
    case kJpegCmykOneUid:
        return 17;
    case kJpegTwoUids:
    case kJpegCmykTwoUids:
        return 33;
    default:
        return 0;
    }
}

bool OfficeArtBlipJPEG::matches(const ByteReader& in) const
{
    std::uint32_t h = 0;
    std::uint32_t len = 0;
    return PeekRecordHeader(in, h, len) && RecTypeOf(h) == kRtBlipJPEG;
}

std::unique_ptr<OfficeArtBlip> OfficeArtBlipJPEG::clone() const
{
    return std::make_unique<OfficeArtBlipJPEG>(*this);
}

bool OfficeArtBlipJPEG::read(ByteReader& in)
{
    if (!matches(in))
        return true;
    ByteReader bodyIn;
    if (!readHeader(in, bodyIn))
        return false;
    const std::size_t prefix = PrefixSize(recInstance());
    if (!prefix || !bodyIn.bytes(rgbUid1.data(), rgbUid1.size()))
        return false;
    if (prefix == 33 && !bodyIn.bytes(rgbUid2.data(), rgbUid2.size()))
        return false;
    if (!bodyIn.u8(tag))
        return false;
    picture = bodyIn.pos();
    pictureSize = bodyIn.left();
    return true;
}

bool OfficeArtBlipJPEG::write(StreamOut& out)
{
    if (!recLen)
        return true;
    setType();
    const std::size_t prefix = PrefixSize(recInstance());
    if (!prefix)
        return false;
    const std::uint64_t start = out.offset();
    out.seek(start + kRecordHeaderSize);
    if (!out.put(rgbUid1.data(), rgbUid1.size()) || (prefix == 33 && !out.put(rgbUid2.data(), rgbUid2.size())) ||
        !out.u8(tag))
        return false;
    if (picture && pictureSize) {
        if (!out.put(picture, pictureSize))
            return false;
    } else if (!picturePath.empty()) {
        FileObjectPosix file;
        if (!file.open(picturePath, kFileReadExisting))
            return false;
        const std::uint64_t size = file.size();
        if (size > kMaxRecLen)
            return false;
        std::vector<std::uint8_t> bytes;
        try {
            bytes.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            return false;
        }
        const bool read = file.seek(0, 0) == 0 && file.read(bytes.data(), bytes.size());
        file.close();
        if (!read || !out.put(bytes))
            return false;
    }
    const std::uint64_t len = out.offset() - start - kRecordHeaderSize;
    if (len > kMaxRecLen)
        return false;
    recLen = static_cast<std::uint32_t>(len);
    setVer(0);
    return out.patch32(start, header) && out.patch32(start + 4, recLen);
}

void OfficeArtBlipJPEG::resetFields()
{
    OfficeArtBlip::resetFields();
    rgbUid1 = {};
    rgbUid2 = {};
    tag = 0xFF;
    picture = nullptr;
    pictureSize = 0;
    picturePath.clear();
}

// OfficeArtFBSE

bool OfficeArtFBSE::readBody(ByteReader& in)
{
    name.clear();
    blip.reset();
    if (!in.bytes(fixed.data(), fixed.size()))
        return false;
    const std::uint8_t cb = cbName();
    if (cb % 2 || cb > in.left())
        return false;
    for (unsigned i = 0; i < cb / 2u; ++i) {
        std::uint16_t c = 0;
        in.u16(c);
        name.push_back(static_cast<char16_t>(c));
    }
    return blip.read(in);
}

bool OfficeArtFBSE::write(StreamOut& out)
{
    if (!recLen)
        return true;
    setType();
    const std::uint64_t start = out.offset();
    out.seek(start + kRecordHeaderSize + fixed.size());
    // The name as it was read: cbName bytes.
    for (unsigned i = 0; i < cbName() / 2u; ++i) {
        if (!out.u16(i < name.size() ? static_cast<std::uint16_t>(name[i]) : 0))
            return false;
    }
    const std::uint64_t blipStart = out.offset();
    if (!blip.write(out))
        return false;
    // The size field counts the embedded blip; an entry whose blip lies
    // elsewhere (at foDelay of the document stream) keeps its own.
    if (blip.present() || blip.jpeg) {
        const std::uint64_t blipSize = out.offset() - blipStart;
        if (blipSize > kMaxRecLen)
            return false;
        Store32(fixed.data() + 20, static_cast<std::uint32_t>(blipSize));
    }
    {
        StreamOut fixedOut = out;
        fixedOut.seek(start + kRecordHeaderSize);
        if (!fixedOut.put(fixed.data(), fixed.size()))
            return false;
    }
    const std::uint64_t len = out.offset() - start - kRecordHeaderSize;
    if (len > kMaxRecLen)
        return false;
    recLen = static_cast<std::uint32_t>(len);
    setVer(2);
    setInstance(btWin32());
    return out.patch32(start, header) && out.patch32(start + 4, recLen);
}

void OfficeArtFBSE::resetFields()
{
    fixed = {};
    name.clear();
    blip.reset();
}

// IMsoArray writers

std::size_t MsoArraySize(std::size_t count, std::uint16_t cbElem)
{
    return 6 + count * (cbElem == 0xFFF0 ? 4 : cbElem);
}

namespace {

template <class T, class Put>
bool WriteMsoArray(std::uint8_t* buffer, std::size_t size, const std::vector<T>& elems, std::uint16_t cbElem, Put put)
{
    const std::uint64_t n = elems.size();
    const std::uint64_t each = cbElem == 0xFFF0 ? 4 : cbElem;
    if (n > 0xFFFF || 6 + n * each > size)
        return false;
    Store16(buffer, static_cast<std::uint16_t>(n));
    Store16(buffer + 2, static_cast<std::uint16_t>(n));
    Store16(buffer + 4, cbElem);
    std::uint8_t* p = buffer + 6;
    for (const T& e : elems) {
        put(p, e, cbElem == 0xFFF0, static_cast<std::size_t>(each));
        p += each;
    }
    return true;
}

// Writes up to `width` little-endian bytes of v, zero-filling the rest.
void PutWide(std::uint8_t* p, std::uint64_t v, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        p[i] = i < 8 ? static_cast<std::uint8_t>(v >> (8 * i)) : 0;
}

} // namespace

bool writeMsoArray16(std::uint8_t* buffer, std::size_t size, const std::vector<std::uint16_t>& elems,
                     std::uint16_t cbElem)
{
    return WriteMsoArray(buffer, size, elems, cbElem, [](std::uint8_t* p, std::uint16_t v, bool packed, std::size_t w) {
        if (packed) {
            Store16(p, v);
            Store16(p + 2, 0);
        } else {
            PutWide(p, v, w);
        }
    });
}

bool writeMsoArrayPoints(std::uint8_t* buffer, std::size_t size, const std::vector<MsoPoint>& elems,
                         std::uint16_t cbElem)
{
    return WriteMsoArray(buffer, size, elems, cbElem, [](std::uint8_t* p, const MsoPoint& v, bool packed, std::size_t w) {
        if (packed) {
            Store16(p, static_cast<std::uint16_t>(v.x));
            Store16(p + 2, static_cast<std::uint16_t>(v.y));
        } else {
            const std::size_t half = w / 2;
            PutWide(p, static_cast<std::uint32_t>(v.x), half);
            PutWide(p + half, static_cast<std::uint32_t>(v.y), w - half);
        }
    });
}

bool writeMsoArray32(std::uint8_t* buffer, std::size_t size, const std::vector<std::uint32_t>& elems,
                     std::uint16_t cbElem)
{
    return WriteMsoArray(buffer, size, elems, cbElem, [](std::uint8_t* p, std::uint32_t v, bool packed, std::size_t w) {
        if (packed) {
            Store16(p, static_cast<std::uint16_t>(v));
            Store16(p + 2, 0);
        } else {
            PutWide(p, v, w);
        }
    });
}

} // namespace scrivlet
