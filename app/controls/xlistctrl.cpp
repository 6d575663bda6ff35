#include "app/controls/xlistctrl.h"

#include "app/controls/drawutil.h"
#include "app/controls/xcombo.h"
#include "app/controls/xedit.h"
#include "app/controls/xheaderctrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {

// The grey of a progress bar's empty part.
const QColor kProgressTrack{224, 224, 224};

// Hands every cell to the list's own painting and makes rows as tall as the
// list asks.
class XListDelegate : public QStyledItemDelegate {
public:
    explicit XListDelegate(CXListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        list_->PaintCell(*painter, option.rect, index.row(), index.column(),
                         option.state.testFlag(QStyle::State_Selected));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), rowHeight};
    }

    int rowHeight = 18;

private:
    CXListCtrl* list_;
};

} // namespace

CXListCtrl::CXListCtrl(QWidget* parent)
    : QTreeView(parent), colors_(SysColors::FromPalette(palette()))
{
    model_ = new XListModel(this);
    header_ = new CXHeaderCtrl(this);
    header_->SetListCtrl(this);
    setHeader(header_);
    setModel(model_);
    setItemDelegate(new XListDelegate(this));
    header_->setStretchLastSection(false);
    header_->setSectionsMovable(false);
    header_->setSectionsClickable(true);
    header_->setMinimumSectionSize(0);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    UpdateRowHeight();

    connect(header_, &QHeaderView::sectionClicked, this, &CXListCtrl::OnColumnClicked);
    // Scrolling with the scroll bars ends an open edit box, as a click
    // anywhere else does.
    // The combo box closes a moment after it asked to, never inside its own
    // event handling.
    comboCancelTimer_.setSingleShot(true);
    comboCancelTimer_.setInterval(50);
    connect(&comboCancelTimer_, &QTimer::timeout, this, &CXListCtrl::CancelCombo);
    comboCompleteTimer_.setSingleShot(true);
    comboCompleteTimer_.setInterval(50);
    connect(&comboCompleteTimer_, &QTimer::timeout, this, &CXListCtrl::TakeComboSelection);

    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        connect(bar, &QAbstractSlider::actionTriggered, this, [this] {
            if (edit_)
                OnXEditKillFocus();
        });
    }
}

CXListCtrl::~CXListCtrl()
{
    delete combo_.data();
    delete edit_.data();
}

// --- columns -----------------------------------------------------------------

int CXListCtrl::InsertColumn(int column, const QString& heading, Qt::Alignment alignment, int width)
{
    const int index = model_->InsertColumn(column, heading, alignment);
    setColumnWidth(index, std::max(0, width));
    if (edit_ && index <= editColumn_)
        ++editColumn_;
    return index;
}

bool CXListCtrl::SetColumnText(int column, const QString& heading)
{
    return model_->setHeaderData(column, Qt::Horizontal, heading, Qt::DisplayRole);
}

int CXListCtrl::GetColumns() const
{
    return model_->columnCount();
}

bool CXListCtrl::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= GetColumns())
        return false;
    setColumnWidth(column, std::max(0, width));
    setColumnWidth(column, columnWidth(column) + 2 * header_->GetItemMargin());
    return true;
}

int CXListCtrl::GetColumnWidth(int column) const
{
    if (column < 0 || column >= GetColumns())
        return 0;
    return columnWidth(column);
}

// --- rows --------------------------------------------------------------------

int CXListCtrl::GetItemCount() const
{
    return model_->rowCount();
}

int CXListCtrl::InsertItem(int row, const QString& text)
{
    return InsertItem(row, text, QColor(), QColor());
}

int CXListCtrl::InsertItem(int row, const QString& text, const QColor& textColor,
                           const QColor& backgroundColor)
{
    if (row < 0)
        return -1;
    const int index = model_->InsertRow(row);
    if (XLISTCELL* cell = model_->Cell(index, 0)) {
        cell->text = text;
        cell->textColor = textColor;
        cell->backgroundColor = backgroundColor;
        model_->CellChanged(index, 0);
    }
    if (edit_ && index <= editRow_)
        ++editRow_;
    if (combo_ && index <= comboRow_)
        ++comboRow_;
    return index;
}

