#include "tools/devsim/Fleet.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

namespace quillon::devsim {

namespace {

std::vector<Byte> Bytes(const auto& array) { return {array.begin(), array.end()}; }

MacBytes MacAt(const MacBytes& first, std::uint32_t index)
{
    const std::uint32_t low =
        ((std::uint32_t{first[3]} << 16) | (std::uint32_t{first[4]} << 8) | first[5]) + index;
    return {first[0], first[1], first[2], static_cast<Byte>(low >> 16), static_cast<Byte>(low >> 8),
            static_cast<Byte>(low)};
}

std::uint32_t AsNumber(const Ipv4Bytes& a)
{
    return (std::uint32_t{a[0]} << 24) | (std::uint32_t{a[1]} << 16) | (std::uint32_t{a[2]} << 8) | a[3];
}

Ipv4Bytes AddressAt(const Ipv4Bytes& first, std::uint32_t index)
{
    const std::uint32_t value =
        ((std::uint32_t{first[0]} << 24) | (std::uint32_t{first[1]} << 16) | (std::uint32_t{first[2]} << 8) |
         first[3]) +
        index;
    return {static_cast<Byte>(value >> 24), static_cast<Byte>(value >> 16), static_cast<Byte>(value >> 8),
            static_cast<Byte>(value)};
}

std::string NameFor(const std::string& pattern, int number)
{
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, "%1") == 0) {
            name += std::to_string(number);
            ++i;
        } else {
            name.push_back(pattern[i]);
        }
    }
    return name;
}

DiscoveryReply ReplyOf(const Device& device)
{
    DiscoveryReply reply;
    reply.mac = device.mac;
    reply.ipAddress = device.ipAddress;
    reply.netMask = device.netMask;
    reply.gateway = device.gateway;
    reply.deviceName = device.name;
    reply.version = device.version;
    reply.description = device.description;
    return reply;
}

std::vector<Byte> ConfigAnswer(const MacBytes& mac, std::string_view message)
{
    ConfigReply reply;
    reply.mac = mac;
    reply.message = TextField<MessageWidth>(message);
    return Bytes(EncodeConfigReply(reply));
}

std::string Plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::array<Byte, PasswordWidth> TransformedPassword(std::string_view plain)
{
    std::array<Byte, PasswordWidth> field{};
    for (std::size_t i = 0; i < PasswordWidth && i < plain.size(); ++i)
        field[i] = SwapNibbles(static_cast<Byte>(plain[i]));
    return field;
}

std::vector<std::vector<Byte>> MalformedDatagrams()
{
    // Each one is a well-formed discovery reply of a device that is not in the
    // fleet, spoiled in one way, so that a listener that wrongly takes it in
    // shows a "BAD ..." row with a MAC 02-4B-7E-EE-EE-xx.
    const auto spoilt = [](Byte macLast, const char* name) {
        DiscoveryReply reply;
        reply.mac = {0x02, 0x4B, 0x7E, 0xEE, 0xEE, macLast};
        reply.ipAddress = {127, 0, 0, 200};
        reply.netMask = {255, 0, 0, 0};
        reply.deviceName = TextField<DeviceNameWidth>(name);
        reply.version = TextField<VersionWidth>("0.0.0");
        reply.description = TextField<DescriptionWidth>("must not be listed");
        return Bytes(EncodeDiscoveryReply(reply));
    };
    std::vector<std::vector<Byte>> out;

    for (const auto& [macLast, length, name] : {std::tuple{Byte{1}, std::size_t{111}, "BAD truncated 111"},
                                                std::tuple{Byte{2}, std::size_t{48}, "BAD truncated 48"},
                                                std::tuple{Byte{3}, std::size_t{10}, "BAD truncated 10"}}) {
        auto bytes = spoilt(macLast, name);
        bytes.resize(length);
        out.push_back(std::move(bytes));
    }

    auto lowerMagic = spoilt(4, "BAD magic");
    std::transform(lowerMagic.begin(), lowerMagic.begin() + MagicWidth, lowerMagic.begin(),
                   [](Byte b) { return static_cast<Byte>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b); });
    out.push_back(std::move(lowerMagic));

    auto highOpcode = spoilt(5, "BAD byte 8");
    highOpcode[offset::OpcodeHigh] = 0x01;
    out.push_back(std::move(highOpcode));

    auto discoveryOpcode = spoilt(6, "BAD opcode 16");
    discoveryOpcode[offset::OpcodeLow] = OpDiscoveryRequest;
    out.push_back(std::move(discoveryOpcode));

    auto configOpcode = spoilt(7, "BAD opcode 90");
    configOpcode[offset::OpcodeLow] = OpConfigRequest;
    out.push_back(std::move(configOpcode));

    out.emplace_back();  // empty

    auto oversized = spoilt(9, "BAD 1500 bytes");
    oversized.resize(1500, 0);
    out.push_back(std::move(oversized));
    return out;
}

