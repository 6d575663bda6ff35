// The PDF file writer: the exact layout of a minimal file, cross-reference
// offsets, the colour operators, and what is (not) written on failure.
#include "engine/topdf/tests/topdftestutil.h"
#include "engine/topdf/topdf.h"

#include <zlib.h>

#include <filesystem>

namespace {

using namespace topdftest;
namespace fs = std::filesystem;

std::string Deflated(const std::string& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
              Z_DEFAULT_COMPRESSION);
    out.resize(size);
    return out;
}

// The file of one empty Letter page, object by object as the writer lays
// it out: page tree 1, page 2, resources 3, content 4, catalog 5.
std::string EmptyPageFile()
{
    const std::string content = Deflated("BT\r\nET");
    std::vector<std::string> objects = {
        "1 0 obj\r\n<</Type /Pages /Kids [2 0 R] /Count 1>>\r\nendobj\r\n",
        "2 0 obj\r\n<</Type/Page/Parent 1 0 R/MediaBox[0 0 612 792]/Resources 3 0 R/Contents [4 0 R]>>"
        "\r\nendobj\r\n",
        "3 0 obj\r\n<</ProcSet[/PDF/ImageC]/XObject<<>>>>\r\nendobj\r\n",
        "4 0 obj\r\n<</Filter/FlateDecode/Length " + std::to_string(content.size()) + ">>stream\r\n" + content +
            "\r\nendstream\r\nendobj\r\n",
        "5 0 obj\r\n<</Type/Catalog/Pages 1 0 R>>\r\nendobj\r\n",
    };
    std::string file = "%PDF-1.3\r\n";
    std::string xref = "xref\r\n0 6\r\n0000000000 65535 f\r\n";
    for (const std::string& o : objects) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", file.size());
        xref += entry;
        file += o;
    }
    const std::size_t start = file.size();
    file += xref + "trailer\r\n<</Root 5 0 R /Size 6>>\r\nstartxref\r\n" + std::to_string(start) + "\r\n%%EOF\r\n";
    return file;
}

TEST(PdfWriter, EmptyPictureDocumentIsOneEmptyPageByteForByte)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "empty.pdf";
    void* handle = nullptr;
    initpdf(utf8::ToWide(path).c_str(), &handle, 8.5, 11, 0, 0, KIND_PICTURES);
    ASSERT_NE(handle, nullptr);
    const unsigned size = endpdf(handle);
    const std::string file = testutil::ReadFile(path);
    EXPECT_EQ(size, file.size());
    EXPECT_EQ(file, EmptyPageFile());
    EXPECT_EQ(QpdfProblems(path), "");
}

TEST(PdfWriter, OffsetsPointAtTheirObjects)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "mixed.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    for (int i = 0; i < 400; ++i) {
        e.style.bold = i % 2;
        e.style.italic = i % 3 == 0;
        e.paragraph("Paragraph " + std::to_string(i) + " with a few words in it.");
    }
    ASSERT_GT(doc.writeFile(), 0u);
    const std::string file = testutil::ReadFile(path);
    EXPECT_EQ(XrefProblems(file), "");
    EXPECT_EQ(QpdfProblems(path), "");
    EXPECT_GE(PageCount(path), 2);
}

TEST(PdfWriter, ColoursAreWrittenAsTheirComponents)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "colours.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    e.style.colour = 0x0000FF;   // red 255
    e.paragraph("red");
    e.style.colour = 0x000080;   // red 128
    e.paragraph("dark red");
    e.style.colour = 0;
    e.paragraph("black");
    ASSERT_GT(doc.writeFile(), 0u);
    const std::string content = PageContent(path, 1);
    EXPECT_NE(content.find("1 0 0 rg"), std::string::npos) << content;
    EXPECT_NE(content.find("0.501 0 0 rg"), std::string::npos) << content;
    EXPECT_NE(content.find("0 0 0 rg"), std::string::npos) << content;
    EXPECT_NE(content.find("[<007200650064>]TJ"), std::string::npos) << content;
    EXPECT_NE(PdfText(path).find("red\ndark red\nblack\n"), std::string::npos);
}

TEST(PdfWriter, NothingIsWrittenWithoutPagesOrWithoutAPlace)
{
    testutil::TempDir dir;
    {
        // A workbook without sheets has no page.
        OPdfDocument doc;
        doc.setOutputPath(dir.str() + "nopages.pdf");
        doc.setupPage(KIND_WORKBOOK, 8.5, 11, 43, 36, 20);
        EXPECT_EQ(doc.writeFile(), 0u);
        EXPECT_FALSE(fs::exists(dir.path() / "nopages.pdf"));
    }
    {
        void* handle = nullptr;
        initpdf(utf8::ToWide(dir.str() + "missing/folder/out.pdf").c_str(), &handle, 8.5, 11, 0, 0,
                KIND_PICTURES);
        EXPECT_EQ(endpdf(handle), 0u);
        EXPECT_FALSE(fs::exists(dir.path() / "missing"));
    }
    EXPECT_EQ(endpdf(nullptr), 0u);
}

TEST(PdfWriter, LongTextOfOnePieceAndManyStreamsOnOnePage)
{
    testutil::TempDir dir;
    const std::string path = dir.str() + "long.pdf";
    OPdfDocument doc;
    doc.setOutputPath(path);
    doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 12);
    Events e(doc);
    // A whole paragraph at size 0 is one piece of text of any length.
    std::string paragraph;
    for (int i = 0; i < 20000; ++i)
        paragraph += "word" + std::to_string(i) + " ";
    e.style.fontSize = 0;
    e.paragraph(paragraph);
    // Thousands of small pieces on one line fill many content streams.
    e.style.fontSize = 1;
    for (int i = 0; i < 5000; ++i)
        e.text("x");
    e.lineEnd();
    ASSERT_GT(doc.writeFile(), 0u);
    EXPECT_EQ(QpdfProblems(path), "");
    EXPECT_EQ(PageCount(path), 1);
    const std::string shown = Shell("qpdf --show-pages " + Quote(path));
    EXPECT_GE(std::count(shown.begin(), shown.end(), '\n'), 10) << shown;
    // "word19999 " in the one piece of text, as UTF-16 hexadecimal.
    std::string hex;
    for (char c : std::string("word19999 ")) {
        char unit[8];
        std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(c));
        hex += unit;
    }
    EXPECT_NE(PageContent(path, 1).find(hex + ">]TJ"), std::string::npos);
}

} // namespace
