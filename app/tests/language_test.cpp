// Language files: escapes, the length limit, which files are offered, the
// system language, the English fallback, and localising widgets and menus.
#include "app/language.h"
#include "app/localize.h"

#include "app/controls/windowmessage.h"
#include "app/folders.h"
#include "app/inifile.h"
#include "app/tests/apptestutil.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

#include <set>

namespace {

using apptest::Q;

// A language folder of the test's own, made current for the test; the
// language code and folder are restored afterwards.
class LanguageFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCode_ = GetCurrentLanguage();
        SetLanguageFolder(Q(dir_.path()));
    }
    void TearDown() override
    {
        SetLanguageFolder(QString());
        SetCurrentLanguage(savedCode_);
    }
    void Write(const std::string& name, const std::string& content)
    {
        testutil::WriteFile(dir_.path() / name, content);
    }

    testutil::TempDir dir_;
    apptest::ScopedEnv env_;

private:
    QString savedCode_;
};

TEST_F(LanguageFolder, EscapesBecomeLineFeedsAndTabs)
{
    Write("lang_xx.ini", "[General]\nlanguage=Test\n"
                         "[STRING]\n500=first\\nsecond\n501=a\\tb\n"
                         "[DIALOG_IDD_900]\ntitle=T\\tI\\nTLE\n1001=c\\td\\ne\n"
                         "[MENU]\n40000=Menu\\titem\n");
    SetCurrentLanguage(QStringLiteral("xx"));
    EXPECT_EQ(LookupLangString(500), QStringLiteral("first\nsecond"));
    EXPECT_EQ(LookupLangString(501), QStringLiteral("a\tb"));
    EXPECT_EQ(ReadLangValue(QStringLiteral("500"), QStringLiteral("STRING")), QStringLiteral("first\nsecond"));

    QWidget dialog;
    auto* label = new QLabel(&dialog);
    SetControlId(label, 1001);
    LocalizeChildren(&dialog, 900);
    LocalizeDialogTitle(&dialog, 900);
    EXPECT_EQ(label->text(), QStringLiteral("c\\td\ne")); // a control keeps "\t"
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("T\tI\nTLE"));
}

TEST_F(LanguageFolder, ValuesAreCutAt1022Characters)
{
    const std::string ascii(1500, 'a');
    std::string umlauts;
    for (int i = 0; i < 1500; ++i)
        umlauts += "\xC3\xA4"; // ä, two bytes each
    Write("lang_xx.ini", "[STRING]\n1=" + ascii + "\n2=" + umlauts + "\n3=" + std::string(1022, 'b') + "\n");
    SetCurrentLanguage(QStringLiteral("xx"));
    EXPECT_EQ(LookupLangString(1), QString(1022, u'a'));
    EXPECT_EQ(LookupLangString(2), QString(1022, QChar(0xE4)));
    EXPECT_EQ(LookupLangString(3), QString(1022, u'b'));
}

TEST_F(LanguageFolder, OnlyFilesThatNameTheirLanguageAreOffered)
{
    Write("lang_en.ini", "[General]\nlanguage=English\n");
    Write("lang_de.ini", "[general]\nLANGUAGE = Deutsch \n");
    Write("lang_xx.ini", "[STRING]\n1=no General section\n");
    Write("lang_yy.ini", "[General]\nlanguage=\n");
    Write("lang_.ini", "[General]\nlanguage=No code\n");
    Write("lang_zz.txt", "[General]\nlanguage=Wrong ending\n");
    Write("other_fr.ini", "[General]\nlanguage=Wrong start\n");
    testutil::fs::create_directories(dir_.path() / "lang_dir.ini");

    const std::vector<LanguageEntry> offered = ListLanguages(Q(dir_.path()));
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].code, QStringLiteral("de"));
    EXPECT_EQ(offered[0].name, QStringLiteral("Deutsch"));
    EXPECT_EQ(offered[1].code, QStringLiteral("en"));
    EXPECT_EQ(offered[1].name, QStringLiteral("English"));
}

