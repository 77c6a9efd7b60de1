// A work's persistent fields, guarded by the work's own lock so that a render's copy is never
// torn by an edit on the main thread.
#include "works/WorkData.h"

namespace kw {

TWorkConfig TWorkData::Config() const {
    std::lock_guard<std::mutex> lock(configLock_);
    return config_;
}

void TWorkData::SetConfig(TWorkConfig config) {
    std::lock_guard<std::mutex> lock(configLock_);
    config_ = std::move(config);
    KeepDelay();
}

std::string TWorkData::Name() const {
    std::lock_guard<std::mutex> lock(configLock_);
    return config_.Name;
}

std::string TWorkData::Section() const {
    std::lock_guard<std::mutex> lock(configLock_);
    return config_.Section;
}

} // namespace kw
