// The recording HTTP and HTTPS server of the HTTP target's tests (http_server.py) on 127.0.0.1.
// Natively the test starts it; a Windows test program under Wine finds the one ctest started
// (http_fixture.sh) through KW_HTTP_SERVER_DIR.
#pragma once
#include "tests/support/ServerProcess.h"
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

namespace kw::test {

struct TRecordedRequest {
    std::string Method, Path, Headers, Body;
    bool Tls = false;
    // The value of a header (names in lower case), or "<none>".
    std::string Header(const std::string& name) const {
        const std::string all = "\n" + Headers;
        const size_t at = all.find("\n" + name + ": ");
        if (at == std::string::npos)
            return "<none>";
        const size_t start = at + name.size() + 3;
        return all.substr(start, all.find('\n', start) - start);
    }
};

class THttpTestServer {
public:
    THttpTestServer() {
#ifdef _WIN32
        const char* dir = std::getenv("KW_HTTP_SERVER_DIR");
        if (!dir)
            return;
        base_ = std::string("Z:") + dir;  // Wine shows the Linux root as Z:
        Wait();
#else
        char tmpl[] = "/tmp/kwhttp_XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        base_ = tmpl;
        const std::string script = std::string(KW_SOURCE_DIR) + "/tests/delivery/http_server.py";
        if (server_.Start({"/usr/bin/python3", script, base_}))
            Wait();
#endif
    }
    ~THttpTestServer() {
#ifndef _WIN32
        server_.Stop();
        std::error_code ec;
        std::filesystem::remove_all(base_, ec);
#endif
    }

    bool Ok() const { return port_ != 0 && tlsPort_ != 0; }
    uint16_t Port() const { return port_; }
    uint16_t TlsPort() const { return tlsPort_; }
    uint16_t OldTlsPort() const { return oldTlsPort_; }  // TLS 1.1 and nothing newer
    const std::string& Fingerprint() const { return fingerprint_; }  // as openssl prints it, "AB:CD:..."

    // The requests recorded so far, in order.
    int Count() const {
        int n = 0;
        while (std::filesystem::exists(RequestDir(n + 1)))
            ++n;
        return n;
    }
    TRecordedRequest Request(int number) const {
        const std::string d = RequestDir(number);
        TRecordedRequest r{Read(d + "/method"), Read(d + "/path"), Read(d + "/headers"), Read(d + "/body"),
                           Read(d + "/tls") == "1"};
        return r;
    }
    TRecordedRequest Last() const { return Request(Count()); }
    // A file the server wrote into its folder ("huge-sent"); empty while there is none.
    std::string File(const std::string& name) const { return Read(base_ + "/" + name); }

private:
    void Wait() {
        for (int i = 0; i < 150 && !Ok(); ++i) {
            port_ = ReadPort(base_ + "/port");
            tlsPort_ = ReadPort(base_ + "/tlsport");
            oldTlsPort_ = ReadPort(base_ + "/oldtlsport");
            if (!Ok())
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        fingerprint_ = Read(base_ + "/fingerprint");
    }
    std::string RequestDir(int number) const {
        std::string n = std::to_string(number);
        return base_ + "/requests/" + std::string(4 - std::min<size_t>(4, n.size()), '0') + n;
    }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static uint16_t ReadPort(const std::string& file) {
        std::ifstream in(file);
        int port = 0;
        return (in >> port && port > 0 && port < 65536) ? static_cast<uint16_t>(port) : 0;
    }

    std::string base_;
    uint16_t port_ = 0, tlsPort_ = 0, oldTlsPort_ = 0;
    std::string fingerprint_;
#ifndef _WIN32
    TServerProcess server_;
#endif
};

} // namespace kw::test
