// Plays a hostile server during the FTPS negotiation: the greeting, the reply to "AUTH TLS" and
// whatever bytes follow (where the TLS handshake would begin) come from the input, over a real
// loopback connection. The client must end every session with TFtpError, never log in in clear,
// and never crash or hang (its waits are bounded and the server hangs up after the input).
#include "delivery/ftp/FtpClient.h"
#include "platform/Tcp.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace {

kw::net::TTcpListener& Listener() {
    static kw::net::TTcpListener listener;
    static const bool listening = [] {
        kw::net::TIpv4Endpoint at{{127, 0, 0, 1}, 0};
        return listener.Listen(at, 4).ok();
    }();
    (void)listening;
    return listener;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kw::net::TTcpListener& listener = Listener();
    kw::net::TIpv4Endpoint at;
    if (!listener.LocalEndpoint(at).ok())
        return 0;
    const std::string script(reinterpret_cast<const char*>(data), size);
    // The first line is sent at once, the rest after the client's first command.
    const size_t cut = script.find('\n');
    const std::string greeting = cut == std::string::npos ? script : script.substr(0, cut + 1);
    const std::string rest = cut == std::string::npos ? std::string() : script.substr(cut + 1);
    std::string heard;
    std::thread server([&] {
        kw::net::TTcpConnection c;
        if (!listener.Accept(c, 2000).ok())
            return;
        (void)c.SendAll(greeting.data(), greeting.size(), 500);
        char buf[4096];
        size_t got = 0;
        if (c.Receive(buf, sizeof buf, got, 500).ok())
            heard.assign(buf, got);
        (void)c.SendAll(rest.data(), rest.size(), 500);
        // Keeps reading what the client sends in clear until it hangs up.
        while (c.Receive(buf, sizeof buf, got, 200).ok())
            heard.append(buf, got);
    });
    kw::TFtpClient client;
    client.Host = "127.0.0.1";
    client.Port = at.Port;
    client.Username = "user";
    client.Password = "password";
    client.UseTls = true;
    client.TrustedSha256 = std::string(64, '0');
    client.Timeouts = {1000, 50, 50};
    bool loggedIn = true;
    try {
        client.Connect();
    } catch (const kw::TFtpError&) {
        loggedIn = false;
    }
    client.Disconnect();
    server.join();
    // No certificate can match the all-zero fingerprint, so no login may succeed, and the
    // password never travels in clear.
    if (loggedIn || heard.find("password") != std::string::npos || heard.find("USER") != std::string::npos)
        __builtin_trap();
    return 0;
}
