// The confirmation and selection dialogs, shown for real (offscreen) and
// driven with keys and clicks; and the embedded pictures.
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTextBlock>
#include <QWindow>

#include <memory>

#include "ModalAnswer.h"
#include "app/CfgDlg.h"
#include "app/PwdDlg.h"
#include "app/assets/Assets.h"

using namespace quillon;
using quillon::test::AnswerNextMessageBox;
using quillon::test::AnswerNextModal;

namespace {

// How a test ends a dialog.
enum class Way { ClickOk, EnterKey, ClickCancel, EscKey, CloseControl };

void End(QWidget* modal, Way way)
{
    auto* ok = modal->findChild<QPushButton*>(QStringLiteral("OKBtn"));
    auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
    switch (way) {
    case Way::ClickOk:
        QTest::mouseClick(ok, Qt::LeftButton);
        break;
    case Way::EnterKey:
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        break;
    case Way::ClickCancel:
        QTest::mouseClick(cancel, Qt::LeftButton);
        break;
    case Way::EscKey:
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        break;
    case Way::CloseControl:
        modal->close();  // what the title bar's close control does
        break;
    }
}

// Shows the dialog modally, runs action on it, and gives exec()'s result.
int ExecWith(QDialog& dialog, std::function<void(QWidget*)> action)
{
    auto answer = AnswerNextModal(std::move(action));
    const int result = dialog.exec();
    if (!answer.Answered())
        qWarning("the dialog closed before it was answered");
    return result;
}

// A byte string with its NUL characters (the literal without its end mark).
template <std::size_t N>
QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QString FocusName()
{
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("<none>");
}

std::unique_ptr<QDialog> MakeDialog(const QString& kind)
{
    if (kind == QLatin1String("PwdDlg"))
        return std::make_unique<TPwdDlg>();
    return std::make_unique<TCfgDlg>();
}

// Where a click toggles an entry's check box.
QPoint CheckBoxCentre(QListWidget* list, QListWidgetItem* item)
{
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.checkState = item->checkState();
    option.text = item->text();
    option.font = list->font();
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
}

}  // namespace

Q_DECLARE_METATYPE(Way)

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void pwdDlgResult_data();
    void pwdDlgResult();
    void cfgDlgResult_data();
    void cfgDlgResult();

    void tabOrderFromFirstFocus_data();
    void tabOrderFromFirstFocus();
    void focusRestoredAtNextShowing_data();
    void focusRestoredAtNextShowing();

    void windowSettings_data();
    void windowSettings();
    void controlGeometry_data();
    void controlGeometry();
    void centredWheneverShown_data();
    void centredWheneverShown();

    void pwdDlgKeepsTextsExactly();
    void passwordBox();
    void cfgListIsReadOnly();
    void devSelListEntries();
    void devSelListToggle_data();
    void devSelListToggle();

    void modalAnswerChainsDialogAndMessageBox();

    void embeddedPicture_data();
    void embeddedPicture();
    void iconImageDepths();
};

void TestDialogs::initTestCase()
{
    // The pictures must be there without an explicit InitAssets() call:
    // linking the dialogs brings them in, as in the program.
    QVERIFY(QFile::exists(QString::fromLatin1(assets::LogoGif)));
}

// ---- Results ----

void TestDialogs::pwdDlgResult_data()
{
    QTest::addColumn<Way>("way");
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("passwordAfter");

    QTest::newRow("OK button") << Way::ClickOk << QByteArray("secret") << 1 << QByteArray("secret");
    QTest::newRow("Enter in password box") << Way::EnterKey << QByteArray("secret") << 1 << QByteArray("secret");
    QTest::newRow("Enter, nothing typed") << Way::EnterKey << QByteArray() << 1 << QByteArray();
    QTest::newRow("Cancel button empties") << Way::ClickCancel << QByteArray("secret") << 2 << QByteArray();
    QTest::newRow("Esc acts as Cancel") << Way::EscKey << QByteArray("secret") << 2 << QByteArray();
    QTest::newRow("close control keeps password") << Way::CloseControl << QByteArray("secret") << 2
                                                  << QByteArray("secret");
}

