// Word 2007 output opened by LibreOffice: generated PDFs are converted with
// the engine, LibreOffice opens every document (in one session) and exports
// it to PDF, and pdftotext must find every word of every source page on the
// same page, with as many pages as the source. A password-protected document
// opens with its password only.

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "engine/writers/docx/tests/word07testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testutil::Quote;

// Shell commands, by a name that gtest's own Test::Run does not hide.
std::string Shell(const std::string& cmd, int* status = nullptr)
{
    return testutil::Run(cmd, status);
}
using testutil::TempDir;

const std::string kProgramDir = TRANCEL_BINARY_DIR "/bin";
const std::string kScripts = TRANCEL_SOURCE_DIR "/engine/writers/docx/tests/";
const std::string kPassword = "Kennwort \xc3\xbc";
const std::wstring kWidePassword = L"Kennwort \u00fc";

const std::vector<std::string> kDocuments = {"text", "columns", "mixed", "blank", "picture", "huge", "links", "shapes"};

int PageCount(const std::string& pdf)
{
    const std::string info = Shell("pdfinfo " + Quote(pdf) + " 2>/dev/null");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

std::vector<std::string> Words(const std::string& pdf, int page)
{
    std::istringstream in(Shell("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) +
                              " " + Quote(pdf) + " - 2>/dev/null"));
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

class Word07Oracle : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        const std::string d = dir->str();
        ASSERT_TRUE(word07test::MakeDocxFixtures(d + "pdf", "text columns mixed blank picture huge links shapes"));

        std::vector<Basedata_w> items;
        for (const std::string& name : kDocuments) {
            Basedata_w item;
            item.type = 6;
            item.source = utf8::ToWide(d + "pdf/" + name + ".pdf");
            item.dest = utf8::ToWide(d + "docx");
            item.exePath = utf8::ToWide(kProgramDir);
            items.push_back(item);
        }
        Basedata_w protectedItem = items.front();
        protectedItem.wordOp.bOpenPassword = true;
        protectedItem.wordOp.openPassword = kWidePassword.c_str();
        items.push_back(protectedItem);   // text(1).docx
        std::filesystem::create_directories(d + "docx");
        std::filesystem::create_directories(d + "work");
        convert(items, utf8::ToWide(d + "work/"), nullptr, callback_funcs{});
        for (std::size_t i = 0; i < kDocuments.size(); ++i)
            ASSERT_EQ(utf8::FromWide(items[i].result), d + "docx/" + kDocuments[i] + ".docx");
        ASSERT_EQ(utf8::FromWide(items.back().result), d + "docx/text(1).docx");
        std::filesystem::rename(d + "docx/text(1).docx", d + "protected.docx");

        // An independent reader decrypts the protected document.
        int status = -1;
        Shell("/usr/bin/python3 " + Quote(kScripts + "office_decrypt.py") + " " + Quote(d + "protected.docx") +
                " " + Quote(d + "decrypted.docx") + " " + Quote(kPassword) + " >/dev/null 2>&1",
            &status);
        decryptStatus = status;

        // One LibreOffice session opens everything.
        std::string jobs;
        for (const std::string& name : kDocuments)
            jobs += Quote(d + "docx/" + name + ".docx") + " " + Quote(d + "lo/" + name + ".pdf") + " -- ";
        jobs += Quote(d + "protected.docx") + " " + Quote(d + "lo/protected.pdf") + " " + Quote(kPassword) + " -- ";
        jobs += Quote(d + "protected.docx") + " " + Quote(d + "lo/nopassword.pdf") + " -- ";
        jobs += Quote(d + "protected.docx") + " " + Quote(d + "lo/wrongpassword.pdf") + " wrong -- ";
        jobs += Quote(d + "decrypted.docx") + " " + Quote(d + "lo/decrypted.pdf");
        std::filesystem::create_directories(d + "lo");
        report = Shell("/usr/bin/python3 " + Quote(kScripts + "lo_oracle.py") + " " + Quote(d + "profile") + " " +
                         jobs + " 2>&1",
                     &status);
        ASSERT_EQ(status, 0) << report;
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    static bool Opened(const std::string& pdfName)
    {
        return report.find("OK " + dir->str() + "lo/" + pdfName + "\n") != std::string::npos;
    }

    // Every word of each source page is on the same page of LibreOffice's
    // export, which has as many pages.
    static void ExpectSameWords(const std::string& source, const std::string& exported,
                                const std::set<std::string>& ignored = {})
    {
        const int pages = PageCount(source);
        ASSERT_GT(pages, 0);
        ASSERT_EQ(PageCount(exported), pages) << exported;
        for (int p = 1; p <= pages; ++p) {
            const std::vector<std::string> found = Words(exported, p);
            const std::multiset<std::string> have(found.begin(), found.end());
            for (const std::string& word : Words(source, p)) {
                if (!ignored.count(word)) {
                    EXPECT_TRUE(have.count(word)) << exported << " page " << p << ": " << word;
                }
            }
        }
    }

    static void PagesKeepTheirSizesAndPictures();
    static void ProtectedDocumentOpensWithItsPasswordOnly();

    static TempDir* dir;
    static std::string report;
    static int decryptStatus;
};

TempDir* Word07Oracle::dir = nullptr;
std::string Word07Oracle::report;
int Word07Oracle::decryptStatus = -1;

// One test, so that LibreOffice starts once for all documents (ctest runs
// each test in a process of its own).
TEST_F(Word07Oracle, LibreOfficeOpensEveryDocument)
{
    SCOPED_TRACE("every document opens with its pages and words");
    for (const std::string& name : kDocuments) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Opened(name + ".pdf")) << report;
        // Text turned by 90 degrees becomes a text path, which is drawn, not text.
        const std::set<std::string> drawn = name == "shapes" ? std::set<std::string>{"turned", "words"}
                                                             : std::set<std::string>{};
        ExpectSameWords(dir->str() + "pdf/" + name + ".pdf", dir->str() + "lo/" + name + ".pdf", drawn);
    }

    PagesKeepTheirSizesAndPictures();
    ProtectedDocumentOpensWithItsPasswordOnly();
}

