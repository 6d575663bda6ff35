// The file list: out-of-range calls, progress cells in pixels, the in-cell
// edit box, cell and header check boxes, keyboard moves over disabled rows
// and tooltips.
#include "app/controls/tests/qtenv.h"

#include "app/controls/xedit.h"
#include "app/controls/xheaderctrl.h"
#include "app/controls/xlistctrl.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using controlstest::AllColor;
using controlstest::CountColor;
using controlstest::Grab;

namespace {

class FileList : public ::testing::Test {
protected:
    void SetUp() override
    {
        list = std::make_unique<CXListCtrl>();
        list->resize(420, 220);
        list->InsertColumn(0, QStringLiteral("Item"), Qt::AlignLeft, 60);
        list->InsertColumn(1, QStringLiteral("FileName"), Qt::AlignLeft, 200);
        list->InsertColumn(2, QStringLiteral("Status"), Qt::AlignLeft, 120);
        for (int row = 0; row < 6; ++row) {
            list->InsertItem(row, QString::number(row + 1));
            list->SetItemText(row, 1, QStringLiteral("file%1.pdf").arg(row + 1));
        }
        list->show();
        QApplication::setActiveWindow(list.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(list.get()));
        list->setFocus();
    }

    QRect Cell(int row, int column)
    {
        QRect rect;
        EXPECT_TRUE(list->GetSubItemRect(row, column, rect));
        return rect;
    }

    void Click(int row, int column, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(list->viewport(), button, Qt::NoModifier, Cell(row, column).center());
    }

    // Cell pixels from a grab of the viewport.
    QImage GrabViewport() { return Grab(list->viewport()); }

    std::unique_ptr<CXListCtrl> list;
};

// --- out-of-range calls --------------------------------------------------------

TEST_F(FileList, OutOfRangeCallsChangeNothingAndReturnTheirFailureValue)
{
    struct Case {
        const char* call;
        std::function<long long()> run;
        long long failure;
    };
    const int rows = list->GetItemCount();
    const int columns = list->GetColumns();
    int dummy = 0;
    QRect rect;
    const std::vector<Case> cases = {
        {"InsertItem(-1)", [&] { return list->InsertItem(-1, "x"); }, -1},
        {"InsertItem(-5, colours)", [&] { return list->InsertItem(-5, "x", Qt::red, Qt::blue); }, -1},
        {"DeleteItem(-1)", [&] { return list->DeleteItem(-1); }, 0},
        {"DeleteItem(rows)", [&] { return list->DeleteItem(rows); }, 0},
        {"GetItemData(rows)", [&] { return (long long)(list->GetItemData(rows) != nullptr); }, 0},
        {"SetItemData(-1)", [&] { return list->SetItemData(-1, &dummy); }, 0},
        {"GetEnabled(rows)", [&] { return list->GetEnabled(rows); }, 0},
        {"SetItemText(rows, 0)", [&] { return list->SetItemText(rows, 0, "x"); }, 0},
        {"SetItemText(0, columns)", [&] { return list->SetItemText(0, columns, "x"); }, 0},
        {"SetItemText(0, -1)", [&] { return list->SetItemText(0, -1, "x"); }, 0},
        {"SetItemToolTipText(0, columns)", [&] { return list->SetItemToolTipText(0, columns, "x"); }, 0},
        {"SetProgress(-1, 0)", [&] { return list->SetProgress(-1, 0); }, 0},
        {"SetProgress(0, columns)", [&] { return list->SetProgress(0, columns, true, "%d"); }, 0},
        {"GetHeaderCheckedState(-1)", [&] { return list->GetHeaderCheckedState(-1); }, -1},
        {"GetHeaderCheckedState(columns)", [&] { return list->GetHeaderCheckedState(columns); }, -1},
        {"SetHeaderCheckedState(columns)", [&] { return list->SetHeaderCheckedState(columns, 1); }, 0},
        {"CountCheckedItems(-1)", [&] { return list->CountCheckedItems(-1); }, 0},
        {"GetSubItemRect(rows, 0)", [&] { return list->GetSubItemRect(rows, 0, rect); }, 0},
        {"GetSubItemRect(0, columns)", [&] { return list->GetSubItemRect(0, columns, rect); }, 0},
        {"SetCurSel(rows)", [&] { return list->SetCurSel(rows); }, 0},
        {"SetCurSel(-1)", [&] { return list->SetCurSel(-1); }, 0},
        {"SetColumnWidth(columns)", [&] { return list->SetColumnWidth(columns, 50); }, 0},
        {"SetCheckbox(rows, 0)", [&] { return list->SetCheckbox(rows, 0, 1); }, 0},
        {"GetCheckbox(0, columns)", [&] { return list->GetCheckbox(0, columns); }, -1},
        {"StartEdit(rows, 0)", [&] { return list->StartEdit(rows, 0); }, 0},
        {"StartEdit(0, columns)", [&] { return list->StartEdit(0, columns); }, 0},
        {"GetItemText(rows, 0) empty", [&] { return (long long)!list->GetItemText(rows, 0).isEmpty(); }, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.run(), c.failure) << c.call;

    // The calls without a result must not touch anything either.
    list->UpdateProgress(rows, 0, 50);
    list->UpdateProgress(0, -1, 50);
    list->DeleteProgress(-1, 0);
    list->UpdateSubItem(0, columns);
    EXPECT_EQ(list->GetItemCount(), rows);
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("file1.pdf"));
    EXPECT_EQ(list->GetCurSel(), -1);
}

TEST_F(FileList, RowsPastTheEndAreAppendedAndDataIsKeptPerRow)
{
    EXPECT_EQ(list->InsertItem(100, "last"), 6);
    int a = 1, b = 2;
    EXPECT_TRUE(list->SetItemData(0, &a));
    EXPECT_TRUE(list->SetItemData(6, &b));
    EXPECT_EQ(list->GetItemData(0), &a);
    EXPECT_EQ(list->GetItemData(6), &b);
    EXPECT_TRUE(list->DeleteItem(0));
    EXPECT_EQ(list->GetItemData(5), &b);
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("file2.pdf"));
}

