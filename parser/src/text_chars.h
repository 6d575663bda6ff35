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

} // namespace parser_detail
