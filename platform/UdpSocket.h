// A thin IPv4 UDP socket over the operating system's sockets.
//
// Every failing call throws PlatformError with the socket layer's own text
// (strerror). The descriptor is closed by the destructor on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

class UdpSocket {
public:
    UdpSocket();  // opens the socket; throws on failure
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    int Descriptor() const { return fd_; }

    // Binds to a dotted IPv4 address ("" or "0.0.0.0" = every local
    // address) and port (0 = chosen by the system).
    void Bind(const std::string& address, std::uint16_t port);
    void SetReuseAddress(bool on);
    void SetBroadcast(bool on);
    // Asks for a receive buffer of `bytes`; with `force` also tries the
    // privileged variant that ignores the system's limit. Returns the
    // effective size the kernel reports back.
    int SetReceiveBuffer(int bytes, bool force);
    int ReceiveBufferSize() const;
    void SetNonBlocking(bool on);
    std::uint16_t LocalPort() const;

    // Sends one datagram to a dotted IPv4 host. Throws when the host text is
    // not an address or the send fails.
    void SendTo(const void* data, std::size_t length, const std::string& host, std::uint16_t port);

    struct Received {
        std::size_t length = 0;       // bytes stored in the buffer
        std::size_t fullLength = 0;   // the datagram's real length (may exceed the buffer)
        std::uint32_t sourceAddress = 0;  // host byte order
        std::uint16_t sourcePort = 0;
    };
    // Receives one datagram. Returns nullopt when nothing is waiting on a
    // non-blocking socket or the call was interrupted; throws on other errors.
    std::optional<Received> Receive(void* buffer, std::size_t capacity);

    void Close();

private:
    int fd_ = -1;
};

// "a.b.c.d" from an address in host byte order.
std::string Ipv4Text(std::uint32_t address);

}  // namespace quillon
