#include "app/CfgDlg.h"

#include "app/PwdDlg.h"

#include <QCloseEvent>
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace quillon {

TCfgDlg* CfgDlg = nullptr;

namespace {

// Entries are 13 pixels high.
class EntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(13);
        return size;
    }

    // A click on an entry's check box also makes it the current entry (the
    // view alone leaves the current entry where it was), so that Space then
    // toggles the entry just clicked.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            if (auto* view = qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget)))
                view->setCurrentIndex(index);
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
};

}  // namespace

TCfgDlg::TCfgDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CfgDlg"));
    dialogs_detail::SetUpDialogWindow(this, 384, 179);
    setWindowTitle(QStringLiteral("Select Device"));

    bevel1_ = new QFrame(this);
    bevel1_->setObjectName(QStringLiteral("Bevel1"));
    bevel1_->setGeometry(8, 8, 281, 161);
    bevel1_->setFrameShape(QFrame::Box);
    bevel1_->setFrameShadow(QFrame::Sunken);

    devSelList_ = new QListWidget(this);
    devSelList_->setObjectName(QStringLiteral("DevSelList"));
    devSelList_->setGeometry(16, 16, 265, 145);
    devSelList_->setItemDelegate(new EntryDelegate(devSelList_));
    devSelList_->setUniformItemSizes(true);
    devSelList_->setSelectionMode(QAbstractItemView::SingleSelection);
    devSelList_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName(QStringLiteral("OKBtn"));
    okBtn_->setGeometry(300, 8, 75, 25);
    okBtn_->setDefault(true);

    cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn_->setGeometry(300, 38, 75, 25);

    setTabOrder(okBtn_, cancelBtn_);
    setTabOrder(cancelBtn_, devSelList_);

    connect(okBtn_, &QPushButton::clicked, this, &TCfgDlg::OKBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &TCfgDlg::CancelBtnClick);
}

void TCfgDlg::AddEntry(const QByteArray& text)
{
    auto* item = new QListWidgetItem(DialogDisplayText(text));
    item->setData(EntryBytesRole, text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    devSelList_->addItem(item);
}

int TCfgDlg::EntryCount() const
{
    return devSelList_->count();
}

bool TCfgDlg::IsChecked(int index) const
{
    const QListWidgetItem* item = devSelList_->item(index);
    return item && item->checkState() == Qt::Checked;
}

QByteArray TCfgDlg::EntryText(int index) const
{
    const QListWidgetItem* item = devSelList_->item(index);
    return item ? item->data(EntryBytesRole).toByteArray() : QByteArray();
}

void TCfgDlg::ClearEntries()
{
    devSelList_->clear();
}

void TCfgDlg::OKBtnClick()
{
    done(1);
}

void TCfgDlg::CancelBtnClick()
{
    done(2);
}

void TCfgDlg::reject()
{
    CancelBtnClick();
}

void TCfgDlg::closeEvent(QCloseEvent* event)
{
    // The close control: result 2, without the Cancel handler.
    if (isVisible())
        done(2);
    event->accept();
}

void TCfgDlg::setVisible(bool visible)
{
    dialogs_detail::PrepareVisibilityChange(this, visible, lastFocus_, okBtn_);
    QDialog::setVisible(visible);
}

}  // namespace quillon
