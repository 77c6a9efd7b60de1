// Topic and client id rules of the MQTT target.
#include "delivery/mqtt/MqttTopic.h"
#include "config/TargetChecks.h"

namespace kw::mqtt {

std::string BoundedTopic(std::string topic) {
    if (topic.size() <= MaxTopicBytes)
        return topic;
    size_t cut = MaxTopicBytes;
    while (cut > 0 && (static_cast<unsigned char>(topic[cut]) & 0xC0) == 0x80)
        --cut;  // back to the first byte of the character the limit falls in
    topic.resize(cut);
    return topic;
}

std::string DefaultStatusTopic(std::string_view topicTemplate, std::string_view clientId) {
    std::string_view fixed = topicTemplate.substr(0, AsciiLower(topicTemplate).find("!kw!"));
    const size_t slash = fixed.rfind('/');
    if (slash != std::string_view::npos && fixed.find_first_not_of('/') != std::string_view::npos)
        fixed = fixed.substr(0, slash);
    while (!fixed.empty() && fixed.back() == '/')
        fixed.remove_suffix(1);
    if (fixed.empty())
        return "kwpage/" + std::string(clientId) + "/status";
    return std::string(fixed) + "/status";
}

std::string DefaultClientId(std::string_view computer, std::string_view section) {
    std::string id = "KWPAGE-" + std::string(computer) + "-" + std::string(section);
    for (char& c : id) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (!plain)
            c = '_';
    }
    if (id.size() > 64)
        id.resize(64);
    return id;
}

} // namespace kw::mqtt
