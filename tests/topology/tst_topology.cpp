// The real main window on a host with several adapters: loopback and two
// Ethernet segments, each with a simulated fleet behind it in a namespace of
// its own. Runs in the program namespace that tests/topology/topology.sh
// builds; the simulators are started for each test through "ip netns exec",
// so every test begins with fresh fleets.
//
// Segment A (192.0.2.0/24): A-1..A-3 at 192.0.2.65-67, and that
// share 192.0.2.90.
// Segment B (198.51.100.0/24): B-1, B-2 at 198.51.100.65-66, and B-3 still on
// a foreign subnet (203.0.113.50/24), which answers by broadcast because it
// has no route back to the program.
#include <cerrno>
#include <cstring>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "DevsimProcess.h"
#include "ModalAnswer.h"
#include "app/CfgDlg.h"
#include "app/DeviceGrid.h"
#include "app/MainWindow.h"
#include "app/PwdDlg.h"
#include "operations/LocalAddress.h"
#include "platform/Dialogs.h"
#include "table/DeviceTable.h"

using namespace quillon;
using namespace quillon::test;

namespace {

QString Env(const char* name) { return qEnvironmentVariable(name); }

const QString LoopbackAddress = QStringLiteral("127.0.0.1");

// What the rows of the table say: "MAC address" per device, sorted.
QStringList Listed(const DeviceTable& table)
{
    QStringList rows;
    for (int row = 1; row <= table.RowCount() - 2; ++row)
        rows << QString::fromLatin1(table.Cell(DeviceTable::ColMac, row) + ' ' +
                                    table.Cell(DeviceTable::ColDeviceIp, row).mid(1));
    rows.sort();
    return rows;
}

QStringList SegmentA()
{
    return {"02-4B-7E-0A-00-01 192.0.2.65", "02-4B-7E-0A-00-02 192.0.2.66", "02-4B-7E-0A-00-03 192.0.2.67",
            "02-4B-7E-0A-00-04 192.0.2.90", "02-4B-7E-0A-00-05 192.0.2.90"};
}

QStringList SegmentB()
{
    return {"02-4B-7E-0B-00-01 198.51.100.65", "02-4B-7E-0B-00-02 198.51.100.66",
            "02-4B-7E-0B-00-03 203.0.113.50"};
}

QStringList Replaced(QStringList rows, const QString& mac, const QString& address)
{
    for (QString& row : rows)
        if (row.startsWith(mac + ' '))
            row = mac + ' ' + address;
    rows.sort();
    return rows;
}

// Simulator output lines that contain `text`.
int CountLines(DevsimProcess& sim, const QString& text)
{
    int n = 0;
    for (const QString& line : sim.Lines())
        n += line.contains(text) ? 1 : 0;
    return n;
}


}  // namespace

class TestTopology : public QObject {
    Q_OBJECT

    DevsimProcess simA;
    DevsimProcess simB;
    QStringList boxes;  // "E:" error box or "M:" message box, with the text
    BoxHandler previousBoxes;

    // The drop-down entry whose slot holds `address`, chosen as the user
    // does; -1 when there is none.
    int Choose(TMainF& w, const QString& address)
    {
        for (int i = 0; i < w.EthList->count(); ++i) {
            if (AdapterAddressTable[std::size_t(i)] == address) {
                w.EthList->setCurrentIndex(i);
                return i;
            }
        }
        return -1;
    }

    // Types `text` over the current text of a cell of `row`.
    static void Edit(TMainF& w, int column, int row, const QByteArray& text)
    {
        ClickCell(w.DevList, column, row);
        w.DevList->setFocus();
        QTest::keyClicks(w.DevList, text.left(1));  // the first key opens the editor
        QVERIFY(w.DevList->Editor());
        QTest::keyClicks(w.DevList->Editor(), text.mid(1));
        QTest::keyClick(w.DevList->Editor(), Qt::Key_Return);
        QTRY_VERIFY(!w.DevList->Editor());
        QCOMPARE(w.Table().Cell(column, row), text);
    }

