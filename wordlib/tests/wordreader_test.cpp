// The Word 97-2003 reader: documents saved by LibreOffice read as antiword
// reads them, run properties, tables and fields, documents built here for
// the cases LibreOffice does not write, and damaged files.
#include "wordlib/iscrivlet.h"
#include "wordlib/wordreader.h"

#include "docbuilder.h"
#include "engine/layout/utf8.h"
#include "memfile.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

using namespace scrivlet;
using namespace scrivlet::testdoc;

namespace {

const std::string kFixtures = std::string(TRANCEL_SOURCE_DIR) + "/wordlib/tests/fixtures/";

// One content event as the reader sent it, with its data copied.
struct Event {
    unsigned code = 0;
    int len = 0;
    std::uintptr_t arg = 0;
    std::u16string text;
    RunStyle style;
    std::vector<std::uint8_t> bytes;
};

struct Recorder {
    std::vector<Event> events;

    static void Receive(void* user, const void* data, int len, unsigned code, std::uintptr_t arg)
    {
        Event e;
        e.code = code;
        e.len = len;
        e.arg = arg;
        if (code == CE_TEXT_UTF16 || code == CE_NEXT_CELL || code == CE_ROW_END) {
            if (arg)
                e.style = *reinterpret_cast<const RunStyle*>(arg);
            for (auto* p = static_cast<const char16_t*>(data); p && *p; ++p)
                e.text.push_back(*p);
        } else if (code == CE_PICTURE && data && len > 0) {
            auto* p = static_cast<const std::uint8_t*>(data);
            e.bytes.assign(p, p + len);
        }
        static_cast<Recorder*>(user)->events.push_back(std::move(e));
    }

    // The text as lines: text events, line ends, cells and rows.
    std::string Text() const
    {
        std::u16string all;
        for (const Event& e : events) {
            if (e.code == CE_TEXT_UTF16)
                all += e.text;
            else if (e.code == CE_LINE_END || e.code == CE_ROW_END)
                all += u'\n';
            else if (e.code == CE_NEXT_CELL)
                all += u' ';
        }
        for (char16_t& c : all) {
            if (c == 0x0D || c == 0x0B)
                c = u'\n';
        }
        std::wstring w(all.begin(), all.end());
        return utf8::FromWide(w);
    }

    // The first text event holding `needle`.
    const Event* TextEvent(const std::u16string& needle) const
    {
        for (const Event& e : events) {
            if (e.code == CE_TEXT_UTF16 && e.text.find(needle) != std::u16string::npos)
                return &e;
        }
        return nullptr;
    }
};

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

Recorder ReadFile(const std::string& path)
{
    Recorder r;
    const std::wstring wide = utf8::ToWide(path);
    IScrivlet::readword03(wide.c_str(), L"", &Recorder::Receive, &r);
    return r;
}

Recorder ReadBytes(const std::string& bytes, bool* loaded = nullptr)
{
    Recorder r;
    MemFile file(bytes);
    WordBinaryFileParser parser;
    parser.setFile(&file);
    const bool ok = parser.open("");
    if (loaded)
        *loaded = ok;
    parser.setCallback(&Recorder::Receive, &r);
    parser.emitWordContent();
    return r;
}

// antiword's words of a document, without its table rulings, picture marks
// and the brackets around note numbers.
std::vector<std::string> AntiwordWords(const std::string& path)
{
    int status = -1;
    std::string out = testutil::Run("antiword -m UTF-8.txt -w 0 '" + path + "'", &status);
    EXPECT_EQ(status, 0) << path;
    std::vector<std::string> words;
    for (std::string w : Words(out)) {
        std::string kept;
        for (char c : w) {
            if (c != '|' && c != '[' && c != ']')
                kept.push_back(c);
        }
        if (kept.empty() || kept == "pic" || kept.find_first_not_of('-') == std::string::npos)
            continue;
        words.push_back(kept);
    }
    return words;
}

std::vector<std::string> Without(std::vector<std::string> words, const std::vector<std::string>& drop)
{
    for (const std::string& d : drop) {
        auto it = std::find(words.begin(), words.end(), d);
        if (it != words.end())
            words.erase(it);
    }
    return words;
}

std::vector<std::pair<unsigned, int>> TableOps(const Recorder& r)
{
    std::vector<std::pair<unsigned, int>> ops;
    for (const Event& e : r.events) {
        if (e.code == CE_TABLE)
            ops.push_back({static_cast<unsigned>(e.len), static_cast<int>(e.arg)});
    }
    return ops;
}

} // namespace

