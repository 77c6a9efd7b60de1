// The live server's thread: accepting, reading requests, answering, and pushing events.
#include "live/LiveServer.h"
#include "live/EventStream.h"
#include "live/HttpRequest.h"
#include "live/HttpResponse.h"
#include "live/LiveScript.h"
#include "live/SendQueue.h"
#include <algorithm>
#include <chrono>
#include <vector>

namespace kw::live {

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TBytes Shared(std::string text) { return std::make_shared<const std::string>(std::move(text)); }

constexpr int DrainMs = 2000;         // reading what a client still sends after our answer
constexpr size_t ReadChunk = 4096;
constexpr int MaxWaitMs = 60000;
constexpr std::string_view WorksPrefix = "/works/";
constexpr std::string_view EventsSuffix = "/events";

// Compares without stopping at the first difference, so the time of a refusal does not tell
// how much of a guessed key was right.
bool SameKey(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return diff == 0;
}

} // namespace

struct TLiveServer::TClient {
    enum TPhase { Request, Answer, Stream, Draining };
    net::TTcpConnection Conn;
    net::TIpv4Endpoint Peer;
    TPhase Phase = Request;
    std::string In;
    TSendQueue Out;
    size_t OutOffset = 0;  // sent of Out.front()
    size_t OutBytes = 0;   // queued, not yet sent
    int64_t Deadline = 0;  // Request: end of the request time; Draining: end of the drain
    int64_t LastProgress = 0;
    bool StreamsState = false;  // Stream: the document's stream, else a work's
    std::string StreamId;       // Stream of a work: its id key
    bool Gone = false;
};

TLiveServer::TLiveServer(TLog log) : log_(std::move(log)) {}

TLiveServer::~TLiveServer() { Stop(); }

void TLiveServer::SetWorks(const std::vector<TLiveWork>& works) { content_.SetWorks(works); }

void TLiveServer::PublishPage(const std::string& id, TBytes page) {
    if (content_.PublishPage(id, std::move(page)))
        Wake();
}

void TLiveServer::PublishState(TBytes json) {
    content_.PublishState(std::move(json));
    Wake();
}

void TLiveServer::Wake() {
    // One byte in flight is enough: the thread takes every change when it wakes.
    if (wakePending_.exchange(true, std::memory_order_acq_rel))
        return;
    std::lock_guard<std::mutex> lock(wakeLock_);
    size_t sent = 0;
    if (wakeSend_.IsOpen())
        (void)wakeSend_.SendSome("!", 1, sent);
}

net::TNetStatus TLiveServer::Start(const TLiveOptions& options) {
    Stop();
    options_ = options;
    options_.MaxClients = std::min(options_.MaxClients, net::MaxWaitSockets - 2);  // + listener, wake-up
    net::TIpv4Endpoint at{{127, 0, 0, 1}, options.Port};
    if (options.OtherComputers)
        at = net::TIpv4Endpoint{{0, 0, 0, 0}, options.Port};
    net::TNetStatus s = listener_.Listen(at, 128);
    if (!s.ok())
        return s;
    // The wake-up connection: a private listener on a port of the system's choice, and only the
    // connection that comes from our own socket is taken.
    net::TTcpListener pairing;
    net::TIpv4Endpoint local{{127, 0, 0, 1}, 0}, mine, peer;
    s = pairing.Listen(local, 4);
    if (s.ok())
        s = pairing.LocalEndpoint(local);
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        if (s.ok())
            s = wakeSend_.Connect(local, 5000);
        if (s.ok())
            s = wakeSend_.LocalEndpoint(mine);
    }
    while (s.ok()) {
        s = pairing.Accept(wakeReceive_, 5000, &peer);
        if (!s.ok() || peer.Port == mine.Port)
            break;
        wakeReceive_.Close();
    }
    net::TIpv4Endpoint bound;
    if (s.ok())
        s = listener_.LocalEndpoint(bound);
    if (!s.ok()) {
        listener_.Close();
        std::lock_guard<std::mutex> lock(wakeLock_);
        wakeSend_.Close();
        wakeReceive_.Close();
        return s;
    }
    port_ = bound.Port;
    stop_.store(false, std::memory_order_release);
    wakePending_.store(false, std::memory_order_release);
    thread_ = std::thread([this] { Run(); });
    return {};
}

void TLiveServer::Stop() {
    if (!thread_.joinable())
        return;
    stop_.store(true, std::memory_order_release);
    wakePending_.store(false, std::memory_order_release);
    Wake();
    thread_.join();
    listener_.Close();
    std::lock_guard<std::mutex> lock(wakeLock_);
    wakeSend_.Close();
    wakeReceive_.Close();
}

void TLiveServer::Run() noexcept {
    try {
        Loop();
    } catch (...) {
        // out of memory: the server ends, the program runs on (the connections close below)
    }
    connections_.clear();
    logged_.clear();
    clients_.store(0, std::memory_order_release);
}

