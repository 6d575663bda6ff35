// Creating PDF files in the create-PDF dialog: pictures and Office files by
// extension in any case, output names, protection with passwords, and what
// the user is told.
#include "app/createpdfdlg.h"
#include "app/createpdfroutes.h"

#include "app/controls/langstring.h"
#include "app/tests/apptestutil.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>

namespace {

using apptest::Q;
using testutil::Quote;
using testutil::Run;
namespace fs = std::filesystem;

struct RouteCase {
    int kind;
    const char* source;
    OfficeRoute route;
};

class OfficeRouteChoice : public testing::TestWithParam<RouteCase> {};

TEST_P(OfficeRouteChoice, TheExtensionDecidesInAnyCase)
{
    EXPECT_EQ(ChooseOfficeRoute(GetParam().kind, QString::fromUtf8(GetParam().source)), GetParam().route);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OfficeRouteChoice,
    testing::Values(RouteCase{1, "/d/letter.doc", OfficeRoute::Word03},
                    RouteCase{1, "/d/REPORT.DOC", OfficeRoute::Word03},
                    RouteCase{1, "/d/letter.docx", OfficeRoute::Office07},
                    RouteCase{1, "/d/REPORT.DOCX", OfficeRoute::Office07},
                    RouteCase{1, "/d/notes", OfficeRoute::Office07},
                    RouteCase{2, "/d/sheet.XLS", OfficeRoute::Excel03},
                    RouteCase{2, "/d/sheet.xlsx", OfficeRoute::Office07},
                    RouteCase{2, "/d/sheet.doc", OfficeRoute::Office07},
                    RouteCase{3, "/d/talk.Ppt", OfficeRoute::Ppt03},
                    RouteCase{3, "/d/talk.pptx", OfficeRoute::Office07},
                    RouteCase{0, "/d/a.doc", OfficeRoute::None}));

struct OutputCase {
    const char* source;                 // below the case's folder
    std::vector<const char*> existing;  // in the output folder
    const char* expected;               // in the output folder
};

class CreatePdfOutput : public testing::TestWithParam<OutputCase> {};

TEST_P(CreatePdfOutput, NameComesFromTheSourceAndIsNeverTaken)
{
    testutil::TempDir dir;
    fs::create_directories(dir.path() / "out");
    for (const char* e : GetParam().existing)
        testutil::WriteFile(dir.path() / "out" / e, "x");
    EXPECT_EQ(CreatePdfOutputPath(Q(dir.path() / "out"), Q(dir.path()) + QLatin1Char('/') + GetParam().source),
              Q(dir.path() / "out" / GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, CreatePdfOutput,
                         testing::Values(OutputCase{"in/report.v2.docx", {}, "report.v2.pdf"},
                                         OutputCase{"in/report.v2.docx", {"report.v2.pdf"}, "report.v2(1).pdf"},
                                         OutputCase{"in/photos/", {}, "photos.pdf"},
                                         OutputCase{"in/photos", {}, "photos.pdf"},
                                         OutputCase{"in/README", {}, "README.pdf"}));

int PdfImages(const fs::path& pdf)
{
    int status = -1;
    const std::string out =
        testutil::Run("pdfimages -list " + Quote(pdf.string()) + " 2>/dev/null | tail -n +3 | wc -l", &status);
    return status == 0 ? std::atoi(out.c_str()) : -1;
}

int RequiresPassword(const fs::path& pdf)
{
    int status = -1;
    testutil::Run("qpdf --requires-password " + Quote(pdf.string()) + " >/dev/null 2>&1", &status);
    return status;
}

class CreatePdfDialog : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir.path() / "out");
        fs::create_directories(pictures / "sub");
        QImage red(40, 30, QImage::Format_RGB32);
        red.fill(QColor(200, 0, 0));
        ASSERT_TRUE(red.save(Q(pictures / "a.png")));
        QImage blue(20, 50, QImage::Format_RGB32);
        blue.fill(QColor(0, 0, 200));
        ASSERT_TRUE(blue.save(Q(pictures / "B.JPG"), "JPEG"));
        testutil::WriteFile(pictures / "notes.txt", "not a picture");
        testutil::WriteFile(pictures / "sub" / "c.txt", "inside");
        settings.OutputFolder = Q(dir.path() / "out");
        owned = std::make_unique<CCreatePDFDlg>(settings);
        owned->SetMessageSink([this](const QString& text) { messages << text; });
    }
    apptest::FreshHome home;
    testutil::TempDir dir;
    fs::path pictures = dir.path() / "holiday";
    CFSMSettings settings;
    std::unique_ptr<CCreatePDFDlg> owned;
    QStringList messages;
    CCreatePDFDlg& dialog() { return *owned; }
};

