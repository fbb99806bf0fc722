// The selection dialog: lists the devices of the table with a check box each
// so that the user can pick the devices to update.
//
// Created once at start-up and reused; Update Multi fills it, shows it, reads
// the ticks and empties it again. exec() gives 1 for OK and 2 for Cancel:
//  - OKBtn (also Enter, it is the default button) runs OKBtnClick: 1;
//  - CancelBtn (also Esc) runs CancelBtnClick: 2;
//  - the window's close control: 2.
//
// Entries are byte strings of single-byte characters, kept exactly as given
// (line feeds included) and shown on one line (see DialogDisplayText).
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPointer>

class QCloseEvent;
class QFrame;
class QListWidget;
class QPushButton;

namespace quillon {

class TCfgDlg : public QDialog {
    Q_OBJECT

public:
    explicit TCfgDlg(QWidget* parent = nullptr);

    // Appends an unchecked entry at the end of DevSelList.
    void AddEntry(const QByteArray& text);
    int EntryCount() const;
    // Whether the entry at index (from 0) is ticked; false for an index
    // outside the list.
    bool IsChecked(int index) const;
    // The entry's text exactly as added (empty for an index outside the list).
    QByteArray EntryText(int index) const;
    void ClearEntries();

    QFrame* Bevel1() const { return bevel1_; }
    QListWidget* DevSelList() const { return devSelList_; }
    QPushButton* OKBtn() const { return okBtn_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }

    void setVisible(bool visible) override;

    // The item data role that holds an entry's stored bytes.
    static constexpr int EntryBytesRole = Qt::UserRole + 1;

public slots:
    void OKBtnClick();
    void CancelBtnClick();
    // Esc runs the Cancel handler.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QFrame* bevel1_;
    QListWidget* devSelList_;
    QPushButton* okBtn_;
    QPushButton* cancelBtn_;

    QPointer<QWidget> lastFocus_;  // focus when the dialog last closed
};

// The single instance, set by the entry (null until then).
extern TCfgDlg* CfgDlg;

}  // namespace quillon
