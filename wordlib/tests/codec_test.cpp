// The structure codecs of Word documents: the edge cases of each format,
// byte-for-byte round trips of the tables of a document LibreOffice saved,
// and every prefix of valid data refused or read without overrunning it.

#include "wordlib/cfbparser.h"
#include "wordlib/dataentry.h"
#include "wordlib/fkp.h"
#include "wordlib/plc.h"
#include "wordlib/stsh.h"
#include "wordlib/sttb.h"
#include "wordlib/tests/memfile.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace scrivlet {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::initializer_list<int> v)
{
    Bytes out;
    for (int b : v)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

// Serializes through a StreamOut at offset 0.
Bytes Write(const std::function<bool(StreamOut&)>& write, bool* ok = nullptr)
{
    Bytes out;
    VectorSink sink(out);
    StreamOut w(sink, 0);
    const bool result = write(w);
    if (ok)
        *ok = result;
    else
        EXPECT_TRUE(result);
    return out;
}

// Feeds every prefix of `data` to `read` through a buffer of exactly that
// size, so that the sanitizers see any read past it; the whole data must
// read, and a prefix may read only when the reader stops before its end.
void EveryPrefix(const Bytes& data, const std::function<bool(ByteReader)>& read)
{
    ASSERT_TRUE(read(ByteReader(data)));
    for (std::size_t n = 0; n < data.size(); ++n) {
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[n ? n : 1]);
        std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n), copy.get());
        read(ByteReader(copy.get(), n));
    }
}

Sprm S(std::uint16_t code, Bytes operand)
{
    return Sprm{code, std::move(operand)};
}

TEST(Sprms, OperandSizesFollowTheirKind)
{
    struct Case {
        std::uint16_t code;
        Bytes operand;
        std::size_t size;
    };
    const std::vector<Case> cases = {
        {0x0835, B({1}), 3},                       // spra 0
        {0x2A3E, B({1}), 3},                       // spra 1
        {0x4A43, B({24, 0}), 4},                   // spra 2
        {0x6870, B({1, 2, 3, 0}), 6},              // spra 3
        {0x8411, B({0x10, 0}), 4},                 // spra 4
        {0xA413, B({0x20, 0}), 4},                 // spra 5
        {0xC615, B({4, 9, 9, 9, 9}), 7},           // spra 6, count byte 4
        {0xE634, B({1, 2, 3}), 5},                 // spra 7
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Sprm s = S(c.code, c.operand);
        EXPECT_EQ(SprmSize(s), c.size);
        const Bytes bytes = Write([&](StreamOut& w) { return writeSprm(s, w); });
        ASSERT_EQ(bytes.size(), c.size);
        Sprm back;
        ByteReader in(bytes);
        ASSERT_TRUE(readSprm(in, back));
        EXPECT_EQ(back, s);
        EXPECT_TRUE(in.atEnd());
        EveryPrefix(bytes, [](ByteReader r) {
            Sprm x;
            return readSprm(r, x);
        });
    }
    // An operand shorter than its code needs is not written.
    bool ok = true;
    Write([&](StreamOut& w) { return writeSprm(S(0x6870, B({1, 2})), w); }, &ok);
    EXPECT_FALSE(ok);
    Write([&](StreamOut& w) { return writeSprm(S(0xC615, B({4, 1})), w); }, &ok);
    EXPECT_FALSE(ok);
}

