// Word 97-2003 documents written by the engine (output type 5), read by
// others: LibreOffice opens them (exported to PDF and to ODT in one
// session each), pdftotext reads its PDFs, antiword reads the documents.
// Sources: a real text PDF of the corpus and generated fixtures (columns,
// pages of three sizes, links, a picture, a dashed hairline, turned text,
// an empty page, 5000 words on one page). Also: the "(N)" naming and the
// failure without the default Word data.

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "tests/support/testutil.h"
#include "wordlib/iscrivlet.h"
#include "wordlib/writerstate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::TempDir;

const std::string kCorpus = TRANCEL_SOURCE_DIR "/../shared/corpus/pdf/";
const std::string kTextPdf = kCorpus + "004-pdflatex-4-pages_pdflatex-4-pages.pdf";
const std::string kScripts = TRANCEL_SOURCE_DIR "/wordlib/tests/";
const std::string kSupport = TRANCEL_SOURCE_DIR "/tests/support/";

std::string Shell(const std::string& cmd, int* status = nullptr)
{
    return testutil::Run(cmd, status);
}

int PageCount(const std::string& pdf)
{
    const std::string info = Shell("pdfinfo " + Quote(pdf) + " 2>/dev/null");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// Page sizes of every page, in points.
std::vector<std::pair<double, double>> PageSizes(const std::string& pdf, int pages)
{
    std::vector<std::pair<double, double>> sizes;
    const std::string info =
        Shell("pdfinfo -f 1 -l " + std::to_string(pages) + " " + Quote(pdf) + " 2>/dev/null");
    const std::regex size(R"(Page +\d+ size: +([\d.]+) x ([\d.]+) pts)");
    for (std::sregex_iterator it(info.begin(), info.end(), size), end; it != end; ++it)
        sizes.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    return sizes;
}

// Converts the PDFs with output type 5 into `dest`; the results, in order.
std::vector<std::string> ConvertToDoc(const std::vector<std::string>& pdfs, const std::string& dest,
                                      const std::string& work)
{
    std::vector<Basedata_w> items;
    for (const std::string& pdf : pdfs) {
        Basedata_w item;
        item.type = 5;
        item.source = utf8::ToWide(pdf);
        item.dest = utf8::ToWide(dest);
        item.exePath = utf8::ToWide(TRANCEL_BINARY_DIR "/bin");
        items.push_back(item);
    }
    fs::create_directories(dest);
    fs::create_directories(work);
    convert(items, utf8::ToWide(work), nullptr, callback_funcs{});
    std::vector<std::string> out;
    for (const Basedata_w& item : items)
        out.push_back(utf8::FromWide(item.result));
    return out;
}

// One LibreOffice session converts every document to `format` into `out`.
bool LibreOffice(const std::vector<std::string>& docs, const std::string& format, const std::string& out,
                 const std::string& profile)
{
    std::string files;
    for (const std::string& d : docs)
        files += " " + Quote(d);
    int status = -1;
    Shell("timeout 600 soffice -env:UserInstallation=file://" + profile +
              " --headless --norestore --convert-to " + format + " --outdir " + Quote(out) + files +
              " >/dev/null 2>&1",
          &status);
    return status == 0;
}

std::string Stem(const std::string& path)
{
    return fs::path(path).stem().string();
}

class DocOracle : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        const std::string d = dir->str();
        int status = -1;
        Shell("/usr/bin/python3 " + Quote(kScripts + "doc_fixtures.py") + " " + Quote(d + "pdf") +
                  " mixed many 2>&1",
              &status);
        ASSERT_EQ(status, 0);
        // The text PDF twice: the second document may not replace the first.
        docs = ConvertToDoc({kTextPdf, d + "pdf/mixed.pdf", d + "pdf/many.pdf", kTextPdf}, d + "doc", d + "work/");
        ASSERT_EQ(docs.size(), 4u);
        for (const std::string& doc : docs)
            ASSERT_FALSE(doc.empty());
        ASSERT_TRUE(LibreOffice({docs[0], docs[1], docs[2]}, "pdf", d + "lo", d + "profile"));
        ASSERT_TRUE(LibreOffice({docs[1]}, "odt", d + "lo", d + "profile"));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    static std::string Exported(std::size_t i, const std::string& ext)
    {
        return dir->str() + "lo/" + Stem(docs[i]) + ext;
    }

    static void OutputNamesNeverReplaceAFile();
    static void RealTextKeepsItsPagesAndWords();
    static void MixedPagesLinksAndPictures();
    static void FiveThousandRunsOnOnePage();

    static TempDir* dir;
    static std::vector<std::string> docs;
};

TempDir* DocOracle::dir = nullptr;
std::vector<std::string> DocOracle::docs;

// One test, so that LibreOffice starts once for all documents (ctest runs
// each test in a process of its own).
TEST_F(DocOracle, OthersReadEveryDocument)
{
    {
        SCOPED_TRACE("output names");
        OutputNamesNeverReplaceAFile();
    }
    {
        SCOPED_TRACE("real text");
        RealTextKeepsItsPagesAndWords();
    }
    {
        SCOPED_TRACE("mixed pages");
        MixedPagesLinksAndPictures();
    }
    {
        SCOPED_TRACE("5000 runs");
        FiveThousandRunsOnOnePage();
    }
}

void DocOracle::OutputNamesNeverReplaceAFile()
{
    const std::string base = dir->str() + "doc/" + Stem(kTextPdf);
    EXPECT_EQ(docs[0], base + ".doc");
    EXPECT_EQ(docs[3], base + "(1).doc");
    EXPECT_TRUE(fs::exists(docs[0]));
    EXPECT_TRUE(fs::exists(docs[3]));
}

