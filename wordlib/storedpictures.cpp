#include "wordlib/storedpictures.h"

#include "wordlib/cfbparser.h"
#include "wordlib/fileobject.h"
#include "wordlib/officeartcontainers.h"
#include "wordlib/picturereader.h"

#include <cstring>
#include <memory>

namespace scrivlet {

namespace {

// A reader of one stream of a compound file, read while the file is open.
class StreamReader : public CFBParser {
public:
    explicit StreamReader(const char16_t* name) : name_(name) {}

    bool load() override
    {
        if (!CFBParser::load())
            return false;
        const int index = findEntry(name_);
        return index >= 0 && readStream(index, stream);
    }

    std::vector<std::uint8_t> stream;

private:
    std::u16string name_;
};

bool ReadStream(const std::string& path, const char16_t* name, std::vector<std::uint8_t>& stream)
{
    FileObjectPosix file;
    StreamReader reader(name);
    reader.setFile(&file);
    const bool ok = reader.open(path);
    stream = std::move(reader.stream);
    return ok;
}

} // namespace

bool StoredPictureOf(const BStoreEntry& entry, StoredPicture& out)
{
    const OfficeArtBlip* blip = entry.picture();
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    if (!blip || !blip->pictureBytes(bytes, length) || length < 8)
        return false;
    // The kind comes from the bytes themselves, not from the blip's type.
    if (bytes[0] == 0xFF && bytes[1] == 0xD8)
        out.kind = StoredPicture::kJpeg;
    else if (std::memcmp(bytes, "\x89PNG", 4) == 0)
        out.kind = StoredPicture::kPng;
    else
        return false;
    out.bytes.assign(bytes, bytes + length);
    return true;
}

void ScanStoredPictures(const std::uint8_t* data, std::size_t size, std::vector<StoredPicture>& out)
{
    if (!data)
        return;
    const StreamReadFn read = [&](std::uint8_t* buffer, std::uint64_t offset, std::size_t length) {
        if (offset > size || length > size - offset)
            return false;
        std::memcpy(buffer, data + offset, length);
        return true;
    };
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> buffers;
    std::vector<BStoreEntry> entries;
    // A record that cannot be read ends the scan; the entries before it
    // still count.
    scanPictureRecords(0, size, nullptr, buffers, entries, read, true);
    for (const BStoreEntry& entry : entries) {
        StoredPicture picture;
        if (StoredPictureOf(entry, picture))
            out.push_back(std::move(picture));
    }
}

bool ReadWorkbookPictures(const std::string& path, std::vector<StoredPicture>& out)
{
    std::vector<std::uint8_t> workbook;
    if (!ReadStream(path, u"Workbook", workbook))
        return false;
    std::vector<std::vector<std::uint8_t>> groups;
    const bool whole = JoinDrawingGroups(workbook, groups);
    for (const std::vector<std::uint8_t>& group : groups)
        ScanStoredPictures(group.data(), group.size(), out);
    return whole;
}

bool ReadPresentationPictures(const std::string& path, std::vector<StoredPicture>& out)
{
    std::vector<std::uint8_t> pictures;
    if (!ReadStream(path, u"Pictures", pictures))
        return false;
    ScanStoredPictures(pictures.data(), pictures.size(), out);
    return true;
}

} // namespace scrivlet