void Word07Oracle::PagesKeepTheirSizesAndPictures()
{
    SCOPED_TRACE("pages keep their sizes and pictures");
    // Each page has the size of its source page, in whole points.
    const std::vector<std::pair<double, double>> sizes = {{595, 841}, {792, 612}, {419, 595}, {14400, 14400}};
    const std::vector<std::pair<std::string, int>> pages = {
        {"mixed", 1}, {"mixed", 2}, {"mixed", 3}, {"huge", 1}};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string page = std::to_string(pages[i].second);
        const std::string info = Shell("pdfinfo -f " + page + " -l " + page + " " +
                                     Quote(dir->str() + "lo/" + pages[i].first + ".pdf"));
        const std::size_t at = info.find("size:");
        ASSERT_NE(at, std::string::npos) << info;
        double w = 0, h = 0;
        ASSERT_EQ(std::sscanf(info.c_str() + at, "size: %lf x %lf", &w, &h), 2) << info;
        EXPECT_NEAR(w, sizes[i].first, 1.0) << pages[i].first << " " << page;
        EXPECT_NEAR(h, sizes[i].second, 1.0) << pages[i].first << " " << page;
    }
    const std::string images = Shell("pdfimages -list " + Quote(dir->str() + "lo/picture.pdf"));
    EXPECT_NE(images.find("\n   1 "), std::string::npos) << images;
}

void Word07Oracle::ProtectedDocumentOpensWithItsPasswordOnly()
{
    SCOPED_TRACE("a protected document opens with its password only");
    EXPECT_TRUE(Opened("protected.pdf")) << report;
    ExpectSameWords(dir->str() + "pdf/text.pdf", dir->str() + "lo/protected.pdf");
    EXPECT_FALSE(Opened("nopassword.pdf")) << report;
    EXPECT_FALSE(Opened("wrongpassword.pdf")) << report;
    EXPECT_FALSE(std::filesystem::exists(dir->str() + "lo/nopassword.pdf"));

    // msoffcrypto-tool decrypts it, and the decrypted package opens too.
    ASSERT_EQ(decryptStatus, 0);
    EXPECT_TRUE(Opened("decrypted.pdf")) << report;
    ExpectSameWords(dir->str() + "pdf/text.pdf", dir->str() + "lo/decrypted.pdf");
}

} // namespace
