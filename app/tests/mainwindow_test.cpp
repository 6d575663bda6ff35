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
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

namespace fs = testutil::fs;

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

TEST(MainWindow, ColumnWidthsShareWhatTheScrollBarLeaves)
{
    const struct {
        int list, scrollBar;
        std::array<int, 5> widths;
    } cases[] = {
        {600, 17, {36, 217, 45, 81, 199}},
        {877, 17, {53, 321, 67, 120, 294}},
        {19, 17, {0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListColumnWidths(c.list, c.scrollBar), c.widths) << c.list;
}

// A window with the files `names` (copies of one small PDF) listed.
struct ListedWindow {
    testutil::TempDir dir;
    CSettingsStorageMemory storage;
    std::unique_ptr<CPdfRezovirorDlg> dlg;
    explicit ListedWindow(const std::vector<std::string>& names)
    {
        EXPECT_TRUE(testutil::MakePdfFixtures(dir.path(), "pages1:one"));
        dlg = std::make_unique<CPdfRezovirorDlg>(storage);
        dlg->show();
        for (const std::string& n : names) {
            if (!fs::exists(dir.path() / n))
                fs::copy_file(dir.path() / "one.pdf", dir.path() / n);
            EXPECT_TRUE(dlg->AddFile(apptest::Q(dir.path() / n))) << n;
        }
    }
    // File names in list order, each with its number column.
    QStringList Rows() const
    {
        QStringList out;
        for (int r = 0; r < dlg->List()->GetItemCount(); ++r)
            out << dlg->List()->GetItemText(r, 0) + QLatin1Char(' ') + dlg->List()->GetItemText(r, 1);
        return out;
    }
    void Select(std::initializer_list<int> rows)
    {
        dlg->List()->clearSelection();
        for (int r : rows)
            dlg->List()->selectionModel()->select(dlg->List()->GetModel()->index(r, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    int State(int code) const { return dlg->ToolBar(kBarListTools)->ButtonState(code); }
};

TEST(FileList, MoveButtonsFollowTheSelection)
{
    apptest::FreshHome home;
    const struct {
        int rows;
        std::vector<int> selected;
        int up, down;   // states of 501 and 502
    } cases[] = {
        {0, {}, 0, 0},      {3, {}, 0, 0},     {3, {0}, 0, 1},  {3, {1}, 1, 1},
        {3, {2}, 1, 0},     {3, {0, 1}, 0, 0}, {1, {0}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, " << c.selected.size() << " selected");
        std::vector<std::string> names;
        for (int i = 0; i < c.rows; ++i)
            names.push_back(std::string(1, static_cast<char>('a' + i)) + ".pdf");
        ListedWindow w(names);
        w.dlg->List()->clearSelection();
        for (int r : c.selected)
            w.dlg->List()->selectionModel()->select(w.dlg->List()->GetModel()->index(r, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.dlg->UpdateMoveButtons();
        EXPECT_EQ(w.State(501), c.up);
        EXPECT_EQ(w.State(502), c.down);
        EXPECT_EQ(w.State(503), 1);
        EXPECT_EQ(w.State(403), c.rows == 0 ? 0 : 1);
    }
}

TEST(FileList, MoveUpAndDownCarryTheRowItsRecordAndSelection)
{
    apptest::FreshHome home;
    const struct {
        int row;
        int command;
        QStringList order;
        int selectedAfter;
    } cases[] = {
        {1, 501, {"1 b.pdf", "2 a.pdf", "3 c.pdf"}, 0},
        {1, 502, {"1 a.pdf", "2 c.pdf", "3 b.pdf"}, 2},
        {2, 501, {"1 a.pdf", "2 c.pdf", "3 b.pdf"}, 1},
        {0, 502, {"1 b.pdf", "2 a.pdf", "3 c.pdf"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << " " << c.command);
        ListedWindow w({"a.pdf", "b.pdf", "c.pdf"});
        const stru_ItemData* record = w.dlg->Item(c.row);
        w.Select({c.row});
        w.dlg->List()->selectionModel()->setCurrentIndex(w.dlg->List()->GetModel()->index(c.row, 0),
                                                          QItemSelectionModel::NoUpdate);
        w.dlg->OnCoolBarCommand(c.command);
        EXPECT_EQ(w.Rows(), c.order);
        EXPECT_EQ(w.dlg->Item(c.selectedAfter), record);
        EXPECT_EQ(w.dlg->List()->GetCurSel(), c.selectedAfter);
        EXPECT_EQ(w.dlg->List()->GetItemToolTipText(c.selectedAfter, 1),
                  QString::fromStdWString(record->source));
    }
}

TEST(FileList, DeleteRenumbersAndTheConvertButtonFollowsTheRows)
{
    apptest::FreshHome home;
    const struct {
        std::vector<int> deleted;   // in this order
        QStringList left;
    } cases[] = {
        {{0}, {"1 b.pdf", "2 c.pdf"}},
        {{1}, {"1 a.pdf", "2 c.pdf"}},
        {{2, 0}, {"1 b.pdf"}},
        {{5}, {"1 a.pdf", "2 b.pdf", "3 c.pdf"}},
        {{0, 0, 0}, {}},
    };
    for (const auto& c : cases) {
        ListedWindow w({"a.pdf", "b.pdf", "c.pdf"});
        for (int r : c.deleted)
            w.dlg->DeleteRow(r);
        EXPECT_EQ(w.Rows(), c.left);
        EXPECT_EQ(w.dlg->ToolBar(kBarConvert)->ButtonState(301), c.left.isEmpty() ? 0 : 1);
        // The cover stays away once a file was added.
        EXPECT_FALSE(w.dlg->Cover()->isVisible());
    }
    ListedWindow w({"a.pdf"});
    w.dlg->DeleteRow(0);
    EXPECT_EQ(w.dlg->ToolBar(kBarConvert)->ButtonState(301), 0);
    ASSERT_TRUE(w.dlg->AddFile(apptest::Q(w.dir.path() / "a.pdf")));
    EXPECT_EQ(w.dlg->ToolBar(kBarConvert)->ButtonState(301), 1);

    // The Delete key removes the selected rows, highest first.
    ListedWindow k({"a.pdf", "b.pdf", "c.pdf"});
    k.Select({0, 2});
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(k.dlg->List(), &del);
    EXPECT_EQ(k.Rows(), QStringList{"1 b.pdf"});
}

TEST(FileList, MergeSwitchAndMergeName)
{
    apptest::FreshHome home;
    const struct {
        std::vector<std::string> files;
        QString name;
    } names[] = {
        {{}, ""},
        {{"a.pdf"}, "a"},
        {{"a.pdf", "b.x.pdf"}, "a_b.x"},
        {{"a.pdf", "b.pdf", "c.pdf"}, "a_c"},
    };
    for (const auto& c : names) {
        ListedWindow w(c.files);
        EXPECT_EQ(w.dlg->DefaultMergeName(), c.name);
        w.dlg->OnCoolBarCommand(503);
        EXPECT_EQ(w.dlg->LayoutPanel()->MergeName(), c.name);
    }

    ListedWindow w({"a.pdf", "b.x.pdf"});
    CPdfRezovirorDlg& dlg = *w.dlg;
    EXPECT_FALSE(dlg.IsMergeOn());
    EXPECT_TRUE(dlg.OutputPanel()->isVisible());
    dlg.OnCoolBarCommand(503);
    EXPECT_TRUE(dlg.IsMergeOn());
    EXPECT_EQ(dlg.Settings().PDFMerge_Folvane, 1);
    EXPECT_TRUE(dlg.LayoutPanel()->isVisible());
    EXPECT_FALSE(dlg.OutputPanel()->isVisible());
    EXPECT_EQ(dlg.LayoutPanel()->MergeName(), QStringLiteral("a_b.x"));
    // Adding, moving and deleting rows keep the name in step while merging.
    ASSERT_TRUE(dlg.AddFile(apptest::Q(w.dir.path() / "a.pdf")));
    EXPECT_EQ(dlg.LayoutPanel()->MergeName(), QStringLiteral("a_a"));
    dlg.DeleteRow(0);
    EXPECT_EQ(dlg.LayoutPanel()->MergeName(), QStringLiteral("b.x_a"));
    // The switch bar marks the shown panel.
    for (const COOLBARBUTTON& b : dlg.ButtonBar(kBarPanels)->Buttons())
        EXPECT_EQ(b.state, b.code == 1065 ? 0 : 1);

    dlg.OnCoolBarCommand(503);
    EXPECT_FALSE(dlg.IsMergeOn());
    EXPECT_EQ(dlg.Settings().PDFMerge_Folvane, 0);
    EXPECT_TRUE(dlg.OutputPanel()->isVisible());
    EXPECT_FALSE(dlg.LayoutPanel()->isVisible());
    // Merging off: the name no longer follows the rows.
    dlg.DeleteRow(0);
    EXPECT_EQ(dlg.LayoutPanel()->MergeName(), QStringLiteral("b.x_a"));
}

TEST(FileList, FolderScanTakesLowerCasePdfOnlyWhileDroppingTakesAnyCase)
{
    apptest::FreshHome home;
    ListedWindow w({});
    const fs::path folder = w.dir.path() / "scan";
    fs::create_directories(folder / "sub");
    for (const char* n : {"A.PDF", "b.pdf", "c.txt", "sub/d.pdf"})
        fs::copy_file(w.dir.path() / "one.pdf", folder / n);
    w.dlg->AddFolders({apptest::Q(folder)});
    EXPECT_EQ(w.Rows(), QStringList{"1 b.pdf"});
    EXPECT_EQ(CPdfRezovirorDlg::DroppablePdfs({"/x/A.PDF", "/x/b.pdf", "/x/c.txt", "/x/pdf", "/x/e.Pdf"}),
              (QStringList{"/x/A.PDF", "/x/b.pdf", "/x/e.Pdf"}));
}

} // namespace
