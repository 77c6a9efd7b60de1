// Value formatting: durations, clock values and every letter table.
#include "render/ValueFormat.h"
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

namespace kw {
namespace {

TEST(FormatDuration, LiftsTruncatesAndKeepsMinutesUnwrapped) {
    EXPECT_EQ(FormatDuration(0), "00:00");
    EXPECT_EQ(FormatDuration(59.9997), "01:00");
    EXPECT_EQ(FormatDuration(59.9), "00:59");
    EXPECT_EQ(FormatDuration(185), "03:05");
    EXPECT_EQ(FormatDuration(3725), "62:05");
    EXPECT_EQ(FormatDuration(90061), "1501:01");
    EXPECT_EQ(FormatDuration(-5), "-00:05");
    EXPECT_EQ(FormatDuration(3725000 / 1000.0), "62:05");  // a list entry's milliseconds
    EXPECT_EQ(FormatDuration(4294967295u / 1000.0), "71582:47");
}

TEST(FormatDuration, DamagedValuesStillGiveText) {
    EXPECT_EQ(FormatDuration(std::numeric_limits<double>::quiet_NaN()), "00:00");
    EXPECT_FALSE(FormatDuration(std::numeric_limits<double>::infinity()).empty());
    EXPECT_EQ(FormatDuration(-std::numeric_limits<double>::infinity()).front(), '-');
}

TEST(FormatClock, LowerBoundsAndDamagedValues) {
    EXPECT_EQ(FormatClockTime(0), "");
    EXPECT_EQ(FormatClockDate(0), "");
    EXPECT_EQ(FormatClockDate(0.5), "");
    EXPECT_EQ(FormatClockTime(0.5), FormatLongTime(0.5));
    EXPECT_EQ(FormatClockTime(99.0 / 86400000.0), "");
    EXPECT_EQ(FormatClockTime(101.0 / 86400000.0), FormatLongTime(101.0 / 86400000.0));
    const TDateTime noon = EncodeDateTime(2026, 12, 7, 19, 27, 26, 0);
    EXPECT_EQ(FormatClockTime(noon), FormatLongTime(noon));
    EXPECT_EQ(FormatClockDate(noon), FormatShortDate(noon));
    // Date-times come raw from the host: nothing outside the calendar turns into a date.
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -1.0, 1e300, 2958466.0}) {
        EXPECT_EQ(FormatClockTime(bad), "") << bad;
        EXPECT_EQ(FormatClockDate(bad), "") << bad;
    }
}

#ifndef _WIN32
TEST(FormatClock, RussianFormats) {
    SetRegionalFormatsForTesting({"HH:mm:ss", "dd.MM.yyyy"});
    const TDateTime t = EncodeDateTime(2026, 12, 7, 19, 27, 26, 0);
    EXPECT_EQ(FormatClockTime(t), "19:27:26");
    EXPECT_EQ(FormatClockDate(t), "07.12.2026");
    EXPECT_EQ(FormatClockTime(0.5), "12:00:00");
}
#endif

std::string Letters(std::string (*letter)(uint8_t), int first, int last) {
    std::string all;
    for (int code = first; code <= last; ++code)
        all += letter(static_cast<uint8_t>(code));
    return all;
}

TEST(Letters, EveryTableExactly) {
    EXPECT_EQ(Letters(ElementTypeLetter, 0, 17), "MIOVPJEBDCRDHSGFL?");
    EXPECT_EQ(ElementTypeLetter(255), "?");
    EXPECT_EQ(Letters(BlockTypeLetter, 0, 11), "MAIVHJEB??D?");
    EXPECT_EQ(BlockTypeLetter(16), "P");
    EXPECT_EQ(BlockTypeLetter(32), "M");
    EXPECT_EQ(BlockTypeLetter(254), "R");
    EXPECT_EQ(BlockTypeLetter(255), "O");
    for (const int other : {8, 9, 15, 17, 31, 33, 128, 253})
        EXPECT_EQ(BlockTypeLetter(static_cast<uint8_t>(other)), "?") << other;
    EXPECT_EQ(Letters(ClockTypeLetter, 0, 4), "RBXEE");
    EXPECT_EQ(ClockTypeLetter(255), "E");
    EXPECT_EQ(Letters(SourceLetter, 0, 3), "OSEE");
    EXPECT_EQ(PlayerLetter(true), "P");
    EXPECT_EQ(PlayerLetter(false), "S");
    EXPECT_EQ(Letters(DetectorLetter, 0, 8), "IOHEBRX??");
    EXPECT_EQ(Letters(LinkLetter, 0, 3), "OWNO");
    EXPECT_EQ(StudioStatus(0, true, 0), "RPI");
    EXPECT_EQ(StudioStatus(3, false, 7), "ES?");
}

} // namespace
} // namespace kw
