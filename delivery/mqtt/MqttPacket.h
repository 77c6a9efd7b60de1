// The MQTT packets a publishing client sends and the few it may receive.
//
// MQTT 3.1.1 (OASIS standard, 2014) rather than 5.0: every broker a station group meets speaks
// it (5.0 brokers accept 3.1.1 clients too), and a publisher needs nothing 5.0 adds: retained
// messages, a last will and QoS 1 are all in 3.1.1. 5.0's properties, reason strings and
// authentication exchanges would only widen what the decoder must take from the broker.
//
// The encoder builds whole packets. The decoder reads what the broker sends as hostile: a
// client that never subscribes may only receive CONNACK, PUBACK and PINGRESP, each with its fixed
// flags and length, so anything else is refused as soon as its fixed header is read, and no
// length the broker announces is ever allocated.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kw::mqtt {

// The largest remaining length the variable-length encoding can carry (four bytes of it).
inline constexpr size_t MaxRemainingLength = 268435455;
// A string field (topic, client id, user name) holds at most this many bytes.
inline constexpr size_t MaxStringBytes = 65535;

struct TWill {
    std::string Topic;
    std::string Message;
    uint8_t Qos = 1;
    bool Retain = true;
};

struct TConnectOptions {
    std::string ClientId;
    uint16_t KeepAliveSecs = 30;
    bool CleanSession = true;
    std::optional<std::string> User;      // no user: no credentials are sent
    std::optional<std::string> Password;  // sent only with a user (3.1.1 allows no password alone)
    std::optional<TWill> Will;
};

// Each encoder returns false (and leaves `out` as it was) when a field is longer than the
// protocol can carry.
bool EncodeConnect(const TConnectOptions& options, std::string& out);
bool EncodePublish(std::string_view topic, std::string_view payload, uint8_t qos, bool retain, uint16_t packetId,
                   std::string& out);
void EncodePingReq(std::string& out);
void EncodeDisconnect(std::string& out);

// What the broker sent.
enum class TPacketKind : uint8_t { ConnAck, PubAck, PingResp };

struct TPacket {
    TPacketKind Kind = TPacketKind::PingResp;
    bool SessionPresent = false;  // CONNACK
    uint8_t ReturnCode = 0;       // CONNACK: 0 accepted, 1..5 the refusals of the standard
    uint16_t PacketId = 0;        // PUBACK
};

// Why the broker's bytes were refused.
enum class TDecodeFault : uint8_t {
    None,
    BadLength,         // a remaining length longer than four bytes, or not the packet's own
    UnexpectedPacket,  // a type a publishing client never receives, or reserved flags set
    BadConnAck,        // reserved bits of the acknowledge flags set
};

// Reads packets out of the bytes as they arrive, in pieces of any size. After a fault it stays
// at fault: the connection is to be closed.
class TPacketReader {
public:
    enum TResult { NeedMore, Packet, Fault };

    // Appends bytes from the connection. Only the current packet's few bytes are ever kept.
    void Feed(std::string_view bytes);
    // The next whole packet, if one has arrived.
    TResult Next(TPacket& out);
    TDecodeFault FaultKind() const noexcept { return fault_; }
    // The first byte of the packet refused (its type in the high four bits), for the message.
    uint8_t FaultHeader() const noexcept { return faultHeader_; }
    void Reset();

private:
    TResult Refuse(TDecodeFault fault, uint8_t header);

    std::string buffer_;
    size_t read_ = 0;  // bytes of buffer_ already taken
    TDecodeFault fault_ = TDecodeFault::None;
    uint8_t faultHeader_ = 0;
};

} // namespace kw::mqtt
