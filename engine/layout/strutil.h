// Number-to-text and text-splitting helpers. Their exact output is part of
// several file formats (file names such as 1.html and Page3_2.jpg, CSS values,
// colour attributes), so each format is fixed here.
#pragma once

#include <string>
#include <vector>

std::string int2str(int value);
// Decimal digits of a value of 0 or more ("0" for 0); callers pass no
// negative values, which are printed with a sign like int2str.
std::wstring int2wstr(int value);

// atoi-style readers: leading white space, optional sign, leading digits;
// 0 when there are none. Values outside the int range saturate.
int str2int(const char* text);
int wstr2int(const wchar_t* text);

// General notation with 6 significant digits, as a default-configured
// string stream prints it (12.0 -> "12", 1/3 -> "0.333333").
std::string double2str(double value);

// Six lowercase hex digits (red, green, blue), each channel 0..1 scaled by
// 255, truncated and clamped; no "#".
std::string double2rgbstring(const double (&rgb)[3]);

// Replaces every occurrence of `from`, left to right; the search resumes behind
// the inserted text. An empty `from` leaves the text unchanged.
std::string& replace_all_distinct(std::string& text, const std::string& from,
                                  const std::string& to);

// Splits `text` at every `delim`; empty pieces come back as `empty`. The result
// has one element more than `text` has delimiters. Throws the text
// "split:empty string" (as const char*) when `text` or `delim` is empty.
std::vector<std::string> split(const std::string& text, const std::string& delim,
                               const std::string& empty);
std::vector<std::wstring> w_split(const std::wstring& text, const std::wstring& delim,
                                  const std::wstring& empty);
