// What renders need from the rest of the program: the works, the broadcast state, the link
// state, the status texts of the main window's language section and the delivery targets.
// The main window builds one for the whole run; the scheduler and every render read it.
#pragma once
#include "delivery/Delivery.h"
#include "works/WorkList.h"
#include "hostlink/BroadcastState.h"
#include "hostlink/HostDue.h"
#include "platform/Clock.h"
#include "platform/Regional.h"
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kw {

// The text of a message key of the language section "Main"; empty when it is missing.
// Called from render threads.
using TMessageText = std::function<std::string(const std::string& key)>;

struct TRenderContext {
    TRenderContext(TWorkList& works, TBroadcastStore& broadcast, const std::atomic<uint8_t>& linkState,
                   TMessageText messageText, std::atomic<int64_t>& nowTicks = kw::NowTicks)
        : Works(works), Broadcast(broadcast), LinkState(linkState), MessageText(std::move(messageText)),
          NowTicks(nowTicks) {}

    TWorkList& Works;
    TBroadcastStore& Broadcast;
    const std::atomic<uint8_t>& LinkState;  // 0 waiting, 1 connected, 2 data received
    TMessageText MessageText;
    // Targets a written page goes to, in this order, when a work wants them.
    std::vector<std::shared_ptr<IDelivery>> Deliveries;
    // The main timer's latest clock reading; the scheduler compares due times with it.
    std::atomic<int64_t>& NowTicks;
    // The moment the host's handler armed for the renders of a new element or block.
    THostDue* HostDue = &kw::HostDue;
    // Called with each page as soon as it is written, before the deliveries (the live server's
    // handover; it never waits on a client).
    std::function<void(const TWorkConfig& work, const std::string& page)> PageWritten;
    // The now-playing document of a page's state (UTF-8 JSON): the page of a work that
    // publishes it instead of its template. Unset, such a work's render fails.
    std::function<std::string(const TBroadcastState& state, uint8_t linkState, TDateTime now)> NowPlaying;
    // The local date and time for status texts and the system time tags.
    std::function<TDateTime()> LocalTime = [] { return Now(); };
};

} // namespace kw
