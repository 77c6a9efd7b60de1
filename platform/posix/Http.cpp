// One HTTP(S) exchange over libcurl (the OpenSSL build): the POSIX side of the seam, so the
// HTTP target's contract tests run natively against the same servers as under Wine.
#include "platform/Http.h"
#include "platform/Sha256.h"
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <cctype>
#include <memory>
#include <mutex>

namespace kw::net {

namespace {

void EnsureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What one exchange collects from libcurl's callbacks.
struct TExchange {
    const THttpRequest* Request = nullptr;
    THttpResponse Response;
    bool CertificateRefused = false;
    bool HeadersDone = false;   // the final status and its headers are in: nothing more is read
    size_t HeaderBytes = 0;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string_view TrimLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<TExchange*>(user);
    const std::string_view line(data, size * count);
    x.HeaderBytes += line.size();
    if (x.HeaderBytes > MaxResponseHeadBytes)
        return 0;  // a head without end: the exchange stops here
    // The blank line after a final status ends what we need; the body is never read.
    if (TrimLine(line).empty() && x.Response.Answered) {
        const size_t code = x.Response.StatusLine.find(' ');
        const bool interim = code != std::string::npos && code + 1 < x.Response.StatusLine.size() &&
                             x.Response.StatusLine[code + 1] == '1';
        if (!interim) {
            x.HeadersDone = true;
            return 0;
        }
    }
    // The last status line counts: an interim "100 Continue" comes before the real one.
    if (StartsWithNoCase(line, "HTTP/")) {
        x.Response.Answered = true;
        x.Response.StatusLine = std::string(TrimLine(line));
        x.Response.Location.clear();
    } else if (StartsWithNoCase(line, "Location:")) {
        x.Response.Location = std::string(TrimLine(line.substr(9)));
    }
    return size * count;
}

// Reached only when the head ended without the blank line being seen apart (it never is read).
size_t DropBody(char*, size_t, size_t, void* user) {
    static_cast<TExchange*>(user)->HeadersDone = true;
    return 0;
}

// The leaf certificate decides alone: it must have the trusted fingerprint; the chain above it
// and the name in it are not looked at.
int CheckPinned(int, X509_STORE_CTX* store) {
    if (X509_STORE_CTX_get_error_depth(store) != 0)
        return 1;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* x = ssl ? static_cast<TExchange*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl))) : nullptr;
    X509* leaf = X509_STORE_CTX_get_current_cert(store);
    unsigned char* der = nullptr;
    const int len = leaf ? i2d_X509(leaf, &der) : -1;
    bool same = false;
    if (len > 0 && x)
        same = Sha256Hex(std::string_view(reinterpret_cast<const char*>(der), static_cast<size_t>(len))) ==
               x->Request->TrustedSha256;
    OPENSSL_free(der);
    if (!same) {
        if (x)
            x->CertificateRefused = true;
        return 0;
    }
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

CURLcode OnSslContext(CURL*, void* sslContext, void* user) {
    auto* ctx = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_app_data(ctx, user);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, CheckPinned);
    return CURLE_OK;
}

struct TCurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

THttpResponse HttpExchange(const THttpRequest& request) {
    EnsureCurl();
    TExchange x;
    x.Request = &request;
    std::unique_ptr<CURL, TCurlFree> curl(curl_easy_init());
    if (!curl) {
        x.Response.Error = TMessage::Of("HttpFailed");
        return x.Response;
    }
    CURL* c = curl.get();
    char error[CURL_ERROR_SIZE] = {0};
    curl_slist* list = curl_slist_append(nullptr, "Expect:");  // no wait for "100 Continue"
    for (const auto& [name, value] : request.Headers)
        list = curl_slist_append(list, (name + ": " + value).c_str());
    std::unique_ptr<curl_slist, TCurlFree> headers(list);

    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_URL, request.Url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // no proxy from the environment: tests talk to 127.0.0.1
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.ConnectMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.ConnectMs) + request.RestMs);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, DropBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &x);
    if (request.HasBody) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.Body.data());
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.Method.c_str());
    if (!request.TrustedSha256.empty()) {
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
        // The pinned certificate alone decides: no CA bundle is read, so a machine without one
        // (or with a broken one) still reaches a server it was told to trust.
        curl_easy_setopt(c, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(c, CURLOPT_CAPATH, nullptr);
        curl_easy_setopt(c, CURLOPT_SSL_SESSIONID_CACHE, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, OnSslContext);
        curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, &x);
    }

    const CURLcode rc = curl_easy_perform(c);
    if (x.HeadersDone)
        return x.Response;  // stopped on purpose after the head
    if (rc != CURLE_OK) {
        x.Response.Answered = false;
        x.Response.Error = x.CertificateRefused ? TMessage::Of("CertificateNotTrusted")
                           : *error                ? TMessage(error)
                                                   : TMessage(curl_easy_strerror(rc));
    }
    return x.Response;
}

} // namespace kw::net
