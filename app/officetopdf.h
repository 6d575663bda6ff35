// The engine's Office entry points as the desktop program reaches them. The
// engine build in use may lack some of them; each call then reports that it
// is missing instead of failing to link or to load.
#pragma once

#include <optional>

// Whether the engine reads Office 2007 packages.
bool EngineReadsOffice07();

// Results of the engine's calls; nullopt when the engine lacks the entry
// point. The unsigned results are the size of the PDF written, 0 when none
// was written.
std::optional<unsigned> EngineWord03ToPdf(const wchar_t* src, const wchar_t* dst);
std::optional<unsigned> EngineOffice07ToPdf(char* pkgPath, const wchar_t* outPdf, char* workDir, int kind);
// The 97-2003 workbook and presentation readers write the pictures they find
// into `pictureFolder`; false when the engine lacks the entry point.
bool EngineExcel03Pictures(const wchar_t* src, const wchar_t* dst, const wchar_t* pictureFolder);
bool EnginePpt03Pictures(const wchar_t* src, const wchar_t* dst, const wchar_t* pictureFolder);