TEST_F(FileList, AColumnAddedAfterTheRowsGivesEveryRowARecordForIt)
{
    EXPECT_EQ(list->InsertColumn(1, QStringLiteral("Size"), Qt::AlignRight, 50), 1);
    EXPECT_EQ(list->InsertColumn(99, QStringLiteral("Extra"), Qt::AlignLeft, 40), 4);
    ASSERT_EQ(list->GetColumns(), 5);
    for (int row = 0; row < list->GetItemCount(); ++row) {
        EXPECT_EQ(list->GetItemText(row, 2), QStringLiteral("file%1.pdf").arg(row + 1));
        EXPECT_TRUE(list->GetItemText(row, 1).isEmpty());
        EXPECT_TRUE(list->SetProgress(row, 4));
        list->UpdateProgress(row, 4, 30);
        EXPECT_TRUE(list->SetCheckbox(row, 1, 1));
    }
    EXPECT_EQ(list->CountCheckedItems(1), list->GetItemCount());
    EXPECT_EQ(list->CountCheckedItems(4), 0);
    list->repaint();   // paints every new cell
}

TEST_F(FileList, SetColumnWidthAddsTheHeaderMarginsAndTheFirstColumnEndsAtTheNext)
{
    EXPECT_TRUE(list->SetColumnWidth(2, 100));
    EXPECT_EQ(list->GetColumnWidth(2), 112);
    const QRect first = Cell(0, 0);
    const QRect second = Cell(0, 1);
    EXPECT_EQ(first.right() + 1, second.left());
    EXPECT_EQ(first.width(), 60);
}

// --- progress cells -------------------------------------------------------------