TEST(Sprms, PapxEntriesTakeTheirSizeForm)
{
    // istd and sprms of 5 bytes: cb 3 and the 5 bytes; of 6 bytes: 0, 3 and
    // the 6 bytes.
    PapxEntry five{7, {S(0x2461, B({0}))}, {}};
    Bytes out;
    ASSERT_TRUE(serializePapxInFkp(five, out));
    EXPECT_EQ(out, B({3, 7, 0, 0x61, 0x24, 0}));
    PapxEntry six{7, {S(0x4A43, B({24, 0}))}, {}};
    ASSERT_TRUE(serializePapxInFkp(six, out));
    EXPECT_EQ(out, B({0, 3, 7, 0, 0x43, 0x4A, 24, 0}));

    for (const PapxEntry& e : {five, six}) {
        ASSERT_TRUE(serializePapxInFkp(e, out));
        PapxEntry back;
        ByteReader in(out);
        ASSERT_TRUE(readPapxInFkp(in, back));
        EXPECT_EQ(back, e);
    }

    // A size one byte short: the sprm is read up to the page end, with a
    // warning; when it does not fit there either, the entry fails.
    const Bytes shortDeclared = B({2, 7, 0, 0x43, 0x4A, 24, 0});
    PapxEntry back;
    ByteReader in(shortDeclared);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(readPapxInFkp(in, back));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning: grpprlAndIstd in PapxInFkp incorrect size.\n");
    EXPECT_EQ(back.props, PropertyList{S(0x4A43, B({24, 0}))});
    const Bytes cut = B({2, 7, 0, 0x43, 0x4A, 24});
    ByteReader cutIn(cut);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readPapxInFkp(cutIn, back));
    testing::internal::GetCapturedStderr();
}

TEST(Sprms, SepxCountsItsBytes)
{
    const PropertyList sepx = {S(0xB01F, B({0xD0, 0x2E})), S(0xB020, B({0x40, 0x41}))};
    const Bytes bytes = Write([&](StreamOut& w) { return writeSepx(sepx, w); });
    EXPECT_EQ(bytes, B({8, 0, 0x1F, 0xB0, 0xD0, 0x2E, 0x20, 0xB0, 0x40, 0x41}));
    EveryPrefix(bytes, [&](ByteReader r) {
        PropertyList back;
        const bool ok = readSepx(r, back);
        if (ok) {
            EXPECT_EQ(back, sepx);
        }
        return ok;
    });
}

TEST(Fkps, PagesAreLaidOutAndReadBack)
{
    ChpxFkp chpx;
    chpx.fcs = {0, 10, 20, 30};
    chpx.lists = {{S(0x0835, B({1}))}, {}, {S(0x4A43, B({24, 0})), S(0x0836, B({1}))}};
    std::uint8_t page[kFkpSize];
    ASSERT_TRUE(writeChpxFkp(chpx, page));
    EXPECT_EQ(page[511], 3);
    EXPECT_EQ(Load32(page + 12), 30u);
    // Offsets after 4 FCs and 3 offset bytes (byte 19): lists from byte 20.
    EXPECT_EQ(page[16], 10);
    EXPECT_EQ(page[17], 0);   // a run without properties
    EXPECT_EQ(page[18], 12);
    EXPECT_EQ(page[20], 3);
    EXPECT_EQ(page[24], 7);

    ChpxFkp back;
    ASSERT_TRUE(readChpxFkp(page, back));
    EXPECT_EQ(back.fcs, chpx.fcs);
    ASSERT_EQ(back.runList.size(), 3u);
    for (std::size_t r = 0; r < 3; ++r)
        EXPECT_EQ(back.lists[back.runList[r]], chpx.lists[r]);
    std::uint8_t again[kFkpSize];
    ASSERT_TRUE(writeChpxFkp(back, again));
    EXPECT_EQ(0, std::memcmp(page, again, kFkpSize));

    // Shared lists are stored once.
    ChpxFkp shared;
    shared.fcs = {0, 5, 9};
    shared.lists = {{S(0x0835, B({1}))}};
    shared.runList = {0, 0};
    ASSERT_TRUE(writeChpxFkp(shared, page));
    EXPECT_EQ(page[12], page[13]);
    EXPECT_NE(page[12], 0);

    PapxFkp papx;
    papx.fcs = {0, 10, 30};
    papx.bx.resize(2);
    papx.bx[1].phe[0] = 0x55;
    papx.entries = {PapxEntry{0, {S(0x2461, B({1}))}, {}}, PapxEntry{3, {S(0x4A43, B({24, 0}))}, {}}};
    ASSERT_TRUE(writePapxFkp(papx, page));
    EXPECT_EQ(page[511], 2);
    const std::size_t bx = 12;
    EXPECT_EQ(page[bx], (bx + 26) / 2);   // first entry right after the BxPap array
    EXPECT_EQ(page[bx + 13 + 1], 0x55);
    EXPECT_EQ(page[bx + 26], 3);          // 5 bytes: cb 3
    PapxFkp pback;
    ASSERT_TRUE(readPapxFkp(page, pback));
    ASSERT_EQ(pback.runEntry.size(), 2u);
    EXPECT_EQ(pback.entries[pback.runEntry[0]], papx.entries[0]);
    EXPECT_EQ(pback.entries[pback.runEntry[1]], papx.entries[1]);
    EXPECT_EQ(pback.bx[1].phe, papx.bx[1].phe);
    ASSERT_TRUE(writePapxFkp(pback, again));
    EXPECT_EQ(0, std::memcmp(page, again, kFkpSize));
}

