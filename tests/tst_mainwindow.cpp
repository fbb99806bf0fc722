// The real main window, offscreen, driven with QTest against the device
// simulator. Runs inside a private network namespace with loopback only.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "AppFixture.h"
#include "DevsimProcess.h"
#include "ModalAnswer.h"
#include "app/CfgDlg.h"
#include "app/DeviceGrid.h"
#include "app/MainWindow.h"
#include "app/PwdDlg.h"
#include "operations/LocalAddress.h"
#include "operations/ReplyListener.h"
#include "operations/StatusPanels.h"
#include "platform/Adapters.h"
#include "platform/Dialogs.h"
#include "table/DeviceTable.h"

using namespace quillon;
using namespace quillon::test;

using Adapters = std::vector<AdapterInfo>;
Q_DECLARE_METATYPE(Adapters)

namespace {

bool Enabled(QPushButton* b) { return b->isEnabled(); }

// Catches what the desktop would be asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
    }
    ~UrlCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    DevsimProcess sim;

private slots:
    void initTestCase()
    {
        QVERIFY2(sim.Start({"--quiet"}), qPrintable(sim.ErrorText()));
    }
    void cleanupTestCase() { QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText())); }
    void init() { UseLoopbackAdapter(); }
    void cleanup() { SetAdapterEnumerator({}); }

    void startUpState()
    {
        Windows ws;
        TMainF& w = ws.w();
        QCOMPARE(w.windowTitle(), QStringLiteral("CORVANE Quillon"));
        QVERIFY(Enabled(w.BtnRefresh) && Enabled(w.BtnExit));
        QVERIFY(!Enabled(w.BtnUpdSel) && !Enabled(w.BtnUpdMul) && !Enabled(w.BtnUpdAll) && !Enabled(w.BtnConDev));
        QVERIFY(!w.ChkBcast->isChecked());
        QVERIFY(!w.MnuBcast->isChecked());
        QCOMPARE(w.StatusPanel0->text(), QStringLiteral("Device"));
        QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Message"));
        QCOMPARE(w.DevList->horizontalHeader()->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("MAC Address"));
        QCOMPARE(w.DevList->columnWidth(9), 116);
        QCOMPARE(w.DevList->columnWidth(0), 16);
        QVERIFY(w.IdUDPServer().IsActive());
        for (QAction* a : w.findChildren<QAction*>())
            QVERIFY(a->isEnabled());
        QCOMPARE(w.centralWidget()->size(), QSize(822, 296));
    }

    void controlGeometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Logo") << "Logo" << QRect(672, 0, 150, 50) << "";
        QTest::newRow("Label1") << "Label1" << QRect(48, 208, 95, 16) << "Select Adapter :";
        QTest::newRow("DevList") << "DevList" << QRect(0, 80, 793, 121) << "";
        QTest::newRow("BtnRefresh") << "BtnRefresh" << QRect(216, 8, 80, 33) << "Refresh";
        QTest::newRow("BtnExit") << "BtnExit" << QRect(344, 8, 80, 33) << "Exit";
        QTest::newRow("BtnUpdSel") << "BtnUpdSel" << QRect(176, 240, 90, 36) << "Update Device";
        QTest::newRow("BtnUpdMul") << "BtnUpdMul" << QRect(288, 240, 90, 36) << "Update Multi";
        QTest::newRow("BtnUpdAll") << "BtnUpdAll" << QRect(392, 240, 90, 36) << "Update All";
        QTest::newRow("BtnConDev") << "BtnConDev" << QRect(528, 240, 100, 36) << "Connect to Device";
        QTest::newRow("ChkBcast") << "ChkBcast" << QRect(512, 208, 185, 25) << "Control Packet Force Broadcast";
        QTest::newRow("EthList") << "EthList" << QRect(152, 208, 313, 21) << "";
        QTest::newRow("StatusMsg") << "StatusMsg" << QRect(0, 279, 822, 17) << "";
    }
    void controlGeometry()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        Windows ws;
        auto* widget = ws.w().findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QCOMPARE(button->text(), caption);
        if (auto* label = qobject_cast<QLabel*>(widget); label && !caption.isEmpty())
            QCOMPARE(label->text(), caption);
    }

    void menus()
    {
        Windows ws;
        QStringList seen;
        for (QAction* top : ws.w().menuBar()->actions()) {
            seen << top->text();
            for (QAction* item : top->menu()->actions())
                seen << item->objectName() + "=" + item->text();
        }
        QCOMPARE(seen, (QStringList{"File", "MnuExit=Exit", "Option", "MnuRefresh=Refresh",
                                    "MnuUpdateDev=Update Device", "MnuUpdMul=Update Multi-Device",
                                    "MnuUpdateAll=Update All", "MnuBcast=Control Packet Force Broadcast", "Help",
                                    "MnuTolvex=CORVANE Website", "MnuVer=Version"}));
    }

    void refreshListsTheSimulatorsDevices()
    {
        Windows ws;
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(ws.table().RowCount(), 10);
        QVERIFY(Enabled(ws.w().BtnUpdMul) && Enabled(ws.w().BtnUpdAll));
        QVERIFY(!Enabled(ws.w().BtnUpdSel));
        for (int row = 1; row <= 8; ++row) {
            const int found = ws.table().FindRowByMac("02-4B-7E-00-00-0" + QByteArray::number(row));
            QVERIFY(found != DeviceTable::NoRow);
            QCOMPARE(ws.table().Cell(0, found), QByteArray::number(found));
            QCOMPARE(ws.table().Cell(4, found), "\n127.0.1." + QByteArray::number(row));
            QCOMPARE(ws.table().Cell(7, found), QByteArray("\n255.0.0.0"));
            QCOMPARE(ws.table().Cell(2, found), "\nSIM-" + QByteArray::number(row) + QByteArray(32 - 5, '\0'));
        }
        QCOMPARE(ws.w().StatusPanel1->text(), QStringLiteral("Get Device Information done."));
        QVERIFY(ws.w().StatusPanel0->text().startsWith(QStringLiteral("Device : SIM-")));

        // The grid shows the reply cells readably on one line.
        const QModelIndex name = ws.table().ModelIndex(2, 1);
        QVERIFY(name.data().toString().startsWith(QStringLiteral("SIM-")));

        // A second Refresh lists them again from row 1.
        QVERIFY(ws.table().SelectCell(6, 5));
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QCOMPARE(ws.table().RowCount(), 2);
        QCOMPARE(ws.table().CurrentRow(), 1);
        QVERIFY(Enabled(ws.w().BtnUpdSel) && Enabled(ws.w().BtnConDev));  // the move raised the selection event
        QTRY_COMPARE(ws.table().RowCount(), 10);
        QCOMPARE(ws.table().Cell(0, 1), QByteArray("1"));
    }

    void refreshWithASendErrorStillClears()
    {
        Windows ws;
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(ws.table().RowCount(), 10);
        SelectedLocalAddress = QStringLiteral("192.0.2.1");  // not on this host
        auto box = AnswerNextMessageBox();
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QTRY_VERIFY(box.Answered());
        QCOMPARE(box.Text(), QStringLiteral("Cannot assign requested address."));
        QCOMPARE(ws.table().RowCount(), 2);
        QVERIFY(Enabled(ws.w().BtnUpdMul) && Enabled(ws.w().BtnUpdAll));
    }

    void editingThroughTheGrid()
    {
        Windows ws;
        DeviceGrid* grid = ws.w().DevList;
        DeviceTable& table = ws.table();
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(table.RowCount(), 10);

        // Fixed cells select nothing.
        ClickCell(grid, 2, 1);
        QCOMPARE(table.CurrentColumn(), 5);
        QVERIFY(!table.EditingEnabled());

        ClickCell(grid, 6, 1);
        QCOMPARE(table.CurrentColumn(), 6);
        QVERIFY(Enabled(ws.w().BtnUpdSel) && Enabled(ws.w().BtnConDev));
        QVERIFY(table.EditingEnabled());

        // Typing replaces the whole text, line feed included, stored as typed.
        grid->setFocus();
        Type(grid, "10.0.0.250");
        QCOMPARE(table.Cell(6, 1), QByteArray("10.0.0.250"));
        QVERIFY(grid->Editor());
        QTest::keyClick(grid->Editor(), Qt::Key_Return);  // ends editing (queued)
        QTRY_VERIFY(!grid->Editor());
        QCOMPARE(table.Cell(6, 1), QByteArray("10.0.0.250"));

        // Seventeen bytes warn at once, the text stays, editing goes on; the
        // end of editing warns once more.
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(grid->Editor());
        QTest::keyClick(grid->Editor(), Qt::Key_End);
        QTest::keyClicks(grid->Editor(), "12345");  // 15 bytes
        QCOMPARE(table.Cell(6, 1), QByteArray("10.0.0.25012345"));
        QTest::keyClicks(grid->Editor(), "6");  // 16: passes
        {
            auto box = AnswerNextMessageBox();
            QTest::keyClicks(grid->Editor(), "7");  // 17
            QTRY_VERIFY(box.Answered());
            QCOMPARE(box.Text(), QStringLiteral("IP address Length Error !!"));
        }
        QVERIFY(grid->Editor());
        QCOMPARE(table.Cell(6, 1), QByteArray("10.0.0.2501234567"));
        {
            auto box = AnswerNextMessageBox();
            QTest::keyClick(grid->Editor(), Qt::Key_Return);
            QTRY_VERIFY(box.Answered());
            QCOMPARE(box.Text(), QStringLiteral("IP address Length Error !!"));
        }

        // Enter and a click on the current cell open the editor on the text.
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(grid->Editor());
        QTest::keyClick(grid->Editor(), Qt::Key_Escape);
        QVERIFY(!grid->Editor());
        ClickCell(grid, 6, 1);
        QVERIFY(grid->Editor());

        // Opening column 9 and leaving it without typing drops the NUL tail.
        QTest::keyClick(grid->Editor(), Qt::Key_Escape);
        ClickCell(grid, 9, 1);
        ClickCell(grid, 9, 1);
        QVERIFY(grid->Editor());
        QTest::keyClick(grid->Editor(), Qt::Key_Return);
        QTRY_VERIFY(!grid->Editor());
        QCOMPARE(table.Cell(9, 1), QByteArray("\nSimulated device"));

        // Keyboard moves raise the selection event and stay off fixed cells.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(table.CurrentRow(), 2);
        QTest::keyClick(grid, Qt::Key_Home);
        QCOMPARE(table.CurrentColumn(), 5);
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(table.CurrentColumn(), 5);

        // The spare row can be selected but not edited.
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(table.CurrentRow(), 9);
        QVERIFY(!table.EditingEnabled());
        QTest::keyClicks(grid, "x");
        QVERIFY(!grid->Editor());
        QVERIFY(table.Cell(9, 9).isEmpty());
    }

    void newPasswordAndDescriptionWarnings()
    {
        Windows ws;
        DeviceGrid* grid = ws.w().DevList;
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(ws.table().RowCount(), 10);
        ClickCell(grid, 5, 2);
        Type(grid, QByteArray(17, 'p'));  // 17 bytes: no message
        QCOMPARE(ws.table().Cell(5, 2), QByteArray(17, 'p'));
        auto box = AnswerNextMessageBox();
        QTest::keyClicks(grid->Editor(), "q");
        QTRY_VERIFY(box.Answered());
        QCOMPARE(box.Text(), QStringLiteral("Password Length must less than 16 !!"));
        QCOMPARE(ws.table().Cell(5, 2), QByteArray(17, 'p') + "q");
    }

    void connectToDeviceAndWebsite()
    {
        Windows ws;
        UrlCatcher catcher;
        QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(ws.table().RowCount(), 10);
        ClickCell(ws.w().DevList, 7, 3);
        QTest::mouseClick(ws.w().BtnConDev, Qt::LeftButton);
        const QByteArray ip = ws.table().Cell(4, 3).mid(1);
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QString::fromLatin1("http://" + ip))});

        ws.w().MnuTolvex->trigger();
        QTest::mouseClick(ws.w().Logo, Qt::LeftButton);
        QCOMPARE(catcher.urls.size(), 3);
        QCOMPARE(catcher.urls[1], QUrl(QStringLiteral("https://www.corvane.example/")));
        QCOMPARE(catcher.urls[2], catcher.urls[1]);
    }

    void versionBoxAndTitle()
    {
        Windows ws;
        auto box = AnswerNextModal([](QWidget* modal) {
            auto* mb = qobject_cast<QMessageBox*>(modal);
            QVERIFY(mb);
            QCOMPARE(mb->text(), QStringLiteral("Version 1.0 Build 141120"));
            QCOMPARE(mb->windowTitle(), QStringLiteral("tst_mainwindow"));  // first character kept as it is
            QCOMPARE(mb->icon(), QMessageBox::NoIcon);
            mb->button(QMessageBox::Ok)->click();
        });
        ws.w().MnuVer->trigger();
        QVERIFY(box.Answered());
    }

    void forceBroadcastToggle()
    {
        Windows ws;
        TMainF& w = ws.w();
        w.ChkBcast->click();  // by hand: the mark stays off
        QVERIFY(w.ChkBcast->isChecked());
        QVERIFY(!w.MnuBcast->isChecked());
        w.MnuBcast->trigger();  // box ticked: both off
        QVERIFY(!w.ChkBcast->isChecked());
        QVERIFY(!w.MnuBcast->isChecked());
        w.MnuBcast->trigger();  // both on
        QVERIFY(w.ChkBcast->isChecked());
        QVERIFY(w.MnuBcast->isChecked());
        w.ChkBcast->click();  // by hand off: mark stays on
        QVERIFY(!w.ChkBcast->isChecked());
        QVERIFY(w.MnuBcast->isChecked());
        w.MnuBcast->trigger();  // box clear: both on
        QVERIFY(w.ChkBcast->isChecked());
        QVERIFY(w.MnuBcast->isChecked());
    }

    void tabOrder()
    {
        Windows ws;
        TMainF& w = ws.w();
        QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(ws.table().RowCount(), 10);
        ClickCell(w.DevList, 6, 1);  // every button enabled now
        w.activateWindow();
        w.DevList->setFocus(Qt::TabFocusReason);
        QStringList order;
        for (int i = 0; i < 9; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, (QStringList{"DevList", "BtnRefresh", "BtnExit", "BtnUpdSel", "BtnUpdMul", "BtnUpdAll",
                                     "BtnConDev", "ChkBcast", "EthList"}));
    }

    void exitClosesTheWindow_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("button") << 0;
        QTest::newRow("menu") << 1;
        QTest::newRow("close box") << 2;
    }
    void exitClosesTheWindow()
    {
        QFETCH(int, how);
        Windows ws;
        if (how == 0)
            QTest::mouseClick(ws.w().BtnExit, Qt::LeftButton);
        else if (how == 1)
            ws.w().MnuExit->trigger();
        else
            ws.w().close();
        QVERIFY(!ws.w().isVisible());
    }

    // A second copy finds the reply port taken: error box, then a window with
    // a blank header row, 64-pixel columns and every button enabled.
    void secondCopy()
    {
        ReplyListener first;
        first.Start();
        QStringList boxes;
        const BoxHandler previous =
            SetBoxHandler([&](BoxKind kind, const QString& text) { boxes << (kind == BoxKind::Error ? "E:" : "M:") + text; });
        {
            Windows ws;
            QCOMPARE(boxes, QStringList{"E:Address already in use."});
            for (QPushButton* b : {ws.w().BtnRefresh, ws.w().BtnExit, ws.w().BtnUpdSel, ws.w().BtnUpdMul,
                                   ws.w().BtnUpdAll, ws.w().BtnConDev})
                QVERIFY(b->isEnabled());
            for (int c = 0; c < DeviceTable::ColumnCount; ++c) {
                QVERIFY(ws.table().Cell(c, 0).isEmpty());
                QCOMPARE(ws.w().DevList->columnWidth(c), 64);
            }
            QCOMPARE(ws.w().EthList->count(), 1);  // the adapter list came before the listener
            QTest::mouseClick(ws.w().BtnRefresh, Qt::LeftButton);
            QTest::qWait(300);
            QCOMPARE(ws.table().RowCount(), 2);  // no reply is ever received
        }
        SetBoxHandler(previous);
    }

    // The error box's text rule: a full stop after text that ends above it.
    void errorBoxText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Address already in use" << "Address already in use.";
        QTest::newRow("full stop") << "Done." << "Done.";
        QTest::newRow("digit") << "Error 5" << "Error 5.";
        QTest::newRow("bang") << "Oops!" << "Oops!";
        QTest::newRow("empty") << "" << "";
    }
    void errorBoxText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(ErrorBoxText(text), shown);
    }
};

