#include "app/PwdDlg.h"

#include "app/DesignFont.h"
#include "app/assets/Assets.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>

#include <limits>

namespace quillon {

TPwdDlg* PwdDlg = nullptr;

QString DialogDisplayText(const QByteArray& text)
{
    QByteArray shown = text.left(text.indexOf('\0') >= 0 ? text.indexOf('\0') : text.size());
    shown.replace('\n', QByteArray());
    shown.replace('\r', QByteArray());
    return QString::fromLatin1(shown);
}

namespace dialogs_detail {

void SetUpDialogWindow(QDialog* dialog, int width, int height)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                           | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    dialog->setSizeGripEnabled(false);
    // The button-face colour as background.
    dialog->setBackgroundRole(QPalette::Button);
    dialog->setAutoFillBackground(true);
}

void CentreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is known once the window has been shown; before that the
    // client area stands in for it. move() places the frame's corner.
    QRect target(QPoint(), window->frameGeometry().size());
    target.moveCenter(screen->geometry().center());
    window->move(target.topLeft());
}

void PrepareVisibilityChange(QDialog* dialog, bool visible, QPointer<QWidget>& lastFocus, QWidget* firstControl)
{
    if (visible && !dialog->isVisible()) {
        dialog->winId();  // the native window first: its frame counts for centring
        CentreOnScreen(dialog);
        QWidget* target = lastFocus ? lastFocus.data() : firstControl;
        target->setFocus(Qt::OtherFocusReason);
    } else if (!visible && dialog->isVisible()) {
        if (QWidget* focused = dialog->focusWidget())
            lastFocus = focused;
    }
}

}  // namespace dialogs_detail

namespace {

// The title bar would treat "[*]" as the window-modified placeholder.
QString TitleBarText(const QByteArray& title)
{
    return DialogDisplayText(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

}  // namespace

TPwdDlg::TPwdDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PwdDlg"));
    // The program's pictures live in the core library next to the dialogs;
    // creating the dialog makes sure they are linked in and registered.
    InitAssets();
    dialogs_detail::SetUpDialogWindow(this, 233, 260);

    cfgList_ = new QPlainTextEdit(this);
    cfgList_->setObjectName(QStringLiteral("CfgList"));
    cfgList_->setGeometry(8, 8, 217, 161);
    cfgList_->setReadOnly(true);
    cfgList_->setFrameShape(QFrame::NoFrame);
    cfgList_->setTabChangesFocus(true);
    cfgList_->setFocusPolicy(Qt::StrongFocus);
    cfgList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cfgList_->setFont(DesignFont(12));
    // Tab stops every eight average characters, like a classic edit box:
    // the settings lines align their values with a tab.
    cfgList_->setTabStopDistance(8 * QFontMetrics(cfgList_->font()).averageCharWidth());
    QPalette listPalette = cfgList_->palette();
    listPalette.setColor(QPalette::Base, listPalette.color(QPalette::Button));
    cfgList_->setPalette(listPalette);
    cfgList_->setPlainText(QStringLiteral("CfgList"));
    lines_ = {QByteArrayLiteral("CfgList")};

    label1_ = new QLabel(QStringLiteral("Enter password:"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    // The label grows when the font needs more room than the designed size.
    const QSize labelHint = label1_->sizeHint();
    label1_->setGeometry(8, 177, std::max(76, labelHint.width()), std::max(13, labelHint.height()));

    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("Password"));
    password_->setGeometry(8, 195, 217, 21);
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(std::numeric_limits<int>::max());
    // Each typed character shows as '*'.
    password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    label1_->setBuddy(password_);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName(QStringLiteral("OKBtn"));
    okBtn_->setGeometry(70, 227, 75, 25);
    okBtn_->setDefault(true);

    cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn_->setGeometry(150, 227, 75, 25);

    setTabOrder(password_, okBtn_);
    setTabOrder(okBtn_, cancelBtn_);
    setTabOrder(cancelBtn_, cfgList_);

    connect(okBtn_, &QPushButton::clicked, this, [this] { done(1); });
    connect(cancelBtn_, &QPushButton::clicked, this, &TPwdDlg::CancelBtnClick);

    SetTitle(QByteArrayLiteral("Confirm"));
}

void TPwdDlg::SetTitle(const QByteArray& title)
{
    title_ = title;
    setWindowTitle(TitleBarText(title));
}

void TPwdDlg::ClearLines()
{
    lines_.clear();
    cfgList_->clear();
}

void TPwdDlg::AddLine(const QByteArray& line)
{
    lines_.append(line);
    cfgList_->appendPlainText(DialogDisplayText(line));
    // The box shows its lines from the first one.
    cfgList_->moveCursor(QTextCursor::Start);
}

QByteArray TPwdDlg::PasswordText() const
{
    return password_->text().toLatin1();
}

void TPwdDlg::SetPasswordText(const QByteArray& text)
{
    password_->setText(QString::fromLatin1(text));
}

void TPwdDlg::CancelBtnClick()
{
    password_->clear();
    done(2);
}

void TPwdDlg::reject()
{
    CancelBtnClick();
}

void TPwdDlg::closeEvent(QCloseEvent* event)
{
    // The close control: result 2, the password box stays as it is.
    if (isVisible())
        done(2);
    event->accept();
}

void TPwdDlg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowTitleChange && windowTitle() != TitleBarText(title_))
        title_ = windowTitle().toLatin1();
    QDialog::changeEvent(event);
}

void TPwdDlg::setVisible(bool visible)
{
    dialogs_detail::PrepareVisibilityChange(this, visible, lastFocus_, password_);
    QDialog::setVisible(visible);
}

}  // namespace quillon
