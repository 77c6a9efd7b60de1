// FTP replies (RFC 959, 4.2): a three-digit code and one or more lines of text. A multi-line
// reply begins with "ddd-" and ends with a line beginning with the same code and a blank.
// The reader is fed the control connection's bytes and takes complete replies out of them;
// it keeps bytes that follow a reply for the next one, and bounds what a server can make it
// hold (line length, line count).
#pragma once
#include "platform/Message.h"
#include <cstddef>
#include <string>
#include <vector>

namespace kw::ftp {

struct TFtpReply {
    int Code = 0;
    std::vector<std::string> Lines;  // as received, without line ends

    // The reply for messages: the code and the text of every line, on one line.
    std::string Text() const;
    const std::string& FirstLine() const;
};

class TFtpReplyReader {
public:
    static constexpr size_t MaxLineLength = 8192;
    static constexpr size_t MaxLines = 2000;

    enum class TState { NeedMore, Complete, Malformed };

    void Append(const char* data, size_t size);
    // Takes one reply when its last line has arrived. Malformed: the server broke the reply
    // format or a bound; `error` says how, and the connection should be given up.
    TState Take(TFtpReply& reply, TMessage& error);
    // Bytes that have arrived but are not yet part of a taken reply.
    size_t Pending() const noexcept { return buffer_.size() - start_; }
    void Reset();

private:
    bool NextLine(std::string& line);

    std::string buffer_;
    size_t start_ = 0;
    TFtpReply partial_;  // a multi-line reply being gathered
    bool inMulti_ = false;
};

} // namespace kw::ftp
