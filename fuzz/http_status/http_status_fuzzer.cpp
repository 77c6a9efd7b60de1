// Arbitrary bytes as a server's status line: a line that reads as one gives a code of three
// digits and a text fit for the status cell and the log (bounded, no control bytes).
#include "delivery/http/HttpStatus.h"
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kw::THttpStatus status;
    if (!kw::ParseStatusLine(std::string_view(reinterpret_cast<const char*>(data), size), status))
        return 0;
    if (status.Code < 100 || status.Code > 999 || status.Line.size() > kw::MaxStatusLine)
        __builtin_trap();
    for (const char ch : status.Line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            __builtin_trap();
    }
    return 0;
}
