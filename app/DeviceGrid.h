// The grid that shows the device table: a model/view table whose rules
// (current cell, editing switch, events) live in the DeviceTable model.
//
// The header row is the view's horizontal header and the fixed columns 0 to
// 4 are drawn as headings; neither can become current. Every change of the
// current cell goes through DeviceTable::SelectCell, which raises the
// selection event before the cell changes. The in-place editor opens only
// on the current cell while the editing switch is on, stores each change of
// its text at once, and stores the text once more when editing ends.
#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

namespace quillon {

class DeviceTable;

class DeviceGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
};

class DeviceGrid : public QTableView {
    Q_OBJECT

public:
    explicit DeviceGrid(DeviceTable* table, QWidget* parent = nullptr);

    DeviceTable* Table() const { return table_; }
    // The open in-place editor, if any.
    QWidget* Editor() const;

    void keyboardSearch(const QString& search) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void FollowCurrentCell(int column, int row);

    DeviceTable* table_;
};

}  // namespace quillon