void TestDialogs::pwdDlgResult()
{
    QFETCH(Way, way);
    QFETCH(QByteArray, typed);
    QFETCH(int, result);
    QFETCH(QByteArray, passwordAfter);

    TPwdDlg dialog;
    QString typedInto;
    const int got = ExecWith(dialog, [&](QWidget* modal) {
        typedInto = FocusName();
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(typed));
        End(modal, way);
    });
    QCOMPARE(typedInto, QStringLiteral("Password"));
    QCOMPARE(got, result);
    QCOMPARE(dialog.PasswordText(), passwordAfter);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::cfgDlgResult_data()
{
    QTest::addColumn<Way>("way");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("result");

    QTest::newRow("OK button") << Way::ClickOk << 2 << 1;
    QTest::newRow("Enter") << Way::EnterKey << 2 << 1;
    QTest::newRow("Cancel button") << Way::ClickCancel << 2 << 2;
    QTest::newRow("Esc") << Way::EscKey << 2 << 2;
    QTest::newRow("close control") << Way::CloseControl << 2 << 2;
    QTest::newRow("no entries, OK") << Way::ClickOk << 0 << 1;
    QTest::newRow("no entries, close control") << Way::CloseControl << 0 << 2;
}

void TestDialogs::cfgDlgResult()
{
    QFETCH(Way, way);
    QFETCH(int, entries);
    QFETCH(int, result);

    TCfgDlg dialog;
    for (int i = 0; i < entries; ++i)
        dialog.AddEntry(QByteArray::number(i + 1) + " - CAM (02-4B-7E-00-00-0" + QByteArray::number(i) + ") ");
    bool shown = false;
    QCOMPARE(ExecWith(dialog, [&](QWidget* modal) {
                 shown = modal->isVisible();
                 End(modal, way);
             }),
             result);
    QVERIFY(shown);
    QCOMPARE(dialog.EntryCount(), entries);
    for (int i = 0; i < entries; ++i)
        QVERIFY(!dialog.IsChecked(i));
}

// ---- Focus ----

void TestDialogs::tabOrderFromFirstFocus_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("order");  // first focus, then after each Tab

    QTest::newRow("PwdDlg") << "PwdDlg" << QStringList{"Password", "OKBtn", "CancelBtn", "CfgList", "Password"};
    QTest::newRow("CfgDlg") << "CfgDlg" << QStringList{"OKBtn", "CancelBtn", "DevSelList", "OKBtn"};
}

void TestDialogs::tabOrderFromFirstFocus()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, order);

    auto dialog = MakeDialog(kind);
    QStringList seen;
    ExecWith(*dialog, [&](QWidget* modal) {
        seen << FocusName();
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << FocusName();
        }
        modal->close();
    });
    QCOMPARE(seen, order);
}

void TestDialogs::focusRestoredAtNextShowing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("tabs");  // Tab presses before the dialog ends
    QTest::addColumn<Way>("way");
    QTest::addColumn<QString>("focusNextTime");

    QTest::newRow("PwdDlg, tabbed to CfgList, closed") << "PwdDlg" << 3 << Way::CloseControl << "CfgList";
    QTest::newRow("PwdDlg, tabbed to OKBtn, Enter") << "PwdDlg" << 1 << Way::EnterKey << "OKBtn";
    QTest::newRow("PwdDlg, Cancel clicked") << "PwdDlg" << 0 << Way::ClickCancel << "CancelBtn";
    QTest::newRow("PwdDlg, untouched, Esc") << "PwdDlg" << 0 << Way::EscKey << "Password";
    QTest::newRow("CfgDlg, tabbed to DevSelList, closed") << "CfgDlg" << 2 << Way::CloseControl << "DevSelList";
    QTest::newRow("CfgDlg, Cancel clicked") << "CfgDlg" << 0 << Way::ClickCancel << "CancelBtn";
    QTest::newRow("CfgDlg, untouched, OK") << "CfgDlg" << 0 << Way::EnterKey << "OKBtn";
}

