// The file list: a report list whose cells paint themselves. Each cell shows
// text (optionally bold, in its own colours, behind a small image), a
// progress bar with its percent, or a check box; a row can be disabled, so
// that clicks and keyboard moves pass it by; a cell can open an in-cell edit
// box or combo box when clicked and carry its own tooltip.
//
// Rows and columns are zero-based. Every call checks them against the row
// and column counts; a call out of range changes nothing and returns the
// failure value its comment names.
#pragma once

#include "app/controls/syscolors.h"
#include "app/controls/xlistmodel.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QTreeView>

#include <vector>

class CXCombo;
class CXEdit;
class CXHeaderCtrl;

class CXListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CXListCtrl(QWidget* parent = nullptr);
    ~CXListCtrl() override;

    // --- columns -----------------------------------------------------------
    // Inserts a column (clamped to the end); its index. Rows that exist get a
    // fresh record for it.
    int InsertColumn(int column, const QString& heading, Qt::Alignment alignment = Qt::AlignLeft,
                     int width = 80);
    // Replaces a column's heading; false out of range.
    bool SetColumnText(int column, const QString& heading);
    // The number of columns.
    int GetColumns() const;
    // Sets the width, then widens it by twice the header's item margin;
    // false out of range.
    virtual bool SetColumnWidth(int column, int width);
    // 0 out of range.
    int GetColumnWidth(int column) const;

    // --- rows --------------------------------------------------------------
    int GetItemCount() const;
    // Inserts a row with `text` in its first cell, in the list's colours;
    // its index (clamped to the end), -1 for a negative row.
    int InsertItem(int row, const QString& text);
    // As above, with the first cell's text and background colours.
    int InsertItem(int row, const QString& text, const QColor& textColor,
                   const QColor& backgroundColor);
    // False out of range.
    bool DeleteItem(int row);
    bool DeleteAllItems();
    // Empty out of range.
    QString GetItemText(int row, int column) const;
    // Sets the text and redraws the cell; false out of range.
    bool SetItemText(int row, int column, const QString& text);
    // The caller's value of the row; null out of range.
    void* GetItemData(int row) const;
    bool SetItemData(int row, void* data);
    // 1 when the row takes clicks and keyboard moves; 0 when disabled and
    // out of range.
    int GetEnabled(int row) const;
    bool SetEnabled(int row, bool enabled);
    // The tooltip shows the whole text; false out of range.
    bool SetItemToolTipText(int row, int column, const QString& text);
    QString GetItemToolTipText(int row, int column) const;

    // --- cell looks --------------------------------------------------------
    bool SetBold(int row, int column, bool bold);
    // Index into the small images; -1 none.
    bool SetItemImage(int row, int column, int image);
    // Invalid colours stand for the list's own; false out of range.
    bool SetItemColors(int row, int column, const QColor& textColor, const QColor& backgroundColor);
    // Pictures for the cells' image index. Rows are at least as tall as the
    // pictures.
    void SetSmallImageList(std::vector<QPixmap> images);
    // Cell was changed by the user (check box, edit or combo); false out of
    // range.
    bool GetModified(int row, int column) const;
    // Any cell was changed by the user.
    bool IsListModified() const { return listModified_; }

    // --- progress cells ----------------------------------------------------
    // Turns the cell into a progress bar at 0 percent; `format` holds one
    // integer conversion (empty: "%d%%"). False out of range.
    bool SetProgress(int row, int column, bool showText = true, const QString& format = QString());
    // Stores the percent, clamped to 0..100, and redraws the bar.
    void UpdateProgress(int row, int column, int percent);
    // Back to a text cell.
    void DeleteProgress(int row, int column);

    // --- check boxes -------------------------------------------------------
    // -1 no check box, 0 unchecked, 1 checked; false out of range.
    bool SetCheckbox(int row, int column, int state);
    // -1 out of range.
    int GetCheckbox(int row, int column) const;
    // The header item's check box: 0 none, 1 unchecked, 2 checked; -1 out of
    // range.
    int GetHeaderCheckedState(int column) const;
    bool SetHeaderCheckedState(int column, int state);
    // Rows whose cell in `column` is checked; 0 out of range.
    int CountCheckedItems(int column) const;

    // --- in-cell editors ---------------------------------------------------
    // Marks a cell to open an edit box when clicked.
    bool SetEdit(int row, int column, bool enabled = true);
    // Marks a cell to open a combo box of `choices` when clicked; the combo
    // shows at most `visibleRows` rows, and `initialChoice` >= 0 is picked
    // when it next opens.
    bool SetComboBox(int row, int column, bool enabled, const QStringList& choices,
                     int visibleRows = 10, int initialChoice = -1);
    // Opens the edit box over the cell; false when the row or column is out
    // of range, the column is 4 pixels wide or less, or the row is disabled.
    bool StartEdit(int row, int column);
    // Opens the combo box over the cell, under the same conditions.
    bool StartComboEdit(int row, int column);
    // The open editors, null when none.
    CXEdit* GetEdit() const;
    CXCombo* GetCombo() const;

    // --- geometry and selection --------------------------------------------
    // The cell's rectangle in viewport coordinates; false out of range. The
    // first column reaches up to the next column that has a width.
    bool GetSubItemRect(int row, int column, QRect& rect) const;
    // Redraws the cell and its 2-pixel surroundings at once.
    void UpdateSubItem(int row, int column);
    // Selects and focuses the row, scrolling it into view when asked; false
    // out of range.
    bool SetCurSel(int row, bool ensureVisible = false);
    // The first selected row, -1 when none.
    int GetCurSel() const;

    // --- styles ------------------------------------------------------------
    // Selected rows highlight every cell, not only the first.
    void SetFullRowSelect(bool on);
    // Lines between rows and columns.
    void SetGridLines(bool on);
    // The selection stays visible (in the button-face colour) while the list
    // has no focus.
    void SetShowSelectionAlways(bool on);

    CXHeaderCtrl* GetHeaderCtrl() const { return header_; }
    XListModel* GetModel() const { return model_; }

    // Paints one cell; used by the list's delegate.
    void PaintCell(QPainter& painter, const QRect& rect, int row, int column, bool selected) const;

    // The tooltip text at a viewport point; empty when none.
    virtual QString OnToolTipText(const QPoint& pos) const;

