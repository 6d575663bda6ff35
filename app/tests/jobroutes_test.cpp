// The job's PDF, SWF and page-edge routes: output names, merged and
// protected PDFs checked with qpdf and pdfinfo, the page-edge cutter, and
// external tools started without a shell.
#include "app/jobroutes.h"

#include "app/externaltool.h"
#include "app/filetools/swffile.h"
#include "app/folders.h"
#include "app/tests/apptestutil.h"
#include "app/tests/jobrecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using apptest::Q;
using testutil::Quote;
using testutil::Run;
namespace fs = std::filesystem;

void Touch(const fs::path& p)
{
    fs::create_directories(p.parent_path());
    testutil::WriteFile(p, "x");
}

stru_ItemData Item(const fs::path& source, int row, int pages = 0)
{
    stru_ItemData item;
    item.rowNumber = row + 1;
    item.source = source.wstring();
    item.pageCount = pages;
    return item;
}

std::wstring W(const char* s)
{
    return QString::fromUtf8(s).toStdWString();
}

QString Q(const std::wstring& s)
{
    return QString::fromStdWString(s);
}

// The path as the routes name it.
std::wstring P(const fs::path& p)
{
    return p.wstring();
}

// qpdf's exit status of --requires-password: 0 needs a password, 2 not
// encrypted, 3 encrypted without a password.
int RequiresPassword(const fs::path& pdf)
{
    int status = -1;
    testutil::Run("qpdf --requires-password " + Quote(pdf.string()) + " >/dev/null 2>&1", &status);
    return status;
}

int QpdfPages(const fs::path& pdf, const std::string& password = "")
{
    int status = -1;
    const std::string pw = password.empty() ? "" : " --password=" + Quote(password);
    const std::string out = Run("qpdf" + pw + " --show-npages " + Quote(pdf.string()) + " 2>/dev/null", &status);
    return status == 0 || status == 3 ? std::atoi(out.c_str()) : -1;
}

std::string PageSize(const fs::path& pdf)
{
    const std::string out = Run("pdfinfo " + Quote(pdf.string()) + " 2>/dev/null | grep '^Page size'");
    const auto colon = out.find(':');
    if (colon == std::string::npos)
        return std::string();
    std::string size = out.substr(colon + 1);
    size.erase(0, size.find_first_not_of(' '));
    return size.substr(0, size.find(" pts"));
}

struct ItemNameCase {
    const char* name;
    bool custom;
    const char* source;       // below the case's folder
    std::vector<const char*> existing; // files made first, below the case's folder
    const char* suffix;
    const char* expected;     // below the case's folder
};

class ItemOutputName : public testing::TestWithParam<ItemNameCase> {};

