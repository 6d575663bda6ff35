// The self-drawn combo box: its calls, keyboard moves over disabled entries,
// the drop list above or below, the order of its notifications, and the
// combo cells of the file list.
#include "app/controls/tests/qtenv.h"

#include "app/controls/advcombobox.h"
#include "app/controls/themehelper.h"
#include "app/controls/xcombo.h"
#include "app/controls/xlistctrl.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using controlstest::CountColor;
using controlstest::Grab;

namespace {

using N = CAdvComboBox::Notification;

std::vector<int> Codes(const QSignalSpy& spy)
{
    std::vector<int> codes;
    for (const QList<QVariant>& call : spy)
        codes.push_back(call[0].toInt());
    return codes;
}

class ComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(300, 120);
        window->move(100, 100);
        combo = new CAdvComboBox(window.get());
        combo->Create(CAdvComboBox::CBS_DROPDOWNLIST, QRect(10, 10, 160, 24), window.get(), 0);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        combo->setFocus();
    }

    void Fill(std::initializer_list<const char*> texts)
    {
        for (const char* t : texts)
            combo->AddString(QString::fromUtf8(t));
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = combo->IsDropped() ? static_cast<QWidget*>(combo->GetDropWnd()) : combo;
        QTest::keyClick(target, key, modifiers);
    }

    std::unique_ptr<QWidget> window;
    CAdvComboBox* combo = nullptr;
};

