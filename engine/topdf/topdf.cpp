#include "engine/topdf/topdf.h"

#include "engine/layout/utf8.h"
#include "engine/topdf/typesetter.h"

#include <new>

void initpdf(const wchar_t* outPdf, void** handle, double widthInch, double heightInch, int marginX,
             int marginY, int kind)
{
    if (!handle)
        return;
    *handle = nullptr;
    auto* doc = new (std::nothrow) OPdfDocument;
    if (!doc)
        return;
    doc->setOutputPath(utf8::FromWide(outPdf ? outPdf : L""));
    doc->setupPage(kind, widthInch, heightInch, marginX, marginY, 20);
    *handle = doc;
}

bool jpgtopdf(const void* imageBytes, unsigned size, void* handle)
{
    if (!handle)
        return false;
    auto* doc = static_cast<OPdfDocument*>(handle);
    const bool placed = doc->placeImage(0, 0, static_cast<const std::uint8_t*>(imageBytes), size);
    doc->page().endLine();
    return placed;
}

unsigned endpdf(void* handle)
{
    if (!handle)
        return 0;
    auto* doc = static_cast<OPdfDocument*>(handle);
    const unsigned size = doc->writeFile();
    delete doc;
    return size;
}