TEST(Fkps, BadCountsAndOverflowsAreRefused)
{
    std::uint8_t page[kFkpSize] = {};
    ChpxFkp chpx;
    PapxFkp papx;
    for (int crun : {0, 102}) {
        page[511] = static_cast<std::uint8_t>(crun);
        EXPECT_FALSE(readChpxFkp(page, chpx)) << crun;
    }
    for (int cpara : {0, 30}) {
        page[511] = static_cast<std::uint8_t>(cpara);
        EXPECT_FALSE(readPapxFkp(page, papx)) << cpara;
    }
    // Lists past the count byte fail the page.
    chpx = ChpxFkp{};
    chpx.fcs = {0, 1, 2};
    chpx.lists = {{S(0xC615, Bytes(250, 249))}, {S(0xC615, Bytes(250, 249))}};
    EXPECT_FALSE(writeChpxFkp(chpx, page));
    // Counts that disagree.
    chpx.lists.pop_back();
    EXPECT_FALSE(writeChpxFkp(chpx, page));
    chpx.runList = {0, 1};
    EXPECT_FALSE(writeChpxFkp(chpx, page));
    papx = PapxFkp{};
    papx.fcs = {0, 1};
    papx.entries.resize(1);
    EXPECT_FALSE(writePapxFkp(papx, page));   // no BxPap
    papx.bx.resize(1);
    EXPECT_TRUE(writePapxFkp(papx, page));
    papx.fcs.assign(31, 0);
    papx.bx.resize(30);
    papx.entries.resize(30);
    EXPECT_FALSE(writePapxFkp(papx, page));

    // Entries kept at the offsets of the page they were read from may not
    // overlap each other or the run table (a damaged page can ask for it).
    papx = PapxFkp{};
    papx.storedOffsets = true;
    papx.fcs = {0, 1, 2};
    papx.bx.resize(2);
    papx.bx[0].offset = 100;
    papx.bx[1].offset = 101;
    papx.entries = {PapxEntry{0, {S(0x4A43, B({24, 0}))}, {}}, PapxEntry{1, {}, {}}};
    papx.runEntry = {0, 1};
    EXPECT_FALSE(writePapxFkp(papx, page));
    papx.bx[1].offset = 110;
    EXPECT_TRUE(writePapxFkp(papx, page));
    papx.bx[1].offset = 10;
    EXPECT_FALSE(writePapxFkp(papx, page));
}

TEST(Plcs, ElementCountsFollowTheLength)
{
    // lcb 4: one CP, no element.
    const Bytes one = B({7, 0, 0, 0});
    Plc<Sed> sed;
    ASSERT_TRUE(readPlcfSed(ByteReader(one), sed));
    EXPECT_EQ(sed.cps, std::vector<std::uint32_t>{7});
    EXPECT_TRUE(sed.items.empty());
    EXPECT_FALSE(readPlcfSed(ByteReader(one.data(), 3), sed));

    Plc<Fspa> spa;
    spa.cps = {0, 5, 9};
    spa.items.resize(2);
    spa.items[0].spid = 1032;
    spa.items[1].yaBottom = -3;
    spa.items[1].flags = 0x60;
    const Bytes bytes = Write([&](StreamOut& w) { return writePlcSpa(spa, w); });
    EXPECT_EQ(bytes.size(), 3 * 4 + 2 * Fspa::kSize);
    Plc<Fspa> back;
    ASSERT_TRUE(readPlcSpa(ByteReader(bytes), back));
    EXPECT_EQ(back, spa);
    spa.cps.pop_back();
    bool ok = true;
    Write([&](StreamOut& w) { return writePlcSpa(spa, w); }, &ok);
    EXPECT_FALSE(ok);
}

