#include "engine/topdf/topdfroute.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"
#include "engine/topdf/topdf.h"
#include "engine/topdf/typesetter.h"

#include <sys/stat.h>

namespace {

std::wstring WithoutTrailingSlash(std::wstring path)
{
    while (path.size() > 1 && path.back() == L'/')
        path.pop_back();
    return path;
}

std::wstring BaseName(const std::wstring& path)
{
    const std::wstring trimmed = WithoutTrailingSlash(path);
    const std::size_t slash = trimmed.rfind(L'/');
    return slash == std::wstring::npos ? trimmed : trimmed.substr(slash + 1);
}

bool IsFolder(const std::wstring& path)
{
    struct stat st;
    return ::stat(utf8::FromWide(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every picture of the folder, in name order, one below the other on
// Letter pages. Files that are no pictures are passed over.
std::wstring PicturesToPdf(const std::wstring& folder, const std::wstring& destDir)
{
    bool found = false;
    const std::string dir = utf8::FromWide(WithoutTrailingSlash(folder)) + "/";
    const std::vector<PatternMatch> entries = FindPatternMatches(dir + "*", found);
    if (entries.empty())
        return std::wstring();
    const std::wstring output = ClaimOutputFile(WithoutTrailingSlash(destDir) + L"/" + BaseName(folder), L".pdf");
    if (output.empty())
        return std::wstring();
    void* handle = nullptr;
    initpdf(output.c_str(), &handle, 8.5, 11, 0, 0, KIND_PICTURES);
    int placed = 0;
    for (const PatternMatch& entry : entries) {
        std::string bytes;
        if (entry.isDir || entry.isLink || !ReadWholeFile(dir + entry.name, bytes) ||
            bytes.size() > 0xFFFFFFFFu)
            continue;
        placed += jpgtopdf(bytes.data(), static_cast<unsigned>(bytes.size()), handle) ? 1 : 0;
    }
    const unsigned size = endpdf(handle);
    // A folder without a single picture gives no document.
    if (size == 0 || placed == 0) {
        DeleteFile(output);
        return std::wstring();
    }
    return output;
}

} // namespace

std::wstring CreatePdfFromSource(const std::wstring& source, const std::wstring& destDir,
                                 const std::wstring& /*tmpDir*/)
{
    if (IsFolder(source))
        return PicturesToPdf(source, destDir);
    return std::wstring();
}
