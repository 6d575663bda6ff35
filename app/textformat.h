// Filling the printf-style conversions of a text that may come from a
// language file. The text is data, never a format for printf: each "%s",
// "%d", "%02d", "%x" ... takes the next argument, shown as its kind allows;
// a conversion without an argument of a fitting kind, or one this helper does
// not know, stays in the text as written. "%%" is one "%".
#pragma once

#include <QString>

#include <initializer_list>
#include <variant>

struct FormatArg {
    FormatArg(const QString& s) : value(s) {}
    FormatArg(const char* s) : value(QString::fromUtf8(s)) {}
    FormatArg(int v) : value(static_cast<long long>(v)) {}
    FormatArg(unsigned v) : value(static_cast<long long>(v)) {}
    FormatArg(long v) : value(static_cast<long long>(v)) {}
    FormatArg(long long v) : value(v) {}

    std::variant<QString, long long> value;
};

QString FormatText(const QString& format, std::initializer_list<FormatArg> args);
