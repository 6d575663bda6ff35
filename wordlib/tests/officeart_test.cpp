// OfficeArt records and containers: reading untrusted record lengths and
// counts, absent records, the members a shape takes, the picture store and
// its blips, IMsoArray property data, and the drawing a document starts
// with.
#include "wordlib/cfbparser.h"
#include "wordlib/docdata.h"
#include "wordlib/fileobject.h"
#include "wordlib/officeartcontainers.h"
#include "wordlib/wordwriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

using namespace scrivlet;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A record: header (version, instance, type), the given length (the body's
// own length unless stated), the body.
Bytes Rec(unsigned ver, unsigned instance, std::uint16_t type, const Bytes& body, std::int64_t len = -1)
{
    Bytes b;
    Put16(b, static_cast<std::uint16_t>(ver | (instance << 4)));
    Put16(b, type);
    Put32(b, len < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(len));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Zeros(std::size_t n)
{
    return Bytes(n, 0);
}

Bytes Write(RecordBase& r)
{
    Bytes out;
    VectorSink sink(out);
    StreamOut o(sink, 0);
    EXPECT_TRUE(r.write(o));
    EXPECT_EQ(o.offset(), out.size());
    return out;
}

struct ReadCase {
    const char* name;
    std::function<RecordBase*()> make;
    Bytes bytes;
    bool ok;
    std::size_t consumed;
};

TEST(OfficeArtRead, LengthsAndCountsAreCheckedAgainstTheParent)
{
    const Bytes fsp = Rec(2, 75, kRtFSP, Cat({Zeros(8)}));
    const std::vector<ReadCase> cases = {
        {"record that fits", [] { return new OfficeArtFSP; }, fsp, true, 16},
        {"recLen past the bytes given", [] { return new OfficeArtFSP; }, Rec(2, 0, kRtFSP, Zeros(8), 9), false, 0},
        // 8 + recLen wraps to 0 in 32 bits.
        {"recLen 0xFFFFFFF8", [] { return new OfficeArtFSP; }, Rec(2, 0, kRtFSP, Zeros(8), 0xFFFFFFF8), false, 0},
        {"body longer than the class reads is skipped", [] { return new OfficeArtFSP; },
         Cat({Rec(2, 0, kRtFSP, Zeros(12)), Zeros(4)}), true, 20},
        {"body shorter than the class reads", [] { return new OfficeArtFSP; }, Rec(2, 0, kRtFSP, Zeros(6)), false, 0},
        {"another type is absent", [] { return new OfficeArtFSP; }, Rec(0, 0, kRtFDG, Zeros(8)), true, 0},
        {"fewer than 8 bytes is absent", [] { return new OfficeArtFSP; }, Zeros(7), true, 0},
        {"recLen 0 reads as an empty body", [] { return new OfficeArtFOPT; }, Rec(3, 0, kRtFOPT, {}), true, 8},
        {"FDGG cidcl beyond its body", [] { return new OfficeArtFDGGBlock; },
         Rec(0, 0, kRtFDGGBlock, Cat({Zeros(4), Bytes{0xFF, 0xFF, 0xFF, 0xFF}, Zeros(8)})), false, 0},
        {"FDGG with two IDCL pairs", [] { return new OfficeArtFDGGBlock; },
         Rec(0, 0, kRtFDGGBlock, Cat({Zeros(4), Bytes{3, 0, 0, 0}, Zeros(8), Zeros(16)})), true, 40},
        {"FOPT count beyond its body", [] { return new OfficeArtFOPT; }, Rec(3, 0xFFF, kRtFOPT, Zeros(12)), false, 0},
        {"colour list beyond its body", [] { return new OfficeArtColorMRUContainer; },
         Rec(0, 0xFFF, kRtColorMRUContainer, Zeros(8)), false, 0},
        {"child running past its parent", [] { return new OfficeArtSpContainer; },
         Rec(0xF, 0, kRtSpContainer, Rec(2, 0, kRtFSP, Zeros(8), 100)), false, 0},
        {"FBSE with an odd cbName", [] { return new OfficeArtFBSE; },
         Rec(2, 5, kRtFBSE, [] { Bytes b = Zeros(36); b[33] = 3; b.resize(39); return b; }()), false, 0},
        {"JPEG blip of instance 0x6E0", [] { return new OfficeArtBlipJPEG; }, Rec(0, 0x6E0, kRtBlipJPEG, Zeros(20)),
         false, 0},
        {"JPEG blip shorter than its prefix", [] { return new OfficeArtBlipJPEG; },
         Rec(0, 0x46B, kRtBlipJPEG, Zeros(20)), false, 0},
        {"group holding a record other than a group or shape", [] { return new OfficeArtSpgrContainer; },
         Rec(0xF, 0, kRtSpgrContainer, Rec(2, 0, kRtFSP, Zeros(8))), false, 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<RecordBase> r(c.make());
        ByteReader in(c.bytes);
        EXPECT_EQ(r->read(in), c.ok);
        if (c.ok) {
            EXPECT_EQ(c.bytes.size() - in.left(), c.consumed);
        }
    }
}

TEST(OfficeArtRead, NestedGroupsAreBounded)
{
    Bytes nested = Rec(0xF, 0, kRtSpgrContainer, {});
    for (int i = 0; i < 200; ++i)
        nested = Rec(0xF, 0, kRtSpgrContainer, nested);
    OfficeArtSpgrContainer group;
    ByteReader in(nested);
    EXPECT_FALSE(group.read(in));
}

TEST(OfficeArtRead, ShapeClientMembersTakeWhateverFollows)
{
    // A shape with only an OfficeArtClientData record holds it in its
    // client-anchor member.
    const Bytes bytes = Rec(0xF, 0, kRtSpContainer,
                            Cat({Rec(2, 0xCA, kRtFSP, Cat({Bytes{0x08, 0x04, 0, 0}, Bytes{0, 0x0A, 0, 0}})),
                                 Rec(0, 0, kRtClientData, Bytes{7, 0, 0, 0})}));
    OfficeArtSpContainer shape;
    ByteReader in(bytes);
    ASSERT_TRUE(shape.read(in));
    EXPECT_EQ(shape.shape.spid, 0x408u);
    EXPECT_EQ(shape.shape.recInstance(), 0xCA);
    EXPECT_TRUE(shape.clientAnchor.present());
    EXPECT_EQ(shape.clientAnchor.recType(), kRtClientData);
    EXPECT_EQ(shape.clientAnchor.value, 7u);
    EXPECT_FALSE(shape.clientData.present());
    // Written back as read.
    EXPECT_EQ(Write(shape), bytes);
}

TEST(OfficeArtRead, DrawingEndingAfterItsShapeHasNoReferencesOrSolver)
{
    const Bytes spgr = Rec(0xF, 0, kRtSpgrContainer, Rec(0xF, 0, kRtSpContainer, Rec(2, 0, kRtFSP, Zeros(8))));
    const Bytes bytes = Rec(0xF, 0, kRtDgContainer, Cat({Rec(0, 1, kRtFDG, Zeros(8)), spgr,
                                                          Rec(0xF, 0, kRtSpContainer, Rec(2, 0, kRtFSP, Zeros(8)))}));
    OfficeArtDgContainer dg;
    ByteReader in(bytes);
    ASSERT_TRUE(dg.read(in));
    EXPECT_TRUE(dg.shape.present());
    EXPECT_TRUE(dg.more.empty());
    EXPECT_FALSE(dg.solvers.present());
    EXPECT_EQ(dg.groupShape.members.size(), 1u);
    EXPECT_EQ(Write(dg), bytes);
}

TEST(OfficeArtPictureStore, UnknownEntriesAreKeptAndCounted)
{
    // recInstance 2: an FOPT-typed entry is kept with nothing read, so the
    // second entry reads the same header again, as a... FOPT again.
    const Bytes fopt = Rec(3, 0, kRtFOPT, {});
    OfficeArtBStoreContainer store;
    Bytes bytes = Rec(0xF, 2, kRtBStoreContainer, fopt);
    ByteReader in(bytes);
    ASSERT_TRUE(store.read(in));
    ASSERT_EQ(store.entries.size(), 2u);
    EXPECT_EQ(store.entries[0].recType, kRtFOPT);
    EXPECT_EQ(store.entries[1].recType, kRtFOPT);
    // Written: no bytes for the entries, recInstance still 2.
    const Bytes out = Write(store);
    EXPECT_EQ(out, Rec(0xF, 2, kRtBStoreContainer, {}));

    // Fewer than 8 bytes for an entry fail.
    Bytes shortStore = Rec(0xF, 1, kRtBStoreContainer, Zeros(4));
    ByteReader in2(shortStore);
    EXPECT_FALSE(OfficeArtBStoreContainer().read(in2));
}

TEST(OfficeArtPictureStore, BlipsWriteBackAndUnsupportedTypesAreSkippedNotFatal)
{
    const Bytes jpegBytes = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 0xFF, 0xD9};
    Bytes fixed = Zeros(36);
    fixed[0] = fixed[1] = 5;
    const Bytes jpegBlip = Rec(0, 0x46A, kRtBlipJPEG, Cat({Zeros(16), Bytes{0xFF}, jpegBytes}));
    Store32(fixed.data() + 20, static_cast<std::uint32_t>(jpegBlip.size()));
    const Bytes fbse = Rec(2, 5, kRtFBSE, Cat({fixed, jpegBlip}));
    const Bytes emf = Rec(0, 0x3D4, 0xF01A, Zeros(60));
    const Bytes png = Rec(0, 0x6E0, 0xF01E, Cat({Zeros(17), Bytes{0x89, 'P', 'N', 'G'}}));
    const Bytes storeBytes = Rec(0xF, 3, kRtBStoreContainer, Cat({emf, fbse, png}));

    OfficeArtBStoreContainer store;
    ByteReader in(storeBytes);
    ASSERT_TRUE(store.read(in));
    ASSERT_EQ(store.entries.size(), 3u);
    EXPECT_EQ(Write(store), storeBytes);

    // Picture extraction: the metafile is skipped, the pictures after it
    // are kept.
    std::vector<Bytes> pictures;
    for (const BStoreEntry& e : store.entries) {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
        if (e.picture() && e.picture()->pictureBytes(data, size))
            pictures.emplace_back(data, data + size);
    }
    EXPECT_EQ(pictures, (std::vector<Bytes>{jpegBytes, Bytes{0x89, 'P', 'N', 'G'}}));
}

TEST(OfficeArtPictureStore, DelayedBlipKeepsItsSizeAndEmptyNameWritesNothing)
{
    // An FBSE whose blip lies in the document stream (foDelay) and has no
    // name: written back byte for byte.
    Bytes fixed = Zeros(36);
    fixed[0] = fixed[1] = 5;
    Store32(fixed.data() + 20, 12345);   // size of the delayed blip
    Store32(fixed.data() + 28, 0x800);   // foDelay
    const Bytes fbse = Rec(2, 5, kRtFBSE, fixed);
    OfficeArtFBSE record;
    ByteReader in(fbse);
    ASSERT_TRUE(record.read(in));
    EXPECT_EQ(Write(record), fbse);
}

// A JPEG blip given a file path writes the file's bytes after its prefix;
// a file that cannot be opened fails the write.
TEST(OfficeArtWrite, JpegBlipFromAFile)
{
    const std::string path = TRANCEL_SOURCE_DIR "/wordlib/tests/fixtures/red.jpg";
    std::ifstream in(path, std::ios::binary);
    const Bytes jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(jpeg.size(), 100u);
    OfficeArtBlipJPEG blip;
    blip.markPresent();
    blip.setInstance(0x46A);
    blip.rgbUid1.fill(0x11);
    blip.picturePath = path;
    EXPECT_EQ(Write(blip), Rec(0, 0x46A, kRtBlipJPEG, Cat({Bytes(16, 0x11), Bytes{0xFF}, jpeg})));

    blip.picturePath = path + ".missing";
    Bytes out;
    VectorSink sink(out);
    StreamOut o(sink, 0);
    EXPECT_FALSE(blip.write(o));
}

TEST(OfficeArtWrite, AbsentRecordWritesNothing)
{
    Bytes out(3, 0xAA);
    VectorSink sink(out);
    StreamOut o(sink, 3);
    OfficeArtFSP fsp;
    fsp.spid = 5;
    EXPECT_TRUE(fsp.write(o));
    OfficeArtSpContainer sp;
    EXPECT_TRUE(sp.write(o));
    EXPECT_EQ(o.offset(), 3u);
    EXPECT_EQ(out.size(), 3u);
}

TEST(OfficeArtWrite, MsoArrays)
{
    struct Case {
        const char* name;
        std::function<bool(std::uint8_t*, std::size_t)> write;
        std::size_t size;
        Bytes expected;
    };
    const std::vector<MsoPoint> three = {{1, 2}, {-1, 300}, {70000, 0}};
    const std::vector<Case> cases = {
        {"three points in 4 bytes each", [&](std::uint8_t* b, std::size_t n) { return writeMsoArrayPoints(b, n, three, 0xFFF0); },
         18, Bytes{3, 0, 3, 0, 0xF0, 0xFF, 1, 0, 2, 0, 0xFF, 0xFF, 0x2C, 1, 0x70, 0x11, 0, 0}},
        {"points at full width", [&](std::uint8_t* b, std::size_t n) { return writeMsoArrayPoints(b, n, {{1, 2}}, 8); },
         14, Bytes{1, 0, 1, 0, 8, 0, 1, 0, 0, 0, 2, 0, 0, 0}},
        {"16-bit values packed", [](std::uint8_t* b, std::size_t n) { return writeMsoArray16(b, n, {0x4000, 0x8000}, 0xFFF0); },
         14, Bytes{2, 0, 2, 0, 0xF0, 0xFF, 0, 0x40, 0, 0, 0, 0x80, 0, 0}},
        {"segment infos of 2 bytes", [](std::uint8_t* b, std::size_t n) { return writeMsoArray16(b, n, {0x4000, 0x8000}, 2); },
         10, Bytes{2, 0, 2, 0, 2, 0, 0, 0x40, 0, 0x80}},
        {"32-bit values packed", [](std::uint8_t* b, std::size_t n) { return writeMsoArray32(b, n, {0x12345678}, 0xFFF0); },
         10, Bytes{1, 0, 1, 0, 0xF0, 0xFF, 0x78, 0x56, 0, 0}},
        {"dash lengths of 4 bytes", [](std::uint8_t* b, std::size_t n) { return writeMsoArray32(b, n, {3, 1}, 4); },
         14, Bytes{2, 0, 2, 0, 4, 0, 3, 0, 0, 0, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes buf(c.size, 0xEE);
        ASSERT_TRUE(c.write(buf.data(), buf.size()));
        EXPECT_EQ(buf, c.expected);
        // One byte less does not fit.
        Bytes small(c.size - 1, 0xEE);
        EXPECT_FALSE(c.write(small.data(), small.size()));
        EXPECT_EQ(small, Bytes(c.size - 1, 0xEE));
    }
    EXPECT_EQ(MsoArraySize(3, 0xFFF0), 18u);
}

TEST(OfficeArtDrawing, ShapeIdsStartAt1032)
{
    DocData doc;
    doc.initDrawingGroup();
    std::vector<std::uint32_t> ids;
    std::vector<std::uint32_t> seen;
    for (int i = 0; i < 3; ++i) {
        std::uint32_t id = 0;
        ASSERT_TRUE(doc.addTextBoxShape(id, [&](OfficeArtSpContainer& s, std::uint32_t spid) {
            seen.push_back(spid);
            s.shape.markPresent();
            s.shape.spid = spid;
        }));
        ids.push_back(id);
    }
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1032, 1033, 1034}));
    EXPECT_EQ(seen, ids);
    const OfficeArtDgContainer& dg = doc.officeArt.drawings.at(0).container;
    EXPECT_EQ(dg.drawing.spidCur, 1034u);
    EXPECT_EQ(dg.drawing.recInstance(), 1);
    EXPECT_EQ(dg.groupShape.members.size(), 4u);
    const OfficeArtFDGGBlock& fdgg = doc.officeArt.group.fdgg;
    EXPECT_EQ(fdgg.spidMax, 4096u);
    EXPECT_EQ(fdgg.cspSaved, 4u);
    ASSERT_EQ(fdgg.idcls.size(), 1u);
    EXPECT_EQ(fdgg.idcls[0].cspidCur, 4u);

    // The drawing data written and read back holds the same shapes.
    Bytes bytes;
    VectorSink sink(bytes);
    StreamOut out(sink, 0);
    ASSERT_TRUE(writeOfficeArtContent(doc.officeArt, out));
    OfficeArtContent back;
    ASSERT_TRUE(readOfficeArtContent(ByteReader(bytes), back));
    ASSERT_EQ(back.drawings.size(), 1u);
    const auto& members = back.drawings[0].container.groupShape.members;
    ASSERT_EQ(members.size(), 4u);
    EXPECT_EQ(members[0].shape()->shape.spid, 1031u);
    EXPECT_EQ(members[0].shape()->shape.flags, 5u);
    EXPECT_EQ(members[3].shape()->shape.spid, 1034u);
    EXPECT_EQ(back.group.fdgg.idcls, fdgg.idcls);
}

TEST(OfficeArtScan, PictureRecordsOfAStream)
{
    const Bytes blip = Rec(0, 0x6E0, 0xF01E, Cat({Zeros(17), Bytes{1, 2, 3}}));
    auto reader = [](const Bytes& s) {
        return [&s](std::uint8_t* buf, std::uint64_t at, std::size_t n) {
            if (at > s.size() || n > s.size() - at)
                return false;
            std::copy(s.begin() + static_cast<std::ptrdiff_t>(at), s.begin() + static_cast<std::ptrdiff_t>(at + n), buf);
            return true;
        };
    };
    struct Case {
        const char* name;
        Bytes stream;
        bool descend;
        std::size_t entries;
    };
    const std::vector<Case> cases = {
        {"first record below 0xF000", Cat({Rec(0, 0, 0x0100, Zeros(4)), blip}), true, 0},
        {"FOPT skipped when descending", Cat({Rec(3, 0, kRtFOPT, Zeros(6)), blip}), true, 1},
        {"container stepped into", Rec(0xF, 1, kRtBStoreContainer, Cat({blip, blip})), true, 2},
        {"FOPT ends the scan without descending", Cat({Rec(3, 0, kRtFOPT, Zeros(6)), blip}), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<Bytes>> buffers;
        std::vector<BStoreEntry> found;
        EXPECT_TRUE(scanPictureRecords(0, c.stream.size(), nullptr, buffers, found, reader(c.stream), c.descend));
        EXPECT_EQ(found.size(), c.entries);
    }
    // A blip whose length runs past the stream fails before any buffer is
    // made for it.
    const Bytes huge = Rec(0, 0x6E0, 0xF01E, Zeros(4), 0x7FFFFFF0);
    std::vector<std::unique_ptr<Bytes>> buffers;
    std::vector<BStoreEntry> found;
    EXPECT_FALSE(scanPictureRecords(0, huge.size(), nullptr, buffers, found, reader(huge), true));
    EXPECT_TRUE(buffers.empty());
}

// The drawing data of a document LibreOffice saved with a text box and a
// floating JPEG picture reads and writes back byte for byte; the picture
// store's entry finds its JPEG in the document stream.
TEST(OfficeArtDocument, LibreOfficeDrawingRoundTrips)
{
    FileObjectPosix file;
    CFBParser cfb;
    cfb.setFile(&file);
    ASSERT_TRUE(file.open(TRANCEL_SOURCE_DIR "/wordlib/tests/fixtures/lo-drawing.doc", kFileReadExisting));
    ASSERT_TRUE(cfb.load());
    Bytes word;
    Bytes table;
    ASSERT_TRUE(cfb.readStream(cfb.findEntry(u"WordDocument"), word));
    ASSERT_TRUE(cfb.readStream(cfb.findEntry(u"1Table"), table));
    auto pairOf = [&word](std::size_t pair, std::uint32_t& fc, std::uint32_t& lcb) {
        fc = Load32(word.data() + 154 + 8 * pair);
        lcb = Load32(word.data() + 154 + 8 * pair + 4);
    };
    std::uint32_t fc = 0;
    std::uint32_t lcb = 0;
    pairOf(kFibDggInfo, fc, lcb);
    ASSERT_GT(lcb, 0u);
    ASSERT_LE(std::uint64_t{fc} + lcb, table.size());
    const Bytes dgg(table.begin() + fc, table.begin() + fc + lcb);

    OfficeArtContent content;
    ASSERT_TRUE(readOfficeArtContent(ByteReader(dgg), content));
    Bytes back;
    VectorSink sink(back);
    StreamOut out(sink, 0);
    ASSERT_TRUE(writeOfficeArtContent(content, out));
    EXPECT_EQ(back, dgg);

    // A text box (a client text box record) and a picture frame whose
    // picture is a JPEG of the picture store.
    ASSERT_FALSE(content.drawings.empty());
    int textBoxes = 0;
    int pictures = 0;
    std::function<void(const std::vector<ShapeRef>&)> walk = [&](const std::vector<ShapeRef>& refs) {
        for (const ShapeRef& r : refs) {
            if (r.group())
                walk(r.group()->members);
            else if (r.shape()) {
                textBoxes += r.shape()->clientTextbox.present() && r.shape()->clientTextbox.recType() == 0xF00D;
                pictures += r.shape()->opt.find(0x0104) != nullptr;
            }
        }
    };
    for (const OfficeArtDrawing& d : content.drawings)
        walk(d.container.groupShape.members);
    EXPECT_EQ(textBoxes, 1);
    EXPECT_EQ(pictures, 1);
    const auto& store = content.group.blipStore.entries;
    ASSERT_EQ(store.size(), 1u);
    ASSERT_EQ(store[0].recType, kRtFBSE);
    const OfficeArtFBSE& fbse = store[0].fbse;
    EXPECT_EQ(fbse.btWin32(), 5);
    const OfficeArtBlip* blip = store[0].picture();
    OfficeArtBlip delayed;
    if (!blip) {
        ASSERT_LE(std::uint64_t{fbse.foDelay()} + fbse.size(), word.size());
        ByteReader at(word.data() + fbse.foDelay(), fbse.size());
        ASSERT_TRUE(delayed.read(at));
        blip = &delayed;
    }
    const std::uint8_t* jpeg = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(blip->pictureBytes(jpeg, size));
    ASSERT_GT(size, 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(jpeg[size - 2], 0xFF);
    EXPECT_EQ(jpeg[size - 1], 0xD9);

    // The shape anchors too.
    pairOf(kFibPlcSpaMom, fc, lcb);
    ASSERT_GT(lcb, 0u);
    Plc<Fspa> spa;
    ASSERT_TRUE(readPlcSpa(ByteReader(table.data() + fc, lcb), spa));
    EXPECT_EQ(spa.items.size(), 2u);
    Bytes spaBack;
    VectorSink spaSink(spaBack);
    StreamOut spaOut(spaSink, 0);
    ASSERT_TRUE(writePlcSpa(spa, spaOut));
    EXPECT_EQ(spaBack, Bytes(table.begin() + fc, table.begin() + fc + lcb));
}

} // namespace