// --- documents saved by LibreOffice ----------------------------------------------

TEST(WordReaderFixtures, TextEqualsAntiword)
{
    // antiword shows hidden text; the reader leaves it out.
    const struct {
        const char* file;
        std::vector<std::string> hidden;
    } cases[] = {
        {"lo-writer.doc", {}},
        {"lo-reader.doc", {"words", "hidden"}},
        {"lo-eightbit.doc", {}},
    };
    for (const auto& c : cases) {
        const std::string path = kFixtures + c.file;
        const Recorder r = ReadFile(path);
        std::vector<std::string> expected = AntiwordWords(path);
        expected = Without(expected, c.hidden);
        EXPECT_EQ(Words(r.Text()), expected) << c.file << "\n" << r.Text();
    }
}

TEST(WordReaderFixtures, EightBitTextIsCodePage1252)
{
    const Recorder r = ReadFile(kFixtures + "lo-eightbit.doc");
    EXPECT_NE(r.Text().find("Café é “x” — € 5 naïve."), std::string::npos) << r.Text();
}

TEST(WordReaderFixtures, RunAndParagraphProperties)
{
    const Recorder r = ReadFile(kFixtures + "lo-reader.doc");
    const struct {
        std::u16string text;
        std::uint8_t bold, strike;
        std::uint32_t back;
        std::int32_t align;
    } cases[] = {
        {u"Bold by style", 1, 0, 0xFFFFFF, 0},
        {u"not bold here", 0, 0, 0xFFFFFF, 0},
        {u", bold again.", 1, 0, 0xFFFFFF, 0},
        {u"highlighted", 0, 0, 0x00FFFF, 3},
        {u"struck", 0, 1, 0xFFFFFF, 3},
    };
    for (const auto& c : cases) {
        const Event* e = r.TextEvent(c.text);
        ASSERT_NE(e, nullptr) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(e->style.bold, c.bold) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(e->style.strikeOut, c.strike) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(e->style.backColour, c.back) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(e->style.align, c.align) << std::string(c.text.begin(), c.text.end());
    }
    // The heading's style makes it bold and larger than the body.
    const Event* heading = r.TextEvent(u"Reader heading");
    const Event* body = r.TextEvent(u"Bold by style");
    ASSERT_TRUE(heading && body);
    EXPECT_EQ(heading->style.bold, 1);
    EXPECT_GT(heading->style.fontSize, body->style.fontSize);
    // The link's character style underlines it.
    const Event* link = r.TextEvent(u"the site");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->style.underline, 1);
    // Field instructions, hidden text, headers and footers are not shown.
    for (const char* absent : {"HYPERLINK", "hidden", "Header", "Footer"})
        EXPECT_EQ(r.Text().find(absent), std::string::npos) << absent;
}

