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
         {{u"Plain ", {}}, {u"eight", bold}, {u" bit text.\r", {}}, {u"Second paragraph.\r", {}}},
         "Plain eight bit text. Second paragraph."},
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

} // namespace