void TestDialogs::focusRestoredAtNextShowing()
{
    QFETCH(QString, kind);
    QFETCH(int, tabs);
    QFETCH(Way, way);
    QFETCH(QString, focusNextTime);

    auto dialog = MakeDialog(kind);
    if (auto* cfg = qobject_cast<TCfgDlg*>(dialog.get()))
        cfg->AddEntry("1 - CAM (02-4B-7E-00-00-01) ");
    ExecWith(*dialog, [&](QWidget* modal) {
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        End(modal, way);
    });
    // Something else takes the focus in between.
    QLineEdit other;
    other.show();
    other.activateWindow();
    other.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&other));

    for (int showing = 2; showing <= 3; ++showing) {
        QString focus;
        ExecWith(*dialog, [&](QWidget* modal) {
            focus = FocusName();
            modal->close();
        });
        QCOMPARE(focus, focusNextTime);
    }
}

// ---- Window and layout ----

void TestDialogs::windowSettings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("clientSize");
    QTest::addColumn<QString>("title");

    QTest::newRow("PwdDlg") << "PwdDlg" << QSize(233, 260) << "Confirm";
    QTest::newRow("CfgDlg") << "CfgDlg" << QSize(384, 179) << "Select Device";
}

void TestDialogs::windowSettings()
{
    QFETCH(QString, kind);
    QFETCH(QSize, clientSize);
    QFETCH(QString, title);

    auto dialog = MakeDialog(kind);
    QCOMPARE(dialog->objectName(), kind);
    QCOMPARE(dialog->windowTitle(), title);
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));

    QSize shownSize;
    ExecWith(*dialog, [&](QWidget* modal) {
        shownSize = modal->size();
        modal->close();
    });
    QCOMPARE(shownSize, clientSize);
    QCOMPARE(dialog->minimumSize(), clientSize);
    QCOMPARE(dialog->maximumSize(), clientSize);
}

void TestDialogs::controlGeometry_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("rect");  // left, top, width, height

    QTest::newRow("PwdDlg CfgList") << "PwdDlg" << "CfgList" << QRect(8, 8, 217, 161);
    QTest::newRow("PwdDlg Password") << "PwdDlg" << "Password" << QRect(8, 195, 217, 21);
    QTest::newRow("PwdDlg OKBtn") << "PwdDlg" << "OKBtn" << QRect(70, 227, 75, 25);
    QTest::newRow("PwdDlg CancelBtn") << "PwdDlg" << "CancelBtn" << QRect(150, 227, 75, 25);
    QTest::newRow("CfgDlg Bevel1") << "CfgDlg" << "Bevel1" << QRect(8, 8, 281, 161);
    QTest::newRow("CfgDlg DevSelList") << "CfgDlg" << "DevSelList" << QRect(16, 16, 265, 145);
    QTest::newRow("CfgDlg OKBtn") << "CfgDlg" << "OKBtn" << QRect(300, 8, 75, 25);
    QTest::newRow("CfgDlg CancelBtn") << "CfgDlg" << "CancelBtn" << QRect(300, 38, 75, 25);
}

void TestDialogs::controlGeometry()
{
    QFETCH(QString, kind);
    QFETCH(QString, control);
    QFETCH(QRect, rect);

    auto dialog = MakeDialog(kind);
    QRect shown;
    ExecWith(*dialog, [&](QWidget* modal) {
        if (QWidget* widget = modal->findChild<QWidget*>(control))
            shown = widget->geometry();
        modal->close();
    });
    QCOMPARE(shown, rect);
}

