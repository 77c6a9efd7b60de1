// Debian's mosquitto for a native test or benchmark: started on a free port of 127.0.0.1 with a
// configuration in a temporary folder (plain, with a password file, or with TLS and a
// certificate made here), and mosquitto_sub as a subscriber.
#pragma once
#ifndef _WIN32
#include "platform/Tcp.h"
#include "platform/Tls.h"
#include "tests/platform/TempFolder.h"
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kw::test {

using Clock = std::chrono::steady_clock;

inline int64_t MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Runs a program with its output into `out`; waits at most `limitMs`, then kills it. Returns
// its exit status, or nullopt when it could not start or was killed.
inline std::optional<int> RunProgram(const std::vector<std::string>& argv, const std::string& out, int limitMs,
                       pid_t* started = nullptr) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return std::nullopt;
    if (started) {
        *started = pid;
        return 0;
    }
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
}

// A port nobody listens on now (the system's choice for a listener that is closed again).
inline uint16_t FreePort() {
    net::TTcpListener l;
    net::TIpv4Endpoint at;
    if (!l.Listen({{127, 0, 0, 1}, 0}).ok() || !l.LocalEndpoint(at).ok())
        return 0;
    return at.Port;
}

inline bool Accepts(uint16_t port) {
    net::TTcpConnection c;
    return c.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 1000).ok();
}

// A certificate authority of the test's own, standing for one the system's trust store holds.
class TTestCa {
public:
    TTestCa() {
        ok_ = RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                          "/CN=KWPAGE test authority", "-keyout", KeyFile(), "-out", CertFile()},
                         dir_.Path("openssl.out"), 60000) == 0;
    }
    bool Ok() const { return ok_; }
    std::string CertFile() const { return dir_.Path("ca.pem"); }
    std::string KeyFile() const { return dir_.Path("ca.key"); }

private:
    kwtest::TTempFolder dir_;
    bool ok_ = false;
};

struct TBrokerOptions {
    std::string User, Password;  // set: a password file, no anonymous clients
    bool Tls = false;
    const TTestCa* SignedBy = nullptr;  // with TLS: the broker's certificate is this authority's, else its own
};

// mosquitto with a configuration in a temporary folder.
class TMosquitto {
public:
    explicit TMosquitto(TBrokerOptions options) : options_(std::move(options)) {
        std::string conf;
        for (int attempt = 0; attempt < 3 && !Ok(); ++attempt) {
            port_ = FreePort();
            conf = "listener " + std::to_string(port_) + " 127.0.0.1\npersistence false\nlog_dest none\n";
            if (getuid() == 0)
                conf += "user root\n";
            if (!options_.User.empty()) {
                const std::string file = dir_.Path("passwd");
                if (RunProgram({"/usr/bin/mosquitto_passwd", "-b", "-c", file, options_.User, options_.Password},
                        dir_.Path("passwd.out"), 10000) != 0)
                    return;
                conf += "allow_anonymous false\npassword_file " + file + "\n";
            } else {
                conf += "allow_anonymous true\n";
            }
            if (options_.Tls) {
                if (!MakeCertificate())
                    return;
                conf += "certfile " + dir_.Path("cert.pem") + "\nkeyfile " + dir_.Path("key.pem") + "\n";
            }
            dir_.Write("mosquitto.conf", conf);
            Start();
        }
    }
    ~TMosquitto() { Stop(); }

    bool Ok() const { return pid_ != 0; }
    uint16_t Port() const { return port_; }
    const std::string& Sha256() const { return sha256_; }
    std::string CertFile() const { return dir_.Path("cert.pem"); }

    void Start() {
        const std::string conf = dir_.Path("mosquitto.conf");
        if (!RunProgram({"/usr/sbin/mosquitto", "-c", conf}, dir_.Path("mosquitto.out"), 0, &pid_))
            pid_ = 0;
        for (int i = 0; i < 100 && pid_ && !Accepts(port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (pid_ && !Accepts(port_))
            Stop();
    }
    void Stop() {
        if (!pid_)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, &status, WNOHANG) == 0 && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = 0;
    }

    // mosquitto_sub's arguments for this broker.
    std::vector<std::string> Client() const {
        std::vector<std::string> a{"/usr/bin/mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(port_)};
        if (!options_.User.empty())
            a.insert(a.end(), {"-u", options_.User, "-P", options_.Password});
        if (options_.Tls)
            a.insert(a.end(), {"--cafile", options_.SignedBy ? options_.SignedBy->CertFile() : CertFile(), "--insecure"});
        return a;
    }

    // The first `count` messages of `topic` (retained ones at once), each payload as it came.
    std::optional<std::string> Receive(const std::string& topic, int count = 1, int waitSecs = 5) {
        std::vector<std::string> a = Client();
        a.insert(a.end(), {"-t", topic, "-C", std::to_string(count), "-W", std::to_string(waitSecs), "-N"});
        const std::string out = dir_.Path("sub.out");
        if (RunProgram(a, out, waitSecs * 1000 + 5000) != 0)
            return std::nullopt;
        return dir_.Read("sub.out");
    }

    kwtest::TTempFolder dir_;

private:
    bool MakeCertificate() {
        std::vector<std::string> make{"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                      "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                                      "-keyout", dir_.Path("key.pem"), "-out", dir_.Path("cert.pem")};
        if (options_.SignedBy)
            make.insert(make.end(), {"-addext", "basicConstraints=critical,CA:FALSE", "-CA",
                                     options_.SignedBy->CertFile(), "-CAkey", options_.SignedBy->KeyFile()});
        if (RunProgram(make, dir_.Path("openssl.out"), 60000) != 0)
            return false;
        if (RunProgram({"/usr/bin/openssl", "x509", "-in", dir_.Path("cert.pem"), "-noout", "-fingerprint", "-sha256"},
                dir_.Path("fingerprint"), 10000) != 0)
            return false;
        const std::string text = dir_.Read("fingerprint");  // "sha256 Fingerprint=AB:CD:..."
        sha256_ = net::NormalizeSha256Text(text.substr(text.find('=') + 1, 95));
        return !sha256_.empty();
    }

    TBrokerOptions options_;
    uint16_t port_ = 0;
    pid_t pid_ = 0;
    std::string sha256_;
};

} // namespace kw::test
#endif
