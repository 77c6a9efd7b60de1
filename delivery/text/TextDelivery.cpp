// The TCP and UDP text targets.
#include "delivery/text/TextDelivery.h"
#include "platform/Deadline.h"
#include "platform/NameLookup.h"
#include "platform/Tcp.h"
#include "platform/Udp.h"
#include <exception>
#include <new>

namespace kw {

namespace {

std::string Peer(const TTextUse& to) { return to.Host + ":" + std::to_string(to.Port); }

TDeliveryResult Failure(const TTextUse& to, const net::TNetStatus& s, const char* timedOutKey) {
    const TMessage cause = s.Kind == net::TNetStatus::TimedOut ? TMessage::Of(timedOutKey)
                           : s.Kind == net::TNetStatus::Closed ? TMessage::Of("PeerClosed")
                                                               : s.Message();
    return {false, TMessage::Of("PeerFailure", {Peer(to), cause})};
}

TDeliveryResult Unexpected(const std::exception* e) {
    return {false, TMessage::Of(dynamic_cast<const std::bad_alloc*>(e) ? "OutOfMemory" : "SendingFailed")};
}

// A target without a host or port has nowhere to go: said plainly rather than as a socket error.
bool Addressed(const TTextUse& to) { return !to.Host.empty() && to.Port != 0; }
TDeliveryResult NoAddress() { return {false, TMessage::Of("NoTextAddress")}; }

} // namespace

std::vector<std::string_view> SplitPageLines(std::string_view page) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\r' && i + 1 < page.size() && page[i + 1] == '\n')
            ++i;
        else if (page[i] != '\r' && page[i] != '\n')
            continue;
        lines.push_back(page.substr(start, i + 1 - start));
        start = i + 1;
    }
    if (start < page.size())
        lines.push_back(page.substr(start));
    return lines;
}

TDeliveryResult SendTcpText(const TTextUse& to, std::string_view page, const TTextTimeouts& limits) noexcept {
    try {
        if (!Addressed(to))
            return NoAddress();
        net::TTcpConnection c;
        net::TNetStatus s = c.Connect(to.Host, to.Port, limits.ConnectMs);
        if (!s.ok())
            return Failure(to, s, "ConnectTimedOut");
        s = c.SendAll(page.data(), page.size(), limits.SendMs);
        if (!s.ok())
            return Failure(to, s, "PeerTookNoData");
        // Whatever the device answered is read away before closing: closing with unread data
        // resets the connection, and a reset can cost the peer the end of the page.
        // Only what has arrived, and at most 64 KiB: a device that talks without end cannot hold
        // the render.
        char sink[4096];
        size_t got = 0;
        for (size_t drained = 0; drained < 65536 && c.Receive(sink, sizeof sink, got, 0).ok() && got > 0;)
            drained += got;
        c.Close();
        return {true, {}};
    } catch (const std::exception& e) {
        return Unexpected(&e);
    } catch (...) {
        return Unexpected(nullptr);
    }
}

TDeliveryResult SendUdpLines(const TTextUse& to, std::string_view page, const TTextTimeouts& limits) noexcept {
    try {
        if (!Addressed(to))
            return NoAddress();
        net::TIpv4Endpoint peer;
        net::TNetStatus s = net::LookUpWithin(to.Host, peer, limits.ConnectMs);
        if (!s.ok())
            return Failure(to, s, "LookupTimedOut");
        peer.Port = to.Port;
        // Every line is measured before the first leaves: a device gets the whole page or none.
        const std::vector<std::string_view> lines = SplitPageLines(page);
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].size() > MaxDatagramBytes)
                return {false, TMessage::Of("PeerFailure", {Peer(to), TMessage::Of("DatagramTooLong",
                                                          {std::to_string(i + 1), std::to_string(lines[i].size()),
                                                           std::to_string(MaxDatagramBytes)})})};
        net::TUdpSocket socket;
        s = socket.Open();
        if (!s.ok())
            return Failure(to, s, "SendTimedOut");
        const net::TDeadline deadline = net::TDeadline::In(limits.SendMs);
        for (const std::string_view line : lines) {
            s = socket.SendTo(peer, line.data(), line.size(), deadline.MsLeft());
            if (!s.ok())
                return Failure(to, s, "SendTimedOut");
        }
        return {true, {}};
    } catch (const std::exception& e) {
        return Unexpected(&e);
    } catch (...) {
        return Unexpected(nullptr);
    }
}

} // namespace kw
