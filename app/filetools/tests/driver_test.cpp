// The driver filetools-run from the shell, as the benchmark and the checks
// use it.
#include "fixtures.h"

#include <gtest/gtest.h>

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

TEST(Driver, ListsItsCommands)
{
    int status = -1;
    const std::string out = RunTool("--help", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("--count"), std::string::npos);
    RunTool("--frobnicate", status);
    EXPECT_NE(status, 0);
}

} // namespace
