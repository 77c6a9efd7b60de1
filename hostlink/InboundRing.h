// The InboundRing: 256 slots through which the main thread hands accepted host messages to the
// reader thread without a lock. The slot pointer is the hand-over: the writer builds the whole
// record before its release store, the reader reads the record only after its acquire load.
// An empty slot belongs to the writer, a filled one to the reader.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <new>

namespace kw {

// Kinds of host data messages.
enum : uint8_t { MsgElement = 0, MsgBlock = 2, MsgPlaylist = 16, MsgPlayed = 17, MsgState = 32 };

// One accepted message. Its payload lives in the same allocation, right behind the record:
// the host's handler allocates once per message, as a plain copy of the payload would.
struct InboundMessage {
    // The payload's bytes, behind the record.
    class TPayload {
    public:
        uint8_t* get() const noexcept { return bytes_; }
        uint8_t& operator[](size_t i) const noexcept { return bytes_[i]; }

    private:
        friend struct InboundMessage;
        uint8_t* bytes_ = nullptr;
    };

    // A record with room for `length` payload bytes (not yet filled); null when memory is short.
    static std::unique_ptr<InboundMessage> Make(uint8_t kind, uint16_t length) noexcept {
        void* block = ::operator new(sizeof(InboundMessage) + length, std::nothrow);
        if (!block)
            return nullptr;
        auto* message = ::new (block) InboundMessage;
        message->Kind = kind;
        message->Length = length;
        message->Payload.bytes_ = reinterpret_cast<uint8_t*>(message + 1);
        return std::unique_ptr<InboundMessage>(message);
    }
    // Goes with Make's block ("delete" of a record frees record and payload together).
    static void operator delete(void* block) noexcept { ::operator delete(block); }

    uint8_t Kind = 0;
    uint16_t Length = 0;  // 1 to 65,535
    TPayload Payload;     // exactly Length bytes

private:
    InboundMessage() = default;
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
