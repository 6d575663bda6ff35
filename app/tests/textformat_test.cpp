// Conversions filled from texts that come from language files.
#include "app/textformat.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatText, FillsKnownConversionsAndShowsTheRestAsWritten)
{
    struct Case {
        const char* format;
        std::initializer_list<FormatArg> args;
        const char* expected;
    };
    const Case cases[] = {
        {"Add PDF File:%s", {"/home/u/a b.pdf"}, "Add PDF File:/home/u/a b.pdf"},
        {"Version:%d.%02d\nBuild:%d", {1, 5, 42}, "Version:1.05\nBuild:42"},
        {"Download remote file %s failed, error code: HTTP %d!",
         {"http://h/v.ini", 404},
         "Download remote file http://h/v.ini failed, error code: HTTP 404!"},
        {"100%% and %d%%", {7}, "100% and 7%"},
        {"%s and %s", {"one"}, "one and %s"},         // too few arguments
        {"%d", {"text"}, "%d"},                        // argument of another kind
        {"%s", {12}, "%s"},
        {"%n%p%f", {1, 2, 3}, "%n%p%f"},               // never filled
        {"%ls|%-5s|%5s|", {"w", "ab", "cd"}, "w|ab   |   cd|"},
        {"%05d|%5d|%x|%X|%u", {-42, 7, 255, 255, -1}, "-0042|    7|ff|FF|4294967295"},
        {"%.2s", {"abcdef"}, "ab"},
        {"ends with %", {}, "ends with %"},
        {"%S", {"wide"}, "wide"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatText(QString::fromUtf8(c.format), c.args), QString::fromUtf8(c.expected)) << c.format;
}

TEST(FormatText, WidthFromTheTextIsBounded)
{
    EXPECT_EQ(FormatText(QStringLiteral("%99999999999d"), {1}).size(), 999);
}

} // namespace
