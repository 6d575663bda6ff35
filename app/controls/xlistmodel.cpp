#include "app/controls/xlistmodel.h"

#include <algorithm>

QString FormatPercent(const QString& format, int percent)
{
    if (format.isEmpty())
        return QString::number(percent) + QLatin1Char('%');

    QString out;
    bool converted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        if (format[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        // One integer conversion with an optional zero flag and width.
        qsizetype j = i + 1;
        const bool zeroPad = format[j] == QLatin1Char('0');
        int width = 0;
        while (j < format.size() && format[j].isDigit() && width < 100) {
            width = width * 10 + format[j].digitValue();
            ++j;
        }
        const bool integer = j < format.size()
            && (format[j] == QLatin1Char('d') || format[j] == QLatin1Char('i')
                || format[j] == QLatin1Char('u'));
        if (!integer || converted) {
            out += c;
            continue;
        }
        out += QString::number(percent).rightJustified(width, zeroPad ? QLatin1Char('0') : QLatin1Char(' '));
        converted = true;
        i = j;
    }
    return out;
}

XListModel::XListModel(QObject* parent) : QAbstractTableModel(parent)
{
}

int XListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int XListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant XListModel::data(const QModelIndex& index, int role) const
{
    const XLISTCELL* cell = Cell(index.row(), index.column());
    if (!cell)
        return {};
    if (role == Qt::DisplayRole)
        return cell->text;
    return {};
}

QVariant XListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const Column& column = columns_[static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.heading;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    case HeaderImageRole:
        return column.headerImage;
    case HeaderBitmapRole:
        return column.headerBitmap;
    default:
        return {};
    }
}

bool XListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                               int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return false;
    Column& column = columns_[static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        column.heading = value.toString();
        break;
    case Qt::TextAlignmentRole:
        column.alignment = value.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
        break;
    case HeaderImageRole:
        column.headerImage = value.toInt();
        break;
    case HeaderBitmapRole:
        column.headerBitmap = value.value<QPixmap>();
        break;
    default:
        return false;
    }
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags XListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

int XListModel::InsertColumn(int column, const QString& heading, Qt::Alignment alignment)
{
    column = std::clamp(column, 0, columnCount());
    beginInsertColumns(QModelIndex(), column, column);
    Column c;
    c.heading = heading;
    c.alignment = alignment & Qt::AlignHorizontal_Mask;
    columns_.insert(columns_.begin() + column, std::move(c));
    for (auto& records : rows_)
        records.insert(records.begin() + column, XLISTCELL());
    endInsertColumns();
    return column;
}

int XListModel::InsertRow(int row)
{
    row = std::clamp(row, 0, rowCount());
    beginInsertRows(QModelIndex(), row, row);
    rows_.insert(rows_.begin() + row, std::vector<XLISTCELL>(columns_.size()));
    endInsertRows();
    return row;
}

bool XListModel::RemoveRow(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

XLISTCELL* XListModel::Cell(int row, int column)
{
    return const_cast<XLISTCELL*>(std::as_const(*this).Cell(row, column));
}

const XLISTCELL* XListModel::Cell(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    return &rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void XListModel::CellChanged(int row, int column)
{
    if (Cell(row, column)) {
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i);
    }
}

Qt::Alignment XListModel::ColumnAlignment(int column) const
{
    if (column < 0 || column >= columnCount())
        return Qt::AlignLeft;
    return columns_[static_cast<size_t>(column)].alignment;
}
