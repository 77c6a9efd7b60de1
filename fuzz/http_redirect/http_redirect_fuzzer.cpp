// A hostile server's answers to the HTTP target, in memory: the first byte picks the method
// and the URL's scheme, then answers separated by byte 0xFE, each a status line and, after a
// byte 0xFD, its Location header (an answer starting with 0xFC is no answer at all). Whatever
// comes back, the target must never send a request line it cannot carry, never send the
// credentials to another origin, never leave https for http, never make more than four
// requests, report success only for a 2xx, and a failure text must hold no form of the password
// once masked.
#include "delivery/SecretMask.h"
#include "delivery/http/HttpDelivery.h"
#include "delivery/http/HttpStatus.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct TAnswer {
    bool Answered = true;
    std::string StatusLine, Location;
};

std::vector<TAnswer> Answers(const uint8_t* data, size_t size) {
    std::vector<TAnswer> out(1);
    bool inLocation = false;
    for (size_t i = 0; i < size; ++i) {
        const auto c = static_cast<char>(data[i]);
        if (data[i] == 0xFE) {
            out.emplace_back();
            inLocation = false;
        } else if (data[i] == 0xFD) {
            inLocation = true;
        } else if (data[i] == 0xFC && out.back().StatusLine.empty() && !inLocation) {
            out.back().Answered = false;
        } else {
            (inLocation ? out.back().Location : out.back().StatusLine) += c;
        }
    }
    return out;
}

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::vector<TAnswer> answers = Answers(data + 1, size - 1);
    kw::TWorkConfig config;
    config.HTTP.Method = data[0] % 3;
    config.HTTP.URL = (data[0] & 4) ? "https://radio.example/now?x=1" : "http://radio.example/now?x=1";
    config.HTTP.Login = "source";
    config.HTTP.Password = "hack me";
    const std::string firstScheme = (data[0] & 4) ? "https" : "http";

    size_t asked = 0;
    bool secured = false;
    int lastCode = 0;
    const kw::THttpExchange server = [&](const kw::net::THttpRequest& r) {
        Check(asked < 4);
        for (const char ch : r.Url)
            Check(static_cast<unsigned char>(ch) > 0x20 && static_cast<unsigned char>(ch) < 0x7F);
        kw::TUrlParts to;
        Check(kw::SplitUrl(r.Url, to));
        secured = secured || to.Scheme == "https";
        Check(!secured || to.Scheme == "https");
        bool credentials = false;
        for (const auto& [name, value] : r.Headers) {
            credentials = credentials || name == "Authorization";
            for (const char ch : value)
                Check(ch != '\r' && ch != '\n');
        }
        Check(!credentials || (to.Scheme == firstScheme && kw::AsciiLower(to.Authority) == "radio.example"));
        Check(!r.HasBody || r.Method != "GET");
        const TAnswer& a = answers[asked < answers.size() ? asked : answers.size() - 1];
        ++asked;
        kw::net::THttpResponse reply;
        reply.Answered = a.Answered;
        reply.StatusLine = a.StatusLine;
        reply.Location = a.Location;
        reply.Error = a.StatusLine;
        kw::THttpStatus status;
        lastCode = a.Answered && kw::ParseStatusLine(a.StatusLine, status) ? status.Code : 0;
        return reply;
    };
    const kw::TDeliveryResult result = kw::SendHttp(config, config.HTTP.URL, "page", {}, server);
    Check(!result.Ok || (lastCode >= 200 && lastCode <= 299));
    // Masked as the program's targets mask it: every outside text of the message on its own.
    kw::TMessage message = result.Message;
    kw::EditTexts(message, [&](std::string text) { return kw::WithoutWorkSecrets(config, std::move(text)); });
    const std::string shown = kw::TextOf(message);
    Check(shown.find("hack me") == std::string::npos && shown.find("hack%20me") == std::string::npos &&
          shown.find(kw::Base64("source:hack me").substr(0, 16)) == std::string::npos);
    return 0;
}
