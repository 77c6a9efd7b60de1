// UDP over Winsock: non-blocking, every wait through select() with the caller's limit.
#include "platform/Udp.h"
#include <chrono>
#include <cstring>
#include <mutex>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace kw::net {

namespace {

// Winsock counts its users: this start is our own and, like TCP's, lasts the whole run.
void EnsureWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

TNetStatus Failure(int error) { return {TNetStatus::Failed, error, SocketErrorText(error)}; }
TNetStatus LastFailure() { return Failure(WSAGetLastError()); }

SOCKET AsSocket(intptr_t h) { return static_cast<SOCKET>(h); }

TNetStatus WaitReady(SOCKET s, bool forRead, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left < 0)
            left = 0;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv;
        tv.tv_sec = static_cast<long>(left / 1000000);
        tv.tv_usec = static_cast<long>(left % 1000000);
        const int n = select(0, forRead ? &set : nullptr, forRead ? nullptr : &set, nullptr, &tv);
        if (n > 0)
            return {};
        if (n == 0)
            return {TNetStatus::TimedOut, 0, {}};
        if (WSAGetLastError() != WSAEINTR)
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

} // namespace

TUdpSocket::~TUdpSocket() { Close(); }

void TUdpSocket::Close() noexcept {
    if (handle_ != InvalidHandle)
        closesocket(AsSocket(handle_));
    handle_ = InvalidHandle;
}

TNetStatus TUdpSocket::Open(const TIpv4Endpoint& local) {
    Close();
    EnsureWinsock();
    const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return LastFailure();
    handle_ = static_cast<intptr_t>(s);
    u_long on = 1;
    const sockaddr_in a = ToSockaddr(local);
    if (ioctlsocket(s, FIONBIO, &on) != 0 || bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        const TNetStatus st = LastFailure();
        Close();
        return st;
    }
    return {};
}

TNetStatus TUdpSocket::LocalEndpoint(TIpv4Endpoint& out) const {
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    sockaddr_in a{};
    int len = static_cast<int>(sizeof a);
    if (getsockname(AsSocket(handle_), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return LastFailure();
    std::memcpy(out.Host, &a.sin_addr.s_addr, 4);
    out.Port = ntohs(a.sin_port);
    return {};
}

TNetStatus TUdpSocket::SendTo(const TIpv4Endpoint& to, const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    if (size > 65535)
        return Failure(WSAEMSGSIZE);
    const SOCKET s = AsSocket(handle_);
    const sockaddr_in a = ToSockaddr(to);
    for (;;) {
        if (sendto(s, static_cast<const char*>(data), static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(&a),
                   sizeof a) != SOCKET_ERROR)
            return {};
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return LastFailure();
        const TNetStatus st = WaitReady(s, false, timeoutMs);
        if (!st.ok())
            return st;
    }
}

TNetStatus TUdpSocket::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    const SOCKET s = AsSocket(handle_);
    const int cap = capacity > 65535 ? 65535 : static_cast<int>(capacity);
    for (;;) {
        const int n = recv(s, static_cast<char*>(buffer), cap, 0);
        if (n != SOCKET_ERROR) {
            received = static_cast<size_t>(n);
            return {};
        }
        // A datagram longer than the buffer: its first `capacity` bytes, as on POSIX.
        if (WSAGetLastError() == WSAEMSGSIZE) {
            received = static_cast<size_t>(cap);
            return {};
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return LastFailure();
        const TNetStatus st = WaitReady(s, true, timeoutMs);
        if (!st.ok())
            return st;
    }
}

} // namespace kw::net