// Adapter selection, with the enumeration replaced.
class TestAdapterSelection : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetAdapterEnumerator({}); }

    void entries_data()
    {
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QList<QByteArray>>("entries");
        QTest::addColumn<QStringList>("addressSlots");

        QTest::newRow("two addresses on one adapter")
            << std::vector<AdapterInfo>{Adapter({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {"10.0.0.5", "192.168.1.5"})}
            << false
            << QList<QByteArray>{"\n10.0.0.5 (00:1A:2B:3C:4D:5E)", "\n192.168.1.5 (00:1A:2B:3C:4D:5E)"}
            << QStringList{"10.0.0.5", "192.168.1.5"};
        QTest::newRow("two adapters, upper-case digits")
            << std::vector<AdapterInfo>{Adapter({0x0A, 0xFF, 0, 0, 0, 1}, {"192.0.2.1", "192.0.2.2"}),
                                        Adapter({0xAB, 0xCD, 0xEF, 0, 0, 2}, {"198.51.100.1"})}
            << false
            << QList<QByteArray>{"\n192.0.2.1 (0A:FF:00:00:00:01)", "\n192.0.2.2 (0A:FF:00:00:00:01)",
                                 "\n198.51.100.1 (AB:CD:EF:00:00:02)"}
            << QStringList{"192.0.2.1", "192.0.2.2", "198.51.100.1"};
        QTest::newRow("no adapters") << std::vector<AdapterInfo>{} << false << QList<QByteArray>{} << QStringList{};
        QTest::newRow("enumeration fails") << std::vector<AdapterInfo>{} << true << QList<QByteArray>{} << QStringList{};
    }
    void entries()
    {
        QFETCH(Adapters, adapters);
        QFETCH(bool, fails);
        QFETCH(QList<QByteArray>, entries);
        QFETCH(QStringList, addressSlots);
        SetAdapterEnumerator([=]() -> std::optional<std::vector<AdapterInfo>> {
            if (fails)
                return std::nullopt;
            return adapters;
        });
        QStringList boxes;
        const BoxHandler previous = SetBoxHandler([&](BoxKind, const QString& t) { boxes << t; });
        TMainF w;
        SetBoxHandler(previous);
        QVERIFY(boxes.isEmpty());  // nothing is reported, also on failure
        QCOMPARE(w.EthList->count(), entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(w.AdapterEntry(i), entries[i]);
            QCOMPARE(AdapterAddressTable[std::size_t(i)], addressSlots[i]);
        }
        QVERIFY(AdapterAddressTable[std::size_t(entries.size())].isEmpty());
        QCOMPARE(w.EthList->currentIndex(), entries.isEmpty() ? -1 : 0);
        QCOMPARE(SelectedLocalAddress, addressSlots.isEmpty() ? QString() : addressSlots[0]);
    }

    void choosingAnEntry()
    {
        SetAdapterEnumerator([] {
            return std::optional<std::vector<AdapterInfo>>(std::vector<AdapterInfo>{
                Adapter({1, 2, 3, 4, 5, 6}, {"10.0.0.5", "192.168.1.5"})});
        });
        TMainF w;
        w.EthList->setCurrentIndex(1);
        QCOMPARE(SelectedLocalAddress, QStringLiteral("192.168.1.5"));
        w.EthList->setCurrentIndex(0);
        QCOMPARE(SelectedLocalAddress, QStringLiteral("10.0.0.5"));
        // Typing never becomes the address; the last chosen one stays.
        w.EthList->lineEdit()->clear();
        QTest::keyClicks(w.EthList->lineEdit(), "198.51.100.7");
        QTest::keyClick(w.EthList->lineEdit(), Qt::Key_Return);
        QCOMPARE(SelectedLocalAddress, QStringLiteral("10.0.0.5"));
        QCOMPARE(w.EthList->count(), 2);
        QCOMPARE(w.EthList->view()->sizeHintForRow(0), 13);
    }

    void atMost256Entries()
    {
        SetAdapterEnumerator([] {
            QStringList many;
            for (int i = 0; i < 300; ++i)
                many << QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250 + 1);
            return std::optional<std::vector<AdapterInfo>>(std::vector<AdapterInfo>{Adapter({}, many)});
        });
        TMainF w;
        QCOMPARE(w.EthList->count(), 256);
        QCOMPARE(AdapterAddressTable[255], QStringLiteral("10.0.1.6"));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestAdapterSelection adapters;
        status |= QTest::qExec(&adapters, argc, argv);
    }
    {
        TestMainWindow window;
        status |= QTest::qExec(&window, argc, argv);
    }
    return status;
}

#include "tst_mainwindow.moc"
