#include "platform/Adapters.h"

#include <QNetworkInterface>

namespace quillon {

namespace {

AdapterEnumerator& Override()
{
    static AdapterEnumerator enumerator;
    return enumerator;
}

std::array<std::uint8_t, 6> HardwareBytes(const QString& text)
{
    // QNetworkInterface gives "AA:BB:CC:DD:EE:FF"; shorter or missing
    // addresses leave the remaining bytes zero.
    std::array<std::uint8_t, 6> bytes{};
    const QStringList parts = text.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size() && i < 6; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        bytes[static_cast<std::size_t>(i)] = ok ? static_cast<std::uint8_t>(value & 0xFF) : 0;
    }
    return bytes;
}

std::optional<std::vector<AdapterInfo>> SystemAdapters()
{
    std::vector<AdapterInfo> adapters;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        AdapterInfo info;
        info.hardwareAddress = HardwareBytes(iface.hardwareAddress());
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol)
                info.ipv4Addresses << ip.toString();
        }
        if (!info.ipv4Addresses.isEmpty())
            adapters.push_back(std::move(info));
    }
    return adapters;
}

}  // namespace

std::optional<std::vector<AdapterInfo>> EnumerateAdapters()
{
    if (Override())
        return Override()();
    return SystemAdapters();
}

void SetAdapterEnumerator(AdapterEnumerator enumerator)
{
    Override() = std::move(enumerator);
}

}  // namespace quillon
