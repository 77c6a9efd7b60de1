// A status cell: written by renders on their own threads, taken by the main timer.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace kw {

// What a status says at a glance; the window gives each its colour (a failure red, a connected
// host link green, the normal state the grid's own).
enum class TStatusTone : uint8_t { Normal, Failure, Connected };

// A status cell: text, tone, log request and changed flag, shown by the main timer.
class TShowCell {
public:
    struct TTaken {
        bool Changed = false;  // the text is to be shown
        bool LogIt = false;    // the text is to be written to the log
        std::string Text;
        TStatusTone Tone = TStatusTone::Normal;
    };

    // Stores text, tone and log request and sets Changed, unless nothing differs and `force`
    // is false (so the same failure on consecutive renders is shown and logged once).
    void Set(const std::string& text, TStatusTone tone, bool logIt, bool force);
    // The main timer's take: clears Changed and LogIt and returns what they covered.
    TTaken Take();
    std::string Text() const;
    TStatusTone Tone() const;
    // How many times any cell of the program has published a change: while it stands still,
    // the main timer has nothing to take.
    static uint64_t Publications() noexcept;

private:
    mutable std::mutex lock_;
    std::string text_;
    TStatusTone tone_ = TStatusTone::Normal;
    bool logIt_ = false;
    bool changed_ = false;
};

void SetShowCell(TShowCell& cell, const std::string& text, TStatusTone tone, bool logIt, bool force);

} // namespace kw
