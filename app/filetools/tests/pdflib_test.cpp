// Our additions to PoDoFo: loading with passwords over every revision of the
// standard security handler, the encryption check, writing without the
// source's encryption, and the locale-proof matrix of DrawXObjectMatrix.
#include "app/filetools/pdflib.h"
#include "engine/layout/utf8.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <clocale>
#include <cstdlib>
#include <locale>

using namespace PoDoFo;

namespace {

std::wstring W(const std::string& s)
{
    return utf8::ToWide(s);
}

// The decoded content stream of the first page.
std::string FirstPageContent(PdfMemDocument& doc)
{
    PdfObject* contents = doc.GetPage(0)->GetContents();
    if (!contents || !contents->HasStream())
        return {};
    char* buf = nullptr;
    pdf_long len = 0;
    contents->GetStream()->GetFilteredCopy(&buf, &len);
    std::string s(buf, static_cast<std::size_t>(len));
    podofo_free(buf);
    return s;
}

// Switches the C and C++ number formats to German (decimal comma) from a
// locale built into `dir`, and back.
bool UseGermanNumbers(const std::filesystem::path& dir)
{
#if defined(__SANITIZE_ADDRESS__)
    // glibc keeps the LOCPATH search list for the life of the process.
    __lsan::ScopedDisabler keptByGlibc;
#endif
    setenv("LOCPATH", dir.c_str(), 1);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        return false;
    std::locale::global(std::locale("de_DE.UTF-8"));
    return true;
}

void UseCNumbers()
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler keptByGlibc;
#endif
    std::setlocale(LC_NUMERIC, "C");
    std::locale::global(std::locale::classic());
    unsetenv("LOCPATH");
}

class PdfLib : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(filetools::SetUpPdfLibrary()); }
};

// Revisions 2 (RC4 40), 3 (RC4 128), 4 (AES-128), 5 and 6 (AES-256): the
// user and the owner password open the file and decrypt its pages; a wrong or
// missing password raises the invalid-password error.
TEST_F(PdfLib, OpensEveryRevisionWithUserOrOwnerPassword)
{
    for (const char* rev : {"r2", "r3", "r4", "r5", "r6"}) {
        const std::string file = fixtures::Path(std::string("enc_") + rev + ".pdf");
        struct Try {
            const char* password;
            bool opens;
        };
        for (const Try& t : {Try{"user", true}, Try{"owner", true}, Try{"wrong", false},
                             Try{"", false}, Try{nullptr, false}}) {
            SCOPED_TRACE(std::string(rev) + " " + (t.password ? t.password : "(null)"));
            PdfMemDocument doc;
            if (t.opens) {
                EXPECT_FALSE(filetools::LoadWithPassword(doc, W(file), false, t.password));
                ASSERT_EQ(doc.GetPageCount(), 3);
                EXPECT_NE(FirstPageContent(doc).find("(Page 1) Tj"), std::string::npos);
            } else {
                try {
                    filetools::LoadWithPassword(doc, W(file), false, t.password);
                    ADD_FAILURE() << "opened without the right password";
                } catch (const PdfError& e) {
                    EXPECT_EQ(e.GetError(), ePdfError_InvalidPassword);
                }
            }
        }
    }
}

TEST_F(PdfLib, CheckOnlyTellsPlainFromEncrypted)
{
    PdfMemDocument doc;
    EXPECT_FALSE(filetools::LoadWithPassword(doc, W(fixtures::Path("classic.pdf")), true, nullptr));
    for (const char* rev : {"r2", "r3", "r4", "r5", "r6"})
        EXPECT_TRUE(filetools::LoadWithPassword(
            doc, W(fixtures::Path(std::string("enc_") + rev + ".pdf")), true, nullptr))
            << rev;

    // An /Encrypt entry that is the null object does not encrypt.
    testutil::TempDir tmp;
    std::string data = testutil::ReadFile(fixtures::Path("classic.pdf"));
    const std::size_t root = data.rfind("/Root 1 0 R");
    data.replace(root, 11, "/Root 1 0 R /Encrypt null");
    testutil::WriteFile(tmp.path() / "null.pdf", data);
    EXPECT_FALSE(filetools::CheckEncrypted(W((tmp.path() / "null.pdf").string())));

    // Not a PDF: false. A truncated PDF or an empty path: the library's error.
    testutil::WriteFile(tmp.path() / "text.pdf", std::string(200, 'x'));
    EXPECT_FALSE(filetools::CheckEncrypted(W((tmp.path() / "text.pdf").string())));
    const std::string enc = testutil::ReadFile(fixtures::Path("enc_r4.pdf"));
    testutil::WriteFile(tmp.path() / "cut.pdf", enc.substr(0, enc.size() / 2));
    EXPECT_THROW(filetools::CheckEncrypted(W((tmp.path() / "cut.pdf").string())), PdfError);
    EXPECT_THROW(filetools::CheckEncrypted(L""), PdfError);
}

