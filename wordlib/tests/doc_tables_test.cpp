// The tables of a .doc that LibreOffice saved, read and written again: the
// piece table, the formatted disk pages, the string tables, the PLCs and the
// hyperlink data entries come back byte for byte; the style sheet as this
// library writes it.

#include "wordlib/cfbparser.h"
#include "wordlib/dataentry.h"
#include "wordlib/fkp.h"
#include "wordlib/plc.h"
#include "wordlib/stsh.h"
#include "wordlib/sttb.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

namespace scrivlet {
namespace {

using Bytes = std::vector<std::uint8_t>;

// FIB pairs (fc, lcb) by their index in FibRgFcLcb97.
enum Pair {
    kStshf = 1, kPlcfSed = 6, kPlcfBteChpx = 12, kPlcfBtePapx = 13, kSttbfFfn = 15, kPlcfFldMom = 16,
    kSttbfBkmk = 21, kPlcfBkf = 22, kDop = 31, kSttbfAssoc = 32, kClx = 33, kPlcSpaMom = 40,
    kPlcftxbxTxt = 56, kPlcfFldTxbx = 57, kPlcfTxbxBkd = 75,
};

struct Doc {
    Bytes word, table, data;

    ByteReader pair(int index) const
    {
        // FibBase, csw and FibRgW97, cslw and FibRgLw97, cbRgFcLcb.
        std::size_t at = 32;
        at += 2 + 2 * std::size_t{Load16(word.data() + at)};
        at += 2 + 4 * std::size_t{Load16(word.data() + at)};
        at += 2 + 8 * static_cast<std::size_t>(index);
        const std::uint32_t fc = Load32(word.data() + at);
        const std::uint32_t lcb = Load32(word.data() + at + 4);
        EXPECT_LE(std::uint64_t{fc} + lcb, table.size()) << "pair " << index;
        return ByteReader(table.data() + fc, lcb);
    }
    Bytes bytes(int index) const
    {
        const ByteReader r = pair(index);
        return Bytes(r.pos(), r.pos() + r.left());
    }
};

Doc LoadDoc(const std::string& path)
{
    FileObjectPosix file;
    CFBParser parser;
    parser.setFile(&file);
    Doc doc;
    EXPECT_TRUE(file.open(path, kFileReadExisting));
    EXPECT_TRUE(parser.load());
    EXPECT_TRUE(parser.readStream(parser.findEntry(u"WordDocument"), doc.word));
    EXPECT_TRUE(parser.readStream(parser.findEntry(u"1Table"), doc.table));
    EXPECT_TRUE(parser.readStream(parser.findEntry(u"Data"), doc.data));
    return doc;
}

template <class F>
Bytes Written(F write)
{
    Bytes out;
    VectorSink sink(out);
    StreamOut w(sink, 0);
    EXPECT_TRUE(write(w));
    return out;
}

const Doc& Fixture()
{
    static const Doc doc = LoadDoc(TRANCEL_SOURCE_DIR "/wordlib/tests/fixtures/lo-writer.doc");
    return doc;
}

TEST(LibreOfficeDoc, PieceTableAndPlcsRoundTrip)
{
    const Doc& doc = Fixture();
    Clx clx;
    ByteReader in = doc.pair(kClx);
    ASSERT_TRUE(readClx(in, clx));
    EXPECT_TRUE(in.atEnd());
    ASSERT_FALSE(clx.pieces.items.empty());
    EXPECT_EQ(Written([&](StreamOut& w) { return writeClx(clx, w); }), doc.bytes(kClx));

    auto roundTrip = [&](int index, auto plc, auto read, auto write) {
        SCOPED_TRACE(index);
        ASSERT_GT(doc.pair(index).left(), 0u);
        ASSERT_TRUE(read(doc.pair(index), plc));
        EXPECT_FALSE(plc.items.empty());
        EXPECT_EQ(Written([&](StreamOut& w) { return write(plc, w); }), doc.bytes(index));
    };
    roundTrip(kPlcfSed, Plc<Sed>{}, readPlcfSed, writePlcfSed);
    roundTrip(kPlcfBteChpx, Plc<Elem4>{}, readPlc4, writePlc4);
    roundTrip(kPlcfBtePapx, Plc<Elem4>{}, readPlc4, writePlc4);
    roundTrip(kPlcfFldMom, Plc<Fld>{}, readPlcFld, writePlcFld);
    roundTrip(kPlcfBkf, Plc<Elem4>{}, readPlc4, writePlc4);
    roundTrip(kPlcSpaMom, Plc<Fspa>{}, readPlcSpa, writePlcSpa);
    roundTrip(kPlcftxbxTxt, Plc<Ftxbxs>{}, readPlcftxbxTxt, writePlcftxbxTxt);
    roundTrip(kPlcfTxbxBkd, Plc<Tbkd>{}, readPlcfTxbxBkd, writePlcfTxbxBkd);
}

TEST(LibreOfficeDoc, FormattedDiskPagesRoundTrip)
{
    const Doc& doc = Fixture();
    for (int pair : {kPlcfBteChpx, kPlcfBtePapx}) {
        Plc<Elem4> bte;
        ASSERT_TRUE(readPlc4(doc.pair(pair), bte));
        ASSERT_FALSE(bte.items.empty());
        for (const Elem4& pn : bte.items) {
            SCOPED_TRACE(pn.value);
            const std::size_t at = std::size_t{pn.value & 0x3FFFFF} * kFkpSize;
            ASSERT_LE(at + kFkpSize, doc.word.size());
            const std::uint8_t* page = doc.word.data() + at;
            std::uint8_t again[kFkpSize];
            if (pair == kPlcfBteChpx) {
                ChpxFkp fkp;
                ASSERT_TRUE(readChpxFkp(page, fkp));
                ASSERT_TRUE(writeChpxFkp(fkp, again));
            } else {
                PapxFkp fkp;
                ASSERT_TRUE(readPapxFkp(page, fkp));
                ASSERT_TRUE(writePapxFkp(fkp, again));
            }
            EXPECT_EQ(Bytes(page, page + kFkpSize), Bytes(again, again + kFkpSize));
        }
        // The fixture's 160 formatted runs need more than one character page.
        if (pair == kPlcfBteChpx) {
            EXPECT_GE(bte.items.size(), 2u);
        }
    }
}

TEST(LibreOfficeDoc, StringTablesAndFontsRoundTrip)
{
    const Doc& doc = Fixture();
    Sttb fonts;
    ASSERT_TRUE(readSttb(doc.pair(kSttbfFfn), fonts));
    ASSERT_GE(fonts.entries.size(), 2u);
    EXPECT_EQ(Written([&](StreamOut& w) { return writeSttb(fonts, w); }), doc.bytes(kSttbfFfn));
    std::set<std::u16string> names;
    for (const SttbEntry& e : fonts.entries) {
        Ffn ffn;
        const Bytes bytes(e.bytes.begin(), e.bytes.end());
        ASSERT_TRUE(readFfn(ByteReader(bytes), ffn));
        EXPECT_EQ(writeFfn(ffn), bytes);
        names.insert(ffn.name);
    }
    EXPECT_TRUE(names.count(u"DejaVu Sans"));

    // LibreOffice writes no associated strings; the bookmark names are an
    // extended table too.
    EXPECT_EQ(doc.pair(kSttbfAssoc).left(), 0u);
    Sttb bookmarks;
    ASSERT_TRUE(readSttbW(doc.pair(kSttbfBkmk), bookmarks));
    EXPECT_EQ(Written([&](StreamOut& w) { return writeSttbW(bookmarks, w); }), doc.bytes(kSttbfBkmk));
    bool mark = false;
    for (const SttbEntry& e : bookmarks.entries)
        mark = mark || e.text == u"mark";
    EXPECT_TRUE(mark);
}

TEST(LibreOfficeDoc, StyleSheetReadsAndWritesStably)
{
    const Doc& doc = Fixture();
    StyleSheet stsh;
    ASSERT_TRUE(readStsh(doc.pair(kStshf), stsh));
    ASSERT_GT(stsh.styles.size(), 10u);
    const Bytes written = Written([&](StreamOut& w) { return writeStsh(stsh, w); });
    StyleSheet back;
    ASSERT_TRUE(readStsh(ByteReader(written), back));
    EXPECT_EQ(back, stsh);
    EXPECT_EQ(Written([&](StreamOut& w) { return writeStsh(back, w); }), written);
    bool normal = false;
    for (const Std& s : stsh.styles)
        normal = normal || s.name == u"Normal";
    EXPECT_TRUE(normal);
    // The style sheet as LibreOffice wrote it, where it uses only what this
    // library writes.
    EXPECT_EQ(written, doc.bytes(kStshf));
}

// Every prefix of each table is refused or read without a read past it
// (the sanitizers watch a buffer of exactly the prefix's size).
TEST(LibreOfficeDoc, EveryPrefixOfEachTableIsSafe)
{
    const Doc& doc = Fixture();
    const std::vector<std::pair<int, std::function<bool(ByteReader)>>> tables = {
        {kClx, [](ByteReader r) { Clx x; return readClx(r, x); }},
        {kStshf, [](ByteReader r) { StyleSheet x; return readStsh(r, x); }},
        {kSttbfFfn, [](ByteReader r) { Sttb x; return readSttb(r, x); }},
        {kSttbfBkmk, [](ByteReader r) { Sttb x; return readSttbW(r, x); }},
        {kPlcSpaMom, [](ByteReader r) { Plc<Fspa> x; return readPlcSpa(r, x); }},
        {kPlcfSed, [](ByteReader r) { Plc<Sed> x; return readPlcfSed(r, x); }},
        {kPlcfFldMom, [](ByteReader r) { Plc<Fld> x; return readPlcFld(r, x); }},
    };
    for (const auto& [pair, read] : tables) {
        SCOPED_TRACE(pair);
        const Bytes whole = doc.bytes(pair);
        ASSERT_TRUE(read(ByteReader(whole)));
        for (std::size_t n = 0; n < whole.size(); ++n) {
            std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[n ? n : 1]);
            std::copy(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n), copy.get());
            read(ByteReader(copy.get(), n));
        }
    }
}

