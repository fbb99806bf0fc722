// Discovery end to end against the real simulator: the sender, the real
// listener, datagram handling and the table, in a private network namespace
// with loopback only.
#include <QSet>
#include <QTest>

#include "DevsimProcess.h"
#include "operations/Discovery.h"
#include "operations/LocalAddress.h"
#include "operations/ReplyListener.h"
#include "operations/StatusPanels.h"
#include "table/DeviceTable.h"

using namespace quillon;

namespace {

// The program's receiving side without its window.
struct Receiver {
    DeviceTable table;
    StatusPanels status;
    ReplyListener listener;
    Receiver()
    {
        listener.SetHandler([this](const Byte* b, std::size_t n) { HandleDatagram(table, status, b, n); });
        listener.Start();
    }
    void Refresh()
    {
        table.ClearDeviceTable();
        SendDiscovery();
    }
    QSet<QByteArray> Macs() const
    {
        QSet<QByteArray> macs;
        for (int row = 1; row <= table.RowCount() - 2; ++row)
            macs << table.Cell(DeviceTable::ColMac, row);
        return macs;
    }
};

}  // namespace

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void init() { SelectedLocalAddress = QStringLiteral("127.0.0.1"); }

    // Duplicated replies, foreign devices and malformed datagrams mixed into
    // the answers change nothing: exactly the fleet is listed, once each.
    void faultsAreIgnored()
    {
        DevsimProcess sim;
        QVERIFY2(sim.Start({"--count", "5", "--foreign", "3", "--duplicate", "--malformed", "--quiet"}),
                 qPrintable(sim.ErrorText()));
        Receiver r;
        r.Refresh();
        QTRY_COMPARE(r.table.RowCount(), 7);
        QTest::qWait(300);  // let every straggler arrive
        QCOMPARE(r.table.RowCount(), 7);
        QCOMPARE(r.Macs(), (QSet<QByteArray>{"02-4B-7E-00-00-01", "02-4B-7E-00-00-02", "02-4B-7E-00-00-03",
                                             "02-4B-7E-00-00-04", "02-4B-7E-00-00-05"}));
        for (int row = 1; row <= 5; ++row) {
            QCOMPARE(r.table.Cell(0, row), QByteArray::number(row));
            QVERIFY(!r.table.Cell(2, row).startsWith("\nBAD"));
        }
        QCOMPARE(r.status.Text(1), QByteArray("Get Device Information done."));
        QVERIFY(r.listener.DroppedOversize() >= 1);  // the oversized datagram never reached the handler
        QVERIFY(sim.Stop());
    }

    // A silent device is simply missing; a later Refresh lists from row 1.
    void silentDeviceAndSecondRefresh()
    {
        DevsimProcess sim;
        QVERIFY2(sim.Start({"--count", "4", "--silent", "2", "--quiet"}), qPrintable(sim.ErrorText()));
        Receiver r;
        r.Refresh();
        QTRY_COMPARE(r.table.RowCount(), 5);
        QVERIFY(!r.Macs().contains("02-4B-7E-00-00-02"));
        r.Refresh();
        QCOMPARE(r.table.RowCount(), 2);
        QTRY_COMPARE(r.table.RowCount(), 5);
        QCOMPARE(r.table.Cell(0, 1), QByteArray("1"));
        QVERIFY(sim.Stop());
    }

    // Two thousand devices answering at once: all listed, none twice.
    void burstOf2000()
    {
        DevsimProcess sim;
        QVERIFY2(sim.Start({"--count", "0", "--burst", "2000", "--quiet"}), qPrintable(sim.ErrorText()));
        Receiver r;
        r.Refresh();
        QTRY_COMPARE_WITH_TIMEOUT(r.table.RowCount(), 2002, 20000);
        QTest::qWait(200);
        QCOMPARE(r.table.RowCount(), 2002);
        QCOMPARE(r.Macs().size(), 2000);
        QCOMPARE(r.listener.Handled(), std::uint64_t(2000));
        qInfo("receive buffer %d bytes, peak hand-over %zu datagrams", r.listener.EffectiveReceiveBuffer(),
              r.listener.PeakPending());
        QVERIFY(sim.Stop());
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
