// Language files and localised strings.
//
// Every text the user sees comes through here. The language folder holds
// "language_lookup.ini", which maps the system's language to a language code,
// and one "lang_<code>.ini" per language:
//   [General]  language=<name shown in the Language menu>
//   [STRING]   <string id>=<text>
//   [DIALOG_IDD_<dialog id>]  title=<title>, <control id>=<text>
//   [MENU]     <command id>=<text>
// Values are cut to 1022 characters; the two-character escapes "\n" (and,
// except in control texts, "\t") become a line feed and a tab. The program's
// built-in table is the English file compiled into the program, so a text
// missing from the chosen language falls back to English. Nothing of the
// chosen file is cached: every call reads it again, so an edited file counts
// at once.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The language folder: the program folder + "/lang".
QString GetLanguageFolder();
// Points the language folder elsewhere (tests); an empty path restores the
// program's own.
void SetLanguageFolder(const QString& folder);

// The current language code, "en" until set.
QString GetCurrentLanguage();
// "auto" looks the system language up (falling back to "en"); any other value
// becomes the current code as it is. Returns the resulting code.
QString SetCurrentLanguage(const QString& languageID);
// The file of the current language: <folder>/lang_<code>.ini; empty when the
// code would name a file outside the language folder.
QString GetLanguageFile();

// The Windows-style language identifier of the system language, taken from
// LC_ALL, LC_MESSAGES or LANG ("de_DE.UTF-8" is 0x0407); 0 when the locale
// names no language ("C", "POSIX", unset).
int SystemLanguageId();
// Looks SystemLanguageId() up in the [LANGUAGE] section of
// language_lookup.ini under "0x%04X"; a non-empty value becomes the current
// code and the result is true. Otherwise false, the code unchanged.
bool LookupSystemLanguage();

// The text of a string id: the current file's [STRING] value when it is not
// empty, else the built-in English text (empty when there is none). This is
// what the program's GetLangString answers, for its own windows and for the
// window controls.
QString LookupLangString(int id);
// The value of `key` in `section` of the current file, escapes converted;
// empty when missing or empty.
QString ReadLangValue(const QString& key, const QString& section);

// Which escapes a value gets: control texts keep "\t" as written.
enum class LangEscapes { LineFeedAndTab, LineFeedOnly };
// As ReadLangValue, but a missing or empty value falls back to the built-in
// English file; empty when neither has one. What dialogs and menus show.
QString LocalizedValue(const QString& section, const QString& key, LangEscapes escapes);

// A language offered in the Language menu.
struct LanguageEntry {
    QString code; // the file name between "lang_" and ".ini"
    QString name; // its [General] "language" value
};
// The files "lang_*.ini" of the folder that name their language, sorted by
// file name; a file without a "language" value is not offered.
std::vector<LanguageEntry> ListLanguages(const QString& folder);
