#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

// Every test runs under the C locale: paths must not depend on it.
class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_ALL, "C"); }

    std::wstring W(const std::string& utf8Path) const { return utf8::ToWide(utf8Path); }
    fs::path P(const std::string& rel) const { return dir.path() / rel; }
    std::string S(const std::string& rel) const { return dir.str() + rel; }

    TempDir dir;
};

TEST_F(FileHelpers, CopyFileCopiesAndReplacesAndMoves)
{
    const std::string body(100000, 'x');
    WriteFile(P("Grüße 文.bin"), body);
    WriteFile(P("old.bin"), "previous content, longer than nothing");

    ASSERT_TRUE(CopyFile(W(S("Grüße 文.bin")), W(S("copy.bin")), false));
    EXPECT_TRUE(ReadFile(P("copy.bin")) == body);
    ASSERT_TRUE(CopyFile(S("Grüße 文.bin"), S("old.bin"), false));
    EXPECT_TRUE(ReadFile(P("old.bin")) == body);

    ASSERT_TRUE(CopyFile(W(S("copy.bin")), W(S("moved[1].bin")), true));
    EXPECT_FALSE(fs::exists(P("copy.bin")));
    EXPECT_TRUE(ReadFile(P("moved[1].bin")) == body);
}

TEST_F(FileHelpers, LinkOrCopyFileGivesTheContentWhereverTheDestinationIs)
{
    // The destination holds the source's bytes whether it can share the
    // file (same folder) or not (a folder on /dev/shm, another file system
    // here), replaces what was there, and keeps them when the source goes.
    const std::string body(70000, 'p');
    std::string other = "/dev/shm/trancel-linkcopy-XXXXXX";
    ASSERT_NE(mkdtemp(other.data()), nullptr);
    struct Case {
        std::string dest;
        bool existing;
    } cases[] = {{S("same.bin"), false}, {S("taken.bin"), true}, {other + "/far.bin", false},
                 {other + "/far-taken.bin", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dest);
        WriteFile(P("source.bin"), body);
        if (c.existing)
            WriteFile(c.dest, "older content");
        ASSERT_TRUE(LinkOrCopyFile(W(S("source.bin")), W(c.dest)));
        fs::remove(P("source.bin"));
        EXPECT_TRUE(ReadFile(c.dest) == body);
    }
    // A missing source gives nothing and leaves the destination alone.
    EXPECT_FALSE(LinkOrCopyFile(W(S("missing.bin")), W(S("taken.bin"))));
    EXPECT_TRUE(ReadFile(P("taken.bin")) == body);
    std::error_code ec;
    fs::remove_all(other, ec);
}

TEST_F(FileHelpers, CopyFileFailureLeavesDestinationAlone)
{
    WriteFile(P("dest.bin"), "keep me");
    // Missing source, a folder as source, a missing destination folder.
    fs::create_directory(P("folder"));
    EXPECT_FALSE(CopyFile(S("missing.bin"), S("dest.bin"), false));
    EXPECT_FALSE(CopyFile(S("folder"), S("dest.bin"), false));
    EXPECT_FALSE(CopyFile(S("dest.bin"), S("nowhere/dest.bin"), false));

    // A read error half way: /proc/self/mem opens but cannot be read at 0.
    EXPECT_FALSE(CopyFile(std::string("/proc/self/mem"), S("dest.bin"), false));
    EXPECT_EQ(ReadFile(P("dest.bin")), "keep me");

    // A write error: the file size limit stops the copy after 4 KiB.
    WriteFile(P("big.bin"), std::string(1 << 20, 'b'));
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool copied = CopyFile(S("big.bin"), S("dest.bin"), false);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(copied);
    EXPECT_EQ(ReadFile(P("dest.bin")), "keep me");

    // No temporary leftovers beside the destination.
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 3);   // dest.bin, folder, big.bin
}

