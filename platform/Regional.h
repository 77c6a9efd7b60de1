// Date-time values (days since 30 December 1899, the fraction being the time of day) and the
// system's regional formats: the long time format and the short date format.
// On Windows the formats come from the user's locale; on POSIX they are a fixed pattern that
// tests may replace (the default matches a Russian Windows: "HH:mm:ss" and "dd.MM.yyyy").
#pragma once
#include <string>

namespace kw {

using TDateTime = double;

struct TRegionalFormats {
    std::string LongTimeFormat;      // Windows picture syntax: "HH:mm:ss", "h:mm:ss tt", ...
    std::string ShortDateFormat;     // "dd.MM.yyyy", "M/d/yyyy", ...
    std::string TimeAMString = "AM"; // the "tt" designators
    std::string TimePMString = "PM";
};

// The formats in force (on Windows read from the user's locale).
TRegionalFormats GetRegionalFormats();
void SetRegionalFormatsForTesting(const TRegionalFormats& formats); // POSIX only; no effect on Windows

// The local date and time now.
TDateTime Now();

// Time of day of `dt` in the long time format / date of `dt` in the short date format.
std::string FormatLongTime(TDateTime dt);
std::string FormatShortDate(TDateTime dt);

// Reads a date optionally followed by a time, or a time alone (giving a value below 1.0),
// with the regional formats. False when the text does not convert.
bool ParseDateTime(const std::string& text, TDateTime& out);

// Calendar helpers (portable).
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms);
void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& ms);

// "HH:NN:SS  DD.MM" (two blanks) and "HH:NN:SS DD.MM" (one blank), the status and log stamps.
std::string FormatStatusStamp(TDateTime dt);
std::string FormatLogStamp(TDateTime dt);

// --- Portable building blocks behind the functions above ---

// Years 1..9999, months 1..12, days within the month (Gregorian calendar).
bool IsValidDate(int year, int month, int day);
// As EncodeDateTime, but false for a date or time of day that does not exist.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms,
                       TDateTime& out);

// Formats `dt` with a Windows date or time picture: d dd ddd dddd, M MM MMM MMMM, y yy yyyy,
// h hh H HH, m mm, s ss, t tt, and 'quoted' literal text. Day and month names are English;
// the AM/PM designators are taken from `formats`. Values outside years 1..9999 (and NaN)
// format as 30 December 1899, 00:00:00, rather than as garbage.
std::string FormatDateTimePicture(TDateTime dt, const std::string& picture, const TRegionalFormats& formats);

// ParseDateTime against given formats: the date's field order and separator come from
// ShortDateFormat, the time separator and AM/PM designators from LongTimeFormat and the
// designators. A date of two fields takes the current year; a two-digit year lies in 1950..2049.
bool ParseDateTimeWith(const std::string& text, const TRegionalFormats& formats, TDateTime& out);

} // namespace kw
