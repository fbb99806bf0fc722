// The program's windows for tests: created as the entry creates them, shown
// offscreen, and driven as a user would.
#pragma once

#include <QTest>
#include <optional>
#include <vector>

#include "app/CfgDlg.h"
#include "app/DeviceGrid.h"
#include "app/MainWindow.h"
#include "app/PwdDlg.h"
#include "platform/Adapters.h"
#include "table/DeviceTable.h"

namespace quillon::test {

inline AdapterInfo Adapter(std::array<std::uint8_t, 6> hw, QStringList addresses)
{
    AdapterInfo info;
    info.hardwareAddress = hw;
    info.ipv4Addresses = std::move(addresses);
    return info;
}

// One adapter with the loopback address, where the simulator lives.
inline void UseLoopbackAdapter()
{
    SetAdapterEnumerator([] {
        return std::optional<std::vector<AdapterInfo>>(std::vector<AdapterInfo>{Adapter({}, {"127.0.0.1"})});
    });
}

// MainF, PwdDlg and CfgDlg, in the entry's order; destroyed in reverse.
struct Windows {
    Windows()
    {
        MainF = new TMainF;
        PwdDlg = new TPwdDlg;
        CfgDlg = new TCfgDlg;
        MainF->show();
        if (!QTest::qWaitForWindowExposed(MainF))
            qWarning("main window not exposed");
    }
    ~Windows()
    {
        delete CfgDlg;
        delete PwdDlg;
        delete MainF;
        CfgDlg = nullptr;
        PwdDlg = nullptr;
    }
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    TMainF& w() { return *MainF; }
    DeviceTable& table() { return MainF->Table(); }
    DeviceGrid* grid() { return MainF->DevList; }
};

// The centre of a cell of the grid, in viewport coordinates.
inline QPoint CellCentre(DeviceGrid* grid, int column, int row)
{
    return grid->visualRect(grid->Table()->ModelIndex(column, row)).center();
}

inline void ClickCell(DeviceGrid* grid, int column, int row)
{
    grid->scrollTo(grid->Table()->ModelIndex(column, row));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, column, row));
}

// Types as a user would: the first key reaches the grid, which opens the
// editor; the rest go to the editor.
inline void Type(DeviceGrid* grid, const QByteArray& text)
{
    for (char c : text)
        QTest::keyClick(grid->Editor() ? grid->Editor() : static_cast<QWidget*>(grid), c);
}

// Selects a cell, types a new text over it and ends the edit with Enter.
inline void EditCell(DeviceGrid* grid, int column, int row, const QByteArray& text)
{
    ClickCell(grid, column, row);
    if (text.isEmpty()) {
        QTest::keyClick(grid, Qt::Key_Backspace);
    } else {
        Type(grid, text);
    }
    if (grid->Editor())
        QTest::keyClick(grid->Editor(), Qt::Key_Return);
    QTRY_VERIFY(!grid->Editor());
}

}  // namespace quillon::test
