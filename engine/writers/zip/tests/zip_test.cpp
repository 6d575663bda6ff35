#include "engine/layout/pagepipeline.h"
#include "engine/layout/utf8.h"
#include "engine/writers/zip/zippackage.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <random>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

const char* const kPython = "/usr/bin/python3";

// Lists a zip through Python's zipfile: one line per entry with its name,
// compression method, flag bits and (with a password) its content length.
std::string ListZip(const std::string& zip, const std::string& password = "")
{
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "pwd = sys.argv[2].encode() or None\n"
        "for i in z.infolist():\n"
        "    n = len(z.read(i, pwd=pwd)) if pwd else i.file_size\n"
        "    print(i.filename, i.compress_type, i.flag_bits, n)\n";
    return testutil::Run(std::string(kPython) + " -c " + Quote(script) + " " + Quote(zip) + " " +
               Quote(password) + " 2>&1");
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::vector<std::string> EntryNames(const std::string& zip)
{
    std::vector<std::string> names;
    for (const std::string& line : Lines(ListZip(zip)))
        names.push_back(line.substr(0, line.find(' ')));
    return names;
}

// Every file below a folder, as relative paths.
std::vector<std::string> Tree(const fs::path& root)
{
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        out.push_back(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

class ZipPackaging : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "C");
        // The tree of an EPUB package before packing.
        WriteFile(P("book/mimetype"), "application/epub+zip");
        WriteFile(P("book/META-INF/container.xml"), "<container/>");
        WriteFile(P("book/OEBPS/toc.ncx"), "<ncx/>");
        WriteFile(P("book/OEBPS/content.opf"), "<package/>");
        WriteFile(P("book/OEBPS/1.html"), std::string(50000, 'h'));
        WriteFile(P("book/OEBPS/image/Grüße 文.jpg"), "jpegdata");
        fs::create_directories(P("book/OEBPS/css"));
    }

    fs::path P(const std::string& rel) const { return dir.path() / rel; }
    std::string S(const std::string& rel) const { return dir.str() + rel; }
    std::wstring W(const std::string& rel) const { return utf8::ToWide(S(rel)); }

    TempDir dir;
};

TEST_F(ZipPackaging, EpubTreePacksInOrderDeflated)
{
    const std::string zip = S("Grüße 文.epub");
    testing::internal::CaptureStderr();
    const bool ok = ZipCompress(utf8::ToWide(zip).c_str(), nullptr, W("book/mimetype").c_str(),
                                W("book/META-INF").c_str(), W("book/OEBPS").c_str(), L"-1");
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ok);

    int status = -1;
    testutil::Run("unzip -t " + Quote(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0);

    // Names in order, all deflated (method 8); flag bits 2 mark maximum
    // compression; the non-ASCII name carries the UTF-8 flag (bit 11).
    const std::vector<std::string> expected = {
        "mimetype 8 2 20",
        "META-INF/container.xml 8 2 12",
        "OEBPS/1.html 8 2 50000",
        "OEBPS/content.opf 8 2 10",
        "OEBPS/image/Grüße 文.jpg 8 2050 8",
        "OEBPS/toc.ncx 8 2 6",
    };
    EXPECT_EQ(Lines(ListZip(zip)), expected);
    EXPECT_EQ(testutil::Run("unzip -p " + Quote(zip) + " mimetype"), "application/epub+zip");
}