void TestDialogs::centredWheneverShown_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("PwdDlg") << "PwdDlg";
    QTest::newRow("CfgDlg") << "CfgDlg";
}

void TestDialogs::centredWheneverShown()
{
    QFETCH(QString, kind);

    auto dialog = MakeDialog(kind);
    const QPoint screenCentre = dialog->screen()->geometry().center();
    for (int showing = 1; showing <= 2; ++showing) {
        QPoint centre;
        ExecWith(*dialog, [&](QWidget* modal) {
            centre = modal->frameGeometry().center();
            modal->move(5, 5);  // the user drags it away
            modal->close();
        });
        QVERIFY2((centre - screenCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("showing %1: centre %2,%3, screen centre %4,%5")
                                .arg(showing)
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(screenCentre.x())
                                .arg(screenCentre.y())));
    }
}

// ---- Texts and controls ----

void TestDialogs::pwdDlgKeepsTextsExactly()
{
    TPwdDlg dialog;
    QCOMPARE(dialog.Title(), QByteArray("Confirm"));

    // The update commands' forms: a title and values that begin with a line
    // feed, NUL padding, a Latin-1 byte.
    const QByteArray title = Bytes("\nCAM\0\0 (02-4B-7E-0A-1B-FF)");
    dialog.SetTitle(title);
    QCOMPARE(dialog.Title(), title);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("CAM"));

    // "[*]" in a device name is text, not the window-modified placeholder.
    dialog.SetTitle("\nA[*]B (02-4B-7E-0A-1B-FF)");
    dialog.winId();
    QCOMPARE(dialog.windowHandle()->title(), QStringLiteral("A[*]B (02-4B-7E-0A-1B-FF)"));
    QCOMPARE(dialog.Title(), QByteArray("\nA[*]B (02-4B-7E-0A-1B-FF)"));

    // A plain setWindowTitle is what Title() reports afterwards.
    dialog.setWindowTitle(QStringLiteral("Caf\u00e9"));
    QCOMPARE(dialog.Title(), QByteArray("Caf\xe9"));

    const QList<QByteArray> lines{
        "Setting info :",
        "IP Address      \t: \n192.168.1.20",
        Bytes("Device Name     \t: \nCAM\0\0\0"),
        "Description     \t: \nCaf\xe9",
    };
    dialog.ClearLines();
    for (const QByteArray& line : lines)
        dialog.AddLine(line);
    QCOMPARE(dialog.Lines(), lines);

    const QTextDocument* document = dialog.CfgList()->document();
    QCOMPARE(document->blockCount(), 4);
    QCOMPARE(document->findBlockByNumber(0).text(), QStringLiteral("Setting info :"));
    QCOMPARE(document->findBlockByNumber(1).text(), QStringLiteral("IP Address      \t: 192.168.1.20"));
    QCOMPARE(document->findBlockByNumber(2).text(), QStringLiteral("Device Name     \t: CAM"));
    QCOMPARE(document->findBlockByNumber(3).text(), QStringLiteral("Description     \t: Caf\u00e9"));

    dialog.ClearLines();
    QVERIFY(dialog.Lines().isEmpty());
    QCOMPARE(dialog.CfgList()->toPlainText(), QString());
}