TEST(WordReaderFixtures, TablesArriveAsTableEvents)
{
    const Recorder r = ReadFile(kFixtures + "lo-reader.doc");
    // Two tables: begin, borders, one column per cell edge pair (twips).
    const std::vector<std::pair<unsigned, int>> expected = {
        {TABLE_COLUMN, 0}, {TABLE_BORDERS, 1}, {TABLE_COLUMN, 3212}, {TABLE_COLUMN, 3213}, {TABLE_COLUMN, 3213},
        {TABLE_COLUMN, 0}, {TABLE_BORDERS, 1}, {TABLE_COLUMN, 4818}, {TABLE_COLUMN, 4820},
    };
    EXPECT_EQ(TableOps(r), expected);

    // Cells end with next-cell events, rows with row ends, each table with
    // a table end; the cells carry the row's shading.
    std::vector<unsigned> codes;
    for (const Event& e : r.events) {
        if (e.code >= CE_LINE_END && e.code <= CE_TABLE_END && e.code != CE_TABLE)
            codes.push_back(e.code);
    }
    std::vector<unsigned> table1 = {CE_LINE_END};
    for (int row = 0; row < 2; ++row)
        table1.insert(table1.end(), {CE_NEXT_CELL, CE_NEXT_CELL, CE_NEXT_CELL, CE_ROW_END});
    table1.push_back(CE_TABLE_END);
    std::vector<unsigned> table2 = {CE_LINE_END, CE_NEXT_CELL, CE_NEXT_CELL, CE_ROW_END, CE_TABLE_END};
    std::vector<unsigned> expectedCodes = table1;
    expectedCodes.insert(expectedCodes.end(), table2.begin(), table2.end());
    EXPECT_EQ(codes, expectedCodes);

    for (const Event& e : r.events) {
        if (e.code != CE_NEXT_CELL)
            continue;
        const unsigned char* shading = e.style.cellShading;
        ASSERT_NE(shading, nullptr);
    }
    const Event* cell = r.TextEvent(u"alpha");
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(cell->style.cellShading, nullptr);
}

// Inline pictures arrive where their characters stand, each with its
// kind; ImageMagick tells what the delivered bytes are. In lo-reader.doc a
// hyperlink, whose target is a special character of its own, comes right
// before the pictures: it must not take the first picture's place. The
// GIF is stored as a PNG by LibreOffice.
TEST(WordReaderFixtures, PicturesArriveInPlaceWithTheirKinds)
{
    const struct {
        const char* file;
        std::vector<std::pair<std::u16string, std::string>> pictures;   // text before, kind and size
    } cases[] = {
        {"lo-reader.doc", {{u" then ", "PNG 32x24"}, {u" and ", "JPEG 40x30"}, {u" and ", "PNG 16x16"}}},
        {"lo-writer.doc", {{u"Inline picture: ", "PNG 32x32"}}},
    };
    testutil::TempDir dir;
    for (const auto& c : cases) {
        const Recorder r = ReadFile(kFixtures + c.file);
        std::vector<std::pair<std::u16string, std::string>> got;
        std::u16string before;
        for (const Event& e : r.events) {
            if (e.code == CE_TEXT_UTF16) {
                before = e.text;
                continue;
            }
            if (e.code != CE_PICTURE)
                continue;
            const std::filesystem::path file = dir.path() / "picture";
            testutil::WriteFile(file, std::string(e.bytes.begin(), e.bytes.end()));
            const std::string kind = testutil::Run("identify -format '%m %wx%h' " + testutil::Quote(file.string()));
            EXPECT_EQ(e.arg, kind.rfind("JPEG", 0) == 0 ? 0u : 2u) << c.file << " " << kind;
            got.push_back({before, kind});
        }
        EXPECT_EQ(got, c.pictures) << c.file;
    }
    // The link really is a field object of the "Data" stream.
    MemFile file(testutil::ReadFile(kFixtures + "lo-reader.doc"));
    WordBinaryFileParser parser;
    parser.setFile(&file);
    parser.open("");
    ASSERT_EQ(parser.objects().size(), 1u);
    EXPECT_EQ(parser.objects()[0].fieldKind, kFieldHyperlink);
}

// --- documents built here ----------------------------------------------------------

namespace {

Para P(std::vector<TextRun> runs, PropertyList papx = {}, std::uint16_t istd = 0)
{
    return Para{std::move(runs), istd, std::move(papx)};
}

} // namespace

