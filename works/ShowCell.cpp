// Status cells: written by renders on their own threads, taken by the main timer.
#include "works/ShowCell.h"

namespace kw {

namespace {
std::atomic<uint64_t> publications{0};
}

void TShowCell::Set(const std::string& text, TStatusTone tone, bool logIt, bool force) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!force && text == text_ && tone == tone_)
            return;
        text_ = text;
        tone_ = tone;
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
    taken.Tone = tone_;
    changed_ = false;
    logIt_ = false;
    return taken;
}

std::string TShowCell::Text() const {
    std::lock_guard<std::mutex> lock(lock_);
    return text_;
}

TStatusTone TShowCell::Tone() const {
    std::lock_guard<std::mutex> lock(lock_);
    return tone_;
}

void SetShowCell(TShowCell& cell, const std::string& text, TStatusTone tone, bool logIt, bool force) {
    cell.Set(text, tone, logIt, force);
}

} // namespace kw
