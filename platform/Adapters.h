// The machine's network adapters with their hardware addresses and IPv4
// addresses, in the platform's order.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quillon {

struct AdapterInfo {
    std::array<std::uint8_t, 6> hardwareAddress{};  // first six bytes, zero filled
    QStringList ipv4Addresses;                      // dotted texts, at least one
};

// nullopt when the enumeration fails.
using AdapterEnumerator = std::function<std::optional<std::vector<AdapterInfo>>()>;

// Every interface that is up and has an IPv4 address, loopback included.
std::optional<std::vector<AdapterInfo>> EnumerateAdapters();

// Tests replace the enumeration; an empty function restores the real one.
void SetAdapterEnumerator(AdapterEnumerator enumerator);

}  // namespace quillon
