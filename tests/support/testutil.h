// Helpers shared by the test programs: scratch folders, file contents,
// running command-line tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace testutil {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its content
// when the object goes away.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "trancel-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    // The folder as a UTF-8 string ending with "/".
    std::string str() const { return path_.string() + "/"; }

private:
    fs::path path_;
};

inline void WriteFile(const fs::path& p, const std::string& content)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
}

inline std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// `n` bytes from a fixed pseudo-random sequence of `seed`.
inline std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

// Runs a shell command; returns its standard output, sets `status` to the
// exit code.
inline std::string Run(const std::string& cmd, int* status = nullptr)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = pclose(p);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

// Quotes a string for the shell.
inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Pixel size of a JPEG file from its frame header; false when none is found.
inline bool JpegSize(const fs::path& p, int& width, int& height)
{
    const std::string d = ReadFile(p);
    std::size_t i = 2;
    if (d.size() < 4 || static_cast<unsigned char>(d[0]) != 0xFF ||
        static_cast<unsigned char>(d[1]) != 0xD8)
        return false;
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(d[k]); };
    while (i + 9 < d.size()) {
        if (byte(i) != 0xFF) {
            ++i;
            continue;
        }
        const unsigned char marker = byte(i + 1);
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        const std::size_t len = (byte(i + 2) << 8) | byte(i + 3);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            height = (byte(i + 5) << 8) | byte(i + 6);
            width = (byte(i + 7) << 8) | byte(i + 8);
            return true;
        }
        i += 2 + len;
    }
    return false;
}

// The folder of real-world PDFs (TRANCEL_CORPUS_DIR); empty when it is
// missing, which a test reports as a skip, or as a failure when CI=true.
inline fs::path CorpusDir()
{
    const fs::path corpus = TRANCEL_CORPUS_DIR;
    if (fs::is_directory(corpus))
        return corpus;
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true")
        ADD_FAILURE() << "no corpus at " << corpus;
    return fs::path();
}

// How many of pdftotext's words a conversion's output kept (see
// tests/support/wordcoverage.py); false when the count could not be made.
// `missing` lists the words not found.
inline bool WordCoverage(const fs::path& pdf, const fs::path& output, int& found, int& total,
                         std::string& missing)
{
    int status = -1;
    const std::string out = Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/tests/support/wordcoverage.py " +
                                    Quote(pdf.string()) + " " + Quote(output.string()),
                                &status);
    std::istringstream in(out);
    if (status != 0 || !(in >> found >> total))
        return false;
    std::getline(in, missing);
    std::getline(in, missing);
    return true;
}

// Makes the named PDF fixtures (see tests/support/pdfgen.py) in `dir`.
inline bool MakePdfFixtures(const fs::path& dir, const std::string& kinds)
{
    int status = -1;
    Run("/usr/bin/python3 " TRANCEL_SOURCE_DIR "/tests/support/pdfgen.py " +
            Quote(dir.string()) + " " + kinds,
        &status);
    return status == 0;
}

} // namespace testutil
