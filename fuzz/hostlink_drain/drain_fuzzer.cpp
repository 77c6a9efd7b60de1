// The whole inbound path on arbitrary input: a stream of data and control messages goes through
// the inbox's checks into the ring, the link is polled now and then, and the reader drains and
// decodes. Input records: op byte, then for data messages marker, kind, 2 length bytes and the
// payload bytes.
#include "hostlink/Inbox.h"
#include "hostlink/ReaderDataThread.h"
#include <map>

namespace {

class TStillDesktop : public kw::IWindowEnum {
public:
    std::vector<kw::TTopWindow> TopLevelWindows() override { return {{1, "TKWHost"}, {2, "TKWHost"}}; }
    bool HasHungTest() override { return false; }
    std::optional<bool> IsHung(kw::TWindowHandle) override { return std::nullopt; }
    std::optional<int32_t> SendQuery(kw::TWindowHandle, kw::TWindowHandle) override { return std::nullopt; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStillDesktop desktop;
    kw::TWinMSG link(desktop, 0);
    kw::TInboundRing ring;
    kw::TSettings settings;
    settings.Works.Append(std::make_shared<kw::TWorkData>());
    kw::TLinkStatus status([](const std::string& key) { return key; });
    std::atomic<uint8_t> closing{0};
    static const std::atomic<int64_t> now{0};
    kw::TInbox inbox(ring, settings, status, closing, now);
    inbox.SetLink(&link);
    kw::TBroadcastStore store;
    kw::TReaderDataThread reader(ring, store, status, nullptr, [] { return 46000.5; });
    inbox.ReceiveCMD(1, 0x7FFF0000);
    link.Poll();

    size_t at = 0;
    while (at < size) {
        const uint8_t op = data[at++];
        switch (op % 4) {
        case 0: {  // a data message from window 1 or 2
            if (size - at < 4)
                return 0;
            const uint16_t marker = data[at] % 3;
            const uint16_t kind = data[at + 1];
            size_t length = data[at + 2] | (size_t{data[at + 3]} << 8);
            at += 4;
            length = std::min(length, size - at);
            std::vector<uint8_t> payload(data + at, data + at + length);
            at += length;
            inbox.WMCOPYDATA(1 + (op >> 7), (uint64_t{marker} << 16) | kind, payload.size(),
                             payload.empty() ? nullptr : payload.data());
            break;
        }
        case 1:
            inbox.ReceiveCMD(1 + (op >> 7), int64_t{0x7FFF0000} | (op >> 2 & 3));
            break;
        case 2:
            link.Poll();
            break;
        default:
            reader.DrainInbound();
            break;
        }
    }
    reader.DrainInbound();
    return 0;
}
