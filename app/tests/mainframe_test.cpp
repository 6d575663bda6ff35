// The start-up window: settings in, texts in the stored language, a language
// switch seen on screen, settings out on close.
#include "app/mainframe.h"

#include "app/language.h"
#include "app/localize.h"
#include "app/settingsstorage.h"
#include "app/tests/apptestutil.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList Headers(MainFrame& frame)
{
    auto* list = frame.findChild<QTreeWidget*>();
    QStringList out;
    for (int i = 0; i < list->columnCount(); ++i)
        out << list->headerItem()->text(i);
    return out;
}

TEST(MainFrame, ShowsTheStoredLanguageSwitchesAndSavesOnClose)
{
    apptest::FreshHome home;
    const QString saved = GetCurrentLanguage();
    CSettingsStorageMemory storage;
    storage.values["languageID"] = QStringLiteral("de");
    storage.values["OutputFormat"] = QStringLiteral("301");
    storage.values["PDFOpenPwd"] = QStringLiteral("kept");

    {
        MainFrame frame(storage);
        frame.show();
        EXPECT_EQ(frame.windowTitle(), QStringLiteral("Folvane RAD Ozizedori"));
        EXPECT_EQ(GetCurrentLanguage(), QStringLiteral("de"));
        EXPECT_EQ(Headers(frame), (QStringList{"Nr.", "Dateiname", "Größe", "Seiten", "Status"}));
        EXPECT_EQ(frame.Settings().OutputFormat, 1);

        // The shipped languages are offered, German checked.
        LanguageMenu* languages = frame.Languages();
        ASSERT_TRUE(languages->Codes().contains(QStringLiteral("en")));
        const qsizetype de = languages->Codes().indexOf(QStringLiteral("de"));
        ASSERT_GT(de, 0);
        EXPECT_TRUE(languages->Actions()[de]->isChecked());
        EXPECT_EQ(languages->Actions()[0]->text(), QStringLiteral("automatisch"));

        const qsizetype en = languages->Codes().indexOf(QStringLiteral("en"));
        languages->Actions()[en]->trigger();
        EXPECT_EQ(Headers(frame), (QStringList{"Item", "FileName", "Size", "Total Page", "Status"}));
        EXPECT_EQ(languages->Actions()[0]->text(), QStringLiteral("auto"));
        bool hint = false;
        for (QLabel* l : frame.findChildren<QLabel*>())
            hint = hint || l->text() == QStringLiteral("Select the output file format and the output folder.");
        EXPECT_TRUE(hint);

        EXPECT_TRUE(frame.close());
    }
    EXPECT_EQ(storage.values["languageID"], QStringLiteral("en"));
    EXPECT_EQ(storage.values["OutputFormat"], QStringLiteral("1"));
    EXPECT_EQ(storage.values["PDFOpenPwd"], QStringLiteral("kept"));
    EXPECT_EQ(storage.values["PDFSizeAx"], QStringLiteral("3"));
    SetCurrentLanguage(saved);
}

} // namespace
