// A flood of foreign and malformed datagrams into the running main window,
// with valid replies mixed in, while the user-interface thread is watched:
// how late its timers fire, how long a call posted from another thread
// waits, and how much memory the process holds. Used by bench_flood and by
// the load test.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace quillon {
class TMainF;
}

namespace quillon::bench {

struct FloodSettings {
    long foreign = 1000000;  // foreign or malformed datagrams
    long validEvery = 1000;  // one listable reply after every this many
    long firstDevice = 1;    // number of the first valid reply's device
    QString sender;          // the bench_sender program
    int timeoutMs = 300000;
    // When above 0: the user-interface thread is kept busy for this long,
    // starting `stallAfterMs` after the sender started, as by a slow
    // command. The hand-over then fills up to its bound.
    int stallMs = 0;
    int stallAfterMs = 300;
};

struct FloodFigures {
    bool ok = false;             // the run finished (not cut by the time-out)
    QString error;
    long sentAll = 0;            // as the sender reports
    long sentValid = 0;
    double sendSeconds = 0;
    std::uint64_t received = 0;  // taken from the socket by the listener
    std::uint64_t handled = 0;   // handed to HandleDatagram
    std::uint64_t droppedOversize = 0;
    std::int64_t kernelDrops = 0;  // receive-buffer overflows in this namespace
    std::size_t peakPending = 0;
    int listed = 0;              // device rows at the end
    double timerLateMaxMs = 0;   // 10 ms timer: worst lateness
    double timerLateP99Ms = 0;
    double pingMaxMs = 0;        // call posted from another thread every 10 ms
    double pingP99Ms = 0;
    long rssBeforeKiB = 0;
    long rssPeakKiB = 0;         // sampled every 10 ms during the flood
    long rssAfterKiB = 0;
    long heapBeforeKiB = 0;      // heap in use (allocated, not yet freed)
    long heapPeakKiB = 0;        // sampled with the RSS
    double drainAfterSendMs = 0; // last datagram sent -> all handled
};

// Runs one flood against `window` (shown, listener bound) and spins its
// event loop meanwhile.
FloodFigures RunFlood(TMainF& window, const FloodSettings& settings);

}  // namespace quillon::bench
