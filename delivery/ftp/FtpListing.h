// Reading the text of a "LIST" reply. Servers send either Unix "ls -l" lines or MS-DOS
// ("IIS") lines; the first line decides which. A line that cannot be read empties what was
// gathered before it, so only the entries after the last bad line are kept.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kw::ftp {

// A listing's date and time to the minute. The default is the zero date, 30.12.1899 00:00,
// shown for an MS-DOS line whose date cannot be read.
struct TFtpStamp {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
};

enum class TFtpEntryKind { File, Folder, Link };

struct TFtpListEntry {
    TFtpEntryKind Kind = TFtpEntryKind::File;
    std::string Name;
    int64_t Size = 0;
    TFtpStamp Modified;
};

// The listing's lines, split at LF with a CR before it dropped.
std::vector<std::string> SplitListingLines(const std::string& bytes);

// Parses the lines. `currentYear`/`currentMonth` (1..12) date the Unix entries that show a time
// of day instead of a year: this year, or last year when their month lies after this month.
std::vector<TFtpListEntry> ParseFtpListing(const std::vector<std::string>& lines, int currentYear, int currentMonth);

// "DD-MM-YY HH:NN".
std::string FormatListingDate(const TFtpStamp& stamp);

} // namespace kw::ftp
