// The engine's to-PDF entry points: a folder of pictures becomes one PDF
// (initpdf, jpgtopdf per picture, endpdf). Every call runs to completion on
// the caller's thread; wide paths are the engine's wide strings.
#pragma once

// Begins a PDF document to be written to `outPdf` (the path is copied):
// pages of the given size in inches, margins in points, of the document
// kind (3: picture pages). `*handle` receives the document, or null when it
// cannot be made.
void initpdf(const wchar_t* outPdf, void** handle, double widthInch, double heightInch, int marginX,
             int marginY, int kind);

// Places one picture (GIF, PNG, BMP or JPEG, whole in memory) below the
// previous one, on a new page when it does not fit, one pixel a point, and
// ends the line. The bytes are copied: the caller may free them on return.
// True when the picture was placed; bytes that are no picture place nothing.
bool jpgtopdf(const void* imageBytes, unsigned size, void* handle);

// Writes the PDF and frees the document; the handle is invalid afterwards.
// Returns the size of the file written, 0 when nothing could be written
// (no file is left then). A null handle gives 0.
unsigned endpdf(void* handle);