TEST(FileListPercent, OnlyOneIntegerConversionIsEverFilledIn)
{
    const struct {
        const char* format;
        int percent;
        const char* text;
    } cases[] = {
        {"", 45, "45%"},
        {"%d%%", 45, "45%"},
        {"%i percent", 7, "7 percent"},
        {"%3d|", 5, "  5|"},
        {"%03d", 5, "005"},
        {"%d of %d", 45, "45 of %d"},
        {"%s%n%x", 45, "%s%n%x"},
        {"%%d", 45, "%d"},
        {"done %", 100, "done %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatPercent(QString::fromUtf8(c.format), c.percent), QString::fromUtf8(c.text))
            << c.format;
}

TEST_F(FileList, UpdateProgressClampsThePercent)
{
    ASSERT_TRUE(list->SetProgress(0, 2));
    const struct {
        int in, stored;
    } cases[] = {{-20, 0}, {0, 0}, {45, 45}, {100, 100}, {250, 100}, {INT_MAX, 100}, {INT_MIN, 0}};
    for (const auto& c : cases) {
        list->UpdateProgress(0, 2, c.in);
        EXPECT_EQ(list->GetModel()->Cell(0, 2)->percent, c.stored) << c.in;
    }
}

// The bounding box of the pixels in `rect` that are none of `background`.
QRect InkBox(const QImage& image, const QRect& rect, const std::vector<QColor>& background)
{
    QRect box;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb p = image.pixel(x, y) & 0xFFFFFF;
            bool isBackground = false;
            for (const QColor& c : background)
                isBackground |= p == (c.rgb() & 0xFFFFFF);
            if (!isBackground)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

TEST_F(FileList, ProgressCellsDrawFrameFillAndPercentText)
{
    const QColor textColor(200, 0, 0);
    const QColor track(224, 224, 224);
    const QPalette palette = list->palette();
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);
    const QColor shadow = palette.color(QPalette::Active, QPalette::Dark);

    for (int percent : {0, 45, 100}) {
        SCOPED_TRACE(percent);
        ASSERT_TRUE(list->SetProgress(1, 2));
        list->SetItemColors(1, 2, textColor, QColor());
        list->UpdateProgress(1, 2, percent);
        const QImage image = GrabViewport();
        const QRect cell = Cell(1, 2);
        const QRect bar = cell.adjusted(1, 0, 0, -1);
        const QRect inside = bar.adjusted(1, 1, -1, -1);

        // Frame: black top and left edges, shadow bottom and right edges;
        // the cell's left column and bottom row stay outside the bar.
        EXPECT_TRUE(AllColor(image, QRect(bar.left(), bar.top(), bar.width() - 1, 1), Qt::black));
        EXPECT_TRUE(AllColor(image, QRect(bar.left(), bar.top(), 1, bar.height() - 1), Qt::black));
        EXPECT_TRUE(AllColor(image, QRect(bar.left(), bar.bottom(), bar.width(), 1), shadow));
        EXPECT_TRUE(AllColor(image, QRect(bar.right(), bar.top(), 1, bar.height()), shadow));
        EXPECT_EQ(CountColor(image, QRect(cell.left(), cell.top(), 1, cell.height()), Qt::black), 0);

        const int fillEnd = bar.left() + (bar.width() - 1) * percent / 100;
        if (percent == 0) {
            EXPECT_TRUE(AllColor(image, inside, track)) << "no fill and no text at 0";
            continue;
        }
        const QRect fill(QPoint(inside.left(), inside.top()), QPoint(fillEnd - 1, inside.bottom()));
        const QRect rest(QPoint(fillEnd, inside.top()), inside.bottomRight());
        // The fill ends exactly at its computed edge: its last column is
        // highlight (or text over it), the next column is track (or text).
        EXPECT_EQ(CountColor(image, QRect(fill.right(), fill.top(), 1, fill.height()), track), 0);
        EXPECT_EQ(CountColor(image, fill, track), 0);
        EXPECT_GT(CountColor(image, fill, highlight), fill.width() * fill.height() / 2);
        if (percent == 100) {
            EXPECT_EQ(fill, inside) << "at 100 the fill covers the bar";
            EXPECT_GT(CountColor(image, inside, highlightText), 0);
            EXPECT_EQ(CountColor(image, inside, textColor), 0);
        } else {
            EXPECT_EQ(CountColor(image, QRect(rest.left(), rest.top(), 1, rest.height()), highlight), 0);
            EXPECT_EQ(CountColor(image, rest, highlight), 0);
            EXPECT_GT(CountColor(image, fill, highlightText), 0) << "text over the fill";
            EXPECT_GT(CountColor(image, rest, textColor), 0) << "text over the track";
            EXPECT_EQ(CountColor(image, fill, textColor), 0);
            EXPECT_EQ(CountColor(image, rest, highlightText), 0);
        }

        // The text is "45%" (or "100%"), centred in the cell: its ink has the
        // width and place of the same text drawn alone.
        QImage reference(image.size(), QImage::Format_RGB32);
        reference.fill(Qt::white);
        {
            QPainter p(&reference);
            p.setFont(list->font());
            p.setPen(Qt::black);
            p.drawText(cell.adjusted(1, 1, -1, -1), Qt::AlignCenter | Qt::TextSingleLine,
                       QStringLiteral("%1%").arg(percent));
        }
        const QRect want = InkBox(reference, inside, {Qt::white});
        const QRect got = InkBox(image, inside, {highlight, track});
        EXPECT_LE(std::abs(got.left() - want.left()), 1);
        EXPECT_LE(std::abs(got.right() - want.right()), 1);
        EXPECT_LE(std::abs(got.top() - want.top()), 1);
    }

    // Back to text: the cell shows its text again, no bar.
    list->SetItemText(1, 2, QString());
    list->DeleteProgress(1, 2);
    EXPECT_EQ(CountColor(GrabViewport(), Cell(1, 2), track), 0);
}

TEST_F(FileList, ASelectedRowHighlightsTheFirstColumnOnlyUnlessFullRowSelectIsOn)
{
    const QColor highlight = list->palette().color(QPalette::Active, QPalette::Highlight);
    list->SetProgress(2, 2);
    list->UpdateProgress(2, 2, 50);
    list->SetCurSel(2);
    list->setFocus();
    const auto fullyHighlighted = [&](const QImage& image, int column) {
        const QRect r = Cell(2, column);
        return CountColor(image, r, highlight) > r.width() * r.height() * 3 / 4;
    };
    QImage image = GrabViewport();
    EXPECT_TRUE(fullyHighlighted(image, 0));
    EXPECT_FALSE(fullyHighlighted(image, 1));
    const int barHighlight = CountColor(image, Cell(2, 2), highlight);

    list->SetFullRowSelect(true);
    image = GrabViewport();
    EXPECT_TRUE(fullyHighlighted(image, 1));
    EXPECT_EQ(CountColor(image, Cell(2, 2), highlight), barHighlight) << "progress keeps its look";
}

// --- the edit box -----------------------------------------------------------------

TEST_F(FileList, EditBoxOpensOnAClickWithItsTextSelected)
{
    ASSERT_TRUE(list->SetEdit(1, 1));
    Click(1, 1);
    CXEdit* edit = list->GetEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("file2.pdf"));
    EXPECT_EQ(edit->selectedText(), QStringLiteral("file2.pdf"));
    EXPECT_TRUE(edit->hasFocus());
    const QRect cell = Cell(1, 1);
    EXPECT_EQ(edit->geometry().left(), cell.left() + 2);
    EXPECT_EQ(edit->geometry().width(), cell.width() - 4);
    EXPECT_EQ(list->GetCurSel(), 1) << "the click also selects the row";

    // A cell without an edit box opens none.
    list->OnXEditVkEscape();
    Click(2, 1);
    EXPECT_EQ(list->GetEdit(), nullptr);
}

TEST_F(FileList, ReturnEndsTheEditOnceAndKeepsTheText)
{
    QSignalSpy ended(list.get(), &CXListCtrl::WM_XLISTCTRL_EDIT_END);
    ASSERT_TRUE(list->SetEdit(3, 1));
    ASSERT_TRUE(list->StartEdit(3, 1));
    QPointer<CXEdit> edit = list->GetEdit();
    QTest::keyClicks(edit, QStringLiteral("renamed.pdf"));
    QSignalSpy killFocus(edit.data(), &CXEdit::WM_XEDIT_KILL_FOCUS);
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents();
    QTest::keyClick(list.get(), Qt::Key_Return);   // nothing left to end
    QTRY_VERIFY(edit.isNull());
    EXPECT_EQ(killFocus.count(), 1);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0][0].toInt(), 3);
    EXPECT_EQ(ended[0][1].toInt(), 1);
    EXPECT_EQ(list->GetItemText(3, 1), QStringLiteral("renamed.pdf"));
    EXPECT_TRUE(list->GetModified(3, 1));
    EXPECT_TRUE(list->IsListModified());
    EXPECT_TRUE(list->hasFocus()) << "the list takes the focus back";
}

