// The driver filetools-run from the shell, as the benchmark and the checks
// use it.
#include "fixtures.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

std::string RunTool(const std::string& args, int& status)
{
    return testutil::Run(std::string(FILETOOLS_RUN) + " " + args + " 2>/dev/null", &status);
}

TEST(Driver, CountsWithTheCounterOrTheParser)
{
    int status = -1;
    const std::string out = RunTool(
        "--count " + testutil::Quote(fixtures::Path("five.pdf")) + " " +
            testutil::Quote(fixtures::Path("catalog_in_objstm.pdf")),
        status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("5 counter " + fixtures::Path("five.pdf") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("2 parser " + fixtures::Path("catalog_in_objstm.pdf") + "\n"),
              std::string::npos)
        << out;
}

TEST(Driver, FailsForAFileNoReaderCanCount)
{
    testutil::TempDir tmp;
    testutil::WriteFile(tmp.path() / "notes.pdf", "plain text, not a PDF\n");
    int status = -1;
    const std::string out = RunTool(
        "--count " + testutil::Quote((tmp.path() / "notes.pdf").string()) + " " +
            testutil::Quote(fixtures::Path("classic.pdf")),
        status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("-1 none "), std::string::npos) << out;
    EXPECT_NE(out.find("3 counter "), std::string::npos) << out;
}

// --merge prints only protocol lines on standard output (PoDoFo's warnings
// about skipped sources go to standard error), never replaces a file, and
// fails with nothing written when no page can be placed.
TEST(Driver, MergesWithProtocolLinesOnly)
{
    testutil::TempDir tmp;
    const std::string dest = (tmp.path() / "out.pdf").string();
    testutil::WriteFile(dest, "an existing file");
    const std::string files = testutil::Quote(fixtures::Path("five.pdf")) + " " +
                              testutil::Quote(fixtures::Path("enc_r4.pdf")) + " " +
                              testutil::Quote(fixtures::Path("classic.pdf"));
    int status = -1;
    const std::string out =
        RunTool("--merge --per-sheet 2 --paper A4 --range 1-2 --dest " + testutil::Quote(dest) + " " + files,
                status);
    EXPECT_EQ(status, 0) << out;
    const std::regex line(R"((\d+ 1226 \d+|result .*))");
    std::istringstream lines(out);
    std::string l, last;
    while (std::getline(lines, l)) {
        EXPECT_TRUE(std::regex_match(l, line)) << l;
        last = l;
    }
    const std::string written = (tmp.path() / "out(1).pdf").string();
    EXPECT_EQ(last, "result " + written);
    EXPECT_EQ(testutil::ReadFile(dest), "an existing file");
    EXPECT_EQ(fixtures::QpdfPages(written), 2);

    RunTool("--merge --range 7-9 --dest " + testutil::Quote(dest) + " " + files, status);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "out(2).pdf"));
}

TEST(Driver, ListsItsCommands)
{
    int status = -1;
    const std::string out = RunTool("--help", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("--count"), std::string::npos);
    EXPECT_NE(out.find("--merge"), std::string::npos);
    RunTool("--frobnicate", status);
    EXPECT_NE(status, 0);
}

} // namespace
