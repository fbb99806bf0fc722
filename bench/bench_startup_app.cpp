// The program's own start-up, up to the main window shown with its listener
// bound: the same steps as app/main.cpp, with marks between them and a probe
// that reports the moment of the first paint and ends the process there.
// See bench_startup.
#include <QApplication>

#include "app/CfgDlg.h"
#include "app/MainWindow.h"
#include "app/PwdDlg.h"
#include "bench/ShownProbe.h"
#include "operations/ReplyListener.h"

using quillon::bench::Mark;

int main(int argc, char* argv[])
{
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