TEST_F(CreatePdfDialog, AFolderOfPicturesBecomesOnePdf)
{
    dialog().SetKind(CCreatePDFDlg::KindPictures);
    dialog().SetFolder(Q(pictures));
    ASSERT_TRUE(dialog().Create());
    const fs::path out = dir.path() / "out/holiday.pdf";
    EXPECT_EQ(dialog().CreatedPath(), Q(out));
    EXPECT_EQ(PdfImages(out), 2);
    EXPECT_EQ(RequiresPassword(out), 2);
    EXPECT_EQ(messages, QStringList{GetLangString(255)});

    // A second run never replaces the first file.
    ASSERT_TRUE(dialog().Create());
    EXPECT_EQ(dialog().CreatedPath(), Q(dir.path() / "out/holiday(1).pdf"));
}

TEST_F(CreatePdfDialog, ProtectsTheCreatedFileWithAnOpenPassword)
{
    settings.PDFbOpenPassword = 1;
    settings.PDFOpenPwd = QStringLiteral("open sesame");
    CCreatePDFDlg protecting(settings);
    protecting.SetMessageSink([this](const QString& text) { messages << text; });
    protecting.SetFolder(Q(pictures));
    ASSERT_TRUE(protecting.Create());
    const fs::path out = dir.path() / "out/holiday.pdf";
    EXPECT_EQ(RequiresPassword(out), 0);
    int status = -1;
    testutil::Run("qpdf --password='open sesame' --check " + Quote(out.string()) + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
    testutil::Run("qpdf --check " + Quote(out.string()) + " >/dev/null 2>&1", &status);
    EXPECT_NE(status, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "out"), fs::directory_iterator()), 1);
    EXPECT_EQ(messages, QStringList{GetLangString(255)});
}

// Only a file that was made is reported complete; a failure names the file.
TEST_F(CreatePdfDialog, FailuresAreReportedAndLeaveNoFile)
{
    dialog().Create();
    EXPECT_EQ(messages.value(0), GetLangString(254));

    const fs::path empty = dir.path() / "empty";
    fs::create_directories(empty);
    testutil::WriteFile(empty / "readme.txt", "no pictures here");
    dialog().SetFolder(Q(empty));
    EXPECT_FALSE(dialog().Create());
    EXPECT_TRUE(messages.value(1).contains(Q(dir.path() / "out/empty.pdf"))) << messages.value(1).toStdString();
    EXPECT_FALSE(fs::exists(dir.path() / "out/empty.pdf"));

    // A 97-2003 workbook without pictures (here: not a workbook at all)
    // makes no PDF and is no success.
    testutil::WriteFile(dir.path() / "book.XLS", "not a workbook");
    dialog().SetKind(CCreatePDFDlg::KindExcel);
    dialog().SetSourceFile(Q(dir.path() / "book.XLS"));
    EXPECT_FALSE(dialog().Create());
    EXPECT_FALSE(fs::exists(dir.path() / "out/book.pdf"));
    EXPECT_FALSE(messages.contains(GetLangString(255)));
}

