// Conversion between the wide strings of the engine's interfaces (UTF-32 on
// Linux) and UTF-8, which every file-system call and every library below us
// receives. The conversion never depends on the process locale, so paths with
// non-ASCII names work under LANG=C.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace utf8 {

// Wide (UTF-32) to UTF-8. Surrogates and values beyond U+10FFFF become U+FFFD.
inline std::string FromWide(std::wstring_view w)
{
    std::string out;
    out.reserve(w.size());
    for (wchar_t wc : w) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// UTF-8 to wide. Every malformed or overlong sequence becomes one U+FFFD and
// decoding resumes at the next byte.
inline std::wstring ToWide(std::string_view s)
{
    std::wstring out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        std::uint32_t c = 0;
        std::size_t len = 0;
        std::uint32_t min = 0;
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F; len = 2; min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F; len = 3; min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07; len = 4; min = 0x10000;
        } else {
            out.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        bool ok = i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        i += len;
    }
    return out;
}

// Wide text to UTF-16, characters beyond the Basic Multilingual Plane as
// surrogate pairs; values that are no character (surrogates, beyond
// U+10FFFF) become U+FFFD. With `keep`, characters it refuses are left out.
inline std::u16string WideToUtf16(std::wstring_view wide, bool (*keep)(char32_t) = nullptr)
{
    std::u16string out;
    out.reserve(wide.size());
    for (wchar_t wc : wide) {
        auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (keep && !keep(c))
            continue;
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

// UTF-8 to UTF-16; malformed sequences become U+FFFD as in ToWide.
inline std::u16string ToUtf16(std::string_view s)
{
    return WideToUtf16(ToWide(s));
}

// A file-system path from a wide string, built from its UTF-8 bytes so that
// the locale plays no part.
inline std::filesystem::path Path(std::wstring_view w)
{
    return std::filesystem::path(FromWide(w));
}

} // namespace utf8