Fleet::Fleet(const Settings& settings, unsigned seed) : settings_(settings), random_(seed)
{
    const int total = settings.TotalDevices();
    devices_.reserve(static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i) {
        Device d;
        d.number = i + 1;
        d.kind = i < settings.count                          ? Device::Kind::Fleet
                 : i < settings.count + settings.burst         ? Device::Kind::Burst
                 : i < settings.CountedDevices()               ? Device::Kind::Foreign
                                                               : Device::Kind::Given;
        d.silent = std::find(settings.silent.begin(), settings.silent.end(), d.number) != settings.silent.end();
        d.mac = MacAt(settings.firstMac, static_cast<std::uint32_t>(i));
        if (d.kind == Device::Kind::Foreign)
            std::copy(ForeignPrefix.begin(), ForeignPrefix.end(), d.mac.begin());
        if (d.kind == Device::Kind::Given) {
            const GivenDevice& given = settings.given[static_cast<std::size_t>(i - settings.CountedDevices())];
            d.ipAddress = given.ipAddress;
            d.netMask = given.netMask;
            d.gateway = given.gateway;
        } else {
            d.ipAddress = AddressAt(settings.firstIp, static_cast<std::uint32_t>(i));
            d.netMask = settings.netMask;
            d.gateway = settings.gateway;
        }
        if (settings.sameIp && d.number == 2)
            d.ipAddress = devices_.front().ipAddress;
        d.name = TextField<DeviceNameWidth>(NameFor(settings.namePattern, d.number));
        d.version = TextField<VersionWidth>(settings.version);
        d.description = TextField<DescriptionWidth>(settings.description);
        d.password = TransformedPassword(settings.password);
        d.passwordOverflow = 0;
        devices_.push_back(d);
    }
}

Handling Fleet::Handle(const Byte* data, std::size_t length, std::uint32_t requester)
{
    if (IsDiscoveryRequest(data, length))
        return Discovery(requester);
    if (const auto request = DecodeConfigRequest(data, length))
        return Config(*request, requester);

    Handling ignored;
    if (Recognise(data, length) == MessageKind::OtherOpcode && data[offset::OpcodeLow] == OpConfigRequest)
        ignored.summary = "config request of " + Plural(length, "byte", "bytes") + ", too short -> ignored";
    else
        ignored.summary = Plural(length, "byte", "bytes") + ", not a request -> ignored";
    return ignored;
}

std::chrono::milliseconds Fleet::ReplyDelay(const Device& device)
{
    if (device.kind == Device::Kind::Burst)
        return std::chrono::milliseconds{0};
    int extra = 0;
    if (settings_.jitterMs > 0)
        extra = std::uniform_int_distribution<int>(0, settings_.jitterMs)(random_);
    return std::chrono::milliseconds{settings_.delayMs + extra};
}