TEST(Plcs, ClxHoldsPrcsThenPieces)
{
    Clx clx;
    clx.prcs = {{S(0x0835, B({1}))}};
    clx.pieces.cps = {0, 12};
    clx.pieces.items.resize(1);
    clx.pieces.items[0].fc = 900;
    const Bytes bytes = Write([&](StreamOut& w) { return writeClx(clx, w); });
    EXPECT_EQ(bytes, B({1, 3, 0, 0x35, 0x08, 1, 2, 16, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0x84, 3, 0, 0, 0, 0}));
    EveryPrefix(bytes, [&](ByteReader r) {
        Clx back;
        const bool ok = readClx(r, back);
        if (ok) {
            EXPECT_EQ(back.prcs, clx.prcs);
            EXPECT_EQ(back.pieces, clx.pieces);
        }
        return ok;
    });
    // A Prc of 16290 bytes of sprms is written, one of 16291 fails; the
    // Pcdt marker must be 2.
    Clx big;
    big.pieces.cps = {0};
    big.prcs = {PropertyList(5430, S(0x0835, B({1})))};
    bool ok = false;
    Write([&](StreamOut& w) { return writeClx(big, w); }, &ok);
    EXPECT_TRUE(ok);
    big.prcs[0].back() = S(0x4A43, B({24, 0}));
    Write([&](StreamOut& w) { return writeClx(big, w); }, &ok);
    EXPECT_FALSE(ok);
    Clx marker;
    marker.pieces.cps = {0};
    marker.pcdtClxt = 1;
    Write([&](StreamOut& w) { return writeClx(marker, w); }, &ok);
    EXPECT_FALSE(ok);
}

// A paragraph style with a UpxPapx and a UpxChpx of 3 bytes, a character
// style, and an empty slot.
StyleSheet SmallStyleSheet(bool withLsd)
{
    StyleSheet stsh;
    Store16(stsh.stshif.data(), 3);        // cstd
    Store16(stsh.stshif.data() + 2, 10);   // cbSTDBaseInFile
    Store16(stsh.stshif.data() + 6, 2);    // stiMaxWhenSaved
    stsh.hasLsd = withLsd;
    if (withLsd) {
        stsh.ftcBi = 1;
        stsh.lsds = {0x11, 0x22};
    }
    Std para;
    para.empty = false;
    Store16(para.base.data() + 2, 1);      // stk paragraph
    Store16(para.base.data() + 4, 2);      // cupx 2
    para.name = u"Normal";
    para.upxs = {Upx{0, {S(0x2461, B({0}))}}, Upx{0, {S(0x0835, B({1}))}}};
    Std chr;
    chr.empty = false;
    Store16(chr.base.data(), 0x41);
    Store16(chr.base.data() + 2, 2);       // stk character
    Store16(chr.base.data() + 4, 1);
    chr.name = u"Strong";
    chr.upxs = {Upx{0, {S(0x4A43, B({24, 0}))}}};
    stsh.styles = {para, Std{}, chr};
    return stsh;
}

