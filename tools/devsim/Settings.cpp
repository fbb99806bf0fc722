#include "tools/devsim/Settings.h"

#include <cstdint>

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace quillon::devsim {

namespace {

const char* const Description = R"(Plays a fleet of Quillon devices on the device side of the UDP protocol.

All devices share one UDP socket bound to 0.0.0.0:62630 (with --bind, on one
interface only). Each device answers
  - a discovery request (magic, 00 16) with a 112-byte discovery reply,
  - a config request (00 90, 98 bytes or more) that names its MAC: with
    "Setting OK" after taking the new address, mask, gateway, description
    and (when one is given) new password, when the request carries its
    current password; with "Password Error", changing nothing, otherwise.
    Requests for a MAC outside the fleet are ignored.
Replies go to port 62631: by default to the request's source address; with
--reply-to broadcast or auto to 255.255.255.255, out of the interface the
request came in on. Nothing is ever sent except such replies. Later discovery
replies report changed values.

Devices are numbered 1 up: first the fleet (--count), then the burst devices
(--burst), then the foreign ones (--foreign), then those given one by one
(--device). MACs count up from --first-mac over all of them; addresses count
up from --first-ip over all but the given ones, which carry their own.
Foreign devices carry the prefix 02-4B-7F. Starting inside 127.0.0.0/8, no
counted address may leave it: a fleet that would is refused.

One line per handled datagram goes to stdout (unless --quiet); the first line,
"quillon-devsim: N devices listening on 0.0.0.0:62630", is printed once bound
(also with --quiet). SIGINT or SIGTERM end it with exit status 0; pending
delayed replies are dropped. Exit status 1: the port could not be bound (or
no interface holds the --bind address); 2: a bad command line.

Run it only in a network namespace of its own, for example:
  unshare -n sh -c 'ip link set lo up; quillon-devsim'
)";

struct Fail {
    std::string text;
};

int NumberOption(const QCommandLineParser& parser, const QString& name, int low, int high)
{
    bool ok = false;
    const QString text = parser.value(name);
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        throw Fail{"--" + name.toStdString() + ": expected a whole number from " + std::to_string(low) +
                   " to " + std::to_string(high) + ", got \"" + text.toStdString() + "\""};
    return value;
}

std::uint32_t AsNumber(const Ipv4Bytes& a)
{
    return (std::uint32_t{a[0]} << 24) | (std::uint32_t{a[1]} << 16) | (std::uint32_t{a[2]} << 8) | a[3];
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseIpv4Option(const std::string& text, Ipv4Bytes& out)
{
    Ipv4Bytes value{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
        unsigned number = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            number = number * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || number > 255)
            return false;
        value[part] = static_cast<Byte>(number);
    }
    if (at != text.size())
        return false;
    out = value;
    return true;
}

bool ParseMacOption(const std::string& text, MacBytes& out)
{
    if (text.size() != 17)
        return false;
    MacBytes value{};
    for (std::size_t i = 0; i < 6; ++i) {
        const int high = HexDigit(text[3 * i]);
        const int low = HexDigit(text[3 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        if (i < 5 && text[3 * i + 2] != '-' && text[3 * i + 2] != ':')
            return false;
        value[i] = static_cast<Byte>(high * 16 + low);
    }
    out = value;
    return true;
}

bool ParseDeviceOption(const std::string& text, const Settings& defaults, GivenDevice& out)
{
    GivenDevice device{{}, defaults.netMask, defaults.gateway};
    Ipv4Bytes* const parts[] = {&device.ipAddress, &device.netMask, &device.gateway};
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        const std::size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (i >= 3 || !ParseIpv4Option(part, *parts[i]))
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    out = device;
    return true;
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    const Settings defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"}, "Show this text and exit.");
    parser.addOption(help);

    const auto valueOption = [&parser](const char* name, const char* valueName, const QString& text) {
        parser.addOption(QCommandLineOption(name, text, valueName));
    };
    const auto flagOption = [&parser](const char* name, const QString& text) {
        parser.addOption(QCommandLineOption(name, text));
    };
    valueOption("count", "N", "Number of devices in the fleet (default 8).");
    valueOption("first-mac", "MAC",
                "MAC of device 1, as 02-4B-7E-00-00-01 or with ':' (default 02-4B-7E-00-00-01). "
                "Each further device counts up by one; the first three bytes must not change.");
    valueOption("first-ip", "ADDRESS",
                "IPv4 address of device 1 (default 127.0.1.1); each further device counts up by one.");
    valueOption("mask", "ADDRESS", "Network mask of every device (default 255.0.0.0).");
    valueOption("gateway", "ADDRESS", "Default gateway of every device (default 127.0.0.254).");
    valueOption("name", "PATTERN",
                "Device name; every %1 becomes the device number (default \"SIM-%1\"). "
                "Cut to 32 bytes; exactly 32 leave no terminating zero.");
    valueOption("version", "TEXT", "Version text of every device, cut to 16 bytes (default \"1.0.3\").");
    valueOption("description", "TEXT",
                "Description of every device, cut to 32 bytes (default \"Simulated device\").");
    valueOption("password", "TEXT",
                "Password of every device (default \"admin\"). Requests carry 16 bytes of it, so only "
                "the first 16 bytes are ever checked.");
    valueOption("delay", "MS", "Every reply waits this many milliseconds (default 0).");
    valueOption("jitter", "MS",
                "Plus a random 0..MS milliseconds, drawn anew for every reply (default 0).");
    valueOption("burst", "N",
                "N more devices, after the fleet, that answer at once, back to back, "
                "ignoring --delay and --jitter (default 0).");
    valueOption("foreign", "N",
                "N more devices, after the burst, whose MACs begin 02-4B-7F; they answer like the "
                "others (default 0).");
    flagOption("duplicate", "Send every reply, discovery and config, twice in a row.");
    flagOption("malformed",
               "With each discovery also send, at once, to the same address and port 62631: replies "
               "cut to 111, 48 and 10 bytes, one with the magic in lower case, one with byte 8 = 01, "
               "one with the discovery request opcode 00 16 and one with the config request opcode "
               "00 90, an empty datagram and a 1500-byte one. Those long enough carry a MAC "
               "02-4B-7E-EE-EE-xx, outside the fleet, and a name starting \"BAD\".");
    valueOption("device", "ADDRESS[,MASK[,GATEWAY]]",
                "One more device, after all others, with this address (and mask and gateway; by default "
                "those of --mask and --gateway), for instance one still on its factory address outside "
                "the segment's subnet. May be given more than once; the same address twice makes two "
                "devices that share it.");
    valueOption("reply-to", "MODE",
                "Where replies go: \"requester\" (default) to the request's source address; "
                "\"broadcast\" to 255.255.255.255, out of the interface the request came in on; "
                "\"auto\" per device: to the requester when its address is on the device's own "
                "subnet (device address and mask), otherwise broadcast, as a device does that has "
                "no route back.");
    valueOption("bind", "ADDRESS",
                "Serve one segment only: listen on the interface that holds ADDRESS (0.0.0.0:62630 "
                "bound to that interface), so that requests arriving on other interfaces are never "
                "seen and every reply leaves by it.");
    valueOption("silent", "N", "Device N never answers anything; may be given more than once.");
    flagOption("same-ip", "Device 2 takes the address of device 1.");
    flagOption("quiet", "Print only the listening line and errors.");

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Fail;
        result.text = parser.errorText().toStdString();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::ShowHelp;
        result.text = parser.helpText().toStdString();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::Fail;
        result.text = "unexpected argument \"" + parser.positionalArguments().first().toStdString() + "\"";
        return result;
    }

    try {
        Settings& s = result.settings;
        if (parser.isSet("count"))
            s.count = NumberOption(parser, "count", 0, MaxDevices);
        if (parser.isSet("burst"))
            s.burst = NumberOption(parser, "burst", 0, MaxDevices);
        if (parser.isSet("foreign"))
            s.foreign = NumberOption(parser, "foreign", 0, MaxDevices);
        if (parser.isSet("delay"))
            s.delayMs = NumberOption(parser, "delay", 0, 3600000);
        if (parser.isSet("jitter"))
            s.jitterMs = NumberOption(parser, "jitter", 0, 3600000);
        const auto address = [&parser](const char* name, Ipv4Bytes& out) {
            if (parser.isSet(name) && !ParseIpv4Option(parser.value(name).toStdString(), out))
                throw Fail{std::string("--") + name + ": not an IPv4 address: \"" +
                           parser.value(name).toStdString() + "\""};
        };
        address("first-ip", s.firstIp);
        address("mask", s.netMask);
        address("gateway", s.gateway);
        for (const QString& value : parser.values("device")) {
            GivenDevice device;
            if (!ParseDeviceOption(value.toStdString(), s, device))
                throw Fail{"--device: expected ADDRESS[,MASK[,GATEWAY]] such as 203.0.113.50,255.255.255.0, got \"" +
                           value.toStdString() + "\""};
            s.given.push_back(device);
        }
        if (s.TotalDevices() > MaxDevices)
            throw Fail{"--count, --burst, --foreign and --device together exceed " + std::to_string(MaxDevices) +
                       " devices"};

        if (parser.isSet("reply-to")) {
            const QString mode = parser.value("reply-to");
            if (mode == "requester")
                s.replyTo = ReplyTo::Requester;
            else if (mode == "broadcast")
                s.replyTo = ReplyTo::Broadcast;
            else if (mode == "auto")
                s.replyTo = ReplyTo::Auto;
            else
                throw Fail{"--reply-to: expected requester, broadcast or auto, got \"" + mode.toStdString() + "\""};
        }
        if (parser.isSet("bind")) {
            Ipv4Bytes bound{};
            const std::string text = parser.value("bind").toStdString();
            if (!ParseIpv4Option(text, bound) || AsNumber(bound) == 0 || AsNumber(bound) == 0xFFFFFFFFu)
                throw Fail{"--bind: expected the IPv4 address of one of this namespace's interfaces, got \"" +
                           text + "\""};
            s.bindAddress = DottedDecimal(bound);
        }
        if (parser.isSet("first-mac") && !ParseMacOption(parser.value("first-mac").toStdString(), s.firstMac))
            throw Fail{"--first-mac: not a MAC such as 02-4B-7E-00-00-01: \"" +
                       parser.value("first-mac").toStdString() + "\""};

        // Texts go out byte for byte; take the arguments' own bytes.
        const auto text = [&parser](const char* name, std::string& out) {
            if (parser.isSet(name))
                out = parser.value(name).toLocal8Bit().toStdString();
        };
        text("name", s.namePattern);
        text("version", s.version);
        text("description", s.description);
        text("password", s.password);

        s.duplicate = parser.isSet("duplicate");
        s.malformed = parser.isSet("malformed");
        s.sameIp = parser.isSet("same-ip");
        s.quiet = parser.isSet("quiet");
        const int total = s.TotalDevices();
        for (const QString& value : parser.values("silent")) {
            bool ok = false;
            const int n = value.trimmed().toInt(&ok);
            if (!ok || n < 1 || n > total)
                throw Fail{"--silent: expected a device number from 1 to " + std::to_string(total) + ", got \"" +
                           value.toStdString() + "\""};
            s.silent.push_back(n);
        }
        if (s.sameIp && total < 2)
            throw Fail{"--same-ip needs at least two devices"};

        // Counting must not carry into the MAC prefix ...
        if (total > 0) {
            const std::uint32_t low = (std::uint32_t{s.firstMac[3]} << 16) | (std::uint32_t{s.firstMac[4]} << 8) |
                                      s.firstMac[5];
            if (low + static_cast<std::uint32_t>(total - 1) > 0xFFFFFF)
                throw Fail{"--first-mac: counting " + std::to_string(total) + " devices up from " +
                           MacText(s.firstMac) + " would change the first three bytes"};
        }
        // ... nor wrap the counted addresses, nor leave the loopback range
        // they start in. Given devices carry their own addresses.
        if (const int counted = s.CountedDevices(); counted > 0) {
            const std::uint64_t first = AsNumber(s.firstIp);
            const std::uint64_t last = first + static_cast<std::uint64_t>(counted - 1);
            if (last > 0xFFFFFFFFu)
                throw Fail{"--first-ip: counting " + std::to_string(counted) + " devices up from " +
                           DottedDecimal(s.firstIp) + " runs past 255.255.255.255"};
            if ((first >> 24) == 127 && (last >> 24) != 127)
                throw Fail{"counting " + std::to_string(counted) + " devices up from " + DottedDecimal(s.firstIp) +
                           " would leave 127.0.0.0/8; use fewer devices or give --first-ip outside it"};
        }
    } catch (const Fail& fail) {
        result.action = CommandLine::Action::Fail;
        result.text = fail.text;
    }
    return result;
}

}  // namespace quillon::devsim