bool Fleet::RepliesByBroadcast(const Device& device, std::uint32_t requester) const
{
    switch (settings_.replyTo) {
    case ReplyTo::Requester:
        return false;
    case ReplyTo::Broadcast:
        return true;
    case ReplyTo::Auto:
        break;
    }
    // The device's own idea of its subnet decides, as its current settings
    // are after the request (a device that was just moved answers from its
    // new address).
    const std::uint32_t mask = AsNumber(device.netMask);
    return (AsNumber(device.ipAddress) & mask) != (requester & mask);
}

void Fleet::Add(Handling& handling, const Device& device, std::uint32_t requester, std::vector<Byte> bytes)
{
    const auto delay = ReplyDelay(device);
    const bool broadcast = RepliesByBroadcast(device, requester);
    if (settings_.duplicate)
        handling.replies.push_back({bytes, delay, broadcast});
    handling.replies.push_back({std::move(bytes), delay, broadcast});
}

Handling Fleet::Discovery(std::uint32_t requester)
{
    Handling handling;
    std::size_t malformed = 0;
    if (settings_.malformed) {
        for (auto& bytes : MalformedDatagrams()) {
            handling.replies.push_back({std::move(bytes), std::chrono::milliseconds{0}});
            ++malformed;
        }
    }
    // Burst devices first and back to back; the others as their delays fall due.
    std::size_t answering = 0;
    std::size_t silent = 0;
    std::size_t byBroadcast = 0;
    for (const auto kind : {Device::Kind::Burst, Device::Kind::Fleet, Device::Kind::Foreign, Device::Kind::Given}) {
        for (const Device& device : devices_) {
            if (device.kind != kind)
                continue;
            if (device.silent) {
                ++silent;
                continue;
            }
            Add(handling, device, requester, Bytes(EncodeDiscoveryReply(ReplyOf(device))));
            ++answering;
            if (handling.replies.back().broadcast)
                ++byBroadcast;
        }
    }
    handling.summary = "discovery -> " + Plural(handling.replies.size(), "reply", "replies");
    std::string details = Plural(answering, "device", "devices");
    if (settings_.duplicate)
        details += " twice";
    if (byBroadcast > 0)
        details += ", " + std::to_string(byBroadcast) + " by broadcast";
    if (silent > 0)
        details += ", " + std::to_string(silent) + " silent";
    if (malformed > 0)
        details += ", " + std::to_string(malformed) + " malformed";
    handling.summary += " (" + details + ")";
    return handling;
}

Handling Fleet::Config(const ConfigRequestFields& request, std::uint32_t requester)
{
    Handling handling;
    const std::string who = "config for " + MacText(request.mac) + " -> ";
    const auto found =
        std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.mac == request.mac; });
    if (found == devices_.end()) {
        handling.summary = who + "ignored (no such device)";
        return handling;
    }
    Device& device = *found;
    if (device.silent) {
        handling.summary = who + "ignored (device " + std::to_string(device.number) + " is silent)";
        return handling;
    }
    if (request.password != device.password) {
        Add(handling, device, requester, ConfigAnswer(device.mac, "Password Error"));
        handling.summary = who + "Password Error" + (handling.replies.back().broadcast ? ", by broadcast" : "");
        return handling;
    }

    device.ipAddress = request.ipAddress;
    device.netMask = request.netMask;
    device.gateway = request.gateway;
    device.description = TextField<DescriptionWidth>(FieldText(request.description));
    const bool newPassword =
        std::any_of(request.newPassword.begin(), request.newPassword.end(), [](Byte b) { return b != 0; });
    if (newPassword) {
        device.password = request.newPassword;
        device.passwordOverflow = request.newPasswordOverflow;
    }
    Add(handling, device, requester, ConfigAnswer(device.mac, "Setting OK"));
    handling.summary = who + "Setting OK (" + DottedDecimal(device.ipAddress) + " mask " +
                       DottedDecimal(device.netMask) + " gateway " + DottedDecimal(device.gateway) +
                       ", description \"" + FieldText(device.description) + "\"" +
                       (newPassword ? ", new password" : "") + ")" +
                       (handling.replies.back().broadcast ? ", by broadcast" : "");
    return handling;
}

}  // namespace quillon::devsim
