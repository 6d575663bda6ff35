#include "engine/layout/fileutil.h"

#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <functional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool HasWildcard(const std::string& s)
{
    return s.find_first_of("*?") != std::string::npos;
}

// Glob match of "*" and "?" on code points; every other character is literal.
bool WildMatch(const std::wstring& pat, const std::wstring& name)
{
    if (pat == L"*.*")   // the classic "every file" pattern
        return true;
    std::size_t p = 0, n = 0, starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == L'?' || pat[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pat.size() && pat[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == L'*')
        ++p;
    return p == pat.size();
}

void SplitPattern(const std::string& pattern, std::string& folder, std::string& last)
{
    const std::size_t slash = pattern.rfind('/');
    if (slash == std::string::npos) {
        folder.clear();
        last = pattern;
    } else {
        folder = pattern.substr(0, slash + 1);
        last = pattern.substr(slash + 1);
    }
}

void ReportNotFound()
{
    std::fputs("file not found\n", stderr);
}

std::atomic<unsigned> g_tempCounter{0};

bool CopyOne(const std::string& source, const std::string& dest, bool move)
{
    if (move && std::rename(source.c_str(), dest.c_str()) == 0)
        return true;

    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        return false;
    }
    const bool ok = WriteThroughTemporary(dest, [in](int out) {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(in, buf, sizeof buf);
            if (n == 0)
                return true;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || !WriteAll(out, buf, static_cast<std::size_t>(n)))
                return false;
        }
    });
    ::close(in);
    if (ok && move)
        ::unlink(source.c_str());
    return ok;
}

