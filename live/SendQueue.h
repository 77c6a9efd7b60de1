// A client's answers and events waiting to be sent, oldest first. Empty, it holds no memory:
// most followers of an event stream wait with nothing queued, and a std::deque would keep over
// half a kilobyte for each of them.
#pragma once
#include "live/LiveContent.h"
#include <cstddef>
#include <vector>

namespace kw::live {

class TSendQueue {
public:
    bool empty() const { return head_ == items_.size(); }
    const TBytes& front() const { return items_[head_]; }
    void push_back(TBytes bytes) { items_.push_back(std::move(bytes)); }
    void pop_front() {
        items_[head_++].reset();
        if (head_ == items_.size()) {
            items_.clear();
            if (items_.capacity() > 64)  // after a burst: back to nothing
                items_.shrink_to_fit();
            head_ = 0;
        } else if (head_ >= 64 && head_ * 2 >= items_.size()) {  // the sent part never outgrows the rest
            items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
    }

private:
    std::vector<TBytes> items_;
    size_t head_ = 0;  // items_ before it are sent
};

} // namespace kw::live
