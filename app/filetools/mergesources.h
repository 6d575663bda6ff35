// The sources of one merge: PDF files and pictures, opened once each and kept
// by path for the whole merge. A PDF is loaded with its password and its
// objects are appended to the output document (no page enters the output's
// page tree), so that its pages can be drawn as form XObjects; a picture
// becomes an image XObject of the output document.
#pragma once

#include <podofo/podofo.h>

#include <map>
#include <memory>
#include <string>

namespace filetools {

enum SourceType : int {
    SOURCE_NONE = 0,  // skipped
    SOURCE_IMAGE = 1,
    SOURCE_PDF = 2,
};

// The type a path's extension gives, without regard to case: ".pdf" a PDF;
// ".jpg", ".jpeg", ".png", ".tif", ".tiff" and ".bmp" a picture; anything
// else none.
SourceType ClassifySource(const std::wstring& path);

class MergeSourceCache {
public:
    explicit MergeSourceCache(PoDoFo::PdfMemDocument& output);
    ~MergeSourceCache();
    MergeSourceCache(const MergeSourceCache&) = delete;
    MergeSourceCache& operator=(const MergeSourceCache&) = delete;

    // One opened source. `loaded` is false for a source that could not be
    // read (missing, damaged, wrong password, unknown type).
    struct Source {
        SourceType type = SOURCE_NONE;
        bool loaded = false;
        const PoDoFo::PdfMemDocument* document = nullptr; // a PDF
        PoDoFo::PdfImage* image = nullptr;                // a picture
        int difference = 0; // renumbering of the PDF's objects in the output
    };

    // The source at `path`, opened with `password` (null: none) on first
    // use and kept for later uses.
    const Source& Get(const std::wstring& path, const char* password);

private:
    struct Entry {
        Source source;
        bool opened = false;
        std::unique_ptr<PoDoFo::PdfMemDocument> document;
        std::unique_ptr<PoDoFo::PdfImage> image;
    };
    void OpenPdf(const std::wstring& path, Entry& entry, const char* password);
    void OpenImage(const std::wstring& path, Entry& entry);

    PoDoFo::PdfMemDocument& output_;
    std::map<std::wstring, Entry> entries_;
};

} // namespace filetools
