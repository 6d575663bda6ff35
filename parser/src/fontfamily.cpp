// The family names of fonts, as word processors know them, from what a PDF
// gives: the font program's own family name or the PostScript name; and
// the names of its glyphs.
#include "internal.h"

#include <cstring>

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

} // namespace parser_detail
