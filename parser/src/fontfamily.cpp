// The family names of fonts, as word processors know them, from what a PDF
// gives: the font program's own family name or the PostScript name; and
// the names of its glyphs.
#include "internal.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace parser_detail {

namespace {

bool EndsWith(const std::string& s, const char* tail)
{
    const std::string t(tail);
    return s.size() > t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// "Arial-BoldMT" -> "Arial", "Arial,Bold" -> "Arial", "TimesNewRomanPSMT"
// -> "TimesNewRoman": the PostScript style after the first "-" or ",", then
// the vendor's suffix.
std::string FamilyFromPostScriptName(std::string name)
{
    const std::size_t style = name.find_first_of("-,");
    if (style != std::string::npos && style > 0)
        name.erase(style);
    for (const char* suffix : {"PSMT", "MT", "PS"}) {
        if (EndsWith(name, suffix)) {
            name.erase(name.size() - std::char_traits<char>::length(suffix));
            break;
        }
    }
    return name;
}

} // namespace

std::string FontFamilyOf(fz_context* ctx, fz_font* font, const std::string& name)
{
    // TrueType and OpenType programs carry the family name in their name
    // table; Type 1 and bare CFF programs often give only the PostScript
    // name (or a family shared by faces of different kinds), so theirs is
    // taken from the name.
    auto* face = font ? static_cast<FT_Face>(fz_font_ft_face(ctx, font)) : nullptr;
    if (face && FT_IS_SFNT(face) && face->family_name && *face->family_name) {
        std::string family = face->family_name;
        // Subset programs sometimes carry the subset name as their family.
        const std::size_t plus = family.find('+');
        if (plus == 6)
            family.erase(0, 7);
        if (!family.empty() && family.find_first_of("-,") == std::string::npos)
            return family;
    }
    const std::string family = FamilyFromPostScriptName(name);
    return family.empty() ? name : family;
}

bool GlyphNamed(fz_context* ctx, fz_font* font, int gid, const char* name)
{
    auto* face = font ? static_cast<FT_Face>(fz_font_ft_face(ctx, font)) : nullptr;
    if (!face || gid < 0 || !FT_HAS_GLYPH_NAMES(face))
        return false;
    // The face belongs to this parser's document, which one thread uses at
    // a time; reading a glyph name changes nothing in the library.
    char buf[64] = {0};
    const FT_Error err = FT_Get_Glyph_Name(face, static_cast<FT_UInt>(gid), buf, sizeof buf);
    return err == 0 && std::strcmp(buf, name) == 0;
}

namespace {

struct NamedChar {
    const char* name;
    int ucs;
};

// Glyph names of TeX's math extension fonts that the Adobe glyph list does
// not know: the sizes of the big delimiters and operators (a base name below
// followed by one of kSizeSuffixes), sorted by name.
const NamedChar kSizedGlyphs[] = {
    {"angbracketleft", 0x27E8}, {"angbracketright", 0x27E9}, {"backslash", '\\'},
    {"braceleft", '{'},         {"braceright", '}'},         {"bracketleft", '['},
    {"bracketright", ']'},      {"ceilingleft", 0x2308},     {"ceilingright", 0x2309},
    {"circledot", 0x2A00},      {"circlemultiply", 0x2A02},  {"circleplus", 0x2A01},
    {"contintegral", 0x222E},   {"coproduct", 0x2210},       {"floorleft", 0x230A},
    {"floorright", 0x230B},     {"integral", 0x222B},        {"intersection", 0x22C2},
    {"logicaland", 0x22C0},     {"logicalor", 0x22C1},       {"parenleft", '('},
    {"parenright", ')'},        {"product", 0x220F},         {"radical", 0x221A},
    {"slash", '/'},             {"summation", 0x2211},       {"union", 0x22C3},
    {"unionmulti", 0x2A04},     {"unionsq", 0x2A06},
};
const char* const kSizeSuffixes[] = {"bigg", "Bigg", "big", "Big", "display", "text"};

// The pieces that tall delimiters and integrals are built of (TeX's and the
// Symbol font's names, which the Adobe glyph list maps into the private use
// area), and the vertical bars, sorted by name.
const NamedChar kPieceGlyphs[] = {
    {"braceex", 0x23AA},        {"braceleftbt", 0x23A9},    {"braceleftmid", 0x23A8},
    {"bracelefttp", 0x23A7},    {"bracerightbt", 0x23AD},   {"bracerightmid", 0x23AC},
    {"bracerighttp", 0x23AB},   {"bracketleftbt", 0x23A3},  {"bracketleftex", 0x23A2},
    {"bracketlefttp", 0x23A1},  {"bracketrightbt", 0x23A6}, {"bracketrightex", 0x23A5},
    {"bracketrighttp", 0x23A4}, {"integralbt", 0x2321},     {"integralex", 0x23AE},
    {"integraltp", 0x2320},     {"parenleftbt", 0x239D},    {"parenleftex", 0x239C},
    {"parenlefttp", 0x239B},    {"parenrightbt", 0x23A0},   {"parenrightex", 0x239F},
    {"parenrighttp", 0x239E},   {"radicalbt", 0x221A},      {"vextenddouble", 0x2225},
    {"vextendsingle", 0x2223},
};

int Lookup(const NamedChar* begin, const NamedChar* end, std::string_view name)
{
    const NamedChar* it = std::lower_bound(
        begin, end, name, [](const NamedChar& c, std::string_view n) { return c.name < n; });
    return it != end && it->name == name ? it->ucs : 0;
}

int CharOfGlyphName(std::string_view name)
{
    if (const int ucs = Lookup(std::begin(kPieceGlyphs), std::end(kPieceGlyphs), name))
        return ucs;
    for (const char* suffix : kSizeSuffixes) {
        const std::string_view tail(suffix);
        if (name.size() > tail.size() && name.substr(name.size() - tail.size()) == tail)
            return Lookup(std::begin(kSizedGlyphs), std::end(kSizedGlyphs),
                          name.substr(0, name.size() - tail.size()));
    }
    return 0;
}

} // namespace

std::unordered_map<int, int> NamedGlyphChars(fz_context* ctx, fz_font* font)
{
    std::unordered_map<int, int> chars;
    auto* face = font ? static_cast<FT_Face>(fz_font_ft_face(ctx, font)) : nullptr;
    // Such names come in Type 1 and bare CFF programs; the glyph names of
    // TrueType and OpenType programs are not read.
    if (!face || FT_IS_SFNT(face) || !FT_HAS_GLYPH_NAMES(face))
        return chars;
    char buf[64];
    for (FT_Long gid = 0; gid < face->num_glyphs; ++gid) {
        buf[0] = 0;
        if (FT_Get_Glyph_Name(face, static_cast<FT_UInt>(gid), buf, sizeof buf) != 0)
            continue;
        if (const int ucs = CharOfGlyphName(buf))
            chars.emplace(static_cast<int>(gid), ucs);
    }
    return chars;
}

} // namespace parser_detail
