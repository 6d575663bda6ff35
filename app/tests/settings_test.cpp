// The settings record: defaults, first start, every value through both
// storages, values that are missing or damaged, and the file's privacy.
#include "app/programsettings.h"
#include "app/settingsstorage.h"

#include "app/tests/apptestutil.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

namespace {

using apptest::Q;
using S = CFSMSettings;

// The stored values by name, with the defaults a first start has (before the
// first-start fixes of the output format and folders).
struct TextValue {
    const char* name;
    QString S::*field;
};
const TextValue kTexts[] = {
    {"OutputFolder", &S::OutputFolder},       {"TrackFolder", &S::TrackFolder},
    {"TmpFolder", &S::TmpFolder},             {"languageID", &S::languageID},
    {"PDFOpenPwd", &S::PDFOpenPwd},           {"PDFPemissionPwd", &S::PDFPemissionPwd},
    {"PDFWordOpenPwd", &S::PDFWordOpenPwd},   {"PDFWordPemissionPwd", &S::PDFWordPemissionPwd},
    {"VersionFileUrl", &S::VersionFileUrl},
};
struct IntValue {
    const char* name;
    int S::*field;
    int defaultValue;
};
const IntValue kInts[] = {
    {"CustomOutputFolder", &S::CustomOutputFolder, 1},
    {"OutputFormat", &S::OutputFormat, 0},
    {"OutputXInOne", &S::OutputXInOne, 0},
    {"EpubConvertKind", &S::EpubConvertKind, 1},
    {"ImgConvertKind", &S::ImgConvertKind, 0},
    {"EpubIgnoreImg", &S::EpubIgnoreImg, 0},
    {"EpubIgnoreHyperlink", &S::EpubIgnoreHyperlink, 1},
    {"HtmlIgnoreImg", &S::HtmlIgnoreImg, 0},
    {"HtmlIgnoreHyperlink", &S::HtmlIgnoreHyperlink, 1},
    {"WordFormat", &S::WordFormat, 1},
    {"Word03ConvertKind", &S::Word03ConvertKind, 1},
    {"Word07ConvertKind", &S::Word07ConvertKind, 1},
    {"EnableOCR", &S::EnableOCR, 0},
    {"OCRMode", &S::OCRMode, 0},
    {"ImageHighRes", &S::ImageHighRes, 0},
    {"PDFMerge_Folvane", &S::PDFMerge_Folvane, 1},
    {"PDFOrientation", &S::PDFOrientation, 0},
    {"PDFSizeAx", &S::PDFSizeAx, 3},
    {"PDFSizeHeight", &S::PDFSizeHeight, 0},
    {"PDFSizeWidth", &S::PDFSizeWidth, 0},
    {"PDFbOpenPassword", &S::PDFbOpenPassword, 0},
    {"PDFbPemissionPassword", &S::PDFbPemissionPassword, 0},
    {"PDFbWordOpenPassword", &S::PDFbWordOpenPassword, 0},
    {"PDFbWordPemissionPassword", &S::PDFbWordPemissionPassword, 0},
    {"PDFbEditProtect", &S::PDFbEditProtect, 0},
    {"PDFbCopyProtect", &S::PDFbCopyProtect, 0},
    {"PDFbPrintProtect", &S::PDFbPrintProtect, 0},
    {"PDFbCutEdge", &S::PDFbCutEdge, 0},
    {"PDFCutLeft", &S::PDFCutLeft, 0},
    {"PDFCutBottom", &S::PDFCutBottom, 0},
    {"PDFCutRight", &S::PDFCutRight, 0},
    {"PDFCutTop", &S::PDFCutTop, 0},
};

// Texts that a plain INI line would lose or change.
const QString kHardTexts[] = {
    QString(),
    QStringLiteral("/home/u/Brontix/RAD Ozizedori/output/"),
    QStringLiteral("  outer spaces  "),
    QStringLiteral("\"quoted\""),
    QStringLiteral("'single'"),
    QStringLiteral("a=b;c,d"),
    QStringLiteral("[Settings]"),
    QStringLiteral("; not a comment"),
    QStringLiteral("two\nlines\r\nand a CR"),
    QStringLiteral("back\\slash \\n \\\\ \\"),
    QStringLiteral("ünïcödé 中文 😀"),
    QString(300, u'L'), // longer than any first read of a fixed buffer
};

// Every stored value set away from its default, texts from kHardTexts.
S EveryValueChanged(int seed)
{
    S s;
    int i = seed;
    for (const TextValue& t : kTexts)
        s.*t.field = kHardTexts[static_cast<std::size_t>(i++) % std::size(kHardTexts)];
    const int extremes[] = {INT_MIN, INT_MAX, -1};
    for (const IntValue& v : kInts) {
        s.*v.field = i < 3 ? extremes[i] : 1000 + i;
        ++i;
    }
    s.OutputFormat = 1 + seed % 7; // a format the program knows
    return s;
}

void ExpectSame(const S& a, const S& b, const char* where)
{
    for (const TextValue& t : kTexts)
        EXPECT_EQ(a.*t.field, b.*t.field) << where << ": " << t.name;
    for (const IntValue& v : kInts)
        EXPECT_EQ(a.*v.field, b.*v.field) << where << ": " << v.name;
}

std::string SettingsFile(const apptest::FreshHome& home)
{
    return (home.path() / ".config" / "Brontix" / "Folvane RAD Ozizedori.ini").string();
}

TEST(Settings, NewRecordHoldsTheDefaults)
{
    const S s;
    for (const IntValue& v : kInts)
        EXPECT_EQ(s.*v.field, v.defaultValue) << v.name;
    EXPECT_EQ(s.languageID, QStringLiteral("auto"));
    EXPECT_TRUE(s.OutputFolder.isEmpty());
    EXPECT_TRUE(s.PDFOpenPwd.isEmpty());
}

TEST(Settings, FirstStartWithAnEmptyHome)
{
    apptest::FreshHome home;
    CSettingsStorageIni storage(CSettingsStorageIni::DefaultPath());
    EXPECT_EQ(storage.Path().toStdString(), SettingsFile(home));

    S s;
    EXPECT_FALSE(LoadProgramSettings(s, storage)); // nothing stored yet
    const QString base = home.qpath() + QStringLiteral("/Documents/Brontix/RAD Ozizedori");
    EXPECT_EQ(s.OutputFolder, base + QStringLiteral("/output/"));
    EXPECT_EQ(s.TmpFolder, base + QStringLiteral("/tmp/"));
    EXPECT_EQ(s.TrackFolder, home.qpath() + QStringLiteral("/Documents"));
    EXPECT_TRUE(QFileInfo(s.OutputFolder).isDir());
    EXPECT_TRUE(QFileInfo(s.TmpFolder).isDir());
    EXPECT_EQ(s.OutputFormat, 1);
    for (const IntValue& v : kInts)
        if (v.field != &S::OutputFormat) {
            EXPECT_EQ(s.*v.field, v.defaultValue) << v.name;
        }
    EXPECT_EQ(s.languageID, QStringLiteral("auto"));
}

TEST(Settings, EveryValueRoundTripsThroughBothStorages)
{
    apptest::FreshHome home;
    for (int seed = 0; seed < static_cast<int>(std::size(kHardTexts)); ++seed) {
        S saved = EveryValueChanged(seed);
        saved.MergeName = QStringLiteral("not stored");

        CSettingsStorageMemory memory;
        ASSERT_TRUE(saved.Save(memory));
        S fromMemory;
        ASSERT_TRUE(fromMemory.Load(memory));
        ExpectSame(saved, fromMemory, "memory");

        CSettingsStorageIni file(CSettingsStorageIni::DefaultPath());
        ASSERT_TRUE(saved.Save(file));
        S fromFile;
        ASSERT_TRUE(fromFile.Load(file));
        ExpectSame(saved, fromFile, "file");
        EXPECT_TRUE(fromFile.MergeName.isEmpty());
    }

    // The file holds the values under their own names, nothing else.
    const ini::Document doc = ini::Document::Parse(testutil::ReadFile(SettingsFile(home)));
    const ini::Section* section = doc.FindSection("Settings");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->entries.size(), std::size(kTexts) + std::size(kInts));
    for (const IntValue& v : kInts)
        EXPECT_NE(doc.Find("Settings", v.name), nullptr) << v.name;
    for (const TextValue& t : kTexts)
        EXPECT_NE(doc.Find("Settings", t.name), nullptr) << t.name;
}

