// Hyperlink objects as a HYPERLINK field stores them: flags, optional
// strings, and the target as a moniker (a URL, a file path, an item within
// it, or a composite of monikers), each read from bounded bytes and written
// through a StreamOut.
#pragma once

#include "wordlib/bytes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scrivlet {

using ClassId = std::array<std::uint8_t, 16>;

extern const ClassId kUrlMonikerId;        // {79EAC9E0-BAF9-11CE-8C82-00AA004BA90B}
extern const ClassId kFileMonikerId;       // {00000303-0000-0000-C000-000000000046}
extern const ClassId kItemMonikerId;       // {00000304-0000-0000-C000-000000000046}
extern const ClassId kAntiMonikerId;       // {00000305-0000-0000-C000-000000000046}
extern const ClassId kCompositeMonikerId;  // {00000309-0000-0000-C000-000000000046}

// A count of UTF-16 units including a terminating 0, then the units; the
// units before the first 0 are the string.
bool readHyperlinkString(ByteReader& in, std::u16string& out);
bool writeHyperlinkString(const std::u16string& s, StreamOut& out);

class MonikerBase {
public:
    virtual ~MonikerBase() = default;
    virtual bool read(ByteReader& in) = 0;
    virtual bool write(StreamOut& out) const = 0;
};

// A moniker with its class id; the moniker object is empty for a class id
// this library does not know.
struct HyperlinkMoniker {
    ClassId clsid{};
    std::unique_ptr<MonikerBase> moniker;
};

bool readHyperlinkMoniker(HyperlinkMoniker& out, ByteReader& in);
bool writeHyperlinkMoniker(const HyperlinkMoniker& moniker, StreamOut& out);

class URLMoniker : public MonikerBase {
public:
    std::uint32_t length = 0;
    std::u16string url;
    std::array<std::uint8_t, 24> trailing{};   // serialGUID, serialVersion, uriFlags
    std::uint32_t trailingFields = 0;          // 0 none, 1 GUID, 2 and version, 3 all

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) const override;
};

class FileMoniker : public MonikerBase {
public:
    std::uint16_t cAnti = 0;
    std::string ansiPath;
    std::array<std::uint8_t, 24> middle{};   // endServer, versionNumber, reserved1, reserved2
    std::uint16_t usKeyValue = 3;
    std::u16string unicodePath;

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) const override;
};

class ItemMoniker : public MonikerBase {
public:
    std::string delimiter;
    bool hasWideDelimiter = false;
    std::u16string wideDelimiter;
    std::string item;
    bool hasWideItem = false;
    std::u16string wideItem;

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) const override;
};

class AntiMoniker : public MonikerBase {
public:
    std::uint32_t count = 1;

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) const override;
};

class CompositeMoniker : public MonikerBase {
public:
    std::vector<HyperlinkMoniker> parts;

    bool read(ByteReader& in) override;
    bool write(StreamOut& out) const override;

    // Composites nest; deeper ones are refused.
    static constexpr int kMaxDepth = 8;
    int depth = 0;
};

// Flags of a hyperlink object.
enum HyperlinkFlags : std::uint32_t {
    kHlHasMoniker = 0x01,
    kHlHasLocation = 0x08,
    kHlHasDisplayName = 0x10,
    kHlHasGuid = 0x20,
    kHlHasCreationTime = 0x40,
    kHlHasFrameName = 0x80,
    kHlMonikerSavedAsString = 0x100,
};

struct HyperlinkObject {
    std::uint32_t streamVersion = 2;
    std::uint32_t flags = 0;
    std::u16string displayName;
    std::u16string targetFrameName;
    std::u16string monikerString;   // with kHlMonikerSavedAsString
    HyperlinkMoniker moniker;
    std::u16string location;
    ClassId guid{};
    std::array<std::uint8_t, 8> creationTime{};
};

bool readHyperlinkObject(ByteReader& in, HyperlinkObject& out);
bool writeHyperlinkObject(const HyperlinkObject& object, StreamOut& out);

} // namespace scrivlet