// The hyperlink data entries that the character runs point to: a run with
// sprmCFData holds the entry's offset in sprmCPicLocation.
TEST(LibreOfficeDoc, HyperlinkDataEntriesRoundTrip)
{
    const Doc& doc = Fixture();
    Plc<Elem4> bte;
    ASSERT_TRUE(readPlc4(doc.pair(kPlcfBteChpx), bte));
    std::set<std::uint32_t> offsets;
    for (const Elem4& pn : bte.items) {
        ChpxFkp fkp;
        ASSERT_TRUE(readChpxFkp(doc.word.data() + std::size_t{pn.value & 0x3FFFFF} * kFkpSize, fkp));
        for (const PropertyList& list : fkp.lists) {
            std::uint32_t location = 0;
            bool data = false, found = false;
            for (const Sprm& s : list) {
                data = data || s.sprm == 0x0806;
                if (s.sprm == 0x6A03) {
                    location = Load32(s.operand.data());
                    found = true;
                }
            }
            if (data && found)
                offsets.insert(location);
        }
    }
    ASSERT_FALSE(offsets.empty());
    std::set<std::u16string> targets;
    for (std::uint32_t at : offsets) {
        SCOPED_TRACE(at);
        ASSERT_LT(at, doc.data.size());
        ByteReader in(doc.data.data() + at, doc.data.size() - at);
        HyperlinkDataEntry entry;
        ASSERT_TRUE(readHyperlinkData(in, kFieldHyperlink, entry));
        const Bytes original(doc.data.data() + at, in.pos());
        EXPECT_EQ(Written([&](StreamOut& w) { return writeHyperlinkData(entry, w); }), original);
        if (entry.object.moniker.moniker && entry.object.moniker.clsid == kUrlMonikerId) {
            targets.insert(static_cast<URLMoniker&>(*entry.object.moniker.moniker).url);
        }
        if (entry.object.flags & kHlHasLocation) {
            targets.insert(entry.object.location);
        }
    }
    EXPECT_TRUE(targets.count(u"https://example.com/page?q=1"));
    EXPECT_TRUE(targets.count(u"mark"));
}

} // namespace
} // namespace scrivlet
