// The baselines for the start-up figure, measured exactly like
// bench_startup_app: a Qt program that shows an empty main window, or, with
// --label, a main window that holds one line of text (the first text a Qt
// program shows starts its font system).
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "bench/ShownProbe.h"

using quillon::bench::Mark;

int main(int argc, char* argv[])
{
    Mark("main");
    QApplication app(argc, argv);
    Mark("application");
    QMainWindow window;
    if (app.arguments().contains(QStringLiteral("--label")))
        window.setCentralWidget(new QLabel(QStringLiteral("Select Adapter :")));
    Mark("main-window");
    Mark("dialogs");
    quillon::bench::ShownProbe probe(&window, [] { return QByteArray("bound=-"); });
    window.show();
    Mark("show");
    app.exec();
    return 1;  // the probe ends the process
}
