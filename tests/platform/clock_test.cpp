// The shared clock widens the 32-bit tick count across its wrap.
#include "platform/Clock.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

kw::TTickClock ClockOver(std::vector<uint32_t> ticks) {
    auto pos = std::make_shared<size_t>(0);
    return kw::TTickClock([ticks, pos] { return ticks[(*pos)++]; });
}

TEST(TickClock, WidensAcrossTheWrap) {
    auto clock = ClockOver({4294967290u, 5u});
    EXPECT_EQ(clock.GetTicks64(), 4294967290LL);
    EXPECT_EQ(clock.GetTicks64(), 4294967301LL);
}

TEST(TickClock, CountsEveryWrapAndNotEqualReadings) {
    auto clock = ClockOver({10u, 10u, 3u, 3u, 2u});
    EXPECT_EQ(clock.GetTicks64(), 10);
    EXPECT_EQ(clock.GetTicks64(), 10);
    EXPECT_EQ(clock.GetTicks64(), (1LL << 32) + 3);
    EXPECT_EQ(clock.GetTicks64(), (1LL << 32) + 3);
    EXPECT_EQ(clock.GetTicks64(), (2LL << 32) + 2);
}

TEST(TickClock, SystemClockMovesForward) {
    const int64_t a = kw::GetTicks64();
    const int64_t b = kw::GetTicks64();
    EXPECT_LE(a, b);
}

} // namespace
