#include "app/language.h"

#include "app/folders.h"
#include "app/inifile.h"
#include "engine/layout/fileutil.h"

#include <QFile>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

namespace {

// Longest value a language file gives, in characters.
constexpr std::size_t kMaxValueChars = 1022;

struct LanguageState {
    std::mutex mutex;
    QString code = QStringLiteral("en");
    QString folder; // empty: the program's own
};

LanguageState& State()
{
    static LanguageState state;
    return state;
}

std::string FileName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Cuts UTF-8 text after `chars` characters.
void CutUtf8(std::string& s, std::size_t chars)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && count++ == chars) {
            s.resize(i);
            return;
        }
    }
}

std::optional<ini::Document> ReadIni(const QString& path)
{
    std::string bytes;
    if (path.isEmpty() || !ReadWholeFile(FileName(path), bytes))
        return std::nullopt;
    return ini::Document::Parse(bytes);
}

QString ValueOf(const ini::Document& doc, const QString& section, const QString& key)
{
    const std::string* v = doc.Find(section.toStdString(), key.toStdString());
    if (!v)
        return QString();
    std::string cut = *v;
    CutUtf8(cut, kMaxValueChars);
    return QString::fromStdString(cut);
}

// The raw value in the current language file.
QString CurrentValue(const QString& section, const QString& key)
{
    const std::optional<ini::Document> doc = ReadIni(GetLanguageFile());
    return doc ? ValueOf(*doc, section, key) : QString();
}

// The raw value in the English file compiled into the program.
QString BuiltInValue(const QString& section, const QString& key)
{
    static const ini::Document builtIn = [] {
        QFile f(QStringLiteral(":/folvane/lang_en.ini"));
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        return ini::Document::Parse(std::string_view(bytes.constData(), bytes.size()));
    }();
    return ValueOf(builtIn, section, key);
}

QString ConvertEscapes(QString v, LangEscapes escapes)
{
    v.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    if (escapes == LangEscapes::LineFeedAndTab)
        v.replace(QStringLiteral("\\t"), QStringLiteral("\t"));
    return v;
}

// Windows language identifiers of the locales whose sub-language is not the
// default one (primary language | 0x0400).
struct LocaleId {
    const char* locale;
    int id;
};
constexpr LocaleId kLocaleIds[] = {
    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh", 0x0804},
    {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de_LI", 0x1407}, {"en_GB", 0x0809},
    {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809}, {"en_ZA", 0x1C09},
    {"en_IN", 0x4009}, {"es_MX", 0x080A}, {"es_ES", 0x0C0A}, {"es_AR", 0x2C0A}, {"es_US", 0x540A},
    {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr_LU", 0x140C}, {"it_CH", 0x0810},
    {"nl_BE", 0x0813}, {"pt_PT", 0x0816}, {"sv_FI", 0x081D}, {"nn_NO", 0x0814}, {"nn", 0x0814},
};

// Primary language identifiers by ISO 639-1 code.
struct PrimaryId {
    const char* language;
    int id;
};
constexpr PrimaryId kPrimaryIds[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07}, {"el", 0x08},
    {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F},
    {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15},
    {"pt", 0x16}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D},
    {"th", 0x1E}, {"tr", 0x1F}, {"id", 0x21}, {"uk", 0x22}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26},
    {"lt", 0x27}, {"vi", 0x2A},
};

} // namespace

QString GetLanguageFolder()
{
    LanguageState& s = State();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.folder.isEmpty())
            return s.folder;
    }
    return GetAppFolder() + QStringLiteral("/lang");
}

void SetLanguageFolder(const QString& folder)
{
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.folder = folder;
}

QString GetCurrentLanguage()
{
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.code;
}

QString SetCurrentLanguage(const QString& languageID)
{
    if (languageID == u"auto") {
        if (!LookupSystemLanguage()) {
            LanguageState& s = State();
            std::lock_guard<std::mutex> lock(s.mutex);
            s.code = QStringLiteral("en");
        }
    } else {
        LanguageState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.code = languageID;
    }
    return GetCurrentLanguage();
}

QString GetLanguageFile()
{
    const QString code = GetCurrentLanguage();
    // The code names a file in the language folder, never one elsewhere.
    if (code.contains(u'/') || code.contains(u'\\') || code.contains(QChar(0)))
        return QString();
    return GetLanguageFolder() + QStringLiteral("/lang_") + code + QStringLiteral(".ini");
}

int SystemLanguageId()
{
    const char* locale = nullptr;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            locale = v;
            break;
        }
    }
    if (!locale)
        return 0;
    // "ll_CC.codeset@modifier": keep "ll" and "ll_CC".
    const std::string full(locale, std::strcspn(locale, ".@"));
    const std::string language = full.substr(0, full.find('_'));
    for (const LocaleId& l : kLocaleIds)
        if (full == l.locale)
            return l.id;
    for (const LocaleId& l : kLocaleIds)
        if (language == l.locale)
            return l.id;
    for (const PrimaryId& p : kPrimaryIds)
        if (language == p.language)
            return p.id | 0x0400;
    return 0;
}

bool LookupSystemLanguage()
{
    const std::optional<ini::Document> doc =
        ReadIni(GetLanguageFolder() + QStringLiteral("/language_lookup.ini"));
    if (!doc)
        return false;
    const QString key =
        QStringLiteral("0x") + QStringLiteral("%1").arg(SystemLanguageId(), 4, 16, QChar(u'0')).toUpper();
    const QString code = ValueOf(*doc, QStringLiteral("LANGUAGE"), key);
    if (code.isEmpty())
        return false;
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.code = code;
    return true;
}

QString LookupLangString(int id)
{
    return LocalizedValue(QStringLiteral("STRING"), QString::number(id), LangEscapes::LineFeedAndTab);
}

QString ReadLangValue(const QString& key, const QString& section)
{
    return ConvertEscapes(CurrentValue(section, key), LangEscapes::LineFeedAndTab);
}

QString LocalizedValue(const QString& section, const QString& key, LangEscapes escapes)
{
    QString v = CurrentValue(section, key);
    if (v.isEmpty())
        v = BuiltInValue(section, key);
    return ConvertEscapes(v, escapes);
}

std::vector<LanguageEntry> ListLanguages(const QString& folder)
{
    std::vector<LanguageEntry> out;
    bool found = false;
    for (const PatternMatch& m : FindPatternMatches(FileName(folder + QStringLiteral("/lang_*.ini")), found)) {
        if (m.isDir || m.name.size() <= 9) // a code of at least one character
            continue;
        const QString file = QString::fromStdString(m.name);
        const std::optional<ini::Document> doc = ReadIni(folder + u'/' + file);
        const QString name = doc ? ValueOf(*doc, QStringLiteral("General"), QStringLiteral("language")) : QString();
        if (name.isEmpty())
            continue;
        // "lang_" before the code, ".ini" after it.
        out.push_back(LanguageEntry{file.mid(5, file.size() - 9), name});
    }
    return out;
}
