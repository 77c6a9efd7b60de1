// The log: time-stamped lines, newest first, at most 254 of them; nothing goes to a file.
#pragma once
#include <array>
#include <deque>
#include <string>

namespace kw {

class TLogModel {
public:
    static constexpr size_t MaxEntries = 254;
    using TEntry = std::array<std::string, 2>;  // "HH:NN:SS DD.MM", text

    // `OutLog`: the newest entry goes on top; the oldest falls off a full log.
    void Add(const std::string& stamp, const std::string& text);

    size_t EntryCount() const { return entries_.size(); }
    const TEntry& Entry(size_t i) const { return entries_.at(i); }  // 0 is the newest
    // Rows of the grid with its fixed row: the empty design row stays until the first entry.
    size_t RowCount() const { return 1 + (entries_.empty() ? 1 : entries_.size()); }

private:
    std::deque<TEntry> entries_;
};

} // namespace kw
