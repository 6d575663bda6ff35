#include "wordlib/iscrivlet.h"

#include "engine/layout/utf8.h"
#include "wordlib/fileobject.h"
#include "wordlib/wordreader.h"

void IScrivlet::readword03(const wchar_t* source, const wchar_t* /*destination*/, ContentEventCallback callback,
                           void* user)
{
    if (!source || !callback)
        return;
    scrivlet::FileObjectPosix file;
    scrivlet::WordBinaryFileParser parser;
    parser.setFile(&file);
    // A document that stops loading part way is walked with what was read.
    parser.open(utf8::FromWide(source));
    parser.setCallback(callback, user);
    parser.emitWordContent();
}
