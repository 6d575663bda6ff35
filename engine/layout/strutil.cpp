#include "engine/layout/strutil.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <sstream>

namespace {

// Digits of a 32-bit value into a small stack buffer, reversed into place.
template <typename Char>
std::basic_string<Char> IntToText(int value)
{
    Char buf[12];
    int n = 0;
    // Work on the magnitude as unsigned so INT_MIN does not overflow.
    unsigned int mag = value < 0 ? 0u - static_cast<unsigned int>(value)
                                 : static_cast<unsigned int>(value);
    do {
        buf[n++] = static_cast<Char>('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    if (value < 0)
        buf[n++] = static_cast<Char>('-');
    std::reverse(buf, buf + n);
    return std::basic_string<Char>(buf, static_cast<std::size_t>(n));
}

template <typename Char>
bool IsSpace(Char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
int TextToInt(const Char* p)
{
    if (!p)
        return 0;
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
        ++p;
    }
    if (negative)
        v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

template <typename Str>
std::vector<Str> SplitText(const Str& text, const Str& delim, const Str& empty)
{
    if (text.empty() || delim.empty())
        throw "split:empty string";
    std::vector<Str> out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(delim, pos);
        if (hit == Str::npos)
            break;
        out.push_back(hit == pos ? empty : text.substr(pos, hit - pos));
        pos = hit + delim.size();
    }
    out.push_back(pos >= text.size() ? empty : text.substr(pos));
    return out;
}

} // namespace

std::string int2str(int value)
{
    return IntToText<char>(value);
}

std::wstring int2wstr(int value)
{
    return IntToText<wchar_t>(value);
}

int str2int(const char* text)
{
    return TextToInt(text);
}

int wstr2int(const wchar_t* text)
{
    return TextToInt(text);
}

std::string double2str(double value)
{
    // The shortest of fixed and exponent notation with six significant
    // digits, as a stream writes a double, in the "C" notation whatever the
    // process locale.
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

std::string double2rgbstring(const double (&rgb)[3])
{
    static const char kHex[] = "0123456789abcdef";
    std::string text(6, '0');
    for (int i = 0; i < 3; ++i) {
        const double scaled = rgb[i] * 255.0;
        // NaN and out-of-range values clamp instead of overflowing the cast.
        int channel = 0;
        if (scaled >= 255.0)
            channel = 255;
        else if (scaled > 0.0)
            channel = static_cast<int>(scaled);
        text[2 * i] = kHex[channel >> 4];
        text[2 * i + 1] = kHex[channel & 15];
    }
    return text;
}

std::string& replace_all_distinct(std::string& text, const std::string& from,
                                  const std::string& to)
{
    if (from.empty())
        return text;
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

std::vector<std::string> split(const std::string& text, const std::string& delim,
                               const std::string& empty)
{
    return SplitText(text, delim, empty);
}

std::vector<std::wstring> w_split(const std::wstring& text, const std::wstring& delim,
                                  const std::wstring& empty)
{
    return SplitText(text, delim, empty);
}
