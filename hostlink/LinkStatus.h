// The host link status: LinkState (0 waiting, 1 connected, 2 data received), read by the
// template engine, and SourceStatus, the status cell of the works grid's row "Source".
#pragma once
#include "works/ShowCell.h"
#include "platform/Regional.h"
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace kw {

enum : uint8_t { LinkWaiting = 0, LinkConnected = 1, LinkDataReceived = 2 };

class TLinkStatus {
public:
    // The text of a key of the language section "Main" (empty when missing). Called on the
    // main thread only: the reader thread sets the status with a time, which needs no text.
    using TMainText = std::function<std::string(const std::string& key)>;

    explicit TLinkStatus(TMainText mainText) : mainText_(std::move(mainText)) {}

    // The whole part of `value` selects the row: 0 "Wait", 1 "Connected", anything else the
    // time `value` itself, which means data has arrived.
    void SetLinkStatus(TDateTime value);
    // Handlers of the link's events.
    void ConnectKW() { SetLinkStatus(1); }
    void DisconnectKW() { SetLinkStatus(0); }
    // The reader's report that host data was decoded at `value`: "data received" with its
    // time, unless the host has left since it sent the data (LinkState back to waiting);
    // then nothing changes and the result is false. A message still queued at a disconnect
    // must not bring back a link that is gone.
    bool DataDecoded(TDateTime value);

    std::atomic<uint8_t> LinkState{LinkWaiting};
    TShowCell SourceStatus;

private:
    std::string MainText(const std::string& key) const;
    void Set(const std::string& text, TStatusTone tone, uint8_t state);

    TMainText mainText_;
    // Keeps LinkState and the cell in step between the main thread (link events) and the
    // reader (decoded data); never taken in the host's data path.
    std::mutex change_;
};

} // namespace kw
