// The engine's to-PDF entry points: a folder of pictures becomes one PDF
// (initpdf, jpgtopdf per picture, endpdf), a Word 97-2003 document or a
// Word, Excel or PowerPoint 2007 package becomes a PDF, and the pictures of
// Excel and PowerPoint 97-2003 files are handed out. Every call runs to
// completion on the caller's thread; wide paths are the engine's wide
// strings.
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

// Makes a PDF of the Word 97-2003 document `src` at `dst` (Letter pages).
// Returns the size of the file written; 0 when nothing could be written or
// the file gave no content at all, being no Word document (no file is
// written then). The third argument is not read.
unsigned word03topdf(const wchar_t* src, const wchar_t* dst, const wchar_t* ignored);

// Makes a PDF at `outPdf` of the Word (kind 0), Excel (1) or PowerPoint (2)
// 2007 package `pkgPath` (UTF-8). The package is unpacked below `workDir`
// (UTF-8; a folder that the caller owns, clears and removes) through the
// hardened unzip, so nothing lands outside it; the caller's buffers are not
// changed. Returns the size of the file written; 0 when the kind is none
// of these, the package cannot be unpacked, a Word package has no document
// part, a workbook or presentation gives no page, or the file cannot be
// written (no file is left then).
unsigned office07topdf(char* pkgPath, const wchar_t* outPdf, char* workDir, int kind);

// The pictures stored in an Excel or PowerPoint 97-2003 file `src`, each
// written as a file into the folder `third` ("<name>-<n>.<type>", never
// replacing a file). No PDF is made here. The second argument is not read.
void excel03topdf(const wchar_t* src, const wchar_t* ignored, const wchar_t* third);
void ppt03topdf(const wchar_t* src, const wchar_t* ignored, const wchar_t* third);
