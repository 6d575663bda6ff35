#include "engine/layout/strutil.h"
#include "engine/layout/utf8.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(IntText, NarrowAndWide)
{
    struct Case { int value; const char* text; };
    const Case cases[] = {
        {0, "0"}, {7, "7"}, {-7, "-7"}, {10, "10"}, {1234567890, "1234567890"},
        {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(int2str(c.value), c.text) << c.value;
        if (c.value >= 0) {
            EXPECT_EQ(utf8::FromWide(int2wstr(c.value)), c.text) << c.value;
        }
    }
}

TEST(IntText, ReadersBehaveLikeAtoi)
{
    struct Case { const char* text; int value; };
    const Case cases[] = {
        {"42", 42}, {"  42x", 42}, {"-5", -5}, {"+8", 8}, {"x", 0}, {"", 0},
        {"<null>", 0}, {" 3 - 4", 3}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(str2int(c.text), c.value) << c.text;
        EXPECT_EQ(wstr2int(utf8::ToWide(c.text).c_str()), c.value) << c.text;
    }
    EXPECT_EQ(str2int(nullptr), 0);
}

TEST(DoubleText, GeneralNotationSixDigits)
{
    struct Case { double value; const char* text; };
    const Case cases[] = {
        {12.0, "12"}, {18.75, "18.75"}, {1.0 / 3.0, "0.333333"}, {0.1, "0.1"},
        {100000, "100000"}, {1234567, "1.23457e+06"}, {-2.5, "-2.5"}, {0.0, "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(double2str(c.value), c.text) << c.value;
}

TEST(DoubleText, RgbChannelsTruncatedAndClamped)
{
    struct Case { double r, g, b; const char* text; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0.5, 1.0, 0.0, "7fff00"},
        {1.5, -0.2, 0.999, "ff00fe"},
        {0.0, 0.0, 0.0, "000000"},
        {1.0, 1.0, 1.0, "ffffff"},
        {nan, 1e300, -1e300, "00ff00"},
    };
    for (const Case& c : cases) {
        const double rgb[3] = {c.r, c.g, c.b};
        EXPECT_EQ(double2rgbstring(rgb), c.text);
    }
}

TEST(ReplaceAll, ResumesBehindInsertedText)
{
    struct Case { const char* text; const char* from; const char* to; const char* result; };
    const Case cases[] = {
        {"aaa", "a", "aa", "aaaaaa"},
        {"a<b<c", "<", "&lt;", "a&lt;b&lt;c"},
        {"abc", "", "x", "abc"},
        {"abc", "d", "x", "abc"},
        {"xx", "xx", "", ""},
    };
    for (const Case& c : cases) {
        std::string s = c.text;
        std::string& r = replace_all_distinct(s, c.from, c.to);
        EXPECT_EQ(&r, &s);
        EXPECT_EQ(s, c.result) << c.text;
    }
}

TEST(Split, PiecesAndEmptyMarkers)
{
    using V = std::vector<std::string>;
    struct Case { const char* text; const char* delim; V pieces; };
    const Case cases[] = {
        {"a,,b", ",", {"a", "<null>", "b"}},
        {"a,", ",", {"a", "<null>"}},
        {",", ",", {"<null>", "<null>"}},
        {",a", ",", {"<null>", "a"}},
        {"abc", ",", {"abc"}},
        {"1::2::", "::", {"1", "2", "<null>"}},
        {"Grüße,文", ",", {"Grüße", "文"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(split(c.text, c.delim, "<null>"), c.pieces) << c.text;
        std::vector<std::wstring> wide;
        for (const std::string& p : c.pieces)
            wide.push_back(utf8::ToWide(p));
        EXPECT_EQ(w_split(utf8::ToWide(c.text), utf8::ToWide(c.delim), L"<null>"), wide) << c.text;
    }
}

TEST(Split, EmptyTextOrDelimiterThrows)
{
    for (auto [text, delim] : {std::pair{"", ","}, std::pair{"a", ""}}) {
        try {
            split(text, delim, "<null>");
            ADD_FAILURE() << "no exception";
        } catch (const char* msg) {
            EXPECT_STREQ(msg, "split:empty string");
        }
        EXPECT_THROW(w_split(utf8::ToWide(text), utf8::ToWide(delim), L"<null>"), const char*);
    }
}

TEST(Utf8, RoundTripsAndReplacesMalformedInput)
{
    const std::string text = "Grüße <&> Ж 文 😀";
    const std::wstring wide = utf8::ToWide(text);
    EXPECT_EQ(wide.size(), 15u);
    EXPECT_EQ(wide[14], static_cast<wchar_t>(0x1F600));
    EXPECT_EQ(utf8::FromWide(wide), text);

    struct Case { std::string bytes; std::wstring wide; };
    const Case cases[] = {
        {"a\xff" "b", L"a\uFFFDb"},            // stray byte
        {"\xc3", L"\uFFFD"},                   // truncated sequence
        {"\xc0\xaf", L"\uFFFD\uFFFD"},         // overlong "/"
        {"\xed\xa0\x80", L"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8::ToWide(c.bytes), c.wide);
    EXPECT_EQ(utf8::FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}

} // namespace
