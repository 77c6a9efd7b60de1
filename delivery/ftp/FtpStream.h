// One FTP connection (control or data) that starts in clear and may be switched to TLS: the
// control connection after "AUTH TLS", a data connection right after it opened.
#pragma once
#include "platform/Tcp.h"
#include "platform/Tls.h"

namespace kw::ftp {

class TFtpStream {
public:
    net::TTcpConnection& Tcp() noexcept { return tcp_; }
    bool Secure() const noexcept { return secure_; }
    const net::TTlsStream& Tls() const noexcept { return tls_; }

    // Runs the TLS handshake over the open connection; `resumeFrom` offers the control
    // connection's session to a data connection.
    [[nodiscard]] net::TNetStatus StartTls(const net::TTlsPeerCheck& check, int timeoutMs,
                                           const TFtpStream* resumeFrom = nullptr);

    [[nodiscard]] net::TNetStatus SendAll(const void* data, size_t size, int timeoutMs);
    [[nodiscard]] net::TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs);
    [[nodiscard]] net::TNetStatus LocalEndpoint(net::TIpv4Endpoint& out) const;

    bool IsOpen() const noexcept { return secure_ ? tls_.IsOpen() : tcp_.IsOpen(); }
    void Close() noexcept;

private:
    net::TTcpConnection tcp_;
    net::TTlsStream tls_;
    bool secure_ = false;
};

} // namespace kw::ftp
