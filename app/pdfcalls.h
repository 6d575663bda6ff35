// The PDF parser library's answers as the desktop program asks for them when
// it lists files: whether a file needs a password, and its page count when
// the program's own page counter gives up. Each call loads the file into a
// parser object of its own and frees it before returning; a file the library
// cannot read is an answer, never an exception.
#pragma once

#include <QString>

#include <string>

enum class PdfProtection { Open, NeedsPassword, Unreadable };

PdfProtection PdfPasswordCheck(const QString& path);

// The page count, with the password when the file needs one; -1 when the
// library cannot load the file with it.
int ParserPageCount(const QString& path, const std::string& password = std::string());
