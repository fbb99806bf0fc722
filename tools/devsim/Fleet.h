// The simulated devices and what they answer to one datagram.
//
// No sockets here: the fleet takes the bytes of a received datagram and the
// address it came from, and gives back the datagrams to send to the reply
// port, each with the delay after which it is due and whether it goes to the
// requester or to the limited broadcast address. The simulator loop does the
// sending.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "protocol/Wire.h"
#include "tools/devsim/Settings.h"

namespace quillon::devsim {

struct Device {
    enum class Kind { Fleet, Burst, Foreign, Given };

    int number = 0;  // 1 up, over fleet, burst, foreign and given devices
    Kind kind = Kind::Fleet;
    bool silent = false;
    MacBytes mac{};
    Ipv4Bytes ipAddress{};
    Ipv4Bytes netMask{};
    Ipv4Bytes gateway{};
    std::array<Byte, DeviceNameWidth> name{};
    std::array<Byte, VersionWidth> version{};
    std::array<Byte, DescriptionWidth> description{};
    // The password as requests carry it: each byte through SwapNibbles. The
    // transform loses the low half of bytes from 0x80 up, so a device cannot
    // keep the plain text; it keeps and compares the transformed bytes.
    std::array<Byte, PasswordWidth> password{};
    Byte passwordOverflow = 0;  // a 17th character, plain, as a request gives it
};

struct Outgoing {
    std::vector<Byte> bytes;
    std::chrono::milliseconds delay{0};
    bool broadcast = false;  // to 255.255.255.255 instead of to the requester
};

struct Handling {
    std::vector<Outgoing> replies;  // in the order they are to be sent
    std::string summary;            // what the datagram was and what came of it
};

// The bytes of a password field for a plain password: its first 16 bytes,
// each through SwapNibbles, zero padded.
std::array<Byte, PasswordWidth> TransformedPassword(std::string_view plain);

// The datagrams --malformed adds to each discovery, in sending order.
std::vector<std::vector<Byte>> MalformedDatagrams();

class Fleet {
public:
    Fleet(const Settings& settings, unsigned seed);

    // `length` bytes of the datagram are at `data`; it came from
    // `requester` (an IPv4 address in host byte order).
    Handling Handle(const Byte* data, std::size_t length, std::uint32_t requester);

    const std::vector<Device>& Devices() const { return devices_; }

private:
    Handling Discovery(std::uint32_t requester);
    Handling Config(const ConfigRequestFields& request, std::uint32_t requester);
    std::chrono::milliseconds ReplyDelay(const Device& device);
    bool RepliesByBroadcast(const Device& device, std::uint32_t requester) const;
    void Add(Handling& handling, const Device& device, std::uint32_t requester, std::vector<Byte> bytes);

    Settings settings_;
    std::vector<Device> devices_;
    std::mt19937 random_;
};

}  // namespace quillon::devsim
