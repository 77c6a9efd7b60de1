// Value formatting for the tags of a page.
#include "render/ValueFormat.h"
#include <cmath>
#include <charconv>

namespace kw {

namespace {

// 1 January 10000: the first value the calendar cannot show. Date-times reach this program
// raw from the host (played-list entries), so anything out of range or not a number at all
// is treated like an unset value and gives empty text rather than a made-up date.
constexpr double EndOfCalendar = 2958466.0;
constexpr double HundredMs = 100.0 / 86400000.0;

// Durations beyond this (about 31,700 years) are clamped so the arithmetic stays in range.
constexpr double LongestDuration = 1e12;

bool IsShowable(TDateTime t, double lowerBound) {
    return std::isfinite(t) && t >= lowerBound && t < EndOfCalendar;
}

// A value of zero or more in decimal, with a zero in front of a single digit.
void AppendTwoDigitsAtLeast(std::string& out, long long value) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec;  // a long long always fits
    if (end - digits < 2)
        out += '0';
    out.append(digits, end);
}

} // namespace

std::string FormatDuration(double seconds) {
    if (std::isnan(seconds))
        seconds = 0;
    const bool negative = seconds < 0;
    double x = negative ? -seconds : seconds;
    x += 0.0004;
    if (x > LongestDuration)
        x = LongestDuration;
    const auto total = static_cast<long long>(x);  // truncated toward zero
    std::string out = negative ? "-" : "";
    AppendTwoDigitsAtLeast(out, total / 60);
    out += ':';
    AppendTwoDigitsAtLeast(out, total % 60);
    return out;
}

std::string FormatClockTime(TDateTime t) {
    return IsShowable(t, HundredMs) ? FormatLongTime(t) : std::string();
}

std::string FormatClockDate(TDateTime t) {
    return IsShowable(t, 1.0) ? FormatShortDate(t) : std::string();
}

std::string ElementTypeLetter(uint8_t type) {
    static const char Letters[] = "MIOVPJEBDCRDHSGFL";  // codes 0..16
    return std::string(1, type < sizeof Letters - 1 ? Letters[type] : '?');
}

std::string BlockTypeLetter(uint8_t type) {
    static const char Letters[] = "MAIVHJEB";  // codes 0..7
    if (type < sizeof Letters - 1)
        return std::string(1, Letters[type]);
    switch (type) {
    case 10:
        return "D";
    case 16:
        return "P";
    case 32:
        return "M";
    case 254:
        return "R";
    case 255:
        return "O";
    default:
        return "?";
    }
}

std::string ClockTypeLetter(uint8_t type) {
    static const char Letters[] = "RBX";
    return std::string(1, type < 3 ? Letters[type] : 'E');
}

std::string SourceLetter(uint8_t sourceState) {
    return sourceState == 0 ? "O" : sourceState == 1 ? "S" : "E";
}

std::string PlayerLetter(bool playerOn) { return playerOn ? "P" : "S"; }

std::string DetectorLetter(uint8_t detectorState) {
    static const char Letters[] = "IOHEBRX";  // codes 0..6
    return std::string(1, detectorState < 7 ? Letters[detectorState] : '?');
}

std::string LinkLetter(uint8_t linkState) {
    return linkState == 1 ? "W" : linkState == 2 ? "N" : "O";
}

std::string StudioStatus(uint8_t clockType, bool playerOn, uint8_t detectorState) {
    return ClockTypeLetter(clockType) + PlayerLetter(playerOn) + DetectorLetter(detectorState);
}

} // namespace kw
