// The program-wide instance of the shared clock.
#include "platform/Clock.h"

namespace kw {

std::atomic<int64_t> NowTicks{0};

int64_t GetTicks64() {
    static TTickClock clock;
    return clock.GetTicks64();
}

} // namespace kw
