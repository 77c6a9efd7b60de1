// Unix and MS-DOS listing lines.
#include "delivery/ftp/FtpListing.h"
#include <cstdio>

namespace kw::ftp {

namespace {

enum class TFormat { None, Unix, MsDos };

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsBlankLine(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Characters `from`..`to` (1-based, inclusive) of `line`, shorter when the line ends first.
std::string Chars(const std::string& line, size_t from, size_t to) {
    return from > line.size() ? std::string() : line.substr(from - 1, to - from + 1);
}

// Decimal digits only, into `value`; false for anything else, an empty text or an overflow.
bool ReadNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18)
        return false;
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool ReadInt(const std::string& text, int& value) {
    int64_t v = 0;
    if (text.size() > 9 || !ReadNumber(text, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string WithoutCommas(const std::string& s) {
    std::string out;
    for (const char c : s)
        if (c != ',')
            out += c;
    return out;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool DateExists(int year, int month, int day) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    return day <= days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// Mode characters: a type, then nine permission letters ("s" and "t" mark set-id and sticky).
bool LooksLikeUnixMode(const std::string& upper) {
    if (upper.size() < 10 || std::string("-DL").find(upper[0]) == std::string::npos)
        return false;
    for (size_t i = 1; i < 10; ++i)
        if (std::string("-RWXST").find(upper[i]) == std::string::npos)
            return false;
    return true;
}

bool LooksLikeMsDos(const std::string& line) {
    auto isSep = [&](size_t pos) { return line.size() >= pos && (line[pos - 1] == '-' || line[pos - 1] == '/'); };
    if (!isSep(3) || !isSep(6))
        return false;
    const std::string field = Trim(Chars(line, 25, 30));
    if (field == "<DIR>")
        return true;
    int64_t size = 0;
    return field.empty() && ReadNumber(Trim(WithoutCommas(Chars(line, 31, 38))), size);
}

TFormat DetectFormat(const std::string& line) {
    std::string upper = line;
    for (char& c : upper)
        c = Upper(c);
    if (LooksLikeUnixMode(upper) || upper.rfind("TOTAL", 0) == 0 || upper.find("DSK:") != std::string::npos)
        return TFormat::Unix;
    return LooksLikeMsDos(line) ? TFormat::MsDos : TFormat::None;
}

std::vector<std::string> SplitBlanks(const std::string& line) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            parts.push_back(line.substr(start, i - start));
    }
    return parts;
}

int MonthNumber(const std::string& abbreviation) {
    static const char* names[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (abbreviation.size() != 3)
        return 0;
    std::string upper = abbreviation;
    for (char& c : upper)
        c = Upper(c);
    for (int m = 0; m < 12; ++m)
        if (upper == names[m])
            return m + 1;
    return 0;
}

// "HH:MM" with hours 0..23 and minutes 0..59.
bool ReadClock(const std::string& text, int& hour, int& minute) {
    const size_t colon = text.find(':');
    return colon != std::string::npos && ReadInt(text.substr(0, colon), hour) &&
           ReadInt(text.substr(colon + 1), minute) && hour <= 23 && minute <= 59;
}

bool ParseUnixLine(const std::string& line, int currentYear, int currentMonth, TFtpListEntry& entry) {
    std::vector<std::string> parts = SplitBlanks(line);
    if (parts.size() == 8 && IsLetter(parts[4][0]))
        parts.insert(parts.begin() + 2, std::string());  // no group column
    if (parts.size() < 9)
        return false;  // no date or no name
    const char type = Upper(parts[0][0]);
    entry.Kind = type == 'D' ? TFtpEntryKind::Folder : type == 'L' ? TFtpEntryKind::Link : TFtpEntryKind::File;
    if (!ReadNumber(parts[4], entry.Size))
        entry.Size = 0;
    TFtpStamp& t = entry.Modified;
    t = TFtpStamp();
    t.Month = MonthNumber(parts[5]);
    if (t.Month == 0 || !ReadInt(parts[6], t.Day))
        return false;
    if (parts[7].find(':') != std::string::npos) {
        if (!ReadClock(parts[7], t.Hour, t.Minute))
            return false;
        t.Year = t.Month > currentMonth ? currentYear - 1 : currentYear;
    } else if (!ReadInt(parts[7], t.Year)) {
        return false;
    }
    if (!DateExists(t.Year, t.Month, t.Day))
        return false;
    entry.Name = parts[8];
    for (size_t i = 9; i < parts.size(); ++i)
        entry.Name += ' ' + parts[i];
    if (entry.Kind == TFtpEntryKind::Link) {
        const size_t arrow = entry.Name.find(" -> ");
        if (arrow != std::string::npos)
            entry.Name.resize(arrow);
    }
    return !entry.Name.empty();
}

// "MM-DD-YY" (or "MM-DD-YYYY") and "HH:MM" with an optional AM/PM; the zero date when either
// cannot be read.
TFtpStamp ReadMsDosStamp(const std::string& date, const std::string& time) {
    TFtpStamp t;
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    const bool fourDigits = date.size() == 10;
    if ((date.size() != 8 && !fourDigits) || !ReadInt(date.substr(0, 2), month) || !ReadInt(date.substr(3, 2), day) ||
        !ReadInt(date.substr(6), year))
        return t;
    if (!fourDigits)
        year += year < 70 ? 2000 : 1900;
    std::string clock = time;
    std::string suffix;
    if (clock.size() > 2 && IsLetter(clock.back())) {
        suffix = clock.substr(clock.size() - 2);
        for (char& c : suffix)
            c = Upper(c);
        clock.resize(clock.size() - 2);
    }
    if (!ReadClock(clock, hour, minute) || !DateExists(year, month, day))
        return t;
    if (suffix == "PM" && hour < 12)
        hour += 12;
    else if (suffix == "AM" && hour == 12)
        hour = 0;
    else if (!suffix.empty() && suffix != "AM" && suffix != "PM")
        return t;
    return TFtpStamp{year, month, day, hour, minute};
}

bool ParseMsDosLine(const std::string& line, TFtpListEntry& entry) {
    // Three blank-separated fields, then the name (which may hold blanks) to the line's end.
    std::string fields[3];
    size_t i = 0;
    for (std::string& field : fields) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        field = line.substr(start, i - start);
        if (field.empty())
            return false;
    }
    entry.Name = Trim(line.substr(i));
    entry.Modified = ReadMsDosStamp(fields[0], fields[1]);
    if (fields[2] == "<DIR>") {
        entry.Kind = TFtpEntryKind::Folder;
        entry.Size = 0;
    } else {
        entry.Kind = TFtpEntryKind::File;
        if (!ReadNumber(WithoutCommas(fields[2]), entry.Size))
            return false;
    }
    return !entry.Name.empty();
}

} // namespace

std::vector<std::string> SplitListingLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t lf = bytes.find('\n', start);
        if (lf == std::string::npos)
            lf = bytes.size();
        size_t end = lf;
        if (end > start && bytes[end - 1] == '\r')
            --end;
        lines.push_back(bytes.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

std::vector<TFtpListEntry> ParseFtpListing(const std::vector<std::string>& lines, int currentYear, int currentMonth) {
    std::vector<TFtpListEntry> entries;
    TFormat format = TFormat::None;
    bool first = true;
    for (const std::string& line : lines) {
        if (IsBlankLine(line))
            continue;
        if (first) {
            first = false;
            format = DetectFormat(line);
            if (format == TFormat::None)
                return entries;
            std::string head = line.substr(0, 5);
            for (char& c : head)
                c = Upper(c);
            if (format == TFormat::Unix && head == "TOTAL")
                continue;
        }
        TFtpListEntry entry;
        const bool ok = format == TFormat::Unix ? ParseUnixLine(line, currentYear, currentMonth, entry)
                                                : ParseMsDosLine(line, entry);
        if (ok)
            entries.push_back(std::move(entry));
        else
            entries.clear();
    }
    return entries;
}

std::string FormatListingDate(const TFtpStamp& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", t.Day % 100, t.Month % 100, t.Year % 100, t.Hour % 100,
                  t.Minute % 100);
    return buf;
}

} // namespace kw::ftp
