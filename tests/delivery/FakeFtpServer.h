// A scripted FTP server on 127.0.0.1 for the faults real servers do not produce on demand.
// It serves one control connection on its own thread, runs the test's script on it and
// records every command line it received. Built on the platform's TCP seam, so the same
// tests run natively and under Wine.
#pragma once
#include "delivery/ftp/FtpPasv.h"
#include "platform/Tcp.h"
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kw::test {

// A TCP connection from 127.0.0.2, another address of the loopback network: a host other than
// the FTP server, trying to bring or take the data of a transfer.
class TForeignConnection {
public:
    TForeignConnection() = default;
    TForeignConnection(const TForeignConnection&) = delete;
    TForeignConnection& operator=(const TForeignConnection&) = delete;
    ~TForeignConnection() { Close(); }

    bool Open(const net::TIpv4Endpoint& to) {
        Close();
        s_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000002);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(to.Port);
        at.sin_addr.s_addr = htonl(static_cast<uint32_t>(to.Host[0]) << 24 | to.Host[1] << 16 | to.Host[2] << 8 | to.Host[3]);
        return bind(s_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
               connect(s_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }
    // Waits at most `ms` for the other end to close; false when it sent data or stayed open.
    bool ClosedUnheard(int ms) {
        fd_set read;
        FD_ZERO(&read);
        FD_SET(s_, &read);
        timeval wait{ms / 1000, (ms % 1000) * 1000};
        if (select(static_cast<int>(s_ + 1), &read, nullptr, nullptr, &wait) != 1)
            return false;
        char c;
        return recv(s_, &c, 1, 0) <= 0;
    }
    void Close() {
        if (s_ == Invalid)
            return;
#ifdef _WIN32
        closesocket(s_);
#else
        ::close(s_);
#endif
        s_ = Invalid;
    }

private:
#ifdef _WIN32
    using TSocket = SOCKET;
    static constexpr TSocket Invalid = INVALID_SOCKET;
#else
    using TSocket = int;
    static constexpr TSocket Invalid = -1;
#endif
    TSocket s_ = Invalid;
};

class TFakeSession {
public:
    static constexpr int WaitMs = 10000;  // bound on every wait of the fake server

    net::TTcpConnection Control;
    net::TTcpListener DataListener;
    net::TTcpConnection Data;

    void Send(const std::string& text) {  // raw bytes, line ends included by the caller
        (void)Control.SendAll(text.data(), text.size(), WaitMs);
    }
    void Reply(const std::string& line) { Send(line + "\r\n"); }

    // The next command line, without its line end; empty when the client closed or went silent.
    std::string Command() {
        for (;;) {
            const size_t lf = pending_.find('\n');
            if (lf != std::string::npos) {
                std::string line = pending_.substr(0, lf);
                pending_.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                std::lock_guard<std::mutex> lock(*commandsLock_);
                commands_->push_back(line);
                return line;
            }
            char buf[1024];
            size_t got = 0;
            if (!Control.Receive(buf, sizeof buf, got, WaitMs).ok())
                return {};
            pending_.append(buf, got);
        }
    }

    // Greeting, USER/PASS, TYPE, SYST answered as a well-behaved server does.
    void Login() {
        Reply("220 fake ready");
        Command();
        Reply("331 password please");
        Command();
        Reply("230 logged in");
        Command();
        Reply("200 type set");
        Command();
        Reply("215 UNIX Type: L8");
    }

    // Opens a data listener and returns its address in PASV form.
    std::string OpenPassive() {
        net::TIpv4Endpoint local{{127, 0, 0, 1}, 0};
        (void)DataListener.Listen(local);
        (void)DataListener.LocalEndpoint(local);
        return "227 Entering Passive Mode (" + ftp::FormatPortArgument(local) + ").";
    }
    bool AcceptData() { return DataListener.Accept(Data, WaitMs).ok(); }

    // Reads the data connection to its end; the bytes received.
    std::string ReadAllData() {
        std::string all;
        char buf[65536];
        for (;;) {
            size_t got = 0;
            if (!Data.Receive(buf, sizeof buf, got, WaitMs).ok())
                return all;
            all.append(buf, got);
        }
    }

private:
    friend class TFakeFtpServer;
    std::string pending_;
    std::vector<std::string>* commands_ = nullptr;
    std::mutex* commandsLock_ = nullptr;
};

class TFakeFtpServer {
public:
    using TScript = std::function<void(TFakeSession&)>;

    explicit TFakeFtpServer(TScript script) {
        net::TIpv4Endpoint local{{127, 0, 0, 1}, 0};
        (void)listener_.Listen(local);
        (void)listener_.LocalEndpoint(local);
        port_ = local.Port;
        thread_ = std::thread([this, script = std::move(script)] {
            TFakeSession session;
            session.commands_ = &commands_;
            session.commandsLock_ = &lock_;
            if (!listener_.Accept(session.Control, TFakeSession::WaitMs).ok())
                return;
            script(session);
        });
    }
    ~TFakeFtpServer() { Join(); }

    uint16_t Port() const { return port_; }
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }
    // The commands received so far (call after Join() for the whole session).
    std::vector<std::string> Commands() {
        std::lock_guard<std::mutex> lock(lock_);
        return commands_;
    }

private:
    net::TTcpListener listener_;
    uint16_t port_ = 0;
    std::mutex lock_;
    std::vector<std::string> commands_;
    std::thread thread_;
};

} // namespace kw::test
