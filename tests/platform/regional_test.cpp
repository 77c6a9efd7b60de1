// Date-time values and the regional formats. The same program runs natively (fixed Russian
// formats) and under Wine with LC_ALL=ru_RU.UTF-8 (the user's locale through the system).
#include "platform/Regional.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace kw;

const TRegionalFormats Russian{"HH:mm:ss", "dd.MM.yyyy"};
const TRegionalFormats American{"h:mm:ss tt", "M/d/yyyy"};
const TRegionalFormats Iso{"HH:mm:ss", "yyyy-MM-dd"};

TDateTime Evening() {
    return EncodeDateTime(2026, 12, 7, 19, 27, 26, 0);
}

TEST(Regional, TheSystemFormatsAreRussian) {
    EXPECT_EQ(FormatLongTime(Evening()), "19:27:26");
    EXPECT_EQ(FormatShortDate(Evening()), "07.12.2026");
    EXPECT_EQ(FormatLongTime(0.5), "12:00:00"); // a time without a date still has its time
    const TRegionalFormats f = GetRegionalFormats();
    EXPECT_EQ(f.LongTimeFormat, "HH:mm:ss");
    EXPECT_EQ(f.ShortDateFormat, "dd.MM.yyyy");
}

TEST(Regional, SystemTextsReadBackWithTheSystemFormats) {
    TDateTime out = -1;
    for (const TDateTime dt :
         {Evening(), EncodeDateTime(2001, 1, 2, 3, 4, 5, 0), EncodeDateTime(1999, 12, 31, 23, 59, 59, 0)}) {
        ASSERT_TRUE(ParseDateTime(FormatShortDate(dt) + " " + FormatLongTime(dt), out));
        EXPECT_NEAR(out, dt, 1e-9);
    }
    ASSERT_TRUE(ParseDateTime("07.12.2026", out));
    EXPECT_EQ(out, EncodeDateTime(2026, 12, 7, 0, 0, 0, 0));
    ASSERT_TRUE(ParseDateTime(" 19:27 ", out)); // a time alone: below 1.0
    EXPECT_NEAR(out, (19 * 60 + 27) / 1440.0, 1e-12);
    for (const char* bad : {"", "x", "19", "31.02.2026", "07.13.2026", "25:00:00", "19:60", "07.12.2026 x",
                            "07.12.2026 19:27:26 1", "1:2:3:4", "07/12/2026"}) {
        EXPECT_FALSE(ParseDateTime(bad, out)) << bad;
    }
}

TEST(Regional, PicturesFormatAsWindowsDoes) {
    const TDateTime dt = Evening();
    EXPECT_EQ(FormatDateTimePicture(dt, American.LongTimeFormat, American), "7:27:26 PM");
    EXPECT_EQ(FormatDateTimePicture(dt, American.ShortDateFormat, American), "12/7/2026");
    EXPECT_EQ(FormatDateTimePicture(dt, "H:mm:ss", Russian), "19:27:26");
    EXPECT_EQ(FormatDateTimePicture(dt, "yyyy-MM-dd", Russian), "2026-12-07");
    EXPECT_EQ(FormatDateTimePicture(dt, "ddd d MMM yy 'at' hh t", Russian), "Mon 7 Dec 26 at 07 P");
    EXPECT_EQ(FormatDateTimePicture(dt, "dddd MMMM 'it''s'", Russian), "Monday December it's");
    EXPECT_EQ(FormatDateTimePicture(EncodeDateTime(2026, 1, 1, 0, 5, 0, 0), "h:mm tt", American), "12:05 AM");
}

TEST(Regional, TextsReadWithOtherRegionalFormats) {
    TDateTime out = 0;
    ASSERT_TRUE(ParseDateTimeWith("12/7/2026 7:27:26 PM", American, out));
    EXPECT_NEAR(out, Evening(), 1e-9);
    ASSERT_TRUE(ParseDateTimeWith("12:00:00 AM", American, out));
    EXPECT_EQ(out, 0.0);
    ASSERT_TRUE(ParseDateTimeWith("pm 12:30", American, out));
    EXPECT_NEAR(out, 0.5 + 30 / 1440.0, 1e-12);
    EXPECT_FALSE(ParseDateTimeWith("13:00 PM", American, out));
    ASSERT_TRUE(ParseDateTimeWith("2026-12-07 19:27:26.5", Iso, out));
    EXPECT_NEAR(out, Evening() + 0.5 / 86400, 1e-9);
    ASSERT_TRUE(ParseDateTimeWith("7.12.26", Russian, out)); // two-digit years lie in 1950..2049
    EXPECT_EQ(out, EncodeDateTime(2026, 12, 7, 0, 0, 0, 0));
    ASSERT_TRUE(ParseDateTimeWith("7.12.51", Russian, out));
    EXPECT_EQ(out, EncodeDateTime(1951, 12, 7, 0, 0, 0, 0));
    ASSERT_TRUE(ParseDateTimeWith("29.02.2000", Russian, out));
    EXPECT_FALSE(ParseDateTimeWith("29.02.1900", Russian, out));
    EXPECT_FALSE(ParseDateTimeWith("99999.12.2026", Russian, out));
}

TEST(Regional, CalendarArithmetic) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0, 0), 2.0);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 0, 0, 0, 0), 36526.0);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25); // the fraction reads forward
    EXPECT_EQ(EncodeDateTime(2026, 2, 30, 0, 0, 0, 0), 0.0);    // no such day
    int y, m, d, h, n, s, ms;
    DecodeDateTime(-1.25, y, m, d, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{1899, 12, 29, 6, 0, 0, 0}));
    // Rounding to the millisecond may reach midnight: that is the next day, not hour 24.
    DecodeDateTime(EncodeDateTime(2026, 12, 31, 0, 0, 0, 0) + 0.99999999999, y, m, d, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{2027, 1, 1, 0, 0, 0, 0}));
    // Damaged values (from the host's data) decode as 30 December 1899, midnight.
    for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e7}) {
        DecodeDateTime(bad, y, m, d, h, n, s, ms);
        EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{1899, 12, 30, 0, 0, 0, 0}));
    }
    for (int day = -693500; day < 2958465; day += 997) {
        DecodeDateTime(day + 0.75, y, m, d, h, n, s, ms);
        ASSERT_EQ(EncodeDateTime(y, m, d, h, n, s, ms), day + 0.75) << day;
        ASSERT_TRUE(IsValidDate(y, m, d));
    }
}

TEST(Regional, StampsOfTheStatusCellsAndTheLog) {
    EXPECT_EQ(FormatStatusStamp(Evening()), "19:27:26  07.12");
    EXPECT_EQ(FormatLogStamp(EncodeDateTime(2026, 1, 2, 3, 4, 5, 999)), "03:04:05 02.01");
}

TEST(Regional, NowIsTodayInLocalTime) {
    const TDateTime now = Now();
    EXPECT_GT(now, EncodeDateTime(2020, 1, 1, 0, 0, 0, 0));
    EXPECT_LT(now, EncodeDateTime(2200, 1, 1, 0, 0, 0, 0));
}

} // namespace