TEST_F(FileList, AnEmptiedEditGetsItsSavedTextBack)
{
    QSignalSpy ended(list.get(), &CXListCtrl::WM_XLISTCTRL_EDIT_END);
    ASSERT_TRUE(list->StartEdit(0, 1));
    QTest::keyClick(list->GetEdit(), Qt::Key_Delete);   // the whole text was selected
    EXPECT_TRUE(list->GetEdit()->text().isEmpty());
    QTest::keyClick(list->GetEdit(), Qt::Key_Return);
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("file1.pdf"));
    EXPECT_FALSE(list->GetModified(0, 1));
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(FileList, EscapeRestoresTheTextAndSendsNothing)
{
    QSignalSpy ended(list.get(), &CXListCtrl::WM_XLISTCTRL_EDIT_END);
    ASSERT_TRUE(list->StartEdit(2, 1));
    QPointer<CXEdit> edit = list->GetEdit();
    QTest::keyClicks(edit, QStringLiteral("other"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY(edit.isNull());
    EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("file3.pdf"));
    EXPECT_FALSE(list->GetModified(2, 1));
    EXPECT_EQ(ended.count(), 0);
}

TEST_F(FileList, LosingTheFocusEndsTheEditOnceAndKeepsTheText)
{
    QLineEdit other(list.get());
    other.setGeometry(0, 0, 10, 10);
    other.show();
    QSignalSpy ended(list.get(), &CXListCtrl::WM_XLISTCTRL_EDIT_END);
    ASSERT_TRUE(list->StartEdit(4, 1));
    QPointer<CXEdit> edit = list->GetEdit();
    QTest::keyClicks(edit, QStringLiteral("kept"));
    other.setFocus();
    QTRY_VERIFY(edit.isNull());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(list->GetItemText(4, 1), QStringLiteral("kept"));
    EXPECT_TRUE(other.hasFocus());
}

TEST_F(FileList, EditBoxesRefuseDisabledRowsAndNarrowColumnsAndFollowDeletedRows)
{
    list->SetEnabled(1, false);
    EXPECT_FALSE(list->StartEdit(1, 1));
    list->setColumnWidth(2, 4);
    EXPECT_FALSE(list->StartEdit(0, 2));

    ASSERT_TRUE(list->StartEdit(4, 1));
    QTest::keyClicks(list->GetEdit(), QStringLiteral("moved"));
    list->DeleteItem(0);   // the edited row is now row 3
    QTest::keyClick(list->GetEdit(), Qt::Key_Return);
    EXPECT_EQ(list->GetItemText(3, 1), QStringLiteral("moved"));

    ASSERT_TRUE(list->StartEdit(3, 1));
    QPointer<CXEdit> edit = list->GetEdit();
    EXPECT_TRUE(list->DeleteItem(3));   // deleting the edited row cancels the edit
    EXPECT_EQ(list->GetEdit(), nullptr);
    QTRY_VERIFY(edit.isNull());
}

// --- check boxes ----------------------------------------------------------------

const QColor kTick(51, 153, 51);

TEST_F(FileList, ClickingACellCheckBoxTogglesItAndTheHeaderFollowsTheRows)
{
    QSignalSpy clicked(list.get(), &CXListCtrl::WM_XLISTCTRL_CHECKBOX_CLICKED);
    const int rows = list->GetItemCount();
    for (int row = 0; row < rows; ++row)
        list->SetCheckbox(row, 2, 0);
    ASSERT_TRUE(list->SetHeaderCheckedState(2, 1));

    for (int row = 0; row < rows; ++row) {
        EXPECT_EQ(list->GetHeaderCheckedState(2), 1) << row;
        Click(row, 2);
        EXPECT_EQ(list->GetCheckbox(row, 2), 1);
        EXPECT_TRUE(list->GetModified(row, 2));
    }
    EXPECT_EQ(list->GetHeaderCheckedState(2), 2) << "every row is checked";
    ASSERT_EQ(clicked.count(), rows);
    EXPECT_EQ(clicked[4][0].toInt(), 4);
    EXPECT_EQ(clicked[4][1].toInt(), 2);

    Click(3, 2);
    EXPECT_EQ(list->GetCheckbox(3, 2), 0);
    EXPECT_EQ(list->GetHeaderCheckedState(2), 1);
    EXPECT_EQ(list->CountCheckedItems(2), rows - 1);

    // The tick: seven strokes of three pixels, grey on a disabled row.
    QImage image = GrabViewport();
    EXPECT_EQ(CountColor(image, Cell(0, 2), kTick), 21);
    EXPECT_EQ(CountColor(image, Cell(3, 2), kTick), 0);
    list->SetEnabled(0, false);
    image = GrabViewport();
    EXPECT_EQ(CountColor(image, Cell(0, 2), kTick), 0);
    const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
    EXPECT_GE(CountColor(image, Cell(0, 2), grey), 21);

    // A disabled row swallows the click.
    Click(0, 2);
    EXPECT_EQ(list->GetCheckbox(0, 2), 1);
    EXPECT_EQ(clicked.count(), rows + 1);
}

TEST_F(FileList, AHeaderClickSetsEveryRowAndADoubleClickTogglesTwice)
{
    for (int row = 0; row < list->GetItemCount(); ++row)
        if (row != 2)
            list->SetCheckbox(row, 0, row % 2);
    ASSERT_TRUE(list->SetHeaderCheckedState(0, 1));
    CXHeaderCtrl* header = list->GetHeaderCtrl();
    QSignalSpy sectionClicks(header, &QHeaderView::sectionClicked);
    const QPoint onFirst(header->sectionPosition(0) + 30, header->height() / 2);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, onFirst);
    EXPECT_EQ(list->GetHeaderCheckedState(0), 2);
    for (int row = 0; row < list->GetItemCount(); ++row)
        EXPECT_EQ(list->GetCheckbox(row, 0), row == 2 ? -1 : 1) << row;
    EXPECT_EQ(CountColor(Grab(header), header->rect(), kTick), 21);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, onFirst);
    EXPECT_EQ(list->GetHeaderCheckedState(0), 1);
    for (int row = 0; row < list->GetItemCount(); ++row)
        EXPECT_EQ(list->GetCheckbox(row, 0), row == 2 ? -1 : 0) << row;
    EXPECT_EQ(CountColor(Grab(header), header->rect(), kTick), 0);

    // A double click as the window system delivers it: press, release,
    // double click, release.
    sectionClicks.clear();
    QWidget* target = header->viewport();
    const QPointF global = target->mapToGlobal(QPointF(onFirst));
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, onFirst);
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, onFirst);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(onFirst), global, Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dbl);
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, onFirst);
    EXPECT_EQ(sectionClicks.count(), 2);
    EXPECT_EQ(list->GetHeaderCheckedState(0), 1) << "toggled twice";

    // Columns without a header box ignore header clicks.
    const QPoint onSecond(header->sectionPosition(1) + 30, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, onSecond);
    EXPECT_EQ(list->GetHeaderCheckedState(1), 0);
}

