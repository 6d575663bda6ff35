// Our additions to the PDF library (PoDoFo 0.9.8, used as Debian ships it):
// set-up of the library and of OpenSSL, loading a document with a password or
// only testing whether a file is encrypted, writing a document with exactly
// the encryption we choose (none included), and drawing a form XObject with a
// full six-number matrix. Failures are the library's PdfError exceptions.
//
// AES-256 documents (revisions 5 and 6) are authenticated and decrypted by
// the library itself; nothing here adds a second scheme.
#pragma once

#include <podofo/podofo.h>

#include <string>

namespace filetools {

// Once per process, before any other call into the library: loads OpenSSL
// 3's "legacy" provider (RC4, which 40- and 128-bit RC4 documents need) and
// its "default" provider (MD5, AES, SHA-2), and routes the library's log to
// standard error, warnings and errors only, so that nothing it says reaches
// standard output. False when a provider could not be loaded; RC4 documents
// then fail to open or write.
bool SetUpPdfLibrary();

// Loads `path` into `doc`. An encrypted file is opened with the empty
// password, else with `password` (user or owner password); a wrong or missing
// password raises ePdfError_InvalidPassword. With `checkOnly` nothing is
// loaded and the result is CheckEncrypted(path); otherwise the result is
// false.
bool LoadWithPassword(PoDoFo::PdfMemDocument& doc, const std::wstring& path, bool checkOnly,
                      const char* password);

// Whether the file is encrypted (its trailer holds an /Encrypt entry that is
// not null), without needing the password. False for a file that is not a
// PDF; a damaged PDF raises the library's error. An empty path raises
// ePdfError_InvalidHandle.
bool CheckEncrypted(const std::wstring& path);

// Writes `doc` to `path` encrypted with `encryption`, or without any
// encryption when it is null, whatever encryption the document was loaded
// with. The file is written through a temporary file beside it, so a failed
// write leaves no truncated file and an existing file as it was; a failure
// raises ePdfError_InvalidDeviceOperation.
void WriteDocument(PoDoFo::PdfMemDocument& doc, const std::wstring& path,
                   const PoDoFo::PdfEncrypt* encryption);

// A painter that can draw a form XObject (or an image) under any matrix.
class MatrixPainter : public PoDoFo::PdfPainter {
public:
    // Appends "q", "a b c d e f cm", "/Name Do", "Q" to the page and adds the
    // XObject to the page's resources. The numbers are written with 15
    // decimals in the C locale's notation whatever the process locale. A null
    // XObject or a painter without a page raises ePdfError_InvalidHandle.
    void DrawXObjectMatrix(PoDoFo::PdfXObject* xobject, double a, double b, double c, double d,
                           double e, double f);
};

// A number as DrawXObjectMatrix writes it: fixed-point, 15 decimals, "."
// as the decimal point; values that are not finite are written as 0.
std::string FixedDecimal(double value);

} // namespace filetools
