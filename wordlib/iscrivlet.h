// IScrivlet, the class that the Word library exports. Its readers turn
// Word 97-2003 files into content events for the engine's PDF typesetter;
// they keep no state in the object and run on the caller's thread, calling
// back before they return.
#pragma once

#include "engine/topdf/contentevents.h"

class IScrivlet {
public:
    // Sends the text, tables and pictures of the Word 97-2003 document
    // `source` to `callback` with `user`. A file that cannot be opened or
    // is not a Word document sends nothing; a damaged one sends what could
    // be read. `destination` is not read.
    static void readword03(const wchar_t* source, const wchar_t* destination, ContentEventCallback callback,
                           void* user);
    // Sends each picture stored in the Excel 97-2003 workbook (or the
    // PowerPoint 97-2003 presentation) `source` to `callback` with `user`
    // as a picture event whose `arg` is its kind (0 JPEG, 2 PNG).
    // A file that is no such document sends nothing. `second` is not read.
    static void readexcel03(const wchar_t* source, const wchar_t* second, ContentEventCallback callback,
                            void* user);
    static void readppt03(const wchar_t* source, const wchar_t* second, ContentEventCallback callback,
                          void* user);
};