TEST_F(FileList, HeaderItemsShowTheirImageOnlyWithAnImageList)
{
    CXHeaderCtrl* header = list->GetHeaderCtrl();
    list->SetHeaderCheckedState(1, 2);
    EXPECT_EQ(CountColor(Grab(header), header->rect(), kTick), 21);
    QPixmap picture(8, 8);
    picture.fill(QColor(10, 200, 250));
    header->SetImageList({QPixmap(8, 8), QPixmap(8, 8), picture});
    const QImage image = Grab(header);
    EXPECT_EQ(CountColor(image, header->rect(), kTick), 0);
    EXPECT_EQ(CountColor(image, header->rect(), QColor(10, 200, 250)), 64);
}

// --- keyboard -------------------------------------------------------------------

TEST_F(FileList, KeyboardMovesPassDisabledRowsBy)
{
    const struct {
        std::vector<int> disabled;
        int from;
        Qt::Key key;
        int to;
    } cases[] = {
        {{2, 3}, 1, Qt::Key_Down, 4},
        {{2, 3}, 4, Qt::Key_Up, 1},
        {{4, 5}, 3, Qt::Key_Down, 3},    // nothing enabled below: stays
        {{0}, 1, Qt::Key_Up, 1},         // row 0 disabled: turns back to row 1
        {{0, 1}, 2, Qt::Key_Up, 2},
        {{5}, 0, Qt::Key_End, 0},        // other keys give up at once
        {{}, 2, Qt::Key_Down, 3},
    };
    for (const auto& c : cases) {
        for (int row = 0; row < list->GetItemCount(); ++row)
            list->SetEnabled(row, true);
        for (int row : c.disabled)
            list->SetEnabled(row, false);
        ASSERT_TRUE(list->SetCurSel(c.from));
        QTest::keyClick(list.get(), c.key);
        EXPECT_EQ(list->GetCurSel(), c.to) << "from " << c.from << " key " << c.key;
        EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
    }
}

