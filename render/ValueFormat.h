// Turns broadcast-state values into page text: durations as minutes and seconds, date-times in
// the system's regional formats, and the host's type and state codes as the single letters
// that pages built on this program test for.
#pragma once
#include "platform/Regional.h"
#include <cstdint>
#include <string>

namespace kw {

// "MM:SS" of total minutes (not wrapped at 60, at least two digits) and seconds, "-" in front
// of a negative value. 0.0004 s is added first, so 59.9997 s reads as a whole minute.
std::string FormatDuration(double seconds);

// The time of day in the long time format; empty below 100 ms (an unset value).
std::string FormatClockTime(TDateTime t);
// The date in the short date format; empty below 1.0 (a time without a date).
std::string FormatClockDate(TDateTime t);

std::string ElementTypeLetter(uint8_t type);
std::string BlockTypeLetter(uint8_t type);
std::string ClockTypeLetter(uint8_t type);
std::string SourceLetter(uint8_t sourceState);
std::string PlayerLetter(bool playerOn);
std::string DetectorLetter(uint8_t detectorState);
std::string LinkLetter(uint8_t linkState);

// Clock type, player and detector letters in this order ("RPI" for 0, on, 0).
std::string StudioStatus(uint8_t clockType, bool playerOn, uint8_t detectorState);

} // namespace kw