bool CXListCtrl::DeleteItem(int row)
{
    if (row < 0 || row >= GetItemCount())
        return false;
    if (edit_ && row == editRow_)
        OnXEditVkEscape();
    else if (edit_ && row < editRow_)
        --editRow_;
    if (combo_ && row == comboRow_)
        DestroyCombo();
    else if (combo_ && row < comboRow_)
        --comboRow_;
    return model_->RemoveRow(row);
}

bool CXListCtrl::DeleteAllItems()
{
    while (GetItemCount() > 0)
        DeleteItem(GetItemCount() - 1);
    return true;
}

QString CXListCtrl::GetItemText(int row, int column) const
{
    const XLISTCELL* cell = model_->Cell(row, column);
    return cell ? cell->text : QString();
}

bool CXListCtrl::SetItemText(int row, int column, const QString& text)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->text = text;
    model_->CellChanged(row, column);
    UpdateSubItem(row, column);
    return true;
}

void* CXListCtrl::GetItemData(int row) const
{
    const XLISTCELL* cell = model_->Cell(row, 0);
    return cell ? cell->itemData : nullptr;
}

bool CXListCtrl::SetItemData(int row, void* data)
{
    XLISTCELL* cell = model_->Cell(row, 0);
    if (!cell)
        return false;
    cell->itemData = data;
    return true;
}

int CXListCtrl::GetEnabled(int row) const
{
    const XLISTCELL* cell = model_->Cell(row, 0);
    return cell ? cell->enabled : 0;
}

bool CXListCtrl::SetEnabled(int row, bool enabled)
{
    XLISTCELL* cell = model_->Cell(row, 0);
    if (!cell)
        return false;
    cell->enabled = enabled ? 1 : 0;
    for (int column = 0; column < GetColumns(); ++column)
        UpdateSubItem(row, column);
    return true;
}

bool CXListCtrl::SetItemToolTipText(int row, int column, const QString& text)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->toolTip = text;
    return true;
}

QString CXListCtrl::GetItemToolTipText(int row, int column) const
{
    const XLISTCELL* cell = model_->Cell(row, column);
    return cell ? cell->toolTip : QString();
}

// --- cell looks --------------------------------------------------------------

bool CXListCtrl::SetBold(int row, int column, bool bold)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->bold = bold ? 1 : 0;
    UpdateSubItem(row, column);
    return true;
}

bool CXListCtrl::SetItemImage(int row, int column, int image)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->image = image < 0 ? -1 : image;
    UpdateSubItem(row, column);
    return true;
}

bool CXListCtrl::SetItemColors(int row, int column, const QColor& textColor,
                               const QColor& backgroundColor)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->textColor = textColor;
    cell->backgroundColor = backgroundColor;
    UpdateSubItem(row, column);
    return true;
}

void CXListCtrl::SetSmallImageList(std::vector<QPixmap> images)
{
    images_ = std::move(images);
    UpdateRowHeight();
    viewport()->update();
}

bool CXListCtrl::GetModified(int row, int column) const
{
    const XLISTCELL* cell = model_->Cell(row, column);
    return cell && cell->modified;
}

// --- progress cells ----------------------------------------------------------

bool CXListCtrl::SetProgress(int row, int column, bool showText, const QString& format)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->progressOn = 1;
    cell->percent = 0;
    cell->showProgressText = showText ? 1 : 0;
    cell->progressFormat = format;
    UpdateSubItem(row, column);
    return true;
}

void CXListCtrl::UpdateProgress(int row, int column, int percent)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return;
    cell->percent = std::clamp(percent, 0, 100);
    UpdateSubItem(row, column);
}

void CXListCtrl::DeleteProgress(int row, int column)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return;
    cell->progressOn = 0;
    cell->percent = 0;
    UpdateSubItem(row, column);
}

// --- check boxes -------------------------------------------------------------

bool CXListCtrl::SetCheckbox(int row, int column, int state)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->checkState = state < 0 ? -1 : (state ? 1 : 0);
    UpdateSubItem(row, column);
    return true;
}

int CXListCtrl::GetCheckbox(int row, int column) const
{
    const XLISTCELL* cell = model_->Cell(row, column);
    return cell ? cell->checkState : -1;
}

int CXListCtrl::GetHeaderCheckedState(int column) const
{
    if (column < 0 || column >= GetColumns())
        return -1;
    return model_->headerData(column, Qt::Horizontal, XListModel::HeaderImageRole).toInt();
}

