// The TLS peers of tls_server.py on 127.0.0.1 with the certificates it made. Natively the test
// starts it; a Windows test program under Wine finds the one ctest started (KW_TLS_SERVER_DIR).
#pragma once
#include "tests/support/ServerProcess.h"
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

namespace kw::test {

class TTlsTestServer {
public:
    TTlsTestServer() {
#ifdef _WIN32
        const char* dir = std::getenv("KW_TLS_SERVER_DIR");
        if (!dir)
            return;
        dir_ = std::string("Z:") + dir;
#else
        char tmpl[] = "/tmp/kwtls_XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        dir_ = tmpl;
        const std::string script = std::string(KW_SOURCE_DIR) + "/tests/platform/tls_server.py";
        server_.Start({"/usr/bin/python3", script, dir_});
#endif
        for (int i = 0; i < 150 && !Load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~TTlsTestServer() {
#ifndef _WIN32
        server_.Stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
#endif
    }

    bool Ok() const { return ports_.size() == 5 && prints_.size() == 3; }
    uint16_t Port(const std::string& name) const { return ports_.count(name) ? ports_.at(name) : 0; }
    std::string Fingerprint(const std::string& name) const { return prints_.count(name) ? prints_.at(name) : ""; }
    std::string File(const std::string& name) const { return dir_ + "/" + name; }

private:
    bool Load() {
        ports_.clear();
        prints_.clear();
        std::ifstream ports(dir_ + "/ports"), prints(dir_ + "/fingerprints");
        std::string name, value;
        while (ports >> name >> value)
            ports_[name] = static_cast<uint16_t>(std::stoi(value));
        while (prints >> name >> value)
            prints_[name] = value;
        return Ok();
    }

    std::string dir_;
    std::map<std::string, uint16_t> ports_;
    std::map<std::string, std::string> prints_;
#ifndef _WIN32
    TServerProcess server_;
#endif
};

} // namespace kw::test