TEST_F(LanguageFolder, TheSystemLanguagePicksItsFile)
{
    const struct {
        const char* lcAll;
        const char* lang;
        int id;
    } ids[] = {
        {nullptr, "de_DE.UTF-8", 0x0407}, {nullptr, "de_AT.UTF-8@euro", 0x0C07}, {nullptr, "es_ES.UTF-8", 0x0C0A},
        {nullptr, "en_US", 0x0409},       {nullptr, "pt_BR.UTF-8", 0x0416},      {nullptr, "fr", 0x040C},
        {nullptr, "C.UTF-8", 0},          {nullptr, "POSIX", 0},                 {nullptr, nullptr, 0},
        {"ja_JP.UTF-8", "de_DE.UTF-8", 0x0411},
    };
    env_.Set("LC_MESSAGES", std::nullopt);
    for (const auto& c : ids) {
        env_.Set("LC_ALL", c.lcAll ? std::optional<std::string>(c.lcAll) : std::nullopt);
        env_.Set("LANG", c.lang ? std::optional<std::string>(c.lang) : std::nullopt);
        EXPECT_EQ(SystemLanguageId(), c.id) << (c.lang ? c.lang : "(unset)");
    }

    Write("language_lookup.ini", "[LANGUAGE]\n0x0407=de\n0x0C0A=es\n0x0409=\n");
    env_.Set("LC_ALL", std::nullopt);
    const struct {
        const char* lang;
        const char* code;
    } picks[] = {
        {"de_DE.UTF-8", "de"}, // looked up as 0x0407
        {"es_ES.UTF-8", "es"}, // 0x0C0A: upper-case hexadecimal digits
        {"en_US.UTF-8", "en"}, // an empty value: the fallback
        {"ja_JP.UTF-8", "en"}, // not listed
        {"C", "en"},
    };
    for (const auto& p : picks) {
        SetCurrentLanguage(QStringLiteral("fr"));
        env_.Set("LANG", std::string(p.lang));
        EXPECT_EQ(SetCurrentLanguage(QStringLiteral("auto")), QString::fromUtf8(p.code)) << p.lang;
    }
    env_.Set("LANG", std::string("de_DE.UTF-8"));
    SetCurrentLanguage(QStringLiteral("fr"));
    EXPECT_TRUE(LookupSystemLanguage());
    EXPECT_EQ(GetCurrentLanguage(), QStringLiteral("de"));
    env_.Set("LANG", std::string("ja_JP.UTF-8"));
    EXPECT_FALSE(LookupSystemLanguage());
    EXPECT_EQ(GetCurrentLanguage(), QStringLiteral("de")); // unchanged

    SetLanguageFolder(Q(dir_.path() / "missing"));
    env_.Set("LANG", std::string("de_DE.UTF-8"));
    EXPECT_EQ(SetCurrentLanguage(QStringLiteral("auto")), QStringLiteral("en"));
}

TEST_F(LanguageFolder, MissingTextsFallBackToTheBuiltInEnglish)
{
    Write("lang_xx.ini", "[General]\nlanguage=Test\n[STRING]\n139=Wandeln\n153=\n"
                         "[DIALOG_IDD_170]\n1020=Name:\n");
    SetCurrentLanguage(QStringLiteral("xx"));
    EXPECT_EQ(LookupLangString(139), QStringLiteral("Wandeln"));
    EXPECT_EQ(LookupLangString(153), QStringLiteral("Success")); // empty in the file
    EXPECT_EQ(LookupLangString(154), QStringLiteral("Failed"));  // not in the file
    EXPECT_EQ(LookupLangString(99999), QString());                 // nowhere
    EXPECT_EQ(ReadLangValue(QStringLiteral("154"), QStringLiteral("STRING")), QString());

    QWidget panel;
    auto* name = new QLabel(QStringLiteral("template"), &panel);
    auto* four = new QCheckBox(QStringLiteral("template"), &panel);
    auto* unknown = new QLabel(QStringLiteral("template"), &panel);
    auto* untagged = new QLabel(QStringLiteral("template"), &panel);
    SetControlId(name, 1020);
    SetControlId(four, 1035);
    SetControlId(unknown, 4242);
    LocalizeChildren(&panel, 170);
    EXPECT_EQ(name->text(), QStringLiteral("Name:"));
    EXPECT_EQ(four->text(), QStringLiteral("Shrink four pages to one page (4IN1)"));
    EXPECT_EQ(unknown->text(), QStringLiteral("template"));
    EXPECT_EQ(untagged->text(), QStringLiteral("template"));

    // No file at all for the code, and a code that would leave the folder.
    for (const char* code : {"none", "../lang_xx"}) {
        SetCurrentLanguage(QString::fromUtf8(code));
        EXPECT_EQ(LookupLangString(139), QStringLiteral("Convert")) << code;
    }
}

