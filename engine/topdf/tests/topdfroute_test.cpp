// The driver's to-PDF direction: `trancel-run --to-pdf` makes a PDF of each
// source, prints the progress and result lines, and fails the sources that
// give none.
#include "engine/topdf/tests/topdftestutil.h"

#include "engine/topdf/topdf.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <sstream>

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

fs::path Fixture(const std::string& name)
{
    return fs::path(TRANCEL_SOURCE_DIR) / "engine/topdf/tests/fixtures" / name;
}

// The first number of `key` in pdfinfo's answer ("Page size:  792 x 445").
std::string PageSizes(const std::string& pdf)
{
    return Shell("pdfinfo -f 1 -l 99 " + Quote(pdf) + " 2>/dev/null | grep '^Page.*size:' | sed 's/.*size: *//'");
}

// Whether `words` appear in `text` in this order.
::testing::AssertionResult InOrder(const std::string& text, const std::vector<std::string>& words)
{
    std::size_t at = 0;
    for (const std::string& w : words) {
        const std::size_t found = text.find(w, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << w << "\" missing or out of order in:\n" << text;
        at = found + w.size();
    }
    return ::testing::AssertionSuccess();
}

// Office documents by their extension in any case: Word 2007 and 97-2003
// documents, workbooks and presentations that LibreOffice wrote.
TEST(ToPdfDriver, OfficeDocumentsByExtension)
{
    testutil::TempDir dir;
    const fs::path in = dir.path() / "in";
    const fs::path out = dir.path() / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::copy_file(Fixture("lo-writer.docx"), in / "Letter.DOCX");
    fs::copy_file(Fixture("lo-calc.xlsx"), in / "book.Xlsx");
    fs::copy_file(Fixture("lo-impress.pptx"), in / "talk.pptx");
    fs::copy_file(fs::path(TRANCEL_SOURCE_DIR) / "wordlib/tests/fixtures/lo-reader.doc", in / "old.Doc");

    int status = -1;
    const std::string log = Driver("--dest " + Quote(out.string()) + " " + Quote((in / "Letter.DOCX").string()) + " " +
                                       Quote((in / "book.Xlsx").string()) + " " + Quote((in / "talk.pptx").string()) +
                                       " " + Quote((in / "old.Doc").string()),
                                   &status);
    EXPECT_EQ(status, 0) << log;

    // The document: every paragraph and cell in order, both pictures.
    const std::string letter = (out / "Letter.pdf").string();
    EXPECT_EQ(QpdfProblems(letter), "");
    EXPECT_TRUE(InOrder(PdfText(letter, "-layout"),
                        {"The first paragraph has bold words in it.", "The second paragraph is written in red.",
                         "The third paragraph is highlighted here.", "Cell A1", "Cell C1", "Cell A2", "Cell B2",
                         "Cell C2", "Cell A3", "Cell B3", "Pictures follow.", "The last paragraph ends the document."}));
    const std::string pictures = Shell("pdfimages -list " + Quote(letter));
    EXPECT_NE(pictures.find("    64    48  "), std::string::npos) << pictures;
    EXPECT_NE(pictures.find("    56    40  "), std::string::npos) << pictures;
    const std::string content = PageContent(letter, 1);
    // Bold, red text, the yellow highlight and the blue cell shading.
    EXPECT_NE(content.find("/F1 "), std::string::npos) << content;
    EXPECT_NE(content.find("0.752 0 0 rg"), std::string::npos) << content;
    EXPECT_NE(content.find("1 1 0 rg"), std::string::npos) << content;
    EXPECT_NE(content.find("0.600 0.800 1 rg"), std::string::npos) << content;

    // The workbook: one page per sheet, widened to its 20 columns, each a
    // bordered table.
    const std::string book = (out / "book.pdf").string();
    EXPECT_EQ(QpdfProblems(book), "");
    EXPECT_EQ(PageCount(book), 2);
    const std::string bookText = PdfText(book, "-layout");
    std::vector<std::string> header;
    for (int c = 1; c < 20; ++c)
        header.push_back("H" + std::to_string(c) + " ");
    header.push_back("H20");
    EXPECT_TRUE(InOrder(bookText, header));
    EXPECT_TRUE(InOrder(bookText, {"R2C1", "R2C2", "R2C3", "R2C5", "R3C1", "Tall", "R4B", "R5B", "Other", "42"}));
    EXPECT_EQ(bookText.find("R2C4"), std::string::npos) << "the merged-over cell shows";
    const std::string sizes = PageSizes(book);
    int width = 0, height = 0;
    ASSERT_EQ(std::sscanf(sizes.c_str(), "%d x %d", &width, &height), 2) << sizes;
    EXPECT_GT(width, 612) << sizes;
    EXPECT_EQ(height, 792);
    for (int page = 1; page <= 2; ++page) {
        const std::string rules = PageContent(book, page);
        std::size_t count = 0;
        for (std::size_t at = rules.find(" re f"); at != std::string::npos; at = rules.find(" re f", at + 1))
            ++count;
        EXPECT_GE(count, page == 1 ? 20u : 3u) << rules;
    }

    // The presentation: three pages 792 points wide in the slides' 16:9.
    const std::string talk = (out / "talk.pdf").string();
    EXPECT_EQ(QpdfProblems(talk), "");
    EXPECT_EQ(PageCount(talk), 3);
    std::istringstream talkSizes(PageSizes(talk));
    std::string line;
    int pages = 0;
    while (std::getline(talkSizes, line)) {
        ++pages;
        EXPECT_EQ(line.rfind("792 x 445", 0), 0u) << line;
    }
    EXPECT_EQ(pages, 3);
    EXPECT_TRUE(InOrder(PdfText(talk), {"Slide title 1", "Body text of slide 1", "Slide title 2",
                                        "Body text of slide 2", "Slide title 3", "Body text of slide 3"}));

    // The Word 97-2003 document.
    const std::string old = (out / "old.pdf").string();
    EXPECT_EQ(QpdfProblems(old), "");
    EXPECT_TRUE(InOrder(PdfText(old), {"Reader heading", "alpha", "beta", "gamma", "delta"}));
}

// Damaged and hostile packages fail alone or convert what they hold; none
// writes outside its work folder and none leaves a file behind on failure.
TEST(ToPdfDriver, DamagedPackages)
{
    testutil::TempDir dir;
    const fs::path in = dir.path() / "in";
    const fs::path out = dir.path() / "out";
    const fs::path work = dir.path() / "work";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::create_directories(work);
    // Each package is the LibreOffice document with entries taken out or
    // put in, rewritten by Python's zipfile.
    const std::string script = R"PY(
import sys, zipfile
src, dst, drop = sys.argv[1], sys.argv[2], sys.argv[3].split(",")
extra = sys.argv[4:]
with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, "w") as zout:
    for item in zin.infolist():
        if item.filename not in drop:
            zout.writestr(item, zin.read(item.filename))
    for name in extra:
        zout.writestr(zipfile.ZipInfo(name), b"escaped")
)PY";
    testutil::WriteFile(dir.path() / "edit.py", script);
    auto make = [&](const std::string& fixture, const std::string& name, const std::string& drop,
                    const std::string& extra = std::string()) {
        Shell("python3 " + Quote((dir.path() / "edit.py").string()) + " " + Quote(Fixture(fixture).string()) + " " +
              Quote((in / name).string()) + " " + Quote(drop) + " " + extra);
        return (in / name).string();
    };
    const std::string noDocument = make("lo-writer.docx", "nodocument.docx", "word/document.xml");
    const std::string noRels = make("lo-writer.docx", "norels.docx", "word/_rels/document.xml.rels");
    const std::string noSlide = make("lo-impress.pptx", "noslide.pptx", "ppt/slides/slide2.xml");
    const std::string escaping = make("lo-writer.docx", "escaping.docx", "-",
                                      "../../escaped.txt /tmp/topdf-absolute-entry.txt word/../../up.txt");
    testutil::WriteFile(in / "corrupt.docx", "PK\x03\x04 this is no zip at all");
    std::string truncated = testutil::ReadFile(Fixture("lo-calc.xlsx"));
    truncated.resize(truncated.size() / 2);
    testutil::WriteFile(in / "truncated.xlsx", truncated);

    int status = -1;
    const std::string log = Driver("--dest " + Quote(out.string()) + " " + Quote(noDocument) + " " + Quote(noRels) +
                                       " " + Quote(noSlide) + " " + Quote(escaping) + " " +
                                       Quote((in / "corrupt.docx").string()) + " " +
                                       Quote((in / "truncated.xlsx").string()),
                                   &status);
    EXPECT_EQ(status, 1) << log;
    for (const char* state : {"0 1227 3\n", "1 1227 2\n", "2 1227 2\n", "4 1227 3\n", "5 1227 3\n"})
        EXPECT_NE(log.find(state), std::string::npos) << state << log;
    // Without relationships the text comes without the pictures.
    const std::string norels = (out / "norels.pdf").string();
    EXPECT_TRUE(InOrder(PdfText(norels), {"The first paragraph", "Cell A1", "The last paragraph"}));
    EXPECT_EQ(Shell("pdfimages -list " + Quote(norels) + " | tail -n +3"), "");
    // The presentation without its second slide keeps the first and third.
    const std::string noslide = (out / "noslide.pdf").string();
    EXPECT_EQ(PageCount(noslide), 2);
    EXPECT_TRUE(InOrder(PdfText(noslide), {"Slide title 1", "Slide title 3"}));
    EXPECT_FALSE(fs::exists(dir.path() / "escaped.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "up.txt"));
    EXPECT_FALSE(fs::exists("/tmp/topdf-absolute-entry.txt"));
    // The escaping entries are skipped; the document itself converts.
    if (fs::exists(out / "escaping.pdf")) {
        EXPECT_TRUE(InOrder(PdfText((out / "escaping.pdf").string()), {"The first paragraph"}));
    }
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(out))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    for (const std::string& name : written)
        EXPECT_TRUE(name == "norels.pdf" || name == "noslide.pdf" || name == "escaping.pdf") << name;
}

