// FTP connections in clear or over TLS.
#include "delivery/ftp/FtpStream.h"
#include <chrono>
#include <cstring>

namespace kw::ftp {

net::TNetStatus TFtpSocketStream::Connect(const std::string& host, uint16_t port, int timeoutMs) {
    Close(0);
    net::TNetStatus s = tcp_.Connect(host, port, timeoutMs);
    if (s.ok())
        s = tcp_.PeerEndpoint(peer_);
    return s;
}

net::TNetStatus TFtpSocketStream::Connect(const net::TIpv4Endpoint& to, int timeoutMs) {
    Close(0);
    net::TNetStatus s = tcp_.Connect(to, timeoutMs);
    if (s.ok())
        peer_ = to;
    return s;
}

net::TNetStatus TFtpSocketStream::Listen(const net::TIpv4Endpoint& local, net::TIpv4Endpoint& listening) {
    Close(0);
    net::TNetStatus s = listener_.Listen(local);
    if (s.ok())
        s = listener_.LocalEndpoint(listening);
    return s;
}

net::TNetStatus TFtpSocketStream::AcceptFrom(const net::TIpv4Endpoint& peer, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        net::TIpv4Endpoint from;
        const net::TNetStatus s = listener_.Accept(tcp_, left > 0 ? static_cast<int>(left) : 0, &from);
        if (!s.ok())
            return s;
        // Only the server we talk to may bring the data: anyone else could feed a listing or
        // take the page (the port is announced in clear).
        if (std::memcmp(from.Host, peer.Host, sizeof from.Host) == 0) {
            peer_ = from;
            listener_.Close();
            return {};
        }
        tcp_.Close();
    }
}

net::TNetStatus TFtpSocketStream::StartTls(const net::TTlsPeerCheck& check, int timeoutMs, const IFtpStream* resumeFrom) {
    const auto* from = dynamic_cast<const TFtpSocketStream*>(resumeFrom);
    const net::TTlsStream* session = from && from->secure_ ? &from->tls_ : nullptr;
    secure_ = true;  // even on failure: nothing more goes out in clear on this connection
    return tls_.Handshake(std::move(tcp_), check, timeoutMs, session);
}

net::TNetStatus TFtpSocketStream::SendAll(const void* data, size_t size, int timeoutMs) {
    return secure_ ? tls_.SendAll(data, size, timeoutMs) : tcp_.SendAll(data, size, timeoutMs);
}

net::TNetStatus TFtpSocketStream::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    return secure_ ? tls_.Receive(buffer, capacity, received, timeoutMs)
                   : tcp_.Receive(buffer, capacity, received, timeoutMs);
}

net::TNetStatus TFtpSocketStream::LocalEndpoint(net::TIpv4Endpoint& out) const {
    if (listener_.IsOpen())
        return listener_.LocalEndpoint(out);
    return secure_ ? tls_.LocalEndpoint(out) : tcp_.LocalEndpoint(out);
}

net::TNetStatus TFtpSocketStream::PeerEndpoint(net::TIpv4Endpoint& out) const {
    if (!IsOpen())
        return tcp_.PeerEndpoint(out);  // the seam's "not open"
    out = peer_;
    return {};
}

void TFtpSocketStream::Close(int timeoutMs) noexcept {
    tls_.Close(timeoutMs);
    tcp_.Close();
    listener_.Close();
    secure_ = false;
}

TFtpStreamMaker SocketStreams() {
    return [] { return std::make_unique<TFtpSocketStream>(); };
}

} // namespace kw::ftp
