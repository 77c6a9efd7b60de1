// The MQTT target.
#include "delivery/mqtt/MqttDelivery.h"
#include "delivery/mqtt/MqttTopic.h"
#include "platform/ComputerName.h"
#include "platform/Cp1251.h"
#include <algorithm>
#include <exception>
#include <new>

namespace kw {

namespace {

// A topic from a hand-edited settings file may hold what the editor refuses: a broker drops a
// client that publishes on a wildcard, so they go as "_", as in the values.
std::string WithoutWildcards(std::string topic) {
    std::replace_if(topic.begin(), topic.end(), [](char c) { return c == '+' || c == '#' || c == '\0'; }, '_');
    return topic;
}

} // namespace

mqtt::TBrokerAddress MqttAddressOf(const TWorkConfig& config, const std::string& computer) {
    const TMqttUse& m = config.MQTT;
    mqtt::TBrokerAddress a;
    a.Host = m.Host;
    a.Port = m.Port ? m.Port : (m.Tls ? DefaultMqttTlsPort : DefaultMqttPort);
    a.Tls = m.Tls;
    a.TlsSha256 = m.Tls ? m.TlsSha256 : std::string();
    a.User = m.User;
    a.Password = m.User.empty() ? std::string() : m.Password;
    a.ClientId = m.ClientId.empty() ? mqtt::DefaultClientId(computer, config.Section) : m.ClientId;
    a.StatusTopic = m.StatusTopic.empty() ? mqtt::DefaultStatusTopic(Cp1251ToUtf8(m.Topic), a.ClientId)
                                          : Cp1251ToUtf8(m.StatusTopic);
    a.StatusTopic = mqtt::BoundedTopic(WithoutWildcards(std::move(a.StatusTopic)));
    return a;
}

std::string MqttTopicOf(const TWorkConfig& config, const TDeliveryPage& page) {
    std::string topic = page.ExpandTopic ? page.ExpandTopic(config.MQTT.Topic) : Cp1251ToUtf8(config.MQTT.Topic);
    return mqtt::BoundedTopic(WithoutWildcards(std::move(topic)));
}

TMqttDelivery::TMqttDelivery(mqtt::TLinkTimings timings) : timings_(timings), computer_(ComputerName()) {}

TMqttDelivery::~TMqttDelivery() {
    std::lock_guard<std::mutex> l(lock_);
    for (auto& [key, link] : links_)
        link->BeginStop();
    for (auto& [key, link] : links_)
        link->Stop();
    for (auto& link : retired_)
        link->Stop();
}

size_t TMqttDelivery::OpenLinks() const {
    std::lock_guard<std::mutex> l(lock_);
    return links_.size();
}

std::shared_ptr<mqtt::TBrokerLink> TMqttDelivery::LinkFor(const mqtt::TBrokerAddress& address,
                                                          const std::string& section) {
    const std::string key = address.Key();
    std::lock_guard<std::mutex> l(lock_);
    // A work that now names another broker leaves its old link; the last work to leave ends it,
    // so its status topic says "offline" rather than "online" for ever.
    if (auto used = usedBy_.find(section); used != usedBy_.end() && used->second != key) {
        const std::string old = used->second;
        usedBy_.erase(used);
        const bool stillUsed =
            std::any_of(usedBy_.begin(), usedBy_.end(), [&](const auto& u) { return u.second == old; });
        if (auto it = links_.find(old); it != links_.end() && !stillUsed) {
            it->second->BeginStop();
            retired_.push_back(std::move(it->second));
            links_.erase(it);
        }
    }
    usedBy_[section] = key;
    auto& link = links_[key];
    if (!link)
        link = std::make_shared<mqtt::TBrokerLink>(address, timings_);
    return link;
}

TDeliveryResult TMqttDelivery::Deliver(TWorkData&, const TWorkConfig& config, const TDeliveryPage& page) noexcept {
    try {
        if (config.MQTT.Host.empty())
            return {false, TMessage::Of("NoTextAddress")};
        const std::string topic = MqttTopicOf(config, page);
        if (topic.empty())
            return {false, TMessage::Of("MqttNoTopic")};
        const mqtt::TBrokerAddress address = MqttAddressOf(config, computer_);
        const auto link = LinkFor(address, config.Section);
        const int waitMs = timings_.ConnectMs * (address.Tls ? 2 : 1) + timings_.ReplyMs + 1000;
        const mqtt::TPublishResult r =
            link->Publish(topic, std::string(page.Bytes), config.MQTT.Qos ? 1 : 0, config.MQTT.Retained, waitMs);
        if (r.Delivered)
            return {true, {}};
        if (r.PageRefused)
            return {false, r.Cause};
        if (r.Cause.Empty())
            return {false, TMessage::Of("MqttWaiting", {address.Peer()})};
        return {false, TMessage::Of("MqttWaitingBecause", {r.Cause})};
    } catch (const std::bad_alloc&) {
        return {false, TMessage::Of("OutOfMemory")};
    } catch (...) {
        return {false, TMessage::Of("SendingFailed")};
    }
}

} // namespace kw
