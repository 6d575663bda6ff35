#include "app/textformat.h"

namespace {

// One conversion: flags, width and precision as printf reads them.
struct Conversion {
    bool left = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    QChar type;
    qsizetype end = 0; // index after the conversion character
};

// Reads the conversion that starts at format[start] == '%'. False when the
// text there is no conversion this helper knows.
bool ReadConversion(const QString& format, qsizetype start, Conversion& c)
{
    qsizetype i = start + 1;
    const qsizetype n = format.size();
    for (; i < n; ++i) {
        const QChar f = format[i];
        if (f == u'-')
            c.left = true;
        else if (f == u'0')
            c.zero = true;
        else if (f != u'+' && f != u' ' && f != u'#')
            break;
    }
    // Widths and precisions are capped: they come from the text.
    for (; i < n && format[i].isDigit(); ++i)
        c.width = std::min(c.width * 10 + format[i].digitValue(), 999);
    if (i < n && format[i] == u'.') {
        c.precision = 0;
        for (++i; i < n && format[i].isDigit(); ++i)
            c.precision = std::min(c.precision * 10 + format[i].digitValue(), 999);
    }
    while (i < n && (format[i] == u'l' || format[i] == u'h' || format[i] == u'I' || format[i] == u'6' ||
                     format[i] == u'4'))
        ++i;
    if (i >= n)
        return false;
    c.type = format[i];
    c.end = i + 1;
    return QStringLiteral("sSdiuxX").contains(c.type);
}

} // namespace

QString FormatText(const QString& format, std::initializer_list<FormatArg> args)
{
    QString out;
    auto next = args.begin();
    qsizetype i = 0;
    const qsizetype n = format.size();
    while (i < n) {
        const qsizetype pct = format.indexOf(u'%', i);
        if (pct < 0) {
            out += QStringView(format).mid(i);
            break;
        }
        out += QStringView(format).mid(i, pct - i);
        if (pct + 1 < n && format[pct + 1] == u'%') {
            out += u'%';
            i = pct + 2;
            continue;
        }
        Conversion c;
        const bool known = ReadConversion(format, pct, c);
        const bool isText = known && (c.type == u's' || c.type == u'S');
        const bool fits = known && next != args.end() &&
                          (isText ? std::holds_alternative<QString>(next->value)
                                  : std::holds_alternative<long long>(next->value));
        if (!fits) {
            // Shown as written: the '%' and, for a known conversion, the rest
            // of it.
            const qsizetype end = known ? c.end : pct + 1;
            out += QStringView(format).mid(pct, end - pct);
            i = end;
            continue;
        }
        QString piece;
        QChar pad = u' ';
        if (isText) {
            piece = std::get<QString>(next->value);
            if (c.precision >= 0)
                piece.truncate(c.precision);
        } else {
            const long long v = std::get<long long>(next->value);
            if (c.type == u'x' || c.type == u'X') {
                piece = QString::number(static_cast<unsigned long long>(v) & 0xFFFFFFFFull, 16);
                if (c.type == u'X')
                    piece = piece.toUpper();
            } else if (c.type == u'u') {
                piece = QString::number(static_cast<unsigned long long>(v) & 0xFFFFFFFFull);
            } else {
                piece = QString::number(v);
            }
            if (c.zero && !c.left)
                pad = u'0';
        }
        if (piece.size() < c.width) {
            const QString fill(c.width - piece.size(), pad);
            if (c.left)
                piece += fill;
            else if (pad == u'0' && piece.startsWith(u'-'))
                piece = u'-' + fill + piece.mid(1);
            else
                piece = fill + piece;
        }
        out += piece;
        ++next;
        i = c.end;
    }
    return out;
}