TEST_F(ComboTest, AnswersTheComboBoxCalls)
{
    EXPECT_EQ(combo->SetCurSel(2), -1) << "no entries: kept for later";
    EXPECT_EQ(combo->AddString("one"), 0);
    EXPECT_EQ(combo->AddString("two"), 1);
    EXPECT_EQ(combo->AddString("six"), 2);
    EXPECT_EQ(combo->GetCurrentText(), QStringLiteral("six")) << "the kept selection";
    EXPECT_EQ(combo->AddString("two"), 3);
    QString text;
    const struct {
        const char* call;
        std::function<int()> run;
        int result;
    } cases[] = {
        {"GetCount", [&] { return combo->GetCount(); }, 4},
        {"GetLBTextLen(2)", [&] { return combo->GetLBTextLen(2); }, 4},
        {"GetLBTextLen(4)", [&] { return combo->GetLBTextLen(4); }, -1},
        {"GetLBTextLen(-1)", [&] { return combo->GetLBTextLen(-1); }, -1},
        {"GetLBText(0)", [&] { return combo->GetLBText(0, text); }, 4},
        {"GetLBText(9)", [&] { return combo->GetLBText(9, text); }, -1},
        {"SetCurSel(3)", [&] { return combo->SetCurSel(3); }, 3},
        {"GetCurSel after 3", [&] { return combo->GetCurSel(); }, 1},   // same text: first one
        {"SetCurSel(7)", [&] { return combo->SetCurSel(7); }, -1},
        {"GetCurSel kept", [&] { return combo->GetCurSel(); }, 1},
        {"SelectString(-1, six)", [&] { return combo->SelectString(-1, "six"); }, 2},
        {"FindStringExact(2, two)", [&] { return combo->FindStringExact(2, "two"); }, 3},
        {"FindStringExact(-1, Two)", [&] { return combo->FindStringExact(-1, "Two"); }, -1},
        {"GetTopIndex closed", [&] { return combo->GetTopIndex(); }, -1},
        {"SetCurSel(-1)", [&] { return combo->SetCurSel(-1); }, -1},
        {"GetCurSel none", [&] { return combo->GetCurSel(); }, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.run(), c.result) << c.call;
    EXPECT_EQ(text, QStringLiteral("one"));
    EXPECT_TRUE(combo->GetCurrentText().isEmpty());
    combo->SetCurSel(1);
    combo->ResetContent();
    EXPECT_EQ(combo->GetCount(), 0);
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_TRUE(combo->GetCurrentText().isEmpty());
}

TEST_F(ComboTest, KeyboardMovesPassDisabledEntriesAndNotify)
{
    Fill({"a", "b", "c", "d", "e"});
    combo->SetEntryDisabled(1, true);
    combo->SetEntryDisabled(3, true);
    combo->SetCurSel(0);
    QSignalSpy spy(combo, &CAdvComboBox::Notify);
    const struct {
        Qt::Key key;
        int selection;
    } moves[] = {{Qt::Key_Down, 2}, {Qt::Key_Down, 4}, {Qt::Key_Down, 4}, {Qt::Key_Up, 2},
                 {Qt::Key_Up, 0}, {Qt::Key_Up, 0}, {Qt::Key_PageDown, 4}, {Qt::Key_PageUp, 0}};
    for (const auto& m : moves) {
        Key(m.key);
        EXPECT_EQ(combo->GetCurSel(), m.selection) << m.key;
    }
    // Every change notifies "selection ended well" and then "changed";
    // moves that change nothing say nothing.
    EXPECT_EQ(Codes(spy), (std::vector<int>{N::CBN_SELENDOK, N::CBN_SELCHANGE, N::CBN_SELENDOK,
                                            N::CBN_SELCHANGE, N::CBN_SELENDOK, N::CBN_SELCHANGE,
                                            N::CBN_SELENDOK, N::CBN_SELCHANGE, N::CBN_SELENDOK,
                                            N::CBN_SELCHANGE, N::CBN_SELENDOK, N::CBN_SELCHANGE}));
}

TEST_F(ComboTest, PageDownStopsAtTheLastEntry)
{
    for (int i = 0; i < 25; ++i)
        combo->AddString(QStringLiteral("entry %1").arg(i));
    combo->SetCurSel(0);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(combo->GetCurSel(), 10);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(combo->GetCurSel(), 24);
    combo->SetEntryDisabled(24, true);
    combo->SetCurSel(20);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(combo->GetCurSel(), 23) << "the last enabled entry";
}

TEST_F(ComboTest, TheDropListOpensBelowOrAboveAsTheScreenAllows)
{
    Fill({"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"});
    const QRect screen = combo->screen()->availableGeometry();
    QSignalSpy spy(combo, &CAdvComboBox::Notify);
    Key(Qt::Key_F4);
    ASSERT_TRUE(combo->IsDropped());
    CDropWnd* drop = combo->GetDropWnd();
    ASSERT_NE(drop, nullptr);
    const QRect face(combo->mapToGlobal(QPoint(0, 0)), combo->size());
    EXPECT_EQ(drop->geometry().top(), face.bottom() + 1);
    EXPECT_EQ(drop->height(), drop->RowHeight() * 8 + 2);
    EXPECT_GE(drop->width(), face.width());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(Codes(spy), (std::vector<int>{N::CBN_DROPDOWN, N::CBN_SELENDCANCEL, N::CBN_CLOSEUP}));

    // Near the bottom of the screen, with room for fewer than five rows.
    window->move(100, screen.bottom() - 60);
    QTest::qWait(20);
    const int rowHeight = QFontMetrics(combo->font()).height() + 2;
    const QRect low(combo->mapToGlobal(QPoint(0, 0)), combo->size());
    ASSERT_LT((screen.bottom() - low.bottom()) / rowHeight, 5);
    Key(Qt::Key_F4);
    ASSERT_TRUE(combo->IsDropped());
    EXPECT_EQ(combo->GetDropWnd()->geometry().bottom(), low.top() - 1) << "opens above";
    Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(combo->IsDropped());

    // A row limit keeps the list short.
    combo->SetVisibleRows(3);
    Key(Qt::Key_F4);
    EXPECT_EQ(combo->GetDropWnd()->height(), 3 * rowHeight + 2);
    Key(Qt::Key_Escape);
}

TEST_F(ComboTest, PickingFromTheDropListNotifiesInOrder)
{
    Fill({"red", "green", "blue", "grey"});
    combo->SetEntryDisabled(2, true);
    combo->SetCurSel(0);
    QSignalSpy spy(combo, &CAdvComboBox::Notify);
    Key(Qt::Key_F4);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);   // past the disabled "blue"
    EXPECT_EQ(combo->GetDropWnd()->ListBox()->currentRow(), 3);
    EXPECT_EQ(combo->GetCurSel(), 0) << "moving in the open list does not select yet";
    Key(Qt::Key_Return);
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(combo->GetCurSel(), 3);
    EXPECT_EQ(Codes(spy), (std::vector<int>{N::CBN_DROPDOWN, N::CBN_SELENDOK, N::CBN_CLOSEUP,
                                            N::CBN_SELCHANGE}));

    // With the mouse: hovering a disabled entry leaves the selection, a
    // release over an enabled one picks it.
    spy.clear();
    QTest::mouseClick(combo, Qt::LeftButton);
    ASSERT_TRUE(combo->IsDropped());
    CDropListBox* list = combo->GetDropWnd()->ListBox();
    const QRect blue = list->visualItemRect(list->item(2));
    const QRect green = list->visualItemRect(list->item(1));
    QTest::mouseMove(list->viewport(), blue.center());
    EXPECT_EQ(list->currentRow(), 3);
    QTest::mouseMove(list->viewport(), green.center());
    EXPECT_EQ(list->currentRow(), 1);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, green.center());
    QTRY_VERIFY(!combo->IsDropped());
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(Codes(spy), (std::vector<int>{N::CBN_DROPDOWN, N::CBN_SELENDOK, N::CBN_CLOSEUP,
                                            N::CBN_SELCHANGE}));
}

