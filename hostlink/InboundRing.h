// The InboundRing: 256 slots through which the main thread hands accepted host messages to the
// reader thread without a lock. The slot pointer is the hand-over: the writer builds the whole
// record before its release store, the reader reads the record only after its acquire load.
// An empty slot belongs to the writer, a filled one to the reader.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace kw {

// Kinds of host data messages.
enum : uint8_t { MsgElement = 0, MsgBlock = 2, MsgPlaylist = 16, MsgPlayed = 17, MsgState = 32 };

struct InboundMessage {
    uint8_t Kind = 0;
    uint16_t Length = 0;                 // 1 to 65,535
    std::unique_ptr<uint8_t[]> Payload;  // exactly Length bytes
};

class TInboundRing {
public:
    static constexpr int SlotCount = 256;
    static int Next(int index) { return (index + 1) % SlotCount; }

    TInboundRing() = default;
    ~TInboundRing() { Clear(); }
    TInboundRing(const TInboundRing&) = delete;
    TInboundRing& operator=(const TInboundRing&) = delete;

    // Writer (main thread).
    bool IsFilled(int index) const { return slots_[Wrap(index)].load(std::memory_order_acquire) != nullptr; }
    // Stores a complete record into an empty slot; the slot owns it from now on.
    void Store(int index, std::unique_ptr<InboundMessage> message) {
        slots_[Wrap(index)].store(message.release(), std::memory_order_release);
    }

    // Reader (reader thread): the record of a filled slot, which is empty again at once so the
    // writer may reuse it; null when the slot is empty.
    std::unique_ptr<InboundMessage> Take(int index) {
        std::atomic<InboundMessage*>& slot = slots_[Wrap(index)];
        InboundMessage* message = slot.load(std::memory_order_acquire);
        if (message)
            slot.store(nullptr, std::memory_order_release);
        return std::unique_ptr<InboundMessage>(message);
    }

    // Frees every queued message; only when the reader thread has ended (or never started).
    void Clear() {
        for (auto& slot : slots_)
            delete slot.exchange(nullptr, std::memory_order_acq_rel);
    }

private:
    static size_t Wrap(int index) { return static_cast<size_t>(index) % SlotCount; }
    std::array<std::atomic<InboundMessage*>, SlotCount> slots_{};
};

} // namespace kw
