// The part of the TCP seam that is the same on every platform; the socket calls themselves are
// in posix/Tcp.cpp and win32/Tcp.cpp (platform/SocketOps.h).
#include "platform/Tcp.h"
#include "platform/NameLookup.h"
#include "platform/SocketOps.h"
#include <chrono>

namespace kw::net {

std::string TIpv4Endpoint::HostText() const {
    return std::to_string(Host[0]) + "." + std::to_string(Host[1]) + "." + std::to_string(Host[2]) + "." +
           std::to_string(Host[3]);
}

TTcpConnection::TTcpConnection(TTcpConnection&& other) noexcept : handle_(other.handle_) {
    other.handle_ = InvalidHandle;
}

TTcpConnection& TTcpConnection::operator=(TTcpConnection&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = InvalidHandle;
    }
    return *this;
}

TTcpConnection::~TTcpConnection() { Close(); }

void TTcpConnection::Close() noexcept {
    if (handle_ == InvalidHandle)
        return;
    sock::CloseGracefully(handle_);
    handle_ = InvalidHandle;
}

void TTcpConnection::ShutdownSend() noexcept {
    if (handle_ != InvalidHandle)
        sock::ShutdownSend(handle_);
}

void TTcpConnection::Finish(int timeoutMs) noexcept {
    if (handle_ == InvalidHandle)
        return;
    sock::ShutdownSend(handle_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    char buf[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        size_t got = 0;
        if (left <= 0 || !Receive(buf, sizeof buf, got, static_cast<int>(left)).ok())
            break;
    }
    Close();
}

TNetStatus TTcpConnection::Connect(const std::string& host, uint16_t port, int timeoutMs) {
    // The name lookup counts against the same limit as the connect itself.
    const auto start = std::chrono::steady_clock::now();
    TIpv4Endpoint to;
    TNetStatus s = LookUpWithin(host, to, timeoutMs);
    if (!s.ok())
        return s;
    to.Port = port;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const int left = timeoutMs - static_cast<int>(spent.count());
    return Connect(to, left > 0 ? left : 0);
}

TNetStatus TTcpConnection::Connect(const TIpv4Endpoint& to, int timeoutMs) {
    Close();
    intptr_t handle = InvalidHandle;
    TNetStatus s = sock::ConnectTo(to, timeoutMs, handle);
    if (s.ok())
        handle_ = handle;
    return s;
}

TNetStatus TTcpConnection::LocalEndpoint(TIpv4Endpoint& out) const {
    return IsOpen() ? sock::LocalAddress(handle_, out) : sock::NotOpen();
}

TNetStatus TTcpConnection::PeerEndpoint(TIpv4Endpoint& out) const {
    return IsOpen() ? sock::PeerAddress(handle_, out) : sock::NotOpen();
}

TTcpListener::~TTcpListener() { Close(); }

TNetStatus TTcpListener::LocalEndpoint(TIpv4Endpoint& out) const {
    return IsOpen() ? sock::LocalAddress(handle_, out) : sock::NotOpen();
}

} // namespace kw::net