TEST_P(ItemOutputName, NamesAFreeFileAndNeverAnExistingOne)
{
    const ItemNameCase& c = GetParam();
    testutil::TempDir dir;
    for (const char* e : c.existing)
        Touch(dir.path() / e);
    ConvertJob job;
    job.settings.CustomOutputFolder = c.custom ? 1 : 0;
    job.settings.OutputFolder = Q(dir.path() / "out");
    job.items.push_back(Item(dir.path() / c.source, 0));
    EXPECT_EQ(Q(MakeItemOutputName(job, 0, W(c.suffix))), Q(dir.path() / c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ItemOutputName,
    testing::Values(
        ItemNameCase{"beside", false, "in/a.pdf", {}, "_to.pdf", "in/a_to.pdf"},
        ItemNameCase{"besideTaken", false, "in/a.pdf", {"in/a_to.pdf", "in/a(1)_to.pdf"}, "_to.pdf",
                     "in/a(2)_to.pdf"},
        ItemNameCase{"custom", true, "in/report.v2.pdf", {}, "_2IN1.pdf", "out/report.v2_2IN1.pdf"},
        ItemNameCase{"customTaken", true, "in/a.pdf", {"out/a_to.pdf"}, "_to.pdf", "out/a(1)_to.pdf"},
        ItemNameCase{"swf", true, "in/a.pdf", {}, ".swf", "out/a.swf"},
        // A source without an extension keeps its name and its folder.
        ItemNameCase{"noDotBeside", false, "in/scan", {}, "_to.pdf", "in/scan_to.pdf"},
        ItemNameCase{"noDotCustom", true, "in/scan", {}, "_4IN1.pdf", "out/scan_4IN1.pdf"},
        ItemNameCase{"dotInFolder", false, "in.v1/scan", {}, "_to.pdf", "in.v1/scan_to.pdf"},
        ItemNameCase{"cutEdge", false, "in/a.pdf", {"in/a_CutEdge.pdf"}, "_CutEdge.pdf",
                     "in/a(1)_CutEdge.pdf"}),
    [](const testing::TestParamInfo<ItemNameCase>& info) { return std::string(info.param.name); });

TEST(ItemOutputName, SameNamesFromTwoFoldersDoNotMeet)
{
    testutil::TempDir dir;
    ConvertJob job;
    job.settings.CustomOutputFolder = 1;
    job.settings.OutputFolder = Q(dir.path() / "out") + QStringLiteral("\\");
    job.items.push_back(Item(dir.path() / "x/a.pdf", 0));
    job.items.push_back(Item(dir.path() / "y/a.pdf", 1));
    const std::wstring first = MakeItemOutputName(job, 0, L"_to.pdf");
    EXPECT_EQ(Q(first), Q(dir.path() / "out/a_to.pdf"));
    Touch(fs::path(first));
    EXPECT_EQ(Q(MakeItemOutputName(job, 1, L"_to.pdf")), Q(dir.path() / "out/a(1)_to.pdf"));
    EXPECT_TRUE(MakeItemOutputName(job, 2, L"_to.pdf").empty());
}

TEST(ItemOutputName, EveryNumberTakenGivesNoName)
{
    testutil::TempDir dir;
    Touch(dir.path() / "a_to.pdf");
    for (int n = 1; n <= 2999; ++n)
        testutil::WriteFile(dir.path() / ("a(" + std::to_string(n) + ")_to.pdf"), "");
    ConvertJob job;
    job.settings.CustomOutputFolder = 0;
    job.items.push_back(Item(dir.path() / "a.pdf", 0));
    EXPECT_EQ(Q(MakeItemOutputName(job, 0, L"_to.pdf")), QString());
    EXPECT_EQ(fs::file_size(dir.path() / "a(2999)_to.pdf"), 0u);
}

struct MergeNameCase {
    const char* name;
    int xInOne;
    const char* extension; // null: the PDF default
    std::vector<const char*> existing;
    const char* expected;
};

class MergeOutputName : public testing::TestWithParam<MergeNameCase> {};

TEST_P(MergeOutputName, AddsTheSheetSuffixAndANumberWhenTaken)
{
    const MergeNameCase& c = GetParam();
    testutil::TempDir dir;
    for (const char* e : c.existing)
        Touch(dir.path() / "new" / e);
    ConvertJob job;
    job.settings.CustomOutputFolder = 1;
    job.settings.OutputFolder = Q(dir.path() / "new");
    job.settings.MergeName = QStringLiteral("All");
    job.settings.OutputXInOne = c.xInOne;
    job.items.push_back(Item(dir.path() / "src/a.pdf", 0));
    const std::wstring ext = c.extension ? W(c.extension) : std::wstring();
    EXPECT_EQ(Q(MakeMergeOutputName(job, c.extension ? ext.c_str() : nullptr)), Q(dir.path() / "new" / c.expected));
    EXPECT_TRUE(fs::is_directory(dir.path() / "new"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeOutputName,
    testing::Values(MergeNameCase{"one", 0, nullptr, {}, "All.pdf"},
                    MergeNameCase{"two", 1, nullptr, {}, "All_2IN1.pdf"},
                    MergeNameCase{"four", 2, nullptr, {"All_4IN1.pdf"}, "All_4IN1(1).pdf"},
                    MergeNameCase{"swfHasNoSheetSuffix", 1, ".swf", {"All.swf", "All(1).swf"}, "All(2).swf"}),
    [](const testing::TestParamInfo<MergeNameCase>& info) { return std::string(info.param.name); });

// The SWF tests change the program's tool folder: one at a time, and a
// converter put there is taken away again.
class ToolFolderLock {
public:
    ToolFolderLock()
    {
        QDir().mkpath(GetToolFolder());
        fd_ = ::open((GetToolFolder() + QStringLiteral("/.swf-tests.lock")).toUtf8().constData(),
                     O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            ::flock(fd_, LOCK_EX);
    }
    ~ToolFolderLock()
    {
        QFile::remove(Pdf2SwfPath());
        QFile::remove(SwfViewerTemplatePath());
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    int fd_ = -1;
};

// A stand-in converter: logs its arguments, one line each, to argv log
// files in the folder of its output; "sleep" in the PDF's folder makes it
// hang; it writes an SWF of 400 x 300 pixels only on its third attempt
// ("-O 2").
const char kFakeConverter[] = R"(#!/usr/bin/python3
import os, sys, time
args = sys.argv[1:]
out = args[args.index("-o") + 1]
folder = os.path.dirname(out)
n = len([f for f in os.listdir(folder) if f.startswith("argv")])
open(os.path.join(folder, "argv%d" % n), "w").write("\n".join(args))
if os.path.exists(os.path.join(os.path.dirname(args[0]), "sleep")):
    time.sleep(60)
if "-O" in args and args[args.index("-O") + 1] == "2":
    def rect(x, y):
        bits = format(15, "05b") + "".join(format(v, "015b") for v in (0, x, 0, y))
        bits += "0" * (-len(bits) % 8)
        return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    body = rect(400 * 20, 300 * 20) + bytes([0, 12]) + (1).to_bytes(2, "little")
    body += (1 << 6).to_bytes(2, "little") + (0).to_bytes(2, "little")
    open(out, "wb").write(b"FWS" + bytes([9]) + (8 + len(body)).to_bytes(4, "little") + body)
)";

// A viewer template: a stage of 550 x 400 pixels and the DefineBinaryData
// tag with id 47 that receives the converted document.
const char kTemplateMaker[] = R"(import sys
def rect(x, y):
    bits = format(15, "05b") + "".join(format(v, "015b") for v in (0, x, 0, y))
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
payload = (47).to_bytes(2, "little") + bytes(4) + b"placeholder"
body = rect(550 * 20, 400 * 20) + bytes([0, 24]) + (1).to_bytes(2, "little")
body += (87 << 6 | len(payload)).to_bytes(2, "little") + payload
body += (1 << 6).to_bytes(2, "little") + (0).to_bytes(2, "little")
open(sys.argv[1], "wb").write(b"FWS" + bytes([10]) + (8 + len(body)).to_bytes(4, "little") + body)
)";

void InstallFakeConverter()
{
    QFile tool(Pdf2SwfPath());
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write(kFakeConverter);
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(GetAppFolder() + QStringLiteral("/temple"));
    int status = -1;
    testutil::Run("/usr/bin/python3 -c " + Quote(kTemplateMaker) + " " +
                      Quote(SwfViewerTemplatePath().toStdString()),
                  &status);
    ASSERT_EQ(status, 0);
}

class PdfRoutes : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testutil::MakePdfFixtures(dir.path(), "pages2:two pages1:one pages3:three notpdf:bad"));
        job.window = &recorder;
        job.settings.CustomOutputFolder = 1;
        job.settings.OutputFolder = Q(dir.path() / "out");
        job.settings.OutputFormat = 6;
        job.settings.PDFSizeAx = 3;
        fs::create_directories(dir.path() / "out");
    }
    apptest::FreshHome home;
    testutil::TempDir dir;
    apptest::JobRecorder recorder;
    ConvertJob job;
};

// Three pages from two files, two to a sheet, with an open password: two
// sheets that qpdf opens only with the password.
TEST_F(PdfRoutes, MergesTwoUpWithAnOpenPassword)
{
    job.settings.MergeName = QStringLiteral("both");
    job.settings.OutputXInOne = 1;
    job.settings.PDFbOpenPassword = 1;
    job.settings.PDFOpenPwd = QStringLiteral("s3cret pw");
    job.items.push_back(Item(dir.path() / "two.pdf", 0, 2));
    job.items.push_back(Item(dir.path() / "one.pdf", 1, 1));
    job.items.push_back(Item(dir.path() / "three.pdf", 2, 3));
    job.items[2].status = kItemLoadFailed; // left out

    MergeJobItems(&job);
    recorder.Drain();

    const fs::path out = dir.path() / "out/both_2IN1.pdf";
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(RequiresPassword(out), 0);
    EXPECT_EQ(QpdfPages(out), -1);
    EXPECT_EQ(QpdfPages(out, "s3cret pw"), 2);
    EXPECT_EQ(job.items[0].status, 2);
    EXPECT_EQ(job.items[1].status, 2);
    EXPECT_EQ(job.items[2].status, 4);
    EXPECT_EQ(recorder.LastState(0), 2);
    EXPECT_EQ(recorder.LastState(2), -1);
    EXPECT_EQ(*job.items[0].result, out.wstring());
    EXPECT_TRUE(job.items[2].result->empty());
}

TEST_F(PdfRoutes, OneItemOnAPaperSizeWithPermissionsOnly)
{
    job.settings.PDFSizeAx = 1; // A4
    job.settings.PDFbPemissionPassword = 1;
    job.settings.PDFPemissionPwd = QStringLiteral("owner");
    job.items.push_back(Item(dir.path() / "three.pdf", 0, 3));
    const std::wstring output = MakeItemOutputName(job, 0, L"_to.pdf");
    ASSERT_TRUE(ConvertItemToPdf(output, 0, &job, job.items[0].source));
    recorder.Drain();
    const fs::path out = output;
    EXPECT_EQ(RequiresPassword(out), 3); // encrypted, opens without a password
    EXPECT_EQ(QpdfPages(out), 3);
    EXPECT_EQ(PageSize(out), "595 x 842");
    EXPECT_EQ(*job.items[0].result, output);
    EXPECT_EQ(recorder.LastState(0), 2);
}

TEST_F(PdfRoutes, AnUnreadableSourceFailsItsItemAndWritesNothing)
{
    job.items.push_back(Item(dir.path() / "bad.pdf", 0));
    const std::wstring output = MakeItemOutputName(job, 0, L"_to.pdf");
    EXPECT_FALSE(ConvertItemToPdf(output, 0, &job, job.items[0].source));
    recorder.Drain();
    EXPECT_FALSE(fs::exists(fs::path(output)));
    EXPECT_EQ(job.items[0].status, 3);
    EXPECT_EQ(recorder.LastState(0), 3);
}

// The cutter takes its arguments as the route passes them and cuts each
// edge by its own share; a source it cannot read is a failure.
TEST_F(PdfRoutes, CutsPageEdgesWithTheCutterTool)
{
    ASSERT_TRUE(QFileInfo(EdgeCutterPath()).isExecutable()) << EdgeCutterPath().toStdString();
    const fs::path out = dir.path() / "out/cut.pdf";
    fs::create_directories(out.parent_path());
    ASSERT_TRUE(CutPdfEdges(&job, P(dir.path() / "two.pdf"), P(out), 10, 5, 10, 20));
    EXPECT_EQ(QpdfPages(out), 2);
    // A4 595.28 x 841.89: 80% of the width, 75% of the height.
    EXPECT_EQ(PageSize(out), "476.22 x 631.417");
    int status = -1;
    testutil::Run("qpdf --check " + Quote(out.string()) + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);

    // An existing output is never replaced; a bad source fails.
    const auto before = fs::file_size(out);
    EXPECT_FALSE(CutPdfEdges(&job, P(dir.path() / "one.pdf"), P(out), 10, 10, 10, 10));
    EXPECT_EQ(fs::file_size(out), before);
    EXPECT_FALSE(CutPdfEdges(&job, P(dir.path() / "bad.pdf"), P(dir.path() / "out/bad.pdf"), 5, 5, 5, 5));
    // A cancelled job does not wait for the cutter.
    job.cancel = true;
    EXPECT_FALSE(CutPdfEdges(&job, P(dir.path() / "three.pdf"), P(dir.path() / "out/cancelled.pdf"), 5, 5, 5, 5));
    EXPECT_FALSE(fs::exists(dir.path() / "out/bad.pdf"));
}

// The job thread hands its PDF items to the routes: per item with the
// pages-per-sheet suffix, and with cut edges under a name that is free with
// its extension.
TEST_F(PdfRoutes, TheJobThreadRunsTheRoutesPerItem)
{
    job.settings.CustomOutputFolder = 0;
    job.settings.OutputXInOne = 2;
    job.items.push_back(Item(dir.path() / "three.pdf", 0, 3));
    job.items.push_back(Item(dir.path() / "bad.pdf", 1));
    JobThread thread;
    thread.Start(&job, ConvertJobThread);
    thread.Join();
    recorder.Drain();
    EXPECT_EQ(QpdfPages(dir.path() / "three_4IN1.pdf"), 1);
    EXPECT_EQ(job.items[0].status, kItemDone);
    EXPECT_EQ(job.items[1].status, kItemFailed);
    EXPECT_EQ(recorder.posted.back().message, job.finishedMessage);

    Touch(dir.path() / "three_CutEdge.pdf");
    ConvertJob cut;
    CopySettings(job.settings, cut.settings);
    cut.settings.PDFbCutEdge = 1;
    cut.settings.PDFCutLeft = cut.settings.PDFCutRight = 25;
    cut.settings.PDFCutBottom = cut.settings.PDFCutTop = 10;
    cut.cutEdgeConfirmed = true;
    cut.items.push_back(Item(dir.path() / "three.pdf", 0, 3));
    thread.Start(&cut, ConvertJobThread);
    thread.Join();
    EXPECT_EQ(cut.items[0].status, kItemDone);
    EXPECT_EQ(*cut.items[0].result, P(dir.path() / "three(1)_CutEdge.pdf"));
    EXPECT_EQ(PageSize(dir.path() / "three(1)_CutEdge.pdf"), "297.638 x 673.512");
    EXPECT_EQ(fs::file_size(dir.path() / "three_CutEdge.pdf"), 1u);
}

TEST_F(PdfRoutes, SwfOutputFailsCleanlyWithoutTheConverter)
{
    ToolFolderLock lock;
    ASSERT_FALSE(QFileInfo::exists(Pdf2SwfPath()));
    job.settings.OutputFormat = 5;
    job.settings.MergeName = QStringLiteral("merged");
    job.items.push_back(Item(dir.path() / "two.pdf", 0, 2));
    job.items.push_back(Item(dir.path() / "one.pdf", 1, 1));
    const std::wstring output = MakeItemOutputName(job, 0, L".swf");
    EXPECT_FALSE(ConvertItemToSwf(output, 0, &job, job.items[0].source, std::wstring(), std::string()));
    EXPECT_FALSE(fs::exists(fs::path(output)));

    // A merged SWF job reports its SWF step: the merge itself worked, but
    // no SWF was made, so every item failed.
    MergeJobItems(&job);
    recorder.Drain();
    EXPECT_EQ(job.items[0].status, 3);
    EXPECT_EQ(job.items[1].status, 3);
    EXPECT_EQ(recorder.LastState(1), 3);
    EXPECT_FALSE(fs::exists(dir.path() / "out/merged.swf"));
    EXPECT_FALSE(QFileInfo::exists(GetTempFolder() + QStringLiteral("/tmpmerge.pdf")));
}

// The converter is tried three times, gets the password as an argument of
// its own, and its SWF lands in the viewer template, whose stage takes the
// document's size plus the viewer's margins.
TEST_F(PdfRoutes, PacksTheConvertersSwfIntoTheViewer)
{
    ToolFolderLock lock;
    InstallFakeConverter();
    job.settings.OutputFormat = 5;
    job.items.push_back(Item(dir.path() / "two.pdf", 0, 2));
    const std::wstring output = MakeItemOutputName(job, 0, L".swf");
    ASSERT_TRUE(ConvertItemToSwf(output, 0, &job, job.items[0].source, std::wstring(), "pass word"));
    recorder.Drain();

    const QString work = GetTempFolder();
    for (int attempt = 0; attempt < 3; ++attempt) {
        QFile log(work + QStringLiteral("/argv%1").arg(attempt));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << attempt;
        const QStringList args = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
        EXPECT_EQ(args.mid(3, 2), (QStringList{QStringLiteral("-P"), QStringLiteral("pass word")}));
        EXPECT_EQ(args.contains(QStringLiteral("-O")), attempt > 0);
    }
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("/argv3")));

    const SWFFile packed(output);
    ASSERT_TRUE(packed.ok());
    EXPECT_EQ(packed.Header().frameWidth, (400 + 20) * 20);
    EXPECT_EQ(packed.Header().frameHeight, (300 + 28) * 20);
    std::string converted;
    ASSERT_TRUE(SWFFile(work.toStdWString() + L"/tmp.swf").Serialize(converted));
    bool embedded = false;
    for (const TagInstance& tag : packed.Tags())
        embedded |= tag.code == 87 && tag.payload.substr(6) == converted;
    EXPECT_TRUE(embedded);
    EXPECT_EQ(*job.items[0].result, output);
    EXPECT_EQ(recorder.posted.back().value, 90);
}

