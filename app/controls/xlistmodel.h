// The rows and columns behind the file list: one XLISTCELL record per column
// of every row, and per column its heading, alignment and header check box.
// Records grow and shrink with the columns, so every row always holds
// exactly one record per column.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <vector>

struct XLISTCELL {
    int enabled = 1;             // the row's first cell only: 0 disables the row
    int bold = 0;                // draw the text with weight 700
    int modified = 0;            // set when the user changed the cell
    int image = -1;              // index into the list's small images; -1 none
    QString toolTip;             // shown when the mouse rests on the cell
    int hasCombo = 0;            // a click opens the in-cell combo box
    QStringList comboChoices;    // the combo's entries
    int comboVisibleRows = 10;   // most rows the combo's drop list shows
    int comboInitialChoice = -1; // picked when the combo opens, then -1 again
    int hasEdit = 0;             // a click opens the in-cell edit box
    QColor textColor;            // invalid: the list's window-text colour
    QColor backgroundColor;      // invalid: the list's window colour
    int progressOn = 0;          // the cell draws as a progress bar
    int percent = 0;             // 0-100
    QString progressFormat;      // one integer conversion; empty: "%d%%"
    int showProgressText = 1;    // draw the formatted percent over the bar
    int checkState = -1;         // -1 no check box, 0 unchecked, 1 checked
    void* itemData = nullptr;    // the caller's value; first cell only
    QString text;
};

// The text of a progress cell: `format` with its integer conversion ("%d",
// "%i" or "%u") replaced by `percent` and "%%" by "%"; any other "%"
// sequence stays as it is. An empty format is "%d%%". The format is never
// handed to printf, so any text is safe here.
QString FormatPercent(const QString& format, int percent);

class XListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Header item data beyond Qt's roles.
    enum HeaderRole {
        HeaderImageRole = Qt::UserRole + 1, // int: 0 none, 1 unchecked, 2 checked
        HeaderBitmapRole,                   // QPixmap drawn right-aligned
    };

    explicit XListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Inserts a column at `column` (clamped to the end) and a fresh record
    // into every row there; the column's index.
    int InsertColumn(int column, const QString& heading, Qt::Alignment alignment);
    // Inserts a row of fresh records at `row` (clamped to the end); its index.
    int InsertRow(int row);
    bool RemoveRow(int row);

    // The record of a cell, null out of range.
    XLISTCELL* Cell(int row, int column);
    const XLISTCELL* Cell(int row, int column) const;
    // Tells the view that a cell's record changed.
    void CellChanged(int row, int column);

    Qt::Alignment ColumnAlignment(int column) const;

private:
    struct Column {
        QString heading;
        Qt::Alignment alignment = Qt::AlignLeft;
        int headerImage = 0;
        QPixmap headerBitmap;
    };

    std::vector<Column> columns_;
    std::vector<std::vector<XLISTCELL>> rows_;
};
