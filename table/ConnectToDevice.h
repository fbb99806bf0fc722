// Connect to Device: opens the current device's web page.
#pragma once

#include <QByteArray>
#include <optional>

namespace quillon {

class DeviceTable;

// The address Connect to Device opens for the current row: "http://" and
// the "DeviceIP" cell without its leading line feed (desktop openers refuse
// a URL with a line feed in it). nullopt on a row without a device.
std::optional<QByteArray> DeviceWebAddress(const DeviceTable& table);

// The command: opens DeviceWebAddress through the desktop; a failure to
// open is silent, and a row without a device does nothing.
void BtnConDevClick(const DeviceTable& table);

}  // namespace quillon
