// Fuzzes the reader of date/time texts (the host's "next exclusive time" arrives as text) and
// the picture formatter with arbitrary pictures and date-time values.
#include "platform/Regional.h"
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const kw::TRegionalFormats formats[] = {{"HH:mm:ss", "dd.MM.yyyy"},
                                                   {"h:mm:ss tt", "M/d/yyyy"},
                                                   {"HH:mm:ss", "yyyy-MM-dd"},
                                                   {"H.mm.ss", "d/M/yy"}};
    for (const auto& f : formats) {
        kw::TDateTime out = 0;
        if (kw::ParseDateTimeWith(text, f, out) && !(std::isfinite(out) && out > -693594 && out < 2958466))
            std::abort(); // whatever converts is a real date-time
    }
    double value = 0;
    if (size >= sizeof value)
        std::memcpy(&value, data, sizeof value);
    const std::string picture = size > sizeof value ? text.substr(sizeof value) : text;
    (void)kw::FormatDateTimePicture(value, picture, formats[1]);
    return 0;
}
