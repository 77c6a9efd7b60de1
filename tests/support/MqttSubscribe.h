// A subscriber's first words to a broker, for the tests and benchmarks that read what the MQTT
// target published with a client of their own.
#pragma once
#include "delivery/mqtt/MqttPacket.h"
#include <string>

namespace kw::test {

// CONNECT (clean session, no will) and SUBSCRIBE (packet id 1, `filter` at QoS 0) as one write;
// empty when `clientId` or `filter` is too long for MQTT.
inline std::string MqttSubscribeBytes(const std::string& clientId, const std::string& filter) {
    mqtt::TConnectOptions hello;
    hello.ClientId = clientId;
    std::string bytes;
    if (filter.size() > mqtt::MaxStringBytes || !mqtt::EncodeConnect(hello, bytes))
        return {};
    bytes += '\x82';
    for (size_t rest = 2 + 2 + filter.size() + 1;;) {  // the remaining length, seven bits a byte
        const auto digit = static_cast<char>(rest % 128);
        rest /= 128;
        bytes += static_cast<char>(digit | (rest ? 0x80 : 0));
        if (rest == 0)
            break;
    }
    bytes += std::string("\0\1", 2);
    bytes += static_cast<char>(filter.size() >> 8);
    bytes += static_cast<char>(filter.size() & 0xFF);
    bytes += filter;
    bytes += '\0';
    return bytes;
}

} // namespace kw::test
