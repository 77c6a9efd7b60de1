// TCP over BSD sockets. Sockets are kept non-blocking and every wait goes through poll() with
// the caller's time limit, so a silent peer costs at most that limit.
#include "platform/Tcp.h"
#include "platform/NameLookup.h"
#include "platform/SocketOps.h"
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <type_traits>
#include <sys/socket.h>
#include <unistd.h>

namespace kw::net {

namespace {

using Clock = std::chrono::steady_clock;

TNetStatus Failure(int error) { return {TNetStatus::Failed, error, SocketErrorText(error)}; }
TNetStatus LastFailure() { return Failure(errno); }

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Waits until `fd` is ready for `events` or `timeoutMs` has passed; retries after signals
// with the time that is left.
TNetStatus WaitReady(int fd, short events, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (n > 0)
            return {};
        if (n == 0)
            return {TNetStatus::TimedOut, 0, {}};
        if (errno != EINTR)
            return LastFailure();
    }
}

sockaddr_in ToSockaddr(const TIpv4Endpoint& e) { return sock::ToSockaddrIn<sockaddr_in>(e, AF_INET); }
TIpv4Endpoint FromSockaddr(const sockaddr_in& a) { return sock::FromSockaddrIn(a); }

int NewSocket() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && !SetNonBlocking(fd)) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}


} // namespace

std::string SocketErrorText(int error) {
    char buf[256] = {0};
    // GNU strerror_r may return a static string instead of filling buf; handle both forms.
    auto pick = [&](auto result) -> std::string {
        if constexpr (std::is_same_v<decltype(result), char*>)
            return result ? result : buf;
        else
            return buf;
    };
    std::string text = pick(strerror_r(error, buf, sizeof buf));
    return text.empty() ? TextOf(TMessage::Of("SocketError", {std::to_string(error)})) : text;
}

TNetStatus SystemNameLookup(const std::string& host, TIpv4Endpoint& out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (rc != 0 || list == nullptr) {
        std::string text = rc == EAI_SYSTEM ? SocketErrorText(errno) : gai_strerror(rc);
        return {TNetStatus::Failed, rc, host + ": " + text};
    }
    out = FromSockaddr(*reinterpret_cast<const sockaddr_in*>(list->ai_addr));
    freeaddrinfo(list);
    return {};
}

// --- socket calls for the shared part ---------------------------------------------------------

namespace sock {

void Start() {}
TNetStatus Failure(int error) { return net::Failure(error); }
TNetStatus LastFailure() { return net::LastFailure(); }

TNetStatus Wait(intptr_t handle, TWaitFor what, int timeoutMs) {
    return WaitReady(static_cast<int>(handle), what == TWaitFor::Read ? POLLIN : POLLOUT, timeoutMs);
}

TNetStatus NotOpen() { return Failure(EBADF); }

void CloseGracefully(intptr_t handle) noexcept {
    const int fd = static_cast<int>(handle);
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

void ShutdownSend(intptr_t handle) noexcept { ::shutdown(static_cast<int>(handle), SHUT_WR); }

TNetStatus LocalAddress(intptr_t handle, TIpv4Endpoint& out) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return LastFailure();
    out = FromSockaddr(a);
    return {};
}

TNetStatus PeerAddress(intptr_t handle, TIpv4Endpoint& out) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getpeername(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return LastFailure();
    out = FromSockaddr(a);
    return {};
}

TNetStatus ConnectTo(const TIpv4Endpoint& to, int timeoutMs, intptr_t& handle) {
    const int fd = NewSocket();
    if (fd < 0)
        return LastFailure();
    const sockaddr_in a = ToSockaddr(to);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        if (errno != EINPROGRESS) {
            const TNetStatus s = LastFailure();
            ::close(fd);
            return s;
        }
        TNetStatus s = WaitReady(fd, POLLOUT, timeoutMs);
        int err = 0;
        socklen_t len = sizeof err;
        if (s.ok() && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        if (s.ok() && err != 0)
            s = Failure(err);
        if (!s.ok()) {
            ::close(fd);
            return s;
        }
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // commands are small
    handle = fd;
    return {};
}

} // namespace sock

// --- TTcpConnection --------------------------------------------------------------------------

TNetStatus TTcpConnection::SendAll(const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return Failure(EBADF);
    const int fd = static_cast<int>(handle_);
    const char* p = static_cast<const char*>(data);
    // One limit for the whole call: a peer that takes a few bytes now and then cannot stretch it.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return LastFailure();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return {TNetStatus::TimedOut, 0, {}};
        TNetStatus s = WaitReady(fd, POLLOUT, static_cast<int>(left));
        if (!s.ok())
            return s;
    }
    return {};
}

