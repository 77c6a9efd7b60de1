// Sorted section lists and their case-insensitive binary search.
#include "lang/SectionList.h"
#include <algorithm>

namespace kw::lang {

namespace {
unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }
} // namespace

std::string UpperAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return text;
}

int CompareTextAscii(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char cb = FoldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::shared_ptr<const TSectionData> TSectionData::FromLines(const std::vector<std::string>& lines,
                                                            std::shared_ptr<const TSectionData> constants) {
    auto data = std::make_shared<TSectionData>();
    data->constants_ = std::move(constants);
    data->entries_.reserve(lines.size());
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == ';')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        data->entries_.push_back({UpperAscii(line.substr(0, eq)), line.substr(eq + 1)});
    }
    auto less = [](const TTextEntry& x, const TTextEntry& y) { return CompareTextAscii(x.Key, y.Key) < 0; };
    auto same = [](const TTextEntry& x, const TTextEntry& y) { return CompareTextAscii(x.Key, y.Key) == 0; };
    // Stable, so that of two equal keys the one standing first in the file is kept.
    std::stable_sort(data->entries_.begin(), data->entries_.end(), less);
    data->entries_.erase(std::unique(data->entries_.begin(), data->entries_.end(), same), data->entries_.end());
    return data;
}

int TSectionData::IndexOf(const std::string& key) const {
    if (entries_.empty() || CompareTextAscii(key, entries_.front().Key) < 0)
        return -1;
    size_t low = 0;
    size_t high = entries_.size();  // the key lies in [low, high)
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const int c = CompareTextAscii(entries_[mid].Key, key);
        if (c == 0)
            return static_cast<int>(mid);
        if (c < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return -1;
}

const std::string* TSectionData::Find(const std::string& key) const {
    const int i = IndexOf(key);
    return i < 0 ? nullptr : &entries_[static_cast<size_t>(i)].Value;
}

const std::shared_ptr<const TSectionData>& EmptySection() {
    static const std::shared_ptr<const TSectionData> empty = std::make_shared<const TSectionData>();
    return empty;
}

TSectionList::TSectionList() : data_(EmptySection()) {}

void TSectionList::Replace(std::shared_ptr<const TSectionData> data) {
    data_.Store(data ? std::move(data) : EmptySection());
}

void TSectionList::Clear() { Replace(EmptySection()); }

} // namespace kw::lang
