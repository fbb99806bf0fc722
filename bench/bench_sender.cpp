// bench_sender: sends datagrams to the reply port as fast as it can, from a
// process of its own, and reports when it sent the first and the last one.
//
//   bench_sender replies N [--first K]
//       N distinct discovery replies of listable devices: device i (from K,
//       default 1) has MAC 02-4B-7E-hh-mm-ll with i in the last three bytes.
//   bench_sender flood N [--valid-every K] [--seed S]
//       N foreign or malformed datagrams, and after every K of them (default
//       0: never) one discovery reply of a listable device, numbered from 1.
//   common options: --to ADDRESS (127.0.0.1), --port P (62631),
//                   --batch B (datagrams per system call, 64)
//
// Prints one line when done:
//   sent=<all> valid=<listable replies> first_ns=<t> last_ns=<t> errors=<n>
// with CLOCK_MONOTONIC times taken just before the first and just after the
// last send call. Refuses to run outside a loopback-only network namespace.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "bench/BenchCommon.h"
#include "protocol/Wire.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

struct Options {
    std::string mode;
    long count = 0;
    long first = 1;
    long validEvery = 0;
    unsigned seed = 1;
    std::string to = "127.0.0.1";
    int port = ReplyPort;
    unsigned batch = 64;
};

[[noreturn]] void Usage(const char* why)
{
    std::fprintf(stderr, "bench_sender: %s\nusage: bench_sender replies|flood N [--first K] [--valid-every K] "
                         "[--seed S] [--to ADDRESS] [--port P] [--batch B]\n", why);
    std::exit(2);
}

Options Parse(int argc, char** argv)
{
    if (argc < 3)
        Usage("missing arguments");
    Options o;
    o.mode = argv[1];
    if (o.mode != "replies" && o.mode != "flood")
        Usage("unknown mode");
    o.count = std::strtol(argv[2], nullptr, 10);
    if (o.count < 0 || o.count > 100000000)
        Usage("bad count");
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            Usage("option without value");
        const char* v = argv[++i];
        if (a == "--first")
            o.first = std::strtol(v, nullptr, 10);
        else if (a == "--valid-every")
            o.validEvery = std::strtol(v, nullptr, 10);
        else if (a == "--seed")
            o.seed = unsigned(std::strtoul(v, nullptr, 10));
        else if (a == "--to")
            o.to = v;
        else if (a == "--port")
            o.port = int(std::strtol(v, nullptr, 10));
        else if (a == "--batch")
            o.batch = unsigned(std::strtoul(v, nullptr, 10));
        else
            Usage("unknown option");
    }
    if (o.batch == 0 || o.batch > 1024)
        Usage("bad batch");
    return o;
}

// The discovery reply of listable device i.
std::vector<Byte> ValidReply(long i)
{
    DiscoveryReply r;
    r.mac = {0x02, 0x4B, 0x7E, Byte(i >> 16), Byte(i >> 8), Byte(i)};
    r.ipAddress = {127, Byte(1 + (i >> 16)), Byte(i >> 8), Byte(i)};
    r.netMask = {255, 0, 0, 0};
    r.gateway = {127, 0, 0, 254};
    r.deviceName = TextField<DeviceNameWidth>("BENCH-" + std::to_string(i));
    r.version = TextField<VersionWidth>("1.0.3");
    r.description = TextField<DescriptionWidth>("Benchmark device");
    const auto bytes = EncodeDiscoveryReply(r);
    return {bytes.begin(), bytes.end()};
}

