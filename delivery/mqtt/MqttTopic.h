// The names an MQTT work publishes under: its topic after expansion, its status topic and its
// client id.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kw::mqtt {

// An expanded topic is cut to this many bytes (on a character boundary): values can make a
// topic long, and brokers refuse long ones or keep them for every retained message.
inline constexpr size_t MaxTopicBytes = 1024;

// `topic` (UTF-8) cut to MaxTopicBytes without splitting a character.
std::string BoundedTopic(std::string topic);

// The status topic of a work whose topic is `topicTemplate` (before expansion) and that names
// none: the part of the topic before its first tag, up to its last "/", + "/status"
// ("radio/studio1/now" and "radio/studio1/!KW!..." give "radio/studio1/status"; "now" gives
// "now/status"). A topic that begins with a tag gives "kwpage/<clientId>/status".
std::string DefaultStatusTopic(std::string_view topicTemplate, std::string_view clientId);

// The client id of a work that names none: "KWPAGE-<computer>-<section>", every byte but
// letters, digits, "-" and "_" as "_", at most 64 bytes: the same on every start on this computer.
std::string DefaultClientId(std::string_view computer, std::string_view section);

} // namespace kw::mqtt
