// The picture readers of Excel and PowerPoint 97-2003 files.
#include "wordlib/iscrivlet.h"
#include "wordlib/picturereader.h"
#include "wordlib/storedpictures.h"

#include "engine/layout/utf8.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace scrivlet;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Record(Bytes& out, std::uint16_t type, const Bytes& body)
{
    out.push_back(static_cast<std::uint8_t>(type));
    out.push_back(static_cast<std::uint8_t>(type >> 8));
    out.push_back(static_cast<std::uint8_t>(body.size()));
    out.push_back(static_cast<std::uint8_t>(body.size() >> 8));
    out.insert(out.end(), body.begin(), body.end());
}

// An OfficeArt record: version and instance, type, then the body.
Bytes Art(unsigned ver, unsigned instance, std::uint16_t type, const Bytes& body)
{
    const std::uint16_t verInstance = static_cast<std::uint16_t>(ver | (instance << 4));
    Bytes out = {static_cast<std::uint8_t>(verInstance), static_cast<std::uint8_t>(verInstance >> 8),
                 static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(type >> 8)};
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Picture {
    unsigned kind = 0;
    Bytes bytes;
    bool operator==(const Picture&) const = default;
};

void Receive(void* user, const void* data, int len, unsigned code, std::uintptr_t arg)
{
    ASSERT_EQ(code, CE_PICTURE);
    const auto* p = static_cast<const std::uint8_t*>(data);
    static_cast<std::vector<Picture>*>(user)->push_back({static_cast<unsigned>(arg), Bytes(p, p + len)});
}

} // namespace

// Workbooks and presentations saved by LibreOffice with an EMF, a PNG and a
// JPEG, in that order (make_reader_fixtures.py): the metafile is passed
// over and both raster pictures arrive with their kinds. ImageMagick says
// what the delivered bytes are.
TEST(StoredPictures, PicturesAfterAMetafileArriveWithTheirKinds)
{
    using Reader = void (*)(const wchar_t*, const wchar_t*, ContentEventCallback, void*);
    const std::string fixtures = std::string(TRANCEL_SOURCE_DIR) + "/wordlib/tests/fixtures/";
    const std::pair<const char*, Reader> cases[] = {{"lo-pictures.xls", &IScrivlet::readexcel03},
                                                    {"lo-pictures.ppt", &IScrivlet::readppt03}};
    testutil::TempDir dir;
    for (const auto& [file, read] : cases) {
        std::vector<Picture> pictures;
        read(utf8::ToWide(fixtures + file).c_str(), nullptr, &Receive, &pictures);
        std::vector<std::pair<unsigned, std::string>> got;
        for (const Picture& p : pictures) {
            const std::filesystem::path out = dir.path() / "picture";
            testutil::WriteFile(out, std::string(p.bytes.begin(), p.bytes.end()));
            got.push_back({p.kind, testutil::Run("identify -format '%m %wx%h' " + testutil::Quote(out.string()))});
        }
        EXPECT_EQ(got, (std::vector<std::pair<unsigned, std::string>>{{2, "PNG 40x30"}, {0, "JPEG 48x32"}})) << file;
    }
    // No compound file, or none of the kind: no pictures, no crash.
    std::vector<Picture> none;
    IScrivlet::readexcel03(utf8::ToWide(fixtures + "lo-reader.doc").c_str(), nullptr, &Receive, &none);
    IScrivlet::readppt03(utf8::ToWide(fixtures + "lo-calc.xls").c_str(), nullptr, &Receive, &none);
    IScrivlet::readppt03(utf8::ToWide(fixtures + "no-such.ppt").c_str(), nullptr, &Receive, &none);
    EXPECT_TRUE(none.empty());
}