TEST(StyleSheets, ReadAndWriteTheirParts)
{
    for (bool withLsd : {false, true}) {
        SCOPED_TRACE(withLsd);
        const StyleSheet stsh = SmallStyleSheet(withLsd);
        const Bytes bytes = Write([&](StreamOut& w) { return writeStsh(stsh, w); });
        // cbStshi 18: no ftcBi and no LSD table.
        EXPECT_EQ(Load16(bytes.data()), withLsd ? 18 + 4 + 8 : 18);
        StyleSheet back;
        ASSERT_TRUE(readStsh(ByteReader(bytes), back));
        EXPECT_EQ(back, stsh);
        EXPECT_EQ(Write([&](StreamOut& w) { return writeStsh(back, w); }), bytes);
        EveryPrefix(bytes, [](ByteReader r) {
            StyleSheet x;
            return readStsh(r, x);
        });
    }

    const StyleSheet stsh = SmallStyleSheet(false);
    // An empty slot is two bytes of cbStd 0.
    EXPECT_EQ(Write([&](StreamOut& w) { return writeStd(Std{}, 10, w); }), B({0, 0}));
    // A UpxChpx of 3 bytes is followed by one zero pad byte.
    const Bytes para = Write([&](StreamOut& w) { return writeStd(stsh.styles[0], 10, w); });
    const std::size_t chpxAt = 2 + 10 + 2 + 12 + 2 + 2 + 5 + 1;
    EXPECT_EQ(Load16(para.data() + chpxAt), 3);
    ASSERT_EQ(para.size(), chpxAt + 2 + 3 + 1);
    EXPECT_EQ(para.back(), 0);
    EXPECT_EQ(Load16(para.data()), para.size() - 2);

    // A character style without UPXs is refused; an unknown kind too, when
    // read or written; so is a base size other than 10 or 18.
    Std noUpx = stsh.styles[2];
    Store16(noUpx.base.data() + 4, 0);
    noUpx.upxs.clear();
    bool ok = true;
    Write([&](StreamOut& w) { return writeStd(noUpx, 10, w); }, &ok);
    EXPECT_FALSE(ok);
    Std unknown = stsh.styles[2];
    Store16(unknown.base.data() + 2, 5);
    Write([&](StreamOut& w) { return writeStd(unknown, 10, w); }, &ok);
    EXPECT_FALSE(ok);
    Bytes bad = Write([&](StreamOut& w) { return writeStd(stsh.styles[2], 10, w); });
    bad[2 + 2] = 5;
    Std x;
    ByteReader badIn(bad);
    EXPECT_FALSE(readStd(badIn, 10, x));
    StyleSheet wrongBase = stsh;
    Store16(wrongBase.stshif.data() + 2, 12);
    Write([&](StreamOut& w) { return writeStsh(wrongBase, w); }, &ok);
    EXPECT_FALSE(ok);
}

TEST(StyleSheets, RevisionMarkedUpxsNeedTheirMarker)
{
    Std para = SmallStyleSheet(false).styles[0];
    Store16(para.base.data() + 4, 3);   // cupx 3: the revision-marked pair follows
    para.hasRevision = true;
    para.revision.data = {1, 2, 3, 4, 5, 6};
    para.revision.papx = Upx{2, {}};
    para.revision.chpx = Upx{0, {S(0x0836, B({1}))}};
    const Bytes bytes = Write([&](StreamOut& w) { return writeStd(para, 18, w); });
    Std back;
    ByteReader in(bytes);
    ASSERT_TRUE(readStd(in, 18, back));
    EXPECT_EQ(back, para);
    para.revision.marker = 7;
    bool ok = true;
    Write([&](StreamOut& w) { return writeStd(para, 18, w); }, &ok);
    EXPECT_FALSE(ok);
}

