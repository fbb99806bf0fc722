// bench_drain: how fast the listener empties a socket queue that is already
// full, against a plain C recvfrom loop on an equal queue, in the same run.
//
//   bench_drain [--datagrams 50000] [--repeats 5]
//
// Each round fills two queues with the same datagrams (112-byte discovery
// replies) and drains them:
//  - plain:    a socket of its own, the same receive buffer, emptied by
//              recvfrom() into a 1025-byte buffer, one call per datagram;
//  - listener: the real ReplyListener on the reply port. Its thread is held
//              inside a signal handler while the queue fills, then let go;
//              the clock stops when the user-interface thread has been
//              handed the last datagram (the handler only counts).
// Both queues get a receive buffer big enough for all datagrams (the
// listener's own request is raised for this through its options), and the
// kernel's drop counter is checked after every fill.
//
// Run it inside a loopback-only network namespace (scripts/bench.sh).
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <netinet/in.h>
#include <semaphore.h>
#include <set>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "bench/BenchCommon.h"
#include "bench/BenchQt.h"
#include "operations/ReplyListener.h"
#include "protocol/Wire.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

// Large enough for 50,000 small datagrams: each one is charged about 830
// bytes against the buffer on loopback. The kernel doubles the request.
constexpr int ReceiveBufferRequest = 48 * 1024 * 1024;
constexpr std::uint16_t PlainPort = 40001;

std::vector<Byte> Datagram(long i)
{
    DiscoveryReply r;
    r.mac = {0x02, 0x4B, 0x7E, Byte(i >> 16), Byte(i >> 8), Byte(i)};
    r.deviceName = TextField<DeviceNameWidth>("DRAIN");
    const auto bytes = EncodeDiscoveryReply(r);
    return {bytes.begin(), bytes.end()};
}

// Sends `count` datagrams to 127.0.0.1:port and returns the kernel's drop
// count for the fill.
std::int64_t Fill(std::uint16_t port, long count)
{
    const std::int64_t before = ReadUdpCounters().rcvbufErrors;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (long i = 0; i < count; ++i) {
        const auto d = Datagram(i + 1);
        if (::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
            std::perror("bench_drain: sendto");
    }
    ::close(fd);
    return ReadUdpCounters().rcvbufErrors - before;
}

// ---- The plain loop ----

struct PlainResult {
    double seconds = 0;
    std::int64_t drops = 0;
    int buffer = 0;
};

PlainResult DrainPlain(long count)
{
    PlainResult result;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(PlainPort);
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        std::perror("bench_drain: bind");
        std::exit(1);
    }
    int request = ReceiveBufferRequest;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &request, sizeof request);
    socklen_t size = sizeof result.buffer;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &result.buffer, &size);
    result.drops = Fill(PlainPort, count);

    char buffer[MaxDatagramSize + 1];
    long taken = 0;
    volatile long kept = 0;  // what a handler would see
    const std::int64_t start = MonotonicNs();
    while (taken < count - result.drops) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::perror("bench_drain: recvfrom");
            break;
        }
        ++taken;
        if (n > 0 && std::size_t(n) <= MaxDatagramSize)
            kept = kept + 1;
    }
    result.seconds = double(MonotonicNs() - start) / 1e9;
    ::close(fd);
    return result;
}

// ---- The listener ----

// Holding the listener's thread: a signal handler that waits until it is
// let go. poll() in the thread then returns EINTR and the loop goes on.
sem_t parkRelease;
volatile std::sig_atomic_t parked = 0;

void Park(int)
{
    const int savedErrno = errno;
    parked = 1;
    while (::sem_wait(&parkRelease) != 0 && errno == EINTR) {
    }
    parked = 0;
    errno = savedErrno;
}

std::set<pid_t> Threads()
{
    std::set<pid_t> ids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.')
                ids.insert(pid_t(std::atol(e->d_name)));
        }
        ::closedir(dir);
    }
    return ids;
}

struct ListenerResult {
    double seconds = 0;
    std::int64_t drops = 0;
    int buffer = 0;
    bool ok = false;
};

