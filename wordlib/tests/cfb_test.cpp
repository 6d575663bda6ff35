// The compound-file reader and writer, checked against independent readers
// (olefile, libgsf's gsf) and against damaged files.

#include "wordlib/cfbformat.h"
#include "wordlib/cfbparser.h"
#include "wordlib/cfbwriter.h"
#include "wordlib/tests/memfile.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <sstream>

namespace scrivlet {
namespace {

using testutil::Quote;
using testutil::RandomBytes;
using testutil::ReadFile;
using testutil::TempDir;

const std::string kFixtures = TRANCEL_SOURCE_DIR "/wordlib/tests/fixtures/";
const std::string kOleStreams = TRANCEL_SOURCE_DIR "/wordlib/tests/ole_streams.py";

// Every stream of the file as olefile reads it, by its "/"-joined path.
std::map<std::u16string, std::string> OleStreams(const std::string& file, const TempDir& dir)
{
    std::map<std::u16string, std::string> out;
    int status = -1;
    const std::string listing =
        testutil::Run("/usr/bin/python3 " + Quote(kOleStreams) + " " + Quote(file) + " " + Quote(dir.str()), &status);
    EXPECT_EQ(status, 0) << listing;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t tab = line.find('\t');
        std::u16string path;
        for (std::size_t i = tab + 1; i + 3 < line.size() + 1; i += 4) {
            if (line[i] == '/') {
                path.push_back(u'/');
                i -= 3;
                continue;
            }
            const unsigned lo = std::stoul(line.substr(i, 2), nullptr, 16);
            const unsigned hi = std::stoul(line.substr(i + 2, 2), nullptr, 16);
            path.push_back(static_cast<char16_t>(lo | (hi << 8)));
        }
        out[path] = ReadFile(dir.path() / line.substr(0, tab));
    }
    return out;
}

// Every stream of the loaded file by its path, walking the directory tree.
std::map<std::u16string, int> OurStreams(const CFBParser& parser)
{
    std::map<std::u16string, int> out;
    const auto& dir = parser.entries();
    std::vector<bool> seen(dir.size(), false);
    std::vector<std::pair<std::uint32_t, std::u16string>> stack{{dir.at(0).child, u""}};
    while (!stack.empty()) {
        auto [i, prefix] = stack.back();
        stack.pop_back();
        if (i >= dir.size() || seen[i])
            continue;
        seen[i] = true;
        stack.push_back({dir[i].left, prefix});
        stack.push_back({dir[i].right, prefix});
        const std::u16string path = prefix + dir[i].name;
        if (dir[i].type == cfb::kTypeStream)
            out[path] = static_cast<int>(i);
        else if (dir[i].type == cfb::kTypeStorage)
            stack.push_back({dir[i].child, path + u"/"});
    }
    return out;
}

std::string Bytes(const std::vector<std::uint8_t>& v)
{
    return std::string(v.begin(), v.end());
}

// Writes the streams through CFBWriter into a file of the folder.
std::string WriteCompound(const TempDir& dir, const std::vector<std::pair<std::u16string, std::string>>& streams)
{
    const std::string path = dir.str() + "out.cfb";
    FileObjectPosix file;
    CFBWriter writer;
    writer.setFile(&file);
    EXPECT_TRUE(file.open(path, kFileWriteNew));
    EXPECT_TRUE(writer.initialize());
    for (const auto& [name, data] : streams) {
        int index = -1;
        EXPECT_TRUE(writer.createStream(name, 0, index));
        EXPECT_TRUE(writer.selectStream(index));
        EXPECT_TRUE(writer.writeStream(data.data(), data.size()));
    }
    EXPECT_TRUE(writer.finish());
    file.close();
    return path;
}

TEST(CompoundFileWriter, StreamsReadBackWithOlefileAndGsf)
{
    TempDir dir;
    // 10 bytes are recorded as the mini-stream cutoff (4096) with zeros after
    // them; 20 MB need more than 109 FAT sectors, so the DIFAT is used.
    const std::vector<std::pair<std::u16string, std::string>> streams = {
        {u"Tiny", RandomBytes(10, 1)},
        {u"Small", RandomBytes(5000, 2)},
        {u"Mega", RandomBytes(1 << 20, 3)},
        {u"Large", RandomBytes(20 << 20, 4)},
    };
    const std::string path = WriteCompound(dir, streams);
    const std::string bytes = ReadFile(path);
    ASSERT_GT(Load32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + cfb::kHdrDifatSectors), 0u);

