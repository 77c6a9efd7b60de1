// LIST data from a hostile server, and the name conversions applied to what it names.
#include "platform/Cp1251.h"
#include "delivery/ftp/FtpListing.h"
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto lines = kw::ftp::SplitListingLines(bytes);
    for (const auto& entry : kw::ftp::ParseFtpListing(lines, 2026, 1 + static_cast<int>(size % 12))) {
        if (entry.Name.empty() || entry.Size < 0)
            __builtin_trap();
        if (kw::ftp::FormatListingDate(entry.Modified).size() != 14)
            __builtin_trap();
        const std::string ansi = kw::Utf8ToCp1251(entry.Name);
        if (kw::Utf8ToCp1251(kw::Cp1251ToUtf8(ansi)) != ansi)
            __builtin_trap();
    }
    return 0;
}