bool CXListCtrl::SetHeaderCheckedState(int column, int state)
{
    if (!model_->setHeaderData(column, Qt::Horizontal, state, XListModel::HeaderImageRole))
        return false;
    header_->viewport()->repaint();
    return true;
}

int CXListCtrl::CountCheckedItems(int column) const
{
    if (column < 0 || column >= GetColumns())
        return 0;
    int count = 0;
    for (int row = 0; row < GetItemCount(); ++row)
        count += model_->Cell(row, column)->checkState == 1 ? 1 : 0;
    return count;
}

void CXListCtrl::ToggleCheckbox(int row, int column)
{
    XLISTCELL* cell = model_->Cell(row, column);
    MarkModified(*cell);
    cell->checkState = cell->checkState ? 0 : 1;
    UpdateSubItem(row, column);
    emit WM_XLISTCTRL_CHECKBOX_CLICKED(row, column);
    // The header's box is checked exactly when every row's box is.
    if (GetHeaderCheckedState(column) > 0)
        SetHeaderCheckedState(column, CountCheckedItems(column) == GetItemCount() ? 2 : 1);
}

void CXListCtrl::OnColumnClicked(int column)
{
    const int state = GetHeaderCheckedState(column);
    if (state != 1 && state != 2)
        return;
    const bool checked = state == 1;
    SetHeaderCheckedState(column, checked ? 2 : 1);
    for (int row = 0; row < GetItemCount(); ++row) {
        XLISTCELL* cell = model_->Cell(row, column);
        if (cell->checkState == -1)
            continue;
        cell->checkState = checked ? 1 : 0;
        MarkModified(*cell);
        UpdateSubItem(row, column);
    }
}

void CXListCtrl::MarkModified(XLISTCELL& cell)
{
    cell.modified = 1;
    listModified_ = true;
}

// --- in-cell editors ---------------------------------------------------------

bool CXListCtrl::SetEdit(int row, int column, bool enabled)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->hasEdit = enabled ? 1 : 0;
    return true;
}

bool CXListCtrl::SetComboBox(int row, int column, bool enabled, const QStringList& choices,
                             int visibleRows, int initialChoice)
{
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return false;
    cell->hasCombo = enabled ? 1 : 0;
    cell->comboChoices = choices;
    cell->comboVisibleRows = visibleRows;
    cell->comboInitialChoice = initialChoice;
    return true;
}

CXEdit* CXListCtrl::GetEdit() const
{
    return edit_.data();
}

CXCombo* CXListCtrl::GetCombo() const
{
    return combo_.data();
}

bool CXListCtrl::CanStartEditor(int row, int column) const
{
    return ValidCell(row, column) && columnWidth(column) > 4 && RowEnabled(row);
}

bool CXListCtrl::StartEdit(int row, int column)
{
    if (!CanStartEditor(row, column))
        return false;
    scrollTo(model_->index(row, column), EnsureVisible);
    // A column left of or past the visible part scrolls into view.
    const int x = columnViewportPosition(column);
    if (x < 0 || x > viewport()->width())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + x);

    if (edit_)
        OnXEditKillFocus();

    const QRect rowRect = visualRect(model_->index(row, column));
    const int left = columnViewportPosition(column) + 2;
    const int right = std::min(left + columnWidth(column) - 4, viewport()->width());
    const QRect box(left, rowRect.top(), std::max(0, right - left), rowRect.height() + 1);

    editSavedText_ = GetItemText(row, column);
    editRow_ = row;
    editColumn_ = column;
    edit_ = new CXEdit(this, editSavedText_, viewport());
    edit_->setAlignment(model_->ColumnAlignment(column) | Qt::AlignVCenter);
    edit_->setGeometry(box);
    connect(edit_, &CXEdit::WM_XEDIT_KILL_FOCUS, this, &CXListCtrl::OnXEditKillFocus);
    connect(edit_, &CXEdit::WM_XEDIT_VK_ESCAPE, this, &CXListCtrl::OnXEditVkEscape);
    edit_->Start();
    return true;
}