void TLiveServer::Loop() {
    std::vector<net::TSocketWait> waits;
    while (!stop_.load(std::memory_order_acquire)) {
        int64_t now = SteadyMs();
        waits.clear();
        waits.push_back({listener_.NativeHandle(), true});
        waits.push_back({wakeReceive_.NativeHandle(), true});
        for (const auto& c : connections_)
            waits.push_back({c->Conn.NativeHandle(), true, c->OutBytes > 0});
        const net::TNetStatus s = net::WaitAny(waits.data(), waits.size(), NextWaitMs(now));
        if (s.Kind == net::TNetStatus::Failed)
            return;  // a socket the system no longer knows: nothing can be served
        now = SteadyMs();
        if (s.ok() && waits[1].Readable) {
            wakePending_.store(false, std::memory_order_release);
            char drain[64];
            size_t got = 0;
            (void)wakeReceive_.Receive(drain, sizeof drain, got, 0);
        }
        if (stop_.load(std::memory_order_acquire))
            return;
        SendChanges(now);
        for (size_t i = 0; i < connections_.size(); ++i) {
            TClient& c = *connections_[i];
            const net::TSocketWait& w = waits[i + 2];
            if (s.ok() && w.Readable && !c.Gone)
                Read(c, now);
            if (c.OutBytes > 0 && !c.Gone)  // sends that cannot wait: tried at once, not only when writable
                Write(c, now);
            // A whole answer may be a large page, sent as the client takes it; only a stream's
            // queue is bounded, as it grows by itself while the client does not read. Checked
            // after the send, so a burst of events first goes to the system's buffers.
            if (c.Phase == TClient::Stream && c.OutBytes > options_.QueueBytes)
                c.Gone = true;
            Timers(c, now);
        }
        std::erase_if(connections_, [](const std::unique_ptr<TClient>& c) { return c->Gone; });
        if (s.ok() && waits[0].Readable)
            AcceptAll(now);
        clients_.store(connections_.size(), std::memory_order_release);
    }
}

int TLiveServer::NextWaitMs(int64_t now) const {
    int64_t next = now + MaxWaitMs;
    for (const auto& c : connections_) {
        if (c->Phase == TClient::Request || c->Phase == TClient::Draining)
            next = std::min(next, c->Deadline);
        if (c->OutBytes > 0)
            next = std::min<int64_t>(next, c->LastProgress + options_.StallMs);
        else if (c->Phase == TClient::Stream)
            next = std::min<int64_t>(next, c->LastProgress + options_.HeartbeatMs);
    }
    return static_cast<int>(std::clamp<int64_t>(next - now, 0, MaxWaitMs));
}

void TLiveServer::AcceptAll(int64_t now) {
    for (int i = 0; i < 64; ++i) {
        auto c = std::make_unique<TClient>();
        if (!listener_.Accept(c->Conn, 0, &c->Peer).ok())
            return;
        if (connections_.size() >= options_.MaxClients) {
            const std::string busy = RefusalResponse(503, false);
            size_t sent = 0;
            (void)c->Conn.SendSome(busy.data(), busy.size(), sent);
            continue;  // closed as it goes
        }
        c->Deadline = now + options_.RequestMs;
        c->LastProgress = now;
        connections_.push_back(std::move(c));
    }
}

void TLiveServer::Read(TClient& c, int64_t now) {
    char buf[ReadChunk];
    size_t got = 0;
    const net::TNetStatus s = c.Conn.Receive(buf, sizeof buf, got, 0);
    if (s.Kind == net::TNetStatus::TimedOut)
        return;
    if (!s.ok()) {  // the peer closed or reset: nothing more can reach it
        c.Gone = true;
        return;
    }
    if (c.Phase != TClient::Request)
        return;  // anything after the request is read and dropped
    c.In.append(buf, got);
    const THttpParse parsed = ParseHttpRequest(c.In);
    if (parsed.State == THttpParse::NeedMore)
        return;
    c.In.clear();
    c.In.shrink_to_fit();
    if (parsed.State == THttpParse::Refused)
        Refuse(c, parsed.Status, false, now);
    else
        Answer(c, parsed.Request.Path, parsed.Request.Query, parsed.Request.Head, now);
}