TEST_F(LanguageFolder, EveryCallReadsTheFileAgain)
{
    Write("lang_xx.ini", "[STRING]\n139=one\n");
    SetCurrentLanguage(QStringLiteral("xx"));
    EXPECT_EQ(LookupLangString(139), QStringLiteral("one"));
    Write("lang_xx.ini", "[STRING]\n139=two\n");
    EXPECT_EQ(LookupLangString(139), QStringLiteral("two"));
}

TEST_F(LanguageFolder, MenusTakeTheirTextsAndKeepTheirStates)
{
    Write("lang_xx.ini", "[MENU]\n32771=Hilfe\n32772=Aktualisieren\n32778=automatisch\n"
                         "item_1=Datei\nitem_2=Sprache\n");
    SetCurrentLanguage(QStringLiteral("xx"));

    QMenu main;
    QAction* help = main.addAction(QStringLiteral("Help"));
    SetCommandId(help, 32771);
    help->setCheckable(true);
    help->setChecked(true);
    main.addSeparator();
    QAction* update = main.addAction(QStringLiteral("Check For Update..."));
    SetCommandId(update, 32772);
    update->setEnabled(false);
    QMenu* language = main.addMenu(QStringLiteral("Language"));
    QAction* autoItem = language->addAction(QStringLiteral("auto"));
    SetCommandId(autoItem, 32778);
    QAction* plain = main.addAction(QStringLiteral("no id"));

    LocalizeMenu(main.actions(), false);
    EXPECT_EQ(help->text(), QStringLiteral("Hilfe"));
    EXPECT_TRUE(help->isChecked());
    EXPECT_EQ(update->text(), QStringLiteral("Aktualisieren"));
    EXPECT_FALSE(update->isEnabled());
    EXPECT_EQ(language->title(), QStringLiteral("Language")); // a sub-menu of a pop-up menu
    EXPECT_EQ(autoItem->text(), QStringLiteral("automatisch"));
    EXPECT_EQ(plain->text(), QStringLiteral("no id"));

    QMenuBar bar;
    QMenu* file = bar.addMenu(QStringLiteral("File"));
    QMenu* lang = bar.addMenu(QStringLiteral("Language"));
    LocalizeMenu(bar.actions(), true);
    EXPECT_EQ(file->title(), QStringLiteral("Datei"));
    EXPECT_EQ(lang->title(), QStringLiteral("Sprache"));
}

// A widget that counts the language-change events it receives.
class Listener : public QLabel {
public:
    using QLabel::QLabel;
    int reloads = 0;

protected:
    bool event(QEvent* e) override
    {
        if (const WindowMessage* m = AsWindowMessage(e); m && m->message() == WM_RELOAD_LANGUAGE)
            ++reloads;
        return QLabel::event(e);
    }
};

