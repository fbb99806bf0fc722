// The main window under load, on loopback inside a private network
// namespace: a burst of replies from another process, and floods of foreign
// and malformed datagrams with valid replies mixed in, once while the
// window is idle and once while it is busy.
//
// QUILLON_BENCH_SENDER names the sending program (the test registration
// sets it).
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include "AppFixture.h"
#include "bench/FloodRun.h"
#include "operations/ReplyListener.h"
#include "platform/Dialogs.h"
#include "table/DeviceTable.h"

using namespace quillon;
using namespace quillon::test;
using quillon::bench::FloodFigures;
using quillon::bench::FloodSettings;

namespace {

QString Describe(const FloodFigures& f)
{
    return QStringLiteral("sent %1 (%2 valid), taken %3, handled %4, kernel drops %5, listed %6, timer late %7 ms, "
                          "posted call waited %8 ms, peak pending %9, RSS %10 -> %11 KiB, heap %12 -> %13 KiB")
        .arg(f.sentAll)
        .arg(f.sentValid)
        .arg(f.received)
        .arg(f.handled)
        .arg(f.kernelDrops)
        .arg(f.listed)
        .arg(f.timerLateMaxMs, 0, 'f', 1)
        .arg(f.pingMaxMs, 0, 'f', 1)
        .arg(f.peakPending)
        .arg(f.rssBeforeKiB)
        .arg(f.rssPeakKiB)
        .arg(f.heapBeforeKiB)
        .arg(f.heapPeakKiB);
}

}  // namespace

class TestLoad : public QObject {
    Q_OBJECT

    QString sender;
    QStringList boxes;

private slots:
    void initTestCase()
    {
        sender = qEnvironmentVariable("QUILLON_BENCH_SENDER");
        QVERIFY2(QFileInfo(sender).isExecutable(), "QUILLON_BENCH_SENDER does not name the sender");
        SetBoxHandler([this](BoxKind, const QString& text) { boxes << text; });
    }
    void init()
    {
        UseLoopbackAdapter();
        boxes.clear();
    }
    void cleanup()
    {
        SetAdapterEnumerator({});
        QCOMPARE(boxes, QStringList());
    }

    // 10,000 replies as fast as another process can send them: every one
    // listed, in the order sent.
    void burstListsEveryDevice()
    {
        constexpr int Count = 10000;
        Windows ws;
        QProcess burst;
        burst.start(sender, {QStringLiteral("replies"), QString::number(Count)});
        QVERIFY(burst.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(burst.state() == QProcess::NotRunning, 60000);
        QCOMPARE(burst.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ws.table().RowCount() - 2, Count, 30000);
        QCOMPARE(ws.w().IdUDPServer().Received(), std::uint64_t(Count));
        QCOMPARE(ws.table().Cell(DeviceTable::ColMac, 1), QByteArray("02-4B-7E-00-00-01"));
        QCOMPARE(ws.table().Cell(DeviceTable::ColMac, Count), QByteArray("02-4B-7E-00-27-10"));
        QCOMPARE(ws.table().FindRowByMac("02-4B-7E-00-13-88"), 5000);
    }

    // A flood at full rate: the user-interface thread keeps answering, all
    // that the listener took is handled, and the valid replies are listed.
    void floodKeepsTheWindowAnswering()
    {
        Windows ws;
        FloodSettings settings;
        settings.foreign = 200000;
        settings.validEvery = 500;
        settings.sender = sender;
        settings.timeoutMs = 120000;
        const FloodFigures f = bench::RunFlood(ws.w(), settings);
        QVERIFY2(f.ok, qPrintable(f.error));
        const QString figures = Describe(f);
        qInfo("%s", qPrintable(figures));
        QCOMPARE(f.sentValid, 400);
        QVERIFY2(f.handled == f.received, qPrintable(figures));
        QVERIFY2(f.timerLateMaxMs <= 100 && f.pingMaxMs <= 100, qPrintable(figures));
        // Only what the kernel dropped may be missing.
        QVERIFY2(f.listed <= f.sentValid && f.listed >= f.sentValid - f.kernelDrops, qPrintable(figures));
        if (f.kernelDrops == 0)
            QCOMPARE(f.listed, int(f.sentValid));
    }

    // The same while the user-interface thread is busy for 3 s: the
    // hand-over stops at its bound and memory stays bounded; whatever the
    // listener took is still handled, in full, once the thread is free.
    void floodWhileBusyStaysBounded()
    {
        Windows ws;
        FloodSettings settings;
        settings.foreign = 300000;
        settings.validEvery = 1000;
        settings.sender = sender;
        settings.timeoutMs = 120000;
        settings.stallMs = 3000;
        settings.stallAfterMs = 100;
        const FloodFigures f = bench::RunFlood(ws.w(), settings);
        QVERIFY2(f.ok, qPrintable(f.error));
        const QString figures = Describe(f);
        qInfo("%s", qPrintable(figures));
        const ReplyListener::Options bounds;
        QVERIFY2(f.peakPending <= bounds.maxPendingDatagrams, qPrintable(figures));
        QVERIFY2(f.handled == f.received, qPrintable(figures));
        QVERIFY2(f.listed >= f.sentValid - f.kernelDrops, qPrintable(figures));
        // Room for two full batches (the one handled and the one filling);
        // holding what arrives during the stall would take several times
        // more. The heap in use, not the RSS: the sanitizer builds keep
        // freed memory resident.
        const long allowedKiB = 32 * 1024;
        QVERIFY2(f.heapPeakKiB - f.heapBeforeKiB <= allowedKiB, qPrintable(figures));
    }
};

QTEST_MAIN(TestLoad)
#include "tst_load.moc"
