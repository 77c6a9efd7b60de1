// UDP over Winsock: non-blocking, every wait through the TCP side's select() with the caller's
// limit.
#include "platform/Udp.h"
#include "platform/SocketOps.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace kw::net {

namespace {

SOCKET AsSocket(intptr_t h) { return static_cast<SOCKET>(h); }
sockaddr_in ToSockaddr(const TIpv4Endpoint& e) { return sock::ToSockaddrIn<sockaddr_in>(e, AF_INET); }

} // namespace

TUdpSocket::~TUdpSocket() { Close(); }

void TUdpSocket::Close() noexcept {
    if (handle_ != InvalidHandle)
        closesocket(AsSocket(handle_));
    handle_ = InvalidHandle;
}

TNetStatus TUdpSocket::Open(const TIpv4Endpoint& local) {
    Close();
    sock::Start();
    const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return sock::LastFailure();
    handle_ = static_cast<intptr_t>(s);
    u_long on = 1;
    const sockaddr_in a = ToSockaddr(local);
    if (ioctlsocket(s, FIONBIO, &on) != 0 || bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        const TNetStatus st = sock::LastFailure();
        Close();
        return st;
    }
    return {};
}

TNetStatus TUdpSocket::LocalEndpoint(TIpv4Endpoint& out) const {
    return IsOpen() ? sock::LocalAddress(handle_, out) : sock::NotOpen();
}

TNetStatus TUdpSocket::SendTo(const TIpv4Endpoint& to, const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return sock::NotOpen();
    if (size > 65535)
        return sock::Failure(WSAEMSGSIZE);
    const SOCKET s = AsSocket(handle_);
    const sockaddr_in a = ToSockaddr(to);
    for (;;) {
        if (sendto(s, static_cast<const char*>(data), static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(&a),
                   sizeof a) != SOCKET_ERROR)
            return {};
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return sock::LastFailure();
        const TNetStatus st = sock::Wait(handle_, sock::TWaitFor::Write, timeoutMs);
        if (!st.ok())
            return st;
    }
}

TNetStatus TUdpSocket::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return sock::NotOpen();
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
            return sock::LastFailure();
        const TNetStatus st = sock::Wait(handle_, sock::TWaitFor::Read, timeoutMs);
        if (!st.ok())
            return st;
    }
}

} // namespace kw::net