// A package of many entries, from bytes and from files, of every kind of
// content: Python's zipfile reads every entry back as it was given, with its
// method (stored first, deflated at the maximum level after), its CRC, and
// the file mode of an entry made from a file; unzip finds no error.
TEST_F(ZipPackaging, PackagesOfManyEntriesReadBackAsGiven)
{
    std::vector<ZipPackageEntry> entries;
    entries.push_back({"mimetype", "application/epub+zip", std::string(), true});
    std::string noise;
    unsigned x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        noise.push_back(static_cast<char>(x >> 24));
    }
    const std::string contents[] = {std::string(), "x", std::string(70000, 'h'), noise,
                                    noise.substr(0, 3000) + std::string(5000, ' ')};
    for (int i = 0; i < 30; ++i) {
        const std::string& content = contents[i % 5];
        const std::string name = "OEBPS/" + std::to_string(i) + (i % 2 ? ".jpg" : ".html");
        if (i % 2) {
            const fs::path file = P("files/" + std::to_string(i));
            WriteFile(file, content);
            fs::permissions(file, fs::perms(0640));
            entries.push_back({name, std::string(), file.string(), false});
        } else {
            entries.push_back({name, content, std::string(), false});
        }
    }
    const std::string zip = S("many.epub");
    ASSERT_TRUE(ZipWritePackage(zip, entries));

    int status = -1;
    testutil::Run("unzip -t " + Quote(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    // What each entry should hold, beside the zip, for Python to compare.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipPackageEntry& e = entries[i];
        WriteFile(P("expected/" + std::to_string(i)), e.file.empty() ? e.bytes : ReadFile(e.file));
    }
    const std::string script =
        "import sys, os, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "for n, i in enumerate(z.infolist()):\n"
        "    same = z.read(i) == open(os.path.join(sys.argv[2], str(n)), 'rb').read()\n"
        "    print(i.filename, i.compress_type, i.flag_bits, oct(i.external_attr >> 16),\n"
        "          'same' if same else 'differs')\n";
    const std::vector<std::string> listed =
        Lines(testutil::Run(std::string(kPython) + " -c " + Quote(script) + " " + Quote(zip) + " " +
                            Quote(S("expected")) + " 2>&1"));
    ASSERT_EQ(listed.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipPackageEntry& e = entries[i];
        const std::string mode = e.file.empty() ? "0o100666" : "0o100640";
        const std::string method = e.store ? "0 0" : "8 2";
        EXPECT_EQ(listed[i], e.name + " " + method + " " + mode + " same");
    }

    // A file that cannot be read fails the package, and nothing is left
    // at its path.
    entries.push_back({"OEBPS/gone.jpg", std::string(), S("files/gone"), false});
    EXPECT_FALSE(ZipWritePackage(S("failed.epub"), entries));
    EXPECT_FALSE(fs::exists(P("failed.epub")));
}

TEST_F(ZipPackaging, PasswordEncryptsEveryEntryForUnzipAndPython)
{
    const std::string zip = S("doc.docx");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ZipCompress(S("doc.docx").c_str(), "pa ss", S("book/OEBPS").c_str(),
                            S("book/mimetype").c_str(), "-1"));
    testing::internal::GetCapturedStderr();

    int status = -1;
    testutil::Run("unzip -t -P 'pa ss' " + Quote(zip) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testutil::Run("unzip -p -P 'pa ss' " + Quote(zip) + " mimetype"), "application/epub+zip");
    testutil::Run("unzip -t -P wrong " + Quote(zip) + " 2>&1", &status);
    EXPECT_NE(status, 0);

    // Python reads every entry with the password; each is marked encrypted.
    const std::vector<std::string> lines = Lines(ListZip(zip, "pa ss"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.front(), "OEBPS/1.html 8 11 50000");
    EXPECT_EQ(lines.back(), "mimetype 8 11 20");
    for (const std::string& line : lines) {
        // The flags are the next-to-last number of the line.
        const std::string head = line.substr(0, line.rfind(' '));
        const int flags = std::stoi(head.substr(head.rfind(' ') + 1));
        EXPECT_EQ(flags & 1, 1) << line;
    }
    // Without the password nothing can be read.
    const std::string script = "import sys, zipfile\n"
                               "zipfile.ZipFile(sys.argv[1]).read('mimetype')\n";
    EXPECT_NE(testutil::Run(std::string(kPython) + " -c " + Quote(script) + " " + Quote(zip) + " 2>&1")
                  .find("password required"),
              std::string::npos);
}