TNetStatus TTcpConnection::SendSome(const void* data, size_t size, size_t& sent) {
    sent = 0;
    if (!IsOpen())
        return Failure(EBADF);
    for (;;) {
        const ssize_t n = ::send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent = static_cast<size_t>(n);
            return {};
        }
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? TNetStatus() : LastFailure();
    }
}

TNetStatus TTcpConnection::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return Failure(EBADF);
    const int fd = static_cast<int>(handle_);
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, capacity, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return {};
        }
        if (n == 0)
            return {TNetStatus::Closed, 0, {}};
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LastFailure();
        TNetStatus s = WaitReady(fd, POLLIN, timeoutMs);
        if (!s.ok())
            return s;
    }
}

// --- TTcpListener ----------------------------------------------------------------------------

void TTcpListener::Close() noexcept {
    if (handle_ != TTcpConnection::InvalidHandle)
        ::close(static_cast<int>(handle_));
    handle_ = TTcpConnection::InvalidHandle;
}

TNetStatus TTcpListener::Listen(const TIpv4Endpoint& local, int backlog) {
    Close();
    const int fd = NewSocket();
    if (fd < 0)
        return LastFailure();
    const sockaddr_in a = ToSockaddr(local);
    // Without it a port with connections of a closed listener in TIME_WAIT stays refused for
    // minutes; Linux still refuses a second listener on a port in use.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0) {
        const TNetStatus s = LastFailure();
        ::close(fd);
        return s;
    }
    handle_ = fd;
    return {};
}

TNetStatus TTcpListener::Accept(TTcpConnection& out, int timeoutMs, TIpv4Endpoint* peer) {
    if (!IsOpen())
        return Failure(EBADF);
    const int fd = static_cast<int>(handle_);
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const int c = ::accept4(fd, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (c >= 0) {
            if (peer)
                *peer = FromSockaddr(from);
            out = TTcpConnection();
            out.handle_ = c;
            return {};
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LastFailure();
        TNetStatus s = WaitReady(fd, POLLIN, timeoutMs);
        if (!s.ok())
            return s;
    }
}

TNetStatus WaitAny(TSocketWait* sockets, size_t count, int timeoutMs) {
    if (count > MaxWaitSockets)
        return Failure(EINVAL);
    pollfd fds[MaxWaitSockets];
    for (size_t i = 0; i < count; ++i) {
        const short events = static_cast<short>((sockets[i].Read ? POLLIN : 0) | (sockets[i].Write ? POLLOUT : 0));
        fds[i] = pollfd{static_cast<int>(sockets[i].Handle), events, 0};
        sockets[i].Readable = sockets[i].Writable = false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int n = poll(fds, static_cast<nfds_t>(count), left > 0 ? static_cast<int>(left) : 0);
        if (n == 0)
            return {TNetStatus::TimedOut, 0, {}};
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return LastFailure();
        for (size_t i = 0; i < count; ++i) {
            const short r = fds[i].revents;
            // An error or a hang-up shows as readable: the read that follows reports it.
            sockets[i].Readable = sockets[i].Read && (r & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
            sockets[i].Writable = sockets[i].Write && (r & (POLLOUT | POLLERR | POLLHUP)) != 0;
        }
        return {};
    }
}

} // namespace kw::net