// The pictures stored in 97-2003 workbooks and presentations become the
// PDF's pages, whatever the case of the extension.
TEST_F(CreatePdfDialog, PicturesOfOldWorkbooksAndPresentations)
{
    const fs::path fixtures = fs::path(TRANCEL_SOURCE_DIR) / "wordlib/tests/fixtures";
    fs::copy_file(fixtures / "lo-pictures.xls", dir.path() / "Sheet.XLS");
    fs::copy_file(fixtures / "lo-pictures.ppt", dir.path() / "talk.ppt");
    const struct {
        int kind;
        const char* source;
        const char* output;
    } cases[] = {{CCreatePDFDlg::KindExcel, "Sheet.XLS", "Sheet.pdf"},
                 {CCreatePDFDlg::KindPowerPoint, "talk.ppt", "talk.pdf"}};
    for (const auto& c : cases) {
        dialog().SetKind(c.kind);
        dialog().SetSourceFile(Q(dir.path() / c.source));
        EXPECT_TRUE(dialog().Create()) << c.source;
        EXPECT_EQ(PdfImages(dir.path() / "out" / c.output), 2) << c.source;
    }
    EXPECT_EQ(messages, (QStringList{GetLangString(255), GetLangString(255)}));
}

TEST_F(CreatePdfDialog, EachKindKeepsItsOwnSource)
{
    dialog().SetFolder(Q(pictures));
    dialog().SetKind(CCreatePDFDlg::KindWord);
    EXPECT_TRUE(dialog().SourceField().isEmpty());
    dialog().SetSourceFile(QStringLiteral("/d/letter.docx"));
    dialog().SetKind(CCreatePDFDlg::KindPictures);
    EXPECT_EQ(dialog().FolderField(), Q(pictures));
    EXPECT_EQ(dialog().SourceField(), QStringLiteral("/d/letter.docx"));
}

TEST_F(CreatePdfDialog, AWordPackageBecomesAPdf)
{
    const fs::path docx = dir.path() / "Letter.DOCX";
    int status = -1;
    testutil::Run("/usr/bin/python3 -c 'import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], \"w\")\n"
        "z.writestr(\"[Content_Types].xml\", \"<?xml version=\\\"1.0\\\"?><Types xmlns=\\\"http://schemas.openxmlformats.org/package/2006/content-types\\\">"
        "<Default Extension=\\\"rels\\\" ContentType=\\\"application/vnd.openxmlformats-package.relationships+xml\\\"/>"
        "<Override PartName=\\\"/word/document.xml\\\" ContentType=\\\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\\\"/></Types>\")\n"
        "z.writestr(\"_rels/.rels\", \"<?xml version=\\\"1.0\\\"?><Relationships xmlns=\\\"http://schemas.openxmlformats.org/package/2006/relationships\\\">"
        "<Relationship Id=\\\"rId1\\\" Type=\\\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\\\" Target=\\\"word/document.xml\\\"/></Relationships>\")\n"
        "z.writestr(\"word/document.xml\", \"<?xml version=\\\"1.0\\\"?><w:document xmlns:w=\\\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\\\">"
        "<w:body><w:p><w:r><w:t>Dear reader of this letter</w:t></w:r></w:p></w:body></w:document>\")\n"
        "z.close()' " +
            Quote(docx.string()),
        &status);
    ASSERT_EQ(status, 0);

    dialog().SetKind(CCreatePDFDlg::KindWord);
    dialog().SetSourceFile(Q(docx));
    ASSERT_TRUE(dialog().Create());
    const fs::path out = dir.path() / "out/Letter.pdf";
    EXPECT_NE(testutil::Run("pdftotext " + Quote(out.string()) + " - 2>/dev/null").find("Dear reader of this letter"),
              std::string::npos);

    // A Word 97-2003 file named in capitals takes the 97-2003 reader.
    fs::copy_file(fs::path(TRANCEL_SOURCE_DIR) / "wordlib/tests/fixtures/lo-writer.doc", dir.path() / "MEMO.DOC");
    dialog().SetSourceFile(Q(dir.path() / "MEMO.DOC"));
    ASSERT_TRUE(dialog().Create());
    EXPECT_FALSE(testutil::Run("pdftotext " + Quote((dir.path() / "out/MEMO.pdf").string()) + " - 2>/dev/null")
                     .find_first_not_of(" \n\f") == std::string::npos);
    EXPECT_EQ(messages, (QStringList{GetLangString(255), GetLangString(255)}));
}

} // namespace
