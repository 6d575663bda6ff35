// Every control on a real X display (run under xvfb-run): each is shown in a
// window of its own and photographed from the screen. The pictures are kept
// in the build tree; those made only of our sprites must equal the expected
// images in expected/, the others are checked by their regions and colours.
// CONTROLS_UPDATE_EXPECTED=1 rewrites the expected images.
#include "app/controls/tests/qtenv.h"

#include "app/controls/advcombobox.h"
#include "app/controls/bartables.h"
#include "app/controls/bitmaps.h"
#include "app/controls/coolbuttonbar.h"
#include "app/controls/drawutil.h"
#include "app/controls/cooltoolbar.h"
#include "app/controls/hyperlink.h"
#include "app/controls/lvcover.h"
#include "app/controls/progresswnd.h"
#include "app/controls/shellfolderctrl.h"
#include "app/controls/xheaderctrl.h"
#include "app/controls/xlistctrl.h"

#include "tests/support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using controlstest::CountColor;

namespace {

const QString kExpected = QStringLiteral(TRANCEL_SOURCE_DIR "/app/controls/tests/expected");
const QString kShots = QStringLiteral(TRANCEL_BINARY_DIR "/controls-screenshots");
const QString kPictures = QStringLiteral(TRANCEL_SOURCE_DIR "/app/controls/pictures");

class Screenshots : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        QDir().mkpath(kShots);
    }
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
        controlstest::InstallLangStrings();
    }

    // Shows `widget` as a window at a fixed place and photographs it from
    // the screen.
    QImage Shoot(QWidget* widget, const QString& name)
    {
        widget->move(40, 40);
        widget->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
        QTest::qWait(100);
        QApplication::processEvents();
        return Photograph(widget, name);
    }

    QImage Photograph(QWidget* widget, const QString& name)
    {
        const QPoint at = widget->mapToGlobal(QPoint(0, 0));
        QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, at.x(), at.y(), widget->width(), widget->height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
        shot.save(kShots + QLatin1Char('/') + name + QStringLiteral(".png"));
        return shot;
    }

    // The screenshot must equal the expected image.
    void ExpectStable(const QImage& shot, const QString& name)
    {
        const QString path = kExpected + QLatin1Char('/') + name + QStringLiteral(".png");
        if (qEnvironmentVariableIntValue("CONTROLS_UPDATE_EXPECTED")) {
            QDir().mkpath(kExpected);
            shot.save(path);
        }
        const QImage expected = QImage(path).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(expected.isNull()) << "missing " << path.toStdString();
        EXPECT_EQ(shot, expected) << name.toStdString() << " differs from its expected image";
    }
};

TEST_F(Screenshots, ButtonBarsAreTheirSprites)
{
    CCoolButtonBar formatBar;
    formatBar.SetButtons(kOutputFormatBar.states, kOutputFormatBar.buttons, kOutputFormatBar.bitmapId);
    formatBar.DisableButton(1);   // the chosen format
    formatBar.resize(880, 75);
    ExpectStable(Shoot(&formatBar, QStringLiteral("format_bar")), QStringLiteral("format_bar"));

    CCoolButtonBar captionBar;
    captionBar.SetButtons(kWindowMenuBar.states, kWindowMenuBar.buttons, kWindowMenuBar.bitmapId);
    captionBar.resize(91, 23);
    ExpectStable(Shoot(&captionBar, QStringLiteral("caption_bar")), QStringLiteral("caption_bar"));
}

TEST_F(Screenshots, ToolBars)
{
    // Pictures only: stable.
    CCoolToolBar small;
    std::vector<COOLTOOLBUTTON> smallDefs(kListToolButtons + 1, kListToolButtons + 4);
    for (COOLTOOLBUTTON& def : smallDefs)
        def.textId = 0;
    smallDefs[0].state = 1;
    small.SetButtons(smallDefs);
    small.resize(small.sizeHint());
    ExpectStable(Shoot(&small, QStringLiteral("tool_bar_small")), QStringLiteral("tool_bar_small"));

    // With text: the caps are the sprite's, the text lies between them in
    // the bar's text colour.
    CCoolToolBar convert;
    convert.SetFontSize(35);
    COOLTOOLBUTTON convertDef = kConvertButton;
    convertDef.state = 1;
    convert.SetButtons({&convertDef, 1});
    convert.resize(convert.sizeHint());
    const QImage shot = Shoot(&convert, QStringLiteral("tool_bar_convert"));
    const QImage sprite = LoadBitmapResource(141).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.copy(0, 0, 75, 66), sprite.copy(0, 0, 75, 66));
    EXPECT_EQ(shot.copy(shot.width() - 5, 0, 5, 66), sprite.copy(98, 0, 5, 66));
    EXPECT_GT(CountColor(shot, QRect(75, 0, shot.width() - 80, 66), ColorFromRef(0x5F1600)), 20);
}