TEST(WordReaderBuilt, CharacterPropertiesFollowTheirOperands)
{
    // A bold paragraph style; runs turn bold off, take the style's value,
    // or the opposite of it.
    Doc doc;
    doc.styles = Styles({Style(1, 0x0FFF, {S(0x0835, {1}), S(0x4A43, {24, 0})})});
    doc.paras = {P({
        {u"a", {S(0x0835, {0}), S(0x4A43, {40, 0})}},
        {u"b", {S(0x0835, {0x80})}},
        {u"c", {S(0x0835, {0x81})}},
        {u"d", {S(0x0836, {1}), S(0x0837, {1}), S(0x2A3E, {1})}},
        {u"e", {S(0x0836, {1}), S(0x0836, {0})}},
        {u"f", {S(0x2A0C, {8})}},
        {u"g", {S(0x2A0C, {17})}},
        {u"h", {S(0x6870, {0x11, 0x22, 0x33, 0}), S(0x6877, {1, 2, 3, 0})}},
        {u"j", {S(0x2A3E, {1}), S(0x0837, {1}), S(0x2A3E, {0}), S(0x0837, {0})}},
        {u"i\r", {S(0x6870, {0x11, 0x22, 0x33, 0xFF})}},
    })};
    const Recorder r = ReadBytes(doc.build());
    const struct {
        char16_t c;
        std::uint8_t bold, italic, strike, underline;
        std::int32_t size;
        std::uint32_t back, colour;
    } cases[] = {
        {u'a', 0, 0, 0, 0, 24, 0xFFFFFF, 0},
        {u'b', 1, 0, 0, 0, 14, 0xFFFFFF, 0},
        {u'c', 0, 0, 0, 0, 14, 0xFFFFFF, 0},
        {u'd', 1, 1, 1, 1, 14, 0xFFFFFF, 0},
        {u'e', 1, 0, 0, 0, 14, 0xFFFFFF, 0},
        {u'f', 1, 0, 0, 0, 14, 0x404040, 0},
        {u'g', 1, 0, 0, 0, 14, 0xFFFFFF, 0},
        {u'h', 1, 0, 0, 0, 14, 0xFFFFFF, 0x332211},
        {u'j', 1, 0, 0, 0, 14, 0xFFFFFF, 0},
        {u'i', 1, 0, 0, 0, 14, 0xFFFFFF, 0},
    };
    for (const auto& c : cases) {
        const Event* e = r.TextEvent(std::u16string(1, c.c));
        ASSERT_NE(e, nullptr) << char(c.c);
        EXPECT_EQ(e->style.bold, c.bold) << char(c.c);
        EXPECT_EQ(e->style.italic, c.italic) << char(c.c);
        EXPECT_EQ(e->style.strikeOut, c.strike) << char(c.c);
        EXPECT_EQ(e->style.underline, c.underline) << char(c.c);
        EXPECT_EQ(e->style.fontSize, c.size) << char(c.c);
        EXPECT_EQ(e->style.backColour, c.back) << char(c.c);
        EXPECT_EQ(e->style.colour, c.colour) << char(c.c);
    }
    EXPECT_EQ(r.TextEvent(u"h")->style.underlineColour, 0x030201u);
}

namespace {

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An OfficeArt record: version and instance, type, then the body.
Bytes Art(unsigned ver, unsigned instance, std::uint16_t type, const Bytes& body)
{
    Bytes header(8);
    Store16(header.data(), static_cast<std::uint16_t>(ver | (instance << 4)));
    Store16(header.data() + 2, type);
    Store32(header.data() + 4, static_cast<std::uint32_t>(body.size()));
    return Cat({header, body});
}

// A picture entry of the "Data" stream: the picture header (with a name
// when mm is 0x66), the picture shape, then the picture-store records.
Bytes PictureEntryBytes(std::uint16_t mm, const Bytes& records)
{
    Bytes picf(68, 0);
    Store16(picf.data() + 4, 68);
    Store16(picf.data() + 6, mm);
    const Bytes name = mm == 0x66 ? Bytes{3, 'p', 'i', 'c'} : Bytes{};
    const Bytes shape = Art(0xF, 0, 0xF004, Art(2, 75, 0xF00A, Bytes(8, 0)));
    Bytes out = Cat({picf, name, shape, records});
    Store32(out.data(), static_cast<std::uint32_t>(out.size()));
    return out;
}

PropertyList PicAt(std::size_t offset)
{
    Bytes op(4);
    Store32(op.data(), static_cast<std::uint32_t>(offset));
    return {S(0x6A03, op)};
}

} // namespace

