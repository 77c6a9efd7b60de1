// Reading date and time texts with the regional formats: a date in the short date format's
// field order and separator, optionally followed by a time, or a time alone. The text comes
// from outside (the host's state values), so every field is range-checked and nothing is
// read past the end.
#include "platform/Regional.h"
#include <cctype>

namespace kw {

namespace {

enum class TField { Day, Month, Year };

struct TDateShape {
    TField order[3] = {TField::Day, TField::Month, TField::Year};
    char separator = '.';
};

struct TScanner {
    const std::string& text;
    size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    void SkipBlanks() {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    }
    bool Take(char c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    // Up to `maxDigits` decimal digits; `digits` tells how many were read.
    bool Number(int& value, int& digits, int maxDigits = 4) {
        value = 0;
        digits = 0;
        while (pos < text.size() && digits < maxDigits &&
               std::isdigit(static_cast<unsigned char>(text[pos]))) {
            value = value * 10 + (text[pos++] - '0');
            ++digits;
        }
        return digits > 0;
    }
    bool TakeWord(const std::string& word) {
        if (word.empty() || text.size() - pos < word.size())
            return false;
        for (size_t i = 0; i < word.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(text[pos + i])) !=
                std::tolower(static_cast<unsigned char>(word[i])))
                return false;
        pos += word.size();
        return true;
    }
};

// The order of day, month and year and the separator, as the short date picture shows them.
TDateShape ShapeOf(const std::string& picture) {
    TDateShape shape;
    int found = 0;
    bool haveSeparator = false;
    bool inQuote = false;
    for (size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (c == '\'') {
            inQuote = !inQuote;
            continue;
        }
        if (inQuote)
            continue;
        TField field;
        if (c == 'd')
            field = TField::Day;
        else if (c == 'M')
            field = TField::Month;
        else if (c == 'y')
            field = TField::Year;
        else {
            if (!haveSeparator && found > 0 && c != ' ' && c != 'g') {
                shape.separator = c;
                haveSeparator = true;
            }
            continue;
        }
        while (i + 1 < picture.size() && picture[i + 1] == c)
            ++i;
        if (found < 3)
            shape.order[found++] = field;
    }
    if (found < 3) // not a usable picture: keep the default day.month.year
        shape = TDateShape{};
    return shape;
}

char TimeSeparatorOf(const std::string& picture) {
    bool inQuote = false;
    for (char c : picture) {
        if (c == '\'')
            inQuote = !inQuote;
        else if (!inQuote && (c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 't' || c == ' '))
            continue;
        else if (!inQuote)
            return c;
    }
    return ':';
}

int CurrentYear() {
    int y, m, d, h, n, s, ms;
    DecodeDateTime(Now(), y, m, d, h, n, s, ms);
    return y;
}

bool ScanDate(TScanner& sc, const TDateShape& shape, TDateTime& out) {
    int values[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    if (!sc.Number(values[0], digits[0]))
        return false;
    count = 1;
    while (count < 3) {
        const size_t mark = sc.pos;
        if (!sc.Take(shape.separator))
            break;
        if (!sc.Number(values[count], digits[count])) {
            sc.pos = mark;
            break;
        }
        ++count;
    }
    if (count < 2)
        return false;
    int day = 0, month = 0, year = 0;
    if (count == 3) {
        for (int i = 0; i < 3; ++i) {
            if (shape.order[i] == TField::Day)
                day = values[i];
            else if (shape.order[i] == TField::Month)
                month = values[i];
            else {
                year = values[i];
                if (digits[i] <= 2) // two-digit years lie in 1950..2049
                    year += year < 50 ? 2000 : 1900;
            }
        }
    } else {
        // Day and month in the picture's order, this year.
        int k = 0;
        for (TField f : shape.order) {
            if (f == TField::Year)
                continue;
            (f == TField::Day ? day : month) = values[k++];
        }
        year = CurrentYear();
    }
    return TryEncodeDateTime(year, month, day, 0, 0, 0, 0, out);
}

// 0 none, 1 AM, 2 PM.
int ScanDesignator(TScanner& sc, const TRegionalFormats& f) {
    if (sc.TakeWord(f.TimeAMString) || sc.TakeWord("AM"))
        return 1;
    if (sc.TakeWord(f.TimePMString) || sc.TakeWord("PM"))
        return 2;
    return 0;
}

bool ScanTime(TScanner& sc, const TRegionalFormats& f, TDateTime& out) {
    const char sep = TimeSeparatorOf(f.LongTimeFormat);
    int designator = ScanDesignator(sc, f);
    sc.SkipBlanks();
    int hour = 0, minute = 0, second = 0, ms = 0, digits = 0;
    if (!sc.Number(hour, digits, 2))
        return false;
    bool hasMinutes = false;
    if (sc.Take(sep)) {
        if (!sc.Number(minute, digits, 2))
            return false;
        hasMinutes = true;
        if (sc.Take(sep)) {
            if (!sc.Number(second, digits, 2))
                return false;
            if (sc.Take('.') || sc.Take(',')) {
                if (!sc.Number(ms, digits, 3))
                    return false;
                for (; digits < 3; ++digits)
                    ms *= 10;
            }
        }
    }
    sc.SkipBlanks();
    if (designator == 0)
        designator = ScanDesignator(sc, f);
    if (!hasMinutes && designator == 0) // a bare number is not a time
        return false;
    if (designator != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (designator == 2 ? 12 : 0);
    }
    TDateTime t = 0;
    if (!TryEncodeDateTime(1899, 12, 30, hour, minute, second, ms, t))
        return false;
    out = t;
    return true;
}

} // namespace

bool ParseDateTimeWith(const std::string& text, const TRegionalFormats& formats, TDateTime& out) {
    TScanner sc{text};
    sc.SkipBlanks();
    TDateTime date = 0;
    TDateTime time = 0;
    const size_t start = sc.pos;
    if (ScanDate(sc, ShapeOf(formats.ShortDateFormat), date)) {
        sc.SkipBlanks();
        if (sc.AtEnd()) {
            out = date;
            return true;
        }
        if (ScanTime(sc, formats, time)) {
            sc.SkipBlanks();
            if (sc.AtEnd()) {
                out = date >= 0 ? date + time : date - time;
                return true;
            }
        }
    }
    sc.pos = start;
    if (ScanTime(sc, formats, time)) {
        sc.SkipBlanks();
        if (sc.AtEnd()) {
            out = time;
            return true;
        }
    }
    return false;
}

bool ParseDateTime(const std::string& text, TDateTime& out) {
    return ParseDateTimeWith(text, GetRegionalFormats(), out);
}

} // namespace kw