TEST(Settings, MissingOrDamagedValuesTakeTheirDefaultsAndTheRestLoads)
{
    S stored = EveryValueChanged(1);
    CSettingsStorageMemory storage;
    ASSERT_TRUE(stored.Save(storage));
    struct Damage {
        const char* name;
        const char* text; // null: removed
    } damages[] = {
        {"PDFSizeAx", nullptr},          {"EpubConvertKind", "abc"},     {"OCRMode", "12x"},
        {"PDFCutTop", "99999999999"},    {"PDFCutLeft", ""},             {"PDFCutRight", "0x10"},
        {"languageID", nullptr},         {"TrackFolder", nullptr},
    };
    for (const Damage& d : damages) {
        if (d.text)
            storage.values[d.name] = QString::fromUtf8(d.text);
        else
            storage.values.erase(d.name);
    }
    storage.values["  pdfcutbottom  "] = QStringLiteral("never read"); // not a name of ours
    storage.values["PDFCutBottom"] = QStringLiteral(" -17 ");         // spaces around a number are fine

    S loaded;
    loaded.TrackFolder = QStringLiteral("/kept/when/missing");
    loaded.languageID = QStringLiteral("de");
    ASSERT_TRUE(loaded.Load(storage));

    S expected = stored;
    expected.PDFSizeAx = 3;
    expected.EpubConvertKind = 1;
    expected.OCRMode = 0;
    expected.PDFCutTop = 0;
    expected.PDFCutLeft = 0;
    expected.PDFCutRight = 0;
    expected.PDFCutBottom = -17;
    expected.languageID = QStringLiteral("auto");
    expected.TrackFolder = QStringLiteral("/kept/when/missing");
    ExpectSame(expected, loaded, "damaged");
}

