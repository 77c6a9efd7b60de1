// Each decoder of a host payload and each value conversion on arbitrary bytes. The first byte
// chooses the decoder; the rest is the payload, copied to a block of exactly its size so that
// AddressSanitizer sees any read past it.
#include "hostlink/Decode.h"
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t which = data[0];
    const size_t length = size - 1;
    std::unique_ptr<uint8_t[]> payload(new uint8_t[length ? length : 1]);
    if (length)
        std::memcpy(payload.get(), data + 1, length);
    const std::string text(reinterpret_cast<const char*>(payload.get()), length);

    kw::TBroadcastState state;
    switch (which % 8) {
    case 0: kw::DecodeElement(state, payload.get(), length, 46000); break;
    case 1: kw::DecodeBlock(state, payload.get(), length, 46000); break;
    case 2: kw::DecodeEntryList(state.Playlist, payload.get(), length); break;
    case 3: kw::DecodeEntryList(state.Played, payload.get(), length); break;
    case 4: kw::DecodeState(state, payload.get(), length, 46000); break;
    case 5: (void)kw::ParseByte(text); break;
    case 6: (void)kw::ExtractField(text, which / 8, static_cast<uint8_t>(length ? payload[0] : 0)); break;
    default: (void)kw::ParseDateTime(text); break;
    }
    if (state.Element.Artist.size() > 64 || state.Element.Title.size() > 64)
        __builtin_trap();
    for (const auto& e : *state.Played)
        if (e.Artist.size() > 64 || e.Title.size() > 64)
            __builtin_trap();
    return 0;
}
