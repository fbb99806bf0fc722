// Update Device, Update Multi and Update All through the real window, in a
// private network namespace with loopback only.
//
// TestUpdateRequests plays the devices itself: it announces them to the
// program's listener and captures every request on the device port, so
// each request can be compared byte for byte. TestUpdateAgainstSimulator
// runs the real simulator and checks what the device does.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <poll.h>

#include "AppFixture.h"
#include "DevsimProcess.h"
#include "ModalAnswer.h"
#include "operations/DeviceUpdate.h"
#include "operations/LocalAddress.h"
#include "operations/StatusPanels.h"
#include "platform/Dialogs.h"
#include "platform/UdpSocket.h"
#include "protocol/Wire.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// What a device announces about itself.
struct Device {
    MacBytes mac;
    const char* name;
    Ipv4Bytes ip;
    Ipv4Bytes mask;
    Ipv4Bytes gateway;
    std::string description;
};

const Device Cam{{0x02, 0x4B, 0x7E, 0x00, 0x00, 0x01}, "CAM", {127, 0, 0, 1}, {255, 0, 0, 0}, {127, 0, 0, 254}, "Door"};
const Device Gate{{0x02, 0x4B, 0x7E, 0x00, 0x00, 0x02}, "GATE", {127, 0, 0, 2}, {255, 0, 0, 0}, {127, 0, 0, 254}, "Yard"};
const Device Lamp{{0x02, 0x4B, 0x7E, 0x00, 0x00, 0x03}, "LAMP", {127, 0, 0, 3}, {255, 0, 0, 0}, {127, 0, 0, 254}, "Hall"};

// Sends a device's DiscoveryReply to the program's listener.
void Announce(const Device& d)
{
    DiscoveryReply r;
    r.mac = d.mac;
    r.ipAddress = d.ip;
    r.netMask = d.mask;
    r.gateway = d.gateway;
    r.deviceName = TextField<DeviceNameWidth>(d.name);
    r.version = TextField<VersionWidth>("2.1");
    r.description = TextField<DescriptionWidth>(d.description);
    const auto bytes = EncodeDiscoveryReply(r);
    UdpSocket socket;
    socket.Bind("127.0.0.1", 0);
    socket.SendTo(bytes.data(), bytes.size(), "127.0.0.1", ReplyPort);
}

// The device port: every request the program sends lands here.
class RequestCapture {
public:
    RequestCapture()
    {
        socket_.SetReuseAddress(true);
        socket_.Bind("0.0.0.0", DevicePort);
    }
    // The next request, waiting up to `ms` while the event loop runs.
    std::optional<QByteArray> Next(int ms = 2000)
    {
        QElapsedTimer clock;
        clock.start();
        do {
            pollfd fd{socket_.Descriptor(), POLLIN, 0};
            if (::poll(&fd, 1, 0) == 1) {
                char buffer[2048];
                if (const auto r = socket_.Receive(buffer, sizeof buffer))
                    return QByteArray(buffer, int(r->length));
            }
            QTest::qWait(5);
        } while (clock.elapsed() < ms);
        return std::nullopt;
    }
    bool Quiet(int ms = 300) { return !Next(ms); }

private:
    UdpSocket socket_;
};

QByteArray Raw(const char* bytes, int size) { return QByteArray(bytes, size); }

// A ConfigRequest written out byte for byte: header, MAC, 4 zero bytes, the
// three addresses, the 32-byte description, the two 16-byte password fields
// (already transformed) and the two closing bytes.
QByteArray Request(const QByteArray& mac, const QByteArray& addresses, const QByteArray& description,
                   const QByteArray& password, const QByteArray& newPassword = QByteArray(16, '\0'),
                   const QByteArray& tail = QByteArray(2, '\0'))
{
    auto padded = [](QByteArray b, int n) {
        b.resize(n, '\0');
        return b;
    };
    return Raw("TOLVEXut\x00\x90", 10) + mac + QByteArray(4, '\0') + addresses + padded(description, 32) +
           padded(password, 16) + padded(newPassword, 16) + tail;
}

const QByteArray CamMac = Raw("\x02\x4B\x7E\x00\x00\x01", 6);
const QByteArray CamAddresses = Raw("\x7F\x00\x00\x01\xFF\x00\x00\x00\x7F\x00\x00\xFE", 12);
const QByteArray AdminSwapped = Raw("\x16\x46\xD6\x96\xE6", 5);  // "admin", each byte's halves exchanged

