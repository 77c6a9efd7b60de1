// The HTTP(S) target.
#include "delivery/http/HttpDelivery.h"
#include "delivery/SecretMask.h"
#include "delivery/http/HttpStatus.h"
#include "delivery/http/HttpUrl.h"
#include "platform/Deadline.h"
#include "platform/Http.h"
#include <cctype>
#include <exception>
#include <new>

namespace kw {

namespace {

const char* const Charsets[] = {"windows-1251", "utf-8", "koi8-r", "koi8-u", "ibm866"};

std::string LowerExtension(const std::string& file) {
    const size_t dot = file.rfind('.');
    const size_t slash = file.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = file.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool IsRedirect(int code) { return code == 301 || code == 302 || code == 303 || code == 307 || code == 308; }

class TExchange {
public:
    TExchange(const TWorkConfig& config, std::string_view page, const THttpLimits& limits, const THttpExchange& exchange)
        : config_(config), page_(page), limits_(limits), exchange_(exchange) {}

    TDeliveryResult Run(std::string_view url);

private:
    TDeliveryResult Fail(TMessage message) const { return {false, std::move(message)}; }
    TDeliveryResult Fail(const char* key, std::vector<TMessage> args = {}) const {
        return {false, TMessage::Of(key, std::move(args))};
    }
    net::THttpRequest Request(const TUrlParts& to, bool withCredentials) const;
    TMessage TimeUp() const {
        return TMessage::Of("HttpNoAnswerWithin",
                            {DurationMessage((limits_.ConnectMs + limits_.RestMs + 999) / 1000 * 1000)});
    }

    const TWorkConfig& config_;
    std::string_view page_;
    const THttpLimits& limits_;
    const THttpExchange& exchange_;
    std::string method_;
    bool body_ = false;
    std::string pinned_;
    std::string contentType_;
    net::TDeadline deadline_;
};

net::THttpRequest TExchange::Request(const TUrlParts& to, bool withCredentials) const {
    net::THttpRequest r;
    r.Method = method_;
    r.Url = JoinUrl(to);
    // What is left of the delivery's one bound, split as the seam takes it.
    r.ConnectMs = deadline_.Cap(limits_.ConnectMs);
    r.RestMs = deadline_.MsLeft() - r.ConnectMs;
    r.TrustedSha256 = pinned_;
    r.HasBody = body_;
    if (body_) {
        r.Body = page_;
        r.Headers.emplace_back("Content-Type", contentType_);
    }
    if (withCredentials && !config_.HTTP.Login.empty())
        r.Headers.emplace_back("Authorization", "Basic " + Base64(config_.HTTP.Login + ":" + config_.HTTP.Password));
    return r;
}

TDeliveryResult TExchange::Run(std::string_view url) {
    deadline_ = net::TDeadline::In(static_cast<int64_t>(limits_.ConnectMs) + limits_.RestMs);
    const uint8_t method = config_.HTTP.Method < HttpMethodCount ? config_.HTTP.Method : uint8_t{hmGET};
    method_ = HttpMethodNames[method];
    body_ = method != hmGET;
    if (!config_.HTTP.CertSHA256.empty() && !NormaliseFingerprint(config_.HTTP.CertSHA256, pinned_))
        return Fail("BadFingerprint");
    contentType_ = config_.HTTP.ContentType.empty() ? DefaultContentType(config_.FileOut, config_.CodePage)
                                                    : config_.HTTP.ContentType;
    if (body_ && !SafeHeaderValue(contentType_))
        return Fail("HttpBadContentType");
    TUrlParts first, at;
    if (!SplitUrl(CleanUrl(url), first))
        return Fail("HttpBadAddress");
    at = first;
    for (int hop = 0;; ++hop) {
        if (deadline_.MsLeft() <= 0)
            return Fail(TimeUp());
        const net::THttpResponse reply = exchange_(Request(at, SameOrigin(at, first)));
        if (!reply.Answered)
            return Fail(deadline_.Passed()     ? TimeUp()
                        : reply.Error.Empty() ? TMessage::Of("HttpNoAnswer")
                                              : reply.Error);
        THttpStatus status;
        if (!ParseStatusLine(reply.StatusLine, status))
            return Fail("HttpNoStatusLine");
        if (status.Code >= 200 && status.Code <= 299)
            return {true, {}, "HTTP " + std::to_string(status.Code)};
        if (!IsRedirect(status.Code) || reply.Location.empty())
            return Fail(TMessage(status.Line));
        if (hop >= limits_.MaxRedirects)
            return Fail("HttpTooManyRedirects", {status.Line});
        TUrlParts next;
        if (!ResolveLocation(at, reply.Location, next))
            return Fail("HttpRedirectNotHttp", {status.Line});
        // A secured exchange stays secured: the page and anything else would leave in clear.
        if (at.Scheme == "https" && next.Scheme != "https")
            return Fail("HttpRedirectLeavesHttps", {status.Line, next.Scheme});
        // As browsers do: 303 asks for a GET, and so do 301 and 302 after a POST.
        if (status.Code == 303 || (method_ == "POST" && (status.Code == 301 || status.Code == 302))) {
            method_ = "GET";
            body_ = false;
        }
        at = next;
    }
}

} // namespace

std::string DefaultContentType(const std::string& fileOut, uint8_t codePage) {
    const std::string ext = LowerExtension(fileOut);
    const char* type = "text/plain";
    if (ext == "htm" || ext == "html" || ext == "shtml")
        type = "text/html";
    else if (ext == "json")
        type = "application/json";
    else if (ext == "xml" || ext == "rss")
        type = "application/xml";
    else if (ext == "js")
        type = "text/javascript";
    else if (ext == "css")
        type = "text/css";
    else if (ext == "csv")
        type = "text/csv";
    const char* charset = codePage < std::size(Charsets) ? Charsets[codePage] : Charsets[0];
    return std::string(type) + "; charset=" + charset;
}

TDeliveryResult SendHttp(const TWorkConfig& config, std::string_view url, std::string_view page,
                         const THttpLimits& limits, const THttpExchange& exchange) noexcept {
    try {
        return TExchange(config, page, limits, exchange).Run(url);
    } catch (const std::bad_alloc&) {
        return {false, TMessage::Of("OutOfMemory")};
    } catch (...) {
        return {false, TMessage::Of("HttpFailed")};
    }
}

TDeliveryResult THttpDelivery::Deliver(TWorkData&, const TWorkConfig& config, const TDeliveryPage& page) noexcept {
    try {
        // Checked before the tags are filled in: a value may never pick the host (the editor
        // refuses such a URL too; this covers a settings file written by hand).
        if (!TagFreeOrigin(config.HTTP.URL))
            return {false, TMessage::Of("HttpTagInOrigin")};
        const std::string url = page.ExpandUrl ? page.ExpandUrl(config.HTTP.URL) : config.HTTP.URL;
        return SendHttp(config, url, page.Bytes, Limits);
    } catch (...) {
        return {false, TMessage::Of("OutOfMemory")};
    }
}

} // namespace kw
