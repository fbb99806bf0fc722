#include "operations/Discovery.h"

#include "operations/LocalAddress.h"
#include "operations/StatusPanels.h"
#include "platform/UdpSocket.h"
#include "table/CellForms.h"
#include "table/DeviceTable.h"

namespace quillon {

namespace {

const QString LimitedBroadcast = QStringLiteral("255.255.255.255");

// "\nDevice : %s (%s)" with the name and MAC cells, each up to its first NUL.
QByteArray DevicePanelText(const QByteArray& nameCell, const QByteArray& macCell)
{
    return "\nDevice : " + UpToNul(nameCell) + " (" + UpToNul(macCell) + ")";
}

void HandleDiscoveryReply(DeviceTable& table, StatusPanels& status, const DiscoveryReply& reply)
{
    const QByteArray mac = MacCell(reply.mac);
    if (table.FindRowByMac(mac) != DeviceTable::NoRow)
        return;
    if (!mac.startsWith(QByteArray::fromRawData(VendorPrefix.data(), static_cast<qsizetype>(VendorPrefix.size()))))
        return;

    const int n = table.AppendDeviceRow();
    table.SetCell(DeviceTable::ColMac, n, mac);
    table.SetCell(DeviceTable::ColVersion, n, ReplyTextCell(reply.version));
    table.SetCell(DeviceTable::ColDeviceName, n, ReplyTextCell(reply.deviceName));
    const QByteArray address = ReplyAddressCell(reply.ipAddress);
    table.SetCell(DeviceTable::ColDeviceIp, n, address);
    table.SetCell(DeviceTable::ColIpAddress, n, address);
    table.SetCell(DeviceTable::ColNetMask, n, ReplyAddressCell(reply.netMask));
    table.SetCell(DeviceTable::ColGateway, n, ReplyAddressCell(reply.gateway));
    table.SetCell(DeviceTable::ColDescription, n, ReplyTextCell(reply.description));

    status.SetText(StatusPanels::DevicePanel,
                   DevicePanelText(table.Cell(DeviceTable::ColDeviceName, n), table.Cell(DeviceTable::ColMac, n)));
    status.SetText(StatusPanels::MessagePanel, QByteArray("Get Device Information done."));
}

void HandleConfigReply(DeviceTable& table, StatusPanels& status, const ConfigReply& reply)
{
    const QByteArray mac = MacCell(reply.mac);
    const int row = table.FindRowByMac(mac);
    // A reply from a device that is not listed still names its MAC, with an
    // empty device name.
    const QByteArray name = row == DeviceTable::NoRow ? QByteArray() : table.Cell(DeviceTable::ColDeviceName, row);
    const QByteArray macCell = row == DeviceTable::NoRow ? mac : table.Cell(DeviceTable::ColMac, row);
    status.SetText(StatusPanels::DevicePanel, DevicePanelText(name, macCell));
    status.SetText(StatusPanels::MessagePanel,
                   '\n' + QByteArray::fromStdString(FieldText(reply.message)));
}

}  // namespace

void SendDatagram(const Byte* bytes, std::size_t length, const QString& host, bool broadcast)
{
    UdpSocket socket;
    socket.Bind(SelectedLocalAddress.toStdString(), 0);
    if (broadcast)
        socket.SetBroadcast(true);
    socket.SendTo(bytes, length, host.toStdString(), DevicePort);
}

void SendDiscovery()
{
    const auto request = BuildDiscoveryRequest();
    SendDatagram(request.data(), request.size(), LimitedBroadcast, true);
}

void HandleDatagram(DeviceTable& table, StatusPanels& status, const Byte* bytes, std::size_t length)
{
    switch (Recognise(bytes, length)) {
    case MessageKind::DiscoveryReply:
        if (const auto reply = DecodeDiscoveryReply(bytes, length))
            HandleDiscoveryReply(table, status, *reply);
        break;
    case MessageKind::ConfigReply:
        if (const auto reply = DecodeConfigReply(bytes, length))
            HandleConfigReply(table, status, *reply);
        break;
    default:
        break;
    }
}

}  // namespace quillon
