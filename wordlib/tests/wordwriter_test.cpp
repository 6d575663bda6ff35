// The Word 97-2003 writer: documents filled by hand as the builder fills
// them, checked by independent readers (olefile for the streams, antiword,
// wvHtml and LibreOffice for the text, LibreOffice's ODT for pictures and
// links), the default data files, and the writer's own refusals.
#include "wordlib/wordreader.h"
#include "wordlib/wordwriter.h"

#include "docfill.h"
#include "memfile.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace scrivlet;
using namespace scrivlet::testfill;
using testutil::Quote;


namespace {

const std::string kOleStreams = TRANCEL_SOURCE_DIR "/wordlib/tests/ole_streams.py";
const std::string kDataDir = TRANCEL_BINARY_DIR "/lib/Data/";

// The streams of a compound file by name, as olefile reads them.
std::map<std::string, std::string> Streams(const std::string& file)
{
    testutil::TempDir dir;
    int status = 0;
    const std::string list =
        testutil::Run("/usr/bin/python3 " + Quote(kOleStreams) + " " + Quote(file) + " " + Quote(dir.str()), &status);
    std::map<std::string, std::string> out;
    if (status != 0)
        return out;
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t tab = line.find('\t');
        const std::string hex = line.substr(tab + 1);
        std::string name;
        for (std::size_t i = 0; i + 3 < hex.size(); i += 4)
            name.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        out[name] = testutil::ReadFile(dir.path() / line.substr(0, tab));
    }
    return out;
}