TEST_F(ComboTest, TheDropDownStyleCompletesTyping)
{
    auto* edit = new CAdvComboBox(window.get());
    edit->Create(CAdvComboBox::CBS_DROPDOWN, QRect(10, 50, 160, 24), window.get(), 0);
    edit->SetOptions(edit->GetOptions() | CAdvComboBox::kAppendMatch);
    for (const char* t : {"Portrait", "Landscape", "Letter"})
        edit->AddString(t);
    edit->show();
    edit->setFocus();
    ASSERT_NE(edit->GetEditPart(), nullptr);
    QTRY_VERIFY(edit->GetEditPart()->hasFocus());
    QSignalSpy spy(edit, &CAdvComboBox::Notify);
    QTest::keyClicks(edit->GetEditPart(), QStringLiteral("la"));
    EXPECT_EQ(edit->GetCurrentText(), QStringLiteral("Landscape"));
    EXPECT_EQ(edit->GetEditPart()->selectedText(), QStringLiteral("ndscape"));
    EXPECT_EQ(edit->GetCurSel(), 1);
    const std::vector<int> codes = Codes(spy);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(N::CBN_EDITUPDATE)), 2);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(N::CBN_EDITCHANGE)), 2);
}

TEST(ComboLook, ClassicStyleDrawsTheSunkenFrame)
{
    QWidget window;
    auto* combo = new CAdvComboBox(&window);
    combo->Create(CAdvComboBox::CBS_DROPDOWNLIST, QRect(0, 0, 120, 22), &window, 0);
    combo->AddString("one");
    combo->SetCurSel(0);
    window.resize(130, 30);
    std::unique_ptr<QStyle> classic(QStyleFactory::create(QStringLiteral("Windows")));
    ASSERT_NE(classic, nullptr);
    EXPECT_FALSE(ThemeHelper::UseVisualStyles(classic.get()));
    EXPECT_TRUE(ThemeHelper::UseVisualStyles(QApplication::style()));
    combo->setStyle(classic.get());
    const QImage image = Grab(combo);
    const QPalette p = combo->palette();
    EXPECT_EQ(image.pixel(0, 10) & 0xFFFFFF, p.color(QPalette::Dark).rgb() & 0xFFFFFF);
    EXPECT_EQ(image.pixel(119, 10) & 0xFFFFFF, p.color(QPalette::Light).rgb() & 0xFFFFFF);
    EXPECT_EQ(image.pixel(1, 10) & 0xFFFFFF, p.color(QPalette::Shadow).rgb() & 0xFFFFFF);
    combo->setStyle(nullptr);
}

// --- combo cells of the file list ---------------------------------------------------

class ComboCellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        list = std::make_unique<CXListCtrl>();
        list->resize(400, 200);
        list->InsertColumn(0, QStringLiteral("Item"), Qt::AlignLeft, 60);
        list->InsertColumn(1, QStringLiteral("Paper"), Qt::AlignLeft, 160);
        for (int row = 0; row < 3; ++row)
            list->InsertItem(row, QString::number(row + 1));
        list->SetItemText(0, 1, QStringLiteral("Letter"));
        list->SetComboBox(0, 1, true, {"A4", "", "Letter", "Legal"}, 10, -1);
        list->show();
        QApplication::setActiveWindow(list.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(list.get()));
    }

    void ClickCell(int row, int column)
    {
        QRect r;
        list->GetSubItemRect(row, column, r);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    }

    std::unique_ptr<CXListCtrl> list;
};

TEST_F(ComboCellTest, AClickOpensTheComboOnTheCellsEntry)
{
    ClickCell(0, 1);
    CXCombo* combo = list->GetCombo();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCount(), 3) << "empty choices are left out";
    EXPECT_EQ(combo->GetCurrentText(), QStringLiteral("Letter"));
    EXPECT_TRUE(combo->hasFocus());
    QRect cell;
    list->GetSubItemRect(0, 1, cell);
    EXPECT_EQ(combo->geometry().left(), cell.left() + 1);
    EXPECT_EQ(combo->geometry().top(), cell.top() - 1);
}

TEST_F(ComboCellTest, ReturnTakesTheSelectionAndEscapeDropsIt)
{
    QSignalSpy selected(list.get(), &CXListCtrl::WM_XLISTCTRL_COMBO_SELECTION);
    ASSERT_TRUE(list->StartComboEdit(0, 1));
    QPointer<CXCombo> combo = list->GetCombo();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_VERIFY(combo.isNull());
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected[0][0].toInt(), 0);
    EXPECT_EQ(selected[0][1].toInt(), 1);
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("Legal"));
    EXPECT_TRUE(list->GetModified(0, 1));

    ASSERT_TRUE(list->StartComboEdit(0, 1));
    combo = list->GetCombo();
    QTest::keyClick(combo, Qt::Key_Up);
    QTest::keyClick(combo, Qt::Key_Escape);
    QTRY_VERIFY(combo.isNull());
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("Legal"));
}

TEST_F(ComboCellTest, PickingWithTheMouseCompletesAndTheOwnersEscapeCancels)
{
    QSignalSpy selected(list.get(), &CXListCtrl::WM_XLISTCTRL_COMBO_SELECTION);
    ASSERT_TRUE(list->StartComboEdit(0, 1));
    QPointer<CXCombo> combo = list->GetCombo();
    QTest::keyClick(combo, Qt::Key_F4);
    CDropListBox* box = combo->GetDropWnd()->ListBox();
    const QPoint a4 = box->visualItemRect(box->item(0)).center();
    QTest::mouseMove(box->viewport(), a4);
    QTest::mouseRelease(box->viewport(), Qt::LeftButton, Qt::NoModifier, a4);
    QTRY_VERIFY(combo.isNull());
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("A4"));

    // The main window closes an open combo before every command.
    ASSERT_TRUE(list->StartComboEdit(0, 1));
    combo = list->GetCombo();
    list->OnXComboListVkEscape();
    QTRY_VERIFY(combo.isNull());
    EXPECT_EQ(selected.count(), 1);
}

TEST_F(ComboCellTest, AnInitialChoiceOrAnEmptyCellPicksTheEntry)
{
    list->SetComboBox(1, 1, true, {"x", "y", "z"}, 2, 2);
    ASSERT_TRUE(list->StartComboEdit(1, 1));
    EXPECT_EQ(list->GetCombo()->GetCurrentText(), QStringLiteral("z"));
    EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("z"));
    list->OnXComboListVkEscape();
    QTRY_VERIFY(list->GetCombo() == nullptr);
    ASSERT_TRUE(list->StartComboEdit(1, 1));
    EXPECT_EQ(list->GetCombo()->GetCurrentText(), QStringLiteral("z")) << "the initial choice is used once";
    list->OnXComboListVkEscape();
    QTRY_VERIFY(list->GetCombo() == nullptr);

    list->SetComboBox(2, 1, true, {"first", "second"});
    ASSERT_TRUE(list->StartComboEdit(2, 1));
    EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("first"));
}

} // namespace
