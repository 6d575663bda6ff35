// The SWF reader and rewriter against python3-yaswfp: embedding a document
// into the viewer template (plain and compressed), resizing the stage, tag
// headers, and damaged files.
#include "app/filetools/swffile.h"
#include "engine/layout/utf8.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <openssl/sha.h>

namespace {

namespace fs = std::filesystem;

std::wstring W(const fs::path& p)
{
    return utf8::ToWide(p.string());
}

// What yaswfp reads, one line a fact (see swfinfo.py); empty when it fails.
std::string Yaswfp(const fs::path& file)
{
    int status = -1;
    const std::string out = testutil::Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR
                                          "/app/filetools/tests/swfinfo.py " +
                                              testutil::Quote(file.string()),
                                          &status);
    return status == 0 ? out : std::string();
}

std::string Sha1Hex(const std::string& data)
{
    unsigned char d[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(data.data()), data.size(), d);
    std::string hex;
    char b[3];
    for (unsigned char c : d) {
        std::snprintf(b, sizeof b, "%02x", c);
        hex += b;
    }
    return hex;
}

class Swf : public ::testing::Test {
protected:
    // A copy of a template in the scratch folder.
    fs::path Template(const char* name)
    {
        const fs::path p = tmp_.path() / name;
        fs::copy_file(fixtures::Path(name), p);
        return p;
    }
    testutil::TempDir tmp_;
};

// The document lands in the DefineBinaryData tag with id 47 (now with a long
// header), the tag with id 48 and every other tag stay as they were, and the
// file stays plain or compressed with the right length.
TEST_F(Swf, EmbedsTheDocumentInPlainAndCompressedTemplates)
{
    std::string document = "FWS";
    for (int i = 0; i < 3000; ++i)
        document += static_cast<char>(i * 7);
    testutil::WriteFile(tmp_.path() / "doc.swf", document);
    const std::string otherSha = Sha1Hex(std::string("\x30\0\0\0\0\0other", 11));
    const std::string newSha = Sha1Hex(std::string("\x2f\0\0\0\0\0", 6) + document);

    for (const char* name : {"template_fws.swf", "template_cws.swf"}) {
        SCOPED_TRACE(name);
        const fs::path swf = Template(name);
        ASSERT_TRUE(SWFEmbedBinaryData(W(tmp_.path() / "doc.swf").c_str(), W(swf).c_str()));
        const std::string info = Yaswfp(swf);
        ASSERT_FALSE(info.empty());
        const bool compressed = name == std::string("template_cws.swf");
        EXPECT_NE(info.find(compressed ? "signature CWS" : "signature FWS"), std::string::npos);
        EXPECT_TRUE(SWFFile(W(swf)).ok());
        // The uncompressed length: 8 + RECT 9 + 4 + tags.
        const std::size_t length = 8 + 9 + 4 + (2 + 3) + (6 + 10) + (2 + 11) +
                                   (6 + 6 + document.size()) + 2 + 2;
        EXPECT_NE(info.find("length " + std::to_string(length) + "\n"), std::string::npos) << info;
        if (!compressed) {
            EXPECT_EQ(fs::file_size(swf), length);
        }
        EXPECT_NE(info.find("frame 0 11000 0 8000\n"), std::string::npos) << info;
        EXPECT_NE(info.find("tag DefineBinaryData 11 300000000000 " + otherSha), std::string::npos)
            << info;
        EXPECT_NE(info.find("tag DefineBinaryData " + std::to_string(6 + document.size()) +
                            " 2f0000000000 " + newSha),
                  std::string::npos)
            << info;
        EXPECT_NE(info.find("tag SetBackgroundColor\ntag DefineBits 10 "), std::string::npos) << info;
        EXPECT_NE(info.find("tag ShowFrame"), std::string::npos) << info;
    }
}

// A DefineBits tag is written with the six-byte header even when short.
TEST_F(Swf, WritesLongHeadersWhereNeeded)
{
    const fs::path swf = Template("template_fws.swf");
    const std::string before = testutil::ReadFile(swf);
    ASSERT_TRUE(SWFResizeFrame(W(swf).c_str(), 550, 400));
    const std::string after = testutil::ReadFile(swf);
    // Short header 6 << 6 | 10 became 6 << 6 | 63 followed by the length.
    EXPECT_NE(before.find(std::string("\x8a\x01\x00\x01\x02", 5)), std::string::npos);
    EXPECT_NE(after.find(std::string("\xbf\x01\x0a\x00\x00\x00\x00\x01\x02", 9)), std::string::npos);
    EXPECT_EQ(after.size(), before.size() + 4);
}

