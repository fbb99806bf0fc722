#include "app/DeviceGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "table/DeviceTable.h"

namespace quillon {

// ---- Delegate ----

QWidget* DeviceGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setObjectName(QStringLiteral("DevListEditor"));
    // Every change of the text is stored at once.
    auto* self = const_cast<DeviceGridDelegate*>(this);
    connect(editor, &QLineEdit::textEdited, self, [self, editor] { emit self->commitData(editor); });
    return editor;
}

void DeviceGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit == nullptr)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    // The model echoes every stored change back; leave the editor (and its
    // cursor) alone when it already shows that text.
    if (lineEdit->text() != text)
        lineEdit->setText(text);
}

void DeviceGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* lineEdit = qobject_cast<QLineEdit*>(editor))
        model->setData(index, lineEdit->text(), Qt::EditRole);
}

void DeviceGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() >= DeviceTable::FixedColumnCount) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Fixed columns are drawn as headings.
    painter->save();
    // Fixed cells are never enabled items, but they read like headings, not
    // like greyed-out text.
    painter->fillRect(option.rect, option.palette.brush(QPalette::Normal, QPalette::Button));
    painter->setPen(option.palette.color(QPalette::Normal, QPalette::ButtonText));
    painter->drawText(option.rect.adjusted(1, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

bool DeviceGridDelegate::eventFilter(QObject* object, QEvent* event)
{
    // A length warning takes the focus into its message box while the user
    // types: editing goes on underneath it.
    if (event->type() == QEvent::FocusOut) {
        auto* editor = qobject_cast<QWidget*>(object);
        QWidget* modal = QApplication::activeModalWidget();
        if (editor != nullptr && modal != nullptr && modal != editor->window())
            return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

// ---- Grid ----

DeviceGrid::DeviceGrid(DeviceTable* table, QWidget* parent) : QTableView(parent), table_(table)
{
    setModel(table);
    setItemDelegate(new DeviceGridDelegate(this));

    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(DeviceTable::RowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* header = horizontalHeader();
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(DeviceTable::RowHeight + 1);
    for (int column = 0; column < DeviceTable::ColumnCount; ++column)
        setColumnWidth(column, table->ColumnWidth(column));
    connect(table, &DeviceTable::columnWidthChanged, this, [this](int column, int width) { setColumnWidth(column, width); });

    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    connect(table, &DeviceTable::currentCellChanged, this, &DeviceGrid::FollowCurrentCell);
    FollowCurrentCell(table->CurrentColumn(), table->CurrentRow());
}

QWidget* DeviceGrid::Editor() const
{
    return state() == EditingState ? indexWidget(currentIndex()) : nullptr;
}

void DeviceGrid::FollowCurrentCell(int column, int row)
{
    const QModelIndex index = table_->ModelIndex(column, row);
    if (index.isValid() && selectionModel() != nullptr)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void DeviceGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    const int column = index.column();
    const int row = DeviceTable::TableRow(index);
    if (!table_->IsSelectableCell(column, row))
        return;  // a fixed cell selects nothing
    if (column == table_->CurrentColumn() && row == table_->CurrentRow() && table_->EditingEnabled()) {
        edit(index, AllEditTriggers, event);
        return;
    }
    table_->SelectCell(column, row);
}

void DeviceGrid::mouseMoveEvent(QMouseEvent*)
{
    // Dragging does not move the current cell.
}

void DeviceGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void DeviceGrid::keyPressEvent(QKeyEvent* event)
{
    if (state() != EditingState && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (table_->CanEditCurrentCell())
            edit(currentIndex(), EditKeyPressed, event);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DeviceGrid::keyboardSearch(const QString&)
{
    // Typing edits the current cell or does nothing; it never jumps.
}

QModelIndex DeviceGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = table_->ModelIndex(table_->CurrentColumn(), table_->CurrentRow());
    const QModelIndex target = QTableView::moveCursor(action, modifiers);
    if (!target.isValid() || target == current)
        return current;
    if (!table_->SelectCell(target.column(), DeviceTable::TableRow(target)))
        return current;
    return table_->ModelIndex(table_->CurrentColumn(), table_->CurrentRow());
}

bool DeviceGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (state() != EditingState) {
        const QModelIndex current = table_->ModelIndex(table_->CurrentColumn(), table_->CurrentRow());
        if (index != current || !table_->CanEditCurrentCell())
            return false;
    }
    return QTableView::edit(index, trigger, event);
}

}  // namespace quillon