QString CXListCtrl::CloseEdit(int& row, int& column)
{
    CXEdit* edit = edit_.data();
    edit_ = nullptr;
    const QString text = edit->text();
    const bool hadFocus = edit->hasFocus();
    // Hidden without a word: losing the focus now is not a second end.
    edit->blockSignals(true);
    edit->hide();
    edit->deleteLater();
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    row = editRow_;
    column = editColumn_;
    editRow_ = editColumn_ = -1;
    return text;
}

void CXListCtrl::OnXEditKillFocus()
{
    if (!edit_)
        return;
    int row = 0;
    int column = 0;
    QString text = CloseEdit(row, column);
    if (text.isEmpty())
        text = editSavedText_;
    XLISTCELL* cell = model_->Cell(row, column);
    if (!cell)
        return;
    cell->text = text;
    if (text != editSavedText_)
        MarkModified(*cell);
    model_->CellChanged(row, column);
    UpdateSubItem(row, column);
    emit WM_XLISTCTRL_EDIT_END(row, column);
}

void CXListCtrl::OnXEditVkEscape()
{
    if (!edit_)
        return;
    int row = 0;
    int column = 0;
    CloseEdit(row, column);
    if (XLISTCELL* cell = model_->Cell(row, column)) {
        cell->text = editSavedText_;
        model_->CellChanged(row, column);
        UpdateSubItem(row, column);
    }
}

bool CXListCtrl::StartComboEdit(int row, int column)
{
    if (!CanStartEditor(row, column))
        return false;
    if (combo_)
        DestroyCombo();
    XLISTCELL* cell = model_->Cell(row, column);
    QRect rect;
    GetSubItemRect(row, column, rect);
    rect.setTop(rect.top() - 1);
    rect.setLeft(rect.left() + 1);
    comboRow_ = row;
    comboColumn_ = column;

    auto* combo = new CXCombo(viewport());
    combo->Create(CAdvComboBox::CBS_DROPDOWNLIST, rect, viewport(), 0);
    combo_ = combo;
    for (const QString& choice : std::as_const(cell->comboChoices))
        if (!choice.isEmpty())
            combo->AddString(choice);
    combo->SetVisibleRows(cell->comboVisibleRows);

    // The entry to show: the initial choice when one is due, else the one
    // equal to the cell's text (the first when none is, or when the cell is
    // empty, which then takes its text).
    int pick = -1;
    if (!cell->comboChoices.isEmpty() && cell->comboInitialChoice >= 0
        && cell->comboInitialChoice < combo->GetCount()) {
        pick = cell->comboInitialChoice;
        combo->GetLBText(pick, cell->text);
        cell->comboInitialChoice = -1;
    } else if (cell->text.isEmpty()) {
        if (combo->GetCount() > 0) {
            pick = 0;
            combo->GetLBText(0, cell->text);
        }
    } else {
        pick = combo->FindStringExact(-1, cell->text);
        if (pick < 0 && combo->GetCount() > 0)
            pick = 0;
    }
    comboSavedText_.clear();
    if (pick >= 0) {
        combo->SetCurSel(pick);
        combo->GetLBText(pick, comboSavedText_);
    }
    model_->CellChanged(row, column);

    connect(combo, &CXCombo::WM_XCOMBOLIST_VK_ESCAPE, this, &CXListCtrl::OnXComboListVkEscape);
    connect(combo, &CXCombo::WM_XCOMBOLIST_COMPLETE, this, &CXListCtrl::OnXComboListComplete);
    combo->show();
    combo->raise();
    combo->setFocus(Qt::OtherFocusReason);
    combo->update();
    return true;
}

void CXListCtrl::OnXComboListVkEscape()
{
    comboCancelTimer_.start();
}

void CXListCtrl::OnXComboListComplete()
{
    // A close without the selection that is already due wins.
    if (!comboCancelTimer_.isActive())
        comboCompleteTimer_.start();
}

void CXListCtrl::CancelCombo()
{
    if (!combo_)
        return;
    UpdateSubItem(comboRow_, comboColumn_);
    DestroyCombo();
}

void CXListCtrl::TakeComboSelection()
{
    if (!combo_)
        return;
    const int selection = combo_->GetCurSel();
    XLISTCELL* cell = model_->Cell(comboRow_, comboColumn_);
    const int row = comboRow_;
    const int column = comboColumn_;
    if (selection >= 0 && cell) {
        QString text;
        combo_->GetLBText(selection, text);
        cell->text = text;
        if (text != comboSavedText_)
            MarkModified(*cell);
        model_->CellChanged(row, column);
        UpdateSubItem(row, column);
    }
    DestroyCombo();
    if (selection >= 0 && cell)
        emit WM_XLISTCTRL_COMBO_SELECTION(row, column);
}

