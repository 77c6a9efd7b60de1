// The live server: a small HTTP/1.1 server on its own thread that serves each live work's
// latest page, the now-playing document, their event streams and the page script, and pushes
// every new page to the browsers and overlays that follow it.
//
// One thread waits on every socket at once (net::WaitAny) and never blocks on one: each client
// has its own bounded queue of answers and events, made of shared buffers. A client that does
// not read is dropped when its queue passes its bound, or when it has taken nothing for a
// while; the others are never delayed by it. Renders hand pages over through TLiveContent and
// wake the thread through a loopback connection of its own.
//
// URLs ("key=<access key>" in the query of each when other computers may connect):
//   /works/<id>           the work's latest page (content type and charset of its output)
//   /works/<id>/events    its event stream: "updated" with the page's version at once and
//                         after every write
//   /nowplaying.json      the now-playing document (live/NowPlaying.h)
//   /nowplaying/events    its event stream: "nowplaying" with the whole document
//   /live.js              the script a page includes to update in place (live/LiveScript.h)
//
// A work's stream says "updated" with a version rather than sending the page: an event stream
// is UTF-8 by definition while a page is in its work's code page (the script fetches the page
// and decodes it by its charset), and a short event keeps 256 clients' queues small however
// large the page; the version lets a client that missed events fetch the latest one only. The
// document is UTF-8 and small, so its stream carries it whole.
#pragma once
#include "config/SettingsFile.h"
#include "live/LiveContent.h"
#include "platform/Message.h"
#include "platform/Tcp.h"
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kw::live {

struct TLiveOptions {
    uint16_t Port = DefaultLivePort;  // the settings' default (config/SettingsFile.h)
    bool OtherComputers = false;  // listen on every address; each URL needs the access key
    std::string AccessKey;
    // Limits.
    size_t MaxClients = 256;
    int RequestMs = 10000;             // for the request line and headers
    int HeartbeatMs = 15000;           // an idle event stream gets a comment this often
    size_t QueueBytes = 256 * 1024;    // queued for one client beyond what its socket took
    int StallMs = 30000;               // a client that takes none of its queue for this long goes
    int BadRequestLogMs = 60000;       // one log line per address at most this often
};

class TLiveServer {
public:
    // `log`: the server's lines for the program's log (called on the server's thread).
    using TLog = std::function<void(const TMessage&)>;
    explicit TLiveServer(TLog log = {});
    ~TLiveServer();
    TLiveServer(const TLiveServer&) = delete;
    TLiveServer& operator=(const TLiveServer&) = delete;

    // Listens and starts the thread (a running server is stopped first). On failure (the port
    // in use) nothing runs and the status tells why.
    [[nodiscard]] net::TNetStatus Start(const TLiveOptions& options);
    // Closes every connection and ends the thread; returns within about a second.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    uint16_t Port() const { return port_; }

    // The works served (any thread). Pages of works that stay are kept.
    void SetWorks(const std::vector<TLiveWork>& works);
    // A work's new page and the new document: O(1) for the caller, never waiting on a client
    // (any thread; also while the server is stopped, so a start serves the latest).
    void PublishPage(const std::string& id, TBytes page);
    void PublishState(TBytes json);

    // Connections open now (tests and the benchmark).
    size_t ClientCount() const { return clients_.load(std::memory_order_acquire); }

private:
    struct TClient;
    void Run() noexcept;
    void Loop();
    void Wake();
    void AcceptAll(int64_t now);
    void Read(TClient& c, int64_t now);
    void Answer(TClient& c, const std::string& path, const std::string& query, bool head, int64_t now);
    void Refuse(TClient& c, int status, bool head, int64_t now);
    void Write(TClient& c, int64_t now);
    void Timers(TClient& c, int64_t now);
    void SendChanges(int64_t now);
    void Enqueue(TClient& c, TBytes bytes, int64_t now);
    int NextWaitMs(int64_t now) const;

    TLog log_;
    TLiveContent content_;
    TLiveOptions options_;
    uint16_t port_ = 0;
    net::TTcpListener listener_;
    net::TTcpConnection wakeSend_, wakeReceive_;
    std::mutex wakeLock_;  // a publisher's send against Start and Stop
    std::atomic<bool> wakePending_{false};
    std::atomic<bool> stop_{false};
    std::atomic<size_t> clients_{0};
    std::vector<std::unique_ptr<TClient>> connections_;  // the server's thread only
    std::vector<std::pair<uint32_t, int64_t>> logged_;   // address, last bad request logged
    std::thread thread_;
};

} // namespace kw::live
