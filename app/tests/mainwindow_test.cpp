// The main window: settings in and out, the stored language, merge and
// format commands, and the file list's rows.
#include "app/pdfrezovirordlg.h"

#include "app/controls/coolbuttonbar.h"
#include "app/controls/lvcover.h"
#include "app/controls/xlistctrl.h"
#include "app/language.h"
#include "app/localize.h"
#include "app/settingsstorage.h"
#include "app/sidepanels.h"
#include "app/tests/apptestutil.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

QStringList Headers(CPdfRezovirorDlg& dlg)
{
    QStringList out;
    for (int i = 0; i < dlg.List()->GetColumns(); ++i)
        out << dlg.List()->GetModel()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    return out;
}

TEST(MainWindow, ShowsTheStoredLanguageSwitchesAndSavesOnClose)
{
    apptest::FreshHome home;
    const QString saved = GetCurrentLanguage();
    CSettingsStorageMemory storage;
    storage.values["languageID"] = QStringLiteral("de");
    storage.values["OutputFormat"] = QStringLiteral("5");
    storage.values["PDFMerge_Folvane"] = QStringLiteral("1");
    storage.values["PDFOpenPwd"] = QStringLiteral("kept");

    {
        CPdfRezovirorDlg dlg(storage);
        dlg.show();
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Folvane RAD Ozizedori"));
        EXPECT_EQ(GetCurrentLanguage(), QStringLiteral("de"));
        EXPECT_EQ(Headers(dlg), (QStringList{"Nr.", "Dateiname", "Größe", "Seiten", "Status"}));
        // The stored format is marked; a stored merge is ignored.
        EXPECT_EQ(dlg.Settings().OutputFormat, 5);
        EXPECT_FALSE(dlg.IsMergeOn());
        EXPECT_EQ(dlg.Settings().PDFMerge_Folvane, 0);
        for (const COOLBARBUTTON& b : dlg.ButtonBar(kBarFormats)->Buttons())
            EXPECT_EQ(b.state, b.code == 5 ? 0 : 1) << b.code;
        EXPECT_EQ(dlg.ToolBar(kBarListTools)->ButtonState(503), 1);
        EXPECT_TRUE(dlg.Cover()->isVisible());
        EXPECT_FALSE(dlg.List()->isVisible());

        LanguageMenu* languages = dlg.Languages();
        const qsizetype en = languages->Codes().indexOf(QStringLiteral("en"));
        ASSERT_GT(en, 0);
        languages->Actions()[en]->trigger();
        EXPECT_EQ(Headers(dlg), (QStringList{"Item", "FileName", "Size", "Total Page", "Status"}));
        EXPECT_TRUE(dlg.close());
    }
    EXPECT_EQ(storage.values["languageID"], QStringLiteral("en"));
    EXPECT_EQ(storage.values["OutputFormat"], QStringLiteral("5"));
    EXPECT_EQ(storage.values["PDFOpenPwd"], QStringLiteral("kept"));
    SetCurrentLanguage(saved);
}

} // namespace
