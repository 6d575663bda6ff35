// Font metrics of the page walk: a font's name, style, ascent and descent,
// worked out once per document, and the advances of its glyphs.
#include "internal.h"
#include "mupdf_safe.h"
#include "text_chars.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace parser_detail {
namespace {

bool ContainsNoCase(const std::string& hay, const char* needle)
{
    const std::size_t n = std::strlen(needle);
    if (n == 0 || hay.size() < n)
        return false;
    for (std::size_t i = 0; i + n <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < n && std::tolower(static_cast<unsigned char>(hay[i + k])) ==
                            std::tolower(static_cast<unsigned char>(needle[k])))
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

} // namespace

FontInfo& FontTable::Info(fz_font* font)
{
    auto it = fonts.find(font);
    if (it != fonts.end())
        return it->second;
    FontInfo info;
    const char* raw = fz_font_name(ctx, font);
    std::string name = raw ? raw : "";
    const std::size_t plus = name.find('+');
    if (plus == 6)
        name.erase(0, 7);
    info.family = FontFamilyOf(ctx, font, name);
    info.fixedPitch = fz_font_is_monospaced(ctx, font);
    info.serif = fz_font_is_serif(ctx, font);
    info.name = name;
    info.bold = fz_font_is_bold(ctx, font) || ContainsNoCase(name, "bold") ||
                ContainsNoCase(name, "black") || ContainsNoCase(name, "heavy") ||
                ContainsNoCase(name, "semibold") || ContainsNoCase(name, "demi");
    info.italic = fz_font_is_italic(ctx, font) || ContainsNoCase(name, "italic") ||
                  ContainsNoCase(name, "oblique");
    SafeAscDesc(ctx, font, &info.asc, &info.desc);
    info.namedChars = NamedGlyphChars(ctx, font);
    auto res = fonts.emplace(fz_keep_font(ctx, font), std::move(info));
    return res.first->second;
}

float FontTable::MeasureAdvance(FontInfo& info, fz_font* font, int gid, int wmode)
{
    if (gid < 0 || gid > 0x10FFFF)
        return 0.0f;
    auto& cache = info.advance[wmode];
    if (static_cast<std::size_t>(gid) >= cache.size())
        cache.resize(static_cast<std::size_t>(gid) + 1, std::nanf(""));
    float& a = cache[static_cast<std::size_t>(gid)];
    if (std::isnan(a))
        a = SafeAdvance(ctx, font, gid, wmode);
    return a;
}

float NoWidthAdvance(fz_font* font, int gid, float step, int ucs)
{
    if (font->width_table && gid >= 0 && gid < font->width_count &&
        font->width_table[gid] > 0)
        return font->width_table[gid] / 1000.0f;
    if (step > 0.0f && step <= 1.2f)
        return step;
    return IsCjk(ucs) ? 1.0f : 0.0f;
}

} // namespace parser_detail