TEST(StringTables, BothFormsAndFontEntries)
{
    Sttb assoc;
    assoc.cData = 3;
    assoc.entries = {SttbEntry{"", u"", {}}, SttbEntry{"", u"Title \u00e9", {}}, SttbEntry{"", u"x", {}}};
    const Bytes w = Write([&](StreamOut& o) { return writeSttbW(assoc, o); });
    EXPECT_EQ(Load16(w.data()), 0xFFFF);
    Sttb back;
    ASSERT_TRUE(readSttbW(ByteReader(w), back));
    EXPECT_EQ(back, assoc);
    EveryPrefix(w, [](ByteReader r) {
        Sttb x;
        return readSttbW(r, x);
    });
    // The extended form must start with 0xFFFF.
    Bytes zero = w;
    zero[0] = zero[1] = 0;
    EXPECT_FALSE(readSttbW(ByteReader(zero), back));

    // 8-bit form: an empty string is its count byte alone; extra data
    // follows every string.
    Sttb fonts;
    fonts.fExtend = 0;
    fonts.cData = 2;
    fonts.cbExtra = 2;
    fonts.entries = {SttbEntry{"", u"", {9, 8}}, SttbEntry{"abc", u"", {7, 6}}};
    const Bytes n = Write([&](StreamOut& o) { return writeSttb(fonts, o); });
    EXPECT_EQ(n, B({2, 0, 2, 0, 0, 9, 8, 3, 'a', 'b', 'c', 7, 6}));
    ASSERT_TRUE(readSttb(ByteReader(n), back));
    EXPECT_EQ(back, fonts);
    EveryPrefix(n, [](ByteReader r) {
        Sttb x;
        return readSttb(r, x);
    });
    // A count that disagrees with the strings is not written.
    fonts.cData = 3;
    bool ok = true;
    Write([&](StreamOut& o) { return writeSttb(fonts, o); }, &ok);
    EXPECT_FALSE(ok);

    Ffn ffn;
    ffn.head[0] = 0x26;
    ffn.head[4] = 6;   // an alternative name follows
    ffn.name = u"Arial";
    ffn.altName = u"Helv";
    const Bytes f = writeFfn(ffn);
    EXPECT_EQ(f.size(), 39u + 12 + 10);
    Ffn fback;
    ASSERT_TRUE(readFfn(ByteReader(f), fback));
    EXPECT_EQ(fback, ffn);
    EveryPrefix(f, [](ByteReader r) {
        Ffn x;
        return readFfn(r, x);
    });
}

Bytes WriteMoniker(const HyperlinkMoniker& m)
{
    return Write([&](StreamOut& o) { return writeHyperlinkMoniker(m, o); });
}

HyperlinkMoniker MakeUrl(const std::u16string& url)
{
    HyperlinkMoniker m{kUrlMonikerId, std::make_unique<URLMoniker>()};
    static_cast<URLMoniker&>(*m.moniker).url = url;
    return m;
}

