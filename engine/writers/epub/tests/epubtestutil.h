// Oracles for EPUB packages: epubcheck, the zip listing, entries read back,
// XPath queries on the package documents.
#pragma once

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace epubtest {

using testutil::Quote;
using testutil::Run;

// epubcheck's verdict: success when it exits 0 and reports no error.
inline ::testing::AssertionResult PassesEpubcheck(const std::string& epub)
{
    int status = -1;
    const std::string out =
        Run("java -XX:TieredStopAtLevel=1 -XX:+UseSerialGC -jar /usr/share/java/epubcheck.jar " + Quote(epub) + " 2>&1", &status);
    if (status == 0 && out.find("ERROR") == std::string::npos &&
        out.find("FATAL") == std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "epubcheck on " << epub << ":\n" << out;
}

// The entry names in archive order.
inline std::vector<std::string> Entries(const std::string& zip)
{
    std::vector<std::string> names;
    std::string list = Run("unzip -Z1 " + Quote(zip) + " 2>/dev/null");
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

inline std::string Entry(const std::string& zip, const std::string& name)
{
    return Run("unzip -p " + Quote(zip) + " " + Quote(name) + " 2>/dev/null");
}

// zipinfo's verbose compression method of the entry ("stored", "deflated").
inline std::string Method(const std::string& zip, const std::string& name)
{
    const std::string info = Run("zipinfo -v " + Quote(zip) + " " + Quote(name) + " 2>/dev/null");
    const std::string key = "compression method:";
    const std::size_t at = info.find(key);
    if (at == std::string::npos)
        return "";
    std::size_t s = info.find_first_not_of(' ', at + key.size());
    return info.substr(s, info.find('\n', s) - s);
}

// An XPath 1.0 value over a package document (match names with
// local-name()), read with xmllint (without the line end it adds).
inline std::string XPath(const std::string& xml, const std::string& expr)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir.path() / "doc.xml", xml);
    std::string value = Run("xmllint --nonet --xpath " + Quote(expr) + " " +
                            Quote((dir.path() / "doc.xml").string()) + " 2>/dev/null");
    if (!value.empty() && value.back() == '\n')
        value.pop_back();
    return value;
}

// A small JPEG made with Pillow.
inline bool MakeJpeg(const std::string& path, int w = 8, int h = 6)
{
    int status = -1;
    Run("/usr/bin/python3 -c " +
            Quote("import sys; from PIL import Image; Image.new('RGB', (" + std::to_string(w) + "," +
                  std::to_string(h) + "), (200, 40, 40)).save(sys.argv[1], 'JPEG')") +
            " " + Quote(path),
        &status);
    return status == 0;
}

} // namespace epubtest
