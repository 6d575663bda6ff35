#include "wordlib/iscrivlet.h"

#include "engine/layout/utf8.h"
#include "wordlib/fileobject.h"
#include "wordlib/storedpictures.h"
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

namespace {

void SendPictures(const std::vector<scrivlet::StoredPicture>& pictures, ContentEventCallback callback, void* user)
{
    for (const scrivlet::StoredPicture& picture : pictures) {
        if (picture.bytes.size() <= 0x7FFFFFFF)
            callback(user, picture.bytes.data(), static_cast<int>(picture.bytes.size()), CE_PICTURE, picture.kind);
    }
}

} // namespace

void IScrivlet::readexcel03(const wchar_t* source, const wchar_t* /*second*/, ContentEventCallback callback,
                            void* user)
{
    if (!source || !callback)
        return;
    std::vector<scrivlet::StoredPicture> pictures;
    // A damaged workbook still gives the pictures found before the damage.
    scrivlet::ReadWorkbookPictures(utf8::FromWide(source), pictures);
    SendPictures(pictures, callback, user);
}

void IScrivlet::readppt03(const wchar_t* source, const wchar_t* /*second*/, ContentEventCallback callback,
                          void* user)
{
    if (!source || !callback)
        return;
    std::vector<scrivlet::StoredPicture> pictures;
    scrivlet::ReadPresentationPictures(utf8::FromWide(source), pictures);
    SendPictures(pictures, callback, user);
}
