// Helpers of the .docx tests: XPath queries with xmllint, zip entries, and
// the PDF fixtures made with reportlab.
#pragma once

#include "tests/support/testutil.h"

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace word07test {

using testutil::Quote;
using testutil::Run;

// An XPath 1.0 value over an XML file, read with xmllint (without the line
// end it adds). Elements are matched by their qualified names, name()='w:p';
// prefixed attributes (@w:val) are rewritten to be matched so too.
inline std::string XPathFile(const std::string& file, const std::string& expr)
{
    const std::string query =
        std::regex_replace(expr, std::regex("@([A-Za-z0-9]+):([A-Za-z0-9]+)"), "@*[name()='$1:$2']");
    std::string value =
        Run("xmllint --nonet --xpath " + Quote(query) + " " + Quote(file) + " 2>/dev/null");
    if (!value.empty() && value.back() == '\n')
        value.pop_back();
    return value;
}

// `string(...)` and `count(...)` of elements named by qualified names.
inline std::string Q(const std::string& name)
{
    return "*[name()='" + name + "']";
}

// The text of the runs below the node set (their "w:t" joined in order).
inline std::string RunText(const std::string& file, const std::string& nodes)
{
    const std::string texts = "(" + nodes + "//*[name()='w:t'])";
    const int n = std::atoi(XPathFile(file, "count" + texts).c_str());
    std::string out;
    for (int i = 1; i <= n; ++i)
        out += XPathFile(file, "string(" + texts + "[" + std::to_string(i) + "])");
    return out;
}

// The entry names of a zip in archive order.
inline std::vector<std::string> ZipEntries(const std::string& zip)
{
    std::vector<std::string> names;
    const std::string list = Run("unzip -Z1 " + Quote(zip) + " 2>/dev/null");
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

inline std::string ZipEntry(const std::string& zip, const std::string& name)
{
    return Run("unzip -p " + Quote(zip) + " " + Quote(name) + " 2>/dev/null");
}

// Makes the named fixtures of docx_fixtures.py in `dir` (NAME.pdf each).
inline bool MakeDocxFixtures(const std::string& dir, const std::string& kinds)
{
    int status = -1;
    Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/engine/writers/docx/tests/docx_fixtures.py " +
            Quote(dir) + " " + kinds + " 2>&1",
        &status);
    return status == 0;
}

} // namespace word07test
