// Feeds arbitrary control-connection bytes, in arbitrary pieces, to the FTP reply reader.
#include "delivery/ftp/FtpReply.h"
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kw::ftp::TFtpReplyReader reader;
    size_t i = 0;
    while (i < size) {
        // The first byte of each piece says how long the piece is, as recv() would cut it.
        const size_t piece = 1 + data[i] % 64;
        ++i;
        const size_t n = piece < size - i ? piece : size - i;
        reader.Append(reinterpret_cast<const char*>(data + i), n);
        i += n;
        for (;;) {
            kw::ftp::TFtpReply reply;
            kw::TMessage error;
            const auto state = reader.Take(reply, error);
            if (state == kw::ftp::TFtpReplyReader::TState::Malformed) {
                if (error.Empty() || kw::TextOf(error).empty())
                    __builtin_trap();  // a malformed reply always says why
                return 0;
            }
            if (state == kw::ftp::TFtpReplyReader::TState::NeedMore)
                break;
            if (reply.Code < 0 || reply.Code > 999 || reply.Lines.empty())
                __builtin_trap();
            (void)reply.Text();
        }
        if (reader.Pending() > kw::ftp::TFtpReplyReader::MaxLineLength + 64)
            __builtin_trap();  // the reader must never hold more than one bounded line
    }
    return 0;
}