// Types a text key by key; characters beyond ASCII arrive as Latin-1 keys.
void TypeText(QWidget* widget, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c), {});
}

// Answers the confirmation dialog: types the password and presses Enter.
ModalAnswer ConfirmWith(const QString& password)
{
    return AnswerNextModal([password](QWidget* modal) {
        auto* dialog = qobject_cast<TPwdDlg*>(modal);
        QVERIFY(dialog);
        TypeText(dialog->Password(), password);
        QTest::keyClick(dialog->Password(), Qt::Key_Return);
    });
}

ModalAnswer CancelConfirmation()
{
    return AnswerNextModal([](QWidget* modal) {
        QVERIFY(qobject_cast<TPwdDlg*>(modal));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
}

using Edits = QList<QPair<int, QByteArray>>;

}  // namespace

Q_DECLARE_METATYPE(Edits)

class TestUpdateRequests : public QObject {
    Q_OBJECT

    std::unique_ptr<Windows> ws;
    std::unique_ptr<RequestCapture> port;

    void List(std::initializer_list<const Device*> devices)
    {
        QTest::mouseClick(ws->w().BtnRefresh, Qt::LeftButton);
        QVERIFY(port->Next());  // the discovery request
        for (const Device* d : devices)
            Announce(*d);
        QTRY_COMPARE(ws->table().RowCount(), int(devices.size()) + 2);
    }

private slots:
    void init()
    {
        UseLoopbackAdapter();
        port = std::make_unique<RequestCapture>();
        ws = std::make_unique<Windows>();
    }
    void cleanup()
    {
        ws.reset();
        port.reset();
        SetAdapterEnumerator({});
    }

    void requestBytes_data()
    {
        QTest::addColumn<Edits>("edits");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("unedited row")
            << Edits{} << "admin" << Request(CamMac, CamAddresses, "Door", AdminSwapped);
        QTest::newRow("edited address, mask and gateway")
            << Edits{{6, "10.0.0.250"}, {7, "255.255.255.0"}, {8, "10.0.0.1"}} << "admin"
            << Request(CamMac, Raw("\x0A\x00\x00\xFA\xFF\xFF\xFF\x00\x0A\x00\x00\x01", 12), "Door", AdminSwapped);
        QTest::newRow("single-digit first numbers")
            << Edits{{6, "9.1.2.3"}, {8, "0.0.0.0"}} << "admin"
            << Request(CamMac, Raw("\x09\x01\x02\x03\xFF\x00\x00\x00\x00\x00\x00\x00", 12), "Door", AdminSwapped);
        QTest::newRow("percent signs in the description")
            << Edits{{9, "50% %s %n"}} << "admin" << Request(CamMac, CamAddresses, "50% %s %n", AdminSwapped);
        QTest::newRow("32-character description")
            << Edits{{9, QByteArray(32, 'D')}} << "admin"
            << Request(CamMac, CamAddresses, QByteArray(32, 'D'), AdminSwapped);
        QTest::newRow("new password of 16")
            << Edits{{5, QByteArray(16, 'p')}} << "admin"
            << Request(CamMac, CamAddresses, "Door", AdminSwapped, QByteArray(16, '\x07'));
        QTest::newRow("new password of 17: the 17th goes plain into byte 96")
            << Edits{{5, QByteArray(16, 'p') + "Q"}} << "admin"
            << Request(CamMac, CamAddresses, "Door", AdminSwapped, QByteArray(16, '\x07'), Raw("Q\x00", 2));
        QTest::newRow("password of 20: its first 16 count")
            << Edits{} << "abcdefghijklmnopqrst" << Request(CamMac, CamAddresses, "Door",
                                                            Raw("\x16\x26\x36\x46\x56\x66\x76\x86\x96\xA6\xB6\xC6\xD6\xE6\xF6\x07", 16));
        QTest::newRow("password byte C1 is sent as FC")
            << Edits{} << QString(QChar(0xC1)) << Request(CamMac, CamAddresses, "Door", Raw("\xFC", 1));
    }
    void requestBytes()
    {
        QFETCH(Edits, edits);
        QFETCH(QString, password);
        QFETCH(QByteArray, expected);
        List({&Cam});
        for (const auto& [column, text] : edits) {
            if (column == 5 || column == 9) {
                // Over-long texts are only warned about while typing.
                if (text.size() > (column == 5 ? 17 : 33))
                    QFAIL("row text too long for this test");
            }
            EditCell(ws->grid(), column, 1, text);
        }
        ClickCell(ws->grid(), 6, 1);
        auto answer = ConfirmWith(password);
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QVERIFY(answer.Answered());
        const auto request = port->Next();
        QVERIFY(request);
        QCOMPARE(request->size(), 98);
        QCOMPARE(request->toHex(' '), expected.toHex(' '));
        // After the send: the new password is gone and Update Device waits
        // for the next selection.
        QVERIFY(ws->table().Cell(5, 1).isEmpty());
        QVERIFY(!ws->w().BtnUpdSel->isEnabled());
        QVERIFY(PwdDlg->PasswordText().isEmpty());
    }

    void confirmationListing()
    {
        List({&Cam});
        EditCell(ws->grid(), 6, 1, "10.0.0.9");
        ClickCell(ws->grid(), 6, 1);
        QList<QByteArray> lines;
        QByteArray title;
        auto answer = AnswerNextModal([&](QWidget* modal) {
            title = PwdDlg->Title();
            lines = PwdDlg->Lines();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        auto box = AnswerNextMessageBox();
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QCOMPARE(title, QByteArray("\nCAM (02-4B-7E-00-00-01)"));
        QCOMPARE(lines, (QList<QByteArray>{
                            "Setting info :",
                            "MAC Address     \t: 02-4B-7E-00-00-01",
                            "Device Name     \t: \nCAM",
                            "Version         \t: \n2.1",
                            "DeviceIP        \t: \n127.0.0.1",
                            "NewPassword     \t: No Change",
                            "IP Address      \t: 10.0.0.9",
                            "NetMask         \t: \n255.0.0.0",
                            "Gateway         \t: \n127.0.0.254",
                            "Description     \t: \nDoor",
                        }));
        QCOMPARE(box.Text(), QStringLiteral("Cancel Configuration"));
    }

    // Cancel and Esc send nothing and leave the row as it was; the next
    // confirmation starts with an empty password box.
    void cancelLeavesTheRowAlone()
    {
        List({&Cam});
        EditCell(ws->grid(), 5, 1, "newpass");
        auto answer = AnswerNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TPwdDlg*>(modal);
            QTest::keyClicks(dialog->Password(), "typed");
            dialog->CancelBtn()->click();
        });
        auto box = AnswerNextMessageBox();
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QCOMPARE(box.Text(), QStringLiteral("Cancel Configuration"));
        QVERIFY(port->Quiet());
        QCOMPARE(ws->table().Cell(5, 1), QByteArray("newpass"));
        QVERIFY(ws->w().BtnUpdSel->isEnabled());

        QString boxAtOpen = QStringLiteral("unset");
        auto again = AnswerNextModal([&](QWidget* modal) {
            boxAtOpen = PwdDlg->Password()->text();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        auto box2 = AnswerNextMessageBox();
        ws->w().MnuUpdateDev->trigger();
        QCOMPARE(boxAtOpen, QString());
        QVERIFY(port->Quiet());
    }

    // The close control ends the dialog with Cancel's result, but the typed
    // password is what counts: the request goes out.
    void closeControlAfterTypingSends()
    {
        List({&Cam});
        ClickCell(ws->grid(), 6, 1);
        auto answer = AnswerNextModal([](QWidget* modal) {
            QTest::keyClicks(qobject_cast<TPwdDlg*>(modal)->Password(), "admin");
            modal->close();
        });
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        const auto request = port->Next();
        QVERIFY(request);
        QCOMPARE(request->mid(64, 5), AdminSwapped);
    }

    void rejectedRowsShowAMessageAndSendNothing_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty address") << 6 << QByteArray() << "IP address Error !!";
        QTest::newRow("two dots in a row") << 7 << QByteArray("255..0.0") << "IP address Error !!";
        QTest::newRow("number above 255") << 8 << QByteArray("10.0.0.256") << "IP address Error !!";
        QTest::newRow("new password of 18") << 5 << QByteArray(18, 'n') << "Password Length must less than 16 !!";
    }
    void rejectedRowsShowAMessageAndSendNothing()
    {
        QFETCH(int, column);
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        List({&Cam});
        // Typed straight into the model: the typing warnings are the grid's
        // business and are tested there.
        ws->table().SetCell(column, 1, text);
        ClickCell(ws->grid(), 6, 1);
        auto box = AnswerNextMessageBox();
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QCOMPARE(box.Text(), message);
        QVERIFY(!PwdDlg->isVisible());
        QVERIFY(port->Quiet());
        QCOMPARE(ws->table().Cell(column, 1), text);
    }

    void spareRowDoesNothing()
    {
        List({&Cam});
        ClickCell(ws->grid(), 6, 2);
        QVERIFY(ws->w().BtnUpdSel->isEnabled());
        QStringList boxes;
        const BoxHandler previous = SetBoxHandler([&](BoxKind, const QString& t) { boxes << t; });
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        SetBoxHandler(previous);
        QVERIFY(boxes.isEmpty());
        QVERIFY(!PwdDlg->isVisible());
        QVERIFY(port->Quiet());
    }

    void forceBroadcastNamesTheDeviceByMacOnly()
    {
        Device far = Cam;
        far.ip = {198, 51, 100, 9};  // no route from this namespace
        QTest::mouseClick(ws->w().BtnRefresh, Qt::LeftButton);
        QVERIFY(port->Next());
        Announce(far);
        QTRY_COMPARE(ws->table().RowCount(), 3);

        // Unicast fails with the socket layer's text; nothing is reported as done.
        ClickCell(ws->grid(), 6, 1);
        auto confirm = ConfirmWith("admin");
        auto error = AnswerNextMessageBox();
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QCOMPARE(error.Text(), QStringLiteral("Network is unreachable."));
        QVERIFY(ws->w().BtnUpdSel->isEnabled());  // the step after the send did not run

        ws->w().ChkBcast->click();
        auto confirm2 = ConfirmWith("admin");
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        const auto request = port->Next();
        QVERIFY(request);
        QCOMPARE(request->mid(10, 6), CamMac);
        QCOMPARE(request->mid(20, 4), Raw("\xC6\x33\x64\x09", 4));
    }

    void updateMulti()
    {
        List({&Cam, &Gate});
        // The entries, then OK with nothing ticked: nothing is sent.
        QList<QByteArray> entries;
        auto nothing = AnswerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TCfgDlg*>(modal);
            for (int i = 0; i < dialog->EntryCount(); ++i)
                entries << dialog->EntryText(i);
            dialog->OKBtn()->click();
        });
        QTest::mouseClick(ws->w().BtnUpdMul, Qt::LeftButton);
        QCOMPARE(entries, (QList<QByteArray>{"1 - \nCAM (02-4B-7E-00-00-01) ", "\n2 - \nGATE (02-4B-7E-00-00-02) "}));
        QVERIFY(port->Quiet());
        QCOMPARE(CfgDlg->EntryCount(), 0);

        // Ticked, then Cancel or the close control: nothing is sent, and the
        // next showing starts unticked.
        for (bool useClose : {false, true}) {
            auto cancel = AnswerNextModal([useClose](QWidget* modal) {
                auto* dialog = qobject_cast<TCfgDlg*>(modal);
                QVERIFY(!dialog->IsChecked(0) && !dialog->IsChecked(1));
                dialog->DevSelList()->item(0)->setCheckState(Qt::Checked);
                if (useClose)
                    dialog->close();
                else
                    dialog->CancelBtn()->click();
            });
            ws->w().MnuUpdMul->trigger();
            QVERIFY(cancel.Answered());
            QVERIFY(port->Quiet());
            QCOMPARE(CfgDlg->EntryCount(), 0);
        }

        // The second ticked only: row 2 alone is confirmed and sent.
        auto tick = AnswerNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TCfgDlg*>(modal);
            dialog->DevSelList()->item(1)->setCheckState(Qt::Checked);
            dialog->OKBtn()->click();
        });
        QByteArray title;
        auto confirm = AnswerNextModal([&](QWidget* modal) {
            title = PwdDlg->Title();
            QTest::keyClicks(PwdDlg->Password(), "admin");
            QTest::keyClick(modal, Qt::Key_Return);
        });
        QTest::mouseClick(ws->w().BtnUpdMul, Qt::LeftButton);
        QCOMPARE(title, QByteArray("\nGATE (02-4B-7E-00-00-02)"));
        const auto request = port->Next();
        QVERIFY(request);
        QCOMPARE(request->mid(10, 6), Raw("\x02\x4B\x7E\x00\x00\x02", 6));
        QVERIFY(port->Quiet());
        QCOMPARE(CfgDlg->EntryCount(), 0);
    }

    // Cancel in one confirmation skips that row only.
    void updateAllWithCancelOnTheMiddleRow()
    {
        List({&Cam, &Gate, &Lamp});
        auto first = ConfirmWith("admin");
        auto middle = CancelConfirmation();
        auto cancelled = AnswerNextMessageBox();
        auto last = ConfirmWith("admin");
        QTest::mouseClick(ws->w().BtnUpdAll, Qt::LeftButton);
        QCOMPARE(cancelled.Text(), QStringLiteral("Cancel Configuration"));
        QCOMPARE(port->Next()->mid(15, 1), Raw("\x01", 1));
        QCOMPARE(port->Next()->mid(15, 1), Raw("\x03", 1));
        QVERIFY(port->Quiet());
    }

    void updateAllWithNoRows()
    {
        QStringList boxes;
        const BoxHandler previous = SetBoxHandler([&](BoxKind, const QString& t) { boxes << t; });
        ws->w().MnuUpdateAll->trigger();  // the menu works while the button is disabled
        SetBoxHandler(previous);
        QVERIFY(boxes.isEmpty());
        QVERIFY(!PwdDlg->isVisible());
        QVERIFY(port->Quiet());
    }

    // A send error ends the whole command at that row: later rows get no
    // confirmation, and the failed row keeps its new password.
    void sendErrorInTheMiddleOfUpdateAll()
    {
        List({&Cam, &Gate, &Lamp});
        EditCell(ws->grid(), 5, 2, "next");
        auto first = ConfirmWith("admin");
        auto middle = AnswerNextModal([](QWidget* modal) {
            SelectedLocalAddress = QStringLiteral("192.0.2.1");  // not on this host
            QTest::keyClicks(PwdDlg->Password(), "admin");
            QTest::keyClick(modal, Qt::Key_Return);
        });
        auto error = AnswerNextMessageBox();
        QTest::mouseClick(ws->w().BtnUpdAll, Qt::LeftButton);
        QCOMPARE(error.Text(), QStringLiteral("Cannot assign requested address."));
        QVERIFY(port->Next());
        QVERIFY(port->Quiet());
        QCOMPARE(ws->table().Cell(5, 2), QByteArray("next"));
        QVERIFY(PwdDlg->PasswordText().isEmpty());
    }

    void sendErrorInUpdateMultiStillEmptiesTheList()
    {
        List({&Cam, &Gate});
        SelectedLocalAddress = QStringLiteral("192.0.2.1");
        auto tick = AnswerNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TCfgDlg*>(modal);
            dialog->DevSelList()->item(0)->setCheckState(Qt::Checked);
            dialog->DevSelList()->item(1)->setCheckState(Qt::Checked);
            dialog->OKBtn()->click();
        });
        auto confirm = ConfirmWith("admin");
        auto error = AnswerNextMessageBox();
        QTest::mouseClick(ws->w().BtnUpdMul, Qt::LeftButton);
        QCOMPARE(error.Text(), QStringLiteral("Cannot assign requested address."));
        QCOMPARE(CfgDlg->EntryCount(), 0);
        QVERIFY(port->Quiet());
    }
};

