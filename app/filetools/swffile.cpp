#include "app/filetools/swffile.h"

#include "app/filetools/zlibutil.h"
#include "engine/layout/fileutil.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The largest uncompressed SWF we read: far above any converted document,
// low enough that a small compressed file cannot make us allocate without
// limit.
constexpr std::uint32_t kMaxSwfLength = 512u << 20;
// The largest stage side in pixels whose twips a 31-bit RECT value holds.
constexpr int kMaxFrameSide = 50000000;

std::uint32_t ReadLE(std::string_view d, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(d[at + static_cast<std::size_t>(i)]);
    return v;
}

void WriteLE(std::string& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Reads bits most significant first; the caller checks the length first.
class BitReader {
public:
    explicit BitReader(std::string_view data) : data_(data) {}
    std::uint32_t Unsigned(int n)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit_) {
            const auto byte = static_cast<unsigned char>(data_[bit_ / 8]);
            v = (v << 1) | ((byte >> (7 - bit_ % 8)) & 1u);
        }
        return v;
    }
    std::int32_t Signed(int n)
    {
        if (n == 0)
            return 0;
        const std::uint32_t v = Unsigned(n);
        const std::uint32_t sign = 1u << (n - 1);
        return static_cast<std::int32_t>(static_cast<std::int64_t>(v ^ sign) - sign);
    }

private:
    std::string_view data_;
    std::size_t bit_ = 0;
};

// Writes bits most significant first into whole bytes.
class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void Bits(std::uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            if (fill_ == 0)
                out_.push_back('\0');
            if ((v >> i) & 1u)
                out_.back() = static_cast<char>(out_.back() | (0x80 >> fill_));
            fill_ = (fill_ + 1) % 8;
        }
    }
    // A negative value as its n-bit two's complement.
    void Signed(std::int32_t v, int n) { Bits(static_cast<std::uint32_t>(v), n); }
    void Align() { fill_ = 0; }

private:
    std::string& out_;
    int fill_ = 0;
};

int RectLength(int nbits)
{
    return (5 + 4 * nbits + 7) / 8;
}

// Tags that players expect with the six-byte header whatever their length.
bool AlwaysLongHeader(std::uint16_t code)
{
    switch (code) {
    case 6: case 19: case 20: case 21: case 35: case 36: case 90:
        return true;
    default:
        return false;
    }
}

} // namespace

bool SWFHeader::SetFrameSize(int width, int height)
{
    if (width < 0 || height < 0 || width > kMaxFrameSide || height > kMaxFrameSide)
        return false;
    const std::int32_t w = width * 20, h = height * 20;
    const int needed = static_cast<int>(std::log2(double(std::max(w, h)) + 1) + 2);
    const int nbits = std::max(15, needed);
    frameWidth = w;
    frameHeight = h;
    rect.xmin = 0;
    rect.xmax = w;
    rect.ymin = 0;
    rect.ymax = h;
    rect.nbits = nbits;
    rect.length = RectLength(nbits);
    return true;
}

SWFFile::SWFFile(const std::wstring& path)
{
    std::string bytes;
    ok_ = ReadWholeFile(path, bytes) && Parse(bytes);
}

SWFFile SWFFile::FromBytes(std::string_view bytes)
{
    SWFFile f;
    f.ok_ = f.Parse(bytes);
    return f;
}

bool SWFFile::Parse(std::string_view bytes)
{
    tags_.clear();
    if (bytes.size() < 8)
        return false;
    const std::string_view sig = bytes.substr(0, 3);
    if (sig != "FWS" && sig != "CWS")
        return false;
    std::copy(sig.begin(), sig.end(), header_.signature);
    header_.version = static_cast<std::uint8_t>(bytes[3]);
    header_.fileLength = ReadLE(bytes, 4, 4);

    // Everything after the first 8 bytes, uncompressed.
    std::string inflated;
    std::string_view body = bytes.substr(8);
    if (header_.Compressed()) {
        if (header_.fileLength < 8 || header_.fileLength > kMaxSwfLength)
            return false;
        const std::size_t expected = header_.fileLength - 8;
        const auto r = filetools::Inflate(body, inflated, expected);
        if (!r.complete || inflated.size() != expected)
            return false;
        body = inflated;
    }

    // The frame RECT, then the frame rate and count.
    if (body.empty())
        return false;
    const int nbits = static_cast<int>(static_cast<unsigned char>(body[0]) >> 3);
    const auto rectLength = static_cast<std::size_t>(RectLength(nbits));
    if (body.size() < rectLength + 4)
        return false;
    BitReader bits(body);
    bits.Unsigned(5);
    SWFRect& r = header_.rect;
    r.nbits = nbits;
    r.length = static_cast<std::int32_t>(rectLength);
    r.xmin = bits.Signed(nbits);
    r.xmax = bits.Signed(nbits);
    r.ymin = bits.Signed(nbits);
    r.ymax = bits.Signed(nbits);
    header_.frameWidth = r.xmax;
    header_.frameHeight = r.ymax;
    std::size_t pos = rectLength;
    header_.frameRate[0] = static_cast<std::uint8_t>(body[pos]);
    header_.frameRate[1] = static_cast<std::uint8_t>(body[pos + 1]);
    header_.frameCount = static_cast<std::uint16_t>(ReadLE(body, pos + 2, 2));
    pos += 4;

    // Tags up to and including the End tag; a tag cut short refuses the file.
    while (pos < body.size()) {
        if (body.size() - pos < 2)
            return false;
        const std::uint32_t head = ReadLE(body, pos, 2);
        pos += 2;
        TagInstance tag;
        tag.code = static_cast<std::uint16_t>(head >> 6);
        std::uint32_t length = head & 63u;
        if (length == 63) {
            if (body.size() - pos < 4)
                return false;
            length = ReadLE(body, pos, 4);
            pos += 4;
        }
        if (length > body.size() - pos)
            return false;
        tag.payload.assign(body.substr(pos, length));
        pos += length;
        tags_.push_back(std::move(tag));
        if (tags_.back().code == 0)
            break;
    }
    return true;
}

