// The driver's to-PDF direction: `trancel-run --to-pdf` makes a PDF of each
// source, prints the progress and result lines, and fails the sources that
// give none.
#include "engine/topdf/tests/topdftestutil.h"

#include <filesystem>

namespace {

using namespace topdftest;
namespace fs = std::filesystem;

std::string Driver(const std::string& args, int* status)
{
    return Shell(TRANCEL_BINARY_DIR "/bin/trancel-run --to-pdf --protocol " + args + " 2>&1", status);
}

TEST(ToPdfDriver, FolderOfPicturesBecomesOnePdf)
{
    testutil::TempDir dir;
    const fs::path pictures = dir.path() / "holiday pictures";
    fs::create_directories(pictures / "subfolder");
    Shell("convert -size 40x30 xc:red " + Quote((pictures / "a.png").string()));
    Shell("convert -size 30x20 xc:blue " + Quote((pictures / "b.jpg").string()));
    testutil::WriteFile(pictures / "notes.txt", "not a picture");
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);

    int status = -1;
    std::string log = Driver("--dest " + Quote(out.string()) + " " + Quote(pictures.string()), &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_NE(log.find("0 1227 1\n0 1226 100\n0 1227 2\n"), std::string::npos) << log;
    const std::string pdf = (out / "holiday pictures.pdf").string();
    EXPECT_NE(log.find("result 0 " + pdf + "\n"), std::string::npos) << log;
    EXPECT_EQ(QpdfProblems(pdf), "");
    const std::string list = Shell("pdfimages -list " + Quote(pdf));
    EXPECT_NE(list.find("    40    30  index"), std::string::npos) << list;
    EXPECT_NE(list.find("    30    20  rgb"), std::string::npos) << list;

    // A second run keeps the first file and takes the next free name.
    log = Driver("--dest " + Quote(out.string()) + " " + Quote(pictures.string()), &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_TRUE(fs::exists(out / "holiday pictures(1).pdf"));

    // Without --protocol each source ends in one line: done and the file.
    log = Shell(TRANCEL_BINARY_DIR "/bin/trancel-run --to-pdf --dest " + Quote(out.string()) + " " +
                    Quote(pictures.string()) + " " + Quote((dir.path() / "missing").string()) + " 2>&1",
                &status);
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("holiday pictures  done  " + (out / "holiday pictures(2).pdf").string() + "\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("missing  failed: "), std::string::npos) << log;
    EXPECT_EQ(log.find(" 1227 "), std::string::npos) << log;
}

TEST(ToPdfDriver, SourcesWithoutAPdfFailAlone)
{
    testutil::TempDir dir;
    const fs::path empty = dir.path() / "nothing";
    const fs::path texts = dir.path() / "texts";
    const fs::path good = dir.path() / "good";
    fs::create_directories(empty);
    fs::create_directories(texts);
    fs::create_directories(good);
    testutil::WriteFile(texts / "a.txt", "text");
    testutil::WriteFile(texts / "b.png", "\x89PNG\r\n\x1a\n broken");
    Shell("convert -size 10x10 xc:green " + Quote((good / "g.gif").string()));
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);

    int status = -1;
    const std::string log = Driver("--dest " + Quote(out.string()) + " " + Quote(empty.string()) + " " +
                                       Quote(texts.string()) + " " + Quote((dir.path() / "missing").string()) +
                                       " " + Quote(good.string()),
                                   &status);
    EXPECT_EQ(status, 1) << log;
    for (const char* failed : {"0 1227 3\n", "1 1227 3\n", "2 1227 3\n", "3 1227 2\n"})
        EXPECT_NE(log.find(failed), std::string::npos) << failed << log;
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(out))
        written.push_back(entry.path().filename().string());
    EXPECT_EQ(written, std::vector<std::string>{"good.pdf"});
}

} // namespace
