#include "engine/topdf/topdfroute.h"

#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"
#include "engine/topdf/topdf.h"
#include "engine/topdf/typesetter.h"
#include "wordlib/iscrivlet.h"

#include <sys/stat.h>
#include <stdlib.h>

#include <filesystem>
#include <system_error>

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

// The file's extension in lower case, with its dot (".docx").
std::wstring LowerExtension(const std::wstring& path)
{
    const std::wstring name = BaseName(path);
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0)
        return std::wstring();
    std::wstring ext = name.substr(dot);
    for (wchar_t& c : ext)
        c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    return ext;
}

std::wstring Stem(const std::wstring& path)
{
    const std::wstring name = BaseName(path);
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

bool IsRegularFile(const std::wstring& path)
{
    struct stat st;
    return ::stat(utf8::FromWide(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A document made into a PDF by `make` (output path to the size written);
// the claimed name is given back when nothing was written.
template <class Make>
std::wstring DocumentToPdf(const std::wstring& source, const std::wstring& destDir, Make&& make)
{
    const std::wstring output = ClaimOutputFile(WithoutTrailingSlash(destDir) + L"/" + Stem(source), L".pdf");
    if (output.empty())
        return std::wstring();
    if (make(output) == 0) {
        DeleteFile(output);
        return std::wstring();
    }
    return output;
}

// A Word, Excel or PowerPoint 2007 package, unpacked into a folder of its
// own below the scratch folder, which is removed afterwards.
std::wstring PackageToPdf(const std::wstring& source, const std::wstring& destDir, const std::wstring& tmpDir,
                          int kind)
{
    std::string work = utf8::FromWide(WithoutTrailingSlash(tmpDir)) + "/package-XXXXXX";
    if (!::mkdtemp(work.data()))
        return std::wstring();
    std::string package = utf8::FromWide(source);
    const std::wstring result = DocumentToPdf(source, destDir, [&](const std::wstring& output) {
        return office07topdf(package.data(), output.c_str(), work.data(), kind);
    });
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return result;
}

// Receives the pictures of a 97-2003 reader and writes each into a file.
struct PictureFiles {
    std::wstring stem;   // folder and name before "-<n>"
    std::vector<std::wstring> written;
};

void SavePicture(void* user, const void* data, int len, unsigned code, std::uintptr_t arg)
{
    auto* files = static_cast<PictureFiles*>(user);
    if (code != CE_PICTURE || !data || len <= 0)
        return;
    const wchar_t* ext = arg == 2 ? L".png" : (arg == 3 ? L".bmp" : L".jpg");
    const std::wstring path = ClaimOutputFile(files->stem + L"-" + std::to_wstring(files->written.size() + 1), ext);
    if (path.empty())
        return;
    if (!WriteFileReplacing(path, data, static_cast<std::size_t>(len))) {
        DeleteFile(path);
        return;
    }
    files->written.push_back(path);
}

} // namespace

std::vector<std::wstring> SaveStoredPictures(bool workbook, const std::wstring& source, const std::wstring& destDir)
{
    PictureFiles files;
    files.stem = WithoutTrailingSlash(destDir) + L"/" + Stem(source);
    if (workbook)
        IScrivlet::readexcel03(source.c_str(), nullptr, SavePicture, &files);
    else
        IScrivlet::readppt03(source.c_str(), nullptr, SavePicture, &files);
    return files.written;
}

std::wstring CreatePdfFromSource(const std::wstring& source, const std::wstring& destDir,
                                 const std::wstring& tmpDir)
{
    if (IsFolder(source))
        return PicturesToPdf(source, destDir);
    if (!IsRegularFile(source))
        return std::wstring();
    const std::wstring ext = LowerExtension(source);
    if (ext == L".docx")
        return PackageToPdf(source, destDir, tmpDir, KIND_TEXT);
    if (ext == L".xlsx")
        return PackageToPdf(source, destDir, tmpDir, KIND_WORKBOOK);
    if (ext == L".pptx")
        return PackageToPdf(source, destDir, tmpDir, KIND_PRESENTATION);
    // The engine makes no PDF of these: their pictures are its result, the
    // first picture's path standing for them.
    if (ext == L".xls" || ext == L".ppt") {
        const std::vector<std::wstring> pictures = SaveStoredPictures(ext == L".xls", source, destDir);
        return pictures.empty() ? std::wstring() : pictures.front();
    }
    if (ext == L".doc") {
        return DocumentToPdf(source, destDir, [&](const std::wstring& output) {
            return word03topdf(source.c_str(), output.c_str(), nullptr);
        });
    }
    return std::wstring();
}
