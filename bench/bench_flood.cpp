// bench_flood: 1,000,000 foreign or malformed datagrams at full rate into
// the reply port while the main window runs, with one listable reply after
// every 1,000 of them.
//
//   bench_flood [--datagrams 1000000] [--valid-every 1000]
//
// Prints how late the user-interface thread's 10 ms timer fired, how long a
// call posted from another thread waited, the memory the process held and
// whether every valid reply was listed. Run it inside a loopback-only
// network namespace with QT_QPA_PLATFORM=offscreen (scripts/bench.sh).
#include <QApplication>

#include "app/MainWindow.h"
#include "bench/BenchCommon.h"
#include "bench/BenchQt.h"
#include "bench/FloodRun.h"
#include "operations/ReplyListener.h"
#include "platform/Dialogs.h"

using namespace quillon;
using namespace quillon::bench;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RequireLoopbackOnly("bench_flood");
    FloodSettings settings;
    settings.sender = Sibling("bench_sender");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--datagrams"))
            settings.foreign = args[i + 1].toLong();
        else if (args[i] == QStringLiteral("--valid-every"))
            settings.validEvery = args[i + 1].toLong();
    }
    SetBoxHandler([](BoxKind, const QString& text) { std::fprintf(stderr, "bench_flood: box: %s\n", qPrintable(text)); });

    TMainF window;
    MainF = &window;
    window.show();
    ProcessEventsFor(300);
    if (!window.IdUDPServer().IsActive()) {
        std::fprintf(stderr, "bench_flood: the listener is not bound\n");
        return 1;
    }
    const FloodFigures f = RunFlood(window, settings);
    if (!f.ok) {
        std::fprintf(stderr, "bench_flood: %s\n", qPrintable(f.error));
        return 1;
    }
    // The same flood once more while the user-interface thread is kept busy
    // for 3 s: the hand-over fills to its bound and the kernel drops the rest.
    FloodSettings stalled = settings;
    stalled.stallMs = 3000;
    stalled.firstDevice = settings.firstDevice + f.sentValid;  // devices not listed yet
    const FloodFigures s = RunFlood(window, stalled);
    MainF = nullptr;
    if (!s.ok) {
        std::fprintf(stderr, "bench_flood: stalled run: %s\n", qPrintable(s.error));
        return 1;
    }
    const long foreign = f.sentAll - f.sentValid;
    std::printf("\n### Flood while the window runs: %ld foreign or malformed datagrams, %ld valid replies mixed in\n\n",
                foreign, f.sentValid);
    std::printf("| figure | value |\n|---|---|\n");
    std::printf("| sending time | %.2f s (%.0f datagrams/s) |\n", f.sendSeconds,
                f.sendSeconds > 0 ? double(f.sentAll) / f.sendSeconds : 0.0);
    std::printf("| taken by the listener / dropped by the kernel | %llu / %lld |\n",
                static_cast<unsigned long long>(f.received), static_cast<long long>(f.kernelDrops));
    std::printf("| handed to HandleDatagram / longer than 1024 bytes, dropped | %llu / %llu |\n",
                static_cast<unsigned long long>(f.handled), static_cast<unsigned long long>(f.droppedOversize));
    std::printf("| valid replies listed | %d of %ld |\n", f.listed, f.sentValid);
    std::printf("| 10 ms timer, lateness max / p99 | %.1f / %.1f ms |\n", f.timerLateMaxMs, f.timerLateP99Ms);
    std::printf("| posted call, wait max / p99 | %.1f / %.1f ms |\n", f.pingMaxMs, f.pingP99Ms);
    std::printf("| peak pending hand-over (bound %zu) | %zu |\n", ReplyListener::Options{}.maxPendingDatagrams,
                f.peakPending);
    std::printf("| RSS before / peak / after | %.1f / %.1f / %.1f MiB |\n", f.rssBeforeKiB / 1024.0,
                f.rssPeakKiB / 1024.0, f.rssAfterKiB / 1024.0);
    std::printf("| last sent -> all handled | %.0f ms |\n", f.drainAfterSendMs);
    std::printf("\nThe same flood again, the user-interface thread busy for 3 s from 0.3 s after the start:\n\n");
    std::printf("| figure | value |\n|---|---|\n");
    std::printf("| taken by the listener / dropped by the kernel | %llu / %lld |\n",
                static_cast<unsigned long long>(s.received), static_cast<long long>(s.kernelDrops));
    std::printf("| peak pending hand-over (bounds %zu datagrams, %zu MiB) | %zu |\n",
                ReplyListener::Options{}.maxPendingDatagrams, ReplyListener::Options{}.maxPendingBytes >> 20,
                s.peakPending);
    std::printf("| valid replies listed | %d of %ld |\n", s.listed, s.sentValid);
    std::printf("| RSS before / peak / after | %.1f / %.1f / %.1f MiB |\n", s.rssBeforeKiB / 1024.0,
                s.rssPeakKiB / 1024.0, s.rssAfterKiB / 1024.0);
    std::printf("\ntargets: latency <= 100 ms: %s; valid replies listed: %s\n",
                std::max(f.timerLateMaxMs, f.pingMaxMs) <= 100 ? "met" : "MISSED",
                f.listed == f.sentValid ? "all" : "NOT ALL");
    return 0;
}
