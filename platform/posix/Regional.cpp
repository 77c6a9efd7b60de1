// POSIX regional formats: a fixed pattern (a Russian Windows' by default) that tests may
// replace, and local time from the C library.
#include "platform/Regional.h"
#include <ctime>
#include <mutex>

namespace kw {

namespace {
std::mutex g_formatsLock;
TRegionalFormats g_formats{"HH:mm:ss", "dd.MM.yyyy"};
} // namespace

TRegionalFormats GetRegionalFormats() {
    std::lock_guard<std::mutex> lock(g_formatsLock);
    return g_formats;
}

void SetRegionalFormatsForTesting(const TRegionalFormats& formats) {
    std::lock_guard<std::mutex> lock(g_formatsLock);
    g_formats = formats;
}

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    const time_t secs = ts.tv_sec;
    if (!localtime_r(&secs, &local))
        return 0;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

std::string FormatLongTime(TDateTime dt) {
    const TRegionalFormats f = GetRegionalFormats();
    return FormatDateTimePicture(dt, f.LongTimeFormat, f);
}

std::string FormatShortDate(TDateTime dt) {
    const TRegionalFormats f = GetRegionalFormats();
    return FormatDateTimePicture(dt, f.ShortDateFormat, f);
}

} // namespace kw
