// UDP over BSD sockets: non-blocking, every wait through poll() with the caller's limit.
#include "platform/Udp.h"
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kw::net {

namespace {

TNetStatus LastFailure() { return {TNetStatus::Failed, errno, SocketErrorText(errno)}; }

TNetStatus WaitReady(int fd, short events, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (n > 0)
            return {};
        if (n == 0)
            return {TNetStatus::TimedOut, 0, {}};
        if (errno != EINTR)
            return LastFailure();
    }
}

sockaddr_in ToSockaddr(const TIpv4Endpoint& e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(e.Port);
    std::memcpy(&a.sin_addr.s_addr, e.Host, 4);
    return a;
}

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
        return LastFailure();
    handle_ = fd;
    const sockaddr_in a = ToSockaddr(local);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        const TNetStatus s = LastFailure();
        Close();
        return s;
    }
    return {};
}

TNetStatus TUdpSocket::LocalEndpoint(TIpv4Endpoint& out) const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (!IsOpen())
        return {TNetStatus::Failed, EBADF, SocketErrorText(EBADF)};
    if (getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return LastFailure();
    std::memcpy(out.Host, &a.sin_addr.s_addr, 4);
    out.Port = ntohs(a.sin_port);
    return {};
}

TNetStatus TUdpSocket::SendTo(const TIpv4Endpoint& to, const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return {TNetStatus::Failed, EBADF, SocketErrorText(EBADF)};
    const int fd = static_cast<int>(handle_);
    const sockaddr_in a = ToSockaddr(to);
    for (;;) {
        if (sendto(fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&a), sizeof a) >= 0)
            return {};
        if (!WouldBlock(errno))
            return LastFailure();
        const TNetStatus s = WaitReady(fd, POLLOUT, timeoutMs);
        if (!s.ok())
            return s;
    }
}

TNetStatus TUdpSocket::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return {TNetStatus::Failed, EBADF, SocketErrorText(EBADF)};
    const int fd = static_cast<int>(handle_);
    for (;;) {
        const ssize_t n = recv(fd, buffer, capacity, 0);
        if (n >= 0) {
            received = static_cast<size_t>(n);
            return {};
        }
        if (!WouldBlock(errno))
            return LastFailure();
        const TNetStatus s = WaitReady(fd, POLLIN, timeoutMs);
        if (!s.ok())
            return s;
    }
}

} // namespace kw::net
