// TCP over Winsock. Sockets are kept non-blocking and every wait goes through select() with
// the caller's time limit (select, unlike WSAPoll on older Windows, reports a refused connect).
// WaitAny takes up to MaxWaitSockets sockets in one select(); Winsock's fd_set is a counted
// array whose size each program chooses before the first include.
#define FD_SETSIZE 1024
#include "platform/Tcp.h"
#include "platform/NameLookup.h"
#include "platform/SocketOps.h"
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace kw::net {

namespace {

using Clock = std::chrono::steady_clock;

// Winsock is started once for the whole run and never stopped: sockets may be used until
// the process ends.
void EnsureWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

TNetStatus Failure(int error) { return {TNetStatus::Failed, error, SocketErrorText(error)}; }
TNetStatus LastFailure() { return Failure(WSAGetLastError()); }

SOCKET AsSocket(intptr_t h) { return static_cast<SOCKET>(h); }

using sock::TWaitFor;

// Waits until `s` is ready or `timeoutMs` has passed.
TNetStatus WaitReady(SOCKET s, TWaitFor what, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left < 0)
            left = 0;
        fd_set rd, wr, ex;
        FD_ZERO(&rd);
        FD_ZERO(&wr);
        FD_ZERO(&ex);
        if (what == TWaitFor::Read)
            FD_SET(s, &rd);
        else
            FD_SET(s, &wr);
        if (what == TWaitFor::Connect)
            FD_SET(s, &ex);  // a failed connect is reported here
        timeval tv;
        tv.tv_sec = static_cast<long>(left / 1000000);
        tv.tv_usec = static_cast<long>(left % 1000000);
        const int n = select(0, &rd, &wr, &ex, &tv);
        if (n > 0)
            return {};
        if (n == 0)
            return {TNetStatus::TimedOut, 0, {}};
        if (WSAGetLastError() != WSAEINTR)
            return LastFailure();
    }
}

bool SetNonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

sockaddr_in ToSockaddr(const TIpv4Endpoint& e) { return sock::ToSockaddrIn<sockaddr_in>(e, AF_INET); }
TIpv4Endpoint FromSockaddr(const sockaddr_in& a) { return sock::FromSockaddrIn(a); }

SOCKET NewSocket() {
    EnsureWinsock();
    SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s != INVALID_SOCKET && !SetNonBlocking(s)) {
        const int e = WSAGetLastError();
        closesocket(s);
        WSASetLastError(e);
        return INVALID_SOCKET;
    }
    return s;
}


int SockaddrLen() { return static_cast<int>(sizeof(sockaddr_in)); }

} // namespace

std::string SocketErrorText(int error) {
    char* msg = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&msg), 0, nullptr);
    std::string text = (n > 0 && msg) ? std::string(msg, n) : std::string();
    if (msg)
        LocalFree(msg);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? TextOf(TMessage::Of("SocketError", {std::to_string(error)})) : text;
}

TNetStatus SystemNameLookup(const std::string& host, TIpv4Endpoint& out) {
    EnsureWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (rc != 0 || list == nullptr)
        return {TNetStatus::Failed, rc, host + ": " + SocketErrorText(rc)};
    out = FromSockaddr(*reinterpret_cast<const sockaddr_in*>(list->ai_addr));
    freeaddrinfo(list);
    return {};
}

// --- socket calls for the shared part ---------------------------------------------------------

