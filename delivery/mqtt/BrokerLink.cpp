// One kept-open connection to an MQTT broker.
//
// Locks: `sendLock_` (one sender on the connection; with TLS also the reads, since a TLS stream
// is one state machine) is always taken before `lock_`, never after it. The stream is made and
// destroyed only by the link's thread, holding `sendLock_`, while `up_` says whether others may
// send on it.
#include "delivery/mqtt/BrokerLink.h"
#include "platform/Tcp.h"
#include "platform/Tls.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace kw::mqtt {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr size_t MaxInFlight = 64;  // QoS 1 messages sent and not yet acknowledged
constexpr int ReadSliceMs = 100;    // how often the thread looks at its timers and the queue
constexpr int TlsReadMs = 10;       // a TLS read holds the senders off this long at most

TMessage NetCause(const TBrokerAddress& a, const net::TNetStatus& s, const char* timedOutKey) {
    const TMessage cause = s.Kind == net::TNetStatus::TimedOut ? TMessage::Of(timedOutKey)
                           : s.Kind == net::TNetStatus::Closed ? TMessage::Of("PeerClosed")
                                                               : s.Message();
    return TMessage::Of("PeerFailure", {a.Peer(), cause});
}

TMessage Refusal(uint8_t code) {
    static const char* const keys[] = {"", "MqttRefusedVersion", "MqttRefusedClientId", "MqttRefusedUnavailable",
                                       "MqttRefusedLogin", "MqttRefusedNotAuthorized"};
    if (code >= 1 && code <= 5)
        return TMessage::Of(keys[code]);
    return TMessage::Of("MqttRefusedCode", {std::to_string(code)});
}

TMessage Fault(const TPacketReader& reader) {
    char header[8];
    std::snprintf(header, sizeof header, "0x%02X", reader.FaultHeader());
    return TMessage::Of(reader.FaultKind() == TDecodeFault::UnexpectedPacket ? "MqttUnexpectedPacket" : "MqttBadPacket",
                        {std::string(header)});
}

} // namespace

std::string TBrokerAddress::Key() const {
    std::string key;
    for (const std::string* field : {&Host, &TlsSha256, &User, &Password, &ClientId, &StatusTopic}) {
        key += std::to_string(field->size());
        key += ':';
        key += *field;
    }
    key += std::to_string(Port);
    key += Tls ? "s" : "p";
    return key;
}

struct TBrokerLink::TTicket {
    enum TState { Waiting, Delivered, Superseded, Refused } State = Waiting;
    TMessage Cause;
};

struct TBrokerLink::TEntry {
    std::string Topic;
    std::string Payload;
    uint8_t Qos = 0;
    bool Retain = false;
    std::shared_ptr<TTicket> Ticket;
    uint64_t Order = 0;  // the order pages go out in: 0 before every page (presence)
    int64_t SentMs = 0;
};

// The connection: plain TCP, or TLS over it.
struct TBrokerLink::TStream {
    bool UseTls = false;
    net::TTcpConnection Tcp;
    net::TTlsStream Tls;

    net::TNetStatus Send(const std::string& bytes, int ms) {
        return UseTls ? Tls.SendAll(bytes.data(), bytes.size(), ms) : Tcp.SendAll(bytes.data(), bytes.size(), ms);
    }
    net::TNetStatus Receive(char* buffer, size_t capacity, size_t& got, int ms) {
        return UseTls ? Tls.Receive(buffer, capacity, got, ms) : Tcp.Receive(buffer, capacity, got, ms);
    }
    void Close(int ms) {
        if (UseTls)
            Tls.Close(ms);
        else
            Tcp.Finish(ms);
    }
};

TBrokerLink::TBrokerLink(TBrokerAddress address, TLinkTimings timings)
    : address_(std::move(address)), timings_(timings) {
    thread_ = std::thread([this] { Run(); });
}

TBrokerLink::~TBrokerLink() { Stop(); }

