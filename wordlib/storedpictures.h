// The pictures stored in Excel and PowerPoint 97-2003 files: the picture
// store (FBSE and blip records) of a workbook's drawing groups and of a
// presentation's "Pictures" stream, handed out as whole JPEG and PNG
// files. Neither reader looks at cells, text or slides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace scrivlet {

class BStoreEntry;

// One stored picture as the bytes of a file of its kind.
struct StoredPicture {
    enum Kind : unsigned { kJpeg = 0, kPng = 2 };
    Kind kind = kJpeg;
    std::vector<std::uint8_t> bytes;
};

// The picture of one picture-store entry (an FBSE's embedded blip or a
// blip record) when it is a JPEG or a PNG; false for other kinds and for
// an entry without picture bytes.
bool StoredPictureOf(const BStoreEntry& entry, StoredPicture& out);

// The pictures of a run of picture-store records, in their order: container
// records are stepped into, FBSE records give their embedded picture, blip
// records give theirs, other records from 0xF000 up are passed over, and a
// record of a lower type or one that runs past the data ends the scan.
// Pictures of kinds other than JPEG and PNG (metafiles, bitmaps) are left
// out.
void ScanStoredPictures(const std::uint8_t* data, std::size_t size, std::vector<StoredPicture>& out);

// The pictures of the drawing groups of an Excel 97-2003 workbook, and of
// the "Pictures" stream of a PowerPoint 97-2003 presentation (UTF-8 paths).
// False when the file is no compound file or lacks the stream; pictures
// found before damage stay in `out`.
bool ReadWorkbookPictures(const std::string& path, std::vector<StoredPicture>& out);
bool ReadPresentationPictures(const std::string& path, std::vector<StoredPicture>& out);

} // namespace scrivlet
