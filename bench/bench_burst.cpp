// bench_burst: N discovery replies, sent as fast as another process can,
// into the real main window (its listener, HandleDatagram, the device table
// and the grid that shows it). Also the memory that the listed devices take.
//
//   bench_burst [--counts 1000,10000,50000] [--repeats 3]
//       runs each count `repeats` times, each in a fresh process, and prints
//       a table of medians.
//   bench_burst --child N
//       one run; prints one RESULT line.
//
// Run it inside a loopback-only network namespace with
// QT_QPA_PLATFORM=offscreen (scripts/bench.sh does both).
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cinttypes>
#include <malloc.h>

#include "app/MainWindow.h"
#include "bench/BenchCommon.h"
#include "bench/BenchQt.h"
#include "operations/ReplyListener.h"
#include "operations/StatusPanels.h"
#include "platform/Dialogs.h"
#include "table/DeviceTable.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

int RunOnce(int count)
{
    RequireLoopbackOnly("bench_burst");
    int boxes = 0;
    SetBoxHandler([&boxes](BoxKind, const QString& text) {
        ++boxes;
        std::fprintf(stderr, "bench_burst: box: %s\n", qPrintable(text));
    });

    TMainF window;
    MainF = &window;
    window.show();
    ProcessEventsFor(300);  // shown, painted, settled
    ReplyListener& listener = window.IdUDPServer();
    if (!listener.IsActive()) {
        std::fprintf(stderr, "bench_burst: the listener is not bound\n");
        return 1;
    }

    const long rss0 = RssKiB();
    const std::size_t heap0 = mallinfo2().uordblks;
    const UdpCounters kernel0 = ReadUdpCounters();

    int listed = 0;
    std::int64_t firstListed = 0, lastListed = 0, cpuFirst = 0, cpuEnd = 0;
    QEventLoop loop;
    // Panel 1 is set last, once a new row is complete.
    QObject::connect(&window.Status(), &StatusPanels::textChanged, &loop, [&](int panel, const QByteArray&) {
        if (panel != StatusPanels::MessagePanel)
            return;
        const int rows = window.Table().RowCount() - 2;
        if (rows == listed)
            return;
        listed = rows;
        lastListed = MonotonicNs();
        if (firstListed == 0) {
            firstListed = lastListed;
            cpuFirst = ThreadCpuNs();
        }
        if (listed == count)
            loop.quit();
    });

    QProcess sender;
    sender.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bool senderDone = false;
    QObject::connect(&sender, &QProcess::finished, &loop, [&senderDone] { senderDone = true; });
    // Lost replies never come: stop 2 s after the sender ended with no new row.
    QTimer watchdog;
    std::int64_t quietSince = 0;
    int listedAtCheck = -1;
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        const std::int64_t now = MonotonicNs();
        if (!senderDone || listed != listedAtCheck) {
            listedAtCheck = listed;
            quietSince = now;
        } else if (now - quietSince > 2000000000LL) {
            loop.quit();
        }
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);  // hard cap
    watchdog.start(50);
    sender.start(Sibling("bench_sender"), {QStringLiteral("replies"), QString::number(count)});
    loop.exec();
    cpuEnd = ThreadCpuNs();
    watchdog.stop();
    if (!senderDone && !sender.waitForFinished(30000)) {
        std::fprintf(stderr, "bench_burst: the sender did not finish\n");
        return 1;
    }
    const auto sent = KeyValues(LineStartingWith(sender.readAllStandardOutput(), QStringLiteral("sent=")).prepend(QStringLiteral("sent=")));
    ProcessEventsFor(300);  // let the grid catch up before memory is read

    const long rss1 = RssKiB();
    const std::size_t heap1 = mallinfo2().uordblks;
    const UdpCounters kernel1 = ReadUdpCounters();
    const std::int64_t lastSent = sent.value(QStringLiteral("last_ns")).toLongLong();
    const std::int64_t firstSent = sent.value(QStringLiteral("first_ns")).toLongLong();

    std::printf("RESULT n=%d sent=%s listed=%d lost=%d kernel_drops=%" PRId64 " buffer=%d received=%" PRIu64
                " handled=%" PRIu64 " peak_pending=%zu send_ms=%.3f latency_ms=%.3f cpu_per_row_us=%.3f"
                " rss_kib_0=%ld rss_kib_1=%ld heap_0=%zu heap_1=%zu boxes=%d\n",
                count, qPrintable(sent.value(QStringLiteral("sent"))), listed, count - listed,
                kernel1.rcvbufErrors - kernel0.rcvbufErrors, listener.EffectiveReceiveBuffer(), listener.Received(),
                listener.Handled(), listener.PeakPending(), double(lastSent - firstSent) / 1e6,
                double(lastListed - lastSent) / 1e6,
                listed > 1 ? double(cpuEnd - cpuFirst) / 1e3 / double(listed - 1) : 0.0, rss0, rss1, heap0, heap1,
                boxes);
    std::fflush(stdout);
    MainF = nullptr;
    return 0;
}

