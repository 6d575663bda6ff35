// One source made into a PDF, as the engine's driver asks for it: a folder
// of pictures becomes one PDF named after the folder, a Word, Excel or
// PowerPoint 2007 file or a Word 97-2003 file (by its extension in any
// case) one PDF named after the file. Excel and PowerPoint 97-2003 files
// give the pictures stored in them instead.
#pragma once

#include <string>
#include <vector>

// Writes the PDF of `source` into `destDir` (no existing file is replaced:
// "(N)" is added to a name in use) and returns its path. `tmpDir` is a
// scratch folder of the caller. Empty when the source gave no PDF; nothing
// is left behind then.
std::wstring CreatePdfFromSource(const std::wstring& source, const std::wstring& destDir,
                                 const std::wstring& tmpDir);

// Writes each picture stored in the Excel (`workbook`) or PowerPoint 97-2003
// file `source` into `destDir` as "<name>-<n>.jpg" (".png", ".bmp"), never
// replacing a file, and returns the paths written in store order.
std::vector<std::wstring> SaveStoredPictures(bool workbook, const std::wstring& source, const std::wstring& destDir);
