// The local address every request is sent from, and the address texts
// behind the adapter drop-down. Written only by the adapter selection; read
// by SendDatagram before each send. User-interface thread only.
#pragma once

#include <QString>
#include <array>

namespace quillon {

inline constexpr int AdapterSlotCount = 256;

// Slot i holds the dotted address of drop-down entry i; unused slots are
// empty.
extern std::array<QString, AdapterSlotCount> AdapterAddressTable;
// The chosen local address; empty means any local address.
extern QString SelectedLocalAddress;

}  // namespace quillon
