// The program's own start-up, up to the main window shown with its listener
// bound: the same steps as app/main.cpp, with marks between them and a probe
// that reports the moment of the first paint and ends the process there.
// See bench_startup.
#include <QApplication>
#include <cstring>

#include "app/CfgDlg.h"
#include "app/MainWindow.h"
#include "app/PwdDlg.h"
#include "bench/ShownProbe.h"
#include "operations/ReplyListener.h"
#include "platform/Adapters.h"
#include "table/DeviceTable.h"

using quillon::bench::Mark;
using quillon::bench::MonotonicNs;

namespace {

// --own-steps: the program's own start-up work, each step timed alone, for
// the first time in a fresh process: the adapter enumeration, binding the
// listener and starting its thread, and the table's header.
int OwnSteps(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const std::int64_t t0 = MonotonicNs();
    const auto adapters = quillon::EnumerateAdapters();
    const std::int64_t t1 = MonotonicNs();
    quillon::ReplyListener listener;
    listener.Start();
    const std::int64_t t2 = MonotonicNs();
    quillon::DeviceTable table;
    table.SetupHeader();
    const std::int64_t t3 = MonotonicNs();
    std::printf("STEPS adapters=%lld listener=%lld header=%lld bound=%d\n", static_cast<long long>(t1 - t0),
                static_cast<long long>(t2 - t1), static_cast<long long>(t3 - t2), listener.IsActive() ? 1 : 0);
    std::fflush(stdout);
    std::_Exit(adapters ? 0 : 1);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--own-steps") == 0)
        return OwnSteps(argc, argv);
    Mark("main");
    QApplication app(argc, argv);
    Mark("application");
    quillon::MainF = new quillon::TMainF;
    Mark("main-window");
    quillon::PwdDlg = new quillon::TPwdDlg;
    quillon::CfgDlg = new quillon::TCfgDlg;
    Mark("dialogs");
    quillon::bench::ShownProbe probe(quillon::MainF, [] {
        return QByteArray(quillon::MainF->IdUDPServer().IsActive() ? "bound=1" : "bound=0");
    });
    quillon::MainF->show();
    Mark("show");
    app.exec();
    return 1;  // the probe ends the process
}
