// TLS client over SChannel, the system's own TLS. The records travel over the TTcpConnection
// with its bounded waits; SChannel only turns bytes into records and back. The certificate is
// checked here (manual validation): by the system's chain engine and the server's name, or by
// its SHA-256 fingerprint when the work trusts one certificate.
#define SECURITY_WIN32
#include "platform/Tls.h"
#include "platform/Sha256.h"
#include "platform/SocketOps.h"
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>
#include <winsock2.h>
#include <windows.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

namespace kw::net {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::wstring Wide(const std::string& text) {
    std::wstring w(text.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), w.data(),
                                      static_cast<int>(w.size()));
    w.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return w;
}

TNetStatus SecurityFailure(const char* what, SECURITY_STATUS status) {
    return {TNetStatus::Failed, static_cast<int>(status), std::string(what) + ": " + SocketErrorText(static_cast<int>(status))};
}

// One credentials handle for the process: SChannel keeps its session cache per handle and
// server name, which is what lets a data connection reuse the control connection's session.
CredHandle* Credentials(SECURITY_STATUS& status) {
    static CredHandle handle;
    static SECURITY_STATUS result = SEC_E_INTERNAL_ERROR;
    static std::once_flag once;
    std::call_once(once, [] {
        SCHANNEL_CRED cred{};
        cred.dwVersion = SCHANNEL_CRED_VERSION;
        cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        result = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                           &cred, nullptr, nullptr, &handle, nullptr);
    });
    status = result;
    return result == SEC_E_OK ? &handle : nullptr;
}

constexpr DWORD ContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                               ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                               ISC_REQ_MANUAL_CRED_VALIDATION;

// The chain engine's verdict on the server's certificate for `serverName`; empty when good.
std::string ChainRefusal(PCCERT_CONTEXT cert, const std::wstring& serverName) {
    // The certificate must be meant for a TLS server (extended key usage "server authentication").
    static char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &chain))
        return SocketErrorText(static_cast<int>(GetLastError()));
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(serverName.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    const BOOL ran = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    CertFreeCertificateChain(chain);
    if (!ran)
        return SocketErrorText(static_cast<int>(GetLastError()));
    return status.dwError == 0 ? std::string() : SocketErrorText(static_cast<int>(status.dwError));
}

// Wine's SChannel (GnuTLS) reports the peer's close alert as a record that decrypts to nothing,
// where Windows answers SEC_I_CONTEXT_EXPIRED. Only under Wine is an empty record taken for the
// close; on Windows an empty record stays what it is.
// TLS 1.2 or newer: an older protocol the system still allows is refused before anything of ours
// travels over it (the system's own default may still offer TLS 1.0 and 1.1).
TNetStatus ProtocolFloor(CtxtHandle& context) {
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesW(&context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return {TNetStatus::Failed, 0, {}, "TlsVersionUnknown"};
    constexpr DWORD tooOld = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    if (info.dwProtocol & tooOld)
        return {TNetStatus::Failed, 0, "1.2", "TlsTooOld"};
    return {};
}

bool EmptyRecordIsClose() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

} // namespace

struct TTlsStream::TImpl {
    TTcpConnection Tcp;
    CtxtHandle Context{};
    bool HasContext = false;
    bool Resumed = false;
    bool PeerClosed = false;
    std::string PeerSha256;
    std::wstring Target;  // the server name, for handshake messages after the handshake
    SecPkgContext_StreamSizes Sizes{};
    std::vector<char> Incoming;  // received records not yet decrypted
    std::string Plain;           // decrypted bytes not yet handed out

    ~TImpl() { Free(); }
    void Free() noexcept {
        if (HasContext)
            DeleteSecurityContext(&Context);
        HasContext = false;
        Tcp.Close();
        Incoming.clear();
        Plain.clear();
        PeerClosed = false;
    }

    TNetStatus SendToken(const SecBuffer& token, int timeoutMs) {
        TNetStatus s;
        if (token.pvBuffer && token.cbBuffer > 0)
            s = Tcp.SendAll(token.pvBuffer, token.cbBuffer, timeoutMs);
        if (token.pvBuffer)
            FreeContextBuffer(token.pvBuffer);
        return s;
    }

    TNetStatus ReceiveMore(Clock::time_point deadline) {
        char buf[16384];
        size_t got = 0;
        const int left = MsLeft(deadline);
        const TNetStatus s = left > 0 ? Tcp.Receive(buf, sizeof buf, got, left) : TNetStatus{TNetStatus::TimedOut, 0, {}};
        if (s.ok())
            Incoming.insert(Incoming.end(), buf, buf + got);
        return s;
    }

