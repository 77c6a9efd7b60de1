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

    // A record with room for at least `length` payload bytes (not yet filled); null when memory
    // is short. Small records get room for SmallPayload bytes, so that any block given back to the
    // ring can carry the next element.
    static std::unique_ptr<InboundMessage> Make(uint8_t kind, uint16_t length) noexcept {
        const size_t capacity = length < SmallPayload ? SmallPayload : length;
        void* block = ::operator new(sizeof(InboundMessage) + capacity, std::nothrow);
        if (!block)
            return nullptr;
        auto* message = ::new (block) InboundMessage;
        message->Capacity = static_cast<uint32_t>(capacity);
        message->Payload.bytes_ = reinterpret_cast<uint8_t*>(message + 1);
        message->Reuse(kind, length);
        return std::unique_ptr<InboundMessage>(message);
    }
    // Readies a record for a new message of `length` bytes (at most Capacity).
    void Reuse(uint8_t kind, uint16_t length) noexcept {
        Kind = kind;
        Length = length;
    }
    // Goes with Make's block ("delete" of a record frees record and payload together).
    static void operator delete(void* block) noexcept { ::operator delete(block); }

    static constexpr uint32_t SmallPayload = 240;

    uint8_t Kind = 0;
    uint16_t Length = 0;    // 1 to 65,535
    uint32_t Capacity = 0;  // room behind the record, at least Length
    TPayload Payload;       // Length bytes of message

private:
    InboundMessage() = default;
};

// Besides the messages, each slot keeps one block the reader has finished with, which the
// writer fills with the next message for that slot: once the ring has gone round, the host's
// handler allocates nothing for messages up to KeptPayload bytes. What is kept is bounded by
// SlotCount blocks of at most KeptPayload bytes.
class TInboundRing {
public:
    static constexpr int SlotCount = 256;
    static constexpr uint32_t KeptPayload = 4096;
    static int Next(int index) { return (index + 1) % SlotCount; }

    TInboundRing() = default;
    ~TInboundRing() { Clear(); }
    TInboundRing(const TInboundRing&) = delete;
    TInboundRing& operator=(const TInboundRing&) = delete;

    // Writer (main thread).
    bool IsFilled(int index) const { return slots_[Wrap(index)].load(std::memory_order_acquire) != nullptr; }
    // A record for a message of `length` bytes into slot `index`: the block kept there when it
    // has room, else a new one (null when memory is short).
    std::unique_ptr<InboundMessage> Reserve(int index, uint8_t kind, uint16_t length) noexcept {
        std::atomic<InboundMessage*>& kept = kept_[Wrap(index)];
        std::unique_ptr<InboundMessage> block(kept.load(std::memory_order_acquire));
        if (block) {
            kept.store(nullptr, std::memory_order_relaxed);  // the reader stores only into an empty one
            if (block->Capacity >= length) {
                block->Reuse(kind, length);
                return block;
            }
        }
        return InboundMessage::Make(kind, length);
    }
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
    // Hands a record taken from slot `index`, read to the end, back for the writer's next
    // message there; freed instead when it is large or that slot keeps one already.
    void GiveBack(int index, std::unique_ptr<InboundMessage> message) noexcept {
        std::atomic<InboundMessage*>& kept = kept_[Wrap(index)];
        if (message && message->Capacity <= KeptPayload && kept.load(std::memory_order_relaxed) == nullptr)
            kept.store(message.release(), std::memory_order_release);  // the writer empties only a full one
    }

    // Frees every queued message and kept block; only when the reader thread has ended (or
    // never started).
    void Clear() {
        for (auto& slot : slots_)
            delete slot.exchange(nullptr, std::memory_order_acq_rel);
        for (auto& block : kept_)
            delete block.exchange(nullptr, std::memory_order_acq_rel);
    }

private:
    static size_t Wrap(int index) { return static_cast<size_t>(index) % SlotCount; }
    std::array<std::atomic<InboundMessage*>, SlotCount> slots_{};
    std::array<std::atomic<InboundMessage*>, SlotCount> kept_{};
};

} // namespace kw
