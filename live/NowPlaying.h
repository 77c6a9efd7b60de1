// The now-playing document: what is on air as JSON, built from the broadcast state (not from a
// template), so a web page, an overlay or a message broker's subscribers read one stable
// interface. Its fields are described in docs/station/live-pages.md; "version" changes only
// when a field changes meaning or goes away (new fields may join within a version).
//
// Texts are the host's Windows-1251 turned into UTF-8, every value escaped (quotes, back
// slashes, control characters, U+2028 and U+2029, which end a line in JavaScript). Times are
// ISO 8601 local times ("2026-12-08T19:48:16"), null while unset; durations in seconds.
#pragma once
#include "hostlink/BroadcastState.h"
#include "platform/Regional.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace kw::live {

inline constexpr int NowPlayingVersion = 1;

// The document of `state` with the link's state (hostlink/LinkStatus.h) at local time `now`.
std::string NowPlayingJson(const TBroadcastState& state, uint8_t linkState, TDateTime now);

// `text` (Windows-1251) as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view text1251);

// "YYYY-MM-DDTHH:MM:SS", or empty for a time below 100 ms (unset).
std::string IsoLocalTime(TDateTime t);

} // namespace kw::live
