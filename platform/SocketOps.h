// What each TCP implementation provides to the shared part (platform/Tcp.cpp), the TLS streams
// and UDP: the socket calls whose waits and error codes differ between BSD sockets and Winsock.
// Not for use outside platform/.
#pragma once
#include "platform/Tcp.h"
#include <cstdint>
#include <cstring>

namespace kw::net::sock {

enum class TWaitFor { Read, Write, Connect };

// Starts the system's sockets once for the whole run (Winsock); nothing to do elsewhere.
void Start();
// The status of a call that failed with the system's error number `error`.
TNetStatus Failure(int error);
// The status of the socket call that has just failed (errno, WSAGetLastError()).
TNetStatus LastFailure();

// Waits until the socket is ready or `timeoutMs` has passed.
TNetStatus Wait(intptr_t handle, TWaitFor what, int timeoutMs);
// The status of a call on a socket that is not open.
TNetStatus NotOpen();
// Opens a non-blocking socket and connects it to `to` within `timeoutMs`.
TNetStatus ConnectTo(const TIpv4Endpoint& to, int timeoutMs, intptr_t& handle);
TNetStatus LocalAddress(intptr_t handle, TIpv4Endpoint& out);
// The address of the other end of a connected socket.
TNetStatus PeerAddress(intptr_t handle, TIpv4Endpoint& out);
// Shuts the sending side first, so the peer sees the end of data before the close.
void CloseGracefully(intptr_t handle) noexcept;
// Shuts the sending side only.
void ShutdownSend(intptr_t handle) noexcept;

// sockaddr_in in both worlds has the same fields; the port and address are kept in network
// byte order.
template <class TSockaddrIn>
TSockaddrIn ToSockaddrIn(const TIpv4Endpoint& e, int family) {
    TSockaddrIn a{};
    a.sin_family = static_cast<decltype(a.sin_family)>(family);
    const uint8_t port[2] = {static_cast<uint8_t>(e.Port >> 8), static_cast<uint8_t>(e.Port & 0xff)};
    std::memcpy(&a.sin_port, port, 2);
    std::memcpy(&a.sin_addr, e.Host, 4);
    return a;
}

template <class TSockaddrIn>
TIpv4Endpoint FromSockaddrIn(const TSockaddrIn& a) {
    TIpv4Endpoint e;
    std::memcpy(e.Host, &a.sin_addr, 4);
    uint8_t port[2];
    std::memcpy(port, &a.sin_port, 2);
    e.Port = static_cast<uint16_t>(port[0] << 8 | port[1]);
    return e;
}

} // namespace kw::net::sock
