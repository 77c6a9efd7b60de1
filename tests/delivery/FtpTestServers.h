// Real FTP servers for the tests, on 127.0.0.1: pyftpdlib (user "kw", password "secret") and
// vsftpd (anonymous; its root is read-only, "incoming" is writable). Natively the test starts
// the server itself; a Windows test program under Wine finds the one that ctest started
// (ftp_fixture.sh) through KW_FTP_<KIND>_DIR.
#pragma once
#include "tests/support/ServerProcess.h"
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#ifndef _WIN32
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kw::test {

class TRealFtpServer {
public:
    // kind: "pyftpdlib" or "vsftpd". Ok() is false when the server could not be had.
    explicit TRealFtpServer(const std::string& kind) : kind_(kind) {
#ifdef _WIN32
        // KW_FTP_PYFTPDLIB_DIR, KW_FTP_VSFTPD_TLS_DIR, ...
        std::string var = "KW_FTP_";
        for (const char c : kind)
            var += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const char* dir = std::getenv((var + "_DIR").c_str());
        if (!dir)
            return;
        base_ = std::string("Z:") + dir;  // Wine shows the Linux root as Z:
        root_ = base_ + "/root";
        ReadPort(base_ + "/port");
#else
        char tmpl[] = "/tmp/kwftp_XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        base_ = tmpl;
        root_ = base_ + "/root";
        const std::string script = std::string(KW_SOURCE_DIR) + "/tests/delivery/ftp_server.py";
        const std::string portFile = base_ + "/port";
        server_.Start({"/usr/bin/python3", script, kind, root_, portFile});
        for (int i = 0; i < 100 && server_.Started() && !ReadPort(portFile); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // vsftpd's port is chosen before it listens: the server is there once the port accepts.
        if (port_ != 0 && !Accepts(port_, std::chrono::seconds(10)))
            port_ = 0;
#endif
    }
    ~TRealFtpServer() {
#ifndef _WIN32
        server_.Stop();
        std::error_code ec;
        std::filesystem::remove_all(base_, ec);
#endif
    }

    bool Ok() const { return port_ != 0; }
    uint16_t Port() const { return port_; }
    const std::string& Root() const { return root_; }  // the server's top folder on this machine
    // The folder with the port file; a TLS server's certs/ and command log are there too.
    const std::string& Dir() const { return base_; }

private:
#ifndef _WIN32
    // Whether 127.0.0.1:port accepts a connection within `limit`.
    static bool Accepts(uint16_t port, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const int s = socket(AF_INET, SOCK_STREAM, 0);
            const bool ok = s >= 0 && connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            if (s >= 0)
                close(s);
            if (ok)
                return true;
            if (std::chrono::steady_clock::now() >= end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
#endif
    bool ReadPort(const std::string& file) {
        std::ifstream in(file);
        int port = 0;
        if (in >> port && port > 0 && port < 65536)
            port_ = static_cast<uint16_t>(port);
        return port_ != 0;
    }

    std::string kind_;
    std::string base_;
    std::string root_;
    uint16_t port_ = 0;
#ifndef _WIN32
    TServerProcess server_;
#endif
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace kw::test