TEST_F(Screenshots, FileListWithProgressAndCheckBoxes)
{
    CXListCtrl list;
    list.resize(500, 160);
    list.InsertColumn(0, QStringLiteral("Item"), Qt::AlignLeft, 50);
    list.InsertColumn(1, QStringLiteral("FileName"), Qt::AlignLeft, 200);
    list.InsertColumn(2, QStringLiteral("Status"), Qt::AlignLeft, 200);
    list.SetFullRowSelect(true);
    list.SetGridLines(true);
    for (int row = 0; row < 4; ++row) {
        list.InsertItem(row, QString::number(row + 1));
        list.SetItemText(row, 1, QStringLiteral("report-%1.pdf").arg(row + 1));
        list.SetCheckbox(row, 0, row % 2);
    }
    list.SetHeaderCheckedState(0, 1);
    list.SetProgress(0, 2);
    list.UpdateProgress(0, 2, 45);
    list.SetProgress(1, 2);
    list.UpdateProgress(1, 2, 100);
    list.SetItemText(2, 2, QStringLiteral("Success"));
    list.SetEnabled(3, false);
    const QImage shot = Shoot(&list, QStringLiteral("file_list"));

    const QPoint origin = list.viewport()->mapTo(&list, QPoint(0, 0));
    QRect bar;
    list.GetSubItemRect(0, 2, bar);
    bar.translate(origin);
    const QColor highlight = list.palette().color(QPalette::Active, QPalette::Highlight);
    const int filled = CountColor(shot, bar, highlight);
    EXPECT_GT(filled, bar.width() * bar.height() * 30 / 100);
    EXPECT_LT(filled, bar.width() * bar.height() * 50 / 100);
    QRect full;
    list.GetSubItemRect(1, 2, full);
    full.translate(origin);
    EXPECT_GT(CountColor(shot, full, highlight), full.width() * full.height() * 70 / 100);
    QRect ticked;
    list.GetSubItemRect(1, 0, ticked);
    EXPECT_EQ(CountColor(shot, ticked.translated(origin), kCheckBoxTick), 21);
    const QRect header(QPoint(0, 0), list.header()->size());
    EXPECT_GT(CountColor(shot, header, kCheckBoxFrame), 20) << "the header's check box";
}

TEST_F(Screenshots, CoverHyperlinkAndProgressWindow)
{
    CLvCover cover(kPictures);
    cover.resize(877, 404);
    const QImage coverShot = Shoot(&cover, QStringLiteral("cover"));
    const QImage picture(kPictures + QStringLiteral("/lv_cover.png"));
    EXPECT_EQ(coverShot.pixel(150, 180) & 0xFFFFFF, picture.pixel(150, 180) & 0xFFFFFF);
    EXPECT_EQ(coverShot.pixel(0, 0) & 0xFFFFFF, 0xB8B8B8u);
    EXPECT_GT(CountColor(coverShot, QRect(25, 265, 240, 100), QColor(0x61, 0x61, 0x61)), 10);

    QWidget holder;
    holder.resize(300, 40);
    CHyperLink link(QStringLiteral("https://example.org/download.html"), QString(), &holder);
    link.move(5, 5);
    const QImage linkShot = Shoot(&holder, QStringLiteral("hyperlink"));
    EXPECT_GT(CountColor(linkShot, link.geometry(), ColorFromRef(0x1CEEE6)), 10);

    QWidget owner;
    owner.resize(600, 300);
    owner.move(40, 40);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    CProgressWnd progress;
    ASSERT_TRUE(progress.Create(&owner, QStringLiteral("Add PDF")));
    progress.SetText(QStringLiteral("Add PDF File:/home/user/report.pdf Success"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&progress));
    QTest::qWait(100);
    const QImage progressShot = Photograph(&progress, QStringLiteral("progress_window"));
    const QRect button = progress.CancelButton()->geometry();
    const QColor face = progress.palette().color(QPalette::Window);
    EXPECT_LT(CountColor(progressShot, button, face), button.width() * button.height())
        << "the Cancel button is drawn";
    EXPECT_LT(CountColor(progressShot, QRect(10, 10, 300, 20), face), 300 * 20) << "the text";
}

TEST_F(Screenshots, ComboBoxWithItsDropList)
{
    QWidget window;
    window.resize(240, 240);
    auto* combo = new CAdvComboBox(&window);
    combo->Create(CAdvComboBox::CBS_DROPDOWNLIST, QRect(10, 10, 160, 24), &window, 0);
    for (const char* t : {"A4", "Letter", "Legal", "A3"})
        combo->AddString(t);
    combo->SetEntryDisabled(2, true);
    combo->SetCurSel(1);
    Shoot(&window, QStringLiteral("combo_closed"));
    combo->ToggleDrop();
    CDropWnd* drop = combo->GetDropWnd();
    ASSERT_NE(drop, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(drop));
    QTest::qWait(100);
    const QImage shot = Photograph(drop, QStringLiteral("combo_drop_list"));
    const QColor frame = drop->palette().color(QPalette::Shadow);
    EXPECT_EQ(shot.pixel(0, 0) & 0xFFFFFF, frame.rgb() & 0xFFFFFF);
    EXPECT_EQ(drop->geometry().top(), combo->mapToGlobal(QPoint(0, 0)).y() + combo->height());
    combo->CloseDrop();
}

TEST_F(Screenshots, FolderTree)
{
    testutil::TempDir tmp;
    for (const char* dir : {"Documents/Reports", "Music", ".config"})
        std::filesystem::create_directories(tmp.path() / dir);
    CCheckShellFolderCtrl tree;
    tree.resize(300, 200);
    const QString root = QString::fromStdString(tmp.path().string());
    tree.InitTree(root, root + QStringLiteral("/Documents"));
    tree.ToggleCheck(tree.currentItem());
    const QImage shot = Shoot(&tree, QStringLiteral("folder_tree"));
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 3);
    EXPECT_TRUE(tree.IsBold(tree.topLevelItem(0)));
    const QRect box = tree.CheckBoxRect(tree.currentItem())
                          .translated(tree.viewport()->mapTo(&tree, QPoint(0, 0)));
    const QColor base = tree.palette().color(QPalette::Base);
    EXPECT_LT(CountColor(shot, box, base), box.width() * box.height()) << "the check box is drawn";
}

} // namespace
