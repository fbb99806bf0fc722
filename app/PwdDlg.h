// The confirmation dialog: shows the settings about to be sent to one device
// and asks for the device's current password.
//
// Created once at start-up and reused; the update commands fill it before
// every showing (title, settings lines) and read the password box after it.
// exec() gives 1 for OK and 2 for Cancel:
//  - OKBtn (also Enter, it is the default button) ends it with 1;
//  - CancelBtn (also Esc) runs CancelBtnClick: the password box is emptied,
//    then the dialog ends with 2;
//  - the window's close control ends it with 2 and leaves the password box
//    as it is.
//
// Texts are byte strings of single-byte characters (Latin-1 here). Title and
// settings lines are kept exactly as given, line feeds and NUL characters
// included; the widgets show them on one line each (see DialogDisplayText).
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quillon {

class TPwdDlg : public QDialog {
    Q_OBJECT

public:
    explicit TPwdDlg(QWidget* parent = nullptr);

    // The title, kept byte for byte; the title bar shows DialogDisplayText
    // of it. (Plain setWindowTitle() works too; Title() then returns its
    // Latin-1 bytes.)
    void SetTitle(const QByteArray& title);
    QByteArray Title() const { return title_; }

    // The settings lines of CfgList.
    void ClearLines();
    void AddLine(const QByteArray& line);
    const QList<QByteArray>& Lines() const { return lines_; }

    // The password box, as Latin-1 bytes (a typed character outside Latin-1
    // becomes '?').
    QByteArray PasswordText() const;
    void SetPasswordText(const QByteArray& text);

    QPlainTextEdit* CfgList() const { return cfgList_; }
    QLabel* Label1() const { return label1_; }
    QLineEdit* Password() const { return password_; }
    QPushButton* OKBtn() const { return okBtn_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }

    void setVisible(bool visible) override;

public slots:
    // Cancel: empties the password box, then ends the dialog with 2.
    void CancelBtnClick();
    // Esc runs the Cancel handler.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPlainTextEdit* cfgList_;
    QLabel* label1_;
    QLineEdit* password_;
    QPushButton* okBtn_;
    QPushButton* cancelBtn_;

    QByteArray title_;
    QList<QByteArray> lines_;
    QPointer<QWidget> lastFocus_;  // focus when the dialog last closed
};

// The single instance, set by the entry (null until then).
extern TPwdDlg* PwdDlg;

// ---- Shared by both dialogs ----

// How a dialog shows a stored text on one line: the text ends at its first
// NUL character, line feeds (and carriage returns) are dropped, bytes from
// 0x80 up are Latin-1.
QString DialogDisplayText(const QByteArray& text);

namespace dialogs_detail {
// Fixed client size, title bar with close control only, no resizing.
void SetUpDialogWindow(QDialog* dialog, int width, int height);
// Moves a top-level window so that its frame is centred on its screen.
void CentreOnScreen(QWidget* window);
// Called before a dialog is shown or hidden: centres it when it is about to
// show and gives the focus to `firstControl` the first time, to the control
// that last had it at later showings; remembers that control when it hides.
void PrepareVisibilityChange(QDialog* dialog, bool visible, QPointer<QWidget>& lastFocus, QWidget* firstControl);
}  // namespace dialogs_detail

}  // namespace quillon
