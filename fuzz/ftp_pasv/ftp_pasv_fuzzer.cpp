// PASV reply lines from a hostile server; a parsed address must print back to the same numbers.
#include "delivery/ftp/FtpPasv.h"
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    kw::net::TIpv4Endpoint e;
    if (kw::ftp::ParsePasvAddress(line, e)) {
        kw::net::TIpv4Endpoint again;
        if (!kw::ftp::ParsePasvAddress("227 (" + kw::ftp::FormatPortArgument(e) + ")", again) ||
            again.Port != e.Port || again.HostText() != e.HostText())
            __builtin_trap();
    }
    return 0;
}
