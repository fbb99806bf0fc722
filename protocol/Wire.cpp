#include "protocol/Wire.h"

#include <algorithm>
#include <cstdio>

namespace quillon {

namespace {

void WriteHeader(Byte* out, Opcode opcode)
{
    std::copy(Magic.begin(), Magic.end(), out + offset::Magic);
    out[offset::OpcodeHigh] = 0x00;
    out[offset::OpcodeLow] = opcode;
}

template <std::size_t N>
void Put(Byte* out, std::size_t at, const std::array<Byte, N>& field)
{
    std::copy(field.begin(), field.end(), out + at);
}

template <std::size_t N>
std::array<Byte, N> Take(const Byte* in, std::size_t at)
{
    std::array<Byte, N> field{};
    std::copy(in + at, in + at + N, field.begin());
    return field;
}

// Transformed password bytes: the first `width` bytes of the text, each
// through SwapNibbles, zero padded.
void PutPassword(Byte* out, std::size_t at, std::string_view text)
{
    for (std::size_t i = 0; i < PasswordWidth; ++i)
        out[at + i] = i < text.size() ? SwapNibbles(static_cast<Byte>(text[i])) : 0;
}

}  // namespace

Byte SwapNibbles(Byte b)
{
    if (b < 0x80)
        return static_cast<Byte>(((b & 0x0F) << 4) | (b >> 4));
    return static_cast<Byte>(0xF0 | (b >> 4));
}

std::string MacText(const MacBytes& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return std::string(text, 17);
}

std::string DottedDecimal(const Ipv4Bytes& address)
{
    char text[16];
    int n = std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{address[0]}, unsigned{address[1]},
                          unsigned{address[2]}, unsigned{address[3]});
    return std::string(text, static_cast<std::size_t>(n));
}

std::array<Byte, DiscoveryRequestSize> BuildDiscoveryRequest()
{
    std::array<Byte, DiscoveryRequestSize> request{};
    WriteHeader(request.data(), OpDiscoveryRequest);
    std::fill_n(request.begin() + offset::Mac, MacWidth, Byte{0xFF});
    return request;
}

ConfigRequest::ConfigRequest()
{
    WriteHeader(bytes_.data(), OpConfigRequest);
}

void ConfigRequest::SetMac(const MacBytes& mac) { Put(bytes_.data(), offset::Mac, mac); }
void ConfigRequest::SetIpAddress(const Ipv4Bytes& value) { Put(bytes_.data(), offset::IpAddress, value); }
void ConfigRequest::SetNetMask(const Ipv4Bytes& value) { Put(bytes_.data(), offset::NetMask, value); }
void ConfigRequest::SetGateway(const Ipv4Bytes& value) { Put(bytes_.data(), offset::Gateway, value); }

void ConfigRequest::SetDescription(std::string_view text)
{
    Put(bytes_.data(), offset::RequestDescription, TextField<DescriptionWidth>(text));
}

void ConfigRequest::SetPassword(std::string_view text)
{
    PutPassword(bytes_.data(), offset::Password, text);
}

bool ConfigRequest::SetNewPassword(std::string_view text)
{
    if (text.size() > MaxNewPasswordLength)
        return false;
    PutPassword(bytes_.data(), offset::NewPassword, text);
    bytes_[offset::NewPasswordOverflow] =
        text.size() > PasswordWidth ? static_cast<Byte>(text[PasswordWidth]) : 0;
    return true;
}

MessageKind Recognise(const Byte* data, std::size_t length)
{
    if (data == nullptr || length < PacketHeaderSize)
        return MessageKind::NotProtocol;
    if (!std::equal(Magic.begin(), Magic.end(), data + offset::Magic) || data[offset::OpcodeHigh] != 0)
        return MessageKind::NotProtocol;
    switch (data[offset::OpcodeLow]) {
    case OpDiscoveryReply:
        return MessageKind::DiscoveryReply;
    case OpConfigReply:
        return MessageKind::ConfigReply;
    default:
        return MessageKind::OtherOpcode;
    }
}

std::optional<DiscoveryReply> DecodeDiscoveryReply(const Byte* data, std::size_t length)
{
    if (Recognise(data, length) != MessageKind::DiscoveryReply || length < DiscoveryReplySize)
        return std::nullopt;
    DiscoveryReply reply;
    reply.mac = Take<MacWidth>(data, offset::Mac);
    reply.ipAddress = Take<Ipv4Width>(data, offset::IpAddress);
    reply.netMask = Take<Ipv4Width>(data, offset::NetMask);
    reply.gateway = Take<Ipv4Width>(data, offset::Gateway);
    reply.deviceName = Take<DeviceNameWidth>(data, offset::DeviceName);
    reply.version = Take<VersionWidth>(data, offset::Version);
    reply.description = Take<DescriptionWidth>(data, offset::ReplyDescription);
    return reply;
}

std::optional<ConfigReply> DecodeConfigReply(const Byte* data, std::size_t length)
{
    if (Recognise(data, length) != MessageKind::ConfigReply || length < ConfigReplySize)
        return std::nullopt;
    ConfigReply reply;
    reply.mac = Take<MacWidth>(data, offset::Mac);
    reply.message = Take<MessageWidth>(data, offset::Message);
    return reply;
}

bool IsDiscoveryRequest(const Byte* data, std::size_t length)
{
    return Recognise(data, length) == MessageKind::OtherOpcode && data[offset::OpcodeLow] == OpDiscoveryRequest;
}

std::optional<ConfigRequestFields> DecodeConfigRequest(const Byte* data, std::size_t length)
{
    if (Recognise(data, length) != MessageKind::OtherOpcode || data[offset::OpcodeLow] != OpConfigRequest ||
        length < ConfigRequestSize)
        return std::nullopt;
    ConfigRequestFields fields;
    fields.mac = Take<MacWidth>(data, offset::Mac);
    fields.ipAddress = Take<Ipv4Width>(data, offset::IpAddress);
    fields.netMask = Take<Ipv4Width>(data, offset::NetMask);
    fields.gateway = Take<Ipv4Width>(data, offset::Gateway);
    fields.description = Take<DescriptionWidth>(data, offset::RequestDescription);
    fields.password = Take<PasswordWidth>(data, offset::Password);
    fields.newPassword = Take<PasswordWidth>(data, offset::NewPassword);
    fields.newPasswordOverflow = data[offset::NewPasswordOverflow];
    return fields;
}

std::array<Byte, DiscoveryReplySize> EncodeDiscoveryReply(const DiscoveryReply& reply)
{
    std::array<Byte, DiscoveryReplySize> out{};
    WriteHeader(out.data(), OpDiscoveryReply);
    Put(out.data(), offset::Mac, reply.mac);
    Put(out.data(), offset::IpAddress, reply.ipAddress);
    Put(out.data(), offset::NetMask, reply.netMask);
    Put(out.data(), offset::Gateway, reply.gateway);
    Put(out.data(), offset::DeviceName, reply.deviceName);
    Put(out.data(), offset::Version, reply.version);
    Put(out.data(), offset::ReplyDescription, reply.description);
    return out;
}

std::array<Byte, ConfigReplySize> EncodeConfigReply(const ConfigReply& reply)
{
    std::array<Byte, ConfigReplySize> out{};
    WriteHeader(out.data(), OpConfigReply);
    Put(out.data(), offset::Mac, reply.mac);
    Put(out.data(), offset::Message, reply.message);
    return out;
}

}  // namespace quillon
