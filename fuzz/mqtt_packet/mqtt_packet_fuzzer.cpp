// Arbitrary bytes as a broker's side of the connection, cut into pieces by the first byte: the
// reader gives only CONNACK, PUBACK and PINGRESP, each exactly as the standard builds them, or a
// fault after which it gives nothing more; the same bytes in other pieces read the same.
#include "delivery/mqtt/MqttPacket.h"
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

struct TRead {
    std::vector<kw::mqtt::TPacket> Packets;
    bool Fault = false;
};

TRead ReadAll(std::string_view bytes, size_t piece) {
    kw::mqtt::TPacketReader reader;
    TRead read;
    for (size_t at = 0; at < bytes.size() && !read.Fault; at += piece) {
        reader.Feed(bytes.substr(at, piece));
        for (;;) {
            kw::mqtt::TPacket p;
            const auto r = reader.Next(p);
            if (r == kw::mqtt::TPacketReader::NeedMore)
                break;
            if (r == kw::mqtt::TPacketReader::Fault) {
                read.Fault = true;
                kw::mqtt::TPacket again;
                if (reader.Next(again) != kw::mqtt::TPacketReader::Fault ||
                    reader.FaultKind() == kw::mqtt::TDecodeFault::None)
                    __builtin_trap();
                break;
            }
            read.Packets.push_back(p);
        }
    }
    return read;
}

bool Same(const TRead& a, const TRead& b) {
    if (a.Fault != b.Fault || a.Packets.size() != b.Packets.size())
        return false;
    for (size_t i = 0; i < a.Packets.size(); ++i) {
        const auto &x = a.Packets[i], &y = b.Packets[i];
        if (x.Kind != y.Kind || x.ReturnCode != y.ReturnCode || x.PacketId != y.PacketId ||
            x.SessionPresent != y.SessionPresent)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t piece = data[0] % 7 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const TRead inPieces = ReadAll(bytes, piece);
    const TRead whole = ReadAll(bytes, bytes.size() + 1);
    if (!Same(inPieces, whole))
        __builtin_trap();
    // Every packet takes at least two bytes: the count is bounded by what came.
    if (whole.Packets.size() > bytes.size() / 2)
        __builtin_trap();
    return 0;
}
