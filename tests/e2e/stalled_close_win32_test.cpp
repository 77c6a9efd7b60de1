// A close request while a render waits on an FTP server that accepts and never answers: the
// shutdown waits for the render, the window stays and refuses further requests, and when the
// upload's bounded wait ends the program closes by itself.
#include <winsock2.h>
#include "tests/e2e/OtherProcess_win32.h"
#include "tests/e2e/Station_win32.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace kw::e2e {
namespace {

// Starts Winsock (the caller ends it) and a listening socket on 127.0.0.1 with a port of the
// system's choosing.
bool ListenOnLoopback(SOCKET& listener, int& port) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof a;
    if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return false;
    port = ntohs(a.sin_port);
    return true;
}

// A server a real one never is: it takes connections and says nothing, ever. (The connections
// are held until the server goes, so the client sees silence rather than a close.)
class TStalledServer {
public:
    TStalledServer() {
        if (!ListenOnLoopback(listener_, port_))
            return;
        thread_ = std::thread([this] {
            for (;;) {
                const SOCKET s = accept(listener_, nullptr, nullptr);
                if (s == INVALID_SOCKET)
                    return;  // the listener was closed
                held_.push_back(s);
                acceptedAt_ = GetTickCount64();
                accepted_.fetch_add(1);
            }
        });
    }
    ~TStalledServer() {
        closesocket(listener_);
        if (thread_.joinable())
            thread_.join();
        for (SOCKET s : held_)
            closesocket(s);
        WSACleanup();
    }
    int Port() const { return port_; }
    int Accepted() const { return accepted_.load(); }
    ULONGLONG AcceptedAt() const { return acceptedAt_.load(); }

private:
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    std::vector<SOCKET> held_;  // only the accepting thread touches it until it is joined
    std::atomic<int> accepted_{0};
    std::atomic<ULONGLONG> acceptedAt_{0};
};

TEST(Shutdown, ACloseRequestWaitsForARenderStalledOnItsServerThenTheProgramClosesByItself) {
    TStalledServer server;
    ASSERT_NE(server.Port(), 0);
    TStation station("stalled");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "!KW!SystemTime\n");
    TStationWork work = Work("stalled", "page.tpl", "page.txt", 0);
    work.Ftp = true;
    work.FtpPort = server.Port();
    work.FtpFile = "page.txt";
    station.WriteSettings({work});
    ASSERT_TRUE(station.Start());

    // The first render (within ten seconds) writes the page and then waits for a greeting.
    ASSERT_TRUE(WaitFor([&] { return server.Accepted() >= 1; }, 20000));
    const int logRows = station.Rows(station.LogGrid());

    PostMessageW(station.Main(), WM_CLOSE, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = station.Program().Window("#32770")) != nullptr; }, 5000));
    SendMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return station.Rows(station.LogGrid()) == logRows + 1; }, 5000));  // "Bye"
    EXPECT_EQ(station.Cell(station.LogGrid(), 0, 1), "Завершение работы программы");

    // While the upload waits, the window stays and a further close request asks nothing: the
    // request's handler returns at once (a question would hold it until the time limit).
    ASSERT_TRUE(station.Program().Running());
    EXPECT_TRUE(IsWindow(station.Main()));
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(station.Main(), WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &answer), 0)
        << "the second close request did not return within 10 s";
    EXPECT_EQ(station.Program().Window("#32770"), nullptr);
    EXPECT_TRUE(station.Program().Running());

    // The bounded wait for the greeting ends, the render finishes and the program closes.
    EXPECT_EQ(station.Program().WaitExit(60000), 0u);
    const ULONGLONG held = GetTickCount64() - server.AcceptedAt();
    EXPECT_GE(held, 20000u) << "closed before the upload's wait had ended";
    EXPECT_EQ(server.Accepted(), 1);  // no render started after the close request
}

// A server that answers every command just within the 30 s reply limit (25 s), so that no
// single wait runs out: only the upload's one bound of 10 + 30 s ends it.
class TSlowServer {
public:
    TSlowServer() {
        if (!ListenOnLoopback(listener_, port_))
            return;
        thread_ = std::thread([this] {
            const SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                return;
            acceptedAt_ = GetTickCount64();
            accepted_ = true;
            const char* replies[] = {"220 slow\r\n", "331 password\r\n", "230 in\r\n", "200 type\r\n", "215 UNIX\r\n"};
            for (const char* reply : replies) {
                for (int i = 0; i < 250 && !stop_; ++i)
                    Sleep(100);
                if (stop_ || send(s, reply, static_cast<int>(strlen(reply)), 0) <= 0)
                    break;
                char line[512];
                if (recv(s, line, sizeof line, 0) <= 0)  // the next command, or the client's close
                    break;
            }
            closesocket(s);
        });
    }
    ~TSlowServer() {
        stop_ = true;
        closesocket(listener_);
        if (thread_.joinable())
            thread_.join();
        WSACleanup();
    }
    int Port() const { return port_; }
    bool Accepted() const { return accepted_.load(); }
    ULONGLONG AcceptedAt() const { return acceptedAt_.load(); }

private:
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false}, accepted_{false};
    std::atomic<ULONGLONG> acceptedAt_{0};
};

TEST(Shutdown, ASlowServerHoldsTheShutdownNoLongerThanTheUploadsBound) {
    TSlowServer server;
    ASSERT_NE(server.Port(), 0);
    TStation station("slow");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "!KW!SystemTime\n");
    TStationWork work = Work("slow", "page.tpl", "page.txt", 0);
    work.Ftp = true;
    work.FtpPort = server.Port();
    work.FtpFile = "page.txt";
    station.WriteSettings({work});
    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(WaitFor([&] { return server.Accepted(); }, 20000));

    PostMessageW(station.Main(), WM_CLOSE, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = station.Program().Window("#32770")) != nullptr; }, 5000));
    ClickWindow(GetDlgItem(question, IDYES));  // as the mouse delivers it (OtherProcess_win32.h)

    // Per wait the server is always in time; the upload's bound (40 s) ends it all the same.
    EXPECT_EQ(station.Program().WaitExit(90000), 0u);
    const ULONGLONG held = GetTickCount64() - server.AcceptedAt();
    std::printf("slow FTP server: the program closed %llu ms after the upload began (bound 40000 ms)\n", held);
    EXPECT_LT(held, 40000u + 1000u);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) {
    if (!kw::e2e::Exists(kw::e2e::KwpageExe())) {
        std::printf("FAIL: KWPAGE.exe is not built\n");
        return kw::e2e::NotBuilt;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
