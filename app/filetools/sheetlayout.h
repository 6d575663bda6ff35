// Puts pages and pictures onto output sheets, one, two or four to a sheet.
// Each source page becomes a form XObject of the output document, drawn into
// the next free cell of the current sheet under a matrix that fits its box
// into the cell, turned by 90 degrees when its orientation does not match the
// cell's. A sheet is a new page of the output document; it is finished when
// its cells are full, and the next placement opens a new one.
#pragma once

#include "app/filetools/pdflib.h"

#include <array>
#include <vector>

namespace filetools {

// The six numbers of a PDF matrix [a b c d e f].
using Matrix = std::array<double, 6>;

// The matrix that maps `box` into `cell`: scaled by the smaller of the two
// ratios that keep it inside, anchored at a corner of the cell, and turned
// clockwise by 90 degrees when the cell is landscape (height / width below
// 0.95) and the box portrait (width / height below 0.95), or the cell is not
// landscape and the box is (width / height above 1.05). `turned180` turns
// the result by a further 180 degrees. The box may start anywhere: its
// corner lands on the cell's, not shifted out of it.
Matrix PlacementMatrix(const PoDoFo::PdfRect& cell, const PoDoFo::PdfRect& box, bool turned180);

// The cells of a sheet in fill order, and the /Rotate of its pages: nup 0
// one cell; 1 two (top and bottom halves of a portrait sheet, right and left
// of a landscape one); 2 four (reading order, or with dir 2 top right, top
// left, bottom right, bottom left). dir 2 turns sheets by 270 degrees, and so
// does two-up with dir 0. False (one cell) for another nup.
bool BuildCells(const PoDoFo::PdfRect& sheet, int nup, int dir,
                std::vector<PoDoFo::PdfRect>& cells, int& rotation);

class SheetLayout {
public:
    // width and height in points; either below 1 takes each sheet's size
    // from the page that opens it. dir: 0 auto, 1 vertical, 2 horizontal
    // (anything else counts as 0).
    SheetLayout(PoDoFo::PdfMemDocument& document, int nup, double width, double height, int dir);
    ~SheetLayout();
    SheetLayout(const SheetLayout&) = delete;
    SheetLayout& operator=(const SheetLayout&) = delete;

    // Places page `pageIndex` of `source`, whose objects were appended to the
    // output document renumbered by `difference`.
    void PlacePage(const PoDoFo::PdfMemDocument& source, int pageIndex, int difference);

    // Places a picture of the output document (nothing for null).
    void PlaceImage(PoDoFo::PdfImage* image);

    // Finishes a partly filled sheet.
    void Finish();

    // Sheets opened so far.
    int Sheets() const { return sheets_; }

private:
    void OpenSheet(const PoDoFo::PdfRect& box);
    void Filled();

    PoDoFo::PdfMemDocument& document_;
    PoDoFo::PdfRect sheet_;
    std::vector<PoDoFo::PdfRect> cells_;
    MatrixPainter painter_;
    PoDoFo::PdfPage* current_ = nullptr;
    std::size_t filled_ = 0;
    int rotation_ = 0;
    int nup_;
    int dir_;
    bool deferred_;
    int sheets_ = 0;
};

// Fills `form` with the appearance of `page` (of a document appended to
// `output` with the object-number `difference`): the page's resources,
// inherited ones included, and its content. A single content stream is
// copied as it is stored; several are joined into one Flate stream.
void FillFormFromPage(PoDoFo::PdfMemDocument& output, PoDoFo::PdfXObject& form,
                      const PoDoFo::PdfPage& page, int difference);

} // namespace filetools
