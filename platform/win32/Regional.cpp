// Win32 regional formats: the user's locale, through the system's own formatting functions.
#include "platform/Regional.h"
#include <windows.h>

namespace kw {

namespace {

std::string LocaleText(LCTYPE type, const char* fallback) {
    char buf[128];
    const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
    return n > 1 ? std::string(buf, static_cast<size_t>(n - 1)) : std::string(fallback);
}

// SYSTEMTIME covers the years 1601..30827; false for values the system cannot format.
bool ToSystemTime(TDateTime dt, SYSTEMTIME& st) {
    int y, m, d, h, n, s, ms;
    DecodeDateTime(dt, y, m, d, h, n, s, ms);
    if (y < 1601)
        return false;
    st = SYSTEMTIME{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(n);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return true;
}

} // namespace

TRegionalFormats GetRegionalFormats() {
    TRegionalFormats f;
    f.LongTimeFormat = LocaleText(LOCALE_STIMEFORMAT, "HH:mm:ss");
    f.ShortDateFormat = LocaleText(LOCALE_SSHORTDATE, "dd.MM.yyyy");
    f.TimeAMString = LocaleText(LOCALE_S1159, "AM");
    f.TimePMString = LocaleText(LOCALE_S2359, "PM");
    return f;
}

void SetRegionalFormatsForTesting(const TRegionalFormats&) {}

TDateTime Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

std::string FormatLongTime(TDateTime dt) {
    SYSTEMTIME st;
    char buf[128];
    // The date part does not matter for a time; years before 1601 still have a time of day.
    if (!ToSystemTime(dt, st)) {
        int y, m, d, h, n, s, ms;
        DecodeDateTime(dt, y, m, d, h, n, s, ms);
        st = SYSTEMTIME{};
        st.wYear = 2000;
        st.wMonth = 1;
        st.wDay = 1;
        st.wHour = static_cast<WORD>(h);
        st.wMinute = static_cast<WORD>(n);
        st.wSecond = static_cast<WORD>(s);
    }
    const int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, sizeof buf);
    if (n > 1)
        return std::string(buf, static_cast<size_t>(n - 1));
    const TRegionalFormats f = GetRegionalFormats();
    return FormatDateTimePicture(dt, f.LongTimeFormat, f);
}

std::string FormatShortDate(TDateTime dt) {
    SYSTEMTIME st;
    char buf[128];
    if (ToSystemTime(dt, st)) {
        const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, sizeof buf);
        if (n > 1)
            return std::string(buf, static_cast<size_t>(n - 1));
    }
    const TRegionalFormats f = GetRegionalFormats();
    return FormatDateTimePicture(dt, f.ShortDateFormat, f);
}

} // namespace kw
