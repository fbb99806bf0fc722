#include "operations/DeviceUpdate.h"

#include "app/CfgDlg.h"
#include "app/PwdDlg.h"
#include "operations/Discovery.h"
#include "platform/Dialogs.h"
#include "protocol/AddressText.h"
#include "protocol/Wire.h"
#include "table/CellForms.h"
#include "table/DeviceTable.h"

namespace quillon {

namespace {

const QString LimitedBroadcast = QStringLiteral("255.255.255.255");

std::string_view View(const QByteArray& text)
{
    return std::string_view(text.constData(), static_cast<std::size_t>(text.size()));
}

// A cell as the update reads it: up to its first NUL.
QByteArray Text(const DeviceTable& table, int column, int row)
{
    return UpToNul(table.Cell(column, row));
}

// The description field takes the cell byte for byte, except that the line
// feed a reply put in front of it is not part of the description: without
// this, every update of an unedited row would write a line feed into the
// device and lose the description's last character.
QByteArray DescriptionBytes(const QByteArray& cell)
{
    return cell.startsWith('\n') ? cell.mid(1) : cell;
}

}  // namespace

QByteArray SettingsLine(const QByteArray& header, const QByteArray& value)
{
    QByteArray line = header;
    if (line.size() < 15)
        line.append(QByteArray(15 - line.size(), ' '));
    return line + " \t: " + value;
}

QByteArray SelectionEntry(const DeviceTable& table, int row)
{
    QByteArray entry = Text(table, DeviceTable::ColRowNumber, row) + " - " +
                       Text(table, DeviceTable::ColDeviceName, row) + " (" + Text(table, DeviceTable::ColMac, row) +
                       ") ";
    return row > 1 ? '\n' + entry : entry;
}

void UpdateDeviceRow(UpdateCommand& command, int row)
{
    DeviceTable& table = command.table;
    const bool broadcast = command.forceBroadcast && command.forceBroadcast();
    if (!table.IsDeviceRow(row))
        return;

    ConfigRequest request;
    MacBytes mac{};
    ParseMacText(View(Text(table, DeviceTable::ColMac, row)), mac);
    request.SetMac(mac);

    // All three addresses are converted, whatever the first ones gave.
    bool addressesAccepted = true;
    const int addressColumns[] = {DeviceTable::ColIpAddress, DeviceTable::ColNetMask, DeviceTable::ColGateway};
    for (int column : addressColumns) {
        std::array<std::int32_t, 4> values{};
        if (!ParseDottedQuad(View(Text(table, column, row)), values)) {
            addressesAccepted = false;
            continue;
        }
        const Ipv4Bytes bytes = QuadBytes(values);
        if (column == DeviceTable::ColIpAddress)
            request.SetIpAddress(bytes);
        else if (column == DeviceTable::ColNetMask)
            request.SetNetMask(bytes);
        else
            request.SetGateway(bytes);
    }
    request.SetDescription(View(DescriptionBytes(Text(table, DeviceTable::ColDescription, row))));
    const QByteArray newPassword = Text(table, DeviceTable::ColNewPassword, row);
    const bool newPasswordFits = request.SetNewPassword(View(newPassword));

    if (!addressesAccepted) {
        ShowMessage(QStringLiteral("IP address Error !!"));
        return;
    }
    if (!newPasswordFits) {
        // Sixteen characters and one more are all the request can carry.
        ShowMessage(QStringLiteral("Password Length must less than 16 !!"));
        return;
    }

    TPwdDlg& dialog = command.pwdDlg;
    dialog.SetTitle(Text(table, DeviceTable::ColDeviceName, row) + " (" + Text(table, DeviceTable::ColMac, row) + ")");
    dialog.ClearLines();
    dialog.AddLine("Setting info :");
    for (int column = DeviceTable::ColMac; column < DeviceTable::ColumnCount; ++column) {
        QByteArray value = Text(table, column, row);
        if (column == DeviceTable::ColNewPassword && value.isEmpty())
            value = "No Change";
        dialog.AddLine(SettingsLine(Text(table, column, DeviceTable::HeaderRow), value));
    }
    dialog.exec();  // the result does not count: the password box does

    const QByteArray password = dialog.PasswordText();
    if (password.isEmpty()) {
        ShowMessage(QStringLiteral("Cancel Configuration"));
        return;
    }
    request.SetPassword(View(password));
    dialog.SetPasswordText(QByteArray());

    QString host = LimitedBroadcast;
    if (!broadcast) {
        std::array<std::int32_t, 4> values{};
        ParseDottedQuad(View(Text(table, DeviceTable::ColDeviceIp, row)), values);
        host = QString::fromStdString(DottedDecimal(QuadBytes(values)));
    }
    SendDatagram(request.Bytes().data(), request.Bytes().size(), host, broadcast);

    if (command.disableUpdateDevice)
        command.disableUpdateDevice();
    table.SetCell(DeviceTable::ColNewPassword, row, QByteArray());
}

void UpdateCurrentRow(UpdateCommand& command)
{
    UpdateDeviceRow(command, command.table.CurrentRow());
}

void UpdateTickedRows(UpdateCommand& command)
{
    TCfgDlg& dialog = command.cfgDlg;
    for (int row = 1; row <= command.table.RowCount() - 2; ++row)
        dialog.AddEntry(SelectionEntry(command.table, row));

    // The list is emptied whatever happens, a send error included.
    struct EmptyList {
        TCfgDlg& dialog;
        ~EmptyList() { dialog.ClearEntries(); }
    } emptyList{dialog};

    if (dialog.exec() != 1)
        return;
    for (int index = 0; index < dialog.EntryCount(); ++index) {
        if (dialog.IsChecked(index))
            UpdateDeviceRow(command, index + 1);
    }
}

void UpdateAllRows(UpdateCommand& command)
{
    for (int row = 1; row <= command.table.RowCount() - 2; ++row)
        UpdateDeviceRow(command, row);
}

}  // namespace quillon