signals:
    // The user toggled a cell's check box.
    void WM_XLISTCTRL_CHECKBOX_CLICKED(int row, int column);
    // An edit box ended with its text kept.
    void WM_XLISTCTRL_EDIT_END(int row, int column);
    // A combo box completed with a selection.
    void WM_XLISTCTRL_COMBO_SELECTION(int row, int column);

public slots:
    // Ends the open edit box and keeps its text (an emptied box keeps the
    // text it started with).
    void OnXEditKillFocus();
    // Ends the open edit box and restores the cell's text.
    void OnXEditVkEscape();
    // Closes the open combo box soon, without taking its selection.
    void OnXComboListVkEscape();
    // Closes the open combo box soon, taking its selection (unless a close
    // without it is already due).
    void OnXComboListComplete();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    bool ValidCell(int row, int column) const;
    bool RowEnabled(int row) const;
    void OnColumnClicked(int column);
    void ToggleCheckbox(int row, int column);
    bool CanStartEditor(int row, int column) const;
    // Hides and drops the open edit box; its text, and its cell in `row`
    // and `column`.
    QString CloseEdit(int& row, int& column);
    void CancelCombo();
    void TakeComboSelection();
    void DestroyCombo();
    void MarkModified(XLISTCELL& cell);
    void UpdateRowHeight();

    void PaintTextCell(QPainter& painter, QRect rect, const XLISTCELL* cell, int column,
                       const QColor& text, const QColor& background) const;
    int PaintImage(QPainter& painter, const QRect& rect, const XLISTCELL* cell,
                   const QColor& background) const;
    void PaintProgressCell(QPainter& painter, const QRect& rect, const XLISTCELL& cell,
                           const QColor& text) const;
    void PaintCheckboxCell(QPainter& painter, const QRect& rect, const XLISTCELL& cell, bool enabled,
                           const QColor& text, const QColor& background) const;

    XListModel* model_ = nullptr;
    CXHeaderCtrl* header_ = nullptr;
    SysColors colors_;
    std::vector<QPixmap> images_;
    bool ellipsis_ = true;
    bool listModified_ = false;
    bool fullRowSelect_ = false;
    bool gridLines_ = false;
    bool showSelectionAlways_ = false;
    int textMargin_ = 5;

    QString editSavedText_;
    QPointer<CXEdit> edit_;
    int editRow_ = -1;
    int editColumn_ = -1;

    QPointer<CXCombo> combo_;
    int comboRow_ = -1;
    int comboColumn_ = -1;
    QString comboSavedText_;
    QTimer comboCancelTimer_;     // closes the combo
    QTimer comboCompleteTimer_;   // takes the combo's selection and closes it
};
