#include "operations/LocalAddress.h"

namespace quillon {

std::array<QString, AdapterSlotCount> AdapterAddressTable;
QString SelectedLocalAddress;

}  // namespace quillon
