#include "table/ConnectToDevice.h"

#include "platform/UrlOpener.h"
#include "table/DeviceTable.h"

namespace quillon {

std::optional<QByteArray> DeviceWebAddress(const DeviceTable& table)
{
    const int row = table.CurrentRow();
    if (!table.IsDeviceRow(row))
        return std::nullopt;
    QByteArray address = table.Cell(DeviceTable::ColDeviceIp, row);
    if (address.startsWith('\n'))
        address.remove(0, 1);
    return "http://" + address;
}

void BtnConDevClick(const DeviceTable& table)
{
    if (const auto address = DeviceWebAddress(table))
        OpenUrl(*address);
}

}  // namespace quillon