// Workbooks and presentations of the 97-2003 formats give the pictures
// stored in them; one without pictures fails and leaves nothing.
TEST(ToPdfDriver, PicturesOfOldWorkbooksAndPresentations)
{
    testutil::TempDir dir;
    const fs::path fixtures = fs::path(TRANCEL_SOURCE_DIR) / "wordlib/tests/fixtures";
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    fs::copy_file(fixtures / "lo-pictures.xls", dir.path() / "Sheet.XLS");
    testutil::WriteFile(dir.path() / "none.xls", "not a workbook");
    int status = -1;
    const std::string log = Driver("--dest " + Quote(out.string()) + " " + Quote((dir.path() / "Sheet.XLS").string()) +
                                       " " + Quote((fixtures / "lo-pictures.ppt").string()) + " " +
                                       Quote((dir.path() / "none.xls").string()),
                                   &status);
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("2 1227 3\n"), std::string::npos) << log;
    for (const std::string stem : {"Sheet", "lo-pictures"}) {
        const std::string png = (out / (stem + "-1.png")).string();
        const std::string jpeg = (out / (stem + "-2.jpg")).string();
        EXPECT_EQ(Shell("identify -format '%m %wx%h' " + Quote(png)), "PNG 40x30") << log;
        EXPECT_EQ(Shell("identify -format '%m %wx%h' " + Quote(jpeg)), "JPEG 48x32") << log;
    }
    EXPECT_NE(log.find("result 0 " + (out / "Sheet-1.png").string() + "\n"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(out / "none-1.png"));
}