TEST_F(ZipPackaging, PatternRules)
{
    testing::internal::CaptureStderr();
    // A missing pattern stops the packing: the entries before it are kept.
    EXPECT_FALSE(ZipCompress(S("a.zip").c_str(), nullptr, S("book/mimetype").c_str(),
                             S("book/none").c_str(), S("book/META-INF").c_str(), nullptr));
    // An empty folder adds nothing and succeeds; the zip holds no entry.
    EXPECT_TRUE(ZipCompress(S("b.zip").c_str(), nullptr, S("book/OEBPS/css").c_str(), "-1"));
    // Wildcards in the last part; a pattern ending in "/" finds nothing.
    EXPECT_TRUE(ZipCompress(W("c.zip").c_str(), nullptr, W("book/OEBPS/*.*").c_str(),
                            W("book/*type").c_str(), static_cast<const wchar_t*>(nullptr)));
    EXPECT_FALSE(ZipCompress(S("d.zip").c_str(), nullptr, S("book/OEBPS/").c_str(), "-1"));
    // The folder of the zip does not exist.
    EXPECT_FALSE(ZipCompress(S("no/such/e.zip").c_str(), nullptr, S("book/mimetype").c_str(), "-1"));
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("file not found. "), std::string::npos);

    EXPECT_EQ(EntryNames(S("a.zip")), (std::vector<std::string>{"mimetype"}));
    EXPECT_TRUE(EntryNames(S("b.zip")).empty());
    EXPECT_EQ(ListZip(S("b.zip")), "");
    EXPECT_EQ(EntryNames(S("c.zip")),
              (std::vector<std::string>{"1.html", "content.opf", "image/Grüße", "toc.ncx",
                                        "mimetype"}));
    EXPECT_FALSE(fs::exists(P("no")));
}

TEST_F(ZipPackaging, PackedTreeUnpacksToTheSameFiles)
{
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ZipCompress(S("p.zip").c_str(), nullptr, S("book/OEBPS").c_str(), "-1"));
    testing::internal::GetCapturedStderr();

    char dest[4096];
    std::snprintf(dest, sizeof dest, "%s", S("Ausgabe ü").c_str());
    ASSERT_TRUE(unzipPackage(dest, S("p.zip").c_str()));
    EXPECT_EQ(std::string(dest), S("Ausgabe ü/"));
    EXPECT_EQ(Tree(P("Ausgabe ü")),
              (std::vector<std::string>{"OEBPS/", "OEBPS/1.html", "OEBPS/content.opf",
                                        "OEBPS/image/", "OEBPS/image/Grüße 文.jpg",
                                        "OEBPS/toc.ncx"}));
    EXPECT_EQ(ReadFile(P("Ausgabe ü/OEBPS/1.html")), std::string(50000, 'h'));
    EXPECT_EQ(ReadFile(P("Ausgabe ü/OEBPS/image/Grüße 文.jpg")), "jpegdata");
}

TEST_F(ZipPackaging, OfficePackageUnpacksBelowTheFolder)
{
    WriteFile(P("pkg/word/document.xml"), "<w:document/>");
    WriteFile(P("pkg/[Content_Types].xml"), "<Types/>");
    ASSERT_EQ(testutil::Run("cd " + Quote(S("pkg")) + " && zip -q -r ../doc.docx word '[Content_Types].xml'"),
              "");
    // Unpacking into an existing folder with its trailing "/" is fine too.
    char dest[4096];
    std::snprintf(dest, sizeof dest, "%s", S("out").c_str());
    ASSERT_TRUE(unzipPackage(dest, S("doc.docx").c_str()));
    EXPECT_EQ(std::string(dest), S("out/"));
    EXPECT_EQ(ReadFile(P("out/word/document.xml")), "<w:document/>");
    EXPECT_EQ(ReadFile(P("out/[Content_Types].xml")), "<Types/>");
    ASSERT_TRUE(unzipPackage(dest, S("doc.docx").c_str()));
    EXPECT_EQ(std::string(dest), S("out/"));
}

// Text of pseudo-random words: long files of it deflate with references
// reaching back across any cut into pieces.
std::string Words(std::size_t bytes, unsigned seed)
{
    static const char* const kWords[] = {"<w:r>", "<w:t>", "lorem", "ipsum", "dolor", "\n",
                                         "margin-top:", "12.5pt;", "sit", "amet", "\xc3\xbc"};
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(bytes + 16);
    while (out.size() < bytes) {
        out += kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        out += static_cast<char>('a' + rng() % 26);
    }
    out.resize(bytes);
    return out;
}

