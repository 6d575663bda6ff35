#include "engine/layout/jobrecords.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

// The job-list file lives in the current folder: each test works in a fresh
// folder holding a copy of the shipped template.
class JobListFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "C");
        previous = fs::current_path();
        fs::copy_file(fs::path(TRANCEL_SOURCE_DIR) / "resources" / "exampledata.xml",
                      dir.path() / "exampledata.xml");
        fs::current_path(dir.path());
        RezovirorInitialize();
    }
    void TearDown() override
    {
        RezovirorRelease();
        fs::current_path(previous);
    }

    static exportdata Item(const std::string& type, const std::string& source,
                           const std::string& dest, const std::string& range)
    {
        exportdata e;
        e.type = type;
        e.source = source;
        e.dest = dest;
        e.range = range;
        return e;
    }

    fs::path previous;
    TempDir dir;
};

TEST_F(JobListFile, ExportedItemsImportAgain)
{
    const std::vector<exportdata> items = {
        Item("1", "/home/u/Bücher/Grüße 文 <&>.pdf", "/home/u/out'\"", ""),
        Item("6", "/tmp/a.pdf", "/tmp/out", "2-5"),
        Item("3", "/tmp/b.pdf", "/tmp/out", "1,3"),
        Item("2", "/tmp/c.pdf", "/tmp/out", "7"),
        Item("4", "/tmp/d.pdf", "/tmp/out", "all"),
        Item("5", "/tmp/e.pdf", "/tmp/out", "1,3-5"),
    };
    ASSERT_TRUE(ExportData(items));

    int status = -1;
    testutil::Run("xmllint --noout --nonet data.xml 2>&1", &status);
    EXPECT_EQ(status, 0);
    // An empty range is written as "all"; books hold their fields in order.
    EXPECT_EQ(testutil::Run("xmllint --xpath 'string(/*/book[1]/range)' data.xml"), "all\n");
    EXPECT_EQ(testutil::Run("xmllint --xpath 'name(/*/book[2]/*[1])' data.xml"), "source\n");
    EXPECT_EQ(testutil::Run("xmllint --xpath 'name(/*/book[2]/*[4])' data.xml"), "range\n");

    std::vector<Basedata> read(1);   // what the vector held stays
    ASSERT_TRUE(ImportData(&read));
    ASSERT_EQ(read.size(), items.size() + 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read[i + 1].source, items[i].source);
        EXPECT_EQ(read[i + 1].dest, items[i].dest);
        EXPECT_EQ(read[i + 1].type, std::stoi(items[i].type));
    }
    struct Selection {
        int first, last;
        std::vector<int> pages;
    };
    const Selection expected[] = {
        {0, 0, {}}, {1, 4, {}}, {0, 0, {0, 2}}, {0, 0, {6}}, {0, 0, {}}, {0, 0, {0, 2, 3, 4}},
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(items[i].range);
        EXPECT_EQ(read[i + 1].first, expected[i].first);
        EXPECT_EQ(read[i + 1].last, expected[i].last);
        EXPECT_EQ(read[i + 1].pages, expected[i].pages);
    }
}

TEST_F(JobListFile, ImportReadsAnyBookAndField)
{
    WriteFile(dir.path() / "data.xml",
              "<jobs><x><type>3</type><unknown>u</unknown><source>s</source>"
              "<range>,</range><range>-</range></x><empty/></jobs>");
    std::vector<Basedata> read;
    ASSERT_TRUE(ImportData(&read));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].type, 3);
    EXPECT_EQ(read[0].source, "s");
    EXPECT_EQ(read[0].pages, (std::vector<int>{-1, -1}));   // the two empty pieces of ","
    EXPECT_EQ(read[0].first, -1);                            // "-" reads as the range -1 .. -1
    EXPECT_EQ(read[0].last, -1);
    EXPECT_EQ(read[1].type, 0);
    EXPECT_TRUE(read[1].source.empty());
    EXPECT_TRUE(read[1].pages.empty());
}

TEST_F(JobListFile, FailuresLeaveEverythingAsItWas)
{
    std::vector<Basedata> read(2);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ImportData(&read));   // no data.xml
    WriteFile(dir.path() / "data.xml", "<jobs><book>");
    EXPECT_FALSE(ImportData(&read));   // malformed
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(read.size(), 2u);

    // data.xml cannot be written: a folder of that name is in the way.
    fs::remove("data.xml");
    fs::create_directory("data.xml");
    EXPECT_FALSE(ExportData({Item("1", "a", "b", "")}));

    // No template.
    fs::remove("exampledata.xml");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ExportData({Item("1", "a", "b", "")}));
    testing::internal::GetCapturedStderr();
}

} // namespace