void TBrokerLink::BeginStop() noexcept {
    {
        std::lock_guard<std::mutex> l(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    changed_.notify_all();
}

void TBrokerLink::Stop() noexcept {
    BeginStop();
    if (thread_.joinable())
        thread_.join();
}

bool TBrokerLink::Connected() const {
    std::lock_guard<std::mutex> l(lock_);
    return up_;
}

TPublishResult TBrokerLink::Publish(const std::string& topic, std::string payload, uint8_t qos, bool retain,
                                    int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
    auto ticket = std::make_shared<TTicket>();
    bool up = false;
    {
        std::lock_guard<std::mutex> l(lock_);
        Queue(topic, std::move(payload), qos, retain, ticket, false);
        if (ticket->State == TTicket::Refused)
            return {false, ticket->Cause, true};
        up = up_;
        if (!up && !connecting_)
            return {false, lastCause_};  // down: the page waits for the broker
    }
    wake_.notify_all();
    if (up)
        Pump();
    std::unique_lock<std::mutex> l(lock_);
    changed_.wait_until(l, deadline, [&] {
        return ticket->State != TTicket::Waiting || (!up_ && !connecting_) || stopping_;
    });
    switch (ticket->State) {
    case TTicket::Delivered: return {true, {}};
    case TTicket::Refused: return {false, ticket->Cause, true};
    default: return {false, lastCause_};
    }
}

// Under lock_.
void TBrokerLink::Queue(const std::string& topic, std::string payload, uint8_t qos, bool retain,
                        const std::shared_ptr<TTicket>& ticket, bool first) {
    if (payload.size() > MaxWaitingBytes) {
        if (ticket) {
            ticket->State = TTicket::Refused;
            ticket->Cause = TMessage::Of("MqttPageTooLarge", {std::to_string(payload.size())});
        }
        return;
    }
    auto same = waiting_.find(topic);
    if (same != waiting_.end()) {
        if (same->second.Ticket)
            same->second.Ticket->State = TTicket::Superseded;
        waitingBytes_ -= same->second.Payload.size();
        waiting_.erase(same);
    }
    while (!waiting_.empty() &&
           (waiting_.size() >= MaxWaitingTopics || waitingBytes_ + payload.size() > MaxWaitingBytes))
        DropOldestWaiting();
    waitingBytes_ += payload.size();
    TEntry entry{topic, std::move(payload), static_cast<uint8_t>(qos ? 1 : 0), retain, ticket,
                 first ? 0 : nextOrder_++, 0};
    waiting_.emplace(topic, std::move(entry));
    changed_.notify_all();
}

// Under lock_.
void TBrokerLink::DropOldestWaiting() {
    auto oldest = std::min_element(waiting_.begin(), waiting_.end(),
                                   [](const auto& a, const auto& b) { return a.second.Order < b.second.Order; });
    if (oldest->second.Ticket)
        oldest->second.Ticket->State = TTicket::Superseded;
    waitingBytes_ -= oldest->second.Payload.size();
    waiting_.erase(oldest);
}

// Under sendLock_ and lock_: what was sent and not acknowledged waits again, unless a newer
// page of its topic already does.
void TBrokerLink::Requeue() {
    for (auto& [id, entry] : inFlight_) {
        if (waiting_.count(entry.Topic)) {
            if (entry.Ticket)
                entry.Ticket->State = TTicket::Superseded;
            continue;
        }
        waitingBytes_ += entry.Payload.size();
        std::string topic = entry.Topic;
        waiting_.emplace(std::move(topic), std::move(entry));
    }
    inFlight_.clear();
    while (!waiting_.empty() && (waiting_.size() > MaxWaitingTopics || waitingBytes_ > MaxWaitingBytes))
        DropOldestWaiting();
}

// Any thread: sends what waits, oldest first, while the link is up.
void TBrokerLink::Pump() {
    std::lock_guard<std::mutex> s(sendLock_);
    for (;;) {
        std::string bytes;
        std::shared_ptr<TTicket> sentAtOnce;  // QoS 0: delivered once sent
        {
            std::lock_guard<std::mutex> l(lock_);
            if (!up_ || broken_ || waiting_.empty() || inFlight_.size() >= MaxInFlight)
                return;
            auto it = std::min_element(waiting_.begin(), waiting_.end(),
                                       [](const auto& a, const auto& b) { return a.second.Order < b.second.Order; });
            TEntry entry = std::move(it->second);
            waitingBytes_ -= entry.Payload.size();
            waiting_.erase(it);
            uint16_t id = 0;
            if (entry.Qos) {
                do {
                    id = nextId_++;
                } while (id == 0 || inFlight_.count(id));
            }
            if (!EncodePublish(entry.Topic, entry.Payload, entry.Qos, entry.Retain, id, bytes)) {
                if (entry.Ticket) {
                    entry.Ticket->State = TTicket::Refused;
                    entry.Ticket->Cause = TMessage::Of("MqttPageTooLarge", {std::to_string(entry.Payload.size())});
                }
                changed_.notify_all();
                continue;
            }
            if (entry.Qos) {
                entry.SentMs = NowMs();
                inFlight_.emplace(id, std::move(entry));
            } else {
                sentAtOnce = entry.Ticket;
            }
        }
        if (!Send(bytes))
            return;
        if (sentAtOnce) {
            std::lock_guard<std::mutex> l(lock_);
            sentAtOnce->State = TTicket::Delivered;
            changed_.notify_all();
        }
    }
}

// Under sendLock_. A failed send breaks the connection; the thread ends it.
bool TBrokerLink::Send(const std::string& bytes) {
    const net::TNetStatus s = stream_->Send(bytes, timings_.ReplyMs);
    if (s.ok()) {
        lastSendMs_ = NowMs();
        return true;
    }
    {
        std::lock_guard<std::mutex> l(lock_);
        if (!broken_) {
            broken_ = true;
            brokenCause_ = NetCause(address_, s, "SendTimedOut");
        }
    }
    wake_.notify_all();
    return false;
}

void TBrokerLink::Run() noexcept {
    int failures = 0;
    for (;;) {
        bool failed = false;
        try {
            {
                std::lock_guard<std::mutex> l(lock_);
                if (stopping_)
                    break;
                connecting_ = true;
            }
            TMessage cause;
            const bool connected = Connect(cause);
            {
                std::lock_guard<std::mutex> l(lock_);
                connecting_ = false;
                ++attempts_;
                if (connected) {
                    up_ = true;
                    lastCause_ = {};
                    Queue(address_.StatusTopic, "online", 1, true, nullptr, true);
                } else {
                    lastCause_ = cause;
                }
            }
            changed_.notify_all();
            if (connected) {
                failures = 0;
                Serve();
                continue;  // a lost connection is tried again at once, then with backoff
            }
            failed = true;
        } catch (...) {
            // Out of memory: the connection, if any, is given up and tried again after a wait.
            GiveUp();
            failed = true;
        }
        if (failed) {
            try {
                Backoff(++failures);
            } catch (...) {
                std::this_thread::sleep_for(std::chrono::milliseconds(timings_.BackoffMaxMs));
            }
        }
    }
    {
        std::lock_guard<std::mutex> l(lock_);
        up_ = false;
        connecting_ = false;
    }
    changed_.notify_all();
}

void TBrokerLink::GiveUp() noexcept {
    try {
        Lost(TMessage::Of("OutOfMemory"));
    } catch (...) {
        std::lock_guard<std::mutex> s(sendLock_);
        std::lock_guard<std::mutex> l(lock_);
        up_ = false;
        connecting_ = false;
        broken_ = false;
        stream_.reset();
    }
    changed_.notify_all();
}

// Each link's thread jitters from its own seed, so the studios that lost one broker together do
// not all come back in the same instant.
void TBrokerLink::Backoff(int failures) {
    thread_local std::minstd_rand random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        static_cast<int64_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()))));
    const int64_t full = std::min<int64_t>(timings_.BackoffMaxMs, int64_t{timings_.BackoffFirstMs}
                                                                      << std::min(failures - 1, 20));
    // Between half the wait and the whole of it.
    const int64_t ms = full / 2 + static_cast<int64_t>(random() % static_cast<uint64_t>(full / 2 + 1));
    std::unique_lock<std::mutex> l(lock_);
    wake_.wait_for(l, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

bool TBrokerLink::Connect(TMessage& cause) {
    auto stream = std::make_unique<TStream>();
    net::TNetStatus s = stream->Tcp.Connect(address_.Host, address_.Port, timings_.ConnectMs);
    if (!s.ok()) {
        cause = NetCause(address_, s, "ConnectTimedOut");
        return false;
    }
    if (address_.Tls) {
        stream->UseTls = true;
        s = stream->Tls.Handshake(std::move(stream->Tcp), {address_.Host, address_.TlsSha256}, timings_.ConnectMs);
        if (!s.ok()) {
            cause = NetCause(address_, s, "ConnectTimedOut");
            // A refused certificate names the one the broker showed, so it can be trusted on purpose.
            if (!stream->Tls.PeerSha256().empty() && s.Key.find("Certificate") != std::string::npos)
                cause = TMessage::Of("PeerFailure", {address_.Peer(), TMessage::Of("CertificateFingerprint",
                                                                          {s.Message(), stream->Tls.PeerSha256()})});
            return false;
        }
    }
    TConnectOptions options;
    options.ClientId = address_.ClientId;
    options.KeepAliveSecs = timings_.KeepAliveSecs;
    if (!address_.User.empty()) {
        options.User = address_.User;
        options.Password = address_.Password;
    }
    options.Will = TWill{address_.StatusTopic, "offline", 1, true};
    std::string hello;
    if (!EncodeConnect(options, hello)) {
        cause = TMessage::Of("MqttFieldTooLong");
        return false;
    }
    {
        std::lock_guard<std::mutex> s2(sendLock_);
        stream_ = std::move(stream);
        reader_.Reset();
        pingSentMs_ = -1;
        const net::TNetStatus sent = stream_->Send(hello, timings_.ReplyMs);
        if (!sent.ok()) {
            cause = NetCause(address_, sent, "SendTimedOut");
            stream_.reset();
            return false;
        }
        lastSendMs_ = NowMs();
    }
    // The broker's CONNACK, within the reply limit; a stop is looked at between reads.
    const int64_t until = NowMs() + timings_.ReplyMs;
    connAck_ = -1;
    while (connAck_ < 0) {
        {
            std::lock_guard<std::mutex> l(lock_);
            if (stopping_) {
                cause = {};
                break;
            }
        }
        const int64_t left = until - NowMs();
        if (left <= 0) {
            cause = TMessage::Of("PeerFailure", {address_.Peer(), TMessage::Of("MqttNoConnAck",
                                                                               {DurationMessage(timings_.ReplyMs)})});
            break;
        }
        if (!ReadSome(static_cast<int>(std::min<int64_t>(left, ReadSliceMs)), cause))
            break;
    }
    if (connAck_ == 0)
        return true;
    if (connAck_ > 0)
        cause = TMessage::Of("PeerFailure", {address_.Peer(), Refusal(static_cast<uint8_t>(connAck_))});
    std::lock_guard<std::mutex> s2(sendLock_);
    stream_->Close(0);
    stream_.reset();
    return false;
}

// Reads what the broker sent within `sliceMs` and acts on it; false, with the cause, when the
// connection is over.
bool TBrokerLink::ReadSome(int sliceMs, TMessage& cause) {
    char buffer[4096];
    size_t got = 0;
    net::TNetStatus s;
    if (address_.Tls) {
        {
            std::lock_guard<std::mutex> g(sendLock_);
            s = stream_->Receive(buffer, sizeof buffer, got, std::min(sliceMs, TlsReadMs));
        }
        if (s.Kind == net::TNetStatus::TimedOut && sliceMs > TlsReadMs) {
            std::unique_lock<std::mutex> l(lock_);
            wake_.wait_for(l, std::chrono::milliseconds(TlsReadMs), [&] { return stopping_ || broken_; });
        }
    } else {
        s = stream_->Receive(buffer, sizeof buffer, got, sliceMs);
    }
    if (s.Kind == net::TNetStatus::TimedOut)
        return true;
    if (!s.ok()) {
        cause = NetCause(address_, s, "TimedOut");
        return false;
    }
    reader_.Feed(std::string_view(buffer, got));
    for (;;) {
        TPacket packet;
        switch (reader_.Next(packet)) {
        case TPacketReader::NeedMore: return true;
        case TPacketReader::Fault: cause = TMessage::Of("PeerFailure", {address_.Peer(), Fault(reader_)}); return false;
        case TPacketReader::Packet:
            if (!Handle(packet, cause))
                return false;
            break;
        }
    }
}

bool TBrokerLink::Handle(const TPacket& packet, TMessage& cause) {
    const auto unexpected = [&](uint8_t header) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", header);
        cause = TMessage::Of("PeerFailure",
                             {address_.Peer(), TMessage::Of("MqttUnexpectedPacket", {std::string(text)})});
        return false;
    };
    switch (packet.Kind) {
    case TPacketKind::ConnAck:
        if (connAck_ >= 0)
            return unexpected(0x20);  // a second CONNACK
        connAck_ = packet.ReturnCode;
        return true;
    case TPacketKind::PubAck: {
        if (connAck_ != 0)
            return unexpected(0x40);
        std::lock_guard<std::mutex> l(lock_);
        // An id not in flight is an acknowledgement of a connection that was given up: ignored.
        if (auto it = inFlight_.find(packet.PacketId); it != inFlight_.end()) {
            if (it->second.Ticket)
                it->second.Ticket->State = TTicket::Delivered;
            inFlight_.erase(it);
            changed_.notify_all();
        }
        return true;
    }
    case TPacketKind::PingResp:
        if (connAck_ != 0)
            return unexpected(0xD0);
        pingSentMs_ = -1;
        return true;
    }
    return true;
}

