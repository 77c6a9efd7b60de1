// The MQTT target: a work's page as one message to a broker, on the work's topic with its tags
// expanded, over a connection the program keeps open and shares between the works that name
// the same broker, credentials, client id and status topic.
#pragma once
#include "delivery/Delivery.h"
#include "delivery/mqtt/BrokerLink.h"
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kw {

// Where a work's messages go: its fields with their defaults filled in (the port by TLS, the
// client id from `computer` and the section, the status topic from the topic).
mqtt::TBrokerAddress MqttAddressOf(const TWorkConfig& config, const std::string& computer);

// The topic a page goes to: expanded by `expand` (when given), wildcards and NUL the template
// itself may hold from a hand-edited file as "_", cut to its bound.
std::string MqttTopicOf(const TWorkConfig& config, const TDeliveryPage& page);

class TMqttDelivery final : public IDelivery {
public:
    explicit TMqttDelivery(mqtt::TLinkTimings timings = {});
    // Every link says "offline" and disconnects, all at once, each within its close limit.
    ~TMqttDelivery() override;

    const char* Label() const noexcept override { return "MQTT"; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.Target == tcMQTT; }
    // Queues the page and waits for the broker's acknowledgement, at most the connect and reply
    // limits; while the broker is down it returns at once ("waiting for the broker") and the
    // page goes out when the broker is back.
    TDeliveryResult Deliver(TWorkData& work, const TWorkConfig& config, const TDeliveryPage& page) noexcept override;

    size_t OpenLinks() const;

private:
    std::shared_ptr<mqtt::TBrokerLink> LinkFor(const mqtt::TBrokerAddress& address, const std::string& section);

    const mqtt::TLinkTimings timings_;
    const std::string computer_;
    mutable std::mutex lock_;
    std::map<std::string, std::shared_ptr<mqtt::TBrokerLink>> links_;  // by the address's key
    std::map<std::string, std::string> usedBy_;                         // a work's section: its link's key
    std::vector<std::shared_ptr<mqtt::TBrokerLink>> retired_;           // no work names them any more
};

} // namespace kw