void CXListCtrl::DestroyCombo()
{
    comboCancelTimer_.stop();
    comboCompleteTimer_.stop();
    if (!combo_)
        return;
    CXCombo* combo = combo_.data();
    combo_ = nullptr;
    const bool hadFocus = combo->isAncestorOf(QApplication::focusWidget())
        || combo->hasFocus();
    combo->blockSignals(true);
    combo->hide();
    combo->deleteLater();
    comboRow_ = comboColumn_ = -1;
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
}

// --- geometry and selection --------------------------------------------------

bool CXListCtrl::ValidCell(int row, int column) const
{
    return model_->Cell(row, column) != nullptr;
}

bool CXListCtrl::RowEnabled(int row) const
{
    return GetEnabled(row) != 0;
}

bool CXListCtrl::GetSubItemRect(int row, int column, QRect& rect) const
{
    if (!ValidCell(row, column))
        return false;
    rect = visualRect(model_->index(row, column));
    if (column == 0) {
        for (int later = 1; later < GetColumns(); ++later) {
            if (!header_->isSectionHidden(later) && columnWidth(later) > 0) {
                rect.setRight(columnViewportPosition(later) - 1);
                break;
            }
        }
    }
    return true;
}

void CXListCtrl::UpdateSubItem(int row, int column)
{
    QRect rect;
    if (!GetSubItemRect(row, column, rect))
        return;
    viewport()->repaint(rect.adjusted(-2, -2, 2, 2));
}

bool CXListCtrl::SetCurSel(int row, bool ensureVisible)
{
    if (row < 0 || row >= GetItemCount())
        return false;
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect
                                                 | QItemSelectionModel::Rows);
    if (ensureVisible)
        scrollTo(index, EnsureVisible);
    return true;
}

int CXListCtrl::GetCurSel() const
{
    int first = -1;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

// --- styles ------------------------------------------------------------------

void CXListCtrl::SetFullRowSelect(bool on)
{
    fullRowSelect_ = on;
    viewport()->update();
}

void CXListCtrl::SetGridLines(bool on)
{
    gridLines_ = on;
    viewport()->update();
}

void CXListCtrl::SetShowSelectionAlways(bool on)
{
    showSelectionAlways_ = on;
    viewport()->update();
}

void CXListCtrl::UpdateRowHeight()
{
    int height = fontMetrics().height() + 4;
    for (const QPixmap& image : images_)
        height = std::max(height, image.height());
    static_cast<XListDelegate*>(itemDelegate())->rowHeight = height;
    doItemsLayout();
}

// --- painting ----------------------------------------------------------------

void CXListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    const int row = index.row();
    const bool selected = selectionModel()->isRowSelected(row, QModelIndex());
    for (int column = 0; column < GetColumns(); ++column) {
        if (header_->isSectionHidden(column) || columnWidth(column) <= 0)
            continue;
        QStyleOptionViewItem cell = option;
        GetSubItemRect(row, column, cell.rect);
        cell.state.setFlag(QStyle::State_Selected, selected);
        itemDelegate()->paint(painter, cell, model_->index(row, column));
    }
    if (gridLines_) {
        const QColor line = colors_.btnFace.darker(115);
        painter->fillRect(QRect(option.rect.left(), option.rect.bottom(),
                                option.rect.width(), 1), line);
        for (int column = 0; column < GetColumns(); ++column) {
            if (header_->isSectionHidden(column) || columnWidth(column) <= 0)
                continue;
            const int right = columnViewportPosition(column) + columnWidth(column) - 1;
            painter->fillRect(QRect(right, option.rect.top(), 1, option.rect.height()), line);
        }
    }
}

