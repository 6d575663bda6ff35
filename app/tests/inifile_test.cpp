// The INI reader's profile rules and the writer's round trip.
#include "app/inifile.h"

#include <gtest/gtest.h>

namespace {

TEST(IniFile, ReadsByTheProfileRules)
{
    const std::string text = "\xEF\xBB\xBF"
                             "ignored=before any section\r\n"
                             "[General]\r\n"
                             "  language  =  English  \r\n"
                             "; a comment=not a key\n"
                             "no equals sign here\n"
                             "Language=second of the same name\n"
                             "[ STRING ]\n"
                             "1=\"  quoted keeps its spaces  \"\n"
                             "2='single'\n"
                             "3=\"only at the start\n"
                             "4=a,b,c\n"
                             "5=\\n stays two characters\n"
                             "6=\n"
                             "7=x=y\n"
                             "[string]\n"
                             "8=in the second section of that name\n";
    const ini::Document doc = ini::Document::Parse(text);

    struct Case {
        const char* section;
        const char* key;
        const char* value; // null: not found
    } cases[] = {
        {"General", "ignored", nullptr},
        {"general", "LANGUAGE", "English"},
        {"General", "; a comment", nullptr},
        {"STRING", "1", "  quoted keeps its spaces  "},
        {"STRING", "2", "single"},
        {"STRING", "3", "\"only at the start"},
        {"STRING", "4", "a,b,c"},
        {"STRING", "5", "\\n stays two characters"},
        {"STRING", "6", ""},
        {"STRING", "7", "x=y"},
        {"STRING", "8", nullptr},
        {"MENU", "1", nullptr},
    };
    for (const Case& c : cases) {
        const std::string* v = doc.Find(c.section, c.key);
        if (!c.value) {
            EXPECT_EQ(v, nullptr) << c.section << "/" << c.key;
        } else {
            ASSERT_NE(v, nullptr) << c.section << "/" << c.key;
            EXPECT_EQ(*v, c.value) << c.section << "/" << c.key;
        }
    }
}

TEST(IniFile, EveryValueSetComesBackAfterSerializing)
{
    const std::string values[] = {"",          "plain",        "  outer spaces  ", "\"both quoted\"",
                                  "'single'",  "\"",           "a=b;c",            "[not a section]",
                                  "; comment", "tab\tinside",  "ünïcödé 中文 😀",   std::string(3000, 'x')};
    ini::Document doc;
    for (std::size_t i = 0; i < std::size(values); ++i)
        doc.Set("Settings", "k" + std::to_string(i), values[i]);
    doc.Set("settings", "K0", "replaced"); // same key, other case
    doc.Set("Other", "k0", "kept apart");

    const ini::Document back = ini::Document::Parse(doc.Serialize());
    ASSERT_EQ(back.Sections().size(), 2u);
    EXPECT_EQ(*back.Find("Settings", "k0"), "replaced");
    EXPECT_EQ(*back.Find("Other", "k0"), "kept apart");
    for (std::size_t i = 1; i < std::size(values); ++i) {
        const std::string* v = back.Find("Settings", "k" + std::to_string(i));
        ASSERT_NE(v, nullptr) << i;
        EXPECT_EQ(*v, values[i]) << i;
    }
}

} // namespace
