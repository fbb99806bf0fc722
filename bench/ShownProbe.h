// Start-up measurement helpers for bench_startup's children.
//
// Mark() prints "MARK <name> <CLOCK_MONOTONIC ns>" (buffered; printed with
// the READY line). ShownProbe watches a window: once its first paint has
// been handled, it prints "READY <ns> <extra>" and ends the process at once,
// without tearing anything down.
#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bench/BenchCommon.h"

namespace quillon::bench {

inline void Mark(const char* name)
{
    std::printf("MARK %s %lld\n", name, static_cast<long long>(MonotonicNs()));
}

class ShownProbe : public QObject {
public:
    // `extra` is asked for after the paint; it returns the rest of the line.
    ShownProbe(QWidget* window, std::function<QByteArray()> extra) : extra_(std::move(extra))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Runs once the paint (and what was queued with it) is done.
            QTimer::singleShot(0, [this] {
                const std::int64_t now = MonotonicNs();
                std::printf("READY %lld %s\n", static_cast<long long>(now), extra_().constData());
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    std::function<QByteArray()> extra_;
    bool seen_ = false;
};

}  // namespace quillon::bench
