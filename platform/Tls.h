// TLS client streams over a connected TCP connection, for FTP over TLS: the control connection
// and each data connection. Every wait takes the caller's time limit, as on the TCP seam.
// SChannel on Windows, OpenSSL elsewhere.
//
// The server's certificate is checked either by the system's trust store and the server's name,
// or, when the work trusts one certificate, by that certificate's SHA-256 fingerprint alone
// (self-signed servers). A refused certificate's fingerprint is kept, so the error can show it.
#pragma once
#include "platform/Tcp.h"
#include <memory>
#include <string>

namespace kw::net {

struct TTlsPeerCheck {
    std::string ServerName;  // sent in the handshake and checked against the certificate
    // Empty: trust store and name. Otherwise 64 hex digits (colons and case do not matter):
    // exactly this certificate is trusted.
    std::string TrustedSha256;
};

// Lower-case hex digits of a fingerprint typed with or without colons or spaces; empty when
// `text` is not a SHA-256 fingerprint.
std::string NormalizeSha256Text(const std::string& text);

class TTlsStream {
public:
    TTlsStream();
    TTlsStream(const TTlsStream&) = delete;
    TTlsStream& operator=(const TTlsStream&) = delete;
    TTlsStream(TTlsStream&& other) noexcept;
    TTlsStream& operator=(TTlsStream&& other) noexcept;
    ~TTlsStream();

    // Takes over `tcp` and runs the client handshake within `timeoutMs`. With `resumeFrom`
    // (an open stream to the same server), the session of that stream is offered for reuse,
    // as FTP servers demand on data connections. A failure leaves the stream closed; a refused
    // certificate's fingerprint stays readable through PeerSha256().
    [[nodiscard]] TNetStatus Handshake(TTcpConnection&& tcp, const TTlsPeerCheck& check, int timeoutMs,
                                       const TTlsStream* resumeFrom = nullptr);

    [[nodiscard]] TNetStatus SendAll(const void* data, size_t size, int timeoutMs);
    // As TTcpConnection::Receive: Closed when the peer ended the stream.
    [[nodiscard]] TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs);
    [[nodiscard]] TNetStatus LocalEndpoint(TIpv4Endpoint& out) const;

    // Whether the last handshake reused the offered session.
    bool Resumed() const noexcept;
    // SHA-256 of the server certificate (64 lower-case hex digits) once the handshake got it.
    const std::string& PeerSha256() const noexcept;

    bool IsOpen() const noexcept;
    // Sends the closing alert (waiting at most `timeoutMs` for the peer to take it) and closes
    // the connection.
    void Close(int timeoutMs = 1000) noexcept;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

} // namespace kw::net
