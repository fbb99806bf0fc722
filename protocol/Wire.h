// The UDP protocol spoken with the devices: four messages of fixed layout.
//
// Every message is a run of raw bytes. There are no integers wider than a
// byte except the two-byte opcode, which is written most significant byte
// first. Nothing here copies a struct onto the wire: every field is read and
// written at its named offset, and every reader is told how many bytes
// arrived and never looks past them.
//
// Plain C++: no Qt, no widgets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

using Byte = std::uint8_t;
using MacBytes = std::array<Byte, 6>;
using Ipv4Bytes = std::array<Byte, 4>;

// Ports: requests go to the device port, replies come back to the reply port.
inline constexpr std::uint16_t DevicePort = 62630;
inline constexpr std::uint16_t ReplyPort = 62631;

// The MAC text of every device the program lists begins with this.
inline constexpr std::string_view VendorPrefix = "02-4B-7E";

// The first eight bytes of every message, upper and lower case as shown.
inline constexpr std::string_view Magic = "TOLVEXut";

// Byte 9 of the header names the message; byte 8 is always zero.
enum Opcode : Byte {
    OpDiscoveryRequest = 0x16,
    OpDiscoveryReply = 0x70,
    OpConfigRequest = 0x90,
    OpConfigReply = 0x30,
};

// Message sizes. The reply sizes are the bytes the program reads; a device
// may send more, which is never looked at.
inline constexpr std::size_t PacketHeaderSize = 16;
inline constexpr std::size_t DiscoveryRequestSize = 16;
inline constexpr std::size_t DiscoveryReplySize = 112;
inline constexpr std::size_t ConfigRequestSize = 98;
inline constexpr std::size_t ConfigReplySize = 48;
// Largest datagram the listener hands on; longer ones are dropped.
inline constexpr std::size_t MaxDatagramSize = 1024;

// Field widths.
inline constexpr std::size_t MagicWidth = 8;
inline constexpr std::size_t MacWidth = 6;
inline constexpr std::size_t Ipv4Width = 4;
inline constexpr std::size_t DeviceNameWidth = 32;
inline constexpr std::size_t VersionWidth = 16;
inline constexpr std::size_t DescriptionWidth = 32;
inline constexpr std::size_t PasswordWidth = 16;
inline constexpr std::size_t MessageWidth = 32;

// Byte offsets, counted from the first byte of the UDP payload.
namespace offset {
// PacketHeader, common to all four messages.
inline constexpr std::size_t Magic = 0;
inline constexpr std::size_t OpcodeHigh = 8;
inline constexpr std::size_t OpcodeLow = 9;
inline constexpr std::size_t Mac = 10;
// DiscoveryReply and ConfigRequest share the address fields.
inline constexpr std::size_t IpAddress = 20;
inline constexpr std::size_t NetMask = 24;
inline constexpr std::size_t Gateway = 28;
// DiscoveryReply.
inline constexpr std::size_t DeviceName = 32;
inline constexpr std::size_t Version = 64;
inline constexpr std::size_t ReplyDescription = 80;
// ConfigRequest.
inline constexpr std::size_t RequestDescription = 32;
inline constexpr std::size_t Password = 64;
inline constexpr std::size_t NewPassword = 80;
inline constexpr std::size_t NewPasswordOverflow = 96;  // 17th new-password character
// ConfigReply.
inline constexpr std::size_t Message = 16;
}  // namespace offset

// The password byte transform. Bytes below 0x80 have their halves exchanged;
// from 0x80 up the result is 0xF0 | (b >> 4): the low half is lost. Devices
// rely on exactly this mapping, so it is kept as it is.
Byte SwapNibbles(Byte b);

// "02-4B-7E-0A-1B-FF": two upper-case hex digits per byte, joined by '-'.
std::string MacText(const MacBytes& mac);
// "192.168.0.100": each byte unsigned decimal, no leading zeros.
std::string DottedDecimal(const Ipv4Bytes& address);

