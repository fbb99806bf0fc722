#include "table/DeviceTable.h"

#include <algorithm>

#include "platform/Dialogs.h"
#include "table/CellForms.h"

namespace quillon {

const std::array<const char*, DeviceTable::ColumnCount> DeviceTable::HeaderTexts = {
    "", "MAC Address", "Device Name", "Version", "DeviceIP",
    "NewPassword", "IP Address", "NetMask", "Gateway", "Description",
};

const std::array<int, DeviceTable::ColumnCount> DeviceTable::ColumnWidths = {
    16, 96, 80, 80, 80, 72, 72, 72, 72, 116,
};

DeviceTable::DeviceTable(QObject* parent) : QAbstractTableModel(parent), rows_(2)
{
    widths_.fill(DefaultColumnWidth);
}

// ---- Cells and rows ----

QByteArray DeviceTable::Cell(int column, int row) const
{
    if (column < 0 || column >= ColumnCount || row < 0 || row >= RowCount())
        return {};
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void DeviceTable::SetCell(int column, int row, const QByteArray& text)
{
    if (column < 0 || column >= ColumnCount || row < 0 || row >= RowCount())
        return;
    QByteArray& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    if (column == ColMac && row > HeaderRow && cell != text) {
        UnindexMac(cell, row);
        IndexMac(text, row);
    }
    cell = text;
    NotifyCellChanged(column, row);
}

void DeviceTable::NotifyCellChanged(int column, int row)
{
    if (row == HeaderRow) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    } else {
        const QModelIndex i = ModelIndex(column, row);
        emit dataChanged(i, i);
    }
}

void DeviceTable::IndexMac(const QByteArray& mac, int row)
{
    if (mac.isEmpty())
        return;
    QList<int>& list = macIndex_[mac];
    list.insert(std::lower_bound(list.begin(), list.end(), row), row);
}

void DeviceTable::UnindexMac(const QByteArray& mac, int row)
{
    if (mac.isEmpty())
        return;
    const auto it = macIndex_.find(mac);
    if (it == macIndex_.end())
        return;
    it->removeOne(row);
    if (it->isEmpty())
        macIndex_.erase(it);
}

void DeviceTable::SetRowCount(int count)
{
    count = std::max(count, 2);
    const int old = RowCount();
    if (count > old) {
        beginInsertRows(QModelIndex(), old - 1, count - 2);
        rows_.resize(static_cast<std::size_t>(count));
        endInsertRows();
        return;
    }
    if (count == old)
        return;
    beginRemoveRows(QModelIndex(), count - 1, old - 2);
    for (int row = count; row < old; ++row)
        UnindexMac(rows_[static_cast<std::size_t>(row)][ColMac], row);
    rows_.resize(static_cast<std::size_t>(count));
    endRemoveRows();
    if (currentRow_ >= count)
        SelectCell(currentColumn_, count - 1);
}

void DeviceTable::SetupHeader()
{
    for (int column = 0; column < ColumnCount; ++column) {
        SetCell(column, HeaderRow, QByteArray(HeaderTexts[static_cast<std::size_t>(column)]));
        widths_[static_cast<std::size_t>(column)] = ColumnWidths[static_cast<std::size_t>(column)];
        emit columnWidthChanged(column, widths_[static_cast<std::size_t>(column)]);
    }
}

int DeviceTable::ColumnWidth(int column) const
{
    if (column < 0 || column >= ColumnCount)
        return 0;
    return widths_[static_cast<std::size_t>(column)];
}

int DeviceTable::AppendDeviceRow()
{
    const int n = RowCount() - 1;
    SetRowCount(RowCount() + 1);
    SetCell(ColRowNumber, n, RowNumberCell(n));
    return n;
}

void DeviceTable::ClearDeviceTable()
{
    // Row 1 stays and is emptied (the spare row may hold typing); the rows
    // below it go, and rows that come back later start empty.
    for (int column = 0; column < ColumnCount; ++column) {
        if (!Cell(column, 1).isEmpty())
            SetCell(column, 1, QByteArray());
    }
    SetRowCount(2);
}

int DeviceTable::FindRowByMac(const QByteArray& macText) const
{
    const auto it = macIndex_.constFind(macText);
    if (it == macIndex_.constEnd())
        return NoRow;
    const int lastDeviceRow = RowCount() - 2;
    // Ascending list: the last entry within the device rows wins. Only the
    // spare row can lie above them, so this looks at two entries at most.
    for (auto r = it->crbegin(); r != it->crend(); ++r) {
        if (*r >= 1 && *r <= lastDeviceRow)
            return *r;
    }
    return NoRow;
}

bool DeviceTable::IsDeviceRow(int row) const
{
    return !Cell(ColRowNumber, row).isEmpty();
}

bool DeviceTable::IsSelectableCell(int column, int row, int rowCount)
{
    return column >= FixedColumnCount && column < ColumnCount && row >= 1 && row < rowCount;
}

// ---- Selection and editing ----

bool DeviceTable::SelectCell(int column, int row)
{
    if (!IsSelectableCell(column, row))
        return false;
    DevListSelectCell(column, row);
    currentColumn_ = column;
    currentRow_ = row;
    emit currentCellChanged(column, row);
    return true;
}

void DeviceTable::DevListSelectCell(int column, int row)
{
    Q_UNUSED(column);
    emit commandsEnabledBySelection();
    editingEnabled_ = IsDeviceRow(row);
}

void DeviceTable::SetEditText(int column, int row, const QByteArray& text)
{
    SetCell(column, row, text);
    DevListSetEditText(column, row, text);
}

void DeviceTable::DevListSetEditText(int column, int row, const QByteArray& text)
{
    Q_UNUSED(row);
    const auto length = text.size();
    switch (column) {
    case ColIpAddress:
    case ColNetMask:
    case ColGateway:
        if (length > AddressLengthLimit)
            ShowMessage(QStringLiteral("IP address Length Error !!"));
        break;
    case ColNewPassword:
        if (length > NewPasswordLengthLimit)
            ShowMessage(QStringLiteral("Password Length must less than 16 !!"));
        break;
    case ColDescription:
        if (length > DescriptionLengthLimit)
            ShowMessage(QStringLiteral("Description Length must less than 32 !!"));
        break;
    default:
        break;
    }
}

// ---- The Qt item model ----

int DeviceTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount() - 1;
}

int DeviceTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString DeviceTable::DisplayText(const QByteArray& cell)
{
    QByteArray text = UpToNul(cell);
    if (text.startsWith('\n'))
        text.remove(0, 1);
    text.replace('\n', ' ');
    return QString::fromLatin1(text);
}

QString DeviceTable::EditorText(const QByteArray& cell)
{
    return QString::fromLatin1(UpToNul(cell));
}

QVariant DeviceTable::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QByteArray cell = Cell(index.column(), TableRow(index));
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(cell);
    case Qt::EditRole:
        return EditorText(cell);
    case CellBytesRole:
        return cell;
    default:
        return {};
    }
}

bool DeviceTable::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int row = TableRow(index);
    if (!IsSelectableCell(index.column(), row))
        return false;
    // Typed characters become single bytes (Latin-1).
    SetEditText(index.column(), row, value.toString().toLatin1());
    return true;
}

QVariant DeviceTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return DisplayText(Cell(section, HeaderRow));
    if (role == CellBytesRole)
        return Cell(section, HeaderRow);
    return {};
}

Qt::ItemFlags DeviceTable::flags(const QModelIndex& index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    const int row = TableRow(index);
    if (!IsSelectableCell(index.column(), row))
        return Qt::NoItemFlags;  // fixed cells: drawn as headings, never current
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editingEnabled_ && index.column() == currentColumn_ && row == currentRow_)
        f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace quillon