TEST_F(Swf, ResizesTheStage)
{
    struct Case {
        int width, height;
        int nbits;
        const char* frame;
    };
    for (const Case& c : {Case{800, 600, 15, "frame 0 16000 0 12000\n"},
                          Case{2000, 1500, 17, "frame 0 40000 0 30000\n"},
                          Case{1, 1, 15, "frame 0 20 0 20\n"}}) {
        SCOPED_TRACE(c.frame);
        for (const char* name : {"template_fws.swf", "template_cws.swf"}) {
            const fs::path swf = tmp_.path() / (std::to_string(c.width) + name);
            fs::copy_file(fixtures::Path(name), swf);
            ASSERT_TRUE(SWFResizeFrame(W(swf).c_str(), c.width, c.height));
            const SWFFile back(W(swf));
            ASSERT_TRUE(back.ok());
            EXPECT_EQ(back.Header().rect.nbits, c.nbits);
            EXPECT_EQ(back.Header().rect.length, (5 + 4 * c.nbits + 7) / 8);
            EXPECT_EQ(back.Header().frameWidth, c.width * 20);
            EXPECT_NE(Yaswfp(swf).find(c.frame), std::string::npos);
        }
    }
    const fs::path swf = Template("template_fws.swf");
    EXPECT_FALSE(SWFResizeFrame(W(swf).c_str(), -5, 100));
    EXPECT_EQ(testutil::ReadFile(swf), testutil::ReadFile(fixtures::Path("template_fws.swf")));
}

// Damaged files are refused and left exactly as they were.
TEST_F(Swf, RefusesDamagedFilesAndLeavesThemUntouched)
{
    const std::string fws = testutil::ReadFile(fixtures::Path("template_fws.swf"));
    const std::string cws = testutil::ReadFile(fixtures::Path("template_cws.swf"));
    std::string badLength = cws;
    badLength[4] = static_cast<char>(badLength[4] + 1); // not the inflated length
    std::string hugeTag = fws;
    hugeTag.replace(hugeTag.find(std::string("\x8a\x01", 2)), 2, std::string("\xbf\x01\xff\xff\xff\x7f", 6));
    std::string wideRect = fws;
    wideRect[8] = static_cast<char>(0xF8); // Nbits 31: the RECT runs past the data
    wideRect.resize(14);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"signature", "ZWS" + fws.substr(3)},
        {"cut header", fws.substr(0, 10)},
        {"cut tag", fws.substr(0, fws.size() - 12)},
        {"cut stream", cws.substr(0, cws.size() - 5)},
        {"length", badLength},
        {"tag length", hugeTag},
        {"rect", wideRect},
    };
    testutil::WriteFile(tmp_.path() / "doc.bin", "document");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SWFFile::FromBytes(c.bytes).ok());
        const fs::path swf = tmp_.path() / "damaged.swf";
        testutil::WriteFile(swf, c.bytes);
        EXPECT_FALSE(SWFEmbedBinaryData(W(tmp_.path() / "doc.bin").c_str(), W(swf).c_str()));
        EXPECT_FALSE(SWFResizeFrame(W(swf).c_str(), 100, 100));
        EXPECT_EQ(testutil::ReadFile(swf), c.bytes);
    }
    // A missing document, or a template without the tag: nothing written.
    const fs::path swf = Template("template_fws.swf");
    EXPECT_FALSE(SWFEmbedBinaryData(W(tmp_.path() / "none.bin").c_str(), W(swf).c_str()));
    std::string noTag = fws;
    // DefineBinaryData (87 << 6 | 10) with id 47 becomes id 48.
    noTag[noTag.find(std::string("\xca\x15\x2f\x00", 4)) + 2] = 0x30;
    testutil::WriteFile(swf, noTag);
    EXPECT_FALSE(SWFEmbedBinaryData(W(tmp_.path() / "doc.bin").c_str(), W(swf).c_str()));
    EXPECT_EQ(testutil::ReadFile(swf), noTag);
}

} // namespace