    // Runs the handshake loop from the first call on; with `renegotiate`, SChannel asked for
    // post-handshake messages (TLS 1.3 tickets) that arrived in `Incoming`.
    TNetStatus HandshakeLoop(Clock::time_point deadline, bool startFresh) {
        SECURITY_STATUS status = SEC_E_OK;
        CredHandle* cred = Credentials(status);
        if (!cred)
            return SecurityFailure("TLS could not be started", status);
        bool first = startFresh;
        for (;;) {
            SecBuffer inBufs[2] = {{static_cast<unsigned long>(Incoming.size()), SECBUFFER_TOKEN, Incoming.data()},
                                   {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBufs};
            SecBuffer outBuf{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuf};
            DWORD attrs = 0;
            status = InitializeSecurityContextW(cred, first ? nullptr : &Context, const_cast<wchar_t*>(Target.c_str()),
                                                ContextFlags, 0, 0, first ? nullptr : &inDesc, 0,
                                                first ? &Context : nullptr, &outDesc, &attrs, nullptr);
            if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK))
                HasContext = true;
            first = false;
            if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
                // The server asks for a client certificate (vsftpd does): we have none to give,
                // and go on without.
                if (outBuf.pvBuffer)
                    FreeContextBuffer(outBuf.pvBuffer);
                continue;
            }
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                const TNetStatus s = ReceiveMore(deadline);
                if (!s.ok())
                    return s.Kind == TNetStatus::Closed
                               ? TNetStatus{TNetStatus::Failed, 0, {}, "TlsClosedInHandshake"}
                               : s;
                continue;
            }
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
                if (outBuf.pvBuffer)
                    FreeContextBuffer(outBuf.pvBuffer);
                return SecurityFailure("TLS handshake failed", status);
            }
            const TNetStatus sent = SendToken(outBuf, MsLeft(deadline));
            if (!sent.ok())
                return sent;
            // What SChannel did not consume belongs to the next message.
            if (inBufs[1].BufferType == SECBUFFER_EXTRA && inBufs[1].cbBuffer > 0)
                Incoming.erase(Incoming.begin(), Incoming.end() - inBufs[1].cbBuffer);
            else
                Incoming.clear();
            if (status == SEC_E_OK)
                return {};
            if (Incoming.empty()) {
                const TNetStatus s = ReceiveMore(deadline);
                if (s.Kind == TNetStatus::Closed)
                    return {TNetStatus::Failed, 0, {}, "TlsClosedInHandshake"};
                if (!s.ok())
                    return s;
            }
        }
    }

    TNetStatus CheckCertificate(const TTlsPeerCheck& check, const std::string& pinned) {
        PCCERT_CONTEXT cert = nullptr;
        if (QueryContextAttributesW(&Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) != SEC_E_OK || !cert)
            return {TNetStatus::Failed, 0, {}, "TlsNoCertificate"};
        PeerSha256 = Sha256Hex(std::string_view(reinterpret_cast<const char*>(cert->pbCertEncoded), cert->cbCertEncoded));
        if (!pinned.empty()) {
            CertFreeCertificateContext(cert);
            return PeerSha256 == pinned ? TNetStatus{} : TNetStatus{TNetStatus::Failed, 0, {}, "CertificateNotPinned"};
        }
        const std::string refusal = ChainRefusal(cert, Wide(check.ServerName));
        CertFreeCertificateContext(cert);
        if (!refusal.empty())
            return {TNetStatus::Failed, 0, refusal, "CertificateRefused"};
        return {};
    }
};

TTlsStream::TTlsStream() : impl_(std::make_unique<TImpl>()) {}
TTlsStream::TTlsStream(TTlsStream&& other) noexcept = default;
TTlsStream& TTlsStream::operator=(TTlsStream&& other) noexcept = default;
TTlsStream::~TTlsStream() { Close(0); }

bool TTlsStream::IsOpen() const noexcept { return impl_ && impl_->HasContext && impl_->Tcp.IsOpen(); }
bool TTlsStream::Resumed() const noexcept { return impl_ && impl_->Resumed; }

const std::string& TTlsStream::PeerSha256() const noexcept {
    static const std::string none;
    return impl_ ? impl_->PeerSha256 : none;
}

TNetStatus TTlsStream::LocalEndpoint(TIpv4Endpoint& out) const {
    return impl_ ? impl_->Tcp.LocalEndpoint(out) : sock::NotOpen();
}

TNetStatus TTlsStream::Handshake(TTcpConnection&& tcp, const TTlsPeerCheck& check, int timeoutMs, const TTlsStream*) {
    // SChannel offers the cached session of the same credentials and server name by itself.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    if (!impl_)
        impl_ = std::make_unique<TImpl>();
    impl_->Free();
    impl_->Resumed = false;
    impl_->PeerSha256.clear();
    impl_->Tcp = std::move(tcp);
    impl_->Target = Wide(check.ServerName);
    const std::string pinned = NormalizeSha256Text(check.TrustedSha256);
    TNetStatus s;
    if (!check.TrustedSha256.empty() && pinned.empty())
        s = {TNetStatus::Failed, 0, {}, "BadFingerprint"};
    else if (!impl_->Tcp.IsOpen())
        s = sock::NotOpen();
    if (s.ok())
        s = impl_->HandshakeLoop(deadline, true);
    if (s.ok())
        s = ProtocolFloor(impl_->Context);
    if (s.ok())
        s = impl_->CheckCertificate(check, pinned);
    if (s.ok() && QueryContextAttributesW(&impl_->Context, SECPKG_ATTR_STREAM_SIZES, &impl_->Sizes) != SEC_E_OK)
        s = {TNetStatus::Failed, 0, "TLS stream sizes unknown."};
    if (!s.ok()) {
        impl_->Free();
        return s;
    }
    SecPkgContext_SessionInfo info{};
    if (QueryContextAttributesW(&impl_->Context, SECPKG_ATTR_SESSION_INFO, &info) == SEC_E_OK)
        impl_->Resumed = (info.dwFlags & SSL_SESSION_RECONNECT) != 0;
    return {};
}