bool CopyMatches(const std::string& pattern, const std::string& destDir, bool move)
{
    bool matched = false;
    const std::vector<PatternMatch> matches = FindPatternMatches(pattern, matched);
    if (!matched) {
        ReportNotFound();
        return false;
    }
    std::string folder, last;
    SplitPattern(pattern, folder, last);
    for (const PatternMatch& m : matches) {
        const std::string src = folder + m.name;
        struct stat st;
        const bool isDir = m.isDir || (m.isLink && stat(src.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
        if (isDir) {
            if (m.isLink)
                continue;   // a linked folder could lead back into itself
            const std::string sub = destDir + m.name + "/";
            if (::mkdir(sub.c_str(), 0777) != 0 && errno != EEXIST)
                return false;
            if (!CopyMatches(src + "/*", sub, move))
                return false;
        } else if (!CopyOne(src, destDir + m.name, move)) {
            return false;
        }
    }
    return true;
}

bool DeleteMatches(const std::string& pattern)
{
    bool matched = false;
    const std::vector<PatternMatch> matches = FindPatternMatches(pattern, matched);
    if (!matched) {
        ReportNotFound();
        return false;
    }
    std::string folder, last;
    SplitPattern(pattern, folder, last);
    for (const PatternMatch& m : matches) {
        const std::string path = folder + m.name;
        if (m.isDir)
            DeleteMatches(path + "/*");
        else
            ::unlink(path.c_str());   // files and links alike; a link is never followed
    }
    if (::rmdir(pattern.c_str()) == 0)
        return true;
    return !folder.empty() && ::rmdir(folder.c_str()) == 0;
}

} // namespace

std::string TemporaryNameBeside(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(g_tempCounter++);
}

bool CopyFile(const std::string& source, const std::string& dest, bool move)
{
    return CopyOne(source, dest, move);
}

bool CopyFile(const std::wstring& source, const std::wstring& dest, bool move)
{
    return CopyOne(utf8::FromWide(source), utf8::FromWide(dest), move);
}

bool LinkOrCopyFile(const std::wstring& source, const std::wstring& dest)
{
    const std::string from = utf8::FromWide(source);
    const std::string to = utf8::FromWide(dest);
    if (::link(from.c_str(), to.c_str()) == 0)
        return true;
    return CopyOne(from, to, false);
}

bool CopyFiles(const std::string& pattern, const std::string& destDir, bool move)
{
    return CopyMatches(pattern, destDir, move);
}

bool CopyFiles(const std::wstring& pattern, const std::wstring& destDir, bool move)
{
    return CopyMatches(utf8::FromWide(pattern), utf8::FromWide(destDir), move);
}

bool DeleteFiles(const std::string& pattern)
{
    return DeleteMatches(pattern);
}

bool DeleteFiles(const std::wstring& pattern, bool backslash)
{
    std::string p = utf8::FromWide(pattern);
    if (backslash)
        std::replace(p.begin(), p.end(), '\\', '/');
    return DeleteMatches(p);
}

bool DeleteFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool DeleteFile(const std::wstring& path)
{
    return DeleteFile(utf8::FromWide(path));
}

std::vector<PatternMatch> FindPatternMatches(const std::string& pattern, bool& found)
{
    std::vector<PatternMatch> out;
    found = false;
    std::string folder, last;
    SplitPattern(pattern, folder, last);
    if (last.empty())
        return out;

    auto classify = [](const std::string& path, PatternMatch& m) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return false;
        m.isLink = S_ISLNK(st.st_mode);
        m.isDir = S_ISDIR(st.st_mode);
        return true;
    };

    if (!HasWildcard(last)) {
        PatternMatch m;
        m.name = last;
        if (last != "." && last != ".." && classify(pattern, m)) {
            found = true;
            out.push_back(m);
        }
        return out;
    }

    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return out;
    const std::wstring wpat = utf8::ToWide(last);
    found = WildMatch(wpat, L".") || WildMatch(wpat, L"..");
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (!WildMatch(wpat, utf8::ToWide(name)))
            continue;
        PatternMatch m;
        m.name = name;
        if (!classify(folder + name, m))
            continue;
        found = true;
        out.push_back(m);
    }
    closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const PatternMatch& a, const PatternMatch& b) { return a.name < b.name; });
    return out;
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool PathExists(const std::wstring& path)
{
    return PathExists(utf8::FromWide(path));
}

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteThroughTemporary(const std::string& path, const std::function<bool(int fd)>& fill,
                           unsigned mode)
{
    if (path.empty() || path.back() == '/')
        return false;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = TemporaryNameBeside(path);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    static_cast<mode_t>(mode));
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = false;
    try {
        ok = fill(fd);
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool WriteFileReplacing(const std::string& path, const void* data, std::size_t size,
                        unsigned mode)
{
    return WriteThroughTemporary(path, [&](int fd) { return WriteAll(fd, data, size); }, mode);
}

bool WriteFileReplacing(const std::wstring& path, const void* data, std::size_t size)
{
    return WriteFileReplacing(utf8::FromWide(path), data, size);
}

bool ReadWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool ReadWholeFile(const std::wstring& path, std::string& out)
{
    return ReadWholeFile(utf8::FromWide(path), out);
}

bool CreateExclusive(const std::wstring& path, bool& taken)
{
    const int fd = ::open(utf8::FromWide(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          0666);
    taken = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::wstring ClaimOutputFile(const std::wstring& stem, const std::wstring& ext)
{
    for (;;) {
        const std::wstring path = FreeOutputPath(stem, ext);
        bool taken = false;
        if (CreateExclusive(path, taken))
            return path;
        if (!taken)
            return std::wstring();
    }
}

std::wstring ClaimOutputFolder(const std::wstring& stem)
{
    for (;;) {
        const std::wstring path = FreeOutputPath(stem, L"");
        if (::mkdir(utf8::FromWide(path).c_str(), 0777) == 0)
            return path;
        if (errno != EEXIST)
            return std::wstring();
    }
}

std::wstring FreeOutputPath(const std::wstring& stem, const std::wstring& ext)
{
    std::wstring path = stem + ext;
    for (int n = 1; PathExists(path); ++n)
        path = stem + L"(" + int2wstr(n) + L")" + ext;
    return path;
}