// Large files are deflated in pieces on several threads: whatever the size
// (ending at a piece boundary, several batches of pieces, a rest cut into
// smaller pieces), the number of threads and the password, zip readers find
// the same bytes, a valid CRC and an entry deflated at maximum compression,
// and the archive's bytes do not depend on the number of threads.
TEST_F(ZipPackaging, LargeFilesDeflatedInPiecesReadBackExactly)
{
    struct Case {
        std::size_t bytes;
        const char* password;
    };
    const Case cases[] = {
        {std::size_t(2) << 20, nullptr},               // the smallest file cut, at a piece boundary
        {(std::size_t(5) << 20) + 123, nullptr},       // several batches on one thread
        {(std::size_t(3) << 20) + 7, "pa ss"},         // encrypted after deflating
        {(std::size_t(2) << 20) + 200000, nullptr},    // the rest cut into smaller pieces
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string content = Words(c.bytes, static_cast<unsigned>(c.bytes));
        WriteFile(P("big/word/document.xml"), content);
        WriteFile(P("big/word/small.xml"), "<small/>");
        std::vector<std::string> archives;
        for (int threads : {1, 6}) {
            PagePipeline::SetThreadLimit(threads);
            const std::string zip = S("big" + std::to_string(threads) + ".docx");
            fs::remove(zip);
            testing::internal::CaptureStderr();
            const bool ok = ZipCompress(zip.c_str(), c.password, S("big/word").c_str(), "-1");
            testing::internal::GetCapturedStderr();
            ASSERT_TRUE(ok);
            archives.push_back(ReadFile(zip));

            const std::string pass = c.password ? c.password : "";
            int status = -1;
            testutil::Run("unzip -t " + (pass.empty() ? std::string() : "-P " + Quote(pass) + " ") +
                              Quote(zip) + " 2>&1",
                          &status);
            EXPECT_EQ(status, 0);
            // Python checks the CRC when it reads; the content is compared
            // byte for byte.
            const std::string script =
                "import sys, zipfile\n"
                "z = zipfile.ZipFile(sys.argv[1])\n"
                "i = z.getinfo('word/document.xml')\n"
                "data = z.read(i, pwd=sys.argv[2].encode() or None)\n"
                "sys.stdout.buffer.write(b'%d %d ' % (i.compress_type, i.flag_bits & 7) + data)\n";
            const std::string out = testutil::Run(std::string(kPython) + " -c " + Quote(script) + " " +
                                                  Quote(zip) + " " + Quote(pass) + " 2>&1");
            const std::string head = c.password ? "8 3 " : "8 2 ";
            ASSERT_GE(out.size(), head.size());
            EXPECT_EQ(out.substr(0, head.size()), head);
            EXPECT_TRUE(out.compare(head.size(), std::string::npos, content) == 0)
                << "read back " << out.size() - head.size() << " bytes of " << content.size();
        }
        PagePipeline::SetThreadLimit(0);
        // Without a password the archives are equal; with one, the
        // encryption header is random.
        if (!c.password) {
            EXPECT_TRUE(archives[0] == archives[1]);
        }
    }
}

// Files below the size cut into pieces are each one deflate stream: byte for
// byte what zlib makes of the file at level 9 with the largest window and
// memory (Python's zlib as the reference), whether packing deflated them
// ahead on several threads or, past what it reads ahead, left them to be
// deflated as the archive is written; and the archive does not depend on the
// number of threads.
TEST_F(ZipPackaging, SmallFilesAreZlibLevelNineStreams)
{
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    WriteFile(P("many/empty.xml"), "");
    WriteFile(P("many/tiny.xml"), "<w:t/>");
    WriteFile(P("many/media/noise.jpg"), Words(300000, 7));
    // Together more than packing reads ahead.
    for (int i = 0; i < 10; ++i)
        WriteFile(P("many/word/part" + std::to_string(i) + ".xml"), Words(kMiB * 19 / 10, 100u + i));
    std::vector<std::string> archives;
    for (int threads : {1, 6}) {
        PagePipeline::SetThreadLimit(threads);
        const std::string zip = S("many" + std::to_string(threads) + ".zip");
        testing::internal::CaptureStderr();
        const bool ok = ZipCompress(zip.c_str(), nullptr, S("many").c_str(), "-1");
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(ok);
        archives.push_back(ReadFile(zip));
    }
    PagePipeline::SetThreadLimit(0);
    EXPECT_TRUE(archives[0] == archives[1]);

    const std::string script =
        "import sys, zipfile, zlib, struct\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "f = open(sys.argv[1], 'rb')\n"
        "for i in z.infolist():\n"
        "    f.seek(i.header_offset + 26)\n"
        "    n, e = struct.unpack('<HH', f.read(4))\n"
        "    f.seek(i.header_offset + 30 + n + e)\n"
        "    raw = f.read(i.compress_size)\n"
        "    c = zlib.compressobj(9, zlib.DEFLATED, -15, 9)\n"
        "    same = raw == c.compress(z.read(i)) + c.flush()\n"
        "    print(i.filename, i.compress_type, 'same' if same else 'other')\n";
    const std::vector<std::string> lines =
        Lines(testutil::Run(std::string(kPython) + " -c " + Quote(script) + " " + Quote(S("many6.zip")) + " 2>&1"));
    std::vector<std::string> expected = {"many/empty.xml 8 same", "many/media/noise.jpg 8 same",
                                         "many/tiny.xml 8 same"};
    for (int i = 0; i < 10; ++i)
        expected.push_back("many/word/part" + std::to_string(i) + ".xml 8 same");
    EXPECT_EQ(lines, expected);
}

