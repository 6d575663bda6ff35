// Password protection of packages, checked with msoffcrypto-tool (an
// independent reader of the format): the right password decrypts the
// original bytes with a valid integrity HMAC, a wrong one is refused, and
// the compound file holds the streams Office expects.

#include "engine/writers/docx/compoundfile.h"
#include "engine/writers/docx/officecrypto.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using testutil::Quote;
using testutil::ReadFile;
using testutil::Run;
using testutil::TempDir;
using testutil::WriteFile;

const std::string kDecrypt = TRANCEL_SOURCE_DIR "/engine/writers/docx/tests/office_decrypt.py";

struct Decrypted {
    int status = -1;
    std::string streams;   // the compound file's stream paths
    std::string bytes;     // what the password decrypted
};

Decrypted DecryptWith(const TempDir& dir, const std::string& encrypted, const std::string& password)
{
    WriteFile(dir.path() / "in.docx", encrypted);
    Decrypted d;
    d.streams = Run("/usr/bin/python3 " + Quote(kDecrypt) + " " + Quote(dir.str() + "in.docx") + " " +
                        Quote(dir.str() + "out.bin") + " " + Quote(password) + " 2>&1",
                    &d.status);
    d.bytes = ReadFile(dir.path() / "out.bin");
    return d;
}

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

// A zip of about `size` bytes (one stored entry of random bytes): the reader
// checks that what it decrypted is a package.
std::string ZipOfSize(const TempDir& dir, std::size_t size, unsigned seed)
{
    const std::size_t overhead = 200;
    WriteFile(dir.path() / "data.bin", RandomBytes(size > overhead ? size - overhead : 1, seed));
    std::filesystem::remove(dir.path() / "pkg.zip");
    Run("cd " + Quote(dir.str()) + " && zip -0 -q pkg.zip data.bin");
    return ReadFile(dir.path() / "pkg.zip");
}

TEST(OfficeCrypto, RightPasswordDecryptsTheSameBytesWrongOneIsRefused)
{
    TempDir dir;
    // Sizes around the 4096-byte segments and the mini-stream cutoff; the
    // password has characters beyond ASCII and beyond the basic plane.
    const std::wstring password = L"p\u00e4ss w\u00f6rd \u20ac\U0001D11E";
    const std::string utf8Password = "p\xc3\xa4ss w\xc3\xb6rd \xe2\x82\xac\xf0\x9d\x84\x9e";
    for (std::size_t size : {std::size_t{300}, std::size_t{4095}, std::size_t{4096}, std::size_t{10000}}) {
        SCOPED_TRACE(size);
        const std::string package = ZipOfSize(dir, size, static_cast<unsigned>(size));
        ASSERT_FALSE(package.empty());
        const std::string encrypted = EncryptOfficePackage(package, PasswordUtf16(password));
        ASSERT_FALSE(encrypted.empty());

        const Decrypted right = DecryptWith(dir, encrypted, utf8Password);
        ASSERT_EQ(right.status, 0) << right.streams;
        EXPECT_EQ(right.bytes, package);
        for (const char* stream : {"EncryptionInfo", "EncryptedPackage", "\x06" "DataSpaces/Version",
                                   "\x06" "DataSpaces/DataSpaceMap",
                                   "\x06" "DataSpaces/DataSpaceInfo/StrongEncryptionDataSpace",
                                   "\x06" "DataSpaces/TransformInfo/StrongEncryptionTransform/\x06" "Primary"})
            EXPECT_NE(right.streams.find(std::string(stream) + "\n"), std::string::npos) << stream;

        EXPECT_EQ(DecryptWith(dir, encrypted, "password").status, 2);
    }
}

TEST(OfficeCrypto, EveryEncryptionIsFreshlySalted)
{
    const std::string package = RandomBytes(5000, 7);
    EXPECT_NE(EncryptOfficePackage(package, u"secret"), EncryptOfficePackage(package, u"secret"));
}

// A package of more than 7 MiB needs more FAT sectors than the header
// lists: the compound file continues the list in DIFAT sectors.
TEST(OfficeCrypto, LargePackageNeedsDifatSectors)
{
    TempDir dir;
    const std::string package = ZipOfSize(dir, 8u << 20, 3);
    const std::string encrypted = EncryptOfficePackage(package, u"big");
    ASSERT_FALSE(encrypted.empty());
    // The header counts the DIFAT sectors at offset 72.
    const auto difat = static_cast<unsigned char>(encrypted[72]);
    EXPECT_GE(difat, 1);
    const Decrypted d = DecryptWith(dir, encrypted, "big");
    ASSERT_EQ(d.status, 0) << d.streams;
    EXPECT_TRUE(d.bytes == package);
}

TEST(CompoundFile, RefusesBadNamesAndTakenPaths)
{
    CompoundFileWriter file;
    EXPECT_TRUE(file.AddStream(u"a/b", "x"));
    EXPECT_FALSE(file.AddStream(u"a/b", "y"));        // taken
    EXPECT_FALSE(file.AddStream(u"A/B", "y"));        // names compare without case
    EXPECT_FALSE(file.AddStream(u"a/b/c", "y"));      // through a stream
    EXPECT_FALSE(file.AddStream(u"", "y"));
    EXPECT_FALSE(file.AddStream(u"x:y", "y"));
    EXPECT_FALSE(file.AddStream(std::u16string(32, u'n'), "y"));
    EXPECT_TRUE(file.AddStream(std::u16string(31, u'n'), "y"));
}

} // namespace