// Every picture character takes the next picture entry it points to: an
// entry holding only a metafile sends nothing and keeps its place, a
// hyperlink's object character takes none, two characters may share an
// entry, and entries that do not read send nothing.
TEST(WordReaderBuilt, PicturesOfTheDataStreamByCharacter)
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 0xFF, 0xD9};
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 9};
    const Bytes uid(16, 0x22);
    const Bytes emfBlip = Art(0, 0x3D4, 0xF01A, Cat({uid, Bytes(34 + 40, 0)}));
    const Bytes pngBlip = Art(0, 0x6E0, 0xF01E, Cat({uid, Bytes{0xFF}, png}));
    const Bytes jpegBlip = Art(0, 0x46A, 0xF01D, Cat({uid, Bytes{0xFF}, jpeg}));
    auto fbse = [](unsigned kind, const Bytes& blip) {
        Bytes fixed(36, 0);
        fixed[0] = fixed[1] = static_cast<std::uint8_t>(kind);
        Store32(fixed.data() + 20, static_cast<std::uint32_t>(blip.size()));
        return Art(2, kind, 0xF007, Cat({fixed, blip}));
    };
    Doc doc;
    const std::size_t emfAt = doc.data.size();
    doc.data = Cat({doc.data, PictureEntryBytes(0x64, fbse(2, emfBlip))});
    const std::size_t pngAt = doc.data.size();
    doc.data = Cat({doc.data, PictureEntryBytes(0x64, fbse(6, pngBlip))});
    const std::size_t jpegAt = doc.data.size();
    doc.data = Cat({doc.data, PictureEntryBytes(0x66, jpegBlip)});
    // An entry whose length runs past the stream.
    const std::size_t hugeAt = doc.data.size();
    doc.data = Cat({doc.data, PictureEntryBytes(0x64, fbse(6, pngBlip))});
    Store32(doc.data.data() + hugeAt, 0x7FFFFFF0);

    PropertyList link = PicAt(0);
    link.push_back(S(0x0806, {1}));
    doc.paras = {P({
        {u"a", {}},
        {u"\x01", PicAt(emfAt)},
        {u"b", {}},
        {u"\x01", link},
        {u"\x01\x01", PicAt(pngAt)},
        {u"c", {}},
        {u"\x01", PicAt(jpegAt)},
        {u"d", {}},
        {u"\x01", PicAt(hugeAt)},
        {u"\x01", PicAt(0xFFFFFF00)},
        {u"\x01", PicAt(jpegAt)},
        {u"e\r", {}},
    })};
    const Recorder r = ReadBytes(doc.build());
    std::vector<std::pair<std::string, Bytes>> got;
    for (const Event& e : r.events) {
        if (e.code == CE_PICTURE)
            got.push_back({std::to_string(e.arg), e.bytes});
        else if (e.code == CE_TEXT_UTF16)
            got.push_back({utf8::FromWide(std::wstring(e.text.begin(), e.text.end())), {}});
    }
    const std::vector<std::pair<std::string, Bytes>> expected = {
        {"a", {}}, {"b", {}}, {"2", png}, {"2", png}, {"c", {}}, {"0", jpeg}, {"d", {}}, {"0", jpeg}, {"e\r", {}},
    };
    EXPECT_EQ(got, expected);
}

TEST(WordReaderBuilt, FieldInstructionsAndHiddenTextAreNotShown)
{
    Doc doc;
    doc.paras = {P({
        {u"A \x13 HYPERLINK \"x\" \x14", {}},
        {u"shown", {}},
        {u"\x15 B \x13 PAGE \x13 nested \x15\x14", {}},
        {u"3", {}},
        {u"\x15", {}},
        {u" gone", {S(0x083C, {1})}},
        {u" C\x13 no separator \x15 D\r", {}},
    })};
    const Recorder r = ReadBytes(doc.build());
    EXPECT_EQ(Words(r.Text()), (std::vector<std::string>{"A", "shown", "B", "3", "C", "D"})) << r.Text();
}