// A file deflated while it is written packs into the archive that deflating
// the file gives, however its bytes arrived; a deflater that saw other bytes
// than the file holds is not used. Packing takes the deflater's stream, for
// small files too, rather than deflating the file a second time.
TEST_F(ZipPackaging, EntriesDeflatedWhileWrittenPackAsTheirFiles)
{
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    struct Case {
        const char* name;
        std::size_t bytes;
        std::size_t chunk;     // bytes per Append; 0: all at once
        std::ptrdiff_t drift;  // bytes the deflater sees beyond the file's
    };
    const Case cases[] = {
        {"exactly two MiB in one piece", 2 * kMiB, 0, 0},
        {"pieces filled exactly by each append", 3 * kMiB, 64 * 1024, 0},
        {"odd appends across piece edges", 5 * kMiB + 123, 99991, 0},
        {"small appends", 2 * kMiB + 7, 4093, 0},
        {"the rest after the last full piece cut smaller", 2 * kMiB + 200000, 77777, 0},
        {"below the size deflated in pieces", kMiB, 0, 0},
        {"small appends below the size deflated in pieces", kMiB + 3, 4093, 0},
        {"small deflater one byte over", kMiB, 4093, 1},
        {"deflater one byte short", 3 * kMiB + 5, 65536, -1},
        {"deflater one byte over", 3 * kMiB + 5, 65536, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string content = Words(c.bytes, static_cast<unsigned>(c.bytes));
        fs::remove_all(P("made"));
        WriteFile(P("made/word/document.xml"), content);
        WriteFile(P("made/word/small.xml"), "<small/>");
        const std::string plain = S("plain.docx");
        const std::string with = S("with.docx");
        fs::remove(plain);
        fs::remove(with);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(ZipCompress(plain.c_str(), nullptr, S("made/word").c_str(), "-1"));

        ZipDeflater deflater;
        const std::string seen = c.drift < 0 ? content.substr(0, content.size() - 1)
                                             : content + std::string(static_cast<std::size_t>(c.drift), 'x');
        const std::size_t chunk = c.chunk ? c.chunk : seen.size();
        for (std::size_t at = 0; at < seen.size(); at += chunk)
            deflater.Append(std::string_view(seen).substr(at, chunk));
        ASSERT_TRUE(deflater.Finish());
        const bool packed =
            ZipCompressWith(with, {S("made/word")}, {{S("made/word/document.xml"), &deflater}});
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(packed);
        EXPECT_TRUE(ReadFile(with) == ReadFile(plain));
        EXPECT_FALSE(deflater.Take().ok);
        int status = -1;
        testutil::Run("unzip -t " + Quote(with) + " 2>&1", &status);
        EXPECT_EQ(status, 0);
    }
}

// Archives that a hostile or broken package may be: each unpacks only inside
// its folder (or not at all) and never crashes.
class HostileArchives : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::setlocale(LC_ALL, "C");
        archives = new TempDir;
        absoluteName = archives->str() + "absolute-target.txt";
        int status = -1;
        const std::string out =
            testutil::Run(std::string(kPython) + " " +
                    Quote(std::string(TRANCEL_SOURCE_DIR) + "/engine/writers/zip/tests/craft_zips.py") +
                    " " + Quote(archives->path().string()) + " " + Quote(absoluteName) + " 2>&1",
                &status);
        ASSERT_EQ(status, 0) << out;
    }
    static void TearDownTestSuite()
    {
        delete archives;
        archives = nullptr;
    }

    // Unpacks an archive of the suite into "work/dest"; everything written
    // outside "work/dest" shows in the listing of "work".
    bool Unpack(const std::string& name)
    {
        fs::create_directories(dir.path() / "work");
        std::snprintf(dest, sizeof dest, "%s", (dir.str() + "work/dest").c_str());
        return unzipPackage(dest, (archives->str() + name).c_str());
    }
    std::vector<std::string> Outside() const
    {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path() / "work"))
            out.push_back(e.path().filename().string());
        for (const auto& e : fs::directory_iterator(dir.path()))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    static TempDir* archives;
    static std::string absoluteName;
    TempDir dir;
    char dest[4096];
};

