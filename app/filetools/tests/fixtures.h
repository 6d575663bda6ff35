// The file tools' test fixtures, made by make_fixtures.py when the tests are
// built, and the shared corpus of real-world PDFs.
#pragma once

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace fixtures {

namespace fs = std::filesystem;

// The folder holding the generated fixtures (made by make_fixtures.py when
// the tests are built).
inline fs::path Dir()
{
    return FILETOOLS_FIXTURES;
}

inline std::string Path(const std::string& name)
{
    return (Dir() / name).string();
}

// Every PDF of the shared corpus. Empty (and a failure under CI=true) when
// the corpus is missing.
inline std::vector<fs::path> Corpus()
{
    std::vector<fs::path> files;
    const fs::path dir = TRANCEL_CORPUS_DIR;
    if (!fs::exists(dir)) {
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true")
            ADD_FAILURE() << "no corpus at " << dir;
        return files;
    }
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".pdf")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// qpdf's page count of a file, -1 when qpdf cannot count it.
inline int QpdfPages(const std::string& file, const std::string& password = "")
{
    int status = -1;
    const std::string pw = password.empty() ? "" : " --password=" + testutil::Quote(password);
    const std::string out =
        testutil::Run("qpdf" + pw + " --show-npages " + testutil::Quote(file) + " 2>/dev/null",
                      &status);
    if (status != 0 && status != 3)
        return -1;
    return std::atoi(out.c_str());
}

// The page count that the corpus's own index (files.json) gives a file of
// the corpus, -1 when it gives none. Damaged files that qpdf cannot count
// have their count there.
inline int CorpusIndexPages(const fs::path& file)
{
    int status = -1;
    const std::string out = testutil::Run(
        "/usr/bin/python3 -c 'import json,sys\n"
        "d=json.load(open(sys.argv[1]))\n"
        "for e in d[\"data\"]:\n"
        "    if e[\"path\"].replace(\"/\",\"_\")==sys.argv[2] and e.get(\"pages\"): print(e[\"pages\"])' " +
            testutil::Quote((file.parent_path() / "files.json").string()) + " " +
            testutil::Quote(file.filename().string()),
        &status);
    return status == 0 && !out.empty() ? std::atoi(out.c_str()) : -1;
}

} // namespace fixtures
