#include "app/filetools/pdflib.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"

#include <openssl/provider.h>

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <mutex>

using namespace PoDoFo;

namespace filetools {

namespace {

// The library's log goes to standard error, and only what a user may need:
// its information messages (one per object when documents are appended) are
// dropped.
class StderrLog : public PdfError::LogMessageCallback {
public:
    void LogMessage(ELogSeverity severity, const char* prefix, const char* msg,
                    va_list& args) override
    {
        if (severity > eLogSeverity_Warning)
            return;
        std::fputs(prefix ? prefix : "PoDoFo: ", stderr);
        std::vfprintf(stderr, msg, args);
    }
    void LogMessage(ELogSeverity severity, const wchar_t* prefix, const wchar_t* msg,
                    va_list& args) override
    {
        if (severity > eLogSeverity_Warning)
            return;
        // Standard error carries narrow text: the message goes out as UTF-8.
        wchar_t buf[1024];
        if (std::vswprintf(buf, sizeof buf / sizeof buf[0], msg, args) < 0)
            return;
        const std::string text = utf8::FromWide(prefix ? prefix : L"PoDoFo: ") + utf8::FromWide(buf);
        std::fputs(text.c_str(), stderr);
    }
};

// The providers stay loaded for the life of the process and are unloaded
// at its end, before OpenSSL's own clean-up.
class CryptoProviders {
public:
    CryptoProviders()
        // Loading any provider explicitly stops OpenSSL from loading the
        // default one by itself, so both are loaded here.
        : legacy_(OSSL_PROVIDER_load(nullptr, "legacy")),
          default_(OSSL_PROVIDER_load(nullptr, "default"))
    {
    }
    ~CryptoProviders()
    {
        if (default_)
            OSSL_PROVIDER_unload(default_);
        if (legacy_)
            OSSL_PROVIDER_unload(legacy_);
    }
    CryptoProviders(const CryptoProviders&) = delete;
    CryptoProviders& operator=(const CryptoProviders&) = delete;
    bool loaded() const { return legacy_ && default_; }

private:
    OSSL_PROVIDER* legacy_;
    OSSL_PROVIDER* default_;
};

} // namespace

bool SetUpPdfLibrary()
{
    static const CryptoProviders providers;
    static std::once_flag once;
    std::call_once(once, [] {
        static StderrLog log;
        PdfError::SetLogMessageCallback(&log);
        // A broken object is read as a free one (with a warning) instead of
        // failing the whole document.
        PdfParser::SetIgnoreBrokenObjects(true);
    });
    return providers.loaded();
}

bool CheckEncrypted(const std::wstring& path)
{
    if (path.empty())
        PODOFO_RAISE_ERROR(ePdfError_InvalidHandle);
    SetUpPdfLibrary();
    const std::string file = utf8::FromWide(path);
    PdfVecObjects objects;
    objects.SetAutoDelete(true);
    PdfParser parser(&objects);
    try {
        // Objects are only indexed, not read: load on demand.
        parser.ParseFile(file.c_str(), true);
        return parser.GetEncrypted();
    } catch (PdfError& e) {
        switch (e.GetError()) {
        case ePdfError_NoPdfFile:
            return false;
        // The trailer names an encryption dictionary: the password is
        // missing, or the library does not know the method.
        case ePdfError_InvalidPassword:
        case ePdfError_InvalidEncryptionDict:
        case ePdfError_UnsupportedFilter:
            return true;
        default:
            e.AddToCallstack(__FILE__, __LINE__, "Cannot tell whether the file is encrypted.");
            throw;
        }
    }
}

bool LoadWithPassword(PdfMemDocument& doc, const std::wstring& path, bool checkOnly,
                      const char* password)
{
    if (checkOnly)
        return CheckEncrypted(path);
    SetUpPdfLibrary();
    // The parser reads objects on demand; from a file every read is a seek
    // and a system call, from memory it is not.
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        PODOFO_RAISE_ERROR_INFO(ePdfError_FileNotFound, utf8::FromWide(path).c_str());
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<long>::max()))
        PODOFO_RAISE_ERROR(ePdfError_OutOfMemory);
    try {
        doc.LoadFromBuffer(bytes.data(), static_cast<long>(bytes.size()));
    } catch (PdfError& e) {
        // The empty password failed: the document waits for the real one.
        if (e.GetError() != ePdfError_InvalidPassword || !password || !*password)
            throw;
        doc.SetPassword(password);
    }
    return false;
}

void WriteDocument(PdfMemDocument& doc, const std::wstring& path, const PdfEncrypt* encryption)
{
    PdfRefCountedBuffer buffer;
    PdfOutputDevice device(&buffer);
    PdfWriter writer(&doc.GetObjects(), doc.GetTrailer());
    writer.SetPdfVersion(doc.GetPdfVersion());
    if (encryption)
        writer.SetEncrypted(*encryption);
    writer.Write(&device);
    if (!WriteFileReplacing(path, buffer.GetBuffer(), device.GetLength()))
        PODOFO_RAISE_ERROR_INFO(ePdfError_InvalidDeviceOperation,
                                ("Cannot write " + utf8::FromWide(path)).c_str());
}

std::string FixedDecimal(double value)
{
    if (!std::isfinite(value))
        value = 0.0;
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 15);
    return std::string(buf, r.ptr);
}

void MatrixPainter::DrawXObjectMatrix(PdfXObject* xobject, double a, double b, double c, double d,
                                      double e, double f)
{
    if (!xobject || !m_pCanvas)
        PODOFO_RAISE_ERROR(ePdfError_InvalidHandle);
    AddToPageResources(xobject->GetIdentifier(), xobject->GetObjectReference(),
                       PdfName("XObject"));
    m_oss.str("");
    std::string ops = "q\n";
    for (double v : {a, b, c, d, e, f})
        ops += FixedDecimal(v) + " ";
    ops += "cm\n/" + xobject->GetIdentifier().GetName() + " Do\nQ\n";
    m_pCanvas->Append(ops);
}

} // namespace filetools