TempDir* HostileArchives::archives = nullptr;
std::string HostileArchives::absoluteName;

TEST_F(HostileArchives, UnsafeNamesAreSkippedAndTheRestUnpacks)
{
    testing::internal::CaptureStderr();
    const bool ok = Unpack("hostile.zip");
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(ok);
    EXPECT_EQ(Outside(), (std::vector<std::string>{"dest", "work"}));
    EXPECT_FALSE(fs::exists(absoluteName));
    const std::string longPath = std::string(100, 'd') + "/" + std::string(100, 'e') + "/" +
                                 std::string(100, 'f');
    EXPECT_EQ(Tree(dir.path() / "work/dest"),
              (std::vector<std::string>{std::string(100, 'd') + "/",
                                        std::string(100, 'd') + "/" + std::string(100, 'e') + "/",
                                        longPath, "dot/", "dot/ok.txt", "folder/", "ok.txt",
                                        "sub/", "sub/inner.txt"}));
    EXPECT_EQ(ReadFile(dir.path() / "work/dest" / longPath), "long path");
    std::string fine;
    for (int i = 0; i < 100; ++i)
        fine += "fine ";
    EXPECT_EQ(ReadFile(dir.path() / "work/dest/ok.txt"), fine);
    EXPECT_NE(out.find("../evil.txt"), std::string::npos);
}

TEST_F(HostileArchives, BombsFailBeforeFillingTheDisk)
{
    EXPECT_FALSE(Unpack("bomb.zip"));
    EXPECT_TRUE(Tree(dir.path() / "work/dest").empty());
    // The entry that inflates past its stated size is removed again; the
    // entry before it stays.
    EXPECT_FALSE(Unpack("liar.zip"));
    EXPECT_EQ(Tree(dir.path() / "work/dest"), (std::vector<std::string>{"first.txt"}));
}

TEST_F(HostileArchives, EmptyBrokenAndClashingArchives)
{
    EXPECT_TRUE(Unpack("empty.zip"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "work/dest"));
    EXPECT_TRUE(Tree(dir.path() / "work/dest").empty());
    fs::remove_all(dir.path() / "work");

    // Not a zip, or no file at all: false, and no folder is made.
    WriteFile(dir.path() / "junk.zip", "this is not a zip");
    std::snprintf(dest, sizeof dest, "%s", (dir.str() + "junkdest").c_str());
    EXPECT_FALSE(unzipPackage(dest, (dir.str() + "junk.zip").c_str()));
    EXPECT_FALSE(unzipPackage(dest, (dir.str() + "missing.zip").c_str()));
    EXPECT_FALSE(fs::exists(dir.path() / "junkdest"));
    char empty[2] = "";
    EXPECT_FALSE(unzipPackage(empty, (archives->str() + "empty.zip").c_str()));

    // A file where a folder is needed.
    EXPECT_FALSE(Unpack("clash.zip"));
    EXPECT_EQ(ReadFile(dir.path() / "work/dest/x"), "file");
}

TEST_F(HostileArchives, NoLinkInTheFolderIsFollowed)
{
    fs::create_directories(dir.path() / "work/dest");
    fs::create_directories(dir.path() / "elsewhere");
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "work/dest/link");
    EXPECT_FALSE(Unpack("throughlink.zip"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));
}

TEST_F(HostileArchives, EncryptedEntriesFailCleanly)
{
    WriteFile(dir.path() / "in/a.txt", "secret");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ZipCompress((dir.str() + "enc.zip").c_str(), "pw", (dir.str() + "in").c_str(), "-1"));
    testing::internal::GetCapturedStderr();
    std::snprintf(dest, sizeof dest, "%s", (dir.str() + "encout").c_str());
    EXPECT_FALSE(unzipPackage(dest, (dir.str() + "enc.zip").c_str()));
    EXPECT_FALSE(fs::exists(dir.path() / "encout/in/a.txt"));
}

} // namespace