void TLiveServer::Answer(TClient& c, const std::string& path, const std::string& query, bool head, int64_t now) {
    if (options_.OtherComputers && !SameKey(QueryValue(query, "key"), options_.AccessKey))
        return Refuse(c, 403, head, now);
    const auto whole = [&](const std::string& type, const TBytes& body) {
        c.Phase = TClient::Answer;
        Enqueue(c, Shared(ResponseHead(200, type, body->size())), now);
        if (!head && !body->empty())
            Enqueue(c, body, now);
    };
    const auto stream = [&] {
        c.Phase = head ? TClient::Answer : TClient::Stream;  // a HEAD gets the head and the close
        Enqueue(c, Shared(EventStreamHead()), now);
    };
    if (path == "/live.js") {
        static const TBytes script = Shared(std::string(LiveScriptText()));
        return whole("text/javascript; charset=utf-8", script);
    }
    if (path == "/nowplaying.json" || path == "/nowplaying/events") {
        const TServedItem state = content_.State();
        if (!state.Bytes)
            return Refuse(c, 404, head, now);
        if (path == "/nowplaying.json")
            return whole(state.ContentType, state.Bytes);
        stream();
        c.StreamsState = true;
        if (!head)
            Enqueue(c, Shared(EventText("nowplaying", std::to_string(state.Version), *state.Bytes)), now);
        return;
    }
    if (path.compare(0, WorksPrefix.size(), WorksPrefix) == 0) {
        std::string id = path.substr(WorksPrefix.size());
        const bool events = id.size() > EventsSuffix.size() &&
                            id.compare(id.size() - EventsSuffix.size(), EventsSuffix.size(), EventsSuffix) == 0;
        if (events)
            id.resize(id.size() - EventsSuffix.size());
        const std::optional<TServedItem> page = id.find('/') == std::string::npos ? content_.Page(id) : std::nullopt;
        if (!page || (!events && !page->Bytes))
            return Refuse(c, 404, head, now);
        if (!events)
            return whole(page->ContentType, page->Bytes);
        stream();
        c.StreamId = TLiveContent::IdKey(id);
        if (!head && page->Bytes) {
            const std::string version = std::to_string(page->Version);
            Enqueue(c, Shared(EventText("updated", version, version)), now);
        }
        return;
    }
    Refuse(c, 404, head, now);
}

void TLiveServer::Refuse(TClient& c, int status, bool head, int64_t now) {
    c.Phase = TClient::Answer;
    Enqueue(c, Shared(RefusalResponse(status, head)), now);
    if (status == 404 || !log_)
        return;  // a wrong address is not an attack; the rest is logged once a minute per address
    uint32_t address = 0;
    for (const uint8_t b : c.Peer.Host)
        address = address << 8 | b;
    auto it = std::find_if(logged_.begin(), logged_.end(), [&](const auto& e) { return e.first == address; });
    if (it != logged_.end() && now - it->second < options_.BadRequestLogMs)
        return;
    if (it == logged_.end()) {
        if (logged_.size() >= 1024)  // bounded: the oldest line is forgotten
            logged_.erase(std::min_element(logged_.begin(), logged_.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; }));
        logged_.emplace_back(address, now);
    } else {
        it->second = now;
    }
    log_(TMessage::Of("LiveBadRequest", {TMessage(c.Peer.HostText()), TMessage(std::to_string(status))}));
}

void TLiveServer::Enqueue(TClient& c, TBytes bytes, int64_t now) {
    if (c.Gone || bytes->empty())
        return;
    if (c.OutBytes == 0)
        c.LastProgress = now;  // the stall clock runs from the first byte waiting
    c.OutBytes += bytes->size();
    c.Out.push_back(std::move(bytes));
}

void TLiveServer::Write(TClient& c, int64_t now) {
    while (!c.Out.empty()) {
        const std::string& front = *c.Out.front();
        size_t sent = 0;
        if (!c.Conn.SendSome(front.data() + c.OutOffset, front.size() - c.OutOffset, sent).ok()) {
            c.Gone = true;
            return;
        }
        if (sent == 0)
            return;
        c.LastProgress = now;
        c.OutBytes -= sent;
        c.OutOffset += sent;
        if (c.OutOffset < front.size())
            return;
        c.Out.pop_front();
        c.OutOffset = 0;
    }
    if (c.Phase == TClient::Answer) {
        // All said: the end of our data, then what the client still sends is read and dropped
        // for a moment, so the close does not reset the connection before it read the answer.
        c.Conn.ShutdownSend();
        c.Phase = TClient::Draining;
        c.Deadline = now + DrainMs;
    }
}

void TLiveServer::Timers(TClient& c, int64_t now) {
    if (c.Gone)
        return;
    if (c.Phase == TClient::Request && now >= c.Deadline) {
        if (c.In.empty())
            c.Gone = true;  // said nothing at all: closed without a word
        else
            Refuse(c, 408, false, now);
    } else if (c.Phase == TClient::Draining && now >= c.Deadline) {
        c.Gone = true;
    } else if (c.OutBytes > 0 && now - c.LastProgress >= options_.StallMs) {
        c.Gone = true;
    } else if (c.Phase == TClient::Stream && c.OutBytes == 0 && now - c.LastProgress >= options_.HeartbeatMs) {
        static const TBytes heartbeat = Shared(std::string(HeartbeatText()));
        Enqueue(c, heartbeat, now);
        Write(c, now);
    }
}

void TLiveServer::SendChanges(int64_t now) {
    for (const TLiveContent::TChange& change : content_.TakeChanges()) {
        const std::string version = std::to_string(change.Version);
        // one buffer for every follower
        const TBytes event = change.Id.empty() ? Shared(EventText("nowplaying", version, *change.Bytes))
                                               : Shared(EventText("updated", version, version));
        for (const auto& c : connections_)
            if (c->Phase == TClient::Stream && c->StreamsState == change.Id.empty() && c->StreamId == change.Id)
                Enqueue(*c, event, now);
    }
}

} // namespace kw::live
