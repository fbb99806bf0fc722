// What the simulated fleet looks like, read from the command line.
#pragma once

#include <string>
#include <vector>

#include <QStringList>

#include "protocol/Wire.h"

namespace quillon::devsim {

// Upper bound on all devices together (fleet, burst and foreign), so that one
// discovery cannot turn into an unbounded flood of replies.
inline constexpr int MaxDevices = 100000;

// Foreign devices carry this prefix instead of the vendor's.
inline constexpr std::array<Byte, 3> ForeignPrefix{0x02, 0x4B, 0x7F};

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

    int TotalDevices() const { return count + burst + foreign; }
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

}  // namespace quillon::devsim
