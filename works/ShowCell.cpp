// Status cells: written by renders on their own threads, taken by the main timer.
#include "works/ShowCell.h"

namespace kw {

// The Win32 layer replaces this with the grid's real background colour at start-up.
std::atomic<uint32_t> GridBackgroundColor{0x00FFFFFF};

uint32_t NormalColor() {
    return GridBackgroundColor.load(std::memory_order_relaxed);
}

namespace {
std::atomic<uint64_t> publications{0};
}

void TShowCell::Set(const std::string& text, uint32_t color, bool logIt, bool force) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!force && text == text_ && color == color_)
            return;
        text_ = text;
        color_ = color;
        logIt_ = logIt;
        changed_ = true;
    }
    // Counted after the cell is set: a take that saw the count before it comes again.
    publications.fetch_add(1, std::memory_order_release);
}

uint64_t TShowCell::Publications() noexcept { return publications.load(std::memory_order_acquire); }

TShowCell::TTaken TShowCell::Take() {
    std::lock_guard<std::mutex> lock(lock_);
    TTaken taken;
    taken.Changed = changed_;
    taken.LogIt = changed_ && logIt_;
    taken.Text = text_;
    taken.Color = color_;
    changed_ = false;
    logIt_ = false;
    return taken;
}

std::string TShowCell::Text() const {
    std::lock_guard<std::mutex> lock(lock_);
    return text_;
}

uint32_t TShowCell::Color() const {
    std::lock_guard<std::mutex> lock(lock_);
    return color_;
}

void TShowCell::SetColor(uint32_t color) {
    std::lock_guard<std::mutex> lock(lock_);
    color_ = color;
}

void SetShowCell(TShowCell& cell, const std::string& text, uint32_t color, bool logIt, bool force) {
    cell.Set(text, color, logIt, force);
}

} // namespace kw
