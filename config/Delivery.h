// Delivery of a freshly written page to a target (FTP today; HTTP or FTP over TLS may follow).
// A target only moves the file and says how it went; the render reports the outcome in the
// work's status cell, so every target reads the same in the grid and the log.
#pragma once
#include "config/Settings.h"
#include <string>

namespace kw {

struct TDeliveryResult {
    bool Ok = false;
    std::string Message;  // the failure's text (server reply, socket error, time-out)
};

class IDelivery {
public:
    virtual ~IDelivery() = default;
    // The label in status texts: "FTP" gives "HH:NN:SS  DD.MM (FTP)" and "P FTP: message".
    virtual const char* Label() const noexcept = 0;
    // Whether this target is switched on for the work.
    virtual bool Wanted(const TWorkConfig& config) const noexcept = 0;
    // Runs on the render's thread right after the output file was written. Never throws; every
    // wait inside is bounded.
    virtual TDeliveryResult Deliver(TWorkData& work, const TWorkConfig& config) noexcept = 0;
};

} // namespace kw