TEST_F(FileHelpers, CopyFilesByPattern)
{
    WriteFile(P("src/a.jpg"), "A");
    WriteFile(P("src/b.txt"), "B");
    WriteFile(P("src/[x].jpg"), "X");
    WriteFile(P("src/sub/deeper/c.jpg"), "C");
    fs::create_directory(P("out"));

    ASSERT_TRUE(CopyFiles(W(S("src/*.jpg")), W(S("out/")), false));
    EXPECT_EQ(ReadFile(P("out/a.jpg")), "A");
    EXPECT_EQ(ReadFile(P("out/[x].jpg")), "X");
    EXPECT_FALSE(fs::exists(P("out/b.txt")));

    // Folders are copied recursively; their destination folders are created.
    fs::create_directory(P("all"));
    ASSERT_TRUE(CopyFiles(W(S("src/*")), W(S("all/")), false));
    EXPECT_EQ(ReadFile(P("all/sub/deeper/c.jpg")), "C");
    EXPECT_EQ(ReadFile(P("all/b.txt")), "B");

    // "[" is a plain character, not a set.
    fs::create_directory(P("one"));
    ASSERT_TRUE(CopyFiles(S("src/[x].jpg"), S("one/"), false));
    EXPECT_TRUE(fs::exists(P("one/[x].jpg")));
    EXPECT_FALSE(CopyFiles(S("src/[ab].jpg"), S("one/"), false));

    // Nothing matches: false. An empty folder with "*": true, nothing copied.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CopyFiles(W(S("src/*.png")), W(S("out/")), false));
    EXPECT_FALSE(CopyFiles(W(S("missing/*")), W(S("out/")), false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("file not found"), std::string::npos);
    fs::create_directory(P("empty"));
    EXPECT_TRUE(CopyFiles(W(S("empty/*")), W(S("out/")), false));

    // Moving empties the source folder but keeps it.
    fs::create_directory(P("moved"));
    ASSERT_TRUE(CopyFiles(W(S("src/*")), W(S("moved/")), true));
    EXPECT_TRUE(fs::exists(P("src")));
    EXPECT_TRUE(fs::is_empty(P("src/sub/deeper")));
    EXPECT_FALSE(fs::exists(P("src/a.jpg")));
    EXPECT_EQ(ReadFile(P("moved/sub/deeper/c.jpg")), "C");
}

TEST_F(FileHelpers, DeleteFilesEmptiesAndRemovesTheFolder)
{
    WriteFile(P("tmp/Files/Grüße.jpg"), "1");
    WriteFile(P("tmp/Files/[1].jpg"), "2");
    WriteFile(P("tmp/Files/nested/deep/x.jpg"), "3");
    WriteFile(P("tmp/keep.txt"), "k");

    EXPECT_TRUE(DeleteFiles(W(S("tmp/Files/*")), false));
    EXPECT_FALSE(fs::exists(P("tmp/Files")));
    EXPECT_TRUE(fs::exists(P("tmp/keep.txt")));

    // An empty existing folder: removed, true. A missing one: false.
    fs::create_directory(P("tmp/Empty"));
    EXPECT_TRUE(DeleteFiles(std::string(S("tmp/Empty/*"))));
    EXPECT_FALSE(fs::exists(P("tmp/Empty")));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(DeleteFiles(W(S("tmp/Empty/*")), false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "file not found\n");

    // A pattern that matches some files only: the folder stays, false.
    WriteFile(P("mix/a.jpg"), "a");
    WriteFile(P("mix/b.txt"), "b");
    EXPECT_FALSE(DeleteFiles(W(S("mix/*.jpg")), false));
    EXPECT_FALSE(fs::exists(P("mix/a.jpg")));
    EXPECT_TRUE(fs::exists(P("mix/b.txt")));

    // A name holding "[" is a plain name.
    WriteFile(P("br/[a].txt"), "x");
    WriteFile(P("br/a.txt"), "y");
    DeleteFiles(W(S("br/[a].txt")), false);
    EXPECT_FALSE(fs::exists(P("br/[a].txt")));
    EXPECT_TRUE(fs::exists(P("br/a.txt")));
}

TEST_F(FileHelpers, DeleteFilesNeverFollowsLinksOutOfTheFolder)
{
    WriteFile(P("outside/precious.txt"), "keep");
    WriteFile(P("outside/sub/also.txt"), "keep");
    WriteFile(P("work/file.txt"), "x");
    fs::create_directory_symlink(P("outside"), P("work/link-to-dir"));
    fs::create_symlink(P("outside/precious.txt"), P("work/link-to-file"));

    EXPECT_TRUE(DeleteFiles(W(S("work/*")), false));
    EXPECT_FALSE(fs::exists(P("work")));
    EXPECT_EQ(ReadFile(P("outside/precious.txt")), "keep");
    EXPECT_EQ(ReadFile(P("outside/sub/also.txt")), "keep");
}

TEST_F(FileHelpers, DeleteFilesWithBackslashSeparators)
{
    WriteFile(P("work/temp/a.doc"), "a");
    WriteFile(P("work/temp/inner/b.doc"), "b");
    std::string pattern = S("work/temp");
    // The desktop program's form: folders separated by "\".
    pattern.replace(pattern.rfind('/'), 1, "\\");
    pattern.replace(pattern.rfind('/'), 1, "\\");
    EXPECT_TRUE(DeleteFiles(W(pattern), true));
    // The named folder and, now empty, the folder that held it are gone.
    EXPECT_FALSE(fs::exists(P("work/temp")));
    EXPECT_FALSE(fs::exists(P("work")));
}

TEST_F(FileHelpers, FreeOutputPathAddsNumberBeforeExtension)
{
    const std::wstring stem = W(S("out"));
    EXPECT_EQ(FreeOutputPath(stem, L".txt"), stem + L".txt");
    WriteFile(P("out.txt"), "");
    EXPECT_EQ(FreeOutputPath(stem, L".txt"), stem + L"(1).txt");
    WriteFile(P("out(1).txt"), "");
    EXPECT_EQ(FreeOutputPath(stem, L".txt"), stem + L"(2).txt");
    // Folders count as taken too, and an empty extension names a folder.
    fs::create_directory(P("out"));
    EXPECT_EQ(FreeOutputPath(stem, L""), stem + L"(1)");
    EXPECT_TRUE(DeleteFile(W(S("out.txt"))));
    EXPECT_FALSE(DeleteFile(W(S("out.txt"))));
}

TEST_F(FileHelpers, ClaimingAndWritingWholeFiles)
{
    WriteFile(P("out.txt"), "first");
    WriteFile(P("out(1).txt"), "second");
    const std::wstring claimed = ClaimOutputFile(W(S("out")), L".txt");
    EXPECT_EQ(claimed, W(S("out(2).txt")));
    EXPECT_TRUE(fs::exists(P("out(2).txt")));
    EXPECT_TRUE(ClaimOutputFile(W(S("missing/out")), L".txt").empty());

    // Replacing writes whole files and never leaves a partial one behind.
    const std::string body(200000, 'z');
    ASSERT_TRUE(WriteFileReplacing(claimed, body.data(), body.size()));
    std::string back;
    ASSERT_TRUE(ReadWholeFile(claimed, back));
    EXPECT_TRUE(back == body);
    EXPECT_FALSE(WriteFileReplacing(W(S("missing/x.txt")), "x", 1));
    EXPECT_FALSE(ReadWholeFile(W(S("missing/x.txt")), back));
    EXPECT_EQ(ReadFile(P("out.txt")), "first");
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

} // namespace