int Drive(const QList<int>& counts, int repeats)
{
    struct Row {
        int n = 0;
        std::vector<double> listed, lost, drops, latency, cost, bytesPerDevice, heapPerDevice, peak, sendMs;
        int buffer = 0;
    };
    std::vector<Row> rows;
    bool failed = false;
    for (int n : counts) {
        Row row;
        row.n = n;
        for (int r = 0; r < repeats; ++r) {
            const QString line = RunChild({QStringLiteral("--child"), QString::number(n)}, 180000);
            if (line.isEmpty()) {
                failed = true;
                continue;
            }
            std::fprintf(stderr, "  run N=%d: %s\n", n, qPrintable(line));
            const auto v = KeyValues(line);
            auto d = [&v](const char* k) { return v.value(QString::fromLatin1(k)).toDouble(); };
            const double listed = d("listed");
            row.listed.push_back(listed);
            row.lost.push_back(d("lost"));
            row.drops.push_back(d("kernel_drops"));
            row.latency.push_back(d("latency_ms"));
            row.cost.push_back(d("cpu_per_row_us"));
            row.peak.push_back(d("peak_pending"));
            row.sendMs.push_back(d("send_ms"));
            if (listed > 0) {
                row.bytesPerDevice.push_back((d("rss_kib_1") - d("rss_kib_0")) * 1024 / listed);
                row.heapPerDevice.push_back((d("heap_1") - d("heap_0")) / listed);
            }
            row.buffer = int(d("buffer"));
        }
        rows.push_back(row);
    }

    auto worst = [](const std::vector<double>& v) { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); };
    auto least = [](const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); };
    std::printf("\n### Burst into the main window (%d runs per N, medians; lost = worst run)\n\n", repeats);
    std::printf("| N | rows listed (min) | lost (max) | kernel drops (max) | effective buffer | send time ms | "
                "last sent -> last listed ms | UI CPU per row us | peak pending (max) | RSS per device B | heap per device B |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::printf("| %d | %.0f | %.0f | %.0f | %d MiB | %.1f | %.1f | %.2f | %.0f | %.0f | %.0f |\n", r.n,
                    least(r.listed), worst(r.lost), worst(r.drops), r.buffer / (1024 * 1024), Median(r.sendMs),
                    Median(r.latency), Median(r.cost), worst(r.peak), Median(r.bytesPerDevice),
                    Median(r.heapPerDevice));
    }
    const Row* small = nullptr;
    const Row* large = nullptr;
    for (const Row& r : rows) {
        if (small == nullptr || r.n < small->n)
            small = &r;
        if (large == nullptr || r.n > large->n)
            large = &r;
    }
    if (small != nullptr && large != nullptr && small != large && Median(small->cost) > 0) {
        std::printf("\nUI CPU per row at N=%d / at N=%d: %.2f (target <= 1.5)\n", large->n, small->n,
                    Median(large->cost) / Median(small->cost));
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto childAt = args.indexOf(QStringLiteral("--child"));
    if (childAt > 0 && childAt + 1 < args.size())
        return RunOnce(args[childAt + 1].toInt());

    QList<int> counts = {1000, 10000, 50000};
    int repeats = 3;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--counts")) {
            counts.clear();
            for (const QString& c : args[i + 1].split(QLatin1Char(',')))
                counts << c.toInt();
        } else if (args[i] == QStringLiteral("--repeats")) {
            repeats = std::max(1, args[i + 1].toInt());
        }
    }
    RequireLoopbackOnly("bench_burst");
    return Drive(counts, repeats);
}