std::uint32_t U32(const std::string& s, std::size_t at)
{
    return Load32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

constexpr std::size_t kPairs = 154;

std::uint32_t PairFc(const std::string& word, std::size_t pair)
{
    return U32(word, kPairs + 8 * pair);
}
std::uint32_t PairLcb(const std::string& word, std::size_t pair)
{
    return U32(word, kPairs + 8 * pair + 4);
}

// Saves a prepared, filled writer to `path`.
bool Save(WordBinaryFileWriter& w, const std::string& path)
{
    return w.save(path);
}

std::string Collapse(const std::string& s)
{
    std::string out;
    bool space = true;
    for (char c : s) {
        const bool ws = c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
        if (ws) {
            if (!space)
                out.push_back(' ');
            space = true;
        } else {
            out.push_back(c);
            space = false;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string AntiwordText(const std::string& path)
{
    return Collapse(testutil::Run("antiword -m UTF-8.txt -w 0 " + Quote(path) + " 2>/dev/null"));
}

std::string WvText(const std::string& path, const testutil::TempDir& dir)
{
    int status = 0;
    testutil::Run("cd " + Quote(dir.str()) + " && wvHtml --charset=utf-8 " + Quote(path) + " wv.html >/dev/null 2>&1", &status);
    if (status != 0)
        return std::string();
    // The body's text with its entities decoded, by Python's HTML module.
    return Collapse(testutil::Run(
        "/usr/bin/python3 -c 'import html,re,sys; t=open(sys.argv[1],encoding=\"utf-8\").read(); "
        "t=re.sub(r\"(?s)<!--.*?-->\",\" \",t); t=t[t.find(\"<body\"):]; "
        "print(html.unescape(re.sub(r\"<[^>]*>\",\" \",t)))' " +
        Quote(dir.str() + "wv.html")));
}

std::string LibreOffice(const std::string& path, const std::string& to, const testutil::TempDir& dir)
{
    const std::string out = dir.str() + "lo-" + to;
    testutil::Run("/usr/bin/soffice -env:UserInstallation=file://" + dir.str() + "lo-profile --headless --convert-to " +
        Quote(to) + " --outdir " + Quote(out) + " " + Quote(path) + " >/dev/null 2>&1");
    for (const auto& e : std::filesystem::directory_iterator(out))
        return e.path().string();
    return std::string();
}

TEST(WordWriterLayout, TextOnlyDocumentHasTwoStreamsFirstPageAt1024AndWordDop)
{
    testutil::TempDir dir;
    // 61 characters and the paragraph mark: the longest text whose pages
    // still start at 1024.
    const std::u16string text = std::u16string(61, u'x') + u"\r";
    WordBinaryFileWriter w;
    ASSERT_TRUE(w.prepare(kDataDir));
    FillText(w, {{text, {}}}, true);
    const std::string path = dir.str() + "short.doc";
    ASSERT_TRUE(Save(w, path));

    const auto streams = Streams(path);
    std::vector<std::string> names;
    for (const auto& s : streams)
        names.push_back(s.first);
    EXPECT_EQ(names, (std::vector<std::string>{"1Table", "WordDocument"}));
    const std::string& word = streams.at("WordDocument");
    const std::string& table = streams.at("1Table");
    ASSERT_GE(word.size(), 1536u);

    EXPECT_EQ(Load16(reinterpret_cast<const std::uint8_t*>(word.data())), 0xA5EC);
    // The text right after the 900-byte FIB.
    EXPECT_EQ(word.substr(900, 4), std::string("x\0x\0", 4));
    // The first character page at 1024: PlcBteChpx's first page number.
    const std::uint32_t bte = PairFc(word, kFibPlcfBteChpx);
    ASSERT_EQ(PairLcb(word, kFibPlcfBteChpx), 12u);
    EXPECT_EQ(U32(table, bte + 8) * 512, 1024u);
    EXPECT_EQ(PairLcb(word, kFibDop), 500u);
    const std::uint32_t cbMac = U32(word, 64);
    EXPECT_EQ(cbMac % 512, 0u);
    const std::uint32_t sed = PairFc(word, kFibPlcfSed);
    EXPECT_GE(cbMac, U32(table, sed + 8 + 2));   // at least the SEPX's offset
    // No drawing, no Data: their pairs stay 0.
    for (std::size_t pair : {kFibDggInfo, kFibPlcSpaMom, kFibPlcftxbxTxt, kFibPlcfTxbxBkd, kFibStshfOrig}) {
        EXPECT_EQ(PairFc(word, pair), 0u) << pair;
        EXPECT_EQ(PairLcb(word, pair), 0u) << pair;
    }

    // One more character moves the pages to the next 512 boundary.
    WordBinaryFileWriter longer;
    ASSERT_TRUE(longer.prepare(kDataDir));
    FillText(longer, {{u"y" + text, {}}}, true);
    const std::string path2 = dir.str() + "longer.doc";
    ASSERT_TRUE(Save(longer, path2));
    const auto s2 = Streams(path2);
    EXPECT_EQ(U32(s2.at("1Table"), PairFc(s2.at("WordDocument"), kFibPlcfBteChpx) + 8) * 512, 1536u);
}

TEST(WordWriterLayout, EmptyDocumentKeepsAPieceTable)
{
    MemFile file;
    WordBinaryFileWriter w;
    ASSERT_TRUE(w.prepare(kDataDir));
    FillText(w, {}, true);
    w.setFile(&file);
    ASSERT_TRUE(w.save(""));
    EXPECT_EQ(w.clx.pieces.cps, (std::vector<std::uint32_t>{0, 0}));
}

struct OracleCase {
    const char* name;
    bool unicode;
    std::vector<testfill::Run> runs;
    std::string expected;
};

TEST(WordWriterOracles, AntiwordWvAndLibreOfficeReadTheText)
{
    const PropertyList bold = {Sprm{0x0835, {1}}};
    const std::vector<OracleCase> cases = {
        {"unicode", true,
         {{u"Hello ", {}}, {u"bold", bold}, {u" world.\r", {}}, {u"Grüße aus Köln, ½ €\r", {}}},
         "Hello bold world. Grüße aus Köln, ½ €"},
        {"eightbit", false,
         {{u"Plain ", {}}, {u"eight", bold}, {u" bit text.\r", {}}, {u"Grüße aus Köln, ½.\r", {}}},
         "Plain eight bit text. Grüße aus Köln, ½."},
    };
    for (const OracleCase& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        WordBinaryFileWriter w;
        ASSERT_TRUE(w.prepare(kDataDir));
        FillText(w, c.runs, c.unicode);
        const std::string path = dir.str() + c.name + ".doc";
        ASSERT_TRUE(Save(w, path));
        EXPECT_EQ(AntiwordText(path), c.expected);
        EXPECT_EQ(WvText(path, dir), c.expected);
        const std::string txt = LibreOffice(path, "txt:Text (encoded):UTF8", dir);
        ASSERT_FALSE(txt.empty());
        std::string lo = testutil::ReadFile(txt);
        if (lo.rfind("\xEF\xBB\xBF", 0) == 0)
            lo = lo.substr(3);
        EXPECT_EQ(Collapse(lo), c.expected);
    }
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    const std::string s = testutil::ReadFile(path);
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

// A HYPERLINK field to `url` showing `shown`, its object in the "Data"
// stream: the runs, the field PLC and the object entry.
std::vector<testfill::Run> AddLink(DocData& doc, const std::u16string& url, const std::u16string& shown,
                                   std::uint32_t at)
{
    ObjectEntry o;
    o.fieldKind = kFieldHyperlink;
    o.data.hfdClassId = {0xD0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11, 0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
    o.data.object.streamVersion = 2;
    o.data.object.flags = kHlHasMoniker | 0x02;
    o.data.object.moniker.clsid = kUrlMonikerId;
    auto moniker = std::make_unique<URLMoniker>();
    moniker->url = url;
    o.data.object.moniker.moniker = std::move(moniker);
    const auto index = static_cast<std::uint32_t>(doc.objects.size());
    doc.objects.push_back(std::move(o));
    doc.drawingContent = true;

    const std::u16string code = u" HYPERLINK \"" + url + u"\" ";
    const std::uint32_t sep = at + 1 + static_cast<std::uint32_t>(code.size()) + 1;
    const std::uint32_t end = sep + 1 + static_cast<std::uint32_t>(shown.size());
    doc.plcfFldMom.cps.insert(doc.plcfFldMom.cps.end(), {at, sep, end});
    doc.plcfFldMom.items.push_back(Fld{0x13, kFieldHyperlink});
    doc.plcfFldMom.items.push_back(Fld{0x14, 0xFF});
    doc.plcfFldMom.items.push_back(Fld{0x15, 0x80});
    const PropertyList object = {Sprm{kSprmCFData, {1}}, Op32(kSprmCPicLocation, index), Sprm{kSprmCFSpec, {1}}};
    return {{u"\x13", {}}, {code, {}}, {u"\x01", object}, {u"\x14" + shown, {}}, {u"\x15", {}}};
}

// A picture and a link survive LibreOffice's conversion to ODT; antiword
// reads the text around them.
TEST(WordWriterOracles, PictureAndLinkSurviveConversionToOdt)
{
    testutil::TempDir dir;
    const std::vector<std::uint8_t> jpeg = ReadBytes(TRANCEL_SOURCE_DIR "/wordlib/tests/fixtures/red.jpg");
    WordBinaryFileWriter w;
    ASSERT_TRUE(w.prepare(kDataDir));
    std::vector<testfill::Run> runs = {{u"Before the picture ", {}}};
    runs.push_back(AddPicture(w, jpeg, 1440, 1080));
    runs.push_back({u" after it.\rSee ", {}});
    std::uint32_t at = 0;
    for (const auto& r : runs)
        at += static_cast<std::uint32_t>(r.text.size());
    for (auto& r : AddLink(w, u"http://example.com/page", u"the example", at))
        runs.push_back(std::move(r));
    runs.push_back({u" here.\r", {}});
    FillText(w, runs, true);
    w.plcfFldMom.cps.push_back(static_cast<std::uint32_t>(w.text.size()));
    const std::string path = dir.str() + "picture.doc";
    ASSERT_TRUE(Save(w, path));

    const auto streams = Streams(path);
    ASSERT_EQ(streams.size(), 3u);
    ASSERT_TRUE(streams.count("Data"));
    // The picture run's location is the entry's offset in "Data".
    ASSERT_EQ(w.pictureOffsets(), (std::vector<std::uint32_t>{0}));
    ASSERT_EQ(w.objectOffsets().size(), 1u);
    const std::string& data = streams.at("Data");
    EXPECT_EQ(U32(data, 0), w.objectOffsets()[0]);   // the picture's lcb ends where the link starts
    EXPECT_NE(data.find(std::string(reinterpret_cast<const char*>(jpeg.data()), jpeg.size())), std::string::npos);

    // Both entries read back: the picture's JPEG, the link's address; the
    // picture entry writes again to the same bytes.
    const std::vector<std::uint8_t> dataBytes(data.begin(), data.end());
    PictureEntry picture;
    ASSERT_TRUE(readPictureEntry(dataBytes, 0, picture));
    EXPECT_EQ(picture.shape.shape.recInstance(), 75);
    ASSERT_EQ(picture.blips.size(), 1u);
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(picture.blips[0].picture() && picture.blips[0].picture()->pictureBytes(bytes, size));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + size), jpeg);
    std::vector<std::uint8_t> rewritten;
    VectorSink sink(rewritten);
    StreamOut out(sink, 0);
    ASSERT_TRUE(writePICFAndOfficeArtData(picture, out));
    EXPECT_EQ(rewritten, std::vector<std::uint8_t>(dataBytes.begin(), dataBytes.begin() + w.objectOffsets()[0]));
    ByteReader linkIn(dataBytes.data() + w.objectOffsets()[0], dataBytes.size() - w.objectOffsets()[0]);
    HyperlinkDataEntry link;
    ASSERT_TRUE(readHyperlinkData(linkIn, kFieldHyperlink, link));
    auto* url = dynamic_cast<URLMoniker*>(link.object.moniker.moniker.get());
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(url->url, u"http://example.com/page");

    EXPECT_EQ(AntiwordText(path).substr(0, 18), "Before the picture");

    const std::string odt = LibreOffice(path, "odt", dir);
    ASSERT_FALSE(odt.empty());
    int status = 0;
    const std::string content = testutil::Run("unzip -p " + Quote(odt) + " content.xml", &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(content.find("<draw:image"), std::string::npos) << content;
    EXPECT_NE(content.find("xlink:href=\"http://example.com/page\""), std::string::npos) << content;
    EXPECT_NE(content.find("the example"), std::string::npos);
    const std::string list = testutil::Run("unzip -l " + Quote(odt));
    EXPECT_NE(list.find("Pictures/"), std::string::npos) << list;
}

// Picture locations: an index past the offsets, or -1, is left alone.
TEST(WordWriterLayout, PictureLocationsOutsideTheEntriesStay)
{
    const std::vector<std::uint8_t> jpeg = ReadBytes(TRANCEL_SOURCE_DIR "/wordlib/tests/fixtures/red.jpg");
    MemFile file;
    WordBinaryFileWriter w;
    ASSERT_TRUE(w.prepare(kDataDir));
    testfill::Run pic = AddPicture(w, jpeg, 100, 100);
    std::vector<testfill::Run> runs = {pic, {u"\x01", {Op32(kSprmCPicLocation, 1), Sprm{kSprmCFSpec, {1}}}},
                                       {u"\x01\r", {Op32(kSprmCPicLocation, 0xFFFFFFFF), Sprm{kSprmCFSpec, {1}}}}};
    FillText(w, runs, true);
    w.setFile(&file);
    ASSERT_TRUE(w.save(""));
    const auto& lists = w.chpxFkps.at(0).lists;
    EXPECT_EQ(Load32(lists[0][0].operand.data()), 0u);
    EXPECT_EQ(Load32(lists[1][0].operand.data()), 1u);
    EXPECT_EQ(Load32(lists[2][0].operand.data()), 0xFFFFFFFFu);
}

// The default data files: built by the library, read back and written
// again byte for byte; the files beside the library are those bytes; a
// missing file fails the preparation.
TEST(WordWriterDefaults, DefaultFilesReadBackByteForByte)
{
    const std::vector<std::uint8_t> stshBytes = BuildDefaultStyleSheet();
    const std::vector<std::uint8_t> assocBytes = BuildDefaultAssociations();
    ASSERT_FALSE(stshBytes.empty());
    ASSERT_FALSE(assocBytes.empty());

    StyleSheet stsh;
    ASSERT_TRUE(readStsh(ByteReader(stshBytes), stsh));
    ASSERT_GE(stsh.styles.size(), 15u);
    EXPECT_EQ(stsh.styles[0].name, u"Normal");
    EXPECT_EQ(stsh.styles[10].name, u"Default Paragraph Font");
    std::vector<std::uint8_t> again;
    VectorSink sink(again);
    StreamOut out(sink, 0);
    ASSERT_TRUE(writeStsh(stsh, out));
    EXPECT_EQ(again, stshBytes);

    Sttb assoc;
    ASSERT_TRUE(readSttbW(ByteReader(assocBytes), assoc));
    EXPECT_EQ(assoc.cData, 18u);
    std::vector<std::uint8_t> again2;
    VectorSink sink2(again2);
    StreamOut out2(sink2, 0);
    ASSERT_TRUE(writeSttbW(assoc, out2));
    EXPECT_EQ(again2, assocBytes);

    EXPECT_EQ(ReadBytes(kDataDir + "default_stsh"), stshBytes);
    EXPECT_EQ(ReadBytes(kDataDir + "default_sttbfassoc"), assocBytes);
    // The library finds them itself, beside its own file.
    EXPECT_EQ(DataFolder(), kDataDir);

    // After the defaults: the default DOP and one drawing of one shape.
    DocData doc;
    ASSERT_TRUE(doc.loadDocDefaults(kDataDir));
    EXPECT_EQ(doc.dop, DefaultDop());
    ASSERT_EQ(doc.officeArt.drawings.size(), 1u);
    EXPECT_EQ(doc.officeArt.drawings[0].container.groupShape.members.size(), 1u);
    EXPECT_EQ(doc.stsh, stsh);

    testutil::TempDir dir;
    testutil::WriteFile(dir.path() / "default_stsh", std::string(stshBytes.begin(), stshBytes.end()));
    WordBinaryFileWriter w;
    EXPECT_FALSE(w.prepare(dir.str()));   // no associated strings
    testutil::WriteFile(dir.path() / "default_sttbfassoc", std::string(4, '\0'));
    EXPECT_FALSE(w.prepare(dir.str()));   // not the extended form
    testutil::WriteFile(dir.path() / "default_sttbfassoc", std::string(assocBytes.begin(), assocBytes.end()));
    EXPECT_TRUE(w.prepare(dir.str()));
}

// A floating text box: a shape of the drawing, its anchor in the main
// text, its story after the main text. antiword and LibreOffice find the
// boxed words.
TEST(WordWriterOracles, TextBoxReachesAntiwordAndLibreOffice)
{
    testutil::TempDir dir;
    WordBinaryFileWriter w;
    ASSERT_TRUE(w.prepare(kDataDir));
    const std::u16string main = u"\x08Main text.\r";
    const std::u16string box = u"Boxed words\r";
    FillText(w, {{u"\x08", {Sprm{kSprmCFSpec, {1}}}}, {main.substr(1), {}}, {box + u"\r\r", {}}}, true);
    const auto ccpText = static_cast<std::uint32_t>(main.size());
    const auto ccpTxbx = static_cast<std::uint32_t>(box.size() + 1);
    w.officeArt.ccpText = ccpText;
    w.officeArt.ccpTxbx = ccpTxbx;

    std::uint32_t spid = 0;
    ASSERT_TRUE(w.addTextBoxShape(spid, [](OfficeArtSpContainer& s, std::uint32_t id) {
        s.shape.markPresent();
        s.shape.setInstance(0xCA);   // text box
        s.shape.spid = id;
        s.shape.flags = 0x0A00;
        s.opt.markPresent();
        s.opt.add(0x0080, 0x00010000);   // lTxid: the first text box
        s.opt.add(0x00BF, 0x00020002);
        s.opt.add(0x01BF, 0x00100000);
        s.clientAnchor.markPresent();
        s.clientAnchor.setRecType(kRtClientAnchor);
        s.clientData.markPresent();
        s.clientData.setRecType(kRtClientData);
        s.clientData.value = 1;
        s.clientTextbox.markPresent();
        s.clientTextbox.setRecType(0xF00D);
        s.clientTextbox.value = 0x00010000;
    }));
    EXPECT_EQ(spid, 1032u);
    w.drawing = true;
    w.textBox = true;
    const auto end = static_cast<std::uint32_t>(w.text.size());
    w.plcSpaMom.cps = {0, end};
    w.plcSpaMom.items = {Fspa{static_cast<std::int32_t>(spid), 1440, 1440, 5760, 2880, 0x0054, 0}};
    w.plcftxbxTxt.cps = {0, ccpTxbx - 1, ccpTxbx};
    w.plcftxbxTxt.items = {Ftxbxs{1, 0, 0, 0xFFFFFFFF, static_cast<std::int32_t>(spid), 0}, Ftxbxs{}};
    w.plcfTxbxBkd.cps = {0, ccpTxbx - 1, ccpTxbx};
    w.plcfTxbxBkd.items = {Tbkd{0, 0, 0x0800}, Tbkd{}};
    const std::string path = dir.str() + "textbox.doc";
    ASSERT_TRUE(Save(w, path));

    const std::string anti = AntiwordText(path);
    EXPECT_NE(anti.find("Main text."), std::string::npos) << anti;
    EXPECT_NE(anti.find("Boxed words"), std::string::npos) << anti;
    const std::string odt = LibreOffice(path, "odt", dir);
    ASSERT_FALSE(odt.empty());
    const std::string content = testutil::Run("unzip -p " + Quote(odt) + " content.xml");
    const std::size_t frame = content.find("<draw:text-box");
    ASSERT_NE(frame, std::string::npos) << content;
    EXPECT_NE(content.find("Boxed words", frame), std::string::npos) << content;
    EXPECT_NE(content.find("Main text."), std::string::npos);
}

} // namespace
