#include "platform/UdpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Error.h"

namespace quillon {

namespace {

[[noreturn]] void ThrowErrno(int error)
{
    throw PlatformError(std::strerror(error));
}

sockaddr_in MakeAddress(const std::string& address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (address.empty()) {
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        throw PlatformError("Invalid IPv4 address: " + address);
    }
    return sa;
}

}  // namespace

UdpSocket::UdpSocket()
{
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        ThrowErrno(errno);
}

UdpSocket::~UdpSocket() { Close(); }

void UdpSocket::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void UdpSocket::Bind(const std::string& address, std::uint16_t port)
{
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        ThrowErrno(errno);
}

void UdpSocket::SetReuseAddress(bool on)
{
    const int value = on ? 1 : 0;
    if (::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) != 0)
        ThrowErrno(errno);
}

void UdpSocket::SetBroadcast(bool on)
{
    const int value = on ? 1 : 0;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0)
        ThrowErrno(errno);
}

int UdpSocket::SetReceiveBuffer(int bytes, bool force)
{
    // The kernel doubles the value it is given and reports the doubled size.
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    if (force && ReceiveBufferSize() < bytes)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);  // needs privilege; may fail
    return ReceiveBufferSize();
}

int UdpSocket::ReceiveBufferSize() const
{
    int value = 0;
    socklen_t size = sizeof value;
    if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &value, &size) != 0)
        ThrowErrno(errno);
    return value;
}

void UdpSocket::SetNonBlocking(bool on)
{
    const int flags = ::fcntl(fd_, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) != 0)
        ThrowErrno(errno);
}

std::uint16_t UdpSocket::LocalPort() const
{
    sockaddr_in sa{};
    socklen_t size = sizeof sa;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &size) != 0)
        ThrowErrno(errno);
    return ntohs(sa.sin_port);
}

void UdpSocket::SendTo(const void* data, std::size_t length, const std::string& host, std::uint16_t port)
{
    const sockaddr_in sa = MakeAddress(host, port);
    for (;;) {
        const ssize_t sent =
            ::sendto(fd_, data, length, 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        if (sent >= 0)
            return;
        if (errno != EINTR)
            ThrowErrno(errno);
    }
}

std::optional<UdpSocket::Received> UdpSocket::Receive(void* buffer, std::size_t capacity)
{
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    // MSG_TRUNC makes the call report the datagram's real length, so that an
    // oversized datagram is recognised rather than silently cut.
    const ssize_t n =
        ::recvfrom(fd_, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return std::nullopt;
        ThrowErrno(errno);
    }
    Received r;
    r.fullLength = static_cast<std::size_t>(n);
    r.length = r.fullLength < capacity ? r.fullLength : capacity;
    r.sourceAddress = ntohl(from.sin_addr.s_addr);
    r.sourcePort = ntohs(from.sin_port);
    return r;
}

std::string Ipv4Text(std::uint32_t address)
{
    in_addr a{};
    a.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

}  // namespace quillon
