// Classes of the characters of page text, as the word building needs them.
#pragma once

namespace parser_detail {

inline bool IsSpace(int ucs)
{
    if (ucs > 0x20 && ucs < 0x7F)
        return false;
    return ucs == 0x20 || ucs == 0x09 || ucs == 0x0A || ucs == 0x0D || ucs == 0x0B ||
           ucs == 0x0C || ucs == 0xA0 || ucs == 0x1680 || (ucs >= 0x2000 && ucs <= 0x200B) ||
           ucs == 0x2028 || ucs == 0x2029 || ucs == 0x202F || ucs == 0x205F || ucs == 0x3000 ||
           ucs == 0xFEFF;
}

// Chinese, Japanese and Korean characters: ideographs, kana, hangul, their
// punctuation and the full-width forms. They are set without spaces.
inline bool IsCjk(int ucs)
{
    return (ucs >= 0x1100 && ucs <= 0x11FF) || (ucs >= 0x2E80 && ucs <= 0x2FFF) ||
           (ucs >= 0x3000 && ucs <= 0x9FFF) || (ucs >= 0xA960 && ucs <= 0xA97F) ||
           (ucs >= 0xAC00 && ucs <= 0xD7FF) || (ucs >= 0xF900 && ucs <= 0xFAFF) ||
           (ucs >= 0xFE30 && ucs <= 0xFE4F) || (ucs >= 0xFF00 && ucs <= 0xFFEF) ||
           (ucs >= 0x20000 && ucs <= 0x3FFFF);
}

inline bool IsControl(int ucs) { return (ucs >= 0 && ucs < 0x20) || (ucs >= 0x7F && ucs < 0xA0); }

// Neither a space nor a control character: the common case of a glyph that
// belongs to a word.
inline bool IsWordChar(int ucs)
{
    if (ucs > 0x20 && ucs < 0x7F)
        return true;
    return !IsSpace(ucs) && !IsControl(ucs);
}

// The combining mark that an accent glyph stands for: a spacing accent
// (acute, grave, circumflex, tilde, macron, breve, dot, dieresis, ring,
// double acute, caron, cedilla, ogonek) gives its combining form, a
// combining mark itself; 0 for every other character.
inline int CombiningMarkOf(int ucs)
{
    if ((ucs >= 0x0300 && ucs <= 0x036F) || (ucs >= 0x20D0 && ucs <= 0x20FF))
        return ucs;
    switch (ucs) {
    case 0x0060: return 0x0300;
    case 0x00B4: return 0x0301;
    case 0x02C6: case 0x005E: return 0x0302;
    case 0x02DC: case 0x007E: return 0x0303;
    case 0x00AF: case 0x02C9: return 0x0304;
    case 0x02D8: return 0x0306;
    case 0x02D9: return 0x0307;
    case 0x00A8: return 0x0308;
    case 0x02DA: return 0x030A;
    case 0x02DD: return 0x030B;
    case 0x02C7: return 0x030C;
    case 0x00B8: return 0x0327;
    case 0x02DB: return 0x0328;
    default: return 0;
    }
}

// A letter an accent can sit on.
inline bool IsAccentBase(int ucs)
{
    if (ucs < 0x80)
        return (ucs >= 'A' && ucs <= 'Z') || (ucs >= 'a' && ucs <= 'z');
    return ucs >= 0xC0 && ucs != 0xD7 && ucs != 0xF7 && CombiningMarkOf(ucs) == 0 &&
           !IsSpace(ucs) && !IsCjk(ucs) && !(ucs >= 0x2000 && ucs <= 0x2BFF);
}

// The character that `base` and the combining `mark` make together (the
// canonical composition, such as "=" and a long solidus making "≠"); 0 when
// they make none. A dotless i or j under a
// mark above is the plain letter, as TeX draws "\"\i"; c and r in an
// enclosing circle are the copyright and registered signs.
int ComposeAccent(int base, int mark);

} // namespace parser_detail