TNetStatus TTlsStream::SendAll(const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return sock::NotOpen();
    const char* p = static_cast<const char*>(data);
    const SecPkgContext_StreamSizes& z = impl_->Sizes;
    std::vector<char> record(z.cbHeader + z.cbMaximumMessage + z.cbTrailer);
    // One limit for the whole call, as on the TCP seam.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (size > 0) {
        const unsigned long n = static_cast<unsigned long>(size < z.cbMaximumMessage ? size : z.cbMaximumMessage);
        std::memcpy(record.data() + z.cbHeader, p, n);
        SecBuffer bufs[4] = {{z.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                             {n, SECBUFFER_DATA, record.data() + z.cbHeader},
                             {z.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + z.cbHeader + n},
                             {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
        const SECURITY_STATUS st = EncryptMessage(&impl_->Context, 0, &desc, 0);
        if (st != SEC_E_OK)
            return SecurityFailure("TLS send failed", st);
        const TNetStatus s =
            impl_->Tcp.SendAll(record.data(), bufs[0].cbBuffer + bufs[1].cbBuffer + bufs[2].cbBuffer, MsLeft(deadline));
        if (!s.ok())
            return s;
        p += n;
        size -= n;
    }
    return {};
}

TNetStatus TTlsStream::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return sock::NotOpen();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    TImpl& t = *impl_;
    while (t.Plain.empty()) {
        if (t.PeerClosed)
            return {TNetStatus::Closed, 0, {}};
        if (t.Incoming.empty()) {
            const TNetStatus s = t.ReceiveMore(deadline);
            if (!s.ok())
                return s;
        }
        SecBuffer bufs[4] = {{static_cast<unsigned long>(t.Incoming.size()), SECBUFFER_DATA, t.Incoming.data()},
                             {0, SECBUFFER_EMPTY, nullptr},
                             {0, SECBUFFER_EMPTY, nullptr},
                             {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
        const SECURITY_STATUS st = DecryptMessage(&t.Context, &desc, 0, nullptr);
        if (st == SEC_E_INCOMPLETE_MESSAGE) {
            const TNetStatus s = t.ReceiveMore(deadline);
            if (!s.ok())
                return s;
            continue;
        }
        if (st != SEC_E_OK && st != SEC_I_CONTEXT_EXPIRED && st != SEC_I_RENEGOTIATE)
            return SecurityFailure("TLS receive failed", st);
        std::vector<char> extra;
        const size_t plainBefore = t.Plain.size();
        for (const SecBuffer& b : bufs) {
            if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0)
                t.Plain.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer > 0)
                extra.assign(t.Incoming.end() - b.cbBuffer, t.Incoming.end());
        }
        t.Incoming = std::move(extra);
        if (st == SEC_I_CONTEXT_EXPIRED)
            t.PeerClosed = true;  // the server's close alert
        else if (st == SEC_E_OK && t.Plain.size() == plainBefore && EmptyRecordIsClose())
            t.PeerClosed = true;
        if (st == SEC_I_RENEGOTIATE) {
            // Post-handshake messages (TLS 1.3 session tickets): SChannel takes them through
            // the handshake call with what followed them.
            const TNetStatus s = t.HandshakeLoop(deadline, false);
            if (!s.ok())
                return s;
        }
    }
    received = t.Plain.size() < capacity ? t.Plain.size() : capacity;
    std::memcpy(buffer, t.Plain.data(), received);
    t.Plain.erase(0, received);
    return {};
}

void TTlsStream::Close(int timeoutMs) noexcept {
    if (!impl_)
        return;
    if (IsOpen()) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
        SECURITY_STATUS status = SEC_E_OK;
        CredHandle* cred = Credentials(status);
        if (cred && ApplyControlToken(&impl_->Context, &controlDesc) == SEC_E_OK) {
            SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
            DWORD attrs = 0;
            if (InitializeSecurityContextW(cred, &impl_->Context, nullptr, ContextFlags, 0, 0, nullptr, 0, nullptr,
                                           &outDesc, &attrs, nullptr) == SEC_E_OK)
                (void)impl_->SendToken(out, timeoutMs);
            else if (out.pvBuffer)
                FreeContextBuffer(out.pvBuffer);
        }
        // The peer's answer and any tickets are read away, so the close is no reset.
        impl_->Tcp.Finish(timeoutMs);
    }
    impl_->Free();
}

} // namespace kw::net
