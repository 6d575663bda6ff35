// The parser's one UTF-8 codec: wide strings (UTF-32 on Linux) of the public
// interface to and from the UTF-8 that MuPDF and the file system take, and
// the characters of page text as they are appended to a word. Nothing here
// depends on the process locale.
#pragma once

#include <string>
#include <string_view>

namespace parser_detail {

// Appends one code point. Negative values add nothing; surrogates and values
// beyond U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, int codePoint);

// Wide to UTF-8, each character as AppendUtf8 writes it.
std::string ToUtf8(std::wstring_view wide);

// UTF-8 to wide. Every malformed, overlong or out-of-range sequence becomes
// one U+FFFD and decoding resumes at the next byte.
std::wstring FromUtf8(std::string_view text);

} // namespace parser_detail
