// The device table: the program's only store of device data.
//
// Ten columns of byte-string cells (line feeds and NUL characters are
// ordinary bytes). Row 0 holds the column headers, rows 1 to RowCount()-2
// one listed device each, and the last row is the always-empty spare row.
// Columns 0 to 4 and row 0 are fixed: never current, never edited.
//
// The class offers two faces:
//  - the table's own operations, in table rows (row 0 = headers), used by
//    discovery, the update commands and the tests;
//  - a Qt item model for the grid widget. Its rows are table rows 1 and
//    below (model row r = table row r + 1) and its horizontal header data is
//    table row 0, so the header row stays in view when the grid scrolls.
//
// Threading: the table belongs to the user-interface thread. Every reading
// and every change, including the handling of received datagrams, runs on
// that thread; the listener hands datagrams over to it. That is what keeps
// the handling of one datagram from interleaving with any other access.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <array>
#include <vector>

namespace quillon {

class DeviceTable : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        ColRowNumber = 0,
        ColMac = 1,
        ColDeviceName = 2,
        ColVersion = 3,
        ColDeviceIp = 4,
        ColNewPassword = 5,
        ColIpAddress = 6,
        ColNetMask = 7,
        ColGateway = 8,
        ColDescription = 9,
    };
    static constexpr int ColumnCount = 10;
    static constexpr int FixedColumnCount = 5;  // columns 0 to 4
    static constexpr int HeaderRow = 0;
    static constexpr int DefaultColumnWidth = 64;
    static constexpr int RowHeight = 18;
    static constexpr int NoRow = -1;

    // Edit-text limits in bytes (a text of exactly the limit passes).
    static constexpr int AddressLengthLimit = 16;
    static constexpr int NewPasswordLengthLimit = 17;
    static constexpr int DescriptionLengthLimit = 33;

    // The model's raw cell bytes, for views that need them.
    static constexpr int CellBytesRole = Qt::UserRole + 1;

    static const std::array<const char*, ColumnCount> HeaderTexts;
    static const std::array<int, ColumnCount> ColumnWidths;

    explicit DeviceTable(QObject* parent = nullptr);

    // ---- The table's operations (table rows) ----

    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Growing appends empty rows; shrinking drops rows from the end and,
    // when the current row is gone, moves the current cell to the new last
    // row in the same column, raising the selection event. Never below 2.
    void SetRowCount(int count);

    // Empty for a cell outside the table.
    QByteArray Cell(int column, int row) const;
    // Replaces the whole text. Ignored outside the table.
    void SetCell(int column, int row, const QByteArray& text);

    // Writes the header texts into row 0 and sets the column widths.
    void SetupHeader();
    int ColumnWidth(int column) const;

    // Turns the spare row into device row n (n = RowCount()-1), adds a new
    // spare row and writes n into column 0. Returns n.
    int AppendDeviceRow();
    // Empties rows 1 and below and shrinks the table to RowCount() 2.
    void ClearDeviceTable();
    // The last device row whose column 1 equals the MAC text exactly, or
    // NoRow. Constant time: an index by MAC text follows every write.
    int FindRowByMac(const QByteArray& macText) const;

    // A device row is one whose column 0 is not empty.
    bool IsDeviceRow(int row) const;
    static bool IsSelectableCell(int column, int row, int rowCount);
    bool IsSelectableCell(int column, int row) const { return IsSelectableCell(column, row, RowCount()); }

    int CurrentColumn() const { return currentColumn_; }
    int CurrentRow() const { return currentRow_; }
    bool EditingEnabled() const { return editingEnabled_; }
    // Whether the in-place editor may open now: only on the current cell,
    // only while the editing switch is on.
    bool CanEditCurrentCell() const { return editingEnabled_ && IsSelectableCell(currentColumn_, currentRow_); }

    // The user is about to make (column, row) current: raises the selection
    // event, then moves the current cell. A fixed or missing cell selects
    // nothing and returns false.
    bool SelectCell(int column, int row);
    // Editing changed the text of (column, row): stores it, then raises the
    // edit event.
    void SetEditText(int column, int row, const QByteArray& text);

    // The selection event: enables Update Device and Connect to Device
    // (signal commandsEnabledBySelection) and sets the editing switch from
    // column 0 of the target row. Never refuses.
    void DevListSelectCell(int column, int row);
    // The edit event: warns, through the message box, about a text over its
    // column's limit. Never refuses, shortens or restores the text.
    void DevListSetEditText(int column, int row, const QByteArray& text);

    // ---- The Qt item model (model row = table row - 1) ----

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static int TableRow(const QModelIndex& index) { return index.row() + 1; }
    QModelIndex ModelIndex(int column, int row) const { return index(row - 1, column); }

    // How a cell's bytes are shown on one line: the leading line feed is
    // dropped, the text ends at its first NUL, further line feeds show as
    // blanks, and bytes from 0x80 up are Latin-1.
    static QString DisplayText(const QByteArray& cell);
    // The editor's text: the cell up to its first NUL, as Latin-1.
    static QString EditorText(const QByteArray& cell);

signals:
    // Raised by the selection event: Update Device and Connect to Device
    // become enabled.
    void commandsEnabledBySelection();
    // The current cell moved (after the selection event).
    void currentCellChanged(int column, int row);
    void columnWidthChanged(int column, int width);

private:
    using Row = std::array<QByteArray, ColumnCount>;

    void IndexMac(const QByteArray& mac, int row);
    void UnindexMac(const QByteArray& mac, int row);
    void NotifyCellChanged(int column, int row);

    std::vector<Row> rows_;
    std::array<int, ColumnCount> widths_{};
    // MAC text -> the rows whose column 1 holds it, ascending.
    QHash<QByteArray, QList<int>> macIndex_;
    int currentColumn_ = ColNewPassword;
    int currentRow_ = 1;
    bool editingEnabled_ = false;
};

}  // namespace quillon
