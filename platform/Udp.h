// UDP datagrams, IPv4, for text targets such as RDS encoders (one command per datagram).
// Every call that can wait takes a time limit in milliseconds. Winsock on Windows, BSD sockets
// elsewhere; status values and texts as for TCP (platform/Tcp.h).
#pragma once
#include "platform/Tcp.h"
#include <cstddef>
#include <cstdint>

namespace kw::net {

class TUdpSocket {
public:
    TUdpSocket() = default;
    TUdpSocket(const TUdpSocket&) = delete;
    TUdpSocket& operator=(const TUdpSocket&) = delete;
    ~TUdpSocket();

    // Opens the socket and binds it to `local` (port 0: the system chooses; LocalEndpoint
    // tells which). A sender binds to 0.0.0.0:0.
    [[nodiscard]] TNetStatus Open(const TIpv4Endpoint& local = {});
    [[nodiscard]] TNetStatus LocalEndpoint(TIpv4Endpoint& out) const;

    // Sends one datagram of `size` bytes to `to`, waiting at most `timeoutMs` for room to send.
    [[nodiscard]] TNetStatus SendTo(const TIpv4Endpoint& to, const void* data, size_t size, int timeoutMs);

    // Receives one datagram, up to `capacity` bytes (the rest of a longer one is lost), waiting
    // at most `timeoutMs` for it.
    [[nodiscard]] TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs);

    bool IsOpen() const noexcept { return handle_ != InvalidHandle; }
    void Close() noexcept;

private:
    static constexpr intptr_t InvalidHandle = -1;
    intptr_t handle_ = InvalidHandle;
};

} // namespace kw::net