TEST(WordReaderBuilt, FailingOptionalTablesKeepTheText)
{
    // A style sheet the reader refuses, a section list that points nowhere
    // and bookmarks past the table stream: the text still arrives.
    Doc doc;
    doc.paras = {P({{u"Still here\r", {}}})};
    doc.damage = [](Bytes& word, Bytes& table) {
        const std::uint32_t end = static_cast<std::uint32_t>(table.size());
        table.insert(table.end(), {2, 0, 0, 0});   // a truncated style sheet
        Doc::SetPair(word, kStshf, end, 4);
        Doc::SetPair(word, 6, 0, 0xFFFF);           // sections past the stream
        Doc::SetPair(word, 22, 0xFFFFFFF0, 8);      // bookmarks past the stream
    };
    bool loaded = true;
    const Recorder r = ReadBytes(doc.build(), &loaded);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(Words(r.Text()), (std::vector<std::string>{"Still", "here"}));
}

TEST(WordReaderBuilt, BadInputsGiveNoOrPartialEventsInBoundedTime)
{
    Doc doc;
    doc.paras = {P({{u"Hello ", {S(0x0835, {1})}}, {u"world\r", {}}}),
                 P({{u"cell\x07", {}}}, {S(0x2416, {1})}),
                 P({{u"\x07", {}}}, {S(0x2416, {1}), S(0x2417, {1})}),
                 P({{u"end\r", {}}})};
    const std::string good = doc.build();
    ASSERT_EQ(Words(ReadBytes(good).Text()), (std::vector<std::string>{"Hello", "world", "cell", "end"}));

    auto damaged = [&](std::function<void(Bytes&, Bytes&)> fn) {
        Doc d = doc;
        d.damage = std::move(fn);
        return d.build();
    };
    const struct {
        const char* name;
        std::string bytes;
        bool anyText;
    } cases[] = {
        {"empty", "", false},
        {"not a compound file", std::string(4096, 'x'), false},
        {"truncated compound file", good.substr(0, good.size() / 2), false},
        {"wrong magic", damaged([](Bytes& w, Bytes&) { w[0] = 0; }), false},
        {"encrypted", damaged([](Bytes& w, Bytes&) { w[11] |= 0x01; }), false},
        {"Word 95", damaged([](Bytes& w, Bytes&) { Store16(w.data() + 2, 0x65); }), false},
        {"FIB cut short", damaged([](Bytes& w, Bytes&) { w.resize(100); }), false},
        {"huge pair count", damaged([](Bytes& w, Bytes&) { Store16(w.data() + kFcLcbAt - 2, 0xFFFF); }), true},
        {"huge csw", damaged([](Bytes& w, Bytes&) { Store16(w.data() + 32, 0xFFFF); }), false},
        {"piece table past the stream", damaged([](Bytes& w, Bytes&) { Doc::SetPair(w, kClx, 0xFFFFFF00, 0x1000); }), false},
        {"piece table of huge length", damaged([](Bytes& w, Bytes& t) { Doc::SetPair(w, kClx, 0, 0xFFFFFFFF); (void)t; }), false},
        {"huge character count",
         damaged([](Bytes& w, Bytes& t) {
             std::uint32_t fc = Load32(w.data() + kFcLcbAt + 8 * kClx);
             Store32(t.data() + fc + 5 + 4, 0x7FFFFFFF);
         }),
         false},
        {"piece text past the stream",
         damaged([](Bytes& w, Bytes& t) {
             std::uint32_t fc = Load32(w.data() + kFcLcbAt + 8 * kClx);
             Store32(t.data() + fc + 5 + 8 + 2, 0x3FFFFF00);
         }),
         false},
        {"pages past the stream",
         damaged([](Bytes& w, Bytes& t) {
             std::uint32_t fc = Load32(w.data() + kFcLcbAt + 8 * kBteChpx);
             Store32(t.data() + fc + 8, 0x3FFFFF);
         }),
         false},
        {"run limits out of order",
         damaged([](Bytes& w, Bytes&) {
             const std::size_t page = w.size() - 2 * kFkpSize;
             Store32(w.data() + page + 4, 0xFFFFFFF0);
         }),
         true},
        {"paragraph page garbage",
         damaged([](Bytes& w, Bytes&) {
             const std::size_t page = w.size() - kFkpSize;
             for (std::size_t i = 0; i + 1 < kFkpSize; ++i)
                 w[page + i] = static_cast<std::uint8_t>(i * 37);
         }),
         true},
        {"text at the stream's start, no usable runs",
         damaged([](Bytes& w, Bytes& t) {
             std::uint32_t fc = Load32(w.data() + kFcLcbAt + 8 * kClx);
             Store32(t.data() + fc + 5 + 8 + 2, 0);
             const std::size_t page = w.size() - 2 * kFkpSize;
             for (std::size_t k = 0; k <= w[page + kFkpSize - 1]; ++k)
                 Store32(w.data() + page + 4 * k, 0xFFFFFFF0);
             Doc::SetPair(w, kBtePapx, 0, 0);
         }),
         true},
        {"no table stream", damaged([](Bytes& w, Bytes&) { w[11] &= ~0x02; }), false},
        {"truncated table stream", damaged([](Bytes&, Bytes& t) { t.resize(3); }), false},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const Recorder r = ReadBytes(c.bytes);
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 5.0) << c.name;
        EXPECT_EQ(!Words(r.Text()).empty(), c.anyText) << c.name << ": " << r.Text();
    }
}