TEST_F(PdfRoutes, ACancelledSwfConversionEndsTheConverter)
{
    ToolFolderLock lock;
    InstallFakeConverter();
    testutil::WriteFile(fs::path(GetTempFolder().toStdString()) / "sleep", "");
    job.settings.OutputFormat = 5;
    job.items.push_back(Item(dir.path() / "two.pdf", 0, 2));
    const std::wstring output = MakeItemOutputName(job, 0, L".swf");
    std::thread cancel([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        job.cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ConvertItemToSwf(output, 0, &job, job.items[0].source, std::wstring(), std::string()));
    cancel.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(fs::exists(fs::path(output)));
}

// Arguments reach the tool as separate strings, never through a shell: a
// password with spaces, quotes and shell syntax arrives unchanged and runs
// nothing.
TEST(ExternalTool, PassesArgumentsWithoutAShell)
{
    testutil::TempDir dir;
    const fs::path out = dir.path() / "args.txt";
    const QString password = QStringLiteral("p w\"'$(touch %1)`;|&").arg(Q(dir.path() / "pwned"));
    ExternalTool tool;
    ASSERT_TRUE(tool.Start(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import sys\nopen(sys.argv[1],'w').write('\\n'.join(sys.argv[2:]))"),
                            Q(out), QStringLiteral("-P"), password}));
    EXPECT_EQ(tool.WaitFor(20000, nullptr), ExternalTool::Wait::Exited);
    EXPECT_TRUE(tool.Succeeded());
    QFile f(Q(out));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), QStringLiteral("-P\n") + password);
    EXPECT_FALSE(fs::exists(dir.path() / "pwned"));
}

TEST(ExternalTool, ExitStatusAndCancelDecide)
{
    ExternalTool fails;
    ASSERT_TRUE(fails.Start(QStringLiteral("/bin/false"), {}));
    EXPECT_EQ(fails.WaitFor(-1, nullptr), ExternalTool::Wait::Exited);
    EXPECT_FALSE(fails.Succeeded());

    ExternalTool missing;
    EXPECT_FALSE(missing.Start(QStringLiteral("/nonexistent/podofobox"), {}));

    ExternalTool slow;
    ASSERT_TRUE(slow.Start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")}));
    const auto start = std::chrono::steady_clock::now();
    int polls = 0;
    EXPECT_EQ(slow.WaitFor(-1, [&polls] { return ++polls > 3; }), ExternalTool::Wait::Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(slow.Running());
}

} // namespace
