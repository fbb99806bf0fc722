#include "tools/devsim/Simulator.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <queue>
#include <string>
#include <sys/socket.h>

#include "platform/Error.h"
#include "platform/UdpSocket.h"

namespace quillon::devsim {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) { stopSignal = signal; }

// SIGINT and SIGTERM stay blocked except while the loop waits in ppoll, so a
// signal either ends the wait at once or is seen before the next one starts.
sigset_t BlockStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &stops, &previous);
    sigdelset(&previous, SIGINT);
    sigdelset(&previous, SIGTERM);
    return previous;
}

struct Pending {
    Clock::time_point due;
    std::uint64_t order = 0;  // keeps replies due at the same time in sending order
    std::uint32_t host = 0;   // the requester, or 255.255.255.255
    unsigned interfaceIndex = 0;  // where the request came in; broadcasts leave there
    std::vector<Byte> bytes;
};

constexpr std::uint32_t LimitedBroadcast = 0xFFFFFFFFu;

// The name of the interface that holds `address`, or an empty text.
std::string InterfaceHolding(const std::string& address)
{
    in_addr wanted{};
    if (::inet_pton(AF_INET, address.c_str(), &wanted) != 1)
        return {};
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    std::string name;
    for (const ifaddrs* entry = list; entry != nullptr && name.empty(); entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == wanted.s_addr)
            name = entry->ifa_name;
    }
    ::freeifaddrs(list);
    return name;
}

struct Arrival {
    std::size_t length = 0;
    std::uint32_t sourceAddress = 0;  // host byte order
    std::uint16_t sourcePort = 0;
    unsigned interfaceIndex = 0;
};

// One datagram with the interface it came in on (IP_PKTINFO). nullopt when
// nothing is waiting; throws on other errors.
std::optional<Arrival> ReceiveOne(int fd, std::vector<Byte>& buffer)
{
    sockaddr_in from{};
    iovec data{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return std::nullopt;
        throw PlatformError(std::strerror(errno));
    }
    Arrival arrival;
    arrival.length = static_cast<std::size_t>(n);
    arrival.sourceAddress = ntohl(from.sin_addr.s_addr);
    arrival.sourcePort = ntohs(from.sin_port);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            arrival.interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
        }
    }
    return arrival;
}

// A limited broadcast out of one interface: without a default route the
// kernel knows no way for 255.255.255.255 unless it is told the interface.
void SendBroadcast(int fd, const Pending& reply)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(ReplyPort);
    to.sin_addr.s_addr = htonl(LimitedBroadcast);
    iovec data{const_cast<Byte*>(reply.bytes.data()), reply.bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(reply.interfaceIndex);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    if (::sendmsg(fd, &message, 0) < 0)
        throw PlatformError(std::strerror(errno));
}

struct LaterFirst {
    bool operator()(const Pending& a, const Pending& b) const
    {
        return a.due != b.due ? a.due > b.due : a.order > b.order;
    }
};

void PrintLine(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Send(UdpSocket& socket, const Pending& reply)
{
    const std::string host = Ipv4Text(reply.host);
    try {
        if (reply.host == LimitedBroadcast)
            SendBroadcast(socket.Descriptor(), reply);
        else
            socket.SendTo(reply.bytes.data(), reply.bytes.size(), host, ReplyPort);
    } catch (const PlatformError& error) {
        // One failed reply (no route back, say) does not end the simulator.
        std::fprintf(stderr, "quillon-devsim: sending %zu bytes to %s:%u failed: %s\n", reply.bytes.size(),
                     host.c_str(), unsigned{ReplyPort}, error.what());
    }
}

}  // namespace

int RunSimulator(Fleet& fleet, const LoopOptions& options)
{
    const bool quiet = options.quiet;
    const sigset_t waitMask = BlockStopSignals();

    // One segment only: a socket bound to a unicast address would never see
    // the limited broadcasts that discovery uses, so the socket stays on
    // 0.0.0.0 and is tied to the interface instead.
    std::string interfaceName;
    if (!options.bindAddress.empty()) {
        interfaceName = InterfaceHolding(options.bindAddress);
        if (interfaceName.empty()) {
            std::fprintf(stderr, "quillon-devsim: --bind %s: no interface of this namespace holds that address\n",
                         options.bindAddress.c_str());
            return 1;
        }
    }

    UdpSocket socket;
    try {
        socket.SetReuseAddress(true);
        socket.SetBroadcast(true);
        socket.SetReceiveBuffer(1 << 20, true);
        const int on = 1;
        if (::setsockopt(socket.Descriptor(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
            throw PlatformError(std::strerror(errno));
        if (!interfaceName.empty() &&
            ::setsockopt(socket.Descriptor(), SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                         static_cast<socklen_t>(interfaceName.size())) != 0)
            throw PlatformError("SO_BINDTODEVICE " + interfaceName + ": " + std::strerror(errno));
        socket.Bind("0.0.0.0", DevicePort);
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "quillon-devsim: cannot bind UDP 0.0.0.0:%u: %s\n", unsigned{DevicePort},
                     error.what());
        return 1;
    }
    PrintLine("quillon-devsim: " + std::to_string(fleet.Devices().size()) + " devices listening on 0.0.0.0:" +
              std::to_string(DevicePort) +
              (interfaceName.empty() ? "" : " of " + interfaceName + " (" + options.bindAddress + ") only"));

    std::priority_queue<Pending, std::vector<Pending>, LaterFirst> queue;
    std::uint64_t order = 0;
    std::vector<Byte> buffer(65536);

    while (stopSignal == 0) {
        const auto now = Clock::now();
        while (!queue.empty() && queue.top().due <= now) {
            Send(socket, queue.top());
            queue.pop();
        }

        timespec timeout{};
        const timespec* wait = nullptr;
        if (!queue.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(queue.top().due - now);
            timeout.tv_sec = static_cast<std::time_t>(left.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(left.count() % 1000000000);
            wait = &timeout;
        }
        pollfd watch{socket.Descriptor(), POLLIN, 0};
        const int ready = ::ppoll(&watch, 1, wait, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "quillon-devsim: waiting for datagrams failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (ready == 0 || (watch.revents & POLLIN) == 0)
            continue;

        std::optional<Arrival> received;
        try {
            received = ReceiveOne(socket.Descriptor(), buffer);
        } catch (const PlatformError& error) {
            std::fprintf(stderr, "quillon-devsim: receiving failed: %s\n", error.what());
            continue;
        }
        if (!received)
            continue;

        const auto arrived = Clock::now();
        Handling handling = fleet.Handle(buffer.data(), received->length, received->sourceAddress);
        for (Outgoing& reply : handling.replies) {
            Pending pending{arrived + reply.delay, order++,
                            reply.broadcast ? LimitedBroadcast : received->sourceAddress, received->interfaceIndex,
                            std::move(reply.bytes)};
            if (reply.delay.count() == 0)
                Send(socket, pending);  // due now: no detour through the queue
            else
                queue.push(std::move(pending));
        }
        if (!quiet)
            PrintLine(Ipv4Text(received->sourceAddress) + ":" + std::to_string(received->sourcePort) + " " +
                      handling.summary);
    }

    if (!quiet)
        PrintLine("quillon-devsim: stopped by " + std::string(stopSignal == SIGINT ? "SIGINT" : "SIGTERM") +
                  (queue.empty() ? "" : ", " + std::to_string(queue.size()) + " delayed replies dropped"));
    return 0;
}

}  // namespace quillon::devsim
