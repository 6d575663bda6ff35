// The picture-store scan of Excel and PowerPoint 97-2003 files on any
// bytes: every picture handed out lies inside the input.
#include "wordlib/storedpictures.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<scrivlet::StoredPicture> pictures;
    scrivlet::ScanStoredPictures(data, size, pictures);
    for (const scrivlet::StoredPicture& picture : pictures) {
        if (picture.bytes.size() > size)
            __builtin_trap();
    }
    return 0;
}
