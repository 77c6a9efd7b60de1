// An event one thread sleeps on and any other sets: the reader's sleep between songs, which the
// host's handler ends. On Windows it is a slim lock with a condition variable, which sleep and
// wake without a kernel object (under Wine on a futex, where a semaphore costs a round trip to
// the wine server, tens of microseconds of the host's wait); POSIX uses the standard pair.
#pragma once
#include <memory>

namespace kw {

class TWakeEvent {
public:
    TWakeEvent();
    ~TWakeEvent();
    TWakeEvent(const TWakeEvent&) = delete;
    TWakeEvent& operator=(const TWakeEvent&) = delete;

    // Any thread: sets the event and wakes the thread waiting on it.
    void Set() noexcept;
    // Waits at most `ms` for the event to be set: true when it is (it stays set), false when
    // the time ran out.
    bool Wait(int ms) noexcept;
    // Clears the event.
    void Reset() noexcept;

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace kw
