// The host link as the program wires it, for the handler's benchmarks: a linked host on a
// desktop that never changes, the inbox, the ring and the reader thread (not started).
#pragma once
#include "hostlink/Inbox.h"
#include "hostlink/ReaderDataThread.h"

namespace kw::bench {

class TStillDesktop : public IWindowEnum {
public:
    std::vector<TTopWindow> TopLevelWindows() override { return {{1, "TKWHost"}}; }
    bool HasHungTest() override { return false; }
    std::optional<bool> IsHung(TWindowHandle) override { return std::nullopt; }
    std::optional<int32_t> SendQuery(TWindowHandle, TWindowHandle) override { return std::nullopt; }
};

struct TLink {
    TStillDesktop desktop;
    TWinMSG link{desktop, 0};
    TInboundRing ring;
    TSettings settings;
    TLinkStatus status{[](const std::string& key) { return key; }};
    std::atomic<uint8_t> closing{0};
    TInbox inbox{ring, settings, status, closing};  // the program's clock, NowTicks
    TBroadcastStore store;
    TReaderDataThread reader{ring, store, status, nullptr, [] { return 46000.5; }};

    // `works` works made due by each message; the host (window 1) linked.
    explicit TLink(size_t works) {
        for (size_t i = 0; i < works; ++i)
            settings.Works.Append(std::make_shared<TWorkData>());
        inbox.SetLink(&link);
        inbox.SetWake(&reader.Wake());  // as the program wires it
        inbox.ReceiveCMD(1, 0x7FFF0000);
        link.Poll();
    }
};

} // namespace kw::bench
