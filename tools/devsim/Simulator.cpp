#include "tools/devsim/Simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ctime>
#include <poll.h>
#include <queue>
#include <string>

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
    std::uint32_t host = 0;
    std::vector<Byte> bytes;
};

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
        socket.SendTo(reply.bytes.data(), reply.bytes.size(), host, ReplyPort);
    } catch (const PlatformError& error) {
        // One failed reply (no route back, say) does not end the simulator.
        std::fprintf(stderr, "quillon-devsim: sending %zu bytes to %s:%u failed: %s\n", reply.bytes.size(),
                     host.c_str(), unsigned{ReplyPort}, error.what());
    }
}

}  // namespace

int RunSimulator(Fleet& fleet, bool quiet)
{
    const sigset_t waitMask = BlockStopSignals();

    UdpSocket socket;
    try {
        socket.SetReuseAddress(true);
        socket.SetBroadcast(true);
        socket.SetReceiveBuffer(1 << 20, true);
        socket.Bind("0.0.0.0", DevicePort);
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "quillon-devsim: cannot bind UDP 0.0.0.0:%u: %s\n", unsigned{DevicePort},
                     error.what());
        return 1;
    }
    PrintLine("quillon-devsim: " + std::to_string(fleet.Devices().size()) + " devices listening on 0.0.0.0:" +
              std::to_string(DevicePort));

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

        std::optional<UdpSocket::Received> received;
        try {
            received = socket.Receive(buffer.data(), buffer.size());
        } catch (const PlatformError& error) {
            std::fprintf(stderr, "quillon-devsim: receiving failed: %s\n", error.what());
            continue;
        }
        if (!received)
            continue;

        const auto arrived = Clock::now();
        Handling handling = fleet.Handle(buffer.data(), received->length);
        for (Outgoing& reply : handling.replies) {
            Pending pending{arrived + reply.delay, order++, received->sourceAddress, std::move(reply.bytes)};
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