    // Update Device on `row`, confirmed with the device's password. The row
    // is selected by a click unless it is current with the button enabled
    // (a click on the current cell would open its editor instead).
    static void UpdateDevice(TMainF& w, int row)
    {
        if (w.Table().CurrentRow() != row || !w.BtnUpdSel->isEnabled())
            ClickCell(w.DevList,
                      w.Table().CurrentColumn() == DeviceTable::ColNetMask ? DeviceTable::ColGateway
                                                                           : DeviceTable::ColNetMask,
                      row);
        QVERIFY(w.BtnUpdSel->isEnabled());
        auto confirm = AnswerNextModal([](QWidget*) {
            QTest::keyClicks(PwdDlg->Password(), "admin");
            QTest::keyClick(PwdDlg->Password(), Qt::Key_Return);
        });
        QTest::mouseClick(w.BtnUpdSel, Qt::LeftButton);
        QVERIFY(confirm.Answered());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!Env("QUILLON_TOPO_NS_A").isEmpty() && !Env("QUILLON_TOPO_NS_B").isEmpty(),
                 "run through tests/topology/topology.sh");
        QVERIFY2(!DevsimProcess::Program().isEmpty(), "QUILLON_DEVSIM must name the simulator");
        simA.SetNetworkNamespace(Env("QUILLON_TOPO_NS_A"));
        simB.SetNetworkNamespace(Env("QUILLON_TOPO_NS_B"));
    }

    void init()
    {
        QVERIFY2(simA.Start({"--bind", Env("QUILLON_TOPO_A_DEVICE_SIDE"), "--reply-to", "auto", "--count", "3",
                             "--first-mac", "02-4B-7E-0A-00-01", "--first-ip", "192.0.2.65", "--mask",
                             "255.255.255.0", "--gateway", "192.0.2.1", "--name", "A-%1", "--device",
                             "192.0.2.90", "--device", "192.0.2.90"}),
                 qPrintable(simA.ErrorText()));
        QVERIFY2(simB.Start({"--bind", Env("QUILLON_TOPO_B_DEVICE_SIDE"), "--reply-to", "auto", "--count", "2",
                             "--first-mac", "02-4B-7E-0B-00-01", "--first-ip", "198.51.100.65", "--mask",
                             "255.255.255.0", "--gateway", "198.51.100.1", "--name", "B-%1", "--device",
                             "203.0.113.50,255.255.255.0,203.0.113.1"}),
                 qPrintable(simB.ErrorText()));
        boxes.clear();
        previousBoxes = SetBoxHandler([this](BoxKind kind, const QString& text) {
            boxes << (kind == BoxKind::Error ? "E:" : "M:") + text;
        });
    }

    void cleanup()
    {
        SetBoxHandler(previousBoxes);
        QVERIFY2(simA.Stop(), qPrintable(simA.ErrorText()));
        QVERIFY2(simB.Stop(), qPrintable(simB.ErrorText()));
    }

    // One entry per address of the program's namespace, each with the
    // hardware address of its own adapter, upper case, and its slot.
    void adapterListNamesEveryAddress()
    {
        Windows ws;
        TMainF& w = ws.w();
        QCOMPARE(boxes, QStringList{});
        const auto entry = [](const QString& address, const QString& mac) {
            return QByteArray("\n" + address.toLatin1() + " (" + mac.toUpper().toLatin1() + ")");
        };
        QList<QByteArray> expected{entry(LoopbackAddress, "00:00:00:00:00:00"),
                                   entry(Env("QUILLON_TOPO_A_LOCAL"), Env("QUILLON_TOPO_A_LOCAL_MAC")),
                                   entry(Env("QUILLON_TOPO_B_LOCAL"), Env("QUILLON_TOPO_B_LOCAL_MAC"))};
        QCOMPARE(expected[1], QByteArray("\n192.0.2.1 (02:00:5E:00:53:01)"));  // the fixture is what we think

        QList<QByteArray> entries;
        for (int i = 0; i < w.EthList->count(); ++i) {
            entries << w.AdapterEntry(i);
            QVERIFY(w.AdapterEntry(i).startsWith("\n" + AdapterAddressTable[std::size_t(i)].toLatin1() + " ("));
        }
        std::sort(entries.begin(), entries.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(entries, expected);
        QVERIFY(AdapterAddressTable[3].isEmpty());
        QCOMPARE(w.EthList->currentIndex(), 0);
        QCOMPARE(SelectedLocalAddress, AdapterAddressTable[0]);
    }

    // Each entry's Refresh lists exactly the devices behind its adapter: the
    // broadcast leaves by that adapter alone, so the other segment's
    // simulator never even sees it.
    void refreshListsExactlyTheChosenSegment()
    {
        Windows ws;
        TMainF& w = ws.w();
        DeviceTable& table = ws.table();
        const struct {
            QString address;
            QStringList devices;
        } steps[] = {{Env("QUILLON_TOPO_A_LOCAL"), SegmentA()}, {Env("QUILLON_TOPO_B_LOCAL"), SegmentB()},
                     {Env("QUILLON_TOPO_A_LOCAL"), SegmentA()}, {LoopbackAddress, {}},
                     {Env("QUILLON_TOPO_B_LOCAL"), SegmentB()}};
        int discoveriesA = 0;
        int discoveriesB = 0;
        for (const auto& step : steps) {
            const QByteArray where = "with " + step.address.toLatin1() + " chosen";
            QVERIFY2(Choose(w, step.address) >= 0, where);
            QCOMPARE(SelectedLocalAddress, step.address);
            QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(Listed(table), step.devices, 3000);
            QTest::qWait(300);  // and nothing more comes
            QVERIFY2(Listed(table) == step.devices, where);

            discoveriesA += step.address == Env("QUILLON_TOPO_A_LOCAL") ? 1 : 0;
            discoveriesB += step.address == Env("QUILLON_TOPO_B_LOCAL") ? 1 : 0;
            QTRY_VERIFY2(CountLines(simA, " discovery -> ") == discoveriesA, where);
            QTRY_VERIFY2(CountLines(simB, " discovery -> ") == discoveriesB, where);
        }
        QCOMPARE(boxes, QStringList{});
    }

    // A device on a foreign subnet: listed from its broadcast answer; a
    // unicast update cannot be routed to it; force broadcast reaches it by
    // MAC on the chosen segment alone.
    void foreignSubnetDevice_data()
    {
        QTest::addColumn<QByteArray>("newAddress");
        QTest::addColumn<bool>("joinsSegment");
        QTest::newRow("moved into the segment") << QByteArray("198.51.100.70") << true;
        QTest::newRow("moved within its foreign subnet") << QByteArray("203.0.113.77") << false;
    }
    void foreignSubnetDevice()
    {
        QFETCH(QByteArray, newAddress);
        QFETCH(bool, joinsSegment);
        const QByteArray mac = "02-4B-7E-0B-00-03";
        const QString unreachable = "E:" + ErrorBoxText(QString::fromLocal8Bit(std::strerror(ENETUNREACH)));

        Windows ws;
        TMainF& w = ws.w();
        DeviceTable& table = ws.table();
        QVERIFY(Choose(w, Env("QUILLON_TOPO_B_LOCAL")) >= 0);
        QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Listed(table), SegmentB(), 3000);
        QVERIFY2(simB.WaitForLine("(3 devices, 1 by broadcast)"), "the foreign device answered by broadcast");
        const int row = table.FindRowByMac(mac);
        QVERIFY(row != DeviceTable::NoRow);
        Edit(w, DeviceTable::ColIpAddress, row, newAddress);

        // Unicast to 203.0.113.50: no route, the socket layer's error, and
        // nothing that looks like success.
        QVERIFY(!w.ChkBcast->isChecked());
        UpdateDevice(w, row);
        QCOMPARE(boxes, QStringList{unreachable});
        QTest::qWait(300);
        QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Get Device Information done."));
        QVERIFY(w.BtnUpdSel->isEnabled());  // disabled only after a send
        QCOMPARE(CountLines(simB, "config for"), 0);

        // Force broadcast: out of segment B only, found by MAC.
        boxes.clear();
        w.ChkBcast->click();
        UpdateDevice(w, row);
        QTRY_COMPARE(w.StatusPanel1->text(), QStringLiteral("Setting OK"));
        QCOMPARE(w.StatusPanel0->text(), QStringLiteral("Device : B-3 (02-4B-7E-0B-00-03)"));
        QCOMPARE(boxes, QStringList{});
        QVERIFY(!w.BtnUpdSel->isEnabled());
        QVERIFY(simB.WaitForLine("config for 02-4B-7E-0B-00-03 -> Setting OK (" + newAddress + " mask 255.255.255.0"));
        // Its answer comes from its new address: by broadcast while that is
        // still off the program's subnet.
        QCOMPARE(CountLines(simB, ", by broadcast"), joinsSegment ? 0 : 1);
        QCOMPARE(CountLines(simA, "config for"), 0);

        QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
        const QStringList moved = Replaced(SegmentB(), mac, newAddress);
        QTRY_COMPARE_WITH_TIMEOUT(Listed(table), moved, 3000);

        // Without force broadcast again: a device that joined the segment is
        // now reached by unicast; one still on a foreign subnet is not.
        w.ChkBcast->click();
        const int newRow = table.FindRowByMac(mac);
        Edit(w, DeviceTable::ColDescription, newRow, "Bench 7");
        UpdateDevice(w, newRow);
        if (joinsSegment) {
            QTRY_COMPARE(w.StatusPanel1->text(), QStringLiteral("Setting OK"));
            QVERIFY(simB.WaitForLine("description \"Bench 7\""));
            QCOMPARE(boxes, QStringList{});
        } else {
            QCOMPARE(boxes, QStringList{unreachable});
            QTest::qWait(300);
            QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Get Device Information done."));
        }
    }

    // Two devices on one address are two rows, told apart by MAC alone; under
    // force broadcast each takes only its own request.
    void twoDevicesShareAnAddress()
    {
        Windows ws;
        TMainF& w = ws.w();
        DeviceTable& table = ws.table();
        QVERIFY(Choose(w, Env("QUILLON_TOPO_A_LOCAL")) >= 0);
        QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Listed(table), SegmentA(), 3000);

        w.ChkBcast->click();
        const struct {
            QByteArray mac;
            QByteArray name;
            QByteArray address;
        } twins[] = {{"02-4B-7E-0A-00-04", "A-4", "192.0.2.91"}, {"02-4B-7E-0A-00-05", "A-5", "192.0.2.92"}};
        for (const auto& twin : twins) {
            const int row = table.FindRowByMac(twin.mac);
            QVERIFY(row != DeviceTable::NoRow);
            Edit(w, DeviceTable::ColIpAddress, row, twin.address);
            UpdateDevice(w, row);
            QTRY_COMPARE(w.StatusPanel0->text(), QString("Device : " + twin.name + " (" + twin.mac + ")"));
            QCOMPARE(w.StatusPanel1->text(), QStringLiteral("Setting OK"));
            QVERIFY(simA.WaitForLine("config for " + twin.mac + " -> Setting OK (" + twin.address));
        }
        QCOMPARE(CountLines(simA, "config for"), 2);
        QCOMPARE(CountLines(simB, "config for"), 0);

        QTest::mouseClick(w.BtnRefresh, Qt::LeftButton);
        const QStringList expected = Replaced(Replaced(SegmentA(), "02-4B-7E-0A-00-04", "192.0.2.91"),
                                              "02-4B-7E-0A-00-05", "192.0.2.92");
        QTRY_COMPARE_WITH_TIMEOUT(Listed(table), expected, 3000);
        QCOMPARE(boxes, QStringList{});
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestTopology test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_topology.moc"
