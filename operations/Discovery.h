// Finding devices: the sender, the discovery request and the handling of
// every datagram that arrives on the reply port.
#pragma once

#include <QString>
#include <cstddef>

#include "protocol/Wire.h"

namespace quillon {

class DeviceTable;
class StatusPanels;

// Sends `length` bytes as one datagram to host:DevicePort from a fresh
// socket bound to SelectedLocalAddress (empty = any) with a system-chosen
// port; broadcast is permitted only when asked. The socket is closed on
// every path. Throws PlatformError with the socket layer's text when the
// bind or the send fails.
void SendDatagram(const Byte* bytes, std::size_t length, const QString& host, bool broadcast);

// Broadcasts one DiscoveryRequest to 255.255.255.255.
void SendDiscovery();

// Recognises and handles one received datagram: a DiscoveryReply of a new
// device with the vendor prefix becomes a table row, a ConfigReply shows in
// the status texts, everything else changes nothing. Reads only the bytes
// that arrived.
void HandleDatagram(DeviceTable& table, StatusPanels& status, const Byte* bytes, std::size_t length);

}  // namespace quillon
