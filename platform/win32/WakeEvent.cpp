#include "platform/WakeEvent.h"
#include <windows.h>
#include <chrono>

namespace kw {

struct TWakeEvent::TState {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    bool set = false;
};

TWakeEvent::TWakeEvent() : state_(std::make_unique<TState>()) {}
TWakeEvent::~TWakeEvent() = default;

void TWakeEvent::Set() noexcept {
    AcquireSRWLockExclusive(&state_->lock);
    state_->set = true;
    ReleaseSRWLockExclusive(&state_->lock);
    WakeConditionVariable(&state_->changed);
}

bool TWakeEvent::Wait(int ms) noexcept {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    AcquireSRWLockExclusive(&state_->lock);
    // A condition variable may wake without a cause: the time left is taken from the real clock.
    while (!state_->set) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            break;
        SleepConditionVariableSRW(&state_->changed, &state_->lock, static_cast<DWORD>(left), 0);
    }
    const bool set = state_->set;
    ReleaseSRWLockExclusive(&state_->lock);
    return set;
}

void TWakeEvent::Reset() noexcept {
    AcquireSRWLockExclusive(&state_->lock);
    state_->set = false;
    ReleaseSRWLockExclusive(&state_->lock);
}

} // namespace kw
