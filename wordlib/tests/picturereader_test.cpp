// The picture readers of Excel and PowerPoint 97-2003 files.
#include "wordlib/picturereader.h"

#include <gtest/gtest.h>

using namespace scrivlet;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Record(Bytes& out, std::uint16_t type, const Bytes& body)
{
    out.push_back(static_cast<std::uint8_t>(type));
    out.push_back(static_cast<std::uint8_t>(type >> 8));
    out.push_back(static_cast<std::uint8_t>(body.size()));
    out.push_back(static_cast<std::uint8_t>(body.size() >> 8));
    out.insert(out.end(), body.begin(), body.end());
}

} // namespace

TEST(DrawingGroups, ContinueRecordsJoinTheirGroup)
{
    const struct {
        const char* name;
        Bytes stream;
        bool ok;
        std::vector<Bytes> groups;
    } cases[] = {
        {"no drawings", [] { Bytes b; Record(b, 0x0809, {1, 2}); Record(b, 0x000A, {}); return b; }(), true, {}},
        {"one group in three records",
         [] {
             Bytes b;
             Record(b, 0x0809, {0});
             Record(b, 0x00EB, {1, 2});
             Record(b, 0x003C, {3});
             Record(b, 0x003C, {4, 5});
             Record(b, 0x00FC, {9});
             Record(b, 0x003C, {7});   // continues another record
             Record(b, 0x000A, {});
             Record(b, 0x00EB, {8});   // past the end-of-file record
             return b;
         }(),
         true,
         {{1, 2, 3, 4, 5}}},
        {"two groups, no end record",
         [] {
             Bytes b;
             Record(b, 0x00EB, {1});
             Record(b, 0x00EB, {2});
             return b;
         }(),
         true,
         {{1}, {2}}},
        {"continued to the end",
         [] {
             Bytes b;
             Record(b, 0x00EB, {1});
             Record(b, 0x003C, {2});
             return b;
         }(),
         false,
         {{1, 2}}},
        {"record past the end",
         [] {
             Bytes b;
             Record(b, 0x00EB, {1});
             b.insert(b.end(), {0x3C, 0, 0xFF, 0xFF, 1});
             return b;
         }(),
         false,
         {{1}}},
        {"header cut short", Bytes{0xEB, 0x00, 0x01}, false, {}},
    };
    for (const auto& c : cases) {
        std::vector<Bytes> groups;
        EXPECT_EQ(JoinDrawingGroups(c.stream, groups), c.ok) << c.name;
        EXPECT_EQ(groups, c.groups) << c.name;
    }
}
