// POSIX tick source: the monotonic clock in milliseconds, truncated to 32 bits like GetTickCount.
#include "platform/Clock.h"
#include <time.h>

namespace kw {

uint32_t SystemTickCount() noexcept {
    timespec ts{};
    // The coarse clock, like GetTickCount, is a read of the kernel's last tick: the host's
    // message handler reads it on every element.
#ifdef CLOCK_MONOTONIC_COARSE
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
#else
    clock_gettime(CLOCK_MONOTONIC, &ts);
#endif
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

} // namespace kw