// The picture store as records: the kind comes from the picture's own bytes,
// metafiles and DIBs are passed over wherever they stand, and damage keeps
// the pictures before it.
TEST(StoredPictures, ScanKeepsJpegAndPngInTheirOrder)
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 0xFF, 0xD9};
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 9};
    const Bytes uid(16, 0x11);
    const Bytes emf = Art(0, 0x3D4, 0xF01A, Cat({uid, Bytes(34 + 40, 0)}));
    const Bytes dib = Art(0, 0x7A8, 0xF01F, Cat({uid, Bytes{0xFF}, Bytes(40, 0)}));
    const Bytes jpegBlip = Art(0, 0x46A, 0xF01D, Cat({uid, Bytes{0xFF}, jpeg}));
    const Bytes pngBlip = Art(0, 0x6E0, 0xF01E, Cat({uid, Bytes{0xFF}, png}));
    // A JPEG blip whose bytes are no JPEG.
    const Bytes falseJpeg = Art(0, 0x46A, 0xF01D, Cat({uid, Bytes{0xFF}, Bytes(10, 'x')}));
    // An FBSE embedding its blip.
    Bytes fixed(36, 0);
    fixed[0] = fixed[1] = 6;
    fixed[20] = static_cast<std::uint8_t>(pngBlip.size());
    const Bytes fbsePng = Art(2, 6, 0xF007, Cat({fixed, pngBlip}));
    const Bytes store = Art(0xF, 4, 0xF001, Cat({emf, fbsePng, dib, jpegBlip}));

    const struct {
        const char* name;
        Bytes stream;
        std::vector<std::pair<unsigned, Bytes>> pictures;
    } cases[] = {
        {"container with a metafile first", Cat({store}), {{2, png}, {0, jpeg}}},
        {"loose blips", Cat({emf, falseJpeg, pngBlip, dib, jpegBlip}), {{2, png}, {0, jpeg}}},
        {"a record past the end keeps what came before",
         Cat({jpegBlip, emf, pngBlip, Bytes{0x00, 0x00, 0x1E, 0xF0, 0xFF, 0xFF, 0, 0}}),
         {{0, jpeg}, {2, png}}},
        {"a record below the OfficeArt types ends the scan", Cat({pngBlip, Art(0, 0, 0x0100, {}), jpegBlip}),
         {{2, png}}},
    };
    for (const auto& c : cases) {
        std::vector<StoredPicture> found;
        ScanStoredPictures(c.stream.data(), c.stream.size(), found);
        std::vector<std::pair<unsigned, Bytes>> got;
        for (const StoredPicture& p : found)
            got.push_back({p.kind, p.bytes});
        EXPECT_EQ(got, c.pictures) << c.name;
    }
}

TEST(DrawingGroups, ContinueRecordsJoinTheirGroup)
{
    const struct {
        const char* name;
        Bytes stream;
        bool ok;
        std::vector<Bytes> groups;
    } cases[] = {
        {"no drawings", [] { Bytes b; Record(b, 0x0809, {1, 2}); Record(b, 0x000A, {}); return b; }(), true, {}},
        {"one group in three records",
         [] {
             Bytes b;
             Record(b, 0x0809, {0});
             Record(b, 0x00EB, {1, 2});
             Record(b, 0x003C, {3});
             Record(b, 0x003C, {4, 5});
             Record(b, 0x00FC, {9});
             Record(b, 0x003C, {7});   // continues another record
             Record(b, 0x000A, {});
             Record(b, 0x00EB, {8});   // past the end-of-file record
             return b;
         }(),
         true,
         {{1, 2, 3, 4, 5}}},
        {"two groups, no end record",
         [] {
             Bytes b;
             Record(b, 0x00EB, {1});
             Record(b, 0x00EB, {2});
             return b;
         }(),
         true,
         {{1}, {2}}},
        {"continued to the end",
         [] {
             Bytes b;
             Record(b, 0x00EB, {1});
             Record(b, 0x003C, {2});
             return b;
         }(),
         false,
         {{1, 2}}},
        {"record past the end",
         [] {
             Bytes b;
             Record(b, 0x00EB, {1});
             b.insert(b.end(), {0x3C, 0, 0xFF, 0xFF, 1});
             return b;
         }(),
         false,
         {{1}}},
        {"header cut short", Bytes{0xEB, 0x00, 0x01}, false, {}},
    };
    for (const auto& c : cases) {
        std::vector<Bytes> groups;
        EXPECT_EQ(JoinDrawingGroups(c.stream, groups), c.ok) << c.name;
        EXPECT_EQ(groups, c.groups) << c.name;
    }
}
