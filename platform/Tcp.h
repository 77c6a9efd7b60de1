// TCP connections for the FTP client: IPv4 only (FTP's PORT and PASV speak IPv4 addresses).
// Every call that can wait takes a time limit in milliseconds, so no caller can hang on a peer
// that stops answering. Winsock on Windows (started once, on first use), BSD sockets elsewhere.
#pragma once
#include <cstddef>
#include "platform/Message.h"
#include <cstdint>
#include <string>
#include <utility>

namespace kw::net {

// An IPv4 address and port, both in host order ("127.0.0.1" is 127,0,0,1).
struct TIpv4Endpoint {
    uint8_t Host[4] = {0, 0, 0, 0};
    uint16_t Port = 0;

    std::string HostText() const;  // dotted form
};

// The outcome of a socket call. Text is the system's message for Error; where the failure is
// ours to word (a refused certificate, a lookup), Key names its message and Text, when set, is
// its one argument.
struct TNetStatus {
    enum TKind { Ok, TimedOut, Closed, Failed };
    TNetStatus() = default;
    TNetStatus(TKind kind, int error = 0, std::string text = {}, std::string key = {})
        : Kind(kind), Error(error), Text(std::move(text)), Key(std::move(key)) {}

    TKind Kind = Ok;
    int Error = 0;     // errno or WSAGetLastError() value for Failed
    std::string Text;
    std::string Key;

    bool ok() const noexcept { return Kind == Ok; }
    // What the station reads of a failure.
    TMessage Message() const {
        if (Key.empty())
            return TMessage(Text);
        return Text.empty() ? TMessage::Of(Key) : TMessage::Of(Key, {Text});
    }
};

// The system's text for a socket error number (strerror / FormatMessage).
std::string SocketErrorText(int error);

// One TCP connection. Move-only; closing is graceful (shutdown of the sending side first).
class TTcpConnection {
public:
    TTcpConnection() = default;
    TTcpConnection(const TTcpConnection&) = delete;
    TTcpConnection& operator=(const TTcpConnection&) = delete;
    TTcpConnection(TTcpConnection&& other) noexcept;
    TTcpConnection& operator=(TTcpConnection&& other) noexcept;
    ~TTcpConnection();

    // Resolves `host` (a name or a dotted address) to IPv4 and connects within `timeoutMs`.
    // Time-out: Kind TimedOut, Text empty (the caller words it).
    [[nodiscard]] TNetStatus Connect(const std::string& host, uint16_t port, int timeoutMs);
    [[nodiscard]] TNetStatus Connect(const TIpv4Endpoint& to, int timeoutMs);

    // Sends all `size` bytes within `timeoutMs` for the whole call (a peer that takes a little
    // now and then does not stretch it).
    [[nodiscard]] TNetStatus SendAll(const void* data, size_t size, int timeoutMs);
    // Sends what the system takes at once, without waiting: `sent` may be 0 (the peer's
    // window is full). For a server that serves many peers from one thread.
    [[nodiscard]] TNetStatus SendSome(const void* data, size_t size, size_t& sent);

    // Receives what has arrived, up to `capacity` bytes, waiting at most `timeoutMs` for the
    // first byte. `received` is 0 only with Kind Closed (the peer closed its side).
    [[nodiscard]] TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int timeoutMs);

    // Address of this end of the connection.
    [[nodiscard]] TNetStatus LocalEndpoint(TIpv4Endpoint& out) const;
    // Address of the other end (the FTP client sends data connections only there).
    [[nodiscard]] TNetStatus PeerEndpoint(TIpv4Endpoint& out) const;

    bool IsOpen() const noexcept { return handle_ != InvalidHandle; }
    void Close() noexcept;
    // Ends our side (the peer reads the end of data) and keeps reading possible.
    void ShutdownSend() noexcept;
    // Ends the connection in order: the end of our data, then whatever the peer still sends is
    // read and dropped until it closes too, for at most `timeoutMs`, then the close. (Closing
    // with unread bytes, such as TLS session tickets, would reset the connection and the peer
    // could lose the last data.)
    void Finish(int timeoutMs) noexcept;
    // The socket itself, for a stream layered on the connection (TLS).
    intptr_t NativeHandle() const noexcept { return handle_; }

private:
    friend class TTcpListener;
    static constexpr intptr_t InvalidHandle = -1;
    intptr_t handle_ = InvalidHandle;
};

// A listening socket for one or more incoming connections.
class TTcpListener {
public:
    TTcpListener() = default;
    TTcpListener(const TTcpListener&) = delete;
    TTcpListener& operator=(const TTcpListener&) = delete;
    ~TTcpListener();

    // Listens on `local` (port 0: the system chooses one; LocalEndpoint tells which). The port
    // is ours alone while we listen (a second listener on it fails), and a port we used a
    // moment ago can be taken again at once.
    [[nodiscard]] TNetStatus Listen(const TIpv4Endpoint& local, int backlog = 1);
    [[nodiscard]] TNetStatus LocalEndpoint(TIpv4Endpoint& out) const;
    // Waits at most `timeoutMs` for a connection; `peer`, when given, gets the caller's address.
    [[nodiscard]] TNetStatus Accept(TTcpConnection& out, int timeoutMs, TIpv4Endpoint* peer = nullptr);

    bool IsOpen() const noexcept { return handle_ != TTcpConnection::InvalidHandle; }
    void Close() noexcept;
    // The socket itself, for WaitAny.
    intptr_t NativeHandle() const noexcept { return handle_; }

private:
    intptr_t handle_ = TTcpConnection::InvalidHandle;
};

// One socket of a WaitAny: what to wait for, and what came.
struct TSocketWait {
    intptr_t Handle = -1;  // NativeHandle() of a connection or a listener
    bool Read = false;     // data, a connection to accept, the peer's close or an error
    bool Write = false;    // room to send
    bool Readable = false;
    bool Writable = false;
};

// Waits until at least one socket is ready as asked, or `timeoutMs` has passed (TimedOut).
// At most 1024 sockets.
[[nodiscard]] TNetStatus WaitAny(TSocketWait* sockets, size_t count, int timeoutMs);
inline constexpr size_t MaxWaitSockets = 1024;

} // namespace kw::net
