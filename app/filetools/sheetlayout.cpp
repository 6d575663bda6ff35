#include "app/filetools/sheetlayout.h"

#include <algorithm>

using namespace PoDoFo;

namespace filetools {

namespace {

// A box with no area would give an infinite scale: such pages are laid out
// as US Letter.
PdfRect UsableBox(const PdfRect& box)
{
    if (box.GetWidth() > 0 && box.GetHeight() > 0)
        return box;
    return PdfRect(0, 0, 612, 792);
}

// The page's visible box: its crop box, or its media box when the crop box
// has no width.
PdfRect PageBox(const PdfPage& page)
{
    const PdfRect crop = page.GetCropBox();
    return UsableBox(crop.GetWidth() > 0 ? crop : page.GetMediaBox());
}

// /Rotate as 0, 90, 180 or 270.
int PageRotation(const PdfPage& page)
{
    const int r = ((page.GetRotation() % 360) + 360) % 360;
    return r - r % 90;
}

// Follows references (a bounded number of them) to the object they name.
const PdfObject* Resolve(PdfVecObjects& objects, const PdfObject* obj)
{
    for (int hops = 0; obj && obj->IsReference() && hops < 32; ++hops)
        obj = objects.GetObject(obj->GetReference());
    return obj && obj->IsReference() ? nullptr : obj;
}

} // namespace

Matrix PlacementMatrix(const PdfRect& cell, const PdfRect& box, bool turned180)
{
    const double cL = cell.GetLeft(), cB = cell.GetBottom();
    const double cW = cell.GetWidth(), cH = cell.GetHeight();
    const double bL = box.GetLeft(), bB = box.GetBottom();
    const double bW = box.GetWidth(), bH = box.GetHeight();
    const bool cellLandscape = cH / cW < 0.95;
    const bool turn = (cellLandscape && bW / bH < 0.95) || (!cellLandscape && bW / bH > 1.05);
    if (turn) {
        const double s = std::min(cW / bH, cH / bW);
        if (turned180) // origin at the cell's bottom-right corner
            return {0, s, -s, 0, cL + cW + s * bB, cB - s * bL};
        return {0, -s, s, 0, cL - s * bB, cB + cH + s * bL}; // top-left corner
    }
    const double s = std::min(cW / bW, cH / bH);
    if (turned180) // origin at the cell's top-right corner
        return {-s, 0, 0, -s, cL + cW + s * bL, cB + cH + s * bB};
    return {s, 0, 0, s, cL - s * bL, cB - s * bB}; // bottom-left corner
}

bool BuildCells(const PdfRect& sheet, int nup, int dir, std::vector<PdfRect>& cells, int& rotation)
{
    const double L = sheet.GetLeft(), B = sheet.GetBottom();
    const double W = sheet.GetWidth(), H = sheet.GetHeight();
    rotation = dir == 2 ? 270 : 0;
    cells.clear();
    switch (nup) {
    case 0:
        cells.push_back(sheet);
        return true;
    case 1:
        if (W <= H) {
            cells.emplace_back(L, B + H / 2, W, H / 2);
            cells.emplace_back(L, B, W, H / 2);
        } else {
            cells.emplace_back(L + W / 2, B, W / 2, H);
            cells.emplace_back(L, B, W / 2, H);
        }
        if (rotation == 0 && dir == 0)
            rotation = 270;
        return true;
    case 2: {
        const PdfRect topLeft(L, B + H / 2, W / 2, H / 2), topRight(L + W / 2, B + H / 2, W / 2, H / 2);
        const PdfRect bottomLeft(L, B, W / 2, H / 2), bottomRight(L + W / 2, B, W / 2, H / 2);
        if (dir == 2)
            cells = {topRight, topLeft, bottomRight, bottomLeft};
        else
            cells = {topLeft, topRight, bottomLeft, bottomRight};
        return true;
    }
    default:
        cells.push_back(sheet);
        return false;
    }
}

SheetLayout::SheetLayout(PdfMemDocument& document, int nup, double width, double height, int dir)
    : document_(document), nup_(nup), dir_(dir >= 0 && dir <= 2 ? dir : 0),
      deferred_(!(width > 0 && height > 0))
{
    if (!deferred_) {
        sheet_ = PdfRect(0, 0, width, height);
        BuildCells(sheet_, nup_, dir_, cells_, rotation_);
    }
}

SheetLayout::~SheetLayout()
{
    // A painter must not be destroyed with a page open.
    if (current_) {
        try {
            painter_.FinishPage();
        } catch (const PdfError&) {
        }
    }
}

void SheetLayout::OpenSheet(const PdfRect& box)
{
    if (current_)
        return;
    if (deferred_) {
        sheet_ = box;
        BuildCells(sheet_, nup_, dir_, cells_, rotation_);
    }
    current_ = document_.CreatePage(sheet_);
    if (rotation_ != 0)
        current_->GetObject()->GetDictionary().AddKey("Rotate", PdfVariant(pdf_int64(rotation_)));
    painter_.SetPage(current_);
    filled_ = 0;
    ++sheets_;
}

void SheetLayout::Filled()
{
    if (++filled_ >= cells_.size())
        Finish();
}

void SheetLayout::Finish()
{
    if (!current_)
        return;
    current_ = nullptr;
    filled_ = 0;
    painter_.FinishPage();
}

void SheetLayout::PlacePage(const PdfMemDocument& source, int pageIndex, int difference)
{
    const PdfPage* page = source.GetPage(pageIndex);
    if (!page)
        PODOFO_RAISE_ERROR(ePdfError_PageNotFound);
    const PdfRect box = PageBox(*page);
    PdfXObject form(box, &document_);
    FillFormFromPage(document_, form, *page, difference);

    const int rotation = PageRotation(*page);
    if (rotation == 90 || rotation == 270)
        OpenSheet(PdfRect(box.GetBottom(), box.GetLeft(), box.GetHeight(), box.GetWidth()));
    else
        OpenSheet(box);
    const Matrix m = PlacementMatrix(cells_[filled_], box, rotation > 179);
    painter_.DrawXObjectMatrix(&form, m[0], m[1], m[2], m[3], m[4], m[5]);
    Filled();
}

void SheetLayout::PlaceImage(PdfImage* image)
{
    if (!image)
        return;
    const double w = image->GetWidth(), h = image->GetHeight();
    const PdfRect box = UsableBox(PdfRect(0, 0, w, h));
    OpenSheet(box);
    const Matrix m = PlacementMatrix(cells_[filled_], box, false);
    painter_.DrawXObjectMatrix(image, box.GetWidth() * m[0], box.GetWidth() * m[1],
                               box.GetHeight() * m[2], box.GetHeight() * m[3], m[4], m[5]);
    Filled();
}

void FillFormFromPage(PdfMemDocument& output, PdfXObject& form, const PdfPage& page, int difference)
{
    PdfVecObjects& objects = output.GetObjects();
    const PdfReference ref = page.GetObject()->Reference();
    const PdfObject* copy =
        objects.GetObject(PdfReference(ref.ObjectNumber() + difference, ref.GenerationNumber()));
    if (!copy || !copy->IsDictionary())
        PODOFO_RAISE_ERROR_INFO(ePdfError_NoObject, "The appended page is missing.");
    PdfObject* target = form.GetObject();

    // Resources, from the page or the nearest page-tree node above it.
    const PdfObject* node = copy;
    for (int depth = 0; node && node->IsDictionary() && depth < 64; ++depth) {
        if (const PdfObject* resources = node->GetDictionary().GetKey("Resources")) {
            target->GetDictionary().AddKey("Resources", *resources);
            break;
        }
        node = Resolve(objects, node->GetDictionary().GetKey("Parent"));
    }

    const PdfObject* contents = Resolve(objects, copy->GetDictionary().GetKey("Contents"));
    if (!contents)
        return; // an empty page
    PdfStream* stream = target->GetStream();
    if (contents->HasStream()) {
        // One stream: its stored bytes and filters, not decoded.
        char* data = nullptr;
        pdf_long length = 0;
        contents->GetStream()->GetCopy(&data, &length);
        PdfMemoryInputStream in(data, length);
        stream->SetRawData(&in, length);
        podofo_free(data);
        for (const char* key : {"Filter", "DecodeParms"}) {
            if (const PdfObject* value = contents->GetDictionary().GetKey(key))
                target->GetDictionary().AddKey(key, *value);
        }
        return;
    }
    if (!contents->IsArray())
        return;
    // Several streams: decoded and joined, a line end between two parts.
    stream->BeginAppend(TVecFilters{ePdfFilter_FlateDecode});
    for (const PdfObject& item : contents->GetArray()) {
        const PdfObject* part = Resolve(objects, &item);
        if (!part || !part->HasStream())
            continue;
        char* data = nullptr;
        pdf_long length = 0;
        part->GetStream()->GetFilteredCopy(&data, &length);
        stream->Append(data, length);
        podofo_free(data);
        stream->Append("\n", 1);
    }
    stream->EndAppend();
}

} // namespace filetools