// While connected: sends what waits, reads acknowledgements, keeps the connection alive.
void TBrokerLink::Serve() {
    const int64_t keepAliveMs = int64_t{timings_.KeepAliveSecs} * 1000;
    for (;;) {
        {
            std::unique_lock<std::mutex> l(lock_);
            if (stopping_)
                break;
            if (broken_) {
                const TMessage cause = brokenCause_;
                l.unlock();
                Lost(cause);
                return;
            }
        }
        Pump();
        TMessage cause;
        if (!ReadSome(ReadSliceMs, cause)) {
            Lost(cause);
            return;
        }
        const int64_t now = NowMs();
        const auto noAnswer = [&](const char* key) {
            Lost(TMessage::Of("PeerFailure",
                              {address_.Peer(), TMessage::Of(key, {DurationMessage(timings_.ReplyMs)})}));
        };
        if (pingSentMs_ >= 0 && now - pingSentMs_ > timings_.ReplyMs)
            return noAnswer("MqttNoPingResp");
        bool ackOverdue = false;
        {
            std::lock_guard<std::mutex> l(lock_);
            for (const auto& [id, entry] : inFlight_)
                ackOverdue = ackOverdue || now - entry.SentMs > timings_.ReplyMs;
        }
        if (ackOverdue)
            return noAnswer("MqttNoPubAck");
        // Something must reach the broker within the keep-alive; a ping at half of it leaves
        // the other half for the answer.
        if (pingSentMs_ < 0 && now - lastSendMs_ >= keepAliveMs / 2) {
            std::string ping;
            EncodePingReq(ping);
            std::lock_guard<std::mutex> s(sendLock_);
            if (Send(ping))
                pingSentMs_ = NowMs();
        }
    }
    Farewell();
}

