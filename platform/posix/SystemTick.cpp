// POSIX tick source: the monotonic clock in milliseconds, truncated to 32 bits like GetTickCount.
#include "platform/Clock.h"
#include <time.h>

namespace kw {

uint32_t SystemTickCount() noexcept {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

} // namespace kw
