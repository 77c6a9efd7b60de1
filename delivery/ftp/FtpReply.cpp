// Gathering FTP replies from the control connection's bytes.
#include "delivery/ftp/FtpReply.h"

namespace kw::ftp {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "ddd" followed by the end of the line, a blank or a dash. RFC 959 codes begin 1..5, but a
// server may use others; any three digits are taken and the caller checks what it accepts.
bool HasCode(const std::string& line, int& code, char& sep) {
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return false;
    sep = line.size() > 3 ? line[3] : ' ';
    if (sep != ' ' && sep != '-')
        return false;
    code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return true;
}

std::string Printable(const std::string& line) {
    std::string out = line.substr(0, 80);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return out;
}

} // namespace

std::string TFtpReply::Text() const {
    std::string text = std::to_string(Code);
    for (const std::string& line : Lines) {
        // The code and its separator are dropped from lines that carry them.
        int code = 0;
        char sep = 0;
        std::string body = HasCode(line, code, sep) && code == Code ? line.substr(line.size() > 3 ? 4 : 3) : line;
        while (!body.empty() && body.front() == ' ')
            body.erase(body.begin());
        if (!body.empty())
            text += ' ' + body;
    }
    return text;
}

const std::string& TFtpReply::FirstLine() const {
    static const std::string empty;
    return Lines.empty() ? empty : Lines.front();
}

void TFtpReplyReader::Append(const char* data, size_t size) {
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    buffer_.append(data, size);
}

void TFtpReplyReader::Reset() {
    buffer_.clear();
    start_ = 0;
    partial_ = TFtpReply();
    inMulti_ = false;
}

bool TFtpReplyReader::NextLine(std::string& line) {
    const size_t lf = buffer_.find('\n', start_);
    if (lf == std::string::npos)
        return false;
    size_t end = lf;
    if (end > start_ && buffer_[end - 1] == '\r')
        --end;
    line.assign(buffer_, start_, end - start_);
    start_ = lf + 1;
    return true;
}

TFtpReplyReader::TState TFtpReplyReader::Take(TFtpReply& reply, TMessage& error) {
    std::string line;
    while (NextLine(line)) {
        if (line.size() > MaxLineLength) {
            error = TMessage::Of("FtpReplyLineTooLong");
            return TState::Malformed;
        }
        int code = 0;
        char sep = 0;
        const bool coded = HasCode(line, code, sep);
        if (!inMulti_) {
            if (!coded) {
                error = TMessage::Of("FtpMalformedReply", {Printable(line)});
                return TState::Malformed;
            }
            partial_ = TFtpReply();
            partial_.Code = code;
            partial_.Lines.push_back(line);
            if (sep == ' ') {
                reply = std::move(partial_);
                partial_ = TFtpReply();
                return TState::Complete;
            }
            inMulti_ = true;
            continue;
        }
        if (partial_.Lines.size() >= MaxLines) {
            error = TMessage::Of("FtpReplyTooManyLines");
            return TState::Malformed;
        }
        partial_.Lines.push_back(line);
        if (coded && code == partial_.Code && sep == ' ') {
            inMulti_ = false;
            reply = std::move(partial_);
            partial_ = TFtpReply();
            return TState::Complete;
        }
    }
    if (Pending() > MaxLineLength) {
        error = TMessage::Of("FtpReplyLineTooLong");
        return TState::Malformed;
    }
    // Drop consumed bytes so the buffer never holds more than one partial line.
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return TState::NeedMore;
}

} // namespace kw::ftp
