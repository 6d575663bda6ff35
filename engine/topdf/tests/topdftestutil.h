// Helpers of the to-PDF tests: sending content events, checking written
// files with qpdf and poppler, and the picture fixtures.
#pragma once

#include "engine/layout/utf8.h"
#include "engine/topdf/typesetter.h"
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace topdftest {

using testutil::Quote;
// Runs a shell command (testutil::Run under a name that test fixtures do
// not hide).
inline std::string Shell(const std::string& cmd, int* status = nullptr)
{
    return testutil::Run(cmd, status);
}

// Sends content events to a document.
struct Events {
    explicit Events(OPdfDocument& d) : doc(d) {}

    OPdfDocument& doc;
    RunStyle style;

    void text(const std::string& utf8) { doc.handleEvent(utf8.c_str(), 0, CE_TEXT_UTF8, reinterpret_cast<std::uintptr_t>(&style)); }
    void text16(const std::u16string& text) { doc.handleEvent(text.c_str(), 0, CE_TEXT_UTF16, reinterpret_cast<std::uintptr_t>(&style)); }
    void paragraph(const std::string& utf8)
    {
        text(utf8);
        lineEnd();
    }
    void lineEnd() { doc.handleEvent(nullptr, 0, CE_LINE_END, 0); }
    void event(unsigned code, int len = 0, std::uintptr_t arg = 0) { doc.handleEvent(nullptr, len, code, arg); }
    void table(int op, int value) { doc.handleEvent(nullptr, op, CE_TABLE, static_cast<std::uintptr_t>(value)); }
    void nextCell() { doc.handleEvent(nullptr, 0, CE_NEXT_CELL, reinterpret_cast<std::uintptr_t>(&style)); }
    void picture(const std::string& bytes) { doc.handleEvent(bytes.data(), static_cast<int>(bytes.size()), CE_PICTURE, 0); }
};

// qpdf's verdict on a file: empty when it passes --check without warnings.
inline std::string QpdfProblems(const std::string& pdf)
{
    int status = -1;
    const std::string out = Shell("qpdf --check " + Quote(pdf) + " 2>&1", &status);
    if (status == 0 && out.find("No syntax or stream encoding errors") != std::string::npos)
        return std::string();
    return out.empty() ? std::string("qpdf failed") : out;
}

inline int PageCount(const std::string& pdf)
{
    const std::string info = Shell("pdfinfo " + Quote(pdf) + " 2>/dev/null");
    std::smatch m;
    if (std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")))
        return std::stoi(m[1]);
    return -1;
}

inline std::string PdfText(const std::string& pdf, const std::string& options = std::string())
{
    return Shell("pdftotext " + options + " " + Quote(pdf) + " - 2>/dev/null");
}

// The decoded content of page `page` (from 1) as qpdf reads it.
inline std::string PageContent(const std::string& pdf, int page)
{
    return Shell("qpdf --show-pages " + Quote(pdf) + " 2>/dev/null | awk '/^page " + std::to_string(page) +
               ":/{p=1;c=0;next} /^page /{p=0} p && /content:/{c=1;next} p && c && /[0-9]+ 0 R/{print $1}' | "
               "while read o; do qpdf --show-object=$o --filtered-stream-data " + Quote(pdf) +
               "; echo; done");
}

// Every cross-reference offset points at the first digit of "N 0 obj" of
// its object, and startxref at "xref". Empty when that holds.
inline std::string XrefProblems(const std::string& file)
{
    const std::size_t start = file.rfind("startxref\r\n");
    if (start == std::string::npos)
        return "no startxref";
    const std::size_t xref = std::stoull(file.substr(start + 11));
    if (file.compare(xref, 4, "xref") != 0)
        return "startxref does not point at xref";
    std::size_t pos = file.find("\r\n", xref) + 2;
    const std::size_t count = std::stoull(file.substr(pos + 2));
    pos = file.find("\r\n", pos) + 2 + 20;   // after the free entry
    for (std::size_t n = 1; n < count; ++n, pos += 20) {
        const std::size_t offset = std::stoull(file.substr(pos, 10));
        const std::string head = std::to_string(n) + " 0 obj\r\n";
        if (file.compare(offset, head.size(), head) != 0)
            return "object " + std::to_string(n) + " is not at " + std::to_string(offset);
    }
    return std::string();
}

// Writes the picture fixtures into `dir`; their file names.
inline std::vector<std::string> MakePictureFixtures(const std::string& dir)
{
    int status = -1;
    const std::string list = Shell("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/engine/topdf/tests/imagefixtures.py " +
                                     Quote(dir) + " 2>&1",
                                 &status);
    std::vector<std::string> names;
    if (status != 0) {
        ADD_FAILURE() << list;
        return names;
    }
    std::size_t start = 0;
    while (start < list.size()) {
        const std::size_t end = list.find('\n', start);
        names.push_back(list.substr(start, end - start));
        start = end == std::string::npos ? list.size() : end + 1;
    }
    return names;
}

} // namespace topdftest
