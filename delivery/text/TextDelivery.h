// The TCP and UDP text targets: the page's bytes to a host and port, for devices that take
// plain text commands (an RDS encoder takes "RT1=..." lines). TCP connects, sends the whole
// page and closes; UDP sends one datagram per line of the page.
#pragma once
#include "delivery/Delivery.h"
#include <string_view>
#include <vector>

namespace kw {

struct TTextTimeouts {
    int ConnectMs = 10000;  // name lookup and connect
    int SendMs = 30000;     // sending the whole page
};

// The largest UDP payload over IPv4 (65,535 less the IP and UDP headers).
inline constexpr size_t MaxDatagramBytes = 65507;

// The lines of a page, each with its own line end (CR LF, LF or a lone CR) as the page has it;
// a last line without one as it stands. An empty page has no lines.
std::vector<std::string_view> SplitPageLines(std::string_view page);

TDeliveryResult SendTcpText(const TTextUse& to, std::string_view page, const TTextTimeouts& limits) noexcept;
TDeliveryResult SendUdpLines(const TTextUse& to, std::string_view page, const TTextTimeouts& limits) noexcept;

class TTcpTextDelivery final : public IDelivery {
public:
    const char* Label() const noexcept override { return "TCP"; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.Target == tcTCP; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig& config, const TDeliveryPage& page) noexcept override {
        return SendTcpText(config.Text, page.Bytes, Limits);
    }
    TTextTimeouts Limits;
};

class TUdpTextDelivery final : public IDelivery {
public:
    const char* Label() const noexcept override { return "UDP"; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.Target == tcUDP; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig& config, const TDeliveryPage& page) noexcept override {
        return SendUdpLines(config.Text, page.Bytes, Limits);
    }
    TTextTimeouts Limits;
};

} // namespace kw
