// UDP over BSD sockets: non-blocking, every wait through the TCP side's poll() with the
// caller's limit.
#include "platform/Udp.h"
#include "platform/SocketOps.h"
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kw::net {

namespace {

sockaddr_in ToSockaddr(const TIpv4Endpoint& e) { return sock::ToSockaddrIn<sockaddr_in>(e, AF_INET); }
bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINTR; }

} // namespace

TUdpSocket::~TUdpSocket() { Close(); }

void TUdpSocket::Close() noexcept {
    if (handle_ != InvalidHandle)
        ::close(static_cast<int>(handle_));
    handle_ = InvalidHandle;
}

TNetStatus TUdpSocket::Open(const TIpv4Endpoint& local) {
    Close();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return sock::LastFailure();
    handle_ = fd;
    const sockaddr_in a = ToSockaddr(local);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        const TNetStatus s = sock::LastFailure();
        Close();
        return s;
    }
    return {};
}

TNetStatus TUdpSocket::LocalEndpoint(TIpv4Endpoint& out) const {
    return IsOpen() ? sock::LocalAddress(handle_, out) : sock::NotOpen();
}

TNetStatus TUdpSocket::SendTo(const TIpv4Endpoint& to, const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return sock::NotOpen();
    const int fd = static_cast<int>(handle_);
    const sockaddr_in a = ToSockaddr(to);
    for (;;) {
        if (sendto(fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&a), sizeof a) >= 0)
            return {};
        if (!WouldBlock(errno))
            return sock::LastFailure();
        const TNetStatus s = sock::Wait(handle_, sock::TWaitFor::Write, timeoutMs);
        if (!s.ok())
            return s;
    }
}

TNetStatus TUdpSocket::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return sock::NotOpen();
    const int fd = static_cast<int>(handle_);
    for (;;) {
        const ssize_t n = recv(fd, buffer, capacity, 0);
        if (n >= 0) {
            received = static_cast<size_t>(n);
            return {};
        }
        if (!WouldBlock(errno))
            return sock::LastFailure();
        const TNetStatus s = sock::Wait(handle_, sock::TWaitFor::Read, timeoutMs);
        if (!s.ok())
            return s;
    }
}

} // namespace kw::net
