#include "wordlib/storedpictures.h"

#include "wordlib/cfbparser.h"
#include "wordlib/fileobject.h"
#include "wordlib/picturereader.h"

#include <cstring>

namespace scrivlet {

namespace {

constexpr std::uint16_t kFbse = 0xF007;
constexpr std::uint16_t kBlipFirst = 0xF018;
constexpr std::uint16_t kBlipLast = 0xF117;
constexpr std::uint16_t kBlipJpeg = 0xF01D;
constexpr std::uint16_t kBlipPng = 0xF01E;
constexpr std::uint16_t kBlipDib = 0xF01F;
constexpr std::uint16_t kBlipJpegCmyk = 0xF02A;
constexpr std::size_t kHeader = 8;
constexpr std::size_t kFbseFixed = 36;   // the FBSE fields before its name

std::uint16_t U16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A device-independent bitmap with the file header that makes it a BMP
// file; false when its header is not one that can be measured.
bool BitmapFile(const std::uint8_t* dib, std::size_t size, std::vector<std::uint8_t>& out)
{
    if (size < 40 || size > 0xFFFFFFFFu - 14)
        return false;
    const std::uint32_t headerSize = U32(dib);
    if (headerSize < 40 || headerSize > size)
        return false;
    const std::uint16_t bits = U16(dib + 14);
    const std::uint32_t compression = U32(dib + 16);
    std::uint64_t colours = U32(dib + 32);
    if (colours == 0 && bits <= 8)
        colours = 1ULL << bits;
    std::uint64_t offset = 14ULL + headerSize + 4 * colours;
    if (headerSize == 40 && compression == 3)
        offset += 12;   // the three colour masks after the short header
    if (offset > 14ULL + size)
        return false;
    out.clear();
    out.push_back('B');
    out.push_back('M');
    PutU32(out, static_cast<std::uint32_t>(14 + size));
    PutU32(out, 0);
    PutU32(out, static_cast<std::uint32_t>(offset));
    out.insert(out.end(), dib, dib + size);
    return true;
}

// The picture of one blip record of `type` and `instance`, whose `size`
// bytes of body begin at `body`.
void TakeBlip(std::uint16_t type, std::uint16_t instance, const std::uint8_t* body, std::size_t size,
              std::vector<StoredPicture>& out)
{
    // One or two 16-byte identifiers (the odd instances carry two), then a
    // tag byte, then the file.
    const std::size_t skip = 16 + ((instance & 1) ? 16 : 0) + 1;
    if (size <= skip)
        return;
    const std::uint8_t* file = body + skip;
    const std::size_t length = size - skip;
    StoredPicture picture;
    if ((type == kBlipJpeg || type == kBlipJpegCmyk) && length >= 2 && file[0] == 0xFF && file[1] == 0xD8) {
        picture.kind = StoredPicture::kJpeg;
        picture.bytes.assign(file, file + length);
    } else if (type == kBlipPng && length >= 8 && std::memcmp(file, "\x89PNG", 4) == 0) {
        picture.kind = StoredPicture::kPng;
        picture.bytes.assign(file, file + length);
    } else if (type == kBlipDib && BitmapFile(file, length, picture.bytes)) {
        picture.kind = StoredPicture::kBmp;
    } else {
        return;
    }
    out.push_back(std::move(picture));
}

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

void ScanStoredPictures(const std::uint8_t* data, std::size_t size, std::vector<StoredPicture>& out)
{
    std::size_t pos = 0;
    while (data && size - pos >= kHeader) {
        const std::uint16_t verInstance = U16(data + pos);
        const std::uint16_t type = U16(data + pos + 2);
        const std::uint32_t length = U32(data + pos + 4);
        const std::size_t body = pos + kHeader;
        if (type < 0xF000 || length > size - body)
            return;
        if ((verInstance & 0xF) == 0xF) {
            pos = body;   // a container: its records follow
            continue;
        }
        if (type == kFbse && length >= kFbseFixed) {
            const std::size_t nameLength = data[body + 33];
            const std::size_t blip = body + kFbseFixed + nameLength;
            if (blip + kHeader <= body + length) {
                const std::uint16_t blipType = U16(data + blip + 2);
                const std::uint32_t blipLength = U32(data + blip + 4);
                if (blipType >= kBlipFirst && blipType <= kBlipLast && blipLength <= body + length - blip - kHeader)
                    TakeBlip(blipType, static_cast<std::uint16_t>(U16(data + blip) >> 4), data + blip + kHeader,
                             blipLength, out);
            }
        } else if (type >= kBlipFirst && type <= kBlipLast) {
            TakeBlip(type, static_cast<std::uint16_t>(verInstance >> 4), data + body, length, out);
        }
        pos = body + length;
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
