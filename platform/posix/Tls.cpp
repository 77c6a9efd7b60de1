// TLS client over OpenSSL, on the non-blocking socket of a TTcpConnection: every call that
// would block waits through the socket seam with the caller's limit.
#include "platform/Tls.h"
#include "platform/Sha256.h"
#include "platform/SocketOps.h"
#include <cerrno>
#include <chrono>
#include <sys/socket.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace kw::net {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One context for the process: the system's trust store, TLS 1.2 at least.
SSL_CTX* ClientContext() {
    static SSL_CTX* ctx = [] {
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        if (c) {
            SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
            SSL_CTX_set_default_verify_paths(c);
            SSL_CTX_set_session_cache_mode(c, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL);
        }
        return c;
    }();
    return ctx;
}

std::string OpenSslErrorText(const char* what) {
    std::string text;
    while (const unsigned long e = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!text.empty())
            text += "; ";
        text += buf;
    }
    return text.empty() ? std::string(what) : std::string(what) + ": " + text;
}

std::string CertificateSha256(X509* cert) {
    if (!cert)
        return {};
    unsigned char* der = nullptr;
    const int len = i2d_X509(cert, &der);
    if (len <= 0)
        return {};
    std::string hex = Sha256Hex(std::string_view(reinterpret_cast<const char*>(der), static_cast<size_t>(len)));
    OPENSSL_free(der);
    return hex;
}

// OpenSSL's own socket BIO writes with write(): a peer that has closed would raise SIGPIPE and
// end the process. This one sends with MSG_NOSIGNAL, as the TCP seam does; the socket stays
// non-blocking, so "would block" becomes a retry and the caller waits through the seam.
int SocketOf(BIO* bio) { return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio))); }

int BioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(SocketOf(bio), data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(SocketOf(bio), data, static_cast<size_t>(size), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kw socket");
        if (m) {
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioControl);
            BIO_meth_set_create(m, BioCreate);
        }
        return m;
    }();
    return method;
}

// Keeps the fingerprint of the certificate being checked, so a refused one can be shown.
int KeepPeerFingerprint(int preverified, X509_STORE_CTX* store) {
    SSL* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* sha = ssl ? static_cast<std::string*>(SSL_get_app_data(ssl)) : nullptr;
    if (sha && sha->empty())
        *sha = CertificateSha256(X509_STORE_CTX_get0_cert(store));
    return preverified;
}

} // namespace

struct TTlsStream::TImpl {
    TTcpConnection Tcp;
    SSL* Ssl = nullptr;
    bool Resumed = false;
    std::string PeerSha256;

    ~TImpl() { Free(); }
    void Free() noexcept {
        if (Ssl)
            SSL_free(Ssl);
        Ssl = nullptr;
        Tcp.Close();
    }

    // After an SSL call returned `rc`: waits for what OpenSSL needs, or says what failed.
    // `retry` is set when the call is to be made again.
    TNetStatus Settle(int rc, Clock::time_point deadline, bool& retry, const char* what) {
        retry = false;
        const int err = SSL_get_error(Ssl, rc);
        if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
            const int left = MsLeft(deadline);
            if (left == 0)
                return {TNetStatus::TimedOut, 0, {}};
            const TNetStatus s = sock::Wait(Tcp.NativeHandle(),
                                            err == SSL_ERROR_WANT_READ ? sock::TWaitFor::Read : sock::TWaitFor::Write, left);
            retry = s.ok();
            return s;
        }
        if (err == SSL_ERROR_ZERO_RETURN)
            return {TNetStatus::Closed, 0, {}};
        if (err == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
            ERR_clear_error();
            return {TNetStatus::Closed, 0, {}};  // the peer dropped the connection without an alert
        }
        const TNetStatus s{TNetStatus::Failed, err, OpenSslErrorText(what)};
        ERR_clear_error();
        return s;
    }
};

TTlsStream::TTlsStream() : impl_(std::make_unique<TImpl>()) {}
TTlsStream::TTlsStream(TTlsStream&& other) noexcept = default;
TTlsStream& TTlsStream::operator=(TTlsStream&& other) noexcept = default;
TTlsStream::~TTlsStream() { Close(0); }

bool TTlsStream::IsOpen() const noexcept { return impl_ && impl_->Ssl && impl_->Tcp.IsOpen(); }
bool TTlsStream::Resumed() const noexcept { return impl_ && impl_->Resumed; }

const std::string& TTlsStream::PeerSha256() const noexcept {
    static const std::string none;
    return impl_ ? impl_->PeerSha256 : none;
}

TNetStatus TTlsStream::LocalEndpoint(TIpv4Endpoint& out) const {
    return impl_ ? impl_->Tcp.LocalEndpoint(out) : sock::NotOpen();
}

