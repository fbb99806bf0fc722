// Small helpers shared by the benchmark programs: clocks, memory figures,
// the kernel's UDP counters and the guard that keeps every benchmark inside
// a private network namespace.
//
// Header only and free of Qt, so that the plain sender can use it as well.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <net/if.h>
#include <sstream>
#include <string>

namespace quillon::bench {

// CLOCK_MONOTONIC is one clock for every process on the machine, so times
// taken in two processes can be subtracted.
inline std::int64_t MonotonicNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// CPU time of the calling thread.
inline std::int64_t ThreadCpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1.
inline long StatusKiB(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    }
    return -1;
}

inline long RssKiB() { return StatusKiB("VmRSS"); }

// The kernel's UDP counters of this network namespace (/proc/net/snmp).
struct UdpCounters {
    std::int64_t inDatagrams = 0;
    std::int64_t inErrors = 0;
    std::int64_t rcvbufErrors = 0;
};

inline UdpCounters ReadUdpCounters()
{
    std::ifstream in("/proc/net/snmp");
    std::string names, values, line;
    while (std::getline(in, line)) {
        if (line.rfind("Udp:", 0) != 0)
            continue;
        if (names.empty())
            names = line;
        else {
            values = line;
            break;
        }
    }
    UdpCounters c;
    std::istringstream n(names), v(values);
    std::string name, value;
    while (n >> name && v >> value) {
        const std::int64_t x = std::strtoll(value.c_str(), nullptr, 10);
        if (name == "InDatagrams")
            c.inDatagrams = x;
        else if (name == "InErrors")
            c.inErrors = x;
        else if (name == "RcvbufErrors")
            c.rcvbufErrors = x;
    }
    return c;
}

// True when loopback is the only network interface: the process runs in a
// private network namespace and nothing it sends can leave the machine.
inline bool LoopbackOnly()
{
    struct if_nameindex* list = ::if_nameindex();
    if (list == nullptr)
        return false;
    bool onlyLoopback = true;
    for (const struct if_nameindex* i = list; i->if_index != 0; ++i) {
        if (std::strcmp(i->if_name, "lo") != 0)
            onlyLoopback = false;
    }
    ::if_freenameindex(list);
    return onlyLoopback;
}

// Every benchmark that opens a socket calls this first.
inline void RequireLoopbackOnly(const char* program)
{
    if (!LoopbackOnly()) {
        std::fprintf(stderr,
                     "%s: refusing to run: this network namespace has interfaces besides loopback.\n"
                     "Run it through scripts/bench.sh or tests/netns-run.sh.\n",
                     program);
        std::exit(3);
    }
}

}  // namespace quillon::bench
