// The picture-store scan of Excel and PowerPoint 97-2003 files on any
// bytes: every picture handed out lies inside the input, with its file
// header where it needs one.
#include "wordlib/storedpictures.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<scrivlet::StoredPicture> pictures;
    scrivlet::ScanStoredPictures(data, size, pictures);
    for (const scrivlet::StoredPicture& picture : pictures) {
        const std::size_t header = picture.kind == scrivlet::StoredPicture::kBmp ? 14 : 0;
        if (picture.bytes.size() < header || picture.bytes.size() - header > size)
            __builtin_trap();
    }
    return 0;
}
