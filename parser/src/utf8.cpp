#include "utf8.h"

#include <cstdint>

namespace parser_detail {

void AppendUtf8(std::string& out, int codePoint)
{
    if (codePoint < 0)
        return;
    auto u = static_cast<std::uint32_t>(codePoint);
    if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))
        u = 0xFFFD;
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
        return;
    }
    // The lead byte carries the length; each continuation byte six bits.
    const int tail = u < 0x800 ? 1 : u < 0x10000 ? 2 : 3;
    static const unsigned char lead[4] = {0x00, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(lead[tail] | (u >> (6 * tail))));
    for (int k = tail - 1; k >= 0; --k)
        out.push_back(static_cast<char>(0x80 | ((u >> (6 * k)) & 0x3F)));
}

std::string ToUtf8(std::wstring_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide) {
        const auto u = static_cast<std::uint32_t>(c);
        AppendUtf8(out, u > 0x10FFFF ? 0xFFFD : static_cast<int>(u));
    }
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        std::size_t len = 0;
        std::uint32_t c = 0;
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        if ((b & 0xE0) == 0xC0) {
            len = 2;
            c = b & 0x1Fu;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            c = b & 0x0Fu;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            c = b & 0x07u;
        }
        bool ok = len > 0 && n - i >= len;
        for (std::size_t k = 1; ok && k < len; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (p[i + k] & 0x3Fu);
        }
        static const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || c < least[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        i += len;
    }
    return out;
}

} // namespace parser_detail