TEST_F(FileList, ClicksOnDisabledRowsAreSwallowed)
{
    QSignalSpy menu(list.get(), &QWidget::customContextMenuRequested);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->SetEnabled(3, false);
    list->SetCurSel(1);
    Click(3, 1);
    EXPECT_EQ(list->GetCurSel(), 1);
    const auto menuAt = [&](int row) {
        const QPoint pos = Cell(row, 1).center();
        return QContextMenuEvent(QContextMenuEvent::Mouse, pos, list->viewport()->mapToGlobal(pos));
    };
    QContextMenuEvent onDisabled = menuAt(3);
    QApplication::sendEvent(list->viewport(), &onDisabled);
    EXPECT_EQ(menu.count(), 0);
    QContextMenuEvent onEnabled = menuAt(4);
    QApplication::sendEvent(list->viewport(), &onEnabled);
    EXPECT_EQ(menu.count(), 1);
}

// --- tooltips -------------------------------------------------------------------

TEST_F(FileList, TooltipsShowTheWholeTextOfTheirCell)
{
    const QString longPath = QStringLiteral("/home/user/") + QString(300, QLatin1Char('d'))
        + QStringLiteral("/report.pdf");
    list->SetItemToolTipText(1, 1, longPath);
    list->SetItemToolTipText(2, 1, QStringLiteral("/tmp/b.pdf"));

    const auto hover = [&](int row, int column) {
        const QPoint pos = Cell(row, column).center();
        QHelpEvent help(QEvent::ToolTip, pos, list->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list->viewport(), &help);
    };
    hover(1, 1);
    EXPECT_EQ(QToolTip::text(), longPath);
    hover(2, 1);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("/tmp/b.pdf"));
    hover(2, 0);
    QTRY_VERIFY(!QToolTip::isVisible());   // a cell without a tip shows none
}

} // namespace
