// Helpers shared by the parser tests: fixture paths, running the command-line
// oracles, reading JPEG files and collecting a page's objects.
#pragma once

#include "parser/parser.h"
#include "parser/src/utf8.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace ptest {

inline std::string Fixture(const std::string& name)
{
    return std::string(PARSER_FIXTURE_DIR) + "/" + name;
}

// A UTF-8 path as the parser's wide interface takes it.
inline std::wstring Wide(const std::string& s) { return parser_detail::FromUtf8(s); }

inline std::wstring WFixture(const std::string& name) { return Wide(Fixture(name)); }

// The folder of real-world PDFs (TRANCEL_CORPUS_DIR).
inline std::string Corpus() { return TRANCEL_CORPUS_DIR; }

// True when the corpus is missing: a test then skips its corpus part, or
// fails when the environment sets CI=true.
inline bool CorpusMissing()
{
    if (std::filesystem::is_directory(Corpus()))
        return false;
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true")
        ADD_FAILURE() << "no corpus at " << Corpus();
    return true;
}

// Output of a shell command (stdout only); exit status into *status.
std::string Shell(const std::string& cmd, int* status = nullptr);

// Quotes a string for the shell.
std::string Q(const std::string& s);

// A fresh, empty folder for one test.
std::filesystem::path Scratch(const std::string& name);

struct Jpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<unsigned char> pixels; // rows of width * components
    bool ok = false;
};
Jpeg ReadJpeg(const std::string& path);

// A grey picture from a PGM file (as pdftoppm -gray writes).
Jpeg ReadPgm(const std::string& path);

// Value of attribute `name` in an XML start tag ("" when absent).
std::string Attr(const std::string& tag, const std::string& name);

// A word as pdftotext -bbox-layout reports it, in page points with y upward.
struct OracleWord {
    std::string text;
    double x0, y0, x1, y1;
};
// Words of page `page` (from 1); `cropbox` passes -cropbox to pdftotext.
// `pageHeight` > 0 replaces the height that pdftotext states for its page
// (it states the unrotated height for a rotated page, while its words are
// placed on the page as displayed).
std::vector<OracleWord> PdftotextWords(const std::string& pdf, int page, bool cropbox = false,
                                       double pageHeight = 0);

struct PageObjects {
    std::vector<CollectBase*> all;
    std::vector<TextCollect*> text;
    std::vector<GraphicsCollect*> graphics;
    std::vector<ImageCollect*> images;
    std::vector<LinkCollect*> links;
};
// Selects the page and collects its objects (they stay valid until the next
// page is selected).
PageObjects Walk(Parser& p, int page);

// The lower-left corner and upper-right corner of a word's box (the
// rotation applied).
void WordBox(const TextCollect& t, double& x0, double& y0, double& x1, double& y1);

} // namespace ptest