class TestUpdateAgainstSimulator : public QObject {
    Q_OBJECT

    std::unique_ptr<Windows> ws;

    void Refresh(int devices)
    {
        QTest::mouseClick(ws->w().BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE(ws->table().RowCount(), devices + 2);
    }
    QByteArray Panel(int i) { return ws->w().Status().Text(i); }

private slots:
    void init()
    {
        UseLoopbackAdapter();
        ws = std::make_unique<Windows>();
    }
    void cleanup()
    {
        ws.reset();
        SetAdapterEnumerator({});
    }

    void correctPasswordChangesTheDevice()
    {
        DevsimProcess sim;
        QVERIFY2(sim.Start({"--count", "2", "--quiet"}), qPrintable(sim.ErrorText()));
        Refresh(2);
        const int row = ws->table().FindRowByMac("02-4B-7E-00-00-01");
        EditCell(ws->grid(), 6, row, "127.0.9.9");
        EditCell(ws->grid(), 9, row, "Updated by test");
        EditCell(ws->grid(), 5, row, "secret");
        ClickCell(ws->grid(), 6, row);
        auto confirm = ConfirmWith("admin");
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QTRY_COMPARE(Panel(1), QByteArray("\nSetting OK"));
        QCOMPARE(Panel(0), QByteArray("\nDevice : \nSIM-1 (02-4B-7E-00-00-01)"));
        QCOMPARE(ws->w().StatusPanel1->text(), QStringLiteral("Setting OK"));
        QCOMPARE(ws->table().Cell(4, row), QByteArray("\n127.0.1.1"));  // the table is not changed by the reply

        Refresh(2);
        const int again = ws->table().FindRowByMac("02-4B-7E-00-00-01");
        QCOMPARE(ws->table().Cell(4, again), QByteArray("\n127.0.9.9"));
        QCOMPARE(ws->table().Cell(9, again), "\nUpdated by test" + QByteArray(17, '\0'));

        // The old password no longer works; the new one does. (Update Device
        // waits for a new selection after each send; the menu item does not.)
        ClickCell(ws->grid(), 7, again);
        auto wrong = ConfirmWith("admin");
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QTRY_COMPARE(Panel(1), QByteArray("\nPassword Error"));
        QVERIFY(!ws->w().BtnUpdSel->isEnabled());
        auto right = ConfirmWith("secret");
        ws->w().MnuUpdateDev->trigger();
        QTRY_COMPARE(Panel(1), QByteArray("\nSetting OK"));
        QVERIFY(sim.Stop());
    }

    // A device whose reported address cannot be reached by unicast is still
    // configured under force broadcast, by its MAC.
    void forceBroadcastReachesAnUnroutableDevice()
    {
        DevsimProcess sim;
        QVERIFY2(sim.Start({"--count", "1", "--first-ip", "198.51.100.20", "--quiet"}), qPrintable(sim.ErrorText()));
        Refresh(1);
        QCOMPARE(ws->table().Cell(4, 1), QByteArray("\n198.51.100.20"));
        ws->w().MnuBcast->trigger();
        QVERIFY(ws->w().ChkBcast->isChecked());
        EditCell(ws->grid(), 6, 1, "127.0.4.4");
        ClickCell(ws->grid(), 6, 1);
        auto confirm = ConfirmWith("admin");
        QTest::mouseClick(ws->w().BtnUpdSel, Qt::LeftButton);
        QTRY_COMPARE(Panel(1), QByteArray("\nSetting OK"));
        Refresh(1);
        QCOMPARE(ws->table().Cell(4, 1), QByteArray("\n127.0.4.4"));
        QVERIFY(sim.Stop());
    }

    // Replies are handled while the next confirmation is open.
    void replyShowsWhileTheNextConfirmationIsOpen()
    {
        DevsimProcess sim;
        QVERIFY2(sim.Start({"--count", "2", "--quiet"}), qPrintable(sim.ErrorText()));
        Refresh(2);
        auto first = ConfirmWith("admin");
        QByteArray seenDuringSecond;
        auto second = AnswerNextModal([&](QWidget* modal) {
            QTRY_COMPARE(Panel(1), QByteArray("\nSetting OK"));
            seenDuringSecond = Panel(0);
            QTest::keyClicks(PwdDlg->Password(), "wrong");
            QTest::keyClick(modal, Qt::Key_Return);
        });
        QTest::mouseClick(ws->w().BtnUpdAll, Qt::LeftButton);
        QCOMPARE(seenDuringSecond, QByteArray("\nDevice : \nSIM-1 (02-4B-7E-00-00-01)"));
        QTRY_COMPARE(Panel(1), QByteArray("\nPassword Error"));
        QVERIFY(sim.Stop());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestUpdateRequests requests;
        status |= QTest::qExec(&requests, argc, argv);
    }
    {
        TestUpdateAgainstSimulator simulator;
        status |= QTest::qExec(&simulator, argc, argv);
    }
    return status;
}

#include "tst_deviceupdate.moc"