void TestDialogs::passwordBox()
{
    TPwdDlg dialog;
    QString shown;
    const int result = ExecWith(dialog, [&](QWidget* modal) {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ab"));
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_Eacute,
                            QStringLiteral("\u00e9"), Qt::NoModifier);
        shown = modal->findChild<QLineEdit*>(QStringLiteral("Password"))->displayText();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(result, 1);
    QCOMPARE(shown, QStringLiteral("***"));
    QCOMPARE(dialog.PasswordText(), QByteArray("ab\xe9"));  // one byte per character

    // No length limit (a line edit's default stops at 32767).
    const QByteArray longText(40000, 'x');
    dialog.SetPasswordText(longText);
    QCOMPARE(dialog.PasswordText(), longText);
    dialog.SetPasswordText(QByteArray());
    QCOMPARE(dialog.Password()->text(), QString());
}

void TestDialogs::cfgListIsReadOnly()
{
    TPwdDlg dialog;
    dialog.ClearLines();
    dialog.AddLine("Setting info :");
    QString after;
    ExecWith(dialog, [&](QWidget* modal) {
        auto* list = modal->findChild<QPlainTextEdit*>(QStringLiteral("CfgList"));
        list->setFocus();
        QTest::keyClicks(list, QStringLiteral("typed"));
        QTest::keyClick(list, Qt::Key_Backspace);
        QTest::keyClick(list, Qt::Key_Delete);
        after = list->toPlainText();
        modal->close();
    });
    QCOMPARE(after, QStringLiteral("Setting info :"));
}

void TestDialogs::devSelListEntries()
{
    TCfgDlg dialog;
    const QByteArray first("1 - \nCAM (02-4B-7E-0A-1B-01) ");
    const QByteArray second("\n2 - \nCAM\xe9 (02-4B-7E-0A-1B-02) ");
    dialog.AddEntry(first);
    dialog.AddEntry(second);

    QCOMPARE(dialog.EntryCount(), 2);
    QCOMPARE(dialog.EntryText(0), first);
    QCOMPARE(dialog.EntryText(1), second);
    QListWidget* list = dialog.DevSelList();
    QCOMPARE(list->item(0)->text(), QStringLiteral("1 - CAM (02-4B-7E-0A-1B-01) "));
    QCOMPARE(list->item(1)->text(), QStringLiteral("2 - CAM\u00e9 (02-4B-7E-0A-1B-02) "));
    QVERIFY(!dialog.IsChecked(0));
    QVERIFY(!dialog.IsChecked(1));
    QVERIFY(!dialog.IsChecked(-1));
    QVERIFY(!dialog.IsChecked(2));
    QCOMPARE(dialog.EntryText(2), QByteArray());

    int rowHeight = 0;
    ExecWith(dialog, [&](QWidget* modal) {
        rowHeight = list->visualItemRect(list->item(1)).height();
        modal->close();
    });
    QCOMPARE(rowHeight, 13);

    dialog.ClearEntries();
    QCOMPARE(dialog.EntryCount(), 0);
    dialog.AddEntry("1 - CAM (02-4B-7E-0A-1B-01) ");
    QVERIFY(!dialog.IsChecked(0));
}

void TestDialogs::devSelListToggle_data()
{
    // Steps on entry 1: b = click its check box, t = click its text,
    // s = Space key on the list.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("checked");

    QTest::newRow("box clicked") << "b" << true;
    QTest::newRow("box clicked twice") << "bb" << false;
    QTest::newRow("text clicked") << "t" << false;
    QTest::newRow("Space on entry") << "ts" << true;
    QTest::newRow("Space twice") << "tss" << false;
    QTest::newRow("box, then Space") << "bs" << false;
}

void TestDialogs::devSelListToggle()
{
    QFETCH(QString, steps);
    QFETCH(bool, checked);

    TCfgDlg dialog;
    dialog.AddEntry("1 - CAM (02-4B-7E-0A-1B-01) ");
    dialog.AddEntry("\n2 - CAM (02-4B-7E-0A-1B-02) ");
    dialog.AddEntry("\n3 - CAM (02-4B-7E-0A-1B-03) ");
    QListWidget* list = dialog.DevSelList();
    const int result = ExecWith(dialog, [&](QWidget* modal) {
        QListWidgetItem* item = list->item(1);
        for (const QChar step : steps) {
            if (step == QLatin1Char('b')) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CheckBoxCentre(list, item));
            } else if (step == QLatin1Char('t')) {
                const QRect rect = list->visualItemRect(item);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  QPoint(rect.left() + rect.width() / 2, rect.center().y()));
            } else {
                QTest::keyClick(list, Qt::Key_Space);
            }
        }
        // The dialog's OK: through the OK button, as Enter would go to the
        // list's current entry otherwise unchanged.
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("OKBtn")), Qt::LeftButton);
    });
    QCOMPARE(result, 1);
    QCOMPARE(dialog.IsChecked(1), checked);
    QVERIFY(!dialog.IsChecked(0));
    QVERIFY(!dialog.IsChecked(2));
}

