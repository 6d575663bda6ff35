#include "app/filetools/mergesources.h"

#include "app/filetools/pdflib.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"

#include <cwctype>

using namespace PoDoFo;

namespace filetools {

namespace {

bool EndsWithNoCase(const std::wstring& s, const wchar_t* suffix)
{
    const std::wstring end(suffix);
    if (s.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::towlower(static_cast<wint_t>(s[s.size() - end.size() + i])) !=
            static_cast<wint_t>(end[i]))
            return false;
    return true;
}

// A skipped source is named in the library's log (standard error).
void Report(const std::wstring& path, const char* what)
{
    PdfError::LogMessage(eLogSeverity_Warning, "Source skipped: %s: %s\n",
                         utf8::FromWide(path).c_str(), what);
}

} // namespace

SourceType ClassifySource(const std::wstring& path)
{
    if (EndsWithNoCase(path, L".pdf"))
        return SOURCE_PDF;
    for (const wchar_t* ext : {L".jpg", L".jpeg", L".png", L".tif", L".tiff", L".bmp"})
        if (EndsWithNoCase(path, ext))
            return SOURCE_IMAGE;
    return SOURCE_NONE;
}

MergeSourceCache::MergeSourceCache(PdfMemDocument& output) : output_(output) {}

MergeSourceCache::~MergeSourceCache() = default;

const MergeSourceCache::Source& MergeSourceCache::Get(const std::wstring& path,
                                                      const char* password)
{
    Entry& entry = entries_[path];
    if (!entry.opened) {
        entry.opened = true;
        entry.source.type = ClassifySource(path);
        if (entry.source.type == SOURCE_PDF)
            OpenPdf(path, entry, password);
        else if (entry.source.type == SOURCE_IMAGE)
            OpenImage(path, entry);
    }
    return entry.source;
}

void MergeSourceCache::OpenPdf(const std::wstring& path, Entry& entry, const char* password)
{
    auto document = std::make_unique<PdfMemDocument>();
    try {
        LoadWithPassword(*document, path, false, password);
        // The renumbering that Append applies: objects and free numbers of
        // the output so far.
        const PdfVecObjects& objects = output_.GetObjects();
        const auto difference =
            static_cast<int>(objects.GetSize() + objects.GetFreeObjects().size());
        if (difference <= 0)
            return;
        output_.Append(*document, false);
        entry.source.difference = difference;
    } catch (const PdfError& e) {
        Report(path, e.GetError() == ePdfError_InvalidPassword ? "wrong or missing password"
                                                               : PdfError::ErrorName(e.GetError()));
        return;
    }
    entry.source.document = document.get();
    entry.source.loaded = true;
    entry.document = std::move(document);
}

void MergeSourceCache::OpenImage(const std::wstring& path, Entry& entry)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() < 8) {
        Report(path, "cannot read the picture");
        return;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto size = static_cast<pdf_long>(bytes.size());
    auto image = std::make_unique<PdfImage>(&output_);
    // A picture that cannot be read leaves no object behind.
    auto discard = [&] {
        delete output_.GetObjects().RemoveObject(image->GetObject()->Reference());
    };
    try {
        // The content decides the decoder, whatever the extension says.
        if (data[0] == 0xFF && data[1] == 0xD8) {
            image->LoadFromJpegData(data, size);
        } else if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
            image->LoadFromPngData(data, size);
        } else if (bytes.compare(0, 4, "II*\0", 4) == 0 || bytes.compare(0, 4, "MM\0*", 4) == 0) {
            image->LoadFromTiffData(data, size);
        } else {
            Report(path, "not a JPEG, PNG or TIFF picture");
            discard();
            return;
        }
    } catch (const PdfError& e) {
        Report(path, PdfError::ErrorName(e.GetError()));
        discard();
        return;
    }
    entry.source.image = image.get();
    entry.source.loaded = true;
    entry.image = std::move(image);
}

} // namespace filetools