TEST(Hyperlinks, StringsAndMonikers)
{
    // Count 5 whose third unit is 0: two units kept, all five consumed.
    const Bytes str = B({5, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 'c', 0, 'd', 0, 0xEE});
    std::u16string s;
    ByteReader in(str);
    ASSERT_TRUE(readHyperlinkString(in, s));
    EXPECT_EQ(s, u"ab");
    EXPECT_EQ(in.left(), 1u);
    EveryPrefix(Bytes(str.begin(), str.end() - 1), [](ByteReader r) {
        std::u16string x;
        return readHyperlinkString(r, x);
    });

    // An unknown class id reads as an empty moniker.
    Bytes unknown(16, 0x42);
    HyperlinkMoniker m;
    ByteReader uin(unknown);
    ASSERT_TRUE(readHyperlinkMoniker(m, uin));
    EXPECT_FALSE(m.moniker);
    EXPECT_TRUE(uin.atEnd());

    // A URL: its length counts the characters, the 0 and the trailing block.
    HyperlinkMoniker url = MakeUrl(u"http://x.org/");
    auto& u = static_cast<URLMoniker&>(*url.moniker);
    u.trailingFields = 3;
    Bytes bytes = WriteMoniker(url);
    EXPECT_EQ(Load32(bytes.data() + 16), 2 * 14 + 24u);
    ByteReader urlIn(bytes);
    ASSERT_TRUE(readHyperlinkMoniker(m, urlIn));
    EXPECT_EQ(static_cast<URLMoniker&>(*m.moniker).url, u"http://x.org/");
    EXPECT_EQ(static_cast<URLMoniker&>(*m.moniker).trailingFields, 0u);
    EXPECT_TRUE(urlIn.atEnd());

    // A file moniker with an empty wide path ends after its 28-byte block.
    HyperlinkMoniker file{kFileMonikerId, std::make_unique<FileMoniker>()};
    static_cast<FileMoniker&>(*file.moniker).ansiPath = "a.doc";
    bytes = WriteMoniker(file);
    ASSERT_EQ(bytes.size(), 16 + 6 + 6 + 28u);
    EXPECT_EQ(Load32(bytes.data() + bytes.size() - 4), 0u);

    // A composite of a file and an item moniker.
    HyperlinkMoniker composite{kCompositeMonikerId, std::make_unique<CompositeMoniker>()};
    auto& parts = static_cast<CompositeMoniker&>(*composite.moniker).parts;
    static_cast<FileMoniker&>(*file.moniker).unicodePath = u"\u00e4.doc";
    parts.push_back(std::move(file));
    HyperlinkMoniker item{kItemMonikerId, std::make_unique<ItemMoniker>()};
    auto& it = static_cast<ItemMoniker&>(*item.moniker);
    it.delimiter = "!";
    it.item = "mark";
    it.hasWideItem = true;
    it.wideItem = u"mark";
    parts.push_back(std::move(item));
    bytes = WriteMoniker(composite);
    EXPECT_EQ(Load32(bytes.data() + 16), 2u);
    const std::size_t fileSize = 16 + 6 + 6 + 28 + 6 + 10;
    EXPECT_TRUE(std::equal(kFileMonikerId.begin(), kFileMonikerId.end(), bytes.begin() + 20));
    EXPECT_TRUE(std::equal(kItemMonikerId.begin(), kItemMonikerId.end(), bytes.begin() + 20 + fileSize));
    EXPECT_EQ(bytes.size(), 20 + fileSize + 16 + (4 + 2) + (4 + 5 + 10));
    ByteReader cin(bytes);
    ASSERT_TRUE(readHyperlinkMoniker(m, cin));
    ASSERT_TRUE(cin.atEnd());
    EXPECT_EQ(WriteMoniker(m), bytes);
    EveryPrefix(bytes, [](ByteReader r) {
        HyperlinkMoniker x;
        return readHyperlinkMoniker(x, r);
    });

    // Composites nested deeper than a few levels are refused.
    Bytes deep;
    for (int i = 0; i < 100; ++i) {
        deep.insert(deep.end(), kCompositeMonikerId.begin(), kCompositeMonikerId.end());
        deep.insert(deep.end(), {1, 0, 0, 0});
    }
    ByteReader din(deep);
    EXPECT_FALSE(readHyperlinkMoniker(m, din));
}

TEST(Hyperlinks, DataEntryLengthCoversHeaderFieldDataAndObject)
{
    HyperlinkDataEntry entry;
    entry.header[6] = 0x64;
    entry.hfdBits = 2;
    entry.hfdClassId[0] = 0xD0;
    entry.object.flags = kHlHasMoniker | kHlHasLocation | kHlHasDisplayName;
    entry.object.displayName = u"shown";
    entry.object.location = u"bm0";
    entry.object.moniker = MakeUrl(u"https://example.com/");
    const Bytes object = Write([&](StreamOut& o) { return writeHyperlinkObject(entry.object, o); });
    const Bytes bytes = Write([&](StreamOut& o) { return writeHyperlinkData(entry, o); });
    EXPECT_EQ(Load32(bytes.data()), 4 + 64 + 17 + object.size());
    EXPECT_EQ(bytes.size(), Load32(bytes.data()));
    EXPECT_EQ(Load16(bytes.data() + 4), 0x44);

    HyperlinkDataEntry back;
    ByteReader in(bytes);
    ASSERT_TRUE(readHyperlinkData(in, kFieldHyperlink, back));
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(back.object.location, u"bm0");
    EXPECT_EQ(static_cast<URLMoniker&>(*back.object.moniker.moniker).url, u"https://example.com/");
    EXPECT_EQ(Write([&](StreamOut& o) { return writeHyperlinkData(back, o); }), bytes);
    EveryPrefix(bytes, [](ByteReader r) {
        HyperlinkDataEntry x;
        return readHyperlinkData(r, kFieldHyperlink, x);
    });
    // Other fields keep only the header and skip the rest.
    ByteReader other(bytes);
    ASSERT_TRUE(readHyperlinkData(other, 0x25, back));
    EXPECT_TRUE(other.atEnd());
    EXPECT_FALSE(back.object.moniker.moniker);
}

} // namespace
} // namespace scrivlet
