// One connection to an MQTT broker, kept open on its own thread and shared by every work that
// names the same broker, credentials, client id and status topic.
//
// The thread connects, announces "online" (retained) on the status topic with "offline"
// (retained) as its last will, keeps the connection alive, reads the broker's acknowledgements
// and reconnects after a loss with a bounded, jittered backoff. A page is handed over with
// Publish: it joins a queue that keeps only the latest page of each topic (bounded in topics and
// bytes), so a broker that is down costs memory for one page per topic and never holds a render
// longer than the caller's limit. On Stop the link publishes "offline" and disconnects, so the
// broker announces a clean exit at once and keeps the last will for a vanished studio.
#pragma once
#include "delivery/mqtt/MqttPacket.h"
#include "platform/Message.h"
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kw::mqtt {

struct TBrokerAddress {
    std::string Host;
    uint16_t Port = 1883;
    bool Tls = false;
    std::string TlsSha256;  // empty: the system's check of chain and name
    std::string User;       // empty: no credentials
    std::string Password;
    std::string ClientId;
    std::string StatusTopic;

    // One text that differs whenever any field does (the links' registry is keyed by it).
    std::string Key() const;
    std::string Peer() const { return Host + ":" + std::to_string(Port); }
};

struct TLinkTimings {
    int ConnectMs = 5000;         // name lookup, connect and TLS handshake, each
    int ReplyMs = 5000;           // CONNACK, PUBACK and PINGRESP
    uint16_t KeepAliveSecs = 30;  // the broker announces a vanished link after 1.5 times this
    int BackoffFirstMs = 1000;    // the wait after the first failure; doubled after each one
    int BackoffMaxMs = 30000;
    int CloseMs = 1000;           // "offline" acknowledged before DISCONNECT
};

// At most this many topics wait while the broker is down, and at most this many bytes: past
// either, the page that waited longest gives way.
inline constexpr size_t MaxWaitingTopics = 256;
inline constexpr size_t MaxWaitingBytes = 64u << 20;

struct TPublishResult {
    bool Delivered = false;  // QoS 1: acknowledged by the broker; QoS 0: sent
    // Why not: the link's last failure (empty while its first attempt is still under way), or
    // a reason of the page's own (too large).
    TMessage Cause;
    bool PageRefused = false;  // the cause is the page's own, not the broker's
};

class TBrokerLink {
public:
    TBrokerLink(TBrokerAddress address, TLinkTimings timings);
    TBrokerLink(const TBrokerLink&) = delete;
    TBrokerLink& operator=(const TBrokerLink&) = delete;
    ~TBrokerLink();  // Stop()

    // Queues the page as the latest of its topic and waits at most `waitMs` until it is
    // delivered. While the broker is known to be down it returns at once: the page waits in the
    // queue and goes out when the broker is back.
    TPublishResult Publish(const std::string& topic, std::string payload, uint8_t qos, bool retain, int waitMs);

    bool Connected() const;
    // Asks the thread to end (it announces "offline" first when connected); Stop also waits.
    void BeginStop() noexcept;
    void Stop() noexcept;

    const TBrokerAddress& Address() const noexcept { return address_; }

private:
    struct TTicket;
    struct TEntry;
    struct TStream;

    void Run() noexcept;
    bool Connect(TMessage& cause);
    void Serve();
    void Lost(const TMessage& cause);
    void Farewell();
    void GiveUp() noexcept;
    void Backoff(int failures);
    void Pump();
    bool Send(const std::string& bytes);
    bool ReadSome(int sliceMs, TMessage& cause);
    bool Handle(const TPacket& packet, TMessage& cause);
    void Queue(const std::string& topic, std::string payload, uint8_t qos, bool retain,
               const std::shared_ptr<TTicket>& ticket, bool first);
    void DropOldestWaiting();
    void Requeue();

    const TBrokerAddress address_;
    const TLinkTimings timings_;

    mutable std::mutex lock_;  // everything below but the stream
    std::condition_variable changed_;  // a ticket's or the link's state changed
    std::condition_variable wake_;     // work for the link's thread
    bool stopping_ = false;
    bool up_ = false;
    bool connecting_ = true;
    uint64_t attempts_ = 0;  // connection attempts ended (in success or failure) and losses
    TMessage lastCause_;
    std::map<std::string, TEntry> waiting_;  // by topic
    std::map<uint16_t, TEntry> inFlight_;    // QoS 1, by packet id
    size_t waitingBytes_ = 0;
    uint64_t nextOrder_ = 1;
    uint16_t nextId_ = 1;
    bool broken_ = false;  // a send failed: the thread ends the connection
    TMessage brokenCause_;

    std::mutex sendLock_;  // one sender at a time; with TLS also the reads
    std::unique_ptr<TStream> stream_;
    TPacketReader reader_;
    std::atomic<int64_t> lastSendMs_{0};
    int64_t pingSentMs_ = -1;
    int connAck_ = -1;  // the return code of this connection's CONNACK; -1 before it came

    std::thread thread_;
};

} // namespace kw::mqtt