namespace sock {

void Start() { EnsureWinsock(); }
TNetStatus Failure(int error) { return net::Failure(error); }
TNetStatus LastFailure() { return net::LastFailure(); }

TNetStatus Wait(intptr_t handle, TWaitFor what, int timeoutMs) { return WaitReady(AsSocket(handle), what, timeoutMs); }

TNetStatus NotOpen() { return Failure(WSAENOTSOCK); }

void CloseGracefully(intptr_t handle) noexcept {
    shutdown(AsSocket(handle), SD_SEND);
    closesocket(AsSocket(handle));
}

void ShutdownSend(intptr_t handle) noexcept { shutdown(AsSocket(handle), SD_SEND); }

TNetStatus LocalAddress(intptr_t handle, TIpv4Endpoint& out) {
    sockaddr_in a{};
    int len = SockaddrLen();
    if (getsockname(AsSocket(handle), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return LastFailure();
    out = FromSockaddr(a);
    return {};
}

TNetStatus PeerAddress(intptr_t handle, TIpv4Endpoint& out) {
    sockaddr_in a{};
    int len = SockaddrLen();
    if (getpeername(AsSocket(handle), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return LastFailure();
    out = FromSockaddr(a);
    return {};
}

TNetStatus ConnectTo(const TIpv4Endpoint& to, int timeoutMs, intptr_t& handle) {
    const SOCKET s = NewSocket();
    if (s == INVALID_SOCKET)
        return LastFailure();
    const sockaddr_in a = ToSockaddr(to);
    if (connect(s, reinterpret_cast<const sockaddr*>(&a), SockaddrLen()) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            const TNetStatus st = LastFailure();
            closesocket(s);
            return st;
        }
        TNetStatus st = WaitReady(s, TWaitFor::Connect, timeoutMs);
        int err = 0;
        int len = sizeof err;
        if (st.ok() && getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
            err = WSAGetLastError();
        if (st.ok() && err != 0)
            st = Failure(err);
        if (!st.ok()) {
            closesocket(s);
            return st;
        }
    }
    const BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    handle = static_cast<intptr_t>(s);
    return {};
}

} // namespace sock

// --- TTcpConnection --------------------------------------------------------------------------

TNetStatus TTcpConnection::SendAll(const void* data, size_t size, int timeoutMs) {
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    const SOCKET s = AsSocket(handle_);
    const char* p = static_cast<const char*>(data);
    // One limit for the whole call: a peer that takes a few bytes now and then cannot stretch it.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (size > 0) {
        const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
        const int n = send(s, p, chunk, 0);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)
            return LastFailure();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return {TNetStatus::TimedOut, 0, {}};
        TNetStatus st = WaitReady(s, TWaitFor::Write, static_cast<int>(left));
        if (!st.ok())
            return st;
    }
    return {};
}

TNetStatus TTcpConnection::SendSome(const void* data, size_t size, size_t& sent) {
    sent = 0;
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
    const int n = send(AsSocket(handle_), static_cast<const char*>(data), chunk, 0);
    if (n >= 0) {
        sent = static_cast<size_t>(n);
        return {};
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? TNetStatus() : LastFailure();
}

TNetStatus TTcpConnection::Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs) {
    received = 0;
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    const SOCKET s = AsSocket(handle_);
    const int cap = capacity > (1u << 30) ? (1 << 30) : static_cast<int>(capacity);
    for (;;) {
        const int n = recv(s, static_cast<char*>(buffer), cap, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return {};
        }
        if (n == 0)
            return {TNetStatus::Closed, 0, {}};
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return LastFailure();
        TNetStatus st = WaitReady(s, TWaitFor::Read, timeoutMs);
        if (!st.ok())
            return st;
    }
}

// --- TTcpListener ----------------------------------------------------------------------------

void TTcpListener::Close() noexcept {
    if (handle_ != TTcpConnection::InvalidHandle)
        closesocket(AsSocket(handle_));
    handle_ = TTcpConnection::InvalidHandle;
}

TNetStatus TTcpListener::Listen(const TIpv4Endpoint& local, int backlog) {
    Close();
    const SOCKET s = NewSocket();
    if (s == INVALID_SOCKET)
        return LastFailure();
    const sockaddr_in a = ToSockaddr(local);
    // No other program may take the port while we listen (SO_REUSEADDR would let one).
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    if (bind(s, reinterpret_cast<const sockaddr*>(&a), SockaddrLen()) != 0 || listen(s, backlog) != 0) {
        const TNetStatus st = LastFailure();
        closesocket(s);
        return st;
    }
    handle_ = static_cast<intptr_t>(s);
    return {};
}

TNetStatus TTcpListener::Accept(TTcpConnection& out, int timeoutMs, TIpv4Endpoint* peer) {
    if (!IsOpen())
        return Failure(WSAENOTSOCK);
    const SOCKET s = AsSocket(handle_);
    for (;;) {
        sockaddr_in from{};
        int len = sizeof from;
        const SOCKET c = accept(s, reinterpret_cast<sockaddr*>(&from), &len);
        if (c != INVALID_SOCKET) {
            if (peer)
                *peer = FromSockaddr(from);
            // Sockets accepted from a non-blocking listener inherit its mode; set it anyway.
            SetNonBlocking(c);
            out = TTcpConnection();
            out.handle_ = static_cast<intptr_t>(c);
            return {};
        }
        const int e = WSAGetLastError();
        if (e == WSAECONNRESET)
            continue;  // the peer gave up before we took it; wait for the next one
        if (e != WSAEWOULDBLOCK)
            return Failure(e);
        TNetStatus st = WaitReady(s, TWaitFor::Read, timeoutMs);
        if (!st.ok())
            return st;
    }
}

TNetStatus WaitAny(TSocketWait* sockets, size_t count, int timeoutMs) {
    static_assert(FD_SETSIZE >= MaxWaitSockets);
    if (count > MaxWaitSockets)
        return Failure(WSAEINVAL);
    for (size_t i = 0; i < count; ++i)
        sockets[i].Readable = sockets[i].Writable = false;
    // fd_set of 1024 sockets is 8 KiB each: kept off the stack of a server thread's deep calls.
    struct TSets {
        fd_set Read, Write, Error;
    };
    auto sets = std::make_unique<TSets>();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        FD_ZERO(&sets->Read);
        FD_ZERO(&sets->Write);
        FD_ZERO(&sets->Error);
        bool any = false;
        for (size_t i = 0; i < count; ++i) {
            const SOCKET s = AsSocket(sockets[i].Handle);
            if (sockets[i].Read)
                FD_SET(s, &sets->Read);
            if (sockets[i].Write)
                FD_SET(s, &sets->Write);
            FD_SET(s, &sets->Error);
            any = true;
        }
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left < 0)
            left = 0;
        if (!any) {  // select() with no socket fails at once; the caller asked for a pause
            Sleep(static_cast<DWORD>(left / 1000));
            return {TNetStatus::TimedOut, 0, {}};
        }
        timeval tv;
        tv.tv_sec = static_cast<long>(left / 1000000);
        tv.tv_usec = static_cast<long>(left % 1000000);
        const int n = select(0, &sets->Read, &sets->Write, &sets->Error, &tv);
        if (n == 0)
            return {TNetStatus::TimedOut, 0, {}};
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEINTR)
            continue;
        if (n == SOCKET_ERROR)
            return LastFailure();
        for (size_t i = 0; i < count; ++i) {
            const SOCKET s = AsSocket(sockets[i].Handle);
            const bool error = FD_ISSET(s, &sets->Error) != 0;
            sockets[i].Readable = sockets[i].Read && (FD_ISSET(s, &sets->Read) || error);
            sockets[i].Writable = sockets[i].Write && (FD_ISSET(s, &sets->Write) || error);
        }
        return {};
    }
}

} // namespace kw::net
