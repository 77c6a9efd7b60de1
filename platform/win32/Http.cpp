// One HTTP(S) exchange over WinHTTP, the system's own HTTP stack (its proxy settings and TLS).
// Synchronous handles; every step is bounded by the handle's time-outs. Redirects are the
// caller's. A trusted certificate fingerprint replaces the system's certificate check: the
// check runs when the connection is up and before anything of the request is sent.
#include "platform/Http.h"
#include "platform/Sha256.h"
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

namespace kw::net {

namespace {

std::wstring Wide(std::string_view text) {
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// Header values in UTF-8; the system's messages in the ANSI code page, as every status text is.
std::string Narrow(const std::wstring& text, UINT codePage = CP_UTF8) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The system's text for a WinHTTP or Winsock error number.
TMessage ErrorText(DWORD error) {
    wchar_t* msg = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE module = nullptr;
    if (error >= WINHTTP_ERROR_BASE && error <= WINHTTP_ERROR_LAST) {
        module = GetModuleHandleW(L"winhttp.dll");
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    const DWORD n = FormatMessageW(flags, module, error, 0, reinterpret_cast<LPWSTR>(&msg), 0, nullptr);
    std::string text = n > 0 && msg ? Narrow(std::wstring(msg, n), CP_ACP) : std::string();
    if (msg)
        LocalFree(msg);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    // Wine has no text for some of WinHTTP's errors.
    if (error == ERROR_WINHTTP_TIMEOUT && text.empty())
        return TMessage::Of("TimedOut");
    return TMessage((text.empty() ? "WinHTTP" : text) + " (" + std::to_string(error) + ").");
}

class THandle {
public:
    explicit THandle(HINTERNET h = nullptr) : h_(h) {}
    ~THandle() { Close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void Close() {
        if (h_)
            WinHttpCloseHandle(h_);
        h_ = nullptr;
    }

private:
    HINTERNET h_;
};

// The request handles the worker is using, so the caller can close them when the delivery's
// time is up: closing a request ends the call that waits on it, and so the worker thread.
class TCancel {
public:
    // False when the exchange was given up already: the handle is not to be used.
    bool Publish(HINTERNET h) {
        std::lock_guard<std::mutex> lock(lock_);
        if (cancelled_)
            return false;
        open_.push_back(h);
        return true;
    }
    // Before the worker closes its handle; false when the caller closed it already.
    bool Withdraw(HINTERNET h) {
        std::lock_guard<std::mutex> lock(lock_);
        open_.erase(std::remove(open_.begin(), open_.end(), h), open_.end());
        return !cancelled_;
    }
    void CancelNow() {
        std::lock_guard<std::mutex> lock(lock_);
        cancelled_ = true;
        for (const HINTERNET h : open_)
            WinHttpCloseHandle(h);
        open_.clear();
    }

private:
    std::mutex lock_;
    std::vector<HINTERNET> open_;
    bool cancelled_ = false;
};

// A request handle the caller may close from its thread (TCancel); closed here otherwise.
class TRequest {
public:
    TRequest(HINTERNET h, TCancel& cancel) : h_(h), cancel_(cancel) {
        if (h_ && !cancel_.Publish(h_)) {
            WinHttpCloseHandle(h_);
            h_ = nullptr;
        }
    }
    ~TRequest() { Close(); }
    TRequest(const TRequest&) = delete;
    TRequest& operator=(const TRequest&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void Close() {
        if (h_ && cancel_.Withdraw(h_))
            WinHttpCloseHandle(h_);
        h_ = nullptr;
    }
    // The status callback closed it (a refused certificate).
    void Forget() {
        if (h_)
            cancel_.Withdraw(h_);
        h_ = nullptr;
    }

private:
    HINTERNET h_;
    TCancel& cancel_;
};

// The pinned check, run by WinHTTP on this thread when the request is about to be sent.
struct TPinning {
    std::string Expected;
    bool Refused = false;
};

// What a request's connection shows of the server's certificate against the trusted one.
enum class TShownCertificate { Same, Other, None };

TShownCertificate ShownCertificate(HINTERNET request, const std::string& expected) {
    PCCERT_CONTEXT cert = nullptr;
    DWORD size = sizeof cert;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || !cert)
        return TShownCertificate::None;
    const bool same = Sha256Hex(std::string_view(reinterpret_cast<const char*>(cert->pbCertEncoded),
                                                 cert->cbCertEncoded)) == expected;
    CertFreeCertificateContext(cert);
    return same ? TShownCertificate::Same : TShownCertificate::Other;
}

bool ServerCertificateIs(HINTERNET request, const std::string& expected) {
    return ShownCertificate(request, expected) == TShownCertificate::Same;
}

void IgnoreCertificateErrors(HINTERNET request) {
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                  SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

// Windows shows the certificate of a refused handshake; Wine does not. There a HEAD of "/"
// without credentials or body, with the system's check off, shows it: nothing the work sends
// leaves before the certificate was compared.
bool ProbedCertificateIs(HINTERNET connection, const THttpRequest& request, const std::string& expected,
                         TCancel& cancel) {
    TRequest probe(WinHttpOpenRequest(connection, L"HEAD", L"/", nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE),
                   cancel);
    if (!probe)
        return false;
    WinHttpSetTimeouts(probe.get(), request.ConnectMs, request.ConnectMs, request.RestMs, request.RestMs);
    IgnoreCertificateErrors(probe.get());
    return WinHttpSendRequest(probe.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
           ServerCertificateIs(probe.get(), expected);
}

// Runs when a connection is up and the request is about to leave: a certificate other than the
// trusted one cancels the send.
void CALLBACK OnStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    auto* pin = reinterpret_cast<TPinning*>(context);
    if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || !pin || pin->Expected.empty())
        return;
    // A certificate that cannot be read now cannot be checked: the request does not leave
    // (credentials and body would go out before the check after the response could refuse).
    if (!ServerCertificateIs(request, pin->Expected)) {
        pin->Refused = true;
        WinHttpCloseHandle(request);  // cancels the send: nothing of the request leaves
    }
}

std::wstring QueryText(HINTERNET request, DWORD what) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size, WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

// TLS 1.2 or newer. Systems that do not know TLS 1.3's flag refuse it: then TLS 1.2 alone.
void SetProtocolFloor(HINTERNET session) {
    constexpr DWORD Tls13 = 0x00002000;  // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3, absent from older headers
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | Tls13;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
}

THttpResponse Exchange(const THttpRequest& request, TCancel& cancel) {
    THttpResponse out;
    const auto fail = [&](DWORD error) {
        out.Answered = false;
        out.Error = ErrorText(error);
        return out;
    };
    const std::wstring url = Wide(request.Url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = parts.dwSchemeLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return fail(GetLastError());
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    THandle session(WinHttpOpen(L"KWPAGE", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return fail(GetLastError());
    WinHttpSetTimeouts(session.get(), request.ConnectMs, request.ConnectMs, request.RestMs, request.RestMs);
    SetProtocolFloor(session.get());
    const THandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return fail(GetLastError());
    TRequest req(WinHttpOpenRequest(connection.get(), Wide(request.Method).c_str(), path.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0),
                 cancel);
    if (!req)
        return fail(GetLastError());
    // The head alone is read, and no more of it than this.
    DWORD maxHead = static_cast<DWORD>(MaxResponseHeadBytes);
    WinHttpSetOption(req.get(), WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &maxHead, sizeof maxHead);
    DWORD headWait = static_cast<DWORD>(request.RestMs);
    WinHttpSetOption(req.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headWait, sizeof headWait);
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(req.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);

    WinHttpSetTimeouts(req.get(), request.ConnectMs, request.ConnectMs, request.RestMs, request.RestMs);

    TPinning pin{request.TrustedSha256};
    if (secure && !pin.Expected.empty())
        WinHttpSetStatusCallback(req.get(), OnStatus, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0);

    std::wstring headers;
    for (const auto& [name, value] : request.Headers)
        headers += Wide(name) + L": " + Wide(value) + L"\r\n";
    const auto send = [&] {
        const DWORD bodySize = request.HasBody ? static_cast<DWORD>(request.Body.size()) : 0;
        return WinHttpSendRequest(req.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                  static_cast<DWORD>(-1L), request.HasBody ? const_cast<char*>(request.Body.data()) : nullptr,
                                  bodySize, bodySize, reinterpret_cast<DWORD_PTR>(&pin));
    };
    const auto refused = [&] {
        out.Answered = false;
        out.Error = TMessage::Of("CertificateNotTrusted");
        return out;
    };
    // The system checks the certificate first. A trusted fingerprint comes in only when that
    // check refused the server: the handshake failed, nothing of the request left, and the
    // certificate it showed can be compared before the request is sent again without the check.
    BOOL sent = send();
    if (pin.Refused) {
        req.Forget();  // the callback closed it
        return refused();
    }
    const DWORD sendError = sent ? 0 : GetLastError();
    // Windows reports a refused certificate as a secure failure; Wine as a channel error.
    const bool certificateRefused = sendError == ERROR_WINHTTP_SECURE_FAILURE || sendError == ERROR_WINHTTP_SECURE_CHANNEL_ERROR;
    if (certificateRefused && secure && !pin.Expected.empty()) {
        // A certificate the refused handshake showed decides; only where none was shown (Wine)
        // does a bare HEAD read it, so a server that showed another one gets nothing at all.
        const TShownCertificate shown = ShownCertificate(req.get(), pin.Expected);
        if (shown == TShownCertificate::Other ||
            (shown == TShownCertificate::None && !ProbedCertificateIs(connection.get(), request, pin.Expected, cancel)))
            return refused();
        IgnoreCertificateErrors(req.get());
        sent = send();
        if (pin.Refused) {
            req.Forget();
            return refused();
        }
    }
    if (!sent)
        return fail(sendError != 0 && !certificateRefused ? sendError : GetLastError());
    if (!WinHttpReceiveResponse(req.get(), nullptr))
        return fail(GetLastError());
    // The certificate of the connection that was used (the system's check passed, or the
    // connection was made again): a server with another one gets no success.
    if (secure && !pin.Expected.empty() && !ServerCertificateIs(req.get(), pin.Expected))
        return refused();

    DWORD code = 0, size = sizeof code;
    if (!WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                             &code, &size, WINHTTP_NO_HEADER_INDEX))
        return fail(GetLastError());
    std::wstring version = QueryText(req.get(), WINHTTP_QUERY_VERSION);
    if (version.empty())
        version = L"HTTP/1.1";
    const std::wstring reason = QueryText(req.get(), WINHTTP_QUERY_STATUS_TEXT);
    out.Answered = true;
    out.StatusLine = Narrow(version) + " " + std::to_string(code) + (reason.empty() ? "" : " " + Narrow(reason));
    out.Location = Narrow(QueryText(req.get(), WINHTTP_QUERY_LOCATION));
    return out;
}

} // namespace

// WinHTTP's limits apply to each step, and not every WinHTTP keeps them (Wine's waits for a
// silent server's answer for ever): the exchange runs on a thread of its own and the caller
// waits for it no longer than both limits together. Then it closes the request the worker
// waits on, which ends the worker's call, and gives the worker a second to be gone.
THttpResponse HttpExchange(const THttpRequest& request) {
    struct TShared {
        THttpRequest Request;
        std::string Body;
        std::mutex Lock;
        std::condition_variable Done;
        bool Finished = false;
        THttpResponse Response;
        TCancel Cancel;
    };
    const int limitMs = request.ConnectMs + request.RestMs;
    try {
        auto shared = std::make_shared<TShared>();
        shared->Request = request;
        shared->Body.assign(request.Body.data(), request.Body.size());
        shared->Request.Body = shared->Body;
        std::thread([shared] {
            THttpResponse response;
            try {
                response = Exchange(shared->Request, shared->Cancel);
            } catch (...) {
                response.Error = TMessage::Of("HttpFailed");
            }
            std::lock_guard<std::mutex> lock(shared->Lock);
            shared->Response = std::move(response);
            shared->Finished = true;
            shared->Done.notify_all();
        }).detach();
        std::unique_lock<std::mutex> lock(shared->Lock);
        if (shared->Done.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return shared->Finished; }))
            return shared->Response;
        lock.unlock();
        shared->Cancel.CancelNow();
        lock.lock();
        shared->Done.wait_for(lock, std::chrono::seconds(1), [&] { return shared->Finished; });
    } catch (const std::exception&) {
        THttpResponse failed;
        failed.Error = TMessage::Of("HttpFailed");
        return failed;
    }
    THttpResponse late;
    late.Error = TMessage::Of("HttpNoAnswerWithin", {DurationMessage((limitMs + 999) / 1000 * 1000)});
    return late;
}

} // namespace kw::net
