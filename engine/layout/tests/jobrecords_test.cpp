#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"

#include <gtest/gtest.h>

namespace {

using Pages = std::vector<int>;

struct RangeCase {
    const char* text;
    int pageCount;       // the caller's `last` on entry
    Pages pages;
    int first, last;
    bool keyword;
};

Basedata_w Convert(const std::string& text, int pageCount, bool* keyword = nullptr)
{
    exportdata_w in;
    in.type = "3";
    in.range = utf8::ToWide(text);
    Basedata_w out;
    out.last = pageCount;
    const bool k = exportdata2basedata_w(&out, &in);
    if (keyword)
        *keyword = k;
    return out;
}

TEST(PageSelection, RangeGrammar)
{
    const RangeCase cases[] = {
        // keywords
        {"All", 7, {}, 0, 0, true},
        {"Odd", 5, {0, 2, 4}, 0, 5, true},
        {"Even", 5, {1, 3}, 0, 5, true},
        {"Odd", 2, {0}, 0, 2, true},
        {"Even", 2, {1}, 0, 2, true},
        {"Odd", 1, {0}, 0, 1, true},
        // selections that name no page select nothing: never the whole range
        {"Even", 1, {-1}, 0, 1, true},
        {"Odd", 0, {-1}, 0, 0, true},
        {"3-1", 3, {-1}, 0, 3, false},
        {"5-3", 9, {-1}, 0, 9, false},
        {",", 3, {-1}, 0, 3, false},
        {"3-", 3, {-1}, 0, 3, false},
        {"0", 3, {-1}, 0, 3, false},
        {"", 3, {-1}, 0, 3, false},
        {"garbage", 3, {-1}, 0, 3, false},
        {"all", 3, {-1}, 0, 3, false},
        {" All", 3, {-1}, 0, 3, false},
        // numbers, lists and ranges
        {"1,3-5,8", 10, {0, 2, 3, 4, 7}, 0, 10, false},
        {"2,,4,", 10, {1, 3}, 0, 10, false},
        {"-", 3, {-1}, 0, 3, false},
        {"-3", 3, {-1, 0, 1, 2}, 0, 3, false},
        {"1, 3 - 4", 10, {0, 2, 3}, 0, 10, false},
        {"1-3-5", 10, {0, 1, 2}, 0, 10, false},
        {"5-9", 3, {4, 5, 6, 7, 8}, 0, 3, false},   // beyond the document: consumers skip them
        {"2", 3, {1}, 0, 3, false},
        {"3,1,3", 3, {2, 0, 2}, 0, 3, false},
    };
    for (const RangeCase& c : cases) {
        bool keyword = false;
        const Basedata_w out = Convert(c.text, c.pageCount, &keyword);
        EXPECT_EQ(out.pages, c.pages) << '"' << c.text << "\" on " << c.pageCount;
        EXPECT_EQ(out.first, c.first) << c.text;
        EXPECT_EQ(out.last, c.last) << c.text;
        EXPECT_EQ(keyword, c.keyword) << c.text;
    }
}

TEST(PageSelection, HugeRangeStaysBounded)
{
    // One huge range, and a list of many ranges that each stay below the
    // bound but together pass it many times over.
    std::string many;
    for (int k = 0; k < 64; ++k)
        many += (k ? "," : "") + std::string("1-4000000");
    for (const std::string& text : {std::string("1-2147483647"), many}) {
        const Basedata_w out = Convert(text, 3);
        ASSERT_FALSE(out.pages.empty());
        EXPECT_LE(out.pages.size(), 1u << 22) << text.substr(0, 20);
        EXPECT_EQ(out.pages.front(), 0);
    }
}

TEST(PageSelection, ListAppendsToExistingPages)
{
    exportdata_w in;
    in.range = L"2";
    Basedata_w out;
    out.pages = {9};
    out.last = 5;
    exportdata2basedata_w(&out, &in);
    EXPECT_EQ(out.pages, (Pages{9, 1}));
}

TEST(PageSelection, FieldsAreCopied)
{
    static const wchar_t pw[] = L"sécret";
    exportdata_w in;
    in.type = "6";
    in.source = L"/in/Grüße.pdf";
    in.dest = L"/out";
    in.range = L"All";
    in.epubIgnoreImg = true;
    in.convertKind = true;
    in.htmlIgnoreImg = true;
    in.imgExtract = true;
    in.imgHighRes = 1;
    in.exePath = L"/opt/app";
    in.wordOp.bOpenPassword = true;
    in.wordOp.openPassword = pw;
    in.enableOCR = true;
    in.ocrMode = 2;
    in.password = "pdfpw";
    Basedata_w out;
    out.last = 4;
    EXPECT_TRUE(exportdata2basedata_w(&out, &in));
    EXPECT_EQ(out.type, 6);
    EXPECT_EQ(out.source, in.source);
    EXPECT_EQ(out.dest, in.dest);
    EXPECT_TRUE(out.epubIgnoreImg && out.convertKind && out.htmlIgnoreImg && out.imgExtract);
    EXPECT_EQ(out.imgHighRes, 1);
    EXPECT_EQ(out.exePath, in.exePath);
    EXPECT_TRUE(out.wordOp.bOpenPassword);
    EXPECT_EQ(out.wordOp.openPassword, pw);
    EXPECT_TRUE(out.enableOCR);
    EXPECT_EQ(out.ocrMode, 2);
    EXPECT_EQ(out.password, "pdfpw");

    in.type = "x";
    Basedata_w bad;
    exportdata2basedata_w(&bad, &in);
    EXPECT_EQ(bad.type, 0);
}

TEST(PageSelection, NarrowTwin)
{
    struct Case { const char* text; Pages pages; bool keyword; };
    const Case cases[] = {
        {"All Pages", {}, true},
        {"All", {-1}, false},
        {"Odd", {-1}, false},
        {"1,3-5,8", {0, 2, 3, 4, 7}, false},
        {"4", {3}, false},
    };
    for (const Case& c : cases) {
        exportdata in;
        in.type = "1";
        in.range = c.text;
        in.imgHighRes = 1;
        Basedata out;
        out.last = 10;
        EXPECT_EQ(exportdata2basedata(&out, &in), c.keyword) << c.text;
        EXPECT_EQ(out.pages, c.pages) << c.text;
        EXPECT_EQ(out.imgHighRes, 0) << "the narrow form does not copy imgHighRes";
    }
}

} // namespace
