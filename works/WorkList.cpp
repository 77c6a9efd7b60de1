// The works list: shared pointers under one lock, so that a render holding its work never
// reads a record that moved or was freed while the main thread sorted or deleted.
#include "works/WorkList.h"
#include <algorithm>

namespace kw {

namespace {
// Byte-wise unsigned comparison; a shorter name that is a prefix of the other comes first.
bool NameGreater(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb)
            return ca > cb;
    }
    return a.size() > b.size();
}
} // namespace

size_t TWorkList::Count() const {
    std::lock_guard<std::mutex> lock(lock_);
    return works_.size();
}

TWorkPtr TWorkList::At(int index) const {
    std::lock_guard<std::mutex> lock(lock_);
    if (index < 0 || static_cast<size_t>(index) >= works_.size())
        return nullptr;
    return works_[static_cast<size_t>(index)];
}

std::vector<TWorkPtr> TWorkList::Snapshot() const {
    std::lock_guard<std::mutex> lock(lock_);
    return works_;
}

int TWorkList::IndexOf(const TWorkData* work) const {
    std::lock_guard<std::mutex> lock(lock_);
    for (size_t i = 0; i < works_.size(); ++i)
        if (works_[i].get() == work)
            return static_cast<int>(i);
    return -1;
}

bool TWorkList::Append(TWorkPtr work) {
    if (!work)
        return false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (works_.size() >= MaxWorks)
            return false;
        works_.push_back(std::move(work));
    }
    if (onAppend_)
        onAppend_();
    return true;
}

bool TWorkList::RemoveAt(int index) {
    std::lock_guard<std::mutex> lock(lock_);
    if (index < 0 || static_cast<size_t>(index) >= works_.size())
        return false;
    works_.erase(works_.begin() + index);
    return true;
}

void TWorkList::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    works_.clear();
}

bool TWorkList::ApplyAllDue() {
    return ApplyAllDue([](TWorkData& w, int64_t due) { w.NextUpdate.store(due, std::memory_order_release); });
}

bool TWorkList::ApplyAllDue(const std::function<void(TWorkData&, int64_t due)>& apply) {
    const int64_t due = allDue_.exchange(NoneDue, std::memory_order_acq_rel);
    if (due == NoneDue)
        return false;
    std::lock_guard<std::mutex> lock(lock_);
    for (const TWorkPtr& w : works_)
        apply(*w, due);
    return true;
}

void TWorkList::SortByName() {
    std::lock_guard<std::mutex> lock(lock_);
    // Names are read once: a work's name may change under its own lock meanwhile, and the
    // exchange sort must compare stable keys.
    std::vector<std::string> names;
    names.reserve(works_.size());
    for (const auto& w : works_)
        names.push_back(w->Name());
    // Exchange sort as the main window has always done it: equal names keep their order.
    for (size_t i = 0; i + 1 < works_.size(); ++i)
        for (size_t j = i + 1; j < works_.size(); ++j)
            if (NameGreater(names[i], names[j])) {
                std::swap(names[i], names[j]);
                std::swap(works_[i], works_[j]);
            }
}

} // namespace kw
