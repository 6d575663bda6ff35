// OfficeArt containers: the drawing group (with the picture store), a
// drawing, shape groups, shapes and solver rules, as records holding
// records, and the drawing data of a Word document (OfficeArtContent).
// Members are read in their fixed order, each only when the record at the
// cursor is of its type, and written in the same order; absent members
// write nothing.
#pragma once

#include "wordlib/officeart.h"

#include <functional>
#include <memory>
#include <vector>

namespace scrivlet {

class OfficeArtSpgrContainer;
class OfficeArtSpContainer;

// A member of a shape group or drawing: a group or a shape, owned.
struct ShapeRef {
    std::uint32_t recType = 0;   // kRtSpgrContainer or kRtSpContainer
    std::unique_ptr<RecordBase> record;

    ShapeRef() = default;
    ShapeRef(const ShapeRef& o);
    ShapeRef& operator=(const ShapeRef& o);
    ShapeRef(ShapeRef&&) noexcept = default;
    ShapeRef& operator=(ShapeRef&&) noexcept = default;
    ~ShapeRef();

    OfficeArtSpContainer* shape() const;
    OfficeArtSpgrContainer* group() const;
};

// Needs 8 bytes; a group or a shape is created and read into `ref`; any
// other record type, or a failed read, gives false and an empty reference.
bool readShapeOrGroup(ByteReader& in, ShapeRef& ref);
// An empty reference writes nothing.
bool writeShapeOrGroup(ShapeRef& ref, StreamOut& out);

class OfficeArtSpgrContainer : public RecordBase {
public:
    std::vector<ShapeRef> members;

    void setType() override { setRecType(kRtSpgrContainer); }

protected:
    std::uint16_t classType() const override { return kRtSpgrContainer; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override { members.clear(); }
};

class OfficeArtSpContainer : public RecordBase {
public:
    OfficeArtFSPGR groupRect;
    OfficeArtFSP shape;
    OfficeArtFPSPL fpspl;
    OfficeArtFOPT opt;
    OfficeArtSecondaryFOPT secondaryOpt;
    OfficeArtTertiaryFOPT tertiaryOpt;
    OfficeArtChildAnchor childAnchor;
    OfficeArtClientAnchor clientAnchor;
    OfficeArtClientData clientData;
    OfficeArtClientTextbox clientTextbox;
    OfficeArtSecondaryFOPT secondaryOpt2;
    OfficeArtTertiaryFOPT tertiaryOpt2;

    void setType() override { setRecType(kRtSpContainer); }

protected:
    std::uint16_t classType() const override { return kRtSpContainer; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override;

private:
    std::vector<RecordBase*> parts();
};

// One solver rule; the rule named by recType is the one used.
struct SolverRuleEntry {
    std::uint32_t recType = 0;
    OfficeArtFCalloutRule callout;
    OfficeArtFArcRule arc;
    OfficeArtFConnectorRule connector;
};

class OfficeArtSolverContainer : public RecordBase {
public:
    std::vector<SolverRuleEntry> rules;

    void setType() override { setRecType(kRtSolverContainer); }

protected:
    std::uint16_t classType() const override { return kRtSolverContainer; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override { rules.clear(); }
};

// One picture-store entry: an FBSE (recType 0xF007, with the blip inside)
// or a bare blip (0xF018 to 0xF117); other types are kept, with nothing.
struct BStoreEntry {
    std::uint32_t recType = 0;
    OfficeArtFBSE fbse;
    OfficeArtBlip blip;

    // Writes the FBSE or the blip of its type; others write nothing.
    bool write(StreamOut& out);
    // The blip of the entry (the FBSE's embedded one for an FBSE); null
    // when the entry holds none.
    const OfficeArtBlip* picture() const;
};

class OfficeArtBStoreContainer : public RecordBase {
public:
    std::vector<BStoreEntry> entries;

    void setType() override { setRecType(kRtBStoreContainer); }

protected:
    std::uint16_t classType() const override { return kRtBStoreContainer; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override { entries.clear(); }
};

class OfficeArtDggContainer : public RecordBase {
public:
    OfficeArtFDGGBlock fdgg;
    OfficeArtBStoreContainer blipStore;
    OfficeArtFOPT opt;
    OfficeArtTertiaryFOPT tertiaryOpt;
    OfficeArtColorMRUContainer colorMru;
    OfficeArtSplitMenuColorContainer splitColors;

    void setType() override { setRecType(kRtDggContainer); }

protected:
    std::uint16_t classType() const override { return kRtDggContainer; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override;
};

class OfficeArtDgContainer : public RecordBase {
public:
    OfficeArtFDG drawing;
    OfficeArtFRITContainer regroupItems;
    OfficeArtSpgrContainer groupShape;   // the drawing's shapes
    OfficeArtSpContainer shape;          // the drawing's own (background) shape
    std::vector<ShapeRef> more;          // shapes and groups after it
    OfficeArtSolverContainer solvers;

    void setType() override { setRecType(kRtDgContainer); }

protected:
    std::uint16_t classType() const override { return kRtDgContainer; }
    bool readBody(ByteReader& body) override;
    bool writeBody(StreamOut& out) override;
    void finishHeader() override;
    void resetFields() override;
};

// A drawing of a document and the story it belongs to (0 main document,
// 1 headers).
struct OfficeArtDrawing {
    std::uint8_t dgglbl = 0;
    OfficeArtDgContainer container;
};

// The drawing data of a Word document (the table stream's DggInfo).
struct OfficeArtContent {
    OfficeArtDggContainer group;
    std::vector<OfficeArtDrawing> drawings;
    // The bytes the content was parsed from, which its records view.
    std::vector<std::uint8_t> buffer;
    std::uint32_t nextShapeId = 0;
    std::uint32_t ccpText = 0;
    std::uint32_t ccpTxbx = 0;

    void clear();
};

// The drawing group container, then pairs of dgglbl byte and drawing
// container until the reader is at its end. The records view `in`'s bytes.
bool readOfficeArtContent(ByteReader in, OfficeArtContent& out);
bool writeOfficeArtContent(OfficeArtContent& content, StreamOut& out);

// Reads `length` bytes at `offset` of a stream into `buffer`; false when
// they cannot be read.
using StreamReadFn = std::function<bool(std::uint8_t* buffer, std::uint64_t offset, std::size_t length)>;

// Collects picture-store records from a stream, starting at `offset`.
// Without `descend`, one whole record is first read into `scratch` and
// parsed by `first` (a picture shape, say), and the scan goes on behind
// it. Then records are read one after the other: FBSEs and blips become
// entries of `target`, each read into a buffer of its own that the entry
// views (kept in `buffers`); with `descend`, containers are stepped into and
// other OfficeArt records skipped whole; any other record ends the scan
// with true. A record that cannot be read whole or parsed gives false.
// A record's length is checked against `streamSize` before anything is
// allocated.
bool scanPictureRecords(std::uint64_t offset, std::uint64_t streamSize, RecordBase* first,
                        std::vector<std::unique_ptr<std::vector<std::uint8_t>>>& buffers,
                        std::vector<BStoreEntry>& target, const StreamReadFn& read, bool descend);

// A picture shape followed by its picture-store entries.
bool writeShapeAndBlips(OfficeArtSpContainer& shape, std::vector<BStoreEntry>& blips, StreamOut& out);

} // namespace scrivlet