// A real text PDF: LibreOffice's pages are as many as the source's and
// hold at least 90 percent of the words pdftotext finds in the source;
// antiword reads the document.
void DocOracle::RealTextKeepsItsPagesAndWords()
{
    const std::string pdf = Exported(0, ".pdf");
    ASSERT_EQ(PageCount(pdf), PageCount(kTextPdf));
    const std::string txt = dir->str() + "text.txt";
    Shell("pdftotext -raw " + Quote(pdf) + " " + Quote(txt));
    int status = -1;
    const std::string coverage =
        Shell("/usr/bin/python3 " + Quote(kSupport + "wordcoverage.py") + " " + Quote(kTextPdf) + " " + Quote(txt),
              &status);
    ASSERT_EQ(status, 0) << coverage;
    int found = 0, total = 0;
    ASSERT_EQ(std::sscanf(coverage.c_str(), "%d %d", &found, &total), 2) << coverage;
    ASSERT_GT(total, 1000);
    EXPECT_GE(found * 10, total * 9) << coverage;

    const std::string text = Shell("antiword " + Quote(docs[0]) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("Hello, here is some text without a meaning."), std::string::npos) << text.substr(0, 2000);
}

// Pages of three sizes (A1 scaled to the format's 22 inches, keeping its
// proportions), an empty page kept, links to a page and to an address,
// the picture, and the text of every page.
void DocOracle::MixedPagesLinksAndPictures()
{
    const std::string pdf = Exported(1, ".pdf");
    ASSERT_EQ(PageCount(pdf), 5);
    const auto sizes = PageSizes(pdf, 5);
    ASSERT_EQ(sizes.size(), 5u);
    const double a1h = 22 * 72.0, a1w = 22 * 72.0 * 1683.78 / 2383.94;
    const std::pair<double, double> expected[] = {
        {595.28, 841.89}, {1190.55, 841.89}, {a1w, a1h}, {595.28, 841.89}, {595.28, 841.89}};
    for (int p = 0; p < 5; ++p) {
        SCOPED_TRACE(p + 1);
        EXPECT_NEAR(sizes[p].first, expected[p].first, 1.0);
        EXPECT_NEAR(sizes[p].second, expected[p].second, 1.0);
    }
    const std::string words = Shell("pdftotext " + Quote(pdf) + " - 2>/dev/null");
    for (const char* w : {"leftcolumn", "rightcolumn", "jumpone", "website", "athree", "aonetarget", "lastpage"})
        EXPECT_NE(words.find(w), std::string::npos) << w;
    EXPECT_EQ(Shell("pdftotext -f 4 -l 4 " + Quote(pdf) + " - 2>/dev/null").find_first_not_of(" \n\f"),
              std::string::npos);

    // LibreOffice's own document: the bookmark of the link's target page,
    // both link targets and the picture.
    const std::string odt = Exported(1, ".odt");
    const std::string content = Shell("unzip -p " + Quote(odt) + " content.xml");
    ASSERT_FALSE(content.empty());
    EXPECT_TRUE(std::regex_search(content, std::regex(R"(<text:bookmark(-start)? text:name="bm0")")));
    EXPECT_NE(content.find("xlink:href=\"#bm0\""), std::string::npos);
    EXPECT_NE(content.find("xlink:href=\"https://example.org/word19\""), std::string::npos);
    EXPECT_NE(content.find("<draw:image"), std::string::npos);
    // The bookmark stands on the A1 page: after the text of the A3 page.
    EXPECT_LT(content.find("athree"), content.find("text:name=\"bm0\""));
    const std::string styles = Shell("unzip -p " + Quote(odt) + " styles.xml");
    EXPECT_NE(styles.find("fo:page-width=\"16.5354in\""), std::string::npos);
    EXPECT_NE(styles.find("fo:page-height=\"22in\""), std::string::npos);
}

void DocOracle::FiveThousandRunsOnOnePage()
{
    const std::string pdf = Exported(2, ".pdf");
    ASSERT_EQ(PageCount(pdf), 1);
    const std::string words = Shell("pdftotext " + Quote(pdf) + " - 2>/dev/null");
    for (const char* w : {"w0", "w2500", "w4999"})
        EXPECT_TRUE(std::regex_search(words, std::regex(std::string("\\b") + w + "\\b"))) << w;
}

// Without the default Word data nothing is written: the path is empty, no
// file is left, and the log says why.
TEST(DocWriter, MissingDefaultDataFailsTheSave)
{
    TempDir dir;
    IScrivlet writer;
    writer.state().dataFolder = dir.str() + "no-such-folder/";
    writer.write(nullptr);
    testing::internal::CaptureStderr();
    const std::wstring path = writer.save(utf8::ToWide(dir.str()), L"x");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(path.empty());
    EXPECT_NE(log.find("Save File Failed"), std::string::npos) << log;
    EXPECT_NE(log.find("default_stsh"), std::string::npos) << log;
    EXPECT_TRUE(fs::is_empty(dir.path()));

    // The same object writes the next document once the data is there.
    writer.state().dataFolder.clear();
    writer.write(nullptr);
    const std::wstring next = writer.save(utf8::ToWide(dir.str()), L"x.doc");
    EXPECT_EQ(utf8::FromWide(next), dir.str() + "x.doc");
    int status = -1;
    Shell("antiword " + Quote(dir.str() + "x.doc") + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
}

} // namespace
