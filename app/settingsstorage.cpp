#include "app/settingsstorage.h"

#include "app/folders.h"
#include "engine/layout/fileutil.h"

#include <QFile>
#include <QStandardPaths>

#include <climits>

namespace {

const std::string kSection = "Settings";

QString Escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString Unescape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar n = text[i + 1];
            if (n == u'\\' || n == u'n' || n == u'r') {
                out += n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : QChar(u'\\');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string FileName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

bool ParseStoredInt(const QString& text, int& value)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = t.startsWith(u'-');
    if (negative || t.startsWith(u'+'))
        i = 1;
    if (i >= t.size())
        return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9')
            return false;
        v = v * 10 + (t[i].unicode() - u'0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool CSettingsStorageMemory::NameLess::operator()(const std::string& a, const std::string& b) const
{
    return ini::NameBefore(a, b);
}

bool CSettingsStorageMemory::ExchangeString(const char* name, QString& text, bool saving)
{
    if (saving) {
        values[name] = text;
        return true;
    }
    const auto it = values.find(name);
    if (it == values.end())
        return false;
    text = it->second;
    return true;
}

bool CSettingsStorageMemory::ExchangeInt(const char* name, int& value, bool saving)
{
    if (saving) {
        values[name] = QString::number(value);
        return true;
    }
    const auto it = values.find(name);
    return it != values.end() && ParseStoredInt(it->second, value);
}

CSettingsStorageIni::CSettingsStorageIni(const QString& path) : path_(path) {}

QString CSettingsStorageIni::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Brontix/Folvane RAD Ozizedori.ini");
}

bool CSettingsStorageIni::BeginLoad()
{
    std::string bytes;
    open_ = ReadWholeFile(FileName(path_), bytes);
    doc_ = ini::Document::Parse(bytes);
    return open_;
}

bool CSettingsStorageIni::EndLoad()
{
    open_ = false;
    return true;
}

bool CSettingsStorageIni::BeginSave()
{
    std::string bytes;
    ReadWholeFile(FileName(path_), bytes);
    doc_ = ini::Document::Parse(bytes);
    open_ = true;
    return true;
}

bool CSettingsStorageIni::EndSave()
{
    if (!open_)
        return true;
    open_ = false;
    QString folder;
    if (GetFolderFromPath(folder, path_))
        CreateFolderTree(folder);
    const std::string text = doc_.Serialize();
    return WriteFileReplacing(FileName(path_), text.data(), text.size(), 0600);
}

bool CSettingsStorageIni::ExchangeString(const char* name, QString& text, bool saving)
{
    if (!open_)
        return false;
    if (saving) {
        doc_.Set(kSection, name, Escape(text).toStdString());
        return true;
    }
    const std::string* v = doc_.Find(kSection, name);
    if (!v)
        return false;
    text = Unescape(QString::fromStdString(*v));
    return true;
}

bool CSettingsStorageIni::ExchangeInt(const char* name, int& value, bool saving)
{
    if (!open_)
        return false;
    if (saving) {
        doc_.Set(kSection, name, std::to_string(value));
        return true;
    }
    const std::string* v = doc_.Find(kSection, name);
    return v && ParseStoredInt(QString::fromStdString(*v), value);
}