bool SWFFile::ReplaceBinaryData(std::string_view data)
{
    for (TagInstance& tag : tags_) {
        if (tag.code != 87 || tag.payload.size() < 2 || ReadLE(tag.payload, 0, 2) != 47)
            continue;
        // Character id and the reserved field, then the document.
        if (tag.payload.size() < 6 || data.size() > kMaxSwfLength)
            return false;
        tag.payload.resize(6);
        tag.payload.append(data);
        return true;
    }
    return false;
}

bool SWFFile::Serialize(std::string& out) const
{
    out.clear();
    if (!ok_)
        return false;
    std::uint64_t tagBytes = 0;
    for (const TagInstance& tag : tags_) {
        const bool longHeader = tag.payload.size() >= 63 || AlwaysLongHeader(tag.code);
        tagBytes += tag.payload.size() + (longHeader ? 6 : 2);
    }
    const std::uint64_t total = 12 + static_cast<std::uint64_t>(header_.rect.length) + tagBytes;
    if (total > std::numeric_limits<std::uint32_t>::max())
        return false;

    std::string body;
    BitWriter bits(body);
    const int n = header_.rect.nbits;
    bits.Bits(static_cast<std::uint32_t>(n), 5);
    bits.Signed(header_.rect.xmin, n);
    bits.Signed(header_.rect.xmax, n);
    bits.Signed(header_.rect.ymin, n);
    bits.Signed(header_.rect.ymax, n);
    bits.Align();
    body.push_back(static_cast<char>(header_.frameRate[0]));
    body.push_back(static_cast<char>(header_.frameRate[1]));
    WriteLE(body, header_.frameCount, 2);
    for (const TagInstance& tag : tags_) {
        const auto length = static_cast<std::uint32_t>(tag.payload.size());
        const bool longHeader = length >= 63 || AlwaysLongHeader(tag.code);
        WriteLE(body, static_cast<std::uint32_t>(tag.code << 6) | (longHeader ? 63u : length), 2);
        if (longHeader)
            WriteLE(body, length, 4);
        body.append(tag.payload);
    }

    out.assign(header_.signature, 3);
    out.push_back(static_cast<char>(header_.version));
    WriteLE(out, static_cast<std::uint32_t>(total), 4);
    if (!header_.Compressed()) {
        out.append(body);
        return true;
    }
    std::string packed;
    if (!filetools::Deflate(body, packed)) {
        out.clear();
        return false;
    }
    out.append(packed);
    return true;
}

bool SWFFile::Write(const std::wstring& path) const
{
    std::string bytes;
    return Serialize(bytes) && WriteFileReplacing(path, bytes.data(), bytes.size());
}

bool SWFEmbedBinaryData(const wchar_t* dataFile, const wchar_t* swfFile)
{
    if (!dataFile || !swfFile)
        return false;
    std::string data;
    if (!ReadWholeFile(std::wstring(dataFile), data))
        return false;
    SWFFile swf{std::wstring(swfFile)};
    return swf.ok() && swf.ReplaceBinaryData(data) && swf.Write(swfFile);
}

bool SWFResizeFrame(const wchar_t* swfFile, int width, int height)
{
    if (!swfFile)
        return false;
    SWFFile swf{std::wstring(swfFile)};
    return swf.ok() && swf.Header().SetFrameSize(width, height) && swf.Write(swfFile);
}