TNetStatus TTlsStream::Handshake(TTcpConnection&& tcp, const TTlsPeerCheck& check, int timeoutMs,
                                 const TTlsStream* resumeFrom) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    if (!impl_)
        impl_ = std::make_unique<TImpl>();
    impl_->Free();
    impl_->Resumed = false;
    impl_->PeerSha256.clear();
    impl_->Tcp = std::move(tcp);
    const std::string pinned = NormalizeSha256Text(check.TrustedSha256);
    if (!check.TrustedSha256.empty() && pinned.empty()) {
        impl_->Free();
        return {TNetStatus::Failed, 0, {}, "BadFingerprint"};
    }
    SSL_CTX* ctx = ClientContext();
    impl_->Ssl = ctx ? SSL_new(ctx) : nullptr;
    BIO* bio = impl_->Ssl && impl_->Tcp.IsOpen() && SocketMethod() ? BIO_new(SocketMethod()) : nullptr;
    if (bio) {
        BIO_set_data(bio, reinterpret_cast<void*>(impl_->Tcp.NativeHandle()));
        SSL_set_bio(impl_->Ssl, bio, bio);  // the SSL object owns the BIO from here
    }
    if (!bio) {
        const TNetStatus s{TNetStatus::Failed, 0, OpenSslErrorText("TLS could not be started")};
        impl_->Free();
        return s;
    }
    SSL* ssl = impl_->Ssl;
    // A name is sent and checked; an address is checked as an address.
    SSL_set_tlsext_host_name(ssl, check.ServerName.c_str());
    if (pinned.empty()) {
        SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(ssl, check.ServerName.c_str());
        SSL_set_purpose(ssl, X509_PURPOSE_SSL_SERVER);  // a certificate meant for a TLS server
        SSL_set_app_data(ssl, &impl_->PeerSha256);
        SSL_set_verify(ssl, SSL_VERIFY_PEER, KeepPeerFingerprint);
    } else {
        SSL_set_verify(ssl, SSL_VERIFY_NONE, nullptr);  // the fingerprint decides below
    }
    if (resumeFrom && resumeFrom->impl_ && resumeFrom->impl_->Ssl) {
        if (SSL_SESSION* session = SSL_get1_session(resumeFrom->impl_->Ssl)) {
            SSL_set_session(ssl, session);
            SSL_SESSION_free(session);
        }
    }
    for (;;) {
        const int rc = SSL_connect(ssl);
        if (rc == 1)
            break;
        bool retry = false;
        TNetStatus s = impl_->Settle(rc, deadline, retry, "TLS handshake failed");
        if (retry)
            continue;
        const long verify = SSL_get_verify_result(ssl);
        if (verify != X509_V_OK && s.Kind == TNetStatus::Failed)
            s = {TNetStatus::Failed, 0, X509_verify_cert_error_string(verify), "CertificateRefused"};
        else if (s.Kind == TNetStatus::Closed)
            s = {TNetStatus::Failed, 0, {}, "TlsClosedInHandshake"};
        impl_->Free();
        return s;
    }
    X509* cert = SSL_get1_peer_certificate(ssl);
    impl_->PeerSha256 = CertificateSha256(cert);
    X509_free(cert);
    if (!pinned.empty() && impl_->PeerSha256 != pinned) {
        impl_->Free();
        return {TNetStatus::Failed, 0, {}, "CertificateNotPinned"};
    }
    impl_->Resumed = SSL_session_reused(ssl) == 1;
    return {};
}

TNetStatus TTlsStream::SendAll(const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return sock::NotOpen();
    const char* p = static_cast<const char*>(data);
    // One limit for the whole call, as on the TCP seam.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (size > 0) {
        const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
        const int n = SSL_write(impl_->Ssl, p, chunk);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        bool retry = false;
        const TNetStatus s = impl_->Settle(n, deadline, retry, "TLS send failed");
        if (!retry)
            return s;
    }
    return {};
}

TNetStatus TTlsStream::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return sock::NotOpen();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    const int cap = capacity > (1u << 30) ? (1 << 30) : static_cast<int>(capacity);
    for (;;) {
        const int n = SSL_read(impl_->Ssl, buffer, cap);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return {};
        }
        bool retry = false;
        const TNetStatus s = impl_->Settle(n, deadline, retry, "TLS receive failed");
        if (!retry)
            return s;
    }
}

void TTlsStream::Close(int timeoutMs) noexcept {
    if (!impl_)
        return;
    if (impl_->Ssl && impl_->Tcp.IsOpen()) {
        // One close_notify; the peer needs not answer it (RFC 8446 6.1), but what it sends is
        // read away below for the bounded time.
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            const int rc = SSL_shutdown(impl_->Ssl);
            if (rc >= 0)
                break;
            bool retry = false;
            (void)impl_->Settle(rc, deadline, retry, "");
            if (!retry)
                break;
        }
        ERR_clear_error();
        // The peer's answer and any tickets are read away, so the close is no reset.
        impl_->Tcp.Finish(MsLeft(deadline));
    }
    impl_->Free();
}

} // namespace kw::net