// The 16-byte DiscoveryRequest: magic, 00 16, six bytes FF.
std::array<Byte, DiscoveryRequestSize> BuildDiscoveryRequest();

// The 98-byte ConfigRequest, filled field by field in the order the update
// reads the device row. All bytes start as zero.
class ConfigRequest {
public:
    // Longest new password that fits: 16 transformed bytes plus one plain
    // byte in the overflow position.
    static constexpr std::size_t MaxNewPasswordLength = PasswordWidth + 1;

    ConfigRequest();

    void SetMac(const MacBytes& mac);
    void SetIpAddress(const Ipv4Bytes& value);
    void SetNetMask(const Ipv4Bytes& value);
    void SetGateway(const Ipv4Bytes& value);
    // The description byte for byte; at most 32 bytes are taken.
    void SetDescription(std::string_view text);
    // The first 16 bytes, each through SwapNibbles, zero padded.
    void SetPassword(std::string_view text);
    // Like the password; a 17th byte goes into the overflow byte unchanged.
    // A text of 18 bytes or more does not fit: it is refused (returns false)
    // and the field is left as it was.
    [[nodiscard]] bool SetNewPassword(std::string_view text);

    const std::array<Byte, ConfigRequestSize>& Bytes() const { return bytes_; }

private:
    std::array<Byte, ConfigRequestSize> bytes_{};
};

// What a received datagram is, by the recognition rule: magic, byte 8 zero,
// then byte 9. Anything shorter than a header is not a message.
enum class MessageKind { NotProtocol, DiscoveryReply, ConfigReply, OtherOpcode };
MessageKind Recognise(const Byte* data, std::size_t length);

struct DiscoveryReply {
    MacBytes mac{};
    Ipv4Bytes ipAddress{};
    Ipv4Bytes netMask{};
    Ipv4Bytes gateway{};
    std::array<Byte, DeviceNameWidth> deviceName{};
    std::array<Byte, VersionWidth> version{};
    std::array<Byte, DescriptionWidth> description{};
};

struct ConfigReply {
    MacBytes mac{};
    std::array<Byte, MessageWidth> message{};
};

// Decoders: nullopt unless the datagram is recognised as that message and at
// least as long as the bytes it reads (112 and 48). Bytes past those are not
// read.
std::optional<DiscoveryReply> DecodeDiscoveryReply(const Byte* data, std::size_t length);
std::optional<ConfigReply> DecodeConfigReply(const Byte* data, std::size_t length);

// The device side, used by the simulator and by tests that play a device.
struct ConfigRequestFields {
    MacBytes mac{};
    Ipv4Bytes ipAddress{};
    Ipv4Bytes netMask{};
    Ipv4Bytes gateway{};
    std::array<Byte, DescriptionWidth> description{};
    std::array<Byte, PasswordWidth> password{};     // as sent (transformed)
    std::array<Byte, PasswordWidth> newPassword{};  // as sent (transformed)
    Byte newPasswordOverflow = 0;                   // byte 96, plain
};
bool IsDiscoveryRequest(const Byte* data, std::size_t length);
std::optional<ConfigRequestFields> DecodeConfigRequest(const Byte* data, std::size_t length);
std::array<Byte, DiscoveryReplySize> EncodeDiscoveryReply(const DiscoveryReply& reply);
std::array<Byte, ConfigReplySize> EncodeConfigReply(const ConfigReply& reply);

// Copies a text into a fixed-width field: byte for byte, cut at the width,
// zero filled after it.
template <std::size_t N>
std::array<Byte, N> TextField(std::string_view text)
{
    std::array<Byte, N> field{};
    for (std::size_t i = 0; i < N && i < text.size(); ++i)
        field[i] = static_cast<Byte>(text[i]);
    return field;
}

// A text field's text: its bytes up to the first zero, all of them if none.
template <std::size_t N>
std::string FieldText(const std::array<Byte, N>& field)
{
    std::string text;
    for (Byte b : field) {
        if (b == 0)
            break;
        text.push_back(static_cast<char>(b));
    }
    return text;
}

}  // namespace quillon
