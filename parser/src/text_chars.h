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

// Non-spacing marks of the right-to-left scripts (Hebrew points and
// cantillation, Arabic harakat and Quranic marks, Syriac, Thaana and N'Ko
// marks). Shaping engines draw such a mark as a glyph of its own, before
// the letter it sits on in the left-to-right drawing order, and often to
// one side of where that letter begins.
inline bool IsRtlMark(int ucs)
{
    if (ucs < 0x0591 || ucs > 0xFB1E)
        return false;
    return (ucs <= 0x05BD) || ucs == 0x05BF || ucs == 0x05C1 || ucs == 0x05C2 ||
           ucs == 0x05C4 || ucs == 0x05C5 || ucs == 0x05C7 || (ucs >= 0x0610 && ucs <= 0x061A) ||
           (ucs >= 0x064B && ucs <= 0x065F) || ucs == 0x0670 ||
           (ucs >= 0x06D6 && ucs <= 0x06DC) || (ucs >= 0x06DF && ucs <= 0x06E4) ||
           ucs == 0x06E7 || ucs == 0x06E8 || (ucs >= 0x06EA && ucs <= 0x06ED) || ucs == 0x0711 ||
           (ucs >= 0x0730 && ucs <= 0x074A) || (ucs >= 0x07A6 && ucs <= 0x07B0) ||
           (ucs >= 0x07EB && ucs <= 0x07F3) || (ucs >= 0x0816 && ucs <= 0x082D) ||
           (ucs >= 0x0859 && ucs <= 0x085B) || (ucs >= 0x08D3 && ucs <= 0x08FF && ucs != 0x08E2) ||
           ucs == 0xFB1E;
}

// Digits that keep their left-to-right order inside right-to-left text:
// European and Arabic-Indic.
inline bool IsBidiDigit(int ucs)
{
    return (ucs >= '0' && ucs <= '9') || (ucs >= 0x0660 && ucs <= 0x0669) ||
           (ucs >= 0x06F0 && ucs <= 0x06F9);
}

// Letters of the right-to-left scripts (Hebrew, Arabic, Syriac, Thaana,
// N'Ko, Samaritan, Mandaic and their presentation forms): text in them is
// read from right to left.
inline bool IsRtlLetter(int ucs)
{
    const bool block = (ucs >= 0x0590 && ucs <= 0x08FF) || (ucs >= 0xFB1D && ucs <= 0xFDFF) ||
                       (ucs >= 0xFE70 && ucs <= 0xFEFE) || (ucs >= 0x10800 && ucs <= 0x10FFF) ||
                       (ucs >= 0x1E800 && ucs <= 0x1EFFF);
    return block && !IsRtlMark(ucs) && !IsBidiDigit(ucs);
}

// Letters read from left to right: every letter or ideograph that is not of
// a right-to-left script (as far as word building needs it; punctuation,
// symbols and marks are neither).
inline bool IsLtrLetter(int ucs)
{
    if (ucs < 0x80)
        return (ucs >= 'A' && ucs <= 'Z') || (ucs >= 'a' && ucs <= 'z');
    if (ucs < 0xC0 || ucs == 0xD7 || ucs == 0xF7)
        return ucs == 0xAA || ucs == 0xB5 || ucs == 0xBA;
    if ((ucs >= 0x0300 && ucs <= 0x036F) || (ucs >= 0x2000 && ucs <= 0x2BFF) ||
        (ucs >= 0x3000 && ucs <= 0x303F) || (ucs >= 0xFE00 && ucs <= 0xFE6F) ||
        (ucs >= 0xFFF0 && ucs <= 0xFFFF))
        return false;
    return !IsRtlLetter(ucs) && !IsRtlMark(ucs) && !IsBidiDigit(ucs) && !IsSpace(ucs);
}

// The combining mark that an accent glyph stands for: a spacing accent
// (acute, grave, circumflex, tilde, macron, breve, dot, dieresis, ring,
// double acute, caron, cedilla, ogonek) gives its combining form, a
// combining mark itself (also the marks of right-to-left scripts); 0 for
// every other character.
inline int CombiningMarkOf(int ucs)
{
    if ((ucs >= 0x0300 && ucs <= 0x036F) || (ucs >= 0x20D0 && ucs <= 0x20FF) || IsRtlMark(ucs))
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
