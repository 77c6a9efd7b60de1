// MQTT 3.1.1 packets (OASIS standard, sections 2 and 3).
#include "delivery/mqtt/MqttPacket.h"

namespace kw::mqtt {

namespace {

enum : uint8_t {
    Connect = 0x10,
    ConnAck = 0x20,
    Publish = 0x30,
    PubAck = 0x40,
    PingReq = 0xC0,
    PingResp = 0xD0,
    Disconnect = 0xE0,
};

void AppendLength(std::string& out, size_t length) {
    do {
        auto digit = static_cast<uint8_t>(length % 128);
        length /= 128;
        if (length > 0)
            digit |= 0x80;
        out += static_cast<char>(digit);
    } while (length > 0);
}

void AppendU16(std::string& out, size_t value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void AppendString(std::string& out, std::string_view text) {
    AppendU16(out, text.size());
    out.append(text);
}

} // namespace

bool EncodeConnect(const TConnectOptions& o, std::string& out) {
    const bool withUser = o.User.has_value();
    const bool withPassword = withUser && o.Password.has_value();
    for (const std::string* s : {&o.ClientId, withUser ? &*o.User : nullptr, withPassword ? &*o.Password : nullptr,
                                 o.Will ? &o.Will->Topic : nullptr, o.Will ? &o.Will->Message : nullptr})
        if (s && s->size() > MaxStringBytes)
            return false;

    std::string body;
    AppendString(body, "MQTT");
    body += static_cast<char>(4);  // protocol level 4: 3.1.1
    uint8_t flags = o.CleanSession ? 0x02 : 0;
    if (o.Will)
        flags |= static_cast<uint8_t>(0x04 | ((o.Will->Qos & 3) << 3) | (o.Will->Retain ? 0x20 : 0));
    if (withPassword)
        flags |= 0x40;
    if (withUser)
        flags |= 0x80;
    body += static_cast<char>(flags);
    AppendU16(body, o.KeepAliveSecs);
    AppendString(body, o.ClientId);
    if (o.Will) {
        AppendString(body, o.Will->Topic);
        AppendString(body, o.Will->Message);
    }
    if (withUser)
        AppendString(body, *o.User);
    if (withPassword)
        AppendString(body, *o.Password);

    out += static_cast<char>(Connect);
    AppendLength(out, body.size());
    out += body;
    return true;
}

bool EncodePublish(std::string_view topic, std::string_view payload, uint8_t qos, bool retain, uint16_t packetId,
                   std::string& out) {
    const size_t idBytes = qos > 0 ? 2 : 0;
    if (topic.size() > MaxStringBytes || payload.size() > MaxRemainingLength - 2 - topic.size() - idBytes)
        return false;
    out += static_cast<char>(Publish | ((qos & 3) << 1) | (retain ? 1 : 0));
    AppendLength(out, 2 + topic.size() + idBytes + payload.size());
    AppendString(out, topic);
    if (qos > 0)
        AppendU16(out, packetId);
    out.append(payload);
    return true;
}

void EncodePingReq(std::string& out) {
    out += static_cast<char>(PingReq);
    out += '\0';
}

void EncodeDisconnect(std::string& out) {
    out += static_cast<char>(Disconnect);
    out += '\0';
}

void TPacketReader::Feed(std::string_view bytes) {
    if (fault_ != TDecodeFault::None)
        return;
    if (read_ > 0) {
        buffer_.erase(0, read_);
        read_ = 0;
    }
    buffer_.append(bytes);
}

TPacketReader::TResult TPacketReader::Refuse(TDecodeFault fault, uint8_t header) {
    fault_ = fault;
    faultHeader_ = header;
    buffer_.clear();
    read_ = 0;
    return Fault;
}

TPacketReader::TResult TPacketReader::Next(TPacket& out) {
    if (fault_ != TDecodeFault::None)
        return Fault;
    const std::string_view rest = std::string_view(buffer_).substr(read_);
    if (rest.empty())
        return NeedMore;
    const auto header = static_cast<uint8_t>(rest[0]);
    // The type and its fixed flags decide the one length the packet may have.
    size_t expected = 0;
    switch (header) {
    case ConnAck:
    case PubAck: expected = 2; break;
    case PingResp: expected = 0; break;
    default: return Refuse(TDecodeFault::UnexpectedPacket, header);
    }
    size_t length = 0, used = 1;
    for (size_t multiplier = 1;; multiplier *= 128) {
        if (used >= rest.size())
            return NeedMore;
        const auto digit = static_cast<uint8_t>(rest[used++]);
        length += (digit & 0x7F) * multiplier;
        if (!(digit & 0x80))
            break;
        if (used == 5)
            return Refuse(TDecodeFault::BadLength, header);
    }
    if (length != expected)
        return Refuse(TDecodeFault::BadLength, header);
    if (rest.size() < used + length)
        return NeedMore;
    const auto* body = reinterpret_cast<const uint8_t*>(rest.data() + used);
    out = TPacket{};
    switch (header) {
    case ConnAck:
        if (body[0] & 0xFE)
            return Refuse(TDecodeFault::BadConnAck, header);
        out.Kind = TPacketKind::ConnAck;
        out.SessionPresent = body[0] & 1;
        out.ReturnCode = body[1];
        break;
    case PubAck:
        out.Kind = TPacketKind::PubAck;
        out.PacketId = static_cast<uint16_t>(body[0] << 8 | body[1]);
        break;
    default: out.Kind = TPacketKind::PingResp; break;
    }
    read_ += used + length;
    return Packet;
}

void TPacketReader::Reset() {
    buffer_.clear();
    read_ = 0;
    fault_ = TDecodeFault::None;
    faultHeader_ = 0;
}

} // namespace kw::mqtt