// The connection is over: what was in flight waits again, and the stream is closed.
void TBrokerLink::Lost(const TMessage& cause) {
    {
        std::lock_guard<std::mutex> s(sendLock_);
        {
            std::lock_guard<std::mutex> l(lock_);
            up_ = false;
            broken_ = false;
            lastCause_ = cause;
            ++attempts_;
            Requeue();
        }
        if (stream_)
            stream_->Close(0);
        stream_.reset();
    }
    changed_.notify_all();
}

// A clean exit: the pages that wait go out, then "offline" (retained), each acknowledged within
// the close limit at most, then DISCONNECT, which tells the broker to drop the last will.
void TBrokerLink::Farewell() {
    const int64_t until = NowMs() + timings_.CloseMs;
    auto offline = std::make_shared<TTicket>();
    {
        std::lock_guard<std::mutex> l(lock_);
        Queue(address_.StatusTopic, "offline", 1, true, offline, false);
    }
    TMessage cause;
    bool open = true;
    for (;;) {
        Pump();
        {
            std::lock_guard<std::mutex> l(lock_);
            if (broken_ || (offline->State != TTicket::Waiting && inFlight_.empty()))
                break;
        }
        const int64_t left = until - NowMs();
        if (left <= 0)
            break;
        if (!ReadSome(static_cast<int>(std::min<int64_t>(left, 20)), cause)) {
            open = false;
            break;
        }
    }
    std::lock_guard<std::mutex> s(sendLock_);
    {
        std::lock_guard<std::mutex> l(lock_);
        open = open && !broken_;
        up_ = false;
        inFlight_.clear();
    }
    if (open) {
        std::string bye;
        EncodeDisconnect(bye);
        (void)stream_->Send(bye, timings_.CloseMs);
    }
    stream_->Close(timings_.CloseMs);
    stream_.reset();
}

} // namespace kw::mqtt