TEST_F(LanguageFolder, TheLanguageMenuSwitchesAndTellsEveryWidget)
{
    Write("lang_en.ini", "[General]\nlanguage=English\n[STRING]\n139=Convert\n");
    Write("lang_de.ini", "[General]\nlanguage=Deutsch\n[STRING]\n139=Umwandeln\n");
    Write("lang_gone.ini", "[STRING]\n139=not offered\n");

    QWidget window;
    auto* inner = new QWidget(&window);
    auto* deep = new Listener(inner);
    QMenu menu(&window);
    CFSMSettings settings;
    settings.languageID = QStringLiteral("gone"); // its file offers no language
    bool busy = false;
    LanguageMenu languages(&menu, &window, settings, [&] { return busy; });
    QSignalSpy changed(&languages, &LanguageMenu::languageChanged);

    languages.Build();
    ASSERT_EQ(languages.Codes(), (QStringList{"auto", "de", "en"}));
    const QList<QAction*> actions = languages.Actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[1]->text(), QStringLiteral("Deutsch"));
    EXPECT_EQ(CommandId(actions[2]), 32780);
    EXPECT_TRUE(actions[0]->isChecked()); // "auto" for a language that is not offered
    EXPECT_EQ(settings.languageID, QStringLiteral("gone")); // kept until the user picks one

    EXPECT_TRUE(languages.Choose(32779));
    EXPECT_EQ(settings.languageID, QStringLiteral("de"));
    EXPECT_EQ(GetCurrentLanguage(), QStringLiteral("de"));
    EXPECT_EQ(LookupLangString(139), QStringLiteral("Umwandeln"));
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(deep->reloads, 1);

    busy = true; // a job runs
    actions[2]->trigger();
    EXPECT_EQ(settings.languageID, QStringLiteral("de"));
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_FALSE(actions[2]->isChecked());
    busy = false;
    EXPECT_FALSE(languages.Choose(32778 + 3)); // past the last entry
    EXPECT_FALSE(languages.Choose(32777));
    EXPECT_EQ(changed.count(), 1);

    actions[2]->trigger(); // the menu's own click
    EXPECT_EQ(settings.languageID, QStringLiteral("en"));
    EXPECT_EQ(deep->reloads, 2);

    // Built again with a stored choice that is offered.
    languages.Build();
    EXPECT_TRUE(languages.Actions()[2]->isChecked());
    EXPECT_EQ(languages.Actions().size(), 3);
}

// The files the program ships: every language names itself and holds the
// same ids as the English file, and the lookup names only shipped languages.
TEST(ShippedLanguageFiles, AreCompleteAndConsistent)
{
    const QString folder = QStringLiteral(TRANCEL_SOURCE_DIR "/app/lang");
    const std::vector<LanguageEntry> languages = ListLanguages(folder);
    std::set<std::string> codes;
    for (const LanguageEntry& l : languages)
        codes.insert(l.code.toStdString());
    EXPECT_TRUE(codes.count("en"));
    EXPECT_GE(codes.size(), 2u);

    const auto keys = [&](const std::string& code) {
        const ini::Document doc =
            ini::Document::Parse(testutil::ReadFile(std::string(TRANCEL_SOURCE_DIR "/app/lang/lang_") + code + ".ini"));
        std::set<std::string> out;
        for (const ini::Section& s : doc.Sections())
            for (const ini::Entry& e : s.entries) {
                EXPECT_FALSE(e.value.empty() && s.name != "General") << code << " " << s.name << "/" << e.key;
                out.insert(s.name + "/" + e.key);
            }
        return out;
    };
    const std::set<std::string> english = keys("en");
    for (const std::string& code : codes)
        EXPECT_EQ(keys(code), english) << "lang_" << code << ".ini";

    const ini::Document lookup =
        ini::Document::Parse(testutil::ReadFile(TRANCEL_SOURCE_DIR "/app/lang/language_lookup.ini"));
    const ini::Section* section = lookup.FindSection("LANGUAGE");
    ASSERT_NE(section, nullptr);
    for (const ini::Entry& e : section->entries)
        EXPECT_TRUE(codes.count(e.value)) << e.key << "=" << e.value;
}

// The texts the program's windows ask for exist in English.
TEST(ShippedLanguageFiles, EnglishHoldsTheProgramsStrings)
{
    const int ids[] = {137, 138, 139, 143, 144, 145, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157,
                       158, 160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175,
                       176, 177, 178, 208, 209, 212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 222, 223,
                       224, 250, 251, 252, 253, 254, 255, 256, 257, 258, 259, 263, 270, 271, 272};
    SetLanguageFolder(QStringLiteral("/nonexistent")); // the built-in table alone
    for (int id : ids)
        EXPECT_FALSE(LookupLangString(id).isEmpty()) << id;
    EXPECT_EQ(LookupLangString(253), QStringLiteral(" "));
    EXPECT_EQ(LookupLangString(147), QStringLiteral("A new version is available.\nVersion:%s\nBuild:%d\n"
                                                 "Please download it by clicking the following link and upgrade."));
    SetLanguageFolder(QString());
}

} // namespace