// The entry points that the desktop program calls: sizes written, the
// caller's buffers left as they were, and no file for what is no document.
TEST(ToPdfEntryPoints, OfficeAndWordDocuments)
{
    testutil::TempDir dir;
    const std::string docx = Fixture("lo-writer.docx").string();
    std::vector<char> package(docx.begin(), docx.end());
    package.push_back('\0');
    // The work folder's buffer ends right after its text: nothing may be
    // appended to it in place.
    const std::string workText = dir.str() + "work";
    fs::create_directories(workText);
    auto* work = new char[workText.size() + 1];
    std::memcpy(work, workText.c_str(), workText.size() + 1);

    const fs::path pdf = dir.path() / "out.pdf";
    const unsigned size = office07topdf(package.data(), pdf.wstring().c_str(), work, 0);
    EXPECT_EQ(size, fs::file_size(pdf));
    EXPECT_EQ(std::string(work), workText);
    EXPECT_TRUE(fs::exists(fs::path(workText) / "word/document.xml"));
    EXPECT_EQ(QpdfProblems(pdf.string()), "");

    // A kind of none of the three, a package that is no zip, a Word
    // document that is no Word document: 0 and no file.
    const fs::path none = dir.path() / "none.pdf";
    EXPECT_EQ(office07topdf(package.data(), none.wstring().c_str(), work, 3), 0u);
    testutil::WriteFile(dir.path() / "bad.docx", "PK\x03\x04 no zip");
    std::string bad = (dir.path() / "bad.docx").string();
    EXPECT_EQ(office07topdf(bad.data(), none.wstring().c_str(), work, 0), 0u);
    testutil::WriteFile(dir.path() / "bad.doc", std::string(4096, 'x'));
    EXPECT_EQ(word03topdf((dir.path() / "bad.doc").wstring().c_str(), none.wstring().c_str(), nullptr), 0u);
    EXPECT_FALSE(fs::exists(none));
    delete[] work;

    const fs::path old = dir.path() / "old.pdf";
    const fs::path doc = fs::path(TRANCEL_SOURCE_DIR) / "wordlib/tests/fixtures/lo-reader.doc";
    const unsigned written = word03topdf(doc.wstring().c_str(), old.wstring().c_str(), nullptr);
    EXPECT_EQ(written, fs::file_size(old));
}

} // namespace
