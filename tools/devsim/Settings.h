// What the simulated fleet looks like, read from the command line.
#pragma once

#include <string>
#include <vector>

#include <QStringList>

#include "protocol/Wire.h"

namespace quillon::devsim {

// Upper bound on all devices together (fleet, burst, foreign and given), so that one
// discovery cannot turn into an unbounded flood of replies.
inline constexpr int MaxDevices = 100000;

// Foreign devices carry this prefix instead of the vendor's.
inline constexpr std::array<Byte, 3> ForeignPrefix{0x02, 0x4B, 0x7F};

// Where the devices send their replies.
enum class ReplyTo {
    Requester,  // to the request's source address (a device on the requester's subnet)
    Broadcast,  // to 255.255.255.255, out of the interface the request came in on
    Auto,       // per device: to the requester when it is on the device's own
                // subnet (the device's address and mask), otherwise broadcast, as a
                // device does that has no route back
};

// A device given one by one with --device, after the counted ones.
struct GivenDevice {
    Ipv4Bytes ipAddress{};
    Ipv4Bytes netMask{};
    Ipv4Bytes gateway{};
};

struct Settings {
    int count = 8;
    MacBytes firstMac{0x02, 0x4B, 0x7E, 0x00, 0x00, 0x01};
    Ipv4Bytes firstIp{127, 0, 1, 1};
    Ipv4Bytes netMask{255, 0, 0, 0};
    Ipv4Bytes gateway{127, 0, 0, 254};
    std::string namePattern = "SIM-%1";  // %1: the device number, 1 up
    std::string version = "1.0.3";
    std::string description = "Simulated device";
    std::string password = "admin";
    int delayMs = 0;
    int jitterMs = 0;
    int burst = 0;
    int foreign = 0;
    bool duplicate = false;
    bool malformed = false;
    std::vector<int> silent;  // device numbers, 1 up
    bool sameIp = false;
    bool quiet = false;
    std::vector<GivenDevice> given;
    ReplyTo replyTo = ReplyTo::Requester;
    // Serve only the segment of the interface that holds this address; empty:
    // every interface of the namespace.
    std::string bindAddress;

    // The devices whose addresses count up from firstIp.
    int CountedDevices() const { return count + burst + foreign; }
    int TotalDevices() const { return CountedDevices() + static_cast<int>(given.size()); }
};

struct CommandLine {
    enum class Action { Run, ShowHelp, Fail };
    Action action = Action::Run;
    Settings settings;
    std::string text;  // the help text, or the reason for refusing
};

// Reads the arguments (the first one is the program name). Every value is
// checked here, so that a fleet built from the result is always consistent.
CommandLine ParseCommandLine(const QStringList& arguments);

// Strict parsers for option values: exactly four decimal numbers 0..255
// joined by dots; six pairs of hex digits joined by '-' or ':'.
bool ParseIpv4Option(const std::string& text, Ipv4Bytes& out);
bool ParseMacOption(const std::string& text, MacBytes& out);
// "ADDRESS[,MASK[,GATEWAY]]"; the mask and gateway default to `defaults`'.
bool ParseDeviceOption(const std::string& text, const Settings& defaults, GivenDevice& out);

}  // namespace quillon::devsim
