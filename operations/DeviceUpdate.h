// Giving listed devices new settings: Update Device, Update Multi and
// Update All, all built on UpdateDeviceRow.
//
// Each row is read afresh from the table, turned into a ConfigRequest,
// listed in the confirmation dialog with a box for the device's current
// password, and sent. The device's answer is not waited for: the listener
// shows it in the status bar whenever it comes.
#pragma once

#include <QByteArray>
#include <functional>

namespace quillon {

class DeviceTable;
class TCfgDlg;
class TPwdDlg;

// What the update commands work with.
struct UpdateCommand {
    DeviceTable& table;
    TPwdDlg& pwdDlg;
    TCfgDlg& cfgDlg;
    // Whether "Control Packet Force Broadcast" is ticked.
    std::function<bool()> forceBroadcast;
    // Disables the Update Device button after a send.
    std::function<void()> disableUpdateDevice;
};

// Updates one row. A row without a device does nothing; a rejected address,
// a new password that does not fit and an empty password box are told in a
// message box and leave the row as it was. A send failure is thrown.
void UpdateDeviceRow(UpdateCommand& command, int row);

// Update Device: the current row.
void UpdateCurrentRow(UpdateCommand& command);
// Update Multi: the rows ticked in the selection dialog. The dialog's list
// is emptied whatever happens.
void UpdateTickedRows(UpdateCommand& command);
// Update All: every device row, the row count read afresh before each.
void UpdateAllRows(UpdateCommand& command);

// The texts the commands show, exposed for tests.
QByteArray SettingsLine(const QByteArray& header, const QByteArray& value);
QByteArray SelectionEntry(const DeviceTable& table, int row);

}  // namespace quillon
