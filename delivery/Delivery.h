// Delivery of a freshly written page to a target (FTP, HTTP(S), TCP or UDP text).
// A target only moves the page and says how it went; the render reports the outcome in the
// work's status cell, so every target reads the same in the grid and the log.
#pragma once
#include "works/WorkData.h"
#include "platform/Message.h"
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace kw {

struct TDeliveryResult {
    TDeliveryResult() = default;
    TDeliveryResult(bool ok, TMessage message, std::string label = {})
        : Ok(ok), Message(std::move(message)), Label(std::move(label)) {}

    bool Ok = false;
    TMessage Message;     // the failure, in the program's language when shown (TextOf)
    std::string Label;    // for a success, when it says more than the target's label ("HTTP 200")
};

// The page a render hands its targets.
struct TDeliveryPage {
    std::string_view Bytes;  // the page as written to the output file
    // Expands the tags of one line (a URL) from the same state snapshot as the page, every
    // inserted value percent-encoded from the work's code page bytes. Empty when the render has
    // no state to give (targets then use the line as it stands).
    std::function<std::string(std::string_view line)> ExpandUrl;
    // Expands the tags of an MQTT topic from the same snapshot: the line (Windows-1251, as every
    // setting) and its values as UTF-8, each value's "+", "#", "/" and control bytes as "_"
    // (render/ValueEscaping.h, escTopic). Empty as ExpandUrl.
    std::function<std::string(std::string_view line)> ExpandTopic;
};

class IDelivery {
public:
    virtual ~IDelivery() = default;
    // The label in status texts: "FTP" gives "HH:NN:SS  DD.MM (FTP)" and "P FTP: message".
    // A target may name a success more closely ("HTTP 200") in TDeliveryResult::Label.
    virtual const char* Label() const noexcept = 0;
    // Whether this target is switched on for the work.
    virtual bool Wanted(const TWorkConfig& config) const noexcept = 0;
    // Runs on the render's thread right after the output file was written. Never throws; every
    // wait inside is bounded.
    virtual TDeliveryResult Deliver(TWorkData& work, const TWorkConfig& config, const TDeliveryPage& page) noexcept = 0;
};

} // namespace kw
