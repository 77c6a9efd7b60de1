// A status cell: written by renders on their own threads, taken by the main timer.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace kw {

// Colours in the 0x00BBGGRR form.
constexpr uint32_t clRed = 0x000000FF;
constexpr uint32_t clGreen = 0x00008000;
// The works grid's background colour, the "normal" status colour. The Win32 layer stores the
// grid's real colour here at start-up; the default is the usual window colour.
extern std::atomic<uint32_t> GridBackgroundColor;
uint32_t NormalColor();

// A status cell: text, colour, log request and changed flag, shown by the main timer.
class TShowCell {
public:
    struct TTaken {
        bool Changed = false;  // the text is to be shown
        bool LogIt = false;    // the text is to be written to the log
        std::string Text;
        uint32_t Color = 0;
    };

    // Stores text, colour and log request and sets Changed, unless nothing differs and `force`
    // is false (so the same failure on consecutive renders is shown and logged once).
    void Set(const std::string& text, uint32_t color, bool logIt, bool force);
    // The main timer's take: clears Changed and LogIt and returns what they covered.
    TTaken Take();
    std::string Text() const;
    uint32_t Color() const;
    void SetColor(uint32_t color);  // start-up: colour only, nothing published
    // How many times any cell of the program has published a change: while it stands still,
    // the main timer has nothing to take.
    static uint64_t Publications() noexcept;

private:
    mutable std::mutex lock_;
    std::string text_;
    uint32_t color_ = 0;
    bool logIt_ = false;
    bool changed_ = false;
};

void SetShowCell(TShowCell& cell, const std::string& text, uint32_t color, bool logIt, bool force);

} // namespace kw