void CXListCtrl::PaintCell(QPainter& painter, const QRect& rect, int row, int column,
                           bool selected) const
{
    const XLISTCELL* cell = model_->Cell(row, column);
    QColor text = colors_.windowText;
    QColor background = colors_.window;
    if (cell && cell->textColor.isValid())
        text = cell->textColor;
    if (cell && cell->backgroundColor.isValid())
        background = cell->backgroundColor;
    const bool enabled = RowEnabled(row);
    if (!enabled)
        text = colors_.grayText;

    if (cell && cell->progressOn) {
        PaintProgressCell(painter, rect, *cell, text);
        return;
    }

    if (selected && (fullRowSelect_ || column == 0)) {
        if (hasFocus()) {
            text = colors_.highlightText;
            background = colors_.highlight;
        } else if (showSelectionAlways_) {
            text = colors_.windowText;
            background = colors_.btnFace;
        }
    }

    if (cell && cell->checkState != -1) {
        PaintCheckboxCell(painter, rect, *cell, enabled, text, background);
        return;
    }
    QRect textRect = rect;
    textRect.setLeft(textRect.left() + PaintImage(painter, rect, cell, background));
    PaintTextCell(painter, textRect, cell, column, text, background);
}

void CXListCtrl::PaintTextCell(QPainter& painter, QRect rect, const XLISTCELL* cell, int column,
                               const QColor& text, const QColor& background) const
{
    if (rect.isEmpty())
        return;
    painter.fillRect(rect, background);
    if (!cell || cell->text.isEmpty())
        return;
    painter.save();
    QFont font = this->font();
    if (cell->bold)
        font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.setPen(text);
    rect.adjust(textMargin_, 0, -textMargin_, 0);
    const QString shown = ellipsis_ ? QFontMetrics(font).elidedText(cell->text, Qt::ElideRight,
                                                                    rect.width())
                                    : cell->text;
    painter.setClipRect(rect);
    painter.drawText(rect, int(model_->ColumnAlignment(column) | Qt::AlignVCenter | Qt::TextSingleLine),
                     shown);
    painter.restore();
}

int CXListCtrl::PaintImage(QPainter& painter, const QRect& rect, const XLISTCELL* cell,
                           const QColor& background) const
{
    if (images_.empty() || !cell || cell->image < 0
        || static_cast<size_t>(cell->image) >= images_.size())
        return 0;
    const QPixmap& image = images_[static_cast<size_t>(cell->image)];
    const int margin = header_->GetItemMargin();
    painter.fillRect(rect, background);
    painter.save();
    painter.setClipRect(rect);
    painter.drawPixmap(rect.left() + margin, rect.top() + (rect.height() - image.height()) / 2, image);
    painter.restore();
    return margin + image.width();
}

void CXListCtrl::PaintProgressCell(QPainter& painter, const QRect& rect, const XLISTCELL& cell,
                                   const QColor& text) const
{
    if (rect.isEmpty())
        return;
    // The bar leaves the cell's left and bottom pixel free.
    const QRect bar = rect.adjusted(1, 0, 0, -1);
    if (bar.isEmpty())
        return;
    painter.fillRect(bar, kProgressTrack);
    Draw3dRect(painter, bar, Qt::black, colors_.btnShadow);
    if (cell.percent <= 0)
        return;

    // The fill ends (exclusive) at left + (width - 1) * percent / 100.
    const int fillEnd = bar.left() + (bar.width() - 1) * cell.percent / 100;
    const QRect fill(QPoint(bar.left() + 1, bar.top() + 1), QPoint(fillEnd - 1, bar.bottom() - 1));
    painter.fillRect(fill, colors_.highlight);
    if (!cell.showProgressText)
        return;

    const QString label = FormatPercent(cell.progressFormat, cell.percent);
    const QRect textRect = rect.adjusted(1, 1, -1, -1);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.save();
    painter.setFont(font());
    painter.setClipRect(fill);
    painter.setPen(colors_.highlightText);
    painter.drawText(textRect, flags, label);
    painter.setClipRect(QRect(QPoint(fillEnd, bar.top()), bar.bottomRight()));
    painter.setPen(text);
    painter.drawText(textRect, flags, label);
    painter.restore();
}