    TempDir dump;
    const auto ole = OleStreams(path, dump);
    ASSERT_EQ(ole.size(), streams.size());
    for (const auto& [name, data] : streams) {
        SCOPED_TRACE(data.size());
        const std::string expected = data.size() < 4096 ? data + std::string(4096 - data.size(), '\0') : data;
        ASSERT_TRUE(ole.count(name));
        EXPECT_EQ(ole.at(name), expected);
        const std::string ascii(name.begin(), name.end());
        int status = -1;
        const std::string gsf = testutil::Run("gsf cat " + Quote(path) + " " + ascii, &status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(gsf == expected) << "gsf read " << gsf.size() << " bytes";

        MemFile mem(bytes);
        CFBParser parser;
        parser.setFile(&mem);
        ASSERT_TRUE(parser.load());
        std::uint64_t size = 0;
        const int index = parser.findEntry(name, &size);
        ASSERT_GE(index, 0);
        EXPECT_EQ(size, expected.size());
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(parser.readStream(index, back));
        EXPECT_TRUE(Bytes(back) == expected);
    }
}

TEST(CompoundFileWriter, SmallStreamsLayOutAsTheWordWriterExpects)
{
    CFBWriter writer;
    MemFile mem;
    ASSERT_TRUE(mem.open("out.doc", kFileWriteNew));
    writer.setFile(&mem);
    int word = -1, table = -1;
    ASSERT_TRUE(writer.createStream(u"WordDocument", 0, word));
    ASSERT_TRUE(writer.createStream(u"1Table", 0, table));
    int dup = -1;
    EXPECT_FALSE(writer.createStream(u"WORDDOCUMENT", 0, dup));
    EXPECT_FALSE(writer.createStream(u"worddocument", 0, dup));
    EXPECT_FALSE(writer.createStream(std::u16string(32, u'x'), 0, dup));
    EXPECT_FALSE(writer.createStream(u"Other", 1, dup));
    EXPECT_TRUE(writer.createStream(std::u16string(31, u'x'), 0, dup));
    ASSERT_TRUE(writer.selectStream(table));
    ASSERT_TRUE(writer.writeStream("abc", 3));
    writer.setPosition(100);
    ASSERT_TRUE(writer.writeStream("z", 1));
    EXPECT_EQ(writer.streamSize(table), 4096u);
    ASSERT_TRUE(writer.finish());

    const auto* b = reinterpret_cast<const std::uint8_t*>(mem.bytes().data());
    EXPECT_EQ(mem.bytes().size() % 512, 0u);
    EXPECT_EQ(Load32(b + cfb::kHdrFatSectors), 1u);
    EXPECT_EQ(Load32(b + cfb::kHdrDifat), 0u);                 // sector 0: the FAT
    EXPECT_EQ(Load32(b + cfb::kHdrFirstDirSector), 1u);        // sector 1: the directory
    EXPECT_EQ(Load32(b + cfb::kHdrMiniFatSectors), 0u);
    EXPECT_EQ(Load32(b + cfb::kHdrFirstMiniFat), cfb::kEndOfChain);
    const std::uint8_t* root = b + 2 * 512;
    EXPECT_EQ(Load32(root + cfb::kDirStart), cfb::kEndOfChain);
    EXPECT_EQ(root[cfb::kDirClassId], 0x06);
    EXPECT_EQ(root[cfb::kDirClassId + 15], 0x46);

    CFBParser parser;
    parser.setFile(&mem);
    ASSERT_TRUE(parser.load());
    // Streams follow in creation order, each 8 sectors of 512 bytes.
    const auto& dir = parser.entries();
    EXPECT_EQ(dir[static_cast<std::size_t>(word)].start, 2u);
    EXPECT_EQ(dir[static_cast<std::size_t>(table)].start, 10u);
    EXPECT_EQ(parser.findEntry(u"worddocument"), -1);
    EXPECT_EQ(parser.findEntry(u"WordDocument"), word);
    char buf[8] = {};
    std::uint64_t got = 0;
    ASSERT_TRUE(parser.readStream(table, buf, 4090, 8, &got));
    EXPECT_EQ(got, 6u);
    ASSERT_TRUE(parser.readStream(table, buf, 0, 3, &got));
    EXPECT_EQ(std::string(buf, 3), "abc");
    ASSERT_TRUE(parser.readStream(table, buf, 5000, 8, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(parser.readStream(0, buf, 0, 1));   // the root is no stream
}

TEST(CompoundFileReader, EveryStreamOfOfficeFilesEqualsOlefile)
{
    for (const char* name : {"lo-writer.doc", "lo-calc.xls", "lo-impress.ppt"}) {
        SCOPED_TRACE(name);
        TempDir dump;
        const auto ole = OleStreams(kFixtures + name, dump);
        ASSERT_FALSE(ole.empty());
        FileObjectPosix file;
        CFBParser parser;
        parser.setFile(&file);
        ASSERT_TRUE(file.open(kFixtures + name, kFileReadExisting));
        ASSERT_TRUE(parser.load());
        const auto ours = OurStreams(parser);
        EXPECT_EQ(ours.size(), ole.size());
        bool sawMini = false;
        for (const auto& [path, bytes] : ole) {
            ASSERT_TRUE(ours.count(path));
            std::vector<std::uint8_t> back;
            ASSERT_TRUE(parser.readStream(ours.at(path), back));
            EXPECT_TRUE(Bytes(back) == bytes);
            sawMini = sawMini || bytes.size() < 4096;
        }
        EXPECT_TRUE(sawMini);
    }
    // open() loads and closes; a folder or a missing file is refused.
    FileObjectPosix file;
    CFBParser parser;
    parser.setFile(&file);
    EXPECT_TRUE(parser.open(kFixtures + "lo-writer.doc"));
    EXPECT_FALSE(file.isOpen());
    EXPECT_GE(parser.findEntry(u"1Table"), 0);
    EXPECT_FALSE(parser.open(kFixtures));
    EXPECT_FALSE(parser.open(kFixtures + "missing.doc"));
}

// A valid file with streams in plain and mini sectors, the base of the
// damaged files below.
std::string Fixture(const char* name)
{
    return ReadFile(kFixtures + name);
}

void Put32At(std::string& s, std::size_t at, std::uint32_t v)
{
    Store32(reinterpret_cast<std::uint8_t*>(s.data()) + at, v);
}

void Put16At(std::string& s, std::size_t at, std::uint16_t v)
{
    Store16(reinterpret_cast<std::uint8_t*>(s.data()) + at, v);
}

std::uint32_t Get32(const std::string& s, std::size_t at)
{
    return Load32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

std::size_t SectorAt(std::uint32_t sector)
{
    return (std::size_t{sector} + 1) * 512;
}

std::size_t FatEntryAt(const std::string& s, std::uint32_t sector)
{
    const std::uint32_t fatSector = Get32(s, cfb::kHdrDifat + 4 * (sector / 128));
    return SectorAt(fatSector) + 4 * (sector % 128);
}

std::size_t DirEntryAt(const std::string& s, std::uint32_t index)
{
    return SectorAt(Get32(s, cfb::kHdrFirstDirSector)) + 128 * std::size_t{index};
}

// Loads the bytes and reads every stream; true only when all of it worked.
bool LoadAndReadAll(const std::string& bytes)
{
    MemFile mem(bytes);
    CFBParser parser;
    parser.setFile(&mem);
    if (!parser.load())
        return false;
    for (std::size_t i = 0; i < parser.entries().size(); ++i) {
        std::vector<std::uint8_t> out;
        if (parser.entries()[i].type == cfb::kTypeStream && !parser.readStream(static_cast<int>(i), out))
            return false;
    }
    return true;
}

TEST(CompoundFileReader, DamagedFilesFailInBoundedTime)
{
    const std::string doc = Fixture("lo-writer.doc");
    ASSERT_TRUE(LoadAndReadAll(doc));
    const std::uint32_t firstDir = Get32(doc, cfb::kHdrFirstDirSector);
    const std::uint32_t miniFat = Get32(doc, cfb::kHdrFirstMiniFat);
    MemFile mem(doc);
    CFBParser parser;
    parser.setFile(&mem);
    ASSERT_TRUE(parser.load());
    const int wordIndex = parser.findEntry(u"WordDocument");
    const int miniIndex = parser.findEntry(u"\x01" u"CompObj");
    ASSERT_GE(wordIndex, 0);
    ASSERT_GE(miniIndex, 0);
    const std::uint32_t wordStart = parser.entries()[static_cast<std::size_t>(wordIndex)].start;
    const std::uint32_t miniStart = parser.entries()[static_cast<std::size_t>(miniIndex)].start;

    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    const std::vector<Case> cases = {
        {"wrong magic", [](std::string& s) { s[0] = 'X'; }},
        {"truncated at 0", [](std::string& s) { s.clear(); }},
        {"truncated at 511", [](std::string& s) { s.resize(511); }},
        {"truncated in the FAT", [&](std::string& s) { s.resize(SectorAt(Get32(s, cfb::kHdrDifat)) + 100); }},
        {"truncated in the directory", [&](std::string& s) { s.resize(SectorAt(firstDir) + 300); }},
        {"FAT loop in a stream", [&](std::string& s) { Put32At(s, FatEntryAt(s, wordStart + 1), wordStart); }},
        {"directory loop", [&](std::string& s) { Put32At(s, FatEntryAt(s, firstDir), firstDir); }},
        {"MiniFAT sector loop",
         [&](std::string& s) {
             Put32At(s, FatEntryAt(s, miniFat), miniFat);
             Put32At(s, cfb::kHdrMiniFatSectors, 50);
         }},
        {"mini stream loop", [&](std::string& s) { Put32At(s, SectorAt(miniFat) + 4 * miniStart, miniStart); }},
        {"DIFAT loop",
         [&](std::string& s) {
             // The first directory sector posing as a DIFAT sector that names
             // itself as the next one.
             Put32At(s, cfb::kHdrFirstDifat, firstDir);
             Put32At(s, cfb::kHdrDifatSectors, 1000);
             for (int k = 0; k < 127; ++k)
                 Put32At(s, SectorAt(firstDir) + 4 * k, cfb::kFreeSect);
             Put32At(s, SectorAt(firstDir) + 4 * 127, firstDir);
         }},
        {"sector shift 0", [](std::string& s) { Put16At(s, cfb::kHdrSectorShift, 0); }},
        {"sector shift 31", [](std::string& s) { Put16At(s, cfb::kHdrSectorShift, 31); }},
        {"directory sector past the end", [](std::string& s) { Put32At(s, cfb::kHdrFirstDirSector, 0x7FFFFFF0); }},
        {"FAT sector past the end", [](std::string& s) { Put32At(s, cfb::kHdrDifat + 4, 0x00FFFFFF); }},
        {"stream sector past the end",
         [&](std::string& s) { Put32At(s, DirEntryAt(s, static_cast<std::uint32_t>(wordIndex)) + cfb::kDirStart, 1u << 30); }},
        {"size of 2^40 in a version 4 header",
         [&](std::string& s) {
             Put16At(s, cfb::kHdrMajorVersion, 4);
             Put32At(s, cfb::kHdrDirSectors, 1000);
             const std::size_t at = DirEntryAt(s, static_cast<std::uint32_t>(wordIndex)) + cfb::kDirSize;
             Put32At(s, at, 0);
             Put32At(s, at + 4, 0x100);
         }},
        {"name length 0xFFFF",
         [&](std::string& s) {
             Put16At(s, DirEntryAt(s, static_cast<std::uint32_t>(wordIndex)) + cfb::kDirNameLength, 0xFFFF);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = doc;
        c.damage(bytes);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(LoadAndReadAll(bytes));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

TEST(CompoundFileReader, HighHalfOfVersion3SizesAndSiblingLoopsAreHarmless)
{
    std::string doc = Fixture("lo-writer.doc");
    MemFile mem(doc);
    CFBParser parser;
    parser.setFile(&mem);
    ASSERT_TRUE(parser.load());
    const int word = parser.findEntry(u"WordDocument");
    const std::uint64_t size = parser.entries()[static_cast<std::size_t>(word)].size;

    const std::size_t at = DirEntryAt(doc, static_cast<std::uint32_t>(word));
    Put32At(doc, at + cfb::kDirSize + 4, 0xDEADBEEF);
    // Every entry of the root's tree names the root's child as its sibling.
    for (std::uint32_t i = 1; i < parser.entries().size(); ++i) {
        Put32At(doc, DirEntryAt(doc, i) + cfb::kDirLeft, parser.entries()[0].child);
        Put32At(doc, DirEntryAt(doc, i) + cfb::kDirRight, parser.entries()[0].child);
    }
    MemFile damaged(doc);
    parser.setFile(&damaged);
    ASSERT_TRUE(parser.load());
    EXPECT_EQ(parser.entries()[static_cast<std::size_t>(word)].size, size);
    EXPECT_EQ(parser.findEntry(u"NoSuchStream"), -1);
}

TEST(CompoundFileReader, EveryTruncationIsRefusedOrReadWhole)
{
    const std::string doc = Fixture("lo-calc.xls");
    for (std::size_t n = 0; n < doc.size(); n += 97) {
        MemFile mem(doc.substr(0, n));
        CFBParser parser;
        parser.setFile(&mem);
        if (!parser.load())
            continue;
        for (std::size_t i = 0; i < parser.entries().size(); ++i) {
            std::vector<std::uint8_t> out;
            if (parser.entries()[i].type == cfb::kTypeStream)
                parser.readStream(static_cast<int>(i), out);
        }
    }
}

} // namespace
} // namespace scrivlet
