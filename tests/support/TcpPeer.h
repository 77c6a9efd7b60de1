// The far end of the TCP targets in tests: a device that reads each connection to its end.
#pragma once
#include "platform/Tcp.h"
#include <string>

namespace kw::test {

// Everything the peer sends until it closes, each wait for more bytes at most `ms`.
inline std::string ReadToEnd(net::TTcpConnection& connection, int ms = 10000) {
    std::string bytes;
    char buffer[4096];
    size_t n = 0;
    while (connection.Receive(buffer, sizeof buffer, n, ms).ok() && n > 0)
        bytes.append(buffer, n);
    return bytes;
}

} // namespace kw::test