// A pool of datagrams that the program must ignore: every way a datagram
// can fail the recognition rule or the listing rules, and noise.
std::vector<std::vector<Byte>> ForeignPool(unsigned seed)
{
    std::mt19937 random(seed);
    auto byte = [&random] { return Byte(random() & 0xFF); };
    std::vector<std::vector<Byte>> pool;
    for (int k = 0; k < 4096; ++k) {
        const long device = 1 + (k % 50000);
        std::vector<Byte> d = ValidReply(device);
        switch (k % 10) {
        case 0:  // noise of any length up to the largest handed on
            d.resize(1 + random() % MaxDatagramSize);
            for (Byte& b : d)
                b = byte();
            break;
        case 1:  // a foreign vendor prefix
            d[offset::Mac + 2] = 0x7F;
            break;
        case 2:  // the magic in lower case
            d[offset::Magic] = 't';
            break;
        case 3:  // byte 8 not zero
            d[offset::OpcodeHigh] = 0x01;
            break;
        case 4:  // a discovery request
            d.resize(DiscoveryRequestSize);
            d[offset::OpcodeLow] = OpDiscoveryRequest;
            break;
        case 5:  // a config request
            d.resize(ConfigRequestSize);
            d[offset::OpcodeLow] = OpConfigRequest;
            break;
        case 6:  // a reply cut short
            d.resize(PacketHeaderSize + random() % (DiscoveryReplySize - PacketHeaderSize));
            break;
        case 7:  // longer than the listener takes
            d.resize(MaxDatagramSize + 1 + random() % 400);
            break;
        case 8:  // empty
            d.clear();
            break;
        case 9:  // an unknown opcode
            d[offset::OpcodeLow] = byte() | 0x01;
            break;
        }
        pool.push_back(std::move(d));
    }
    return pool;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options o = Parse(argc, argv);
    RequireLoopbackOnly("bench_sender");

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::perror("bench_sender: socket");
        return 1;
    }
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        std::perror("bench_sender: bind");
        return 1;
    }
    int sendBuffer = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &sendBuffer, sizeof sendBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(std::uint16_t(o.port));
    if (::inet_pton(AF_INET, o.to.c_str(), &to.sin_addr) != 1)
        Usage("bad --to address");

    // Everything is built before the clock starts.
    std::vector<std::vector<Byte>> valid;
    std::vector<std::vector<Byte>> pool;
    std::vector<const std::vector<Byte>*> order;
    if (o.mode == "replies") {
        for (long i = 0; i < o.count; ++i)
            valid.push_back(ValidReply(o.first + i));
        for (const auto& d : valid)
            order.push_back(&d);
    } else {
        pool = ForeignPool(o.seed);
        const long validCount = o.validEvery > 0 ? o.count / o.validEvery : 0;
        for (long i = 0; i < validCount; ++i)
            valid.push_back(ValidReply(o.first + i));
        order.reserve(std::size_t(o.count + validCount));
        long v = 0;
        for (long i = 0; i < o.count; ++i) {
            order.push_back(&pool[std::size_t(i) % pool.size()]);
            if (o.validEvery > 0 && (i + 1) % o.validEvery == 0 && v < validCount)
                order.push_back(&valid[std::size_t(v++)]);
        }
    }

    std::vector<mmsghdr> messages(o.batch);
    std::vector<iovec> iov(o.batch);
    long errors = 0;
    std::size_t next = 0;
    const std::int64_t first = MonotonicNs();
    while (next < order.size()) {
        const unsigned n = unsigned(std::min<std::size_t>(o.batch, order.size() - next));
        for (unsigned i = 0; i < n; ++i) {
            const auto* d = order[next + i];
            iov[i] = {const_cast<Byte*>(d->data()), d->size()};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &to;
            messages[i].msg_hdr.msg_namelen = sizeof to;
            messages[i].msg_hdr.msg_iov = &iov[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int sent = ::sendmmsg(fd, messages.data(), n, 0);
        if (sent <= 0) {
            if (errno != EINTR && errno != ENOBUFS && errno != EAGAIN) {
                // The datagram at the head could not go; count it and move on.
                ++errors;
                ++next;
            }
            continue;
        }
        next += std::size_t(sent);
    }
    const std::int64_t last = MonotonicNs();
    ::close(fd);
    std::printf("sent=%zu valid=%zu first_ns=%lld last_ns=%lld errors=%ld\n", order.size() - std::size_t(errors),
                valid.size(), static_cast<long long>(first), static_cast<long long>(last), errors);
    return 0;
}
