#include "engine/topdf/topdf.h"

#include "engine/layout/utf8.h"
#include "engine/topdf/officexml.h"
#include "engine/topdf/topdfroute.h"
#include "engine/topdf/typesetter.h"
#include "engine/writers/zip/zippackage.h"
#include "wordlib/iscrivlet.h"

#include <new>
#include <string>
#include <vector>

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

namespace {

bool KnownKind(int kind)
{
    return kind == KIND_TEXT || kind == KIND_WORKBOOK || kind == KIND_PRESENTATION;
}

} // namespace

unsigned word03topdf(const wchar_t* src, const wchar_t* dst, const wchar_t* /*ignored*/)
{
    if (!src || !dst)
        return 0;
    struct Counted {
        OPdfDocument doc;
        std::size_t events = 0;
    } counted;
    counted.doc.setOutputPath(utf8::FromWide(dst));
    counted.doc.setupPage(KIND_TEXT, 8.5, 11, 86, 72, 20);
    IScrivlet::readword03(
        src, dst,
        [](void* user, const void* data, int len, unsigned code, std::uintptr_t arg) {
            auto* c = static_cast<Counted*>(user);
            ++c->events;
            docReaderCallback(&c->doc, data, len, code, arg);
        },
        &counted);
    // A file that gave nothing at all is no Word document: no PDF of an
    // empty page stands for it.
    if (counted.events == 0)
        return 0;
    return counted.doc.writeFile();
}

unsigned office07topdf(char* pkgPath, const wchar_t* outPdf, char* workDir, int kind)
{
    if (!pkgPath || !outPdf || !workDir || !*workDir || !KnownKind(kind))
        return 0;
    // The unzip appends a "/" to the folder in place: it works on a copy
    // with room for it.
    const std::string folder(workDir);
    std::vector<char> buffer(folder.begin(), folder.end());
    buffer.resize(folder.size() + 2, '\0');
    if (!unzipPackage(buffer.data(), pkgPath))
        return 0;
    OfficeReaderContext context(buffer.data());
    // A package without a document part holds no Word document. (Workbooks
    // and presentations without sheets or slides give no page, so no PDF.)
    std::string probe;
    if (kind == KIND_TEXT && !context.readPart("word/document.xml", probe))
        return 0;
    probe.clear();
    probe.shrink_to_fit();

    OPdfDocument doc;
    doc.setOutputPath(utf8::FromWide(outPdf));
    doc.setupPage(kind, kind == KIND_PRESENTATION ? 11 : 8.5, kind == KIND_PRESENTATION ? 8.5 : 11,
                  43 * (2 - kind), 36 * (2 - kind), kind == KIND_TEXT ? 12 : 20);
    context.callback = docReaderCallback;
    context.user = &doc;
    switch (kind) {
    case KIND_TEXT: readDocxToPdf(context); break;
    case KIND_WORKBOOK: readXlsxToPdf(context); break;
    case KIND_PRESENTATION: readPptxToPdf(context); break;
    default: break;
    }
    return doc.writeFile();
}

void excel03topdf(const wchar_t* src, const wchar_t* /*ignored*/, const wchar_t* third)
{
    if (src && third)
        SaveStoredPictures(true, src, third);
}

void ppt03topdf(const wchar_t* src, const wchar_t* /*ignored*/, const wchar_t* third)
{
    if (src && third)
        SaveStoredPictures(false, src, third);
}