TEST(Settings, AStoredOutputFormatOutsideTheFormatsBecomesEpub)
{
    apptest::FreshHome home;
    const struct {
        int stored;
        int loaded;
    } cases[] = {{0, 1}, {-1, 1}, {8, 1}, {301, 1}, {2025, 1}, {INT_MIN, 1}, {1, 1}, {4, 4}, {7, 7}};
    for (const auto& c : cases) {
        CSettingsStorageMemory storage;
        storage.values["OutputFormat"] = QString::number(c.stored);
        S s;
        LoadProgramSettings(s, storage);
        EXPECT_EQ(s.OutputFormat, c.loaded) << c.stored;
    }
}

TEST(Settings, TheFileIsPrivateAndKeepsWhatOthersWrote)
{
    apptest::FreshHome home;
    const std::string path = SettingsFile(home);
    testutil::WriteFile(path, "[Settings]\nOutputFormat=3\nVersionAddress=http://127.0.0.1/v.ini\n"
                              "[Other]\nkey=value\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

    CSettingsStorageIni storage(Q(path));
    S s;
    ASSERT_TRUE(s.Load(storage));
    EXPECT_EQ(s.OutputFormat, 3);
    s.PDFOpenPwd = QStringLiteral("secret");
    ASSERT_TRUE(s.Save(storage));

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const ini::Document doc = ini::Document::Parse(testutil::ReadFile(path));
    EXPECT_EQ(*doc.Find("Settings", "VersionAddress"), "http://127.0.0.1/v.ini");
    EXPECT_EQ(*doc.Find("Other", "key"), "value");
    EXPECT_EQ(*doc.Find("Settings", "PDFOpenPwd"), "secret");

    // A first save creates the file private too.
    const std::string fresh = (home.path() / "new" / "settings.ini").string();
    CSettingsStorageIni created(Q(fresh));
    ASSERT_TRUE(s.Save(created));
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Settings, AFailedSaveReportsAndLeavesTheOldFileWhole)
{
    apptest::FreshHome home;
    S s;
    s.OutputFormat = 2;

    // A file standing where the folder should be.
    testutil::WriteFile(home.path() / "plainfile", "x");
    CSettingsStorageIni blocked(Q(home.path() / "plainfile" / "settings.ini"));
    EXPECT_FALSE(s.Save(blocked));

    // A folder the user may not write to (root may, so this part needs a
    // user without that right).
    const auto folder = home.path() / "locked";
    const std::string path = (folder / "settings.ini").string();
    testutil::WriteFile(path, "[Settings]\nOutputFormat=5\n");
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    const bool enforced = ::access(folder.c_str(), W_OK) != 0;
    CSettingsStorageIni storage(Q(path));
    const bool saved = s.Save(storage);
    ::chmod(folder.c_str(), 0700);
    if (enforced) {
        EXPECT_FALSE(saved);
        EXPECT_EQ(testutil::ReadFile(path), "[Settings]\nOutputFormat=5\n");
    }
}

} // namespace
