#include "wordlib/officeartcontainers.h"

#include <new>

namespace scrivlet {

namespace {

// Containers nest (groups in groups); deeper nesting is refused, so that a
// hostile drawing cannot exhaust the stack.
constexpr int kMaxGroupDepth = 32;
thread_local int groupDepth = 0;

struct DepthGuard {
    bool ok;
    DepthGuard() : ok(++groupDepth <= kMaxGroupDepth) {}
    ~DepthGuard() { --groupDepth; }
};

void ContainerHeader(RecordBase& r)
{
    r.setVer(0xF);
    r.setInstance(0);
}

bool IsBlipType(std::uint32_t type)
{
    return type >= kRtBlipFirst && type <= kRtBlipLast;
}

} // namespace

// ShapeRef

ShapeRef::ShapeRef(const ShapeRef& o) : recType(o.recType)
{
    if (auto* s = o.shape())
        record = std::make_unique<OfficeArtSpContainer>(*s);
    else if (auto* g = o.group())
        record = std::make_unique<OfficeArtSpgrContainer>(*g);
}

ShapeRef& ShapeRef::operator=(const ShapeRef& o)
{
    if (this != &o) {
        ShapeRef copy(o);
        *this = std::move(copy);
    }
    return *this;
}

ShapeRef::~ShapeRef() = default;

OfficeArtSpContainer* ShapeRef::shape() const
{
    return recType == kRtSpContainer ? static_cast<OfficeArtSpContainer*>(record.get()) : nullptr;
}

OfficeArtSpgrContainer* ShapeRef::group() const
{
    return recType == kRtSpgrContainer ? static_cast<OfficeArtSpgrContainer*>(record.get()) : nullptr;
}

bool readShapeOrGroup(ByteReader& in, ShapeRef& ref)
{
    ref = ShapeRef{};
    std::uint32_t h = 0;
    std::uint32_t len = 0;
    if (!PeekRecordHeader(in, h, len))
        return false;
    std::unique_ptr<RecordBase> record;
    const std::uint16_t type = RecTypeOf(h);
    if (type == kRtSpgrContainer)
        record = std::make_unique<OfficeArtSpgrContainer>();
    else if (type == kRtSpContainer)
        record = std::make_unique<OfficeArtSpContainer>();
    else
        return false;
    if (!record->read(in))
        return false;
    ref.recType = type;
    ref.record = std::move(record);
    return true;
}

bool writeShapeOrGroup(ShapeRef& ref, StreamOut& out)
{
    return !ref.record || ref.record->write(out);
}

// OfficeArtSpgrContainer

bool OfficeArtSpgrContainer::readBody(ByteReader& body)
{
    members.clear();
    DepthGuard depth;
    if (!depth.ok)
        return false;
    while (!body.atEnd()) {
        ShapeRef ref;
        if (!readShapeOrGroup(body, ref))
            return false;
        members.push_back(std::move(ref));
    }
    return true;
}

bool OfficeArtSpgrContainer::writeBody(StreamOut& out)
{
    for (ShapeRef& ref : members) {
        if (!writeShapeOrGroup(ref, out))
            return false;
    }
    return true;
}

void OfficeArtSpgrContainer::finishHeader()
{
    ContainerHeader(*this);
}

// OfficeArtSpContainer

std::vector<RecordBase*> OfficeArtSpContainer::parts()
{
    return {&groupRect,     &shape,      &fpspl,         &opt,           &secondaryOpt,  &tertiaryOpt,
            &childAnchor,   &clientAnchor, &clientData, &clientTextbox, &secondaryOpt2, &tertiaryOpt2};
}

bool OfficeArtSpContainer::readBody(ByteReader& body)
{
    for (RecordBase* r : parts()) {
        r->reset();
        if (!r->read(body))
            return false;
    }
    return true;
}

bool OfficeArtSpContainer::writeBody(StreamOut& out)
{
    for (RecordBase* r : parts()) {
        if (!r->write(out))
            return false;
    }
    return true;
}

void OfficeArtSpContainer::finishHeader()
{
    ContainerHeader(*this);
}

void OfficeArtSpContainer::resetFields()
{
    for (RecordBase* r : parts())
        r->reset();
}

// OfficeArtSolverContainer

bool OfficeArtSolverContainer::readBody(ByteReader& body)
{
    rules.clear();
    for (unsigned i = 0; i < recInstance(); ++i) {
        SolverRuleEntry e;
        std::uint32_t h = 0;
        std::uint32_t len = 0;
        if (!PeekRecordHeader(body, h, len))
            return false;
        e.recType = RecTypeOf(h);
        bool ok = true;
        if (e.recType == kRtFConnectorRule)
            ok = e.connector.read(body);
        else if (e.recType == kRtFArcRule)
            ok = e.arc.read(body);
        else if (e.recType == kRtFCalloutRule)
            ok = e.callout.read(body);
        if (!ok)
            return false;
        rules.push_back(std::move(e));
    }
    return true;
}

bool OfficeArtSolverContainer::writeBody(StreamOut& out)
{
    for (SolverRuleEntry& e : rules) {
        bool ok = true;
        if (e.recType == kRtFConnectorRule)
            ok = e.connector.write(out);
        else if (e.recType == kRtFArcRule)
            ok = e.arc.write(out);
        else if (e.recType == kRtFCalloutRule)
            ok = e.callout.write(out);
        if (!ok)
            return false;
    }
    return true;
}

void OfficeArtSolverContainer::finishHeader()
{
    setVer(0xF);
    setInstance(static_cast<unsigned>(rules.size()));
}

// Picture store

bool BStoreEntry::write(StreamOut& out)
{
    if (recType == kRtFBSE)
        return fbse.write(out);
    if (IsBlipType(recType))
        return blip.write(out);
    return true;
}

const OfficeArtBlip* BStoreEntry::picture() const
{
    if (recType == kRtFBSE)
        return fbse.blip.present() ? &fbse.blip : nullptr;
    if (IsBlipType(recType))
        return blip.present() ? &blip : nullptr;
    return nullptr;
}

bool OfficeArtBStoreContainer::readBody(ByteReader& body)
{
    entries.clear();
    for (unsigned i = 0; i < recInstance(); ++i) {
        BStoreEntry e;
        std::uint32_t h = 0;
        std::uint32_t len = 0;
        if (!PeekRecordHeader(body, h, len))
            return false;
        e.recType = RecTypeOf(h);
        if (e.recType == kRtFBSE) {
            if (!e.fbse.read(body))
                return false;
        } else if (IsBlipType(e.recType)) {
            if (!e.blip.read(body))
                return false;
        }
        // An entry of another type is kept with nothing read.
        entries.push_back(std::move(e));
    }
    return true;
}

bool OfficeArtBStoreContainer::writeBody(StreamOut& out)
{
    for (BStoreEntry& e : entries) {
        if (!e.write(out))
            return false;
    }
    return true;
}

void OfficeArtBStoreContainer::finishHeader()
{
    setVer(0xF);
    setInstance(static_cast<unsigned>(entries.size()));
}

// OfficeArtDggContainer

bool OfficeArtDggContainer::readBody(ByteReader& body)
{
    RecordBase* members[] = {&fdgg, &blipStore, &opt, &tertiaryOpt, &colorMru, &splitColors};
    for (RecordBase* r : members) {
        r->reset();
        if (!r->read(body))
            return false;
    }
    return true;
}

bool OfficeArtDggContainer::writeBody(StreamOut& out)
{
    RecordBase* members[] = {&fdgg, &blipStore, &opt, &tertiaryOpt, &colorMru, &splitColors};
    for (RecordBase* r : members) {
        if (!r->write(out))
            return false;
    }
    return true;
}

void OfficeArtDggContainer::finishHeader()
{
    ContainerHeader(*this);
}

void OfficeArtDggContainer::resetFields()
{
    RecordBase* members[] = {&fdgg, &blipStore, &opt, &tertiaryOpt, &colorMru, &splitColors};
    for (RecordBase* r : members)
        r->reset();
}

// OfficeArtDgContainer

bool OfficeArtDgContainer::readBody(ByteReader& body)
{
    resetFields();
    RecordBase* first[] = {&drawing, &regroupItems, &groupShape, &shape};
    for (RecordBase* r : first) {
        if (!r->read(body))
            return false;
    }
    while (!body.atEnd()) {
        std::uint32_t h = 0;
        std::uint32_t len = 0;
        if (!PeekRecordHeader(body, h, len) || kRecordHeaderSize + static_cast<std::uint64_t>(len) > body.left())
            return false;
        const std::uint16_t type = RecTypeOf(h);
        if (type != kRtSpgrContainer && type != kRtSpContainer)
            break;
        ShapeRef ref;
        if (!readShapeOrGroup(body, ref))
            return false;
        more.push_back(std::move(ref));
    }
    return solvers.read(body);
}

bool OfficeArtDgContainer::writeBody(StreamOut& out)
{
    RecordBase* first[] = {&drawing, &regroupItems, &groupShape, &shape};
    for (RecordBase* r : first) {
        if (!r->write(out))
            return false;
    }
    for (ShapeRef& ref : more) {
        if (!writeShapeOrGroup(ref, out))
            return false;
    }
    return solvers.write(out);
}

void OfficeArtDgContainer::finishHeader()
{
    ContainerHeader(*this);
}

void OfficeArtDgContainer::resetFields()
{
    RecordBase* members[] = {&drawing, &regroupItems, &groupShape, &shape, &solvers};
    for (RecordBase* r : members)
        r->reset();
    more.clear();
}

// OfficeArtContent

void OfficeArtContent::clear()
{
    group.reset();
    drawings.clear();
    buffer.clear();
    buffer.shrink_to_fit();
    nextShapeId = 0;
    ccpText = 0;
    ccpTxbx = 0;
}

bool readOfficeArtContent(ByteReader in, OfficeArtContent& out)
{
    out.group.reset();
    out.drawings.clear();
    if (!out.group.read(in))
        return false;
    while (!in.atEnd()) {
        OfficeArtDrawing d;
        if (!in.u8(d.dgglbl))
            return false;
        // A label must be followed by a drawing.
        if (!d.container.matches(in) || !d.container.read(in))
            return false;
        out.drawings.push_back(std::move(d));
    }
    return true;
}

bool writeOfficeArtContent(OfficeArtContent& content, StreamOut& out)
{
    if (!content.group.write(out))
        return false;
    for (OfficeArtDrawing& d : content.drawings) {
        if (!out.u8(d.dgglbl) || !d.container.write(out))
            return false;
    }
    return true;
}

// Picture scanning

namespace {

// Reads the whole record at `offset` into a buffer of its own; its length
// is checked against the stream before anything is allocated.
bool ReadWholeRecord(std::uint64_t offset, std::uint64_t streamSize, const StreamReadFn& read,
                     std::vector<std::unique_ptr<std::vector<std::uint8_t>>>& buffers, ByteReader& record)
{
    std::uint8_t head[kRecordHeaderSize];
    if (offset > streamSize || streamSize - offset < kRecordHeaderSize || !read(head, offset, sizeof head))
        return false;
    const std::uint64_t total = kRecordHeaderSize + static_cast<std::uint64_t>(Load32(head + 4));
    if (total > streamSize - offset)
        return false;
    auto buffer = std::make_unique<std::vector<std::uint8_t>>();
    try {
        buffer->resize(static_cast<std::size_t>(total));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!read(buffer->data(), offset, buffer->size()))
        return false;
    record = ByteReader(buffer->data(), buffer->size());
    buffers.push_back(std::move(buffer));
    return true;
}

} // namespace

bool scanPictureRecords(std::uint64_t offset, std::uint64_t streamSize, RecordBase* first,
                        std::vector<std::unique_ptr<std::vector<std::uint8_t>>>& buffers,
                        std::vector<BStoreEntry>& target, const StreamReadFn& read, bool descend)
{
    if (!descend && first) {
        ByteReader record;
        if (!ReadWholeRecord(offset, streamSize, read, buffers, record))
            return false;
        const std::size_t size = record.left();
        if (!first->matches(record) || !first->read(record))
            return false;
        offset += size;
    }
    for (;;) {
        std::uint8_t head[kRecordHeaderSize];
        if (offset > streamSize || streamSize - offset < kRecordHeaderSize || !read(head, offset, sizeof head))
            return true;
        const std::uint32_t h = Load32(head);
        const std::uint16_t type = RecTypeOf(h);
        const std::uint64_t total = kRecordHeaderSize + static_cast<std::uint64_t>(Load32(head + 4));
        if (descend && (h & 0xF) == 0xF) {
            offset += kRecordHeaderSize;
            continue;
        }
        if (type == kRtFBSE || IsBlipType(type)) {
            ByteReader record;
            if (!ReadWholeRecord(offset, streamSize, read, buffers, record))
                return false;
            BStoreEntry e;
            e.recType = type;
            const bool ok = type == kRtFBSE ? e.fbse.read(record) : e.blip.read(record);
            if (!ok)
                return false;
            target.push_back(std::move(e));
            offset += total;
            continue;
        }
        if (descend && type >= 0xF000) {
            offset += total;
            continue;
        }
        return true;
    }
}

bool writeShapeAndBlips(OfficeArtSpContainer& shape, std::vector<BStoreEntry>& blips, StreamOut& out)
{
    if (!shape.write(out))
        return false;
    for (BStoreEntry& e : blips) {
        if (!e.write(out))
            return false;
    }
    return true;
}

} // namespace scrivlet
