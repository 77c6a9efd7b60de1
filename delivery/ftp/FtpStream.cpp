// FTP connections in clear or over TLS.
#include "delivery/ftp/FtpStream.h"

namespace kw::ftp {

net::TNetStatus TFtpStream::StartTls(const net::TTlsPeerCheck& check, int timeoutMs, const TFtpStream* resumeFrom) {
    const net::TTlsStream* session = resumeFrom && resumeFrom->secure_ ? &resumeFrom->tls_ : nullptr;
    secure_ = true;  // even on failure: nothing more goes out in clear on this connection
    return tls_.Handshake(std::move(tcp_), check, timeoutMs, session);
}

net::TNetStatus TFtpStream::SendAll(const void* data, size_t size, int timeoutMs) {
    return secure_ ? tls_.SendAll(data, size, timeoutMs) : tcp_.SendAll(data, size, timeoutMs);
}

net::TNetStatus TFtpStream::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    return secure_ ? tls_.Receive(buffer, capacity, received, timeoutMs)
                   : tcp_.Receive(buffer, capacity, received, timeoutMs);
}

net::TNetStatus TFtpStream::LocalEndpoint(net::TIpv4Endpoint& out) const {
    return secure_ ? tls_.LocalEndpoint(out) : tcp_.LocalEndpoint(out);
}

void TFtpStream::Close() noexcept {
    tls_.Close();
    tcp_.Close();
    secure_ = false;
}

} // namespace kw::ftp