// A document loaded from an encrypted file is written without encryption when
// no encryption is given, and with exactly the one given otherwise.
TEST_F(PdfLib, WritesWithTheEncryptionGiven)
{
    testutil::TempDir tmp;
    PdfMemDocument doc;
    filetools::LoadWithPassword(doc, W(fixtures::Path("enc_r3.pdf")), false, "user");
    const std::string plain = (tmp.path() / "plain.pdf").string();
    filetools::WriteDocument(doc, W(plain), nullptr);
    int status = -1;
    const std::string shown = testutil::Run("qpdf --show-encryption " + testutil::Quote(plain), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(shown.find("File is not encrypted"), std::string::npos) << shown;
    EXPECT_EQ(testutil::ReadFile(plain).find("/Encrypt"), std::string::npos);
    EXPECT_EQ(fixtures::QpdfPages(plain), 3);

    std::unique_ptr<PdfEncrypt> rc4(PdfEncrypt::CreatePdfEncrypt(
        "open", "perm", PdfEncrypt::ePdfPermissions_Print, PdfEncrypt::ePdfEncryptAlgorithm_RC4V1,
        PdfEncrypt::ePdfKeyLength_40));
    const std::string locked = (tmp.path() / "locked.pdf").string();
    filetools::WriteDocument(doc, W(locked), rc4.get());
    EXPECT_EQ(fixtures::QpdfPages(locked), -1);
    EXPECT_EQ(fixtures::QpdfPages(locked, "open"), 3);

    // A folder that cannot hold the file: the library's error, nothing left.
    EXPECT_THROW(filetools::WriteDocument(doc, W((tmp.path() / "no/such/x.pdf").string()), nullptr),
                 PdfError);
}

// The matrix is written with 15 decimals and a "." whatever the locale; the
// test runs under a German LC_NUMERIC (decimal comma) built for it.
TEST_F(PdfLib, DrawXObjectMatrixIgnoresTheLocale)
{
    testutil::TempDir locales;
    int status = -1;
    testutil::Run("localedef -i de_DE -f UTF-8 " + testutil::Quote((locales.path() / "de_DE.UTF-8").string()) +
                      " 2>&1",
                  &status);
    ASSERT_TRUE(status == 0 || status == 1) << "localedef failed";
    ASSERT_TRUE(UseGermanNumbers(locales.path()));
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");

    PdfMemDocument doc;
    PdfPage* page = doc.CreatePage(PdfRect(0, 0, 200, 200));
    PdfXObject form(PdfRect(0, 0, 10, 10), &doc);
    filetools::MatrixPainter painter;
    painter.SetPage(page);
    painter.DrawXObjectMatrix(&form, 1, 0, 0, 1, 0, 0);
    painter.DrawXObjectMatrix(&form, 0.5, -1.25, 2.0 / 3.0, 1e-16, -12.5, 1234567.125);
    painter.FinishPage();

    UseCNumbers();

    char* buf = nullptr;
    pdf_long len = 0;
    page->GetContents()->GetStream()->GetFilteredCopy(&buf, &len);
    const std::string ops(buf, static_cast<std::size_t>(len));
    podofo_free(buf);
    const std::string name = form.GetIdentifier().GetName();
    EXPECT_NE(ops.find("q\n1.000000000000000 0.000000000000000 0.000000000000000 "
                       "1.000000000000000 0.000000000000000 0.000000000000000 cm\n/" +
                       name + " Do\nQ\n"),
              std::string::npos)
        << ops;
    EXPECT_NE(ops.find("0.500000000000000 -1.250000000000000 0.666666666666667 "
                       "0.000000000000000 -12.500000000000000 1234567.125000000000000 cm"),
              std::string::npos)
        << ops;
    EXPECT_TRUE(page->GetResources()->GetIndirectKey("XObject")->GetDictionary().HasKey(name));

    filetools::MatrixPainter unbound;
    EXPECT_THROW(unbound.DrawXObjectMatrix(&form, 1, 0, 0, 1, 0, 0), PdfError);
}

} // namespace
