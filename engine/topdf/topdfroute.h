// One source made into a PDF, as the engine's driver asks for it: a folder
// of pictures becomes one PDF named after the folder.
#pragma once

#include <string>

// Writes the PDF of `source` into `destDir` (no existing file is replaced:
// "(N)" is added to a name in use) and returns its path. `tmpDir` is a
// scratch folder of the caller. Empty when the source gave no PDF; nothing
// is left behind then.
std::wstring CreatePdfFromSource(const std::wstring& source, const std::wstring& destDir,
                                 const std::wstring& tmpDir);
