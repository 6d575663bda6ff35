// The writer and the page-analysis options for each output type.
#pragma once

#include "engine/layout/jobrecords.h"

#include <memory>
#include <string>

class IWriter;

struct BookOptions {
    bool ignoreImages = false;
    bool pageAsImage = false;
    bool ignoreTables = false;
    bool keepObjectOrder = false;
    bool drawGraphics = false;
};

// The "DrawGraphic:" switch of "config.txt" in the program folder: on when a
// pair "DrawGraphic:" "true" is found; off when the file is missing.
bool ReadDrawGraphicSwitch(const std::wstring& exePath);

// The Word 97-2003 writer of the Word library, whose picture folder is
// `tmpDir`; null in the engine build that carries no Word library. Each
// engine build links exactly one definition.
std::unique_ptr<IWriter> MakeWord97Writer(const std::wstring& tmpDir);

// Makes the writer for the item's output type and fills the options; null
// when this build has no writer for the type. `tmpDir` is the job's
// temporary folder.
std::unique_ptr<IWriter> MakeWriter(Basedata_w& item, const std::wstring& tmpDir,
                                    BookOptions& options);