TEST(WordReaderBuilt, NoEventsWithoutWordDocumentStream)
{
    // A compound file saved by LibreOffice Calc: no "WordDocument".
    const Recorder r = ReadFile(kFixtures + "lo-calc.xls");
    EXPECT_TRUE(r.events.empty());
    const Recorder missing = ReadFile(kFixtures + "no-such-file.doc");
    EXPECT_TRUE(missing.events.empty());
}

TEST(WordReaderBuilt, TableDefinitionOfManyColumns)
{
    // Thirteen columns take the table definition past 255 bytes: its count
    // is 16 bits wide, and the border sprm after it still reads.
    constexpr std::size_t kColumns = 13;
    Bytes def;
    const std::size_t cb = 1 + 2 * (kColumns + 1) + 20 * kColumns + 1;
    def.push_back(static_cast<std::uint8_t>(cb));
    def.push_back(static_cast<std::uint8_t>(cb >> 8));
    def.push_back(kColumns);
    for (std::size_t c = 0; c <= kColumns; ++c) {
        def.push_back(static_cast<std::uint8_t>(500 * c));
        def.push_back(static_cast<std::uint8_t>((500 * c) >> 8));
    }
    def.resize(def.size() + 20 * kColumns, 0);
    Bytes borders(1 + 24, 0);
    borders[0] = 24;
    borders[1 + 1] = 1;   // the top border is a single line

    std::vector<TextRun> cells;
    for (std::size_t c = 0; c < kColumns; ++c)
        cells.push_back({u"c\x07", {}});
    Doc doc;
    doc.paras = {P({{u"before\r", {}}}), P(cells, {S(0x2416, {1})}),
                 P({{u"\x07", {}}}, {S(0x2416, {1}), S(0x2417, {1}), S(0xD608, def), S(0xD605, borders)}),
                 P({{u"after\r", {}}})};
    const Recorder r = ReadBytes(doc.build());
    std::vector<std::pair<unsigned, int>> expected = {{TABLE_COLUMN, 0}, {TABLE_BORDERS, 1}};
    for (std::size_t c = 0; c < kColumns; ++c)
        expected.push_back({TABLE_COLUMN, 500});
    EXPECT_EQ(TableOps(r), expected);
    EXPECT_EQ(Words(r.Text()).back(), "after");
}

