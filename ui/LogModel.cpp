// The log's entries.
#include "ui/LogModel.h"

namespace kw {

void TLogModel::Add(const std::string& stamp, const std::string& text) {
    entries_.push_front(TEntry{stamp, text});
    if (entries_.size() > MaxEntries)
        entries_.pop_back();
}

} // namespace kw
