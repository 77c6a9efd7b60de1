// Portable side of the regional formats: calendar arithmetic over day serials (days since
// 30 December 1899), a formatter for Windows date/time pictures and the reader behind
// ParseDateTime. The platform files supply the formats in force and the clock.
#include "platform/Regional.h"
#include <cmath>
#include <cstdint>
#include <charconv>
#include <string_view>

namespace kw {

namespace {

constexpr int64_t MsPerDay = 86400000;
constexpr int64_t UnixEpochSerial = 25569; // 1 January 1970
constexpr double FirstSerial = -693593.0;  // 1 January 0001
constexpr double EndSerial = 2958466.0;    // 1 January 10000 (exclusive)

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// Splits a serial into whole days and milliseconds of the day. The fraction of a negative
// serial is a time after midnight too (-1.25 is 29 December 1899, 06:00), as the value type
// has always been read. Values outside years 1..9999 and NaN give day 0 at midnight: they
// can only come from damaged input and must not reach the calendar arithmetic.
void SplitSerial(TDateTime dt, int64_t& days, int64_t& ms) {
    if (!(dt >= FirstSerial && dt < EndSerial)) {
        days = 0;
        ms = 0;
        return;
    }
    days = static_cast<int64_t>(std::trunc(dt));
    ms = std::llround(std::fabs(dt - static_cast<double>(days)) * static_cast<double>(MsPerDay));
    if (ms >= MsPerDay) { // rounding reached midnight: that is the next day
        if (static_cast<double>(days + 1) < EndSerial) {
            ++days;
            ms -= MsPerDay;
        } else {
            ms = MsPerDay - 1;
        }
    }
}

const char* const ShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const LongDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                    "Thursday", "Friday", "Saturday"};
const char* const ShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const LongMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};

// `value` in decimal with at least `minDigits` digits (zeros in front), as printf's "%0*d"
// gives it; without printf, which costs more than the rest of a time tag's value together.
std::string Number(int value, int minDigits) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec;  // an int always fits
    std::string_view text(digits, static_cast<size_t>(end - digits));
    std::string out;
    if (!text.empty() && text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
        --minDigits;  // the sign counts toward the width
    }
    if (static_cast<int>(text.size()) < minDigits)
        out.append(static_cast<size_t>(minDigits) - text.size(), '0');
    out.append(text);
    return out;
}

struct TParts {
    int64_t days = 0;
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, ms = 0;
};

TParts Decompose(TDateTime dt) {
    TParts p;
    int64_t ms = 0;
    SplitSerial(dt, p.days, ms);
    CivilFromDays(p.days - UnixEpochSerial, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.ms = static_cast<int>(ms % 1000);
    return p;
}

// One picture element: `letter` repeated `count` times.
std::string FormatElement(char letter, size_t count, const TParts& p, const TRegionalFormats& f) {
    const int n = count >= 2 ? 2 : 1;
    switch (letter) {
    case 'd':
        if (count >= 4)
            return LongDayNames[((p.days + 6) % 7 + 7) % 7];
        if (count == 3)
            return ShortDayNames[((p.days + 6) % 7 + 7) % 7];
        return Number(p.day, n);
    case 'M':
        if (count >= 4)
            return LongMonthNames[p.month - 1];
        if (count == 3)
            return ShortMonthNames[p.month - 1];
        return Number(p.month, n);
    case 'y':
        return count >= 3 ? Number(p.year, 1) : Number(p.year % 100, n);
    case 'g':
        return "A.D.";
    case 'h':
        return Number(p.hour % 12 == 0 ? 12 : p.hour % 12, n);
    case 'H':
        return Number(p.hour, n);
    case 'm':
        return Number(p.minute, n);
    case 's':
        return Number(p.second, n);
    case 't': {
        const std::string& d = p.hour < 12 ? f.TimeAMString : f.TimePMString;
        return count >= 2 ? d : d.substr(0, 1);
    }
    default:
        return std::string(count, letter);
    }
}

bool IsPictureLetter(char c) {
    switch (c) {
    case 'd':
    case 'M':
    case 'y':
    case 'g':
    case 'h':
    case 'H':
    case 'm':
    case 's':
    case 't':
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsValidDate(int year, int month, int day) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms,
                       TDateTime& out) {
    if (!IsValidDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59 || ms < 0 || ms > 999)
        return false;
    const double date = static_cast<double>(DaysFromCivil(year, month, day) + UnixEpochSerial);
    const double time =
        static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + ms) / static_cast<double>(MsPerDay);
    // Before 30 December 1899 the time is subtracted, so that the fraction still reads forward.
    out = date >= 0 ? date + time : date - time;
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms) {
    TDateTime out = 0;
    return TryEncodeDateTime(year, month, day, hour, minute, second, ms, out) ? out : 0;
}

void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& ms) {
    const TParts p = Decompose(dt);
    year = p.year;
    month = p.month;
    day = p.day;
    hour = p.hour;
    minute = p.minute;
    second = p.second;
    ms = p.ms;
}

std::string FormatDateTimePicture(TDateTime dt, const std::string& picture, const TRegionalFormats& formats) {
    const TParts p = Decompose(dt);
    std::string out;
    size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') { // quoted literal; '' inside the quotes is one quote
            ++i;
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
        } else if (IsPictureLetter(c)) {
            size_t n = 1;
            while (i + n < picture.size() && picture[i + n] == c)
                ++n;
            out += FormatElement(c, n, p, formats);
            i += n;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string FormatStatusStamp(TDateTime dt) {
    const TParts p = Decompose(dt);
    return Number(p.hour, 2) + ":" + Number(p.minute, 2) + ":" + Number(p.second, 2) + "  " +
           Number(p.day, 2) + "." + Number(p.month, 2);
}

std::string FormatLogStamp(TDateTime dt) {
    const TParts p = Decompose(dt);
    return Number(p.hour, 2) + ":" + Number(p.minute, 2) + ":" + Number(p.second, 2) + " " +
           Number(p.day, 2) + "." + Number(p.month, 2);
}

} // namespace kw