TEST(WordReaderBuilt, TwoTablesAndAnOpenTableAtTheEnd)
{
    auto row = [](const char16_t* a, const char16_t* b) {
        return std::vector<Para>{P({{a, {}}, {u"\x07", {}}, {b, {}}, {u"\x07", {}}}, {S(0x2416, {1})}),
                                 P({{u"\x07", {}}}, {S(0x2416, {1}), S(0x2417, {1})})};
    };
    Doc doc;
    for (auto& p : row(u"a", u"b"))
        doc.paras.push_back(p);
    doc.paras.push_back(P({{u"between\r", {}}}));
    for (auto& p : row(u"c", u"d"))
        doc.paras.push_back(p);
    const Recorder r = ReadBytes(doc.build());
    std::vector<unsigned> codes;
    for (const Event& e : r.events)
        codes.push_back(e.code);
    const std::vector<unsigned> expected = {
        CE_LINE_END, CE_TABLE, CE_TABLE, CE_TEXT_UTF16, CE_NEXT_CELL, CE_TEXT_UTF16, CE_NEXT_CELL, CE_ROW_END,
        CE_TABLE_END, CE_TEXT_UTF16,
        CE_LINE_END, CE_TABLE, CE_TABLE, CE_TEXT_UTF16, CE_NEXT_CELL, CE_TEXT_UTF16, CE_NEXT_CELL, CE_ROW_END,
        // The document ends inside the table: the table is still closed.
        CE_TABLE_END,
    };
    EXPECT_EQ(codes, expected);
}

TEST(WordReaderBuilt, AlignmentFromTheParagraphAndItsStyles)
{
    // Style 1 centres, style 2 (based on 1) aligns right; a paragraph's
    // own alignment wins over its style's.
    Doc doc;
    doc.styles = Styles({Style(1, 0x0FFF, {}), Style(1, 0, {}, {S(0x2461, {1})}), Style(1, 1, {}, {S(0x2461, {2})})});
    doc.paras = {P({{u"plain\r", {}}}, {}, 0), P({{u"centred\r", {}}}, {}, 1), P({{u"right\r", {}}}, {}, 2),
                 P({{u"left\r", {}}}, {S(0x2461, {0})}, 2), P({{u"justified\r", {}}}, {S(0x2403, {3})}, 0)};
    const Recorder r = ReadBytes(doc.build());
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"plain", 0}, {u"centred", 2}, {u"right", 3}, {u"left", 0}, {u"justified", 4}};
    for (const auto& [text, align] : cases) {
        const Event* e = r.TextEvent(text);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->style.align, align) << std::string(text.begin(), text.end());
    }
}

TEST(WordReaderBuilt, PiecesArriveInTextOrderWhateverTheirPlaceInTheStream)
{
    for (const bool eightBit : {false, true}) {
        Doc doc;
        doc.eightBit = eightBit;
        doc.secondPiece = 2;
        doc.paras = {P({{u"first ", {S(0x0835, {1})}}, {u"para\r", {}}}), P({{u"second para\r", {}}}, {S(0x2461, {1})}),
                     P({{u"third ", {}}, {u"para\r", {S(0x0836, {1})}}}), P({{u"fourth\r", {}}})};
        const Recorder r = ReadBytes(doc.build());
        EXPECT_EQ(Words(r.Text()),
                  (std::vector<std::string>{"first", "para", "second", "para", "third", "para", "fourth"}));
        ASSERT_TRUE(r.TextEvent(u"first") && r.TextEvent(u"second") && r.TextEvent(u"para\r"));
        EXPECT_EQ(r.TextEvent(u"first")->style.bold, 1);
        EXPECT_EQ(r.TextEvent(u"second")->style.align, 2);
        const Event* third = nullptr;
        for (const Event& e : r.events) {
            if (e.code == CE_TEXT_UTF16 && e.text == u"para\r")
                third = &e;
        }
        ASSERT_NE(third, nullptr);
        EXPECT_EQ(third->style.italic, 1);
    }
}