ListenerResult DrainListener(long count)
{
    ListenerResult result;
    ReplyListener listener;
    long handled = 0;
    long target = count;
    std::int64_t lastHandled = 0;
    QEventLoop loop;
    listener.SetHandler([&](const Byte*, std::size_t) {
        if (++handled == target) {
            lastHandled = MonotonicNs();
            loop.quit();
        }
    });
    ReplyListener::Options options;
    options.receiveBufferRequest = ReceiveBufferRequest;
    const std::set<pid_t> before = Threads();
    listener.Start(options);
    result.buffer = listener.EffectiveReceiveBuffer();
    pid_t thread = 0;
    for (int attempt = 0; attempt < 100 && thread == 0; ++attempt) {
        for (pid_t id : Threads()) {
            if (before.count(id) == 0)
                thread = id;
        }
        if (thread == 0)
            ::usleep(1000);
    }
    if (thread == 0) {
        std::fprintf(stderr, "bench_drain: the listener's thread was not found\n");
        return result;
    }
    ::usleep(20000);  // let it reach its wait
    ::syscall(SYS_tgkill, ::getpid(), thread, SIGUSR1);
    while (!parked)
        ::usleep(100);

    result.drops = Fill(ReplyPort, count);
    target = count - result.drops;
    if (listener.Received() != 0) {
        std::fprintf(stderr, "bench_drain: the listener read while it was held\n");
        ::sem_post(&parkRelease);
        return result;
    }
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    const std::int64_t start = MonotonicNs();
    ::sem_post(&parkRelease);
    loop.exec();
    result.ok = handled == target;
    result.seconds = double(lastHandled - start) / 1e9;
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RequireLoopbackOnly("bench_drain");
    long count = 50000;
    int repeats = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--datagrams"))
            count = args[i + 1].toLong();
        else if (args[i] == QStringLiteral("--repeats"))
            repeats = std::max(1, args[i + 1].toInt());
    }

    ::sem_init(&parkRelease, 0, 0);
    struct sigaction action {};
    action.sa_handler = Park;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the thread's poll() must end
    ::sigaction(SIGUSR1, &action, nullptr);

    std::vector<double> plainRates, listenerRates;
    std::int64_t drops = 0;
    int plainBuffer = 0, listenerBuffer = 0;
    bool failed = false;
    for (int r = 0; r < repeats; ++r) {
        const PlainResult plain = DrainPlain(count);
        const ListenerResult listened = DrainListener(count);
        drops += plain.drops + listened.drops;
        plainBuffer = plain.buffer;
        listenerBuffer = listened.buffer;
        if (!listened.ok || plain.seconds <= 0 || listened.seconds <= 0) {
            failed = true;
            continue;
        }
        plainRates.push_back(double(count) / plain.seconds);
        listenerRates.push_back(double(count) / listened.seconds);
        std::fprintf(stderr, "  round %d: plain %.1f ms, listener %.1f ms\n", r + 1, plain.seconds * 1e3,
                     listened.seconds * 1e3);
    }
    const double plainRate = Median(plainRates);
    const double listenerRate = Median(listenerRates);
    std::printf("\n### Drain of a pre-filled queue of %ld datagrams (%d rounds, medians)\n\n", count, repeats);
    std::printf("| loop | receive buffer | drain time ms | datagrams/s |\n|---|---|---|---|\n");
    std::printf("| plain recvfrom | %d MiB | %.1f | %.0f |\n", plainBuffer / (1024 * 1024),
                plainRate > 0 ? 1e3 * double(count) / plainRate : 0.0, plainRate);
    std::printf("| ReplyListener (to the UI thread) | %d MiB | %.1f | %.0f |\n", listenerBuffer / (1024 * 1024),
                listenerRate > 0 ? 1e3 * double(count) / listenerRate : 0.0, listenerRate);
    std::printf("\nlistener / plain: %.2f (target >= 0.5); kernel drops during the fills: %lld\n",
                plainRate > 0 ? listenerRate / plainRate : 0.0, static_cast<long long>(drops));
    return failed || drops != 0 ? 1 : 0;
}