void CXListCtrl::PaintCheckboxCell(QPainter& painter, const QRect& rect, const XLISTCELL& cell,
                                   bool enabled, const QColor& text,
                                   const QColor& background) const
{
    painter.fillRect(rect, background);
    const int side = rect.height() - 1;
    if (side <= 0)
        return;
    QRect box(rect.left() + 9, rect.top(), side, side);
    if (cell.text.isEmpty())
        box.moveLeft(rect.left() + rect.width() / 2 - side / 2 - 1);
    DrawCheckBox(painter, box, cell.checkState == 1, colors_.window,
                 enabled ? kCheckBoxTick : colors_.grayText);
    if (cell.text.isEmpty())
        return;
    QRect textRect = rect;
    textRect.setLeft(box.right() + 1 + 4);
    if (textRect.width() <= 0)
        return;
    painter.save();
    painter.setPen(text);
    painter.setFont(font());
    const QString shown = ellipsis_ ? fontMetrics().elidedText(cell.text, Qt::ElideRight,
                                                               textRect.width())
                                    : cell.text;
    painter.setClipRect(textRect);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    painter.restore();
}

// --- input -------------------------------------------------------------------

void CXListCtrl::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    const int row = index.isValid() ? index.row() : -1;

    if (event->button() != Qt::LeftButton) {
        // A disabled row swallows right clicks too.
        if (event->button() == Qt::RightButton && row >= 0 && !RowEnabled(row)) {
            event->accept();
            return;
        }
        QTreeView::mousePressEvent(event);
        return;
    }
    if (row < 0) {
        if (combo_)
            comboCancelTimer_.start();
        QTreeView::mousePressEvent(event);
        return;
    }
    if (!RowEnabled(row)) {
        event->accept();
        return;
    }
    int column = -1;
    for (int c = 0; c < GetColumns() && column < 0; ++c) {
        QRect rect;
        if (GetSubItemRect(row, c, rect) && rect.contains(pos))
            column = c;
    }
    const XLISTCELL* cell = model_->Cell(row, column);
    if (!cell) {
        if (combo_)
            comboCancelTimer_.start();
        QTreeView::mousePressEvent(event);
        return;
    }
    if (cell->checkState != -1) {
        ToggleCheckbox(row, column);
        QTreeView::mousePressEvent(event);
        return;
    }
    if (cell->hasCombo || cell->hasEdit) {
        const bool combo = cell->hasCombo;
        QTreeView::mousePressEvent(event);
        if (combo)
            StartComboEdit(row, column);
        else
            StartEdit(row, column);
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && !RowEnabled(index.row())) {
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void CXListCtrl::keyPressEvent(QKeyEvent* event)
{
    const int before = GetCurSel();
    QTreeView::keyPressEvent(event);
    const int after = GetCurSel();
    if (after < 0 || RowEnabled(after))
        return;

    // The key landed on a disabled row: look for an enabled one in the
    // direction of travel, then back the other way.
    const int count = GetItemCount();
    int found = -1;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        for (int row = after; row >= 0 && found < 0; --row)
            if (RowEnabled(row))
                found = row;
        for (int row = 1; row < count && found < 0; ++row)
            if (RowEnabled(row))
                found = row;
        break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        for (int row = after; row < count && found < 0; ++row)
            if (RowEnabled(row))
                found = row;
        for (int row = count - 2; row >= 0 && found < 0; --row)
            if (RowEnabled(row))
                found = row;
        break;
    default:
        break;
    }
    const int chosen = found >= 0 ? found : before;
    if (chosen >= 0 && RowEnabled(chosen))
        SetCurSel(chosen, true);
    else
        selectionModel()->clearSelection();
}

bool CXListCtrl::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = OnToolTipText(help->pos());
        const QModelIndex index = indexAt(help->pos());
        QRect cell;
        if (text.isEmpty() || !GetSubItemRect(index.row(), index.column(), cell)) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        // The tip belongs to the cell: moving into the next cell shows that
        // cell's tip.
        QToolTip::showText(help->globalPos(), text, viewport(), cell);
        return true;
    }
    case QEvent::ContextMenu: {
        const QModelIndex index = indexAt(static_cast<QContextMenuEvent*>(event)->pos());
        if (index.isValid() && !RowEnabled(index.row())) {
            event->accept();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QTreeView::viewportEvent(event);
}

QString CXListCtrl::OnToolTipText(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    return GetItemToolTipText(index.row(), index.column());
}

void CXListCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        colors_ = SysColors::FromPalette(palette());
    if (event->type() == QEvent::FontChange)
        UpdateRowHeight();
    QTreeView::changeEvent(event);
}
