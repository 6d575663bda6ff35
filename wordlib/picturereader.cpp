#include "wordlib/picturereader.h"

#include "wordlib/bytes.h"

namespace scrivlet {

namespace {

constexpr std::uint16_t kBiffEof = 0x000A;
constexpr std::uint16_t kBiffContinue = 0x003C;
constexpr std::uint16_t kBiffDrawingGroup = 0x00EB;

} // namespace

bool JoinDrawingGroups(const std::vector<std::uint8_t>& workbook, std::vector<std::vector<std::uint8_t>>& groups)
{
    // Records: type (16-bit), size (16-bit), then size bytes. Each record's
    // bytes are checked against the stream before they are copied, so a
    // group never holds more than the stream does.
    ByteReader in(workbook);
    while (!in.atEnd()) {
        std::uint16_t type = 0;
        std::uint16_t size = 0;
        ByteReader body;
        if (!in.u16(type) || !in.u16(size) || !in.take(size, body))
            return false;
        if (type == kBiffEof)
            return true;
        if (type != kBiffDrawingGroup)
            continue;
        std::vector<std::uint8_t> group(body.pos(), body.pos() + body.left());
        bool continued = false;
        for (ByteReader next = in; next.u16(type) && type == kBiffContinue; next = in) {
            if (!next.u16(size) || !next.append(group, size))
                break;
            in = next;
            continued = true;
        }
        groups.push_back(std::move(group));
        // A run of Continue records that reaches the end of the stream
        // leaves the group cut short.
        if (continued && in.atEnd())
            return false;
    }
    return true;
}

} // namespace scrivlet
