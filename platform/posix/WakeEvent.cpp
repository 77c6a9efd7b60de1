#include "platform/WakeEvent.h"
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kw {

struct TWakeEvent::TState {
    std::mutex lock;
    std::condition_variable changed;
    bool set = false;
};

TWakeEvent::TWakeEvent() : state_(std::make_unique<TState>()) {}
TWakeEvent::~TWakeEvent() = default;

void TWakeEvent::Set() noexcept {
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->set = true;
    }
    state_->changed.notify_one();
}

bool TWakeEvent::Wait(int ms) noexcept {
    std::unique_lock<std::mutex> hold(state_->lock);
    return state_->changed.wait_for(hold, std::chrono::milliseconds(ms), [this] { return state_->set; });
}

void TWakeEvent::Reset() noexcept {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->set = false;
}

} // namespace kw
