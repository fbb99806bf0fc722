// The entry: creates the three windows and runs the event loop until the
// main window closes.
#include <QApplication>

#include "app/CfgDlg.h"
#include "app/MainWindow.h"
#include "app/PwdDlg.h"
#include "platform/Dialogs.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    try {
        quillon::MainF = new quillon::TMainF;
        quillon::PwdDlg = new quillon::TPwdDlg;
        quillon::CfgDlg = new quillon::TCfgDlg;
        quillon::MainF->show();
        app.exec();
    } catch (const std::exception& e) {
        quillon::ShowError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        quillon::ShowError(QString());
    }
    delete quillon::CfgDlg;
    delete quillon::PwdDlg;
    delete quillon::MainF;
    return 0;
}
