// One FTP connection (control or data) that starts in clear and may be switched to TLS: the
// control connection after "AUTH TLS", a data connection right after it opened.
//
// The client reaches its connections only through IFtpStream, so the whole negotiation can also
// run against a peer in memory (the FTPS fuzzer plays a hostile server that way, thousands of
// sessions a second); the program uses TFtpSocketStream, TCP with TLS over the platform seam.
#pragma once
#include "platform/Tcp.h"
#include "platform/Tls.h"
#include <functional>
#include <memory>
#include <string>

namespace kw::ftp {

class IFtpStream {
public:
    virtual ~IFtpStream() = default;

    // Opens the connection: to a named host (the control connection) or to an address (a passive
    // data connection), within `timeoutMs`.
    [[nodiscard]] virtual net::TNetStatus Connect(const std::string& host, uint16_t port, int timeoutMs) = 0;
    [[nodiscard]] virtual net::TNetStatus Connect(const net::TIpv4Endpoint& to, int timeoutMs) = 0;
    // Listens on `local` (port 0: any) for the server's active data connection; LocalEndpoint
    // then names the port. AcceptFrom takes the first connection from `peer` within `timeoutMs`;
    // connections from elsewhere are closed unheard.
    [[nodiscard]] virtual net::TNetStatus Listen(const net::TIpv4Endpoint& local, net::TIpv4Endpoint& listening) = 0;
    [[nodiscard]] virtual net::TNetStatus AcceptFrom(const net::TIpv4Endpoint& peer, int timeoutMs) = 0;

    // Runs the TLS handshake over the open connection; `resumeFrom` offers the control
    // connection's session to a data connection.
    [[nodiscard]] virtual net::TNetStatus StartTls(const net::TTlsPeerCheck& check, int timeoutMs,
                                                   const IFtpStream* resumeFrom = nullptr) = 0;
    virtual bool Secure() const noexcept = 0;
    // SHA-256 of the server's certificate, once a handshake got one (also a refused one).
    virtual std::string PeerSha256() const = 0;

    [[nodiscard]] virtual net::TNetStatus SendAll(const void* data, size_t size, int timeoutMs) = 0;
    [[nodiscard]] virtual net::TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) = 0;
    [[nodiscard]] virtual net::TNetStatus LocalEndpoint(net::TIpv4Endpoint& out) const = 0;
    [[nodiscard]] virtual net::TNetStatus PeerEndpoint(net::TIpv4Endpoint& out) const = 0;

    virtual bool IsOpen() const noexcept = 0;
    // Closes; a TLS connection sends its close alert and reads what the peer still sends for at
    // most `timeoutMs`.
    virtual void Close(int timeoutMs = 1000) noexcept = 0;
};

// Makes the streams of one client (its control connection and each data connection).
using TFtpStreamMaker = std::function<std::unique_ptr<IFtpStream>()>;

// TCP over the platform seam, TLS by the platform's TLS stream.
class TFtpSocketStream final : public IFtpStream {
public:
    net::TNetStatus Connect(const std::string& host, uint16_t port, int timeoutMs) override;
    net::TNetStatus Connect(const net::TIpv4Endpoint& to, int timeoutMs) override;
    net::TNetStatus Listen(const net::TIpv4Endpoint& local, net::TIpv4Endpoint& listening) override;
    net::TNetStatus AcceptFrom(const net::TIpv4Endpoint& peer, int timeoutMs) override;
    net::TNetStatus StartTls(const net::TTlsPeerCheck& check, int timeoutMs, const IFtpStream* resumeFrom) override;
    bool Secure() const noexcept override { return secure_; }
    std::string PeerSha256() const override { return tls_.PeerSha256(); }
    net::TNetStatus SendAll(const void* data, size_t size, int timeoutMs) override;
    net::TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) override;
    net::TNetStatus LocalEndpoint(net::TIpv4Endpoint& out) const override;
    net::TNetStatus PeerEndpoint(net::TIpv4Endpoint& out) const override;
    bool IsOpen() const noexcept override { return secure_ ? tls_.IsOpen() : tcp_.IsOpen(); }
    void Close(int timeoutMs = 1000) noexcept override;

private:
    net::TTcpConnection tcp_;
    net::TTcpListener listener_;
    net::TTlsStream tls_;
    net::TIpv4Endpoint peer_;  // kept: a TLS stream does not tell it
    bool secure_ = false;
};

TFtpStreamMaker SocketStreams();

} // namespace kw::ftp