// ---- The test helper others rely on ----

void TestDialogs::modalAnswerChainsDialogAndMessageBox()
{
    TPwdDlg dialog;
    auto typed = AnswerNextModal([](QWidget*) {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("pw"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    auto box = AnswerNextMessageBox();

    const int result = dialog.exec();
    QMessageBox::information(nullptr, QStringLiteral("quillon"), QStringLiteral("Cancel Configuration"));

    QCOMPARE(result, 1);
    QCOMPARE(dialog.PasswordText(), QByteArray("pw"));
    QVERIFY(typed.Answered());
    QVERIFY(box.Answered());
    QCOMPARE(box.Text(), QStringLiteral("Cancel Configuration"));
}

// ---- Pictures ----

void TestDialogs::embeddedPicture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("maxColours");  // palette PNG; 0: direct colour or not a PNG
    QTest::addColumn<int>("pngColourType");  // -1: not a PNG

    QTest::newRow("logo") << assets::LogoGif << QSize(149, 49) << 0 << -1;
    QTest::newRow("refresh") << assets::RefreshPng << QSize(16, 16) << 16 << 3;
    QTest::newRow("exit") << assets::ExitPng << QSize(16, 16) << 0 << 2;  // RGB, 24-bit
    QTest::newRow("icon png") << assets::IconPng << QSize(256, 256) << 0 << 6;
    QTest::newRow("icon ico") << assets::IconIco << QSize(128, 128) << 0 << -1;
}

void TestDialogs::embeddedPicture()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(int, maxColours);
    QFETCH(int, pngColourType);

    QVERIFY(QImageReader::supportedImageFormats().contains("gif"));
    QImageReader reader(path);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
    if (maxColours > 0) {
        QVERIFY(image.colorCount() > 0);
        QVERIFY(image.colorCount() <= maxColours);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.read(26);
    if (pngColourType >= 0) {
        QCOMPARE(bytes.mid(12, 4), QByteArray("IHDR"));
        QCOMPARE(int(quint8(bytes[25])), pngColourType);
    }
    if (path.endsWith(QLatin1String(".gif"))) {
        // A global colour table of 32 entries.
        QVERIFY(bytes.startsWith("GIF8"));
        const int packed = quint8(bytes[10]);
        QVERIFY(packed & 0x80);
        QCOMPARE(2 << (packed & 7), 32);
    }
}

void TestDialogs::iconImageDepths()
{
    // 128 x 128 in 24-bit colour, 48, 32 and 16 in 32-bit colour.
    QFile file(QString::fromLatin1(assets::IconIco));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 6 + 4 * 16);
    auto word = [&](int at) { return int(quint8(bytes[at])) | int(quint8(bytes[at + 1])) << 8; };
    QCOMPARE(word(2), 1);  // icon
    QCOMPARE(word(4), 4);  // images
    const int sizes[] = {128, 48, 32, 16};
    const int depths[] = {24, 32, 32, 32};
    for (int i = 0; i < 4; ++i) {
        const int entry = 6 + 16 * i;
        QCOMPARE(int(quint8(bytes[entry])), sizes[i]);
        QCOMPARE(int(quint8(bytes[entry + 1])), sizes[i]);
        QCOMPARE(word(entry + 6), depths[i]);
    }

    QImageReader reader(QString::fromLatin1(assets::IconIco));
    QCOMPARE(reader.imageCount(), 4);
    QList<int> read;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY(!image.isNull());
        read << image.width();
    }
    QCOMPARE(read, QList<int>({128, 48, 32, 16}));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
