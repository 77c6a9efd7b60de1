// The live server's pages and document.
#include "live/LiveContent.h"
#include <algorithm>
#include <utility>

namespace kw::live {

std::string TLiveContent::IdKey(std::string_view id) {
    std::string key(id);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return key;
}

void TLiveContent::SetWorks(const std::vector<TLiveWork>& works) {
    std::unordered_map<std::string, TServedItem> next;
    std::lock_guard<std::mutex> lock(lock_);
    for (const TLiveWork& work : works) {
        const std::string key = IdKey(work.Id);
        const auto kept = pages_.find(key);
        TServedItem item = kept != pages_.end() ? kept->second : TServedItem{};
        item.ContentType = work.ContentType;
        next[key] = std::move(item);
    }
    pages_.swap(next);
    // the pages of works no longer served are released outside the lock with `next`
}

bool TLiveContent::PublishPage(std::string_view id, TBytes bytes) {
    if (!bytes)
        return false;
    std::lock_guard<std::mutex> lock(lock_);
    const auto it = pages_.find(IdKey(id));
    if (it == pages_.end())
        return false;
    bytes.swap(it->second.Bytes);
    Note({it->first, ++it->second.Version, nullptr});
    return true;  // the old page goes with `bytes`, outside the lock
}

void TLiveContent::PublishState(TBytes json) {
    if (!json)
        return;
    std::lock_guard<std::mutex> lock(lock_);
    Note({std::string(), ++state_.Version, json});
    json.swap(state_.Bytes);
}

std::optional<TServedItem> TLiveContent::Page(std::string_view id) const {
    std::lock_guard<std::mutex> lock(lock_);
    const auto it = pages_.find(IdKey(id));
    if (it == pages_.end())
        return std::nullopt;
    return it->second;
}

TServedItem TLiveContent::State() const {
    std::lock_guard<std::mutex> lock(lock_);
    return state_;
}

void TLiveContent::Note(TChange change) {
    if (changes_.size() >= MaxChanges)
        changes_.erase(changes_.begin());
    changes_.push_back(std::move(change));
}

std::vector<TLiveContent::TChange> TLiveContent::TakeChanges() {
    std::lock_guard<std::mutex> lock(lock_);
    return std::exchange(changes_, {});
}

} // namespace kw::live
