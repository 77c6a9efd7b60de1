// A work's publishing rules at work: whether the host's events render it at once and when, and
// whether a rendered page goes out.
#pragma once
#include "config/WorkConfig.h"
#include "hostlink/HostEvents.h"
#include "works/WorkData.h"
#include <cstdint>
#include <string>

namespace kw {

// True when the events the host reported make a work with `rules` render. Events that are not
// known (the message was dropped) render only a work that renders on everything, as always.
bool TriggerMatches(const TPublishRules& rules, const THostEvents& events);

// The host's events became due at `due` (the scheduler's clock): makes `work` due then, or its
// delay later, when its trigger matches. Reader thread.
void MakeDueByHost(TWorkData& work, int64_t due, const THostEvents& events);

// The delayed renders a work waits for at most; a longer burst merges its latest ones.
constexpr size_t MaxDelayedRenders = 256;

// True when a rendered `page` is written and delivered: always, unless the work publishes only
// changed pages and `page` is the one last published in full (and no refresh is due).
bool PageIsDue(const TPublishRules& rules, const TPublishedPage& last, const std::string& page, int64_t nowTicks);

} // namespace kw
