// The MQTT target under Wine (Winsock, SChannel) against Debian's mosquitto, which ctest starts
// around this program (mqtt_fixture.sh): the page goes out plain and over TLS with the broker's
// certificate pinned, a subscriber of our own finds each page byte for byte (retained), and a
// clean exit leaves "offline" on the status topic.
#include "delivery/mqtt/MqttDelivery.h"
#include "platform/Tcp.h"
#include "tests/support/MqttSubscribe.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace {

using namespace kw;

std::string ReadFixture(const char* name) {
    const char* dir = std::getenv("KW_MQTT_BROKER_DIR");
    if (!dir)
        return {};
    std::ifstream in(std::string("Z:") + dir + "/" + name);
    std::string value;
    in >> value;
    return value;
}

uint16_t Port(const char* name) { return static_cast<uint16_t>(std::atoi(ReadFixture(name).c_str())); }

bool ReadExactly(net::TTcpConnection& c, std::string& out, size_t n) {
    out.clear();
    char buffer[4096];
    while (out.size() < n) {
        size_t got = 0;
        if (!c.Receive(buffer, std::min(sizeof buffer, n - out.size()), got, 5000).ok() || got == 0)
            return false;
        out.append(buffer, got);
    }
    return true;
}

// The retained message of `topic`, as a plain subscriber gets it right after subscribing.
std::optional<std::string> Retained(uint16_t port, const std::string& topic) {
    net::TTcpConnection c;
    if (!c.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 5000).ok())
        return std::nullopt;
    const std::string bytes = kw::test::MqttSubscribeBytes("kwpage-test-subscriber", topic);
    std::string got;
    if (!c.SendAll(bytes.data(), bytes.size(), 5000).ok() || !ReadExactly(c, got, 4) || got[3] != 0 ||
        !ReadExactly(c, got, 5))  // CONNACK accepted, SUBACK
        return std::nullopt;
    // The PUBLISH: its remaining length, the topic, the payload.
    std::string header;
    if (!ReadExactly(c, header, 1) || (static_cast<uint8_t>(header[0]) & 0xF0) != 0x30)
        return std::nullopt;
    size_t length = 0;
    for (size_t multiplier = 1;; multiplier *= 128) {
        if (!ReadExactly(c, got, 1))
            return std::nullopt;
        length += (static_cast<uint8_t>(got[0]) & 0x7F) * multiplier;
        if (!(static_cast<uint8_t>(got[0]) & 0x80))
            break;
    }
    if (!ReadExactly(c, got, length) || length < 2)
        return std::nullopt;
    const size_t topicLength = static_cast<uint8_t>(got[0]) << 8 | static_cast<uint8_t>(got[1]);
    if (got.substr(2, topicLength) != topic)
        return std::nullopt;
    const size_t id = (static_cast<uint8_t>(header[0]) & 0x06) ? 2 : 0;
    return got.substr(2 + topicLength + id);
}

TWorkConfig Work(uint16_t port, const std::string& topic) {
    TWorkConfig c;
    c.Section = c.Name = "File1";
    SetTargetChoice(c, tcMQTT);
    c.MQTT.Host = "127.0.0.1";
    c.MQTT.Port = port;
    c.MQTT.Topic = topic;
    return c;
}

TEST(MqttUnderWine, PlainAndPinnedTlsPagesArriveAndACleanExitSaysOffline) {
    const uint16_t port = Port("port"), tlsPort = Port("tlsport");
    ASSERT_NE(port, 0) << "mosquitto was not started (KW_MQTT_BROKER_DIR)";
    std::string page(5000, 'x');
    for (size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<char>(i * 7);
    {
        TMqttDelivery target;
        TWorkData work;
        TDeliveryResult r = target.Deliver(work, Work(port, "wine/plain/now"), TDeliveryPage{page, {}, {}});
        EXPECT_TRUE(r.Ok) << TextOf(r.Message);
        TWorkConfig tls = Work(tlsPort, "wine/tls/now");
        tls.Section = "File2";
        tls.MQTT.Tls = true;
        tls.MQTT.TlsSha256 = ReadFixture("fingerprint");
        const std::string big(70000, '\x7F');  // more than one TLS record
        r = target.Deliver(work, tls, TDeliveryPage{big, {}, {}});
        EXPECT_TRUE(r.Ok) << TextOf(r.Message);
        EXPECT_EQ(Retained(port, "wine/plain/now"), page);
        EXPECT_EQ(Retained(port, "wine/tls/now"), big);
        EXPECT_EQ(Retained(port, "wine/plain/status"), "online");
        EXPECT_EQ(Retained(port, "wine/tls/status"), "online");
    }
    EXPECT_EQ(Retained(port, "wine/plain/status"), "offline");
    EXPECT_EQ(Retained(port, "wine/tls/status"), "offline");
}

} // namespace
