// The page-edge cutter that the desktop program runs for "Cut Edge(%)":
//
//   podofobox SOURCE OUTPUT media LEFT BOTTOM RIGHT TOP
//
// Every page's media box loses the given percentages of its width (left,
// right) and height (bottom, top); a crop box is narrowed to the new media
// box. The output is created new: an existing file is never replaced.
// Exit status: 0 written, 1 bad arguments, 2 source unreadable, 3 output
// not written.
#include "app/filetools/pdflib.h"
#include "engine/layout/fileutil.h"
#include "engine/layout/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace PoDoFo;

namespace {

bool ParsePercent(const char* text, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0 || v > 49)
        return false;
    out = static_cast<int>(v);
    return true;
}

PdfRect Intersect(const PdfRect& a, const PdfRect& b)
{
    const double left = std::max(a.GetLeft(), b.GetLeft());
    const double bottom = std::max(a.GetBottom(), b.GetBottom());
    const double right = std::min(a.GetLeft() + a.GetWidth(), b.GetLeft() + b.GetWidth());
    const double top = std::min(a.GetBottom() + a.GetHeight(), b.GetBottom() + b.GetHeight());
    return PdfRect(left, bottom, std::max(0.0, right - left), std::max(0.0, top - bottom));
}

void SetBox(PdfPage& page, const char* key, const PdfRect& rect)
{
    PdfVariant value;
    rect.ToVariant(value);
    page.GetObject()->GetDictionary().AddKey(PdfName(key), value);
}

// Writes the bytes to a file that must not exist yet.
bool WriteNew(const std::string& path, const char* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, data, size);
    if (::close(fd) != 0 || !ok) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

const char* Describe(const PdfError& e)
{
    const char* text = PdfError::ErrorMessage(e.GetError());
    return text ? text : "PDF library error";
}

} // namespace

int main(int argc, char** argv)
{
    int cut[4] = {0, 0, 0, 0}; // left, bottom, right, top
    if (argc != 8 || std::string(argv[3]) != "media" || !ParsePercent(argv[4], cut[0]) ||
        !ParsePercent(argv[5], cut[1]) || !ParsePercent(argv[6], cut[2]) || !ParsePercent(argv[7], cut[3])) {
        std::fprintf(stderr, "usage: podofobox SOURCE OUTPUT media LEFT BOTTOM RIGHT TOP (0-49 each)\n");
        return 1;
    }
    const std::string source = argv[1];
    const std::string output = argv[2];
    filetools::SetUpPdfLibrary();

    PdfMemDocument doc;
    try {
        filetools::LoadWithPassword(doc, utf8::ToWide(source), false, nullptr);
    } catch (const PdfError& e) {
        std::fprintf(stderr, "podofobox: cannot read %s: %s\n", source.c_str(),
                     Describe(e));
        return 2;
    }
    try {
        for (int i = 0; i < doc.GetPageCount(); ++i) {
            PdfPage* page = doc.GetPage(i);
            if (!page)
                continue;
            const PdfRect media = page->GetMediaBox();
            const double w = media.GetWidth();
            const double h = media.GetHeight();
            const PdfRect cutBox(media.GetLeft() + w * cut[0] / 100.0, media.GetBottom() + h * cut[1] / 100.0,
                                 w * (100 - cut[0] - cut[2]) / 100.0, h * (100 - cut[1] - cut[3]) / 100.0);
            const bool hadCrop = page->GetObject()->GetDictionary().HasKey(PdfName("CropBox"));
            const PdfRect crop = page->GetCropBox();
            SetBox(*page, "MediaBox", cutBox);
            if (hadCrop)
                SetBox(*page, "CropBox", Intersect(crop, cutBox));
        }
        PdfRefCountedBuffer buffer;
        PdfOutputDevice device(&buffer);
        doc.Write(&device);
        if (!WriteNew(output, buffer.GetBuffer(), device.GetLength())) {
            std::fprintf(stderr, "podofobox: cannot create %s (it may exist already)\n", output.c_str());
            return 3;
        }
    } catch (const PdfError& e) {
        std::fprintf(stderr, "podofobox: %s\n", Describe(e));
        return 3;
    }
    return 0;
}
