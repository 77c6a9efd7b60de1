// Fuzzes the format directives with a fixed mix of typed arguments: any format text either
// formats or fails with EFormatError, never anything else.
#include "lang/Format.h"
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string format(reinterpret_cast<const char*>(data), size);
    static const kw::lang::TFormatArgs args = {"text", 42, -7, 3.5, 'c', 1e300, -2147483647 - 1, "%s%d"};
    try {
        kw::lang::Format(format, args);
    } catch (const kw::lang::EFormatError&) {
    }
    return 0;
}
