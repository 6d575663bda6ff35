// The two places a settings record is kept: the program's INI file in the
// user's configuration folder, and memory (tests, and records that only
// travel between windows).
#pragma once

#include "app/inifile.h"
#include "app/settings.h"

#include <QString>

#include <map>
#include <string>

// Values held as text by name (names compared without regard to ASCII case,
// as stored value names are). A number is stored as its decimal text and read
// back only when the text is a decimal integer of 32 bits.
class CSettingsStorageMemory : public Karvell::CSettingsStorage {
public:
    bool BeginSave() override { return true; }
    bool EndSave() override { return true; }
    bool BeginLoad() override { return true; }
    bool EndLoad() override { return true; }
    bool ExchangeString(const char* name, QString& text, bool saving) override;
    bool ExchangeInt(const char* name, int& value, bool saving) override;

    // The stored texts, for looking at and for planting values by hand.
    struct NameLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::map<std::string, QString, NameLess> values;
};

// The settings file: the section "Settings" of an INI file, one "name=value"
// line per value. Texts are stored in UTF-8 with "\\", a line feed and a
// carriage return written as "\\\\", "\\n" and "\\r", so every text comes back
// as it was saved. Saving keeps the file's other keys and sections, writes
// the whole file to a temporary name and renames it into place (a failed save
// leaves the old file whole), and the file is readable by its owner only: it
// holds passwords.
class CSettingsStorageIni : public Karvell::CSettingsStorage {
public:
    explicit CSettingsStorageIni(const QString& path);

    // ~/.config (or $XDG_CONFIG_HOME) + "/Brontix/Folvane RAD Ozizedori.ini".
    static QString DefaultPath();

    // Loading fails when the file cannot be read.
    bool BeginLoad() override;
    bool EndLoad() override;
    // Saving starts from the file as it is (or nothing) and writes on EndSave,
    // creating the folder when missing; EndSave fails when the file cannot be
    // written.
    bool BeginSave() override;
    bool EndSave() override;
    bool ExchangeString(const char* name, QString& text, bool saving) override;
    bool ExchangeInt(const char* name, int& value, bool saving) override;

    const QString& Path() const { return path_; }

private:
    QString path_;
    ini::Document doc_;
    bool open_ = false;
};

// A stored number: optional spaces and sign, then decimal digits only, within
// 32 bits. False for anything else.
bool ParseStoredInt(const QString& text, int& value);
