#include "bench/FloodRun.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/MainWindow.h"
#include "bench/BenchCommon.h"
#include "bench/BenchQt.h"
#include "operations/ReplyListener.h"
#include "table/DeviceTable.h"

namespace quillon::bench {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLON_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUILLON_SANITIZER_ALLOCATOR 1
#endif
#endif

#ifdef QUILLON_SANITIZER_ALLOCATOR
// From the sanitizers' allocator interface (not every compiler ships its
// header); both the address and the thread sanitizer runtimes provide it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

// The heap the process holds: what is allocated and not yet freed. Under a
// sanitizer this leaves out the freed memory it keeps in quarantine.
long HeapKiB()
{
#ifdef QUILLON_SANITIZER_ALLOCATOR
    return long(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 m = ::mallinfo2();
    return long((m.uordblks + m.hblkhd) / 1024);
#endif
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto i = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[i];
}

}  // namespace

FloodFigures RunFlood(TMainF& window, const FloodSettings& settings)
{
    FloodFigures f;
    ReplyListener& listener = window.IdUDPServer();
    const int rowsBefore = window.Table().RowCount() - 2;
    const UdpCounters kernelBefore = ReadUdpCounters();
    const std::uint64_t receivedBefore = listener.Received();
    const std::uint64_t handledBefore = listener.Handled();
    const std::uint64_t oversizeBefore = listener.DroppedOversize();
    f.rssBeforeKiB = RssKiB();
    f.heapBeforeKiB = HeapKiB();

    std::atomic<bool> stop{false};
    std::atomic<long> rssPeak{f.rssBeforeKiB};
    std::atomic<long> heapPeak{f.heapBeforeKiB};
    std::thread sampler([&] {
        while (!stop.load()) {
            const long rss = RssKiB();
            if (rss > rssPeak.load())
                rssPeak.store(rss);
            const long heap = HeapKiB();
            if (heap > heapPeak.load())
                heapPeak.store(heap);
            ::usleep(10000);
        }
    });

    // A 10 ms timer on the user-interface thread: how late does it fire?
    std::vector<double> late;
    std::int64_t previousTick = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const std::int64_t now = MonotonicNs();
        if (previousTick != 0)
            late.push_back(std::max(0.0, double(now - previousTick) / 1e6 - 10.0));
        previousTick = now;
    });

    // A call posted from another thread every 10 ms, as input from outside
    // would be: how long does it wait?
    QObject pingTarget;
    std::vector<double> pings;
    std::thread pinger([&] {
        while (!stop.load()) {
            const std::int64_t posted = MonotonicNs();
            QMetaObject::invokeMethod(
                &pingTarget, [&pings, posted] { pings.push_back(double(MonotonicNs() - posted) / 1e6); },
                Qt::QueuedConnection);
            ::usleep(10000);
        }
    });

    QEventLoop loop;
    QProcess sender;
    sender.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bool senderDone = false;
    QObject::connect(&sender, &QProcess::finished, &loop, [&senderDone] { senderDone = true; });
    QObject::connect(&sender, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError) {
        f.error = QStringLiteral("the sender could not run: ") + sender.errorString();
        loop.quit();
    });

    // Done once the sender has ended, the listener has taken nothing new for
    // half a second and everything taken has been handled.
    std::uint64_t lastReceived = 0;
    std::int64_t stableSince = 0, caughtUp = 0;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        const std::int64_t now = MonotonicNs();
        const std::uint64_t received = listener.Received();
        const bool allHandled = listener.Handled() - handledBefore == received - receivedBefore;
        if (!senderDone || received != lastReceived || !allHandled) {
            lastReceived = received;
            stableSince = now;
            caughtUp = 0;
            return;
        }
        if (caughtUp == 0)
            caughtUp = now;
        if (now - stableSince > 500000000LL) {
            f.ok = true;
            loop.quit();
        }
    });
    QTimer::singleShot(settings.timeoutMs, &loop, [&] {
        f.error = QStringLiteral("time-out");
        loop.quit();
    });

    if (settings.stallMs > 0) {
        QTimer::singleShot(settings.stallAfterMs, &loop, [&settings] {
            const std::int64_t until = MonotonicNs() + std::int64_t(settings.stallMs) * 1000000;
            while (MonotonicNs() < until)
                ::usleep(1000);
        });
    }
    tick.start();
    check.start(20);
    QStringList arguments = {QStringLiteral("flood"), QString::number(settings.foreign)};
    if (settings.validEvery > 0)
        arguments << QStringLiteral("--valid-every") << QString::number(settings.validEvery);
    arguments << QStringLiteral("--first") << QString::number(settings.firstDevice);
    sender.start(settings.sender, arguments);
    loop.exec();
    tick.stop();
    check.stop();
    stop = true;
    pinger.join();
    sampler.join();
    QCoreApplication::processEvents();  // the last pings
    if (sender.state() != QProcess::NotRunning) {
        sender.kill();
        sender.waitForFinished(5000);
    }

    const auto sent = KeyValues(LineStartingWith(sender.readAllStandardOutput(), QStringLiteral("sent=")).prepend(QStringLiteral("sent=")));
    f.sentAll = sent.value(QStringLiteral("sent")).toLong();
    f.sentValid = sent.value(QStringLiteral("valid")).toLong();
    const std::int64_t firstSent = sent.value(QStringLiteral("first_ns")).toLongLong();
    const std::int64_t lastSent = sent.value(QStringLiteral("last_ns")).toLongLong();
    f.sendSeconds = double(lastSent - firstSent) / 1e9;
    if (f.ok && sent.value(QStringLiteral("sent")).isEmpty()) {
        f.ok = false;
        f.error = QStringLiteral("the sender reported nothing");
    }
    f.received = listener.Received() - receivedBefore;
    f.handled = listener.Handled() - handledBefore;
    f.droppedOversize = listener.DroppedOversize() - oversizeBefore;
    f.kernelDrops = ReadUdpCounters().rcvbufErrors - kernelBefore.rcvbufErrors;
    f.peakPending = listener.PeakPending();
    f.listed = window.Table().RowCount() - 2 - rowsBefore;
    f.timerLateMaxMs = late.empty() ? 0 : *std::max_element(late.begin(), late.end());
    f.timerLateP99Ms = Percentile(late, 0.99);
    f.pingMaxMs = pings.empty() ? 0 : *std::max_element(pings.begin(), pings.end());
    f.pingP99Ms = Percentile(pings, 0.99);
    f.rssPeakKiB = rssPeak.load();
    f.rssAfterKiB = RssKiB();
    f.heapPeakKiB = heapPeak.load();
    f.drainAfterSendMs = caughtUp > 0 && lastSent > 0 ? double(caughtUp - lastSent) / 1e6 : -1;
    return f;
}

}  // namespace quillon::bench
